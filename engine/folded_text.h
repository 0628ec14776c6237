#pragma once

#include "engine/gram_index.h"

#include <QString>
#include <QStringView>
#include <array>
#include <memory>
#include <utility>
#include <vector>

namespace zp {

// Two offsets of a folded needle whose units a search compares at each position before the whole
// needle: its units that are rarest in the text, so that few positions come to the whole comparison.
struct SearchProbes
{
    qsizetype first = 0;
    qsizetype second = 0;
};

// A text with a case-folded twin of the same length beside it, so that a case-insensitive search
// becomes a case-sensitive search of the twin at the same offsets. Each UTF-16 unit folds on its
// own by Qt's simple case folding; a surrogate pair folds as the character it encodes and stays a
// pair. The twin is folded once and kept up to date through Replace.
//
// Both are held as a piece table: the text is a list of pieces of stores, the first store the text
// as it was given and one more for each text put in. An edit splits and drops pieces and moves no
// text, so edits all over a large file cost what they put in, not the file's size each. Searches
// read across the pieces; Text() lays them out in the first store again, in place, so that a large
// text is never held twice. When edits leave many pieces, the runs of small ones are joined into one
// store each, and the large pieces stay where they are.
//
// A store that searches have read many times over gets a GramIndex, and later searches of it read
// only the places where the needle may be: many searches from the top of a large text, one per mod
// as an installation makes them, cost about what the needles find rather than the text's size each.
class FoldedText
{
public:
    using Ranges = std::vector<std::pair<qsizetype, qsizetype>>; // (position, length)

    FoldedText() = default;
    explicit FoldedText(QString text);

    const QString& Text() const;
    // The text as the pieces it is made of, in order, without laying them out.
    std::vector<QStringView> Parts() const;
    qsizetype size() const { return size_; }

    // Replaces `length` units at `position` (both within the text) with `with`; only the new units
    // and their two neighbours are folded.
    void Replace(qsizetype position, qsizetype length, QStringView with);
    // Replaces each range with `with`: the ranges lie within the text as it is now, in ascending
    // order, none overlapping the next. Many ranges are done in one pass over the text.
    void ReplaceEach(const Ranges& ranges, QStringView with);

private:
    friend class FoldedSearch;
    struct Store
    {
        Store() = default;
        Store(QString units, QString foldedUnits)
            : text(std::move(units))
            , folded(std::move(foldedUnits))
        {
        }

        QString text;
        QString folded;
        // Made once searches have read the store often enough to pay for it.
        std::shared_ptr<const GramIndex> index;
        qsizetype read = 0; // the units of the store that searches have read
    };
    // What a search of one needle weighs once for all the pieces it reads.
    struct Probes
    {
        SearchProbes units; // for reading a store
        GramIndex::Runs runs; // for an index
    };
    // Units [start, start + size) of a store. The pieces of one store never overlap and follow
    // each other in the text in the order they lie in the store.
    struct Piece
    {
        size_t store;
        qsizetype start;
        qsizetype size;
    };

    // The first occurrence of an already folded needle at or after `from` that ends by `until`, or -1.
    qsizetype FindFolded(QStringView needle, qsizetype from, qsizetype until) const;
    // The first occurrence of a folded needle within units [begin, end) of a store, or -1.
    qsizetype FindInStore(size_t store, QStringView needle, const Probes& probes, qsizetype begin, qsizetype end) const;
    // The probes of a folded needle: the offsets of its two units that are rarest in the text.
    SearchProbes ProbesFor(QStringView needle) const;
    static size_t Bucket(char16_t unit) { return unit & 0xFF; }
    QChar At(qsizetype i) const;
    // The index of the piece holding unit i (the number of pieces for the end) and its offset.
    std::pair<size_t, qsizetype> Locate(qsizetype i) const;
    // Splits the piece holding unit i so that a piece begins there; returns that piece's index.
    size_t SplitAt(qsizetype i);
    // Folds unit i again when it is half of a surrogate pair, whose partner may have changed.
    void RefoldAround(qsizetype position, qsizetype inserted);
    // Makes the pieces the whole of the first store, moving its own units in place and copying the
    // others in; then that store is the only one and holds the text in one piece.
    void Lay(const std::vector<Piece>& pieces) const;
    // Joins each run of neighbouring small pieces into one new store and drops the stores no piece
    // uses; lays the text out when that leaves too many pieces still.
    void Compact();

    mutable std::vector<Store> stores_;
    mutable std::vector<Piece> pieces_;
    qsizetype size_ = 0;
    // How often folded units occur in a sample of the text as it was given, by their low byte: how
    // rare a unit is, roughly, to choose probes by. Edits leave the counts as they were.
    std::array<qsizetype, 256> counts_ {};
};

// The case-insensitive search of one string: the offsets QString::indexOf with Qt::CaseInsensitive
// gives, found in a FoldedText's twin.
class FoldedSearch
{
public:
    explicit FoldedSearch(const QString& needle);

    // The first occurrence at or after `from`, or -1. An empty needle is never found.
    qsizetype IndexIn(const FoldedText& text, qsizetype from) const { return IndexIn(text, from, text.size()); }
    // The same among the occurrences that end by `until`: a search of part of the text.
    qsizetype IndexIn(const FoldedText& text, qsizetype from, qsizetype until) const;
    qsizetype size() const { return needle_.size(); }

private:
    QString needle_;
    QString folded_;
};

} // namespace zp
