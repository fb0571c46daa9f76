#include "CallLineMatcher.h"

#include "CallStringText.h"

#include <QDate>

bool MatchLine(const TCallString& schema, QStringView line, TCallRecord& record)
{
    return MatchLine(schema, line, record, Now());
}

bool MatchLine(const TCallString& schema, QStringView line, TCallRecord& record, TDateTime now)
{
    record.Clear(now);
    qsizetype position = 1;
    for (const std::unique_ptr<TCallStringElement>& element : schema.Elements()) {
        if (!element->Match(line, position, record))
            return false;
    }
    // A trailing line break or padding is part of the line as sent; anything else means
    // that the format explains only part of the line, which must not pass as a call.
    for (qsizetype i = position - 1; i < line.size(); ++i) {
        if (!callstring::IsBlankOrControl(line[i]))
            return false;
    }
    // A date that the line spelled impossibly (31 February) leaves DateTime at an earlier
    // partial date; such a line is not a call of that date.
    return QDate::isValid(record.Year, record.Month, record.Day);
}
