#include "DateTime.h"

#include "RegionalSettings.h"

#include <cmath>

namespace {

constexpr qint64 kMSecsPerDay = 86400000;

// Splits a point in time into a day number and the milliseconds of the day, rounding to
// the nearest millisecond and carrying a rounded-up midnight into the next day.
void Split(TDateTime value, qint64& day, qint64& msec)
{
    const double whole = std::trunc(value);
    day = static_cast<qint64>(whole);
    msec = std::llround(std::fabs(value - whole) * MSecsPerDay);
    if (msec >= kMSecsPerDay) {
        msec -= kMSecsPerDay;
        day += value < 0 ? -1 : 1;
    }
}

TDateTime Combine(qint64 day, qint64 msec)
{
    const double fraction = static_cast<double>(msec) / MSecsPerDay;
    return day < 0 ? static_cast<double>(day) - fraction : static_cast<double>(day) + fraction;
}

QString Padded(int value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

}  // namespace

QDate DateTimeEpoch()
{
    return QDate(1899, 12, 30);
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
    Split(value, day, msec);
    return DateTimeEpoch().addDays(day);
}

QTime DateTimeToQTime(TDateTime value)
{
    qint64 day, msec;
    Split(value, day, msec);
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(msec));
}

QDateTime DateTimeToQDateTime(TDateTime value)
{
    return QDateTime(DateTimeToQDate(value), DateTimeToQTime(value));
}

TDateTime DateOf(TDateTime value)
{
    qint64 day, msec;
    Split(value, day, msec);
    return static_cast<double>(day);
}

TDateTime TimeOf(TDateTime value)
{
    qint64 day, msec;
    Split(value, day, msec);
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
    const QTime t = DateTimeToQTime(value);
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
    Split(value, day, msec);
    const qint64 linear = day * kMSecsPerDay + msec + std::llround(seconds * 1000.0);
    qint64 newDay = linear / kMSecsPerDay;
    qint64 newMsec = linear % kMSecsPerDay;
    if (newMsec < 0) {
        newMsec += kMSecsPerDay;
        --newDay;
    }
    return Combine(newDay, newMsec);
}

QString FormatDateTime(const QString& pattern, TDateTime value)
{
    const TRegionalSettings& rs = TRegionalSettings::Current();
    int year, month, day, hour, minute, second, msec;
    DecodeDate(value, year, month, day);
    DecodeTime(value, hour, minute, second, msec);
    const int dayOfWeek = DateTimeToQDate(value).dayOfWeek() % 7;  // 0 = Sunday

    const QString lower = pattern.toLower();
    const bool twelveHour = lower.contains(QLatin1String("am/pm")) || lower.contains(QLatin1String("a/p")) ||
                            lower.contains(QLatin1String("ampm"));
    QString out;
    const int n = pattern.size();
    int i = 0;
    auto runOf = [&](QChar c) {
        int j = i;
        while (j < n && pattern[j].toLower() == c)
            ++j;
        return j - i;
    };
    while (i < n) {
        const QChar ch = pattern[i];
        const QChar lc = ch.toLower();
        if (ch == QLatin1Char('"') || ch == QLatin1Char('\'')) {
            int j = i + 1;
            while (j < n && pattern[j] != ch)
                out += pattern[j++];
            i = j < n ? j + 1 : n;
            continue;
        }
        if (lc == QLatin1Char('a')) {
            if (lower.mid(i, 5) == QLatin1String("am/pm")) {
                out += hour < 12 ? QStringLiteral("am") : QStringLiteral("pm");
                if (pattern[i].isUpper())
                    out = out.left(out.size() - 2) + out.right(2).toUpper();
                i += 5;
                continue;
            }
            if (lower.mid(i, 3) == QLatin1String("a/p")) {
                out += pattern[i].isUpper() ? (hour < 12 ? QStringLiteral("A") : QStringLiteral("P"))
                                            : (hour < 12 ? QStringLiteral("a") : QStringLiteral("p"));
                i += 3;
                continue;
            }
            if (lower.mid(i, 4) == QLatin1String("ampm")) {
                out += hour < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
                i += 4;
                continue;
            }
            out += ch;
            ++i;
            continue;
        }
        const int run = runOf(lc);
        if (lc == QLatin1Char('y')) {
            out += run <= 2 ? Padded(year % 100, 2) : Padded(year, 4);
        } else if (lc == QLatin1Char('m')) {
            if (run >= 4)
                out += rs.LongMonthNames.value(month - 1);
            else if (run == 3)
                out += rs.ShortMonthNames.value(month - 1);
            else
                out += run == 2 ? Padded(month, 2) : QString::number(month);
        } else if (lc == QLatin1Char('d')) {
            if (run >= 5)
                out += FormatDateTime(rs.ShortDateFormat, value);
            else if (run == 4)
                out += rs.LongDayNames.value(dayOfWeek);
            else if (run == 3)
                out += rs.ShortDayNames.value(dayOfWeek);
            else
                out += run == 2 ? Padded(day, 2) : QString::number(day);
        } else if (lc == QLatin1Char('h')) {
            int h = hour;
            if (twelveHour) {
                h = hour % 12;
                if (h == 0)
                    h = 12;
            }
            out += run >= 2 ? Padded(h, 2) : QString::number(h);
        } else if (lc == QLatin1Char('n')) {
            out += run >= 2 ? Padded(minute, 2) : QString::number(minute);
        } else if (lc == QLatin1Char('s')) {
            out += run >= 2 ? Padded(second, 2) : QString::number(second);
        } else if (lc == QLatin1Char('z')) {
            out += run >= 3 ? Padded(msec, 3) : QString::number(msec);
        } else if (lc == QLatin1Char('t')) {
            out += FormatDateTime(run >= 2 ? rs.LongTimeFormat : rs.ShortTimeFormat, value);
        } else if (lc == QLatin1Char('c')) {
            out += DateTimeToDefaultText(value);
        } else {
            out += QString(run, ch);
        }
        i += run;
    }
    return out;
}

QString DateTimeToDefaultText(TDateTime value)
{
    const TRegionalSettings& rs = TRegionalSettings::Current();
    QString text = FormatDateTime(rs.ShortDateFormat, value);
    if (TimeOf(value) != 0)
        text += QLatin1Char(' ') + FormatDateTime(rs.LongTimeFormat, value);
    return text;
}
