#include "board_windows.h"
#include "installed_board.h"

#include "publish/frm_publish.h"
#include "publish/servers_tab.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace zp::testing {
namespace {

// The publish window of the installed hack, with the test server set up as "live".
class PublishWindowTest : public InstalledBoard<BoardWindows>
{
protected:
    void SetUp() override
    {
        InstalledBoard<BoardWindows>::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        AddServer(state.Connection, server);
        hack = state.CurrentHackNum;
        window = &ShowPublishWindow(*main, hack);
        window->knownHostsFile = ssh->KnownHosts();
    }

    void Run(QPushButton* button)
    {
        ASSERT_TRUE(button->isEnabled());
        button->click();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->IsRunning(); }, 60000));
    }

    // The state column of a file's row.
    QString StateShown(const QString& path) const
    {
        const QList<QTableWidgetItem*> found = window->tblFiles->findItems(path, Qt::MatchExactly);
        return found.isEmpty() ? QString() : window->tblFiles->item(found[0]->row(), 1)->text();
    }

    int hack = 0;
    frmPublish* window = nullptr;
};

TEST_F(PublishWindowTest, PublishesItsOwnHacksInstallationWhateverTheListSelectsSince)
{
    SelectHack(AddHack("Another"));
    Run(window->cmdPublish);
    for (const QString& file : FilesBelow(output)) {
        EXPECT_EQ(Read(live(file)), Read(output + "/" + file)) << file.toStdString();
        EXPECT_EQ(StateShown(file), "sent") << file.toStdString();
    }
}

TEST_F(PublishWindowTest, ARefusedFileIsSentOnlyOnceItsBoxIsChecked)
{
    Write(live(Page), "<p>edited on the live board</p>\n");
    Run(window->cmdCheck);
    EXPECT_EQ(StateShown(Page), "refused");
    EXPECT_EQ(StateShown("cgi-bin/shout.cgi"), "new");
    Run(window->cmdPublish);
    EXPECT_EQ(Read(live(Page)), "<p>edited on the live board</p>\n");
    EXPECT_FALSE(Exists(live("cgi-bin/shout.cgi")));

    window->tblFiles->findItems(Page, Qt::MatchExactly)[0]->setCheckState(Qt::Checked);
    Run(window->cmdPublish);
    EXPECT_EQ(Read(live(Page)), Read(output + "/" + Page));
}

TEST_F(PublishWindowTest, CancelStopsThePublishBeforeAnyFileIsSent)
{
    const auto before = Snapshot(home.filePath("live"));
    window->cmdPublish->click();
    window->cmdCancel->click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->IsRunning(); }, 60000));
    EXPECT_TRUE(window->lblStatus->text().contains("nothing was sent")) << window->lblStatus->text().toStdString();
    EXPECT_EQ(Snapshot(home.filePath("live")), before);
}

TEST_F(PublishWindowTest, TheConnectionsQuestionsGoThroughTheDialogs)
{
    ssh = std::make_unique<SshServer>("secret words");
    ASSERT_TRUE(ssh->Started());
    RemoveServer(state.Connection, "live");
    server.port = ssh->Port();
    server.keyFile = ssh->ClientKey();
    AddServer(state.Connection, server);
    window->knownHostsFile = home.filePath("known_hosts");
    dialogs.answers.push_back(MsgAnswer::Yes); // trust the host
    dialogs.secretResults.push_back(QString("secret words"));
    Run(window->cmdCheck);
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.messages[0].text.contains("SHA256:"));
    EXPECT_TRUE(Exists(home.filePath("known_hosts")));
    EXPECT_EQ(dialogs.secretPrompts.size(), 1u);
    EXPECT_EQ(StateShown("cgi-bin/shout.cgi"), "new");
}

TEST_F(PublishWindowTest, TheServersTabAddsAndRemovesAServer)
{
    ServersTab tab(state.Connection, dialogs);
    test::WhenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<ServerDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->txtName->setText("staging");
        dialog->txtHost->setText("staging.example.org");
        dialog->txtUser->setText("admin");
        dialog->txtFolder->setText("/srv/board");
        dialog->accept();
    });
    tab.cmdAdd->click();
    ASSERT_TRUE(FindServer(state.Connection, "staging"));
    EXPECT_EQ(tab.lstServers->count(), 2);

    tab.lstServers->setCurrentRow(1);
    dialogs.answers.push_back(MsgAnswer::Yes);
    tab.cmdRemove->click();
    EXPECT_FALSE(FindServer(state.Connection, "staging"));
    EXPECT_TRUE(FindServer(state.Connection, "live"));
    EXPECT_EQ(tab.lstServers->count(), 1);
}

} // namespace
} // namespace zp::testing
