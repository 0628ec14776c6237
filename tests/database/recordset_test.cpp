#include "database/recordset.h"
#include "database/sql.h"
#include "program_folder_fixture.h"
#include "tests/support/vector_state_probe.h"

#include <QFile>
#include <QRandomGenerator>
#include <sqlite3.h>

using namespace zp;

namespace {

class RecordsetTest : public ProgramFolderFixture
{
protected:
    int AddHack(const QString& name)
    {
        Recordset& hacks = *state.HackInfoRecordset;
        if (!hacks.IsOpen())
            hacks.Open(sql::SelectHackInfo);
        hacks.AddNew();
        hacks.SetValue("Name", name);
        hacks.Update();
        return hacks.Int("HackNum");
    }

    void AddMod(int hackNum, int modOrder, const QString& fileName)
    {
        Recordset& mods = *state.HackDataRecordset;
        mods.ReOpen(sql::SelectHackDataOf + QString::number(hackNum));
        mods.AddNew();
        mods.SetValue("HackNum", hackNum);
        mods.SetValue("ModOrder", modOrder);
        mods.SetValue("FileName", fileName);
        mods.Update();
    }

    QStringList Column(Recordset& rs, const QString& field)
    {
        QStringList values;
        for (rs.MoveFirst(); !rs.EOF(); rs.MoveNext())
            values << rs.Text(field);
        return values;
    }

    QByteArray RandomBytes(qsizetype size)
    {
        QByteArray bytes(size, Qt::Uninitialized);
        QRandomGenerator generator(42);
        generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
        return bytes;
    }
};

} // namespace

TEST_F(RecordsetTest, NullTextReadsEmptyAndNumbersTakeTheirDefault)
{
    AddHack("Plain");
    Recordset& hacks = *state.HackInfoRecordset;
    hacks.SetValue("AuthName", NullIfEmpty(""));
    hacks.Update();
    hacks.ReOpen(sql::SelectHackInfo);
    EXPECT_TRUE(hacks.IsNull("AuthName"));
    EXPECT_EQ(hacks.Text("AuthName"), "");
    EXPECT_EQ(hacks.Int("HackType", 7), 7);
    EXPECT_EQ(hacks.Text("authname"), hacks.Text("AUTHNAME")); // names compare without case
    EXPECT_THROW(hacks.Value("NoSuchField"), DatabaseError);
}

TEST_F(RecordsetTest, AddNewReadsBackTheAutoNumber)
{
    EXPECT_EQ(AddHack("first"), 1);
    EXPECT_EQ(AddHack("second"), 2);
    Recordset& hacks = *state.HackInfoRecordset;
    EXPECT_EQ(hacks.Text("Name"), "second"); // the new row is the current row
    EXPECT_EQ(hacks.RecordCount(), 2);
}

TEST_F(RecordsetTest, NamesOrderWithoutCaseAndEqualNamesKeepInsertionOrder)
{
    for (const char* name : {"beta", "Alpha", "same", "Gamma", "SAME", "alpha2", "same"})
        AddHack(name);
    Recordset& hacks = *state.HackInfoRecordset;
    hacks.ReOpen(sql::SelectHackInfo);
    EXPECT_EQ(Column(hacks, "Name"), QStringList({"Alpha", "alpha2", "beta", "Gamma", "same", "SAME", "same"}));
    EXPECT_EQ(Column(hacks, "HackNum"), QStringList({"2", "6", "1", "4", "3", "5", "7"}));
}

TEST_F(RecordsetTest, ModsOrderByFileThenModOrder)
{
    const int hack = AddHack("h");
    AddMod(hack, 2, "b.cgi");
    AddMod(hack, 1, "B.cgi");
    AddMod(hack, 3, "a.cgi");
    AddMod(hack + 1, 1, "other.cgi");
    Recordset& mods = *state.HackDataRecordset;
    mods.ReOpen(sql::SelectHackDataOf + QString::number(hack) + sql::OrderByFileNameModOrder);
    EXPECT_EQ(Column(mods, "ModOrder"), QStringList({"3", "1", "2"}));
}

// The recordset keeps the statements that store and read back its rows for the next row; none of
// them holds the database: another connection writes between the stores, and an edit lands on its row.
TEST_F(RecordsetTest, StoredRowsLeaveTheDatabaseToOtherConnections)
{
    Database other;
    other.Open(DatabasePath());
    AddHack("first");
    other.Execute("INSERT INTO [HackInfo] ([Name]) VALUES ('other')");
    AddHack("second");
    Recordset& hacks = *state.HackInfoRecordset;
    hacks.MoveFirst();
    hacks.SetValue("Version", "2");
    hacks.Update();
    other.Execute("UPDATE [HackInfo] SET [Comments] = 'seen'");
    EXPECT_EQ(CountRows("SELECT * FROM [HackInfo] WHERE [Comments] = 'seen'"), 3);
    EXPECT_EQ(CountRows("SELECT * FROM [HackInfo] WHERE [Version] = '2'"), 1);
    EXPECT_EQ(CountRows("SELECT * FROM [HackInfo] WHERE [Version] = '2' AND [Name] = 'first'"), 1);
}

TEST_F(RecordsetTest, MovesReportBofAndEof)
{
    for (const char* name : {"a", "b", "c"})
        AddHack(name);
    Recordset& hacks = *state.HackInfoRecordset;
    hacks.ReOpen(sql::SelectHackInfo);
    EXPECT_FALSE(hacks.BOF());
    hacks.Move(2);
    EXPECT_EQ(hacks.Text("Name"), "c");
    hacks.MoveNext();
    EXPECT_TRUE(hacks.EOF());
    EXPECT_THROW(hacks.MoveNext(), DatabaseError);
    EXPECT_THROW(hacks.Value("Name"), DatabaseError);
    hacks.Move(-10);
    EXPECT_TRUE(hacks.BOF());
    hacks.MoveFirst();
    EXPECT_EQ(hacks.AbsolutePosition(), 0);

    // Move(1) right after deleting the current row lands on the row that followed it.
    hacks.MoveFirst();
    hacks.Delete();
    hacks.Move(1);
    EXPECT_EQ(hacks.Text("Name"), "b");

    hacks.ReOpen("SELECT * FROM [HackInfo] WHERE [Name] = 'none'");
    EXPECT_TRUE(hacks.BOF() && hacks.EOF());
    EXPECT_EQ(hacks.RecordCount(), 0);
}

TEST_F(RecordsetTest, DeleteThenRenumberSeesOnlyTheRemainingRows)
{
    const int hack = AddHack("h");
    for (int order = 1; order <= 4; ++order)
        AddMod(hack, order, QStringLiteral("f%1").arg(order));
    Recordset& mods = *state.HackDataRecordset;
    mods.ReOpen(sql::SelectHackDataOf + QString::number(hack) + sql::OrderByModOrder);
    mods.Move(1);
    mods.Delete();
    EXPECT_THROW(mods.Value("FileName"), DatabaseError);
    mods.MoveNext(); // reaches the row after the deleted one
    EXPECT_EQ(mods.Text("FileName"), "f3");

    mods.MoveFirst();
    ASSERT_EQ(mods.RecordCount(), 3);
    for (int i = 1; i <= mods.RecordCount(); ++i) {
        mods.SetValue("ModOrder", i);
        mods.Update();
        mods.MoveNext();
    }
    mods.Requery();
    EXPECT_EQ(Column(mods, "FileName"), QStringList({"f1", "f3", "f4"}));
    EXPECT_EQ(Column(mods, "ModOrder"), QStringList({"1", "2", "3"}));

    // Deleting every row in the usual loop leaves none behind.
    for (mods.MoveFirst(); !mods.EOF(); mods.MoveNext())
        mods.Delete();
    mods.Requery();
    EXPECT_EQ(mods.RecordCount(), 0);
}

TEST_F(RecordsetTest, StatementsWithoutRowsRunAndLeaveTheRecordsetClosed)
{
    const int hack = AddHack("h");
    AddMod(hack, 1, "a");
    Recordset& mods = *state.HackDataRecordset;
    mods.ReOpen(sql::DeleteHackDataOf + QString::number(hack));
    EXPECT_FALSE(mods.IsOpen());
    mods.ReOpen(sql::SelectHackDataOf + QString::number(hack));
    EXPECT_EQ(mods.RecordCount(), 0);
}

TEST_F(RecordsetTest, SupportFileRoundTripsInChunks)
{
    const int hack = AddHack("h");
    const QByteArray content = RandomBytes(5 * 1024 * 1024 + 3);
    Recordset& files = *state.HackFilesRecordset;
    files.ReOpen(sql::SelectHackFilesOf + QString::number(hack));
    files.AddNew();
    files.SetValue("HackNum", hack);
    files.SetValue("FileName", "big.bin");
    for (qsizetype at = 0; at < content.size(); at += 16384)
        files.AppendChunk("FileData", content.mid(at, 16384));
    files.Update();

    files.ReOpen(sql::SelectHackFilesOf + QString::number(hack) + sql::OrderByFileName);
    ASSERT_EQ(files.BlobSize("FileData"), content.size());
    QByteArray read;
    for (QByteArray chunk = files.GetChunk("FileData", 16384); !chunk.isEmpty();
         chunk = files.GetChunk("FileData", 16384))
        read += chunk;
    EXPECT_TRUE(read == content);

    // The same bytes through files, both ways.
    const QString copy = folder.filePath("copy.bin");
    files.WriteBlobToFile("FileData", copy);
    files.AddNew();
    files.SetValue("HackNum", hack);
    files.SetBlobFromFile("FileData", copy);
    files.Update();
    EXPECT_TRUE(files.Value("FileData").toByteArray() == content);
}

// A file beyond the longest value the database stores is refused naming the file and the limit, not
// with SQLite's "string or blob too big".
TEST_F(RecordsetTest, AFileTooLargeForTheDatabaseIsRefusedInWords)
{
    const int hack = AddHack("h");
    const QString big = folder.filePath("big.bin");
    QFile file(big);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QByteArray(5000, 'x')) == 5000);
    file.close();
    sqlite3_limit(state.Connection.Handle(), SQLITE_LIMIT_LENGTH, 4000);
    Recordset& files = *state.HackFilesRecordset;
    files.ReOpen(sql::SelectHackFilesOf + QString::number(hack));
    files.AddNew();
    files.SetValue("HackNum", hack);
    files.SetBlobFromFile("FileData", big);
    try {
        files.Update();
        ADD_FAILURE() << "a file over the limit was stored";
    } catch (const DatabaseError& e) {
        EXPECT_EQ(e.what(),
                  big.toStdString() + " (5000 bytes) is larger than the database can hold (4000 bytes at most)");
    }
    files.CancelUpdate();
}

// SQLCipher's AES and SHA-1 ran at half speed after Qt's string hash left the upper halves of the
// AVX registers in use: every statement and blob chunk starts with them unused.
TEST_F(RecordsetTest, StatementsAndBlobChunksRunWithTheUpperVectorHalvesUnused)
{
    if (!test::CanProbeUpperVectorState())
        GTEST_SKIP() << "the processor does not report the state of the AVX registers";
    const int hack = AddHack("h");
    Recordset& files = *state.HackFilesRecordset;
    files.ReOpen(sql::SelectHackFilesOf + QString::number(hack));
    files.AddNew();
    files.SetValue("HackNum", hack);
    files.AppendChunk("FileData", RandomBytes(100000));
    files.Update();

    test::UseUpperVectorState();
    ASSERT_TRUE(test::UpperVectorStateInUse());
    state.Connection.Execute("SELECT count(*) FROM HackFiles");
    EXPECT_FALSE(test::UpperVectorStateInUse());
    test::UseUpperVectorState();
    EXPECT_EQ(files.GetChunk("FileData", 16384).size(), 16384);
    EXPECT_FALSE(test::UpperVectorStateInUse());
}

TEST_F(RecordsetTest, EmptyAndNullSupportFilesStayApart)
{
    const int hack = AddHack("h");
    Recordset& files = *state.HackFilesRecordset;
    files.ReOpen(sql::SelectHackFilesOf + QString::number(hack));
    files.AddNew();
    files.AppendChunk("FileData", QByteArray());
    files.Update();
    EXPECT_FALSE(files.IsNull("FileData"));
    EXPECT_EQ(files.BlobSize("FileData"), 0);
    files.AddNew();
    files.SetValue("FileName", "nothing");
    files.Update();
    EXPECT_TRUE(files.IsNull("FileData"));
    EXPECT_TRUE(files.GetChunk("FileData", 100).isEmpty());
    const QString out = folder.filePath("out.bin");
    files.WriteBlobToFile("FileData", out);
    EXPECT_EQ(QFile(out).size(), 0);
}
