#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <vector>

namespace zp {

// The byte form a board file was read in, so that saving writes it back the same way.
enum class TextEncoding { Utf8, Windows1252 };

struct BoardText
{
    QString text; // every line break CR LF
    TextEncoding encoding = TextEncoding::Utf8;
    bool bom = false; // the file began with a UTF-8 byte order mark (not part of text)
};

// Decodes a board file: UTF-8 when the bytes are valid UTF-8, otherwise Windows-1252 as the WHATWG
// Encoding Standard maps it (every byte round-trips). Lone LF and lone CR become CR LF.
BoardText DecodeBoardText(QByteArray bytes);
// The inverse of DecodeBoardText for a text with CR LF breaks. A character that Windows-1252 cannot
// hold is written as '?', as the Windows ANSI conversion does.
QByteArray EncodeBoardText(QStringView text, TextEncoding encoding, bool bom);
// Writes the text, given as the parts it is made of, as EncodeBoardText encodes it, as LF-terminated
// lines (ToLfLines) with lfOnly, a piece at a time. False when the device could not take it all.
bool WriteBoardText(
    QIODevice& device, const std::vector<QStringView>& parts, TextEncoding encoding, bool bom, bool lfOnly);

// Every lone LF and every lone CR becomes CR LF.
QString ToCrLf(const QString& text);
// The text as LF-terminated lines: a line ends at CR LF or at CR, any CR or LF left inside a line
// is dropped, and every line (the last one too) is followed by one LF.
QString ToLfLines(const QString& text);

} // namespace zp
