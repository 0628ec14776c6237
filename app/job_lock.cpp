#include "app/job_lock.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/dialogs.h"
#include "app/whole_file.h"

#include <QFileInfo>
#include <cerrno>

namespace zp {

namespace {

QString LockFilePath(const QString& programFolder)
{
    return programFolder + QStringLiteral("/zpatch.lock");
}

QString BusyMessage(const QString& programFolder, QLockFile& lock)
{
    qint64 pid = 0;
    QString host, application;
    const QString process
        = lock.getLockInfo(&pid, &host, &application) ? QString::number(pid) : QStringLiteral("unknown");
    return QStringLiteral("Another Zenpatch job is using %1 (process %2). Try again when it has finished.")
        .arg(programFolder, process);
}

// Removes a job's own folder below the program folder; one that is a link goes as a link, so that
// nothing is ever written through it.
void RemoveJobFolder(const QString& path)
{
    if (QFileInfo(path).isSymLink())
        QFile::remove(path);
    else
        DeleteFolderTree(path);
}

} // namespace

JobLock::JobLock(const QString& programFolder, std::chrono::milliseconds wait)
    : programFolder_(programFolder)
    , lock_(LockFilePath(programFolder))
{
    // Only a dead holder makes a lock stale: a long installation keeps it for as long as it runs.
    lock_.setStaleLockTime(0);
    if (!lock_.tryLock(wait)) {
        switch (lock_.error()) {
        case QLockFile::LockFailedError:
            throw JobError(BusyMessage(programFolder, lock_).toStdString());
        case QLockFile::PermissionError:
            throw JobError(QStringLiteral("Cannot create the job lock %1: %2")
                               .arg(LockFilePath(programFolder), SystemErrorText(EACCES))
                               .toStdString());
        default:
            throw JobError(
                QStringLiteral("Cannot create the job lock %1").arg(LockFilePath(programFolder)).toStdString());
        }
    }
    RemovePendingFiles(programFolder);
    RemoveJobFolder(programFolder + QStringLiteral("/enctemp"));
    RemoveJobFolder(programFolder + QStringLiteral("/zpk_inst_temp"));
}

JobLock::~JobLock()
{
    // Every write of the job has been committed or removed: the pending list has served.
    RemovePendingFiles(programFolder_);
}

void RemoveLeftoversOfKilledJobs(const QString& programFolder)
{
    try {
        JobLock job(programFolder, std::chrono::milliseconds(0));
    } catch (const JobError&) {
        // A job is running: what lies there is its work.
    }
}

bool RunAsJob(AppState& state, DatabaseUse use, const std::function<void()>& job)
{
    try {
        JobLock lock(state.ProgramFolder, state.JobLockWait);
        if (use == DatabaseUse::Writes) {
            try {
                state.Connection.CheckWritable();
            } catch (const DatabaseError& e) {
                throw JobError(QStringLiteral("Zenpatch cannot write to its database %1 (%2). Nothing was changed.")
                                   .arg(state.Connection.Path(), QString::fromStdString(e.what()))
                                   .toStdString());
            }
        }
        job();
        return true;
    } catch (const JobError& e) {
        state.dialogs.messageBox(QString::fromStdString(e.what()), "Zenpatch", MsgButtons::OK, MsgIcon::Exclamation);
        return false;
    }
}

} // namespace zp
