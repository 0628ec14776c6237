#include "board_tree.h"

#include "install/modification_engine.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

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
    EXPECT_EQ(Cli({"install", "Cli", "--eol", "cr"}).status, 2);
    EXPECT_EQ(Cli({"install", "Nobody"}).status, 2);
    EXPECT_FALSE(Exists(output + "/cgi-bin/forum.cgi"));

    EXPECT_EQ(Cli({"install", QString::number(hack), "--delete-output", "--eol", "lf"}).status, 0);
    EXPECT_EQ(Read(output + "/cgi-bin/forum.cgi"), "y\n");
    EXPECT_FALSE(Exists(output + "/stale.txt"));
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
    Write(source + "/templates/menu.tmpl", "Caf\xe9\r\nmenu\r\n");
    Write(source + "/templates/bom.tmpl", "\xef\xbb\xbfhead\r\n\xc3\xa9t\xc3\xa9\r\n");
    const int hack = AddHack("Diff");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "two", "2");
    AddMod(hack, 2, "forum.cgi", 0, "", Insert, 1, "missing", "x", "needs 6");
    AddMod(hack, 3, "index.html", 1, "", AddAfter, 1, "<body>", "<p>hi</p>");
    AddMod(hack, 4, "menu.tmpl", 4, "", Append, 1, "menu", " \u00e9");
    AddMod(hack, 5, "bom.tmpl", 4, "", AddBefore, 1, "head", "\u00fc");
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
        EXPECT_EQ(written.size(), 5);
        for (const QString& file : written)
            EXPECT_EQ(Read(copy + "/" + file), Read(output + "/" + file)) << qPrintable(eol + " " + file);
    }
}

} // namespace
} // namespace zp::testing
