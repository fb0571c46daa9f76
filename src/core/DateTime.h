#pragma once
// Points in time as the whole product stores and sends them: a double counting days
// since 30 December 1899, the fraction being the time of day. Negative values keep the
// time of day as the magnitude of the fraction (-1.25 is 29 December 1899, 06:00).

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

using TDateTime = double;

inline constexpr double SecsPerDay = 86400.0;
inline constexpr double MSecsPerDay = 86400000.0;

// The calendar date of day number 0.
QDate DateTimeEpoch();

// Conversions with Qt's types, in local time. An invalid QDateTime gives 0.
TDateTime DateTimeFromQDateTime(const QDateTime& value);
TDateTime DateTimeFromQDate(const QDate& date);
QDateTime DateTimeToQDateTime(TDateTime value);
QDate DateTimeToQDate(TDateTime value);
QTime DateTimeToQTime(TDateTime value);

// The whole-day part and the time-of-day fraction.
TDateTime DateOf(TDateTime value);
TDateTime TimeOf(TDateTime value);

TDateTime Now();
TDateTime Today();

// Building and splitting; the Try forms return false (and leave out untouched) for a
// combination that is no calendar date or time of day.
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& out);
TDateTime EncodeDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                         int msec = 0);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);

// Adds (or with a negative count subtracts) whole seconds.
TDateTime IncSeconds(TDateTime value, double seconds);

// Formats with the product's pattern letters (letters are not case-sensitive):
// yyyy yy year; m mm month; mmm mmmm month names; d dd day; ddd dddd day names;
// ddddd short date; h hh hour; n nn minute; s ss second; z zzz millisecond;
// am/pm a/p ampm twelve-hour markers (which also make h twelve-hour); c the default form;
// t short time; tt long time; "..." and '...' literal text; anything else is copied.
QString FormatDateTime(const QString& pattern, TDateTime value);

// The locale's default form: short date, then a blank and the long time when the time of
// day is not zero.
QString DateTimeToDefaultText(TDateTime value);
