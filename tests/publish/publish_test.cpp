#include "installed_board.h"

#include "publish/publish_backup.h"
#include "publish/remote_files.h"
#include "publish/revert_publish.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

namespace zp::testing {
namespace {

class PublishTest : public InstalledBoard<BoardTree>
{
protected:
    PublishOutcome Publish(PublishOptions options = {})
    {
        files.clear();
        return PublishInstallation(state, shoutbox, server, connect, options, log, files).outcome;
    }

    PublishState StateOf(const QString& path) const
    {
        for (const PublishFile& file : files) {
            if (file.path == path)
                return file.state;
        }
        return PublishState::Failed;
    }

    RecordingLog log;
    std::vector<PublishFile> files;
};

TEST_F(PublishTest, PutsTheOutputFilesInPlaceWithTheirModes)
{
    ASSERT_EQ(Publish(), PublishOutcome::Done);
    for (const QString& file : FilesBelow(output))
        EXPECT_EQ(Read(live(file)), Read(output + "/" + file)) << file.toStdString();
    EXPECT_EQ(QFileInfo(live("cgi-bin/forum.cgi")).permissions() & 0x0777, 0x0700); // kept
    EXPECT_EQ(QFileInfo(live("cgi-bin/shout.cgi")).permissions() & 0x0777, 0x0755); // the CGI folder's
    EXPECT_EQ(QFileInfo(live("html/shout.txt")).permissions() & 0x0777, 0x0644);
    EXPECT_EQ(FilesBelow(home.filePath("live")).size(), 4) << "no temporary file is left";
}

TEST_F(PublishTest, ManyFilesGoOverSeveralConnectionsAndAreLoggedInTheirOrder)
{
    for (int n = 0; n < 40; ++n)
        AddSupportFile(shoutbox, QString("many%1.txt").arg(n, 2, 10, QChar('0')), 1, "", QByteArray(n, 'm'));
    QuietHost host;
    RecordingLog installed;
    ASSERT_EQ(RunInstallation(state, shoutbox, host, installed).outcome, InstallOutcome::Completed);
    ASSERT_EQ(Publish(), PublishOutcome::Done);
    QStringList logged;
    for (const LogRow& row : log.rows) {
        if (row.Comment == "Created" || row.Comment == "Replaced")
            logged << row.Filename;
    }
    QStringList sorted = logged;
    sorted.sort();
    EXPECT_EQ(logged, sorted);
    EXPECT_EQ(logged.size(), 44);
    for (const QString& file : FilesBelow(output))
        EXPECT_EQ(Read(live(file)), Read(output + "/" + file)) << file.toStdString();
}

TEST_F(PublishTest, SkipsTheFilesTheServerHasAlready)
{
    ASSERT_EQ(Publish(), PublishOutcome::Done);
    ASSERT_EQ(Publish(), PublishOutcome::Done);
    for (const PublishFile& file : files)
        EXPECT_EQ(file.state, PublishState::Unchanged) << file.path.toStdString();
}

TEST_F(PublishTest, RefusesAServerFileChangedSinceTheSourceAndWritesNothing)
{
    Write(live(Page), "<p>edited on the live board</p>\n");
    const auto before = Snapshot(home.filePath("live"));
    EXPECT_EQ(Publish(), PublishOutcome::Refused);
    EXPECT_EQ(StateOf(Page), PublishState::Refused);
    EXPECT_EQ(Snapshot(home.filePath("live")), before);
    EXPECT_FALSE(QDir(home.filePath("backups")).exists() && !QDir(home.filePath("backups")).isEmpty());

    PublishOptions force;
    force.force = true;
    EXPECT_EQ(Publish(force), PublishOutcome::Done);
    EXPECT_EQ(Read(live(Page)), Read(output + "/" + Page));
}

TEST_F(PublishTest, DryRunListsWhatWouldBeSentAndWritesNothingAnywhere)
{
    const auto before = Snapshot(home.path());
    PublishOptions dry;
    dry.dryRun = true;
    EXPECT_EQ(Publish(dry), PublishOutcome::Done);
    EXPECT_EQ(StateOf("cgi-bin/forum.cgi"), PublishState::Replace);
    EXPECT_EQ(StateOf("cgi-bin/shout.cgi"), PublishState::New);
    EXPECT_EQ(Snapshot(home.path()), before);
}

TEST_F(PublishTest, AnUnknownHostIsRecordedOnlyWhenItsFingerprintIsAccepted)
{
    connect.knownHostsFile = home.filePath("known_hosts");
    QString shown;
    connect.acceptUnknownHost = [&shown](const QString&, const QString& fingerprint) {
        shown = fingerprint;
        return false;
    };
    EXPECT_EQ(Publish(), PublishOutcome::Failed);
    EXPECT_TRUE(shown.startsWith("SHA256:"));
    EXPECT_FALSE(QFile::exists(connect.knownHostsFile));

    connect.acceptUnknownHost = [](const QString&, const QString&) { return true; };
    EXPECT_EQ(Publish(), PublishOutcome::Done);
    connect.acceptUnknownHost = nullptr;
    EXPECT_EQ(Publish(), PublishOutcome::Done) << "the host is known now";
}

TEST_F(PublishTest, AChangedHostKeyIsRefusedWhateverTheUserSays)
{
    ssh->PlantOtherHostKey();
    connect.acceptUnknownHost = [](const QString&, const QString&) { return true; };
    const auto before = Snapshot(home.filePath("live"));
    EXPECT_EQ(Publish(), PublishOutcome::Failed);
    ASSERT_FALSE(log.rows.empty());
    EXPECT_TRUE(log.rows.back().Description.contains("man-in-the-middle"));
    EXPECT_EQ(Snapshot(home.filePath("live")), before);
}

TEST_F(PublishTest, AWrongPasswordIsRefused)
{
    server.signIn = SignIn::Password;
    int asked = 0;
    connect.askSecret = [&asked](const QString&) {
        ++asked;
        return std::optional<QString>("not the password");
    };
    EXPECT_EQ(Publish(), PublishOutcome::Failed);
    EXPECT_EQ(asked, 1);
}

TEST_F(PublishTest, AKeyWithAPassphraseSignsInOnlyWithIt)
{
    ssh = std::make_unique<SshServer>("secret words");
    ASSERT_TRUE(ssh->Started());
    server.port = ssh->Port();
    server.keyFile = ssh->ClientKey();
    connect.knownHostsFile = ssh->KnownHosts();
    for (const auto& [given, outcome] :
         {std::pair("wrong", PublishOutcome::Failed), {"secret words", PublishOutcome::Done}}) {
        connect.askSecret = [given = QString(given)](const QString&) { return std::optional<QString>(given); };
        EXPECT_EQ(Publish(), outcome) << given;
    }
}

TEST_F(PublishTest, AConnectionKilledMidwayLeavesEveryFileOldOrNewAndTheNextPublishFinishes)
{
    const auto old = Snapshot(home.filePath("live"));
    PublishOptions options;
    int sent = 0;
    options.progress = [&](int, int, const PublishFile& file) {
        if (file.state == PublishState::Sent && ++sent == 2)
            ssh->KillSessions();
    };
    EXPECT_EQ(Publish(options), PublishOutcome::Stopped);
    int newFiles = 0;
    for (const QString& file : FilesBelow(output)) {
        const QByteArray now = QFile::exists(live(file)) ? Read(live(file)) : QByteArray();
        const bool isNew = now == Read(output + "/" + file);
        EXPECT_TRUE(isNew || now == (old.count(file) ? old.at(file) : QByteArray())) << file.toStdString();
        newFiles += isNew;
    }
    EXPECT_EQ(newFiles, 2);
    const std::vector<PublishBackup> backups = ListPublishBackups(home.path(), shoutbox, "live");
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(ReadPublishManifest(home.path(), backups[0].name).rows.size(), 2u) << "the files sent";

    EXPECT_EQ(Publish(), PublishOutcome::Done);
    for (const QString& file : FilesBelow(output))
        EXPECT_EQ(Read(live(file)), Read(output + "/" + file)) << file.toStdString();
}

TEST_F(PublishTest, ANewFileThatCannotBePutInPlaceLeavesTheOldOneWhereItWas)
{
    RemoteSession session(server, connect);
    RemoteFiles remote(session);
    const QString target = server.folder + "/cgi-bin/forum.cgi";
    const QByteArray old = Read(live("cgi-bin/forum.cgi"));
    // No new file under the temporary name: its rename fails once the old file is moved aside.
    try {
        remote.Replace(RemoteFiles::TemporaryName(target), target, true);
        ADD_FAILURE() << "the rename of a missing file succeeded";
    } catch (const RemoteError& e) {
        EXPECT_TRUE(QString(e.what()).startsWith("Cannot put in place " + target)) << e.what();
    }
    EXPECT_EQ(Read(live("cgi-bin/forum.cgi")), old);
    EXPECT_FALSE(QFileInfo::exists(RemoteFiles::AsideName(target)));
}

TEST_F(PublishTest, RevertPutsTheServersFilesBackAndRemovesThoseItCreated)
{
    const auto before = Snapshot(home.filePath("live"));
    ASSERT_EQ(Publish(), PublishOutcome::Done);
    const QString name = ListPublishBackups(home.path(), shoutbox, "live").at(0).name;
    EXPECT_EQ(RevertPublish(state, shoutbox, server, connect, name, false, log).outcome, RevertPublishOutcome::Done);
    EXPECT_EQ(Snapshot(home.filePath("live")), before);
    EXPECT_EQ(QFileInfo(live("cgi-bin/forum.cgi")).permissions() & 0x0777, 0x0700);
    EXPECT_EQ(RevertPublish(state, shoutbox, server, connect, name, false, log).outcome,
              RevertPublishOutcome::AlreadyReverted);
}

// Both jobs are handed their hack: another one selected meanwhile, of another board type, changes
// nothing, and a hack deleted meanwhile is reported and nothing is sent or put back.
TEST_F(PublishTest, PublishAndRevertActOnTheHackTheyAreHanded)
{
    SelectHack(AddHack("Another", 1)); // a vBulletin hack: other location folders
    ASSERT_EQ(Publish(), PublishOutcome::Done);
    EXPECT_TRUE(log.rows.front().Description.contains("Shoutbox"));
    const QString name = ListPublishBackups(home.path(), shoutbox, "live").at(0).name;
    const auto published = Snapshot(home.filePath("live"));

    state.Connection.Execute("DELETE FROM [HackInfo] WHERE [HackNum] = " + QString::number(shoutbox));
    EXPECT_EQ(RevertPublish(state, shoutbox, server, connect, name, false, log).outcome,
              RevertPublishOutcome::HackGone);
    EXPECT_EQ(Publish(), PublishOutcome::HackGone);
    EXPECT_EQ(log.rows.back().Description, "This hack is no longer in the database.");
    EXPECT_EQ(Snapshot(home.filePath("live")), published);
}

// Another job holding the program folder stops a publish and its revert before they connect; the
// refusal is in the result, for the window or the command line to show.
TEST_F(PublishTest, ABusyProgramFolderIsARefusalInTheResult)
{
    const JobLock other(state.ProgramFolder, std::chrono::milliseconds(0));
    state.JobLockWait = std::chrono::milliseconds(50);
    const PublishResult published = PublishInstallation(state, shoutbox, server, connect, {}, log, files);
    const RevertPublishResult reverted = RevertPublish(state, shoutbox, server, connect, "any", false, log);
    EXPECT_EQ(published.outcome, PublishOutcome::Failed);
    EXPECT_EQ(reverted.outcome, RevertPublishOutcome::Failed);
    for (const std::optional<UserMessage>& refusal : {published.message, reverted.message})
        EXPECT_TRUE(refusal.value_or(UserMessage()).text.startsWith("Another Zenpatch job is using "));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(log.rows.empty());
}

TEST_F(PublishTest, RevertLeavesAFileChangedSinceThePublishAlone)
{
    ASSERT_EQ(Publish(), PublishOutcome::Done);
    Write(live("cgi-bin/forum.cgi"), "edited after the publish\n");
    const QString name = ListPublishBackups(home.path(), shoutbox, "live").at(0).name;
    EXPECT_EQ(RevertPublish(state, shoutbox, server, connect, name, false, log).outcome, RevertPublishOutcome::Done);
    EXPECT_TRUE(log.AnyRed());
    EXPECT_EQ(Read(live("cgi-bin/forum.cgi")), "edited after the publish\n");
}

TEST_F(PublishTest, NeverWritesThroughALinkPlantedInTheServersFolder)
{
    const QString elsewhere = home.filePath("elsewhere");
    QDir().mkpath(elsewhere);
    QDir(live("html")).removeRecursively();
    QFile::link(elsewhere, live("html"));
    PublishOptions force;
    force.force = true;
    Publish(force);
    EXPECT_EQ(StateOf(Page), PublishState::Unsafe);
    EXPECT_TRUE(QDir(elsewhere).isEmpty());
}

TEST_F(PublishTest, TheCommandLineTrustsANewHostOnlyByTheFingerprintItIsGiven)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.filePath("user")); // ~/.ssh/known_hosts of its own
    environment.insert("ZENPATCH_HOME", home.path());
    const auto run = [&](const QStringList& arguments, QString* errors = nullptr) {
        QProcess cli;
        cli.setProcessEnvironment(environment);
        cli.start(ZENPATCH_CLI, arguments);
        cli.waitForFinished(60000);
        if (errors)
            *errors = QString::fromUtf8(cli.readAllStandardError());
        return cli.exitCode();
    };
    ASSERT_EQ(run({"servers",
                   "add",
                   "live",
                   "--host",
                   "127.0.0.1",
                   "--port",
                   QString::number(ssh->Port()),
                   "--user",
                   ssh->User(),
                   "--folder",
                   home.filePath("live"),
                   "--key",
                   ssh->ClientKey()}),
              0);
    QString errors;
    EXPECT_EQ(run({"publish", "Shoutbox", "--server", "live"}, &errors), 2);
    const QString fingerprint = QRegularExpression("SHA256:[A-Za-z0-9+/]+").match(errors).captured();
    ASSERT_FALSE(fingerprint.isEmpty()) << errors.toStdString();
    EXPECT_EQ(Read(live(Page)), Read(source + "/" + Page));
    EXPECT_EQ(run({"publish", "Shoutbox", "--server", "live", "--accept-host-key", "SHA256:other"}), 2);
    EXPECT_EQ(run({"publish", "Shoutbox", "--server", "live", "--accept-host-key", fingerprint}), 0);
    EXPECT_EQ(Read(live(Page)), Read(output + "/" + Page));
}

} // namespace
} // namespace zp::testing
