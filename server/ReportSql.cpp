#include "server/ReportSql.h"

#include "server/SqlValues.h"

#include <sqlite3.h>

#include <QSet>

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

// The user data is where the authorizer leaves why it refused, when the reason is not
// that the statement writes.
int Authorize(void* refusal, int action, const char* a, const char* b, const char*, const char*)
{
    switch (action) {
        case SQLITE_SELECT:
        case SQLITE_RECURSIVE:
            return SQLITE_OK;
        case SQLITE_READ:
            // The hashes would let a standard user guess the administrator's password at leisure.
            if (a && qstricmp(a, "PASSWORDS") == 0) {
                *static_cast<const char**>(refusal) = "the passwords cannot be read";
                return SQLITE_DENY;
            }
            // Pragmas can also be read as table-valued functions ("pragma_table_info").
            return a && qstrnicmp(a, "pragma_", 7) == 0 ? SQLITE_DENY : SQLITE_OK;
        case SQLITE_FUNCTION:  // b is the function's name
            return IsDeniedFunction(b) ? SQLITE_DENY : SQLITE_OK;
        default:
            return SQLITE_DENY;
    }
}

int Progress(void* flag)
{
    return static_cast<std::atomic<bool>*>(flag)->load() ? 1 : 0;
}

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

// The type a column without a declared type takes from its values: integers widen to
// floats, anything with text becomes text.
TFieldType Promote(TFieldType current, int storage)
{
    TFieldType seen = TFieldType::Unknown;
    switch (storage) {
        case SQLITE_INTEGER:
            seen = TFieldType::Integer;
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
    if (current == TFieldType::Unknown || current == seen)
        return seen;
    if ((current == TFieldType::Integer || current == TFieldType::Largeint) && seen == TFieldType::Integer)
        return current;
    if ((current == TFieldType::Integer || current == TFieldType::Largeint) && seen == TFieldType::Float)
        return TFieldType::Float;
    if (current == TFieldType::Float && seen == TFieldType::Integer)
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
    sqlite3_set_authorizer(h, Authorize, &refusal_);
}

void TReportConnection::SetCancelFlag(std::shared_ptr<std::atomic<bool>> flag)
{
    cancel_ = std::move(flag);
    sqlite3_progress_handler(db_.Handle(), cancel_ ? 1000 : 0, cancel_ ? Progress : nullptr, cancel_.get());
}

TStatement TReportConnection::Prepare(const QString& sql)
{
    if (sql.size() > MaxReportSqlLength)
        throw Exception(
            QStringLiteral("The statement is longer than %1 characters.").arg(MaxReportSqlLength));
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
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

TDataSetResult RunReportStatement(TStatement& stmt, const std::atomic<bool>& cancel, qint64 maxBytes)
{
    TDataSetResult result;
    const int columns = stmt.ColumnCount();
    QList<bool> declared;
    for (int c = 0; c < columns; ++c) {
        TFieldDef f = FieldDefFromDeclaredType(stmt.ColumnName(c), stmt.DeclaredType(c));
        declared.append(f.DataType != TFieldType::Unknown);
        result.Fields.append(f);
    }
    TRowsPacker packer;
    try {
        while (stmt.Step()) {
            QVariantList row;
            row.reserve(columns);
            for (int c = 0; c < columns; ++c) {
                TFieldDef& f = result.Fields[c];
                if (!declared.at(c)) {
                    const TFieldType before = f.DataType;
                    f.DataType = Promote(before, stmt.ColumnType(c));
                    // Values packed before a widening are converted once, so that every
                    // value of a column travels as the column's type.
                    if (before != TFieldType::Unknown && before != f.DataType &&
                        !(before == TFieldType::Integer && f.DataType == TFieldType::Largeint))
                        packer.ConvertColumn(c, f.DataType);
                }
                row.append(ColumnValueAs(stmt, c, f.DataType));
            }
            packer.Add(std::move(row));
            if (packer.EncodedBytes() > maxBytes)
                throw Exception(QStringLiteral("The result is larger than %1 bytes.").arg(maxBytes));
        }
    } catch (const Exception& e) {
        result.Error = cancel.load() ? QStringLiteral("The query was cancelled.") : e.Message();
        return result;
    }
    packer.Finish();
    for (TFieldDef& f : result.Fields) {
        if (f.DataType == TFieldType::Unknown)
            f.DataType = TFieldType::WideString;  // only nulls: any type reads them
        f.ReadOnly = true;
    }
    result.Packets = packer.Packets();
    result.RowCount = packer.RowCount();
    return result;
}
