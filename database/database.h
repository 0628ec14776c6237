#pragma once

#include <QString>
#include <stdexcept>

struct sqlite3;

namespace zp {

// A failure of the database layer; the text names the problem ("not a Zenpatch database",
// "table HackInfo is missing", the SQLite message of a failed statement) but not the file, which
// the caller names once.
class DatabaseError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The shared connection to the encrypted hack database (SQLCipher, key "qorvantel").
class Database
{
public:
    static constexpr const char* Key = "qorvantel";
    static constexpr const char* FileName = "zpatch.zpd";

    Database() = default;
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens an existing database file read-write and checks key and tables; throws DatabaseError.
    // Nothing is written to a file that fails the checks.
    void Open(const QString& path);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    QString Path() const { return path_; }
    sqlite3* Handle() const { return db_; }

    // Runs one statement that returns no rows; throws DatabaseError.
    void Execute(const QString& sql);

    // Tries a write that is rolled back at once: it needs the file and, for the journal, its folder
    // to be writable. Throws DatabaseError with SQLite's reason ("attempt to write a readonly
    // database", "unable to open database file").
    void CheckWritable();

    // Writes a new database with the four tables and one MainConfig row whose SourceDir and
    // OutputDir are Null. Refuses (DatabaseError "the file already exists") to overwrite a file.
    static void CreateNew(const QString& path);

    // Compacts <folder>/zpatch.zpd in place with VACUUM when more than a tenth of its pages are free
    // (else the file is left untouched): crash-safe through SQLite's journal, and other connections
    // wait for it (or it for them). On failure the file is left as it was.
    static void Compact(const QString& programFolder);

private:
    sqlite3* db_ = nullptr;
    QString path_;
};

// A savepoint, so that it nests inside an open transaction; rolls back unless Commit() was called.
class Transaction
{
public:
    explicit Transaction(Database& db);
    ~Transaction();
    void Commit();

private:
    Database& db_;
    bool done_ = false;
};

} // namespace zp
