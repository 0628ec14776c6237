#pragma once

#include "boardcheck/board_check_report.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace zp {

// A report as the board checks write it, whatever the format: a title, tables, and lines after
// them.
struct ReportCell
{
    enum Tone { Plain, Good, Bad };
    QString text;
    Tone tone = Plain;
};

struct ReportTable
{
    QString title; // may be empty
    QStringList header;
    std::vector<std::vector<ReportCell>> rows;
};

struct Report
{
    QString title;
    std::vector<ReportTable> tables;
    QStringList closing;
};

// Text: the title, then each table with its columns lined up, then the closing lines. TSV: each table as a header line
// and its rows, tables separated by an empty line, then the closing lines; the title is left out. HTML: one page with a
// heading, a table for each table (good cells green, bad cells red) and a paragraph for each closing line, every text
// escaped.
QString RenderReport(const Report& report, ReportFormat format);

} // namespace zp
