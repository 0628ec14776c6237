#include "database/database.h"
#include "database/recordset.h"
#include "database/sql.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

using namespace zp;

namespace {

QByteArray Digest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// A database file made with some other key, holding one table.
void WriteForeignDatabase(const QString& path, const char* key, const char* sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    sqlite3_key(db, key, int(strlen(key)));
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

std::string OpenError(const QString& path)
{
    Database db;
    try {
        db.Open(path);
    } catch (const DatabaseError& e) {
        return e.what();
    }
    return {};
}

class DatabaseFileTest : public ::testing::Test
{
protected:
    QString PathOf(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(DatabaseFileTest, NewDatabaseHasTheTablesAndOneUnconfiguredRow)
{
    Database::CreateNew(PathOf("zpatch.zpd"));
    Database db;
    db.Open(PathOf("zpatch.zpd"));
    Recordset config(db);
    config.Open(sql::SelectConfig);
    ASSERT_EQ(config.RecordCount(), 1);
    EXPECT_TRUE(config.IsNull("SourceDir"));
    EXPECT_TRUE(config.IsNull("OutputDir"));
    for (const char* table : {"HackInfo", "HackData", "HackFiles"}) {
        Recordset rows(db);
        rows.Open(QStringLiteral("SELECT * FROM [%1]").arg(table));
        EXPECT_EQ(rows.RecordCount(), 0) << table;
    }
}

// New databases have 64 KiB pages; one made by an earlier version (1 KiB pages, made by that version's
// init-db, config set and import) still opens, is written and keeps its rows, also when its size
// happens to be a whole number of 64 KiB (the page size is then found on the second try), and after a
// compaction.
TEST_F(DatabaseFileTest, NewDatabasesHaveLargePagesAndEarlierOnesStillOpen)
{
    Database::CreateNew(PathOf("new.zpd"));
    EXPECT_EQ(QFileInfo(PathOf("new.zpd")).size() % 65536, 0);

    const QString path = PathOf(Database::FileName);
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZENPATCH_TEST_DATA "/database/earlier_version.zpd"), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    auto expectEarlierRows = [&](int hacks) {
        Database db;
        db.Open(path);
        Recordset rows(db);
        rows.Open(sql::SelectHackInfo);
        ASSERT_EQ(rows.RecordCount(), hacks);
        EXPECT_EQ(rows.Text("Name"), "Logo Hack");
        Recordset files(db);
        files.Open("SELECT * FROM [HackFiles] ORDER BY [FileName]");
        ASSERT_EQ(files.RecordCount(), 2);
        EXPECT_EQ(files.Text("FileName"), "help.txt");
    };
    expectEarlierRows(1);
    int added = 0;
    {
        Database db;
        db.Open(path);
        while (QFileInfo(path).size() % 65536 != 0) {
            db.Execute(QStringLiteral("INSERT INTO [HackInfo] ([Name], [Comments]) VALUES ('Z', '%1')")
                           .arg(QString(900, QLatin1Char('x'))));
            ++added;
        }
    }
    ASSERT_GT(added, 0);
    expectEarlierRows(1 + added);
    Database::Compact(dir.path());
    expectEarlierRows(1 + added);
}

TEST_F(DatabaseFileTest, TheDerivedKeyIsRememberedForTheFileAndAWrongOneOnlyCostsTheDerivation)
{
    const QString path = PathOf(Database::FileName);
    const QString memo = path + "-key";
    Database::CreateNew(path);
    Database::CreateNew(PathOf("other.zpd"));
    const auto opens = [&] { return OpenError(path).empty(); };
    ASSERT_TRUE(opens());
    EXPECT_EQ(QFileInfo(memo).permissions() & 0x7077, QFile::ReadOwner | QFile::WriteOwner); // owner, group, others

    // The remembered key is the one SQLCipher itself derives: it opens the file raw.
    QFile file(memo);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray remembered = file.readAll().trimmed();
    file.close();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    sqlite3_key(db, remembered.constData(), int(remembered.size()));
    sqlite3_exec(db, "PRAGMA cipher_page_size = 65536", nullptr, nullptr, nullptr);
    EXPECT_EQ(sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    // Another file's key, a damaged one and a wrong key for this salt: the file still opens, and
    // the right key is remembered again.
    ASSERT_TRUE(OpenError(PathOf("other.zpd")).empty());
    QFile otherMemo(PathOf("other.zpd-key"));
    ASSERT_TRUE(otherMemo.open(QIODevice::ReadOnly));
    QByteArray wrongKey = remembered;
    wrongKey[2] = wrongKey[2] == '0' ? '1' : '0';
    for (const QByteArray& planted : {otherMemo.readAll(), QByteArray("x'zz'"), wrongKey}) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(planted);
        file.close();
        EXPECT_TRUE(opens()) << planted.constData();
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll().trimmed(), remembered);
        file.close();
    }

    // A link in the key's place is not written through.
    QFile::remove(memo);
    ASSERT_TRUE(QFile::link(PathOf("outside"), memo));
    EXPECT_TRUE(opens());
    EXPECT_FALSE(QFileInfo::exists(PathOf("outside")));
}

// A FIFO is never waited on: in the database's place it is refused, in its key's place (or behind a
// link there) it is passed over.
TEST_F(DatabaseFileTest, AFifoInPlaceOfTheDatabaseOrItsKeyIsNeverWaitedOn)
{
    const QString path = PathOf(Database::FileName);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    EXPECT_EQ(OpenError(path), "not a regular file");

    QFile::remove(path);
    Database::CreateNew(path);
    const QString fifo = PathOf("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QFile::remove(path + "-key");
    ASSERT_TRUE(QFile::link(fifo, path + "-key"));
    EXPECT_EQ(OpenError(path), "");
    QFile::remove(path + "-key");
    ASSERT_TRUE(QFile::rename(fifo, path + "-key"));
    EXPECT_EQ(OpenError(path), "");
}

TEST_F(DatabaseFileTest, CreateNewRefusesAnExistingFile)
{
    QFile existing(PathOf("zpatch.zpd"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("keep me");
    existing.close();
    EXPECT_THROW(Database::CreateNew(PathOf("zpatch.zpd")), DatabaseError);
    existing.open(QIODevice::ReadOnly);
    EXPECT_EQ(existing.readAll(), QByteArray("keep me"));
}

TEST_F(DatabaseFileTest, FilesThatFailTheChecksAreNamedAndLeftUnchanged)
{
    WriteForeignDatabase(PathOf("wrongkey.zpd"), "not the key", "CREATE TABLE t (a)");
    WriteForeignDatabase(PathOf("notables.zpd"),
                         Database::Key,
                         "CREATE TABLE [HackInfo] (a); CREATE TABLE [HackData] (a); CREATE TABLE [MainConfig] (a)");
    QFile random(PathOf("random.zpd"));
    random.open(QIODevice::WriteOnly);
    for (int i = 0; i < 4096; ++i)
        random.putChar(char((i * 7919) >> 3));
    random.close();
    QFile(PathOf("empty.zpd")).open(QIODevice::WriteOnly);

    const struct
    {
        const char* file;
        const char* problem;
    } cases[] = {
        {"wrongkey.zpd", "not a Zenpatch database"},
        {"random.zpd", "not a Zenpatch database"},
        {"notables.zpd", "table HackFiles is missing"},
        {"empty.zpd", "not a Zenpatch database"},
        {"absent.zpd", "database file not found"},
    };
    for (const auto& c : cases) {
        const QString path = PathOf(c.file);
        const QByteArray before = Digest(path);
        const std::string error = OpenError(path);
        EXPECT_EQ(error, c.problem) << c.file;
        EXPECT_EQ(Digest(path), before) << c.file;
        EXPECT_EQ(QDir(dir.path()).entryList({"*-journal"}, QDir::Files).size(), 0) << c.file;
    }
}

TEST_F(DatabaseFileTest, CompactionInPlaceKeepsRowsNumbersAndOtherConnectionsWork)
{
    const QString path = PathOf(Database::FileName);
    Database::CreateNew(path);
    {
        Database db;
        db.Open(path);
        Recordset hacks(db);
        hacks.Open(sql::SelectHackInfo);
        for (int i = 0; i < 3; ++i) {
            hacks.AddNew();
            hacks.SetValue("Name", QStringLiteral("hack %1").arg(i));
            hacks.Update();
        }
        hacks.MoveLast();
        hacks.Delete();
    }
    // Another process's connection, open across the compaction: what it writes afterwards stays.
    Database other;
    other.Open(path);

    Database::Compact(dir.path());
    other.Execute("INSERT INTO [HackInfo] ([Name]) VALUES ('after')");
    other.Close();

    // No journal or copy is left behind; the remembered key stays beside the file.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList {Database::FileName, "zpatch.zpd-key"}));
    Database db;
    db.Open(path);
    Recordset hacks(db);
    hacks.Open("SELECT * FROM [HackInfo] ORDER BY [HackNum]");
    ASSERT_EQ(hacks.RecordCount(), 3);
    hacks.MoveLast();
    // Numbers are never handed out twice, also across a compaction.
    EXPECT_EQ(hacks.Int("HackNum"), 4);
}

// The compaction rewrites the file only when more than a tenth of its pages lie free.
TEST_F(DatabaseFileTest, CompactionRunsOnlyWhenItGivesSpaceBack)
{
    const QString path = PathOf(Database::FileName);
    Database::CreateNew(path);
    const QByteArray untouched = Digest(path);
    Database::Compact(dir.path());
    EXPECT_EQ(Digest(path), untouched);
    {
        Database db;
        db.Open(path);
        db.Execute("CREATE TABLE Filler (Data BLOB)");
        db.Execute("INSERT INTO Filler VALUES (zeroblob(2000000))");
        db.Execute("DROP TABLE Filler");
    }
    const qint64 grown = QFileInfo(path).size();
    Database::Compact(dir.path());
    EXPECT_LT(QFileInfo(path).size(), grown / 2);
}

TEST_F(DatabaseFileTest, FailedCompactionLeavesTheDatabaseAsItWas)
{
    const QString path = PathOf(Database::FileName);
    WriteForeignDatabase(path, "not the key", "CREATE TABLE t (a)");
    const QByteArray before = Digest(path);
    EXPECT_THROW(Database::Compact(dir.path()), DatabaseError);
    EXPECT_EQ(Digest(path), before);
}

TEST_F(DatabaseFileTest, TransactionRollsBackUnlessCommitted)
{
    const QString path = PathOf(Database::FileName);
    Database::CreateNew(path);
    Database db;
    db.Open(path);
    {
        Transaction outer(db);
        db.Execute("INSERT INTO [HackInfo] ([Name]) VALUES ('kept')");
        {
            Transaction inner(db);
            db.Execute("INSERT INTO [HackInfo] ([Name]) VALUES ('dropped')");
        }
        outer.Commit();
    }
    Recordset hacks(db);
    hacks.Open(sql::SelectHackInfo);
    ASSERT_EQ(hacks.RecordCount(), 1);
    EXPECT_EQ(hacks.Text("name"), "kept");
}
