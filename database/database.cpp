#include "database/database.h"

#include "database/derived_key.h"
#include "database/schema.h"
#include "database/statement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <optional>
#include <sqlite3.h>

namespace zp {

namespace {

[[noreturn]] void Fail(const QString& message)
{
    throw DatabaseError(message.toStdString());
}

// New databases have 64 KiB pages. SQLCipher encrypts and authenticates every page on its own, and
// at its default of 1 KiB that work per page, and the walk from page to page, held a large support
// file to about a quarter of the speed. Databases made by earlier versions keep their 1 KiB pages.
constexpr int NewPageSize = 65536;
constexpr int EarlierPageSize = 1024;

// Opens (or creates) the file and applies the key (the passphrase or a raw key) and page size; the
// handle is closed again on failure.
sqlite3* OpenKeyed(const QString& path, int flags, int pageSize, const QByteArray& key = Database::Key)
{
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        Fail(QStringLiteral("cannot open the file: %1").arg(message));
    }
    // Other processes may use the file too (the command line beside the program): wait for their locks.
    sqlite3_busy_timeout(db, 5000);
    if (sqlite3_key(db, key.constData(), int(key.size())) != SQLITE_OK) {
        sqlite3_close_v2(db);
        Fail(QStringLiteral("cannot apply the database key"));
    }
    const QByteArray pragma = "PRAGMA cipher_page_size = " + QByteArray::number(pageSize);
    if (sqlite3_exec(db, pragma.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        Fail(QStringLiteral("cannot apply the database key"));
    }
    // A page cache of 16 MiB (the default is 2 MiB). Every page read from the file is decrypted and
    // checked whole, so with 64 KiB pages the default held only 31 pages, and lookups that hop from
    // row to row (a query per hack) decrypted the same pages over and over, twice as slow as with
    // the earlier 1 KiB pages.
    sqlite3_exec(db, "PRAGMA cache_size = -16384", nullptr, nullptr, nullptr);
    return db;
}

// The names of the file's tables, or nothing when the file cannot be read with the key and page size.
std::optional<QStringList> ReadTableNames(sqlite3* db)
{
    QStringList tables;
    try {
        Statement names(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
        while (names.Step())
            tables << names.Column(0).toString();
    } catch (const DatabaseError&) {
        return std::nullopt;
    }
    return tables;
}

// The key is right and the file is a database when the schema can be read. A file without any of
// the program's tables (an empty file reads as an empty database) is someone else's; one that has
// some of them lacks the others.
void CheckTables(const QStringList& tables)
{
    QStringList missing;
    for (const QString& table : schema::TableNames) {
        if (!tables.contains(table, Qt::CaseInsensitive))
            missing << table;
    }
    if (missing.size() == schema::TableNames.size())
        Fail(QStringLiteral("not a Zenpatch database"));
    if (!missing.isEmpty())
        Fail(QStringLiteral("table %1 is missing").arg(missing.first()));
}

// A read-only file keeps its tables as they are: what needs a missing table says so when it is used.
void AddMissingTables(sqlite3* db)
{
    for (const QString& sql : schema::AddedTableStatements())
        sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
}

} // namespace

Database::~Database()
{
    Close();
}

void Database::Open(const QString& path)
{
    Close();
    const QFileInfo info(path);
    if (!info.exists())
        Fail(QStringLiteral("database file not found"));
    if (!info.isFile())
        Fail(QStringLiteral("not a regular file"));
    // The page size lies inside the encrypted header. A file of whole 64 KiB pages is tried as a new
    // database first, any other as an earlier one; the other size is tried when the first cannot
    // read the file.
    const bool wholeNewPages = info.size() % NewPageSize == 0;
    const auto opens = [&](const QByteArray& key) {
        for (int pageSize :
             {wholeNewPages ? NewPageSize : EarlierPageSize, wholeNewPages ? EarlierPageSize : NewPageSize}) {
            sqlite3* db = OpenKeyed(path, SQLITE_OPEN_READWRITE, pageSize, key);
            const std::optional<QStringList> tables = ReadTableNames(db);
            if (!tables) {
                sqlite3_close_v2(db);
                continue;
            }
            try {
                CheckTables(*tables);
            } catch (...) {
                sqlite3_close_v2(db);
                throw;
            }
            db_ = db;
            path_ = path;
            AddMissingTables(db);
            return true;
        }
        return false;
    };
    // The remembered raw key first, then one derived here (and remembered when it opens the file),
    // then the passphrase, which SQLCipher derives again on each try.
    const QByteArray salt = FileSalt(path);
    const QByteArray remembered = RememberedRawKey(path, salt);
    if (!remembered.isEmpty() && opens(remembered))
        return;
    const QByteArray derived = salt.isEmpty() ? QByteArray() : DeriveRawKey(Database::Key, salt);
    if (!derived.isEmpty() && opens(derived)) {
        RememberRawKey(path, derived);
        return;
    }
    if (opens(Database::Key))
        return;
    Fail(QStringLiteral("not a Zenpatch database"));
}

void Database::Close()
{
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
    path_.clear();
}

void Database::Execute(const QString& sql)
{
    Statement statement(db_, sql);
    while (statement.Step()) { }
}

void Database::CheckWritable()
{
    if (!db_)
        Fail(QStringLiteral("the database is not open"));
    // Setting the user version dirties the first page, which goes to the journal first; the
    // rollback puts everything back. Outside a transaction the probe is a transaction of its own,
    // rolled back whole: releasing a savepoint would commit it, flushing the disk for nothing.
    const bool own = sqlite3_get_autocommit(db_) != 0;
    const char* probe
        = own ? "BEGIN IMMEDIATE; PRAGMA user_version = 0;" : "SAVEPOINT zp_write_check; PRAGMA user_version = 0;";
    const int rc = sqlite3_exec(db_, probe, nullptr, nullptr, nullptr);
    const QString reason = QString::fromUtf8(sqlite3_errmsg(db_));
    if (own)
        sqlite3_exec(db_, "ROLLBACK;", nullptr, nullptr, nullptr);
    else
        sqlite3_exec(db_, "ROLLBACK TO zp_write_check; RELEASE zp_write_check;", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw DatabaseError(reason.toStdString());
}

void Database::CreateNew(const QString& path)
{
    if (QFileInfo::exists(path))
        Fail(QStringLiteral("the file already exists"));
    sqlite3* db = OpenKeyed(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, NewPageSize);
    try {
        CheckResult(db, sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), path);
        for (const QString& sql : schema::CreateStatements())
            Statement(db, sql).Step();
        CheckResult(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), path);
    } catch (...) {
        sqlite3_close_v2(db);
        QFile::remove(path);
        throw;
    }
    sqlite3_close_v2(db);
}

void Database::Compact(const QString& programFolder)
{
    Database db;
    db.Open(QDir(programFolder).filePath(FileName));
    const auto pragma = [&db](const char* name) {
        Statement query(db.db_, QStringLiteral("PRAGMA ") + QLatin1String(name));
        return query.Step() ? query.Column(0).toLongLong() : 0;
    };
    // VACUUM rewrites the whole file and flushes it several times; it runs only when more than a
    // tenth of the file's pages lie free.
    if (pragma("freelist_count") * 10 > pragma("page_count"))
        db.Execute(QStringLiteral("VACUUM"));
}

Transaction::Transaction(Database& db)
    : db_(db)
{
    db_.Execute(QStringLiteral("SAVEPOINT zp_transaction"));
}

Transaction::~Transaction()
{
    if (done_)
        return;
    try {
        db_.Execute(QStringLiteral("ROLLBACK TO zp_transaction"));
        db_.Execute(QStringLiteral("RELEASE zp_transaction"));
    } catch (const DatabaseError&) {
        // The connection is gone or the rollback already happened; nothing is left to undo.
    }
}

void Transaction::Commit()
{
    db_.Execute(QStringLiteral("RELEASE zp_transaction"));
    done_ = true;
}

} // namespace zp
