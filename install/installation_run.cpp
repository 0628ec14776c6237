#include "install/installation_run.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/common.h"
#include "app/dialogs.h"
#include "app/folder_guard.h"
#include "app/job_lock.h"
#include "app/whole_file.h"
#include "core/catalogue_operations.h"
#include "core/install_log.h"
#include "database/recordset.h"
#include "install/mod_pass.h"
#include "install/source_backup.h"

#include <map>

namespace zp {

namespace {

class InstallationRun
{
public:
    InstallationRun(AppState& state, InstallationHost& host, LogSink& log)
        : state_(state)
        , host_(host)
        , log_(log)
        , workFolder_(state.ProgramFolder + QStringLiteral("/zpk_inst_temp"))
    {
    }

    InstallOutcome Run();

private:
    bool PrepareFolders();
    // Empties the output folder when asked to, and makes it when it is missing.
    bool PrepareOutputFolder();
    bool ApplyMods();
    bool CopyResult();
    void StageSupportFile(const QString& relative, Recordset& files);
    void Halt(const QString& message);

    AppState& state_;
    InstallationHost& host_;
    LogSink& log_;
    const QString workFolder_;
    std::map<QString, QString> saved_; // relative path -> its file in the work folder, in name order
    int supportFiles_ = 0; // support files staged in the work folder
    bool allWritten_ = true; // every file reached its destination so far
    bool anyPlaced_ = false; // a board file was put in place
};

InstallOutcome InstallationRun::Run()
{
    log_.Clear();
    state_.CurrentHackType = static_cast<qint16>(state_.HackInfoRecordset->Int("HackType"));
    LoadDirectoryTable(state_);
    LogHackName(state_, log_, QStringLiteral("BEGIN Installation"));
    if (!PrepareFolders())
        return InstallOutcome::Halted;
    if (!ApplyMods())
        return InstallOutcome::NothingToDo;
    // Over the source, the support files go where the board files go: staged with them in the work
    // folder, backed up and listed in the manifest like every file the run replaces or creates.
    SupportFileWrite intoWorkFolder;
    if (host_.OverwriteSource())
        intoWorkFolder = [this](const QString& relative, Recordset& files) { StageSupportFile(relative, files); };
    if (!WriteSupportFiles(state_, log_, intoWorkFolder))
        allWritten_ = false;
    if (!CopyResult())
        return InstallOutcome::Halted;
    LogHackName(state_, log_, QStringLiteral("END Installation"));
    log_.SetCurrentRow(0);
    RemoveJobFolderLater(workFolder_);
    // A run that changed no board file (a missing source folder) is no installation.
    if (allWritten_ && anyPlaced_)
        StampTime(*state_.HackInfoRecordset, QStringLiteral("LastInstall"));
    return InstallOutcome::Completed;
}

void InstallationRun::Halt(const QString& message)
{
    state_.dialogs.messageBox(message, ProgramTitle, MsgButtons::OK, MsgIcon::None);
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

// Applies the mods file by file; false when the hack has none.
bool InstallationRun::ApplyMods()
{
    ModPass pass(state_, host_, log_, workFolder_, state_.SourceDir, saved_);
    pass.StartWriteBack();
    const bool any = pass.Run();
    allWritten_ = allWritten_ && pass.AllWritten();
    return any;
}

// A support file bound for `relative` below the source folder, written into the work folder. A
// board file of the hack at the same place wins, as it does when both go to the output folder.
void InstallationRun::StageSupportFile(const QString& relative, Recordset& files)
{
    const QString path = JoinInsideRoot(QString(), relative).value_or(QString()).mid(1);
    if (path.isEmpty() || saved_.count(path) > 0)
        return;
    if (!DirExists(workFolder_) && !MakePath(workFolder_))
        throw std::runtime_error("Unable to create temporary work directory.");
    const QString workFile = workFolder_ + QStringLiteral("/s") + QString::number(++supportFiles_);
    files.WriteBlobToFile(QStringLiteral("FileData"), workFile);
    saved_[path] = workFile;
}

// Puts every file of the work folder in its place below the output folder, or over the source
// folder after backing up what it replaces: moved there when the work folder lies on the same file
// system, copied otherwise, each whole or not at all after one flush of the disk for all of them.
// One whose place lies behind a symbolic link is skipped. False when the output folder has gone and
// cannot be made again.
bool InstallationRun::CopyResult()
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
            allWritten_ = false;
            log_.AddFailedRow(FileNameOf(relative), QString(), QStringLiteral("Unsafe Path"), RefusedLinkText(link));
        } else {
            files << relative;
        }
    }
    SourceBackup backup(state_, log_, host_.SourceBackupFolder());
    if (overSource && !backup.Begin(files, saved_)) {
        allWritten_ = false;
        return true;
    }
    QStringList notPlaced;
    const auto failed = [this, &notPlaced](const QString& relative, const QString& reason) {
        allWritten_ = false;
        notPlaced << relative;
        log_.AddFailedRow(FileNameOf(relative), QString(), QStringLiteral("Copy Files"), reason);
    };
    WholeFileBatch batch(state_.ProgramFolder);
    for (const QString& relative : files) {
        try {
            batch.Stage(saved_.at(relative), destination, relative);
        } catch (const UnsafePathError& e) {
            allWritten_ = false;
            notPlaced << relative;
            log_.AddFailedRow(FileNameOf(relative), QString(), QStringLiteral("Unsafe Path"), RefusedLinkText(e.link));
        } catch (const std::exception& e) {
            failed(relative, QString::fromStdString(e.what()));
        }
    }
    batch.Commit(failed);
    anyPlaced_ = notPlaced.size() < files.size();
    if (overSource)
        backup.Complete(notPlaced);
    return true;
}

} // namespace

InstallOutcome RunInstallation(AppState& state, InstallationHost& host, LogSink& log)
{
    InstallOutcome outcome = InstallOutcome::Halted;
    RunAsJob(state, DatabaseUse::Writes, [&] { outcome = InstallationRun(state, host, log).Run(); });
    return outcome;
}

} // namespace zp
