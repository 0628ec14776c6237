#include "board_tree.h"

#include "engine/modification_engine.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <map>
#include <unistd.h>

namespace zp::testing {
namespace {

struct CliResult
{
    int status = -1;
    QString out;
    QByteArray raw; // stdout as it came
    QString err;
};

class InstallCommandsTest : public BoardTree
{
protected:
    CliResult Cli(const QStringList& args)
    {
        QProcess cli;
        cli.start(ZENPATCH_CLI, QStringList {"--home", home.path()} + args);
        EXPECT_TRUE(cli.waitForFinished(30000));
        const QByteArray out = cli.readAllStandardOutput();
        return {cli.exitCode(), QString::fromUtf8(out), out, QString::fromUtf8(cli.readAllStandardError())};
    }
};

TEST_F(InstallCommandsTest, AnalyzePrintsTheRowsAndFailsOnARedOne)
{
    Write(source + "/cgi-bin/forum.cgi", "x\r\n");
    const int hack = AddHack("Cli");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
    AddMod(hack, 2, "forum.cgi", 0, "", Replace, 1, "y", "z", "after the first");

    const CliResult result = Cli({"analyze", "Cli"});
    EXPECT_EQ(result.status, 1);
    const QStringList lines = result.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith("\t\tBEGIN Analysis\tHack Name:Cli at "));
    EXPECT_EQ(lines[1], "forum.cgi\tReplace\tApplying Mod\tMod applied successfully");
    EXPECT_EQ(lines[2], "!forum.cgi\tReplace\tApplying Mod\tERROR: after the first");
    EXPECT_TRUE(lines[3].startsWith("\t\tEND Analysis\tHack Name:Cli at "));
}

TEST_F(InstallCommandsTest, InstallTakesItsOptionsFromTheFlags)
{
    Write(source + "/cgi-bin/forum.cgi", "x\r\n");
    Write(output + "/stale.txt", "");
    const int hack = AddHack("Cli");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");

    EXPECT_EQ(Cli({"install", "Cli", "--search-output", "--delete-output"}).status, 2);
    EXPECT_EQ(Cli({"install", "Cli", "--overwrite-source", "--delete-output"}).status, 2);
    EXPECT_EQ(Cli({"install", "Cli", "--eol", "cr"}).status, 2);
    EXPECT_EQ(Cli({"install", "Nobody"}).status, 2);
    EXPECT_FALSE(Exists(output + "/cgi-bin/forum.cgi"));

    EXPECT_EQ(Cli({"install", QString::number(hack), "--delete-output", "--eol", "lf"}).status, 0);
    EXPECT_EQ(Read(output + "/cgi-bin/forum.cgi"), "y\n");
    EXPECT_FALSE(Exists(output + "/stale.txt"));
}

TEST_F(InstallCommandsTest, AHackNumberBeyondSixteenBitsAddressesThatHackOnly)
{
    // 70000 and 4464 share their lower 16 bits.
    Write(source + "/cgi-bin/forum.cgi", "x\r\n");
    state.Connection.Execute("INSERT INTO sqlite_sequence (name, seq) VALUES ('HackInfo', 4463)");
    const int small = AddHack("Small");
    AddMod(small, 1, "forum.cgi", 0, "", Replace, 1, "x", "small");
    AddSupportFile(small, "small.txt", 0, "", "s");
    state.Connection.Execute("UPDATE sqlite_sequence SET seq = 69999 WHERE name = 'HackInfo'");
    const int big = AddHack("Big");
    ASSERT_EQ(small, 4464);
    ASSERT_EQ(big, 70000);
    AddMod(big, 1, "forum.cgi", 0, "", Replace, 1, "x", "big");
    AddSupportFile(big, "big.txt", 0, "", "b");

    const CliResult shown = Cli({"show", "70000"});
    EXPECT_TRUE(shown.out.contains("big.txt"));
    EXPECT_FALSE(shown.out.contains("small"));
    EXPECT_EQ(Cli({"install", "70000"}).status, 0);
    EXPECT_EQ(FilesBelow(output), QStringList({"cgi-bin/big.txt", "cgi-bin/forum.cgi"}));
    EXPECT_EQ(Read(output + "/cgi-bin/forum.cgi"), "big\r\n");

    EXPECT_EQ(Cli({"--yes", "delete", "70000"}).status, 0);
    Recordset left(state.Connection);
    left.Open("SELECT [HackNum] FROM [HackData] UNION ALL SELECT [HackNum] FROM [HackFiles] "
              "UNION ALL SELECT [HackNum] FROM [HackInfo]");
    EXPECT_EQ(left.RecordCount(), 3);
    for (; !left.EOF(); left.MoveNext())
        EXPECT_EQ(left.Int("HackNum"), small);
}

TEST_F(InstallCommandsTest, HaltedInstallExitsWithTwo)
{
    Write(home.filePath("plain"), "");
    const int hack = AddHack("Cli");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
    QProcess config;
    config.start(ZENPATCH_CLI, {"--home", home.path(), "config", "set", "OutputDir", home.filePath("plain/out")});
    ASSERT_TRUE(config.waitForFinished(30000));

    EXPECT_EQ(Cli({"install", "Cli"}).status, 2);
}

TEST_F(InstallCommandsTest, DiffPatchedOntoTheSourceGivesTheInstallsFilesAndWritesNothing)
{
    Write(source + "/cgi-bin/forum.cgi", "one\r\ntwo\r\nthree\r\n");
    Write(source + "/html/index.html", "<body>\n</body>\n");
    Write(source + "/templates/my menu.tmpl", "Caf\xe9\r\nmenu\r\n");
    Write(source + "/templates/bom.tmpl", "\xef\xbb\xbfhead\r\n\xc3\xa9t\xc3\xa9\r\n");
    const int hack = AddHack("Diff");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "two", "2");
    AddMod(hack, 2, "forum.cgi", 0, "", Insert, 1, "missing", "x", "needs 6");
    AddMod(hack, 3, "index.html", 1, "", AddAfter, 1, "<body>", "<p>hi</p>");
    AddMod(hack, 4, "my menu.tmpl", 4, "", Append, 1, "menu", " \u00e9");
    AddMod(hack, 5, "bom.tmpl", 4, "", AddBefore, 1, "head", "\u00fc");
    AddSupportFile(hack, "index.html", 0, "", "");
    AddSupportFile(hack, "new.cgi", 0, "", "#!/usr/bin/perl\nprint 1;\n");
    QTemporaryDir scratch;

    for (const QString eol : {"crlf", "lf"}) {
        const auto before = FilesBelow(home.path());
        const CliResult diff = Cli({"diff", "Diff", "--eol", eol});
        EXPECT_EQ(diff.status, 1);
        EXPECT_EQ(diff.err, "!forum.cgi\tInsert\tApplying Mod\tERROR: needs 6\n");
        EXPECT_EQ(FilesBelow(home.path()), before);
        const QString patchFile = scratch.filePath(eol + ".patch");
        EXPECT_EQ(Cli({"diff", "Diff", "--eol", eol, "--output", patchFile}).status, 1);
        EXPECT_EQ(Read(patchFile), diff.raw);

        const QString copy = scratch.filePath(eol);
        QDir().mkpath(copy);
        for (const QString& file : FilesBelow(source))
            Write(copy + "/" + file, Read(source + "/" + file));
        QProcess patch;
        patch.start("patch", {"-p1", "-s", "-d", copy, "-i", patchFile});
        ASSERT_TRUE(patch.waitForFinished(30000));
        EXPECT_EQ(patch.exitCode(), 0) << patch.readAll().toStdString();

        EXPECT_EQ(Cli({"install", "Diff", "--delete-output", "--eol", eol}).status, 1);
        const QStringList written = FilesBelow(output);
        EXPECT_EQ(written.size(), 6);
        EXPECT_EQ(FilesBelow(copy), written);
        for (const QString& file : written)
            EXPECT_EQ(Read(copy + "/" + file), Read(output + "/" + file)) << qPrintable(eol + " " + file);
    }
}

// Installs the hack "Over" over a board of three files, two of them changed by it.
class RevertCommandsTest : public InstallCommandsTest
{
protected:
    RevertCommandsTest()
    {
        Write(source + "/cgi-bin/forum.cgi", "x\r\n");
        Write(source + "/html/page.html", "<p>old</p>\r\n");
        Write(source + "/cgi-bin/keep.cgi", "untouched");
        hack = AddHack("Over");
        AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
        AddMod(hack, 2, "page.html", 1, "", Replace, 1, "old", "new");
        before = Snapshot();
        EXPECT_EQ(Cli({"install", "Over", "--overwrite-source"}).status, 0);
        installed = Snapshot();
        backup = QDir(home.filePath("backups")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).value(0);
    }

    std::map<QString, QByteArray> Snapshot()
    {
        std::map<QString, QByteArray> files;
        for (const QString& file : FilesBelow(source))
            files[file] = Read(source + '/' + file);
        return files;
    }

    int hack = 0;
    QString backup;
    std::map<QString, QByteArray> before, installed;
};

TEST_F(RevertCommandsTest, RevertRestoresTheTreeOnceAndListsTheBackupAsReverted)
{
    ASSERT_NE(before, installed);
    // The time as the list shows its stamps: "mm-dd-yyyy h:mmam".
    const QString day = QDateTime::fromString(backup.section('-', 1, 2), "yyyyMMdd-hhmmss").toString("MM-dd-yyyy");
    const QString listed = QString::number(hack) + "\tOver\t%1\t2\t%2\t" + backup + '\n';
    const QString backups = Cli({"backups", "Over"}).out;
    const QString time = backups.section('\t', 2, 2);
    EXPECT_TRUE(QRegularExpression("^" + day + " 1?[0-9]:[0-5][0-9][ap]m$").match(time).hasMatch())
        << time.toStdString();
    EXPECT_EQ(backups, listed.arg(time, "not reverted"));

    EXPECT_EQ(Cli({"revert", "Over", "--dry-run"}).status, 0);
    EXPECT_EQ(Snapshot(), installed);

    const CliResult reverted = Cli({"revert", "Over", "--backup", backup});
    EXPECT_EQ(reverted.status, 0);
    EXPECT_THAT(reverted.out.toStdString(), ::testing::HasSubstr("cgi-bin/forum.cgi\tRestore\tRestored\t"));
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(Cli({"backups"}).out, listed.arg(time, "reverted"));

    Write(source + "/cgi-bin/forum.cgi", "y\r\n"); // as installed, yet a second revert leaves it
    const CliResult again = Cli({"revert", "Over"});
    EXPECT_EQ(again.status, 0);
    EXPECT_THAT(again.err.toStdString(), ::testing::HasSubstr("has already been reverted. Nothing was changed."));
    EXPECT_EQ(Read(source + "/cgi-bin/forum.cgi"), "y\r\n");
    EXPECT_EQ(Cli({"revert", "Over", "--backup", "1-20000101-000000"}).status, 2);
}

TEST_F(RevertCommandsTest, AFileChangedSinceTheInstallationIsLeftAloneUnlessForced)
{
    Write(source + "/html/page.html", "edited by hand");
    const CliResult kept = Cli({"revert", "Over"});
    EXPECT_EQ(kept.status, 1);
    EXPECT_THAT(kept.out.toStdString(),
                ::testing::HasSubstr("!html/page.html\tRestore\tchanged since the installation\t"));
    EXPECT_EQ(Read(source + "/cgi-bin/forum.cgi"), "x\r\n");
    EXPECT_EQ(Read(source + "/html/page.html"), "edited by hand");

    EXPECT_EQ(Cli({"revert", "Over", "--force"}).status, 0);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(RevertCommandsTest, ACreatedFileIsRemovedAndAHostileManifestWritesNothing)
{
    const QString manifest = home.filePath("backups/" + backup + "/manifest.tsv");
    const QByteArray valid = Read(manifest);
    const QByteArray sum(64, 'a');
    Write(source + "/made.cgi", "made");
    const QByteArray made
        = "made.cgi\t\t" + QCryptographicHash::hash("made", QCryptographicHash::Sha256).toHex() + '\n';
    // The mark of a complete manifest ends it: rows after it make it damaged, not cut short.
    for (const QByteArray& row : {"../x\t\t" + sum + '\n',
                                  "/tmp/x\t\t" + sum + '\n',
                                  "a\\..\\..\\x\t\t" + sum + '\n',
                                  "# complete\nmore.cgi\t\t" + sum + '\n'}) {
        Write(manifest, valid.left(valid.indexOf('\n') + 1) + made + row);
        const CliResult refused = Cli({"revert", "Over", "--force"});
        EXPECT_EQ(refused.status, 2) << row.constData();
        EXPECT_THAT(refused.err.toStdString(), ::testing::HasSubstr("cannot be used"));
        EXPECT_TRUE(Exists(source + "/made.cgi"));
        EXPECT_EQ(Snapshot().size(), installed.size() + 1);
    }
    Write(manifest, valid.left(valid.indexOf('\n') + 1) + made);
    EXPECT_EQ(Cli({"revert", "Over"}).status, 0);
    EXPECT_EQ(Snapshot(), installed);
}

// Without --backup the newest backup of the hack is undone, even one made in the same second.
TEST_F(RevertCommandsTest, RevertWithoutABackupNameUndoesTheNewest)
{
    Write(source + "/cgi-bin/forum.cgi", "x2\r\n");
    EXPECT_EQ(Cli({"install", "Over", "--overwrite-source"}).status, 1); // page.html has no "old" now
    ASSERT_EQ(Read(source + "/cgi-bin/forum.cgi"), "y2\r\n");
    EXPECT_EQ(Cli({"revert", "Over"}).status, 0);
    EXPECT_EQ(Read(source + "/cgi-bin/forum.cgi"), "x2\r\n");
    EXPECT_EQ(Read(source + "/html/page.html"), "<p>new</p>\r\n");
}

TEST_F(RevertCommandsTest, ARestoredFileIsANewFileRenamedIntoPlace)
{
    // A hard link keeps the installed bytes only if the restore did not write into the file itself.
    ASSERT_EQ(::link(QFile::encodeName(source + "/cgi-bin/forum.cgi").constData(),
                     QFile::encodeName(home.filePath("installed.cgi")).constData()),
              0);
    EXPECT_EQ(Cli({"revert", "Over"}).status, 0);
    EXPECT_EQ(Read(source + "/cgi-bin/forum.cgi"), "x\r\n");
    EXPECT_EQ(Read(home.filePath("installed.cgi")), "y\r\n");
}

// "Swap" replaces the line x; "Follow" adds a line after it, so Swap installed first breaks Follow,
// and the safe order puts Follow first.
class SeveralHacksTest : public InstallCommandsTest
{
protected:
    SeveralHacksTest()
    {
        Write(source + "/cgi-bin/forum.cgi", "x\r\n");
        swap = AddHack("Swap");
        AddMod(swap, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
        follow = AddHack("Follow");
        AddMod(follow, 1, "forum.cgi", 0, "", AddAfter, 1, "x", "b");
    }

    int swap = 0, follow = 0;
};

TEST_F(SeveralHacksTest, EachHackInstallsOverTheOnesBeforeItInTheOrderChosen)
{
    const struct
    {
        QStringList hacks;
        QByteArray forum;
        int status;
        QString second; // the hack installed second
    } cases[] = {
        {{"Follow", "Swap"}, "y\r\nb\r\n", 0, "Swap"},
        {{"Swap", "Follow", "--order", "given"}, "y\r\n", 1, "Follow"},
        {{"Swap", "Follow", "--order", "safe"}, "y\r\nb\r\n", 0, "Swap"},
    };
    for (const auto& c : cases) {
        const CliResult result = Cli(QStringList {"install", "--delete-output"} + c.hacks);
        EXPECT_EQ(result.status, c.status) << qPrintable(c.hacks.join(' ') + result.err);
        EXPECT_EQ(Read(output + "/cgi-bin/forum.cgi"), c.forum) << qPrintable(c.hacks.join(' '));
        const QStringList named = result.out.split('\n').filter("BEGIN Installation\tHack Name:");
        ASSERT_EQ(named.size(), 2);
        EXPECT_TRUE(named[1].contains("Hack Name:" + c.second + " at ")) << qPrintable(named[1]);
    }
    EXPECT_EQ(Cli({"install", "Swap", "Follow", "--order", "best"}).status, 2);
}

TEST_F(SeveralHacksTest, AHackOrderWithACycleIsNamedAndNothingIsInstalled)
{
    const int other = AddHack("Other");
    AddMod(other, 1, "forum.cgi", 0, "", Replace, 1, "x", "z"); // each of Swap and Other breaks the other
    const CliResult result = Cli({"install", "Swap", "Other", "--order", "safe"});
    EXPECT_EQ(result.status, 2);
    EXPECT_THAT(result.err.toStdString(), ::testing::HasSubstr("no safe order: "));
    EXPECT_THAT(result.err.toStdString(), ::testing::HasSubstr("nothing was installed"));
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(FilesBelow(output), QStringList());
    EXPECT_EQ(Read(source + "/cgi-bin/forum.cgi"), "x\r\n");
}

TEST_F(SeveralHacksTest, OneRevertUndoesEveryHackOfARunOverTheSource)
{
    Write(source + "/html/page.html", "<p>old</p>\r\n");
    const int after = AddHack("After");
    AddMod(after, 1, "forum.cgi", 0, "", AddAfter, 1, "y", "b"); // finds only what Swap wrote
    AddMod(after, 2, "page.html", 1, "", Replace, 1, "old", "new");
    AddSupportFile(after, "made.txt", 1, "", "made");
    const QStringList before = FilesBelow(source);
    const QByteArray forum = Read(source + "/cgi-bin/forum.cgi");

    EXPECT_EQ(Cli({"install", "Swap", "After", "--overwrite-source"}).status, 0);
    EXPECT_EQ(Read(source + "/cgi-bin/forum.cgi"), "y\r\nb\r\n");
    EXPECT_EQ(Read(source + "/html/page.html"), "<p>new</p>\r\n");
    EXPECT_EQ(Read(source + "/html/made.txt"), "made");
    // One backup, listed for each hack of the run.
    const QString listed = Cli({"backups"}).out;
    EXPECT_EQ(listed.count('\n'), 1);
    EXPECT_EQ(Cli({"backups", "Swap"}).out, listed);
    EXPECT_EQ(Cli({"backups", "After"}).out, listed);

    const CliResult reverted = Cli({"revert", "After"});
    EXPECT_EQ(reverted.status, 0) << qPrintable(reverted.out);
    EXPECT_THAT(
        reverted.out.toStdString(),
        ::testing::HasSubstr(QString("Several Hacks\tThe backup keeps one installation of Swap (%1), After (%2):")
                                 .arg(swap)
                                 .arg(after)
                                 .toStdString()));
    EXPECT_EQ(FilesBelow(source), before);
    EXPECT_EQ(Read(source + "/cgi-bin/forum.cgi"), forum);
    EXPECT_EQ(Read(source + "/html/page.html"), "<p>old</p>\r\n");
    EXPECT_THAT(Cli({"backups", "Swap"}).out.toStdString(), ::testing::HasSubstr("\treverted\t"));
}

} // namespace
} // namespace zp::testing
