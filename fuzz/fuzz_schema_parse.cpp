// Parses arbitrary text as a data format. A successful parse must print a canonical text
// that parses again to itself with the same elements; a failed parse must leave the
// previous format untouched. Small formats also generate and read back a line.

#include "schema/CallLineMatcher.h"
#include "schema/CallString.h"

#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition, const char* what)
{
    if (!condition) {
        fprintf(stderr, "invariant broken: %s\n", what);
        abort();
    }
}

QString Structure(const TCallString& schema)
{
    QString text;
    for (const auto& element : schema.Elements())
        text += QString::number(element->Length) + QLatin1Char('|') + element->GetText() + QLatin1Char('\n');
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses how the rest reads: single-byte text or UTF-8.
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const qsizetype length = qsizetype(size - 1);
    const QString text =
        (data[0] & 1) ? QString::fromUtf8(bytes, length) : QString::fromLatin1(bytes, length);

    static const QString previous = QStringLiteral("(year)(PHONE:10]{date_time:start}");
    TCallString schema;
    Check(schema.Parse(previous), "the previous format parses");
    const QString previousText = schema.GetText();
    if (!schema.Parse(text)) {
        Check(schema.GetText() == previousText, "a failed parse keeps the format");
        return 0;
    }

    const QString canonical = schema.GetText();
    TCallString again;
    Check(again.Parse(canonical), "the canonical text parses");
    Check(again.GetText() == canonical, "the canonical text is a fixed point");
    Check(Structure(again) == Structure(schema), "the canonical text gives the same elements");

    qsizetype width = 0;
    for (const auto& element : schema.Elements())
        width += element->Length;
    if (width > 4096)
        return 0;
    const TDateTime now = EncodeDateTime(2026, 2, 15, 10, 0);
    TCallRecord record;
    record.Clear(now);
    record.DateTime = EncodeDateTime(2025, 12, 31, 23, 59, 58);
    record.Duration = 3725;
    record.Phone = QStringLiteral("5551234");
    record.Extension = QStringLiteral("101");
    record.CallType = QStringLiteral("R");
    record.Pulses = 12;
    const QString line = schema.Generate(record);
    TCallRecord matched;
    MatchLine(schema, line, matched, now);
    return 0;
}
