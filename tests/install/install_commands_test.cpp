#include "board_tree.h"

#include "install/modification_engine.h"

#include <QProcess>

namespace zp::testing {
namespace {

struct CliResult
{
    int status = -1;
    QString out;
};

class InstallCommandsTest : public BoardTree
{
protected:
    CliResult Cli(const QStringList& args)
    {
        QProcess cli;
        cli.start(ZENPATCH_CLI, QStringList {"--home", home.path()} + args);
        EXPECT_TRUE(cli.waitForFinished(30000));
        return {cli.exitCode(), QString::fromUtf8(cli.readAllStandardOutput())};
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

} // namespace
} // namespace zp::testing
