#include "database/recordset_impl.h"

#include "database/database.h"

#include "database/schema.h"
#include "database/text_limit.h"
#include "encoder/vector_state.h"

#include <QRegularExpression>
#include <algorithm>
#include <sqlite3.h>

namespace zp {

using namespace recordset_parts;

namespace {

// Holds the connection's longest string or row to `bytes` while it lives (a negative `bytes` leaves
// the limit in force as it is).
class LengthLimit
{
public:
    LengthLimit(sqlite3* db, int bytes)
        : db_(db)
        , previous_(sqlite3_limit(db, SQLITE_LIMIT_LENGTH, bytes))
    {
    }
    ~LengthLimit() { sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, previous_); }
    LengthLimit(const LengthLimit&) = delete;
    LengthLimit& operator=(const LengthLimit&) = delete;

private:
    sqlite3* db_;
    int previous_;
};

} // namespace

namespace recordset_parts {

[[noreturn]] void Fail(const QString& message)
{
    throw DatabaseError(message.toStdString());
}

QString Bracketed(const QString& name)
{
    return QLatin1Char('[') + name + QLatin1Char(']');
}

} // namespace recordset_parts

void Recordset::Impl::EndChunkRead()
{
    if (blob)
        sqlite3_blob_close(blob);
    blob = nullptr;
    chunkColumn = -1;
    chunkRowid = -1;
    chunkOffset = 0;
}

Statement& Recordset::Impl::Prepared(const QString& sql)
{
    std::unique_ptr<Statement>& statement = prepared[sql];
    if (!statement)
        statement = std::make_unique<Statement>(db.Handle(), sql);
    statement->Reset();
    return *statement;
}

void Recordset::Impl::LoadColumns()
{
    columns.clear();
    columnIndex.clear();
    QStringList select {QStringLiteral("rowid")};
    Statement info(db.Handle(), QStringLiteral("PRAGMA table_info(%1)").arg(Bracketed(table)));
    while (info.Step()) {
        Column column {info.Column(1).toString(), info.Column(2).toString().compare("BLOB", Qt::CaseInsensitive) == 0};
        column.longText = !column.blob && schema::IsLongText(table, column.name);
        if (column.longText)
            longColumns.push_back(columns.size());
        // The length of a blob and the type of a long text are read without loading their
        // pages; the bytes are fetched in chunks, the texts when asked for.
        select << (column.blob           ? QStringLiteral("length(%1) AS %1").arg(Bracketed(column.name))
                       : column.longText ? QStringLiteral("typeof(%1) AS %1").arg(Bracketed(column.name))
                                         : Bracketed(column.name));
        IndexColumn(column.name, int(columns.size()));
        columns.push_back(column);
    }
    if (columns.empty())
        Fail(QStringLiteral("no such table: %1").arg(table));
    selectList = select.join(QStringLiteral(", "));
}

QString Recordset::Impl::SnapshotQuery(QString rest) const
{
    static const QRegularExpression orderBy(QStringLiteral("\\bORDER\\s+BY\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    rest = rest.trimmed();
    while (rest.endsWith(QLatin1Char(';')))
        rest.chop(1);
    rest += orderBy.match(rest).hasMatch() ? QStringLiteral(", rowid") : QStringLiteral(" ORDER BY rowid");
    return QStringLiteral("SELECT %1 FROM %2 %3").arg(selectList, Bracketed(table), rest);
}

Row Recordset::Impl::ReadRow(const Statement& statement, bool withRowid) const
{
    Row row;
    const int first = withRowid ? 1 : 0;
    if (withRowid)
        row.rowid = statement.Column(0).toLongLong();
    for (int c = first; c < statement.ColumnCount(); ++c) {
        QVariant value = statement.Column(c);
        if (withRowid && columns[size_t(c - first)].longText && value.toString() == QLatin1String("null"))
            value = QVariant();
        row.values.push_back(std::move(value));
    }
    row.longTextRead = longColumns.empty();
    return row;
}

void Recordset::Impl::ReadLongText(Row& row)
{
    if (row.longTextRead)
        return;
    if (!longTextQuery) {
        QStringList names;
        for (const size_t c : longColumns)
            names << Bracketed(columns[c].name);
        longTextQuery = std::make_unique<Statement>(
            db.Handle(), QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(names.join(", "), Bracketed(table)));
    }
    Statement& query = *longTextQuery;
    query.Bind(1, row.rowid);
    try {
        const LengthLimit limit(db.Handle(), MaxTextRowBytes);
        if (!query.Step())
            Fail(QStringLiteral("the row was removed from %1 by someone else").arg(table));
        for (size_t i = 0; i < longColumns.size(); ++i)
            row.values[longColumns[i]] = query.Column(int(i));
    } catch (const DatabaseError&) {
        const bool tooLong = sqlite3_errcode(db.Handle()) == SQLITE_TOOBIG;
        query.Reset();
        ThrowIfTooLong(tooLong);
        throw;
    }
    query.Reset();
    row.longTextRead = true;
}

void Recordset::Impl::ThrowIfTooLong(bool tooLong) const
{
    if (tooLong)
        throw TextTooLongError(
            QStringLiteral("The texts of this hack in %1 are longer than %2 MiB; Zenpatch reads no text that long.")
                .arg(table)
                .arg(MaxTextRowBytes >> 20)
                .toStdString());
}

void Recordset::Impl::LoadSnapshot(const QString& rest)
{
    LoadColumns();
    const bool whole = longColumns.empty()
        && std::none_of(columns.begin(), columns.end(), [](const Column& column) { return column.blob; });
    Statement query(db.Handle(), SnapshotQuery(rest));
    try {
        // A negative limit leaves the one in force as it is.
        const LengthLimit limit(db.Handle(), whole ? MaxTextRowBytes : -1);
        while (query.Step())
            rows.push_back(ReadRow(query, true));
    } catch (const DatabaseError&) {
        ThrowIfTooLong(sqlite3_errcode(db.Handle()) == SQLITE_TOOBIG);
        throw;
    }
}

void Recordset::Impl::Load(const QString& sql)
{
    static const QRegularExpression selectAll(
        QStringLiteral("^\\s*SELECT\\s+\\*\\s+FROM\\s+(?:\\[([^\\]]+)\\]|(\\w+))(.*)$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const auto match = selectAll.match(sql);
    rows.clear();
    longColumns.clear();
    longTextQuery.reset();
    if (match.hasMatch()) {
        table = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
        LoadSnapshot(match.captured(3));
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

Row Recordset::Impl::Fetch(qint64 rowid)
{
    Statement& query = Prepared(QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(selectList, Bracketed(table)));
    query.Bind(1, rowid);
    const bool found = query.Step();
    Row row = found ? ReadRow(query, true) : Row();
    query.Reset();
    if (!found)
        Fail(QStringLiteral("the row was removed from %1 by someone else").arg(table));
    return row;
}

QByteArray Recordset::Impl::ReadChunk(int column, int size)
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
    ClearUpperVectorState();
    CheckResult(db.Handle(),
                sqlite3_blob_read(blob, chunk.data(), count, int(chunkOffset)),
                QStringLiteral("cannot read %1").arg(columns[size_t(column)].name));
    chunkOffset += count;
    return chunk;
}

} // namespace zp
