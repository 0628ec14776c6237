#include "database/recordset_impl.h"

#include "database/database.h"
#include "encoder/vector_state.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <sqlite3.h>

namespace zp {

using namespace recordset_parts;

namespace recordset_parts {

qint64 PartSize(const BlobPart& part)
{
    if (const auto* bytes = std::get_if<QByteArray>(&part))
        return bytes->size();
    return QFileInfo(std::get<QString>(part)).size();
}

} // namespace recordset_parts

void Recordset::Impl::StartEdit()
{
    RequireTable();
    if (mode != EditMode::None)
        return;
    editValues = CurrentRow().values;
    changed.assign(columns.size(), false);
    mode = EditMode::Edit;
}

void Recordset::Impl::ResetEdit()
{
    mode = EditMode::None;
    editValues.clear();
    changed.clear();
    pendingBlobs.clear();
}

void Recordset::Impl::WriteBlob(qint64 rowid, int column, const std::vector<BlobPart>& parts)
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
            ClearUpperVectorState();
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
                    Fail(QStringLiteral("cannot read %1: the file shrank while it was stored").arg(file.fileName()));
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

void Recordset::Impl::FailTooLarge() const
{
    const auto largest = std::max_element(pendingBlobs.begin(), pendingBlobs.end(), [](const auto& a, const auto& b) {
        return BlobTotal(a.second) < BlobTotal(b.second);
    });
    const std::vector<BlobPart>& parts = largest->second;
    const QString* file = parts.size() == 1 ? std::get_if<QString>(&parts.front()) : nullptr;
    Fail(QStringLiteral("%1 (%2 bytes) is larger than the database can hold (%3 bytes at most)")
             .arg(file ? *file : columns[size_t(largest->first)].name)
             .arg(BlobTotal(parts))
             .arg(sqlite3_limit(db.Handle(), SQLITE_LIMIT_LENGTH, -1)));
}

qint64 Recordset::Impl::BlobTotal(const std::vector<BlobPart>& parts)
{
    qint64 total = 0;
    for (const BlobPart& part : parts)
        total += PartSize(part);
    return total;
}

QByteArray Recordset::Impl::JoinedParts(const std::vector<BlobPart>& parts)
{
    QByteArray joined;
    for (const BlobPart& part : parts) {
        if (const auto* bytes = std::get_if<QByteArray>(&part)) {
            joined += *bytes;
            continue;
        }
        QFile file(std::get<QString>(part));
        if (!file.open(QIODevice::ReadOnly))
            Fail(QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()));
        joined += file.readAll();
    }
    return joined;
}

void Recordset::Impl::Store()
{
    // A blob over the connection's length limit is refused in words before any statement runs.
    const qint64 limit = sqlite3_limit(db.Handle(), SQLITE_LIMIT_LENGTH, -1);
    for (const auto& [column, parts] : pendingBlobs) {
        if (BlobTotal(parts) > limit)
            FailTooLarge();
    }
    // A small blob is bound into the row's statement like any value.
    for (auto it = pendingBlobs.begin(); it != pendingBlobs.end();) {
        const qint64 total = it->second.empty() ? 0 : BlobTotal(it->second);
        if (total <= 0 || total > InlineBlobSize) {
            ++it;
            continue;
        }
        editValues[size_t(it->first)] = JoinedParts(it->second);
        changed[size_t(it->first)] = true;
        it = pendingBlobs.erase(it);
    }
    // A row is one statement, which is atomic by itself; larger blobs are written after it, so
    // those take a savepoint. No savepoint otherwise: inside an open transaction each one would
    // copy every page the row touches into SQLite's sub-journal until the outer one ends (many
    // support files stored in the savepoint of a recording held two pages each in memory).
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
        try {
            statement.Step();
        } catch (const DatabaseError&) {
            if (sqlite3_errcode(db.Handle()) == SQLITE_TOOBIG && !pendingBlobs.empty())
                FailTooLarge();
            throw;
        }
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

void Recordset::Impl::BeforeMove()
{
    RequireOpen();
    if (mode != EditMode::None) {
        EndChunkRead();
        Store();
        ResetEdit();
    }
    EndChunkRead();
}

} // namespace zp
