// The banded report engine over a grouped call report of 10,000 and 100,000 rows (two
// grouping levels, totals per level, page numbers), each size with:
//   first_page_s   from opening the preview to its first page drawn
//   layout_s       the preview laying out every page in slices, and the longest time the
//                  event loop waited meanwhile (max_stall_ms: the window's responsiveness)
//   pdf_s          writing the whole report as a PDF (pdf_cpu_s: its processor time, which
//                  other work on a shared machine does not inflate), and pages per second
//   csv_s          the comma-separated paged export
//   peak_mb        the process's peak resident memory while the size ran (rows included)
// and the figures per 1,000 rows, which stay flat when the work grows linearly. A run of
// 1,000 rows before them warms the process up (fonts, the PDF writer) and is not shown.
//
//   bench_print [rows ...]      (default 10000 100000)
//   bench_print --preview [rows]  opens the preview of the report to look at (default 2000)
//
// The last line, for scripts, gives the largest size:
//   print: first_page_s=X pdf_pages_per_s=Y peak_mb=Z

#include "common/ProcessStats.h"
#include "printing/CsvExport.h"
#include "printing/PreviewWindow.h"
#include "printing/ReportWriter.h"
#include "support/ReportRows.h"
#include "support/SampleReport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

struct TFigures {
    int Rows = 0;
    int Pages = 0;
    double FirstPageS = 0;
    double LayoutS = 0;
    qint64 MaxStallMs = 0;
    double PdfS = 0;
    double PdfCpuS = 0;
    double CsvS = 0;
    double PeakMb = 0;
};

TFigures Run(int rows, const QString& folder)
{
    TFigures f;
    f.Rows = rows;
    ResetPeak();
    auto calls = SampleCalls(rows);
    auto report = SampleReport(
        *calls, {QStringLiteral("Calls by extension"), QStringLiteral("1 May 2024 - 31 May 2024")});

    QElapsedTimer clock;
    clock.start();
    {
        TPreviewWindow preview(*report, nullptr);
        preview.show();
        preview.grab();  // the first page drawn
        f.FirstPageS = clock.nsecsElapsed() / 1e9;

        // Lay out the rest as the open window does, and watch how long the loop waits.
        QElapsedTimer sinceTick;
        sinceTick.start();
        QTimer tick;
        tick.setInterval(0);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            f.MaxStallMs = std::max(f.MaxStallMs, sinceTick.elapsed());
            sinceTick.restart();
        });
        QEventLoop loop;
        QObject::connect(&preview, &TPreviewWindow::LayoutFinished, &loop, &QEventLoop::quit);
        clock.restart();
        tick.start();
        if (!preview.LayoutComplete())
            loop.exec();
        f.LayoutS = clock.nsecsElapsed() / 1e9;
        f.Pages = preview.PageCount();
    }

    clock.restart();
    const double cpu = CpuSeconds();
    WritePdf(*report, folder + QStringLiteral("/report.pdf"));
    f.PdfS = clock.nsecsElapsed() / 1e9;
    f.PdfCpuS = CpuSeconds() - cpu;
    clock.restart();
    WriteCsv(*report, folder + QStringLiteral("/report.csv"));
    f.CsvS = clock.nsecsElapsed() / 1e9;
    f.PeakMb = PeakKb() / 1024.0;
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--preview") == 0) {
        auto calls = SampleCalls(argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 2000);
        auto report = SampleReport(
            *calls, {QStringLiteral("Calls by extension"), QStringLiteral("1 May 2024 - 31 May 2024")});
        TPreviewWindow preview(*report, nullptr);
        preview.exec();
        return 0;
    }
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << QString::fromLocal8Bit(argv[i]).toInt();
    if (sizes.isEmpty())
        sizes = {10000, 100000};

    QTemporaryDir folder;
    // A small run first, so that loading fonts and the PDF writer is not counted in the
    // first size and the sizes compare.
    Run(1000, folder.path());
    TFigures last;
    for (int rows : sizes) {
        last = Run(rows, folder.path());
        const double k = rows / 1000.0;
        std::printf(
            "rows=%d pages=%d first_page_s=%.3f layout_s=%.3f max_stall_ms=%lld pdf_s=%.3f "
            "pdf_cpu_s=%.3f pdf_pages_per_s=%.0f csv_s=%.3f peak_mb=%.1f\n",
            rows, last.Pages, last.FirstPageS, last.LayoutS, static_cast<long long>(last.MaxStallMs),
            last.PdfS, last.PdfCpuS, last.Pages / last.PdfS, last.CsvS, last.PeakMb);
        std::printf("  per 1000 rows: layout_ms=%.1f pdf_ms=%.1f pdf_cpu_ms=%.1f csv_ms=%.1f\n",
                    last.LayoutS * 1000 / k, last.PdfS * 1000 / k, last.PdfCpuS * 1000 / k,
                    last.CsvS * 1000 / k);
        std::fflush(stdout);
    }
    std::printf("print: first_page_s=%.3f pdf_pages_per_s=%.0f peak_mb=%.1f\n", last.FirstPageS,
                last.Pages / last.PdfS, last.PeakMb);
    return 0;
}
