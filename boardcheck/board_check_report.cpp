#include "boardcheck/board_check_report.h"

namespace zp {

std::optional<ReportFormat> ReportFormatNamed(const QString&)
{
    return std::nullopt;
}

QString UpgradeReport(const UpgradeCheckResult&, ReportFormat)
{
    return {};
}

QString ConflictReport(const ConflictCheckResult&, ReportFormat)
{
    return {};
}

} // namespace zp
