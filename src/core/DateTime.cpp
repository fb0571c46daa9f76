#include "core/DateTime.h"

#include "core/RegionalSettings.h"

#include <cmath>
#include <limits>
#include <memory>

namespace {

constexpr qint64 kMSecsPerDay = 86400000;

// Splits a point in time into a day number and the milliseconds of the day, rounding to
// the nearest millisecond and carrying a rounded-up midnight into the next day. False for
// a value that is no point in time: converting it to an integer would be undefined.
[[nodiscard]] bool Split(TDateTime value, qint64& day, qint64& msec)
{
    day = msec = 0;
    if (!IsValidDateTime(value))
        return false;
    const double whole = std::trunc(value);
    day = static_cast<qint64>(whole);
    msec = std::llround(std::fabs(value - whole) * MSecsPerDay);
    if (msec >= kMSecsPerDay) {
        msec -= kMSecsPerDay;
        day += value < 0 ? -1 : 1;
    }
    return true;
}

TDateTime Combine(qint64 day, qint64 msec)
{
    const double fraction = static_cast<double>(msec) / MSecsPerDay;
    return day < 0 ? static_cast<double>(day) - fraction : static_cast<double>(day) + fraction;
}

}  // namespace

QDate DateTimeEpoch()
{
    return QDate(1899, 12, 30);
}

bool IsValidDateTime(TDateTime value)
{
    // Written so that NaN fails both comparisons.
    return value >= MinDateTime && value < EndDateTime;
}

TDateTime DateTimeFromQDate(const QDate& date)
{
    if (!date.isValid())
        return 0;
    return static_cast<double>(DateTimeEpoch().daysTo(date));
}

TDateTime DateTimeFromQDateTime(const QDateTime& value)
{
    if (!value.isValid())
        return 0;
    const QDateTime local = value.toLocalTime();
    const qint64 day = DateTimeEpoch().daysTo(local.date());
    return Combine(day, local.time().msecsSinceStartOfDay());
}

QDate DateTimeToQDate(TDateTime value)
{
    qint64 day, msec;
    if (!Split(value, day, msec))
        return QDate();
    return DateTimeEpoch().addDays(day);
}

QTime DateTimeToQTime(TDateTime value)
{
    qint64 day, msec;
    if (!Split(value, day, msec))
        return QTime();
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(msec));
}

QDateTime DateTimeToQDateTime(TDateTime value)
{
    if (!IsValidDateTime(value))
        return QDateTime();
    return QDateTime(DateTimeToQDate(value), DateTimeToQTime(value));
}

TDateTime DateOf(TDateTime value)
{
    qint64 day, msec;
    if (!Split(value, day, msec))
        return std::numeric_limits<double>::quiet_NaN();
    return static_cast<double>(day);
}

TDateTime TimeOf(TDateTime value)
{
    qint64 day, msec;
    if (!Split(value, day, msec))
        return std::numeric_limits<double>::quiet_NaN();
    return static_cast<double>(msec) / MSecsPerDay;
}

TDateTime Now()
{
    return DateTimeFromQDateTime(QDateTime::currentDateTime());
}

TDateTime Today()
{
    return DateTimeFromQDate(QDate::currentDate());
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out)
{
    if (year < 1 || year > 9999 || !QDate::isValid(year, month, day))
        return false;
    out = DateTimeFromQDate(QDate(year, month, day));
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& out)
{
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
        msec > 999)
        return false;
    out = Combine(0, ((hour * 60LL + minute) * 60 + second) * 1000 + msec);
    return true;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec)
{
    TDateTime date = 0, time = 0;
    TryEncodeDate(year, month, day, date);
    TryEncodeTime(hour, minute, second, msec, time);
    return date < 0 ? date - time : date + time;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day)
{
    DateTimeToQDate(value).getDate(&year, &month, &day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec)
{
    QTime t = DateTimeToQTime(value);
    if (!t.isValid())
        t = QTime(0, 0);
    hour = t.hour();
    minute = t.minute();
    second = t.second();
    msec = t.msec();
}

TDateTime IncSeconds(TDateTime value, double seconds)
{
    // Work on a linear millisecond count since the epoch, where the time of day always
    // moves forward, then go back to the signed day-number form.
    qint64 day, msec;
    // The span of all valid points in time is far inside the 64-bit range, so a count
    // beyond it can only give an invalid result.
    constexpr double kSpanMSecs = (EndDateTime - MinDateTime) * MSecsPerDay;
    const double delta = seconds * 1000.0;
    if (!Split(value, day, msec) || !(std::fabs(delta) <= kSpanMSecs))
        return std::numeric_limits<double>::quiet_NaN();
    const qint64 linear = day * kMSecsPerDay + msec + std::llround(delta);
    qint64 newDay = linear / kMSecsPerDay;
    qint64 newMsec = linear % kMSecsPerDay;
    if (newMsec < 0) {
        newMsec += kMSecsPerDay;
        --newDay;
    }
    const TDateTime result = Combine(newDay, newMsec);
    return IsValidDateTime(result) ? result : std::numeric_limits<double>::quiet_NaN();
}

namespace {

// A date-time pattern read once into tokens; formatting then only appends.
enum class TPatternToken : quint8 {
    Literal, Year2, Year4, Month, Month2, MonthShort, MonthLong, Day, Day2, DayShort, DayLong, ShortDate,
    Hour, Hour2, Minute, Minute2, Second, Second2, MSec, MSec3, ShortTime, LongTime, Default,
    AmPmLower, AmPmUpper, APLower, APUpper, AmPmMarker
};

struct TPatternPart {
    TPatternToken Token;
    QString Literal;
};

struct TParsedPattern {
    QList<TPatternPart> Parts;
    bool TwelveHour = false;
};

TParsedPattern ParsePattern(const QString& pattern)
{
    TParsedPattern parsed;
    const QString lower = pattern.toLower();
    parsed.TwelveHour = lower.contains(QLatin1String("am/pm")) || lower.contains(QLatin1String("a/p")) ||
                        lower.contains(QLatin1String("ampm"));
    auto literal = [&](const QString& text) {
        if (!parsed.Parts.isEmpty() && parsed.Parts.last().Token == TPatternToken::Literal)
            parsed.Parts.last().Literal += text;
        else
            parsed.Parts.append({TPatternToken::Literal, text});
    };
    auto token = [&](TPatternToken t) { parsed.Parts.append({t, QString()}); };
    const int n = pattern.size();
    int i = 0;
    while (i < n) {
        const QChar ch = pattern[i];
        const QChar lc = lower[i];
        if (ch == QLatin1Char('"') || ch == QLatin1Char('\'')) {
            int j = i + 1;
            while (j < n && pattern[j] != ch)
                ++j;
            literal(pattern.mid(i + 1, j - i - 1));
            i = j < n ? j + 1 : n;
            continue;
        }
        if (lc == QLatin1Char('a')) {
            if (lower.mid(i, 5) == QLatin1String("am/pm")) {
                token(ch.isUpper() ? TPatternToken::AmPmUpper : TPatternToken::AmPmLower);
                i += 5;
            } else if (lower.mid(i, 3) == QLatin1String("a/p")) {
                token(ch.isUpper() ? TPatternToken::APUpper : TPatternToken::APLower);
                i += 3;
            } else if (lower.mid(i, 4) == QLatin1String("ampm")) {
                token(TPatternToken::AmPmMarker);
                i += 4;
            } else {
                literal(QString(ch));
                ++i;
            }
            continue;
        }
        int run = 1;
        while (i + run < n && lower[i + run] == lc)
            ++run;
        switch (lc.unicode()) {
        case 'y': token(run <= 2 ? TPatternToken::Year2 : TPatternToken::Year4); break;
        case 'm':
            token(run >= 4   ? TPatternToken::MonthLong
                  : run == 3 ? TPatternToken::MonthShort
                  : run == 2 ? TPatternToken::Month2
                             : TPatternToken::Month);
            break;
        case 'd':
            token(run >= 5   ? TPatternToken::ShortDate
                  : run == 4 ? TPatternToken::DayLong
                  : run == 3 ? TPatternToken::DayShort
                  : run == 2 ? TPatternToken::Day2
                             : TPatternToken::Day);
            break;
        case 'h': token(run >= 2 ? TPatternToken::Hour2 : TPatternToken::Hour); break;
        case 'n': token(run >= 2 ? TPatternToken::Minute2 : TPatternToken::Minute); break;
        case 's': token(run >= 2 ? TPatternToken::Second2 : TPatternToken::Second); break;
        case 'z': token(run >= 3 ? TPatternToken::MSec3 : TPatternToken::MSec); break;
        case 't': token(run >= 2 ? TPatternToken::LongTime : TPatternToken::ShortTime); break;
        case 'c': token(TPatternToken::Default); break;
        default: literal(QString(run, ch));
        }
        i += run;
    }
    return parsed;
}

// Report exports format millions of values with a handful of patterns: keep the last
// few parsed per thread. Shared pointers, because a pattern that refers to another (the
// short date, the long time) formats that one while its own parts are still in use.
std::shared_ptr<const TParsedPattern> CachedPattern(const QString& pattern)
{
    struct TEntry {
        QString Pattern;
        std::shared_ptr<const TParsedPattern> Parsed;
    };
    thread_local QList<TEntry> cache;
    for (const TEntry& e : cache)
        if (e.Pattern == pattern)
            return e.Parsed;
    if (cache.size() >= 8)
        cache.removeFirst();
    cache.append({pattern, std::make_shared<const TParsedPattern>(ParsePattern(pattern))});
    return cache.last().Parsed;
}

void AppendNumber(QString& out, int value, int width)
{
    char buf[16];
    int len = 0;
    unsigned v = static_cast<unsigned>(value < 0 ? -value : value);
    do {
        buf[len++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (value < 0)
        out += QLatin1Char('-');
    for (int k = len; k < width; ++k)
        out += QLatin1Char('0');
    while (len > 0)
        out += QLatin1Char(buf[--len]);
}

}  // namespace

QString FormatDateTime(const QString& pattern, TDateTime value)
{
    const std::shared_ptr<const TParsedPattern> holder = CachedPattern(pattern);
    const TParsedPattern& parsed = *holder;
    const TRegionalSettings& rs = TRegionalSettings::Current();
    qint64 dayNumber, msecOfDay;
    if (!Split(value, dayNumber, msecOfDay))
        return QString();
    const QDate date = DateTimeEpoch().addDays(dayNumber);
    int year, month, day;
    date.getDate(&year, &month, &day);
    const int hour = static_cast<int>(msecOfDay / 3600000);
    const int minute = static_cast<int>(msecOfDay / 60000 % 60);
    const int second = static_cast<int>(msecOfDay / 1000 % 60);
    const int msec = static_cast<int>(msecOfDay % 1000);
    int hour12 = hour % 12;
    if (hour12 == 0)
        hour12 = 12;
    const int shownHour = parsed.TwelveHour ? hour12 : hour;

    QString out;
    out.reserve(pattern.size() + 8);
    using T = TPatternToken;
    for (const TPatternPart& part : parsed.Parts) {
        switch (part.Token) {
        case T::Literal: out += part.Literal; break;
        case T::Year2: AppendNumber(out, year % 100, 2); break;
        case T::Year4: AppendNumber(out, year, 4); break;
        case T::Month: AppendNumber(out, month, 1); break;
        case T::Month2: AppendNumber(out, month, 2); break;
        case T::MonthShort: out += rs.ShortMonthNames.value(month - 1); break;
        case T::MonthLong: out += rs.LongMonthNames.value(month - 1); break;
        case T::Day: AppendNumber(out, day, 1); break;
        case T::Day2: AppendNumber(out, day, 2); break;
        case T::DayShort: out += rs.ShortDayNames.value(date.dayOfWeek() % 7); break;
        case T::DayLong: out += rs.LongDayNames.value(date.dayOfWeek() % 7); break;
        case T::ShortDate: out += FormatDateTime(rs.ShortDateFormat, value); break;
        case T::Hour: AppendNumber(out, shownHour, 1); break;
        case T::Hour2: AppendNumber(out, shownHour, 2); break;
        case T::Minute: AppendNumber(out, minute, 1); break;
        case T::Minute2: AppendNumber(out, minute, 2); break;
        case T::Second: AppendNumber(out, second, 1); break;
        case T::Second2: AppendNumber(out, second, 2); break;
        case T::MSec: AppendNumber(out, msec, 1); break;
        case T::MSec3: AppendNumber(out, msec, 3); break;
        case T::ShortTime: out += FormatDateTime(rs.ShortTimeFormat, value); break;
        case T::LongTime: out += FormatDateTime(rs.LongTimeFormat, value); break;
        case T::Default: out += DateTimeToDefaultText(value); break;
        case T::AmPmLower: out += hour < 12 ? QLatin1String("am") : QLatin1String("pm"); break;
        case T::AmPmUpper: out += hour < 12 ? QLatin1String("AM") : QLatin1String("PM"); break;
        case T::APLower: out += hour < 12 ? QLatin1Char('a') : QLatin1Char('p'); break;
        case T::APUpper: out += hour < 12 ? QLatin1Char('A') : QLatin1Char('P'); break;
        case T::AmPmMarker: out += hour < 12 ? QLatin1String("AM") : QLatin1String("PM"); break;
        }
    }
    return out;
}

QString DateTimeToDefaultText(TDateTime value)
{
    if (!IsValidDateTime(value))
        return QString();
    const TRegionalSettings& rs = TRegionalSettings::Current();
    QString text = FormatDateTime(rs.ShortDateFormat, value);
    if (TimeOf(value) != 0)
        text += QLatin1Char(' ') + FormatDateTime(rs.LongTimeFormat, value);
    return text;
}
