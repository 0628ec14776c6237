#include "board_windows.h"

#include "boardcheck/frm_board_check.h"
#include "boardcheck/frm_port_merge.h"
#include "database/recordset.h"
#include "engine/modification_engine.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace zp::testing {
namespace {

// A new release that changed the line "Bold" makes bold: "Fits" ports whole, "Bold" needs a person.
class PortTabTest : public BoardWindows
{
protected:
    void SetUp() override
    {
        BoardWindows::SetUp();
        Write(source + "/cgi-bin/forum.cgi", "a\r\nb\r\nc\r\n");
        Write(release + "/cgi-bin/forum.cgi", "a\r\nB2\r\nc\r\n");
        AddMod(AddHack("Fits"), 1, "forum.cgi", 0, "", AddBefore, 1, "a", "top");
        AddMod(AddHack("Bold"), 1, "forum.cgi", 0, "", Replace, 1, "b", "<b>b</b>");
        main->mnuBoardCheck->trigger();
        window = main->findChild<frmBoardCheck*>();
        ASSERT_NE(window, nullptr);
        window->txtNewRelease->setText(release);
        window->tabChecks->setCurrentIndex(2);
    }

    void Run(QPushButton* button)
    {
        ASSERT_TRUE(button->isEnabled());
        button->click();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->IsChecking(); }, 30000));
    }

    QStringList PortRow(int row) const
    {
        QStringList cells;
        for (int column = 0; column < 6; ++column)
            cells << window->fgPort->TextMatrix(row, column);
        return cells;
    }

    int HackCount()
    {
        Recordset hacks(state.Connection);
        hacks.Open("SELECT * FROM [HackInfo]");
        return hacks.RecordCount();
    }

    const QString release = home.filePath("release");
    frmBoardCheck* window = nullptr;
};

TEST_F(PortTabTest, ShowsEachHacksVerdictAboveItsModsAndStoresThePortedOnesThenOffersTheNewSource)
{
    Run(window->cmdPortAll);
    ASSERT_EQ(window->fgPort->Rows(), 5);
    EXPECT_EQ(PortRow(1), QStringList({"Bold", "cannot port", "", "", "", ""}));
    EXPECT_EQ(PortRow(2)[1], "needs a person");
    EXPECT_EQ(PortRow(3), QStringList({"Fits", "ported", "", "", "", ""}));
    EXPECT_EQ(PortRow(4), QStringList({"    mod 1", "unchanged", "cgi-bin/forum.cgi", "Add Before", "1", ""}));
    EXPECT_EQ(window->fgPort->RowColor(1), QColor(Qt::red));
    EXPECT_EQ(HackCount(), 2);

    dialogs.answers = {MsgAnswer::Yes};
    Run(window->cmdStorePorted);
    EXPECT_EQ(HackCount(), 3);
    EXPECT_EQ(PortRow(1)[5], "");
    EXPECT_EQ(PortRow(3)[5], "stored as hack 3, version \"for release\"");
    EXPECT_FALSE(window->cmdStorePorted->isEnabled());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "New Source Folder");
    EXPECT_EQ(state.SourceDir, release);
}

TEST_F(PortTabTest, CancelledStoringStoresNothing)
{
    Run(window->cmdPortAll);
    window->cmdStorePorted->click();
    window->cmdCancel->click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->IsChecking(); }, 30000));
    EXPECT_EQ(window->lblStatus->text(), "Storing was cancelled; nothing was stored.");
    EXPECT_EQ(HackCount(), 2);
    EXPECT_TRUE(window->cmdStorePorted->isEnabled());
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(PortTabTest, ThePersonsModTriedInTheThreeWayViewPortsTheHackAndIsStored)
{
    // Only the hack picked on the Upgrade tab is ported.
    window->tabChecks->setCurrentIndex(0);
    Run(window->cmdCheckUpgrade);
    window->fgUpgrade->SetRow(1);
    window->tabChecks->setCurrentIndex(2);
    Run(window->cmdPortSelected);
    ASSERT_EQ(window->fgPort->Rows(), 3);
    window->fgPort->setFocus();
    window->fgPort->SetRow(2);
    QTest::keyClick(window->fgPort, Qt::Key_Return);
    auto* view = main->findChild<frmPortMerge*>();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([view] { return !view->IsWorking(); }, 30000));
    EXPECT_EQ(view->txtTheirs->toPlainText(), "a\nB2\nc\n");
    ASSERT_EQ(view->lstConflicts->count(), 1);
    EXPECT_EQ(view->lstConflicts->item(0)->text(),
              "Conflict 1 of 1: line 2 written for, line 2 of the hack's, line 2 of the new release");
    EXPECT_EQ(view->txtTheirs->extraSelections().size(), 1);

    view->txtOldData->setPlainText("B2");
    view->txtNewData->setPlainText("<b>B2</b>");
    view->cmdTryAgain->click();
    ASSERT_TRUE(QTest::qWaitFor([view] { return !view->IsWorking(); }, 30000));
    EXPECT_EQ(view->lblResult->text(),
              "The mod applies to the new release and the proof holds; Bold is now \"ported\".");
    EXPECT_EQ(PortRow(1)[1], "ported");
    EXPECT_EQ(PortRow(2)[1], "finished by a person");

    Run(window->cmdStorePorted);
    EXPECT_EQ(HackCount(), 3);
    EXPECT_TRUE(PortRow(1)[5].startsWith("stored as hack 3"));
}

} // namespace
} // namespace zp::testing
