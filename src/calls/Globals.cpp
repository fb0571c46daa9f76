#include "calls/Globals.h"

#include "core/Errors.h"
#include "core/Numbers.h"
#include "core/RegionalSettings.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

bool IsBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

bool IsDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Reads a whole text as a real written with the given decimal separator: blanks around,
// an optional sign, digits with an optional fraction, an optional exponent. No thousands
// separators. Overflow does not read.
bool ReadReal(const QString& text, QChar separator, double& out)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && IsBlank(text[i]))
        ++i;
    QByteArray normal;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        normal += static_cast<char>(text[i++].unicode());
    int digits = 0;
    while (i < n && IsDigit(text[i])) {
        normal += static_cast<char>(text[i++].unicode());
        ++digits;
    }
    if (i < n && text[i] == separator) {
        normal += '.';
        ++i;
        while (i < n && IsDigit(text[i])) {
            normal += static_cast<char>(text[i++].unicode());
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        normal += 'e';
        ++i;
        if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
            normal += static_cast<char>(text[i++].unicode());
        int exponentDigits = 0;
        while (i < n && IsDigit(text[i])) {
            normal += static_cast<char>(text[i++].unicode());
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return false;
    }
    while (i < n && IsBlank(text[i]))
        ++i;
    if (i != n)
        return false;
    bool ok = false;
    const double value = normal.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return false;
    out = value;
    return true;
}

// A trimmed text that is a decimal integer in the 32-bit range.
bool ReadInteger(const QString& text, qint64& out)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (ok)
        out = value;
    return ok;
}

// Rounds halves to even, as the whole product rounds.
double RoundEven(double value)
{
    return std::nearbyint(value) + 0.0;  // + 0.0 turns -0 into 0
}

// The magnitude of a rounded value as an unsigned count, clamped; NaN counts 0.
quint64 UnsignedMagnitude(double value)
{
    const double magnitude = std::fabs(RoundEven(value));
    if (std::isnan(magnitude))
        return 0;
    if (magnitude >= 9.2e18)
        return 9200000000000000000ULL;
    return static_cast<quint64>(magnitude);
}

// A positive position of a scale, capped, with the sign of the value it stands for.
qint16 SignedPosition(double value, qint64 magnitudePosition)
{
    const qint64 capped = std::clamp<qint64>(magnitudePosition, 0, 32767);
    return static_cast<qint16>(value < 0 ? -capped : capped);
}

// A non-negative whole number for the scale inverses, capped far beyond the last band.
qint64 ScaleUnits(double scaledMagnitude)
{
    if (std::isnan(scaledMagnitude))
        return 0;
    return static_cast<qint64>(std::min(scaledMagnitude, 1e15));
}

struct TDurationUnit {
    const char* Letter;
    qint64 Seconds;
};

// Days, hours, minutes, seconds: the unit letters of duration texts.
constexpr std::array<TDurationUnit, 4> kDurationUnits{{
    {QT_TRANSLATE_NOOP("Globals", "d"), 86400},
    {QT_TRANSLATE_NOOP("Globals", "h"), 3600},
    {QT_TRANSLATE_NOOP("Globals", "m"), 60},
    {QT_TRANSLATE_NOOP("Globals", "s"), 1},
}};

QString UnitLetter(const TDurationUnit& unit)
{
    return QCoreApplication::translate("Globals", unit.Letter);
}

// The letters of duration patterns, largest first.
constexpr std::array<std::pair<char, qint64>, 4> kPatternLetters{
    {{'d', 86400}, {'h', 3600}, {'n', 60}, {'s', 1}}};

int PatternLetterIndex(QChar c)
{
    for (int i = 0; i < static_cast<int>(kPatternLetters.size()); ++i)
        if (c == QLatin1Char(kPatternLetters[i].first))
            return i;
    return -1;
}

bool IsQuote(QChar c)
{
    return c == QLatin1Char('"') || c == QLatin1Char('\'');
}

// Which pattern letters occur outside quoted runs.
std::array<bool, 4> PatternLettersPresent(const QString& pattern)
{
    std::array<bool, 4> present{};
    const qsizetype n = pattern.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (IsQuote(pattern[i])) {
            const qsizetype close = pattern.indexOf(pattern[i], i + 1);
            if (close < 0)
                break;
            i = close;
            continue;
        }
        const int letter = PatternLetterIndex(pattern[i]);
        if (letter >= 0)
            present[letter] = true;
    }
    return present;
}

QString MoneyAmountText(double amount, QChar separator)
{
    const double scaled = RoundScaled(amount, 10000);
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.2e18)
        return FloatToStrGeneral(amount, separator);
    const qint64 fixed = static_cast<qint64>(scaled);
    const quint64 magnitude = fixed < 0 ? 0 - static_cast<quint64>(fixed) : static_cast<quint64>(fixed);
    QString text = QString::number(magnitude / 10000);
    const quint64 fraction = magnitude % 10000;
    if (fraction != 0) {
        QString decimals = QStringLiteral("%1").arg(fraction, 4, 10, QLatin1Char('0'));
        while (decimals.endsWith(QLatin1Char('0')))
            decimals.chop(1);
        text += separator + decimals;
    }
    return fixed < 0 ? QLatin1Char('-') + text : text;
}

QString Padded(int value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

}  // namespace

double RoundScaled(double value, double scale)
{
    const double product = value * scale;
    if (!std::isfinite(product))
        return product;
    const double below = std::floor(product);
    if (product - below == 0.5) {
        // The double product is a tie, the exact one need not be: its rounding error tells
        // on which side it lies (12.345 is slightly above, so 1234.5 rounds up).
        const double error = std::fma(value, scale, -product);
        if (error > 0)
            return below + 1;
        if (error < 0)
            return below + 0.0;
    }
    return RoundEven(product);
}

QString FloatToTextDot(double value)
{
    return FloatToStrGeneral(value, QLatin1Char('.'));
}

double TextDotToFloat(const QString& text, double defaultValue)
{
    const QChar separator = TRegionalSettings::Current().DecimalSeparator;
    QString local = text;
    const qsizetype dot = local.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        local[dot] = separator;
    double value = 0;
    return ReadReal(local, separator, value) ? value : defaultValue;
}

QString FormatCount(double value)
{
    return QString::number(RoundEven(value), 'f', 0);
}

double ParseCount(const QString& text, double previous)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && IsBlank(text[i]))
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    const qsizetype digitsStart = i;
    while (i < n && IsDigit(text[i]))
        ++i;
    if (i == digitsStart)
        return RoundEven(previous);
    // Digits beyond a double's range do not read as a count.
    const double value = text.mid(start, i - start).toDouble();
    return std::isfinite(value) ? value + 0.0 : RoundEven(previous);
}

// A negative value shows its magnitude rather than the huge unsigned number it would wrap to.
QString FormatDuration(double seconds)
{
    const quint64 total = UnsignedMagnitude(seconds);
    if (total == 0)
        return QLatin1Char('0') + UnitLetter(kDurationUnits.back());
    QString text;
    for (std::size_t i = 0; i < kDurationUnits.size(); ++i) {
        const quint64 size = static_cast<quint64>(kDurationUnits[i].Seconds);
        if (text.isEmpty()) {
            if (total >= size)
                text = QString::number(total / size) + UnitLetter(kDurationUnits[i]);
            continue;
        }
        const quint64 part = total % static_cast<quint64>(kDurationUnits[i - 1].Seconds) / size;
        if (part != 0)
            text += QLatin1Char(',') + QString::number(part) + UnitLetter(kDurationUnits[i]);
    }
    return text;
}

double ParseDuration(const QString& text, double previous)
{
    QString rest = text;
    double sum = 0;
    bool anyRead = false;
    for (const TDurationUnit& unit : kDurationUnits) {
        if (anyRead) {
            qsizetype skip = 0;
            while (skip < rest.size() && IsBlank(rest[skip]))
                ++skip;
            if (skip < rest.size() && rest[skip] == QLatin1Char(','))
                ++skip;
            rest.remove(0, skip);
        }
        const QString letter = UnitLetter(unit);
        const qsizetype at = rest.indexOf(letter);
        if (at < 0)
            continue;
        qint64 number = 0;
        if (!ReadInteger(rest.left(at), number))
            continue;
        sum += static_cast<double>(number) * static_cast<double>(unit.Seconds);
        rest.remove(0, at + letter.size());
        anyRead = true;
    }
    return anyRead ? sum : RoundEven(previous);
}

QString FormatDurationDays(double days)
{
    return FormatDuration(days * SecsPerDay);
}

double ParseDurationDays(const QString& text, double previousDays)
{
    return ParseDuration(text, previousDays * SecsPerDay) / SecsPerDay;
}

QString FormatDurationPattern(qint64 seconds, const QString& pattern)
{
    const quint64 magnitude = seconds < 0 ? 0 - static_cast<quint64>(seconds) : static_cast<quint64>(seconds);
    const std::array<bool, 4> present = PatternLettersPresent(pattern);
    QString out;
    const qsizetype n = pattern.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = pattern[i];
        if (IsQuote(c)) {
            qsizetype close = pattern.indexOf(c, i + 1);
            if (close < 0)
                close = n;
            out += pattern.mid(i + 1, close - i - 1);
            i = close + 1;
            continue;
        }
        const int letter = PatternLetterIndex(c);
        if (letter < 0) {
            out += c;
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (i + run < n && pattern[i + run] == c)
            ++run;
        const quint64 size = static_cast<quint64>(kPatternLetters[letter].second);
        quint64 value = magnitude / size;
        for (int larger = letter - 1; larger >= 0; --larger) {
            if (present[larger]) {
                value %= static_cast<quint64>(kPatternLetters[larger].second) / size;
                break;
            }
        }
        out += QStringLiteral("%1").arg(value, static_cast<int>(run), 10, QLatin1Char('0'));
        i += run;
    }
    return seconds < 0 ? QLatin1Char('-') + out : out;
}

QString FormatMoney(double amount)
{
    const TRegionalSettings& rs = TRegionalSettings::Current();
    const QString text = MoneyAmountText(amount, rs.DecimalSeparator);
    switch (rs.CurrencyFormat) {
        case 1:
            return text + rs.CurrencyString;
        case 2:
            return rs.CurrencyString + QLatin1Char(' ') + text;
        case 3:
            return text + QLatin1Char(' ') + rs.CurrencyString;
        default:
            return rs.CurrencyString + text;
    }
}

double ParseMoney(const QString& text, double previous)
{
    const TRegionalSettings& rs = TRegionalSettings::Current();
    QString number = text;
    const qsizetype at = rs.CurrencyString.isEmpty() ? -1 : text.indexOf(rs.CurrencyString);
    if (at >= 0) {
        const bool symbolAfter = rs.CurrencyFormat == 1 || rs.CurrencyFormat == 3;
        number = symbolAfter ? text.left(at) : text.mid(at + rs.CurrencyString.size());
    }
    double value = 0;
    return ReadReal(number, rs.DecimalSeparator, value) ? value : previous;
}

double DurationScaleToDays(qint16 position)
{
    const qint64 p = position < 0 ? -static_cast<qint64>(position) : position;
    qint64 seconds;
    if (p <= 10)
        seconds = p;
    else if (p <= 20)
        seconds = 5 * p - 40;
    else if (p <= 28)
        seconds = 30 * p - 540;
    else if (p <= 38)
        seconds = (p - 23) * 60;
    else if (p <= 47)
        seconds = (5 * p - 175) * 60;
    else if (p <= 57)
        seconds = (30 * p - 1350) * 60;
    else
        seconds = (p - 51) * 3600;
    const double days = static_cast<double>(seconds) / SecsPerDay;
    return position < 0 ? -days : days;
}

qint16 DaysToDurationScale(double days)
{
    // Minutes and hours are whole parts of the rounded seconds, so that the position
    // found never stands for more than the value.
    const qint64 s = ScaleUnits(std::fabs(RoundScaled(days, SecsPerDay)));
    const qint64 m = s / 60;
    const qint64 h = s / 3600;
    qint64 p;
    if (s <= 10)
        p = s;
    else if (s <= 60)
        p = (s + 40) / 5;
    else if (s <= 300)
        p = (s + 540) / 30;
    else if (m <= 15)
        p = m + 23;
    else if (m <= 60)
        p = (m + 175) / 5;
    else if (m <= 360)
        p = (m + 1350) / 30;
    else
        p = h + 51;
    return SignedPosition(days, p);
}

double MoneyScaleToValue(qint16 position)
{
    const qint64 p = position < 0 ? -static_cast<qint64>(position) : position;
    double value;
    if (p <= 100)
        value = static_cast<double>(p) / 100;
    else if (p <= 280)
        value = static_cast<double>(5 * p - 400) / 100;
    else if (p <= 380)
        value = static_cast<double>(10 * p - 1800) / 100;
    else if (p <= 540)
        value = static_cast<double>(50 * p - 17000) / 100;
    else if (p <= 1440)
        value = static_cast<double>(p - 440);
    else if (p <= 2340)
        value = static_cast<double>(10 * p - 13400);
    else if (p <= 3240)
        value = static_cast<double>(100 * p - 224000);
    else if (p <= 4140)
        value = static_cast<double>(1000 * p - 3140000);
    else
        value = static_cast<double>(10000 * p - 40400000);
    return position < 0 ? -value : value;
}

qint16 ValueToMoneyScale(double amount)
{
    // Whole units are taken from the rounded hundredths, so that the position found
    // never stands for more than the amount.
    const qint64 c = ScaleUnits(std::fabs(RoundScaled(amount, 100)));
    const qint64 u = c / 100;
    qint64 p;
    if (c <= 100)
        p = c;
    else if (c <= 1000)
        p = (c - 100) / 5 + 100;
    else if (c <= 2000)
        p = (c - 1000) / 10 + 280;
    else if (c <= 10000)
        p = (c - 2000) / 50 + 380;
    else if (u <= 1000)
        p = u + 440;
    else if (u <= 10000)
        p = (u - 1000) / 10 + 1440;
    else if (u <= 100000)
        p = (u - 10000) / 100 + 2340;
    else if (u <= 1000000)
        p = (u - 100000) / 1000 + 3240;
    else
        p = (u - 1000000) / 10000 + 4140;
    return SignedPosition(amount, p);
}

double CountScaleToValue(qint16 position)
{
    const qint64 p = position < 0 ? -static_cast<qint64>(position) : position;
    qint64 value;
    if (p <= 100)
        value = p;
    else if (p <= 280)
        value = 5 * p - 400;
    else if (p <= 380)
        value = 10 * p - 1800;
    else if (p <= 540)
        value = 50 * p - 17000;
    else if (p <= 1440)
        value = 100 * p - 44000;
    else if (p <= 2340)
        value = 1000 * p - 1340000;
    else
        value = 10000 * p - 22400000;
    return static_cast<double>(position < 0 ? -value : value);
}

qint16 ValueToCountScale(double value)
{
    const qint64 v = ScaleUnits(std::fabs(RoundEven(value)));
    qint64 p;
    if (v <= 100)
        p = v;
    else if (v <= 1000)
        p = (v - 100) / 5 + 100;
    else if (v <= 2000)
        p = (v - 1000) / 10 + 280;
    else if (v <= 10000)
        p = (v - 2000) / 50 + 380;
    else if (v <= 100000)
        p = (v - 10000) / 100 + 540;
    else if (v <= 1000000)
        p = (v - 100000) / 1000 + 1440;
    else
        p = (v - 1000000) / 10000 + 2340;
    return SignedPosition(value, p);
}

QString SqlDateTime(TDateTime value)
{
    int year, month, day, hour, minute, second, msec;
    DecodeDate(value, year, month, day);
    DecodeTime(value, hour, minute, second, msec);
    QString text = Padded(year, 4) + QLatin1Char('-') + Padded(month, 2) + QLatin1Char('-') + Padded(day, 2);
    if (hour != 0 || minute != 0 || second != 0 || msec != 0) {
        text += QLatin1Char(' ') + Padded(hour, 2) + QLatin1Char(':') + Padded(minute, 2) + QLatin1Char(':') +
                Padded(second, 2);
        if (msec != 0)
            text += QLatin1Char('.') + Padded(msec, 3);
    }
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

QString SqlQuoted(const QString& value)
{
    QString inner = value;
    inner.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

QString ListCondition(const QString& expression, const TStringArray& values)
{
    if (values.isEmpty())
        return QString();
    if (values.size() == 1)
        return expression + QLatin1String(" = ") + SqlQuoted(values.first());
    TStringArray quoted;
    quoted.reserve(values.size());
    for (const QString& value : values)
        quoted << SqlQuoted(value);
    return QStringLiteral("%1 in (%2)").arg(expression, quoted.join(QLatin1String(", ")));
}

namespace {

// "(expression like 'pattern')" where the text stands for itself and '%' is added before
// it (when anywhere) and after it: a "%" or "_" in the text is escaped, with an escape
// clause, so a typed text never widens the match; quotes are doubled.
QString LikeCondition(const QString& expression, const QString& text, bool anywhere)
{
    constexpr QChar escape = QLatin1Char('\\');
    const auto isWildcard = [escape](QChar c) {
        return c == QLatin1Char('%') || c == QLatin1Char('_') || c == escape;
    };
    const QString lead = anywhere ? QStringLiteral("%") : QString();
    if (std::none_of(text.begin(), text.end(), isWildcard))
        return QStringLiteral("(%1 like %2)").arg(expression, SqlQuoted(lead + text + QLatin1Char('%')));
    QString escaped;
    for (const QChar c : text) {
        if (isWildcard(c))
            escaped += escape;
        escaped += c;
    }
    return QStringLiteral("(%1 like %2 escape '%3')")
        .arg(expression, SqlQuoted(lead + escaped + QLatin1Char('%')), escape);
}

}  // namespace

QString PrefixCondition(const QString& expression, const QString& prefix)
{
    return LikeCondition(expression, prefix, false);
}

QString ContainsCondition(const QString& expression, const QString& word)
{
    return LikeCondition(expression, word, true);
}

QString NullCondition(const QString& condition, const QString& expression)
{
    if (condition.isEmpty())
        return QStringLiteral("%1 is null").arg(expression);
    return QStringLiteral("%1 or %2 is null").arg(condition, expression);
}

QString AndConditions(const TStringArray& conditions)
{
    TStringArray parts;
    for (const QString& condition : conditions)
        if (!condition.isEmpty())
            parts << QLatin1Char('(') + condition + QLatin1Char(')');
    return parts.join(QLatin1String("\r\nand "));
}

QString Clause(const QString& prefix, const QString& body, const QString& suffix)
{
    return body.isEmpty() ? QString() : prefix + body + suffix;
}

bool StateToBool(const QString& text, bool defaultValue)
{
    if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    return ok ? number != 0 : defaultValue;
}

int StateToInt(const QString& text, int defaultValue)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    return ok ? number : defaultValue;
}

TStringArray SplitText(QChar separator, const QString& text)
{
    if (text.isEmpty())
        return TStringArray();
    return text.split(separator, Qt::KeepEmptyParts);
}

QString JoinTexts(const QString& separator, const TStringArray& items)
{
    return items.join(separator);
}

void OrderPair(double& first, double& second)
{
    if (second < first)
        std::swap(first, second);
}

QString RangeText(double from, double to)
{
    return FloatToTextDot(from) + QLatin1Char(',') + FloatToTextDot(to);
}

int ExpandYear(int twoDigitYear, int currentYear)
{
    // The hundred-year window that starts 50 years before the current year.
    const int pivot = currentYear - 50;
    int year = twoDigitYear + (pivot / 100) * 100;
    if (twoDigitYear < pivot % 100)
        year += 100;
    return year;
}

int ExpandYear(int twoDigitYear)
{
    return ExpandYear(twoDigitYear, QDate::currentDate().year());
}

QString EscapeControls(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code < 32 || code == 127)
            out += QStringLiteral("#%1").arg(static_cast<int>(code), 3);
        else if (c == QLatin1Char('#'))
            out += QLatin1String("##");  // unescapes to one "#", so every text survives
        else
            out += c;
    }
    return out;
}

QString UnescapeControls(const QString& text)
{
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        if (text[i] != QLatin1Char('#')) {
            out += text[i++];
            continue;
        }
        const qsizetype start = i + 1;
        if (start >= n)
            break;
        const qsizetype end = std::min(n, start + 3);
        qsizetype j = start;
        while (j < end && text[j] == QLatin1Char(' '))
            ++j;
        int code = 0;
        int digits = 0;
        while (j < end && IsDigit(text[j])) {
            code = code * 10 + (text[j++].unicode() - '0');
            ++digits;
        }
        if (digits == 0) {
            out += text[start];
            i = start + 1;
            continue;
        }
        out += QChar(static_cast<char16_t>(code & 0xFF));  // texts are single-byte
        i = j;
    }
    return out;
}

QByteArray LoadFileBytes(const QString& fileName)
{
    if (fileName.isEmpty() || !QFileInfo::exists(fileName))
        return QByteArray();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(QCoreApplication::translate("Globals", "Cannot open file %1: %2")
                              .arg(fileName, file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EInOutError(QCoreApplication::translate("Globals", "Cannot read file %1: %2")
                              .arg(fileName, file.errorString()));
    return bytes;
}
