#include "install/installation_run.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/common.h"
#include "app/folder_guard.h"
#include "app/job_lock.h"
#include "app/whole_file.h"
#include "core/catalogue_operations.h"
#include "core/install_log.h"
#include "database/recordset.h"
#include "install/mod_pass.h"
#include "install/source_backup.h"
#include "install/support_files.h"

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>

namespace zp {

namespace {

// One hack's share of a run: the files it put into the work folder, and whether each of them got
// there.
struct HackPart
{
    int hackNum = 0;
    std::set<QString> files {}; // relative paths of its board files and staged support files
    bool allWritten = true;
};

class InstallationRun
{
public:
    InstallationRun(AppState& state, InstallationHost& host, LogSink& log)
        : state_(state)
        , host_(host)
        , log_(log)
        , workFolder_(state.ProgramFolder + QStringLiteral("/zpk_inst_temp"))
        , hack_(state.Connection)
    {
    }

    // One hack alone.
    InstallOutcome Run(int hackNum);
    // Several hacks in this order, each over the working copies the earlier ones left; every file
    // is put in place once all of them are done.
    InstallOutcome RunSeveral(const std::vector<int>& hackNums);
    // Why the run halted, when it did.
    const std::optional<UserMessage>& HaltMessage() const { return halt_; }

private:
    // Opens the hack's row, readies the engine for it and logs the row that names it; false, with a
    // red row, when the hack is not in the database.
    bool BeginHack(int hackNum);
    bool PrepareFolders();
    // Empties the output folder when asked to, and makes it when it is missing.
    bool PrepareOutputFolder();
    // Applies the mods of the hack of the last part, then writes its support files (staged in the work
    // folder, or into the output folder), noting its files in the last part; false when the hack has
    // no mods.
    bool InstallHack(bool stageSupportFiles);
    bool CopyResult(const std::vector<int>& hackNums);
    // Every file of the part reached its place, and it has one.
    bool Arrived(const HackPart& part) const;
    void Finish();
    void StageSupportFile(const QString& relative, Recordset& files);
    // Keeps the message that says why the run halts.
    void Halt(const QString& message);

    AppState& state_;
    InstallationHost& host_;
    LogSink& log_;
    const QString workFolder_;
    Recordset hack_; // the HackInfo row of the hack at work
    BoardLayout layout_; // the location folders of its board type
    std::map<QString, QString> saved_; // relative path -> its file in the work folder, in name order
    std::vector<HackPart> parts_; // the hacks installed so far; the last is the one at work
    std::set<QString> placed_; // the files put in their place
    int supportFiles_ = 0; // support files staged in the work folder
    std::optional<UserMessage> halt_; // why the run halted
};

InstallOutcome InstallationRun::Run(int hackNum)
{
    log_.Clear();
    if (!BeginHack(hackNum) || !PrepareFolders())
        return InstallOutcome::Halted;
    parts_.push_back({hackNum});
    // Over the source, the support files go where the board files go: staged with them in the work
    // folder, backed up and listed in the manifest like every file the run replaces or creates.
    if (!InstallHack(host_.OverwriteSource()))
        return InstallOutcome::NothingToDo;
    if (!CopyResult({hackNum}))
        return InstallOutcome::Halted;
    LogHackName(hack_, log_, QStringLiteral("END Installation"));
    Finish();
    // A run that changed no board file (a missing source folder) is no installation.
    if (Arrived(parts_.front()))
        StampTime(hack_, QStringLiteral("LastInstall"));
    return InstallOutcome::Completed;
}

InstallOutcome InstallationRun::RunSeveral(const std::vector<int>& hackNums)
{
    log_.Clear();
    std::vector<int> installed;
    for (const int hackNum : hackNums) {
        if (std::any_of(
                parts_.begin(), parts_.end(), [hackNum](const HackPart& part) { return part.hackNum == hackNum; }))
            continue; // a hack named twice is installed once
        if (!BeginHack(hackNum))
            continue;
        if (parts_.empty() && !PrepareFolders())
            return InstallOutcome::Halted;
        parts_.push_back({hackNum});
        // Staged, so that a later hack finds them and an earlier hack's copy does not replace them.
        if (InstallHack(true))
            installed.push_back(hackNum);
    }
    if (installed.empty())
        return InstallOutcome::NothingToDo;
    if (!CopyResult(installed))
        return InstallOutcome::Halted;
    for (const HackPart& part : parts_) {
        if (!OpenHackRow(hack_, part.hackNum))
            continue;
        LogHackName(hack_, log_, QStringLiteral("END Installation"));
        if (Arrived(part))
            StampTime(hack_, QStringLiteral("LastInstall"));
    }
    Finish();
    return InstallOutcome::Completed;
}

bool InstallationRun::BeginHack(int hackNum)
{
    if (!OpenHackRow(hack_, hackNum)) {
        log_.AddFailedRow(QString(),
                          QString(),
                          QStringLiteral("Hack not found"),
                          QStringLiteral("There is no hack number %1 in the database; it was left out.").arg(hackNum));
        return false;
    }
    layout_ = LayoutOf(state_, hack_.Int("HackType"));
    LogHackName(hack_, log_, QStringLiteral("BEGIN Installation"));
    return true;
}

void InstallationRun::Finish()
{
    log_.SetCurrentRow(0);
    RemoveJobFolderLater(workFolder_);
}

bool InstallationRun::Arrived(const HackPart& part) const
{
    return part.allWritten && !part.files.empty()
        && std::all_of(
               part.files.begin(), part.files.end(), [this](const QString& file) { return placed_.contains(file); });
}

void InstallationRun::Halt(const QString& message)
{
    halt_ = UserMessage {message, ProgramTitle};
}

bool InstallationRun::PrepareFolders()
{
    // Over the source nothing goes to the output folder: an earlier installation there stays, and
    // no empty folder is made.
    if (!host_.OverwriteSource() && !PrepareOutputFolder())
        return false;
    // The job lock has emptied the work folder: files of a run that halted are never copied.
    if (!MakePath(workFolder_)) {
        Halt(QStringLiteral("Unable to create temporary work directory, process halted."));
        return false;
    }
    return true;
}

bool InstallationRun::PrepareOutputFolder()
{
    // Checked again here, whatever the configuration says: a folder of ours is never emptied.
    if (host_.DeleteOutputFirst()) {
        if (const QString refusal = DeleteOutputFolder(state_); !refusal.isEmpty()) {
            Halt(refusal + QStringLiteral(" Process halted."));
            return false;
        }
    }
    if (!DirExists(state_.OutputDir)) {
        if (!MakePath(state_.OutputDir)) {
            Halt(QStringLiteral("Unable to create output directory, process halted."));
            return false;
        }
        log_.AddRow(QString(),
                    QString(),
                    QStringLiteral("Missing Directory"),
                    QStringLiteral("Created Output directory: ") + state_.OutputDir);
    }
    return true;
}

bool InstallationRun::InstallHack(bool stageSupportFiles)
{
    HackPart& part = parts_.back();
    ModPass pass(state_, part.hackNum, layout_, host_, log_, workFolder_, state_.SourceDir, saved_);
    pass.StartWriteBack();
    if (!pass.Run())
        return false;
    part.allWritten = pass.AllWritten();
    for (const ModResult& mod : pass.Results()) {
        if (saved_.count(mod.relativePath) > 0)
            part.files.insert(mod.relativePath);
    }
    SupportFileWrite intoWorkFolder;
    if (stageSupportFiles)
        intoWorkFolder = [this](const QString& relative, Recordset& files) { StageSupportFile(relative, files); };
    if (!WriteSupportFiles(state_, part.hackNum, layout_, log_, intoWorkFolder))
        part.allWritten = false;
    return true;
}

// A support file bound for `relative` below the destination, written into the work folder. A board
// file of the same hack at the same place wins, as it does when both go to the output folder; the
// file of an earlier hack there gives way, as it would when installed before.
void InstallationRun::StageSupportFile(const QString& relative, Recordset& files)
{
    HackPart& part = parts_.back();
    const QString path = JoinInsideRoot(QString(), relative).value_or(QString()).mid(1);
    if (path.isEmpty() || part.files.contains(path))
        return;
    if (!DirExists(workFolder_) && !MakePath(workFolder_))
        throw std::runtime_error("Unable to create temporary work directory.");
    const QString workFile = workFolder_ + QStringLiteral("/s") + QString::number(++supportFiles_);
    files.WriteBlobToFile(QStringLiteral("FileData"), workFile);
    saved_[path] = workFile;
    part.files.insert(path);
}

// Puts every file of the work folder in its place below the output folder, or over the source
// folder after backing up what it replaces: moved there when the work folder lies on the same file
// system, copied otherwise, each whole or not at all after one flush of the disk for all of them.
// One whose place lies behind a symbolic link is skipped. False when the output folder has gone and
// cannot be made again. The backup is the installation of `hackNums`.
bool InstallationRun::CopyResult(const std::vector<int>& hackNums)
{
    const bool overSource = host_.OverwriteSource();
    const QString destination = overSource ? state_.SourceDir : state_.OutputDir;
    if (!overSource && !DirExists(destination) && !MakePath(destination)) {
        Halt(QStringLiteral("Unable to create output directory, process halted."));
        return false;
    }
    QStringList files;
    for (const auto& [relative, workFile] : saved_) {
        if (const QString link = LinkOnTheWay(destination, relative); !link.isEmpty()) {
            log_.AddFailedRow(FileNameOf(relative), QString(), QStringLiteral("Unsafe Path"), RefusedLinkText(link));
        } else {
            files << relative;
        }
    }
    SourceBackup backup(state_, log_, host_.SourceBackupFolder(), hackNums);
    if (overSource && !backup.Begin(files, saved_))
        return true;
    QStringList notPlaced;
    const auto failed = [this, &notPlaced](const QString& relative, const QString& reason) {
        notPlaced << relative;
        log_.AddFailedRow(FileNameOf(relative), QString(), QStringLiteral("Copy Files"), reason);
    };
    WholeFileBatch batch(state_.ProgramFolder);
    for (const QString& relative : files) {
        try {
            batch.Stage(saved_.at(relative), destination, relative);
        } catch (const UnsafePathError& e) {
            notPlaced << relative;
            log_.AddFailedRow(FileNameOf(relative), QString(), QStringLiteral("Unsafe Path"), RefusedLinkText(e.link));
        } catch (const std::exception& e) {
            failed(relative, QString::fromStdString(e.what()));
        }
    }
    batch.Commit(failed);
    placed_.insert(files.begin(), files.end());
    for (const QString& relative : notPlaced)
        placed_.erase(relative);
    if (overSource)
        backup.Complete(notPlaced);
    return true;
}

} // namespace

namespace {

// One installation run as a job: its outcome and the message of a halt, or why it could not start.
InstallResult RunAsInstallationJob(AppState& state,
                                   InstallationHost& host,
                                   LogSink& log,
                                   const std::function<InstallOutcome(InstallationRun&)>& run)
{
    return RunForResult(state, DatabaseUse::Writes, InstallOutcome::Halted, [&] {
        InstallationRun installation(state, host, log);
        const InstallOutcome outcome = run(installation);
        return InstallResult {outcome, installation.HaltMessage()};
    });
}

} // namespace

InstallResult RunInstallation(AppState& state, int hackNum, InstallationHost& host, LogSink& log)
{
    return RunAsInstallationJob(state, host, log, [hackNum](InstallationRun& run) { return run.Run(hackNum); });
}

InstallResult RunInstallations(AppState& state, const std::vector<int>& hackNums, InstallationHost& host, LogSink& log)
{
    return RunAsInstallationJob(
        state, host, log, [&hackNums](InstallationRun& run) { return run.RunSeveral(hackNums); });
}

} // namespace zp
