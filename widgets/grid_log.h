#pragma once

#include "core/install_log.h"

#include <QElapsedTimer>
#include <functional>

class QWidget;

namespace zp {

class Dialogs;
class FlexGrid;

// The log grid of the installation and analysis windows: "Filename", "Action", "Comment" and
// "Description" at their designed widths; the user can widen a column, and a cut cell shows its
// whole text as a tooltip, a failed row also why it failed.
FlexGrid* NewLogGrid(QWidget* parent);

// The log grid as TSV: the header line, then one line per row, each cell escaped as TabSeparated
// does.
QString TabSeparatedLog(const FlexGrid& grid);

// The log of a run shown in its grid, failed rows in red. Between rows the window repaints (at most
// every few milliseconds, so that the grid costs the run little); the user's clicks and keys wait
// until the run has ended, so nothing can start a second job, change the hack or close the database
// under the running one.
class GridLog : public LogSink
{
public:
    explicit GridLog(FlexGrid& grid);

    // Runs a job that logs here; Running() is true meanwhile. An error that escapes the job (the
    // database or the file system failing) is shown under `title` instead of ending the program.
    void Run(Dialogs& dialogs, const QString& title, const std::function<void()>& job);
    bool Running() const { return running_; }

    void Clear() override;
    void
    AddRow(const QString& filename, const QString& action, const QString& comment, const QString& description) override;
    void MarkLastRowRed() override;
    void ExplainLastRow(const QString& why) override;
    void SetCurrentRow(int row) override;
    int RowCount() const override;
    void ProcessEvents() override;

private:
    FlexGrid& grid_;
    QElapsedTimer sinceEvents_;
    bool running_ = false;
};

} // namespace zp
