#pragma once
// Small pure helpers shared by the report, filter, options and administration code:
// locale-independent number texts, duration, money and count texts with their up/down
// scales, SQL literals and condition builders, delimited texts. Their exact output is
// stored in settings and condition values and sent to the server as SQL, so it must not
// drift. The locale terms come from TRegionalSettings::Current().

#include "core/DateTime.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

using TStringArray = QStringList;

// Numbers as text.
QString FloatToTextDot(double value);
double TextDotToFloat(const QString& text, double defaultValue);
QString FormatCount(double value);
// value * scale rounded to a whole number, halves to even; the product is taken exactly,
// so 12.345 * 100 gives 1235 although the double product is the tie 1234.5.
double RoundScaled(double value, double scale);
double ParseCount(const QString& text, double previous);

// Durations, in seconds unless said otherwise.
QString FormatDuration(double seconds);
double ParseDuration(const QString& text, double previous);
QString FormatDurationDays(double days);
double ParseDurationDays(const QString& text, double previousDays);
QString FormatDurationPattern(qint64 seconds, const QString& pattern);

// Money.
QString FormatMoney(double amount);
double ParseMoney(const QString& text, double previous);

// The scales of up/down controls; positions are signed 16-bit.
double DurationScaleToDays(qint16 position);
qint16 DaysToDurationScale(double days);
double MoneyScaleToValue(qint16 position);
qint16 ValueToMoneyScale(double amount);
double CountScaleToValue(qint16 position);
qint16 ValueToCountScale(double value);

// SQL texts.
QString SqlDateTime(TDateTime value);
QString SqlQuoted(const QString& value);  // 'O''Brien'
QString ListCondition(const QString& expression, const TStringArray& values);
// "(expression like 'prefix%')": values that begin with the prefix. A "%" or "_" in the
// prefix stands for itself (escaped, with an escape clause), so a typed prefix never
// widens the match; quotes are doubled.
QString PrefixCondition(const QString& expression, const QString& prefix);
// "(expression like '%word%')": values that contain the word, escaped and quoted as
// PrefixCondition does.
QString ContainsCondition(const QString& expression, const QString& word);
QString NullCondition(const QString& condition, const QString& expression);
QString AndConditions(const TStringArray& conditions);
QString Clause(const QString& prefix, const QString& body, const QString& suffix);

// Elements of condition values and state lines. "True"/"False" in any letter case, or an
// integer (0 false, any other true); anything else gives the default.
bool StateToBool(const QString& text, bool defaultValue);
// A decimal integer; anything else (also one out of range) gives the default.
int StateToInt(const QString& text, int defaultValue);

// Lists and pairs.
TStringArray SplitText(QChar separator, const QString& text);
QString JoinTexts(const QString& separator, const TStringArray& items);
void OrderPair(double& first, double& second);
QString RangeText(double from, double to);

// Other helpers.
int ExpandYear(int twoDigitYear);
int ExpandYear(int twoDigitYear, int currentYear);
// Control characters become "#" and their code in three places ("# 13"); "#" itself is
// doubled, so that UnescapeControls gives back every text.
QString EscapeControls(const QString& text);
QString UnescapeControls(const QString& text);
// The whole content of an existing file; an empty array when the file does not exist.
// Raises EInOutError when the file exists but cannot be read.
QByteArray LoadFileBytes(const QString& fileName);
