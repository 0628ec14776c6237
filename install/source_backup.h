#pragma once

#include <QString>

namespace zp {

struct AppState;
class LogSink;

// Before the work folder is copied over the source folder: copies every source file it will
// replace into <program folder>/backups/<HackNum>-<yyyymmdd-hhmmss>/ at the same relative place and
// logs where. Returns false (after a red row) when a file could not be backed up: the source must
// then stay as it is.
bool BackupSourceFiles(const AppState& state, const QString& workFolder, LogSink& log);

} // namespace zp
