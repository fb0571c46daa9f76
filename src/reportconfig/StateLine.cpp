#include "reportconfig/StateLine.h"

#include <algorithm>
#include <cmath>

QString BoolToState(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

int StateToIndex(const QString& text, int itemCount, int defaultValue)
{
    if (itemCount <= 0)
        return -1;
    return std::clamp(StateToInt(text, defaultValue), 0, itemCount - 1);
}

double StateToReal(const QString& text, double defaultValue)
{
    const double value = TextDotToFloat(text, defaultValue);
    return std::isfinite(value) ? value : defaultValue;
}

QString TStateReader::Text(int index, const QString& defaultValue) const
{
    return index >= 0 && index < Count() ? items_.at(index) : defaultValue;
}

bool TStateReader::Bool(int index, bool defaultValue) const
{
    return StateToBool(Text(index), defaultValue);
}

int TStateReader::Integer(int index, int defaultValue) const
{
    return StateToInt(Text(index), defaultValue);
}

int TStateReader::Index(int index, int itemCount, int defaultValue) const
{
    return StateToIndex(Text(index), itemCount, defaultValue);
}

double TStateReader::Real(int index, double defaultValue) const
{
    return StateToReal(Text(index), defaultValue);
}

TStateWriter& TStateWriter::AddText(const QString& text)
{
    items_.append(text);
    return *this;
}

TStateWriter& TStateWriter::AddBool(bool value)
{
    return AddText(BoolToState(value));
}

TStateWriter& TStateWriter::AddInt(int value)
{
    return AddText(QString::number(value));
}

TStateWriter& TStateWriter::AddReal(double value)
{
    return AddText(FloatToTextDot(value));
}
