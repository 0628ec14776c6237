#include "board_tree.h"
#include "log_rows.h"

#include "analysis/analysis_run.h"
#include "engine/modification_engine.h"

#include <gmock/gmock.h>

namespace zp::testing {
namespace {

using ::testing::ElementsAre;

class AnalysisRunTest : public BoardTree
{
protected:
    RecordingLog log;

    std::vector<LogRow> Analyze()
    {
        const QStringList before = FilesBelow(home.path());
        RunAnalysis(state, state.CurrentHackNum, log);
        EXPECT_EQ(FilesBelow(home.path()), before);
        EXPECT_EQ(log.currentRow, log.RowCount() - 1);
        EXPECT_EQ(log.rows.front().Comment, "BEGIN Analysis");
        EXPECT_THAT(log.rows.front().Description, HackNameRow(QString("Trial")));
        EXPECT_EQ(log.rows.back().Comment, "END Analysis");
        EXPECT_THAT(log.rows.back().Description, HackNameRow(QString("Trial")));
        return {log.rows.begin() + 1, log.rows.end() - 1};
    }
};

TEST_F(AnalysisRunTest, EachModIsTriedOnTheUnchangedSource)
{
    Write(source + "/cgi-bin/forum.cgi", "# hook\r\n# hook\r\n");
    const int hack = AddHack("Trial");
    AddMod(hack, 1, "forum.cgi", 0, "", AddBefore, 0, "# HOOK", "added()");
    AddMod(hack, 2, "forum.cgi", 0, "", Replace, 1, "added()", "x", "needs the first mod");
    AddMod(hack, 3, "forum.cgi", 0, "", Delete, 2, "# hook", "");
    AddMod(hack, 4, "forum.cgi", 0, "", Delete, 3, "# hook", "", "third hook");

    EXPECT_THAT(Analyze(),
                ElementsAre(Found("forum.cgi", "Add Before"),
                            Row("forum.cgi",
                                "Replace",
                                "Applying Mod",
                                "ERROR: needs the first mod",
                                true,
                                "old data not found in forum.cgi"),
                            Found("forum.cgi", "Delete"),
                            Row("forum.cgi",
                                "Delete",
                                "Applying Mod",
                                "ERROR: third hook",
                                true,
                                "only 2 occurrences, the 3rd was asked")));
    EXPECT_EQ(Read(source + "/cgi-bin/forum.cgi"), "# hook\r\n# hook\r\n");
}

TEST_F(AnalysisRunTest, MissingFolderMissingFileAndFileInASubfolder)
{
    Write(source + "/templates/deep/page.tmpl", "<p>");
    Write(source + "/cgi-bin/other.cgi", "");
    const int hack = AddHack("Trial");
    AddMod(hack, 1, "absent.cgi", 0, "/nothere", Replace, 1, "x", "y");
    AddMod(hack, 2, "gone.cgi", 0, "", Replace, 1, "x", "y");
    AddMod(hack, 3, "page.tmpl", 4, "", Append, 1, "<P>", "!");

    EXPECT_THAT(Analyze(),
                ElementsAre(Row("", "", "Missing Directory", source + "/cgi-bin/nothere", true),
                            Row("gone.cgi", "", "File not found", source + "/cgi-bin", true),
                            Found("page.tmpl", "Append")));
}

TEST_F(AnalysisRunTest, OneNameInTwoLocationsIsTwoFiles)
{
    Write(source + "/cgi-bin/common.txt", "alpha\r\n");
    Write(source + "/templates/common.txt", "beta\r\n");
    const int hack = AddHack("Trial");
    AddMod(hack, 1, "common.txt", 0, "", Replace, 1, "alpha", "1");
    AddMod(hack, 2, "common.txt", 4, "", Replace, 1, "beta", "2");
    AddMod(hack, 3, "common.txt", 0, "", Replace, 1, "beta", "3", "not in cgi-bin");

    EXPECT_THAT(Analyze(),
                ElementsAre(Found("common.txt", "Replace"),
                            Found("common.txt", "Replace"),
                            Row("common.txt",
                                "Replace",
                                "Applying Mod",
                                "ERROR: not in cgi-bin",
                                true,
                                "old data not found in common.txt")));
}

// The files are read side by side and the first, large one is done last: the rows still follow the
// mods, the missing file's row in its place.
TEST_F(AnalysisRunTest, RowsFollowTheModsWhicheverFileIsDoneFirst)
{
    Write(source + "/cgi-bin/f0.cgi", QByteArray("x = 1;\r\n").repeated(400000) + "# hook\r\n");
    Write(source + "/cgi-bin/f1.cgi", "# hook\r\n");
    Write(source + "/cgi-bin/f3.cgi", "nothing here\r\n");
    const int hack = AddHack("Trial");
    for (int n = 0; n < 4; ++n)
        AddMod(hack, n + 1, QString("f%1.cgi").arg(n), 0, "", AddAfter, 1, "# hook", "added()", "no hook");

    EXPECT_THAT(
        Analyze(),
        ElementsAre(
            Found("f0.cgi", "Add After"),
            Found("f1.cgi", "Add After"),
            Row("f2.cgi", "", "File not found", source + "/cgi-bin", true),
            Row("f3.cgi", "Add After", "Applying Mod", "ERROR: no hook", true, "old data not found in f3.cgi")));
}

TEST_F(AnalysisRunTest, SupportFilesAreListedNotWritten)
{
    Write(source + "/cgi-bin/forum.cgi", "x");
    const int hack = AddHack("Trial");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
    AddSupportFile(hack, "b.gif", 3, "", "GIF");
    AddSupportFile(hack, "a.pl", 0, "../..", "perl");

    EXPECT_THAT(Analyze(),
                ElementsAre(Found("forum.cgi", "Replace"),
                            Row("", "", "Exporting Support Files", ""),
                            Row("a.pl", "Export", "Export Complete", "Export Successful"),
                            Row("b.gif", "Export", "Export Complete", "Export Successful")));
}

TEST_F(AnalysisRunTest, HackWithoutModsHalts)
{
    AddHack("Trial");
    RunAnalysis(state, state.CurrentHackNum, log);
    ASSERT_EQ(log.rows.size(), 2u);
    EXPECT_EQ(log.rows[1], Row("", "", "HALT Analysis", "No modifications to process."));
}

TEST_F(AnalysisRunTest, TraversalInTheModsFolderIsRefused)
{
    Write(home.filePath("secret.cgi"), "x");
    const int hack = AddHack("Trial");
    AddMod(hack, 1, "secret.cgi", 0, "/../..", Replace, 1, "x", "y");

    const std::vector<LogRow> steps = Analyze();
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_TRUE(steps[0].red);
    EXPECT_EQ(steps[0].Comment, "Unsafe Path");
}

} // namespace
} // namespace zp::testing
