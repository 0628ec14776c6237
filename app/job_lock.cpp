#include "app/job_lock.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/dialogs.h"
#include "app/whole_file.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <future>
#include <mutex>
#include <set>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace zp {

namespace {

QString LockFilePath(const QString& programFolder)
{
    return programFolder + QStringLiteral("/zpatch.lock");
}

// The lock under which Qt's takeovers (and RemoveLockWithoutHolder) remove a stale lock file.
QString RemovalLockPath(const QString& lockPath)
{
    return lockPath + QStringLiteral(".rmlock");
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

// Why the lock file cannot be made: QLockFile tells only that it could not, the system says why
// (a read-only file system, a folder the user cannot write, a lock file of another user).
int LockFailureReason(const QString& programFolder)
{
    const QByteArray lock = QFile::encodeName(LockFilePath(programFolder));
    if (::access(QFile::encodeName(programFolder).constData(), W_OK | X_OK) != 0)
        return errno;
    if (::access(lock.constData(), F_OK) == 0 && ::access(lock.constData(), R_OK | W_OK) != 0)
        return errno;
    return EACCES;
}

// Refuses a lock file that is no regular file, or a link to none: QLockFile reads the holder's
// name from one it finds, and would wait forever on a FIFO.
void RefuseSpecialLockFile(const QString& path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return;
    if (const QString refusal = NotRegularText(info.st_mode); !refusal.isEmpty())
        throw JobError(QStringLiteral("Cannot create the job lock %1: %2").arg(path, refusal).toStdString());
}

// Removes a lock file that names no holder, when no process holds it and it is over a second old.
// Qt takes a lock over by the process number written in it, once that process has died; a job
// killed between making the file and writing the number (or a machine that stopped before the
// number reached the disk) leaves a file without one, which Qt never takes for stale, and every
// later job would wait and give up. A running job holds the file's advisory lock from a moment
// after making it; the second covers that moment. True when the file was removed.
bool RemoveLockWithoutHolder(QLockFile& lock, const QString& path)
{
    qint64 pid = 0;
    QString host, application;
    if (lock.getLockInfo(&pid, &host, &application))
        return false; // Qt's own takeover decides on a holder it can name
    QLockFile removing(RemovalLockPath(path));
    if (!removing.tryLock(0))
        return false;
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat held = {}, named = {};
    timespec now = {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const bool removed = ::fstat(fd, &held) == 0 && std::abs(now.tv_sec - held.st_mtim.tv_sec) > 1
        && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(name.constData(), &named) == 0 && named.st_dev == held.st_dev
        && named.st_ino == held.st_ino && ::unlink(name.constData()) == 0;
    ::close(fd);
    return removed;
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

// A removed job folder's name while its files go: the folder's name with ".old-" and 8 hex digits.
QString RemovedFolderName(const QString& path)
{
    return path + QStringLiteral(".old-%1").arg(QRandomGenerator::global()->generate(), 8, 16, QChar('0'));
}

// Starts `rm` on a removed job folder in a session of its own and does not wait for it; false
// when no process could be started. The folder was renamed by this program a moment ago; `rm -rf`
// removes a link in its place as a link and never leaves the folder's file system.
bool StartRemoverProcess(const QString& folder)
{
    QByteArray path = QFile::encodeName(folder);
    char rm[] = "rm", options[] = "-rf", oneFileSystem[] = "--one-file-system", end[] = "--";
    char* const argv[] = {rm, options, oneFileSystem, end, path.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, "/bin/rm", &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0;
}

// The removals RemoveJobFolderLater started; the program waits for them when it ends, unless they
// were handed to processes of their own.
class LaterRemovals
{
public:
    ~LaterRemovals()
    {
        for (auto& removal : running_)
            removal.second.wait();
    }

    void Detach() { detached_ = true; }

    void Start(const QString& folder)
    {
        if (detached_ && StartRemoverProcess(folder)) {
            const std::lock_guard lock(mutex_);
            handedOver_.insert(folder);
            return;
        }
        const std::lock_guard lock(mutex_);
        std::erase_if(running_, [](auto& removal) {
            return removal.second.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        });
        try {
            running_.emplace_back(folder, std::async(std::launch::async, [folder] { RemoveJobFolder(folder); }));
        } catch (const std::system_error&) {
            RemoveJobFolder(folder); // no thread to be had: the caller waits for it after all
        }
    }

    bool Removing(const QString& folder)
    {
        const std::lock_guard lock(mutex_);
        if (handedOver_.contains(folder))
            return true;
        return std::any_of(running_.begin(), running_.end(), [&](auto& removal) {
            return removal.first == folder
                && removal.second.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
        });
    }

private:
    std::mutex mutex_;
    std::vector<std::pair<QString, std::future<void>>> running_;
    std::set<QString> handedOver_; // to processes of their own
    std::atomic<bool> detached_ = false;
};

LaterRemovals& Removals()
{
    static LaterRemovals removals;
    return removals;
}

// Removes a job folder and what RemoveJobFolderLater left of earlier ones (except those this
// program is removing already) as RemoveJobFolderLater does: the job starts at once, and a folder
// that a killed job or the job before left behind, large or still being removed, goes meanwhile.
void RemoveJobFolderAndLeftovers(const QString& path)
{
    RemoveJobFolderLater(path);
    const QFileInfo folder(path);
    const QStringList removed = folder.dir().entryList({folder.fileName() + QStringLiteral(".old-*")},
                                                       QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : removed) {
        const QString leftover = folder.dir().filePath(name);
        if (!Removals().Removing(leftover))
            Removals().Start(leftover);
    }
}

// The names of the program folder's held temporary folders begin with this: the system's temporary
// folder, then a hash of the program folder, so that each program folder finds its own.
QString HeldFolderPrefix(const QString& programFolder)
{
    const QByteArray hash
        = QCryptographicHash::hash(QFile::encodeName(CanonicalFolder(programFolder)), QCryptographicHash::Sha256);
    return QDir::tempPath() + QStringLiteral("/zenpatch-trial-") + QString::fromLatin1(hash.toHex().left(16)) + u'-';
}

// Removes the held temporary folders of the program folder that nobody holds. One younger than two
// seconds is left alone: its maker may not have taken its lock yet.
void RemoveHeldFoldersLeft(const QString& programFolder)
{
    const QFileInfo prefix(HeldFolderPrefix(programFolder));
    const QDir temporary = prefix.dir();
    for (const QString& name : temporary.entryList({prefix.fileName() + u'*'},
                                                   QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        const QString path = temporary.filePath(name);
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat st
        {
        };
        const bool left = fd >= 0 && ::fstat(fd, &st) == 0 && std::time(nullptr) - st.st_mtim.tv_sec >= 2
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (fd >= 0)
            ::close(fd);
        if (left && !Removals().Removing(path))
            RemoveJobFolderLater(path);
    }
}

// Removes the source backups that a killed installation left unfinished.
void RemoveUnfinishedBackups(const QString& programFolder)
{
    const QDir backups(programFolder + QStringLiteral("/backups"));
    if (QFileInfo(backups.path()).isSymLink())
        return;
    for (const QString& name : backups.entryList({u'*' + UnfinishedBackupSuffix},
                                                 QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        RemoveJobFolder(backups.filePath(name));
}

} // namespace

void RemoveJobFoldersAfterExit()
{
    Removals().Detach();
}

void RemoveJobFolderLater(const QString& path)
{
    const QString removed = RemovedFolderName(path);
    if (QFileInfo(path).isSymLink() || !QDir().rename(path, removed))
        RemoveJobFolder(path);
    else
        Removals().Start(removed);
}

JobLock::JobLock(const QString& programFolder, std::chrono::milliseconds wait)
    : programFolder_(programFolder)
    , lock_(LockFilePath(programFolder))
{
    RefuseSpecialLockFile(LockFilePath(programFolder));
    RefuseSpecialLockFile(RemovalLockPath(LockFilePath(programFolder)));
    // Only a dead holder makes a lock stale: a long installation keeps it for as long as it runs.
    lock_.setStaleLockTime(0);
    // Tried in steps, so that a lock file that names no holder is looked at again as it ages.
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (lock_.tryLock(std::clamp(left, std::chrono::milliseconds(0), std::chrono::milliseconds(500))))
            break;
        if (lock_.error() != QLockFile::LockFailedError) {
            throw JobError(QStringLiteral("Cannot create the job lock %1: %2")
                               .arg(LockFilePath(programFolder), SystemErrorText(LockFailureReason(programFolder)))
                               .toStdString());
        }
        if (!RemoveLockWithoutHolder(lock_, LockFilePath(programFolder)) && left.count() <= 0)
            throw JobError(BusyMessage(programFolder, lock_).toStdString());
    }
    try {
        RemovePendingFiles(programFolder);
    } catch (const std::runtime_error& e) {
        throw JobError(e.what());
    }
    RemoveJobFolderAndLeftovers(programFolder + QStringLiteral("/enctemp"));
    RemoveJobFolderAndLeftovers(programFolder + QStringLiteral("/zpk_inst_temp"));
    RemoveJobFolderAndLeftovers(programFolder + QStringLiteral("/zpk_rec_temp"));
    RemoveUnfinishedBackups(programFolder);
    RemoveHeldFoldersLeft(programFolder);
}

JobLock::~JobLock()
{
    // Every write of the job has been committed or removed: the pending list has served.
    try {
        RemovePendingFiles(programFolder_);
    } catch (const std::runtime_error&) {
        // The next job says why it cannot read the list.
    }
}

HeldTemporaryFolder::HeldTemporaryFolder(const QString& programFolder)
    : folder_(HeldFolderPrefix(programFolder) + QStringLiteral("XXXXXX"))
{
    if (!folder_.isValid())
        throw std::runtime_error("Unable to create a temporary folder: " + folder_.errorString().toStdString());
    held_ = ::open(QFile::encodeName(folder_.path()).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (held_ >= 0 && ::flock(held_, LOCK_SH | LOCK_NB) != 0) {
        ::close(held_);
        held_ = -1;
    }
    if (held_ < 0)
        throw std::runtime_error(QStringLiteral("Unable to hold the folder %1: %2")
                                     .arg(folder_.path(), SystemErrorText(errno))
                                     .toStdString());
}

HeldTemporaryFolder::~HeldTemporaryFolder()
{
    if (held_ >= 0)
        ::close(held_);
}

void RemoveLeftoversOfKilledJobs(const QString& programFolder)
{
    try {
        JobLock job(programFolder, std::chrono::milliseconds(0));
    } catch (const JobError&) {
        // A job is running: what lies there is its work.
    }
}

std::optional<QString> DatabaseWriteRefusal(AppState& state)
{
    try {
        state.Connection.CheckWritable();
        return std::nullopt;
    } catch (const DatabaseError& e) {
        return QStringLiteral("Zenpatch cannot write to its database %1 (%2). Nothing was changed.")
            .arg(state.Connection.Path(), QString::fromStdString(e.what()));
    }
}

void RunJob(AppState& state, DatabaseUse use, const std::function<void()>& job)
{
    JobLock lock(state.ProgramFolder, state.JobLockWait);
    if (use == DatabaseUse::Writes) {
        if (const std::optional<QString> refusal = DatabaseWriteRefusal(state))
            throw JobError(refusal->toStdString());
    }
    job();
}

std::optional<UserMessage> RunOrRefuse(AppState& state, DatabaseUse use, const std::function<void()>& job)
{
    try {
        RunJob(state, use, job);
        return std::nullopt;
    } catch (const JobError& e) {
        return UserMessage {QString::fromStdString(e.what()), ProgramTitle, MsgIcon::Exclamation};
    }
}

bool RunAsJob(AppState& state, DatabaseUse use, const std::function<void()>& job)
{
    const std::optional<UserMessage> refusal = RunOrRefuse(state, use, job);
    if (refusal)
        ShowMessage(state.dialogs, *refusal);
    return !refusal;
}

} // namespace zp
