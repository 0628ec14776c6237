#include "core/catalogue_operations.h"
#include "database/sql.h"
#include "database/text_limit.h"
#include "program_folder_fixture.h"

#include <QProcess>
#include <sys/resource.h>

using namespace zp;

namespace {

struct CliRun
{
    int status;
    QString out;
    QString err;
};

class DatabaseCommandsTest : public ProgramFolderFixture
{
protected:
    // With `dataBytes`, the command may take no more memory than that for its data.
    CliRun Cli(const QStringList& arguments, rlim_t dataBytes = RLIM_INFINITY, const QString& home = {})
    {
        QProcess process;
        process.setChildProcessModifier([dataBytes] {
            const rlimit limit {dataBytes, dataBytes};
            setrlimit(RLIMIT_DATA, &limit);
        });
        process.start(ZENPATCH_CLI, QStringList {"--home", home.isEmpty() ? folder.path() : home} + arguments);
        process.waitForFinished(60000);
        return {process.exitCode(),
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
};

} // namespace

TEST_F(DatabaseCommandsTest, InitDbWritesANewDatabaseOnlyOnce)
{
    const QString path = folder.filePath("other/new.zpd");
    const CliRun first = Cli({"init-db", path});
    EXPECT_EQ(first.status, 0) << first.err.toStdString();
    Database db;
    EXPECT_NO_THROW(db.Open(path));
    const CliRun second = Cli({"init-db", path});
    EXPECT_EQ(second.status, 2);
    EXPECT_TRUE(second.err.contains("already exists"));

    // A home without a database says how to make one there.
    const QString empty = folder.filePath("empty home");
    const CliRun missing = Cli({"list"}, RLIM_INFINITY, empty);
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(
        missing.err.endsWith("; to start an empty one there, run: zenpatch-cli --home '" + empty + "' init-db\n"))
        << missing.err.toStdString();
    EXPECT_EQ(Cli({"init-db"}, RLIM_INFINITY, empty).status, 0);
    EXPECT_EQ(Cli({"list"}, RLIM_INFINITY, empty).status, 0);
}

TEST_F(DatabaseCommandsTest, ConfigSetValidatesLikeTheOptionsDialog)
{
    const CliRun refused = Cli({"config", "set", "SourceDir", folder.filePath("s"), "OutputDir", "/usr"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(refused.err.contains("it must be a subfolder.")) << refused.err.toStdString();

    const CliRun relative = Cli({"config", "set", "SourceDir", "s", "OutputDir", folder.filePath("o")});
    EXPECT_TRUE(relative.err.contains("Please enter the full path of the folder")) << relative.err.toStdString();
    EXPECT_FALSE(relative.err.contains("config set SourceDir DIR")); // no reminder while configuring

    const CliRun ours = Cli({"config", "set", "SourceDir", folder.filePath("s"), "OutputDir", folder.path()});
    EXPECT_EQ(ours.status, 2);
    EXPECT_TRUE(ours.err.contains("overlaps the program folder")) << ours.err.toStdString();

    const CliRun saved = Cli({"config", "set", "SourceDir", folder.filePath("s"), "OutputDir", folder.filePath("o")});
    EXPECT_EQ(saved.status, 0) << saved.err.toStdString();
    EXPECT_EQ(Cli({"config", "set", "cfgEOL", "1"}).status, 0);
    EXPECT_EQ(Cli({"config", "set", "Bogus", "1"}).status, 2);
    const CliRun shown = Cli({"config", "show"});
    EXPECT_TRUE(shown.out.contains("\ncfgEOL\t1\n"));
    EXPECT_TRUE(shown.out.startsWith("SourceDir\t" + folder.filePath("s") + "\n"));
}

TEST_F(DatabaseCommandsTest, ListShowAndDelete)
{
    for (const char* name : {"Zeta", "alpha"}) {
        CreateHack(state, [&](Recordset& hack) {
            hack.SetValue("Name", name);
            hack.SetValue("Version", "1.0");
        });
    }
    state.Connection.Execute(
        "INSERT INTO [HackFiles] ([HackNum], [FileName], [FileData]) VALUES (1, 'a.gif', x'0102')");
    state.Connection.Execute("INSERT INTO [HackData] ([HackNum], [ModOrder], [FileName], [ActionType], [ModInst]) "
                             "VALUES (1, 1, 'ubb.cgi', 4, 0)");

    EXPECT_EQ(Cli({"list"}).out, "2\talpha\t1.0\t\t0\t\t\n1\tZeta\t1.0\t\t1\t\t\n");
    state.Connection.Execute("UPDATE [HackInfo] SET [Comments] = 'Adds a Café box' WHERE [HackNum] = 1");
    EXPECT_EQ(Cli({"list", "--filter", "ZETA cafe"}).out, "1\tZeta\t1.0\t\t1\t\t\n");
    EXPECT_EQ(Cli({"list", "--filter", "zeta alpha"}).out, "");
    const CliRun shown = Cli({"show", "Zeta"});
    EXPECT_EQ(shown.status, 0);
    EXPECT_TRUE(shown.out.contains("Name: Zeta\n"));
    // A Null location is no location of the list.
    EXPECT_TRUE(shown.out.contains("1\tubb.cgi\t\t\tReplace\tAll\n")) << shown.out.toStdString();
    EXPECT_TRUE(shown.out.contains("a.gif\t\t\t2 bytes\n"));
    EXPECT_EQ(Cli({"show", "zeta"}).status, 2);
    // A vBulletin hack's locations are named as vBulletin's.
    state.Connection.Execute("UPDATE [HackInfo] SET [HackType] = 1 WHERE [HackNum] = 1");
    state.Connection.Execute("UPDATE [HackData] SET [PrimaryDir] = 1 WHERE [HackNum] = 1");
    EXPECT_TRUE(Cli({"show", "Zeta"}).out.contains("1\tubb.cgi\tAdmin\t\tReplace\tAll\n"));

    const CliRun declined = Cli({"delete", "1"});
    EXPECT_EQ(declined.status, 1);
    EXPECT_TRUE(declined.err.contains("Delete Hack: Are you sure you wish to delete this hack? No\n"));
    EXPECT_TRUE(declined.err.contains("not deleted"));
    EXPECT_EQ(CountRows(sql::SelectHackInfo), 2);
    EXPECT_EQ(Cli({"--yes", "delete", "1"}).status, 0);
    EXPECT_EQ(CountRows(sql::SelectHackInfo), 1);
    EXPECT_EQ(CountRows(sql::SelectHackData), 0);
}

// Less memory than the long texts alone would take. AddressSanitizer maps its shadow memory as data,
// so a sanitized build runs these commands without the limit; the release build checks it.
#ifdef __SANITIZE_ADDRESS__
constexpr rlim_t LessThanTheTexts = RLIM_INFINITY;
#else
constexpr rlim_t LessThanTheTexts = 96 << 20;
#endif

TEST_F(DatabaseCommandsTest, TextsTooLongToReadAreLeftUnreadByTheListAndRefusedWhereNeeded)
{
    for (const char* name : {"Huge", "Small"}) {
        CreateHack(state, [&](Recordset& hack) {
            hack.SetValue("Name", name);
            hack.SetValue("Version", "1.0");
        });
    }
    // 64 MiB and two characters of comments, written without holding them here.
    state.Connection.Execute("UPDATE [HackInfo] SET [Comments] = replace(hex(zeroblob(33554433)), '00', 'ab'), "
                             "[LastInstall] = 'then' WHERE [Name] = 'Huge'");

    EXPECT_EQ(Cli({"list"}, LessThanTheTexts).out, "1\tHuge\t1.0\t\t0\t\tthen\n2\tSmall\t1.0\t\t0\t\t\n");
    // The filter searches the other cells of such a hack.
    EXPECT_EQ(Cli({"list", "--filter", "huge"}, LessThanTheTexts).out, "1\tHuge\t1.0\t\t0\t\tthen\n");
    const CliRun shown = Cli({"show", "Huge"});
    EXPECT_EQ(shown.status, 2);
    EXPECT_EQ(shown.out, "");
    EXPECT_TRUE(shown.err.contains("zenpatch-cli: The texts of this hack in HackInfo are longer than 64 MiB; "
                                   "Zenpatch reads no text that long.\n"))
        << shown.err.toStdString();

    // A short field of that hack is still written, as an installation stamps it.
    Recordset hack(state.Connection);
    hack.Open("SELECT * FROM [HackInfo] WHERE [HackNum] = 1");
    hack.SetValue("LastInstall", "now");
    hack.Update();
    EXPECT_EQ(hack.Text("LastInstall"), "now");
    EXPECT_THROW(hack.Text("Comments"), TextTooLongError);

    // A mod is read whole with its hack's mods, and held to the same size.
    state.Connection.Execute("INSERT INTO [HackData] ([HackNum], [ModOrder], [FileName], [OldData]) "
                             "SELECT 2, 1, 'a.cgi', [Comments] FROM [HackInfo] WHERE [HackNum] = 1");
    EXPECT_TRUE(Cli({"show", "Small"}, LessThanTheTexts).err.contains("in HackData are longer than 64 MiB"));
}

TEST_F(DatabaseCommandsTest, UnconfiguredHomeSaysWhatToRunAndQuestionsShowTheAnswerTaken)
{
    CreateHack(state, [](Recordset& hack) { hack.SetValue("Name", "H"); });
    const CliRun list = Cli({"list"});
    EXPECT_EQ(list.status, 0);
    EXPECT_TRUE(list.err.contains("run: zenpatch-cli config set SourceDir DIR OutputDir DIR"));
    EXPECT_FALSE(list.err.contains("opening configuration window"));

    // The command line never opens a file manager, --yes or not: it says where the files are.
    const QString text = folder.filePath("text");
    const CliRun exported = Cli({"--yes", "export-text", "H", "--folder", text + "/", "--name", "h"});
    EXPECT_EQ(exported.status, 0) << exported.err.toStdString();
    EXPECT_TRUE(exported.err.contains(
        "Open output folder: Would you like to open the output folder now? No \u2014 the files are in " + text + "\n"))
        << exported.err.toStdString();
}

TEST_F(DatabaseCommandsTest, APathThatIsNotUtf8IsRefused)
{
    QProcess shell;
    shell.start("/bin/sh",
                {"-c",
                 "exec \"$0\" --home \"$1\" config set OutputDir \"$(printf '/tmp/out\\351put')\"",
                 ZENPATCH_CLI,
                 folder.path()});
    ASSERT_TRUE(shell.waitForFinished(60000));
    EXPECT_EQ(shell.exitCode(), 2);
    EXPECT_TRUE(QString::fromUtf8(shell.readAllStandardError())
                    .endsWith("zenpatch-cli: \"/tmp/out\\xe9put\" is not valid UTF-8, the system's file-name "
                              "encoding\n"));
    state.ConfigRecordset->ReOpen(sql::SelectConfig);
    EXPECT_TRUE(state.ConfigRecordset->IsNull("OutputDir"));
}

// Whatever a hack's fields hold, every printed cell and field stays one whole line, and a stored
// action code that is not an integer 0 to 5 never reads as an action.
TEST_F(DatabaseCommandsTest, PrintedFieldsNeverForgeOrCutALineAndUnknownActionsStayUnknown)
{
    CreateHack(state, [](Recordset& hack) {
        hack.SetValue("Name", QString("Forged\r\nLastInstall: 01-01-2000\tx"));
        hack.SetValue("Version", QString("1") + QChar(0) + "cut");
    });
    state.Connection.Execute("INSERT INTO [HackData] ([HackNum], [ModOrder], [FileName], [ActionType], [ModInst]) "
                             "VALUES (1, 1, 'a', 4294967296, 0), (1, 2, 'b', 'text', 0), (1, 3, 'c', NULL, 0), "
                             "(1, 4, 'd', x'04', 0), (1, 5, 'e', -1, 0)");

    EXPECT_EQ(Cli({"list"}).out, "1\tForged\\r\\nLastInstall: 01-01-2000\\tx\t1\\0cut\t\t0\t\t\n");
    const CliRun shown = Cli({"show", "1"});
    EXPECT_TRUE(shown.out.contains("\nName: Forged\\r\\nLastInstall: 01-01-2000\\tx\n")) << shown.out.toStdString();
    EXPECT_FALSE(shown.out.contains("\nLastInstall: 01-01-2000"));
    EXPECT_FALSE(shown.out.contains("Add Before")) << shown.out.toStdString();
    EXPECT_TRUE(shown.out.contains("1\ta\t\t\t4294967296\tAll\n")) << shown.out.toStdString();
}

// A program folder named by ZENPATCH_HOME, an encoder's output and an argument with a DEL byte are
// refused when they are not UTF-8, with every control byte escaped, and nothing is made.
TEST_F(DatabaseCommandsTest, NamesThatAreNotUtf8AreRefusedWhereverTheyComeFrom)
{
    const auto run = [this](const QString& script) {
        QProcess shell;
        shell.start("/bin/sh", {"-c", script, ZENPATCH_CLI, folder.path()});
        shell.waitForFinished(60000);
        return CliRun {shell.exitCode(), QString(), QString::fromUtf8(shell.readAllStandardError())};
    };
    const CliRun home = run("ZENPATCH_HOME=\"$1/h$(printf '\\351')\" exec \"$0\" init-db");
    EXPECT_EQ(home.status, 2);
    EXPECT_TRUE(home.err.contains("\"" + folder.path() + "/h\\xe9\" is not valid UTF-8")) << home.err.toStdString();
    const CliRun out = run("exec \"$0\" compress \"$0\" \"$1/o$(printf '\\351')\"");
    EXPECT_EQ(out.status, 2);
    EXPECT_TRUE(out.err.contains("/o\\xe9\" is not valid UTF-8")) << out.err.toStdString();
    const CliRun del = run("exec \"$0\" --home \"$1\" config set OutputDir \"$(printf '/tmp/\\177\\351')\"");
    EXPECT_TRUE(del.err.contains("\"/tmp/\\x7f\\xe9\" is not valid UTF-8")) << del.err.toStdString();
    EXPECT_EQ(QDir(folder.path()).entryList({"h*", "o*"}, QDir::AllEntries), QStringList {});
}
