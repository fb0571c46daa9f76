#pragma once
// How values are stored in the database and how they travel: points in time as text in
// the same three forms as the client's SQL literals ('yyyy-mm-dd' at midnight,
// 'yyyy-mm-dd hh:nn:ss', and '.zzz' added when the milliseconds are not zero), so that
// text comparison orders them and equals the client's literals; column types from the
// declared SQL types; values converted to and from the field types of datasets.

#include "core/DateTime.h"
#include "remote/Protocol.h"

#include <QString>
#include <QVariant>

class TCborWriter;
class TStatement;

// Empty for a value that is no point in time (IsValidDateTime).
QString DateTimeToSqlText(TDateTime value);
// Reads the three stored forms (and a 'T' instead of the blank); false for anything else.
bool SqlTextToDateTime(const QString& text, TDateTime& out);
// The same from UTF-8 bytes: the stored forms are read in place, anything else as text.
bool SqlTextToDateTime(const char* data, qsizetype size, TDateTime& out);

// The field a result column gets from its declared type ("" for expressions: Unknown).
TFieldDef FieldDefFromDeclaredType(const QString& name, const QString& declaredType);

// A column value read as the field type wants it: points in time as TVarDate, currency
// rounded to four decimals, 16-bit integers tagged, 64-bit integers as qint64.
// Unreadable values become null.
QVariant ColumnValueAs(const TStatement& stmt, int column, TFieldType type);
// The same value written in the wire's value encoding (docs/protocol.md section 3), byte
// for byte what encoding ColumnValueAs's answer gives, but read from the column's bytes
// without a QVariant for the common pairs of storage and type.
void WriteColumnValue(TCborWriter& out, const TStatement& stmt, int column, TFieldType type);
// A value converted to a field type (the same rules, from a QVariant).
QVariant ConvertToFieldType(const QVariant& value, TFieldType type);

// A value from a client for a column of the given type, ready to bind; false when it
// cannot be read as that type (error tells why).
bool ValueForColumn(const QVariant& value, const TFieldDef& field, QVariant& out, QString& error);

double RoundCurrency(double value);
bool IsStringType(TFieldType type);
