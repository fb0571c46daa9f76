#include "server/ReportSql.h"

#include "server/SqlValues.h"

#include <sqlite3.h>

#include <QSet>

#include <limits>

namespace {

// Functions that reach outside the database or its memory limits.
bool IsDeniedFunction(const char* name)
{
    static const QSet<QByteArray> denied = {
        "load_extension", "fts3_tokenizer",   "readfile",        "writefile",
        "edit",           "sqlite_dbpage",    "zipfile",         "fsdir",
        "sqlar_compress", "sqlar_uncompress", "shell_add_schema"};
    return name && denied.contains(QByteArray(name).toLower());
}

// The database's own tables (SQLite's included), in upper case.
QSet<QByteArray> SchemaTables(TDatabase& db)
{
    QSet<QByteArray> tables = {"SQLITE_MASTER", "SQLITE_SCHEMA", "SQLITE_TEMP_MASTER", "SQLITE_TEMP_SCHEMA"};
    TStatement stmt = db.Prepare(QStringLiteral("SELECT name FROM sqlite_schema WHERE type IN ('table', 'view')"));
    while (stmt.Step())
        tables.insert(stmt.Text(0).toUtf8().toUpper());
    return tables;
}

bool IsSchemaTable(const QSet<QByteArray>& tables, const char* name)
{
    return name && (tables.contains(QByteArray(name).toUpper()) || qstrnicmp(name, "sqlite_", 7) == 0);
}

bool IsCallsTable(const char* table)
{
    static const QSet<QByteArray> tables = {"CALL",     "PBX",    "ARCHIVE",   "EXTENSION",
                                            "PIN_CODE", "GROUPS", "LIMIT_PLAN"};
    return table && tables.contains(QByteArray(table).toUpper());
}

}  // namespace

// The connection is the authorizer's user data: it holds the scope of the statement being
// prepared (a statement SQLite prepares again later keeps its scope, since one connection
// runs one statement) and where the authorizer leaves why it refused, when the reason is
// not that the statement writes.
int TReportConnection::Authorize(void* self, int action, const char* a, const char* b, const char*, const char*)
{
    auto& c = *static_cast<TReportConnection*>(self);
    switch (action) {
        case SQLITE_SELECT:
        case SQLITE_RECURSIVE:
            return SQLITE_OK;
        case SQLITE_READ:  // a is the table
            // The hashes would let a standard user guess the administrator's password at leisure.
            if (a && qstricmp(a, "PASSWORDS") == 0) {
                c.refusal_ = "the passwords cannot be read";
                return SQLITE_DENY;
            }
            // Pragmas can also be read as table-valued functions ("pragma_table_info").
            if (a && qstrnicmp(a, "pragma_", 7) == 0)
                return SQLITE_DENY;
            // Names that are no table of the database are common table expressions.
            if (c.scope_ == TReadScope::Calls && IsSchemaTable(c.tables_, a) && !IsCallsTable(a)) {
                c.refusal_ = "a report reads only the calls and their reference tables";
                return SQLITE_DENY;
            }
            return SQLITE_OK;
        case SQLITE_FUNCTION:  // b is the function's name
            return IsDeniedFunction(b) ? SQLITE_DENY : SQLITE_OK;
        default:
            return SQLITE_DENY;
    }
}

namespace {

bool IsBlankTail(const char* tail)
{
    // Blanks and comments after the statement are allowed; anything else is a second one.
    const char* p = tail;
    while (*p) {
        if (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\f' || *p == ';') {
            ++p;
        } else if (p[0] == '-' && p[1] == '-') {
            while (*p && *p != '\n')
                ++p;
        } else if (p[0] == '/' && p[1] == '*') {
            const char* end = strstr(p + 2, "*/");
            if (!end)
                return true;  // an unterminated comment runs to the end
            p = end + 2;
        } else {
            return false;
        }
    }
    return true;
}

// The type a column without a declared type takes from its values: integers beyond the
// 32-bit range widen it to 64 bits, integers widen to floats, anything with text becomes
// text. `integer` is the value when the storage is SQLITE_INTEGER.
TFieldType Promote(TFieldType current, int storage, qint64 integer)
{
    TFieldType seen = TFieldType::Unknown;
    switch (storage) {
        case SQLITE_INTEGER:
            seen = integer < std::numeric_limits<qint32>::min() || integer > std::numeric_limits<qint32>::max()
                       ? TFieldType::Largeint
                       : TFieldType::Integer;
            break;
        case SQLITE_FLOAT:
            seen = TFieldType::Float;
            break;
        case SQLITE_TEXT:
            seen = TFieldType::WideString;
            break;
        case SQLITE_BLOB:
            seen = TFieldType::Blob;
            break;
        default:
            return current;
    }
    const auto isInteger = [](TFieldType t) { return t == TFieldType::Integer || t == TFieldType::Largeint; };
    if (current == TFieldType::Unknown || current == seen)
        return seen;
    if (isInteger(current) && isInteger(seen))
        return TFieldType::Largeint;
    if ((isInteger(current) && seen == TFieldType::Float) || (current == TFieldType::Float && isInteger(seen)))
        return TFieldType::Float;
    if (current == TFieldType::Blob || seen == TFieldType::Blob)
        return TFieldType::Blob;
    return TFieldType::WideString;
}

}  // namespace

TReportConnection::TReportConnection(const QString& path) : db_(path, TDatabase::TMode::ReadOnly)
{
    sqlite3* h = db_.Handle();
    sqlite3_limit(h, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_limit(h, SQLITE_LIMIT_SQL_LENGTH, MaxReportSqlLength);
    sqlite3_limit(h, SQLITE_LIMIT_LENGTH, 64 * 1024 * 1024);
    sqlite3_db_config(h, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_db_config(h, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    tables_ = SchemaTables(db_);
    sqlite3_set_authorizer(h, &TReportConnection::Authorize, this);
}

void TReportConnection::SetLimits(std::shared_ptr<std::atomic<bool>> cancel, qint64 timeoutMs)
{
    cancel_ = std::move(cancel);
    timeoutMs_ = timeoutMs;
    deadline_ = timeoutMs > 0 ? QDeadlineTimer(timeoutMs) : QDeadlineTimer(QDeadlineTimer::Forever);
    timedOut_ = false;
    sqlite3_progress_handler(db_.Handle(), 1000, &TReportConnection::Progress, this);
}

int TReportConnection::Progress(void* self)
{
    auto& c = *static_cast<TReportConnection*>(self);
    if (c.cancel_ && c.cancel_->load())
        return 1;
    if (c.deadline_.hasExpired()) {
        c.timedOut_ = true;
        return 1;
    }
    return 0;
}

QString TReportConnection::StopReason() const
{
    if (timedOut_)
        return QStringLiteral("The statement was stopped: it ran longer than the server's limit of %1 s.")
            .arg(timeoutMs_ / 1000.0);
    if (cancel_ && cancel_->load())
        return QStringLiteral("The query was cancelled.");
    return QString();
}

TStatement TReportConnection::Prepare(const QString& sql, TReadScope scope)
{
    if (sql.size() > MaxReportSqlLength)
        throw Exception(
            QStringLiteral("The statement is longer than %1 characters.").arg(MaxReportSqlLength));
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    scope_ = scope;
    refusal_ = nullptr;
    const int rc =
        sqlite3_prepare_v2(db_.Handle(), utf8.constData(), static_cast<int>(utf8.size()), &raw, &tail);
    TStatement stmt(db_.Handle(), raw);
    if (rc != SQLITE_OK) {
        const QString text = QString::fromUtf8(sqlite3_errmsg(db_.Handle()));
        if (rc == SQLITE_AUTH && refusal_)
            throw Exception(QStringLiteral("The statement is refused: %1.").arg(QLatin1String(refusal_)));
        if (rc == SQLITE_AUTH)
            throw Exception(
                QStringLiteral("The statement is refused: only reading is allowed (%1).").arg(text));
        throw Exception(QStringLiteral("The statement is refused: %1").arg(text));
    }
    if (!raw)
        throw Exception(QStringLiteral("The statement is refused: it is empty."));
    if (!IsBlankTail(tail))
        throw Exception(QStringLiteral("The statement is refused: only one statement is allowed."));
    if (!sqlite3_stmt_readonly(raw))
        throw Exception(QStringLiteral("The statement is refused: only reading is allowed."));
    if (sqlite3_stmt_isexplain(raw))
        throw Exception(QStringLiteral("The statement is refused: EXPLAIN is not allowed."));
    return stmt;
}

namespace {

// A result larger than this goes to a temporary file as it is read, so that the results
// kept for opening take no memory; smaller ones stay in memory, within the budget.
constexpr qint64 kSpillAbove = 1024 * 1024;

// The result's share of the server's memory grows with every row packed.
void Charge(TResultBudget::TLease& lease, const TRowsPacker& packer)
{
    if (!lease.GrowTo(packer.Footprint()))
        throw Exception(QStringLiteral("The result is too large: the server keeps %1 MiB for the results of "
                                       "all clients, and only %2 MiB of it are free.")
                            .arg(lease.BudgetLimit() >> 20)
                            .arg((lease.BudgetLimit() - lease.BudgetInUse() + lease.Bytes()) >> 20));
}

}  // namespace

TDataSetResult RunReportStatement(TStatement& stmt, const TReportConnection& connection,
                                  std::shared_ptr<TResultBudget::TLease> lease)
{
    TDataSetResult result;
    const int columns = stmt.ColumnCount();
    QList<bool> declared;
    for (int c = 0; c < columns; ++c) {
        TFieldDef f = FieldDefFromDeclaredType(stmt.ColumnName(c), stmt.DeclaredType(c));
        declared.append(f.DataType != TFieldType::Unknown);
        result.Fields.append(f);
    }
    TRowsPacker packer(DefaultPacketBytes, kSpillAbove);
    try {
        while (stmt.Step()) {
            // Widened before the row is begun: converting packs what was written so far.
            for (int c = 0; c < columns; ++c) {
                if (declared.at(c))
                    continue;
                TFieldDef& f = result.Fields[c];
                const TFieldType before = f.DataType;
                const int storage = stmt.ColumnType(c);
                f.DataType = Promote(before, storage, storage == SQLITE_INTEGER ? stmt.Int(c) : 0);
                // Values packed before a widening are converted once, so that every value of
                // a column travels as the column's type (a 32-bit integer is read as well
                // by a 64-bit column).
                if (before != TFieldType::Unknown && before != f.DataType &&
                    !(before == TFieldType::Integer && f.DataType == TFieldType::Largeint))
                    packer.ConvertColumn(c, f.DataType);
            }
            TCborWriter& row = packer.BeginRow(columns);
            for (int c = 0; c < columns; ++c)
                WriteColumnValue(row, stmt, c, result.Fields.at(c).DataType);
            packer.EndRow();
            Charge(*lease, packer);
        }
        packer.Finish();
        Charge(*lease, packer);
        if (packer.Spilled())
            lease->GrowTo(0);  // kept in its file from now on
    } catch (const Exception& e) {
        const QString stopped = connection.StopReason();
        result.Error = stopped.isEmpty() ? e.Message() : stopped;
        return result;
    }
    for (TFieldDef& f : result.Fields) {
        if (f.DataType == TFieldType::Unknown)
            f.DataType = TFieldType::WideString;  // only nulls: any type reads them
        f.ReadOnly = true;
    }
    result.Packets = packer.Packets();
    result.Spilled = packer.Spilled();
    result.RowCount = packer.RowCount();
    result.Lease = std::move(lease);
    return result;
}
