#pragma once

#include <QString>
#include <QStringList>

namespace zp {

struct AppState;
class LogSink;

// The backup folder an installation of CurrentHackNum over the source folder would make now,
// relative to the program folder: backups/<HackNum>-<yyyymmdd-hhmmss>, with "-2", "-3" ... when two
// runs fall within one second.
QString NewBackupFolder(const AppState& state);

// Before files are copied over the source folder: copies every source file among `files` (paths
// relative to the source folder) into `folder` (from NewBackupFolder, named when the user was asked;
// a new one when it is empty or has been taken meanwhile) at the same relative place and logs
// where. Returns false (after a red row) when a file could not be backed up, also when a symbolic
// link lies on the way into the backups: the source must then stay as it is.
bool BackupSourceFiles(const AppState& state, const QStringList& files, LogSink& log, const QString& folder);

} // namespace zp
