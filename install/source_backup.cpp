#include "install/source_backup.h"

#include "app/app_state.h"
#include "app/common.h"
#include "install/install_log.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace zp {

namespace {

// A folder name not used yet: two runs within one second get "-2", "-3" ...
QString NewBackupFolder(const AppState& state)
{
    const QString base = state.ProgramFolder + QStringLiteral("/backups/") + QString::number(state.CurrentHackNum)
        + u'-' + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString folder = base;
    for (int n = 2; QFileInfo::exists(folder); ++n)
        folder = base + u'-' + QString::number(n);
    return folder;
}

} // namespace

bool BackupSourceFiles(const AppState& state, const QString& workFolder, LogSink& log)
{
    const QString backup = NewBackupFolder(state);
    const QDir work(workFolder);
    int copied = 0;
    QDirIterator files(workFolder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString relative = work.relativeFilePath(files.next());
        const QString original = state.SourceDir + u'/' + relative;
        if (!QFileInfo(original).isFile())
            continue;
        const QString copy = backup + u'/' + relative;
        if (!MakePath(FolderOf(copy)) || !QFile::copy(original, copy)) {
            log.AddFailedRow(QString(),
                             QString(),
                             QStringLiteral("Backup Source Files"),
                             QStringLiteral("Unable to back up %1 to %2; the source files were left unchanged.")
                                 .arg(original, copy));
            return false;
        }
        ++copied;
    }
    if (copied > 0) {
        log.AddRow(QString(),
                   QString(),
                   QStringLiteral("Backup Source Files"),
                   QStringLiteral("Replaced source files backed up to: ") + backup);
    }
    return true;
}

} // namespace zp
