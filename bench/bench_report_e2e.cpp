// A report from the moment the client sends its statement to the dressed result and its
// tab-separated export, beside the sqlite3 shell writing the same rows as a TSV file from
// the same database file (run as a process, measured in the same run, side by side).
//
//   bench_report_e2e [--sizes 100000,1000000] [--rounds 3] [--grouped-rows N] [--dir DIR]
//
// For each size: the shell's time, the statement (send to the ready callback), the open
// (transfer and load), end to end (statement, open and dressing the columns), the export,
// client and server memory per row and bytes per row on the wire; medians of the rounds.
// Then the two grouped reports (one month by extension, one year by exchange and group) on
// a database of --grouped-rows calls (default: the largest size's), against the shell
// running the same SQL. Databases are generated once into DIR (a temporary folder by
// default) and reused from there. The last line is for scripts:
//
//   ratios: e2e=X export=Y grouped_month=Z grouped_year=W
//
// each the project's time divided by the shell's, for the largest size.

#include "common/CallServerRun.h"
#include "calls/ReportQuery.h"
#include "calls/ReportResults.h"
#include "core/RegionalSettings.h"
#include "remote/RemoteDataSet.h"
#include "shell/base/ClientLogs.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

double Median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

QString DatabaseFor(const QString& dir, qint64 rows)
{
    const QString path = QDir(dir).filePath(QStringLiteral("calls-%1.db").arg(rows));
    if (!QFileInfo::exists(path)) {
        QElapsedTimer t;
        t.start();
        FillCalls(path, rows);
        std::printf("database: %lld calls generated in %.1f s\n", static_cast<long long>(rows),
                    t.nsecsElapsed() / 1e9);
    }
    return path;
}

struct TEndToEnd {
    double Statement = 0, Open = 0, Total = 0;
    qint64 Rows = 0;
};

// Send to dressed result; the dataset stays open.
TEndToEnd RunReport(TReportClient& client, TRemoteDataSet& result, const QString& sql)
{
    TEndToEnd out;
    result.Close();
    QElapsedTimer t;
    t.start();
    client.RunStatement(sql);
    out.Statement = t.nsecsElapsed() / 1e9;
    result.Open();
    DressResultColumns(result);
    out.Total = t.nsecsElapsed() / 1e9;
    out.Open = out.Total - out.Statement;
    out.Rows = result.RecordCount();
    return out;
}

struct TSizeFigures {
    qint64 Rows = 0;
    double Shell = 0, Statement = 0, Open = 0, Total = 0, Export = 0;
    double ClientBytesPerRow = 0, ClientHeapPerRow = 0, ServerBytesPerRow = 0, WireBytesPerRow = 0;
};

TSizeFigures MeasureSize(const QString& dir, qint64 rows, int rounds, const QString& work)
{
    const QString db = DatabaseFor(dir, rows);
    TServerProcessRun server;
    QString error;
    if (!server.Start(db, error))
        qFatal("telvane-server did not start: %s", qPrintable(error));
    TReportClient client(server.Port());
    TRemoteDataSet result;
    result.setObjectName(QStringLiteral("cdsResult"));
    result.SetRemoteServer(&client.report);
    result.SetProviderName(QStringLiteral("dspResult"));
    const QString sql = QString::fromLatin1(kCallSelect);
    const QString tsv = QDir(work).filePath(QStringLiteral("shell.tsv"));
    const QString exported = QDir(work).filePath(QStringLiteral("export.txt"));

    QList<double> shell, statement, open, total, exports;
    TSizeFigures f;
    f.Rows = rows;
    for (int round = 0; round < rounds; ++round) {
        shell << SqliteShellSeconds(db, sql, tsv);
        result.Close();
        malloc_trim(0);
        const qint64 heapBefore = HeapInUse();
        const qint64 serverBefore = server.ResidentBytes();
        const qint64 wireBefore = client.BytesReceived();
        const TEndToEnd e = RunReport(client, result, sql);
        if (e.Rows != rows)
            qFatal("%lld rows instead of %lld", static_cast<long long>(e.Rows), static_cast<long long>(rows));
        const double n = static_cast<double>(rows);
        f.WireBytesPerRow = (client.BytesReceived() - wireBefore) / n;
        f.ServerBytesPerRow = (server.ResidentBytes() - serverBefore) / n;
        malloc_trim(0);
        f.ClientHeapPerRow = (HeapInUse() - heapBefore) / n;
        f.ClientBytesPerRow = result.StorageBytes() / n;
        statement << e.Statement;
        open << e.Open;
        total << e.Total;
        QElapsedTimer t;
        t.start();
        if (!ExportTabText(result, exported, {QStringLiteral("Calls"), QStringLiteral("Received time: all")}))
            qFatal("the export failed");
        exports << t.nsecsElapsed() / 1e9;
    }
    f.Shell = Median(shell);
    f.Statement = Median(statement);
    f.Open = Median(open);
    f.Total = Median(total);
    f.Export = Median(exports);
    return f;
}

struct TGroupedFigures {
    double Shell = 0, Client = 0, Statement = 0;
    qint64 Rows = 0;
};

TGroupedFigures MeasureGrouped(TReportClient& client, const QString& db, const QString& sql, int rounds,
                               const QString& work)
{
    TRemoteDataSet result;
    result.setObjectName(QStringLiteral("cdsResult"));
    result.SetRemoteServer(&client.report);
    result.SetProviderName(QStringLiteral("dspResult"));
    QList<double> shell, e2e, statement;
    TGroupedFigures f;
    for (int round = 0; round < rounds; ++round) {
        shell << SqliteShellSeconds(db, sql, QDir(work).filePath(QStringLiteral("grouped.tsv")));
        const TEndToEnd e = RunReport(client, result, sql);
        e2e << e.Total;
        statement << e.Statement;
        f.Rows = e.Rows;
    }
    f.Shell = Median(shell);
    f.Client = Median(e2e);
    f.Statement = Median(statement);
    return f;
}

QString GroupedQuery(const TCallFieldSet& fields, const char* from, const char* to, const TStringArray& order)
{
    return BuildQuery(fields, {},
                      {QStringLiteral("(c.REC_DATETIME between '%1' and '%2')")
                           .arg(QLatin1String(from), QLatin1String(to))},
                      {}, order);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    RegisterProtocolTypes();
    CreateCallFieldInfos();
    TRegionalSettings::SetCurrent(TRegionalSettings());
    QList<qint64> sizes = {100000, 1000000};
    int rounds = 3;
    qint64 groupedRows = 0;
    QTemporaryDir temporary;
    QString dir = temporary.path();
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString& name = args.at(i);
        const QString& value = args.at(i + 1);
        if (name == QLatin1String("--sizes")) {
            sizes.clear();
            for (const QString& s : value.split(QLatin1Char(',')))
                sizes << s.toLongLong();
        } else if (name == QLatin1String("--rounds")) {
            rounds = qMax(1, value.toInt());
        } else if (name == QLatin1String("--grouped-rows")) {
            groupedRows = value.toLongLong();
        } else if (name == QLatin1String("--dir")) {
            dir = value;
            QDir().mkpath(dir);
        } else {
            std::fprintf(stderr, "unknown option %s\n", qPrintable(name));
            return 2;
        }
    }
    InstallClientLogs(std::make_unique<TClientLogs>(temporary.path() + QStringLiteral("/logs/")));

    std::printf("%10s %8s %9s %8s %8s %8s %8s %10s %10s %9s\n", "rows", "shell s", "statement", "open s",
                "e2e s", "export s", "e2e/sh", "client B/r", "server B/r", "wire B/r");
    TSizeFigures last;
    for (const qint64 rows : sizes) {
        last = MeasureSize(dir, rows, rounds, temporary.path());
        std::printf("%10lld %8.3f %9.3f %8.3f %8.3f %8.3f %8.2f %10.1f %10.1f %9.1f\n",
                    static_cast<long long>(rows), last.Shell, last.Statement, last.Open, last.Total,
                    last.Export, last.Total / last.Shell, last.ClientBytesPerRow, last.ServerBytesPerRow,
                    last.WireBytesPerRow);
        std::printf("%10s client heap in use after the open: %.1f bytes per row\n", "",
                    last.ClientHeapPerRow);
        std::fflush(stdout);
    }

    const QString groupedDb = DatabaseFor(dir, groupedRows > 0 ? groupedRows : sizes.last());
    TServerProcessRun server;
    QString error;
    if (!server.Start(groupedDb, error))
        qFatal("telvane-server did not start: %s", qPrintable(error));
    TReportClient client(server.Port());
    const QString month = GroupedQuery({cfExtCode, cfExtName, cfTotalCount, cfTotalDuration, cfTotalCharge},
                                       "2026-03-01", "2026-03-31 23:59:59.999", {QStringLiteral("c.EXT_CODE")});
    const QString year = GroupedQuery({cfPbxName, cfExtGroupName, cfTotalCount, cfTotalDuration, cfTotalCharge},
                                      "2026-01-01", "2026-12-31 23:59:59.999",
                                      {QStringLiteral("x.NAME"), QStringLiteral("eg.NAME")});
    const TGroupedFigures m = MeasureGrouped(client, groupedDb, month, rounds, temporary.path());
    const TGroupedFigures y = MeasureGrouped(client, groupedDb, year, rounds, temporary.path());
    std::printf("grouped reports on %lld calls:\n", static_cast<long long>(groupedRows > 0 ? groupedRows : sizes.last()));
    std::printf("  month by extension       %4lld rows: shell %.3f s, client %.3f s (statement %.3f s)\n",
                static_cast<long long>(m.Rows), m.Shell, m.Client, m.Statement);
    std::printf("  year by exchange, group  %4lld rows: shell %.3f s, client %.3f s (statement %.3f s)\n",
                static_cast<long long>(y.Rows), y.Shell, y.Client, y.Statement);
    std::printf("ratios: e2e=%.2f export=%.2f grouped_month=%.2f grouped_year=%.2f\n", last.Total / last.Shell,
                last.Export / last.Shell, m.Client / m.Shell, y.Client / y.Shell);
    ReleaseClientLogs();
    return 0;
}
