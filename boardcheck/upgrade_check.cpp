#include "boardcheck/board_check.h"
#include "boardcheck/hack_trials.h"
#include "install/board_file_cache.h"
#include "install/trial_installation.h"

#include <algorithm>

namespace zp {

namespace {

int Applied(const HackMods& mods)
{
    return int(std::count_if(mods.begin(), mods.end(), [](const ModResult& mod) { return mod.applied; }));
}

UpgradeRow RowOf(const CheckedHack& hack, const HackMods& now, const HackMods& after)
{
    UpgradeRow row {hack, int(after.size()), Applied(now), Applied(after), {}, UpgradeVerdict::Fits, {}};
    const bool fitsNow = row.ApplyNow == int(now.size());
    const bool fitsAfter = row.ApplyAfter == row.Mods;
    if (fitsNow)
        row.Verdict = fitsAfter ? UpgradeVerdict::Fits : UpgradeVerdict::BreaksOnUpgrade;
    else
        row.Verdict = fitsAfter ? UpgradeVerdict::FixedByUpgrade : UpgradeVerdict::AlreadyBroken;
    for (const ModResult& mod : row.Verdict == UpgradeVerdict::FixedByUpgrade ? now : after) {
        if (!mod.applied)
            row.Failing.push_back(FailingModOf(hack.Name, mod));
    }
    for (const ModResult& mod : after) {
        if (!mod.found && !row.MissingAfter.contains(mod.relativePath))
            row.MissingAfter << mod.relativePath;
    }
    return row;
}

} // namespace

UpgradeCheckResult RunUpgradeCheck(AppState& state,
                                   const QString& newSource,
                                   const QString& currentSource,
                                   const std::vector<int>& hacks,
                                   const BoardCheckControl& control)
{
    HackTrials trials(state, hacks);
    const size_t count = trials.Hacks().size();
    CheckSteps steps(control, int(2 * count));
    UpgradeCheckResult result;
    // One source after the other, so that only one source's files are held at a time.
    std::vector<HackMods> now(count);
    for (const QString* source : {&currentSource, &newSource}) {
        BoardFileCache cache;
        for (size_t i = 0; i < count; ++i) {
            if (!steps.Continue()) {
                result.Cancelled = true;
                return result;
            }
            TrialInstallation trial(*source, &cache);
            HackMods mods = trials.Run(trial, i);
            if (source == &currentSource)
                now[i] = std::move(mods);
            else
                result.Rows.push_back(RowOf(trials.Hacks()[i], now[i], mods));
            steps.Done();
        }
    }
    return result;
}

} // namespace zp
