#include "install/board_text.h"

#include "app/ansi_text.h"

#include <QStringDecoder>

namespace zp {

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";

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
        text = FromWindows1252(bytes);
    }
    result.text = ToCrLf(text);
    return result;
}

QByteArray EncodeBoardText(const QString& text, TextEncoding encoding, bool bom)
{
    if (encoding == TextEncoding::Windows1252)
        return ToWindows1252(text);
    QByteArray bytes = text.toUtf8();
    if (bom)
        bytes.prepend(kBom);
    return bytes;
}

} // namespace zp
