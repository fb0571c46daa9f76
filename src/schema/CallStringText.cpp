#include "schema/CallStringText.h"

#include <limits>

namespace callstring {

QStringView TrimStart(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && IsBlankOrControl(text[i]))
        ++i;
    return text.mid(i);
}

QStringView TrimEnd(QStringView text)
{
    qsizetype n = text.size();
    while (n > 0 && IsBlankOrControl(text[n - 1]))
        --n;
    return text.left(n);
}

int ReadInteger(QStringView text, int defaultValue)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size())
        return defaultValue;
    // The magnitude may reach one past the int maximum: the int minimum.
    constexpr qint64 kLimit = qint64(std::numeric_limits<int>::max()) + 1;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < '0' || c > '9')
            return defaultValue;
        value = value * 10 + (c - '0');
        if (value > kLimit)
            return defaultValue;
    }
    if (negative)
        return static_cast<int>(-value);
    return value < kLimit ? static_cast<int>(value) : defaultValue;
}

bool NeedsQuotes(QStringView argument)
{
    for (const QChar c : argument) {
        if (IsBlankOrControl(c) || c == QLatin1Char(',') || c == QLatin1Char('"'))
            return true;
    }
    return false;
}

QString QuoteArgument(const QString& argument)
{
    if (!NeedsQuotes(argument))
        return argument;
    QString quoted = argument;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace callstring
