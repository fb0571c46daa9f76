#include "calls/ReportQuery.h"

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

QString SelectList(const TCallFieldSet& fields)
{
    TStringArray items;
    for (TCallFieldId id : fields)
        items.append(SelectItem(FieldInfo(id)));
    return items.isEmpty() ? QStringLiteral("*") : JoinTexts(QStringLiteral(", "), items);
}

QString JoinClauses(const TCallFieldSet& fields, TJoinSet joins)
{
    for (TCallFieldId id : fields)
        joins += FieldInfo(id).Joins();
    QString text;
    for (TJoinId id : joins)
        text += JoinClause(id);
    return text;
}

QString GroupList(const TCallFieldSet& fields)
{
    TStringArray items;
    for (TCallFieldId id : fields - TotalFields)
        items.append(GroupItem(FieldInfo(id)));
    return JoinTexts(QStringLiteral(", "), items);
}

}  // namespace

QString BuildQuery(const TCallFieldSet& givenFields, const TJoinSet& joins, const TStringArray& whereConditions,
                   const TStringArray& havingConditions, const TStringArray& orderItems)
{
    // cfNone stands for "no field" (the special report's "-"): it has no column to select or
    // group by.
    const TCallFieldSet fields = givenFields - TCallFieldSet{cfNone};
    QString sql = QStringLiteral("select ") + SelectList(fields) + QStringLiteral(" from CALL c") + kLineEnd;
    sql += JoinClauses(fields, joins);
    sql += Clause(QStringLiteral("where "), AndConditions(whereConditions), kLineEnd);
    const bool grouped = !(fields * TotalFields).IsEmpty();
    if (grouped) {
        sql += Clause(QStringLiteral("group by "), GroupList(fields), kLineEnd);
        sql += Clause(QStringLiteral("having "), AndConditions(havingConditions), kLineEnd);
    }
    sql += Clause(QStringLiteral("order by "), JoinTexts(QStringLiteral(", "), orderItems), kLineEnd);
    return sql;
}
