#include "engine/folded_text.h"

#include <QChar>
#include <QVarLengthArray>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#ifdef __x86_64__
#include <immintrin.h>
#endif
#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
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

// The first n-unit needle (n >= 1) in the haystack at or after `from`, or -1: positions whose units
// at the two probes match are found 8 at a time, then compared whole.
qsizetype FindUnitsSse2(
    const char16_t* haystack, qsizetype size, const char16_t* needle, qsizetype n, SearchProbes probes, qsizetype from)
{
    const qsizetype last = size - n; // the last possible start
    const auto matches = [&](qsizetype at) { return std::memcmp(haystack + at, needle, sizeof(char16_t) * n) == 0; };
#ifdef __SSE2__
    const __m128i first = _mm_set1_epi16(static_cast<short>(needle[probes.first]));
    const __m128i second = _mm_set1_epi16(static_cast<short>(needle[probes.second]));
    for (; from + 7 <= last; from += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(haystack + from + probes.first));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(haystack + from + probes.second));
        unsigned candidates = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi16(a, first), _mm_cmpeq_epi16(b, second))));
        while (candidates != 0) {
            const int bit = std::countr_zero(candidates);
            if (matches(from + bit / 2))
                return from + bit / 2;
            candidates &= ~(3u << bit); // a unit gives two bits
        }
    }
#endif
    for (; from <= last; ++from) {
        if (haystack[from + probes.first] == needle[probes.first]
            && haystack[from + probes.second] == needle[probes.second] && matches(from))
            return from;
    }
    return -1;
}

#ifdef __x86_64__
// FindUnitsSse2 16 units at a time, for processors with AVX2.
__attribute__((target("avx2"))) qsizetype FindUnitsAvx2(
    const char16_t* haystack, qsizetype size, const char16_t* needle, qsizetype n, SearchProbes probes, qsizetype from)
{
    const qsizetype last = size - n;
    const __m256i first = _mm256_set1_epi16(static_cast<short>(needle[probes.first]));
    const __m256i second = _mm256_set1_epi16(static_cast<short>(needle[probes.second]));
    for (; from + 15 <= last; from += 16) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(haystack + from + probes.first));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(haystack + from + probes.second));
        unsigned candidates = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi16(a, first), _mm256_cmpeq_epi16(b, second))));
        while (candidates != 0) {
            const int bit = std::countr_zero(candidates);
            if (std::memcmp(haystack + from + bit / 2, needle, sizeof(char16_t) * n) == 0)
                return from + bit / 2;
            candidates &= ~(3u << bit);
        }
    }
    return FindUnitsSse2(haystack, size, needle, n, probes, from);
}
#endif

// The first n-unit needle (n >= 1) in the haystack at or after `from`, or -1, the widest way the
// processor offers.
qsizetype FindUnits(
    const char16_t* haystack, qsizetype size, const char16_t* needle, qsizetype n, SearchProbes probes, qsizetype from)
{
#ifdef __x86_64__
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2)
        return FindUnitsAvx2(haystack, size, needle, n, probes, from);
#endif
    return FindUnitsSse2(haystack, size, needle, n, probes, from);
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

// More pieces than this are joined: every search walks the pieces.
constexpr size_t kMostPieces = 256;
// A piece this size or larger stays in its store when pieces are joined.
constexpr qsizetype kLargePiece = 4096;
// A store is indexed once searches have read it this many times over: about what the index costs.
constexpr qsizetype kReadsBeforeIndex = 64;
// More ranges than this in one ReplaceEach are done in one pass rather than one at a time.
constexpr size_t kFewRanges = 16;

} // namespace

FoldedText::FoldedText(QString text)
    : size_(text.size())
{
    QString folded = FoldedCopy(text);
    // A sample is enough to tell rare units from common ones: runs of units from all over the text.
    constexpr qsizetype runs = 16, run = 256;
    const char16_t* units = Units(std::as_const(folded));
    for (qsizetype r = 0; r < runs; ++r) {
        const qsizetype start = size_ * r / runs;
        for (qsizetype i = start; i < std::min(size_, start + run); ++i)
            ++counts_[Bucket(units[i])];
    }
    stores_.push_back(Store {std::move(text), std::move(folded)});
    if (size_ > 0)
        pieces_.push_back(Piece {0, 0, size_});
}

const QString& FoldedText::Text() const
{
    Lay(pieces_);
    return stores_.front().text;
}

std::vector<QStringView> FoldedText::Parts() const
{
    std::vector<QStringView> parts;
    for (const Piece& piece : pieces_)
        parts.push_back(QStringView(std::as_const(stores_[piece.store].text)).sliced(piece.start, piece.size));
    return parts;
}

std::pair<size_t, qsizetype> FoldedText::Locate(qsizetype i) const
{
    size_t k = 0;
    qsizetype base = 0;
    while (k < pieces_.size() && base + pieces_[k].size <= i)
        base += pieces_[k++].size;
    return {k, base};
}

QChar FoldedText::At(qsizetype i) const
{
    const auto [k, base] = Locate(i);
    if (k == pieces_.size()) // a seam refolded against a length that is not the text's
        throw std::logic_error("a unit past the end of the text was read");
    const Piece& piece = pieces_[k];
    return std::as_const(stores_[piece.store].text)[piece.start + i - base];
}

size_t FoldedText::SplitAt(qsizetype i)
{
    const auto [k, base] = Locate(i);
    if (k == pieces_.size() || base == i)
        return k;
    Piece& head = pieces_[k];
    const Piece tail {head.store, head.start + (i - base), head.size - (i - base)};
    head.size = i - base;
    pieces_.insert(pieces_.begin() + qsizetype(k) + 1, tail);
    return k + 1;
}

void FoldedText::RefoldAround(qsizetype position, qsizetype inserted)
{
    const char16_t* table = FoldTable();
    const auto unitAt = [this](qsizetype i) { return At(i).unicode(); };
    for (const qsizetype i : {position - 1, position, position + inserted - 1, position + inserted}) {
        if (i < 0 || i >= size_ || !At(i).isSurrogate())
            continue; // any other unit folds on its own, as it did when it was put in
        const auto [k, base] = Locate(i);
        const Piece& piece = pieces_[k];
        QString& folded = stores_[piece.store].folded;
        const qsizetype at = piece.start + i - base;
        const char16_t unit = FoldedUnit(unitAt, size_, i, table);
        if (std::as_const(folded)[at] != unit) { // a store shared with a copy is copied only on a change
            folded[at] = unit;
            stores_[piece.store].index.reset();
        }
    }
}

void FoldedText::Replace(qsizetype position, qsizetype length, QStringView with)
{
    const size_t first = SplitAt(position);
    const size_t end = SplitAt(position + length);
    pieces_.erase(pieces_.begin() + qsizetype(first), pieces_.begin() + qsizetype(end));
    if (!with.isEmpty()) {
        stores_.push_back(Store {with.toString(), FoldedCopy(with)});
        pieces_.insert(pieces_.begin() + qsizetype(first), Piece {stores_.size() - 1, 0, with.size()});
    }
    size_ += with.size() - length;
    RefoldAround(position, with.size());
    if (pieces_.size() > kMostPieces)
        Compact();
}

void FoldedText::ReplaceEach(const Ranges& ranges, QStringView with)
{
    if (ranges.size() <= kFewRanges) {
        // From the last to the first, so that each range is still where it was given.
        for (auto range = ranges.rbegin(); range != ranges.rend(); ++range)
            Replace(range->first, range->second, with);
        return;
    }
    Lay(pieces_);
    stores_.push_back(Store {with.toString(), FoldedCopy(with)});
    std::vector<Piece> pieces;
    qsizetype kept = 0; // the units before this are placed
    for (const auto& [position, length] : ranges) {
        if (position > kept)
            pieces.push_back(Piece {0, kept, position - kept});
        if (!with.isEmpty())
            pieces.push_back(Piece {1, 0, with.size()});
        kept = position + length;
    }
    if (size_ > kept)
        pieces.push_back(Piece {0, kept, size_ - kept});
    Lay(pieces);
    size_ = stores_.front().text.size();
    qsizetype shift = 0; // where the ranges lie now
    for (const auto& [position, length] : ranges) {
        RefoldAround(position + shift, with.size());
        shift += with.size() - length;
    }
}

void FoldedText::Lay(const std::vector<Piece>& pieces) const
{
    if (stores_.empty())
        stores_.emplace_back();
    Store& first = stores_.front();
    std::vector<qsizetype> at; // where each piece goes
    qsizetype total = 0;
    for (const Piece& piece : pieces) {
        at.push_back(total);
        total += piece.size;
    }
    if (stores_.size() == 1 && pieces.size() == 1 && pieces.front().start == 0 && total == first.text.size())
        return; // laid out already
    for (QString Store::*units : {&Store::text, &Store::folded}) {
        QString& into = first.*units;
        into.resize(std::max(total, into.size()));
        char16_t* data = Units(into);
        const auto place = [&](size_t i) {
            const Piece& piece = pieces[i];
            if (piece.store == 0)
                std::memmove(data + at[i], data + piece.start, sizeof(char16_t) * piece.size);
            else
                std::memcpy(data + at[i],
                            Units(std::as_const(stores_[piece.store].*units)) + piece.start,
                            sizeof(char16_t) * piece.size);
        };
        // The first store's own pieces move without overwriting one another that has yet to move:
        // those going towards the front from the front, those going towards the back from the
        // back. The other stores' pieces are copied in over what is left.
        for (size_t i = 0; i < pieces.size(); ++i) {
            if (pieces[i].store == 0 && at[i] <= pieces[i].start)
                place(i);
        }
        for (size_t i = pieces.size(); i-- > 0;) {
            if (pieces[i].store == 0 && at[i] > pieces[i].start)
                place(i);
        }
        for (size_t i = 0; i < pieces.size(); ++i) {
            if (pieces[i].store != 0)
                place(i);
        }
        into.resize(total);
    }
    stores_.resize(1);
    first.index.reset();
    first.read = 0;
    pieces_.clear();
    if (total > 0)
        pieces_.push_back(Piece {0, 0, total});
}

void FoldedText::Compact()
{
    // At most kMostPieces / 4 pieces are this large, so that at most about half as many pieces
    // as are allowed are left.
    const qsizetype large = std::max(kLargePiece, size_ / qsizetype(kMostPieces / 4));
    std::vector<Piece> pieces;
    for (size_t k = 0; k < pieces_.size();) {
        size_t end = k;
        qsizetype total = 0;
        while (end < pieces_.size() && pieces_[end].size < large)
            total += pieces_[end++].size;
        if (end - k < 2) {
            pieces.push_back(pieces_[k++]);
            continue;
        }
        Store joined;
        joined.text.reserve(total);
        joined.folded.reserve(total);
        for (; k < end; ++k) {
            const Piece& piece = pieces_[k];
            const Store& store = stores_[piece.store];
            joined.text.append(QStringView(store.text).sliced(piece.start, piece.size));
            joined.folded.append(QStringView(store.folded).sliced(piece.start, piece.size));
        }
        pieces.push_back(Piece {stores_.size(), 0, total});
        stores_.push_back(std::move(joined));
    }
    // The first store stays the first, used or not: Lay builds the text in it.
    std::vector<Store> stores;
    stores.push_back(std::move(stores_.front()));
    std::vector<size_t> number(stores_.size(), 0);
    for (Piece& piece : pieces) {
        if (piece.store != 0 && number[piece.store] == 0) {
            number[piece.store] = stores.size();
            stores.push_back(std::move(stores_[piece.store]));
        }
        if (piece.store != 0)
            piece.store = number[piece.store];
    }
    stores_ = std::move(stores);
    pieces_ = std::move(pieces);
    if (pieces_.size() > kMostPieces * 3 / 4)
        Lay(pieces_);
}

SearchProbes FoldedText::ProbesFor(QStringView needle) const
{
    const auto count = [&](qsizetype i) { return counts_[Bucket(needle[i].unicode())]; };
    const auto rarest = [&](qsizetype other) {
        qsizetype best = other == 0 ? 1 : 0;
        for (qsizetype i = best + 1; i < needle.size(); ++i) {
            if (i != other && count(i) < count(best))
                best = i;
        }
        return best;
    };
    SearchProbes probes;
    probes.first = rarest(-1);
    probes.second = needle.size() > 1 ? rarest(probes.first) : probes.first;
    return probes;
}

qsizetype
FoldedText::FindInStore(size_t s, QStringView needle, const Probes& probes, qsizetype begin, qsizetype end) const
{
    Store& store = stores_[s];
    const qsizetype n = needle.size();
    if (end - begin < n)
        return -1;
    if (n >= GramIndex::kGram) {
        const qsizetype size = store.folded.size();
        if (!store.index && store.read >= kReadsBeforeIndex * size && size <= GramIndex::kMostUnits)
            store.index = std::make_shared<const GramIndex>(store.folded);
        if (store.index) {
            if (const std::optional<qsizetype> at
                = store.index->Find(store.folded, needle, probes.runs, begin, end - n))
                return *at;
        }
    }
    const qsizetype at
        = FindUnits(Units(std::as_const(store.folded)) + begin, end - begin, needle.utf16(), n, probes.units, 0);
    store.read += at < 0 ? end - begin : at + n;
    return at < 0 ? -1 : begin + at;
}

qsizetype FoldedText::FindFolded(QStringView needle, qsizetype from, qsizetype until) const
{
    const qsizetype n = needle.size();
    const Probes probes {ProbesFor(needle), n >= GramIndex::kGram ? GramIndex::RunsOf(needle) : GramIndex::Runs()};
    auto [k, base] = Locate(from);
    for (; k < pieces_.size() && base < until; base += pieces_[k++].size) {
        const Piece& piece = pieces_[k];
        const qsizetype size = std::min(piece.size, until - base);
        const qsizetype start = std::max(from, base);
        if (const qsizetype at
            = FindInStore(piece.store, needle, probes, piece.start + start - base, piece.start + size);
            at >= 0)
            return base + at - piece.start;
        // Occurrences that begin in this piece and end in a later one: the piece's last n - 1 units
        // with the next n - 1 of the text.
        const qsizetype end = base + size;
        const qsizetype seamStart = std::max(start, end - n + 1);
        const qsizetype seamEnd = std::min(until, end + n - 1);
        if (seamEnd - seamStart < n)
            continue;
        QVarLengthArray<char16_t, 256> seam(seamEnd - seamStart);
        qsizetype copied = 0;
        size_t j = k;
        for (qsizetype partBase = base; copied < seam.size(); partBase += pieces_[j++].size) {
            const Piece& part = pieces_[j];
            const qsizetype begin = std::max(seamStart, partBase);
            const qsizetype count = std::min(seamEnd, partBase + part.size) - begin;
            std::memcpy(seam.data() + copied,
                        Units(std::as_const(stores_[part.store].folded)) + part.start + (begin - partBase),
                        sizeof(char16_t) * count);
            copied += count;
        }
        if (const qsizetype at = FindUnits(seam.data(), seam.size(), needle.utf16(), n, probes.units, 0); at >= 0)
            return seamStart + at;
    }
    return -1;
}

FoldedSearch::FoldedSearch(const QString& needle)
    : needle_(needle)
    , folded_(FoldedCopy(needle))
{
}

qsizetype FoldedSearch::IndexIn(const FoldedText& text, qsizetype from, qsizetype until) const
{
    const qsizetype n = needle_.size();
    until = std::min(until, text.size());
    if (n == 0 || from > until - n)
        return -1;
    // Qt compares a needle of one unit on its own: a lone surrogate matches itself, also inside
    // a pair.
    if (n == 1 && needle_[0].isSurrogate()) {
        const qsizetype at = text.Text().indexOf(needle_[0], from);
        return at < until ? at : -1;
    }
    // Qt folds a low surrogate together with the high one before it, so a needle that begins
    // with a lone low surrogate never matches the second half of a pair.
    const bool lowFirst = needle_[0].isLowSurrogate();
    for (;;) {
        const qsizetype at = text.FindFolded(folded_, from, until);
        if (at <= 0 || !lowFirst || !text.At(at - 1).isHighSurrogate())
            return at;
        from = at + 1;
    }
}

} // namespace zp
