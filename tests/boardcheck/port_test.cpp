#include "board_tree.h"

#include "boardcheck/hack_port.h"
#include "boardcheck/hack_trials.h"
#include "boardcheck/port_by_person.h"
#include "core/board_text.h"
#include "database/recordset.h"
#include "engine/modification_engine.h"
#include "install/trial_installation.h"

#include <QProcess>

namespace zp::testing {
namespace {

class PortTest : public BoardTree
{
protected:
    PortTest() { request.from = source, request.to = release; }

    void WriteBoth(const QString& file, const QString& from, const QString& to)
    {
        Write(source + "/cgi-bin/" + file, from.toUtf8());
        if (!to.isNull())
            Write(release + "/cgi-bin/" + file, to.toUtf8());
    }

    int HackCount()
    {
        Recordset hacks(state.Connection);
        hacks.Open("SELECT * FROM [HackInfo]");
        return hacks.RecordCount();
    }

    // The text of each board file the hack's trial installation over `root` wrote.
    std::map<QString, QString> Installed(int hack, const QString& root)
    {
        SelectHack(hack);
        TrialInstallation trial(root);
        TryHack(state, hack, trial);
        std::map<QString, QString> texts;
        for (const TrialInstallation::File& file : trial.Files())
            texts[file.relativePath] = DecodeBoardText(TrialInstallation::Bytes(file.workFile)).text;
        return texts;
    }

    QString release = home.filePath("release");
    PortRequest request;
};

TEST_F(PortTest, EachVerdictOnAHandMadeBoard)
{
    struct Case
    {
        QString from, to;
        int action;
        QString oldData;
        QString verdict, instance, detail;
        QString hackVerdict = "ported";
    };
    const std::vector<Case> cases {
        {"a\r\nb\r\nc\r\n", "top\r\na\r\nb\r\nc\r\n", AddAfter, "b", "unchanged", "1", ""},
        {"a\r\nb\r\nc\r\n", "b\r\nx\r\na\r\nb\r\nc\r\n", AddAfter, "b", "re-counted", "2", ""},
        {"a\r\nb\r\nc\r\n", "a2\r\nb\r\nc\r\n", AddAfter, "a\r\nb", "re-anchored", "1", "b"},
        {"a\r\nb\r\nc\r\n", "a\r\nb\r\nN\r\nc\r\n", AddAfter, "b", "already in release", "", ""},
        {"a\r\nb\r\nc\r\n",
         "a\r\nB2\r\nc\r\n",
         Replace,
         "b",
         "needs a person",
         "",
         "the release changed the lines it changes",
         "cannot port"},
        {"a\r\nb\r\nb",
         "b\r\nb\r\nb",
         AddAfter,
         "a\r\nb",
         "needs a person",
         "",
         "no anchor for it occurs once in the release",
         "cannot port"},
        {"a\r\nb\r\nc\r\n",
         QString(),
         AddAfter,
         "b",
         "needs a person",
         "",
         "the new release has no cgi-bin/f6.cgi (removed or renamed)",
         "cannot port"},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const QString file = QStringLiteral("f%1.cgi").arg(i);
        WriteBoth(file, cases[i].from, cases[i].to);
        AddMod(AddHack(QStringLiteral("Hack %1").arg(i)), 1, file, 0, "", cases[i].action, 1, cases[i].oldData, "N");
    }
    QDir().mkpath(release);
    const PortResult result = RunPort(state, request);
    ASSERT_EQ(result.Hacks.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(result.Hacks[i].Mods.size(), 1u);
        const PortedMod& mod = result.Hacks[i].Mods[0];
        EXPECT_EQ(ModVerdictText(mod.Verdict), cases[i].verdict);
        EXPECT_EQ(Carried(mod.Verdict) ? QString::number(mod.Mod.ModInst) : QString(), cases[i].instance);
        EXPECT_EQ(mod.Verdict == ModVerdict::Reanchored ? mod.Mod.OldData : mod.Reason, cases[i].detail);
        EXPECT_EQ(HackVerdictText(result.Hacks[i]), cases[i].hackVerdict) << result.Hacks[i].BrokenFile.toStdString();
    }
}

TEST_F(PortTest, AStoredHackStandsBesideItsOriginal)
{
    WriteBoth("forum.cgi", "a\r\nb\r\n", "top\r\na\r\nb\r\n");
    const int hack = AddHack("Polls");
    state.Connection.Execute("UPDATE [HackInfo] SET [Version] = '1.2', [Comments] = 'Adds polls.' WHERE [HackNum] = "
                             + QString::number(hack));
    AddMod(hack, 1, "forum.cgi", 0, "", AddAfter, 1, "a", "poll");
    AddSupportFile(hack, "poll.gif", 1, "", "GIF");
    request.store = true;
    request.label = "6.1";

    const PortResult result = RunPort(state, request);
    ASSERT_EQ(result.Hacks.size(), 1u);
    const int stored = result.Hacks[0].StoredAs;
    ASSERT_NE(stored, 0);
    Recordset info(state.Connection);
    info.Open("SELECT * FROM [HackInfo] WHERE [HackNum] = " + QString::number(stored));
    EXPECT_EQ(info.Text("Name"), "Polls");
    EXPECT_EQ(info.Text("Version"), "1.2 for 6.1");
    EXPECT_EQ(info.Text("Comments"),
              "Adds polls.\r\nPorted from Polls 1.2: 1 unchanged, 0 re-counted, 0 re-anchored, 0 already in release, 0 "
              "needs a person.");
    Recordset files(state.Connection);
    files.Open("SELECT * FROM [HackFiles] WHERE [HackNum] = " + QString::number(stored));
    EXPECT_EQ(files.RecordCount(), 1);
    EXPECT_EQ(HackCount(), 2);
}

TEST_F(PortTest, AFailedProofStoresNothing)
{
    // A release in Windows-1252 cannot hold the arrow the hack adds: the install writes '?'.
    Write(source + "/cgi-bin/forum.cgi", "a\r\nb\r\n");
    Write(release + "/cgi-bin/forum.cgi", "caf\xe9\r\na\r\nb\r\n");
    AddMod(AddHack("Arrows"), 1, "forum.cgi", 0, "", AddAfter, 1, "a", QString::fromUtf8("\u2192"));
    request.store = true;

    const PortResult result = RunPort(state, request);
    ASSERT_EQ(result.Hacks.size(), 1u);
    EXPECT_EQ(HackVerdictText(result.Hacks[0]), "cannot port");
    EXPECT_EQ(result.Hacks[0].BrokenFile, "cgi-bin/forum.cgi");
    EXPECT_EQ(HackCount(), 1);
}

TEST_F(PortTest, ACancelledRunStoresNothing)
{
    WriteBoth("forum.cgi", "a\r\nb\r\n", "a\r\nb\r\n");
    for (const QString name : {"One", "Two"})
        AddMod(AddHack(name), 1, "forum.cgi", 0, "", AddAfter, 1, "a", name);
    request.store = true;
    std::atomic<bool> cancel {false};
    const PortResult result = RunPort(state, request, {[&](int done, int) { cancel = done == 1; }, &cancel});
    EXPECT_TRUE(result.Cancelled);
    EXPECT_EQ(result.Hacks.size(), 1u);
    EXPECT_EQ(HackCount(), 2);
}

TEST_F(PortTest, AModAPersonWroteIsCarriedAsWritten)
{
    WriteBoth("forum.cgi", "a\r\nb\r\nc\r\n", "a\r\nB2\r\nc\r\n");
    const int hack = AddHack("Bold");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "b", "<b>b</b>");
    request.hacks = {hack};
    request.store = true;
    request.byPerson[{hack, 0}] = {Replace, 1, "B2", "<b>B2</b>", "forum.cgi", {}};

    const PortResult result = RunPort(state, request);
    ASSERT_EQ(result.Hacks.size(), 1u);
    EXPECT_EQ(ModVerdictText(result.Hacks[0].Mods[0].Verdict), "finished by a person");
    ASSERT_NE(result.Hacks[0].StoredAs, 0);
    EXPECT_EQ(Installed(result.Hacks[0].StoredAs, release)["cgi-bin/forum.cgi"], "a\r\n<b>B2</b>\r\nc\r\n");
}

TEST_F(PortTest, APersonSeesTheConflictAndTriesTheirModOnThatHackAloneStoringNothing)
{
    WriteBoth("forum.cgi", "a\r\nb\r\nc\r\n", "top\r\na\r\nB2\r\nc\r\n");
    AddMod(AddHack("Above"), 1, "forum.cgi", 0, "", AddBefore, 1, "a", "x");
    const int hack = AddHack("Bold");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "b", "<b>b</b>");
    const MergeTexts texts = PortMergeTexts(state, request, hack, "cgi-bin/forum.cgi");
    EXPECT_EQ(texts.base, "a\r\nb\r\nc\r\n");
    EXPECT_EQ(texts.ours, "a\r\n<b>b</b>\r\nc\r\n");
    EXPECT_EQ(texts.theirs, "top\r\na\r\nB2\r\nc\r\n");
    ASSERT_EQ(texts.conflicts.size(), 1u);
    const MergeConflict& lines = texts.conflicts[0];
    EXPECT_EQ(std::vector<int>({lines.base0, lines.base1, lines.ours0, lines.ours1, lines.theirs0, lines.theirs1}),
              std::vector<int>({1, 2, 1, 2, 2, 3}));

    request.store = true;
    for (const auto& [oldData, verdict] : {std::pair("zz", "cannot port"), std::pair("B2", "ported")}) {
        request.byPerson[{hack, 0}] = {Replace, 1, oldData, "<b>B2</b>", "forum.cgi", {}};
        const PortedHack ported = PortAgain(state, request, hack);
        EXPECT_EQ(ported.Hack.Name, "Bold");
        EXPECT_EQ(HackVerdictText(ported), verdict);
    }
    EXPECT_EQ(HackCount(), 2);
}

TEST_F(PortTest, TheCommandPrintsARowPerModAndTheHacksItStored)
{
    WriteBoth("forum.cgi", "a\r\nb\r\nc\r\n", "a\r\nB2\r\nc\r\n");
    AddMod(AddHack("Fits"), 1, "forum.cgi", 0, "", AddBefore, 1, "a", "top");
    const int clash = AddHack("Clash");
    AddMod(clash, 1, "forum.cgi", 0, "", Replace, 1, "b", "bb");
    const auto cli = [&](const QStringList& args, QString* out = nullptr) {
        QProcess run;
        run.start(ZENPATCH_CLI, QStringList {"--home", home.path(), "port", "--to", release, "--format", "tsv"} + args);
        EXPECT_TRUE(run.waitForFinished(30000));
        if (out)
            *out = QString::fromUtf8(run.readAllStandardOutput());
        return run.exitCode();
    };

    QString out;
    EXPECT_EQ(cli({"Fits", "--store", "--label", "7"}, &out), 0);
    EXPECT_EQ(out,
              "Hack\tVersion\tOrder\tFile\tAction\tVerdict\tInstance\tDetail\n"
              "Fits\t\t1\tcgi-bin/forum.cgi\tAdd Before\tunchanged\t1\t\n"
              "\nstored\t3\tFits\t for 7\n");
    EXPECT_EQ(cli({"Clash", "--store"}, &out), 1);
    EXPECT_FALSE(out.contains("stored"));
    EXPECT_EQ(cli({"--label"}), 2);
}

} // namespace
} // namespace zp::testing
