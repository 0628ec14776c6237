#pragma once

#include "widgets/grid_log.h"

#include <QString>
#include <QWidget>

namespace zp {

struct AppState;
class FlexGrid;
class MainFrame;

// The analysis window: tries the mods of the hack selected in the hack list against the source
// files as soon as it loads and shows the log, which fills the window. The hack list is hidden
// while it is open and comes back when it closes.
class frmAnalyze : public QWidget
{
    Q_OBJECT

public:
    explicit frmAnalyze(MainFrame& main, QWidget* parent = nullptr);

    // Sizes and centres the window, then analyses the hack at the current row of HackInfoRecordset.
    void Load();
    // True while the analysis runs.
    bool IsRunning() const { return log_.Running(); }

    FlexGrid* fgAnaLog;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    MainFrame& main_;
    AppState& state_;
    GridLog log_;
    bool unloaded_ = false;
    QString panelBefore_; // the status bar's first panel before a row's reason took it
};

// Shows the analysis window in the main window and runs the analysis; an open one is brought to
// the front as it is.
frmAnalyze& ShowAnalysis(MainFrame& main);

} // namespace zp
