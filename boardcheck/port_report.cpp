#include "boardcheck/port_report.h"

#include "boardcheck/report_table.h"
#include "core/install_log.h"

namespace zp {

namespace {

ReportCell::Tone ToneOf(ModVerdict verdict)
{
    return verdict == ModVerdict::NeedsPerson ? ReportCell::Bad : ReportCell::Plain;
}

ReportTable ModTable(const PortResult& result)
{
    ReportTable table {
        QStringLiteral("Mods"), {"Hack", "Version", "Order", "File", "Action", "Verdict", "Instance", "Detail"}, {}};
    for (const PortedHack& hack : result.Hacks) {
        for (const PortedMod& mod : hack.Mods) {
            const bool support = mod.ModOrder == 0 && mod.Action == QStringLiteral("Support File");
            table.rows.push_back({{hack.Hack.Name},
                                  {hack.Version},
                                  {support ? QString() : QString::number(mod.ModOrder)},
                                  {mod.File},
                                  {mod.Action},
                                  {ModVerdictText(mod.Verdict), ToneOf(mod.Verdict)},
                                  {Carried(mod.Verdict) ? QString::number(mod.Mod.ModInst) : QString()},
                                  {PortDetail(mod)}});
        }
    }
    return table;
}

ReportTable HackTable(const PortResult& result)
{
    ReportTable table {QStringLiteral("Hacks"), {"Hack", "Version", "Mods", "Verdict"}, {}};
    for (const PortedHack& hack : result.Hacks) {
        const ReportCell::Tone tone = hack.Verdict == HackVerdict::Ported ? ReportCell::Good : ReportCell::Bad;
        table.rows.push_back(
            {{hack.Hack.Name}, {hack.Version}, {QString::number(hack.Mods.size())}, {HackVerdictText(hack), tone}});
    }
    return table;
}

} // namespace

QString PortDetail(const PortedMod& mod)
{
    if (mod.Verdict == ModVerdict::NeedsPerson)
        return mod.Reason;
    if (mod.Verdict == ModVerdict::Reanchored)
        return mod.Mod.OldData.section(QStringLiteral("\r\n"), 0, 0);
    return QString();
}

QString PortReport(const PortResult& result, ReportFormat format)
{
    Report report;
    report.title = QStringLiteral("Port to a new board release");
    if (format != ReportFormat::Tsv)
        report.tables.push_back(HackTable(result));
    report.tables.push_back(ModTable(result));
    for (const PortedHack& hack : result.Hacks) {
        if (!hack.BrokenFile.isEmpty())
            report.closing << QStringLiteral("%1 was not stored: installing the ported hack over the new release does "
                                             "not give the merged text of %2")
                                  .arg(hack.Hack.Name, hack.BrokenFile);
    }
    for (const PortedHack& hack : result.Hacks) {
        if (hack.StoredAs != 0)
            report.closing << TabSeparated(
                {QStringLiteral("stored"), QString::number(hack.StoredAs), hack.Hack.Name, hack.StoredVersion});
    }
    if (result.Cancelled)
        report.closing << QStringLiteral("The port was cancelled; nothing was stored.");
    return RenderReport(report, format);
}

} // namespace zp
