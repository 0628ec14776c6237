#pragma once

#include <QStringView>
#include <QVarLengthArray>
#include <cstdint>
#include <optional>
#include <vector>

namespace zp {

// Where each run of kGram folded units of a text begins, grouped by a hash of the run. A needle of
// kGram units or more occurs only where each of its runs occurs, so a search reads the places of
// the needle's rarest run instead of the whole text. The text is not held: each call is given it.
class GramIndex
{
public:
    static constexpr qsizetype kGram = 4;
    // The largest text indexed: positions are held in 32 bits.
    static constexpr qsizetype kMostUnits = 0xFFFFFFFF;

    // Some runs of a folded needle of at least kGram units, spread over it, hashed once for the
    // indexes of all the stores a search reads: (offset in the needle, hash).
    using Runs = QVarLengthArray<std::pair<qsizetype, uint64_t>, 16>;
    static Runs RunsOf(QStringView needle);

    explicit GramIndex(QStringView folded);

    // The first occurrence of the folded needle in the folded text, starting from `first` to `last`
    // (last + needle size within the text); -1 when there is none. Nothing when the rarest of the
    // needle's runs is so common there that reading the text is quicker.
    std::optional<qsizetype>
    Find(QStringView folded, QStringView needle, const Runs& runs, qsizetype first, qsizetype last) const;

private:
    static uint64_t HashOf(const char16_t* units);

    int shift_ = 0; // 64 less the bits of a bucket number
    std::vector<uint32_t> bucketStart_; // where each bucket's positions begin in positions_; one more at the end
    std::vector<uint32_t> positions_; // each bucket's positions in ascending order
};

} // namespace zp
