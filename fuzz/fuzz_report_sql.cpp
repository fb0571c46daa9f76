// Report SQL as a client sends it, under either reading scope, prepared by the gate and run
// to its end with a short time limit and a small result budget, as the statement slot does.
// The gate refuses with Exception and never lets the standard scope read more than the
// administrator's; a result that did not fail has packets that decode as "rows" of exactly
// its fields, as many rows as it counts, each value typed as its column says.

#include "FuzzDatabase.h"

#include "remote/Protocol.h"
#include "server/ReportSql.h"

#include <cmath>

namespace {

bool Prepares(TReportConnection& connection, const QString& sql, TReadScope scope)
{
    try {
        connection.Prepare(sql, scope);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

void CheckValue(const QVariant& value, TFieldType type)
{
    if (VarIsNull(value))
        return;
    switch (type) {
        case TFieldType::Smallint:
            FuzzCheck(value.toLongLong() >= -32768 && value.toLongLong() <= 32767, "a 16-bit value fits");
            break;
        case TFieldType::Integer:
        case TFieldType::AutoInc:
        case TFieldType::Largeint:
            FuzzCheck(value.canConvert<qint64>(), "an integer column holds integers");
            break;
        case TFieldType::Float:
        case TFieldType::Currency:
            FuzzCheck(value.canConvert<double>(), "a real column holds numbers");
            break;
        case TFieldType::DateTime:
        case TFieldType::TimeStamp:
            FuzzCheck(VarIsDateTime(value) && IsValidDateTime(VarToDateTime(value)),
                      "a time column holds valid points in time");
            break;
        default:
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool registered = (RegisterProtocolTypes(), true);
    (void)registered;
    static TReportConnection connection(FuzzDatabasePath());
    static TResultBudget budget(4 << 20);
    TFuzzInput input(data, size);
    const TReadScope scope = (input.Byte() & 1) ? TReadScope::AllButPasswords : TReadScope::Calls;
    const QString sql = input.RestText();

    if (scope == TReadScope::Calls && Prepares(connection, sql, TReadScope::Calls))
        FuzzCheck(Prepares(connection, sql, TReadScope::AllButPasswords),
                  "the administrator may read what a standard user may");

    connection.SetLimits(std::make_shared<std::atomic<bool>>(false), 200);
    TDataSetResult result;
    try {
        TStatement stmt = connection.Prepare(sql, scope);
        result = RunReportStatement(stmt, connection, budget.NewLease());
    } catch (const Exception&) {
        return 0;
    }
    if (!result.Error.isEmpty())
        return 0;
    qint64 rows = 0;
    for (qsizetype i = 0; i < result.PacketCount(); ++i) {
        const TMessage message = DecodeMessage(result.Packet(i));
        FuzzCheck(message.Kind == TMessageKind::Rows, "a packet is a rows message");
        for (const QVariantList& row : message.Rows) {
            FuzzCheck(row.size() == result.Fields.size(), "a row has a value per field");
            for (qsizetype c = 0; c < row.size(); ++c)
                CheckValue(row[c], result.Fields[c].DataType);
        }
        rows += message.Rows.size();
    }
    FuzzCheck(rows == result.RowCount, "the packets hold the rows counted");
    return 0;
}
