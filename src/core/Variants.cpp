#include "core/Variants.h"

#include "core/Numbers.h"
#include "core/RegionalSettings.h"

#include <QDateTime>

bool VarIsNull(const QVariant& v)
{
    return !v.isValid() || v.isNull();
}

QVariant VarFromDateTime(TDateTime value)
{
    return QVariant::fromValue(TVarDate{value});
}

bool VarIsDateTime(const QVariant& v)
{
    return v.metaType() == QMetaType::fromType<TVarDate>();
}

TDateTime VarToDateTime(const QVariant& v)
{
    if (VarIsDateTime(v))
        return v.value<TVarDate>().Value;
    if (v.metaType().id() == QMetaType::QDateTime)
        return DateTimeFromQDateTime(v.toDateTime());
    if (v.metaType().id() == QMetaType::QDate)
        return DateTimeFromQDate(v.toDate());
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? d : 0;
}

QVariant VarFromInt16(qint16 value)
{
    return QVariant::fromValue<short>(value);
}

bool VarIsArray(const QVariant& v)
{
    return v.metaType().id() == QMetaType::QVariantList;
}

QString VarToStr(const QVariant& v)
{
    if (VarIsNull(v))
        return QString();
    if (VarIsDateTime(v))
        return DateTimeToDefaultText(v.value<TVarDate>().Value);
    switch (v.metaType().id()) {
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
    case QMetaType::Float:
        return FloatToStrGeneral(v.toDouble(), TRegionalSettings::Current().DecimalSeparator);
    case QMetaType::QDateTime:
        return DateTimeToDefaultText(DateTimeFromQDateTime(v.toDateTime()));
    case QMetaType::QByteArray:
        return QString::fromLatin1(v.toByteArray());
    case QMetaType::QVariantList: {
        QStringList parts;
        for (const QVariant& item : v.toList())
            parts << VarToStr(item);
        return parts.join(QLatin1Char(','));
    }
    default:
        return v.toString();
    }
}

qint64 VarToInt(const QVariant& v, qint64 defaultValue)
{
    if (VarIsNull(v))
        return defaultValue;
    if (v.metaType().id() == QMetaType::Bool)
        return v.toBool() ? -1 : 0;
    bool ok = false;
    const qint64 i = v.toLongLong(&ok);
    if (ok)
        return i;
    const double d = v.toDouble(&ok);
    return ok ? static_cast<qint64>(d) : defaultValue;
}

double VarToFloat(const QVariant& v, double defaultValue)
{
    if (VarIsNull(v))
        return defaultValue;
    if (VarIsDateTime(v))
        return v.value<TVarDate>().Value;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? d : defaultValue;
}

void RegisterVariantTypes()
{
    static const bool registered = [] {
        QMetaType::registerConverter<TVarDate, QString>([](const TVarDate& d) { return DateTimeToDefaultText(d.Value); });
        QMetaType::registerConverter<TVarDate, double>([](const TVarDate& d) { return d.Value; });
        return true;
    }();
    (void)registered;
}
