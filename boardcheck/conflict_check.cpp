#include "boardcheck/board_check.h"
#include "boardcheck/hack_trials.h"
#include "boardcheck/install_order.h"
#include "install/board_file_cache.h"
#include "install/trial_installation.h"

#include <set>

namespace zp {

namespace {

// Two hacks installed one after the other over a fresh working copy of the files they share (only
// these can differ between the two orders, and only their mods can fail because of the other).
struct Sequence
{
    Sequence(HackTrials& trials,
             const QString& source,
             BoardFileCache& cache,
             const QStringList& shared,
             size_t firstHack,
             size_t secondHack)
        : trial(source, &cache)
    {
        trial.LimitTo({shared.begin(), shared.end()});
        first = trials.Run(trial, firstHack);
        second = trials.Run(trial, secondHack);
    }

    QByteArray Bytes(const QString& relativePath) const
    {
        for (const TrialInstallation::File& file : trial.Files()) {
            if (file.relativePath == relativePath)
                return TrialInstallation::Bytes(file.workFile);
        }
        return QByteArray();
    }

    TrialInstallation trial;
    HackMods first, second; // the results of their mods of the shared files
};

// The mods of `after` that fail where they applied with the hack alone.
std::vector<FailingMod> Broken(const QString& hack, const HackMods& alone, const HackMods& after)
{
    std::vector<FailingMod> failing;
    for (size_t i = 0; i < after.size() && i < alone.size(); ++i) {
        if (alone[i].applied && !after[i].applied)
            failing.push_back(FailingModOf(hack, after[i]));
    }
    return failing;
}

PairVerdict VerdictOf(bool firstBreaksSecond, bool secondBreaksFirst, bool sameBytes)
{
    if (firstBreaksSecond && secondBreaksFirst)
        return PairVerdict::Exclusive;
    if (firstBreaksSecond)
        return PairVerdict::FirstBreaksSecond;
    if (secondBreaksFirst)
        return PairVerdict::SecondBreaksFirst;
    return sameBytes ? PairVerdict::Independent : PairVerdict::OrderMatters;
}

class ConflictCheck
{
public:
    ConflictCheck(AppState& state, const QString& source, const std::vector<int>& hacks)
        : trials_(state, hacks)
        , source_(source)
    {
    }

    ConflictCheckResult Run(const BoardCheckControl& control);

private:
    std::set<QString> TouchedBy(size_t hack);
    ConflictPair TryPair(size_t a, size_t b, const QStringList& shared);

    HackTrials trials_;
    const QString source_;
    BoardFileCache cache_;
};

ConflictCheckResult ConflictCheck::Run(const BoardCheckControl& control)
{
    ConflictCheckResult result;
    result.Hacks = trials_.Hacks();
    const size_t count = result.Hacks.size();
    CheckSteps steps(control, int(count));
    // The files each hack touches, from a trial of it alone.
    std::vector<std::set<QString>> touched;
    for (size_t i = 0; i < count; ++i) {
        if (!steps.Continue()) {
            result.Cancelled = true;
            return result;
        }
        touched.push_back(TouchedBy(i));
        steps.Done();
    }
    std::vector<std::pair<std::pair<size_t, size_t>, QStringList>> candidates;
    for (size_t a = 0; a < count; ++a) {
        for (size_t b = a + 1; b < count; ++b) {
            QStringList shared;
            std::set_intersection(
                touched[a].begin(), touched[a].end(), touched[b].begin(), touched[b].end(), std::back_inserter(shared));
            if (!shared.isEmpty())
                candidates.push_back({{a, b}, shared});
        }
    }
    steps.SetTotal(int(count + candidates.size()));
    for (const auto& [pair, shared] : candidates) {
        if (!steps.Continue()) {
            result.Cancelled = true;
            return result;
        }
        result.Pairs.push_back(TryPair(pair.first, pair.second, shared));
        steps.Done();
    }
    SuggestInstallOrder(result);
    return result;
}

// The board files its mods name and the files its trial writes (support files among them).
std::set<QString> ConflictCheck::TouchedBy(size_t hack)
{
    TrialInstallation trial(source_, &cache_);
    std::set<QString> files;
    for (const ModResult& mod : trials_.Run(trial, hack))
        files.insert(mod.relativePath);
    for (const TrialInstallation::File& file : trial.Files())
        files.insert(file.relativePath);
    return files;
}

ConflictPair ConflictCheck::TryPair(size_t a, size_t b, const QStringList& shared)
{
    const CheckedHack& first = trials_.Hacks()[a];
    const CheckedHack& second = trials_.Hacks()[b];
    const Sequence ab(trials_, source_, cache_, shared, a, b);
    const Sequence ba(trials_, source_, cache_, shared, b, a);
    // The first hack of each sequence ran alone over the board.
    std::vector<FailingMod> failing = Broken(second.Name, ba.first, ab.second);
    const bool firstBreaksSecond = !failing.empty();
    const std::vector<FailingMod> secondBreaks = Broken(first.Name, ab.first, ba.second);
    failing.insert(failing.end(), secondBreaks.begin(), secondBreaks.end());
    bool sameBytes = true;
    for (const QString& file : shared)
        sameBytes = sameBytes && ab.Bytes(file) == ba.Bytes(file);
    return {first, second, shared, VerdictOf(firstBreaksSecond, !secondBreaks.empty(), sameBytes), std::move(failing)};
}

} // namespace

ConflictCheckResult RunConflictCheck(AppState& state,
                                     const QString& source,
                                     const std::vector<int>& hacks,
                                     const BoardCheckControl& control)
{
    return ConflictCheck(state, source, hacks).Run(control);
}

} // namespace zp
