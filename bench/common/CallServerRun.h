#pragma once
// What the report benchmarks share: a database of generated calls, telvane-server run as
// its own process on it, a logged-in client with the report callback, and the sqlite3
// shell writing the same rows as tab-separated text (the reference they are measured
// against).

#include "remote/CallSession.h"
#include "remote/CallbackObject.h"
#include "remote/Connections.h"
#include "remote/TypeLibrary.h"
#include "server/Database.h"
#include "server/Schema.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <malloc.h>
#include <unistd.h>

// The 19 columns of a call, as the client selects them for a list of calls.
inline const char* const kCallSelect =
    "select c.ID, c.ARCHIVE_ID, c.REC_DATETIME, c.END_DATETIME, c.START_DATETIME, c.DURATION, c.PBX_ID, "
    "c.EXT_CODE, c.PIN_CODE, c.EXTRA_CODE, c.PHONE, c.CIRCUIT, c.TRUNK, c.CALL_TYPE, c.RAW_CHARGE, c.VAT, "
    "c.CHARGE, c.PULSES, c.TEXT from CALL c";

// Calls every 7 seconds from 1 January 2026, with a spread of codes, numbers and charges,
// on two exchanges whose 50 extensions each belong to one of five groups.
inline void FillCalls(const QString& path, qint64 rows)
{
    TDatabase db(path, TDatabase::TMode::ReadWrite);
    PrepareSchema(db);
    TTransaction tx(db);
    db.Exec(QStringLiteral("INSERT INTO PBX (ID, NAME) VALUES (1, 'Main exchange'), (2, 'Branch exchange')"));
    db.Exec(QStringLiteral("INSERT INTO GROUPS (ID, NAME) VALUES (1, 'Sales'), (2, 'Support'), (3, 'Office'), "
                           "(4, 'Warehouse'), (5, 'Board')"));
    db.Exec(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 49) "
        "INSERT INTO EXTENSION (CODE, NAME, GROUP_ID, PBX_ID) "
        "SELECT CAST(100 + i AS TEXT), 'Extension ' || (100 + i), 1 + i % 5, 1 + i % 2 FROM n"));
    db.Exec(QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                "INSERT INTO CALL (REC_DATETIME, END_DATETIME, START_DATETIME, DURATION, PBX_ID, EXT_CODE, "
                "PIN_CODE, "
                "EXTRA_CODE, PHONE, CIRCUIT, TRUNK, CALL_TYPE, RAW_CHARGE, VAT, CHARGE, PULSES, TEXT) "
                "SELECT datetime(1767225600 + i * 7, 'unixepoch'), datetime(1767225600 + i * 7 - 1, "
                "'unixepoch'), "
                "datetime(1767225600 + i * 7 - 1 - (i * 37) % 600, 'unixepoch'), (i * 37) % 600, "
                "1 + (i % 50) % 2, "
                "CAST(100 + i % 50 AS TEXT), CASE WHEN i % 3 = 0 THEN printf('%04d', i % 30) END, "
                "CASE WHEN i % 10 = 0 THEN '99' END, '0' || (20000000 + (i * 7919) % 80000000), "
                "CAST(i % 8 AS TEXT), 'T' || (i % 4), CASE i % 3 WHEN 0 THEN 'IN' WHEN 1 THEN 'OUT' ELSE "
                "'INT' END, "
                "round(((i * 37) % 600) * 0.0015, 4), round(((i * 37) % 600) * 0.0003, 4), "
                "round(((i * 37) % 600) * 0.0018, 4), (i * 37) % 600 / 60, "
                "printf('%02d/%02d %05d 0%08d', i % 28 + 1, i % 12 + 1, i % 100000, (i * 7919) % 80000000) "
                "FROM n")
                .arg(rows));
    tx.Commit();
    db.Exec(QStringLiteral("ANALYZE"));
}

inline qint64 ResidentBytesOf(const QString& statusPath)
{
    QFile status(statusPath);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

inline qint64 ResidentBytes()
{
    return ResidentBytesOf(QStringLiteral("/proc/self/status"));
}

// Allocated bytes, the large blocks malloc maps by themselves included.
inline qint64 HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<qint64>(info.uordblks + info.hblkhd);
}

class TServerProcessRun {
public:
    bool Start(const QString& db, QString& error)
    {
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral(TELVANE_SERVER_BINARY),
                       {QStringLiteral("--db"), db, QStringLiteral("--port"), QStringLiteral("0"),
                        QStringLiteral("--listen"), QStringLiteral("127.0.0.1")});
        static const QRegularExpression re(QStringLiteral("listening on port (\\d+)"));
        QByteArray output;
        const QDeadlineTimer deadline(60000);
        while (!deadline.hasExpired() && process_.state() != QProcess::NotRunning) {
            process_.waitForReadyRead(200);
            output += process_.readAll();
            const QRegularExpressionMatch m = re.match(QString::fromUtf8(output));
            if (m.hasMatch()) {
                port_ = static_cast<quint16>(m.captured(1).toUInt());
                return true;
            }
        }
        error = QString::fromUtf8(output);
        return false;
    }
    ~TServerProcessRun()
    {
        process_.terminate();
        if (!process_.waitForFinished(30000))
            process_.kill();
    }
    quint16 Port() const { return port_; }
    qint64 ResidentBytes() const
    {
        return ResidentBytesOf(QStringLiteral("/proc/%1/status").arg(process_.processId()));
    }

private:
    QProcess process_;
    quint16 port_ = 0;
};

class TReadyFlag : public TCallbackObject {
public:
    TReadyFlag(const TTypeLibrary& lib, const char* iid) : TCallbackObject(lib, QLatin1String(iid)) {}
    bool Ready = false;

protected:
    void Invoke(const TCallbackMethod& method, const QVariantList&) override
    {
        if (method.Name == QLatin1String("ReportReady"))
            Ready = true;
    }
};

// A client logged in as a standard user, with the report module attached.
class TReportClient {
public:
    explicit TReportClient(quint16 port)
        : lib_(TTypeLibrary::Current()),
          application_(lib_, iid::ClientApplication),
          receiver_(lib_, iid::ClientReceiver),
          commands_(lib_, iid::ClientCommands),
          report_(lib_, iid::ClientReport)
    {
        socket_.SetAddress(QStringLiteral("127.0.0.1"));
        socket_.SetPort(port);
        socket_.Open();
        report.SetParentConnection(&socket_);
        report.SetChildName(QStringLiteral("ReportRDM"));
        int version = 320, result = 0;
        socket_.AppServer().Call(301, {&application_, &receiver_, &commands_, &report_, TByRef(version),
                                       TByRef(result)});
        socket_.AppServer().Call(307, {false, QStringLiteral("user")});
    }
    // Runs the statement and waits for its ready callback, sleeping: processEvents with a
    // time limit never blocks and would spin a core that the server's worker needs.
    void RunStatement(const QString& sql)
    {
        report_.Ready = false;
        report.AppServer().Call(301, {sql});
        QTimer wake;  // so that a server that never answers ends the wait
        wake.start(1000);
        const QDeadlineTimer deadline(30 * 60 * 1000);
        while (!report_.Ready && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (!report_.Ready)
            qFatal("the statement's ready callback never came");
    }
    qint64 BytesReceived() const { return socket_.Session()->BytesReceived(); }
    // The status bar's updates off or on again.
    void ShowStatus(bool on) { socket_.AppServer().Call(312, {on}); }

    TSharedConnection report;

private:
    TTypeLibrary lib_;
    TReadyFlag application_, receiver_, commands_, report_;
    TSocketConnection socket_;
};

// The sqlite3 shell writing the rows of sql as tab-separated text into a file; -1 when it
// failed.
inline double SqliteShellSeconds(const QString& db, const QString& sql, const QString& outputFile)
{
    QProcess shell;
    shell.setStandardOutputFile(outputFile);
    QElapsedTimer t;
    t.start();
    shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-separator"), QStringLiteral("\t"), db, sql});
    if (!shell.waitForFinished(-1) || shell.exitCode() != 0)
        return -1;
    return t.nsecsElapsed() / 1e9;
}
