#include "board_windows.h"
#include "log_rows.h"

#include "boardcheck/frm_install_several.h"
#include "database/recordset.h"
#include "engine/modification_engine.h"
#include "install/frm_diff_view.h"
#include "install/frm_install_hack.h"
#include "publish/frm_publish.h"
#include "shell/hack_list_openers.h"
#include "widgets/window_helpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

namespace zp::testing {
namespace {

using ::testing::ElementsAre;

// Takes the folders the window asks the desktop to open.
class OpenedUrls : public QObject
{
    Q_OBJECT

public:
    OpenedUrls() { QDesktopServices::setUrlHandler("file", this, "Open"); }
    ~OpenedUrls() override { QDesktopServices::unsetUrlHandler("file"); }
    Q_INVOKABLE void Open(const QUrl& url) { urls << url; }

    QList<QUrl> urls;
};

class InstallWindowTest : public BoardWindows
{
protected:
    void SetUp() override
    {
        BoardWindows::SetUp();
        Write(source + "/cgi-bin/forum.cgi", "# hook\r\n");
        hack = AddHack("Hooks");
        AddMod(hack, 1, "forum.cgi", 0, "", AddAfter, 1, "# hook", "added()");
        AddMod(hack, 2, "forum.cgi", 0, "", Insert, 1, "missing", "x", "needs version 6");
        AddMod(hack, 3, "gone.cgi", 0, "", AddAfter, 1, "x", "y");
    }

    QString LastInstall()
    {
        Recordset info(state.Connection);
        info.Open("SELECT * FROM [HackInfo] WHERE [HackNum] = " + QString::number(hack));
        return info.Text("LastInstall");
    }

    // The installer as the hack list's "&Install" opens it, for a hack with these instructions.
    frmInstallHack& Open(const QString& pre = {}, const QString& post = {})
    {
        Recordset info(state.Connection);
        info.Open("SELECT * FROM [HackInfo] WHERE [HackNum] = " + QString::number(hack));
        info.SetValue("PreInstallCom", NullIfEmpty(pre));
        info.SetValue("PostInstallCom", NullIfEmpty(post));
        info.Update();
        list = &ShowHackList(*main);
        list->cmdInstallHack->click();
        installer = main->findChild<frmInstallHack*>();
        EXPECT_FALSE(main->mnuHackList->isEnabled());
        return *installer;
    }

    // Closed, with the hack list's menu entry enabled again.
    bool Closed()
    {
        test::RunDeferredDeletes();
        return installer.isNull() && main->mnuHackList->isEnabled();
    }

    int hack = 0;
    QPointer<frmListHacks> list;
    QPointer<frmInstallHack> installer;
};

TEST_F(InstallWindowTest, OptionsComeFromTheConfigurationExcludeEachOtherAndCancelWritesNothing)
{
    state.cfgSearchOutputDir = 1;
    state.cfgDelOutputDir = 1;
    state.cfgEOL = 1;
    frmInstallHack& w = Open("Back up forum.cgi first.");
    EXPECT_EQ(w.txtPreInstall->toPlainText(), "Back up forum.cgi first.");
    EXPECT_FALSE(w.SearchOutputFirst());
    EXPECT_TRUE(w.DeleteOutputFirst());
    EXPECT_TRUE(w.LfLineEnds());
    w.chkUseOutputDir->click();
    EXPECT_FALSE(w.DeleteOutputFirst());
    w.chkDelOutputDir->click();
    EXPECT_FALSE(w.SearchOutputFirst());

    w.cmdCancel->click();
    EXPECT_TRUE(Closed());
    EXPECT_TRUE(LastInstall().isEmpty());
    EXPECT_TRUE(FilesBelow(output).isEmpty());
}

TEST_F(InstallWindowTest, TheLogShowsEveryStepFailedModsInRedThenNextShowsThePostInstallTextAndOpensTheOutput)
{
    OpenedUrls opened;
    frmInstallHack& w = Open("Read me.", "Upload forum.cgi.");
    w.cmdInstall->click();
    EXPECT_EQ(w.lblLogCap->text(), "Installation Log");
    EXPECT_TRUE(w.fgInstallLog->isVisible());
    EXPECT_FALSE(w.txtPreInstall->isVisible() || w.cmbEOL->isVisible() || w.cmdInstall->isVisible()
                 || w.cmdCancel->isVisible() || w.prgModsDone->isVisible());
    const std::vector<LogRow> rows = GridRows(*w.fgInstallLog);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_THAT(rows.front().Description, HackNameRow(QString("Hooks")));
    EXPECT_THAT(
        std::vector<LogRow>(rows.begin() + 1, rows.end() - 1),
        ElementsAre(Found("forum.cgi", "Add After"),
                    Row("forum.cgi",
                        "Insert",
                        "Applying Mod",
                        "ERROR: needs version 6",
                        true,
                        "old data not found in forum.cgi"),
                    Row("gone.cgi", "Add After", "File not found", "Unable to locate the file: gone.cgi", true)));
    // The failed mod's cells say why in their tooltip; a cut cell shows its whole text first.
    EXPECT_EQ(w.fgInstallLog->CellToolTip(3, 1), "old data not found in forum.cgi");
    w.fgInstallLog->setColumnWidth(2, 10);
    EXPECT_EQ(w.fgInstallLog->CellToolTip(3, 2), "Applying Mod\n\nold data not found in forum.cgi");
    EXPECT_EQ(w.fgInstallLog->CellToolTip(2, 1), "");
    EXPECT_EQ(rows.back().Comment, "END Installation");
    EXPECT_THAT(rows.back().Description, HackNameRow(QString("Hooks")));
    EXPECT_EQ(w.fgInstallLog->Row(), 0);
    EXPECT_EQ(w.txtPreInstall->toPlainText(), "Unable to locate the file: gone.cgi\n");
    EXPECT_EQ(Read(output + "/cgi-bin/forum.cgi"), "# hook\r\nadded()\r\n");
    EXPECT_THAT(LastInstall().toStdString(), ::testing::MatchesRegex("[0-9-]{10} [0-9]+:[0-9]{2}[ap]m"));
    EXPECT_EQ(w.windowTitle(), "Install Hack — Hooks");

    // The log can be kept before Next: its header and every row, TAB-separated.
    const QString saved = state.ProgramFolder + "/Hooks log.tsv";
    dialogs.saveResults.push_back(saved);
    w.cmdSaveLog->click();
    const QStringList lines = QString::fromUtf8(Read(saved)).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], "Filename\tAction\tComment\tDescription");
    EXPECT_EQ(lines[3], "forum.cgi\tInsert\tApplying Mod\tERROR: needs version 6");

    w.cmdNext->click();
    EXPECT_EQ(w.cmdNext->text(), "&Close");
    EXPECT_EQ(w.lblLogCap->text(), "Post Install Instructions");
    EXPECT_EQ(w.txtPreInstall->toPlainText(), "Upload forum.cgi.");
    EXPECT_FALSE(w.fgInstallLog->isVisible());
    EXPECT_TRUE(dialogs.messages.empty());
    dialogs.answers.push_back(MsgAnswer::Yes);
    w.cmdNext->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "Open output folder");
    EXPECT_EQ(opened.urls, QList<QUrl> {QUrl::fromLocalFile(output)});
    EXPECT_TRUE(Closed());
    EXPECT_EQ(list->fgHackList->TextMatrix(1, 5), LastInstall()); // the list was refilled
}

TEST_F(InstallWindowTest, NothingClosesWhileTheRunGoes)
{
    OpenedUrls opened;
    frmInstallHack& w = Open();
    bool during = false;
    QTimer::singleShot(0, &w, [&] {
        during = true;
        EXPECT_FALSE(w.cmdNext->isEnabled());
        EXPECT_TRUE(w.prgModsDone->isVisible());
        EXPECT_FALSE(WindowFrame(&w)->close());
        EXPECT_FALSE(main->close());
    });
    w.cmdInstall->click();
    EXPECT_TRUE(during);
    QApplication::processEvents(); // the bar takes the last count
    EXPECT_EQ(w.prgModsDone->text(), "3 of 3 mods");
    ASSERT_FALSE(installer.isNull());
    EXPECT_FALSE(list.isNull());

    // Without post-install instructions "&Next" asks at once; No opens nothing.
    w.cmdNext->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Would you like to open the output folder now?");
    EXPECT_TRUE(opened.urls.isEmpty());
    EXPECT_TRUE(Closed());
}

TEST_F(InstallWindowTest, OverwritingTheSourceAsksFirstAndNamesTheBackupFolder)
{
    state.cfgOverWriteSource = 1;
    frmInstallHack& w = Open("Read me.");
    w.cmdInstall->click(); // answered No
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].buttons, MsgButtons::YesNoDefaultNo);
    EXPECT_EQ(w.txtPreInstall->toPlainText(), "Read me.");
    EXPECT_TRUE(w.cmdInstall->isVisible());
    EXPECT_EQ(FilesBelow(home.path()), (QStringList {"board/cgi-bin/forum.cgi", "zpatch.zpd", "zpatch.zpd-key"}));

    dialogs.answers.push_back(MsgAnswer::Yes);
    w.cmdInstall->click();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    const QString text = dialogs.messages[1].text;
    const QString prefix = "The source files will be overwritten with the hack's board files and support files. A "
                           "copy of each replaced file is kept in ";
    ASSERT_TRUE(text.startsWith(prefix + home.filePath("backups/%1-").arg(hack)) && text.endsWith(". Continue?"));
    const QString named = text.mid(prefix.size()).chopped(QString(". Continue?").size());
    EXPECT_EQ(Read(named + "/cgi-bin/forum.cgi"), "# hook\r\n");
    EXPECT_EQ(Read(source + "/cgi-bin/forum.cgi"), "# hook\r\nadded()\r\n");
}

TEST_F(InstallWindowTest, OverwritingTheSourceLeavesTheOutputAloneAndOffersToOpenTheSource)
{
    OpenedUrls opened;
    state.cfgDelOutputDir = 1;
    state.cfgOverWriteSource = 1;
    Write(output + "/earlier.cgi", "an earlier installation");
    frmInstallHack& w = Open();
    EXPECT_FALSE(w.chkDelOutputDir->isChecked() || w.chkDelOutputDir->isEnabled());
    w.chkOverSource->click();
    EXPECT_TRUE(w.chkDelOutputDir->isEnabled());
    w.chkDelOutputDir->click();
    w.chkOverSource->click();
    EXPECT_FALSE(w.DeleteOutputFirst());

    dialogs.answers = {MsgAnswer::Yes, MsgAnswer::Yes};
    w.cmdInstall->click();
    EXPECT_FALSE(w.cmdPublish->isVisible()) << "nothing went to the output folder";
    w.cmdNext->click();
    EXPECT_EQ(FilesBelow(output), QStringList {"earlier.cgi"});
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].text,
              "The installation changed the source folder " + source + ". Would you like to open it now?");
    EXPECT_EQ(opened.urls, QList<QUrl> {QUrl::fromLocalFile(source)});
}

TEST_F(InstallWindowTest, ARunToTheOutputFolderOffersToPublishItsHack)
{
    frmInstallHack& w = Open();
    EXPECT_FALSE(w.cmdPublish->isVisible());
    w.cmdInstall->click();
    ASSERT_TRUE(w.cmdPublish->isVisible());
    w.cmdPublish->click();
    const frmPublish* publish = FindWorkingWindow<frmPublish>(main->mdiArea());
    ASSERT_NE(publish, nullptr);
    EXPECT_EQ(publish->HackNum(), hack);
}

TEST_F(InstallWindowTest, PreviewShowsTheDiffWritesNothingAndSavesThePatch)
{
    frmInstallHack& w = Open("Read me.");
    w.cmdPreview->click();
    auto* view = main->findChild<frmDiffView*>();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->windowTitle(), "Preview of Hooks");
    const QString diff = "--- a/cgi-bin/forum.cgi\n+++ b/cgi-bin/forum.cgi\n@@ -1 +1,2 @@\n # hook\n+added()\n";
    EXPECT_EQ(view->rtbDiff->toPlainText(), diff);
    // The mods left out are named: file, action, order, comment and why.
    EXPECT_TRUE(view->lblFailed->isVisibleTo(view));
    EXPECT_EQ(view->lblFailed->text(), "2 mod(s) could not be applied and are left out of the preview:");
    ASSERT_EQ(view->fgFailed->Rows(), 3);
    QStringList named;
    for (int row = 1; row < 3; ++row) {
        for (int column = 0; column < 5; ++column)
            named << view->fgFailed->TextMatrix(row, column);
    }
    EXPECT_EQ(named,
              QStringList({"forum.cgi",
                           "Insert",
                           "2",
                           "needs version 6",
                           "old data not found in forum.cgi",
                           "gone.cgi",
                           "Add After",
                           "3",
                           "",
                           "Unable to locate the file: gone.cgi"}));
    EXPECT_EQ(w.txtPreInstall->toPlainText(), "Read me.");
    EXPECT_TRUE(FilesBelow(output).isEmpty());
    EXPECT_TRUE(LastInstall().isEmpty());

    dialogs.saveResults.push_back(output + "/hooks.patch");
    view->cmdSaveAs->click();
    EXPECT_EQ(Read(output + "/hooks.patch"),
              "--- a/cgi-bin/forum.cgi\n+++ b/cgi-bin/forum.cgi\n@@ -1 +1,2 @@\n # hook\r\n+added()\r\n");
    // Closing the preview makes the installation window the active one again.
    view->cmdClose->click();
    test::RunDeferredDeletes();
    EXPECT_EQ(main->mdiArea()->activeSubWindow(), w.parentWidget());
    w.cmdInstall->click();
    EXPECT_FALSE(w.cmdPreview->isVisible());
}

// Hacks > Install Several opens the installation window for the rows selected in the hack list and
// installs them, each over the one before it.
TEST_F(InstallWindowTest, InstallSeveralOpensTheWindowForTheSelectedRows)
{
    const int first = AddHack("First");
    AddMod(first, 1, "forum.cgi", 0, "", AddBefore, 1, "# hook", "first()");
    AddHack("Left Out");
    frmListHacks& list = ShowHackList(*main);
    emit main->mnuHacks->aboutToShow();
    EXPECT_TRUE(main->mnuInstallSeveral->isEnabled()); // the current row is selected
    list.fgHackList->clearSelection();
    emit main->mnuHacks->aboutToShow();
    EXPECT_FALSE(main->mnuInstallSeveral->isEnabled());
    for (int row = 1; row < list.fgHackList->Rows(); ++row) {
        if (list.fgHackList->TextMatrix(row, 0) != "Left Out")
            list.fgHackList->selectionModel()->select(list.fgHackList->model()->index(row - 1, 0),
                                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    emit main->mnuHacks->aboutToShow();
    main->mnuInstallSeveral->trigger();

    auto* window = main->findChild<frmInstallSeveral*>();
    ASSERT_NE(window, nullptr);
    EXPECT_THAT(window->Hacks(), ::testing::UnorderedElementsAre(hack, first));
    const QString instructions = window->txtPreInstall->toPlainText();
    EXPECT_TRUE(instructions.contains("== Hooks ==") && instructions.contains("== First =="));
    EXPECT_FALSE(instructions.contains("Left Out"));
    window->cmbOrder->setCurrentIndex(1);
    window->cmdInstall->click();
    EXPECT_EQ(Read(output + "/cgi-bin/forum.cgi"), "first()\r\n# hook\r\nadded()\r\n");
}

} // namespace
} // namespace zp::testing

#include "frm_install_hack_test.moc"
