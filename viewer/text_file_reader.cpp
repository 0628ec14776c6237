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

std::optional<QString> ReadTextInPieces(const QString& path, const std::function<void(const QString&)>& append)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    file.close();
    const QString text = DecodeTextFile(bytes);

    QString buffer;
    buffer.reserve(TextPieceSize + 1024);
    const QStringView view(text);
    qsizetype start = 0;
    while (start < view.size()) {
        qsizetype end = start;
        while (end < view.size() && view[end] != u'\n' && view[end] != u'\r')
            ++end;
        buffer += view.mid(start, end - start);
        buffer += u"\r\n";
        if (end < view.size() && view[end] == u'\r' && end + 1 < view.size() && view[end + 1] == u'\n')
            ++end;
        start = end + 1;
        if (buffer.size() > TextPieceSize) {
            append(buffer);
            buffer.clear();
        }
    }
    if (!buffer.isEmpty())
        append(buffer);
    return std::nullopt;
}

} // namespace zp
