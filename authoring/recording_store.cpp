#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/job_lock.h"
#include "app/whole_file.h"
#include "authoring/recording.h"
#include "core/catalogue_operations.h"
#include "core/install_log.h"
#include "database/recordset.h"
#include "install/fixed_installation_options.h"
#include "install/trial_installation.h"
#include "interchange/hack_import.h"
#include "interchange/hack_unpack.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>

namespace zp {

namespace {

// The first file whose trial bytes are not the edited ones (or that a mod of failed on, or that
// the trial made but nobody edited, or that it never made); empty when every one matches.
QString FirstDifference(const TrialInstallation& trial, const std::map<QString, QString>& expected)
{
    for (const ModResult& mod : trial.Mods()) {
        if (!mod.applied)
            return mod.relativePath;
    }
    std::set<QString> seen;
    for (const TrialInstallation::File& file : trial.Files()) {
        const auto edited = expected.find(file.relativePath);
        if (edited == expected.end()
            || TrialInstallation::Bytes(file.workFile) != TrialInstallation::Bytes(edited->second))
            return file.relativePath;
        seen.insert(file.relativePath);
    }
    for (const auto& [path, edited] : expected) {
        if (!seen.contains(path))
            return path;
    }
    return QString();
}

std::map<QString, QString> EditedFiles(const RecordedHack& hack, const std::vector<FileChange>& changes)
{
    std::map<QString, QString> edited;
    for (size_t i = 0; i < hack.files.size(); ++i) {
        if (hack.files[i].Recorded())
            edited.emplace(changes[i].relativePath, changes[i].editedPath);
    }
    return edited;
}

} // namespace

RecordingWorkFolder::RecordingWorkFolder(const QString& programFolder)
    : path_(programFolder + QStringLiteral("/zpk_rec_temp"))
{
    if (!QDir().mkpath(path_))
        throw std::runtime_error(QStringLiteral("Unable to create the folder %1").arg(path_).toStdString());
}

RecordingWorkFolder::~RecordingWorkFolder()
{
    RemoveJobFolderLater(path_);
}

QString RecordingWorkFolder::Write(const QString& relative, const QByteArray& bytes) const
{
    const std::optional<QString> path = JoinInsideRoot(path_, relative);
    if (!path)
        throw std::runtime_error(QStringLiteral("%1 leads out of %2").arg(relative, path_).toStdString());
    QDir().mkpath(QFileInfo(*path).path());
    QFile out(*path);
    if (!out.open(QIODevice::WriteOnly) || !WriteFully(out, bytes) || !out.flush())
        throw std::runtime_error(QStringLiteral("Unable to write %1: %2").arg(*path, out.errorString()).toStdString());
    return *path;
}

RecordResult StoreRecordedHack(AppState& state,
                               const RecordRequest& request,
                               const RecordedHack& hack,
                               const std::vector<FileChange>& changes)
{
    RecordResult result;
    result.files = hack.files;
    if (hack.cancelled) {
        result.outcome = RecordOutcome::Cancelled;
        return result;
    }
    if (hack.files.empty()) {
        result.outcome = RecordOutcome::NothingChanged;
        return result;
    }
    if (hack.mods.isEmpty() || (!hack.AllRecorded() && !request.partial)) {
        result.outcome = RecordOutcome::NotRecorded;
        // An installation stops at a hack without mods, before its support files.
        if (hack.mods.isEmpty() && hack.AllRecorded())
            result.error = QStringLiteral("a hack without mods installs nothing: the installation stops before "
                                          "its support files");
        return result;
    }

    UnpackedHack unpacked;
    unpacked.description.Info = hack.info;
    unpacked.description.Mods = hack.mods;
    unpacked.description.SupportFiles = hack.supportFiles;
    unpacked.supportFilePaths = hack.supportFilePaths;
    Transaction transaction(state.Connection);
    const int hackNum = StoreHack(state, unpacked);
    FindHack(state, QString::number(hackNum));
    TrialInstallation trial(request.originalRoot);
    // The original root only, with the recorded line ends.
    FixedInstallationOptions host;
    host.lf = request.lfLineEnds;
    RecordingLog log;
    trial.Run(state, host, log);
    result.brokenFile = FirstDifference(trial, EditedFiles(hack, changes));
    if (!result.brokenFile.isEmpty()) {
        result.outcome = RecordOutcome::PromiseBroken;
        return result; // the transaction rolls the hack back
    }
    transaction.Commit();
    result.outcome = RecordOutcome::Stored;
    result.hackNum = hackNum;
    return result;
}

RecordResult Record(AppState& state,
                    const RecordRequest& request,
                    const std::vector<FileChange>& changes,
                    const RecordProgress& progress)
{
    return StoreRecordedHack(state, request, BuildRecordedHack(state, request, changes, progress), changes);
}

RecordResult RecordAsJob(AppState& state, const std::function<RecordResult()>& recording)
{
    RecordResult result;
    try {
        if (!RunAsJob(state, DatabaseUse::Writes, [&] { result = recording(); }))
            result.error = QStringLiteral("another job is running");
    } catch (const std::exception& e) {
        result = RecordResult();
        result.error = QString::fromStdString(e.what());
    }
    RefreshRecordsets(state);
    return result;
}

} // namespace zp
