#include "shell_fixture.h"

#include "app/common.h"
#include "catalogue/frm_list_hacks.h"
#include "database/recordset.h"
#include "shell/file_menu.h"
#include "shell/frm_about.h"
#include "shell/mdi_main.h"
#include "widgets/qt_dialogs.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>

namespace zp::test {
namespace {

QByteArray Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class BackupTest : public ShellTest
{
protected:
    BackupTest() { OpenDatabase(state); }
    ~BackupTest() override { CloseDatabase(state); }

    void Backup()
    {
        BackupDatabase(
            state,
            [this] {
                ++closedChildren;
                return true;
            },
            [this] { ++restarts; });
    }

    int closedChildren = 0;
    int restarts = 0;
};

TEST_F(BackupTest, AnsweringNoChangesNothing)
{
    dialogs.answers = {MsgAnswer::No};
    Backup();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              "This will close the database connection and restart the program, are you sure?");
    EXPECT_EQ(dialogs.messages[0].title, "Backup DB Confirm");
    EXPECT_EQ(dialogs.messages[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::None);
    EXPECT_TRUE(state.Connection.IsOpen());
    EXPECT_EQ(closedChildren, 0);
    EXPECT_EQ(restarts, 0);
    EXPECT_TRUE(dialogs.fileDialogs.empty());
}

TEST_F(BackupTest, CancelledSaveStillRestarts)
{
    dialogs.answers = {MsgAnswer::Yes};
    Backup();
    EXPECT_FALSE(state.Connection.IsOpen());
    EXPECT_EQ(closedChildren, 1);
    EXPECT_EQ(restarts, 1);
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs[0].fileName, "zpatch.bak");
    EXPECT_EQ(dialogs.fileDialogs[0].initialDir, Home());
    EXPECT_EQ(QDir(Home()).entryList(QDir::Files), QStringList({"zpatch.zpd", "zpatch.zpd-key"}));
}

TEST_F(BackupTest, ChosenFileGetsAByteCopyThatOpensWithTheKey)
{
    state.Connection.Execute("UPDATE MainConfig SET cfgAuthName = 'Backed Up'");
    const QString target = dir.path() + "/backups/zpatch.bak";
    QDir(dir.path()).mkpath("backups");
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older backup");
    old.close();

    dialogs.answers = {MsgAnswer::Yes};
    dialogs.saveResults = {target};
    Backup();

    EXPECT_EQ(restarts, 1);
    EXPECT_EQ(Bytes(target), Bytes(DatabasePath()));
    Database copy;
    ASSERT_NO_THROW(copy.Open(target));
    Recordset config(copy);
    config.Open("SELECT * FROM [MainConfig]");
    EXPECT_EQ(config.Text("cfgAuthName"), "Backed Up");
}

TEST_F(BackupTest, CopyOntoTheDatabaseItselfIsRefused)
{
    const QByteArray before = Bytes(DatabasePath());
    dialogs.answers = {MsgAnswer::Yes};
    dialogs.saveResults = {DatabasePath()};
    Backup();
    EXPECT_EQ(Bytes(DatabasePath()), before);
    EXPECT_EQ(restarts, 1);
    EXPECT_FALSE(CopyFileReplacing(DatabasePath(), Home() + "/../home/zpatch.zpd"));
}

TEST_F(BackupTest, FailedCopyLeavesAnExistingTargetAlone)
{
    const QString target = dir.path() + "/kept.bak";
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();
    EXPECT_FALSE(CopyFileReplacing(dir.path() + "/missing.zpd", target));
    EXPECT_EQ(Bytes(target), "keep me");
}

TEST_F(BackupTest, MainWindowRestartClosesChildrenAndShowsTheSplashAgain)
{
    Configure("cfgFileAssoc = 0");
    CloseDatabase(state);
    mdiMain window(state);
    window.tmrSplash->setInterval(1);
    window.Load();
    QPointer<QWidget> child = new QWidget;
    window.ShowChild(child);
    ASSERT_EQ(window.mdiArea()->subWindowList().size(), 2); // the hack list and the child

    bool splashShown = false;
    WhenModal([&](QWidget* splash) {
        splashShown = splash->objectName() == "frmAbout";
        static_cast<frmAbout*>(splash)->cmdOK->click();
    });
    dialogs.answers = {MsgAnswer::Yes};
    window.mnuBackupDB->trigger();
    QApplication::processEvents();

    EXPECT_TRUE(splashShown);
    EXPECT_TRUE(child.isNull());
    ASSERT_EQ(window.mdiArea()->subWindowList().size(), 1); // the load showed a new hack list
    EXPECT_NE(FindHackList(window.mdiArea()), nullptr);
    EXPECT_TRUE(state.Connection.IsOpen());
    EXPECT_EQ(state.SourceDir, dir.path() + "/source");
}

TEST_F(BackupTest, RestartDoesNotImportTheStartupFileAgain)
{
    Configure("cfgFileAssoc = 0");
    CloseDatabase(state);
    mdiMain window(state);
    window.SetCommandLine(ZENPATCH_TEST_DATA "/../../share/demo/hacks/whos_online.zpx");
    window.Load();
    ASSERT_EQ(window.PanelText(2), "Total Hacks: 1");

    WhenModal([](QWidget* splash) { static_cast<frmAbout*>(splash)->cmdOK->click(); });
    dialogs.answers = {MsgAnswer::Yes};
    window.mnuBackupDB->trigger();
    QApplication::processEvents();
    EXPECT_EQ(window.PanelText(2), "Total Hacks: 1");
    Recordset hacks(state.Connection);
    hacks.Open("SELECT * FROM [HackInfo]");
    EXPECT_EQ(hacks.RecordCount(), 1);
}

TEST_F(BackupTest, TextFileDialogStartsInTheFirstBoardLocation)
{
    state.SourceDir = "/srv/board";
    state.DirectoryTable = {"cgi-bin", "html"};
    FileDialogOptions options = TextFileDialogOptions(state);
    EXPECT_EQ(options.initialDir, "/srv/board/cgi-bin");
    EXPECT_EQ(options.title, "Load Text File");
    EXPECT_TRUE(options.fileMustExist);
    EXPECT_TRUE(options.fileName.isEmpty());
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    PrepareFileDialog(dialog, options);
    EXPECT_EQ(dialog.findChild<QComboBox*>("fileTypeCombo")->currentText(), "All Files (*.*)");
    options.filter = "Hack Files (*.zpx);;All Files (*)";
    PrepareFileDialog(dialog, options);
    EXPECT_EQ(dialog.findChild<QComboBox*>("fileTypeCombo")->currentText(), "Hack Files (*.zpx)");

    state.DirectoryTable = {"", "html"};
    EXPECT_EQ(TextFileDialogOptions(state).initialDir, "/srv/board");
}

TEST_F(BackupTest, OpenTextFileReportsAVanishedFile)
{
    mdiMain window(state);
    dialogs.openResults = {{dir.path() + "/gone.txt"}};
    window.mnuOpenFile->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Either the filename or path could not be found.");
    EXPECT_EQ(dialogs.messages[0].title, "Find/Path Not Found");
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::None);
}

TEST_F(BackupTest, ResourcesAreFoundBesideTheProgramOrInstalled)
{
    QDir(dir.path()).mkpath("prefix/bin");
    QDir(dir.path()).mkpath("prefix/share/zenpatch");
    QFile(dir.path() + "/prefix/share/zenpatch/zenpatch.pdf").open(QIODevice::WriteOnly);
    const QString bin = dir.path() + "/prefix/bin";
    EXPECT_EQ(ResourcePath(bin, "zenpatch.pdf"), dir.path() + "/prefix/share/zenpatch/zenpatch.pdf");
    EXPECT_EQ(ResourcePath(bin, "zenpatch.doc"), bin + "/zenpatch.doc");
    QFile(bin + "/zenpatch.pdf").open(QIODevice::WriteOnly);
    EXPECT_EQ(ResourcePath(bin, "zenpatch.pdf"), bin + "/zenpatch.pdf");
}

// When the desktop cannot open the manual, the message names it and offers the web page in the
// browser (Yes) or the folder that holds it (No); a second failure names what it could not open.
TEST_F(BackupTest, AManualTheDesktopCannotOpenOffersTheWebPageOrItsFolder)
{
    const QString manual = dir.path() + "/zenpatch.pdf";
    struct Case
    {
        std::optional<MsgAnswer> answer; // none: the desktop opens the manual itself
        QStringList opened; // what the desktop could open
        QStringList asked; // what was handed to it, in order
        QString lastMessage;
    };
    const QString page = dir.path() + "/zenpatch.html";
    const Case cases[] = {
        {std::nullopt, {manual}, {manual}, ""},
        {MsgAnswer::Yes, {page}, {manual, page}, "manual"},
        {MsgAnswer::No, {dir.path()}, {manual, dir.path()}, "manual"},
        {MsgAnswer::Cancel, {}, {manual}, "manual"},
        {MsgAnswer::Yes,
         {},
         {manual, page},
         QString("The desktop could not open %1 either. The manual is in the folder %2.").arg(page, dir.path())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked.join(' ').toStdString());
        dialogs.messages.clear();
        if (c.answer)
            dialogs.answers = {*c.answer};
        QStringList asked;
        OpenManual(dialogs, manual, [&](const QUrl& url) {
            asked << url.toLocalFile();
            return c.opened.contains(url.toLocalFile());
        });
        EXPECT_EQ(asked, c.asked);
        if (c.lastMessage.isEmpty()) {
            EXPECT_TRUE(dialogs.messages.empty());
            continue;
        }
        ASSERT_FALSE(dialogs.messages.empty());
        EXPECT_EQ(dialogs.messages.front().text,
                  QString("The desktop could not open the manual %1: no program is set up to show this kind of "
                          "file.\n\nYes opens the manual as a web page (%2) in the browser; No opens the folder "
                          "that holds it.")
                      .arg(manual, page));
        EXPECT_EQ(dialogs.messages.front().buttons, MsgButtons::YesNoCancel);
        if (c.lastMessage != "manual")
            EXPECT_EQ(dialogs.messages.back().text, c.lastMessage);
        else
            EXPECT_EQ(dialogs.messages.size(), 1u);
    }
}

} // namespace
} // namespace zp::test
