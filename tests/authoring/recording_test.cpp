#include "app/common.h"
#include "app/whole_file.h"
#include "authoring/line_mods.h"
#include "authoring/recording.h"
#include "board_tree.h"
#include "core/install_log.h"
#include "database/recordset.h"
#include "engine/work_buffer.h"
#include "install/fixed_installation_options.h"
#include "install/trial_installation.h"

#include <QRandomGenerator>
#include <QThread>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zp::testing {

namespace {

// Lines from a small stock, so that many of them repeat, some in other letter case.
class RandomBoard
{
public:
    explicit RandomBoard(quint32 seed)
        : random_(seed)
    {
    }

    int Below(int n) { return int(random_.bounded(n)); }

    QByteArray Line()
    {
        static const char* const stock[] = {"}", "", "  print $x;", "<br>", "<BR>", "}", "sub main {", "\t$y = 1;"};
        switch (Below(4)) {
        case 0:
            return "line " + QByteArray::number(Below(1000));
        case 1:
            return "caf\xE9 " + QByteArray::number(Below(5)); // Windows-1252
        default:
            return stock[Below(8)];
        }
    }

    QList<QByteArray> Lines(int count)
    {
        QList<QByteArray> lines;
        for (int i = 0; i < count; ++i)
            lines << Line();
        return lines;
    }

    // Adds, removals and changes at the start, the middle and the end.
    QList<QByteArray> Edit(QList<QByteArray> lines)
    {
        const int edits = 1 + Below(4);
        for (int e = 0; e < edits; ++e) {
            const int where
                = lines.isEmpty() ? 0 : std::array {0, Below(int(lines.size())), int(lines.size()) - 1}[Below(3)];
            switch (e == 0 ? 0 : Below(3)) {
            case 0:
                if (e == 0) // at least one line that was not there
                    lines.insert(where, "edit " + QByteArray::number(Below(1000)));
                for (int n = 1 + Below(3); n > 0; --n)
                    lines.insert(std::min(where + Below(2), int(lines.size())), Line());
                break;
            case 1:
                if (lines.size() > 1)
                    lines.remove(where, std::min<qsizetype>(1 + Below(2), lines.size() - where));
                break;
            default:
                if (!lines.isEmpty())
                    lines[where] = Line();
            }
        }
        return lines;
    }

private:
    QRandomGenerator random_;
};

QByteArray Joined(const QList<QByteArray>& lines, const QByteArray& eol, bool finalBreak)
{
    QByteArray bytes = lines.join(eol);
    if (finalBreak)
        bytes += eol;
    return bytes;
}

class RecordingTest : public BoardTree
{
protected:
    RecordingTest()
        : edited(home.filePath("edited"))
    {
    }

    RecordRequest Request(bool lf = false)
    {
        RecordRequest request;
        request.originalRoot = source;
        request.lfLineEnds = lf;
        request.info = RecordedHackInfo(state, "Recorded");
        return request;
    }

    // The files a fresh trial installation of the hack writes, with their bytes.
    std::map<QString, QByteArray> Installed(int hack, bool lf)
    {
        SelectHack(hack);
        TrialInstallation trial(source);
        FixedInstallationOptions host;
        host.lf = lf;
        RecordingLog log;
        trial.Run(state, hack, host, log);
        std::map<QString, QByteArray> files;
        for (const auto& file : trial.Files())
            files[file.relativePath] = Read(file.workFile);
        return files;
    }

    void Both(const QString& path, const QByteArray& original, const QByteArray& changed)
    {
        Write(source + "/" + path, original);
        Write(edited + "/" + path, changed);
    }

    int CountHacks()
    {
        Recordset hacks(state.Connection);
        hacks.Open("SELECT * FROM [HackInfo]");
        return hacks.RecordCount();
    }

    QString edited;
};

TEST_F(RecordingTest, RandomEditsInstallAsTheEditedBytes)
{
    for (quint32 seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE(seed);
        QDir(source).removeRecursively();
        QDir(edited).removeRecursively();
        RandomBoard board(seed);
        const bool lf = seed % 3 == 0;
        std::map<QString, QByteArray> expected;
        for (int f = 0; f < 4; ++f) {
            const QString path = QString("%1/file%2.txt").arg(f % 2 ? "cgi-bin" : "templates/sub").arg(f);
            QList<QByteArray> lines = board.Lines(3 + board.Below(40));
            if (f == 2) { // plain ASCII, read as UTF-8: an edit may bring no Windows-1252 byte into it
                for (QByteArray& line : lines)
                    line.replace('\xE9', 'e');
            } else {
                lines.insert(board.Below(int(lines.size())), "caf\xE9");
            }
            const QByteArray eol = lf ? "\n" : "\r\n";
            const bool finalBreak = lf || board.Below(2) == 0;
            QByteArray before = Joined(lines, board.Below(2) ? "\r\n" : "\n", finalBreak);
            QList<QByteArray> after = board.Edit(lines);
            if (f == 2) {
                for (QByteArray& line : after)
                    line.replace('\xE9', 'e');
            }
            if (f == 3) { // UTF-8 with a byte order mark
                before = "\xEF\xBB\xBF" + QString::fromLatin1(before).toUtf8();
                for (QByteArray& line : after)
                    line = QString::fromLatin1(line).toUtf8();
                Both(path, before, "\xEF\xBB\xBF" + Joined(after, eol, finalBreak));
            } else {
                Both(path, before, Joined(after, eol, finalBreak));
            }
            expected[path] = Read(edited + "/" + path);
        }
        const QString fresh = "templates/new/deeper/added.tmpl";
        Write(edited + "/" + fresh, "new\r\nfile");
        expected[fresh] = "new\r\nfile";

        const std::vector<FileChange> changes = CompareFolders(source, edited);
        const RecordResult result = Record(state, Request(lf), changes);
        ASSERT_EQ(result.outcome, RecordOutcome::Stored) << result.brokenFile.toStdString();
        for (const RecordedFile& file : result.files)
            EXPECT_TRUE(file.Recorded()) << file.relativePath.toStdString() << ": " << file.reason.toStdString();
        std::map<QString, QByteArray> installed = Installed(result.hackNum, lf);
        for (auto& [path, bytes] : expected) {
            if (!Exists(source + "/" + path) || Read(source + "/" + path) != bytes) {
                EXPECT_EQ(installed[path], bytes) << path.toStdString();
            }
        }
    }
}

// The text after the engine applied the mods to it.
QString Applied(const QString& text, const std::vector<ModRecord>& mods)
{
    WorkBuffer buffer;
    buffer.SetText(text);
    RecordingLog log;
    for (const ModRecord& mod : mods)
        EXPECT_TRUE(ApplyMod(buffer, mod, log)) << mod.OldData.toStdString();
    return buffer.Text();
}

// Each region is one mod, with the shortest unique whole-line anchor, instance 1.
TEST(LineModsTest, ShortUniqueAnchorsOneModPerRegion)
{
    const QString before = "a\r\n}\r\nb\r\n}\r\nc\r\nx\r\nd\r\n";
    const QString after = "a\r\n}\r\nNEW\r\nb\r\n}\r\nc\r\nd\r\n";
    const std::vector<ModRecord> mods = RecordTextChanges(before, after).mods;
    ASSERT_EQ(mods.size(), 2u);
    EXPECT_EQ(mods[0].ActionType, AddBefore); // "}" above is not unique; "b" below is
    EXPECT_EQ(mods[0].OldData, "b");
    EXPECT_EQ(mods[0].NewData, "NEW");
    EXPECT_EQ(mods[1].ActionType, Delete);
    EXPECT_EQ(mods[1].OldData, "x");
    EXPECT_EQ(mods[1].ModInst, 1);

    EXPECT_EQ(Applied(before, mods), after);

    // A text that repeats itself: no anchor of a few lines occurs once, so an instance tells.
    QString periodic = QString("a\r\nb\r\n").repeated(20);
    QString changed = periodic;
    changed.replace(14 * 6, 1, "z");
    const std::vector<ModRecord> counted = RecordTextChanges(periodic, changed).mods;
    ASSERT_EQ(counted.size(), 1u);
    EXPECT_EQ(counted[0].ActionType, Replace);
    EXPECT_EQ(counted[0].OldData, "a");
    EXPECT_EQ(counted[0].ModInst, 15);
    EXPECT_EQ(Applied(periodic, counted), changed);
}

// A change that no mod can find is refused with the reason.
TEST(LineModsTest, ChangesNoModCanFindAreRefusedWithTheReason)
{
    EXPECT_EQ(RecordTextChanges("", "x").refusal, "the original is empty: a mod has no line to find");
    // Every line alike: the change below the 40,000th is beyond what an instance number counts.
    const QString same = QString("x\r\n").repeated(40000);
    EXPECT_EQ(RecordTextChanges(same + "x", same + "y").refusal,
              "no lines around line 40001 occur only once, and the nearest occur more than 32767 times above it: "
              "a mod's instance number counts no further");
}

// A kept line equal to a removed one beside it takes the removed one's place: one region, one mod.
TEST(LineModsTest, ALineRemovedBesideAnEqualOneIsPartOfTheNextChange)
{
    // The earlier swap keeps the last "}" rather than the first; the end is still one change.
    const QString before = "a\r\nb\r\nc\r\n}\r\n}\r\n# end", after = "b\r\na\r\nc\r\n}";
    const std::vector<ModRecord> mods = RecordTextChanges(before, after).mods;
    ASSERT_FALSE(mods.empty());
    EXPECT_EQ(mods.back().OldData, "}\r\n}\r\n# end");
    EXPECT_EQ(mods.back().NewData, "}");
    EXPECT_FALSE(mods[mods.size() - 2].OldData.contains("}"));
    EXPECT_EQ(Applied(before, mods), after);
}

// An anchor is unique in the whole text: an equal line far above the change counts too.
TEST(LineModsTest, AnEqualLineFarAboveTheChangeIsCounted)
{
    QStringList lines;
    for (int i = 0; i < 300; ++i)
        lines << QString("line %1").arg(i);
    lines[10] = lines[250] = "dup";
    QStringList edited = lines;
    edited[250] = "new";
    const QString before = lines.join("\r\n"), after = edited.join("\r\n");
    const std::vector<ModRecord> mods = RecordTextChanges(before, after).mods;
    ASSERT_EQ(mods.size(), 1u);
    EXPECT_NE(mods[0].OldData, "dup");
    EXPECT_EQ(Applied(before, mods), after);
}

// Many random texts of lines that repeat, through the engine alone.
TEST(LineModsTest, RandomEditsApplyExactly)
{
    for (quint32 seed = 1; seed <= 400; ++seed) {
        RandomBoard board(seed);
        const QList<QByteArray> lines = board.Lines(1 + board.Below(30));
        const bool finalBreak = board.Below(2) == 0;
        const QString before = QString::fromLatin1(Joined(lines, "\r\n", finalBreak));
        const QString after = QString::fromLatin1(Joined(board.Edit(lines), "\r\n", finalBreak));
        const TextChanges changes = RecordTextChanges(before, after);
        ASSERT_EQ(changes.refusal.isEmpty(), !before.isEmpty()) << seed; // an empty text has no line to find
        if (!changes.refusal.isEmpty())
            continue;
        ASSERT_EQ(Applied(before, changes.mods), after) << seed;
    }
}

TEST_F(RecordingTest, FilesThatCannotBeRecordedAreNamedAndNothingIsStored)
{
    Both("templates/mixed.tmpl", "a\r\nb\r\n", "a\r\nnew\nb\r\n");
    Both("templates/ok.tmpl", "a\r\nb\r\n", "a\r\nc\r\n");
    Both("html/logo.gif", QByteArray("GIF\0\1", 5), QByteArray("GIF\0\2", 5));
    Write(source + "/templates/gone.tmpl", "x");
    Both("cgi-bin/lf.cgi", "a\nb\n", "a\nc\n");
    Both("templates/cr.tmpl", "a\r\nb\r\n", "a\rc\r\n");

    RecordRequest request = Request();
    RecordResult result = Record(state, request, CompareFolders(source, edited));
    EXPECT_EQ(result.outcome, RecordOutcome::NotRecorded);
    EXPECT_EQ(CountHacks(), 0);
    std::map<QString, QString> reasons;
    for (const RecordedFile& file : result.files)
        reasons[file.relativePath] = file.reason;
    EXPECT_EQ(reasons["templates/mixed.tmpl"],
              "mixed line ends (CR LF and LF in one file): an installation writes one kind");
    EXPECT_EQ(reasons["cgi-bin/lf.cgi"], "LF line ends, but the record writes CR LF");
    EXPECT_EQ(reasons["templates/cr.tmpl"], "a line ends in a lone CR: an installation writes CR LF or LF");
    EXPECT_EQ(reasons["html/logo.gif"], "a binary file changed: mods change text only");
    EXPECT_EQ(reasons["templates/gone.tmpl"], "deleted: a hack cannot delete a file");
    EXPECT_EQ(reasons["templates/ok.tmpl"], "");

    request.partial = true;
    result = Record(state, request, CompareFolders(source, edited));
    ASSERT_EQ(result.outcome, RecordOutcome::Stored);
    EXPECT_EQ(CountHacks(), 1);
}

// A file outside the layout of the chosen hack type is refused with the advice to choose the other
// type when that type's layout holds it.
TEST_F(RecordingTest, AFileInTheOtherTypesLayoutNamesThatType)
{
    // Every folder of each type has its place, so that the root holds nothing but the folders.
    state.Connection.Execute(
        "UPDATE MainConfig SET ubbMembersDir = 'cgi-bin/Members', ubbVariablesDir = "
        "'cgi-bin/Variables', vbAdminDir = 'forum/admin', vbModDir = 'forum/mod', vbImagesDir = "
        "'forum/images', vbSmiliesDir = 'forum/images/smilies', vbPollsDir = 'forum/images/polls', "
        "vbIconsDir = 'forum/images/icons', vbAttachDir = 'forum/images/attach'");
    LoadConfiguration(state);
    Both("cgi-bin/ubb.cgi", "a\r\nb\r\n", "a\r\nc\r\n");
    Both("forum/index.php", "a\r\nb\r\n", "a\r\nc\r\n");
    Both("elsewhere/notes.txt", "a\r\nb\r\n", "a\r\nc\r\n");
    const std::pair<int, std::map<QString, QString>> cases[] = {
        {0,
         {{"cgi-bin/ubb.cgi", ""},
          {"forum/index.php",
           "outside the board's directories (it lies in the vBulletin layout: choose the type vBulletin)"},
          {"elsewhere/notes.txt", "outside the board's directories"}}},
        {1,
         {{"cgi-bin/ubb.cgi",
           "outside the board's directories (it lies in the Ultimate Bulletin Board layout: choose the type "
           "Ultimate Bulletin Board)"},
          {"forum/index.php", ""},
          {"elsewhere/notes.txt", "outside the board's directories"}}},
    };
    for (const auto& [type, expected] : cases) {
        RecordRequest request = Request();
        request.hackType = type;
        std::map<QString, QString> reasons;
        for (const RecordedFile& file : Record(state, request, CompareFolders(source, edited)).files)
            reasons[file.relativePath] = file.reason;
        EXPECT_EQ(reasons, expected) << "type " << type;
    }
}

// A large file is checked a stretch at a time: a stray LF far into it still stops it.
TEST_F(RecordingTest, ALineEndFarIntoALargeFileIsFound)
{
    const QByteArray lines = QByteArray("line of a large file\r\n").repeated(100000);
    Both("templates/large.tmpl", lines + "a\r\n", lines + "b\r\n");
    Both("templates/stray.tmpl", lines + "a\r\n", lines + "b\n");
    std::map<QString, QString> reasons;
    for (const RecordedFile& file : Record(state, Request(), CompareFolders(source, edited)).files)
        reasons[file.relativePath] = file.reason;
    EXPECT_EQ(reasons["templates/large.tmpl"], "");
    EXPECT_EQ(reasons["templates/stray.tmpl"],
              "mixed line ends (CR LF and LF in one file): an installation writes one kind");
}

// Files that are not regular or whose names are not UTF-8 are named with the reason, never read:
// a FIFO would never end its read.
TEST_F(RecordingTest, FilesNotRegularOrNotNamedInUtf8AreNamedWithTheReason)
{
    const auto writeRaw = [](const QString& root, const QByteArray& relative, const QByteArray& bytes) {
        const int fd = ::open((QFile::encodeName(root) + "/" + relative).constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, bytes.constData(), bytes.size()), bytes.size());
        ::close(fd);
    };
    for (const QString& root : {source, edited}) {
        QDir().mkpath(root + "/templates");
        ASSERT_EQ(::mkfifo(QFile::encodeName(root + "/templates/pipe").constData(), 0644), 0);
    }
    writeRaw(edited, "templates/caf\xE9.tmpl", "new");
    writeRaw(source, "templates/\xE9t\xE9.tmpl", "a\r\n");
    writeRaw(edited, "templates/\xE9t\xE9.tmpl", "b\r\n");
    writeRaw(source, "templates/same\xE9.tmpl", "a\r\n");
    writeRaw(edited, "templates/same\xE9.tmpl", "a\r\n");
    Both("templates/ok.tmpl", "a\r\n", "b\r\n");
    ASSERT_TRUE(QFile::link("ok.tmpl", edited + "/templates/link.tmpl"));

    const RecordResult result = Record(state, Request(), CompareFolders(source, edited));
    EXPECT_EQ(result.outcome, RecordOutcome::NotRecorded);
    std::map<QString, QString> reasons;
    for (const RecordedFile& file : result.files)
        reasons[file.relativePath] = file.reason;
    const QString notText = "its name is not UTF-8: a hack names its files as text";
    EXPECT_EQ(reasons,
              (std::map<QString, QString> {{"templates/caf\\xe9.tmpl", notText},
                                           {"templates/link.tmpl", "a symbolic link"},
                                           {"templates/ok.tmpl", ""},
                                           {"templates/pipe", "not a regular file (a FIFO)"},
                                           {"templates/\\xe9t\\xe9.tmpl", notText}}));
    // Qt cannot remove what it cannot name.
    for (const QString& root : {source, edited}) {
        for (const QByteArray name : {"caf\xE9", "\xE9t\xE9", "same\xE9"})
            ::unlink((QFile::encodeName(root) + "/templates/" + name + ".tmpl").constData());
    }
}

// Links planted at the work folder's name or inside it are never written through.
TEST_F(RecordingTest, TheWorkFolderNeverWritesThroughALink)
{
    const QString outside = home.filePath("outside"), folder = home.filePath("zpk_rec_temp");
    Write(outside + "/kept.cgi", "kept");
    ASSERT_TRUE(QFile::link(outside, folder));
    {
        const RecordingWorkFolder work(home.path());
        EXPECT_EQ(work.Write("html/new.html", "new"), folder + "/html/new.html");
        QDir().mkpath(folder + "/templates");
        ASSERT_TRUE(QFile::link(outside, folder + "/cgi-bin"));
        ASSERT_TRUE(QFile::link(outside + "/kept.cgi", folder + "/templates/a.tmpl"));
        EXPECT_THROW(work.Write("cgi-bin/new.cgi", "new"), UnsafePathError);
        EXPECT_THROW(work.Write("templates/a.tmpl", "new"), UnsafePathError);
    }
    EXPECT_EQ(FilesBelow(outside), QStringList {"kept.cgi"});
    EXPECT_EQ(Read(outside + "/kept.cgi"), "kept");
    // The folder goes in the background; the test's own folder goes after it.
    for (int wait = 0; wait < 100 && !QDir(home.path()).entryList({"zpk_rec_temp*"}, QDir::Dirs).isEmpty(); ++wait)
        QThread::msleep(50);
}

// The job cannot start: its reason is the result's, told once, by the caller.
TEST_F(RecordingTest, AJobThatCannotStartGivesItsOwnReasonOnly)
{
    Both("templates/a.tmpl", "a\r\n", "b\r\n");
    state.Connection.Execute("PRAGMA query_only = 1");
    const RecordResult result
        = RecordAsJob(state, [&] { return Record(state, Request(), CompareFolders(source, edited)); });
    EXPECT_EQ(result.outcome, RecordOutcome::Halted);
    EXPECT_EQ(result.error,
              "Zenpatch cannot write to its database " + home.filePath("zpatch.zpd")
                  + " (attempt to write a readonly database). Nothing was changed.");
    EXPECT_TRUE(dialogs.messages.empty());
}

} // namespace

} // namespace zp::testing
