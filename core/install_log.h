#pragma once

#include <QString>
#include <QStringList>
#include <QTime>
#include <vector>

namespace zp {

struct LogRow;

// Where the installation and the analysis report their steps: a four-column log ("Filename",
// "Action", "Comment", "Description") with a header row 0. The window implements it over its grid,
// the command line and the tests over RecordingLog.
class LogSink
{
public:
    virtual ~LogSink() = default;
    // Back to the header row alone.
    virtual void Clear() = 0;
    virtual void
    AddRow(const QString& filename, const QString& action, const QString& comment, const QString& description)
        = 0;
    // Marks the four cells of the last row as failed (red).
    virtual void MarkLastRowRed() = 0;
    // Says why the last row failed, beside its cells (the window shows it as the row's tooltip).
    virtual void ExplainLastRow(const QString& /*why*/) { }
    // Row 0 is the header row; RowCount() - 1 the last row.
    virtual void SetCurrentRow(int row) = 0;
    virtual int RowCount() const = 0;
    // Lets the window repaint during a long run; the engine calls it after each of its rows.
    virtual void ProcessEvents() { }

    void AddFailedRow(const QString& filename,
                      const QString& action,
                      const QString& comment,
                      const QString& description,
                      const QString& why = QString())
    {
        AddRow(filename, action, comment, description);
        MarkLastRowRed();
        if (!why.isEmpty())
            ExplainLastRow(why);
    }
    // A row recorded elsewhere (RecordingLog), red if it was.
    void AddLogRow(const LogRow& row);
};

struct LogRow
{
    QString Filename, Action, Comment, Description;
    bool red = false;
    QString why {}; // of a failed row, when its cells do not say it

    bool operator==(const LogRow&) const = default;
};

// A log kept in memory: for the command line and the tests.
class RecordingLog : public LogSink
{
public:
    std::vector<LogRow> rows; // without the header row
    int currentRow = 0;

    void Clear() override;
    void
    AddRow(const QString& filename, const QString& action, const QString& comment, const QString& description) override;
    void MarkLastRowRed() override;
    void ExplainLastRow(const QString& why) override;
    void SetCurrentRow(int row) override { currentRow = row; }
    int RowCount() const override { return static_cast<int>(rows.size()) + 1; }

    bool AnyRed() const;
};

// A cell as one whole line: TAB, CR, LF and NUL written as \t, \r, \n and \0.
QString EscapedCell(QString cell);

// Cells joined by TAB as the command line prints them, each cell escaped (EscapedCell), so that one
// row stays one whole line of its cells.
QString TabSeparated(const QStringList& cells);

// The row as the command line prints it: the four cells (TabSeparated), a failed row prefixed by '!'.
QString FormatLogRow(const LogRow& row);

class Recordset;

// The row that begins or ends a run: the comment, then "Hack Name:" with the Name of the hack at the
// current row of `hack` (a HackInfo recordset), " at " and the time (LogTime).
void LogHackName(const Recordset& hack, LogSink& log, const QString& comment);

// The time of the "Hack Name:" rows: "hh:mm:ss AM" / "hh:mm:ss PM", 12-hour clock.
QString LogTime(const QTime& time = QTime::currentTime());

} // namespace zp
