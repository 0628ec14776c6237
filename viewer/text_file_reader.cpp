#include "viewer/text_file_reader.h"

#include "install/board_text.h"

#include <QFile>

namespace zp {

std::optional<QString> TextFileReader::Open(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    text_ = DecodeBoardText(bytes).text;
    next_ = 0;
    return std::nullopt;
}

QString TextFileReader::NextPiece()
{
    if (AtEnd())
        return {};
    // The decoded text breaks its lines with CR LF only. A piece is the shortest run of whole
    // lines longer than TextPieceSize: it ends at the first line break that reaches past it.
    const qsizetype lineEnd = text_.indexOf(u"\r\n", next_ + TextPieceSize - 1);
    QString piece;
    if (lineEnd < 0) {
        piece = text_.mid(next_);
        if (!piece.endsWith(u"\r\n"))
            piece += u"\r\n";
        next_ = text_.size();
    } else {
        piece = text_.mid(next_, lineEnd + 2 - next_);
        next_ = lineEnd + 2;
    }
    if (AtEnd())
        text_.clear(); // the whole text has been handed on
    return piece;
}

} // namespace zp
