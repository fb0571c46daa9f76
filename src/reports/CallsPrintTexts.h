#pragma once
// The texts a printed call report shows beside its columns: the totals line of a group or
// of the whole report, and the headers of the grouping levels on extensions and PIN codes.
// Pure functions of their inputs and the regional settings; the calls grid puts them on
// its printable layout.
//
//   TotalsText("12|150|18130|12.5|2.5|300")
//     -> Totals: 12 rows; 150 calls; 5h,2m,10s; 12.50 + 2.50 = $15; 300 pulses;
//   ExtPinHeaderText(cfExtCode, {"101", "Reception", "Sales"})
//     -> Extension 101, "Reception" from "Sales" group

#include "calls/CallFieldInfo.h"

#include <QString>

// The six values of a totals line as they reach it: rows|calls|duration|raw charge|VAT|pulses.
inline constexpr char TotalsSeparator = '|';

// The totals line (every part, the last included, ends with "; "). Empty parts are left
// out; raw charge and VAT print only when they read as amounts of 0 or more; a duration
// that does not read as a number is left out. Amounts print with two decimals, halves
// rounded away from zero, and the locale's decimal separator. Never raises.
QString TotalsText(const QString& evaluated);

// An amount with two decimals as the totals line prints it: the four-decimal currency
// value rounded to hundredths, halves away from zero, with the locale's decimal separator.
QString TwoDecimalsText(double amount);

// The values of the code, name and group columns of a grouping level's current row.
struct THeaderValues {
    QString Code;
    QString Name;
    QString Group;
};

// The header of a level on the extension (cfExtCode) or PIN code (cfPinCode):
// caption, then the code, ", \"name\"" and "from \"group\" group" where they are not empty,
// or "missing" when all three are.
QString ExtPinHeaderText(TCallFieldId codeField, const THeaderValues& values);
// The header of a level on the extension name (cfExtName) or PIN name (cfPinName): caption,
// "\"name\"" (also when empty), ", code" and "from \"group\" group" where not empty, or
// "missing" when all three are empty.
QString ExtPinNameHeaderText(TCallFieldId nameField, const THeaderValues& values);
