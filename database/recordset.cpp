#include "database/recordset_impl.h"

#include "database/database.h"
#include "database/statement.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace zp {

using namespace recordset_parts;

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
    d->longTextQuery.reset();
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
    const size_t c = size_t(column);
    if (d->mode != EditMode::None && !d->columns[c].blob) {
        // A long text the edit has not changed is read only when asked for, as outside an edit.
        if (!d->columns[c].longText || d->mode == EditMode::Add || d->changed[c] || d->editValues[c].isNull())
            return d->editValues[c];
        return d->RowWithLongText().values[c];
    }
    const Row& row = d->CurrentRow();
    if (d->columns[c].longText && !row.values[c].isNull())
        return d->RowWithLongText().values[c];
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
