#pragma once
// Reading one received call line with a data format.
//
// The elements leave three things to the operation that matches a whole line; they are
// settled here so that matching a line generated from a record gives that record back:
// - Characters after the last element: the line matches only when they are all blanks
//   or control characters. A trailing CR LF or padding is fine; a format that explains
//   only the front of a line does not silently pass it as a call.
// - A date spelled impossibly (31 February): the date tags leave DateTime at the last
//   possible partial date, so such a line does not match rather than being stored under
//   a wrong date.
// - A "dursec" field of width 3 or more is written as the whole duration in seconds with
//   leading zeros to the width, which is how matching reads it when no "durhour" or
//   "durmin" field comes before it. Combined with those fields it cannot round-trip.
//
// Two rules come from how exchanges really write their lines:
// - Many exchanges do not pad the end of a line with blanks: a line that ends before the
//   format's full width (its own line break aside) is read as if it had been padded. Only
//   blanks are added, so a line that stops before a literal still does not match.
// - A format without a year reads the date in the year of receipt. A call cannot end more
//   than a day after its line arrived, so such a date goes to the year before (a call of
//   31 December received on 2 January); a 29 February that the year before lacks does
//   not match.

#include "schema/CallString.h"

#include <QStringView>

// Clears the record as of now (or as of the given point in time, whose year is also the
// current year for two-digit years) and matches the format's elements in order from
// position 1, stopping at the first that fails; then applies the rules above. The record
// holds whatever was read so far also when the line does not match.
//
// Cheap enough for every received line (no allocation besides the texts stored) and safe
// to call from several threads with one format, as long as nobody parses into that format
// meanwhile.
bool MatchLine(const TCallString& schema, QStringView line, TCallRecord& record);
bool MatchLine(const TCallString& schema, QStringView line, TCallRecord& record, TDateTime now);
