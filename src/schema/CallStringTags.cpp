#include "schema/CallStringTags.h"

#include "calls/Globals.h"
#include "core/Variants.h"

#include <limits>

namespace {

void SetTimeOfDay(TDateTime& value, TDateTime time)
{
    const TDateTime date = DateOf(value);
    value = date < 0 ? date - time : date + time;
}

int HourOf(TDateTime value)
{
    int hour, minute, second, msec;
    DecodeTime(value, hour, minute, second, msec);
    return hour;
}

int SecondOf(TDateTime value)
{
    int hour, minute, second, msec;
    DecodeTime(value, hour, minute, second, msec);
    return second;
}

}  // namespace

// Date parts.

TCallStringDatePart::TCallStringDatePart(const QString& tagName, quint16 TCallRecord::*field, int maxValue,
                                         const QString& pattern, bool required,
                                         TCallStringAlignment alignment, quint16 width)
    : TCallStringData(tagName, required, alignment, width), Field(field), MaxValue(maxValue), Pattern(pattern)
{
}

bool TCallStringDatePart::AcceptValue(QStringView value, TCallRecord& record) const
{
    const int number = Number(value);
    if (number < 1 || number > MaxValue)
        return false;
    Store(record, number);
    return true;
}

void TCallStringDatePart::Store(TCallRecord& record, int value) const
{
    record.*Field = static_cast<quint16>(value);
    // The other parts may still be read: 31 while the month is still February stays
    // pending until the month arrives.
    record.EncodeDate();
}

QString TCallStringDatePart::Generate(TCallRecord& record) const
{
    return FormatDateTime(Pattern, record.DateTime);
}

TCallStringYear::TCallStringYear(bool required, TCallStringAlignment alignment, quint16 width)
    : TCallStringDatePart(QStringLiteral("year"), &TCallRecord::Year, 9999,
                          width == 4 ? QStringLiteral("yyyy") : QStringLiteral("yy"), required, alignment,
                          width)
{
}

bool TCallStringYear::AcceptValue(QStringView value, TCallRecord& record) const
{
    int year = Number(value);
    if (year < 0)
        return false;
    if (Length == 2)
        year = ExpandYear(year, DateTimeToQDate(record.ReceivedTime).year());
    if (year < 1900 || year > 9999)
        return false;
    Store(record, year);
    return true;
}

TCallStringMonth::TCallStringMonth(bool required, TCallStringAlignment alignment, quint16 width)
    : TCallStringDatePart(QStringLiteral("month"), &TCallRecord::Month, 12, QStringLiteral("mm"), required,
                          alignment, width)
{
}

TCallStringDay::TCallStringDay(bool required, TCallStringAlignment alignment, quint16 width)
    : TCallStringDatePart(QStringLiteral("day"), &TCallRecord::Day, 31, QStringLiteral("dd"), required,
                          alignment, width)
{
}

// Time parts.

TCallStringTimePart::TCallStringTimePart(const QString& tagName, TPart part, const QString& pattern,
                                         bool required, TCallStringAlignment alignment, quint16 width)
    : TCallStringData(tagName, required, alignment, width), Part(part), Pattern(pattern)
{
}

bool TCallStringTimePart::AcceptValue(QStringView value, TCallRecord& record) const
{
    return Store(record, Number(value));
}

bool TCallStringTimePart::Store(TCallRecord& record, int value) const
{
    int hour, minute, second, msec;
    DecodeTime(record.DateTime, hour, minute, second, msec);
    switch (Part) {
        case tpHour:
            hour = value;
            break;
        case tpMinute:
            minute = value;
            break;
        case tpSecond:
            second = value;
            break;
    }
    TDateTime time;
    if (!TryEncodeTime(hour, minute, second, msec, time))
        return false;
    SetTimeOfDay(record.DateTime, time);
    return true;
}

QString TCallStringTimePart::Generate(TCallRecord& record) const
{
    return FormatDateTime(Pattern, record.DateTime);
}

TCallStringHour::TCallStringHour(bool required, TCallStringAlignment alignment, quint16 width)
    : TCallStringTimePart(QStringLiteral("hour"), tpHour, QStringLiteral("hh"), required, alignment, width)
{
}

TCallStringMin::TCallStringMin(bool required, TCallStringAlignment alignment, quint16 width)
    : TCallStringTimePart(QStringLiteral("min"), tpMinute, QStringLiteral("nn"), required, alignment, width)
{
}

TCallStringSec::TCallStringSec(bool required, TCallStringAlignment alignment, quint16 width)
    : TCallStringTimePart(QStringLiteral("sec"), tpSecond, QStringLiteral("ss"), required, alignment, width)
{
}

bool TCallStringSec::AcceptValue(QStringView value, TCallRecord& record) const
{
    const int number = Number(value);
    return Store(record, Length == 1 ? number * 6 : number);
}

QString TCallStringSec::Generate(TCallRecord& record) const
{
    if (Length == 1)
        return QString::number(SecondOf(record.DateTime) / 6);
    return TCallStringTimePart::Generate(record);
}

// Twelve-hour marker.

TCallStringAmPm::TCallStringAmPm(bool required, TCallStringAlignment alignment, quint16 width)
    : TCallStringData(QStringLiteral("ampm"), required, alignment, width)
{
}

bool TCallStringAmPm::AcceptValue(QStringView value, TCallRecord& record) const
{
    const bool pm =
        value.compare(u"PM", Qt::CaseInsensitive) == 0 || value.compare(u"P", Qt::CaseInsensitive) == 0;
    const bool am =
        value.compare(u"AM", Qt::CaseInsensitive) == 0 || value.compare(u"A", Qt::CaseInsensitive) == 0;
    if (!pm && !am)
        return false;
    const int hour = HourOf(record.DateTime);
    if (pm && hour >= 1 && hour <= 11)
        record.DateTime = IncSeconds(record.DateTime, 12 * 3600);
    else if (am && hour == 12)
        record.DateTime = IncSeconds(record.DateTime, -12 * 3600);
    return true;
}

QString TCallStringAmPm::Generate(TCallRecord& record) const
{
    const int hour = HourOf(record.DateTime);
    QString text;
    if (hour < 12) {
        text = QStringLiteral("A");
        if (hour == 0)
            record.DateTime = IncSeconds(record.DateTime, 12 * 3600);
    } else {
        text = QStringLiteral("P");
        if (hour > 12)
            record.DateTime = IncSeconds(record.DateTime, -12 * 3600);
    }
    if (Length == 2)
        text += QLatin1Char('M');
    return text;
}

// Duration parts.

TCallStringDurationPart::TCallStringDurationPart(const QString& tagName, int unit, int scale, bool required,
                                                 TCallStringAlignment alignment, quint16 width)
    : TCallStringData(tagName, required, alignment, width), Unit(unit), Scale(scale)
{
}

bool TCallStringDurationPart::AcceptValue(QStringView value, TCallRecord& record) const
{
    const int number = Number(value);
    if (number < 0)
        return false;
    const qint64 seconds = qint64(number) * Scale * Unit;
    qint64 duration = seconds;
    if (!VarIsNull(record.Duration)) {
        const qint64 current = record.Duration.toLongLong();
        const qint64 share = Unit == 3600 ? current / 3600 : current % (Unit * 60) / Unit;
        duration = current - share * Unit + seconds;
    }
    // A duration that no integer field can hold is refused like any value out of range.
    if (duration > std::numeric_limits<int>::max())
        return false;
    record.Duration = static_cast<int>(duration);
    return true;
}

QString TCallStringDurationPart::Digits(qint64 value, int count)
{
    return QString::asprintf("%.*lld", count, static_cast<long long>(value));
}

TCallStringDurHour::TCallStringDurHour(bool required, TCallStringAlignment alignment, quint16 width)
    : TCallStringDurationPart(QStringLiteral("durhour"), 3600, 1, required, alignment, width)
{
}

QString TCallStringDurHour::Generate(TCallRecord& record) const
{
    if (VarIsNull(record.Duration))
        return FillToLength(QString());
    return FillToLength(Digits(record.Duration.toLongLong() / 3600, Length));
}

TCallStringDurMin::TCallStringDurMin(bool required, TCallStringAlignment alignment, quint16 width)
    : TCallStringDurationPart(QStringLiteral("durmin"), 60, 1, required, alignment, width)
{
}

QString TCallStringDurMin::Generate(TCallRecord& record) const
{
    if (VarIsNull(record.Duration))
        return FillToLength(QString());
    return FillToLength(Digits(record.Duration.toLongLong() % 3600 / 60, 2));
}

TCallStringDurSec::TCallStringDurSec(bool required, TCallStringAlignment alignment, quint16 width)
    : TCallStringDurationPart(QStringLiteral("dursec"), 1, width == 1 ? 6 : 1, required, alignment, width)
{
}

QString TCallStringDurSec::Generate(TCallRecord& record) const
{
    if (VarIsNull(record.Duration))
        return FillToLength(QString());
    const qint64 duration = record.Duration.toLongLong();
    if (Length == 1)
        return FillToLength(QString::number(duration % 60 / 6));
    if (Length == 2)
        return FillToLength(Digits(duration % 60, 2));
    // A wide seconds field carries the whole duration, which is how matching reads it
    // when no hour or minute field came before.
    return FillToLength(Digits(duration, Length));
}

// Text fields.

TCallStringTextData::TCallStringTextData(const QString& tagName, QVariant TCallRecord::*field, bool required,
                                         TCallStringAlignment alignment, quint16 width)
    : TCallStringData(tagName, required, alignment, width), Field(field)
{
}

bool TCallStringTextData::AcceptValue(QStringView value, TCallRecord& record) const
{
    if (!value.isEmpty())
        record.*Field = value.toString();
    return true;
}

QString TCallStringTextData::Generate(TCallRecord& record) const
{
    return FillToLength(VarToStr(record.*Field));
}

TCallStringPhone::TCallStringPhone(bool required, TCallStringAlignment alignment, quint16 width)
    : TCallStringTextData(QStringLiteral("phone"), &TCallRecord::Phone, required, alignment, width)
{
}

TCallStringExtension::TCallStringExtension(bool required, TCallStringAlignment alignment, quint16 width)
    : TCallStringTextData(QStringLiteral("extension"), &TCallRecord::Extension, required, alignment, width)
{
}

TCallStringPinCode::TCallStringPinCode(bool required, TCallStringAlignment alignment, quint16 width)
    : TCallStringTextData(QStringLiteral("pincode"), &TCallRecord::PinCode, required, alignment, width)
{
}

TCallStringExtraCode::TCallStringExtraCode(bool required, TCallStringAlignment alignment, quint16 width)
    : TCallStringTextData(QStringLiteral("extra"), &TCallRecord::ExtraCode, required, alignment, width)
{
}

TCallStringCallType::TCallStringCallType(bool required, TCallStringAlignment alignment, quint16 width)
    : TCallStringTextData(QStringLiteral("type"), &TCallRecord::CallType, required, alignment, width)
{
}

// Counters.

TCallStringCountData::TCallStringCountData(const QString& tagName, QVariant TCallRecord::*field,
                                           bool required, TCallStringAlignment alignment, quint16 width)
    : TCallStringData(tagName, required, alignment, width), Field(field)
{
}

bool TCallStringCountData::AcceptValue(QStringView value, TCallRecord& record) const
{
    const int number = Number(value);
    if (number < 0)
        return false;
    record.*Field = number;
    return true;
}

QString TCallStringCountData::Generate(TCallRecord& record) const
{
    return FillToLength(VarToStr(record.*Field));
}

TCallStringCircuit::TCallStringCircuit(bool required, TCallStringAlignment alignment, quint16 width)
    : TCallStringCountData(QStringLiteral("circuit"), &TCallRecord::Circuit, required, alignment, width)
{
}

TCallStringTrunk::TCallStringTrunk(bool required, TCallStringAlignment alignment, quint16 width)
    : TCallStringCountData(QStringLiteral("trunk"), &TCallRecord::Trunk, required, alignment, width)
{
}

TCallStringPulses::TCallStringPulses(bool required, TCallStringAlignment alignment, quint16 width)
    : TCallStringCountData(QStringLiteral("pulses"), &TCallRecord::Pulses, required, alignment, width)
{
}
