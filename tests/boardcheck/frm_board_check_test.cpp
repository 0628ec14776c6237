#include "board_windows.h"

#include "boardcheck/frm_board_check.h"
#include "engine/modification_engine.h"
#include "shell/hack_list_openers.h"
#include "widgets/window_helpers.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace zp::testing {
namespace {

// A board whose new release lacks the hook: "First" fits, "Remover" and "User" break on the
// upgrade, and "Remover" breaks "User" when installed before it.
class BoardCheckWindowTest : public BoardWindows
{
protected:
    void SetUp() override
    {
        BoardWindows::SetUp();
        Write(source + "/cgi-bin/forum.cgi", "<anchor>\r\n<hook>\r\n");
        Write(release + "/cgi-bin/forum.cgi", "<anchor>\r\n");
        AddMod(AddHack("First"), 1, "forum.cgi", 0, "", AddAfter, 1, "<anchor>", "first");
        AddMod(AddHack("Remover"), 1, "forum.cgi", 0, "", Delete, 1, "<hook>", "");
        AddMod(AddHack("User"), 1, "forum.cgi", 0, "", AddAfter, 1, "<hook>", "uses it", "needs the hook");
        main->mnuBoardCheck->trigger();
        window = main->findChild<frmBoardCheck*>();
        ASSERT_NE(window, nullptr);
        window->txtNewRelease->setText(release);
    }

    void Check(QPushButton* check)
    {
        check->click();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->IsChecking(); }, 30000));
    }

    QStringList UpgradeRow(int row) const
    {
        QStringList cells;
        for (int column = 0; column < 6; ++column)
            cells << window->fgUpgrade->TextMatrix(row, column);
        return cells;
    }

    const QString release = home.filePath("release");
    frmBoardCheck* window = nullptr;
};

TEST_F(BoardCheckWindowTest, ChecksFillTheirGridsInColourAndSaveTheirReports)
{
    Check(window->cmdCheckUpgrade);
    ASSERT_EQ(window->fgUpgrade->Rows(), 4);
    EXPECT_EQ(UpgradeRow(1), QStringList({"First", "1", "1", "1", "", "fits"}));
    EXPECT_EQ(UpgradeRow(3), QStringList({"User", "1", "1", "0", "", "breaks on upgrade"}));
    const QColor fits = window->fgUpgrade->RowColor(1);
    EXPECT_GT(fits.green(), fits.red());
    EXPECT_EQ(window->fgUpgrade->RowColor(2), QColor(Qt::red));
    EXPECT_EQ(window->fgUpgrade->RowColor(3), QColor(Qt::red));
    // Enter on a row shows its failing mods.
    window->fgUpgrade->setFocus();
    window->fgUpgrade->SetRow(3);
    QTest::keyClick(window->fgUpgrade, Qt::Key_Return);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "Failing Mods");
    EXPECT_EQ(dialogs.messages[0].text,
              "User: breaks on upgrade\n\nMods that fail after the upgrade:\n"
              "User: forum.cgi, Add After, order 1, needs the hook\n    \"<hook>\"");

    window->tabChecks->setCurrentIndex(1);
    Check(window->cmdCheckConflicts);
    QTableWidget& matrix = *window->tblConflicts;
    ASSERT_EQ(matrix.rowCount(), 3);
    QTableWidgetItem* breaks = matrix.item(2, 1);
    ASSERT_TRUE(breaks && matrix.item(1, 2));
    EXPECT_EQ(breaks->text(), "broken by");
    EXPECT_EQ(matrix.item(1, 2)->text(), "breaks");
    EXPECT_GT(breaks->background().color().red(), breaks->background().color().green());
    EXPECT_TRUE(breaks->toolTip().startsWith("Remover and User: Remover breaks User\nShared files: cgi-bin/forum.cgi"));
    EXPECT_TRUE(breaks->toolTip().contains("needs the hook"));
    // Enter on a cell shows what its tooltip says.
    matrix.setFocus();
    matrix.setCurrentCell(2, 1);
    QTest::keyClick(&matrix, Qt::Key_Return);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].text, breaks->toolTip());
    ASSERT_NE(matrix.item(0, 1), nullptr);
    EXPECT_EQ(matrix.item(0, 1)->text(), "independent");
    EXPECT_GT(matrix.item(0, 1)->background().color().green(), matrix.item(0, 1)->background().color().red());
    EXPECT_EQ(window->txtOrder->toPlainText(), "First, User, Remover");
    window->tabChecks->setCurrentIndex(0); // each tab keeps its own status line
    EXPECT_EQ(window->lblStatus->text(), "1 of 3 hacks fit the new release.");

    dialogs.saveResults = {home.filePath("report.tsv"), home.filePath("report.html")};
    window->cmdSaveUpgrade->click();
    window->cmdSaveConflicts->click();
    EXPECT_TRUE(Read(home.filePath("report.tsv")).startsWith("Hack\tMods\tApply now\t"));
    const QByteArray html = Read(home.filePath("report.html"));
    EXPECT_TRUE(html.startsWith("<!DOCTYPE html>"));
    EXPECT_TRUE(html.contains("Remover breaks User"));
    EXPECT_EQ(dialogs.messages.size(), 2u);
}

TEST_F(BoardCheckWindowTest, CancelStopsTheCheckAndTheWindowStaysUsableAndClosable)
{
    window->cmdCheckUpgrade->click();
    window->cmdCancel->click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->IsChecking(); }, 30000));
    EXPECT_EQ(window->lblStatus->text(), "The check was cancelled before every hack was tried.");
    EXPECT_TRUE(window->cmdCheckUpgrade->isEnabled());
    EXPECT_FALSE(window->cmdCancel->isEnabled());

    QTest::keyClick(window->txtNewRelease, Qt::Key_Return); // Enter runs the check
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->IsChecking(); }, 30000));
    EXPECT_EQ(window->fgUpgrade->Rows(), 4);
    EXPECT_EQ(window->lblStatus->text(), "1 of 3 hacks fit the new release.");

    // Closed while a check runs: the check stops and the window goes with its frame.
    window->cmdCheckUpgrade->click();
    QTest::keyClick(window->txtNewRelease, Qt::Key_Escape);
    test::RunDeferredDeletes();
    EXPECT_EQ(main->findChild<frmBoardCheck*>(), nullptr);
    EXPECT_TRUE(main->mdiArea()->subWindowList().isEmpty());
}

TEST_F(BoardCheckWindowTest, ALongHackNameIsCutShortWithATooltipAndNeverPushesTheVerdictOrAWindowOut)
{
    const QString name = "A hack whose name runs " + QString("on and ").repeated(40) + "on";
    AddMod(AddHack(name), 1, "forum.cgi", 0, "", AddAfter, 1, "<anchor>", "second");
    Check(window->cmdCheckUpgrade);
    FlexGrid& grid = *window->fgUpgrade;
    ASSERT_EQ(grid.Rows(), 5);
    ASSERT_EQ(grid.TextMatrix(1, 0), name);
    EXPECT_EQ(grid.CellToolTip(1, 0), name);
    EXPECT_EQ(grid.CutCellText(1, 5), "");
    EXPECT_LE(grid.columnViewportPosition(5) + grid.columnWidth(5), grid.viewport()->width());
    EXPECT_GE(grid.columnWidth(1), TwipsToPixels(700, &grid)); // the other columns keep their widths

    window->tabChecks->setCurrentIndex(1);
    Check(window->cmdCheckConflicts);
    const QTableWidget& matrix = *window->tblConflicts;
    QApplication::processEvents();
    EXPECT_LE(matrix.verticalHeader()->width(), TwipsToPixels(2600, &matrix));
    EXPECT_EQ(matrix.verticalHeaderItem(0)->toolTip(), name);

    main->resize(900, 700);
    frmListHacks& list = ShowHackList(*main);
    EXPECT_LE(WindowFrame(&list)->width(), main->mdiArea()->width());
    EXPECT_EQ(list.fgHackList->CellToolTip(1, 0), name);
}

// Where the main window has room, the board check grows until every column of the conflicts is in
// view.
TEST_F(BoardCheckWindowTest, EveryColumnOfTheConflictsIsInView)
{
    for (const char* name : {"Who's Online Count", "Template Version Check", "Welcome Banner Links"})
        AddMod(AddHack(name), 1, "forum.cgi", 0, "", AddAfter, 1, "<anchor>", name);
    main->resize(1400, 900);
    window->tabChecks->setCurrentIndex(1);
    Check(window->cmdCheckConflicts);
    QApplication::processEvents();
    const QTableWidget& matrix = *window->tblConflicts;
    ASSERT_EQ(matrix.columnCount(), 6);
    EXPECT_LE(matrix.horizontalHeader()->length(), matrix.viewport()->width());
    EXPECT_LE(WindowFrame(window)->geometry().right(), main->mdiArea()->viewport()->width());
}

} // namespace
} // namespace zp::testing
