#pragma once

#include "app/dialogs.h"

#include <QLockFile>
#include <QString>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>

namespace zp {

struct AppState;

// A job that cannot start; the text says why.
class JobError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A source backup is filled under its name with this suffix and takes its own name only once its
// manifest is written, before the installation replaces any file; so a folder with the suffix never
// holds the only copy of a replaced file.
inline const QString UnfinishedBackupSuffix = QStringLiteral(".unfinished");

// One job at a time per program folder: install, analysis, import, export, text export, delete,
// backup and compaction each hold <program folder>/zpatch.lock while they run, in the program and
// in the command line alike. Taking it also removes what a killed job left: the temporary files of
// its unfinished writes, the exchange folder, the work folder and unfinished source backups.
class JobLock
{
public:
    // Waits up to `wait` for another job to end; a lock left by a process that no longer runs is
    // taken over at once, and one that names no process (its job was killed while making it) once
    // it is over a second old and nobody holds it. Throws JobError ("Another Zenpatch job is using
    // ...").
    JobLock(const QString& programFolder, std::chrono::milliseconds wait);
    ~JobLock();
    JobLock(const JobLock&) = delete;
    JobLock& operator=(const JobLock&) = delete;

private:
    QString programFolder_;
    QLockFile lock_;
};

// A private folder of work that may run beside a job (a trial installation writes the files a hack
// changes into one): made below the system's temporary folder, its name beginning with a prefix of
// the program folder's own, and held by an advisory lock on the folder while it exists. Taking the
// job lock removes those that nobody holds any more: what a killed process left. Throws
// std::runtime_error when it cannot be made.
class HeldTemporaryFolder
{
public:
    explicit HeldTemporaryFolder(const QString& programFolder);
    ~HeldTemporaryFolder();
    HeldTemporaryFolder(const HeldTemporaryFolder&) = delete;
    HeldTemporaryFolder& operator=(const HeldTemporaryFolder&) = delete;

    QString path() const { return folder_.path(); }
    QString filePath(const QString& name) const { return folder_.filePath(name); }

private:
    QTemporaryDir folder_;
    int held_ = -1;
};

// Removes a job's work folder at the end of the job without waiting for it: the folder is renamed
// out of the way at once, so that the next job can make a new one, and its files are removed on a
// thread of their own (removing large files can wait for the disk). The program waits for such
// removals when it ends (but see RemoveJobFoldersAfterExit); a folder that a killed program left
// goes with the next job lock.
void RemoveJobFolderLater(const QString& path);

// From now on RemoveJobFolderLater hands each folder to an `rm` process of its own that the
// program does not wait for (a thread, as before, when none can be started): a command ends as
// soon as its job is done, not when the old files it replaced are gone. On a file system mounted
// with `discard` every removed file waits for the disk. For short-lived programs only: the
// processes are left for init to reap.
void RemoveJobFoldersAfterExit();

// Removes what a killed job left, unless a job is running now. For the start of the program.
void RemoveLeftoversOfKilledJobs(const QString& programFolder);

// Whether a job writes the database: such a job first checks that it can, so that it never stops
// half-way on a read-only database after changing files.
enum class DatabaseUse { Reads, Writes };

// "Zenpatch cannot write to its database PATH (REASON). Nothing was changed." when a write to the
// database would fail (a read-only file or folder); nothing when it can be written.
std::optional<QString> DatabaseWriteRefusal(AppState& state);

// Runs `job` under the job lock of the state's program folder (waiting state.JobLockWait). When the
// job cannot start, throws JobError saying why without running it.
void RunJob(AppState& state, DatabaseUse use, const std::function<void()>& job);

// As RunJob; when the job cannot start, the message that says why (title "Zenpatch") for the
// caller to show, else nothing.
std::optional<UserMessage> RunOrRefuse(AppState& state, DatabaseUse use, const std::function<void()>& job);

// How a job ended, and the message for its caller to show: why it could not start, or why it
// stopped; none when there is nothing to say.
template <typename Outcome>
struct JobResult
{
    Outcome outcome;
    std::optional<UserMessage> message;
};

// Runs `job`, which returns a JobResult<Outcome>, as RunOrRefuse does; when it cannot start, the
// result is `refused` with the message that says why.
template <typename Outcome, typename Job>
JobResult<Outcome> RunForResult(AppState& state, DatabaseUse use, Outcome refused, Job&& job)
{
    JobResult<Outcome> result {refused, std::nullopt};
    if (std::optional<UserMessage> refusal = RunOrRefuse(state, use, [&] { result = job(); }))
        result.message = std::move(refusal);
    return result;
}

// As RunOrRefuse, showing the message itself: false when the job could not start.
bool RunAsJob(AppState& state, DatabaseUse use, const std::function<void()>& job);

} // namespace zp
