// A value a client sends to be written into a column (the apply conversions): any of the
// kinds the wire carries, for a column of any type and size. An accepted value is what the
// column can hold: 32-bit columns in range, texts within their size, points in time as text
// that reads back as a valid point in time; a refused value says why. Reading a value as a
// result column's type never fails in an undefined way either.

#include "FuzzInput.h"

#include "core/Variants.h"
#include "server/SqlValues.h"

namespace {

QVariant ValueFrom(TFuzzInput& input)
{
    switch (input.Byte() % 9) {
        case 0: return QVariant();
        case 1: return QVariant(bool(input.Byte() & 1));
        case 2: return QVariant(int(input.Uint32()));
        case 3: return QVariant(qint64(input.Uint32()) << 32 | input.Uint32());
        case 4: return QVariant(input.Double());
        case 5: return VarFromDateTime(input.Double());
        case 6: return QVariant(input.Bytes(64));
        case 7: return VarFromInt16(qint16(input.Uint32()));
        default: return QVariant(input.Text());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TFuzzInput input(data, size);
    TFieldDef field;
    field.Name = QStringLiteral("COLUMN");
    field.DataType = TFieldType(input.Byte() % 15);
    field.Size = input.Byte() % 40;
    const QVariant value = ValueFrom(input);

    for (int type = 0; type < 15; ++type)
        ConvertToFieldType(value, TFieldType(type));

    QVariant out;
    QString error;
    if (!ValueForColumn(value, field, out, error)) {
        FuzzCheck(!error.isEmpty(), "a refused value says why");
        return 0;
    }
    if (VarIsNull(out))
        return 0;
    switch (field.DataType) {
        case TFieldType::Integer:
        case TFieldType::AutoInc:
            FuzzCheck(out.toLongLong() >= std::numeric_limits<qint32>::min() &&
                          out.toLongLong() <= std::numeric_limits<qint32>::max(),
                      "a 32-bit column gets a 32-bit value");
            break;
        case TFieldType::DateTime:
        case TFieldType::TimeStamp: {
            TDateTime back = 0;
            FuzzCheck(SqlTextToDateTime(out.toString(), back) && IsValidDateTime(back),
                      "a point in time is written as text that reads back");
            break;
        }
        case TFieldType::String:
        case TFieldType::WideString:
            FuzzCheck(field.Size == 0 || out.toString().size() <= field.Size, "a text fits its column");
            break;
        default:
            break;
    }
    return 0;
}
