#pragma once
// Test access to the fields of a call record by name, so that tables can list the fields
// they set and expect. DateTime is given and returned as a QDateTime.

#include "schema/CallRecord.h"

#include <QVariantMap>

inline QVariant TCallRecord::*VariantField(const QString& name)
{
    static const QHash<QString, QVariant TCallRecord::*> fields = {
        {"Duration", &TCallRecord::Duration},   {"Phone", &TCallRecord::Phone},
        {"Extension", &TCallRecord::Extension}, {"PinCode", &TCallRecord::PinCode},
        {"ExtraCode", &TCallRecord::ExtraCode}, {"Pulses", &TCallRecord::Pulses},
        {"Circuit", &TCallRecord::Circuit},     {"Trunk", &TCallRecord::Trunk},
        {"CallType", &TCallRecord::CallType},
    };
    return fields.value(name);
}

inline QVariant RecordField(const TCallRecord& record, const QString& name)
{
    if (name == QLatin1String("DateTime"))
        return DateTimeToQDateTime(record.DateTime);
    if (name == QLatin1String("Year"))
        return int(record.Year);
    if (name == QLatin1String("Month"))
        return int(record.Month);
    if (name == QLatin1String("Day"))
        return int(record.Day);
    QVariant TCallRecord::*field = VariantField(name);
    Q_ASSERT(field);
    return record.*field;
}

inline void SetRecordFields(TCallRecord& record, const QVariantMap& values)
{
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (it.key() == QLatin1String("DateTime")) {
            record.DateTime = DateTimeFromQDateTime(it.value().toDateTime());
        } else {
            QVariant TCallRecord::*field = VariantField(it.key());
            Q_ASSERT(field);
            record.*field = it.value();
        }
    }
}

// Null, an integer or a text, compared by kind and text; DateTime as a QDateTime.
inline QString DescribeValue(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QStringLiteral("null");
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime().toString(Qt::ISODateWithMs);
    const bool number =
        value.metaType().id() == QMetaType::Int || value.metaType().id() == QMetaType::LongLong;
    return (number ? QStringLiteral("int ") : QStringLiteral("text ")) + value.toString();
}
