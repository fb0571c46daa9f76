#include "server/Database.h"

#include "server/SqlValues.h"

#include <sqlite3.h>

ESqliteError::ESqliteError(QString message, int extendedCode)
    : Exception(std::move(message)), extendedCode_(extendedCode)
{
}

QString ESqliteError::ClassName() const
{
    return QStringLiteral("ESqliteError");
}

void ThrowSqlite(sqlite3* db, int rc, const QString& context)
{
    const int extended = db ? sqlite3_extended_errcode(db) : rc;
    const QString text = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    throw ESqliteError(context.isEmpty() ? text : QStringLiteral("%1: %2").arg(context, text),
                       (extended & 0xff) == (rc & 0xff) ? extended : rc);
}

// ---- TStatement ----------------------------------------------------------------------

TStatement::TStatement(sqlite3* db, const QString& sql) : db_(db)
{
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(db_, utf8.constData(), static_cast<int>(utf8.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK)
        ThrowSqlite(db_, rc, QString());
}

TStatement::TStatement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}

TStatement::~TStatement()
{
    sqlite3_finalize(stmt_);
}

TStatement::TStatement(TStatement&& other) noexcept : db_(other.db_), stmt_(other.stmt_)
{
    other.stmt_ = nullptr;
}

void TStatement::Check(int rc) const
{
    if (rc != SQLITE_OK)
        ThrowSqlite(db_, rc, QString());
}

void TStatement::Bind(int index, const QVariant& value)
{
    if (!value.isValid() || value.isNull()) {
        BindNull(index);
        return;
    }
    if (value.metaType() == QMetaType::fromType<TVarDate>()) {
        BindText(index, DateTimeToSqlText(value.value<TVarDate>().Value));
        return;
    }
    switch (value.metaType().id()) {
        case QMetaType::Bool:
            BindInt(index, value.toBool() ? 1 : 0);
            return;
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::SChar:
        case QMetaType::UChar:
        case QMetaType::Char:
            BindInt(index, value.toLongLong());
            return;
        case QMetaType::Double:
        case QMetaType::Float:
            BindDouble(index, value.toDouble());
            return;
        case QMetaType::QByteArray:
            BindBlob(index, value.toByteArray());
            return;
        case QMetaType::QDateTime:
            BindText(index, DateTimeToSqlText(DateTimeFromQDateTime(value.toDateTime())));
            return;
        default:
            BindText(index, value.toString());
            return;
    }
}

void TStatement::BindNull(int index)
{
    Check(sqlite3_bind_null(stmt_, index));
}

void TStatement::BindInt(int index, qint64 value)
{
    Check(sqlite3_bind_int64(stmt_, index, value));
}

void TStatement::BindDouble(int index, double value)
{
    Check(sqlite3_bind_double(stmt_, index, value));
}

void TStatement::BindText(int index, const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    Check(sqlite3_bind_text(stmt_, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT));
}

void TStatement::BindBlob(int index, const QByteArray& value)
{
    Check(
        sqlite3_bind_blob(stmt_, index, value.constData(), static_cast<int>(value.size()), SQLITE_TRANSIENT));
}

bool TStatement::Step()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    ThrowSqlite(db_, rc, QString());
}

void TStatement::Reset()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int TStatement::ColumnCount() const
{
    return sqlite3_column_count(stmt_);
}

QString TStatement::ColumnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(stmt_, column));
}

QString TStatement::DeclaredType(int column) const
{
    const char* decl = sqlite3_column_decltype(stmt_, column);
    return decl ? QString::fromUtf8(decl) : QString();
}

int TStatement::ColumnType(int column) const
{
    return sqlite3_column_type(stmt_, column);
}

bool TStatement::IsNull(int column) const
{
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

qint64 TStatement::Int(int column) const
{
    return sqlite3_column_int64(stmt_, column);
}

double TStatement::Double(int column) const
{
    return sqlite3_column_double(stmt_, column);
}

QString TStatement::Text(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(stmt_, column));
}

QByteArray TStatement::Blob(int column) const
{
    const void* data = sqlite3_column_blob(stmt_, column);
    return QByteArray(static_cast<const char*>(data), sqlite3_column_bytes(stmt_, column));
}

QVariant TStatement::Value(int column) const
{
    switch (ColumnType(column)) {
        case SQLITE_INTEGER:
            return QVariant(Int(column));
        case SQLITE_FLOAT:
            return QVariant(Double(column));
        case SQLITE_TEXT:
            return QVariant(Text(column));
        case SQLITE_BLOB:
            return QVariant(Blob(column));
        default:
            return QVariant();
    }
}

// ---- TDatabase -----------------------------------------------------------------------

TDatabase::TDatabase(const QString& path, TMode mode) : path_(path)
{
    const int flags =
        mode == TMode::ReadOnly ? SQLITE_OPEN_READONLY : (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString text =
            db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close(db_);
        db_ = nullptr;
        throw ESqliteError(QStringLiteral("Cannot open the database \"%1\": %2").arg(path, text), rc);
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, 5000);
    if (mode == TMode::ReadWrite)
        Exec(QStringLiteral("PRAGMA foreign_keys = ON"));
}

TDatabase::~TDatabase()
{
    sqlite3_close_v2(db_);
}

void TDatabase::Exec(const QString& sql)
{
    char* error = nullptr;
    const int rc = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const QString text = error ? QString::fromUtf8(error) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_free(error);
        throw ESqliteError(text, sqlite3_extended_errcode(db_));
    }
}

QVariant TDatabase::Scalar(const QString& sql, const QVariantList& params)
{
    TStatement stmt(db_, sql);
    for (int i = 0; i < params.size(); ++i)
        stmt.Bind(i + 1, params.at(i));
    return stmt.Step() ? stmt.Value(0) : QVariant();
}

qint64 TDatabase::LastInsertRowId() const
{
    return sqlite3_last_insert_rowid(db_);
}

int TDatabase::Changes() const
{
    return sqlite3_changes(db_);
}

// ---- TTransaction --------------------------------------------------------------------

TTransaction::TTransaction(TDatabase& db) : db_(db)
{
    db_.Exec(QStringLiteral("BEGIN IMMEDIATE"));
}

TTransaction::~TTransaction()
{
    if (open_) {
        try {
            db_.Exec(QStringLiteral("ROLLBACK"));
        } catch (const Exception&) {
            // Nothing more can be done: SQLite rolls back on its own when it cannot.
        }
    }
}

void TTransaction::Commit()
{
    db_.Exec(QStringLiteral("COMMIT"));
    open_ = false;
}

void TTransaction::Rollback()
{
    open_ = false;
    db_.Exec(QStringLiteral("ROLLBACK"));
}
