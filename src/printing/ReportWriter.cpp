#include "printing/ReportWriter.h"

#include "printing/PagePainter.h"
#include "printing/Paginator.h"
#include "printing/PrintProgress.h"

#include <QCoreApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>

#include <functional>

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("TReportWriter", text);
}

QPageLayout PageLayoutOf(const TPageSetup& setup)
{
    // The engine places everything from the paper's corner, margins included.
    return QPageLayout(
        QPageSize(QSizeF(setup.Width, setup.Height), QPageSize::Millimeter, QString(), QPageSize::ExactMatch),
        QPageLayout::Portrait, QMarginsF(), QPageLayout::Millimeter);
}

// Paints the pages in ranges (all when empty). onCancel runs while the painter is still
// active when the progress asks to stop; false is returned then.
bool PaintPages(const TReport& report, QPagedPaintDevice& device, TPrintProgress* progress,
                const QString& activity, const QPageRanges& ranges, const std::function<void()>& onCancel)
{
    TPaginator paginator(report);
    if (paginator.AtEnd())
        return true;
    device.setPageLayout(PageLayoutOf(report.Page()));
    TProgressScope scope(progress, activity, paginator.RowCount());
    QPainter painter;
    const int lastPage = ranges.isEmpty() ? -1 : ranges.lastPage();
    while (!paginator.AtEnd()) {
        const TPage page = paginator.NextPage();
        if (lastPage >= 0 && page.Number > lastPage)
            break;
        if (!ranges.isEmpty() && !ranges.contains(page.Number))
            continue;
        if (!painter.isActive()) {
            if (!painter.begin(&device))
                throw EInOutError(Tr("The output device could not start: %1").arg(report.Title()));
        } else {
            device.newPage();
        }
        PaintPage(painter, paginator, page, device.logicalDpiX() / 25.4);
        if (!scope.Advance(paginator.RowsDone())) {
            if (onCancel)
                onCancel();
            painter.end();
            return false;
        }
    }
    if (painter.isActive())
        painter.end();
    return true;
}

}  // namespace

bool PaintReport(const TReport& report, QPagedPaintDevice& device, TPrintProgress* progress,
                 const QPageRanges& ranges)
{
    return PaintPages(report, device, progress, Tr("Printing..."), ranges, {});
}

bool PrintReport(const TReport& report, QPrinter& printer, TPrintProgress* progress)
{
    printer.setFullPage(true);
    printer.setDocName(report.Title());
    return PaintPages(report, printer, progress, Tr("Printing..."), printer.pageRanges(),
                      [&printer] { printer.abort(); });
}

bool WritePdf(const TReport& report, const QString& fileName, TPrintProgress* progress)
{
    if (TPaginator(report).AtEnd())
        throw EReportError(Tr("The report has no rows: there is no page to write."));
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw EInOutError(Tr("Cannot write \"%1\": %2").arg(fileName, file.errorString()));
    bool complete = false;
    {
        QPdfWriter writer(&file);
        writer.setTitle(report.Title());
        writer.setCreator(QCoreApplication::applicationName());
        writer.setResolution(600);
        complete =
            PaintPages(report, writer, progress, Tr("Writing PDF..."), {}, [&file] { file.cancelWriting(); });
    }
    if (!complete) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        throw EInOutError(Tr("Cannot write \"%1\": %2").arg(fileName, file.errorString()));
    return true;
}
