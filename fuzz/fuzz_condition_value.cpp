// A filter page's condition value as a saved report configuration holds it, for any field
// of the catalogue: it becomes an SQL condition and a summary line without raising, and
// the SQL never lets the value's text out of its literals.

#include "FuzzSql.h"

#include "calls/CallFieldInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TFuzzInput input(data, size);
    const auto id = TCallFieldId(input.Byte() % 38);
    const QString value = input.RestText();
    const TCallFieldInfo& info = FieldInfo(id);
    CheckSqlFragment(info.BuildCondition(value));
    info.BuildSummary(value);
    return 0;
}
