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
    , keep_(state)
{
    Recordset& list = *state.HackInfoRecordset;
    list.ReOpen(sql::SelectHackInfo);
    std::map<int, std::pair<int, QString>> rowOf; // HackNum -> row, name
    std::vector<int> all;
    for (list.MoveFirst(); !list.EOF(); list.MoveNext()) {
        const int hackNum = list.Int("HackNum");
        rowOf[hackNum] = {list.AbsolutePosition(), list.Text("Name")};
        all.push_back(hackNum);
    }
    for (const int hackNum : hackNums.empty() ? all : hackNums) {
        const auto found = rowOf.find(hackNum);
        if (found == rowOf.end())
            throw std::runtime_error("no hack " + std::to_string(hackNum));
        if (std::any_of(hacks_.begin(), hacks_.end(), [&](const CheckedHack& hack) { return hack.HackNum == hackNum; }))
            continue; // a hack named twice is checked once
        hacks_.push_back({hackNum, found->second.second});
        rows_.push_back(found->second.first);
    }
}

HackMods HackTrials::Run(TrialInstallation& trial, size_t index)
{
    Recordset& list = *state_.HackInfoRecordset;
    list.MoveFirst();
    list.Move(rows_[index]);
    return TryCurrentHack(state_, trial);
}

HackMods TryCurrentHack(AppState& state, TrialInstallation& trial)
{
    SelectCurrentHack(state, ModsRead::ByTheJob); // the trial reads them
    FixedInstallationOptions host;
    QuietLog log;
    trial.Run(state, state.CurrentHackNum, host, log);
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
