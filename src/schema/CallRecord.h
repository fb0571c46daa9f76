#pragma once
// The call record that a data format fills when it reads a call line from an exchange and
// reads back when it writes one. A plain value owned by whoever matches or generates.

#include "core/DateTime.h"

#include <QVariant>

struct TCallRecord {
    // The call date as matched so far; the date tags combine them into DateTime.
    quint16 Day = 0;
    quint16 Month = 0;
    quint16 Year = 0;
    // When the record was started; its year is the current year for two-digit years.
    TDateTime ReceivedTime = 0;
    // The call's date and time; after a complete match the time of call completion.
    TDateTime DateTime = 0;
    // Null or an int (seconds, counters) or a string (numbers and codes).
    QVariant Duration;
    QVariant Phone;
    QVariant Extension;
    QVariant PinCode;
    QVariant ExtraCode;
    QVariant Pulses;
    QVariant Circuit;
    QVariant Trunk;
    QVariant CallType;

    // Starts a new record as of now, or as of the given point in time: DateTime today at
    // 00:00, Year, Month and Day today, ReceivedTime the point in time, every variant null.
    void Clear();
    void Clear(TDateTime now);
    // Moves DateTime to Year-Month-Day, keeping its time of day; false (and DateTime
    // unchanged) when Year-Month-Day is no calendar date.
    bool EncodeDate();
    void SwapExtensionAndPhone();
};
