#pragma once

// The state behind a Recordset: its snapshot of rows, the edit under way and the blob read in
// chunks. Reading is in recordset_rows.cpp, storing an edit in recordset_store.cpp.

#include "database/recordset.h"
#include "database/statement.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <map>
#include <memory>
#include <variant>
#include <vector>

struct sqlite3_blob;

namespace zp {

namespace recordset_parts {

constexpr qint64 FileChunkSize = 16384;
// Blobs up to this size are stored by the row's own statement, larger ones a chunk at a time.
constexpr qint64 InlineBlobSize = 1 << 20;

struct Column
{
    QString name;
    bool blob = false;
    bool longText = false; // read with the row's other long texts when first asked for
};

struct Row
{
    qint64 rowid = -1;
    // A blob column holds its length (or Null), never its bytes; a long text column not yet read
    // holds its type's name (or Null).
    std::vector<QVariant> values;
    bool longTextRead = false;
};

// One piece of a blob being written: bytes given by AppendChunk, or a file named by SetBlobFromFile.
using BlobPart = std::variant<QByteArray, QString>;

enum class EditMode { None, Edit, Add };

[[noreturn]] void Fail(const QString& message);
QString Bracketed(const QString& name);
qint64 PartSize(const BlobPart& part);

} // namespace recordset_parts

struct Recordset::Impl
{
    explicit Impl(Database& database)
        : db(database)
    {
    }
    ~Impl() { EndChunkRead(); }

    Database& db;
    bool open = false;
    QString source;
    QString table; // empty for a query that is not "SELECT * FROM [Table]": such a snapshot is read-only
    std::vector<recordset_parts::Column> columns;
    QHash<QString, int> columnIndex; // name as spelt by the table, and in lower case -> column
    QString selectList; // "rowid AS ..., [a], [b], length([blob]) AS [blob], typeof([memo]) AS [memo]"
    std::vector<size_t> longColumns;
    std::unique_ptr<Statement> longTextQuery; // the long texts of one row, kept prepared
    std::vector<recordset_parts::Row> rows;
    int pos = 0;
    bool onDeletedRow = false;

    recordset_parts::EditMode mode = recordset_parts::EditMode::None;
    std::vector<QVariant> editValues;
    std::vector<bool> changed;
    std::map<int, std::vector<recordset_parts::BlobPart>> pendingBlobs; // column -> parts; an empty list stores Null

    // The statements that store and fetch rows, prepared once while the recordset stays open and
    // reused for each row, by their text.
    std::map<QString, std::unique_ptr<Statement>> prepared;

    // Chunked reading of one blob field of the current row.
    sqlite3_blob* blob = nullptr;
    int chunkColumn = -1;
    qint64 chunkRowid = -1;
    qint64 chunkOffset = 0;

    void RequireOpen() const
    {
        if (!open)
            recordset_parts::Fail(QStringLiteral("Operation is not allowed when the object is closed."));
    }

    bool AtRow() const { return open && !onDeletedRow && pos >= 0 && pos < int(rows.size()); }

    const recordset_parts::Row& CurrentRow() const
    {
        RequireOpen();
        if (!AtRow())
            recordset_parts::Fail(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
        return rows[size_t(pos)];
    }

    recordset_parts::Row& RowWithLongText()
    {
        CurrentRow();
        recordset_parts::Row& row = rows[size_t(pos)];
        ReadLongText(row);
        return row;
    }

    int ColumnOf(const QString& field) const
    {
        RequireOpen();
        // Fields are mostly asked for as the table spells them: no lower-case copy for those.
        auto it = columnIndex.constFind(field);
        if (it == columnIndex.constEnd())
            it = columnIndex.constFind(field.toLower());
        if (it == columnIndex.constEnd())
            recordset_parts::Fail(
                QStringLiteral("Item cannot be found in the collection corresponding to the requested name or "
                               "ordinal: %1")
                    .arg(field));
        return *it;
    }

    int BlobColumnOf(const QString& field) const
    {
        const int column = ColumnOf(field);
        if (!columns[size_t(column)].blob)
            recordset_parts::Fail(QStringLiteral("field %1 does not hold bytes").arg(field));
        return column;
    }

    void RequireTable() const
    {
        if (table.isEmpty())
            recordset_parts::Fail(QStringLiteral("the recordset cannot be updated: %1").arg(source));
    }

    void EndChunkRead();

    // The statement for `sql`, ready to be bound and stepped; the caller resets it when done with
    // a row it read, since a statement left on a row holds the database's read lock.
    Statement& Prepared(const QString& sql);

    void IndexColumn(const QString& name, int column)
    {
        columnIndex.insert(name, column);
        columnIndex.insert(name.toLower(), column);
    }

    void LoadColumns();

    // "SELECT * FROM [T] rest" becomes a select of the row id and every column; ties of the ORDER BY
    // (and a query without one) keep insertion order.
    QString SnapshotQuery(QString rest) const;

    recordset_parts::Row ReadRow(const Statement& statement, bool withRowid) const;

    // Reads the long texts of the row, all in one go and at most MaxTextRowBytes of it.
    void ReadLongText(recordset_parts::Row& row);

    void ThrowIfTooLong(bool tooLong) const;

    // The rows of a "SELECT * FROM [Table]" query. A snapshot that holds its rows whole (no long text
    // left for later, no blob) reads at most MaxTextRowBytes of each.
    void LoadSnapshot(const QString& rest);
    void Load(const QString& sql);
    recordset_parts::Row Fetch(qint64 rowid);
    void StartEdit();
    void ResetEdit();
    void WriteBlob(qint64 rowid, int column, const std::vector<recordset_parts::BlobPart>& parts);

    // The value bound for a blob column: zeroblob(total size), then filled by WriteBlob.
    static qint64 BlobTotal(const std::vector<recordset_parts::BlobPart>& parts);
    // The parts' bytes as one.
    static QByteArray JoinedParts(const std::vector<recordset_parts::BlobPart>& parts);
    // SQLite's "string or blob too big" for a row with blobs, in words: the largest of them (the file
    // it comes from) and the most a row holds.
    [[noreturn]] void FailTooLarge() const;
    void Store();

    // ADO stores a pending edit when the cursor moves.
    void BeforeMove();
    QByteArray ReadChunk(int column, int size);
};

} // namespace zp
