#include "core/board_text.h"

#include "app/ansi_text.h"
#include "app/whole_file.h"
#include "encoder/vector_state.h"

#include <QStringDecoder>
#include <algorithm>
#include <bit>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zp {

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";
// Units of text encoded at a time, and bytes gathered before a write, so that saving a large file
// never holds a second copy of it.
constexpr qsizetype kSavePiece = qsizetype(1) << 20;

// The offset of the first CR or LF at or after `from`, or the text's size; 8 units at a time.
qsizetype NextBreakUnit(QStringView text, qsizetype from)
{
    const char16_t* units = text.utf16();
    const qsizetype size = text.size();
#ifdef __SSE2__
    for (; from + 8 <= size; from += 8) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + from));
        const int hits = _mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi16(block, _mm_set1_epi16('\r')), _mm_cmpeq_epi16(block, _mm_set1_epi16('\n'))));
        if (hits != 0)
            return from + std::countr_zero(static_cast<unsigned>(hits)) / 2;
    }
#endif
    while (from < size && units[from] != u'\r' && units[from] != u'\n')
        ++from;
    return from;
}

// The offset of the first line break that is not CR LF (a lone CR or a lone LF), or the text's
// size; 8 units at a time, comparing each unit with the ones beside it.
qsizetype FirstLoneBreak(QStringView text)
{
    const char16_t* units = text.utf16();
    const qsizetype size = text.size();
    qsizetype from = 0;
    const auto lone = [&](qsizetype i) {
        return (units[i] == u'\r' && (i + 1 == size || units[i + 1] != u'\n'))
            || (units[i] == u'\n' && (i == 0 || units[i - 1] != u'\r'));
    };
#ifdef __SSE2__
    if (size > 0 && !lone(0)) {
        const __m128i cr = _mm_set1_epi16('\r'), lf = _mm_set1_epi16('\n');
        for (from = 1; from + 9 <= size; from += 8) {
            const auto at = [&](qsizetype i) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i)); };
            const __m128i block = at(from);
            const __m128i loneCr = _mm_andnot_si128(_mm_cmpeq_epi16(at(from + 1), lf), _mm_cmpeq_epi16(block, cr));
            const __m128i loneLf = _mm_andnot_si128(_mm_cmpeq_epi16(at(from - 1), cr), _mm_cmpeq_epi16(block, lf));
            if (_mm_movemask_epi8(_mm_or_si128(loneCr, loneLf)) != 0)
                break;
        }
    }
#endif
    while (from < size && !lone(from))
        ++from;
    return from;
}

// Calls onBreak(at, length) for every line break of the text in order: CR LF (length 2), a lone CR
// or a lone LF (length 1).
template <typename OnBreak>
void ForEachBreak(QStringView text, OnBreak onBreak)
{
    for (qsizetype at = NextBreakUnit(text, 0); at < text.size();) {
        const qsizetype length = text[at] == u'\r' && at + 1 < text.size() && text[at + 1] == u'\n' ? 2 : 1;
        onBreak(at, length);
        at = NextBreakUnit(text, at + length);
    }
}

// Appends the text with CR LF and lone CR as LF and every lone LF dropped.
void AppendLfLines(QStringView text, QString& out)
{
    qsizetype copied = 0;
    ForEachBreak(text, [&](qsizetype at, qsizetype length) {
        out += text.sliced(copied, at - copied);
        if (text[at] == u'\r')
            out += u'\n';
        copied = at + length;
    });
    out += text.sliced(copied);
}

// Whether ToLfLines ends the text with an LF of its own: its last line has no line break.
bool NeedsClosingLf(QStringView text)
{
    return !text.isEmpty() && !text.endsWith(u'\r') && !text.endsWith(u"\r\n");
}

} // namespace

QString ToCrLf(const QString& text)
{
    if (FirstLoneBreak(text) == text.size())
        return text;
    QString out;
    qsizetype copied = 0; // text[0, copied) is in out once a break needed a change
    ForEachBreak(text, [&](qsizetype at, qsizetype length) {
        if (length == 2)
            return;
        if (out.isNull())
            out.reserve(text.size() + text.size() / 16);
        out += QStringView(text).sliced(copied, at - copied);
        out += u"\r\n";
        copied = at + 1;
    });
    if (out.isNull())
        return text;
    out += QStringView(text).sliced(copied);
    return out;
}

QString ToLfLines(const QString& text)
{
    QString out;
    out.reserve(text.size() + 1);
    AppendLfLines(text, out);
    if (NeedsClosingLf(text))
        out += u'\n';
    return out;
}

BoardText DecodeBoardText(QByteArray bytes)
{
    ClearUpperVectorState();
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
        text = QString();
        text = FromWindows1252(bytes);
    }
    // A large file is held as bytes, text and text with CR LF breaks at most two at a time.
    bytes = QByteArray();
    result.text = ToCrLf(text);
    return result;
}

QByteArray EncodeBoardText(QStringView text, TextEncoding encoding, bool bom)
{
    if (encoding == TextEncoding::Windows1252)
        return ToWindows1252(text);
    QByteArray bytes = text.toUtf8();
    if (bom)
        bytes.prepend(kBom);
    return bytes;
}

bool WriteBoardText(
    QIODevice& device, const std::vector<QStringView>& parts, TextEncoding encoding, bool bom, bool lfOnly)
{
    // The encoded pieces are gathered and written a megabyte at a time: an edited file is made of
    // many small parts, and a write for each costs more than the bytes.
    ClearUpperVectorState();
    QByteArray pending;
    const auto put = [&](QByteArrayView bytes, bool last = false) {
        pending.append(bytes);
        if (pending.size() < kSavePiece && !last)
            return true;
        const bool written = WriteFully(device, pending.constData(), pending.size());
        pending.resize(0);
        return written;
    };
    if (bom && encoding == TextEncoding::Utf8)
        put(kBom);
    QString lines;
    QString joined; // a surrogate pair that two parts or two slices cut in two, with what follows it
    char16_t carried = 0; // the high surrogate of such a pair
    QString end; // the text's last two units
    for (size_t p = 0; p < parts.size(); ++p) {
        const QStringView part = parts[p];
        for (qsizetype from = 0; from < part.size();) {
            const qsizetype to = std::min(from + kSavePiece, part.size());
            QStringView piece = part.sliced(from, to - from);
            if (carried != 0) {
                joined = QChar(carried) + piece.toString();
                piece = joined;
                carried = 0;
            }
            if ((to < part.size() || p + 1 < parts.size()) && piece.back().isHighSurrogate()) {
                carried = piece.back().unicode(); // a surrogate pair is encoded whole
                piece.chop(1);
            }
            if (lfOnly) {
                // A CR LF cut in two still gives one LF: the CR one, the lone LF none.
                lines.resize(0);
                AppendLfLines(piece, lines);
                piece = lines;
            }
            if (!put(EncodeBoardText(piece, encoding, false)))
                return false;
            from = to;
        }
        end = (end + part.right(2).toString()).right(2);
    }
    if (carried != 0 && !put(EncodeBoardText(QStringView(&carried, 1), encoding, false)))
        return false;
    return put(lfOnly && NeedsClosingLf(end) ? QByteArrayView("\n") : QByteArrayView(), true);
}

} // namespace zp
