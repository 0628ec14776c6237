#pragma once

#include <QByteArray>
#include <QString>

namespace zp {

// Texts that the program writes for other people (hack descriptions, text exports) are stored in
// Windows-1252 when every character fits, otherwise in UTF-8. Windows-1252 follows the WHATWG table:
// the five unassigned bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D stand for U+0081 and so on, so every
// byte has a character and every such character a byte.

bool FitsWindows1252(const QString& text);
QByteArray ToWindows1252(QStringView text); // characters that do not fit become '?'
QString FromWindows1252(const QByteArray& bytes);

// Windows-1252 when the text fits, else UTF-8.
QByteArray EncodeAnsiOrUtf8(const QString& text);
// Valid UTF-8 is read as UTF-8, anything else as Windows-1252.
QString DecodeAnsiOrUtf8(const QByteArray& bytes);
bool IsValidUtf8(const QByteArray& bytes);

} // namespace zp
