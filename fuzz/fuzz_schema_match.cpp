// Matches arbitrary lines against a few fixed, realistic formats. Every element must
// either fail and leave the position alone or consume exactly its length, the position
// never passes the end of the line, and MatchLine must agree with matching element by
// element. The record read must generate a line without trouble; for the formats whose
// fields all read back as written, that line must read back as the same record.

#include "schema/CallLineMatcher.h"
#include "schema/CallString.h"

#include <QDate>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void Check(bool condition, const char* what)
{
    if (!condition) {
        fprintf(stderr, "invariant broken: %s\n", what);
        abort();
    }
}

const std::vector<TCallString>& Formats()
{
    static const std::vector<TCallString> formats = [] {
        const char* texts[] = {
            "(day)/(month)/(year) (hour):(min):(sec) (DURHOUR:2):(DURMIN):(DURSEC:2) (EXTENSION:6] "
            "(phone:20) "
            "[trunk:3) (type:1)\\r\\n",
            "(month)-(day)-(year:4) (hour):(min)(ampm:2) (durmin)'(dursec:2)\" [extension:4) (phone:16]",
            "(year:4)(month)(day) (hour)(min)(sec) (dursec:5) (extension:5) (phone:18) "
            "(pulses:4]{date_time:start}",
            "(day)(month)(year)(hour)(min)(sec:1) (type:1) (extension:8] (phone:8] "
            "(durhour:1)(durmin)(dursec:1)"
            "{swap_extension_and_phone:I,9}",
            "(year:4)-(month)-(day)T(hour):(min):(sec)|[extension:6)|(phone:12]|[pincode:4]|[extra:5)|(TYPE:"
            "2)|"
            "(circuit:3]|[pulses:5)|(DURSEC:6)",
            "(YEAR:4)(MONTH)(DAY)(AMPM:2)(HOUR)(MIN)(SEC)(DURHOUR:3)(DURMIN)(DURSEC:1)(PULSES:5)(CIRCUIT:2)"
            "(TRUNK:3)\\?\\?{max_extension_length:3}{date_time:end,start}",
            "(dursec:8)(durmin)(durhour:2)[EXTENSION:3]{date_time:start}",
        };
        std::vector<TCallString> parsed;
        for (const char* text : texts) {
            TCallString schema;
            Check(schema.Parse(QString::fromLatin1(text)), "a fixed format parses");
            parsed.push_back(std::move(schema));
        }
        return parsed;
    }();
    return formats;
}

// Formats whose every field writes back the way it was read.
bool ReadsBackAsWritten(std::size_t format)
{
    return format == 2 || format == 4;
}

QString Describe(const TCallRecord& r)
{
    QString text = QString::number(r.DateTime, 'g', 17);
    for (const QVariant* field : {&r.Duration, &r.Phone, &r.Extension, &r.PinCode, &r.ExtraCode, &r.Pulses,
                                  &r.Circuit, &r.Trunk, &r.CallType})
        text += field->isNull() ? QStringLiteral("|null") : QLatin1Char('|') + field->toString();
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::vector<TCallString>& formats = Formats();
    const std::size_t index = data[0] % formats.size();
    const TCallString& schema = formats[index];
    const QString line = QString::fromLatin1(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const TDateTime now = EncodeDateTime(2026, 2, 15, 10, 0);

    TCallRecord stepwise;
    stepwise.Clear(now);
    qsizetype position = 1;
    bool all = true;
    for (const auto& element : schema.Elements()) {
        const qsizetype before = position;
        const bool matched = element->Match(line, position, stepwise);
        Check(position <= line.size() + 1, "the position stays within the line");
        Check(matched ? position == before + element->Length : position == before,
              "an element consumes exactly its length or nothing");
        if (!matched) {
            all = false;
            break;
        }
    }
    bool rest = all;
    for (qsizetype i = position - 1; rest && i < line.size(); ++i)
        rest = line[i].unicode() <= 32 || line[i].unicode() == 127;
    const bool expected = rest && QDate::isValid(stepwise.Year, stepwise.Month, stepwise.Day);

    TCallRecord record;
    Check(MatchLine(schema, line, record, now) == expected, "MatchLine agrees with the elements");
    if (!expected)
        return 0;
    const QString written = schema.Generate(record);
    if (ReadsBackAsWritten(index)) {
        TCallRecord again;
        Check(MatchLine(schema, written, again, now), "a written line matches");
        Check(Describe(again) == Describe(record), "a written line reads back as its record");
    }
    return 0;
}
