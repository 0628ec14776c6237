#include "database/statement.h"

#include "database/database.h"
#include "encoder/vector_state.h"

#include <sqlite3.h>

namespace zp {

void CheckResult(sqlite3* db, int code, const QString& what)
{
    if (code == SQLITE_OK || code == SQLITE_ROW || code == SQLITE_DONE)
        return;
    const char* message = db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    throw DatabaseError(QStringLiteral("%1: %2").arg(what, QString::fromUtf8(message)).toStdString());
}

Statement::Statement(sqlite3* db, const QString& sql)
    : db_(db)
    , sql_(sql)
{
    if (!db_)
        throw DatabaseError(QStringLiteral("the database is not open: %1").arg(sql).toStdString());
    const QByteArray text = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(db_, text.constData(), int(text.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK)
        Fail(rc);
}

Statement::~Statement()
{
    sqlite3_finalize(stmt_);
}

void Statement::Fail(int) const
{
    throw DatabaseError(QStringLiteral("%1 (%2)").arg(QString::fromUtf8(sqlite3_errmsg(db_)), sql_).toStdString());
}

void Statement::Bind(int index, const QVariant& value)
{
    int rc = SQLITE_OK;
    if (value.isNull()) {
        rc = sqlite3_bind_null(stmt_, index);
    } else {
        switch (value.typeId()) {
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            rc = sqlite3_bind_blob64(stmt_, index, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::Bool:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
            rc = sqlite3_bind_int64(stmt_, index, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(stmt_, index, value.toDouble());
            break;
        default: {
            const QByteArray text = value.toString().toUtf8();
            rc = sqlite3_bind_text64(
                stmt_, index, text.constData(), sqlite3_uint64(text.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        }
        }
    }
    if (rc != SQLITE_OK)
        Fail(rc);
}

bool Statement::Step()
{
    // Each step may read or write pages, which SQLCipher decrypts or encrypts.
    ClearUpperVectorState();
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        Fail(rc);
    return false;
}

void Statement::Reset()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int Statement::ColumnCount() const
{
    return sqlite3_column_count(stmt_);
}

QString Statement::ColumnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(stmt_, column));
}

QVariant Statement::Column(int column) const
{
    switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(stmt_, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt_, column));
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(stmt_, column)));
    }
    case SQLITE_BLOB: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
        return QVariant(QByteArray(data, sqlite3_column_bytes(stmt_, column)));
    }
    default:
        return QVariant();
    }
}

} // namespace zp
