#include "core/Numbers.h"

#include <cmath>
#include <cstdio>

QString FloatToStrGeneral(double value, QChar decimalSeparator, int precision)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0");

    // Round to the wanted significant digits first; the exponent of the rounded value
    // decides between the two forms.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", precision - 1, value);
    QString sci = QString::fromLatin1(buf);
    const qsizetype e = sci.indexOf(QLatin1Char('e'));
    const int exponent = sci.mid(e + 1).toInt();
    QString mantissa = sci.left(e);
    const bool negative = mantissa.startsWith(QLatin1Char('-'));
    if (negative)
        mantissa.remove(0, 1);
    QString digits = mantissa;
    digits.remove(QLatin1Char('.'));
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);

    QString out;
    if (exponent >= precision || exponent < -5) {
        out = digits.left(1);
        if (digits.size() > 1)
            out += decimalSeparator + digits.mid(1);
        out += QLatin1Char('E') + QString::number(exponent);
    } else if (exponent >= 0) {
        const int intDigits = exponent + 1;
        QString whole = digits.left(intDigits);
        while (whole.size() < intDigits)
            whole += QLatin1Char('0');
        out = whole;
        if (digits.size() > intDigits)
            out += decimalSeparator + digits.mid(intDigits);
    } else {
        out = QLatin1Char('0') + QString(decimalSeparator) + QString(-exponent - 1, QLatin1Char('0')) + digits;
    }
    return negative ? QLatin1Char('-') + out : out;
}
