// Points in time from outside (any double a peer sends, any stored text) and any format
// pattern an administrator or a settings file gives. Invalid values convert to nothing and
// format as the empty text; a valid value splits into a date and a time that build it
// again to the millisecond, and its stored text reads back as the same millisecond.
// Whatever the pattern, formatting ends and gives a bounded text.

#include "FuzzInput.h"

#include "core/DateTime.h"
#include "server/SqlValues.h"

#include <QDateTime>

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TFuzzInput input(data, size);
    // Half of the inputs pick a plausible day so the patterns see real dates.
    const std::uint8_t how = input.Byte();
    const double raw = input.Double();
    const TDateTime value = (how & 1) ? raw : double(int(input.Uint32() % 3000000) - 693593) + (input.Uint32() % 86400000) / 86400000.0;
    const double seconds = input.Double();
    const QString stored = input.Text(64);
    const QString pattern = input.RestText().left(200);

    const bool valid = IsValidDateTime(value);
    const QString text = FormatDateTime(pattern, value);
    FuzzCheck(valid || text.isEmpty(), "an invalid value formats as nothing");
    FuzzCheck(text.size() <= 200 * 64, "a pattern gives a bounded text");
    FuzzCheck(valid || !DateTimeToQDateTime(value).isValid(), "an invalid value gives no QDateTime");
    FuzzCheck(valid || DateTimeToSqlText(value).isEmpty(), "an invalid value has no stored text");
    if (valid) {
        int year, month, day, hour, minute, second, msec;
        DecodeDate(value, year, month, day);
        DecodeTime(value, hour, minute, second, msec);
        TDateTime date = 0, time = 0;
        FuzzCheck(TryEncodeDate(year, month, day, date) && TryEncodeTime(hour, minute, second, msec, time),
                  "a valid value splits into a date and a time of day");
        // Before the epoch the time of day counts away from the day: -1.25 is 06:00 of day -1,
        // and a value in (-1, 0) is a time of day 0.
        const TDateTime built = value < 0 ? date - time : date + time;
        FuzzCheck(std::fabs(built - value) < 1.0 / 86400000 + 1e-9, "the date and time build the value again");
        // The same point in time, which just before the epoch may be written with either sign.
        TDateTime back = 0;
        FuzzCheck(SqlTextToDateTime(DateTimeToSqlText(value), back) && DateTimeToSqlText(back) == DateTimeToSqlText(value),
                  "the stored text reads back");
        const TDateTime later = IncSeconds(value, seconds);
        FuzzCheck(std::isnan(later) || IsValidDateTime(later), "adding seconds gives a valid value or none");
    }
    TDateTime read = 0;
    if (SqlTextToDateTime(stored, read))
        FuzzCheck(IsValidDateTime(read), "a stored text reads as a valid point in time");
    return 0;
}
