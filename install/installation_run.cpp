#include "install/installation_run.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/common.h"
#include "app/dialogs.h"
#include "app/job_lock.h"
#include "app/whole_file.h"
#include "catalogue/catalogue_operations.h"
#include "database/sql.h"
#include "install/find_routines.h"
#include "install/install_log.h"
#include "install/mod_target.h"
#include "install/source_backup.h"
#include "install/work_buffer.h"

#include <map>
#include <optional>

namespace zp {

namespace {

const QString kProgramTitle = QStringLiteral("Zenpatch");

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
    bool ApplyMods();
    bool LoadBoardFile(const ModRecord& mod, const ModTarget& target);
    QString LocateBoardFile(const ModTarget& target);
    void SaveWorkFile();
    bool CopyResult();
    void Halt(const QString& message);
    void LogHackName(const QString& comment);

    AppState& state_;
    InstallationHost& host_;
    LogSink& log_;
    const QString workFolder_;
    WorkBuffer buffer_;
    std::optional<ModTarget> loaded_; // the board file in the buffer
    std::map<QString, QString> saved_; // relative path -> its file in the work folder, in name order
    bool allWritten_ = true; // every file reached its destination so far
};

InstallOutcome InstallationRun::Run()
{
    log_.Clear();
    state_.CurrentHackType = static_cast<qint16>(state_.HackInfoRecordset->Int("HackType"));
    LoadDirectoryTable(state_);
    LogHackName(QStringLiteral("BEGIN Installation"));
    if (!PrepareFolders())
        return InstallOutcome::Halted;
    if (!ApplyMods())
        return InstallOutcome::NothingToDo;
    if (!WriteSupportFiles(state_, log_))
        allWritten_ = false;
    if (!CopyResult())
        return InstallOutcome::Halted;
    LogHackName(QStringLiteral("END Installation"));
    log_.SetCurrentRow(0);
    DeleteFolderTree(workFolder_);
    if (allWritten_)
        StampTime(*state_.HackInfoRecordset, QStringLiteral("LastInstall"));
    return InstallOutcome::Completed;
}

void InstallationRun::LogHackName(const QString& comment)
{
    zp::LogHackName(state_, log_, comment);
}

void InstallationRun::Halt(const QString& message)
{
    state_.dialogs.messageBox(message, kProgramTitle, MsgButtons::OK, MsgIcon::None);
}

bool InstallationRun::PrepareFolders()
{
    if (host_.DeleteOutputFirst())
        DeleteFolderTree(state_.OutputDir);
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
    // The job lock has emptied the work folder: files of a run that halted are never copied.
    if (!MakePath(workFolder_)) {
        Halt(QStringLiteral("Unable to create temporary work directory, process halted."));
        return false;
    }
    return true;
}

// Applies the mods file by file; false when the hack has none.
bool InstallationRun::ApplyMods()
{
    Recordset& mods = *state_.HackDataRecordset;
    mods.ReOpen(sql::SelectHackDataOf + QString::number(state_.CurrentHackNum) + sql::OrderByFileNameModOrder);
    const int count = mods.RecordCount();
    if (count == 0) {
        log_.AddRow(
            QString(), QString(), QStringLiteral("No Actions"), QStringLiteral("Nothing to do, installation stopped."));
        return false;
    }
    mods.MoveFirst();
    for (int i = 0; i < count && !mods.EOF(); ++i, mods.MoveNext()) {
        host_.ModsDone(i, count);
        const ModRecord mod = ModRecordFrom(mods);
        const ModTarget target = ModTargetFrom(state_, mods);
        if (loaded_ && loaded_->relativePath != target.relativePath)
            SaveWorkFile();
        if (!target.insideRoot) {
            allWritten_ = false;
            log_.AddFailedRow(mod.FileName,
                              ActionName(mod.ActionType),
                              QStringLiteral("Unsafe Path"),
                              QStringLiteral("Refused a file outside the board folders: ") + target.relativePath);
            continue;
        }
        if (!loaded_ && !LoadBoardFile(mod, target))
            continue;
        ApplyMod(buffer_, mod, log_);
    }
    if (loaded_)
        SaveWorkFile();
    host_.ModsDone(count, count);
    return true;
}

bool InstallationRun::LoadBoardFile(const ModRecord& mod, const ModTarget& target)
{
    // A file already written by this run keeps the changes of its earlier mods.
    const auto saved = saved_.find(target.relativePath);
    const QString path = saved != saved_.end() ? saved->second : LocateBoardFile(target);
    if (path.isEmpty()) {
        const QString note = QStringLiteral("Unable to locate the file: ") + target.fileName;
        host_.AppendInstructionLine(note);
        log_.AddFailedRow(mod.FileName, ActionName(mod.ActionType), QStringLiteral("File not found"), note);
        return false;
    }
    try {
        buffer_.LoadFile(path);
    } catch (const std::exception& e) {
        log_.AddFailedRow(
            mod.FileName, ActionName(mod.ActionType), QStringLiteral("Read Error"), QString::fromStdString(e.what()));
        return false;
    }
    loaded_ = target;
    return true;
}

QString InstallationRun::LocateBoardFile(const ModTarget& target)
{
    QString path;
    if (host_.SearchOutputFirst() && FileExists(Below(state_.OutputDir, target.relativePath)))
        path = FindFileInTree(target.fileName, Below(state_.OutputDir, target.directory));
    const QString sourceFolder = Below(state_.SourceDir, target.directory);
    if (!DirExists(sourceFolder)) {
        log_.AddRow(QString(),
                    QString(),
                    QStringLiteral("Source directory not found"),
                    state_.SourceDir + u'/' + target.directory);
    }
    if (path.isEmpty())
        path = FindFileInTree(target.fileName, sourceFolder);
    return path;
}

// Writes the buffer into the work folder with the chosen line ends. The work folder is flat, one
// numbered file per board file: a tree of location folders there would cost folders to make and
// remove on every run.
void InstallationRun::SaveWorkFile()
{
    if (!DirExists(workFolder_) && !MakePath(workFolder_)) {
        allWritten_ = false;
        state_.dialogs.messageBox(QStringLiteral("Unable to create Modification Dir, mod file skipped."),
                                  kProgramTitle,
                                  MsgButtons::OK,
                                  MsgIcon::None);
    } else {
        const auto [saved, added]
            = saved_.try_emplace(loaded_->relativePath, Below(workFolder_, QString::number(saved_.size() + 1)));
        try {
            buffer_.SaveFile(saved->second, host_.LfLineEnds());
        } catch (const std::exception& e) {
            saved_.erase(saved); // a file that could not be written whole is gone
            allWritten_ = false;
            log_.AddFailedRow(
                loaded_->fileName, QString(), QStringLiteral("Write Error"), QString::fromStdString(e.what()));
        }
    }
    loaded_.reset();
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
        } catch (const std::exception& e) {
            failed(relative, QString::fromStdString(e.what()));
        }
    }
    batch.Commit(failed);
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
