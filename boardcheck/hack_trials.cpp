#include "boardcheck/hack_trials.h"

#include "app/app_state.h"
#include "core/catalogue_operations.h"
#include "core/install_log.h"
#include "database/recordset.h"
#include "database/sql.h"
#include "install/fixed_installation_options.h"
#include "install/trial_installation.h"

#include <algorithm>
#include <stdexcept>

namespace zp {

namespace {

// The checks read the results of the mods, not the rows of a log.
class QuietLog : public LogSink
{
public:
    void Clear() override { }
    void AddRow(const QString&, const QString&, const QString&, const QString&) override { }
    void MarkLastRowRed() override { }
    void SetCurrentRow(int) override { }
    int RowCount() const override { return 1; }
};

constexpr int kOldDataShown = 60;

} // namespace

HackTrials::HackTrials(AppState& state, const std::vector<int>& hackNums)
    : state_(state)
{
    Recordset list(state.Connection);
    list.Open(sql::SelectHackInfo);
    std::map<int, QString> nameOf; // HackNum -> name
    std::vector<int> all;
    for (list.MoveFirst(); !list.EOF(); list.MoveNext()) {
        const int hackNum = list.Int("HackNum");
        nameOf[hackNum] = list.Text("Name");
        all.push_back(hackNum);
    }
    for (const int hackNum : hackNums.empty() ? all : hackNums) {
        const auto found = nameOf.find(hackNum);
        if (found == nameOf.end())
            throw std::runtime_error("no hack " + std::to_string(hackNum));
        if (std::any_of(hacks_.begin(), hacks_.end(), [&](const CheckedHack& hack) { return hack.HackNum == hackNum; }))
            continue; // a hack named twice is checked once
        hacks_.push_back({hackNum, found->second});
    }
}

HackMods HackTrials::Run(TrialInstallation& trial, size_t index)
{
    return TryHack(state_, hacks_[index].HackNum, trial);
}

HackMods TryHack(AppState& state, int hackNum, TrialInstallation& trial)
{
    FixedInstallationOptions host;
    QuietLog log;
    trial.Run(state, hackNum, host, log);
    return trial.Mods();
}

FailingMod FailingModOf(const QString& hack, const ModResult& result)
{
    return {hack,
            result.mod.FileName,
            ActionName(result.mod.ActionType),
            result.ModOrder,
            result.mod.Comment,
            result.mod.OldData.left(kOldDataShown)};
}

CheckSteps::CheckSteps(const BoardCheckControl& control, int total)
    : control_(control)
    , total_(total)
{
    if (control_.Progress)
        control_.Progress(0, total_);
}

bool CheckSteps::Continue() const
{
    return !control_.Cancel || !control_.Cancel->load();
}

void CheckSteps::Done()
{
    if (control_.Progress)
        control_.Progress(++done_, total_);
}

} // namespace zp
