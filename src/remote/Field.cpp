#include "remote/Field.h"

#include "core/Errors.h"
#include "core/RegionalSettings.h"
#include "remote/RemoteDataSet.h"
#include "core/Variants.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("TField", text);
}

[[noreturn]] void Invalid(const char* format, const QString& text)
{
    throw EDatabaseError(Tr(format).arg(text));
}

qint64 ParseInteger(const QString& text)
{
    bool ok = false;
    const qint64 i = text.trimmed().toLongLong(&ok);
    if (!ok)
        Invalid("'%1' is not a valid integer value", text);
    return i;
}

double ParseFloat(const QString& text)
{
    const QString trimmed = text.trimmed();
    const QChar separator = TRegionalSettings::Current().DecimalSeparator;
    QString dotted = trimmed;
    if (separator != QLatin1Char('.'))
        dotted.replace(separator, QLatin1Char('.'));
    bool ok = false;
    double d = QLocale::c().toDouble(dotted, &ok);
    if (!ok)
        d = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(d))
        Invalid("'%1' is not a valid floating point value", text);
    return d;
}

// The order of day, month and year in the short date format, e.g. "dmy".
QString DateOrder()
{
    QString order;
    for (QChar c : TRegionalSettings::Current().ShortDateFormat.toLower()) {
        const QChar letter =
            c == QLatin1Char('d') || c == QLatin1Char('m') || c == QLatin1Char('y') ? c : QChar();
        if (!letter.isNull() && !order.contains(letter))
            order += letter;
    }
    return order.size() == 3 ? order : QStringLiteral("dmy");
}

bool ParseTime(const QString& text, TDateTime& out)
{
    static const QRegularExpression re(
        QStringLiteral("^(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2})(?:[.,](\\d{1,3}))?)?\\s*([AaPp][Mm])?$"));
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    int hour = m.captured(1).toInt();
    const QString ampm = m.captured(5).toLower();
    if (!ampm.isEmpty()) {
        if (hour < 1 || hour > 12)
            return false;
        hour = hour % 12 + (ampm == QLatin1String("pm") ? 12 : 0);
    }
    const QString ms = m.captured(4);
    const int msec = ms.isEmpty() ? 0 : (ms + QStringLiteral("00")).left(3).toInt();
    return TryEncodeTime(hour, m.captured(2).toInt(), m.captured(3).toInt(), msec, out);
}

TDateTime ParseDateTime(const QString& text)
{
    const QString trimmed = text.trimmed();
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})(?:[ T](.+))?$"));
    static const QRegularExpression dateRe(
        QStringLiteral("^(\\d{1,4})\\D(\\d{1,2})\\D(\\d{1,4})(?:\\s+(.+))?$"));
    int year = 0, month = 0, day = 0;
    QString timePart;
    bool haveDate = false;
    if (const QRegularExpressionMatch m = iso.match(trimmed); m.hasMatch()) {
        year = m.captured(1).toInt();
        month = m.captured(2).toInt();
        day = m.captured(3).toInt();
        timePart = m.captured(4);
        haveDate = true;
    } else if (const QRegularExpressionMatch d = dateRe.match(trimmed); d.hasMatch()) {
        const QString order = DateOrder();
        for (int i = 0; i < 3; ++i) {
            const int value = d.captured(i + 1).toInt();
            if (order[i] == QLatin1Char('d'))
                day = value;
            else if (order[i] == QLatin1Char('m'))
                month = value;
            else if (d.captured(i + 1).size() <= 2)
                year = value < 50 ? 2000 + value : 1900 + value;
            else
                year = value;
        }
        timePart = d.captured(4);
        haveDate = true;
    } else {
        timePart = trimmed;
    }
    TDateTime date = 0;
    TDateTime time = 0;
    if (haveDate && !TryEncodeDate(year, month, day, date))
        Invalid("'%1' is not a valid date and time", text);
    if ((!timePart.isEmpty() || !haveDate) && !ParseTime(timePart, time))
        Invalid("'%1' is not a valid date and time", text);
    // Before the epoch the fraction counts forwards from the day's start as well.
    return date < 0 ? date - time : date + time;
}

bool ParseBoolean(const QString& text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 || t == QLatin1String("1") ||
        t == QLatin1String("-1"))
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0 || t == QLatin1String("0"))
        return false;
    Invalid("'%1' is not a valid boolean value", text);
}

QVariant CheckedInteger(qint64 i, qint64 low, qint64 high, const QString& fieldName)
{
    if (i < low || i > high)
        throw EDatabaseError(Tr("%1 is not a valid value for field '%2'. The allowed range is %3 to %4")
                                 .arg(i)
                                 .arg(fieldName)
                                 .arg(low)
                                 .arg(high));
    return QVariant(i);
}

bool IsTextVariant(const QVariant& v)
{
    return v.metaType().id() == QMetaType::QString;
}

qint64 IntegerOf(const QVariant& v)
{
    if (IsTextVariant(v))
        return ParseInteger(v.toString());
    if (v.metaType().id() == QMetaType::Bool)
        return v.toBool() ? -1 : 0;
    bool ok = false;
    const qint64 i = v.toLongLong(&ok);
    if (ok)
        return i;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        Invalid("'%1' is not a valid integer value", VarToStr(v));
    return static_cast<qint64>(std::llround(d));
}

}  // namespace

TField::TField(TRemoteDataSet* dataSet, QString name, TFieldType type, int size, TFieldKind kind,
               bool persistent)
    : dataSet_(dataSet),
      name_(std::move(name)),
      type_(type),
      size_(size),
      kind_(kind),
      persistent_(persistent)
{
}

bool TField::IsNumericType(TFieldType type)
{
    switch (type) {
        case TFieldType::Smallint:
        case TFieldType::Integer:
        case TFieldType::Largeint:
        case TFieldType::Float:
        case TFieldType::Currency:
        case TFieldType::AutoInc:
            return true;
        default:
            return false;
    }
}

bool TField::IsStringType(TFieldType type)
{
    return type == TFieldType::String || type == TFieldType::WideString || type == TFieldType::Memo ||
           type == TFieldType::WideMemo;
}

bool TField::IsDateTimeType(TFieldType type)
{
    return type == TFieldType::DateTime || type == TFieldType::TimeStamp;
}

bool TField::SameValue(const QVariant& a, const QVariant& b)
{
    const bool an = VarIsNull(a), bn = VarIsNull(b);
    if (an || bn)
        return an == bn;
    return a == b;
}

int TField::Index() const
{
    for (int i = 0; i < dataSet_->FieldCount(); ++i)
        if (dataSet_->Field(i) == this)
            return i;
    return -1;
}

void TField::SetIndex(int index)
{
    dataSet_->MoveField(this, index);
}

QString TField::DisplayLabel() const
{
    return label_.isEmpty() ? name_ : label_;
}

void TField::SetDisplayLabel(const QString& label)
{
    label_ = label;
    Changed();
}

int TField::DisplayWidth() const
{
    if (displayWidth_ > 0)
        return displayWidth_;
    switch (type_) {
        case TFieldType::String:
        case TFieldType::WideString:
            return size_ > 0 ? size_ : 20;
        case TFieldType::Smallint:
            return 6;
        case TFieldType::Integer:
        case TFieldType::AutoInc:
            return 11;
        case TFieldType::Largeint:
            return 15;
        case TFieldType::Boolean:
            return 5;
        case TFieldType::DateTime:
        case TFieldType::TimeStamp:
            return 18;
        default:
            return 10;
    }
}

void TField::SetDisplayWidth(int width)
{
    displayWidth_ = qMax(0, width);
    Changed();
}

void TField::SetVisible(bool visible)
{
    if (visible_ == visible)
        return;
    visible_ = visible;
    dataSet_->FieldLayoutChanged();
}

Qt::Alignment TField::Alignment() const
{
    if (alignmentSet_)
        return alignment_;
    return IsNumericType(type_) ? Qt::AlignRight : Qt::AlignLeft;
}

void TField::SetAlignment(Qt::Alignment alignment)
{
    alignment_ = alignment;
    alignmentSet_ = true;
    Changed();
}

void TField::SetOnGetText(TFieldGetTextEvent handler)
{
    onGetText_ = std::move(handler);
    Changed();
}

void TField::AssignDisplayProperties(const TField& source)
{
    label_ = source.label_;
    displayWidth_ = source.displayWidth_;
    tag_ = source.tag_;
    alignment_ = source.alignment_;
    alignmentSet_ = source.alignmentSet_;
    onGetText_ = source.onGetText_;
    onSetText_ = source.onSetText_;
    if (visible_ != source.visible_)
        SetVisible(source.visible_);
    Changed();
}

void TField::Changed() const
{
    dataSet_->FieldPropertiesChanged(*this);
}

QVariant TField::Value() const
{
    return dataSet_->FieldValue(*this);
}

void TField::SetValue(const QVariant& value)
{
    dataSet_->SetFieldValue(*this, value);
}

bool TField::IsNull() const
{
    return VarIsNull(Value());
}

void TField::Clear()
{
    SetValue(QVariant());
}

QString TField::ValueText(TFieldType type, const QVariant& value)
{
    if (VarIsNull(value))
        return QString();
    if (type == TFieldType::Blob)
        return QString::fromUtf8(value.toByteArray());
    return VarToStr(value);
}

QString TField::AsString() const
{
    return ValueText(type_, Value());
}

void TField::SetAsString(const QString& text)
{
    SetValue(text);
}

int TField::AsInteger() const
{
    return static_cast<int>(VarToInt(Value()));
}

void TField::SetAsInteger(int value)
{
    SetValue(value);
}

qint64 TField::AsLargeInt() const
{
    return VarToInt(Value());
}

void TField::SetAsLargeInt(qint64 value)
{
    SetValue(value);
}

double TField::AsFloat() const
{
    return VarToFloat(Value());
}

void TField::SetAsFloat(double value)
{
    SetValue(value);
}

TDateTime TField::AsDateTime() const
{
    const QVariant v = Value();
    return VarIsNull(v) ? 0 : VarToDateTime(v);
}

void TField::SetAsDateTime(TDateTime value)
{
    SetValue(VarFromDateTime(value));
}

bool TField::AsBoolean() const
{
    const QVariant v = Value();
    return !VarIsNull(v) && v.toBool();
}

void TField::SetAsBoolean(bool value)
{
    SetValue(value);
}

QByteArray TField::AsBytes() const
{
    const QVariant v = Value();
    return v.metaType().id() == QMetaType::QString ? v.toString().toUtf8() : v.toByteArray();
}

void TField::SetAsBytes(const QByteArray& value)
{
    SetValue(value);
}

QString TField::DisplayText() const
{
    if (onGetText_)
        return onGetText_(const_cast<TField&>(*this), true);
    return AsString();
}

QString TField::Text() const
{
    if (onGetText_)
        return onGetText_(const_cast<TField&>(*this), false);
    return AsString();
}

void TField::SetText(const QString& text)
{
    if (onSetText_)
        onSetText_(*this, text);
    else
        SetAsString(text);
}

QVariant TField::Converted(TFieldType type, const QVariant& value, const QString& fieldName)
{
    if (VarIsNull(value))
        return QVariant();
    const bool text = IsTextVariant(value);
    // An empty text clears a field that is not a text itself.
    if (text && !IsStringType(type) && type != TFieldType::Blob && value.toString().trimmed().isEmpty())
        return QVariant();
    switch (type) {
        case TFieldType::String:
        case TFieldType::WideString:
        case TFieldType::Memo:
        case TFieldType::WideMemo:
            return text ? value : QVariant(ValueText(type, value));
        case TFieldType::Smallint:
            return VarFromInt16(
                static_cast<qint16>(CheckedInteger(IntegerOf(value), std::numeric_limits<qint16>::min(),
                                                   std::numeric_limits<qint16>::max(), fieldName)
                                        .toLongLong()));
        case TFieldType::Integer:
        case TFieldType::AutoInc:
            return QVariant(
                static_cast<int>(CheckedInteger(IntegerOf(value), std::numeric_limits<qint32>::min(),
                                                std::numeric_limits<qint32>::max(), fieldName)
                                     .toLongLong()));
        case TFieldType::Largeint:
            return QVariant(IntegerOf(value));
        case TFieldType::Boolean:
            if (text)
                return QVariant(ParseBoolean(value.toString()));
            return QVariant(value.metaType().id() == QMetaType::Bool ? value.toBool()
                                                                     : IntegerOf(value) != 0);
        case TFieldType::Float:
        case TFieldType::Currency: {
            double d = 0;
            if (text) {
                d = ParseFloat(value.toString());
            } else {
                bool ok = false;
                d = VarIsDateTime(value) ? VarToDateTime(value) : value.toDouble(&ok);
                if (!VarIsDateTime(value) && (!ok || !std::isfinite(d)))
                    Invalid("'%1' is not a valid floating point value", VarToStr(value));
            }
            // Currency keeps four decimals.
            if (type == TFieldType::Currency)
                d = std::round(d * 10000.0) / 10000.0;
            return QVariant(d);
        }
        case TFieldType::DateTime:
        case TFieldType::TimeStamp: {
            if (text)
                return VarFromDateTime(ParseDateTime(value.toString()));
            const int id = value.metaType().id();
            if (VarIsDateTime(value) || id == QMetaType::QDateTime || id == QMetaType::QDate)
                return VarFromDateTime(VarToDateTime(value));
            bool ok = false;
            const double d = value.toDouble(&ok);
            if (!ok || !std::isfinite(d))
                Invalid("'%1' is not a valid date and time", VarToStr(value));
            return VarFromDateTime(d);
        }
        case TFieldType::Blob:
            return text ? QVariant(value.toString().toUtf8()) : QVariant(value.toByteArray());
        case TFieldType::Unknown:
            break;
    }
    return value;
}
