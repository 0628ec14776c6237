#include "install/folded_text.h"

#include <QChar>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace zp {

namespace {

// Qt's simple case folding of every UTF-16 unit; a surrogate on its own folds to itself.
const char16_t* FoldTable()
{
    static const std::unique_ptr<char16_t[]> table = [] {
        auto units = std::make_unique<char16_t[]>(0x10000);
        for (char32_t c = 0; c < 0x10000; ++c)
            units[c] = static_cast<char16_t>(QChar::toCaseFolded(c));
        return units;
    }();
    return table.get();
}

const char16_t* Units(const QString& text)
{
    return reinterpret_cast<const char16_t*>(text.constData());
}

#ifdef __SSE2__
// Folds 8 units when they are all ASCII ('A' to 'Z' become 'a' to 'z'); false, folding nothing,
// when one is not.
bool FoldAscii8(const char16_t* text, char16_t* folded)
{
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, _mm_set1_epi16(-0x80)), _mm_setzero_si128())) != 0xFFFF)
        return false;
    const __m128i upper = _mm_and_si128(_mm_cmpgt_epi16(units, _mm_set1_epi16('A' - 1)),
                                        _mm_cmplt_epi16(units, _mm_set1_epi16('Z' + 1)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(folded),
                     _mm_add_epi16(units, _mm_and_si128(upper, _mm_set1_epi16('a' - 'A'))));
    return true;
}
#endif

// The folded unit at i of a text of `size` units read through unitAt: a unit of a surrogate pair
// folds with its partner.
template <typename UnitAt>
char16_t FoldedUnit(UnitAt unitAt, qsizetype size, qsizetype i, const char16_t* table)
{
    const char16_t c = unitAt(i);
    if (!QChar::isSurrogate(c))
        return table[c];
    if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(unitAt(i + 1)))
        return QChar::highSurrogate(QChar::toCaseFolded(QChar::surrogateToUcs4(c, unitAt(i + 1))));
    if (QChar::isLowSurrogate(c) && i > 0 && QChar::isHighSurrogate(unitAt(i - 1)))
        return QChar::lowSurrogate(QChar::toCaseFolded(QChar::surrogateToUcs4(unitAt(i - 1), c)));
    return c;
}

// Folds text[from, to) into folded[from, to), both `size` units long; runs of ASCII go 8 units
// at a time.
void Fold(const char16_t* text, char16_t* folded, qsizetype size, qsizetype from, qsizetype to)
{
    const char16_t* table = FoldTable();
    for (qsizetype i = from; i < to;) {
#ifdef __SSE2__
        while (i + 8 <= to && FoldAscii8(text + i, folded + i))
            i += 8;
#endif
        for (const qsizetype end = std::min(i + 8, to); i < end; ++i)
            folded[i] = FoldedUnit([text](qsizetype j) { return text[j]; }, size, i, table);
    }
}

// The first n-unit needle (n >= 1) in the haystack at or after `from`, or -1: positions whose
// first and last units match are found 8 at a time, then compared whole.
qsizetype FindUnits(const char16_t* haystack, qsizetype size, const char16_t* needle, qsizetype n, qsizetype from)
{
    const qsizetype last = size - n; // the last possible start
    const auto matchesAt = [&](qsizetype at) {
        return std::memcmp(haystack + at + 1, needle + 1, sizeof(char16_t) * std::max<qsizetype>(n - 2, 0)) == 0;
    };
#ifdef __SSE2__
    const __m128i first = _mm_set1_epi16(static_cast<short>(needle[0]));
    const __m128i lastUnit = _mm_set1_epi16(static_cast<short>(needle[n - 1]));
    for (; from + 7 <= last; from += 8) {
        const __m128i starts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(haystack + from));
        const __m128i ends = _mm_loadu_si128(reinterpret_cast<const __m128i*>(haystack + from + n - 1));
        unsigned candidates = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi16(starts, first), _mm_cmpeq_epi16(ends, lastUnit))));
        while (candidates != 0) {
            const int bit = std::countr_zero(candidates);
            if (matchesAt(from + bit / 2))
                return from + bit / 2;
            candidates &= ~(3u << bit); // a unit gives two bits
        }
    }
#endif
    for (; from <= last; ++from) {
        if (haystack[from] == needle[0] && haystack[from + n - 1] == needle[n - 1] && matchesAt(from))
            return from;
    }
    return -1;
}

char16_t* Units(QString& text)
{
    return reinterpret_cast<char16_t*>(text.data());
}

QString FoldedCopy(QStringView text)
{
    QString folded(text.size(), Qt::Uninitialized);
    Fold(text.utf16(), Units(folded), text.size(), 0, text.size());
    return folded;
}

} // namespace

FoldedText::FoldedText(QString text)
    : text_(std::move(text))
    , folded_(FoldedCopy(text_))
{
}

const QString& FoldedText::Text() const
{
    CloseGap();
    return text_;
}

void FoldedText::MoveGapTo(qsizetype position)
{
    if (gap_ > 0 && position != gapAt_) {
        for (QString* units : {&text_, &folded_}) {
            char16_t* data = Units(*units);
            if (position < gapAt_)
                std::memmove(data + position + gap_, data + position, sizeof(char16_t) * (gapAt_ - position));
            else
                std::memmove(data + gapAt_, data + gapAt_ + gap_, sizeof(char16_t) * (position - gapAt_));
        }
    }
    gapAt_ = position;
}

void FoldedText::CloseGap() const
{
    if (gap_ == 0)
        return;
    for (QString* units : {&text_, &folded_}) {
        char16_t* data = Units(*units);
        std::memmove(data + gapAt_, data + gapAt_ + gap_, sizeof(char16_t) * (units->size() - gapAt_ - gap_));
        units->resize(units->size() - gap_);
    }
    gap_ = 0;
}

void FoldedText::Replace(qsizetype position, qsizetype length, QStringView with)
{
    MoveGapTo(position);
    gap_ += length; // the replaced units join the gap
    if (with.size() > gap_) {
        // A wider gap, made by growing each string in place (no second copy of a large text) and
        // moving the part after the gap to the end.
        const qsizetype wider = with.size() + std::max<qsizetype>(size() / 32, 256);
        for (QString* units : {&text_, &folded_}) {
            const qsizetype after = units->size() - gapAt_ - gap_;
            units->resize(units->size() + wider - gap_);
            char16_t* data = Units(*units);
            std::memmove(data + gapAt_ + wider, data + gapAt_ + gap_, sizeof(char16_t) * after);
        }
        gap_ = wider;
    }
    std::copy(with.utf16(), with.utf16() + with.size(), Units(text_) + gapAt_);
    Fold(with.utf16(), Units(folded_) + gapAt_, with.size(), 0, with.size());
    gapAt_ += with.size();
    gap_ -= with.size();
    // The ends of the new text and their neighbours: a surrogate there may have found or lost its
    // partner.
    const char16_t* table = FoldTable();
    const auto unitAt = [this](qsizetype i) { return At(i).unicode(); };
    char16_t* folded = Units(folded_);
    for (const qsizetype i : {position - 1, position, gapAt_ - 1, gapAt_}) {
        if (i >= 0 && i < size())
            folded[i < gapAt_ ? i : i + gap_] = FoldedUnit(unitAt, size(), i, table);
    }
}

QString FoldedText::TakeText()
{
    CloseGap();
    folded_ = QString();
    return std::exchange(text_, QString());
}

qsizetype FoldedText::FindFolded(QStringView needle, qsizetype from) const
{
    const qsizetype n = needle.size();
    const char16_t* folded = Units(std::as_const(folded_));
    if (gap_ > 0 && from < gapAt_) {
        // Before the gap, then across it: the last n - 1 units before it with the first n - 1 after.
        if (const qsizetype at = FindUnits(folded, gapAt_, needle.utf16(), n, from); at >= 0)
            return at;
        const qsizetype start = std::max(from, gapAt_ - n + 1);
        const qsizetype end = std::min(size(), gapAt_ + n - 1);
        std::u16string seam(folded + start, folded + gapAt_);
        seam.append(folded + gapAt_ + gap_, folded + end + gap_);
        if (const qsizetype at = FindUnits(seam.data(), seam.size(), needle.utf16(), n, 0); at >= 0)
            return start + at;
        from = gapAt_;
    }
    // After the gap, through a base that makes offsets of the text those of the twin.
    return FindUnits(from < gapAt_ ? folded : folded + gap_, size(), needle.utf16(), n, from);
}

FoldedSearch::FoldedSearch(const QString& needle)
    : needle_(needle)
    , folded_(FoldedCopy(needle))
{
}

qsizetype FoldedSearch::IndexIn(const FoldedText& text, qsizetype from) const
{
    const qsizetype n = needle_.size();
    if (n == 0 || from > text.size() - n)
        return -1;
    // Qt compares a needle of one unit on its own: a lone surrogate matches itself, also inside
    // a pair.
    if (n == 1 && needle_[0].isSurrogate())
        return text.Text().indexOf(needle_[0], from);
    // Qt folds a low surrogate together with the high one before it, so a needle that begins
    // with a lone low surrogate never matches the second half of a pair.
    const bool lowFirst = needle_[0].isLowSurrogate();
    for (;;) {
        const qsizetype at = text.FindFolded(folded_, from);
        if (at <= 0 || !lowFirst || !text.At(at - 1).isHighSurrogate())
            return at;
        from = at + 1;
    }
}

} // namespace zp
