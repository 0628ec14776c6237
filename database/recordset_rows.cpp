#include "database/recordset_impl.h"

#include "database/database.h"

#include <QRegularExpression>
#include <sqlite3.h>

namespace zp {

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
    for (int c = first; c < statement.ColumnCount(); ++c)
        row.values.push_back(statement.Column(c));
    return row;
}

void Recordset::Impl::Load(const QString& sql)
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
    CheckResult(db.Handle(),
                sqlite3_blob_read(blob, chunk.data(), count, int(chunkOffset)),
                QStringLiteral("cannot read %1").arg(columns[size_t(column)].name));
    chunkOffset += count;
    return chunk;
}

} // namespace zp
