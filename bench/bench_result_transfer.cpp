// A 1,000,000-call report result moved from telvane-server into a client TRemoteDataSet:
// rows per second, bytes per row on the wire and client memory per row, beside the time
// the sqlite3 shell takes to write the same rows as tab-separated text from the same file.
//
//   bench_result_transfer [rows]      (default 1000000)
//
// The server runs as its own process (the built telvane-server), so the client's memory
// figures are this process's alone.

#include "common/CallServerRun.h"
#include "remote/RemoteDataSet.h"

#include <QTemporaryDir>

#include <cstdio>

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

    TReportClient client(server.Port());
    t.restart();
    client.RunStatement(QString::fromLatin1(kCallSelect));
    const double querySeconds = t.nsecsElapsed() / 1e9;

    TRemoteDataSet cdsResult;
    cdsResult.SetRemoteServer(&client.report);
    cdsResult.SetProviderName(QStringLiteral("dspResult"));
    malloc_trim(0);
    const qint64 rssBefore = ResidentBytes();
    const qint64 heapBefore = HeapInUse();
    const qint64 bytesBefore = client.BytesReceived();
    client.ShowStatus(false);
    t.restart();
    cdsResult.Open();
    const double openSeconds = t.nsecsElapsed() / 1e9;
    client.ShowStatus(true);
    const qint64 wireBytes = client.BytesReceived() - bytesBefore;
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
    const double shellSeconds = SqliteShellSeconds(db, QString::fromLatin1(kCallSelect), QProcess::nullDevice());
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
