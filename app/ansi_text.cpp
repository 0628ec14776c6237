#include "app/ansi_text.h"

#include <QStringDecoder>
#include <array>

namespace zp {

namespace {

// Characters of the bytes 0x80 to 0x9F; the rest of the table is the identity.
constexpr std::array<char16_t, 32> HighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The byte of a character, or -1 when Windows-1252 has none.
int ByteOf(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (size_t i = 0; i < HighControls.size(); ++i) {
        if (HighControls[i] == c)
            return int(0x80 + i);
    }
    return -1;
}

} // namespace

bool FitsWindows1252(const QString& text)
{
    for (QChar c : text) {
        if (ByteOf(c.unicode()) < 0)
            return false;
    }
    return true;
}

QByteArray ToWindows1252(QStringView text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* out = bytes.data();
    for (QChar c : text) {
        int b = ByteOf(c.unicode());
        *out++ = b < 0 ? '?' : char(b);
    }
    return bytes;
}

QString FromWindows1252(const QByteArray& bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (char ch : bytes) {
        auto b = static_cast<unsigned char>(ch);
        *out++ = b >= 0x80 && b < 0xA0 ? QChar(HighControls[b - 0x80]) : QChar(b);
    }
    return text;
}

QByteArray EncodeAnsiOrUtf8(const QString& text)
{
    return FitsWindows1252(text) ? ToWindows1252(text) : text.toUtf8();
}

bool IsValidUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString ignored = decoder(bytes);
    return !decoder.hasError();
}

QString DecodeAnsiOrUtf8(const QByteArray& bytes)
{
    return IsValidUtf8(bytes) ? QString::fromUtf8(bytes) : FromWindows1252(bytes);
}

} // namespace zp
