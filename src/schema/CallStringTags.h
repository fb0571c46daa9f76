#pragma once
// The eighteen tags of the data format language. Each reads its field from the trimmed
// text of a line and writes it back in a generated line.

#include "schema/CallStringElements.h"

// A part of the call date ("year", "month", "day"): stored in the record's Year, Month
// or Day and combined into DateTime.
class TCallStringDatePart : public TCallStringData {
public:
    bool AcceptValue(QStringView value, TCallRecord& record) const override;
    QString Generate(TCallRecord& record) const override;

protected:
    TCallStringDatePart(const QString& tagName, quint16 TCallRecord::*field, int maxValue,
                        const QString& pattern, bool required, TCallStringAlignment alignment, quint16 width);
    // Stores an accepted value; an impossible date so far leaves DateTime as it was.
    void Store(TCallRecord& record, int value) const;

private:
    quint16 TCallRecord::*const Field;
    const int MaxValue;
    const QString Pattern;
};

class TCallStringYear : public TCallStringDatePart {
public:
    TCallStringYear(bool required, TCallStringAlignment alignment, quint16 width);
    // Two-digit years fall in the hundred years around the year of the record's
    // ReceivedTime.
    bool AcceptValue(QStringView value, TCallRecord& record) const override;
};

class TCallStringMonth : public TCallStringDatePart {
public:
    TCallStringMonth(bool required, TCallStringAlignment alignment, quint16 width);
};

class TCallStringDay : public TCallStringDatePart {
public:
    TCallStringDay(bool required, TCallStringAlignment alignment, quint16 width);
};

// A part of the time of day of DateTime ("hour", "min", "sec").
class TCallStringTimePart : public TCallStringData {
public:
    enum TPart { tpHour, tpMinute, tpSecond };

    bool AcceptValue(QStringView value, TCallRecord& record) const override;
    QString Generate(TCallRecord& record) const override;

protected:
    TCallStringTimePart(const QString& tagName, TPart part, const QString& pattern, bool required,
                        TCallStringAlignment alignment, quint16 width);
    // Replaces the part in DateTime; false for a value that is no time of day.
    bool Store(TCallRecord& record, int value) const;

private:
    const TPart Part;
    const QString Pattern;
};

class TCallStringHour : public TCallStringTimePart {
public:
    TCallStringHour(bool required, TCallStringAlignment alignment, quint16 width);
};

class TCallStringMin : public TCallStringTimePart {
public:
    TCallStringMin(bool required, TCallStringAlignment alignment, quint16 width);
};

// Width 1 carries tens of seconds: the digit times 6.
class TCallStringSec : public TCallStringTimePart {
public:
    TCallStringSec(bool required, TCallStringAlignment alignment, quint16 width);
    bool AcceptValue(QStringView value, TCallRecord& record) const override;
    QString Generate(TCallRecord& record) const override;
};

// "A"/"P" (width 1) or "AM"/"PM" (width 2) after the hour of a twelve-hour clock. Writing
// it turns DateTime's hour into the twelve-hour form that the hour tag before it writes.
class TCallStringAmPm : public TCallStringData {
public:
    TCallStringAmPm(bool required, TCallStringAlignment alignment, quint16 width);
    bool AcceptValue(QStringView value, TCallRecord& record) const override;
    QString Generate(TCallRecord& record) const override;
};

// A part of the duration in seconds ("durhour", "durmin", "dursec"); a part replaces its
// own share of a duration already read and keeps the others.
class TCallStringDurationPart : public TCallStringData {
public:
    bool AcceptValue(QStringView value, TCallRecord& record) const override;

protected:
    TCallStringDurationPart(const QString& tagName, int unit, int scale, bool required,
                            TCallStringAlignment alignment, quint16 width);
    // Decimal digits with leading zeros to at least the given count.
    static QString Digits(qint64 value, int count);

private:
    const int Unit;   // seconds per unit of the part
    const int Scale;  // units per digit value
};

class TCallStringDurHour : public TCallStringDurationPart {
public:
    TCallStringDurHour(bool required, TCallStringAlignment alignment, quint16 width);
    QString Generate(TCallRecord& record) const override;
};

class TCallStringDurMin : public TCallStringDurationPart {
public:
    TCallStringDurMin(bool required, TCallStringAlignment alignment, quint16 width);
    QString Generate(TCallRecord& record) const override;
};

// Width 1 carries tens of seconds, width 2 the seconds within the minute, a wider field the
// whole duration in seconds.
class TCallStringDurSec : public TCallStringDurationPart {
public:
    TCallStringDurSec(bool required, TCallStringAlignment alignment, quint16 width);
    QString Generate(TCallRecord& record) const override;
};

// A text field of the record; an empty field text leaves it unchanged.
class TCallStringTextData : public TCallStringData {
public:
    bool AcceptValue(QStringView value, TCallRecord& record) const override;
    QString Generate(TCallRecord& record) const override;

protected:
    TCallStringTextData(const QString& tagName, QVariant TCallRecord::*field, bool required,
                        TCallStringAlignment alignment, quint16 width);

private:
    QVariant TCallRecord::*const Field;
};

class TCallStringPhone : public TCallStringTextData {
public:
    TCallStringPhone(bool required, TCallStringAlignment alignment, quint16 width);
};

class TCallStringExtension : public TCallStringTextData {
public:
    TCallStringExtension(bool required, TCallStringAlignment alignment, quint16 width);
};

class TCallStringPinCode : public TCallStringTextData {
public:
    TCallStringPinCode(bool required, TCallStringAlignment alignment, quint16 width);
};

class TCallStringExtraCode : public TCallStringTextData {
public:
    TCallStringExtraCode(bool required, TCallStringAlignment alignment, quint16 width);
};

class TCallStringCallType : public TCallStringTextData {
public:
    TCallStringCallType(bool required, TCallStringAlignment alignment, quint16 width);
};

// A non-negative counter of the record.
class TCallStringCountData : public TCallStringData {
public:
    bool AcceptValue(QStringView value, TCallRecord& record) const override;
    QString Generate(TCallRecord& record) const override;

protected:
    TCallStringCountData(const QString& tagName, QVariant TCallRecord::*field, bool required,
                         TCallStringAlignment alignment, quint16 width);

private:
    QVariant TCallRecord::*const Field;
};

class TCallStringCircuit : public TCallStringCountData {
public:
    TCallStringCircuit(bool required, TCallStringAlignment alignment, quint16 width);
};

class TCallStringTrunk : public TCallStringCountData {
public:
    TCallStringTrunk(bool required, TCallStringAlignment alignment, quint16 width);
};

class TCallStringPulses : public TCallStringCountData {
public:
    TCallStringPulses(bool required, TCallStringAlignment alignment, quint16 width);
};
