#pragma once
// Checks on SQL the client builds from outside text (condition values, typed prefixes):
// every quoted literal is closed, and outside literals there is no statement separator or
// comment that could carry a second statement or cut the rest of the query off.

#include "FuzzInput.h"

#include <QString>

inline void CheckSqlFragment(const QString& sql)
{
    bool quoted = false;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;  // a doubled quote inside a literal closes and reopens it
            continue;
        }
        if (quoted)
            continue;
        FuzzCheck(c != QLatin1Char(';'), "no statement separator outside literals");
        FuzzCheck(!sql.mid(i, 2).startsWith(QLatin1String("--")) && !sql.mid(i, 2).startsWith(QLatin1String("/*")),
                  "no comment outside literals");
    }
    FuzzCheck(!quoted, "every literal is closed");
}
