#include "database/recordset.h"

#include "database/database.h"
#include "database/statement.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <map>
#include <memory>
#include <optional>
#include <sqlite3.h>
#include <variant>
#include <vector>

namespace zp {

namespace {

constexpr qint64 FileChunkSize = 16384;

[[noreturn]] void Fail(const QString& message)
{
    throw DatabaseError(message.toStdString());
}

QString Bracketed(const QString& name)
{
    return QLatin1Char('[') + name + QLatin1Char(']');
}

struct Column
{
    QString name;
    bool blob = false;
};

struct Row
{
    qint64 rowid = -1;
    std::vector<QVariant> values; // a blob column holds its length (or Null), never its bytes
};

// One piece of a blob being written: bytes given by AppendChunk, or a file named by SetBlobFromFile.
using BlobPart = std::variant<QByteArray, QString>;

qint64 PartSize(const BlobPart& part)
{
    if (const auto* bytes = std::get_if<QByteArray>(&part))
        return bytes->size();
    return QFileInfo(std::get<QString>(part)).size();
}

enum class EditMode { None, Edit, Add };

} // namespace

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
    std::vector<Column> columns;
    QHash<QString, int> columnIndex; // name as spelt by the table, and in lower case -> column
    QString selectList; // "rowid AS ..., [a], [b], length([blob]) AS [blob]"
    std::vector<Row> rows;
    int pos = 0;
    bool onDeletedRow = false;

    EditMode mode = EditMode::None;
    std::vector<QVariant> editValues;
    std::vector<bool> changed;
    std::map<int, std::vector<BlobPart>> pendingBlobs; // column -> parts; an empty list stores Null

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
            Fail(QStringLiteral("Operation is not allowed when the object is closed."));
    }

    bool AtRow() const { return open && !onDeletedRow && pos >= 0 && pos < int(rows.size()); }

    const Row& CurrentRow() const
    {
        RequireOpen();
        if (!AtRow())
            Fail(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
        return rows[size_t(pos)];
    }

    int ColumnOf(const QString& field) const
    {
        RequireOpen();
        // Fields are mostly asked for as the table spells them: no lower-case copy for those.
        auto it = columnIndex.constFind(field);
        if (it == columnIndex.constEnd())
            it = columnIndex.constFind(field.toLower());
        if (it == columnIndex.constEnd())
            Fail(QStringLiteral("Item cannot be found in the collection corresponding to the requested name or "
                                "ordinal: %1")
                     .arg(field));
        return *it;
    }

    int BlobColumnOf(const QString& field) const
    {
        const int column = ColumnOf(field);
        if (!columns[size_t(column)].blob)
            Fail(QStringLiteral("field %1 does not hold bytes").arg(field));
        return column;
    }

    void RequireTable() const
    {
        if (table.isEmpty())
            Fail(QStringLiteral("the recordset cannot be updated: %1").arg(source));
    }

    void EndChunkRead()
    {
        if (blob)
            sqlite3_blob_close(blob);
        blob = nullptr;
        chunkColumn = -1;
        chunkRowid = -1;
        chunkOffset = 0;
    }

    // The statement for `sql`, ready to be bound and stepped; the caller resets it when done with
    // a row it read, since a statement left on a row holds the database's read lock.
    Statement& Prepared(const QString& sql)
    {
        std::unique_ptr<Statement>& statement = prepared[sql];
        if (!statement)
            statement = std::make_unique<Statement>(db.Handle(), sql);
        statement->Reset();
        return *statement;
    }

    void IndexColumn(const QString& name, int column)
    {
        columnIndex.insert(name, column);
        columnIndex.insert(name.toLower(), column);
    }

    void LoadColumns()
    {
        columns.clear();
        columnIndex.clear();
        QStringList select {QStringLiteral("rowid")};
        Statement info(db.Handle(), QStringLiteral("PRAGMA table_info(%1)").arg(Bracketed(table)));
        while (info.Step()) {
            Column column {info.Column(1).toString(),
                           info.Column(2).toString().compare("BLOB", Qt::CaseInsensitive) == 0};
            // The length of a blob is read without loading its pages; the bytes are fetched in chunks.
            select << (column.blob ? QStringLiteral("length(%1) AS %1").arg(Bracketed(column.name))
                                   : Bracketed(column.name));
            IndexColumn(column.name, int(columns.size()));
            columns.push_back(column);
        }
        if (columns.empty())
            Fail(QStringLiteral("no such table: %1").arg(table));
        selectList = select.join(QStringLiteral(", "));
    }

    // "SELECT * FROM [T] rest" becomes a select of the row id and every column; ties of the ORDER BY
    // (and a query without one) keep insertion order.
    QString SnapshotQuery(QString rest) const
    {
        static const QRegularExpression orderBy(QStringLiteral("\\bORDER\\s+BY\\b"),
                                                QRegularExpression::CaseInsensitiveOption);
        rest = rest.trimmed();
        while (rest.endsWith(QLatin1Char(';')))
            rest.chop(1);
        rest += orderBy.match(rest).hasMatch() ? QStringLiteral(", rowid") : QStringLiteral(" ORDER BY rowid");
        return QStringLiteral("SELECT %1 FROM %2 %3").arg(selectList, Bracketed(table), rest);
    }

    Row ReadRow(const Statement& statement, bool withRowid) const
    {
        Row row;
        const int first = withRowid ? 1 : 0;
        if (withRowid)
            row.rowid = statement.Column(0).toLongLong();
        for (int c = first; c < statement.ColumnCount(); ++c)
            row.values.push_back(statement.Column(c));
        return row;
    }

    void Load(const QString& sql)
    {
        static const QRegularExpression selectAll(
            QStringLiteral("^\\s*SELECT\\s+\\*\\s+FROM\\s+(?:\\[([^\\]]+)\\]|(\\w+))(.*)$"),
            QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
        const auto match = selectAll.match(sql);
        rows.clear();
        if (match.hasMatch()) {
            table = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
            LoadColumns();
            Statement query(db.Handle(), SnapshotQuery(match.captured(3)));
            while (query.Step())
                rows.push_back(ReadRow(query, true));
        } else {
            table.clear();
            columns.clear();
            columnIndex.clear();
            Statement query(db.Handle(), sql);
            for (int c = 0; c < query.ColumnCount(); ++c) {
                IndexColumn(query.ColumnName(c), c);
                columns.push_back({query.ColumnName(c), false});
            }
            while (query.Step())
                rows.push_back(ReadRow(query, false));
        }
        pos = 0;
        onDeletedRow = false;
    }

    Row Fetch(qint64 rowid)
    {
        Statement& query
            = Prepared(QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(selectList, Bracketed(table)));
        query.Bind(1, rowid);
        const bool found = query.Step();
        Row row = found ? ReadRow(query, true) : Row();
        query.Reset();
        if (!found)
            Fail(QStringLiteral("the row was removed from %1 by someone else").arg(table));
        return row;
    }

    void StartEdit()
    {
        RequireTable();
        if (mode != EditMode::None)
            return;
        editValues = CurrentRow().values;
        changed.assign(columns.size(), false);
        mode = EditMode::Edit;
    }

    void ResetEdit()
    {
        mode = EditMode::None;
        editValues.clear();
        changed.clear();
        pendingBlobs.clear();
    }

    void WriteBlob(qint64 rowid, int column, const std::vector<BlobPart>& parts)
    {
        const QByteArray tableName = table.toUtf8();
        const QByteArray columnName = columns[size_t(column)].name.toUtf8();
        sqlite3_blob* target = nullptr;
        CheckResult(db.Handle(),
                    sqlite3_blob_open(db.Handle(), "main", tableName, columnName, rowid, 1, &target),
                    QStringLiteral("cannot write %1").arg(columns[size_t(column)].name));
        try {
            int offset = 0;
            auto write = [&](const char* data, qint64 size) {
                CheckResult(db.Handle(),
                            sqlite3_blob_write(target, data, int(size), offset),
                            QStringLiteral("cannot write %1").arg(columns[size_t(column)].name));
                offset += int(size);
            };
            for (const BlobPart& part : parts) {
                if (const auto* bytes = std::get_if<QByteArray>(&part)) {
                    write(bytes->constData(), bytes->size());
                    continue;
                }
                QFile file(std::get<QString>(part));
                if (!file.open(QIODevice::ReadOnly))
                    Fail(QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()));
                const qint64 expected = PartSize(part);
                qint64 done = 0;
                while (done < expected) {
                    const QByteArray chunk = file.read(qMin(FileChunkSize, expected - done));
                    if (chunk.isEmpty())
                        Fail(
                            QStringLiteral("cannot read %1: the file shrank while it was stored").arg(file.fileName()));
                    write(chunk.constData(), chunk.size());
                    done += chunk.size();
                }
            }
        } catch (...) {
            sqlite3_blob_close(target);
            throw;
        }
        sqlite3_blob_close(target);
    }

    // The value bound for a blob column: zeroblob(total size), then filled by WriteBlob.
    static qint64 BlobTotal(const std::vector<BlobPart>& parts)
    {
        qint64 total = 0;
        for (const BlobPart& part : parts)
            total += PartSize(part);
        return total;
    }

    void Store()
    {
        // A row is one statement, which is atomic by itself; blobs are written after it, so those
        // take a savepoint. No savepoint otherwise: inside an open transaction each one would copy
        // every page the row touches into SQLite's sub-journal until the outer one ends.
        std::optional<Transaction> transaction;
        if (!pendingBlobs.empty())
            transaction.emplace(db);
        QStringList names, placeholders;
        std::vector<QVariant> bound;
        for (size_t c = 0; c < columns.size(); ++c) {
            const auto blobIt = pendingBlobs.find(int(c));
            if (blobIt != pendingBlobs.end()) {
                names << Bracketed(columns[c].name);
                if (blobIt->second.empty()) {
                    placeholders << QStringLiteral("NULL");
                } else {
                    placeholders << QStringLiteral("zeroblob(?)");
                    bound.push_back(BlobTotal(blobIt->second));
                }
            } else if (changed[c]) {
                names << Bracketed(columns[c].name);
                placeholders << QStringLiteral("?");
                bound.push_back(editValues[c]);
            }
        }
        qint64 rowid = -1;
        QString sql;
        if (mode == EditMode::Add) {
            sql = names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(Bracketed(table))
                                  : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                        .arg(Bracketed(table), names.join(", "), placeholders.join(", "));
        } else {
            rowid = rows[size_t(pos)].rowid;
            QStringList assignments;
            for (int i = 0; i < names.size(); ++i)
                assignments << names[i] + QStringLiteral(" = ") + placeholders[i];
            if (!assignments.isEmpty()) {
                sql = QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?").arg(Bracketed(table), assignments.join(", "));
                bound.push_back(rowid);
            }
        }
        if (!sql.isEmpty()) {
            Statement& statement = Prepared(sql);
            for (size_t i = 0; i < bound.size(); ++i)
                statement.Bind(int(i) + 1, bound[i]);
            statement.Step();
        }
        if (mode == EditMode::Add)
            rowid = sqlite3_last_insert_rowid(db.Handle());
        for (const auto& [column, parts] : pendingBlobs) {
            if (!parts.empty())
                WriteBlob(rowid, column, parts);
        }
        if (transaction)
            transaction->Commit();

        Row stored = Fetch(rowid);
        if (mode == EditMode::Add) {
            rows.push_back(std::move(stored));
            pos = int(rows.size()) - 1;
            onDeletedRow = false;
        } else {
            rows[size_t(pos)] = std::move(stored);
        }
    }

    // ADO stores a pending edit when the cursor moves.
    void BeforeMove()
    {
        RequireOpen();
        if (mode != EditMode::None) {
            EndChunkRead();
            Store();
            ResetEdit();
        }
        EndChunkRead();
    }

    QByteArray ReadChunk(int column, int size)
    {
        const Row& row = CurrentRow();
        if (chunkColumn != column || chunkRowid != row.rowid) {
            EndChunkRead();
            chunkColumn = column;
            chunkRowid = row.rowid;
        }
        if (row.values[size_t(column)].isNull() || size <= 0)
            return {};
        if (!blob) {
            const QByteArray tableName = table.toUtf8();
            const QByteArray columnName = columns[size_t(column)].name.toUtf8();
            CheckResult(db.Handle(),
                        sqlite3_blob_open(db.Handle(), "main", tableName, columnName, row.rowid, 0, &blob),
                        QStringLiteral("cannot read %1").arg(columns[size_t(column)].name));
        }
        const qint64 total = sqlite3_blob_bytes(blob);
        const int count = int(qMin<qint64>(size, total - chunkOffset));
        if (count <= 0)
            return {};
        QByteArray chunk(count, Qt::Uninitialized);
        CheckResult(db.Handle(),
                    sqlite3_blob_read(blob, chunk.data(), count, int(chunkOffset)),
                    QStringLiteral("cannot read %1").arg(columns[size_t(column)].name));
        chunkOffset += count;
        return chunk;
    }
};

Recordset::Recordset(Database& db)
    : d(std::make_unique<Impl>(db))
{
}

Recordset::~Recordset() = default;

void Recordset::Open(const QString& sql)
{
    if (d->open)
        Fail(QStringLiteral("Operation is not allowed when the object is open."));
    static const QRegularExpression select(QStringLiteral("^\\s*SELECT\\b"), QRegularExpression::CaseInsensitiveOption);
    if (!select.match(sql).hasMatch()) {
        // A statement that returns no rows (the deletions) runs and leaves the recordset closed.
        d->db.Execute(sql);
        return;
    }
    d->Load(sql);
    d->source = sql;
    d->open = true;
}

void Recordset::ReOpen(const QString& sql)
{
    if (IsOpen())
        Close();
    Open(sql);
}

void Recordset::Close()
{
    d->EndChunkRead();
    d->ResetEdit();
    d->rows.clear();
    d->prepared.clear();
    d->open = false;
}

bool Recordset::IsOpen() const
{
    return d->open;
}

QString Recordset::Source() const
{
    return d->source;
}

int Recordset::RecordCount() const
{
    d->RequireOpen();
    return int(d->rows.size());
}

bool Recordset::BOF() const
{
    return d->rows.empty() || d->pos < 0;
}

bool Recordset::EOF() const
{
    return d->rows.empty() || d->pos >= int(d->rows.size());
}

void Recordset::MoveFirst()
{
    d->BeforeMove();
    d->pos = 0;
    d->onDeletedRow = false;
}

void Recordset::MoveNext()
{
    d->BeforeMove();
    // After a Delete the cursor already stands on the row that followed the deleted one.
    if (d->onDeletedRow) {
        d->onDeletedRow = false;
        return;
    }
    if (EOF())
        Fail(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
    ++d->pos;
}

void Recordset::MoveLast()
{
    d->BeforeMove();
    d->pos = int(d->rows.size()) - 1;
    d->onDeletedRow = false;
}

void Recordset::Move(int n)
{
    d->BeforeMove();
    if (d->onDeletedRow && n > 0)
        --n;
    d->onDeletedRow = false;
    d->pos = qBound(-1, d->pos + n, int(d->rows.size()));
}

int Recordset::AbsolutePosition() const
{
    return d->AtRow() ? d->pos : -1;
}

void Recordset::Requery()
{
    d->RequireOpen();
    d->EndChunkRead();
    d->ResetEdit();
    d->Load(d->source);
}

void Recordset::AddNew()
{
    d->RequireOpen();
    d->RequireTable();
    if (d->mode != EditMode::None)
        Update();
    d->EndChunkRead();
    d->mode = EditMode::Add;
    d->editValues.assign(d->columns.size(), QVariant());
    d->changed.assign(d->columns.size(), false);
}

void Recordset::Update()
{
    d->RequireOpen();
    if (d->mode == EditMode::None)
        return;
    d->EndChunkRead();
    d->Store();
    d->ResetEdit();
}

void Recordset::CancelUpdate()
{
    d->ResetEdit();
}

void Recordset::Delete()
{
    d->RequireTable();
    const qint64 rowid = d->CurrentRow().rowid;
    d->ResetEdit();
    d->EndChunkRead();
    Statement statement(d->db.Handle(), QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(Bracketed(d->table)));
    statement.Bind(1, rowid);
    statement.Step();
    d->rows.erase(d->rows.begin() + d->pos);
    d->onDeletedRow = true;
}

QStringList Recordset::FieldNames() const
{
    d->RequireOpen();
    QStringList names;
    for (const Column& column : d->columns)
        names << column.name;
    return names;
}

QVariant Recordset::Value(const QString& field) const
{
    return Value(d->ColumnOf(field));
}

int Recordset::FieldIndex(const QString& field) const
{
    return d->ColumnOf(field);
}

QVariant Recordset::Value(int column) const
{
    if (d->mode != EditMode::None && !d->columns[size_t(column)].blob)
        return d->editValues[size_t(column)];
    const Row& row = d->CurrentRow();
    if (!d->columns[size_t(column)].blob || row.values[size_t(column)].isNull())
        return row.values[size_t(column)];
    Statement query(d->db.Handle(),
                    QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                        .arg(Bracketed(d->columns[size_t(column)].name), Bracketed(d->table)));
    query.Bind(1, row.rowid);
    return query.Step() ? query.Column(0) : QVariant();
}

void Recordset::SetValue(const QString& field, const QVariant& value)
{
    const int column = d->ColumnOf(field);
    d->StartEdit();
    if (d->columns[size_t(column)].blob) {
        auto& parts = d->pendingBlobs[column];
        parts.clear();
        if (!value.isNull())
            parts.push_back(value.toByteArray());
        return;
    }
    d->editValues[size_t(column)] = value;
    d->changed[size_t(column)] = true;
}

bool Recordset::IsNull(const QString& field) const
{
    const int column = d->ColumnOf(field);
    if (d->mode != EditMode::None && !d->columns[size_t(column)].blob)
        return d->editValues[size_t(column)].isNull();
    return d->CurrentRow().values[size_t(column)].isNull();
}

QString Recordset::Text(const QString& field) const
{
    const QVariant value = Value(field);
    return value.isNull() ? QString() : value.toString();
}

int Recordset::Int(const QString& field, int defaultValue) const
{
    const QVariant value = Value(field);
    return value.isNull() ? defaultValue : value.toInt();
}

QByteArray Recordset::GetChunk(const QString& field, int size)
{
    return d->ReadChunk(d->BlobColumnOf(field), size);
}

qint64 Recordset::BlobSize(const QString& field) const
{
    const int column = d->BlobColumnOf(field);
    return d->CurrentRow().values[size_t(column)].toLongLong();
}

void Recordset::WriteBlobToFile(const QString& field, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        Fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    const bool written = ReadBlob(field, [&file](const QByteArray& chunk) {
        // A write that falls short is continued until the system says why it cannot go on.
        qint64 done = 0;
        for (qint64 n = 0; done < chunk.size(); done += n) {
            if ((n = file.write(chunk.constData() + done, chunk.size() - done)) <= 0)
                return false;
        }
        return true;
    });
    if (!written)
        Fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
}

bool Recordset::ReadBlob(const QString& field, const std::function<bool(const QByteArray&)>& consume)
{
    const int column = d->BlobColumnOf(field);
    d->EndChunkRead();
    bool consumed = true;
    for (QByteArray chunk = d->ReadChunk(column, FileChunkSize); consumed && !chunk.isEmpty();
         chunk = d->ReadChunk(column, FileChunkSize))
        consumed = consume(chunk);
    d->EndChunkRead();
    return consumed;
}

void Recordset::AppendChunk(const QString& field, const QByteArray& bytes)
{
    const int column = d->BlobColumnOf(field);
    d->StartEdit();
    d->pendingBlobs[column].push_back(bytes);
}

void Recordset::SetBlobFromFile(const QString& field, const QString& path)
{
    const int column = d->BlobColumnOf(field);
    if (!QFileInfo(path).isFile())
        Fail(QStringLiteral("cannot read %1: no such file").arg(path));
    d->StartEdit();
    auto& parts = d->pendingBlobs[column];
    parts.clear();
    parts.push_back(path);
}

QVariant NullIfEmpty(const QString& text)
{
    return text.isEmpty() ? QVariant() : QVariant(text);
}

} // namespace zp
