#include "schema/CallLineMatcher.h"

#include "schema/CallStringText.h"

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
    // Only blanks and control characters may follow the last element (see the header).
    for (qsizetype i = position - 1; i < line.size(); ++i) {
        if (!callstring::IsBlankOrControl(line[i]))
            return false;
    }
    // An impossible date left DateTime at an earlier partial date.
    return QDate::isValid(record.Year, record.Month, record.Day);
}
