#pragma once

#include <QString>
#include <optional>

namespace zp {

// The viewer's text goes to its box in pieces of a little over this many characters, so that a
// large file is not appended to the box line by line.
inline constexpr qsizetype TextPieceSize = 50000;

// Reads a text file, decoded as a board file is (UTF-8, else Windows-1252), every line followed by
// CR LF (the last one included; a line ends at CR LF, LF or CR), and hands its text on in pieces
// of whole lines: a piece ends at the first line break past TextPieceSize characters.
class TextFileReader
{
public:
    // Reads and decodes the whole file; returns the reason when it cannot be read.
    std::optional<QString> Open(const QString& path);
    // Hands on a text that is already in memory (lines ended by '\n' or CR LF) the same way.
    void Hold(QString text);
    bool AtEnd() const { return next_ >= text_.size(); }
    // The next piece of whole lines; empty at the end.
    QString NextPiece();
    // How much of the text has been handed on, 0 to 100.
    int PercentDone() const;

private:
    QString text_;
    qsizetype next_ = 0;
    qsizetype total_ = 0;
};

} // namespace zp
