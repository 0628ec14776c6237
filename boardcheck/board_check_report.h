#pragma once

#include "boardcheck/board_check.h"

#include <QString>
#include <optional>

namespace zp {

enum class ReportFormat { Text, Tsv, Html };

// "text", "tsv" or "html"; nothing for any other name.
std::optional<ReportFormat> ReportFormatNamed(const QString& name);

// The report of an upgrade check: one row per hack, then the failing mods of each hack that does
// not fit. Text for a terminal, TSV (a header line, TAB-separated cells) for a spreadsheet, HTML
// as one self-contained page for sharing.
QString UpgradeReport(const UpgradeCheckResult& result, ReportFormat format);

// The report of a conflict check: the pairs with their shared files and failing mods, then the
// suggested install order or "no safe order" with the cycle.
QString ConflictReport(const ConflictCheckResult& result, ReportFormat format);

} // namespace zp
