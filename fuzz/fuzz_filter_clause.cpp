// The filter clause of the administration's extension and PIN code lists, as a client
// sends it. An accepted clause filters one of the three columns, and writing the filter
// back as a clause reads as the same filter; a refused clause leaves the filter alone.

#include "FuzzInput.h"

#include "server/FilterClause.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString clause = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    std::optional<TRowFilter> filter = TRowFilter{QStringLiteral("UNTOUCHED"), -7};
    if (!ParseFilterClause(clause, filter)) {
        FuzzCheck(filter && filter->Column == QLatin1String("UNTOUCHED") && filter->Value == -7,
                  "a refused clause leaves the filter alone");
        return 0;
    }
    if (!filter)
        return 0;
    FuzzCheck(QStringList({QStringLiteral("PBX_ID"), QStringLiteral("GROUP_ID"), QStringLiteral("LIMIT_PLAN_ID")})
                  .contains(filter->Column),
              "only the three columns are filtered");
    FuzzCheck(filter->Value >= std::numeric_limits<qint32>::min() && filter->Value <= std::numeric_limits<qint32>::max(),
              "the value is a 32-bit integer");
    std::optional<TRowFilter> again;
    FuzzCheck(ParseFilterClause(QStringLiteral("where %1 = %2").arg(filter->Column).arg(filter->Value), again) &&
                  again && again->Column == filter->Column && again->Value == filter->Value,
              "the filter written back reads the same");
    return 0;
}
