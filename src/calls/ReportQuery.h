#pragma once
// The SQL statement of a call report: one select over CALL c with the joins its fields and
// filters need, the where conditions of the detail filters, grouping by every selected
// field that is not a total, the having conditions of the total filters and the sort order.
// Every line of the text, the last included, ends with "\r\n".

#include "calls/CallFieldInfo.h"
#include "calls/Globals.h"

#include <QString>

#include <concepts>
#include <iterator>
#include <ranges>
#include <type_traits>

// fields: the selected fields (a total among them makes the report grouped); joins: what
// the filter conditions need beyond the fields' own joins; where and having conditions:
// one per filter, empty ones skipped; order items: SQL expressions in sort order. Having
// conditions are ignored unless the report is grouped. cfNone among the fields is no field.
QString BuildQuery(const TCallFieldSet& fields, const TJoinSet& joins, const TStringArray& whereConditions,
                   const TStringArray& havingConditions, const TStringArray& orderItems);

// What the query assembly asks of a filter: its SQL condition (empty when it has none) and
// the joins that condition needs. The report's filter frames satisfy it; the calls library
// stays free of widgets because it only names the two operations.
template <typename F>
concept TConditionSource = requires(F& filter)
{
    {
        filter.GetSQLCondition()
        } -> std::convertible_to<QString>;
    {
        filter.GetRequiredJoins()
        } -> std::convertible_to<TJoinSet>;
};

// One condition per filter, in order, empty ones included; each filter's joins are added
// to joins. Takes any range of pointers to condition sources (QList<TReportFilterFrame*>).
template <std::ranges::input_range Filters>
requires TConditionSource<std::remove_pointer_t<std::ranges::range_value_t<Filters>>> TStringArray
CollectConditions(const Filters& filters, TJoinSet& joins)
{
    TStringArray conditions;
    for (auto* filter : filters) {
        conditions.append(filter->GetSQLCondition());
        joins += filter->GetRequiredJoins();
    }
    return conditions;
}
