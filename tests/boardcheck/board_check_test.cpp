#include "board_tree.h"

#include "analysis/analysis_run.h"
#include "boardcheck/board_check.h"
#include "engine/modification_engine.h"

#include <QProcess>

namespace zp::testing {
namespace {

class BoardCheckTest : public BoardTree
{
protected:
    // Every file below the program folder (database, boards, output) with its bytes.
    std::map<QString, QByteArray> Snapshot()
    {
        std::map<QString, QByteArray> files;
        for (const QString& file : FilesBelow(home.path()))
            files[file] = Read(home.filePath(file));
        return files;
    }

    static QStringList Names(const std::vector<CheckedHack>& hacks)
    {
        QStringList names;
        for (const CheckedHack& hack : hacks)
            names << hack.Name;
        return names;
    }

    // The exit status; what it printed is left in `out`.
    int Cli(const QStringList& args)
    {
        QProcess cli;
        cli.start(ZENPATCH_CLI, QStringList {"--home", home.path()} + args);
        EXPECT_TRUE(cli.waitForFinished(30000));
        out = QString::fromUtf8(cli.readAllStandardOutput());
        return cli.exitCode();
    }

    QString out;
};

TEST_F(BoardCheckTest, UpgradeCheckTriesEachHackOverBothReleases)
{
    const QString release = home.filePath("release");
    Write(source + "/cgi-bin/forum.cgi", "<header>\r\nold footer\r\n");
    Write(release + "/cgi-bin/forum.cgi", "<header>\r\nnew footer\r\n");
    const QString longAnchor = "post" + QString(70, 'p');
    Write(source + "/cgi-bin/post.cgi", ("head\r\n" + longAnchor + "\r\n").toUtf8());
    Write(release + "/cgi-bin/posting.cgi", ("head\r\n" + longAnchor + "\r\n").toUtf8());
    const int chain = AddHack("Chain");
    AddMod(chain, 1, "forum.cgi", 0, "", Replace, 1, "<header>", "<header id=x>");
    AddMod(chain, 2, "forum.cgi", 0, "", AddAfter, 1, "<header id=x>", "<nav>", "needs the first");
    const int renamed = AddHack("Renamed");
    AddMod(renamed, 4, "post.cgi", 0, "", Replace, 1, longAnchor, "x", "post form");
    AddMod(renamed, 3, "post.cgi", 0, "", Append, 1, "head", "!");
    const int fixed = AddHack("Fixed");
    AddMod(fixed, 1, "forum.cgi", 0, "", Replace, 1, "new footer", "footer");
    const int broken = AddHack("Broken");
    AddMod(broken, 1, "forum.cgi", 0, "", Delete, 1, "nowhere", "");
    SelectHack(chain);
    RecordingLog analysis;
    ASSERT_FALSE(RunAnalysis(state, state.CurrentHackNum, analysis));
    EXPECT_TRUE(analysis.AnyRed()); // the analysis tries each mod alone
    const auto before = Snapshot();

    std::vector<std::pair<int, int>> progress;
    const UpgradeCheckResult result = RunUpgradeCheck(state, release, source, {}, {[&](int done, int total) {
                                                          progress.push_back({done, total});
                                                      }});
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(state.CurrentHackNum, chain);
    EXPECT_EQ(progress.front(), std::make_pair(0, 8));
    EXPECT_EQ(progress.back(), std::make_pair(8, 8));
    ASSERT_EQ(result.Rows.size(), 4u); // list order: by name
    std::vector<std::tuple<QString, int, int, int, QString>> rows;
    for (const UpgradeRow& row : result.Rows)
        rows.emplace_back(row.Hack.Name, row.Mods, row.ApplyNow, row.ApplyAfter, UpgradeVerdictText(row.Verdict));
    EXPECT_EQ(rows,
              (std::vector<std::tuple<QString, int, int, int, QString>> {{"Broken", 1, 0, 0, "already broken"},
                                                                         {"Chain", 2, 2, 2, "fits"},
                                                                         {"Fixed", 1, 0, 1, "fixed by upgrade"},
                                                                         {"Renamed", 2, 2, 0, "breaks on upgrade"}}));
    EXPECT_EQ(result.Rows[3].MissingAfter, QStringList {"cgi-bin/post.cgi"});
    ASSERT_EQ(result.Rows[3].Failing.size(), 2u);
    const FailingMod& failing = result.Rows[3].Failing[1];
    EXPECT_EQ(QStringList(
                  {failing.Hack, failing.FileName, failing.Action, QString::number(failing.ModOrder), failing.Comment}),
              QStringList({"Renamed", "post.cgi", "Replace", "4", "post form"}));
    EXPECT_EQ(failing.OldData, longAnchor.left(60));
    ASSERT_EQ(result.Rows[2].Failing.size(), 1u); // fixed: what fails now
    EXPECT_EQ(result.Rows[2].Failing[0].OldData, "new footer");
    EXPECT_FALSE(result.AllFit());

    std::atomic<bool> cancel {true};
    EXPECT_TRUE(RunUpgradeCheck(state, release, source, {chain}, {{}, &cancel}).Cancelled);
    EXPECT_TRUE(RunUpgradeCheck(state, release, source, {chain}).AllFit());
    EXPECT_EQ(Cli({"check-upgrade", "--source", release, "Chain"}), 0);
    EXPECT_EQ(Cli({"check-upgrade", "--source", release, "--format", "tsv"}), 1);
    EXPECT_TRUE(out.contains("\nRenamed\t2\t2\t0\tcgi-bin/post.cgi\tbreaks on upgrade")) << out.toStdString();
    EXPECT_EQ(Cli({"check-upgrade", "--source", home.filePath("none")}), 2);
    // A file given as the new release is refused, not taken for a board without files.
    const QString file = release + "/cgi-bin/forum.cgi";
    EXPECT_EQ(Cli({"check-upgrade", "--source", file}), 2);
    EXPECT_EQ(BoardFolderProblem(file), file + " is a file, not a folder.");
    EXPECT_EQ(Cli({"check-upgrade", "--format", "pdf"}), 2);
}

TEST_F(BoardCheckTest, ConflictCheckClassifiesEachPairThatSharesAFile)
{
    Write(source + "/cgi-bin/forum.cgi", "<anchor>\r\n<hook>\r\n<other>\r\n");
    Write(source + "/html/index.html", "<body>\r\n");
    const int first = AddHack("First");
    AddMod(first, 1, "forum.cgi", 0, "", AddAfter, 1, "<anchor>", "first");
    const int second = AddHack("Second");
    AddMod(second, 1, "forum.cgi", 0, "", AddAfter, 1, "<anchor>", "second");
    const int remover = AddHack("Remover");
    AddMod(remover, 1, "forum.cgi", 0, "", Delete, 1, "<hook>", "");
    const int user = AddHack("User");
    AddMod(user, 1, "forum.cgi", 0, "", AddAfter, 1, "<hook>", "uses it", "needs the hook");
    const int elsewhere = AddHack("Elsewhere");
    AddMod(elsewhere, 1, "forum.cgi", 0, "", AddBefore, 1, "<other>", "x");
    const int apart = AddHack("Apart");
    AddMod(apart, 1, "index.html", 1, "", Append, 1, "<body>", "!");
    const auto before = Snapshot();

    const ConflictCheckResult result
        = RunConflictCheck(state, source, {first, second, remover, user, elsewhere, apart, first});
    EXPECT_EQ(Snapshot(), before);
    std::map<std::pair<QString, QString>, QString> verdicts;
    for (const ConflictPair& pair : result.Pairs) {
        verdicts[{pair.First.Name, pair.Second.Name}] = PairVerdictText(pair);
        EXPECT_EQ(pair.SharedFiles, QStringList {"cgi-bin/forum.cgi"});
    }
    EXPECT_EQ(verdicts.size(), 10u); // Apart shares no file
    EXPECT_EQ((verdicts[{"First", "Second"}]), "order matters");
    EXPECT_EQ((verdicts[{"First", "Elsewhere"}]), "independent");
    EXPECT_EQ((verdicts[{"Remover", "User"}]), "Remover breaks User");
    const ConflictPair& broken = result.Pairs[7]; // Remover and User
    ASSERT_EQ(broken.Failing.size(), 1u);
    EXPECT_EQ(broken.Failing[0].Hack, "User");
    EXPECT_EQ(broken.Failing[0].Comment, "needs the hook");
    EXPECT_EQ(Names(result.SafeOrder), QStringList({"First", "Second", "User", "Remover", "Elsewhere", "Apart"}));
    EXPECT_TRUE(result.AnyBreaks());
    EXPECT_EQ(Cli({"conflicts", "First", "Second"}), 0);
    EXPECT_EQ(Cli({"conflicts", "Remover", "User"}), 1);
}

TEST_F(BoardCheckTest, InstallOrderAvoidsEveryBreakOrNamesACycle)
{
    Write(source + "/cgi-bin/forum.cgi", "<x>\r\n<y>\r\n<z>\r\n<p>\r\n<q>\r\n<r>\r\n");
    // Each hack needs its own anchor; X deletes Y's, Y deletes Z's: Z, then Y, then X.
    // P deletes Q's, Q deletes R's, R deletes P's: no order.
    std::map<QString, int> hack;
    for (const auto& [name, own, deletes] : {std::tuple {"X", "<x>", "<y>"},
                                             {"Y", "<y>", "<z>"},
                                             {"Z", "<z>", ""},
                                             {"P", "<p>", "<q>"},
                                             {"Q", "<q>", "<r>"},
                                             {"R", "<r>", "<p>"}}) {
        hack[name] = AddHack(name);
        AddMod(hack[name], 1, "forum.cgi", 0, "", AddAfter, 1, own, name);
        if (*deletes)
            AddMod(hack[name], 2, "forum.cgi", 0, "", Delete, 1, deletes, "");
    }

    const ConflictCheckResult safe = RunConflictCheck(state, source, {hack["X"], hack["Y"], hack["Z"]});
    EXPECT_EQ(Names(safe.SafeOrder), QStringList({"Z", "Y", "X"}));
    EXPECT_TRUE(safe.Cycle.empty());

    const ConflictCheckResult cycle = RunConflictCheck(state, source, {hack["P"], hack["Q"], hack["R"]});
    EXPECT_TRUE(cycle.SafeOrder.empty());
    // Each must come before the next: R before Q (Q deletes R's anchor), Q before P, P before R.
    QStringList names = Names(cycle.Cycle);
    ASSERT_EQ(names.size(), 4);
    EXPECT_EQ(names.front(), names.back());
    names.removeLast();
    while (names.front() != "R")
        names.append(names.takeFirst());
    EXPECT_EQ(names, QStringList({"R", "Q", "P"}));
}

} // namespace
} // namespace zp::testing
