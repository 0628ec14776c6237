#pragma once

#include "app/job_lock.h"

#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

namespace zp {

struct AppState;
class LogSink;

enum class BackupState {
    NotReverted,
    Interrupted, // the installation was killed while replacing files; those it replaced can be reverted
    Reverted,
    NoManifest, // kept by an older version, which wrote no manifest
    Damaged, // a manifest that cannot be trusted: no revert reads it
};

// "not reverted", "interrupted", "reverted", "no manifest", "damaged manifest": marked for the
// revert window's translation, which shows it through tr().
const char* BackupStateText(BackupState state);

// One folder backups/<HackNum>-<yyyymmdd-hhmmss>[-n] of the program folder.
struct BackupInfo
{
    QString name; // the folder's name
    int hackNum = 0; // the hack installed, the first one of a run of several
    QDateTime time;
    int files = -1; // the files its manifest lists; -1 without a readable one
    BackupState state = BackupState::NoManifest;
    std::vector<int> hacks {}; // every hack of a run of several, from its manifest; empty for one

    bool Revertible() const { return state == BackupState::NotReverted || state == BackupState::Interrupted; }
    // Whether the installation it keeps installed this hack.
    bool Covers(int hack) const;
};

// The backups of the program folder (those that cover one hack when `hackNum` is given), newest
// first: the newest backup of a hack may be the one of a run that installed several.
std::vector<BackupInfo> ListBackups(const QString& programFolder, std::optional<int> hackNum = std::nullopt);
// The backup of the hack with this folder name, or its newest one when `name` is empty.
std::optional<BackupInfo> FindBackup(const QString& programFolder, int hackNum, const QString& name);

// Whether the hack at the current row of HackInfoRecordset (the selected one) has a backup.
bool CurrentHackHasBackup(const AppState& state);

struct RevertOptions
{
    bool dryRun = false; // log what would be done, write nothing
    bool force = false; // also restore (or remove) the files changed since the installation
};

enum class RevertOutcome {
    Done, // every file logged; red rows for those left alone or failed
    AlreadyReverted, // said so; nothing changed
    Refused, // no manifest, a damaged one, or the job could not start; the result's message says why
};

// The message says why it was refused, or that it had been reverted already.
using RevertResult = JobResult<RevertOutcome>;

// Undoes the installation kept in the backup `name` of the hack `hackNum` (of every hack of its run,
// for a run of several; a hack no longer in the database is refused with a message), as one job (JobLock), logging a
// row per file: a file whose bytes are still those the installation wrote gets its backup copy back (whole: a temporary
// file renamed over it), a file it created is removed, a file changed since then is left alone (a red row) unless
// `force`. Then each folder the installation made is removed when it is empty, innermost first. Once every file is as
// before the installation, a mark in the backup folder says it has been reverted, and a second revert changes nothing.
// Nothing is written outside the source folder or through a symbolic link, whatever the manifest says.
RevertResult
RevertInstallation(AppState& state, int hackNum, const QString& name, const RevertOptions& options, LogSink& log);

} // namespace zp
