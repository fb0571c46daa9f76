#pragma once
// The comma-separated paged export: the report's pages as text, one line per printed line
// of the bands, in the order they print (docs/printing.md gives the exact form).
//
//   if (!WriteCsv(report, QStringLiteral("report.csv"), &progress)) return;  // cancelled
//
// The form: UTF-8 with a byte order mark, records ended by CR LF, fields separated by
// commas and quoted as RFC 4180 says (a field holding a comma, a quote, CR or LF stands in
// double quotes, inner quotes doubled). A band's texts at the same height make one record,
// left to right; a band with texts at several heights (title lines) makes one record per
// height, top to bottom; bands without texts make none. Pages follow each other without a
// separator (what prints on every page prints again).

#include <QString>

class QIODevice;
class TPrintProgress;
class TReport;

// One field as the export writes it.
QString CsvField(const QString& text);

// Writes to an open device. Returns false when cancelled (part of the text may have been
// written). Raises as TPaginator does, EInOutError when the device fails.
bool WriteCsv(const TReport& report, QIODevice& device, TPrintProgress* progress = nullptr);
// Writes a file through a temporary file: when cancelled or failing, the file is not
// created (or left as it was). An empty report writes an empty file (the byte order mark).
bool WriteCsv(const TReport& report, const QString& fileName, TPrintProgress* progress = nullptr);
