#pragma once

#include "boardcheck/board_check.h"
#include "core/catalogue_operations.h"
#include "install/mod_pass.h"

#include <QString>
#include <map>
#include <vector>

namespace zp {

class TrialInstallation;

// What became of each mod of one hack in a trial, in the order they ran.
using HackMods = std::vector<ModResult>;

// The hacks of one check and their trial installations. Opens the hack list once and finds the hacks
// asked for; each trial is handed its hack, so the hack list's selection stays as it is. The trials run without
// logging, with the installation options all off and CR LF line ends.
class HackTrials
{
public:
    // Every hack in list order when `hackNums` is empty, a hack named twice once. Throws std::runtime_error naming a
    // hack number that is not there.
    HackTrials(AppState& state, const std::vector<int>& hackNums);
    HackTrials(const HackTrials&) = delete;
    HackTrials& operator=(const HackTrials&) = delete;

    const std::vector<CheckedHack>& Hacks() const { return hacks_; }
    // Runs hack number `index` of Hacks() over the trial's working copy; the result of each mod.
    HackMods Run(TrialInstallation& trial, size_t index);

private:
    AppState& state_;
    std::vector<CheckedHack> hacks_;
};

// Runs the hack `hackNum` over the trial's working copy as the checks do: without logging, the
// installation options all off, CR LF line ends. The result of each mod.
HackMods TryHack(AppState& state, int hackNum, TrialInstallation& trial);

// The mod as a failing row of a report.
FailingMod FailingModOf(const QString& hack, const ModResult& result);

// Step by step through a check: progress and the cancel flag of its caller.
class CheckSteps
{
public:
    CheckSteps(const BoardCheckControl& control, int total);
    // False when the caller has asked to stop.
    bool Continue() const;
    void Done();
    // The total once a later phase of the check knows its number of steps.
    void SetTotal(int total) { total_ = total; }

private:
    const BoardCheckControl& control_;
    int done_ = 0;
    int total_;
};

} // namespace zp
