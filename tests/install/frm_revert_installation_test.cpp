#include "board_windows.h"

#include "engine/modification_engine.h"
#include "install/fixed_installation_options.h"
#include "install/frm_revert_installation.h"
#include "install/revert_installation.h"

#include <QMenu>
#include <QPushButton>

namespace zp::testing {
namespace {

class RevertWindowTest : public BoardWindows
{
protected:
    bool MenuEnabled()
    {
        emit main->mnuHacks->aboutToShow();
        return main->mnuRevertInstall->isEnabled();
    }
};

TEST_F(RevertWindowTest, RevertsAfterAYesAndShowsTheFilesLeftAloneInRed)
{
    Write(source + "/cgi-bin/forum.cgi", "x\r\n");
    Write(source + "/html/page.html", "old\r\n");
    const int hack = AddHack("Over");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
    AddMod(hack, 2, "page.html", 1, "", Replace, 1, "old", "new");
    EXPECT_FALSE(MenuEnabled());
    FixedInstallationOptions host;
    host.overwriteSource = true;
    RecordingLog installLog;
    ASSERT_EQ(RunInstallation(state, state.CurrentHackNum, host, installLog).outcome, InstallOutcome::Completed);
    Write(source + "/cgi-bin/forum.cgi", "edited");
    ASSERT_TRUE(MenuEnabled());

    main->mnuRevertInstall->trigger();
    auto* window = main->findChild<frmRevertInstallation*>();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Revert Installation - Over");
    ASSERT_EQ(window->fgBackups->Rows(), 2);
    EXPECT_EQ(window->fgBackups->TextMatrix(1, 1), "2");
    EXPECT_EQ(window->fgBackups->TextMatrix(1, 2), "not reverted");

    window->cmdRevert->click(); // the question's default is No
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].buttons, MsgButtons::YesNoDefaultNo);
    EXPECT_EQ(Read(source + "/html/page.html"), "new\r\n");

    dialogs.answers = {MsgAnswer::Yes};
    window->cmdRevert->click();
    EXPECT_EQ(Read(source + "/html/page.html"), "old\r\n");
    EXPECT_EQ(Read(source + "/cgi-bin/forum.cgi"), "edited");
    std::vector<LogRow> red;
    for (const LogRow& row : GridRows(*window->fgRevertLog)) {
        if (row.red)
            red.push_back(row);
    }
    ASSERT_EQ(red.size(), 1u);
    EXPECT_EQ(red[0].Filename, "cgi-bin/forum.cgi");
    EXPECT_EQ(red[0].Comment, "changed since the installation");
}

// The window reverts the hack it was opened for, whatever the list selects meanwhile, and says so
// when that hack has been deleted.
TEST_F(RevertWindowTest, RevertsItsOwnHackAndSaysWhenItIsGone)
{
    Write(source + "/cgi-bin/forum.cgi", "x\r\n");
    const int hack = AddHack("Over");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
    FixedInstallationOptions host;
    host.overwriteSource = true;
    RecordingLog installLog;
    ASSERT_EQ(RunInstallation(state, hack, host, installLog).outcome, InstallOutcome::Completed);
    main->mnuRevertInstall->trigger();
    auto* window = main->findChild<frmRevertInstallation*>();
    ASSERT_NE(window, nullptr);
    SelectHack(AddHack("Other"));

    dialogs.answers = {MsgAnswer::Yes};
    window->cmdRevert->click();
    EXPECT_EQ(Read(source + "/cgi-bin/forum.cgi"), "x\r\n");
    EXPECT_TRUE(GridRows(*window->fgRevertLog).front().Description.startsWith("Hack Name:Over at "));

    // Installed again, then deleted: the window says so and changes nothing.
    SelectHack(hack);
    ASSERT_EQ(RunInstallation(state, hack, host, installLog).outcome, InstallOutcome::Completed);
    window->Load();
    state.Connection.Execute("DELETE FROM [HackInfo] WHERE [HackNum] = " + QString::number(hack));
    dialogs.messages.clear();
    dialogs.answers = {MsgAnswer::Yes};
    window->cmdRevert->click();
    ASSERT_EQ(dialogs.messages.size(), 2u); // the question, then why nothing was done
    EXPECT_EQ(dialogs.messages[1].text, "This hack is no longer in the database.");
    EXPECT_EQ(Read(source + "/cgi-bin/forum.cgi"), "y\r\n");
    dialogs.messages.clear();
    RecordingLog log;
    const QString backup = ListBackups(state.ProgramFolder, hack).front().name;
    const RevertResult refused = RevertInstallation(state, hack, backup, {}, log);
    EXPECT_EQ(refused.outcome, RevertOutcome::Refused);
    EXPECT_TRUE(dialogs.messages.empty()); // the message is for the window or the command line to show
    EXPECT_EQ(refused.message.value_or(UserMessage()).text, "This hack is no longer in the database.");
}

} // namespace
} // namespace zp::testing
