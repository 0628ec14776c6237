#include "analysis/frm_analyze.h"

#include "analysis/analysis_run.h"
#include "app/app_state.h"
#include "core/catalogue_operations.h"
#include "database/recordset.h"
#include "widgets/flex_grid.h"
#include "widgets/main_frame.h"
#include "widgets/window_helpers.h"

#include <QAction>
#include <QVBoxLayout>

namespace zp {

namespace {

constexpr int WidthTwips = 10275;
constexpr int HeightTwips = 5505;

} // namespace

frmAnalyze::frmAnalyze(MainFrame& main, QWidget* parent)
    : QWidget(parent)
    , fgAnaLog(NewLogGrid(this))
    , main_(main)
    , state_(main.State())
    , log_(*fgAnaLog)
{
    setWindowTitle(tr("Analyze Hack"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(fgAnaLog);
    CloseOnEscape(this);
    // Why a mod failed stands in the status bar while its row is selected, for the keyboard too.
    connect(fgAnaLog, &FlexGrid::RowChanged, this, [this](int row) {
        if (panelBefore_.isNull())
            panelBefore_ = main_.PanelText(1);
        const QString why = fgAnaLog->RowNote(row);
        main_.SetPanelText(1, why.isEmpty() ? panelBefore_ : why);
    });
}

void frmAnalyze::Load()
{
    QWidget* frame = WindowFrame(this);
    ResizeInTwips(frame, WidthTwips, HeightTwips);
    CenterInParent(this);
    log_.Run(state_.dialogs, windowTitle(), [this] {
        // The hack the list selected for this window; the list's selection stays afterwards.
        const int hackNum = state_.CurrentHackNum;
        Recordset hack(state_.Connection);
        if (OpenHackRow(hack, hackNum)) {
            setWindowTitle(tr("Analyze Hack — %1").arg(hack.Text("Name")));
            ShowMessage(state_.dialogs, RunAnalysis(state_, hackNum, log_));
        }
    });
}

void frmAnalyze::closeEvent(QCloseEvent* event)
{
    // The analysis runs inside the load; the window stays until it has ended.
    CloseWorkingWindow(this, event, log_.Running(), unloaded_, [this] {
        if (!panelBefore_.isNull())
            main_.SetPanelText(1, panelBefore_);
        main_.mnuHackList->setEnabled(true);
        main_.ShowHackListLater();
    });
}

frmAnalyze& ShowAnalysis(MainFrame& main)
{
    return ShowSingleWindow<frmAnalyze>(main);
}

} // namespace zp
