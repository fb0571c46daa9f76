#pragma once
// Reading one received call line with a data format.

#include "CallString.h"

#include <QStringView>

// Clears the record as of now (or as of the given point in time, whose year is also the
// current year for two-digit years) and matches the format's elements in order from
// position 1, stopping at the first that fails. The line matches when every element
// matched, what is left after the last element is only blanks and control characters,
// and the date read is a calendar date.
//
// Cheap enough for every received line and safe to call from several threads with one
// format, as long as nobody parses into that format meanwhile.
bool MatchLine(const TCallString& schema, QStringView line, TCallRecord& record);
bool MatchLine(const TCallString& schema, QStringView line, TCallRecord& record, TDateTime now);
