#pragma once

#include "app/dialogs.h"

#include <QString>
#include <optional>

namespace zp {

struct AppState;
class LogSink;

// Tries every mod of the hack `hackNum` against the unchanged source files and logs, mod by mod, whether its old data
// is there; then lists the support files. Reads only: nothing is written to disk or to the database. Runs as one job
// (JobLock); returns why it could not start, for the caller to show. A hack no longer in the
// database logs nothing.
std::optional<UserMessage> RunAnalysis(AppState& state, int hackNum, LogSink& log);

// Lists the support files of the hack `hackNum`, in file-name order, as an installation would write
// them.
void ListSupportFiles(AppState& state, int hackNum, LogSink& log);

} // namespace zp
