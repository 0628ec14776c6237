#include "engine/line_diff.h"

#include <algorithm>

namespace zp {

namespace {

// How far one search for a middle snake goes before it settles for the furthest point reached.
constexpr int kMaxCost = 1024;

struct Point
{
    int x, y;
};

class Comparison
{
public:
    Comparison(std::vector<int> a, std::vector<int> b)
        : removed(a.size())
        , added(b.size())
        , a_(std::move(a))
        , b_(std::move(b))
    {
        Compare(0, int(a_.size()), 0, int(b_.size()));
    }

    std::vector<bool> removed, added;

private:
    void Compare(int a0, int a1, int b0, int b1);
    Point Split(int a0, int a1, int b0, int b1);

    std::vector<int> a_, b_;
    std::vector<int> forward_, backward_; // furthest x on each diagonal, -1 where not reached yet
};

// Strips the common ends, then splits at a point of a shortest script and compares the halves.
void Comparison::Compare(int a0, int a1, int b0, int b1)
{
    for (;;) {
        while (a0 < a1 && b0 < b1 && a_[a0] == b_[b0])
            ++a0, ++b0;
        while (a0 < a1 && b0 < b1 && a_[a1 - 1] == b_[b1 - 1])
            --a1, --b1;
        if (a0 == a1 || b0 == b1) {
            std::fill(removed.begin() + a0, removed.begin() + a1, true);
            std::fill(added.begin() + b0, added.begin() + b1, true);
            return;
        }
        const Point split = Split(a0, a1, b0, b1);
        Compare(a0, split.x, b0, split.y);
        a0 = split.x;
        b0 = split.y;
    }
}

// Runs a search from each end of the two ranges, one edit further each turn, until the paths meet;
// returns where the forward one stands then. The ranges differ in their first and last lines, so
// the point lies strictly inside and both halves are smaller.
Point Comparison::Split(int a0, int a1, int b0, int b1)
{
    const int n = a1 - a0, m = b1 - b0;
    const int maxD = (n + m + 1) / 2;
    const int offset = maxD + 1;
    const int length = 2 * maxD + 3;
    forward_.assign(length, -1);
    backward_.assign(length, -1);
    forward_[offset + 1] = 0;
    backward_[offset + 1] = 0;
    const int delta = n - m;
    const bool forwardMeets = delta % 2 != 0;
    // Diagonals that have run off the grid are skipped from then on.
    int forwardStart = 0, forwardEnd = 0, backwardStart = 0, backwardEnd = 0;
    // Everything out of a, then everything into b: a valid script for when the search gives up
    // before it has got anywhere.
    Point best {a1, b0};
    int bestReach = 0;
    for (int d = 0; d <= maxD; ++d) {
        if (d > kMaxCost && bestReach > 0)
            return best;
        for (int k = -d + forwardStart; k <= d - forwardEnd; k += 2) {
            const int i = offset + k;
            int x = k == -d || (k != d && forward_[i - 1] < forward_[i + 1]) ? forward_[i + 1] : forward_[i - 1] + 1;
            int y = x - k;
            while (x < n && y < m && a_[a0 + x] == b_[b0 + y])
                ++x, ++y;
            forward_[i] = x;
            if (x > n) {
                forwardEnd += 2;
            } else if (y > m) {
                forwardStart += 2;
            } else {
                if (x + y > bestReach) {
                    bestReach = x + y;
                    best = {a0 + x, b0 + y};
                }
                const int j = offset + delta - k;
                if (forwardMeets && j >= 0 && j < length && backward_[j] != -1 && x >= n - backward_[j])
                    return {a0 + x, b0 + y};
            }
        }
        for (int k = -d + backwardStart; k <= d - backwardEnd; k += 2) {
            const int i = offset + k;
            int x
                = k == -d || (k != d && backward_[i - 1] < backward_[i + 1]) ? backward_[i + 1] : backward_[i - 1] + 1;
            int y = x - k;
            while (x < n && y < m && a_[a1 - 1 - x] == b_[b1 - 1 - y])
                ++x, ++y;
            backward_[i] = x;
            if (x > n) {
                backwardEnd += 2;
            } else if (y > m) {
                backwardStart += 2;
            } else if (!forwardMeets) {
                const int j = offset + delta - k;
                if (j >= 0 && j < length && forward_[j] != -1 && forward_[j] >= n - x)
                    return {a0 + forward_[j], b0 + forward_[j] - (j - offset)};
            }
        }
    }
    return best;
}

} // namespace

LineChanges CompareLines(const std::vector<int>& oldLines, const std::vector<int>& newLines)
{
    // A line that the other text lacks is a change whatever the alignment: the search runs over the
    // other lines only, which keeps it short when most lines changed (all line ends converted).
    int ids = 0;
    for (const auto* lines : {&oldLines, &newLines}) {
        for (int id : *lines)
            ids = std::max(ids, id + 1);
    }
    std::vector<bool> inOld(ids), inNew(ids);
    for (int id : oldLines)
        inOld[id] = true;
    for (int id : newLines)
        inNew[id] = true;

    LineChanges changes {std::vector<bool>(oldLines.size()), std::vector<bool>(newLines.size())};
    std::vector<int> keptOld, keptNew, oldIndex, newIndex;
    for (size_t i = 0; i < oldLines.size(); ++i) {
        if (inNew[oldLines[i]]) {
            keptOld.push_back(oldLines[i]);
            oldIndex.push_back(int(i));
        } else {
            changes.removed[i] = true;
        }
    }
    for (size_t i = 0; i < newLines.size(); ++i) {
        if (inOld[newLines[i]]) {
            keptNew.push_back(newLines[i]);
            newIndex.push_back(int(i));
        } else {
            changes.added[i] = true;
        }
    }
    const Comparison kept(std::move(keptOld), std::move(keptNew));
    for (size_t i = 0; i < oldIndex.size(); ++i)
        changes.removed[oldIndex[i]] = kept.removed[i];
    for (size_t i = 0; i < newIndex.size(); ++i)
        changes.added[newIndex[i]] = kept.added[i];
    return changes;
}

} // namespace zp
