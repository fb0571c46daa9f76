// The helpers' text parsers, which read what users type and what settings hold: counts,
// durations, money, numbers with a dot, booleans and integers of state lines, escaped
// control characters, duration patterns, and the SQL helpers fed with such text. A parser
// gives a finite number or its fallback; escaping is undone exactly; SQL keeps the text in
// its literals.

#include "FuzzSql.h"

#include "calls/Globals.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TFuzzInput input(data, size);
    const qint64 seconds = qint64(input.Uint32()) << (input.Byte() % 32) | input.Uint32();
    const QString pattern = input.Text(32);
    const QString text = input.RestText();

    for (const double parsed : {ParseCount(text, 7), ParseDuration(text, 7), ParseDurationDays(text, 7),
                                ParseMoney(text, 7), TextDotToFloat(text, 7)})
        FuzzCheck(std::isfinite(parsed), "a parsed number is finite");
    StateToBool(text, false);
    StateToInt(text, 0);
    FuzzCheck(UnescapeControls(EscapeControls(text)) == text, "escaping controls is undone exactly");
    UnescapeControls(text);
    FuzzCheck(FormatDurationPattern(seconds, pattern).size() <= 64 + 32 * 24, "a duration pattern gives a bounded text");
    FuzzCheck(FormatDurationPattern(-seconds, pattern).size() <= 65 + 32 * 24, "a negative duration too");

    CheckSqlFragment(SqlQuoted(text));
    CheckSqlFragment(PrefixCondition(QStringLiteral("c.PHONE"), text));
    CheckSqlFragment(ListCondition(QStringLiteral("c.EXT_CODE"), SplitText(QLatin1Char(','), text)));
    return 0;
}
