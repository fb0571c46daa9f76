#include "server/FilterClause.h"

#include <QRegularExpression>

#include <limits>

bool ParseFilterClause(const QString& clause, std::optional<TRowFilter>& out)
{
    if (clause.trimmed().isEmpty()) {
        out = std::nullopt;
        return true;
    }
    static const QRegularExpression re(
        QStringLiteral("^\\s*where\\s+(PBX_ID|GROUP_ID|LIMIT_PLAN_ID)\\s*=\\s*(-?\\d{1,10})\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(clause);
    bool ok = false;
    const qint64 value = m.hasMatch() ? m.captured(2).toLongLong(&ok) : 0;
    if (!ok || value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return false;
    out = TRowFilter{m.captured(1).toUpper(), value};
    return true;
}
