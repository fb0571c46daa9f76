#pragma once
// Character classes and small readers shared by the data format parser and its elements.

#include <QString>
#include <QStringView>

namespace callstring {

// Blanks and control characters: what trimming removes and what ends an unquoted argument.
inline bool IsBlankOrControl(QChar c)
{
    return c.unicode() <= 32 || c.unicode() == 127;
}

// The six characters that open and close tags and commands; literal text never holds them.
inline bool IsBracket(QChar c)
{
    switch (c.unicode()) {
        case '(':
        case ')':
        case '[':
        case ']':
        case '{':
        case '}':
            return true;
        default:
            return false;
    }
}

QStringView TrimStart(QStringView text);
QStringView TrimEnd(QStringView text);
inline QStringView Trim(QStringView text)
{
    return TrimEnd(TrimStart(text));
}

// An optional sign and decimal digits that fit an int; anything else gives defaultValue.
int ReadInteger(QStringView text, int defaultValue);

// Whether an argument must be written in double quotes to read back as itself.
bool NeedsQuotes(QStringView argument);
QString QuoteArgument(const QString& argument);

}  // namespace callstring
