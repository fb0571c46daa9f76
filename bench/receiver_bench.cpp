// Receiver throughput: received lines split, matched with the demo's data format, charged
// by the demo's tariff rules and stored in CALL, as the receiver does it (500 lines a
// transaction); and matching alone. The lines come from the exchange simulator.

#include "pbx-sim/CallGenerator.h"
#include "schema/CallLineMatcher.h"
#include "server/CallReader.h"
#include "server/Database.h"
#include "server/DemoData.h"
#include "server/LineBuffer.h"
#include "server/Schema.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kLines = 100000;
constexpr int kLinesPerTransaction = 500;

const QByteArray& SimulatedInput()
{
    static const QByteArray input = [] {
        TCallString format;
        format.Parse(DemoDataFormat());
        TCallGenerator generator(7);
        const TDateTime now = Now();
        QByteArray bytes;
        for (int i = 0; i < kLines; ++i) {
            TCallRecord record = generator.NextCall(IncSeconds(now, -i));
            TCallGenerator::FitToFormat(record, format);
            bytes += format.Generate(record).toLatin1();
        }
        return bytes;
    }();
    return input;
}

QList<QString> SimulatedLines()
{
    QList<QString> lines;
    TLineBuffer buffer(SimulatedInput().size());
    buffer.Append(SimulatedInput());
    QByteArray line;
    while (buffer.TakeLine(line))
        lines << QString::fromLatin1(line);
    return lines;
}

void BM_MatchLine(benchmark::State& state)
{
    TCallString format;
    format.Parse(DemoDataFormat());
    const QList<QString> lines = SimulatedLines();
    const TDateTime now = Now();
    TCallRecord record;
    qsizetype i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(MatchLine(format, lines.at(i), record, now));
        i = (i + 1) % lines.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MatchLine);

// From the bytes of the exchange to CALL rows: the buffer's line split, Latin-1, matching,
// charging and the insert, on a file database in WAL mode like the server's.
void BM_ReceiveChargeStore(benchmark::State& state)
{
    const QByteArray& input = SimulatedInput();
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        TDatabase db(dir.filePath(QStringLiteral("bench.db")), TDatabase::TMode::ReadWrite);
        PrepareSchema(db);
        SeedDemoData(db, QDate::currentDate());
        TCallReader reader(db);
        state.ResumeTiming();

        TLineBuffer buffer(64 * 1024);
        qsizetype offset = 0;
        int stored = 0;
        const TDateTime received = Now();
        while (offset < input.size() || !buffer.IsEmpty()) {
            offset += buffer.Append(
                QByteArrayView(input).sliced(offset, qMin<qsizetype>(4096, input.size() - offset)));
            QByteArray line;
            TTransaction tx(db);
            for (int n = 0; n < kLinesPerTransaction && buffer.TakeLine(line, offset == input.size()); ++n)
                stored +=
                    reader.Read(QString::fromLatin1(line), received).Outcome == TCallReader::TOutcome::Stored;
            tx.Commit();
        }
        if (stored != kLines)
            state.SkipWithError("not every line was stored");
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_ReceiveChargeStore)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
