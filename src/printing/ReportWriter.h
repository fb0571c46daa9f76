#pragma once
// Output of a report onto paged devices: a printer, a PDF file, or any QPagedPaintDevice.
// Each output lays the report out anew as it goes (page by page, so memory stays flat)
// and reports progress through an optional TPrintProgress; when the progress asks to stop,
// the output stops and returns false.
//
//   if (!WritePdf(report, fileName, &progress)) return;  // cancelled: no file was made
//
// Files are written to a temporary file beside the target and renamed over it only when
// complete: a failure or a cancel leaves the target as it was.
//
// Raises EExpressionError and EReportError as TPaginator does, EInOutError when a file
// cannot be written.

#include <QPageRanges>
#include <QString>

class QPagedPaintDevice;
class QPrinter;
class TPrintProgress;
class TReport;

// Paints the pages (all, or those in ranges, numbered from 1) onto a device whose page
// layout it sets from the report's page. Returns false when cancelled. Without rows
// (and without PrintIfEmpty) it paints nothing and the device gets no page.
bool PaintReport(const TReport& report, QPagedPaintDevice& device, TPrintProgress* progress = nullptr,
                 const QPageRanges& ranges = {});

// Prints on a printer set up by the caller (its page ranges are honoured); the job is
// named by the report's title.
bool PrintReport(const TReport& report, QPrinter& printer, TPrintProgress* progress = nullptr);

// Writes the whole report as a PDF file. Raises EReportError for a report without pages
// (a PDF cannot hold none).
bool WritePdf(const TReport& report, const QString& fileName, TPrintProgress* progress = nullptr);
