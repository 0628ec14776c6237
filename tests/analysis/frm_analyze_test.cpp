#include "board_windows.h"
#include "log_rows.h"

#include "analysis/frm_analyze.h"
#include "engine/modification_engine.h"
#include "shell/hack_list_openers.h"
#include "widgets/window_helpers.h"

#include <QAction>
#include <QMdiSubWindow>
#include <QPushButton>

namespace zp::testing {
namespace {

using ::testing::ElementsAre;

class AnalysisWindowTest : public BoardWindows
{
};

TEST_F(AnalysisWindowTest, RunsAtLoadIntoAGridThatFillsTheWindowAndClosingBringsTheListBack)
{
    Write(source + "/cgi-bin/forum.cgi", "# hook\r\n");
    const int hack = AddHack("Hooks");
    AddMod(hack, 1, "forum.cgi", 0, "", AddAfter, 1, "# hook", "x");
    AddMod(hack, 2, "forum.cgi", 0, "", Insert, 1, "missing", "x", "needs version 6");
    AddSupportFile(hack, "logo.gif", 1, "", "GIF");
    frmListHacks& list = ShowHackList(*main);
    list.cmdAnalyze->click();
    auto* w = main->findChild<frmAnalyze*>();
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(list.parentWidget()->isVisible());

    const std::vector<LogRow> rows = GridRows(*w->fgAnaLog);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_THAT(rows.front().Description, HackNameRow(QString("Hooks")));
    EXPECT_THAT(std::vector<LogRow>(rows.begin() + 1, rows.end() - 1),
                ElementsAre(Found("forum.cgi", "Add After"),
                            Row("forum.cgi",
                                "Insert",
                                "Applying Mod",
                                "ERROR: needs version 6",
                                true,
                                "old data not found in forum.cgi"),
                            Row("", "", "Exporting Support Files", ""),
                            Row("logo.gif", "Export", "Export Complete", "Export Successful")));
    EXPECT_EQ(rows.back().Comment, "END Analysis");
    EXPECT_EQ(w->fgAnaLog->Row(), 6);

    WindowFrame(w)->resize(900, 500);
    EXPECT_EQ(w->fgAnaLog->geometry(), w->rect());

    CloseWindow(w);
    QApplication::processEvents();
    EXPECT_TRUE(list.parentWidget()->isVisible());
    EXPECT_TRUE(main->mnuHackList->isEnabled());
}

// While a failed mod's row is selected the status bar says why it failed; other rows and the
// window's close give the panel back.
TEST_F(AnalysisWindowTest, AFailedRowsReasonStandsInTheStatusBarWhileSelected)
{
    Write(source + "/cgi-bin/forum.cgi", "# hook\r\n");
    const int hack = AddHack("Hooks");
    AddMod(hack, 1, "forum.cgi", 0, "", Insert, 1, "missing", "x");
    ShowHackList(*main).cmdAnalyze->click();
    auto* w = main->findChild<frmAnalyze*>();
    ASSERT_NE(w, nullptr);
    const QString before = main->PanelText(1);
    int failed = 0;
    for (int row = 1; row < w->fgAnaLog->Rows() && !failed; ++row)
        failed = w->fgAnaLog->RowNote(row).isEmpty() ? 0 : row;
    ASSERT_GT(failed, 0);
    w->fgAnaLog->SetRow(failed);
    EXPECT_EQ(main->PanelText(1), w->fgAnaLog->RowNote(failed));
    w->fgAnaLog->SetRow(1);
    EXPECT_EQ(main->PanelText(1), before);
    w->fgAnaLog->SetRow(failed);
    CloseWindow(w);
    EXPECT_EQ(main->PanelText(1), before);
}

} // namespace
} // namespace zp::testing
