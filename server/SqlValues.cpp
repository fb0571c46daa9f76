#include "server/SqlValues.h"

#include "server/CborWriter.h"
#include "server/Database.h"

#include <QRegularExpression>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace {

QString Two(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

bool IsIntegerType(TFieldType type)
{
    return type == TFieldType::Integer || type == TFieldType::Smallint || type == TFieldType::Largeint ||
           type == TFieldType::AutoInc;
}

QVariant IntegerAs(qint64 value, TFieldType type)
{
    switch (type) {
        case TFieldType::Smallint:
            if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
                return QVariant();
            return VarFromInt16(static_cast<qint16>(value));
        case TFieldType::Largeint:
            return QVariant(value);
        default:
            if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
                return QVariant(value);
            return QVariant(static_cast<int>(value));
    }
}

}  // namespace

namespace {

// Digits at p[0..count) as a number; false when one is no ASCII digit.
bool ReadDigits(const char* p, int count, int& out)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const unsigned digit = static_cast<unsigned char>(p[i]) - unsigned('0');
        if (digit > 9)
            return false;
        value = value * 10 + static_cast<int>(digit);
    }
    out = value;
    return true;
}

// 'yyyy-mm-dd', 'yyyy-mm-dd hh:nn:ss' and 'yyyy-mm-dd hh:nn:ss.zzz' exactly; false for any
// other layout (which the general reader then tries).
bool ReadStoredLayout(const char* p, qsizetype size, int (&parts)[7])
{
    std::fill(std::begin(parts), std::end(parts), 0);
    if (size != 10 && size != 19 && size != 23)
        return false;
    if (!ReadDigits(p, 4, parts[0]) || p[4] != '-' || !ReadDigits(p + 5, 2, parts[1]) || p[7] != '-' ||
        !ReadDigits(p + 8, 2, parts[2]))
        return false;
    if (size == 10)
        return true;
    if ((p[10] != ' ' && p[10] != 'T') || !ReadDigits(p + 11, 2, parts[3]) || p[13] != ':' ||
        !ReadDigits(p + 14, 2, parts[4]) || p[16] != ':' || !ReadDigits(p + 17, 2, parts[5]))
        return false;
    return size == 19 || (p[19] == '.' && ReadDigits(p + 20, 3, parts[6]));
}

bool EncodeParts(const int (&parts)[7], TDateTime& out)
{
    TDateTime date = 0, time = 0;
    if (!TryEncodeDate(parts[0], parts[1], parts[2], date) ||
        !TryEncodeTime(parts[3], parts[4], parts[5], parts[6], time))
        return false;
    out = date < 0 ? date - time : date + time;  // negative days keep the time as the fraction's size
    return true;
}

}  // namespace

QString DateTimeToSqlText(TDateTime value)
{
    if (!IsValidDateTime(value))
        return QString();
    int y, m, d, h, n, s, z;
    DecodeDate(value, y, m, d);
    DecodeTime(value, h, n, s, z);
    QString text = QStringLiteral("%1-%2-%3").arg(y, 4, 10, QLatin1Char('0')).arg(Two(m), Two(d));
    if (h == 0 && n == 0 && s == 0 && z == 0)
        return text;
    text += QStringLiteral(" %1:%2:%3").arg(Two(h), Two(n), Two(s));
    if (z != 0)
        text += QStringLiteral(".%1").arg(z, 3, 10, QLatin1Char('0'));
    return text;
}

bool SqlTextToDateTime(const QString& text, TDateTime& out)
{
    static const QRegularExpression re(QStringLiteral(
        "^(\\d{4})-(\\d{2})-(\\d{2})(?:[ T](\\d{2}):(\\d{2})(?::(\\d{2})(?:\\.(\\d{1,3}))?)?)?$"));
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    QString msec = m.captured(7);
    while (!msec.isEmpty() && msec.size() < 3)
        msec += QLatin1Char('0');
    const int parts[7] = {m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                          m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt(),
                          msec.toInt()};
    return EncodeParts(parts, out);
}

bool SqlTextToDateTime(const char* data, qsizetype size, TDateTime& out)
{
    int parts[7];
    if (ReadStoredLayout(data, size, parts))
        return EncodeParts(parts, out);
    return SqlTextToDateTime(QString::fromUtf8(data, size), out);
}

TFieldDef FieldDefFromDeclaredType(const QString& name, const QString& declaredType)
{
    TFieldDef f;
    f.Name = name;
    const QString t = declaredType.trimmed().toUpper();
    static const QRegularExpression sizeRe(QStringLiteral("\\((\\d+)"));
    const QRegularExpressionMatch size = sizeRe.match(t);
    auto has = [&](const char* word) { return t.contains(QLatin1String(word)); };
    if (t.isEmpty())
        f.DataType = TFieldType::Unknown;
    else if (has("TIMESTAMP"))
        f.DataType = TFieldType::TimeStamp;
    else if (has("DATE"))
        f.DataType = TFieldType::DateTime;
    else if (has("CURRENCY") || has("MONEY"))
        f.DataType = TFieldType::Currency;
    else if (has("BIGINT") || has("LARGEINT") || has("INT64"))
        f.DataType = TFieldType::Largeint;
    else if (has("SMALLINT"))
        f.DataType = TFieldType::Smallint;
    else if (has("BOOL"))
        f.DataType = TFieldType::Boolean;
    else if (has("INT"))
        f.DataType = TFieldType::Integer;
    else if (has("NCHAR") || has("NVARCHAR"))
        f.DataType = TFieldType::WideString;
    else if (has("CHAR"))
        f.DataType = TFieldType::String;
    else if (has("NTEXT"))
        f.DataType = TFieldType::WideMemo;
    else if (has("TEXT") || has("CLOB") || has("MEMO"))
        f.DataType = TFieldType::Memo;
    else if (has("BLOB"))
        f.DataType = TFieldType::Blob;
    else if (has("REAL") || has("FLOA") || has("DOUB") || has("NUMERIC") || has("DECIMAL"))
        f.DataType = TFieldType::Float;
    else
        f.DataType = TFieldType::WideString;
    if (IsStringType(f.DataType) && size.hasMatch())
        f.Size = size.captured(1).toInt();
    return f;
}

bool IsStringType(TFieldType type)
{
    return type == TFieldType::String || type == TFieldType::WideString;
}

double RoundCurrency(double value)
{
    return std::round(value * 10000.0) / 10000.0;
}

QVariant ColumnValueAs(const TStatement& stmt, int column, TFieldType type)
{
    const int storage = stmt.ColumnType(column);
    if (storage == SQLITE_NULL)
        return QVariant();
    switch (type) {
        case TFieldType::Integer:
        case TFieldType::Smallint:
        case TFieldType::Largeint:
        case TFieldType::AutoInc:
            if (storage == SQLITE_INTEGER)
                return IntegerAs(stmt.Int(column), type);
            return ConvertToFieldType(stmt.Value(column), type);
        case TFieldType::Float:
            return storage == SQLITE_TEXT || storage == SQLITE_BLOB
                       ? ConvertToFieldType(stmt.Value(column), type)
                       : QVariant(stmt.Double(column));
        case TFieldType::Currency:
            return storage == SQLITE_TEXT || storage == SQLITE_BLOB
                       ? ConvertToFieldType(stmt.Value(column), type)
                       : QVariant(RoundCurrency(stmt.Double(column)));
        case TFieldType::Boolean:
            return storage == SQLITE_INTEGER ? QVariant(stmt.Int(column) != 0) : QVariant();
        case TFieldType::Blob:
            return QVariant(stmt.Blob(column));
        case TFieldType::DateTime:
        case TFieldType::TimeStamp:
            return ConvertToFieldType(stmt.Value(column), type);
        case TFieldType::Unknown:
            return stmt.Value(column);
        default:
            return QVariant(stmt.Text(column));
    }
}

namespace {

bool IsAscii(const char* p, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i)
        if (static_cast<unsigned char>(p[i]) >= 0x80)
            return false;
    return true;
}

// An integer as IntegerAs gives it to the encoding.
void WriteInteger(TCborWriter& out, qint64 value, TFieldType type)
{
    constexpr qint64 kMin32 = std::numeric_limits<qint32>::min(), kMax32 = std::numeric_limits<qint32>::max();
    switch (type) {
        case TFieldType::Smallint:
            if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max()) {
                out.Null();
                return;
            }
            out.Tag(cbortag::Int16);
            break;
        case TFieldType::Largeint:
            out.Tag(cbortag::Int64);
            break;
        default:
            if (value < kMin32 || value > kMax32)
                out.Tag(cbortag::Int64);
            break;
    }
    out.Integer(value);
}

}  // namespace

void WriteColumnValue(TCborWriter& out, const TStatement& stmt, int column, TFieldType type)
{
    sqlite3_stmt* h = stmt.Handle();
    const int storage = sqlite3_column_type(h, column);
    if (storage == SQLITE_NULL) {
        out.Null();
        return;
    }
    const bool number = storage == SQLITE_INTEGER || storage == SQLITE_FLOAT;
    switch (type) {
        case TFieldType::Integer:
        case TFieldType::Smallint:
        case TFieldType::Largeint:
        case TFieldType::AutoInc:
            if (storage == SQLITE_INTEGER) {
                WriteInteger(out, sqlite3_column_int64(h, column), type);
                return;
            }
            break;
        case TFieldType::Float:
            if (number) {
                out.Double(sqlite3_column_double(h, column));
                return;
            }
            break;
        case TFieldType::Currency:
            if (number) {
                out.Double(RoundCurrency(sqlite3_column_double(h, column)));
                return;
            }
            break;
        case TFieldType::Boolean:
            if (storage == SQLITE_INTEGER) {
                out.Boolean(sqlite3_column_int64(h, column) != 0);
                return;
            }
            break;
        case TFieldType::DateTime:
        case TFieldType::TimeStamp:
            if (storage == SQLITE_TEXT) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(h, column));
                TDateTime value = 0;
                if (SqlTextToDateTime(text, sqlite3_column_bytes(h, column), value) && IsValidDateTime(value)) {
                    out.Tag(cbortag::DateTime);
                    out.Double(value);
                } else {
                    out.Null();
                }
                return;
            }
            break;
        case TFieldType::Blob:
        case TFieldType::Unknown:
            break;
        default: {  // the text types take any storage as its text
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(h, column));
            const int size = sqlite3_column_bytes(h, column);
            if (IsAscii(text, size)) {
                out.Text(text, size);
                return;
            }
            break;  // damaged UTF-8 is mended as reading it into a string mends it
        }
    }
    const QByteArray encoded = EncodeValue(ColumnValueAs(stmt, column, type));
    out.Raw(encoded.constData(), encoded.size());
}

QVariant ConvertToFieldType(const QVariant& value, TFieldType type)
{
    if (VarIsNull(value))
        return QVariant();
    const int id = value.metaType().id();
    const bool isText = id == QMetaType::QString;
    bool ok = true;
    switch (type) {
        case TFieldType::Integer:
        case TFieldType::Smallint:
        case TFieldType::Largeint:
        case TFieldType::AutoInc: {
            if (id == QMetaType::Double) {
                const double d = value.toDouble();
                if (d != std::trunc(d) || std::fabs(d) > 9.2e18)
                    return QVariant();
                return IntegerAs(static_cast<qint64>(d), type);
            }
            const qint64 i = value.toLongLong(&ok);
            return ok ? IntegerAs(i, type) : QVariant();
        }
        case TFieldType::Float:
        case TFieldType::Currency: {
            const double d = value.toDouble(&ok);
            if (!ok)
                return QVariant();
            return type == TFieldType::Currency ? QVariant(RoundCurrency(d)) : QVariant(d);
        }
        case TFieldType::Boolean:
            return id == QMetaType::Bool ? value : QVariant(value.toLongLong(&ok) != 0 && ok);
        case TFieldType::DateTime:
        case TFieldType::TimeStamp: {
            TDateTime dt = 0;
            if (VarIsDateTime(value))
                dt = VarToDateTime(value);
            else if (isText)
                ok = SqlTextToDateTime(value.toString(), dt);
            else
                dt = value.toDouble(&ok);
            return ok && IsValidDateTime(dt) ? VarFromDateTime(dt) : QVariant();
        }
        case TFieldType::Blob:
            return QVariant(value.toByteArray());
        case TFieldType::Unknown:
            return value;
        default:
            if (VarIsDateTime(value)) {
                const TDateTime dt = VarToDateTime(value);
                return IsValidDateTime(dt) ? QVariant(DateTimeToSqlText(dt)) : QVariant();
            }
            if (id == QMetaType::Double)
                return QVariant(QString::number(value.toDouble(), 'g', 17));
            return QVariant(value.toString());
    }
}

bool ValueForColumn(const QVariant& value, const TFieldDef& field, QVariant& out, QString& error)
{
    if (VarIsNull(value)) {
        out = QVariant();
        return true;
    }
    const int id = value.metaType().id();
    const bool numeric = id == QMetaType::Int || id == QMetaType::Short || id == QMetaType::LongLong ||
                         id == QMetaType::UInt || id == QMetaType::Double || id == QMetaType::Bool;
    const bool text = id == QMetaType::QString;
    auto fail = [&](const QString& why) {
        error = QStringLiteral("Invalid value for %1: %2").arg(field.Name, why);
        return false;
    };
    switch (field.DataType) {
        case TFieldType::Integer:
        case TFieldType::Smallint:
        case TFieldType::Largeint:
        case TFieldType::AutoInc:
        case TFieldType::Float:
        case TFieldType::Currency:
        case TFieldType::Boolean: {
            if (!numeric && !text)
                return fail(QStringLiteral("a number was expected"));
            out = ConvertToFieldType(value, field.DataType);
            if (VarIsNull(out))
                return fail(QStringLiteral("\"%1\" is not a %2 value")
                                .arg(value.toString(), FieldTypeName(field.DataType)));
            // Reading keeps a 32-bit column's larger values, but none is written: the
            // clients read the column as 32-bit and could no longer open the table.
            if ((field.DataType == TFieldType::Integer || field.DataType == TFieldType::AutoInc) &&
                (out.toLongLong() < std::numeric_limits<qint32>::min() ||
                 out.toLongLong() > std::numeric_limits<qint32>::max()))
                return fail(QStringLiteral("%1 is out of the 32-bit range").arg(value.toString()));
            if (field.DataType == TFieldType::Boolean)
                out = QVariant(out.toBool() ? 1 : 0);
            else if (IsIntegerType(field.DataType))
                out = QVariant(out.toLongLong());
            return true;
        }
        case TFieldType::DateTime:
        case TFieldType::TimeStamp: {
            TDateTime dt = 0;
            if (VarIsDateTime(value) || id == QMetaType::Double || id == QMetaType::Int)
                dt = VarToDateTime(value);
            else if (id == QMetaType::QDateTime)
                dt = DateTimeFromQDateTime(value.toDateTime());
            else if (!text || !SqlTextToDateTime(value.toString(), dt))
                return fail(QStringLiteral("a point in time was expected"));
            if (!IsValidDateTime(dt))
                return fail(QStringLiteral("a point in time between the years 1 and 9999 was expected"));
            out = QVariant(DateTimeToSqlText(dt));
            return true;
        }
        case TFieldType::Blob:
            if (id != QMetaType::QByteArray)
                return fail(QStringLiteral("bytes were expected"));
            out = value;
            return true;
        default: {
            if (!text && !numeric)
                return fail(QStringLiteral("a text was expected"));
            const QString s = ConvertToFieldType(value, TFieldType::WideString).toString();
            if (field.Size > 0 && s.size() > field.Size)
                return fail(QStringLiteral("the text is longer than %1 characters").arg(field.Size));
            out = QVariant(s);
            return true;
        }
    }
}
