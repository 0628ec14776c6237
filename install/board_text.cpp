#include "install/board_text.h"

#include <QStringDecoder>
#include <array>

namespace zp {

namespace {

// Windows-1252 bytes 0x80..0x9F; the five unassigned ones map to the C1 control of the same value.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char kBom[] = "\xEF\xBB\xBF";

QString DecodeWindows1252(const QByteArray& bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = QChar(b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : char16_t(b));
    }
    return text;
}

char EncodeWindows1252Char(char16_t u)
{
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return static_cast<char>(u);
    for (size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == u)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

QByteArray EncodeWindows1252(const QString& text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* out = bytes.data();
    for (QChar c : text)
        *out++ = EncodeWindows1252Char(c.unicode());
    return bytes;
}

} // namespace

QString ToCrLf(const QString& text)
{
    const qsizetype n = text.size();
    bool clean = true;
    for (qsizetype i = 0; i < n && clean; ++i) {
        if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        else if (text[i] == u'\r' || text[i] == u'\n')
            clean = false;
    }
    if (clean)
        return text;

    QString out;
    out.reserve(n + n / 16);
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == u'\r') {
            out += u"\r\n";
            if (i + 1 < n && text[i + 1] == u'\n')
                ++i;
        } else if (c == u'\n') {
            out += u"\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

QString ToLfLines(const QString& text)
{
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        // One line: up to CR LF, a lone CR, or the end of the text.
        while (i < n && text[i] != u'\r') {
            if (text[i] != u'\n')
                out += text[i];
            ++i;
        }
        out += u'\n';
        if (i < n)
            i += (i + 1 < n && text[i + 1] == u'\n') ? 2 : 1;
    }
    return out;
}

BoardText DecodeBoardText(const QByteArray& bytes)
{
    BoardText result;
    QByteArrayView body(bytes);
    result.bom = body.startsWith(kBom);
    if (result.bom)
        body = body.sliced(3);

    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(body);
    if (utf8.hasError()) {
        result.bom = false;
        result.encoding = TextEncoding::Windows1252;
        text = DecodeWindows1252(bytes);
    }
    result.text = ToCrLf(text);
    return result;
}

QByteArray EncodeBoardText(const QString& text, TextEncoding encoding, bool bom)
{
    if (encoding == TextEncoding::Windows1252)
        return EncodeWindows1252(text);
    QByteArray bytes = text.toUtf8();
    if (bom)
        bytes.prepend(kBom);
    return bytes;
}

} // namespace zp
