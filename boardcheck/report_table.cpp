#include "boardcheck/report_table.h"

#include "core/install_log.h"

#include <algorithm>

namespace zp {

namespace {

// The text escaped for HTML, with the control characters XML does not allow shown as U+FFFD.
QString Escaped(const QString& text)
{
    QString shown = text;
    for (QChar& c : shown) {
        if (c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r')
            c = QChar::ReplacementCharacter;
    }
    return shown.toHtmlEscaped();
}

QString TextReport(const Report& report)
{
    QString out = report.title + u'\n';
    for (const ReportTable& table : report.tables) {
        out += u'\n';
        if (!table.title.isEmpty())
            out += table.title + u'\n';
        std::vector<QStringList> lines {table.header};
        for (const auto& row : table.rows) {
            QStringList cells;
            for (const ReportCell& cell : row)
                cells << EscapedCell(cell.text); // a multi-line cell would break the table
            lines.push_back(cells);
        }
        std::vector<qsizetype> width(table.header.size(), 0);
        for (const QStringList& line : lines) {
            for (qsizetype i = 0; i < line.size(); ++i)
                width[i] = std::max(width[i], line[i].size());
        }
        for (const QStringList& line : lines) {
            QString text;
            for (qsizetype i = 0; i < line.size(); ++i)
                text += i + 1 < line.size() ? line[i].leftJustified(width[i] + 2) : line[i];
            out += text + u'\n';
        }
    }
    if (!report.closing.isEmpty())
        out += u'\n' + report.closing.join(u'\n') + u'\n';
    return out;
}

QString TsvReport(const Report& report)
{
    QStringList blocks;
    for (const ReportTable& table : report.tables) {
        QString block = TabSeparated(table.header) + u'\n';
        for (const auto& row : table.rows) {
            QStringList cells;
            for (const ReportCell& cell : row)
                cells << cell.text;
            block += TabSeparated(cells) + u'\n';
        }
        blocks << block;
    }
    if (!report.closing.isEmpty())
        blocks << report.closing.join(u'\n') + u'\n';
    return blocks.join(u'\n');
}

QString HtmlReport(const Report& report)
{
    const QString title = Escaped(report.title);
    QString out = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>")
        + title
        + QStringLiteral("</title>\n<style>\n"
                         "body { font-family: sans-serif; }\n"
                         "table { border-collapse: collapse; margin-bottom: 1em; }\n"
                         "th, td { border: 1px solid #999; padding: 2px 6px; text-align: left; }\n"
                         "td.good { background: #c6efce; }\n"
                         "td.bad { background: #ffc7ce; }\n"
                         "</style>\n</head>\n<body>\n<h1>")
        + title + QStringLiteral("</h1>\n");
    for (const ReportTable& table : report.tables) {
        if (!table.title.isEmpty())
            out += QStringLiteral("<h2>") + Escaped(table.title) + QStringLiteral("</h2>\n");
        out += QStringLiteral("<table>\n<tr>");
        for (const QString& heading : table.header)
            out += QStringLiteral("<th>") + Escaped(heading) + QStringLiteral("</th>");
        out += QStringLiteral("</tr>\n");
        for (const auto& row : table.rows) {
            out += QStringLiteral("<tr>");
            for (const ReportCell& cell : row) {
                out += cell.tone == ReportCell::Good ? QStringLiteral("<td class=\"good\">")
                    : cell.tone == ReportCell::Bad   ? QStringLiteral("<td class=\"bad\">")
                                                     : QStringLiteral("<td>");
                out += Escaped(cell.text) + QStringLiteral("</td>");
            }
            out += QStringLiteral("</tr>\n");
        }
        out += QStringLiteral("</table>\n");
    }
    for (const QString& line : report.closing)
        out += QStringLiteral("<p>") + Escaped(line) + QStringLiteral("</p>\n");
    return out + QStringLiteral("</body>\n</html>\n");
}

} // namespace

QString RenderReport(const Report& report, ReportFormat format)
{
    switch (format) {
    case ReportFormat::Text:
        return TextReport(report);
    case ReportFormat::Tsv:
        return TsvReport(report);
    case ReportFormat::Html:
        return HtmlReport(report);
    }
    return QString();
}

} // namespace zp
