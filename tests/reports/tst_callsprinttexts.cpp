// The texts of a printed call report: the totals line from the six evaluated values (every
// part that can be missing, amounts at an exact half, a "," locale with the sums written
// either way) and the headers of the extension and PIN grouping levels.

#include "core/RegionalSettings.h"
#include "reports/CallsPrintTexts.h"
#include "support/RegionalPresets.h"

#include <QTest>

class TestCallsPrintTexts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { CreateCallFieldInfos(); }
    void cleanup() { TRegionalSettings::SetCurrent(PointDollars()); }

    void totals_data()
    {
        QTest::addColumn<bool>("comma");
        QTest::addColumn<QString>("evaluated");
        QTest::addColumn<QString>("line");

        QTest::newRow("grouped, every part") << false << "12|150|18130|12.5|2.5|300"
                                             << "Totals: 12 rows; 150 calls; 5h,2m,10s; 12.50 + 2.50 = $15; "
                                                "300 pulses; ";
        QTest::newRow("ungrouped without charges") << false << "|40|7210|||95"
                                                   << "Totals: 40 calls; 2h,10s; 95 pulses; ";
        QTest::newRow("grouped without VAT") << false << "3|10|600|4.5||20"
                                             << "Totals: 3 rows; 10 calls; 10m; $4.5; 20 pulses; ";
        QTest::newRow("VAT without raw charge") << false << "3|10|600||0.9|20"
                                                << "Totals: 3 rows; 10 calls; 10m; $0.9; 20 pulses; ";
        QTest::newRow("all zero") << false << "1|1|0|0|0|0"
                                  << "Totals: 1 rows; 1 calls; 0s; 0.00 + 0.00 = $0; 0 pulses; ";
        QTest::newRow("halves round away from zero") << false << "|2|61|0.125|0.005|"
                                                     << "Totals: 2 calls; 1m,1s; 0.13 + 0.01 = $0.13; ";
        // 2.345 and 1.005 lie just below their halves as doubles; as amounts they are halves.
        QTest::newRow("decimal halves that doubles miss") << false << "|2|1|2.345|1.005|"
                                                          << "Totals: 2 calls; 1s; 2.35 + 1.01 = $3.35; ";
        QTest::newRow("the sum rounds once") << false << "|1|1|0.004|0.004|"
                                             << "Totals: 1 calls; 1s; 0.00 + 0.00 = $0.01; ";
        QTest::newRow("a negative raw charge counts as absent") << false << "|1|1|-2|0.5|"
                                                                << "Totals: 1 calls; 1s; $0.5; ";
        QTest::newRow("both negative print no charges") << false << "|1|1|-2|-0.5|"
                                                        << "Totals: 1 calls; 1s; ";
        QTest::newRow("amounts that do not read") << false << "|1|1|abc|x|"
                                                  << "Totals: 1 calls; 1s; ";
        QTest::newRow("a duration that does not read is left out") << false << "|1|soon|||"
                                                                   << "Totals: 1 calls; ";
        QTest::newRow("a duration with decimals") << false << "|1|61.0|||"
                                                  << "Totals: 1 calls; 1m,1s; ";
        QTest::newRow("fewer than six parts") << false << "5"
                                              << "Totals: 5 rows; ";
        QTest::newRow("nothing") << false << ""
                                 << "Totals: ";
        QTest::newRow("comma locale, sums with a point")
            << true << "2|7|3725|12.5|2.5|9"
            << "Totals: 2 rows; 7 calls; 1h,2m,5s; 12,50 + 2,50 = 15 EUR; 9 pulses; ";
        QTest::newRow("comma locale, sums with a comma")
            << true << "2|7|3725|12,5|2,5|9"
            << "Totals: 2 rows; 7 calls; 1h,2m,5s; 12,50 + 2,50 = 15 EUR; 9 pulses; ";
        QTest::newRow("comma locale, a half") << true << "|1|1|0.125|0|"
                                              << "Totals: 1 calls; 1s; 0,13 + 0,00 = 0,13 EUR; ";
    }
    void totals()
    {
        QFETCH(bool, comma);
        QFETCH(QString, evaluated);
        QFETCH(QString, line);
        TRegionalSettings::SetCurrent(comma ? CommaEuros() : PointDollars());
        QCOMPARE(TotalsText(evaluated), line);
    }

    void twoDecimals_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0.00";
        QTest::newRow("whole") << 15.0 << "15.00";
        QTest::newRow("half up") << 0.005 << "0.01";
        QTest::newRow("below half") << 0.0049 << "0.00";
        QTest::newRow("negative half away from zero") << -0.125 << "-0.13";
        QTest::newRow("large") << 1234567.895 << "1234567.90";
    }
    void twoDecimals()
    {
        QFETCH(double, amount);
        QFETCH(QString, text);
        QCOMPARE(TwoDecimalsText(amount), text);
    }

    void headers_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("header");

        QTest::newRow("extension, all three") << int(cfExtCode) << "101"
                                              << "Reception"
                                              << "Sales"
                                              << "Extension 101, \"Reception\" from \"Sales\" group";
        QTest::newRow("extension missing") << int(cfExtCode) << ""
                                           << ""
                                           << ""
                                           << "Extension missing";
        QTest::newRow("extension code only") << int(cfExtCode) << "101"
                                             << ""
                                             << ""
                                             << "Extension 101";
        QTest::newRow("extension name only") << int(cfExtCode) << ""
                                             << "Reception"
                                             << ""
                                             << "Extension, \"Reception\"";
        QTest::newRow("extension group only") << int(cfExtCode) << ""
                                              << ""
                                              << "Sales"
                                              << "Extension from \"Sales\" group";
        QTest::newRow("PIN code") << int(cfPinCode) << "5001"
                                  << "Director"
                                  << "Board"
                                  << "PIN code 5001, \"Director\" from \"Board\" group";
        QTest::newRow("PIN code missing") << int(cfPinCode) << ""
                                          << ""
                                          << ""
                                          << "PIN code missing";
        QTest::newRow("extension name, all three")
            << int(cfExtName) << "101"
            << "Reception"
            << "Sales"
            << "Extension name \"Reception\", 101 from \"Sales\" group";
        QTest::newRow("extension name empty, code known") << int(cfExtName) << "102"
                                                          << ""
                                                          << ""
                                                          << "Extension name \"\", 102";
        QTest::newRow("extension name missing") << int(cfExtName) << ""
                                                << ""
                                                << ""
                                                << "Extension name missing";
        QTest::newRow("PIN name") << int(cfPinName) << "5001"
                                  << "Director"
                                  << ""
                                  << "PIN name \"Director\", 5001";
        QTest::newRow("PIN name missing") << int(cfPinName) << ""
                                          << ""
                                          << ""
                                          << "PIN name missing";
    }
    void headers()
    {
        QFETCH(int, field);
        QFETCH(QString, code);
        QFETCH(QString, name);
        QFETCH(QString, group);
        QFETCH(QString, header);
        const auto id = static_cast<TCallFieldId>(field);
        const THeaderValues values{code, name, group};
        QCOMPARE(id == cfExtCode || id == cfPinCode ? ExtPinHeaderText(id, values)
                                                    : ExtPinNameHeaderText(id, values),
                 header);
    }
};

QTEST_MAIN(TestCallsPrintTexts)
#include "tst_callsprinttexts.moc"
