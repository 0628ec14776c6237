#pragma once

#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

namespace zp {

// One prepared statement of the hack database, finalized on destruction. Failures throw
// DatabaseError with SQLite's message and the statement text.
class Statement
{
public:
    Statement(sqlite3* db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Binds a nullable value to the 1-based parameter: null -> NULL, QByteArray -> BLOB,
    // integers and booleans -> INTEGER, doubles -> REAL, everything else -> TEXT.
    void Bind(int index, const QVariant& value);
    // Steps once; true while a row is available.
    bool Step();
    void Reset();

    int ColumnCount() const;
    QString ColumnName(int column) const;
    // The column of the current row: NULL -> null QVariant, INTEGER -> qlonglong, REAL -> double,
    // TEXT -> QString, BLOB -> QByteArray.
    QVariant Column(int column) const;

private:
    [[noreturn]] void Fail(int code) const;

    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    QString sql_;
};

// Throws DatabaseError naming the failed operation and SQLite's message when code is an error.
void CheckResult(sqlite3* db, int code, const QString& what);

} // namespace zp
