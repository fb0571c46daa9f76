// The special report and the tab-separated export over 1,000,000-call results held in a
// local dataset, each with its time and the peak memory of the process while it runs.
//
//   bench_report_results [rows]      (default 1000000)
//
// The result is what the special report's query returns: calls sorted by PIN code and by
// start time within it. 2,500 PIN codes each make calls from a few extensions over a month,
// with gaps short enough that some calls overlap. The export writes the same result with
// the catalogue's texts (times, durations and charges through their handlers).

#include "common/ProcessStats.h"
#include "shell/base/ClientLogs.h"
#include "core/RegionalSettings.h"
#include "remote/RemoteDataSet.h"
#include "calls/ReportResults.h"
#include "core/Variants.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <random>

namespace {

struct TPhase {
    const char* Name;
    QElapsedTimer Timer;
    double StartCpu = 0;
    long StartKb = 0;

    explicit TPhase(const char* name) : Name(name)
    {
        ResetPeak();
        StartKb = CurrentKb();
        StartCpu = CpuSeconds();
        Timer.start();
    }
    void Report(const QString& detail) const
    {
        const qint64 ms = Timer.elapsed();
        std::printf("%-16s %7.3f s (cpu %7.3f s)   memory before %7ld kB, peak %7ld kB (+%ld kB)   %s\n",
                    Name, ms / 1000.0, CpuSeconds() - StartCpu, StartKb, PeakKb(), PeakKb() - StartKb,
                    qPrintable(detail));
    }
};

void FillCalls(TRemoteDataSet& result, int rows)
{
    result.setObjectName(QStringLiteral("cdsResult"));
    result.AddField(QStringLiteral("ID"), TFieldType::Integer);
    result.AddField(QStringLiteral("END_DATETIME"), TFieldType::DateTime);
    result.AddField(QStringLiteral("START_DATETIME"), TFieldType::DateTime);
    result.AddField(QStringLiteral("DURATION"), TFieldType::Integer);
    result.AddField(QStringLiteral("EXT_CODE"), TFieldType::String, 10);
    result.AddField(QStringLiteral("PIN_CODE"), TFieldType::String, 10);
    result.AddField(QStringLiteral("PHONE"), TFieldType::String, 32);
    result.AddField(QStringLiteral("CHARGE"), TFieldType::Currency);
    result.SetLogChanges(false);
    result.CreateDataSet();
    result.DisableControls();

    std::mt19937 random(20240311);
    const int pins = 2500;
    const int perPin = (rows + pins - 1) / pins;
    const TDateTime monthStart = EncodeDateTime(2024, 3, 1);
    std::exponential_distribution<double> gap(1.0 / 5400);  // mean 1.5 h between a PIN's calls
    std::uniform_int_distribution<int> duration(20, 1800);
    std::uniform_int_distribution<int> extension(0, 3);
    int id = 0;
    for (int p = 0; p < pins && id < rows; ++p) {
        const QString pin = QStringLiteral("%1").arg(1000 + p, 4, 10, QLatin1Char('0'));
        const int firstExtension = 100 + (p * 7) % 400;
        double start = 0;
        for (int k = 0; k < perPin && id < rows; ++k) {
            start += std::round(gap(random));
            const int seconds = duration(random);
            ++id;
            result.AppendRecord({id, VarFromDateTime(IncSeconds(monthStart, start + seconds)),
                                 VarFromDateTime(IncSeconds(monthStart, start)), seconds,
                                 QString::number(firstExtension + extension(random)), pin,
                                 QStringLiteral("0%1").arg(20000000 + (id * 7919) % 80000000),
                                 std::round(seconds * 0.18) / 100});
        }
    }
    result.EnableControls();
    result.First();
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    RegisterVariantTypes();
    CreateCallFieldInfos();
    TRegionalSettings::SetCurrent(TRegionalSettings());
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000000;
    QTemporaryDir dir;
    InstallClientLogs(std::make_unique<TClientLogs>(dir.path() + QStringLiteral("/logs/")));

    TRemoteDataSet result;
    {
        TPhase phase("fill result");
        FillCalls(result, rows);
        phase.Report(QStringLiteral("%1 rows, %2 MB of row storage")
                         .arg(result.RecordCount())
                         .arg(result.StorageBytes() / 1e6, 0, 'f', 1));
    }
    DressResultColumns(result);

    TRemoteDataSet special;
    {
        TPhase phase("special report");
        BuildSpecialReport(result, special, {cfPinCode, cfExtCode, 0, false});
        int separators = 0;
        const TField& idField = *special.FieldByName(QStringLiteral("ID"));
        for (int row = 0; row < special.RecordCount(); ++row)
            separators += special.ValueAt(row, idField).isNull() ? 1 : 0;
        phase.Report(
            QStringLiteral("%1 rows out (%2 overlap groups)").arg(special.RecordCount()).arg(separators));
    }
    special.Close();

    {
        const QString path = dir.filePath(QStringLiteral("report.txt"));
        TPhase phase("export");
        const bool ok = ExportTabText(
            result, path, {QStringLiteral("Calls"), QStringLiteral("Received time: from 01.03.2024")});
        phase.Report(QStringLiteral("%1, %2 MB written")
                         .arg(ok ? QStringLiteral("ok") : QStringLiteral("FAILED"))
                         .arg(QFileInfo(path).size() / 1e6, 0, 'f', 1));
        if (!ok)
            return 1;
    }
    ReleaseClientLogs();
    return 0;
}
