#include "boardcheck/board_check_report.h"

#include "boardcheck/report_table.h"

namespace zp {

namespace {

ReportCell Count(int count, bool good)
{
    return {QString::number(count), good ? ReportCell::Good : ReportCell::Bad};
}

ReportTable FailingModsTable(const std::vector<FailingMod>& mods)
{
    ReportTable table {QStringLiteral("Failing mods"),
                       {QStringLiteral("Hack"),
                        QStringLiteral("File"),
                        QStringLiteral("Action"),
                        QStringLiteral("Order"),
                        QStringLiteral("Comment"),
                        QStringLiteral("Old data")},
                       {}};
    for (const FailingMod& mod : mods) {
        table.rows.push_back(
            {{mod.Hack}, {mod.FileName}, {mod.Action}, {QString::number(mod.ModOrder)}, {mod.Comment}, {mod.OldData}});
    }
    return table;
}

} // namespace

std::optional<ReportFormat> ReportFormatNamed(const QString& name)
{
    if (name == u"text")
        return ReportFormat::Text;
    if (name == u"tsv")
        return ReportFormat::Tsv;
    if (name == u"html")
        return ReportFormat::Html;
    return std::nullopt;
}

QString UpgradeReport(const UpgradeCheckResult& result, ReportFormat format)
{
    Report report {QStringLiteral("Board upgrade check"), {}, {}};
    ReportTable hacks {QString(),
                       {QStringLiteral("Hack"),
                        QStringLiteral("Mods"),
                        QStringLiteral("Apply now"),
                        QStringLiteral("Apply after upgrade"),
                        QStringLiteral("Missing after upgrade"),
                        QStringLiteral("Verdict")},
                       {}};
    std::vector<FailingMod> failing;
    for (const UpgradeRow& row : result.Rows) {
        const bool fits = row.Verdict == UpgradeVerdict::Fits;
        hacks.rows.push_back({{row.Hack.Name},
                              {QString::number(row.Mods)},
                              Count(row.ApplyNow, row.ApplyNow == row.Mods),
                              Count(row.ApplyAfter, row.ApplyAfter == row.Mods),
                              {row.MissingAfter.join(QStringLiteral(", ")),
                               row.MissingAfter.isEmpty() ? ReportCell::Plain : ReportCell::Bad},
                              {UpgradeVerdictText(row.Verdict), fits ? ReportCell::Good : ReportCell::Bad}});
        failing.insert(failing.end(), row.Failing.begin(), row.Failing.end());
    }
    report.tables.push_back(hacks);
    if (!failing.empty())
        report.tables.push_back(FailingModsTable(failing));
    if (result.Cancelled)
        report.closing << QStringLiteral("The check was cancelled before every hack was tried.");
    return RenderReport(report, format);
}

QString ConflictReport(const ConflictCheckResult& result, ReportFormat format)
{
    Report report {QStringLiteral("Hacks that collide"), {}, {}};
    ReportTable pairs {QString(),
                       {QStringLiteral("Hack"),
                        QStringLiteral("Other hack"),
                        QStringLiteral("Verdict"),
                        QStringLiteral("Shared files")},
                       {}};
    std::vector<FailingMod> failing;
    for (const ConflictPair& pair : result.Pairs) {
        pairs.rows.push_back({{pair.First.Name},
                              {pair.Second.Name},
                              {PairVerdictText(pair), Breaks(pair.Verdict) ? ReportCell::Bad : ReportCell::Good},
                              {pair.SharedFiles.join(QStringLiteral(", "))}});
        failing.insert(failing.end(), pair.Failing.begin(), pair.Failing.end());
    }
    report.tables.push_back(pairs);
    if (!failing.empty())
        report.tables.push_back(FailingModsTable(failing));
    if (result.Cancelled)
        report.closing << QStringLiteral("The check was cancelled before every pair was tried.");
    else if (result.Cycle.empty())
        report.closing << QStringLiteral("Suggested install order: ") + result.OrderText();
    else
        report.closing << result.OrderText();
    return RenderReport(report, format);
}

} // namespace zp
