#include "catalogue/frm_edit_hack.h"

#include "app/board_directories.h"
#include "catalogue/frm_list_hacks.h"
#include "catalogue_fixture.h"
#include "shell/hack_list_openers.h"
#include "shell/mdi_main.h"
#include "viewer/frm_text_file.h"
#include "widgets/flex_grid.h"
#include "widgets/window_helpers.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

// Readable failures for the database's values (texts print by the test support's printers).
inline void PrintTo(const QVariant& value, std::ostream* os)
{
    *os << (value.isNull() ? std::string("Null") : value.toString().toStdString());
}

namespace zp {
namespace {

class HackEditorTest : public test::CatalogueTest
{
protected:
    void SetUp() override
    {
        CatalogueTest::SetUp();
        main = std::make_unique<mdiMain>(state);
        main->resize(1100, 800);
        main->show();
    }

    void TearDown() override
    {
        main.reset();
        CatalogueTest::TearDown();
    }

    // Opens the editor as the hack list does: on a new hack, or on an existing one.
    frmEditHack& Open(int hack = 0)
    {
        state.NewHackMode = hack == 0;
        if (hack) {
            EXPECT_TRUE(FindHack(state, QString::number(hack)));
        }
        editor = &ShowHackEditor(*main);
        return *editor;
    }

    // Keys reach the editor's shortcuts only in the active window.
    bool Activate()
    {
        main->activateWindow();
        return QTest::qWaitForWindowActive(main.get());
    }

    void InsertMod(int hack, const QString& columns, const QString& values)
    {
        state.Connection.Execute(
            QString("INSERT INTO HackData (HackNum, %1) VALUES (%2, %3)").arg(columns).arg(hack).arg(values));
    }

    // One column of the rows a query returns, Null as an invalid QVariant.
    QVariantList Values(const QString& sql, const QString& field)
    {
        Recordset rows(state.Connection);
        rows.Open(sql);
        QVariantList values;
        for (; !rows.EOF(); rows.MoveNext())
            values << rows.Value(field);
        return values;
    }

    QVariantList Orders(int hack)
    {
        return Values(QString("SELECT * FROM [HackData] WHERE HackNum = %1 ORDER BY rowid").arg(hack), "ModOrder");
    }

    QStringList GridRow(int row) const
    {
        QStringList cells;
        for (int c = 0; c < 8; ++c)
            cells << editor->fgModList->TextMatrix(row, c);
        return cells;
    }

    bool ViewingButtons(bool haveMods) const
    {
        return editor->cmdNewMod->isEnabled() && editor->cmdEditMod->isEnabled() == haveMods
            && editor->cmdDelMod->isEnabled() == haveMods && editor->cmdDupeMod->isEnabled() == haveMods
            && !editor->cmdModSave->isEnabled() && !editor->cmdHackCancel->isEnabled()
            && editor->fgModList->isEnabled();
    }

    QString WriteFile(const QString& relative, const QByteArray& bytes)
    {
        const QString path = folder.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    std::unique_ptr<mdiMain> main;
    QPointer<frmEditHack> editor;
};

TEST_F(HackEditorTest, NewHackIsStoredAtOnceAndClosingBringsTheListBack)
{
    state.cfgDefHackType = "1";
    state.cfgAuthName = "Dana";
    state.cfgAuthEmail = "dana@example.org";
    state.cfgAuthComment = "Tested with 2.2.";
    Open();
    EXPECT_EQ(editor->windowTitle(), "Create/Edit Hack");
    EXPECT_FALSE(state.NewHackMode);
    Recordset hack(state.Connection);
    hack.Open("SELECT * FROM [HackInfo]");
    ASSERT_EQ(hack.RecordCount(), 1);
    EXPECT_EQ(state.CurrentHackNum, hack.Int("HackNum"));
    EXPECT_EQ(hack.Text("Name"), "New Hack");
    EXPECT_EQ(hack.Text("Version"), "0.0.1");
    EXPECT_EQ(hack.Text("AuthName"), "Dana");
    EXPECT_EQ(hack.Text("AuthEmail"), "dana@example.org");
    EXPECT_EQ(hack.Text("Comments"), "Tested with 2.2.");
    EXPECT_TRUE(hack.IsNull("HomePage"));
    EXPECT_EQ(hack.Int("HackType"), 1);
    EXPECT_FALSE(hack.IsNull("LastMod"));
    for (QComboBox* list : {editor->cmbDirType, editor->cmbFileLoc}) {
        EXPECT_EQ(list->count(), LocationNames(1).size());
        EXPECT_EQ(list->itemText(4), "Images/Smilies");
    }

    // No mods: the header only, nothing to edit, delete or duplicate.
    EXPECT_EQ(editor->fgModList->Rows(), 1);
    EXPECT_EQ(editor->fgModList->TextMatrix(0, 3), "Instance");
    EXPECT_TRUE(ViewingButtons(false));
    EXPECT_EQ(main->PanelText(3), "Hack Mods: 0");
    EXPECT_FALSE(editor->cmbFileLoc->isEnabled());

    // The hack's first support file goes to the first location.
    dialogs.openResults.push_back({WriteFile("logo.gif", "GIF89a")});
    editor->cmdAddSupFile->click();
    EXPECT_EQ(Values("SELECT * FROM [HackFiles]", "Location"), QVariantList {0});

    // Ctrl+F4 closes the editor with its frame; the list is back with the new hack.
    main->mnuHackList->setEnabled(false);
    ASSERT_TRUE(Activate());
    editor->txtHackName->setFocus();
    QTest::keyClick(editor->txtHackName, Qt::Key_F4, Qt::ControlModifier);
    QCoreApplication::processEvents();
    test::RunDeferredDeletes();
    EXPECT_TRUE(editor.isNull());
    ASSERT_EQ(main->mdiArea()->subWindowList().size(), 1);
    frmListHacks* list = FindHackList(main->mdiArea());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->fgHackList->TextMatrix(1, 0), "New Hack");
    EXPECT_TRUE(main->mnuHackList->isEnabled());
    EXPECT_FALSE(state.HackFilesRecordset->IsOpen());
}

TEST_F(HackEditorTest, TheListComesBackOnTheEditedHackNotOneOfTheSameName)
{
    AddHack("Footer Note");
    const int second = AddHack("Footer Note");
    frmListHacks& list = ShowHackList(*main);
    list.fgHackList->SetRow(2);
    list.cmdEditHack->click();
    test::RunDeferredDeletes();
    editor = FindWorkingWindow<frmEditHack>(main->mdiArea());
    ASSERT_NE(editor, nullptr);
    editor->txtHackVersion->setText("1.1");
    editor->cmdSaveHackInfo->click();
    editor->parentWidget()->close();
    QCoreApplication::processEvents();
    test::RunDeferredDeletes();
    frmListHacks* shown = FindHackList(main->mdiArea());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->SelectedHackNum(), second);
    EXPECT_EQ(state.CurrentHackNum, second);
}

TEST_F(HackEditorTest, EachTabSavesOnlyItsOwnFields)
{
    const int hack = AddHack("Banner");
    state.Connection.Execute("UPDATE HackInfo SET HackType = NULL, AuthEmail = 'a@b.c', LastMod = 'then'");
    Open(hack);
    EXPECT_EQ(editor->cmbHackType->currentText(), "Ultimate Bulletin Board");
    EXPECT_EQ(editor->txtAuthEmail->text(), "a@b.c");

    editor->txtAuthEmail->clear();
    editor->txtPreMess->setPlainText("Back up\nfirst.");
    editor->cmdSaveMessage->click();
    const QString hackRow = "SELECT * FROM [HackInfo]";
    EXPECT_EQ(Values(hackRow, "PreInstallCom"), QVariantList {"Back up\r\nfirst."});
    EXPECT_EQ(Values(hackRow, "LastMod"), QVariantList {"then"});
    EXPECT_EQ(Values(hackRow, "AuthEmail"), QVariantList {"a@b.c"});

    // The type change refills both location lists; only "Save Hack Info" stores it.
    editor->cmbHackType->setCurrentIndex(1);
    EXPECT_EQ(editor->cmbDirType->itemText(0), "Root");
    EXPECT_EQ(editor->cmbFileLoc->itemText(7), "Images/Attach");
    EXPECT_EQ(editor->cmbDirType->currentIndex(), -1);
    EXPECT_EQ(state.CurrentHackType, 1);
    EXPECT_EQ(Values(hackRow, "HackType"), QVariantList {QVariant()});

    editor->txtHackName->clear();
    editor->cmdSaveHackInfo->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "You must include a name for this hack.");
    EXPECT_EQ(dialogs.messages[0].title, "Missing field");
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::None);
    EXPECT_EQ(Values(hackRow, "Name"), QVariantList {"Banner"});

    editor->txtHackName->setText("Banner 2");
    editor->cmdSaveHackInfo->click();
    EXPECT_EQ(Values(hackRow, "AuthEmail"), QVariantList {QVariant()});
    EXPECT_EQ(Values(hackRow, "HackType"), QVariantList {1});
    EXPECT_EQ(Values(hackRow, "LastMod"), QVariantList {TimeStamp()});
    editor->parentWidget()->close();
    test::RunDeferredDeletes();
    Open(hack);
    EXPECT_EQ(editor->txtAuthEmail->text(), "");
    EXPECT_EQ(editor->txtPreMess->toPlainText(), "Back up\nfirst.");
}

TEST_F(HackEditorTest, ModListValidatesAgainstTheSourceFiles)
{
    state.SourceDir = folder.filePath("board");
    state.Connection.Execute("UPDATE MainConfig SET ubbCGIDir = 'cgi-bin'");
    state.ConfigRecordset->ReOpen(sql::SelectConfig);
    WriteFile("board/cgi-bin/forum.cgi", "sub Header {\r\n    print $top;\r\n}\r\n");
    WriteFile("board/cgi-bin/lib/deep.pl", "anything");
    const int hack = AddHack("Checked");
    InsertMod(hack,
              "ModOrder, FileName, PrimaryDir, ActionType, ModInst, OldData",
              "1, 'forum.cgi', 0, 1, 0, 'SUB header {\n    print'");
    InsertMod(
        hack, "ModOrder, FileName, PrimaryDir, ActionType, ModInst, OldData", "2, 'deep.pl', 0, 9, 2, 'anything'");
    InsertMod(
        hack, "ModOrder, FileName, PrimaryDir, ActionType, ModInst, Comment", "3, 'gone.cgi', 12, 4, 1, 'tab\there'");
    state.cfgModValidate = 1;
    Open(hack);

    EXPECT_EQ(GridRow(1), (QStringList {"Yes", "Yes", "1", "All", "forum.cgi", "Add After", "CGI", ""}));
    // Found below its folder, but the old data is looked for only directly in it.
    EXPECT_EQ(GridRow(2), (QStringList {"Yes", "No", "2", "2", "deep.pl", "", "CGI", ""}));
    EXPECT_EQ(GridRow(3), (QStringList {"No", "No", "3", "1", "gone.cgi", "Replace", "", "tab\there"}));
    EXPECT_EQ(main->PanelText(3), "Hack Mods: 3");

    editor->chkValMods->click();
    EXPECT_EQ(GridRow(1).mid(0, 3), (QStringList {"", "", "1"}));
}

TEST_F(HackEditorTest, DeletingRenumbersTheModsOneToN)
{
    const int hack = AddHack("Three");
    for (int order : {1, 2, 3})
        InsertMod(hack, "ModOrder, FileName, Comment", QString("%1, 'f.cgi', 'mod %1'").arg(order));
    Open(hack);
    editor->fgModList->SetRow(2);
    editor->cmdDelMod->click();
    EXPECT_EQ(Orders(hack).size(), 3); // answered No
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Are you sure you wish to delete this mod?");
    EXPECT_EQ(dialogs.messages[0].title, "Delete Modification");
    EXPECT_EQ(dialogs.messages[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::Exclamation);

    dialogs.answers.push_back(MsgAnswer::Yes);
    editor->cmdDelMod->click();
    EXPECT_EQ(Values("SELECT * FROM [HackData] ORDER BY ModOrder", "Comment"), (QVariantList {"mod 1", "mod 3"}));
    EXPECT_EQ(Orders(hack), (QVariantList {1, 2}));
    EXPECT_EQ(editor->cmbModOrder->count(), 2);

    // Equal numbers and gaps become 1 to N after any deletion; deleting the last mod empties the list.
    state.Connection.Execute("DELETE FROM HackData");
    for (int order : {1, 1, 2, 5, 9})
        InsertMod(hack, "ModOrder, FileName", QString("%1, 'f.cgi'").arg(order));
    editor->chkValMods->click(); // refills the list
    for (int left = 4; left >= 0; --left) {
        dialogs.answers.push_back(MsgAnswer::Yes);
        editor->cmdDelMod->click();
        QVariantList expected;
        for (int i = 1; i <= left; ++i)
            expected << i;
        EXPECT_EQ(Orders(hack), expected);
    }
    EXPECT_EQ(editor->fgModList->Rows(), 1);
    EXPECT_TRUE(ViewingButtons(false));
}

TEST_F(HackEditorTest, AddProposesTheNextOrderAndCancelTakesItBack)
{
    const int empty = AddHack("Empty");
    Open(empty);
    editor->cmdNewMod->click();
    EXPECT_EQ(editor->cmbModOrder->currentText(), "1");
    EXPECT_EQ(editor->sstabHack->currentIndex(), 2);
    EXPECT_FALSE(editor->sstabHack->isTabEnabled(0));
    EXPECT_FALSE(editor->fgModList->isEnabled());
    EXPECT_TRUE(editor->optModType[1]->isChecked());
    EXPECT_EQ(editor->cmbModInst->currentText(), "1");

    editor->cmdModSave->click(); // no file name
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "You must enter a filename for this modification.");
    EXPECT_EQ(Orders(empty).size(), 0);

    ASSERT_TRUE(Activate());
    QTest::keyClick(editor->txtModFile, Qt::Key_Escape);
    EXPECT_EQ(editor->cmbModOrder->count(), 0);
    EXPECT_TRUE(ViewingButtons(false));
    EXPECT_TRUE(editor->sstabHack->isTabEnabled(3));

    const int two = AddHack("Two");
    InsertMod(two, "ModOrder, FileName", "1, 'a.cgi'");
    InsertMod(two, "ModOrder, FileName", "2, 'b.cgi'");
    editor->parentWidget()->close();
    test::RunDeferredDeletes();
    Open(two);
    editor->cmdNewMod->click();
    EXPECT_EQ(editor->cmbModOrder->currentText(), "3");
    editor->cmdHackCancel->click();
    EXPECT_EQ(editor->cmbModOrder->count(), 2);
    EXPECT_TRUE(ViewingButtons(true));
}

TEST_F(HackEditorTest, UnsavedChangesAreAskedAboutBeforeTheyAreLost)
{
    const int hack = AddHack("Kept");
    InsertMod(hack, "ModOrder, FileName, Comment", "1, 'f.cgi', 'first'");
    Open(hack);
    editor->txtPreMess->setPlainText("Back up first.");
    editor->parentWidget()->close(); // answered Cancel
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Save changes to Kept?");
    EXPECT_EQ(dialogs.messages[0].title, "Create/Edit Hack");
    EXPECT_EQ(dialogs.messages[0].buttons, MsgButtons::SaveDiscardCancel);
    ASSERT_EQ(FindWorkingWindow<frmEditHack>(main->mdiArea()), editor);

    // Escape that closes a list's popup leaves the mod being typed alone; Escape in its fields asks.
    editor->cmdEditMod->click();
    editor->txtModComm->setText("changed");
    ASSERT_TRUE(Activate());
    editor->cmbModInst->showPopup();
    ASSERT_NE(QApplication::activePopupWidget(), nullptr);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(dialogs.messages.size(), 1u);
    QTest::keyClick(editor->txtModComm, Qt::Key_Escape); // answered Cancel
    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_TRUE(editor->cmdModSave->isEnabled());
    EXPECT_EQ(editor->txtModComm->text(), "changed");

    // Exit with a larger window open: Save stores every part, the larger window's text included.
    editor->cmdViewOldFS->click();
    auto* oldData = main->findChild<frmHackComm*>();
    ASSERT_NE(oldData, nullptr);
    oldData->txtHackComm->setPlainText("From the larger window");
    dialogs.answers = {MsgAnswer::Save};
    EXPECT_TRUE(main->CloseChildWindows());
    ASSERT_EQ(dialogs.messages.size(), 3u);
    EXPECT_EQ(dialogs.messages[2].text, "Save changes to Kept?");
    const QString row = "SELECT * FROM [HackInfo] WHERE HackNum = " + QString::number(hack);
    EXPECT_EQ(Values(row, "PreInstallCom"), QVariantList {"Back up first."});
    EXPECT_EQ(Values("SELECT * FROM [HackData]", "Comment"), QVariantList {"changed"});
    EXPECT_EQ(Values("SELECT * FROM [HackData]", "OldData"), QVariantList {"From the larger window"});
}

// With no mod being edited, Escape closes the editor as Ctrl+F4 does: at once without changes,
// after "Save changes to ...?" with them.
TEST_F(HackEditorTest, EscapeOutsideAModClosesTheEditorAskingAboutChanges)
{
    const int hack = AddHack("Kept");
    ASSERT_TRUE(Activate());
    Open(hack);
    editor->txtAuthName->setText("QA Walker");
    QTest::keyClick(editor->txtAuthName, Qt::Key_Escape); // answered Cancel
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Save changes to Kept?");
    ASSERT_EQ(FindWorkingWindow<frmEditHack>(main->mdiArea()), editor);

    dialogs.answers = {MsgAnswer::Discard};
    QTest::keyClick(editor->txtAuthName, Qt::Key_Escape);
    test::RunDeferredDeletes();
    EXPECT_EQ(FindWorkingWindow<frmEditHack>(main->mdiArea()), nullptr);

    Open(hack);
    QTest::keyClick(editor->txtHackName, Qt::Key_Escape);
    test::RunDeferredDeletes();
    EXPECT_EQ(FindWorkingWindow<frmEditHack>(main->mdiArea()), nullptr);
    EXPECT_EQ(dialogs.messages.size(), 2u);
}

TEST_F(HackEditorTest, ASupportFilesLocationOrSubFolderAloneIsAnUnsavedChange)
{
    Open(AddHack("Files", 0, 0, 1)); // the file has no location: the list shows none
    const std::pair<std::function<void()>, std::function<void()>> changes[] = {
        {[&] { editor->cmbFileLoc->setCurrentIndex(2); }, [&] { editor->cmbFileLoc->setCurrentIndex(-1); }},
        {[&] { editor->txtSupDir->setText("img"); }, [&] { editor->txtSupDir->clear(); }},
    };
    for (const auto& [change, undo] : changes) {
        change();
        dialogs.messages.clear();
        editor->parentWidget()->close(); // answered Cancel
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, "Save changes to Files?");
        undo();
    }
}

TEST_F(HackEditorTest, ASaveRefusedForWantOfANameKeepsTheEditorOpen)
{
    Open(AddHack("Named"));
    editor->txtHackName->clear();
    dialogs.answers = {MsgAnswer::Save};
    EXPECT_FALSE(main->CloseChildWindows());
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].text, "You must include a name for this hack.");
    EXPECT_EQ(FindWorkingWindow<frmEditHack>(main->mdiArea()), editor);
    EXPECT_EQ(CountRows("SELECT * FROM [HackInfo] WHERE Name = 'Named'"), 1);
}

// Saving or cancelling a mod from the keyboard leaves the keyboard on the mod list.
TEST_F(HackEditorTest, AModSavedOrCancelledByKeyboardLeavesTheKeyboardOnTheModList)
{
    ASSERT_TRUE(Activate());
    Open(AddHack("Keyed"));
    for (int tab = 0; tab < editor->sstabHack->count(); ++tab) {
        if (editor->sstabHack->widget(tab)->isAncestorOf(editor->fgModList))
            editor->sstabHack->setCurrentIndex(tab);
    }
    for (QPushButton* button : {editor->cmdModSave, editor->cmdHackCancel}) {
        editor->cmdNewMod->click();
        editor->txtModFile->setText("forum.cgi");
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Space);
        EXPECT_TRUE(editor->fgModList->hasFocus()) << button->text().toStdString();
    }
}

TEST_F(HackEditorTest, AddMultipleKeepsFileLocationInstanceAndAction)
{
    const int hack = AddHack("Series");
    Open(hack);
    editor->cmdAddMultiple->click();
    editor->txtModFile->setText("forum.cgi");
    editor->cmbDirType->setCurrentIndex(2);
    editor->txtExtendPath->setText("sub");
    editor->cmbModInst->setCurrentIndex(3);
    editor->optModType[4]->setChecked(true);
    editor->rtbOldData->setPlainText("old\ntext");
    editor->rtbNewData->setPlainText("new");
    editor->txtModComm->setText("first");
    editor->cmdModSave->click();

    // Stored, and the next mod of the series is started at once.
    EXPECT_EQ(Values("SELECT * FROM [HackData]", "OldData"), QVariantList {"old\r\ntext"});
    EXPECT_EQ(Values("SELECT * FROM [HackData]", "ActionType"), QVariantList {4});
    EXPECT_TRUE(editor->cmdModSave->isEnabled());
    EXPECT_EQ(editor->cmbModOrder->currentText(), "2");
    EXPECT_EQ(editor->txtModFile->text(), "forum.cgi");
    EXPECT_EQ(editor->cmbDirType->currentIndex(), 2);
    EXPECT_EQ(editor->txtExtendPath->text(), "sub");
    EXPECT_EQ(editor->cmbModInst->currentIndex(), 3);
    EXPECT_TRUE(editor->optModType[4]->isChecked());
    EXPECT_EQ(editor->rtbOldData->toPlainText(), "");
    EXPECT_EQ(editor->rtbNewData->toPlainText(), "");
    EXPECT_EQ(editor->txtModComm->text(), "");

    editor->rtbOldData->setPlainText("second");
    editor->cmdModSave->click();
    editor->cmdHackCancel->click();
    EXPECT_EQ(Orders(hack), (QVariantList {1, 2}));
    EXPECT_EQ(Values("SELECT * FROM [HackData]", "ExtendDir"), (QVariantList {"sub", "sub"}));
    EXPECT_TRUE(ViewingButtons(true));
    EXPECT_EQ(editor->fgModList->Rows(), 3);
}

TEST_F(HackEditorTest, DuplicateAndSaveSelectTheLastRow)
{
    const int hack = AddHack("Copies");
    for (int order : {1, 2, 3})
        InsertMod(hack, "ModOrder, FileName, ActionType, Comment", QString("%1, 'f%1.cgi', 2, 'mod %1'").arg(order));
    Open(hack);
    editor->cmdDupeMod->click(); // of the first mod
    EXPECT_EQ(Orders(hack), (QVariantList {1, 2, 3, 4}));
    EXPECT_EQ(editor->fgModList->Row(), 4);
    EXPECT_EQ(GridRow(4).mid(2), (QStringList {"4", "", "f1.cgi", "Insert", "", "mod 1"}));
    EXPECT_TRUE(ViewingButtons(true));

    editor->fgModList->SetRow(2);
    editor->cmdEditMod->click();
    editor->txtModComm->setText("changed");
    editor->cmdModSave->click();
    EXPECT_EQ(editor->fgModList->Row(), 4);
    EXPECT_EQ(GridRow(2)[7], "changed");
    EXPECT_EQ(Orders(hack).size(), 4);
}

TEST_F(HackEditorTest, ValuesOutsideTheListsSurviveASave)
{
    const int hack = AddHack("Imported", 2);
    InsertMod(hack, "ModOrder, FileName, PrimaryDir, ActionType, ModInst", "NULL, 'f.cgi', 12, 9, 15");
    state.Connection.Execute(QString("INSERT INTO HackFiles (HackNum, FileName) VALUES (%1, 'x.gif')").arg(hack));
    Open(hack);
    EXPECT_EQ(editor->cmbHackType->currentIndex(), -1);
    EXPECT_EQ(editor->cmbModOrder->currentIndex(), -1);
    EXPECT_EQ(editor->cmbModInst->currentIndex(), -1);
    EXPECT_EQ(editor->optModType[0]->group()->checkedId(), -1);
    EXPECT_EQ(editor->cmbFileLoc->currentIndex(), -1);

    editor->cmdEditMod->click();
    editor->txtModComm->setText("kept");
    editor->cmdModSave->click();
    editor->txtSupDir->setText("images");
    editor->cmdSaveSupFile->click();
    editor->cmdSaveHackInfo->click();

    const QString mods = "SELECT * FROM [HackData]";
    EXPECT_EQ(Values(mods, "ModOrder"), QVariantList {QVariant()});
    EXPECT_EQ(Values(mods, "PrimaryDir"), QVariantList {12});
    EXPECT_EQ(Values(mods, "ActionType"), QVariantList {9});
    EXPECT_EQ(Values(mods, "ModInst"), QVariantList {15});
    EXPECT_EQ(Values(mods, "Comment"), QVariantList {"kept"});
    EXPECT_EQ(Values("SELECT * FROM [HackFiles]", "Location"), QVariantList {QVariant()});
    EXPECT_EQ(Values("SELECT * FROM [HackFiles]", "CustomDir"), QVariantList {"images"});
    EXPECT_EQ(Values("SELECT * FROM [HackInfo]", "HackType"), QVariantList {2});
}

TEST_F(HackEditorTest, SupportFilesAreAddedSavedAndRemoved)
{
    const int hack = AddHack("Files");
    Open(hack);
    const QString rows = QString("SELECT * FROM [HackFiles] WHERE HackNum = %1 ORDER BY FileName, rowid").arg(hack);

    // Several at once share the location and sub-path shown; the first by name is selected.
    editor->cmbFileLoc->setCurrentIndex(3);
    editor->txtSupDir->setText("img/new");
    dialogs.openResults.push_back({WriteFile("b.gif", "bbb"), WriteFile("a.gif", "aa"), WriteFile("c/a.gif", "")});
    editor->cmdAddSupFile->click();
    EXPECT_TRUE(dialogs.fileDialogs.back().multiSelect);
    EXPECT_EQ(dialogs.fileDialogs.back().title, "Select File to Add");
    EXPECT_EQ(Values(rows, "FileName"), (QVariantList {"a.gif", "a.gif", "b.gif"}));
    EXPECT_EQ(Values(rows, "Location"), (QVariantList {3, 3, 3}));
    EXPECT_EQ(Values(rows, "CustomDir"), (QVariantList {"img/new", "img/new", "img/new"}));
    EXPECT_EQ(editor->lstSupFiles->currentRow(), 0);
    Recordset files(state.Connection);
    files.Open(rows);
    EXPECT_EQ(files.GetChunk("FileData", 100), "aa");
    files.MoveNext();
    EXPECT_EQ(files.BlobSize("FileData"), 0); // a file of length 0: empty, not Null
    EXPECT_FALSE(files.IsNull("FileData"));

    // An empty path is stored as Null and shows as an empty box again.
    editor->lstSupFiles->setCurrentRow(2);
    editor->txtSupDir->clear();
    editor->cmdSaveSupFile->click();
    EXPECT_EQ(Values(rows, "CustomDir").last(), QVariant());
    editor->lstSupFiles->setCurrentRow(0);
    editor->lstSupFiles->setCurrentRow(2);
    EXPECT_EQ(editor->txtSupDir->text(), "");

    // A file that cannot be read is named with the reason; the files before it stay.
    dialogs.openResults.push_back({WriteFile("d.gif", "d"), folder.filePath("c"), WriteFile("e.gif", "e")});
    editor->cmdAddSupFile->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Unable to add " + folder.filePath("c") + ":\nit is a folder, not a file");
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::Critical);
    dialogs.openResults.push_back({folder.filePath("vanished.gif")});
    editor->cmdAddSupFile->click();
    EXPECT_TRUE(dialogs.messages.back().text.endsWith("No such file or directory"));
    // A name the hack file cannot carry is refused when it is added, not when the hack is exported.
    dialogs.openResults.push_back({WriteFile("README", "r")});
    editor->cmdAddSupFile->click();
    EXPECT_EQ(dialogs.messages.back().text,
              "Unable to add " + folder.filePath("README")
                  + ":\nA hack file can only carry a support file whose name has a period in it, such as readme.txt.");
    EXPECT_EQ(Values(rows, "FileName"), (QVariantList {"a.gif", "a.gif", "b.gif", "d.gif"}));

    // Removing asks nothing; without files the controls are disabled.
    for (int left = 3; left >= 0; --left) {
        editor->cmdRemSupFile->click();
        EXPECT_EQ(editor->lstSupFiles->count(), left);
    }
    EXPECT_FALSE(editor->cmdRemSupFile->isEnabled());
    EXPECT_FALSE(editor->txtSupDir->isEnabled());
    EXPECT_EQ(dialogs.messages.size(), 3u);
}

TEST_F(HackEditorTest, LargerWindowsFontsAndTheModFile)
{
    state.SourceDir = folder.filePath("board");
    const int hack = AddHack("Texts");
    InsertMod(hack, "ModOrder, FileName, PrimaryDir, ExtendDir", "1, 'forum.cgi', 0, 'sub'");
    Open(hack);

    // A larger window writes back into the editor's box only; the database waits for a save.
    editor->txtPostMess->setPlainText("Upload.");
    editor->cmdFVPostInstall->click();
    auto* larger = main->findChild<frmHackComm*>();
    ASSERT_NE(larger, nullptr);
    EXPECT_EQ(larger->windowTitle(), "Post Install Message");
    EXPECT_EQ(larger->txtHackComm->toPlainText(), "Upload.");
    larger->txtHackComm->setPlainText("Upload everything.");
    larger->cmdSave->click();
    EXPECT_EQ(editor->txtPostMess->toPlainText(), "Upload everything.");
    EXPECT_EQ(Values("SELECT * FROM [HackInfo]", "PostInstallCom"), QVariantList {QVariant()});

    dialogs.fontResults.push_back(FontChoice {"Courier", 15, true, true});
    editor->cmdFontOldData->click();
    EXPECT_EQ(editor->rtbOldData->font().pointSize(), 15);
    EXPECT_TRUE(editor->rtbOldData->font().bold());
    dialogs.fontResults.push_back(FontChoice {" ", 30});
    editor->cmdFontOldData->click();
    EXPECT_EQ(editor->rtbOldData->font().pointSize(), 15);

    // The source file of the location and sub-path shown, or the message naming its path.
    const QString path = folder.filePath("board/sub/forum.cgi");
    editor->cmdEditMod->click();
    editor->cmdOpenTextFile->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Unable to locate file.\n" + path);
    EXPECT_EQ(dialogs.messages[0].title, "File not found.");
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::Critical);
    EXPECT_EQ(state.CurrentModFilePath, "");
    WriteFile("board/sub/forum.cgi", "print;");
    editor->cmdOpenTextFile->click();
    auto* viewer = main->findChild<frmTextFile*>();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->rtbTextData->toPlainText().trimmed(), "print;");

    // Closing the editor closes the larger windows that would write into it.
    editor->cmdViewFS->click();
    QPointer<frmHackComm> comments = main->findChild<frmHackComm*>();
    editor->parentWidget()->close();
    test::RunDeferredDeletes();
    EXPECT_TRUE(comments.isNull());
}

} // namespace
} // namespace zp
