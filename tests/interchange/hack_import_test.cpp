#include "file_size_limit.h"
#include "interchange/hack_export.h"
#include "interchange/hack_import.h"
#include "interchange_fixture.h"

#include "database/recordset.h"
#include "database/sql.h"

#include <QDate>
#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace zp;
using namespace zp::test;

namespace {

QByteArray Block(const QByteArray& label, const QByteArray& content)
{
    QByteArray encoded = content.toBase64();
    QByteArray lines;
    for (qsizetype i = 0; i < encoded.size(); i += 72)
        lines += encoded.mid(i, 72) + "\r\n";
    return "[ZPKSTARTFILE]|" + label + "\r\n" + (lines.isEmpty() ? "\r\n" : lines) + "[ZPKENDFILE]|" + label + "\r\n";
}

QByteArray Lines(std::initializer_list<QByteArray> lines)
{
    QByteArray out;
    for (const QByteArray& l : lines)
        out += l + "\r\n";
    return out;
}

// The description of a one-mod hack with the given support file list line (none when empty).
QByteArray Description(const QByteArray& remFiles = {}, const QByteArray& version = "2.0.1")
{
    return Lines({"[ZPKSTARTFILE]|h.zpx",
                  KeyLine("ZPKVersion"),
                  version,
                  KeyLine("Name"),
                  "Imported",
                  KeyLine("Comments"),
                  "c"})
        + (remFiles.isEmpty() ? Lines({""}) : Lines({KeyLine("RemFiles"), remFiles}))
        + Lines({KeyLine("FileName"),
                 "a.php",
                 KeyLine("ExtendDir"),
                 "/sub/",
                 KeyLine("ModComment"),
                 "",
                 "[ZPKENDFILE]|h.zpx"});
}

class HackImport : public InterchangeFixture
{
protected:
    // Writes a hack file whose package text is `text`.
    QString HackFile(const QByteArray& text, const QString& name = "in.zpp")
    {
        WriteBytes(Out(name), Compress(text));
        return Out(name);
    }

    // Imports and checks that nothing was added and the single message is the expected one.
    void ExpectRefused(const QString& path, const QString& text, const QString& title)
    {
        const int infos = Count("HackInfo"), mods = Count("HackData"), files = Count("HackFiles");
        dialogs.messages.clear();
        EXPECT_EQ(Import(path), ImportOutcome::Stopped);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, text);
        EXPECT_EQ(dialogs.messages[0].title, title);
        EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::Exclamation);
        EXPECT_EQ(Count("HackInfo"), infos);
        EXPECT_EQ(Count("HackData"), mods);
        EXPECT_EQ(Count("HackFiles"), files);
        EXPECT_FALSE(QDir(ExchangeFolder()).exists());
    }

    const QString invalidFile = "This file does not appear to be a valid ZPX or ZPP file, import aborted.";
};

} // namespace

TEST_F(HackImport, ImportsANewHackWithItsModsAndFiles)
{
    const QString path = HackFile(Block("h.zpx", Description("3 - a.b.txt - x|")) + Block("a.b.txt", "bytes"));
    const ImportResult result = ImportHackFile(state, path);
    EXPECT_TRUE(dialogs.messages.empty()); // the job's closing message is for its caller to show
    EXPECT_EQ(ShowImportEnd(dialogs, result), ImportOutcome::Imported);
    EXPECT_EQ(MessageTexts(), QStringList {"Import Complete"});
    EXPECT_EQ(dialogs.messages[0].title, "Import Complete!");
    const qint64 num = LastHackNum();
    EXPECT_EQ(InfoOf(num).Name, "Imported");
    EXPECT_EQ(InfoOf(num).Comments, "c"); // the list took the place of the placeholder line
    Recordset row(state.Connection);
    row.Open("SELECT * FROM [HackInfo] WHERE [HackNum] = " + QString::number(num));
    EXPECT_EQ(row.Text("LastMod").left(10), QDate::currentDate().toString("MM-dd-yyyy")); // stamped now
    ASSERT_EQ(ModsOf(num).size(), 1);
    EXPECT_EQ(ModsOf(num)[0].ModInst, 1);
    EXPECT_EQ(ModsOf(num)[0].ModOrder, std::nullopt);
    ASSERT_EQ(FilesOf(num).size(), 1);
    EXPECT_EQ(FilesOf(num)[0].entry, (SupportFileEntry {3, "a.b.txt", QString("x")}));
    EXPECT_EQ(FilesOf(num)[0].bytes, "bytes");
    EXPECT_EQ(state.ConfigRecordset->Text("diagImportPath"), Out() + "/");
    EXPECT_FALSE(QDir(ExchangeFolder()).exists());
}

TEST_F(HackImport, AHackAlreadyInTheCatalogueIsKeptBesideOrReplacedWhole)
{
    const QString path = HackFile(Block("h.zpx", Description("0 - a.txt - |")) + Block("a.txt", "first"));
    ASSERT_EQ(Import(path), ImportOutcome::Imported);
    const qint64 first = LastHackNum();
    EXPECT_EQ(state.ImportedHackNum, first);

    // Asked; the default keeps both.
    dialogs.messages.clear();
    ASSERT_EQ(Import(path), ImportOutcome::Imported);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].text,
              "A hack named \"Imported\", version \"\", is already in the catalogue. Replace it with the hack of this "
              "file, or keep both?");
    EXPECT_EQ(dialogs.messages[0].buttons, MsgButtons::ReplaceKeepBothCancel);
    const qint64 second = LastHackNum();
    EXPECT_EQ(state.ImportedHackNum, second);
    EXPECT_NE(second, first);

    dialogs.answers = {MsgAnswer::Cancel};
    EXPECT_EQ(Import(path), ImportOutcome::Stopped);
    EXPECT_EQ(Count("HackInfo"), 2);

    // Replace takes the rows of the first hack of that name and version; its number stays.
    const QString changed = HackFile(Block("h.zpx", Description("0 - a.txt - |")) + Block("a.txt", "changed"), "b.zpp");
    EXPECT_EQ(Import(changed, ImportDuplicate::Replace), ImportOutcome::Imported);
    EXPECT_EQ(state.ImportedHackNum, first);
    EXPECT_EQ(Count("HackInfo"), 2);
    EXPECT_EQ(Count("HackData"), 2);
    ASSERT_EQ(FilesOf(first).size(), 1);
    EXPECT_EQ(FilesOf(first)[0].bytes, "changed");
    EXPECT_EQ(FilesOf(second)[0].bytes, "first");
}

TEST_F(HackImport, CommandLineYesLeavesTheDuplicateQuestionAtKeepBoth)
{
    const QString path = HackFile(Block("h.zpx", Description()));
    ASSERT_EQ(Import(path), ImportOutcome::Imported);
    QProcess cli;
    cli.start(ZENPATCH_CLI, {"--home", folder.path(), "--yes", "import", path});
    ASSERT_TRUE(cli.waitForFinished(30000));
    EXPECT_TRUE(QString::fromUtf8(cli.readAllStandardError()).contains(" or keep both? Keep Both\n"));
    EXPECT_EQ(Count("HackInfo"), 2);
}

TEST_F(HackImport, DuplicateNamesKeepTheirOwnBytes)
{
    const QString path = HackFile(Block("h.zpx", Description("0 - a.txt - |1 - a.txt - b|")) + Block("a.txt", "first")
                                  + Block("a.txt", "second"));
    ASSERT_EQ(Import(path), ImportOutcome::Imported);
    QList<SupportFileData> files = FilesOf(LastHackNum());
    ASSERT_EQ(files.size(), 2);
    EXPECT_EQ(files[0].bytes, "first");
    EXPECT_EQ(files[1].bytes, "second");
}

TEST_F(HackImport, ABlockLabelWithTwoPeriodsNamesItsFileByTheFirstTwoPieces)
{
    const QString path = HackFile(Block("h.zpx", Description("0 - a.b - |")) + Block("a.b.txt", "bytes"));
    ASSERT_EQ(Import(path), ImportOutcome::Imported);
    EXPECT_EQ(FilesOf(LastHackNum())[0].bytes, "bytes");
}

TEST_F(HackImport, AListingInAnotherLetterCaseTakesTheBlocksName)
{
    const QString path = HackFile(Block("h.zpx", Description("0 - ReadMe.TXT - |")) + Block("readme.txt", "bytes"));
    ASSERT_EQ(Import(path), ImportOutcome::Imported);
    const QList<SupportFileData> files = FilesOf(LastHackNum());
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(files[0].entry.FileName, "readme.txt");
    EXPECT_EQ(files[0].bytes, "bytes");
}

TEST_F(HackImport, DamagedFilesAreRefusedWithTheirMessage)
{
    const QByteArray good = Block("h.zpx", Description("0 - a.txt - |")) + Block("a.txt", "x");
    WriteBytes(Out("plain.zpx"), good);
    ExpectRefused(Out("plain.zpx"), invalidFile, "Invalid File");
    WriteBytes(Out("cut.zpp"), Compress(good).chopped(10));
    ExpectRefused(Out("cut.zpp"), invalidFile, "Invalid File");

    // Not a hack file at all, and a hack file with a stray line inside.
    ExpectRefused(HackFile("stray\r\n" + good),
                  "An unexpected error has occured, ERR: 5 - in.zpp is not a hack file (its first line begins no file "
                  "block)",
                  "Unexpected Error");
    ExpectRefused(HackFile(Block("h.zpx", Description()) + "stray\r\n"),
                  "An unexpected error has occured, ERR: 5 - Text outside a file block in line 7",
                  "Unexpected Error");
    ExpectRefused(HackFile(Block("a.txt", "x")), invalidFile, "Invalid File");
    ExpectRefused(HackFile(Block("h.zpx", Description("0 - a.txt - |"))),
                  "An unexpected error has occured, ERR: 53 - File not found: a.txt",
                  "Unexpected Error");
    ExpectRefused(HackFile(Block("h.zpx", Lines({KeyLine("Name"), "x"}) + Description())), invalidFile, "Invalid File");
}

TEST_F(HackImport, AFullDiskIsNamedAsTheCause)
{
    const QString file
        = HackFile(Block("h.zpx", Description("0 - a.txt - |")) + Block("a.txt", QByteArray(3000000, 'z')));
    // Room for the database (64 KiB pages), not for the expanded package text.
    FileSizeLimit full(1 << 20);
    ExpectRefused(file,
                  "An unexpected error has occured, ERR: 75 - Cannot turn " + file + " into " + ExchangeFolder()
                      + "/in.zpp.dec: File too large",
                  "Unexpected Error");
}

TEST_F(HackImport, NamesThatWouldLeaveTheirFolderAreRefused)
{
    ExpectRefused(HackFile(Block("h.zpx", Description()) + Block("../evil.txt", "x")), invalidFile, "Invalid File");
    ExpectRefused(HackFile(Block("h.zpx", Description("0 - ../evil.txt - |")) + Block("evil.txt", "x")),
                  invalidFile,
                  "Invalid File");
    ExpectRefused(HackFile(Block("h.zpx", Description("0 - a.txt - ../../etc|")) + Block("a.txt", "x")),
                  invalidFile,
                  "Invalid File");
    QByteArray escapingMod = Description();
    escapingMod.replace("/sub/", "/../../x");
    ExpectRefused(HackFile(Block("h.zpx", escapingMod)), invalidFile, "Invalid File");
    EXPECT_FALSE(QFile::exists(folder.filePath("evil.txt")));
}

TEST_F(HackImport, VersionCheck)
{
    dialogs.messages.clear();
    EXPECT_EQ(Import(HackFile(Block("h.zpx", Description({}, "1.5.0")))), ImportOutcome::Incompatible);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              "This hack was created with an earlier version of Zenpatch and is not compatible with this version.");
    EXPECT_EQ(dialogs.messages[0].title, "Incompatible Hack!");
    EXPECT_EQ(Count("HackInfo"), 0);
    EXPECT_FALSE(QDir(ExchangeFolder()).exists());
    EXPECT_EQ(Import(HackFile(Block("h.zpx", Description()))), ImportOutcome::Imported);
    EXPECT_EQ(Count("HackInfo"), 1);
}

TEST_F(HackImport, AMissingFileIsReportedAndItsFolderRemembered)
{
    EXPECT_EQ(Import(Out("gone/none.zpx")), ImportOutcome::Stopped);
    EXPECT_EQ(MessageTexts(), QStringList {"Could not find file to import."});
    EXPECT_EQ(dialogs.messages[0].title, "Missing file");
    state.ConfigRecordset->ReOpen(sql::SelectConfig);
    EXPECT_EQ(state.ConfigRecordset->Text("diagImportPath"), Out("gone") + "/");
    dialogs.messages.clear();
    EXPECT_EQ(Import(""), ImportOutcome::Stopped);
    EXPECT_EQ(MessageTexts(), QStringList {"Could not find file to import."});
}

TEST_F(HackImport, AnythingButARegularFileIsRefusedByName)
{
    // A FIFO is refused at once, not waited on for a writer.
    ASSERT_EQ(::mkfifo(QFile::encodeName(Out("pipe.zpx")).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkdir(Out("folder.zpx")));
    for (const auto& [path, kind] : {std::pair {Out("pipe.zpx"), "a FIFO"}, std::pair {Out("folder.zpx"), "a folder"}})
        ExpectRefused(path,
                      "An unexpected error has occured, ERR: 75 - Cannot read " + path + ": not a regular file (" + kind
                          + ")",
                      "Unexpected Error");
}

TEST_F(HackImport, ADatabaseFailureHalfWayRollsEverythingBack)
{
    const QString path = HackFile(Block("h.zpx", Description("0 - a.txt - |")) + Block("a.txt", "x"));
    state.Connection.Execute("DROP TABLE [HackFiles]");
    EXPECT_EQ(Import(path), ImportOutcome::Stopped);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("An unexpected error has occured, ERR: "));
    EXPECT_EQ(Count("HackInfo"), 0);
    EXPECT_EQ(Count("HackData"), 0);
}

TEST_F(HackImport, StartUpImport)
{
    const QString path = HackFile(Block("h.zpx", Description()));
    EXPECT_EQ(ImportHackFileAtStartup(state, path).outcome, ImportOutcome::Imported);
    EXPECT_EQ(state.HackInfoRecordset->RecordCount(), 1);
}
