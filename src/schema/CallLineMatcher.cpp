#include "schema/CallLineMatcher.h"

#include "schema/CallStringText.h"

#include <QDate>

namespace {

bool IsLineBreak(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

// How many characters a format's line takes, and how many of them at its end are the
// line break its last literals spell out ("\r\n").
struct TFormatWidth {
    qsizetype Total = 0;
    qsizetype LineBreak = 0;
};

TFormatWidth WidthOf(const TCallString& schema)
{
    TFormatWidth width;
    for (const std::unique_ptr<TCallStringElement>& element : schema.Elements())
        width.Total += element->Length;
    const TCallString::TElements& elements = schema.Elements();
    for (auto it = elements.rbegin(); it != elements.rend(); ++it) {
        if ((*it)->Length == 0)
            continue;  // a command
        const auto* literal = dynamic_cast<const TCallStringLiteral*>(it->get());
        if (!literal)
            break;
        qsizetype breaks = 0;
        const QString& pattern = literal->Pattern;
        while (breaks < pattern.size() && IsLineBreak(pattern[pattern.size() - 1 - breaks]))
            ++breaks;
        width.LineBreak += breaks;
        if (breaks < literal->Pattern.size())
            break;
    }
    return width;
}

// The line as the exchange would have sent it had it padded its last field with blanks:
// the blanks go before the line's own line break. Empty when the line is long enough.
QString Padded(QStringView line, const TFormatWidth& width)
{
    qsizetype content = line.size();
    while (content > 0 && IsLineBreak(line[content - 1]))
        --content;
    const qsizetype missing = width.Total - width.LineBreak - content;
    if (missing <= 0)
        return QString();
    return line.left(content).toString() + QString(missing, QLatin1Char(' ')) + line.mid(content).toString();
}

bool HasYear(const TCallString& schema)
{
    for (const std::unique_ptr<TCallStringElement>& element : schema.Elements())
        if (dynamic_cast<const TCallStringYear*>(element.get()))
            return true;
    return false;
}

// A date read without a year took the year of receipt; a call cannot end more than a day
// after its line arrived, so such a date belongs to the year before (a December call
// received on 2 January). False when that date does not exist (29 February).
bool MoveToYearBefore(TCallRecord& record)
{
    const QDateTime at = DateTimeToQDateTime(record.DateTime);
    const QDate date(at.date().year() - 1, at.date().month(), at.date().day());
    if (!date.isValid())
        return false;
    record.DateTime = DateTimeFromQDateTime(QDateTime(date, at.time()));
    record.Year = static_cast<quint16>(record.Year - 1);
    return true;
}

}  // namespace

bool MatchLine(const TCallString& schema, QStringView line, TCallRecord& record)
{
    return MatchLine(schema, line, record, Now());
}

bool MatchLine(const TCallString& schema, QStringView line, TCallRecord& record, TDateTime now)
{
    record.Clear(now);
    const QString padding = Padded(line, WidthOf(schema));
    const QStringView padded = padding.isNull() ? line : QStringView(padding);
    qsizetype position = 1;
    for (const std::unique_ptr<TCallStringElement>& element : schema.Elements()) {
        if (!element->Match(padded, position, record))
            return false;
    }
    // Only blanks and control characters may follow the last element (see the header).
    for (qsizetype i = position - 1; i < padded.size(); ++i) {
        if (!callstring::IsBlankOrControl(padded[i]))
            return false;
    }
    // An impossible date left DateTime at an earlier partial date.
    if (!QDate::isValid(record.Year, record.Month, record.Day))
        return false;
    // Compared in whole milliseconds: a call exactly one day ahead stays.
    if (qRound64((record.DateTime - record.ReceivedTime) * MSecsPerDay) > qint64(MSecsPerDay) && !HasYear(schema))
        return MoveToYearBefore(record);
    return true;
}
