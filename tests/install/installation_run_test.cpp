#include "board_tree.h"
#include "log_rows.h"

#include "analysis/analysis_run.h"
#include "app/job_lock.h"
#include "app/worker_threads.h"
#include "database/recordset.h"
#include "engine/modification_engine.h"
#include "install/installation_run.h"
#include "install/revert_installation.h"
#include "install/trial_installation.h"
#include "interchange/text_export.h"

#include <QDir>
#include <QFileInfo>
#include <gmock/gmock.h>
#include <sys/stat.h>

namespace zp::testing {
namespace {

using ::testing::ElementsAre;

class TestHost : public InstallationHost
{
public:
    bool searchOutput = false, deleteOutput = false, overwrite = false, lf = false;
    QStringList notes;

    bool SearchOutputFirst() const override { return searchOutput; }
    bool DeleteOutputFirst() const override { return deleteOutput; }
    bool OverwriteSource() const override { return overwrite; }
    bool LfLineEnds() const override { return lf; }
    void AppendInstructionLine(const QString& text) override { notes << text; }
};

class InstallationRunTest : public BoardTree
{
protected:
    TestHost host;
    RecordingLog log;

    // An installation as its window runs it: the run, then the message of a halt shown.
    InstallOutcome Install()
    {
        const InstallResult result = RunInstallation(state, state.CurrentHackNum, host, log);
        ShowMessage(dialogs, result.message);
        return result.outcome;
    }

    // The rows between "BEGIN Installation" and "END Installation".
    std::vector<LogRow> Steps()
    {
        EXPECT_GE(log.rows.size(), 2u);
        EXPECT_EQ(log.rows.front().Comment, "BEGIN Installation");
        EXPECT_EQ(log.rows.back().Comment, "END Installation");
        return {log.rows.begin() + 1, log.rows.end() - 1};
    }

    QString LastInstall(int hack)
    {
        Recordset info(state.Connection);
        info.Open("SELECT * FROM [HackInfo] WHERE [HackNum] = " + QString::number(hack));
        return info.Text("LastInstall");
    }

    // The descriptions of the red "Unsafe Path" rows.
    QStringList UnsafeRows() const
    {
        QStringList found;
        for (const LogRow& row : log.rows) {
            if (row.red && row.Comment == "Unsafe Path")
                found << row.Description;
        }
        return found;
    }

    // Every file below a folder with its bytes.
    std::map<QString, QByteArray> Snapshot(const QString& folder)
    {
        std::map<QString, QByteArray> files;
        for (const QString& file : FilesBelow(folder))
            files[file] = Read(folder + "/" + file);
        return files;
    }

    void Link(const QString& target, const QString& link)
    {
        QDir().mkpath(QFileInfo(link).path());
        ASSERT_TRUE(QFile::link(target, link));
    }
};

TEST_F(InstallationRunTest, ModsOfOneFileApplyInOrderToOneBuffer)
{
    Write(source + "/cgi-bin/forum.cgi", "line one\r\n# hook\r\nline three\r\n");
    const int hack = AddHack("Hooks");
    AddMod(hack, 1, "forum.cgi", 0, "", AddAfter, 1, "# hook", "added()");
    AddMod(hack, 2, "forum.cgi", 0, "", Replace, 1, "ADDED()", "changed()");
    AddMod(hack, 3, "forum.cgi", 0, "", Delete, 0, "line one", "");
    AddMod(hack, 4, "forum.cgi", 0, "", Insert, 1, "missing", "x", "needs version 6");

    EXPECT_EQ(Install(), InstallOutcome::Completed);
    EXPECT_EQ(Read(output + "/cgi-bin/forum.cgi"), "# hook\r\nchanged()\r\nline three\r\n");
    EXPECT_EQ(Read(source + "/cgi-bin/forum.cgi"), "line one\r\n# hook\r\nline three\r\n");
    EXPECT_THAT(log.rows.front().Description, HackNameRow(QString("Hooks")));
    EXPECT_THAT(log.rows.back().Description, HackNameRow(QString("Hooks")));
    EXPECT_THAT(Steps(),
                ElementsAre(Found("forum.cgi", "Add After"),
                            Found("forum.cgi", "Replace"),
                            Found("forum.cgi", "Delete"),
                            Row("forum.cgi",
                                "Insert",
                                "Applying Mod",
                                "ERROR: needs version 6",
                                true,
                                "old data not found in forum.cgi")));
    EXPECT_EQ(log.currentRow, 0);
    EXPECT_FALSE(Exists(home.filePath("zpk_inst_temp")));
    EXPECT_THAT(LastInstall(hack).toStdString(),
                ::testing::MatchesRegex("[0-9]{2}-[0-9]{2}-[0-9]{4} [0-9]+:[0-9]{2}[ap]m"));
}

// A log that keeps every board file thread busy until the run first waits for a file, so that no
// file is done before the run asks for it.
class HeldThreadsLog : public RecordingLog
{
public:
    HeldThreadsLog()
    {
        for (int i = 0; i < BoardFileThreads(); ++i)
            held_.push_back(BoardFileWorkers().Run([released = released_] { released.wait(); }));
    }
    ~HeldThreadsLog() override
    {
        ProcessEvents();
        for (std::future<void>& thread : held_)
            thread.wait();
    }
    void ProcessEvents() override
    {
        if (!std::exchange(releasedOnce_, true))
            release_.set_value();
    }

private:
    bool releasedOnce_ = false;
    std::promise<void> release_;
    std::shared_future<void> released_ = release_.get_future().share();
    std::vector<std::future<void>> held_;
};

TEST_F(InstallationRunTest, SameNameInTwoLocationsKeepsEachFilesChanges)
{
    Write(source + "/cgi-bin/common.txt", "A\r\n");
    Write(source + "/templates/common.txt", "A\r\n");
    const int hack = AddHack("Twins");
    AddMod(hack, 1, "common.txt", 0, "", Append, 1, "A", "1");
    AddMod(hack, 2, "common.txt", 4, "", Append, 1, "A", "2");
    AddMod(hack, 3, "common.txt", 0, "", Append, 1, "A1", "3");

    // The file that comes up again waits for its earlier work, however late that is done.
    HeldThreadsLog held;
    EXPECT_EQ(RunInstallation(state, hack, host, held).outcome, InstallOutcome::Completed);
    EXPECT_FALSE(held.AnyRed());
    EXPECT_EQ(Read(output + "/cgi-bin/common.txt"), "A13\r\n");
    EXPECT_EQ(Read(output + "/templates/common.txt"), "A2\r\n");
}

TEST_F(InstallationRunTest, SearchingTheOutputFirstBuildsOnAnEarlierInstall)
{
    Write(source + "/html/index.html", "<body>\r\n");
    const int first = AddHack("First");
    AddMod(first, 1, "index.html", 1, "", AddAfter, 1, "<body>", "<first/>");
    EXPECT_EQ(Install(), InstallOutcome::Completed);

    const int second = AddHack("Second");
    AddMod(second, 1, "index.html", 1, "", AddAfter, 1, "<first/>", "<second/>");
    host.searchOutput = true;
    EXPECT_EQ(Install(), InstallOutcome::Completed);
    EXPECT_EQ(Read(output + "/html/index.html"), "<body>\r\n<first/>\r\n<second/>\r\n");
    EXPECT_FALSE(log.AnyRed());
}

TEST_F(InstallationRunTest, DeletingTheOutputFirstLeavesOnlyThisHacksFiles)
{
    Write(output + "/stale.txt", "old");
    Write(source + "/cgi-bin/forum.cgi", "x\r\n");
    const int hack = AddHack("Fresh");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
    host.deleteOutput = true;

    EXPECT_EQ(Install(), InstallOutcome::Completed);
    EXPECT_EQ(FilesBelow(output), QStringList {"cgi-bin/forum.cgi"});
    EXPECT_EQ(log.rows[1], Row("", "", "Missing Directory", "Created Output directory: " + output));
}

TEST_F(InstallationRunTest, DeletingTheOutputNeverEmptiesAFolderOfOursWhateverTheConfigurationSays)
{
    Write(source + "/cgi-bin/forum.cgi", "x\r\n");
    Write(home.filePath("backups/1-20000101-000000/manifest.tsv"), "kept");
    const int hack = AddHack("Wipe");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
    Link(home.path(), home.filePath("alias"));
    host.deleteOutput = true;
    for (const QString& folder : {home.path(), home.filePath("alias/"), home.filePath("backups"), source}) {
        state.OutputDir = folder; // as a database written by hand or an older version may hold it
        dialogs.messages.clear();
        EXPECT_EQ(Install(), InstallOutcome::Halted) << folder.toStdString();
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_TRUE(dialogs.messages[0].text.startsWith("The output folder " + QDir::cleanPath(folder)
                                                        + " was not deleted: it overlaps the "));
        EXPECT_TRUE(QFile::exists(home.filePath("zpatch.zpd")));
        EXPECT_EQ(Read(home.filePath("backups/1-20000101-000000/manifest.tsv")), "kept");
        EXPECT_EQ(Read(source + "/cgi-bin/forum.cgi"), "x\r\n");
    }
}

TEST_F(InstallationRunTest, AnOutputFolderThatIsALinkStaysALinkWhicheverWayItIsTyped)
{
    Write(source + "/cgi-bin/forum.cgi", "x\r\n");
    const int hack = AddHack("Linked");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
    const QString target = home.filePath("real-out");
    const QString link = home.filePath("linked-out");
    QDir().mkpath(target);
    Link(target, link);
    host.deleteOutput = true;
    for (const QString& spelling : {link, link + "/"}) {
        Write(target + "/stale/old.txt", "old");
        state.OutputDir = spelling;
        EXPECT_EQ(Install(), InstallOutcome::Completed) << spelling.toStdString();
        EXPECT_TRUE(QFileInfo(link).isSymLink());
        EXPECT_EQ(FilesBelow(target), QStringList {"cgi-bin/forum.cgi"});
    }
}

TEST_F(InstallationRunTest, OverwritingTheSourceBacksUpWhatItReplaces)
{
    Write(source + "/cgi-bin/forum.cgi", "x\r\n");
    Write(source + "/cgi-bin/other.cgi", "untouched");
    const int hack = AddHack("Over");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
    AddSupportFile(hack, "new.cgi", 0, "", "support");
    host.overwrite = true;

    EXPECT_EQ(Install(), InstallOutcome::Completed);
    EXPECT_EQ(Read(source + "/cgi-bin/forum.cgi"), "y\r\n");
    EXPECT_EQ(Read(source + "/cgi-bin/other.cgi"), "untouched");
    // The support file goes where the board files go, never to the output folder alone.
    EXPECT_EQ(Read(source + "/cgi-bin/new.cgi"), "support");
    EXPECT_EQ(FilesBelow(output), QStringList {});

    const QStringList backups = QDir(home.filePath("backups")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(backups.size(), 1);
    EXPECT_THAT(backups[0].toStdString(),
                ::testing::MatchesRegex(QString::number(hack).toStdString() + "-[0-9]{8}-[0-9]{6}"));
    const QString backup = home.filePath("backups/" + backups[0]);
    EXPECT_EQ(FilesBelow(backup), QStringList({"cgi-bin/forum.cgi", "manifest.tsv"}));
    EXPECT_EQ(Read(backup + "/cgi-bin/forum.cgi"), "x\r\n");
    EXPECT_EQ(Read(backup + "/manifest.tsv"),
              "path\tsha256-before\tsha256-after\n"
              "cgi-bin/forum.cgi\tb35e09fa2ced9ebcad9d16336fb961146fe34bfbebc562679da85f8a314c9dca\t"
              "800b87f104390f5654b4fe07fbba8a39f17555153b03db728b69bf1b66bd7b65\n"
              "cgi-bin/new.cgi\t\ta18603086e5bdf9df88ccc9f5a083fed093e819976e87456b74dafcbd7011114\n"
              "# complete\n");
    const LogRow backupRow = Row("", "", "Backup Source Files", "Replaced source files backed up to: " + backup);
    EXPECT_NE(std::find(log.rows.begin(), log.rows.end(), backupRow), log.rows.end());

    // A revert takes the support file away again with the board file's change.
    RecordingLog revertLog;
    EXPECT_EQ(RevertInstallation(state, state.CurrentHackNum, backups[0], {}, revertLog).outcome, RevertOutcome::Done);
    EXPECT_EQ(Snapshot(source),
              (std::map<QString, QByteArray> {{"cgi-bin/forum.cgi", "x\r\n"}, {"cgi-bin/other.cgi", "untouched"}}));
}

// The files of a run are made durable together and then renamed: after a run with many files each
// one is in place with its new bytes, each replaced one is in the backup, and no temporary file is left.
TEST_F(InstallationRunTest, ARunWithManyFilesPlacesEveryOneWhole)
{
    const int hack = AddHack("Many");
    std::map<QString, QByteArray> expected, backedUp;
    for (int i = 0; i < 20; ++i) {
        const QString name = QString("f%1.cgi").arg(i);
        Write(source + "/cgi-bin/" + name, "x" + QByteArray::number(i) + "\r\n");
        AddMod(hack, i + 1, name, 0, "", Replace, 1, "x", "y");
        AddSupportFile(hack, QString("s%1.txt").arg(i), 0, "", "support " + QByteArray::number(i));
        expected["cgi-bin/" + name] = "y" + QByteArray::number(i) + "\r\n";
        expected[QString("cgi-bin/s%1.txt").arg(i)] = "support " + QByteArray::number(i);
        backedUp["cgi-bin/" + name] = "x" + QByteArray::number(i) + "\r\n";
    }
    EXPECT_EQ(Install(), InstallOutcome::Completed);
    EXPECT_EQ(Snapshot(output), expected);
    host.overwrite = true;
    EXPECT_EQ(Install(), InstallOutcome::Completed);
    EXPECT_EQ(Snapshot(source), expected);
    const QString backup = home.filePath(
        "backups/" + QDir(home.filePath("backups")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).value(0));
    std::map<QString, QByteArray> copies = Snapshot(backup);
    copies.erase("manifest.tsv");
    EXPECT_EQ(copies, backedUp);
    EXPECT_EQ(QDir(source + "/cgi-bin").entryList({".zenpatch-*"}, QDir::Files | QDir::Hidden), QStringList {});
}

TEST_F(InstallationRunTest, OverwritingTheSourceNeitherEmptiesNorMakesTheOutputFolder)
{
    Write(source + "/cgi-bin/forum.cgi", "x\r\n");
    const int hack = AddHack("Over");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
    host.overwrite = true;
    host.deleteOutput = true;

    Write(output + "/earlier.cgi", "an earlier installation");
    EXPECT_EQ(Install(), InstallOutcome::Completed);
    EXPECT_EQ(FilesBelow(output), QStringList {"earlier.cgi"});

    QDir(output).removeRecursively();
    EXPECT_EQ(Install(), InstallOutcome::Completed);
    EXPECT_FALSE(Exists(output));
}

// A support file in a folder the board did not have: the revert takes the folders away again,
// innermost first, and leaves one that holds anything else and one the board had.
TEST_F(InstallationRunTest, RevertRemovesTheFoldersTheInstallationMadeOnceEmpty)
{
    Write(source + "/cgi-bin/forum.cgi", "x\r\n");
    QDir().mkpath(source + "/html");
    const int hack = AddHack("Over");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
    AddSupportFile(hack, "a.txt", 1, "notes/deep", "a");
    AddSupportFile(hack, "b.txt", 4, "kept", "b");
    host.overwrite = true;
    EXPECT_EQ(Install(), InstallOutcome::Completed);
    Write(source + "/templates/kept/mine.txt", "added by hand");

    RecordingLog revertLog;
    const QString backup = ListBackups(home.path()).at(0).name;
    EXPECT_EQ(RevertInstallation(state, state.CurrentHackNum, backup, {}, revertLog).outcome, RevertOutcome::Done);
    const auto rowOf = [&revertLog](const QString& file) {
        return std::find_if(revertLog.rows.begin(),
                            revertLog.rows.end(),
                            [&](const LogRow& row) { return row.Filename == file; })
            - revertLog.rows.begin();
    };
    EXPECT_LT(rowOf("html/notes/deep/"), rowOf("html/notes/"));
    EXPECT_EQ(revertLog.rows.at(rowOf("html/notes/")), Row("html/notes/", "Remove", "Removed", source + "/html/notes"));
    EXPECT_FALSE(revertLog.AnyRed());
    EXPECT_TRUE(QFileInfo(source + "/html").isDir() && QDir(source + "/html").isEmpty()); // the board had it
    EXPECT_EQ(FilesBelow(source), QStringList({"cgi-bin/forum.cgi", "templates/kept/mine.txt"}));
}

// A manifest written before folders were listed reverts its files as it always did.
TEST_F(InstallationRunTest, AManifestWithoutFolderRowsStillReverts)
{
    Write(source + "/cgi-bin/forum.cgi", "x\r\n");
    const int hack = AddHack("Over");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
    AddSupportFile(hack, "a.txt", 1, "notes", "a");
    host.overwrite = true;
    EXPECT_EQ(Install(), InstallOutcome::Completed);
    const QString backup = ListBackups(home.path()).at(0).name;
    const QString manifest = home.filePath("backups/" + backup + "/manifest.tsv");
    QByteArray files;
    for (const QByteArray& line : Read(manifest).split('\n')) {
        if (!line.endsWith("/\t\t"))
            files += line + '\n';
    }
    ASSERT_NE(files.size(), Read(manifest).size());
    Write(manifest, files.chopped(1));

    RecordingLog revertLog;
    EXPECT_EQ(RevertInstallation(state, state.CurrentHackNum, backup, {}, revertLog).outcome, RevertOutcome::Done);
    EXPECT_EQ(Read(source + "/cgi-bin/forum.cgi"), "x\r\n");
    EXPECT_EQ(FilesBelow(source + "/html"), QStringList {});
    EXPECT_TRUE(Exists(source + "/html/notes"));
}

TEST_F(InstallationRunTest, BackupsAreListedNewestFirst)
{
    for (const QString name : {"7-20240101-120000", "7-20250101-000000", "7-20240101-120000-2", "8-20260101-000000"})
        QDir().mkpath(home.filePath("backups/" + name));
    QStringList names;
    for (const BackupInfo& backup : ListBackups(home.path(), 7))
        names << backup.name;
    EXPECT_EQ(names, QStringList({"7-20250101-000000", "7-20240101-120000-2", "7-20240101-120000"}));
}

TEST_F(InstallationRunTest, TheManifestListsOnlyTheFilesReallyReplaced)
{
    Write(source + "/cgi-bin/forum.cgi", "x\r\n");
    Write(source + "/cgi-bin/new.cgi/inside", "a folder where the support file goes");
    const int hack = AddHack("Over");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
    AddSupportFile(hack, "new.cgi", 0, "", "support");
    host.overwrite = true;

    Install();
    EXPECT_EQ(Read(source + "/cgi-bin/new.cgi/inside"), "a folder where the support file goes");
    const QStringList backups = QDir(home.filePath("backups")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(backups.size(), 1);
    EXPECT_EQ(Read(home.filePath("backups/" + backups[0] + "/manifest.tsv")),
              "path\tsha256-before\tsha256-after\n"
              "cgi-bin/forum.cgi\tb35e09fa2ced9ebcad9d16336fb961146fe34bfbebc562679da85f8a314c9dca\t"
              "800b87f104390f5654b4fe07fbba8a39f17555153b03db728b69bf1b66bd7b65\n"
              "# complete\n");
}

TEST_F(InstallationRunTest, ABackupThatCannotBeWrittenLeavesTheSourceAlone)
{
    Write(source + "/cgi-bin/forum.cgi", "x\r\n");
    Write(home.filePath("backups"), "a file where the folder belongs");
    const int hack = AddHack("Over");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
    host.overwrite = true;

    Install();
    EXPECT_EQ(Read(source + "/cgi-bin/forum.cgi"), "x\r\n");
    const auto backupRow = std::find_if(
        log.rows.begin(), log.rows.end(), [](const LogRow& row) { return row.Comment == "Backup Source Files"; });
    ASSERT_NE(backupRow, log.rows.end());
    EXPECT_TRUE(backupRow->red);
}

TEST_F(InstallationRunTest, LfLineEndsEndEveryLineWithOneLf)
{
    Write(source + "/cgi-bin/a.cgi", "a\r\nb");
    Write(source + "/cgi-bin/b.cgi", "one\ntwo\n");
    const int hack = AddHack("Unix");
    AddMod(hack, 1, "a.cgi", 0, "", Replace, 1, "b", "B");
    AddMod(hack, 2, "b.cgi", 0, "", AddBefore, 1, "two", "1.5");
    host.lf = true;

    EXPECT_EQ(Install(), InstallOutcome::Completed);
    EXPECT_EQ(Read(output + "/cgi-bin/a.cgi"), "a\nB\n");
    EXPECT_EQ(Read(output + "/cgi-bin/b.cgi"), "one\n1.5\ntwo\n");
}

TEST_F(InstallationRunTest, FileInASubfolderIsWrittenToItsLocationFolder)
{
    Write(source + "/templates/deep/er/page.tmpl", "<p>\r\n");
    const int hack = AddHack("Deep");
    AddMod(hack, 1, "page.tmpl", 4, "", Replace, 1, "<p>", "<div>");
    AddMod(hack, 2, "page.tmpl", 4, "", Append, 1, "<div>", "!");

    EXPECT_EQ(Install(), InstallOutcome::Completed);
    EXPECT_EQ(FilesBelow(output), QStringList {"templates/page.tmpl"});
    EXPECT_EQ(Read(output + "/templates/page.tmpl"), "<div>!\r\n");
}

TEST_F(InstallationRunTest, HackWithoutModsStopsWithoutStamping)
{
    const int hack = AddHack("Empty");
    EXPECT_EQ(Install(), InstallOutcome::NothingToDo);
    ASSERT_EQ(log.rows.size(), 2u);
    EXPECT_EQ(log.rows[1], Row("", "", "No Actions", "Nothing to do, installation stopped."));
    EXPECT_EQ(LastInstall(hack), "");
}

// With the source folder gone every mod is "File not found": no board file changed, no stamp.
TEST_F(InstallationRunTest, ARunThatChangedNoBoardFileDoesNotStamp)
{
    const int hack = AddHack("Sourceless");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
    QDir(source).removeRecursively();
    EXPECT_EQ(Install(), InstallOutcome::Completed);
    EXPECT_TRUE(log.AnyRed());
    EXPECT_EQ(LastInstall(hack), "");
}

TEST_F(InstallationRunTest, MissingFolderOrFileIsReportedAndTheRunGoesOn)
{
    Write(source + "/cgi-bin/forum.cgi", "x");
    const int hack = AddHack("Missing");
    AddMod(hack, 1, "absent.cgi", 0, "/nothere", Replace, 1, "x", "y");
    AddMod(hack, 2, "forum.cgi", 0, "", Replace, 1, "x", "y");

    EXPECT_EQ(Install(), InstallOutcome::Completed);
    EXPECT_THAT(
        Steps(),
        ElementsAre(Row("", "", "Source directory not found", source + "/cgi-bin/nothere"),
                    Row("absent.cgi", "Replace", "File not found", "Unable to locate the file: absent.cgi", true),
                    Found("forum.cgi", "Replace")));
    EXPECT_EQ(host.notes, QStringList {"Unable to locate the file: absent.cgi"});
    EXPECT_EQ(Read(output + "/cgi-bin/forum.cgi"), "y");
}

// The board files are worked on side by side and the first, large one is done last: the log still
// follows the mods, with the missing file's rows in its place.
TEST_F(InstallationRunTest, RowsFollowTheModsWhicheverFileIsDoneFirst)
{
    Write(source + "/cgi-bin/f00.cgi", QByteArray("x = 1;\r\n").repeated(400000) + "# hook\r\n");
    std::vector<::testing::Matcher<LogRow>> rows;
    const int hack = AddHack("Many");
    for (int n = 0; n < 12; ++n) {
        const QString name = QString("f%1.cgi").arg(n, 2, 10, QChar('0'));
        AddMod(hack, n + 1, name, 0, "", AddAfter, 1, "# hook", "added()");
        if (n == 6) {
            rows.push_back(Row(name, "Add After", "File not found", "Unable to locate the file: " + name, true));
            continue;
        }
        if (n > 0)
            Write(source + "/cgi-bin/" + name, "# hook\r\n");
        rows.push_back(Found(name, "Add After"));
    }

    EXPECT_EQ(Install(), InstallOutcome::Completed);
    EXPECT_THAT(Steps(), ::testing::ElementsAreArray(rows));
    EXPECT_EQ(Read(output + "/cgi-bin/f11.cgi"), "# hook\r\nadded()\r\n");
}

TEST_F(InstallationRunTest, SupportFilesAreWrittenByteExactInNameOrder)
{
    QByteArray big(40000, Qt::Uninitialized);
    for (int i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 7919) >> 3);
    Write(output + "/data/big.bin", QByteArray(50000, 'x'));
    Write(source + "/cgi-bin/forum.cgi", "x");
    const int hack = AddHack("Files");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
    AddSupportFile(hack, "b.txt", 0, "", "bee");
    AddSupportFile(hack, "big.bin", 2, "data", big);
    AddSupportFile(hack, "a.txt", 4, "sub\\dir", "first");
    AddSupportFile(hack, "a.txt", 1, "/", "second");

    EXPECT_EQ(Install(), InstallOutcome::Completed);
    const QString write = "Write Support File";
    EXPECT_THAT(Steps(),
                ElementsAre(Found("forum.cgi", "Replace"),
                            Row("", "", "Write Support Files", "BEGIN Support File Output"),
                            Row("a.txt", "Write", write, "Write Complete"),
                            Row("a.txt", "Write", write, "Write Complete"),
                            Row("b.txt", "Write", write, "Write Complete"),
                            Row("big.bin", "Write", write, "Write Complete"),
                            Row("", "", "Write Support Files", "END Support File Output")));
    EXPECT_EQ(Read(output + "/templates/sub/dir/a.txt"), "first");
    EXPECT_EQ(Read(output + "/html/a.txt"), "second");
    EXPECT_EQ(Read(output + "/cgi-bin/b.txt"), "bee");
    EXPECT_EQ(Read(output + "/data/big.bin"), big);
}

TEST_F(InstallationRunTest, BoardFilesKeepTheirEncodingOutsideTheChange)
{
    Write(source + "/cgi-bin/utf8.cgi", "\xEF\xBB\xBF# \xC3\xA4rger\r\nmark\r\n");
    Write(source + "/cgi-bin/ansi.cgi", "# caf\xE9 \x93q\x94\r\nmark\r\n");
    const int hack = AddHack("Bytes");
    AddMod(hack, 1, "ansi.cgi", 0, "", Replace, 1, "MARK", QString::fromUtf8("é"));
    AddMod(hack, 2, "utf8.cgi", 0, "", Replace, 1, QString::fromUtf8("ÄRGER"), QString::fromUtf8("Ärger"));

    EXPECT_EQ(Install(), InstallOutcome::Completed);
    EXPECT_EQ(Read(output + "/cgi-bin/ansi.cgi"), "# caf\xE9 \x93q\x94\r\n\xE9\r\n");
    EXPECT_EQ(Read(output + "/cgi-bin/utf8.cgi"), "\xEF\xBB\xBF# \xC3\x84rger\r\nmark\r\n");
}

TEST_F(InstallationRunTest, PathsLeavingTheirRootAreRefused)
{
    Write(source + "/cgi-bin/forum.cgi", "x");
    Write(home.filePath("secret.cgi"), "x");
    const int hack = AddHack("Escape");
    AddMod(hack, 1, "secret.cgi", 0, "/../..", Replace, 1, "x", "stolen");
    AddMod(hack, 2, "..", 0, "", Replace, 1, "x", "y");
    AddSupportFile(hack, "evil.txt", 0, "../../..", "evil");
    AddSupportFile(hack, "evil2.txt", 0, "sub/../../../..", "evil");
    AddSupportFile(hack, "..", 0, "", "evil");

    EXPECT_EQ(Install(), InstallOutcome::Completed);
    EXPECT_EQ(Read(home.filePath("secret.cgi")), "x");
    EXPECT_FALSE(Exists(home.filePath("evil.txt")));
    EXPECT_TRUE(FilesBelow(output).isEmpty());
    int refused = 0;
    for (const LogRow& row : log.rows)
        refused += row.red && row.Description.startsWith("Refused a file outside");
    EXPECT_EQ(refused, 5);
    EXPECT_FALSE(FilesBelow(home.path()).join(' ').contains("evil"));
    EXPECT_FALSE(Exists(QFileInfo(home.path()).path() + "/evil.txt"));
}

TEST_F(InstallationRunTest, FailedCopyIsARedRowNotACrash)
{
    Write(source + "/cgi-bin/forum.cgi", "x");
    Write(output + "/cgi-bin", "a file where the folder belongs");
    const int hack = AddHack("Blocked");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");

    EXPECT_EQ(Install(), InstallOutcome::Completed);
    const std::vector<LogRow> steps = Steps();
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[1].Comment, "Copy Files");
    EXPECT_TRUE(steps[1].red);
    EXPECT_EQ(LastInstall(hack), "");
}

// A run of several stamps each hack whose files all arrived, names each hack's rows, and leaves the
// hack list's selection as it was.
TEST_F(InstallationRunTest, SeveralHacksAreStampedOnlyWhenTheirFilesAllArrived)
{
    Write(source + "/cgi-bin/forum.cgi", "x");
    Write(source + "/html/page.html", "old");
    Write(output + "/cgi-bin", "a file where the folder belongs");
    const int blocked = AddHack("Blocked");
    AddMod(blocked, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
    const int shared = AddHack("Shared");
    AddMod(shared, 1, "page.html", 1, "", Replace, 1, "old", "mid");
    AddMod(shared, 2, "forum.cgi", 0, "", Replace, 1, "y", "z");
    const int page = AddHack("Page");
    AddMod(page, 1, "page.html", 1, "", Replace, 1, "mid", "new");
    const int selected = AddHack("Selected");
    SelectHack(selected);

    EXPECT_EQ(RunInstallations(state, {blocked, shared, page}, host, log).outcome, InstallOutcome::Completed);
    EXPECT_EQ(Read(output + "/html/page.html"), "new");
    EXPECT_EQ(LastInstall(blocked), "");
    EXPECT_EQ(LastInstall(shared), ""); // its forum.cgi did not arrive either
    EXPECT_NE(LastInstall(page), "");
    QStringList named;
    for (const LogRow& row : log.rows) {
        if (row.Comment.endsWith(" Installation"))
            named << row.Comment + ' ' + row.Description.section(" at ", 0, 0);
    }
    EXPECT_EQ(named,
              QStringList({"BEGIN Installation Hack Name:Blocked",
                           "BEGIN Installation Hack Name:Shared",
                           "BEGIN Installation Hack Name:Page",
                           "END Installation Hack Name:Blocked",
                           "END Installation Hack Name:Shared",
                           "END Installation Hack Name:Page"}));
    EXPECT_EQ(state.CurrentHackNum, selected);
    EXPECT_EQ(state.HackInfoRecordset->Int("HackNum"), selected);
}

// A FIFO would hold the run forever on its first read: it is refused, named, and the run goes on.
TEST_F(InstallationRunTest, AFifoInPlaceOfABoardFileIsRefusedNamingIt)
{
    QDir().mkpath(source + "/cgi-bin");
    ASSERT_EQ(::mkfifo(QFile::encodeName(source + "/cgi-bin/forum.cgi").constData(), 0600), 0);
    const int hack = AddHack("Fifo");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");

    EXPECT_EQ(Install(), InstallOutcome::Completed);
    EXPECT_THAT(Steps(),
                ElementsAre(Row("forum.cgi",
                                "Replace",
                                "Read Error",
                                "Unable to read " + source + "/cgi-bin/forum.cgi: not a regular file (a FIFO)",
                                true)));
}

TEST_F(InstallationRunTest, NothingIsWrittenThroughASymbolicLink)
{
    const QString outside = home.filePath("outside");
    Write(outside + "/target.cgi", "outside");
    Write(outside + "/templates/page.tmpl", "<p>");
    Write(source + "/cgi-bin/sub/forum.cgi", "x");
    Write(source + "/html/index.html", "<body>");
    const int hack = AddHack("Links");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
    AddMod(hack, 2, "index.html", 1, "", Replace, 1, "<body>", "<body/>");
    AddMod(hack, 3, "page.tmpl", 4, "", Replace, 1, "<p>", "<div>");
    AddSupportFile(hack, "s.txt", 4, "", "support");

    // Into the output folder: a linked file, a linked location folder.
    Link(outside + "/target.cgi", output + "/cgi-bin/forum.cgi");
    Link(outside + "/templates", output + "/templates");
    Write(source + "/templates/page.tmpl", "<p>");
    EXPECT_EQ(Install(), InstallOutcome::Completed);
    EXPECT_EQ(UnsafeRows(),
              QStringList({"Refused to write through the symbolic link " + output + "/templates",
                           "Refused to write through the symbolic link " + output + "/cgi-bin/forum.cgi",
                           "Refused to write through the symbolic link " + output + "/templates"}));
    EXPECT_EQ(Read(output + "/html/index.html"), "<body/>");
    EXPECT_EQ(LastInstall(hack), "");

    // Over the source: a linked board file, a linked location folder.
    QDir(source + "/templates").removeRecursively();
    Link(outside + "/templates", source + "/templates");
    Link(outside + "/target.cgi", source + "/cgi-bin/forum.cgi");
    host.overwrite = true;
    EXPECT_EQ(Install(), InstallOutcome::Completed);
    EXPECT_EQ(UnsafeRows(),
              QStringList({"Refused to write through the symbolic link " + output + "/templates",
                           "Refused to write through the symbolic link " + source + "/cgi-bin/forum.cgi",
                           "Refused to write through the symbolic link " + source + "/templates"}));
    EXPECT_EQ(Read(source + "/html/index.html"), "<body/>");

    // Backups that would go through a link: the source stays as it is.
    Write(source + "/html/index.html", "<body>");
    QDir(home.filePath("backups")).removeRecursively();
    Link(outside, home.filePath("backups"));
    EXPECT_EQ(Install(), InstallOutcome::Completed);
    EXPECT_EQ(Read(source + "/html/index.html"), "<body>");

    EXPECT_EQ(Read(outside + "/target.cgi"), "outside");
    EXPECT_EQ(FilesBelow(outside), QStringList({"target.cgi", "templates/page.tmpl"}));
    EXPECT_EQ(Read(outside + "/templates/page.tmpl"), "<p>");
}

TEST_F(InstallationRunTest, ADatabaseThatCannotBeWrittenStopsBeforeAnyFileIsTouched)
{
    Write(source + "/cgi-bin/forum.cgi", "x");
    const int hack = AddHack("Read-only");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
    AddSupportFile(hack, "s.txt", 0, "", "support");
    host.overwrite = true;
    state.Connection.Execute("PRAGMA query_only = 1");

    EXPECT_EQ(Install(), InstallOutcome::Halted);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              "Zenpatch cannot write to its database " + home.filePath("zpatch.zpd")
                  + " (attempt to write a readonly database). Nothing was changed.");
    EXPECT_TRUE(log.rows.empty());
    EXPECT_EQ(Read(source + "/cgi-bin/forum.cgi"), "x");
    EXPECT_TRUE(FilesBelow(output).isEmpty());
    EXPECT_FALSE(Exists(home.filePath("backups")));
}

TEST_F(InstallationRunTest, NullAndUnlistedLocationsMeanTheBoardRootEverywhere)
{
    Write(source + "/null.cgi", "x");
    Write(source + "/nine.cgi", "x");
    const int hack = AddHack("Roots");
    AddMod(hack, 1, "null.cgi", 0, "", Replace, 1, "x", "y");
    AddMod(hack, 2, "nine.cgi", 9, "", Replace, 1, "x", "y");
    AddSupportFile(hack, "null.txt", 0, "sub", "1");
    AddSupportFile(hack, "nine.txt", 9, "sub", "2");
    state.Connection.Execute("UPDATE HackData SET PrimaryDir = NULL WHERE FileName = 'null.cgi'");
    state.Connection.Execute("UPDATE HackFiles SET Location = NULL WHERE FileName = 'null.txt'");

    EXPECT_EQ(Install(), InstallOutcome::Completed);
    EXPECT_EQ(FilesBelow(output), QStringList({"nine.cgi", "nine.txt", "null.cgi", "null.txt"}));
    log.Clear();
    EXPECT_FALSE(RunAnalysis(state, state.CurrentHackNum, log));
    EXPECT_FALSE(log.AnyRed());
    StartTextExport(state, {state.CurrentHackNum, home.filePath("text"), "roots"});
    EXPECT_EQ(FilesBelow(home.filePath("text")), QStringList({"README.TXT", "nine.txt", "null.txt", "roots.txt"}));
    const QString text = QString::fromLatin1(Read(home.filePath("text/roots.txt")));
    EXPECT_EQ(text.count("\r\nLocation: \r\n"), 4);
}

TEST_F(InstallationRunTest, EveryJobUsesTheFoldersOfItsOwnHacksBoardType)
{
    // A vBulletin hack (Root = "forum") run while the list selects a UBB hack (CGI = "cgi-bin").
    Write(source + "/forum/index.php", "a");
    const int vb = AddHack("Forum", 1);
    AddMod(vb, 1, "index.php", 0, "", Replace, 1, "a", "b");
    AddSupportFile(vb, "vb.txt", 0, "", "1");
    SelectHack(AddHack("Classic"));

    EXPECT_EQ(RunInstallation(state, vb, host, log).outcome, InstallOutcome::Completed);
    EXPECT_EQ(FilesBelow(output), QStringList({"forum/index.php", "forum/vb.txt"}));
    TrialInstallation trial(source);
    ASSERT_TRUE(trial.Run(state, vb, host, log));
    EXPECT_EQ(trial.Files().back().relativePath, "forum/index.php");
    EXPECT_FALSE(RunAnalysis(state, vb, log));
    EXPECT_FALSE(log.AnyRed());
    StartTextExport(state, {vb, home.filePath("text"), "forum"});
    EXPECT_TRUE(Exists(home.filePath("text/forum/vb.txt")));
    EXPECT_EQ(QString::fromLatin1(Read(home.filePath("text/forum.txt"))).count("\r\nLocation: forum\r\n"), 2);
    EXPECT_EQ(state.CurrentHackType, 0);
    EXPECT_EQ(state.DirectoryTable.value(0), "cgi-bin");
}

TEST(LogRowTest, CommandLineCellsEscapeTabsAndLineBreaks)
{
    EXPECT_EQ(FormatLogRow(Row("a\tb.gif", "Write", "", "one\r\ntwo\n", true)), "!a\\tb.gif\tWrite\t\tone\\r\\ntwo\\n");
}

// Another job holding the program folder stops an installation, a revert and an analysis before they begin;
// the refusal is in the result, for the window or the command line to show.
TEST_F(InstallationRunTest, ABusyProgramFolderIsARefusalInTheResult)
{
    Write(source + "/cgi-bin/forum.cgi", "x");
    const int hack = AddHack("Busy");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");
    host.overwrite = true;
    ASSERT_EQ(Install(), InstallOutcome::Completed);
    const QString backup = ListBackups(state.ProgramFolder, hack).front().name;
    const JobLock other(state.ProgramFolder, std::chrono::milliseconds(0));
    state.JobLockWait = std::chrono::milliseconds(50);
    const InstallResult installed = RunInstallation(state, hack, host, log);
    const RevertResult reverted = RevertInstallation(state, hack, backup, {}, log);
    EXPECT_EQ(installed.outcome, InstallOutcome::Halted);
    EXPECT_EQ(reverted.outcome, RevertOutcome::Refused);
    for (const std::optional<UserMessage>& refusal :
         {installed.message, reverted.message, RunAnalysis(state, hack, log)})
        EXPECT_TRUE(refusal.value_or(UserMessage()).text.startsWith("Another Zenpatch job is using "));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(Read(source + "/cgi-bin/forum.cgi"), "y");
}

TEST_F(InstallationRunTest, OutputFolderThatCannotBeMadeHaltsTheRun)
{
    Write(home.filePath("plain"), "");
    state.OutputDir = home.filePath("plain/out");
    const int hack = AddHack("Halt");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "x", "y");

    const InstallResult result = RunInstallation(state, hack, host, log);
    EXPECT_EQ(result.outcome, InstallOutcome::Halted);
    EXPECT_TRUE(dialogs.messages.empty()); // the message is for the window or the command line to show
    EXPECT_EQ(result.message, UserMessage({"Unable to create output directory, process halted.", "Zenpatch"}));
    EXPECT_EQ(log.rows.size(), 1u);
    EXPECT_EQ(LastInstall(hack), "");
}

// The output on another file system (tmpfs) gets copies, the one beside the work folder the work
// files themselves: both trees come out the same, with the permissions of the files they replace.
TEST_F(InstallationRunTest, OutputOnAnotherFileSystemGetsTheSameTree)
{
    QTemporaryDir elsewhere(QStringLiteral("/dev/shm/zenpatch-XXXXXX"));
    struct stat here
    {
    }, there {};
    if (!elsewhere.isValid() || ::stat(qPrintable(home.path()), &here) != 0
        || ::stat(qPrintable(elsewhere.path()), &there) != 0 || here.st_dev == there.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    Write(source + "/cgi-bin/forum.cgi", "x\r\nkeep\r\n");
    Write(source + "/templates/sub/page.tmpl", QByteArray("<p>\r\n").repeated(20000));
    const int hack = AddHack("Both");
    AddMod(hack, 1, "forum.cgi", 0, "", Replace, 1, "X", "y");
    AddMod(hack, 2, "page.tmpl", 4, "", Append, 0, "<P>", "!");
    const QString moved = output;
    const QString copied = elsewhere.path() + "/out";
    for (const QString& folder : {moved, copied}) {
        Write(folder + "/cgi-bin/forum.cgi", "old");
        QFile::setPermissions(folder + "/cgi-bin/forum.cgi", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        state.OutputDir = folder;
        EXPECT_EQ(Install(), InstallOutcome::Completed);
        EXPECT_FALSE(log.AnyRed());
    }
    EXPECT_EQ(FilesBelow(moved), QStringList({"cgi-bin/forum.cgi", "templates/page.tmpl"}));
    EXPECT_EQ(FilesBelow(copied), FilesBelow(moved));
    for (const QString& file : FilesBelow(moved)) {
        EXPECT_EQ(Read(copied + "/" + file), Read(moved + "/" + file)) << qPrintable(file);
        EXPECT_EQ(QFile::permissions(copied + "/" + file), QFile::permissions(moved + "/" + file));
    }
    EXPECT_EQ(Read(moved + "/cgi-bin/forum.cgi"), "y\r\nkeep\r\n");
    EXPECT_TRUE(QFile::permissions(moved + "/cgi-bin/forum.cgi") & QFile::ExeOwner);
}

TEST_F(InstallationRunTest, TrialMakesTheInstallsBytesAndWritesNothing)
{
    Write(source + "/cgi-bin/forum.cgi", "a\r\nb\r\n");
    Write(source + "/html/index.html", "<body>\n");
    Write(output + "/old.txt", "earlier");
    const int hack = AddHack("Trial");
    AddMod(hack, 1, "index.html", 1, "", AddAfter, 1, "<body>", "<p/>");
    AddMod(hack, 7, "forum.cgi", 0, "", Replace, 1, "b", "c");
    AddMod(hack, 8, "forum.cgi", 0, "", Delete, 1, "missing", "", "needs 6");
    AddMod(hack, 9, "gone.cgi", 0, "", Delete, 1, "x", "");
    AddSupportFile(hack, "new.cgi", 0, "", "support");
    host.lf = true;
    const auto before = Snapshot(home.path());

    TrialInstallation trial(source);
    ASSERT_TRUE(trial.Run(state, state.CurrentHackNum, host, log));
    EXPECT_EQ(Snapshot(home.path()), before);
    EXPECT_TRUE(LastInstall(hack).isEmpty());
    std::vector<std::pair<int, bool>> mods;
    for (const ModResult& result : trial.Mods())
        mods.emplace_back(result.ModOrder, result.applied);
    EXPECT_EQ(mods, (std::vector<std::pair<int, bool>> {{7, true}, {8, false}, {9, false}, {1, true}}));
    EXPECT_EQ(trial.Mods()[1].mod.Comment, "needs 6");
    const std::vector<LogRow> trialRows = log.rows;

    ASSERT_EQ(Install(), InstallOutcome::Completed);
    const std::vector<LogRow> installRows = log.rows;
    ASSERT_EQ(trialRows.size(), installRows.size());
    for (size_t i = 1; i + 1 < installRows.size(); ++i)
        EXPECT_EQ(trialRows[i], installRows[i]);
    QStringList paths;
    for (const TrialInstallation::File& file : trial.Files()) {
        paths << file.relativePath;
        EXPECT_EQ(TrialInstallation::Bytes(file.workFile), Read(output + "/" + file.relativePath));
    }
    EXPECT_EQ(paths, QStringList({"cgi-bin/new.cgi", "cgi-bin/forum.cgi", "html/index.html"}));
    EXPECT_EQ(trial.Files()[0].origin, "");
    EXPECT_EQ(trial.Files()[1].origin, source + "/cgi-bin/forum.cgi");
    // In a folder named for the program folder, which the next job removes once a kill left it.
    const auto prefix = [](const QString& folder) { return QFileInfo(folder).fileName().chopped(6); };
    EXPECT_EQ(prefix(QFileInfo(trial.Files()[0].workFile).path()), prefix(HeldTemporaryFolder(home.path()).path()));
}

TEST_F(InstallationRunTest, TrialsInSequenceBuildOnEachOtherOverAnyBoard)
{
    const QString copy = home.filePath("copy");
    Write(copy + "/cgi-bin/forum.cgi", "a\r\n");
    const int first = AddHack("First");
    AddMod(first, 1, "forum.cgi", 0, "", Append, 1, "a", "1");
    AddSupportFile(first, "made.txt", 0, "", "made");
    const int second = AddHack("Second");
    AddMod(second, 1, "forum.cgi", 0, "", Append, 1, "a1", "2");
    AddMod(second, 2, "made.txt", 0, "", Append, 1, "made", "!");

    TrialInstallation trial(copy);
    SelectHack(first);
    ASSERT_TRUE(trial.Run(state, first, host, log));
    SelectHack(second);
    ASSERT_TRUE(trial.Run(state, second, host, log));
    EXPECT_FALSE(log.AnyRed());
    ASSERT_EQ(trial.Files().size(), 2u);
    EXPECT_EQ(trial.Files()[0].relativePath, "cgi-bin/made.txt");
    EXPECT_EQ(TrialInstallation::Bytes(trial.Files()[0].workFile), "made!");
    EXPECT_EQ(trial.Files()[1].origin, copy + "/cgi-bin/forum.cgi");
    EXPECT_EQ(TrialInstallation::Bytes(trial.Files()[1].workFile), "a12\r\n");
}

} // namespace
} // namespace zp::testing
