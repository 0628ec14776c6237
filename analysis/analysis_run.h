#pragma once

#include <QString>

namespace zp {

struct AppState;
class FoldedText;
class LogSink;
struct ModRecord;

// Tries every mod of the hack at the current row of HackInfoRecordset (CurrentHackNum) against the
// unchanged source files and logs, mod by mod, whether its old data is there; then lists the
// support files. Reads only: nothing is written to disk or to the database. Runs as one job
// (JobLock); false when it could not start (the message box said why).
bool RunAnalysis(AppState& state, LogSink& log);

// The engine's twin: logs whether the mod finds what it acts on in the text; the text is not changed.
bool AnalyzeMod(const FoldedText& text, const ModRecord& mod, LogSink& log);

// Lists the support files of CurrentHackNum, in file-name order, as an installation would write them.
void ListSupportFiles(AppState& state, LogSink& log);

} // namespace zp
