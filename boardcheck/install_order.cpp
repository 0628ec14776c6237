#include "boardcheck/install_order.h"

#include "app/app_state.h"

#include <algorithm>
#include <map>

namespace zp {

namespace {

// before[h]: the hacks that must be installed before hack h.
using Constraints = std::vector<std::vector<size_t>>;

Constraints ConstraintsOf(const ConflictCheckResult& result)
{
    std::map<int, size_t> indexOf;
    for (size_t i = 0; i < result.Hacks.size(); ++i)
        indexOf[result.Hacks[i].HackNum] = i;
    Constraints before(result.Hacks.size());
    for (const ConflictPair& pair : result.Pairs) {
        const size_t first = indexOf.at(pair.First.HackNum);
        const size_t second = indexOf.at(pair.Second.HackNum);
        // A hack that breaks the other when installed first has to come after it.
        if (pair.Verdict == PairVerdict::FirstBreaksSecond || pair.Verdict == PairVerdict::Exclusive)
            before[first].push_back(second);
        if (pair.Verdict == PairVerdict::SecondBreaksFirst || pair.Verdict == PairVerdict::Exclusive)
            before[second].push_back(first);
    }
    return before;
}

// A cycle among the hacks not placed: each of them still waits for another one not placed, so
// walking back from any of them along what it waits for comes round to a hack already met.
std::vector<size_t> CycleAmong(const Constraints& before, const std::vector<bool>& placed)
{
    std::vector<size_t> walk;
    std::vector<int> metAt(before.size(), -1);
    size_t hack = size_t(std::find(placed.begin(), placed.end(), false) - placed.begin());
    while (metAt[hack] < 0) {
        metAt[hack] = int(walk.size());
        walk.push_back(hack);
        hack = *std::find_if(before[hack].begin(), before[hack].end(), [&](size_t other) { return !placed[other]; });
    }
    // Walked against the order: each hack waits for the next, so it comes after it.
    std::vector<size_t> cycle(walk.rbegin(), walk.rend() - metAt[hack]);
    cycle.push_back(cycle.front());
    return cycle;
}

} // namespace

void SuggestInstallOrder(ConflictCheckResult& result)
{
    const Constraints before = ConstraintsOf(result);
    const size_t count = result.Hacks.size();
    std::vector<bool> placed(count, false);
    std::vector<size_t> order;
    const auto ready = [&](size_t hack) {
        return !placed[hack]
            && std::all_of(before[hack].begin(), before[hack].end(), [&](size_t other) { return placed[other]; });
    };
    while (order.size() < count) {
        size_t next = 0;
        while (next < count && !ready(next))
            ++next;
        if (next == count)
            break;
        placed[next] = true;
        order.push_back(next);
    }
    result.SafeOrder.clear();
    result.Cycle.clear();
    if (order.size() == count) {
        for (const size_t hack : order)
            result.SafeOrder.push_back(result.Hacks[hack]);
    } else {
        for (const size_t hack : CycleAmong(before, placed))
            result.Cycle.push_back(result.Hacks[hack]);
    }
}

PlannedOrder
PlanInstallOrder(AppState& state, const std::vector<int>& hacks, InstallOrder order, const BoardCheckControl& control)
{
    PlannedOrder planned;
    if (order == InstallOrder::Given) {
        planned.Hacks = hacks;
        return planned;
    }
    const ConflictCheckResult check = RunConflictCheck(state, state.SourceDir, hacks, control);
    planned.Cancelled = check.Cancelled;
    if (!check.Cycle.empty())
        planned.Cycle = check.OrderText();
    for (const CheckedHack& hack : check.SafeOrder)
        planned.Hacks.push_back(hack.HackNum);
    return planned;
}

} // namespace zp
