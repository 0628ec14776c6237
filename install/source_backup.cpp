#include "install/source_backup.h"

#include "app/app_state.h"
#include "app/whole_file.h"
#include "install/install_log.h"

#include <QDateTime>
#include <QFileInfo>

namespace zp {

QString NewBackupFolder(const AppState& state)
{
    const QString base = QStringLiteral("backups/") + QString::number(state.CurrentHackNum) + u'-'
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString folder = base;
    for (int n = 2; QFileInfo::exists(state.ProgramFolder + u'/' + folder); ++n)
        folder = base + u'-' + QString::number(n);
    return folder;
}

bool BackupSourceFiles(const AppState& state, const QStringList& files, LogSink& log, const QString& folder)
{
    const bool taken = folder.isEmpty() || QFileInfo::exists(state.ProgramFolder + u'/' + folder);
    const QString backup = taken ? NewBackupFolder(state) : folder;
    int copied = 0;
    for (const QString& relative : files) {
        const QString original = state.SourceDir + u'/' + relative;
        if (!QFileInfo(original).isFile())
            continue;
        try {
            CopyWholeFile(state.ProgramFolder, original, state.ProgramFolder, backup + u'/' + relative);
        } catch (const std::exception& e) {
            log.AddFailedRow(QString(),
                             QString(),
                             QStringLiteral("Backup Source Files"),
                             QStringLiteral("Unable to back up %1: %2; the source files were left unchanged.")
                                 .arg(original, QString::fromStdString(e.what())));
            return false;
        }
        ++copied;
    }
    if (copied > 0) {
        log.AddRow(QString(),
                   QString(),
                   QStringLiteral("Backup Source Files"),
                   QStringLiteral("Replaced source files backed up to: ") + state.ProgramFolder + u'/' + backup);
    }
    return true;
}

} // namespace zp
