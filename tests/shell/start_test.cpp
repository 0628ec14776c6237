#include "file_size_limit.h"
#include "shell_fixture.h"

#include "app/common.h"
#include "core/catalogue_operations.h"
#include "shell/frm_about.h"
#include "shell/frm_options.h"
#include "shell/mdi_main.h"
#include "shell/start.h"

#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace zp::test {
namespace {

using StartTest = ShellTest;

int WindowsNamed(const QString& name)
{
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        count += w->objectName() == name && w->isVisible();
    return count;
}

TEST_F(StartTest, MissingDatabaseShowsOnlyTheMessage)
{
    QFile::remove(DatabasePath());
    EXPECT_EQ(Start(state, QString()), nullptr);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              "Unable to locate your database file, please download a new one from the Zenpatch web site.");
    EXPECT_EQ(dialogs.messages[0].title, "Missing Database!");
    EXPECT_EQ(dialogs.messages[0].buttons, MsgButtons::OK);
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::Critical);
    EXPECT_EQ(WindowsNamed("mdiMain"), 0);
    EXPECT_FALSE(state.Connection.IsOpen());

    // A folder named for the run is offered an empty database; declined, nothing more is said or made.
    dialogs.messages.clear();
    dialogs.answers.push_back(MsgAnswer::No);
    EXPECT_EQ(Start(state, QString(), true), nullptr);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              "There is no database in " + state.ProgramFolder + ".\n\nCreate a new, empty one there?");
    EXPECT_EQ(dialogs.messages[0].title, "New Database");
    EXPECT_EQ(dialogs.messages[0].buttons, MsgButtons::YesNo);
    EXPECT_FALSE(QFile::exists(DatabasePath()));
}

TEST_F(StartTest, DamagedOrEmptyDatabaseIsReportedOnceWithoutMainWindow)
{
    for (const QByteArray& bytes : {QByteArray(4096, 'x'), QByteArray()}) {
        QFile file(DatabasePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        dialogs.messages.clear();
        EXPECT_EQ(Start(state, QString()), nullptr);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::Critical);
        EXPECT_EQ(dialogs.messages[0].text,
                  "Zenpatch could not open its database " + DatabasePath() + ":\n\nnot a Zenpatch database");
        EXPECT_EQ(WindowsNamed("mdiMain"), 0);
    }
}

TEST_F(StartTest, UnconfiguredDatabaseOpensOptionsAndCarriesOnWhenCancelled)
{
    QStringList modals;
    WhenModal([&](QWidget* options) {
        modals << options->objectName();
        WhenModal([&](QWidget* splash) {
            modals << splash->objectName();
            static_cast<frmAbout*>(splash)->cmdOK->click();
        });
        static_cast<frmOptions*>(options)->cmdCancel->click();
    });
    // The database is the empty one made for a folder named for the run.
    QFile::remove(DatabasePath());
    dialogs.answers.push_back(MsgAnswer::Yes);
    std::unique_ptr<mdiMain> window = Start(state, QString(), true);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(modals, QStringList({"frmOptions", "frmAbout"}));
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].title, "New Database");
    EXPECT_EQ(dialogs.messages[1].text, "It appears that Zenpatch is not configured, opening configuration window.");
    EXPECT_EQ(dialogs.messages[1].title, "New Configuration");
    EXPECT_EQ(dialogs.messages[1].icon, MsgIcon::Critical);
    EXPECT_TRUE(state.SourceDir.isEmpty());
    EXPECT_TRUE(state.OutputDir.isEmpty());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(state.Connection.IsOpen());
}

TEST_F(StartTest, CommandLineFileIsImportedWithoutSplash)
{
    Configure("cfgFileAssoc = 0");
    QStringList modals; // a splash would be recorded here (and closed, so the test cannot hang)
    QPointer<QTimer> watch = WhenModal([&](QWidget* modal) {
        modals << modal->objectName();
        modal->close();
    });
    std::unique_ptr<mdiMain> window = Start(state, ZENPATCH_TEST_DATA "/../../share/demo/hacks/whos_online.zpx");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(modals.isEmpty());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "Import Complete!");
    EXPECT_TRUE(FindHack(state, "Who's Online Count"));
    EXPECT_EQ(state.HackDataRecordset->RecordCount(), 2);
    EXPECT_EQ(window->PanelText(2), "Total Hacks: 1"); // the hack list shows it
    delete watch;
}

class SplashTest : public ShellTest
{
protected:
    SplashTest()
    {
        Configure("cfgFileAssoc = 0");
        window = std::make_unique<mdiMain>(state);
    }
    std::unique_ptr<mdiMain> window;
};

TEST_F(SplashTest, TimerClosesTheFirstSplash)
{
    window->tmrSplash->setInterval(50);
    window->Load(); // returns once the timer has closed the modal splash
    EXPECT_FALSE(window->tmrSplash->isActive());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(state.SourceDir, dir.path() + "/source");
}

TEST_F(SplashTest, ClickClosesTheSplashAndStopsTheTimer)
{
    WhenModal([](QWidget* splash) { QTest::mouseClick(splash, Qt::LeftButton, {}, QPoint(5, 5)); });
    window->Load();
    EXPECT_FALSE(window->tmrSplash->isActive());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(SplashTest, SplashAfterARestartStaysUntilClosed)
{
    window->tmrSplash->setInterval(20);
    window->Load();
    bool stillOpen = false;
    WhenModal([&](QWidget* splash) {
        QTimer::singleShot(200, splash, [&stillOpen, splash] {
            stillOpen = splash->isVisible();
            static_cast<frmAbout*>(splash)->cmdOK->click();
        });
    });
    CloseDatabase(state);
    window->Load();
    EXPECT_TRUE(stillOpen);
    EXPECT_FALSE(window->tmrSplash->isActive());
}

TEST_F(SplashTest, AboutShowsTheProgramVersion)
{
    frmAbout about(window.get(), nullptr);
    EXPECT_EQ(about.lblVersion->text(), "Version 2.0.1");
}

TEST_F(SplashTest, ExitLeavesOneCompactedDatabase)
{
    window->tmrSplash->setInterval(1);
    window->Load();
    // Grow the file, then free the space again: only a compaction gives it back.
    state.Connection.Execute("CREATE TABLE Filler (Data BLOB)");
    state.Connection.Execute("INSERT INTO Filler VALUES (zeroblob(2000000))");
    state.Connection.Execute("DROP TABLE Filler");
    const qint64 grown = QFileInfo(DatabasePath()).size();

    window->mnuExit->trigger();

    EXPECT_FALSE(state.Connection.IsOpen());
    EXPECT_FALSE(window->isVisible());
    EXPECT_LT(QFileInfo(DatabasePath()).size(), grown / 4);
    Database reopened;
    EXPECT_NO_THROW(reopened.Open(DatabasePath()));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SplashTest, FailedCompactionKeepsTheDatabaseAndSaysWhy)
{
    window->tmrSplash->setInterval(1);
    window->Load();
    state.Connection.Execute("CREATE TABLE Filler (Data BLOB)");
    state.Connection.Execute("INSERT INTO Filler VALUES (zeroblob(2000000))");
    state.Connection.Execute("DROP TABLE Filler");
    {
        // The disk fills up while the compaction writes its journal.
        FileSizeLimit full(8192);
        window->close();
    }
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "Compact Database");
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(dialogs.messages[0].text.contains("zpatch.zpd was left as it was"));
    Database reopened;
    EXPECT_NO_THROW(reopened.Open(DatabasePath()));
    EXPECT_NO_THROW(reopened.Execute("SELECT count(*) FROM HackInfo"));
}

} // namespace
} // namespace zp::test
