#include "boardcheck/port_proof.h"

#include "app/app_state.h"
#include "boardcheck/hack_trials.h"
#include "core/board_text.h"
#include "core/catalogue_operations.h"
#include "database/database.h"
#include "database/recordset.h"
#include "install/trial_installation.h"
#include "interchange/hack_fields.h"
#include "interchange/hack_import.h"
#include "interchange/hack_unpack.h"

#include <QDir>

namespace zp {

namespace {

// The last line of a ported hack's comments: where it came from and what became of its mods.
QString PortedFromLine(const PortedHack& hack)
{
    QStringList counts;
    for (const ModVerdict verdict : {ModVerdict::Unchanged,
                                     ModVerdict::Recounted,
                                     ModVerdict::Reanchored,
                                     ModVerdict::AlreadyInRelease,
                                     ModVerdict::NeedsPerson,
                                     ModVerdict::ByPerson}) {
        if (const int count = hack.Count(verdict); count > 0 || verdict != ModVerdict::ByPerson)
            counts << QStringLiteral("%1 %2").arg(count).arg(ModVerdictText(verdict));
    }
    return QStringLiteral("Ported from %1 %2: %3.")
        .arg(hack.Hack.Name, hack.Version, counts.join(QStringLiteral(", ")));
}

HackInfoFields PortedInfo(AppState& state, const PortRequest& request, const PortedHack& hack)
{
    Recordset info(state.Connection);
    info.Open("SELECT * FROM [HackInfo] WHERE [HackNum] = " + QString::number(hack.Hack.HackNum));
    HackInfoFields fields = ReadHackInfoFields(info);
    const QString label = request.label.isEmpty() ? QDir(request.to).dirName() : request.label;
    fields.Version = fields.Version.value_or(QString()) + QStringLiteral(" for ") + label;
    const QString comments = fields.Comments.value_or(QString());
    fields.Comments = comments + (comments.isEmpty() ? QString() : QStringLiteral("\r\n")) + PortedFromLine(hack);
    return fields;
}

// The first promised file whose trial text is not its merged text, or that a mod failed on.
QString FirstDifference(const TrialInstallation& trial, const PortedRows& rows)
{
    for (const ModResult& mod : trial.Mods()) {
        if (!mod.applied && rows.promised.contains(mod.relativePath))
            return mod.relativePath;
    }
    for (const auto& [relative, merged] : rows.promised) {
        const auto file = std::find_if(trial.Files().begin(), trial.Files().end(), [&](const auto& file) {
            return file.relativePath == relative && !file.support;
        });
        // A file all of whose mods were found in the release: the release's file is its merge.
        if (file == trial.Files().end()
                ? !merged
                : !merged || DecodeBoardText(TrialInstallation::Bytes(file->workFile)).text != *merged)
            return relative;
    }
    return QString();
}

} // namespace

void ProveAndStore(AppState& state, const PortRequest& request, PortedHack& hack, const PortedRows& rows)
{
    Transaction savepoint(state.Connection);
    UnpackedHack unpacked;
    unpacked.description.Info = PortedInfo(state, request, hack);
    unpacked.description.Mods = QList<ModEntry>(rows.mods.begin(), rows.mods.end());
    const int stored = StoreHack(state, unpacked);
    state.Connection.Execute(QStringLiteral("INSERT INTO [HackFiles] ([HackNum], [FileName], [Location], [CustomDir], "
                                            "[FileData]) SELECT %1, [FileName], [Location], [CustomDir], [FileData] "
                                            "FROM [HackFiles] WHERE [HackNum] = %2")
                                 .arg(stored)
                                 .arg(hack.Hack.HackNum));
    TrialInstallation trial(request.to);
    TryHack(state, stored, trial);
    hack.BrokenFile = FirstDifference(trial, rows);
    if (!hack.BrokenFile.isEmpty()) {
        hack.Verdict = HackVerdict::CannotPort;
        return;
    }
    if (request.store && (hack.Verdict == HackVerdict::Ported || request.partial)) {
        savepoint.Commit();
        hack.StoredAs = stored;
        hack.StoredVersion = unpacked.description.Info.Version.value_or(QString());
    }
}

} // namespace zp
