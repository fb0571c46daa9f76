#pragma once
// Variant values: null, integers (16, 32 and 64 bits), reals, strings, booleans,
// date-times, byte arrays and arrays. They are QVariants; the few kinds Qt has no type
// for of its own are the types below, so that a date-time stays a date-time across
// the wire and in datasets.

#include "core/DateTime.h"

#include <QMetaType>
#include <QVariant>

// A point in time held by a variant.
struct TVarDate {
    TDateTime Value = 0;
    friend bool operator==(const TVarDate& a, const TVarDate& b) { return a.Value == b.Value; }
};
Q_DECLARE_METATYPE(TVarDate)

inline QVariant VarNull()
{
    return QVariant();
}
bool VarIsNull(const QVariant& v);  // invalid or null
QVariant VarFromDateTime(TDateTime value);
bool VarIsDateTime(const QVariant& v);
// A date-time variant, a real or a QDateTime as a point in time; 0 otherwise.
TDateTime VarToDateTime(const QVariant& v);
QVariant VarFromInt16(qint16 value);
bool VarIsArray(const QVariant& v);

// The ordinary text of a value: null gives the empty text, numbers in decimal with the
// locale's decimal separator, booleans "True"/"False", points in time in the locale's
// default form, strings as they are.
QString VarToStr(const QVariant& v);

// Values as integers and reals; null and unreadable values give the default.
qint64 VarToInt(const QVariant& v, qint64 defaultValue = 0);
double VarToFloat(const QVariant& v, double defaultValue = 0);

// Registers the converters of the types above; called once at start by every program.
void RegisterVariantTypes();
