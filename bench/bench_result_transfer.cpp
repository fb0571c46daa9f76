// A 1,000,000-call report result moved from telvane-server into a client TRemoteDataSet:
// rows per second, bytes per row on the wire and client memory per row, beside the time
// the sqlite3 shell takes to write the same rows as tab-separated text from the same file.
//
//   bench_result_transfer [rows]      (default 1000000)
//
// The server runs as its own process (the built telvane-server), so the client's memory
// figures are this process's alone.

#include "common/CallFill.h"
#include "remote/CallSession.h"
#include "remote/CallbackObject.h"
#include "remote/Connections.h"
#include "server/Database.h"
#include "remote/RemoteDataSet.h"
#include "server/Schema.h"
#include "remote/TypeLibrary.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <malloc.h>
#include <unistd.h>

#include <cstdio>

namespace {

const char* const kSelect =
    "select c.ID, c.ARCHIVE_ID, c.REC_DATETIME, c.END_DATETIME, c.START_DATETIME, c.DURATION, c.PBX_ID, "
    "c.EXT_CODE, c.PIN_CODE, c.EXTRA_CODE, c.PHONE, c.CIRCUIT, c.TRUNK, c.CALL_TYPE, c.RAW_CHARGE, c.VAT, "
    "c.CHARGE, c.PULSES, c.TEXT from CALL c";

qint64 ResidentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = statm.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

// Allocated bytes, the large blocks malloc maps by themselves included.
qint64 HeapInUse()
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

double SqliteShellSeconds(const QString& db)
{
    QProcess shell;
    shell.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    shell.start(QStringLiteral("sqlite3"),
                {QStringLiteral("-separator"), QStringLiteral("\t"), db, QString::fromLatin1(kSelect)});
    if (!shell.waitForFinished(-1) || shell.exitCode() != 0)
        return -1;
    return t.nsecsElapsed() / 1e9;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    RegisterProtocolTypes();
    const qint64 rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 1000000;

    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("bench.db"));
    QElapsedTimer t;
    t.start();
    FillCalls(db, rows);
    std::printf("database: %lld calls generated in %.1f s (%s)\n", static_cast<long long>(rows),
                t.nsecsElapsed() / 1e9, qPrintable(db));

    TServerProcessRun server;
    QString error;
    if (!server.Start(db, error)) {
        std::fprintf(stderr, "telvane-server did not start:\n%s\n", qPrintable(error));
        return 1;
    }

    const TTypeLibrary lib = TTypeLibrary::Current();
    TReadyFlag application(lib, iid::ClientApplication), receiver(lib, iid::ClientReceiver),
        commands(lib, iid::ClientCommands), report(lib, iid::ClientReport);
    TSocketConnection socket;
    socket.SetAddress(QStringLiteral("127.0.0.1"));
    socket.SetPort(server.Port());
    socket.Open();
    TSharedConnection scReport;
    scReport.SetParentConnection(&socket);
    scReport.SetChildName(QStringLiteral("ReportRDM"));
    int version = 320, result = 0;
    socket.AppServer().Call(301,
                            {&application, &receiver, &commands, &report, TByRef(version), TByRef(result)});
    socket.AppServer().Call(307, {false, QStringLiteral("user")});

    t.restart();
    scReport.AppServer().Call(301, {QString::fromLatin1(kSelect)});
    while (!report.Ready)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double querySeconds = t.nsecsElapsed() / 1e9;

    TRemoteDataSet cdsResult;
    cdsResult.SetRemoteServer(&scReport);
    cdsResult.SetProviderName(QStringLiteral("dspResult"));
    malloc_trim(0);
    const qint64 rssBefore = ResidentBytes();
    const qint64 heapBefore = HeapInUse();
    const qint64 bytesBefore = socket.Session()->BytesReceived();
    socket.AppServer().Call(312, {false});
    t.restart();
    cdsResult.Open();
    const double openSeconds = t.nsecsElapsed() / 1e9;
    socket.AppServer().Call(312, {true});
    const qint64 wireBytes = socket.Session()->BytesReceived() - bytesBefore;
    malloc_trim(0);
    const qint64 rssAfter = ResidentBytes();
    const qint64 heapAfter = HeapInUse();

    // Every cell's text, as a grid or the tab-separated export reads it.
    t.restart();
    qint64 chars = 0;
    const QList<TField*> fields = cdsResult.Fields();
    for (int row = 0; row < cdsResult.RecordCount(); ++row)
        for (TField* f : fields)
            chars += cdsResult.DisplayTextAt(row, *f).size();
    const double textSeconds = t.nsecsElapsed() / 1e9;

    const double n = static_cast<double>(cdsResult.RecordCount());
    const double shellSeconds = SqliteShellSeconds(db);
    std::printf("\nresult: %lld rows x %d columns\n", static_cast<long long>(cdsResult.RecordCount()),
                cdsResult.FieldCount());
    std::printf("  server runs the statement (301 -> ReportReady)   %8.2f s\n", querySeconds);
    std::printf("  transfer into TRemoteDataSet (open dspResult)    %8.2f s   %10.0f rows/s\n", openSeconds,
                n / openSeconds);
    std::printf("  sqlite3 shell, same rows as TAB text > /dev/null %8.2f s   %10.0f rows/s\n", shellSeconds,
                n / shellSeconds);
    std::printf("  wire bytes per row                               %8.1f\n", wireBytes / n);
    std::printf("  client memory per row: resident                  %8.1f bytes\n",
                (rssAfter - rssBefore) / n);
    std::printf("                         heap in use               %8.1f bytes\n",
                (heapAfter - heapBefore) / n);
    std::printf("                         column storage            %8.1f bytes\n",
                cdsResult.StorageBytes() / n);
    std::printf("  every cell's DisplayText once (%lld chars)   %8.2f s   %10.0f rows/s\n",
                static_cast<long long>(chars), textSeconds, n / textSeconds);
    return cdsResult.RecordCount() == rows ? 0 : 1;
}
