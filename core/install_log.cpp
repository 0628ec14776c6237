#include "core/install_log.h"

#include "database/recordset.h"

#include <QLocale>
#include <algorithm>

namespace zp {

void RecordingLog::Clear()
{
    rows.clear();
    currentRow = 0;
}

void RecordingLog::AddRow(const QString& filename,
                          const QString& action,
                          const QString& comment,
                          const QString& description)
{
    rows.push_back({filename, action, comment, description});
}

void LogSink::AddLogRow(const LogRow& row)
{
    AddRow(row.Filename, row.Action, row.Comment, row.Description);
    if (row.red)
        MarkLastRowRed();
    if (!row.why.isEmpty())
        ExplainLastRow(row.why);
}

void RecordingLog::MarkLastRowRed()
{
    if (!rows.empty())
        rows.back().red = true;
}

void RecordingLog::ExplainLastRow(const QString& why)
{
    if (!rows.empty())
        rows.back().why = why;
}

bool RecordingLog::AnyRed() const
{
    return std::any_of(rows.begin(), rows.end(), [](const LogRow& r) { return r.red; });
}

QString EscapedCell(QString cell)
{
    return cell.replace(u'\t', QStringLiteral("\\t"))
        .replace(u'\r', QStringLiteral("\\r"))
        .replace(u'\n', QStringLiteral("\\n"))
        .replace(QChar(0), QStringLiteral("\\0"));
}

QString TabSeparated(const QStringList& cells)
{
    QStringList escaped;
    for (const QString& cell : cells)
        escaped << EscapedCell(cell);
    return escaped.join(u'\t');
}

QString FormatLogRow(const LogRow& row)
{
    const QString cells = TabSeparated({row.Filename, row.Action, row.Comment, row.Description});
    return row.red ? u'!' + cells : cells;
}

void LogHackName(const Recordset& hack, LogSink& log, const QString& comment)
{
    log.AddRow(QString(),
               QString(),
               comment,
               QStringLiteral("Hack Name:") + hack.Text("Name") + QStringLiteral(" at ") + LogTime());
}

QString LogTime(const QTime& time)
{
    return QLocale::c().toString(time, QStringLiteral("hh:mm:ss AP"));
}

} // namespace zp
