#include "engine/gram_index.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace zp {

namespace {

// A candidate place costs about as much to compare as this many units cost to read.
constexpr qsizetype kUnitsPerCandidate = 64;
// The runs of a long needle that are weighed: this many, spread over it.
constexpr qsizetype kRunsWeighed = 16;

} // namespace

GramIndex::Runs GramIndex::RunsOf(QStringView needle)
{
    Runs runs;
    const qsizetype count = needle.size() - kGram + 1;
    for (qsizetype i = 0; i < std::min(count, kRunsWeighed); ++i) {
        const qsizetype offset = count <= kRunsWeighed ? i : i * (count - 1) / (kRunsWeighed - 1);
        runs.emplace_back(offset, HashOf(needle.utf16() + offset));
    }
    return runs;
}

GramIndex::GramIndex(QStringView folded)
{
    const qsizetype runs = folded.size() - kGram + 1;
    // About four places to a bucket.
    const int bits = std::clamp(int(std::bit_width(static_cast<size_t>(std::max<qsizetype>(runs, 1) / 4))), 10, 24);
    shift_ = 64 - bits;
    bucketStart_.assign((size_t(1) << bits) + 1, 0);
    if (runs <= 0)
        return;
    const char16_t* units = folded.utf16();
    std::vector<uint32_t> bucket(runs);
    for (qsizetype i = 0; i < runs; ++i) {
        bucket[i] = static_cast<uint32_t>(HashOf(units + i) >> shift_);
        ++bucketStart_[bucket[i] + 1];
    }
    for (size_t b = 1; b < bucketStart_.size(); ++b)
        bucketStart_[b] += bucketStart_[b - 1];
    positions_.resize(runs);
    std::vector<uint32_t> next(bucketStart_.begin(), bucketStart_.end() - 1);
    for (qsizetype i = 0; i < runs; ++i)
        positions_[next[bucket[i]]++] = static_cast<uint32_t>(i);
}

uint64_t GramIndex::HashOf(const char16_t* units)
{
    static_assert(kGram * sizeof(char16_t) == sizeof(uint64_t));
    uint64_t run;
    std::memcpy(&run, units, sizeof run);
    return run * 0x9E3779B97F4A7C15ull;
}

std::optional<qsizetype>
GramIndex::Find(QStringView folded, QStringView needle, const Runs& runs, qsizetype first, qsizetype last) const
{
    if (last < first)
        return -1;
    // The run whose bucket holds the fewest places, and its places in the range.
    size_t bucket = 0;
    qsizetype offset = -1;
    for (const auto& [at, hash] : runs) {
        const size_t b = hash >> shift_;
        if (offset < 0 || bucketStart_[b + 1] - bucketStart_[b] < bucketStart_[bucket + 1] - bucketStart_[bucket]) {
            bucket = b;
            offset = at;
        }
    }
    const uint32_t* begin = positions_.data() + bucketStart_[bucket];
    const uint32_t* end = positions_.data() + bucketStart_[bucket + 1];
    const uint32_t* from = std::lower_bound(begin, end, first + offset);
    const uint32_t* to = std::upper_bound(from, end, last + offset);
    if ((to - from) * kUnitsPerCandidate > last - first + 1)
        return std::nullopt;
    for (const uint32_t* p = from; p != to; ++p) {
        const qsizetype at = *p - offset;
        if (std::memcmp(folded.utf16() + at, needle.utf16(), sizeof(char16_t) * needle.size()) == 0)
            return at;
    }
    return -1;
}

} // namespace zp
