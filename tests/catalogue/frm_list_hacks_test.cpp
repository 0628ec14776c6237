#include "shell/hack_list_openers.h"

#include "catalogue_fixture.h"
#include "shell/mdi_main.h"
#include "widgets/flex_grid.h"
#include "widgets/window_helpers.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTest>

namespace zp {
namespace {

class HackListTest : public test::CatalogueTest
{
protected:
    void SetUp() override
    {
        CatalogueTest::SetUp();
        // The list keeps its order in the user's settings: here, in the test's own folder.
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder.filePath("config"));
        main = std::make_unique<mdiMain>(state);
    }

    void TearDown() override
    {
        main.reset();
        CatalogueTest::TearDown();
    }

    // A list whose commands open fake windows that record what they saw.
    frmListHacks& OpenList()
    {
        HackListOpeners openers;
        openers.ShowHackEditor = [this] { opened << "editor" + QString::number(state.NewHackMode); };
        openers.ShowInstaller = [this] {
            opened << "installer";
            if (openChild)
                openChild();
        };
        openers.ShowAnalysis = [this] { opened << "analysis"; };
        openers.ExportHack = [this] { opened << "export"; };
        openers.ShowTextExport = [this] { opened << "text export"; };
        openers.ImportHack = [this] {
            opened << "import";
            AddHack("Imported");
        };
        main->show();
        list = new frmListHacks(*main, openers);
        main->ShowChild(list);
        list->Load();
        return *list;
    }

    QStringList Row(int row) const
    {
        QStringList cells;
        for (int c = 0; c < list->fgHackList->model()->columnCount(); ++c)
            cells << list->fgHackList->TextMatrix(row, c);
        return cells;
    }

    QStringList EnabledCommands() const
    {
        QStringList names;
        for (QPushButton* b : list->findChildren<QPushButton*>())
            if (b->isEnabled())
                names << b->toolTip();
        names.sort();
        return names;
    }

    std::unique_ptr<mdiMain> main;
    QStringList opened;
    std::function<void()> openChild; // run by the fake installer
    QPointer<frmListHacks> list;
};

TEST_F(HackListTest, EmptyDatabaseOffersOnlyCreateAndImport)
{
    OpenList();
    EXPECT_EQ(list->fgHackList->Rows(), 1);
    EXPECT_EQ(EnabledCommands(), (QStringList {"Create a new hack", "Import a hack that is in Zenpatch format"}));
    EXPECT_EQ(main->PanelText(2), "Total Hacks: 0");
}

TEST_F(HackListTest, RowsFollowTheNameOrderWithEveryColumn)
{
    AddHack("beta", 1, 0, 2, "12-07-2001 1:05pm");
    const int alpha = AddHack("Alpha", 1, 3, 0);
    AddHack("gamma");
    OpenList();

    EXPECT_EQ(list->windowTitle(), "Hack List");
    EXPECT_EQ(Row(0),
              (QStringList {"Hack Name", "Version", "Author", "Support Files", "Last Modified", "Last Installed"}));
    ASSERT_EQ(list->fgHackList->Rows(), 4);
    EXPECT_EQ(Row(1), (QStringList {"Alpha", "1.0", "Author of Alpha", "0", "12-06-2001 2:49am", ""}));
    EXPECT_EQ(Row(2), (QStringList {"beta", "1.0", "Author of beta", "2", "12-06-2001 2:49am", "12-07-2001 1:05pm"}));
    EXPECT_EQ(Row(3)[0], "gamma");
    EXPECT_EQ(list->fgHackList->CellAlignment(1, 1), Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(list->fgHackList->CellAlignment(1, 3), Qt::AlignCenter);
    EXPECT_EQ(list->fgHackList->CellAlignment(0, 3), Qt::AlignCenter);
    EXPECT_EQ(list->fgHackList->CellAlignment(0, 0), Qt::AlignLeft | Qt::AlignVCenter);

    // After the refill the first row is the current hack, with its mods loaded.
    EXPECT_EQ(list->fgHackList->Row(), 1);
    EXPECT_EQ(state.CurrentHackNum, alpha);
    EXPECT_EQ(state.CurrentHackType, 1);
    EXPECT_EQ(state.HackDataRecordset->RecordCount(), 3);
    EXPECT_EQ(main->PanelText(3), "Hack Mods: 3");
    EXPECT_EQ(main->PanelText(2), "Total Hacks: 3");
    EXPECT_FALSE(state.HackFilesRecordset->IsOpen());
}

TEST_F(HackListTest, ColumnsFitAtTheStartAndCutCellsCarryTheirWholeText)
{
    const QString name = "A hack whose name is a good deal longer than its column was designed for";
    AddHack(name, 0, 0, 0, "12-07-2001 11:05pm");
    main->resize(1600, 900); // room for the list at the width its texts ask for
    OpenList();
    QApplication::processEvents();
    FlexGrid* grid = list->fgHackList;
    EXPECT_FALSE(grid->horizontalScrollBar()->isVisible());
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(grid->CutCellText(1, c), "") << c;
    EXPECT_GE(grid->columnWidth(1), TwipsToPixels(615, grid)); // the designed widths stay the least

    grid->setColumnWidth(0, 40);
    EXPECT_EQ(grid->CutCellText(1, 0), name);

    // A refill fits the columns to its texts too: a longer author, then enough hacks for a scroll bar.
    for (const int more : {1, 2000}) {
        SCOPED_TRACE(more);
        state.Connection.Execute(
            QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                    "INSERT INTO HackInfo (Name, Version, AuthName, HackType, LastMod) SELECT 'Hack ' || i, '1.0', "
                    "'Demo Administrator', 0, '12-10-2026 11:25pm' FROM n")
                .arg(more));
        list->RefillHackList(0);
        QApplication::processEvents();
        for (int row = 1; row <= 10 && row <= grid->Rows() - 1; ++row)
            for (int c = 0; c < 6; ++c)
                EXPECT_EQ(grid->CutCellText(row, c), "") << row << " " << c;
    }
}

TEST_F(HackListTest, KeyboardLeavesTheGridWithTabAndClosesTheListWithCtrlF4)
{
    AddHack("A");
    AddHack("B");
    OpenList();
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    // The list opens with the focus in its grid; Tab goes on to the buttons, the row stays.
    FlexGrid* grid = list->fgHackList;
    ASSERT_EQ(QApplication::focusWidget(), grid);
    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->parentWidget(), list.data());
    EXPECT_NE(QApplication::focusWidget(), grid);
    EXPECT_EQ(grid->Row(), 1);
    EXPECT_EQ(list->cmdHackInfo->accessibleName(), "View Hack Information");

    // Ctrl+F4 closes it, as the sub-window's menu says.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4, Qt::ControlModifier);
    test::RunDeferredDeletes();
    EXPECT_TRUE(list.isNull());
    EXPECT_TRUE(main->mdiArea()->subWindowList().isEmpty());
}

// A keyboard user comes back to the grid, at the row they left, from every window and question a
// command opened; Enter on a row opens it as a double-click does.
TEST_F(HackListTest, FocusReturnsToTheGridAtItsRowAndEnterOpensTheRow)
{
    AddHack("A");
    AddHack("B");
    AddHack("C");
    QPointer<QLineEdit> child;
    openChild = [&] {
        child = new QLineEdit;
        main->ShowChild(child);
        child->setFocus();
    };
    OpenList();
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    FlexGrid* grid = list->fgHackList;
    grid->SetRow(2);

    list->cmdInstallHack->setFocus();
    QTest::keyClick(list->cmdInstallHack, Qt::Key_Space);
    ASSERT_TRUE(child);
    EXPECT_EQ(QApplication::focusWidget(), child.data());
    CloseWindow(child);
    test::RunDeferredDeletes();
    EXPECT_EQ(QApplication::focusWidget(), grid);
    EXPECT_EQ(grid->Row(), 2);

    QTest::keyClick(list->cmdDeleteHack, Qt::Key_Space); // answered No
    EXPECT_EQ(QApplication::focusWidget(), grid);

    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(opened.last(), "editor0");
}

TEST_F(HackListTest, EqualNamesKeepTheirOrderAndSelectTheirOwnRecord)
{
    AddHack("Same", 0, 1);
    const int second = AddHack("same", 0, 4);
    OpenList();
    list->fgHackList->SetRow(2);
    EXPECT_EQ(state.CurrentHackNum, second);
    EXPECT_EQ(state.HackInfoRecordset->Int("HackNum"), second);
    EXPECT_EQ(main->PanelText(3), "Hack Mods: 4");
}

TEST_F(HackListTest, DeleteAnsweredNoChangesNothing)
{
    AddHack("Keep", 0, 1, 1);
    OpenList();
    list->cmdDeleteHack->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    // The question names the hack on its second line, and No is its default.
    EXPECT_EQ(dialogs.messages[0].text, "Are you sure you wish to delete this hack?\nKeep 1.0");
    EXPECT_EQ(dialogs.messages[0].title, "Delete Hack");
    EXPECT_EQ(dialogs.messages[0].buttons, MsgButtons::YesNoDefaultNo);
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(CountRows("SELECT * FROM [HackInfo]"), 1);
    EXPECT_EQ(list->fgHackList->Rows(), 2);
    EXPECT_TRUE(main->mnuHackList->isEnabled());
}

TEST_F(HackListTest, DeleteRemovesTheHackWithItsModsAndFiles)
{
    const int first = AddHack("First", 0, 2, 2);
    const int second = AddHack("Second", 0, 1, 1);
    OpenList();
    list->fgHackList->SetRow(2);
    dialogs.answers.push_back(MsgAnswer::Yes);
    list->cmdDeleteHack->click();

    EXPECT_EQ(CountRows("SELECT * FROM [HackInfo]"), 1);
    EXPECT_EQ(CountRows(sql::SelectHackDataOf + QString::number(second)), 0);
    EXPECT_EQ(CountRows(sql::SelectHackFilesOf + QString::number(second)), 0);
    EXPECT_EQ(CountRows(sql::SelectHackDataOf + QString::number(first)), 2);
    EXPECT_EQ(CountRows(sql::SelectHackFilesOf + QString::number(first)), 2);
    EXPECT_EQ(list->fgHackList->Rows(), 2);
    EXPECT_EQ(state.CurrentHackNum, first);
    EXPECT_EQ(main->PanelText(2), "Total Hacks: 1");
    EXPECT_TRUE(main->mnuHackList->isEnabled());
}

TEST_F(HackListTest, DeleteSelectsTheHackThatTakesTheDeletedRow)
{
    AddHack("A");
    AddHack("B");
    const int c = AddHack("C");
    OpenList();
    list->fgHackList->SetRow(2);
    dialogs.answers.push_back(MsgAnswer::Yes);
    list->cmdDeleteHack->click();
    EXPECT_EQ(list->SelectedHackNum(), c);
    EXPECT_EQ(state.CurrentHackNum, c);
}

TEST_F(HackListTest, DeletingTheLastHackLeavesAnEmptyList)
{
    AddHack("Only", 0, 2);
    OpenList();
    dialogs.answers.push_back(MsgAnswer::Yes);
    list->cmdDeleteHack->click();
    EXPECT_EQ(list->fgHackList->Rows(), 1);
    EXPECT_EQ(main->PanelText(2), "Total Hacks: 0");
    EXPECT_EQ(main->PanelText(3), "Hack Mods: 0");
    EXPECT_EQ(EnabledCommands(), (QStringList {"Create a new hack", "Import a hack that is in Zenpatch format"}));
    EXPECT_EQ(CountRows("SELECT * FROM [HackData]"), 0);
}

TEST_F(HackListTest, DeleteTakesTheSelectedHackEvenWhenTheRecordsetMoved)
{
    AddHack("A");
    const int b = AddHack("B");
    OpenList();
    list->fgHackList->SetRow(2);
    state.HackInfoRecordset->MoveFirst(); // another window repositioned the shared recordset
    dialogs.answers.push_back(MsgAnswer::Yes);
    list->cmdDeleteHack->click();
    EXPECT_EQ(CountRows("SELECT * FROM [HackInfo] WHERE [HackNum] = " + QString::number(b)), 0);
    EXPECT_EQ(list->fgHackList->TextMatrix(1, 0), "A");
}

TEST_F(HackListTest, CommandsGuardTheListMenu)
{
    const int hack = AddHack("Hack");
    OpenList();

    list->cmdInstallHack->click();
    EXPECT_FALSE(main->mnuHackList->isEnabled()); // until the installer closes
    main->mnuHackList->setEnabled(true);

    for (QPushButton* b : {list->cmdExportHack, list->cmdExportText, list->cmdImport}) {
        b->click();
        EXPECT_TRUE(main->mnuHackList->isEnabled()) << b->text().toStdString();
    }
    EXPECT_EQ(opened, (QStringList {"installer", "export", "text export", "import"}));
    EXPECT_EQ(list->fgHackList->Rows(), 3); // the import refilled the showing list

    list->cmdAnalyze->click();
    EXPECT_FALSE(main->mnuHackList->isEnabled());
    EXPECT_FALSE(list->parentWidget()->isVisible());
    ShowHackList(*main); // the analysis window shows the same list again
    EXPECT_TRUE(list->parentWidget()->isVisible());

    list->fgHackList->SetRow(1);
    state.NewHackMode = true;
    list->cmdEditHack->click();
    EXPECT_EQ(opened.last(), "editor0");
    EXPECT_EQ(state.CurrentHackNum, hack);
    test::RunDeferredDeletes();
    EXPECT_TRUE(list.isNull()); // the editor replaces the list
}

TEST_F(HackListTest, ViewerOpensModallyOnTheSelectedHack)
{
    AddHack("Shown");
    OpenList();
    QString seen;
    test::WhenModal([&](QWidget* modal) {
        seen = modal->windowTitle();
        modal->close();
    });
    list->cmdHackInfo->click();
    EXPECT_EQ(seen, "Hack Information");
    EXPECT_TRUE(main->mnuHackList->isEnabled());
}

TEST_F(HackListTest, ProgramListShowsOnceAndDisablesMissingWindows)
{
    AddHack("Hack");
    frmListHacks& shown = ShowHackList(*main);
    EXPECT_EQ(&ShowHackList(*main), &shown);
    EXPECT_EQ(main->mdiArea()->subWindowList().size(), 1);
    EXPECT_EQ(FindHackList(main->mdiArea()), &shown);
    EXPECT_GE(shown.parentWidget()->width(), TwipsToPixels(10050, &shown)); // wider where the columns need it
    EXPECT_EQ(shown.parentWidget()->height(), TwipsToPixels(7050, &shown));

    // The program has a window for every command of the list.
    for (QPushButton* command : shown.findChildren<QPushButton*>())
        EXPECT_TRUE(command->isEnabled()) << command->text().toStdString();

    shown.parentWidget()->close();
    test::RunDeferredDeletes();
    EXPECT_EQ(FindHackList(main->mdiArea()), nullptr);
}

} // namespace
} // namespace zp

namespace zp {
namespace {

// The names in the grid, top to bottom.
QStringList Names(const frmListHacks& list)
{
    QStringList names;
    for (int row = 1; row < list.fgHackList->Rows(); ++row)
        names << list.fgHackList->TextMatrix(row, 0);
    return names;
}

TEST_F(HackListTest, FilterKeepsTheSelectedHackWhileShownAndCountsTheRows)
{
    AddHack("Calendar");
    const int smilies = AddHack("Smilies", 0, 2);
    const int banner = AddHack("Banner", 0, 3);
    state.Connection.Execute(
        QString("UPDATE HackInfo SET Comments = 'Shows the calendar' WHERE HackNum = %1").arg(smilies));
    OpenList();
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    list->fgHackList->SetRow(3); // Smilies
    QTest::keyClick(list->fgHackList, Qt::Key_F, Qt::ControlModifier);
    ASSERT_EQ(QApplication::focusWidget(), list->txtFilter);

    QTest::keyClicks(list->txtFilter, "CAL");
    EXPECT_EQ(Names(*list), QStringList({"Calendar", "Smilies"}));
    EXPECT_EQ(list->fgHackList->Row(), 2) << "the selection stays on Smilies";
    EXPECT_EQ(state.CurrentHackNum, smilies);
    EXPECT_EQ(main->PanelText(2), "2 of 3 hacks");

    list->txtFilter->setText("ban");
    EXPECT_EQ(Names(*list), QStringList({"Banner"}));
    EXPECT_EQ(state.CurrentHackNum, banner) << "a hidden hack gives the selection to the first row";
    EXPECT_EQ(main->PanelText(3), "Hack Mods: 3");

    list->txtFilter->setText("ban zzz");
    EXPECT_EQ(list->fgHackList->Rows(), 1);
    EXPECT_EQ(main->PanelText(2), "0 of 3 hacks");
    EXPECT_FALSE(list->cmdEditHack->isEnabled());
    EXPECT_TRUE(list->cmdCreateHack->isEnabled());

    QTest::keyClick(list->txtFilter, Qt::Key_Escape);
    EXPECT_TRUE(list->txtFilter->text().isEmpty());
    EXPECT_EQ(list->fgHackList->Rows(), 4);
    EXPECT_EQ(main->PanelText(2), "Total Hacks: 3");
    EXPECT_TRUE(list->cmdEditHack->isEnabled());
}

TEST_F(HackListTest, SortsByHeaderOrKeyKeepsTheSelectionAndRemembersTheOrder)
{
    const int a = AddHack("a");
    const int b = AddHack("b");
    const int c = AddHack("c");
    for (const auto& [hack, version] : {std::pair {a, "1.10"}, {b, "1.9"}, {c, "2"}})
        state.Connection.Execute(
            QString("UPDATE HackInfo SET Version = '%1' WHERE HackNum = %2").arg(version).arg(hack));
    OpenList();
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    list->fgHackList->SetRow(1); // a

    QTest::keyClick(list->fgHackList, Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(Names(*list), QStringList({"b", "a", "c"}));
    EXPECT_EQ(list->fgHackList->Row(), 2);
    EXPECT_EQ(state.CurrentHackNum, a);
    QTest::keyClick(list->fgHackList, Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(Names(*list), QStringList({"c", "a", "b"}));
    list->fgHackList->SetRow(1);
    EXPECT_EQ(state.CurrentHackNum, c) << "a row selects its own hack, not the record at its place";

    QHeaderView* header = list->fgHackList->horizontalHeader();
    const QPoint nameHeader(header->sectionViewportPosition(0) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, nameHeader);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, nameHeader);
    EXPECT_EQ(Names(*list), QStringList({"c", "b", "a"}));
    EXPECT_EQ(header->sortIndicatorSection(), 0);

    // The next list comes in the same order.
    CloseWindow(list);
    test::RunDeferredDeletes();
    OpenList();
    EXPECT_EQ(Names(*list), QStringList({"c", "b", "a"}));
    EXPECT_EQ(list->SortOrder(), Qt::DescendingOrder);
    EXPECT_EQ(list->fgHackList->Row(), 1);
    EXPECT_EQ(state.CurrentHackNum, c);

    QTest::keyClick(list->fgHackList, Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(Names(*list), QStringList({"a", "b", "c"}));
    EXPECT_EQ(list->fgHackList->horizontalHeader()->sortIndicatorSection(), -1);
}

} // namespace
} // namespace zp
