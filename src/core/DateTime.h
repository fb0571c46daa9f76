#pragma once
// Points in time as the whole product stores and sends them: a double counting days
// since 30 December 1899, the fraction being the time of day. Negative values keep the
// time of day as the magnitude of the fraction (-1.25 is 29 December 1899, 06:00).
// Only the calendar years 1 to 9999 are points in time: a value outside them, an infinity
// or NaN (which may arrive from outside) converts to invalid Qt values, formats as the
// empty text and propagates as NaN, never as an undefined conversion.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

using TDateTime = double;

inline constexpr double SecsPerDay = 86400.0;
inline constexpr double MSecsPerDay = 86400000.0;

// The calendar date of day number 0.
QDate DateTimeEpoch();

// The first day of year 1 and the first day after year 9999.
inline constexpr double MinDateTime = -693593.0;
inline constexpr double EndDateTime = 2958466.0;
// True for a finite value of the years 1 to 9999.
bool IsValidDateTime(TDateTime value);

// Conversions with Qt's types, in local time. An invalid QDateTime gives 0; a value that
// is no valid point in time gives an invalid QDate, QTime or QDateTime.
TDateTime DateTimeFromQDateTime(const QDateTime& value);
TDateTime DateTimeFromQDate(const QDate& date);
QDateTime DateTimeToQDateTime(TDateTime value);
QDate DateTimeToQDate(TDateTime value);
QTime DateTimeToQTime(TDateTime value);

// The whole-day part and the time-of-day fraction; NaN for an invalid value.
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
// An invalid value decodes as zeros.
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);

// Adds (or with a negative count subtracts) whole seconds; NaN when the value or the
// result is no valid point in time.
TDateTime IncSeconds(TDateTime value, double seconds);

// Formats with the product's pattern letters (letters are not case-sensitive):
// yyyy yy year; m mm month; mmm mmmm month names; d dd day; ddd dddd day names;
// ddddd short date; h hh hour; n nn minute; s ss second; z zzz millisecond;
// am/pm a/p ampm twelve-hour markers (which also make h twelve-hour); c the default form;
// t short time; tt long time; "..." and '...' literal text; anything else is copied.
// An invalid value formats as the empty text.
QString FormatDateTime(const QString& pattern, TDateTime value);

// The locale's default form: short date, then a blank and the long time when the time of
// day is not zero.
QString DateTimeToDefaultText(TDateTime value);
