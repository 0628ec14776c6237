#include "viewer/text_file_reader.h"

#include <QFile>
#include <QStringDecoder>
#include <array>

namespace zp {

namespace {

// Windows-1252 at 0x80..0x9F; the five unassigned bytes keep their C1 control characters.
constexpr std::array<char16_t, 32> Windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString DecodeWindows1252(const QByteArray& bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = (b >= 0x80 && b < 0xA0) ? QChar(Windows1252High[b - 0x80]) : QChar(b);
    }
    return text;
}

} // namespace

QString DecodeTextFile(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return DecodeWindows1252(bytes);
}

std::optional<QString> TextFileReader::Open(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    text_ = DecodeTextFile(bytes);
    next_ = 0;
    return std::nullopt;
}

QString TextFileReader::NextPiece()
{
    QString piece;
    piece.reserve(TextPieceSize + 1024);
    const QStringView text(text_);
    while (next_ < text.size() && piece.size() <= TextPieceSize) {
        qsizetype end = next_;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        piece += text.mid(next_, end - next_);
        piece += u"\r\n";
        if (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n')
            ++end;
        next_ = end + 1;
    }
    if (AtEnd())
        text_.clear(); // the whole text has been handed on
    return piece;
}

} // namespace zp
