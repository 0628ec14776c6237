#pragma once

#include "boardcheck/board_check_report.h"
#include "boardcheck/hack_port.h"

namespace zp {

// The report of a port: for text and HTML a table of the hacks and their verdicts first; then one
// row per mod (Hack, Version, Order, File, Action, Verdict, Instance, Detail), Instance the mod's
// occurrence in the new release (empty when it is dropped or not carried), Detail the reason for
// "needs a person" and the first line of the new old data for "re-anchored"; then the hacks that
// could not be proved, and the hacks stored ("stored", HackNum, Name, Version as TSV cells).
QString PortReport(const PortResult& result, ReportFormat format);

// The Detail of a mod's row: why it needs a person, the first line of a re-anchored mod's new old
// data, else nothing.
QString PortDetail(const PortedMod& mod);

} // namespace zp
