#include "schema/CallLineMatcher.h"
#include "schema/CallString.h"
#include "support/RecordFields.h"
#include "core/RegionalSettings.h"

#include <QTest>

namespace {

// Matching runs as of this moment, so two-digit years widen around 2026 and a date still
// being read starts from 15 February.
const QDateTime kNow(QDate(2026, 2, 15), QTime(10, 0));

QDateTime At(int hour, int minute, int second = 0, QDate date = kNow.date())
{
    return QDateTime(date, QTime(hour, minute, second));
}

}  // namespace

class TestSchemaMatch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TRegionalSettings::SetCurrent(TRegionalSettings()); }

    void clearAndEncodeDate()
    {
        TCallRecord record;
        record.Phone = "1";
        record.Duration = 5;
        record.Clear(DateTimeFromQDateTime(kNow));
        QCOMPARE(record.ReceivedTime, DateTimeFromQDateTime(kNow));
        QCOMPARE(DateTimeToQDateTime(record.DateTime), At(0, 0));
        QCOMPARE(int(record.Year), 2026);
        QCOMPARE(int(record.Month), 2);
        QCOMPARE(int(record.Day), 15);
        QVERIFY(record.Phone.isNull() && record.Duration.isNull());

        record.DateTime = DateTimeFromQDateTime(At(13, 45, 7));
        record.Day = 31;
        QVERIFY(!record.EncodeDate());
        QCOMPARE(DateTimeToQDateTime(record.DateTime), At(13, 45, 7));
        record.Month = 3;
        QVERIFY(record.EncodeDate());
        QCOMPARE(DateTimeToQDateTime(record.DateTime), At(13, 45, 7, QDate(2026, 3, 31)));

        record.Extension = "101";
        record.SwapExtensionAndPhone();
        QCOMPARE(record.Phone, QVariant("101"));
        QVERIFY(record.Extension.isNull());
    }

    // One element at a time: the position moves by Length on success only.
    void elementMatch_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("matches");
        QTest::addColumn<int>("end");
        QTest::newRow("any two characters") << "\\?\\?$ "
                                            << "ab$ " << 1 << true << 5;
        QTest::newRow("literal differs") << "\\?\\?$ "
                                         << "ab# " << 1 << false << 1;
        QTest::newRow("literal is case-sensitive") << "CDR"
                                                   << "cdr" << 1 << false << 1;
        QTest::newRow("literal one short at the end") << "\\?\\?$ "
                                                      << "xab$" << 2 << false << 2;
        QTest::newRow("literal exactly at the end") << "\\?\\?$ "
                                                    << "xab$ " << 2 << true << 6;
        QTest::newRow("optional refused tag consumes") << "(hour)"
                                                       << "xx" << 1 << true << 3;
        QTest::newRow("required refused tag stays") << "(HOUR)"
                                                    << "xx" << 1 << false << 1;
        QTest::newRow("tag does not fit") << "(phone:3)"
                                          << "12" << 1 << false << 1;
        QTest::newRow("command after the end") << "{date_time}"
                                               << "12" << 3 << true << 3;
        QTest::newRow("command past the end") << "{date_time}"
                                              << "12" << 4 << false << 4;
    }
    void elementMatch()
    {
        QFETCH(QString, format);
        QFETCH(QString, line);
        QFETCH(int, start);
        QFETCH(bool, matches);
        QFETCH(int, end);
        TCallString schema;
        QVERIFY(schema.Parse(format));
        TCallRecord record;
        record.Clear(DateTimeFromQDateTime(kNow));
        qsizetype position = start;
        QCOMPARE(schema.Elements().front()->Match(line, position, record), matches);
        QCOMPARE(int(position), end);
    }

    // Whole lines through MatchLine; only the fields listed are checked.
    void matchLine_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("matches");
        QTest::addColumn<QVariantMap>("expected");
        const QVariant null;

        QTest::newRow("right aligned") << "(extension:4]"
                                       << "  12" << true << QVariantMap{{"Extension", "12"}};
        QTest::newRow("left aligned") << "[extension:4)"
                                      << "12  " << true << QVariantMap{{"Extension", "12"}};
        QTest::newRow("both aligned keeps blanks") << "[extension:4]"
                                                   << " 12 " << true << QVariantMap{{"Extension", " 12 "}};
        QTest::newRow("none trims both ends") << "(extension:4)"
                                              << "\t12\r" << true << QVariantMap{{"Extension", "12"}};
        QTest::newRow("left keeps leading blanks") << "[extension:4)"
                                                   << " 12 " << true << QVariantMap{{"Extension", " 12"}};
        QTest::newRow("required phone on blanks")
            << "(PHONE:10]" << QString(10, ' ') << true << QVariantMap{{"Phone", null}};
        QTest::newRow("required type on blank") << "(TYPE:1)"
                                                << " " << true << QVariantMap{{"CallType", null}};
        QTest::newRow("pin and extra")
            << "(extra:3)(pincode:4)"
            << "12 9876" << true << QVariantMap{{"ExtraCode", "12"}, {"PinCode", "9876"}};

        QTest::newRow("hours minutes seconds") << "(durhour:2)(durmin)(dursec:2)"
                                               << "013005" << true << QVariantMap{{"Duration", 5405}};
        QTest::newRow("tens of seconds") << "(dursec:1)"
                                         << "5" << true << QVariantMap{{"Duration", 30}};
        QTest::newRow("wide seconds alone") << "(dursec:5)"
                                            << "00125" << true << QVariantMap{{"Duration", 125}};
        QTest::newRow("wide seconds after hours") << "(durhour:1)(dursec:3)"
                                                  << "1125" << true << QVariantMap{{"Duration", 3725}};
        QTest::newRow("hours after minutes") << "(durmin)(durhour:1)"
                                             << "302" << true << QVariantMap{{"Duration", 9000}};
        QTest::newRow("each part keeps the others") << "(dursec:5)(durmin)(durhour:1)"
                                                    << "00125031" << true << QVariantMap{{"Duration", 3785}};
        QTest::newRow("minutes over 59") << "(durmin)"
                                         << "75" << true << QVariantMap{{"Duration", 4500}};
        QTest::newRow("seconds replace seconds") << "(dursec:2)(dursec:2)"
                                                 << "4510" << true << QVariantMap{{"Duration", 10}};
        QTest::newRow("optional duration refused") << "(durhour:2)"
                                                   << "ab" << true << QVariantMap{{"Duration", null}};
        QTest::newRow("required duration refused") << "(DURHOUR:2)"
                                                   << "ab" << false << QVariantMap{};
        QTest::newRow("blank trimmed before number") << "(DURHOUR:2)"
                                                     << " 1" << true << QVariantMap{{"Duration", 3600}};
        QTest::newRow("both aligned number untrimmed") << "[DURHOUR:2]"
                                                       << " 1" << false << QVariantMap{};
        QTest::newRow("duration beyond int refused") << "(DURHOUR:6)"
                                                     << "999999" << false << QVariantMap{};
        QTest::newRow("negative refused") << "(PULSES:3)"
                                          << "-1 " << false << QVariantMap{};
        QTest::newRow("signed number") << "(pulses:3)"
                                       << "+12" << true << QVariantMap{{"Pulses", 12}};
        QTest::newRow("trunk") << "(trunk:3)"
                               << "007" << true << QVariantMap{{"Trunk", 7}};
        QTest::newRow("circuit") << "(circuit:2)"
                                 << "12" << true << QVariantMap{{"Circuit", 12}};
        QTest::newRow("counter too large") << "(circuit:12)"
                                           << "999999999999" << true << QVariantMap{{"Circuit", null}};

        QTest::newRow("pm") << "(hour)(min)(ampm)"
                            << "0145P" << true << QVariantMap{{"DateTime", At(13, 45)}};
        QTest::newRow("12 am") << "(hour)(min)(ampm)"
                               << "1210A" << true << QVariantMap{{"DateTime", At(0, 10)}};
        QTest::newRow("12 pm") << "(hour)(min)(ampm:2)"
                               << "1210PM" << true << QVariantMap{{"DateTime", At(12, 10)}};
        QTest::newRow("lower-case am") << "(hour)(min)(ampm:2)"
                                       << "1100am" << true << QVariantMap{{"DateTime", At(11, 0)}};
        QTest::newRow("ampm before hour") << "(ampm)(hour)(min)"
                                          << "P0145" << true << QVariantMap{{"DateTime", At(1, 45)}};
        QTest::newRow("optional ampm refused") << "(hour)(min)(ampm)"
                                               << "0145X" << true << QVariantMap{{"DateTime", At(1, 45)}};
        QTest::newRow("required ampm refused") << "(hour)(min)(AMPM)"
                                               << "0145X" << false << QVariantMap{};
        QTest::newRow("hour 24 skipped") << "(hour)(min)"
                                         << "2430" << true << QVariantMap{{"DateTime", At(0, 30)}};
        QTest::newRow("hour 24 required") << "(HOUR)"
                                          << "24" << false << QVariantMap{};
        QTest::newRow("second 60 required") << "(SEC)"
                                            << "60" << false << QVariantMap{};
        QTest::newRow("tens of seconds") << "(hour)(min)(sec:1)"
                                         << "10307" << true << QVariantMap{{"DateTime", At(10, 30, 42)}};

        QTest::newRow("year 99") << "(year)"
                                 << "99" << true
                                 << QVariantMap{{"Year", 1999},
                                                {"DateTime", At(0, 0, 0, QDate(1999, 2, 15))}};
        QTest::newRow("year 50") << "(year)"
                                 << "50" << true << QVariantMap{{"Year", 2050}};
        QTest::newRow("year 75") << "(year)"
                                 << "75" << true << QVariantMap{{"Year", 2075}};
        QTest::newRow("year 76") << "(year)"
                                 << "76" << true << QVariantMap{{"Year", 1976}};
        QTest::newRow("required 1899") << "(YEAR:4)"
                                       << "1899" << false << QVariantMap{};
        QTest::newRow("optional 1899 skipped")
            << "(year:4)"
            << "1899" << true << QVariantMap{{"Year", 2026}, {"DateTime", At(0, 0)}};
        QTest::newRow("month 13") << "(MONTH)"
                                  << "13" << false << QVariantMap{};
        QTest::newRow("day 0") << "(DAY)"
                               << "00" << false << QVariantMap{};
        QTest::newRow("day 32") << "(DAY)"
                                << "32" << false << QVariantMap{};
        QTest::newRow("day waits for its month")
            << "(day).(month)"
            << "31.01" << true << QVariantMap{{"DateTime", At(0, 0, 0, QDate(2026, 1, 31))}};
        QTest::newRow("impossible date") << "(day).(month)"
                                         << "31.02" << false << QVariantMap{};
        QTest::newRow("leap day") << "(month)(day)(year)"
                                  << "022924" << true
                                  << QVariantMap{{"DateTime", At(0, 0, 0, QDate(2024, 2, 29))}};
        QTest::newRow("no leap day") << "(month)(day)(year)"
                                     << "022925" << false << QVariantMap{};
        // A date without a year in the year of receipt (15 February 2026, 10:00), unless
        // that puts the call more than a day after its line arrived.
        QTest::newRow("yearless date of this year") << "(day).(month) (hour):(min)"
                                                    << "14.02 09:00" << true
                                                    << QVariantMap{{"DateTime", At(9, 0, 0, QDate(2026, 2, 14))},
                                                                   {"Year", 2026}};
        QTest::newRow("yearless date a day ahead") << "(day).(month) (hour):(min)"
                                                   << "16.02 10:00" << true
                                                   << QVariantMap{{"DateTime", At(10, 0, 0, QDate(2026, 2, 16))}};
        QTest::newRow("yearless date more than a day ahead")
            << "(day).(month) (hour):(min)"
            << "16.02 10:01" << true
            << QVariantMap{{"DateTime", At(10, 1, 0, QDate(2025, 2, 16))}, {"Year", 2025}};
        QTest::newRow("yearless December call") << "(month)/(day) (hour):(min)"
                                                << "12/31 23:58" << true
                                                << QVariantMap{{"DateTime", At(23, 58, 0, QDate(2025, 12, 31))}};
        QTest::newRow("yearless start moved over the new year")
            << "(day).(month) (hour):(min):(sec) (dursec:3){date_time:start}"
            << "31.12 23:59:30 090" << true << QVariantMap{{"DateTime", At(0, 1, 0, QDate(2026, 1, 1))}};
        QTest::newRow("year given, future kept") << "(day).(month).(year:4)"
                                                 << "16.03.2026" << true
                                                 << QVariantMap{{"DateTime", At(0, 0, 0, QDate(2026, 3, 16))}};
        QTest::newRow("date and time") << "(year:4)-(month)-(day) (hour):(min):(sec)"
                                       << "2025-12-31 23:59:58" << true
                                       << QVariantMap{{"DateTime", At(23, 59, 58, QDate(2025, 12, 31))}};

        QTest::newRow("trailing line break") << "(phone:3)"
                                             << "123\r\n"
                                             << true << QVariantMap{{"Phone", "123"}};
        QTest::newRow("trailing padding") << "(phone:3)"
                                          << "123   " << true << QVariantMap{{"Phone", "123"}};
        QTest::newRow("trailing characters") << "(phone:3)"
                                             << "1234" << false << QVariantMap{};
        // Exchanges that do not pad their lines: the missing end reads as blanks.
        QTest::newRow("line too short reads as padded") << "(phone:3)"
                                                        << "12" << true << QVariantMap{{"Phone", "12"}};
        QTest::newRow("unpadded before its line break")
            << "(extension:3)(phone:8)\\r\\n"
            << "101555\r\n" << true << QVariantMap{{"Extension", "101"}, {"Phone", "555"}};
        QTest::newRow("unpadded before a bare line feed")
            << "(extension:3)(phone:8)"
            << "101555\n" << true << QVariantMap{{"Extension", "101"}, {"Phone", "555"}};
        QTest::newRow("unpadded required field missing") << "(extension:3)(PULSES:4)"
                                                         << "101" << false << QVariantMap{};
        QTest::newRow("line stops before a literal") << "(phone:3)/"
                                                     << "12" << false << QVariantMap{};
        QTest::newRow("line stops inside a literal") << "(phone:3)AB(type:1)"
                                                     << "123A" << false << QVariantMap{};
        QTest::newRow("padding never cuts a long line") << "(phone:3)"
                                                        << "1234" << false << QVariantMap{};
        QTest::newRow("empty format, empty line") << ""
                                                  << "" << true << QVariantMap{};
        QTest::newRow("empty format, blank line") << ""
                                                  << " \r\n"
                                                  << true << QVariantMap{};

        const QString swap = "(type:1)[extension:3)(phone:7]{swap_extension_and_phone:9,R}";
        QTest::newRow("swap on listed type")
            << swap << "R1015551234" << true << QVariantMap{{"Extension", "5551234"}, {"Phone", "101"}};
        QTest::newRow("swap on second argument")
            << swap << "91015551234" << true << QVariantMap{{"Extension", "5551234"}, {"Phone", "101"}};
        QTest::newRow("no swap on other type")
            << swap << "X1015551234" << true << QVariantMap{{"Extension", "101"}, {"Phone", "5551234"}};
        QTest::newRow("no swap without type")
            << swap << " 1015551234" << true << QVariantMap{{"Extension", "101"}, {"Phone", "5551234"}};
        const QString maxLength = "[extension:7)(phone:7]{max_extension_length:4}";
        QTest::newRow("long extension swapped") << maxLength << "1234567    101" << true
                                                << QVariantMap{{"Extension", "101"}, {"Phone", "1234567"}};
        QTest::newRow("extension not longer than phone")
            << maxLength << "12345  1234567" << true
            << QVariantMap{{"Extension", "12345"}, {"Phone", "1234567"}};
        QTest::newRow("short extension kept")
            << maxLength << "1234         1" << true << QVariantMap{{"Extension", "1234"}, {"Phone", "1"}};

        const QString start = "(hour)(min)(sec)(dursec:3){date_time:start}";
        QTest::newRow("start time moved to completion")
            << start << "100000090" << true << QVariantMap{{"DateTime", At(10, 1, 30)}};
        QTest::newRow("completion time kept") << "(hour)(min)(sec)(dursec:3){date_time:end}"
                                              << "100000090" << true << QVariantMap{{"DateTime", At(10, 0)}};
        QTest::newRow("no duration, no move")
            << start << "100000   " << true << QVariantMap{{"DateTime", At(10, 0)}};
        QTest::newRow("start before midnight")
            << "(day)(month)(year:4)(hour)(min)(sec)(dursec:5){date_time:start}"
            << "15022026235930"
               "00060"
            << true << QVariantMap{{"DateTime", At(0, 0, 30, QDate(2026, 2, 16))}};
    }
    void matchLine()
    {
        QFETCH(QString, format);
        QFETCH(QString, line);
        QFETCH(bool, matches);
        QFETCH(QVariantMap, expected);
        TCallString schema;
        QVERIFY(schema.Parse(format));
        TCallRecord record;
        QCOMPARE(MatchLine(schema, line, record, DateTimeFromQDateTime(kNow)), matches);
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QCOMPARE(DescribeValue(RecordField(record, it.key())), DescribeValue(it.value()));
    }

    void generate_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QVariantMap>("record");
        QTest::addColumn<QString>("line");

        QTest::newRow("00:30 12-hour") << "(hour)(ampm:2)" << QVariantMap{{"DateTime", At(0, 30)}} << "12AM";
        QTest::newRow("12:30 12-hour") << "(hour)(ampm:2)" << QVariantMap{{"DateTime", At(12, 30)}} << "12PM";
        QTest::newRow("15:00 12-hour") << "(hour)(ampm:2)" << QVariantMap{{"DateTime", At(15, 0)}} << "03PM";
        QTest::newRow("09:05 12-hour")
            << "(hour)(min)(ampm)" << QVariantMap{{"DateTime", At(9, 5)}} << "0905A";
        QTest::newRow("24-hour") << "(hour):(min):(sec)" << QVariantMap{{"DateTime", At(15, 4, 9)}}
                                 << "15:04:09";
        QTest::newRow("tens of seconds") << "(sec:1)" << QVariantMap{{"DateTime", At(0, 0, 47)}} << "7";
        QTest::newRow("date") << "(year)(month)(day) (year:4)"
                              << QVariantMap{{"DateTime", At(0, 0, 0, QDate(2026, 3, 7))}} << "260307 2026";
        QTest::newRow("null pin code") << "[pincode:4)" << QVariantMap{} << "    ";
        QTest::newRow("long phone written whole")
            << "(phone:3)" << QVariantMap{{"Phone", "1234567"}} << "1234567";
        QTest::newRow("hours") << "(durhour:3)" << QVariantMap{{"Duration", 3725}} << "001";
        QTest::newRow("minutes") << "(durmin)" << QVariantMap{{"Duration", 3725}} << "02";
        QTest::newRow("seconds") << "(dursec:2)" << QVariantMap{{"Duration", 3725}} << "05";
        QTest::newRow("tens of duration seconds") << "(dursec:1)" << QVariantMap{{"Duration", 3725}} << "0";
        QTest::newRow("wide seconds") << "(dursec:6)" << QVariantMap{{"Duration", 3725}} << "003725";
        QTest::newRow("null duration") << "(durhour:3)|(durmin)|(dursec:1)" << QVariantMap{} << "   |  | ";
        QTest::newRow("hours wider than field") << "(durhour:1)" << QVariantMap{{"Duration", 36000}} << "10";
        QTest::newRow("no alignment") << "(extension:5)" << QVariantMap{{"Extension", "12"}} << "  12 ";
        QTest::newRow("no alignment, even gap")
            << "(extension:6)" << QVariantMap{{"Extension", "12"}} << "  12  ";
        QTest::newRow("both") << "[extension:5]" << QVariantMap{{"Extension", "12"}} << "  12 ";
        QTest::newRow("left") << "[extension:5)" << QVariantMap{{"Extension", "12"}} << "12   ";
        QTest::newRow("right") << "(extension:5]" << QVariantMap{{"Extension", "12"}} << "   12";
        QTest::newRow("counter") << "(trunk:4]" << QVariantMap{{"Trunk", 7}} << "   7";
        QTest::newRow("literal") << "\\?\\?$ \\t\\n\\r" << QVariantMap{} << "  $ \t\n\r";
        QTest::newRow("start time") << "(hour)(min)(sec){date_time:start}"
                                    << QVariantMap{{"DateTime", At(10, 0)}, {"Duration", 90}} << "095830";
        QTest::newRow("completion time")
            << "(hour)(min)(sec){date_time:end}" << QVariantMap{{"DateTime", At(10, 0)}, {"Duration", 90}}
            << "100000";
        QTest::newRow("start time, no duration")
            << "(hour)(min)(sec){date_time:start}" << QVariantMap{{"DateTime", At(10, 0)}} << "100000";
        QTest::newRow("swap before writing")
            << "(type:1)[extension:7)(phone:7]{swap_extension_and_phone:9,R}"
            << QVariantMap{{"CallType", "R"}, {"Extension", "101"}, {"Phone", "5551234"}}
            << "R5551234    101";
        QTest::newRow("max length writes as is")
            << "[extension:7)(phone:7]{max_extension_length:4}"
            << QVariantMap{{"Extension", "1234567"}, {"Phone", "101"}} << "1234567    101";
    }
    void generate()
    {
        QFETCH(QString, format);
        QFETCH(QVariantMap, record);
        QFETCH(QString, line);
        TCallString schema;
        QVERIFY(schema.Parse(format));
        TCallRecord input;
        input.Clear(DateTimeFromQDateTime(kNow));
        SetRecordFields(input, record);
        const TCallRecord before = input;
        QCOMPARE(schema.Generate(input), line);
        QCOMPARE(input.DateTime, before.DateTime);
        QCOMPARE(input.Extension, before.Extension);
    }

    // Generating element by element shows what the elements leave in the record for the
    // elements written before them.
    void elementsAdjustRecordWhileGenerating()
    {
        TCallString schema;
        QVERIFY(schema.Parse("(ampm){date_time:start}"));
        TCallRecord record;
        record.DateTime = DateTimeFromQDateTime(At(0, 30));
        record.Duration = 60;
        QCOMPARE(schema.Elements()[1]->Generate(record), QString());
        QCOMPARE(DateTimeToQDateTime(record.DateTime), At(0, 29));
        QCOMPARE(schema.Elements()[0]->Generate(record), QString("A"));
        QCOMPARE(DateTimeToQDateTime(record.DateTime), At(12, 29));
    }
};

QTEST_GUILESS_MAIN(TestSchemaMatch)
#include "tst_schema_match.moc"
