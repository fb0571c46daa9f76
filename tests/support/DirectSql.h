#pragma once
// Statements run straight on a database file with the SQLite C API, beside the server:
// what a test compares the server's answers with, or how it changes the file under a
// running server.
//
//   const TDirect direct = RunDirect(server.DatabasePath(), QStringLiteral("select c.ID from CALL c"));
//   QVERIFY2(direct.Error.isEmpty(), qPrintable(direct.Error));

#include <sqlite3.h>

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// The rows of a statement: integers as qint64, reals as double, text as QString, null.
struct TDirect {
    QStringList Names;
    QList<QVariantList> Rows;
    QString Error;
};

// The statement run on the database file, read-only.
inline TDirect RunDirect(const QString& path, const QString& sql)
{
    TDirect out;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        out.Error = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return out;
    }
    sqlite3_stmt* stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
        out.Error = QString::fromUtf8(sqlite3_errmsg(db));
    } else {
        for (int c = 0; c < sqlite3_column_count(stmt); ++c)
            out.Names << QString::fromUtf8(sqlite3_column_name(stmt, c));
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            QVariantList row;
            for (int c = 0; c < out.Names.size(); ++c) {
                switch (sqlite3_column_type(stmt, c)) {
                    case SQLITE_INTEGER:
                        row << QVariant(qint64(sqlite3_column_int64(stmt, c)));
                        break;
                    case SQLITE_FLOAT:
                        row << QVariant(sqlite3_column_double(stmt, c));
                        break;
                    case SQLITE_NULL:
                        row << QVariant();
                        break;
                    default:
                        row << QVariant(
                            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c))));
                }
            }
            out.Rows << row;
        }
        if (rc != SQLITE_DONE)
            out.Error = QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return out;
}

// Runs one statement on the database file with a connection of its own that may write.
inline QString ExecDirect(const QString& path, const QString& sql)
{
    sqlite3* db = nullptr;
    QString error;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 5000);
        char* message = nullptr;
        if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK)
            error = QString::fromUtf8(message);
        sqlite3_free(message);
    } else {
        error = QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_close(db);
    return error;
}

// The first value of a statement's first row as an integer (a count); -1 when the
// statement fails or gives no row.
inline qint64 CountDirect(const QString& path, const QString& sql)
{
    const TDirect d = RunDirect(path, sql);
    return d.Error.isEmpty() && !d.Rows.isEmpty() ? d.Rows.at(0).at(0).toLongLong() : -1;
}
