#pragma once

#include <QString>
#include <QStringList>

namespace zp {

struct AppState;
class LogSink;

// Before files are copied over the source folder: copies every source file among `files` (paths
// relative to the source folder) into <program folder>/backups/<HackNum>-<yyyymmdd-hhmmss>/ at the
// same relative place and logs where. Returns false (after a red row) when a file could not be
// backed up, also when a symbolic link lies on the way into the backups: the source must then stay
// as it is.
bool BackupSourceFiles(const AppState& state, const QStringList& files, LogSink& log);

} // namespace zp
