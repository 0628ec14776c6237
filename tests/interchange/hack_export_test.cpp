#include "interchange/hack_export.h"
#include "interchange/hack_import.h"
#include "interchange/interchange_common.h"
#include "interchange/text_export.h"
#include "interchange_fixture.h"
#include "scoped_env.h"

#include "app/job_lock.h"
#include "database/recordset.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace zp;
using namespace zp::test;

namespace {

class HackExport : public InterchangeFixture
{
protected:
    ExportResult Export(const QString& name = "logohack", const QString& folderText = QString(), bool make = false)
    {
        return StartExport(state, {state.CurrentHackNum, folderText.isEmpty() ? Out() : folderText, name, make});
    }
};

// Bytes 0 to 255, repeated up to the size.
QByteArray AllBytes(int size)
{
    QByteArray bytes(size, 0);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i % 256);
    return bytes;
}

// The decoded first block of a hack file: its description.
QByteArray DescriptionIn(const QString& hackFile)
{
    QByteArray text = Expand(hackFile).value_or(QByteArray());
    qsizetype start = text.indexOf("\r\n") + 2, end = text.indexOf("[ZPKENDFILE]|");
    return QByteArray::fromBase64(text.mid(start, end - start).replace("\r\n", ""));
}

} // namespace

TEST_F(HackExport, WritesTheGoldenPackageTextAsOneZlibStream)
{
    SelectHack(AddLogoHack());
    ExportResult result = Export();
    ASSERT_EQ(result.outcome, ExportOutcome::Finished);
    EXPECT_EQ(result.hackFile, Out("logohack.zpp"));
    QByteArray file = ReadBytes(result.hackFile);
    EXPECT_TRUE(file.startsWith("\x78\x9C"));
    EXPECT_TRUE(Expand(result.hackFile) == GoldenBytes("logohack_package.txt"));
    EXPECT_EQ(DescriptionIn(result.hackFile), GoldenBytes("logohack_description.zpx"));
    // The job asks nothing; its caller asks about the folder.
    EXPECT_TRUE(result.messages.empty());
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(ShowExportEnd(dialogs, result));
    EXPECT_EQ(MessageTexts(), QStringList {"Would you like to open the output folder now?"});
    EXPECT_FALSE(QDir(ExchangeFolder()).exists());
}

TEST_F(HackExport, WithoutSupportFilesWritesAZpxOfOneBlock)
{
    SelectHack(AddHack(LogoHackInfo(), LogoHackMods(), {}));
    dialogs.answers.push_back(MsgAnswer::Yes);
    ExportResult result = Export();
    EXPECT_EQ(result.hackFile, Out("logohack.zpx"));
    EXPECT_TRUE(ShowExportEnd(dialogs, result));
    QByteArray text = Expand(result.hackFile).value_or(QByteArray());
    EXPECT_EQ(text.count("[ZPKSTARTFILE]|"), 1);
    EXPECT_TRUE(text.startsWith("[ZPKSTARTFILE]|logohack.zpx\r\n"));
}

TEST_F(HackExport, RoundTripGivesIdenticalBytes)
{
    const QList<QList<SupportFileData>> cases = {
        {},
        {{{0, "empty.txt", std::nullopt}, QByteArray()},
         {{4, "big.bin", QString("a/b")}, AllBytes(40000)},
         {{2, "all.dat", std::nullopt}, AllBytes(256)}},
    };
    for (const QList<SupportFileData>& files : cases) {
        QList<ModEntry> mods = LogoHackMods();
        mods[1].ModInst = 2;
        const qint64 original = AddHack(LogoHackInfo(), mods, files);
        SelectHack(original);
        const QString first = Export("round").hackFile;
        ASSERT_EQ(Import(first), ImportOutcome::Imported);
        const qint64 copy = LastHackNum();
        EXPECT_EQ(InfoOf(copy), InfoOf(original));
        EXPECT_EQ(ModsOf(copy), ModsOf(original));
        QList<SupportFileData> copied = FilesOf(copy), stored = FilesOf(original);
        ASSERT_EQ(copied.size(), stored.size());
        for (qsizetype i = 0; i < stored.size(); ++i) {
            EXPECT_EQ(copied[i].entry, stored[i].entry);
            EXPECT_EQ(copied[i].bytes, stored[i].bytes) << stored[i].entry.FileName.toStdString();
        }
        SelectHack(copy);
        const std::optional<QByteArray> firstText = Expand(first);
        QDir().mkpath(Out("again"));
        const QString second = StartExport(state, {state.CurrentHackNum, Out("again"), "round", false}).hackFile;
        EXPECT_TRUE(firstText && Expand(second) == firstText) << "the second export differs";
    }
}

TEST_F(HackExport, ModsFollowTheirFileNames)
{
    QList<ModEntry> mods = LogoHackMods();
    std::swap(mods[0], mods[1]);
    mods.append(mods[1]);
    mods.last().FileName = "Archive.php";
    SelectHack(AddHack(LogoHackInfo(), mods, {}));
    QByteArray text = DescriptionIn(Export().hackFile);
    qsizetype archive = text.indexOf("Archive.php"), forum = text.indexOf("forum.php"),
              index = text.indexOf("index.php");
    EXPECT_TRUE(archive > 0 && archive < forum && forum < index);
}

TEST_F(HackExport, RefusedInput)
{
    SelectHack(AddLogoHack());
    struct Case
    {
        QString folder, name;
        bool make;
        const char* text;
        const char* title;
        MsgIcon icon;
    };
    const Case cases[] = {
        {Out(), "", false, "You need to specify an export filename.", "Missing Export Name", MsgIcon::None},
        {Out(),
         "release.final",
         false,
         "You cannot use any periods in the filename.  Remember not to add an extension.",
         "Invalid Filename!",
         MsgIcon::Critical},
        {"", "n", false, "You need to specify a directory to export to.", "Missing Path", MsgIcon::None},
        {Out("a/b"), "n", false, "Directory does not exist, cannot export file.", "Export Failed", MsgIcon::None},
        {Out("file/sub"), "n", true, "Unable to create export folder, process halted.", "Zenpatch", MsgIcon::None},
    };
    WriteBytes(Out("file"), "not a folder");
    for (const Case& c : cases) {
        ExportResult result = StartExport(state, {state.CurrentHackNum, c.folder, c.name, c.make});
        EXPECT_EQ(result.outcome, ExportOutcome::Stopped);
        EXPECT_EQ(result.messages, std::vector<UserMessage>({{c.text, c.title, c.icon}})) << c.text;
    }
    // Its caller shows the message with one OK button, and asks nothing after a stop.
    dialogs.messages.clear();
    EXPECT_FALSE(ShowExportEnd(dialogs, StartExport(state, {state.CurrentHackNum, "", "n", false})));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].buttons, MsgButtons::OK);
    EXPECT_EQ(QDir(Out()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList {"file"});
}

// Another job holding the program folder stops all three before they begin: the refusal is in
// the result, for the window or the command line to show.
TEST_F(HackExport, ABusyProgramFolderIsARefusalInTheResult)
{
    SelectHack(AddLogoHack());
    const JobLock other(state.ProgramFolder, std::chrono::milliseconds(0));
    state.JobLockWait = std::chrono::milliseconds(50);
    const ExportResult exported = Export();
    const ExportResult text = StartTextExport(state, {state.CurrentHackNum, Out("text"), "t"});
    const ImportResult imported = ImportHackFile(state, Out("none.zpx"));
    EXPECT_TRUE(dialogs.messages.empty());
    for (const UserMessage& refusal : {exported.messages.at(0), text.messages.at(0), *imported.message})
        EXPECT_TRUE(refusal.text.startsWith("Another Zenpatch job is using ")) << refusal.text.toStdString();
    EXPECT_EQ(exported.outcome, ExportOutcome::Stopped);
    EXPECT_EQ(imported.outcome, ImportOutcome::Stopped);
    EXPECT_TRUE(QDir(Out()).isEmpty());
}

TEST_F(HackExport, FolderHandling)
{
    SelectHack(AddLogoHack());
    // A trailing separator is dropped; a missing nested folder is made when asked.
    ExportResult made = Export("n", Out("x/y/z/"), true);
    EXPECT_EQ(made.folder, Out("x/y/z"));
    EXPECT_EQ(made.hackFile, Out("x/y/z/n.zpp"));
    EXPECT_EQ(state.ConfigRecordset->Text("diagExportPath"), Out("x/y/z"));
    EXPECT_EQ(LoadExportFolder(state), Out("x/y/z"));

    // A second export replaces the first; a stale exchange folder is emptied first.
    WriteBytes(made.hackFile, "old");
    QDir().mkpath(ExchangeFolder());
    WriteBytes(ExchangeFolder() + "/n.zpe", "stale package text");
    Export("n", Out("x/y/z"));
    EXPECT_TRUE(DescriptionIn(made.hackFile).startsWith("[ZPKSTARTFILE]|n.zpx\r\n"));
    EXPECT_EQ(QDir(Out("x/y/z")).entryList(QDir::Files), QStringList {"n.zpp"});
}

TEST_F(HackExport, NeverIntoAFolderAnInstallEmptiesNorARelativeOne)
{
    SelectHack(AddLogoHack());
    // Nothing exported yet and no documents folder: the home folder, never the output folder.
    const ScopedEnv homeWithoutDocuments("HOME", Out("home").toUtf8());
    QDir().mkpath(Out("home"));
    EXPECT_EQ(LoadExportFolder(state), Out("home"));
    SaveConfigText(state, "diagExportPath", state.OutputDir); // as an older version stored it
    EXPECT_EQ(LoadExportFolder(state), Out("home"));

    for (const QString& refused : {state.OutputDir, state.OutputDir + "/hacks", ExchangeFolder()}) {
        const ExportResult result = Export("n", refused, true);
        EXPECT_EQ(result.outcome, ExportOutcome::Stopped);
        ASSERT_EQ(result.messages.size(), 1u);
        EXPECT_TRUE(result.messages[0].text.startsWith(refused + " lies in the "));
        EXPECT_TRUE(result.messages[0].text.endsWith(
            "which Zenpatch empties: a hack exported there would be deleted. Please choose another folder."));
        EXPECT_EQ(result.messages[0].title, "Invalid Directory");
        EXPECT_FALSE(QFile::exists(refused + "/n.zpp"));
    }
    const ExportResult relative = Export("n", "relative/folder", true);
    ASSERT_EQ(relative.messages.size(), 1u);
    EXPECT_EQ(relative.messages[0].text, "Please enter the full path of the folder, for example /home/you/board.");
    EXPECT_FALSE(QFileInfo::exists("relative"));

    // "~" is the home folder, as in the options.
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", Out().toUtf8());
    const ExportResult tilde = Export("n", "~/hacks", true);
    qputenv("HOME", home);
    EXPECT_EQ(tilde.hackFile, Out("hacks/n.zpp"));
    EXPECT_EQ(LoadExportFolder(state), Out("hacks"));
}

TEST_F(HackExport, AHackWithoutModsMakesNoFileButFinishes)
{
    SelectHack(AddHack(LogoHackInfo(), {}, {}));
    ExportResult result = Export();
    EXPECT_EQ(result.outcome, ExportOutcome::Finished);
    EXPECT_TRUE(result.hackFile.isEmpty());
    EXPECT_TRUE(result.messages.empty());
    EXPECT_TRUE(QDir(Out()).isEmpty());
}

TEST_F(HackExport, ASupportFileNameThatCannotTravelFailsTheExport)
{
    // A path, and the " - " that separates the pieces of a support-file entry.
    for (const char* name : {"../evil.txt", "a - b.txt"}) {
        SelectHack(AddHack(LogoHackInfo(), LogoHackMods(), {{{0, name, std::nullopt}, "x"}}));
        ExportResult result = Export();
        EXPECT_EQ(result.outcome, ExportOutcome::Stopped) << name;
        ASSERT_EQ(result.messages.size(), 1u);
        EXPECT_TRUE(result.messages[0].text.startsWith("There was an error writing the file.\n\n"));
        EXPECT_EQ(result.messages[0].title, "Error Exporting File");
        EXPECT_TRUE(QDir(Out()).isEmpty());
    }
    EXPECT_FALSE(QFile::exists(folder.filePath("evil.txt")));
}

// Both exports write the hack they are handed, whatever the list has selected; a hack deleted
// meanwhile is reported and nothing is written.
TEST_F(HackExport, BothExportsWriteTheHackTheyAreHanded)
{
    const qint64 logo = AddLogoHack();
    HackInfoFields other;
    other.HackType = 0;
    SelectHack(AddHack(other, {}, {}));
    const QDateTime when(QDate(2026, 1, 2), QTime(3, 4, 5));
    ASSERT_EQ(StartExport(state, {int(logo), Out(), "byNumber", false}).outcome, ExportOutcome::Finished);
    EXPECT_TRUE(QFile::exists(Out("byNumber.zpp"))); // the selected hack has no mods: no file at all
    ASSERT_EQ(StartTextExport(state, {int(logo), Out("text"), "t"}, when).outcome, ExportOutcome::Finished);
    EXPECT_TRUE(ReadBytes(Out("text/t.txt")).contains("[> BEGIN MOD <]"));

    state.Connection.Execute("DELETE FROM [HackInfo] WHERE [HackNum] = " + QString::number(logo));
    EXPECT_TRUE(StartExport(state, {int(logo), Out(), "gone", false}).hackGone);
    EXPECT_TRUE(StartTextExport(state, {int(logo), Out("gone"), "gone"}, when).hackGone);
    EXPECT_FALSE(QFile::exists(Out("gone.zpp")) || QFile::exists(Out("gone.zpx")) || QDir(Out("gone")).exists());
}
