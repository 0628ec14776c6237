#include "shell/file_menu.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/common.h"
#include "app/job_lock.h"
#include "database/database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace zp {

void BackupDatabase(AppState& state,
                    const std::function<bool()>& closeChildWindows,
                    const std::function<void()>& restart)
{
    const MsgAnswer answer
        = state.dialogs.messageBox("This will close the database connection and restart the program, are you sure?",
                                   "Backup DB Confirm",
                                   MsgButtons::YesNo,
                                   MsgIcon::None);
    if (answer != MsgAnswer::Yes)
        return;
    // The child windows go first: their close handlers may still read the database. A window that
    // stays (unsaved changes kept, a run going) stops the backup: nothing has changed then.
    if (!closeChildWindows())
        return;
    CloseDatabase(state);
    FileDialogOptions options;
    options.title = "Backup Database";
    options.filter = "Database Backups (*.bak);;All Files (*)";
    options.defaultExt = "bak";
    options.initialDir = state.ProgramFolder;
    options.fileName = "zpatch.bak";
    const QString target = state.dialogs.saveFile(options);
    if (!target.isEmpty()) {
        RunAsJob(state, DatabaseUse::Reads, [&] {
            CopyFileReplacing(state.ProgramFolder + "/" + Database::FileName, target);
        });
    }
    restart();
}

void CompactDatabase(AppState& state)
{
    try {
        JobLock job(state.ProgramFolder, state.JobLockWait);
        Database::Compact(state.ProgramFolder);
    } catch (const JobError& e) {
        state.dialogs.messageBox(
            QString::fromStdString(e.what()), "Compact Database", MsgButtons::OK, MsgIcon::Critical);
    } catch (const std::exception& e) {
        state.dialogs.messageBox("The database could not be compacted, zpatch.zpd was left as it was.\n\n"
                                     + QString::fromUtf8(e.what()),
                                 "Compact Database",
                                 MsgButtons::OK,
                                 MsgIcon::Critical);
    }
}

bool CopyFileReplacing(const QString& source, const QString& target)
{
    const QFileInfo from(source);
    const QFileInfo to(target);
    if (to.exists() && from.canonicalFilePath() == to.canonicalFilePath())
        return false;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    char buffer[65536];
    for (qint64 n = in.read(buffer, sizeof buffer); n > 0; n = in.read(buffer, sizeof buffer))
        if (out.write(buffer, n) != n)
            return false;
    return !in.error() && out.commit();
}

FileDialogOptions TextFileDialogOptions(const AppState& state)
{
    FileDialogOptions options;
    options.title = "Load Text File";
    // The caption as the system has always shown it; on Linux every file matches "*", not "*.*".
    options.filter = "All Files (*.*) (*)";
    options.filterIndex = 0;
    options.fileMustExist = true;
    if (!state.SourceDir.isEmpty()) {
        const QString firstLocation = state.DirectoryTable.isEmpty() ? QString() : state.DirectoryTable.first();
        options.initialDir = JoinInsideRoot(state.SourceDir, firstLocation).value_or(state.SourceDir);
    }
    return options;
}

QString ResourcePath(const QString& executableDir, const QString& name)
{
    const QString beside = executableDir + "/" + name;
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed = QDir::cleanPath(executableDir + "/../share/zenpatch/" + name);
    return QFileInfo::exists(installed) ? installed : beside;
}

void OpenManual(Dialogs& dialogs, const QString& file, const std::function<bool(const QUrl&)>& open)
{
    if (open(QUrl::fromLocalFile(file)))
        return;
    const QString title = QStringLiteral("Zenpatch Manual");
    const QString folder = QFileInfo(file).absolutePath();
    const QString page = QDir(folder).filePath(QStringLiteral("zenpatch.html"));
    const MsgAnswer answer
        = dialogs.messageBox(QStringLiteral("The desktop could not open the manual %1: no program is set up to show "
                                            "this kind of file.\n\nYes opens the manual as a web page (%2) in the "
                                            "browser; No opens the folder that holds it.")
                                 .arg(file, page),
                             title,
                             MsgButtons::YesNoCancel,
                             MsgIcon::Exclamation);
    if (answer == MsgAnswer::Cancel)
        return;
    const QString other = answer == MsgAnswer::Yes ? page : folder;
    if (open(QUrl::fromLocalFile(other)))
        return;
    dialogs.messageBox(
        QStringLiteral("The desktop could not open %1 either. The manual is in the folder %2.").arg(other, folder),
        title,
        MsgButtons::OK,
        MsgIcon::Exclamation);
}

} // namespace zp
