#pragma once
// The filter clauses of the administration's extension and PIN code lists (AdminRDM 308).
// Only the empty clause (all rows) and "where PBX_ID = n", "where GROUP_ID = n" and
// "where LIMIT_PLAN_ID = n" are understood: keywords without regard to case, any blanks, n
// a decimal 32-bit integer. The server builds its own statement from the filter, so no
// client text reaches SQL.
//
//   std::optional<TRowFilter> filter;
//   if (!ParseFilterClause(QStringLiteral("where GROUP_ID = 3"), filter)) refuse...

#include "server/TableProvider.h"

#include <QString>

#include <optional>

// False for anything else; out is then unchanged. The empty clause gives no filter.
bool ParseFilterClause(const QString& clause, std::optional<TRowFilter>& out);
