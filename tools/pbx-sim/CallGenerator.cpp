#include "pbx-sim/CallGenerator.h"

#include <QDate>

#include <cmath>
#include <numbers>

namespace {

const char* const kGarbage[] = {
    "*** ALARM MINOR: TRUNK 3 OUT OF SERVICE ***",
    "DATE     TIME  DURATION EXT   PIN    NUMBER               TRK CIR T",
    "--------------------------------------------------------------------",
    "SYSTEM RESTART COMPLETED - CDR BUFFER CLEARED",
    "*** ALARM MAJOR: POWER SUPPLY 2 FAILURE ***",
};

}  // namespace

TCallGenerator::TCallGenerator(quint32 seed) : engine_(seed)
{
    // The head office of the demo: extensions 101 to 128.
    for (int code = 101; code <= 128; ++code)
        extensions_ << QString::number(code);
    for (int i = 0; i < 18; ++i)
        pinCodes_ << QString::number(Range(1000, 9999));
}

// The ranges are drawn here: <random>'s distributions differ between libraries, and the
// same seed must give the same calls everywhere.
int TCallGenerator::Range(int low, int high)
{
    return low + static_cast<int>(engine_() % static_cast<unsigned>(high - low + 1));
}

double TCallGenerator::Uniform()
{
    return (static_cast<double>(engine_()) + 0.5) / 4294967296.0;
}

QString TCallGenerator::Digits(int count)
{
    QString s;
    for (int i = 0; i < count; ++i)
        s += QLatin1Char(static_cast<char>('0' + Range(0, 9)));
    return s;
}

QString TCallGenerator::PhoneNumber()
{
    const int kind = Range(1, 100);
    if (kind <= 40)
        return QString::number(Range(2, 9)) + Digits(6);  // local
    if (kind <= 60) {
        static const char* const areas[] = {"032", "052", "056", "064", "073", "082"};
        return QLatin1String(areas[Range(0, 5)]) + Digits(6);  // long-distance
    }
    if (kind <= 88) {
        static const char* const mobile[] = {"087", "088", "089"};
        return QLatin1String(mobile[Range(0, 2)]) + Digits(7);
    }
    if (kind <= 97) {
        static const char* const abroad[] = {"0049", "0044", "001", "0030", "0039", "0033"};
        const int country = Range(0, 5);
        return QLatin1String(abroad[country]) + Digits(country == 2 ? 10 : 9);
    }
    return kind == 98 ? QStringLiteral("112") : QStringLiteral("0800") + Digits(5);
}

int TCallGenerator::Duration()
{
    if (Range(1, 100) <= 14)
        return 0;  // not answered
    // Log-normal around a minute and a half, from a few seconds to hours.
    const double normal =
        std::sqrt(-2.0 * std::log(Uniform())) * std::cos(2.0 * std::numbers::pi * Uniform());
    const double seconds = std::exp(std::log(90.0) + 1.1 * normal);
    return qBound(3, static_cast<int>(std::lround(seconds)), 4 * 3600);
}

TCallRecord TCallGenerator::NextCall(TDateTime end)
{
    TCallRecord r;
    r.Clear(end);
    r.DateTime = end;
    const QDate day = DateTimeToQDate(end);
    r.Year = static_cast<quint16>(day.year());
    r.Month = static_cast<quint16>(day.month());
    r.Day = static_cast<quint16>(day.day());
    r.Extension = extensions_.at(Range(0, static_cast<int>(extensions_.size()) - 1));
    if (Range(1, 100) <= 20)
        r.PinCode = pinCodes_.at(Range(0, static_cast<int>(pinCodes_.size()) - 1));
    r.Phone = PhoneNumber();
    const int duration = Duration();
    r.Duration = duration;
    r.Pulses = (duration + 59) / 60;
    r.Trunk = Range(1, 8);
    r.Circuit = Range(1, 30);
    r.CallType = QStringLiteral("O");
    return r;
}

QString TCallGenerator::NextGarbageLine()
{
    return QLatin1String(kGarbage[Range(0, static_cast<int>(std::size(kGarbage)) - 1)]);
}

void TCallGenerator::FitToFormat(TCallRecord& record, const TCallString& format)
{
    for (const auto& element : format.Elements()) {
        const auto* data = dynamic_cast<const TCallStringData*>(element.get());
        if (!data)
            continue;
        QVariant* field = nullptr;
        if (data->TagName == QLatin1String("phone"))
            field = &record.Phone;
        else if (data->TagName == QLatin1String("extension"))
            field = &record.Extension;
        else if (data->TagName == QLatin1String("pincode"))
            field = &record.PinCode;
        else if (data->TagName == QLatin1String("extra"))
            field = &record.ExtraCode;
        else if (data->TagName == QLatin1String("type"))
            field = &record.CallType;
        if (field && !field->isNull() && field->toString().size() > data->Length)
            *field = field->toString().left(data->Length);
        QVariant* counter = nullptr;
        if (data->TagName == QLatin1String("trunk"))
            counter = &record.Trunk;
        else if (data->TagName == QLatin1String("circuit"))
            counter = &record.Circuit;
        else if (data->TagName == QLatin1String("pulses"))
            counter = &record.Pulses;
        if (counter && !counter->isNull() && data->Length < 9)
            *counter = qMin(counter->toInt(), static_cast<int>(std::pow(10, data->Length)) - 1);
    }
}
