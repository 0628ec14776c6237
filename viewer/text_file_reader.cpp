#include "viewer/text_file_reader.h"

#include "core/board_text.h"

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
    // The decoded text breaks its lines with CR LF only; the last line gets one too.
    QString text = DecodeBoardText(bytes).text;
    if (!text.isEmpty() && !text.endsWith(u"\r\n"))
        text += u"\r\n";
    Hold(std::move(text));
    return std::nullopt;
}

void TextFileReader::Hold(QString text)
{
    text_ = std::move(text);
    next_ = 0;
    total_ = text_.size();
}

QString TextFileReader::NextPiece()
{
    if (AtEnd())
        return {};
    // A piece is the shortest run of whole lines longer than TextPieceSize: it ends at the first
    // line break (its '\n') that reaches past it.
    const qsizetype lineEnd = text_.indexOf(u'\n', next_ + TextPieceSize);
    const qsizetype end = lineEnd < 0 ? text_.size() : lineEnd + 1;
    QString piece = text_.mid(next_, end - next_);
    next_ = end;
    if (AtEnd())
        text_.clear(); // the whole text has been handed on
    return piece;
}

int TextFileReader::PercentDone() const
{
    return total_ == 0 ? 100 : int(qMin(next_, total_) * 100 / total_);
}

} // namespace zp
