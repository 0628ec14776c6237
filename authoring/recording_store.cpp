#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/job_lock.h"
#include "app/whole_file.h"
#include "authoring/copy_files.h"
#include "authoring/recording.h"
#include "core/install_log.h"
#include "database/recordset.h"
#include "install/fixed_installation_options.h"
#include "install/trial_installation.h"
#include "interchange/hack_import.h"
#include "interchange/hack_unpack.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

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
            || !SameRegularFiles(QFile::encodeName(file.workFile), QFile::encodeName(edited->second)))
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
    // Made afresh: whatever lies at the name (a link planted there) goes first, a link as a link.
    const QByteArray name = QFile::encodeName(path_);
    if (::mkdir(name.constData(), 0777) != 0 && errno == EEXIST) {
        RemoveJobFolderLater(path_);
        ::mkdir(name.constData(), 0777);
    }
    folder_ = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder_ < 0)
        throw std::runtime_error(
            QStringLiteral("Unable to create the folder %1: %2").arg(path_, SystemErrorText(errno)).toStdString());
}

RecordingWorkFolder::~RecordingWorkFolder()
{
    ::close(folder_);
    RemoveJobFolderLater(path_);
}

QString RecordingWorkFolder::Write(const QString& relative, const QByteArray& bytes) const
{
    if (!JoinInsideRoot(path_, relative))
        throw std::runtime_error(QStringLiteral("%1 leads out of %2").arg(relative, path_).toStdString());
    return WriteNewFileBelow(folder_, path_, relative, bytes);
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
    TrialInstallation trial(request.originalRoot);
    // The original root only, with the recorded line ends.
    FixedInstallationOptions host;
    host.lf = request.lfLineEnds;
    RecordingLog log;
    trial.Run(state, hackNum, host, log);
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
        RunJob(state, DatabaseUse::Writes, [&] { result = recording(); });
    } catch (const std::exception& e) {
        result = RecordResult();
        result.error = QString::fromStdString(e.what());
    }
    RefreshRecordsets(state);
    return result;
}

} // namespace zp
