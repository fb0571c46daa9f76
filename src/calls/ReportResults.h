#pragma once
// What the report does with a loaded result: dressing its columns from the field
// catalogue, the special report of overlapping calls, and the tab-separated export.

#include "calls/CallFieldInfo.h"
#include "calls/Globals.h"

#include <QString>

class TRemoteDataSet;

// For every column: the descriptor of its name (cfNone when the catalogue has none) gives
// the display label, the display width (0 keeps the column's default) and the get-text
// handler (none for descriptors without one).
void DressResultColumns(TRemoteDataSet& result);

struct TOverlapOptions {
    TCallFieldId EqualityField = cfPinCode;  // calls of one value of it are compared
    TCallFieldId InequalityField = cfNone;   // pairs with one value of it are not overlaps
    qint16 MinimumOverlap = 0;               // seconds; negative lets a gap count
    bool IncludeNull = false;                // whether calls without an equality value take part
};

// Fills special with the overlapping calls of result, which is sorted by the equality field
// and by start time within it: each call that some later calls of the same equality value
// overlap, those calls, and an empty separator row. special is rebuilt with the columns of
// result. A result without the equality column logs the level-4 "reports" entry and leaves
// special empty; one without END_DATETIME or START_DATETIME raises EDatabaseError.
void BuildSpecialReport(TRemoteDataSet& result, TRemoteDataSet& special, const TOverlapOptions& options);

// Writes the title lines, then the labels and the editing texts of the visible columns,
// tab-separated, every line ending "\r\n", in UTF-8 like every file the client writes.
// Never raises: a failure is logged (level 3, "reports", also to the live log) and false
// returned; the file written before, if any, then stays as it was, unless its folder takes
// no new files and it had to be rewritten in place.
bool ExportTabText(TRemoteDataSet& dataSet, const QString& fileName, const TStringArray& titleLines);
