#include "schema/CallRecord.h"

#include <utility>

void TCallRecord::Clear()
{
    Clear(Now());
}

void TCallRecord::Clear(TDateTime now)
{
    int year, month, day;
    DecodeDate(now, year, month, day);
    Year = static_cast<quint16>(year);
    Month = static_cast<quint16>(month);
    Day = static_cast<quint16>(day);
    DateTime = DateOf(now);
    ReceivedTime = now;
    Duration.clear();
    Phone.clear();
    Extension.clear();
    PinCode.clear();
    ExtraCode.clear();
    Pulses.clear();
    Circuit.clear();
    Trunk.clear();
    CallType.clear();
}

bool TCallRecord::EncodeDate()
{
    TDateTime date;
    if (!TryEncodeDate(Year, Month, Day, date))
        return false;
    const TDateTime time = TimeOf(DateTime);
    DateTime = date < 0 ? date - time : date + time;
    return true;
}

void TCallRecord::SwapExtensionAndPhone()
{
    std::swap(Extension, Phone);
}
