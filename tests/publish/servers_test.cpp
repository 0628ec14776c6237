#include "program_folder_fixture.h"

#include "database/database.h"
#include "publish/servers.h"

namespace zp::testing {
namespace {

Server Valid()
{
    return {"live", "board.example.org", 22, "admin", "/srv/board", SignIn::Agent, QString(), {}};
}

TEST(ServersTest, CheckRefusesWhatCannotBeUsed)
{
    EXPECT_TRUE(CheckServer(Valid()).isEmpty());
    const std::vector<std::function<void(Server&)>> faults {
        [](Server& s) { s.name = "2nd"; }, // names a backup folder ambiguously
        [](Server& s) { s.name = "a-b"; },
        [](Server& s) { s.host.clear(); },
        [](Server& s) { s.user = " "; },
        [](Server& s) { s.port = 0; },
        [](Server& s) { s.port = 65536; },
        [](Server& s) { s.folder = "srv/board"; },
        [](Server& s) { s.signIn = SignIn::KeyFile, s.keyFile = "id_ed25519"; },
        [](Server& s) {
            s.modes = {{"Nowhere", 0755}};
        },
    };
    for (size_t i = 0; i < faults.size(); ++i) {
        Server server = Valid();
        faults[i](server);
        EXPECT_FALSE(CheckServer(server).isEmpty()) << i;
    }
}

TEST(ServersTest, NewFilesRunInTheUbbCgiFolderOnlyUnlessTheServerSaysOtherwise)
{
    Server server = Valid();
    EXPECT_EQ(NewFileMode(server, 0, 0), 0755);
    EXPECT_EQ(NewFileMode(server, 0, 1), 0644);
    EXPECT_EQ(NewFileMode(server, 1, 0), 0644);
    EXPECT_EQ(NewFileMode(server, 0, -1), 0644);
    server.modes = ParseModes("CGI=0750,Images=0640");
    EXPECT_EQ(NewFileMode(server, 0, 0), 0750);
    EXPECT_EQ(NewFileMode(server, 1, 3), 0640);
    EXPECT_EQ(ParseModes(ModesText(server.modes)), server.modes);
}

class ServersDatabaseTest : public ProgramFolderFixture
{
};

TEST_F(ServersDatabaseTest, AnExistingCatalogueGainsTheTableAndKeepsItsServers)
{
    Database& db = state.Connection;
    db.Execute("DROP TABLE [Servers]"); // as an earlier version made it
    db.Open(DatabasePath());
    AddServer(db, Valid());
    EXPECT_THROW(AddServer(db, Valid()), ServerError);
    db.Open(DatabasePath());
    ASSERT_EQ(ListServers(db).size(), 1u);
    EXPECT_EQ(ListServers(db)[0], Valid());
    EXPECT_TRUE(RemoveServer(db, "LIVE"));
    EXPECT_FALSE(FindServer(db, "live"));
}

} // namespace
} // namespace zp::testing
