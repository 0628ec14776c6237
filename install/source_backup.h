#pragma once

#include "install/backup_manifest.h"

#include <QString>
#include <QStringList>
#include <map>
#include <vector>

namespace zp {

struct AppState;
class LogSink;
class WholeFileBatch;

// The backup folder an installation over the source folder would make now, relative to the program
// folder: backups/<HackNum>-<yyyymmdd-hhmmss>, with "-2", "-3" ... when two runs fall within one
// second. `hackNum` is the hack installed, or the first of several installed in one run.
QString NewBackupFolder(const AppState& state, int hackNum);

// What an installation over the source folder keeps so that a revert can undo it: a copy of every
// source file it replaces, at the same relative place in the backup folder, and the manifest, which
// also lists the folders the installation makes.
class SourceBackup
{
public:
    // `folder`: from NewBackupFolder, named when the user was asked; a new one is taken when it is
    // empty or has been taken meanwhile. `hackNums`: the hacks the run installs (at least one), in its
    // order; the folder is named for the first, and the manifest names them all when there are several.
    SourceBackup(const AppState& state, LogSink& log, const QString& folder, const std::vector<int>& hackNums);

    // Before files are put over the source folder: `files` are their paths relative to the source
    // folder, `newContent` maps each to the file that will take its place. Copies every source
    // file among them into the backup folder, then writes the manifest, and logs where. Returns
    // false (after a red row) when a file could not be backed up or the manifest not written, also
    // when a symbolic link lies on the way into the backups: the source must then stay as it is.
    bool Begin(const QStringList& files, const std::map<QString, QString>& newContent);
    // Once the files are in place: the manifest again, without the files of `notReplaced`, and
    // complete. A manifest that cannot be written again is a red row; the first one stays, and a
    // revert reads it as the manifest of an interrupted run.
    void Complete(const QStringList& notReplaced);

private:
    // Stages the backup copy in `copies`.
    bool Keep(const QString& path, const QString& newContent, WholeFileBatch& copies);
    // Lists in the manifest the folders on the way to `path` (normalised) that placing it will make.
    void NoteNewFolders(const QString& path);
    void Refuse(const QString& what, const QString& reason);
    QString ManifestPath() const;
    // Gives the backup, filled and with its manifest, its own name; throws std::runtime_error.
    void Publish(const QString& finalFolder);
    // Throws std::runtime_error naming the reason.
    void WriteManifest();

    const AppState& state_;
    LogSink& log_;
    QString folder_; // relative to the program folder; the unfinished name until Publish
    const int firstHack_;
    BackupManifest manifest_;
    std::map<QString, QString> normalPaths_; // the path as the run names it -> manifest path
};

} // namespace zp
