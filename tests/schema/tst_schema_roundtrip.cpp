#include "schema/CallLineMatcher.h"
#include "schema/CallString.h"
#include "core/RegionalSettings.h"
#include "core/Variants.h"

#include <QRandomGenerator>
#include <QTest>

#include <functional>
#include <thread>
#include <vector>

namespace {

const TDateTime kNow = EncodeDateTime(2026, 2, 15, 10, 0);

QString DigitsOrNull(QRandomGenerator& random, int minLength, int maxLength, QVariant& field,
                     bool nullable = true)
{
    field.clear();
    if (nullable && random.bounded(4) == 0)
        return QString();
    QString digits;
    for (int i = random.bounded(minLength, maxLength + 1); i > 0; --i)
        digits += QChar('0' + random.bounded(10));
    field = digits;
    return digits;
}

QVariant IntOrNull(QRandomGenerator& random, int maxValue, bool nullable = true)
{
    if (nullable && random.bounded(4) == 0)
        return QVariant();
    return random.bounded(maxValue + 1);
}

QVariant OneOf(QRandomGenerator& random, const QStringList& values)
{
    const int i = random.bounded(int(values.size()) + 1);
    return i == values.size() ? QVariant() : QVariant(values[i]);
}

// Whole seconds between 1980 and 2070: inside the two-digit window around 2026.
TDateTime RandomDateTime(QRandomGenerator& random)
{
    const int first = int(EncodeDateTime(1980, 1, 1));
    const int last = int(EncodeDateTime(2070, 12, 31));
    return IncSeconds(random.bounded(first, last + 1), random.bounded(86400));
}

TDateTime WithSeconds(TDateTime value, const std::function<int(int)>& seconds)
{
    int hour, minute, second, msec;
    DecodeTime(value, hour, minute, second, msec);
    return IncSeconds(value, seconds(second) - second);
}

QString Describe(const TCallRecord& r)
{
    auto v = [](const QVariant& value) {
        return VarIsNull(value) ? QStringLiteral("null")
                                : QLatin1Char('\'') + VarToStr(value) + QLatin1Char('\'');
    };
    return QStringLiteral("%1 %2 dur=%3 ph=%4 ext=%5 pin=%6 extra=%7 pulses=%8 circ=%9 trunk=%10 type=%11")
        .arg(DateTimeToQDate(r.DateTime).toString(Qt::ISODate),
             DateTimeToQTime(r.DateTime).toString("hh:mm:ss.zzz"), v(r.Duration), v(r.Phone), v(r.Extension),
             v(r.PinCode), v(r.ExtraCode), v(r.Pulses), v(r.Circuit))
        .arg(v(r.Trunk), v(r.CallType));
}

// A format, how to fill a random record that fits its widths, and what of a record the
// format carries (the record that matching the generated line must give back).
struct TFormatCase {
    const char* Name;
    QString Text;
    std::function<void(QRandomGenerator&, TCallRecord&)> Fill;
    std::function<void(TCallRecord&)> Carry;
};

QList<TFormatCase> Formats()
{
    return {
        {"fixed width",
         "(day)/(month)/(year) (hour):(min):(sec) (DURHOUR:2):(DURMIN):(DURSEC:2) (EXTENSION:6] (phone:20) "
         "[trunk:3) (type:1)\\r\\n",
         [](QRandomGenerator& random, TCallRecord& r) {
             r.DateTime = RandomDateTime(random);
             r.Duration = IntOrNull(random, 99 * 3600 + 3599, false);
             DigitsOrNull(random, 2, 6, r.Extension, false);
             DigitsOrNull(random, 3, 20, r.Phone);
             r.Trunk = IntOrNull(random, 999);
             r.CallType = OneOf(random, {"I", "O", "L"});
         },
         [](TCallRecord&) {}},
        {"twelve-hour clock",
         "(month)-(day)-(year:4) (hour):(min)(ampm:2) (durmin)'(dursec:2)\" [extension:4) (phone:16]",
         [](QRandomGenerator& random, TCallRecord& r) {
             r.DateTime = RandomDateTime(random);
             r.Duration = IntOrNull(random, 7199);
             DigitsOrNull(random, 1, 4, r.Extension);
             DigitsOrNull(random, 1, 16, r.Phone);
         },
         [](TCallRecord& r) {
             r.DateTime = WithSeconds(r.DateTime, [](int) { return 0; });
             if (!VarIsNull(r.Duration))
                 r.Duration = r.Duration.toInt() % 3600;
         }},
        {"start time sent",
         "(year:4)(month)(day) (hour)(min)(sec) (dursec:5) (extension:5) (phone:18) "
         "(pulses:4]{date_time:start}",
         [](QRandomGenerator& random, TCallRecord& r) {
             r.DateTime = RandomDateTime(random);
             r.Duration = IntOrNull(random, 99999);
             DigitsOrNull(random, 1, 5, r.Extension);
             DigitsOrNull(random, 1, 18, r.Phone);
             r.Pulses = IntOrNull(random, 9999);
         },
         [](TCallRecord&) {}},
        {"incoming calls swapped",
         "(day)(month)(year)(hour)(min)(sec:1) (type:1) (extension:8] (phone:8] (durhour:1)(durmin)(dursec:1)"
         "{swap_extension_and_phone:I,9}",
         [](QRandomGenerator& random, TCallRecord& r) {
             r.DateTime = RandomDateTime(random);
             r.CallType = OneOf(random, {"I", "9", "O"});
             DigitsOrNull(random, 1, 8, r.Extension);
             DigitsOrNull(random, 1, 8, r.Phone);
             r.Duration = IntOrNull(random, 9 * 3600 + 3599);
         },
         [](TCallRecord& r) {
             r.DateTime = WithSeconds(r.DateTime, [](int s) { return s / 6 * 6; });
             if (!VarIsNull(r.Duration)) {
                 const int d = r.Duration.toInt();
                 r.Duration = d - d % 60 + d % 60 / 6 * 6;
             }
         }},
        {"aligned text fields",
         "(year:4)-(month)-(day)T(hour):(min):(sec)|[extension:6)|(phone:12]|[pincode:4]|[extra:5)|(TYPE:2)|"
         "(circuit:3]|[pulses:5)|(DURSEC:6)",
         [](QRandomGenerator& random, TCallRecord& r) {
             r.DateTime = RandomDateTime(random);
             DigitsOrNull(random, 1, 6, r.Extension);
             DigitsOrNull(random, 1, 12, r.Phone);
             DigitsOrNull(random, 4, 4, r.PinCode);
             DigitsOrNull(random, 1, 5, r.ExtraCode);
             r.CallType = OneOf(random, {"IN", "OU", "L"});
             r.Circuit = IntOrNull(random, 999);
             r.Pulses = IntOrNull(random, 99999);
             r.Duration = IntOrNull(random, 999999, false);
         },
         // A field aligned on both sides keeps its padding: an empty PIN code reads as blanks.
         [](TCallRecord& r) {
             if (VarIsNull(r.PinCode))
                 r.PinCode = QStringLiteral("    ");
         }},
        {"long extensions are phone numbers",
         "(year:4)(month)(day)(hour)(min)(sec) [extension:7)(phone:16]{max_extension_length:4}",
         [](QRandomGenerator& random, TCallRecord& r) {
             r.DateTime = RandomDateTime(random);
             DigitsOrNull(random, 1, 7, r.Extension);
             DigitsOrNull(random, 1, 16, r.Phone);
         },
         [](TCallRecord& r) {
             const qsizetype extension = VarToStr(r.Extension).size();
             if (extension > 4 && VarToStr(r.Phone).size() < extension)
                 r.SwapExtensionAndPhone();
         }},
    };
}

}  // namespace

class TestSchemaRoundTrip : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TRegionalSettings::SetCurrent(TRegionalSettings()); }

    void roundTrip_data()
    {
        QTest::addColumn<int>("index");
        const QList<TFormatCase> formats = Formats();
        for (int i = 0; i < formats.size(); ++i)
            QTest::newRow(formats[i].Name) << i;
    }
    void roundTrip()
    {
        QFETCH(int, index);
        const TFormatCase format = Formats()[index];
        TCallString schema;
        QVERIFY(schema.Parse(format.Text));
        TCallString canonical;
        QVERIFY(canonical.Parse(schema.GetText()));
        QCOMPARE(canonical.GetText(), schema.GetText());

        qsizetype width = 0;
        for (const auto& element : schema.Elements())
            width += element->Length;

        QRandomGenerator random(20260215 + index);
        for (int i = 0; i < 2000; ++i) {
            TCallRecord record;
            record.Clear(kNow);
            format.Fill(random, record);
            const QString line = schema.Generate(record);
            QCOMPARE(line.size(), width);

            TCallRecord expected = record;
            format.Carry(expected);
            TCallRecord matched;
            QVERIFY2(MatchLine(schema, line, matched, kNow), qPrintable(line));
            QCOMPARE(Describe(matched), Describe(expected));
        }
    }
    // One parsed format read by several threads at once gives each the same records as
    // reading alone.
    void concurrentMatching()
    {
        const TFormatCase format = Formats()[0];
        TCallString schema;
        QVERIFY(schema.Parse(format.Text));
        QRandomGenerator random(77);
        QStringList lines;
        QStringList alone;
        for (int i = 0; i < 500; ++i) {
            TCallRecord record;
            record.Clear(kNow);
            format.Fill(random, record);
            lines << schema.Generate(record);
            TCallRecord matched;
            QVERIFY(MatchLine(schema, lines.last(), matched, kNow));
            alone << Describe(matched);
        }
        std::vector<QStringList> results(4);
        std::vector<std::thread> threads;
        for (QStringList& result : results) {
            threads.emplace_back([&schema, &lines, &result] {
                for (int pass = 0; pass < 4; ++pass) {
                    result.clear();
                    for (const QString& line : lines) {
                        TCallRecord matched;
                        MatchLine(schema, line, matched, kNow);
                        result << Describe(matched);
                    }
                }
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        for (const QStringList& result : results)
            QCOMPARE(result, alone);
    }
};

QTEST_GUILESS_MAIN(TestSchemaRoundTrip)
#include "tst_schema_roundtrip.moc"
