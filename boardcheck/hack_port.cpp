#include "boardcheck/hack_port.h"

#include "app/app_state.h"
#include "app/worker_threads.h"
#include "boardcheck/hack_trials.h"
#include "boardcheck/port_files.h"
#include "boardcheck/port_proof.h"
#include "core/catalogue_operations.h"
#include "database/recordset.h"
#include "database/sql.h"
#include "engine/mod_target.h"
#include "install/trial_installation.h"
#include "interchange/hack_fields.h"
#include "interchange/hack_import.h"

#include <QScopeGuard>

#include <algorithm>
#include <stdexcept>

namespace zp {

namespace {

std::vector<ModEntry> ModRowsOf(AppState& state, int hackNum)
{
    Recordset rows(state.Connection);
    rows.Open(sql::SelectHackDataOf + QString::number(hackNum) + sql::OrderByFileNameModOrder);
    std::vector<ModEntry> entries;
    for (; !rows.EOF(); rows.MoveNext())
        entries.push_back(ReadModEntry(rows));
    return entries;
}

void SetCarried(ModEntry& entry, const ModRecord& mod)
{
    entry.ActionType = mod.ActionType;
    entry.ModInst = mod.ModInst;
    entry.OldData = mod.OldData;
    entry.NewData = mod.NewData;
}

// The port of one hack up to its proof.
class HackPort
{
public:
    HackPort(AppState& state, const PortRequest& request, const CheckedHack& hack)
        : state_(state)
        , request_(request)
    {
        ported_.Hack = hack;
    }

    PortedHack Run()
    {
        Recordset hack(state_.Connection);
        if (!OpenHackRow(hack, ported_.Hack.HackNum))
            throw std::runtime_error("no hack " + std::to_string(ported_.Hack.HackNum));
        ported_.Version = hack.Text("Version");
        TrialInstallation trial(request_.from);
        const HackMods results = TryHack(state_, ported_.Hack.HackNum, trial);
        rows_.mods = ModRowsOf(state_, ported_.Hack.HackNum);
        if (rows_.mods.size() != results.size())
            throw std::runtime_error(
                QStringLiteral("the mods of %1 changed during the port").arg(ported_.Hack.Name).toStdString());
        ported_.Mods.resize(results.size());
        std::vector<QString> files; // in the order they first come
        for (const ModResult& result : results) {
            if (std::find(files.begin(), files.end(), result.relativePath) == files.end())
                files.push_back(result.relativePath);
        }
        // The files are carried side by side.
        std::vector<FileToCarry> work;
        for (const QString& file : files)
            work.push_back(Prepare(trial, results, file));
        std::vector<std::future<void>> carried;
        for (FileToCarry& file : work)
            carried.push_back(BoardFileWorkers().Run([&file] { Carry(file); }));
        for (std::future<void>& done : carried)
            done.wait(); // every job ends before a failure is passed on
        for (std::future<void>& done : carried)
            done.get();
        for (const FileToCarry& file : work)
            Record(file, results);
        CheckSupportFiles(trial);
        Judge();
        PortedRows kept = rows_;
        kept.mods.clear();
        for (size_t i = 0; i < rows_.mods.size(); ++i) {
            if (ported_.Mods[i].Verdict != ModVerdict::AlreadyInRelease)
                kept.mods.push_back(rows_.mods[i]);
        }
        if (ported_.Verdict != HackVerdict::CannotPort)
            ProveAndStore(state_, request_, ported_, kept);
        return ported_;
    }

private:
    // One board file of the hack: its mods and where its texts are; then what became of them.
    struct FileToCarry
    {
        QString relative;
        std::vector<size_t> indexes; // of its mods among the hack's
        std::vector<ModToCarry> steps;
        QString base, release; // its files in the two releases; empty when there is none
        CarriedFile carried;
    };

    FileToCarry Prepare(const TrialInstallation& trial, const HackMods& results, const QString& relative) const
    {
        FileToCarry file {relative, {}, {}, {}, {}, {}};
        for (size_t i = 0; i < results.size(); ++i) {
            if (results[i].relativePath != relative)
                continue;
            file.indexes.push_back(i);
            ModToCarry step {results[i].mod, results[i].applied, {}};
            if (const auto person = request_.byPerson.find({ported_.Hack.HackNum, int(i)});
                person != request_.byPerson.end())
                step.byPerson = person->second;
            file.steps.push_back(step);
        }
        const auto origin = std::find_if(trial.Files().begin(), trial.Files().end(), [&](const auto& file) {
            return file.relativePath == relative && !file.support;
        });
        if (origin != trial.Files().end())
            file.base = origin->origin;
        file.release = FileInRelease(request_.to, results[file.indexes.front()]);
        return file;
    }

    // On a board file thread: reads the file's two texts and carries its mods.
    static void Carry(FileToCarry& file)
    {
        const std::optional<QString> base = BoardTextOf(file.base);
        const std::optional<QString> theirs = base ? BoardTextOf(file.release) : std::nullopt;
        const QString reason = !base
            ? QStringLiteral("it does not apply to the release it was written for")
            : QStringLiteral("the new release has no %1 (removed or renamed)").arg(file.relative);
        if (base && theirs) {
            file.carried = CarryMods(*base, *theirs, file.steps);
            return;
        }
        for (const ModToCarry& step : file.steps)
            file.carried.mods.push_back({ModVerdict::NeedsPerson, step.mod, reason});
    }

    void Record(const FileToCarry& file, const HackMods& results)
    {
        bool all = true;
        for (size_t k = 0; k < file.indexes.size(); ++k) {
            const size_t i = file.indexes[k];
            const CarriedMod& mod = file.carried.mods[k];
            ported_.Mods[i] = {
                results[i].ModOrder, file.relative, ActionName(mod.mod.ActionType), mod.verdict, mod.mod, mod.reason};
            if (Carried(mod.verdict))
                SetCarried(rows_.mods[i], mod.mod);
            all = all && mod.verdict != ModVerdict::NeedsPerson;
        }
        if (all)
            rows_.promised[file.relative] = file.carried.merged;
    }

    // A support file replaces its file in the new release: a person must look at it when the
    // release changed that file.
    void CheckSupportFiles(const TrialInstallation& trial)
    {
        for (const TrialInstallation::File& file : trial.Files()) {
            if (!file.support)
                continue;
            const std::optional<QByteArray> now = ReadBoardFile(Below(request_.to, file.relativePath));
            if (now && ReadBoardFile(file.origin) != now) {
                PortedMod row;
                row.File = file.relativePath;
                row.Action = QStringLiteral("Support File");
                row.Reason = QStringLiteral("the new release changed %1, which this support file replaces")
                                 .arg(file.relativePath);
                ported_.Mods.push_back(row);
            }
        }
    }

    void Judge()
    {
        const int carried = int(std::count_if(ported_.Mods.begin(), ported_.Mods.end(), [](const PortedMod& mod) {
            return Carried(mod.Verdict) || mod.Verdict == ModVerdict::AlreadyInRelease;
        }));
        if (ported_.NeedPerson() == 0)
            ported_.Verdict = HackVerdict::Ported;
        else
            ported_.Verdict = carried > 0 ? HackVerdict::PortedWithGaps : HackVerdict::CannotPort;
    }

    AppState& state_;
    const PortRequest& request_;
    PortedHack ported_;
    PortedRows rows_;
};

} // namespace

int PortedHack::NeedPerson() const
{
    return Count(ModVerdict::NeedsPerson);
}

int PortedHack::Count(ModVerdict verdict) const
{
    return int(
        std::count_if(Mods.begin(), Mods.end(), [verdict](const PortedMod& mod) { return mod.Verdict == verdict; }));
}

QString HackVerdictText(const PortedHack& hack)
{
    switch (hack.Verdict) {
    case HackVerdict::Ported:
        return QStringLiteral("ported");
    case HackVerdict::PortedWithGaps:
        return QStringLiteral("ported, %1 %2 a person")
            .arg(hack.NeedPerson())
            .arg(hack.NeedPerson() == 1 ? QStringLiteral("mod needs") : QStringLiteral("mods need"));
    case HackVerdict::CannotPort:
        break;
    }
    return QStringLiteral("cannot port");
}

bool PortResult::AllCarried() const
{
    return !Cancelled && std::all_of(Hacks.begin(), Hacks.end(), [](const PortedHack& hack) {
        return hack.Verdict == HackVerdict::Ported;
    });
}

PortResult RunPort(AppState& state, const PortRequest& request, const BoardCheckControl& control)
{
    HackTrials trials(state, request.hacks); // the hacks asked for; the selection kept
    CheckSteps steps(control, int(trials.Hacks().size()));
    PortResult result;
    // The list shows the database as it is after the run, whether it stored or not.
    const auto refresh = qScopeGuard([&state] { RefreshRecordsets(state); });
    Transaction run(state.Connection);
    for (const CheckedHack& hack : trials.Hacks()) {
        if (!steps.Continue()) {
            result.Cancelled = true;
            return result; // the transaction rolls every stored hack back
        }
        result.Hacks.push_back(HackPort(state, request, hack).Run());
        steps.Done();
    }
    if (request.store)
        run.Commit();
    return result;
}

} // namespace zp
