#pragma once
// What report query tests build statements from: call field and join sets written as lists
// of numbers, and a filter that stands for a filter frame.
//
//   QTest::newRow("two fields") << TIds{cfRecTime, cfPhone} << QList<TFilter>{{"c.DURATION > 60", {}}};
//   const TCallFieldSet fields = FieldSet(ids);

#include "calls/ReportQuery.h"

#include <QList>
#include <QString>

using TIds = QList<int>;

inline TCallFieldSet FieldSet(const TIds& ids)
{
    TCallFieldSet set;
    for (int id : ids)
        set.Include(static_cast<TCallFieldId>(id));
    return set;
}

inline TJoinSet JoinSet(const TIds& ids)
{
    TJoinSet set;
    for (int id : ids)
        set.Include(static_cast<TJoinId>(id));
    return set;
}

// Stands for a filter frame: what the window asks of it.
struct TFilter {
    QString Condition;
    TJoinSet Joins;
    QString GetSQLCondition() const { return Condition; }
    TJoinSet GetRequiredJoins() const { return Joins; }
};
