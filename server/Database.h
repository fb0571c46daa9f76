#pragma once
// A thin RAII layer over the SQLite C API: connections, prepared statements and
// transactions. Failures raise ESqliteError with SQLite's extended result code, so that
// callers can tell a constraint violation from other failures.

#include "core/Errors.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

class ESqliteError : public Exception {
public:
    ESqliteError(QString message, int extendedCode);
    int ExtendedCode() const { return extendedCode_; }
    int PrimaryCode() const { return extendedCode_ & 0xff; }
    QString ClassName() const override;

private:
    int extendedCode_;
};

class TStatement {
public:
    TStatement(sqlite3* db, const QString& sql);
    // Takes over an already prepared statement.
    TStatement(sqlite3* db, sqlite3_stmt* stmt);
    ~TStatement();
    TStatement(TStatement&& other) noexcept;
    TStatement& operator=(TStatement&&) = delete;
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    // Parameters are 1-based as in SQLite. A QVariant binds by its type: null, booleans as
    // 1/0, integers, reals, strings, byte arrays and points in time (as stored text).
    void Bind(int index, const QVariant& value);
    void BindNull(int index);
    void BindInt(int index, qint64 value);
    void BindDouble(int index, double value);
    void BindText(int index, const QString& value);
    void BindBlob(int index, const QByteArray& value);

    // Advances to the next row; false when the statement is done.
    bool Step();
    void Reset();

    int ColumnCount() const;
    QString ColumnName(int column) const;
    QString DeclaredType(int column) const;  // empty for expressions
    int ColumnType(int column) const;        // SQLITE_INTEGER, SQLITE_FLOAT, ...
    bool IsNull(int column) const;
    qint64 Int(int column) const;
    double Double(int column) const;
    QString Text(int column) const;
    QByteArray Blob(int column) const;
    // The column's value by its storage class.
    QVariant Value(int column) const;

    sqlite3_stmt* Handle() const { return stmt_; }

private:
    void Check(int rc) const;
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

class TDatabase {
public:
    enum class TMode { ReadWrite, ReadOnly };
    // Opens (ReadWrite: creates) the file. ReadWrite connections run with foreign keys on
    // and a busy time-out, so that they wait for readers' checkpoints instead of failing.
    TDatabase(const QString& path, TMode mode);
    ~TDatabase();
    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;

    // Runs one or more statements without results.
    void Exec(const QString& sql);
    TStatement Prepare(const QString& sql) { return TStatement(db_, sql); }
    // The first column of the first row, null when there is none.
    QVariant Scalar(const QString& sql, const QVariantList& params = {});
    qint64 LastInsertRowId() const;
    int Changes() const;

    sqlite3* Handle() const { return db_; }
    const QString& Path() const { return path_; }

private:
    sqlite3* db_ = nullptr;
    QString path_;
};

// BEGIN IMMEDIATE ... COMMIT; rolls back when it goes out of scope uncommitted.
class TTransaction {
public:
    explicit TTransaction(TDatabase& db);
    ~TTransaction();
    TTransaction(const TTransaction&) = delete;
    TTransaction& operator=(const TTransaction&) = delete;
    void Commit();
    void Rollback();

private:
    TDatabase& db_;
    bool open_ = true;
};

[[noreturn]] void ThrowSqlite(sqlite3* db, int rc, const QString& context);
