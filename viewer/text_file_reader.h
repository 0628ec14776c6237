#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace zp {

// The viewer's text is handed to its box in pieces of a little over this many characters, so that
// a large file is not appended to the box line by line.
inline constexpr qsizetype TextPieceSize = 50000;

// Decodes a text file's bytes: UTF-8 when they are valid UTF-8 (a byte order mark is kept),
// otherwise Windows-1252, in which every byte has a character.
QString DecodeTextFile(const QByteArray& bytes);

// Reads the file at `path` line by line (a line ends at CR LF, LF or CR) and hands its text to
// `append` in pieces: every line followed by CR LF, the last one included, a piece handed on as
// soon as it exceeds TextPieceSize characters. When the file cannot be read it hands nothing on
// and returns the reason.
std::optional<QString> ReadTextInPieces(const QString& path, const std::function<void(const QString&)>& append);

} // namespace zp
