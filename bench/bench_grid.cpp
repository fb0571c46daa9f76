// The report grid over a 1,000,000-call result: the time from the dataset being loaded (its
// rows handed to the grid in one reset) to the grid's first paint, and from moving to the
// last row to the paint that shows it. Both must stay well under 100 ms: the grid asks only
// for the rows it paints and never measures rows one by one.
//
//   bench_grid [rows]      (default 1000000; runs on any Qt platform, offscreen included)
//
// The columns are those of a typical call listing, dressed from the field catalogue, so
// times, durations and charges go through their text handlers as on screen. Five runs; the
// summary takes the slowest of each figure, which is the first load of a grid: Qt's
// vertical header then allocates its entry per row (about 30 ms for a million), later
// loads reuse it. The last line is for scripts:
//   grid: first_paint_ms=X scroll_end_ms=Y

#include "calls/ReportResults.h"
#include "core/RegionalSettings.h"
#include "core/Variants.h"
#include "remote/RemoteDataSet.h"
#include "reports/FrameRepGrid.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void FillCalls(TRemoteDataSet& result, int rows)
{
    result.setObjectName(QStringLiteral("cdsResult"));
    result.AddField(QStringLiteral("REC_DATETIME"), TFieldType::DateTime);
    result.AddField(QStringLiteral("DURATION"), TFieldType::Integer);
    result.AddField(QStringLiteral("EXT_CODE"), TFieldType::String, 10);
    result.AddField(QStringLiteral("EXT_NAME"), TFieldType::String, 40);
    result.AddField(QStringLiteral("PHONE"), TFieldType::String, 32);
    result.AddField(QStringLiteral("CALL_TYPE"), TFieldType::String, 4);
    result.AddField(QStringLiteral("CHARGE"), TFieldType::Currency);
    result.AddField(QStringLiteral("PULSES"), TFieldType::Integer);
    result.SetLogChanges(false);
    result.CreateDataSet();
    DressResultColumns(result);
    const TDateTime start = EncodeDateTime(2024, 3, 1);
    for (int i = 0; i < rows; ++i) {
        const int seconds = 20 + (i * 37) % 1800;
        result.AppendRecord({VarFromDateTime(start + i / 1440.0), seconds, QString::number(100 + i % 400),
                             QStringLiteral("Extension %1").arg(100 + i % 400),
                             QStringLiteral("0%1").arg(20000000 + (i * 7919) % 80000000),
                             QString::number(i % 4), seconds * 0.0018, seconds / 60});
    }
}

// Counts the paints of a widget.
class TPaintCounter : public QObject {
public:
    int Paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++Paints;
        return QObject::eventFilter(watched, event);
    }
};

// Runs the event loop until the widget has painted once more; the milliseconds since the
// timer started, or -1 when no paint came within ten seconds.
double UntilPainted(TPaintCounter& counter, const QElapsedTimer& timer)
{
    const int before = counter.Paints;
    while (counter.Paints == before) {
        if (timer.elapsed() > 10000)
            return -1;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return timer.nsecsElapsed() / 1e6;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Slowest(const std::vector<double>& values)
{
    return *std::max_element(values.begin(), values.end());
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    RegisterVariantTypes();
    CreateCallFieldInfos();
    TRegionalSettings::SetCurrent(TRegionalSettings());
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000000;

    TRemoteDataSet result;
    QElapsedTimer fill;
    fill.start();
    FillCalls(result, rows);
    std::printf("filled %d rows in %.0f ms\n", result.RecordCount(), fill.nsecsElapsed() / 1e6);

    QWidget host;
    host.resize(1200, 800);
    auto* frame = new TFrameReportGrid(&host);
    auto* grid = frame->findChild<QTableView*>(QStringLiteral("Grid"));
    TPaintCounter counter;
    grid->viewport()->installEventFilter(&counter);
    host.show();
    QElapsedTimer settle;
    settle.start();
    UntilPainted(counter, settle);

    std::vector<double> firstPaint, scrollEnd;
    for (int run = 0; run < 5; ++run) {
        frame->SetDataset(nullptr);
        UntilPainted(counter, settle);
        result.First();
        QElapsedTimer timer;
        timer.start();
        frame->SetDataset(&result);
        const double reset = timer.nsecsElapsed() / 1e6;
        firstPaint.push_back(UntilPainted(counter, timer));

        timer.restart();
        result.Last();
        scrollEnd.push_back(UntilPainted(counter, timer));
        const int shown = grid->rowAt(grid->viewport()->height() - 2);
        std::printf(
            "run %d: first paint %.2f ms (grid reset %.2f ms), last row %.2f ms (bottom row shown: %d of "
            "%d)\n",
            run + 1, firstPaint.back(), reset, scrollEnd.back(), shown + 1, result.RecordCount());
        if (firstPaint.back() < 0 || scrollEnd.back() < 0 || shown != result.RecordCount() - 1) {
            std::printf("the grid did not show the last row\n");
            return 1;
        }
    }
    std::printf("median: first paint %.1f ms, last row %.1f ms\n", Median(firstPaint), Median(scrollEnd));
    std::printf("grid: first_paint_ms=%.1f scroll_end_ms=%.1f\n", Slowest(firstPaint), Slowest(scrollEnd));
    return 0;
}
