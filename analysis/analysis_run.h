#pragma once

#include <QString>

namespace zp {

struct AppState;
class LogSink;

// Tries every mod of the hack `hackNum` against the unchanged source files and logs, mod by mod, whether its old data
// is there; then lists the support files. Reads only: nothing is written to disk or to the database. Runs as one job
// (JobLock); false when it could not start (the message box said why). A hack no longer in the
// database logs nothing.
bool RunAnalysis(AppState& state, int hackNum, LogSink& log);

// Lists the support files of the hack `hackNum`, in file-name order, as an installation would write
// them.
void ListSupportFiles(AppState& state, int hackNum, LogSink& log);

} // namespace zp
