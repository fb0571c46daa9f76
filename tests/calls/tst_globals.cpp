#include "core/Errors.h"
#include "calls/Globals.h"
#include "core/RegionalSettings.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

void UseRegional(QChar separator, const QString& symbol = QStringLiteral("$"), int placement = 0)
{
    TRegionalSettings rs;
    rs.DecimalSeparator = separator;
    rs.CurrencyString = symbol;
    rs.CurrencyFormat = placement;
    rs.ShortDateFormat = QStringLiteral("dd.mm.yyyy");
    rs.LongTimeFormat = QStringLiteral("hh:nn:ss");
    TRegionalSettings::SetCurrent(rs);
}

QString Bytes(std::initializer_list<int> codes)
{
    QString text;
    for (int code : codes)
        text += QChar(static_cast<char16_t>(code));
    return text;
}

}  // namespace

class TestGlobals : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { UseRegional(QLatin1Char('.')); }

    void floatToTextDot_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("half") << 1.5 << "1.5";
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("negative") << -2.25 << "-2.25";
        QTest::newRow("day with time") << 39082.5 << "39082.5";
        QTest::newRow("noise rounds away") << 0.1 + 0.2 << "0.3";
        QTest::newRow("15 integer digits") << 123456789012345.0 << "123456789012345";
        QTest::newRow("16 integer digits") << 1234567890123456.0 << "1.23456789012346E15";
        QTest::newRow("large") << 1.5e20 << "1.5E20";
        QTest::newRow("smallest fixed") << 0.00001 << "0.00001";
        QTest::newRow("tiny") << 0.000001 << "1E-6";
    }
    void floatToTextDot()
    {
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(FloatToTextDot(value), expected);
        UseRegional(QLatin1Char(','));
        QCOMPARE(FloatToTextDot(value), expected);
    }

    void textDotToFloat_data()
    {
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        const double def = -7;
        QTest::newRow("dot under dot") << QChar('.') << "1.5" << 1.5;
        QTest::newRow("dot under comma") << QChar(',') << "1.5" << 1.5;
        QTest::newRow("comma under comma") << QChar(',') << "1,5" << 1.5;
        QTest::newRow("comma under dot") << QChar('.') << "1,5" << def;
        QTest::newRow("second dot") << QChar(',') << "1.5.3" << def;
        QTest::newRow("blanks around") << QChar('.') << " 2 " << 2.0;
        QTest::newRow("exponent") << QChar('.') << "-3e2" << -300.0;
        QTest::newRow("dot exponent") << QChar(',') << "1.5E20" << 1.5e20;
        QTest::newRow("leading dot") << QChar('.') << ".5" << 0.5;
        QTest::newRow("trailing dot") << QChar('.') << "5." << 5.0;
        QTest::newRow("empty") << QChar('.') << "" << def;
        QTest::newRow("dot alone") << QChar('.') << "." << def;
        QTest::newRow("word") << QChar('.') << "abc" << def;
        QTest::newRow("trailing word") << QChar('.') << "12abc" << def;
        QTest::newRow("exponent without digits") << QChar('.') << "1e" << def;
        QTest::newRow("overflow") << QChar('.') << "1e999" << def;
        QTest::newRow("infinity") << QChar('.') << "INF" << def;
    }
    void textDotToFloat()
    {
        QFETCH(QChar, separator);
        QFETCH(QString, text);
        QFETCH(double, expected);
        UseRegional(separator);
        QCOMPARE(TextDotToFloat(text, -7), expected);
    }

    void counts_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("half to even down") << 2.5 << "2";
        QTest::newRow("half to even up") << 1.5 << "2";
        QTest::newRow("half to zero") << 0.5 << "0";
        QTest::newRow("negative half") << -2.5 << "-2";
        QTest::newRow("negative to zero") << -0.4 << "0";
        QTest::newRow("below half") << 12.49 << "12";
        QTest::newRow("large") << 1e20 << "100000000000000000000";
    }
    void counts()
    {
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(FormatCount(value), expected);
    }

    void parseCount_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("previous");
        QTest::addColumn<double>("expected");
        QTest::newRow("trailing words") << "12 calls" << 0.0 << 12.0;
        QTest::newRow("leading blanks") << "   7" << 0.0 << 7.0;
        QTest::newRow("sign") << "-3x" << 0.0 << -3.0;
        QTest::newRow("plus") << "+4" << 0.0 << 4.0;
        QTest::newRow("word keeps rounded previous") << "abc" << 2.5 << 2.0;
        QTest::newRow("empty keeps rounded previous") << "" << 3.5 << 4.0;
        QTest::newRow("sign alone") << "-" << 5.0 << 5.0;
        QTest::newRow("number after word") << "x12" << 1.0 << 1.0;
        QTest::newRow("fraction ignored") << "3.9" << 0.0 << 3.0;
        QTest::newRow("beyond a double keeps rounded previous") << QString(400, QLatin1Char('9')) << 6.5 << 6.0;
        QTest::newRow("largest finite digits") << QString(300, QLatin1Char('9')) << 0.0 << 1e300;
    }
    void parseCount()
    {
        QFETCH(QString, text);
        QFETCH(double, previous);
        QFETCH(double, expected);
        QCOMPARE(ParseCount(text, previous), expected);
    }

    void formatDuration_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("expected");
        QTest::newRow("zero") << 0.0 << "0s";
        QTest::newRow("below half a second") << 0.4 << "0s";
        QTest::newRow("minute") << 60.0 << "1m";
        QTest::newRow("hour") << 3600.0 << "1h";
        QTest::newRow("hour and a second") << 3601.0 << "1h,1s";
        QTest::newRow("all but days") << 3725.0 << "1h,2m,5s";
        QTest::newRow("day") << 86400.0 << "1d";
        QTest::newRow("every unit") << 90061.0 << "1d,1h,1m,1s";
        QTest::newRow("gap in the middle") << 3605.0 << "1h,5s";
        QTest::newRow("seconds only") << 59.0 << "59s";
        QTest::newRow("rounds half to even up") << 59.5 << "1m";
        QTest::newRow("rounds half to even down") << 2.5 << "2s";
        QTest::newRow("two days and a minute") << 172860.0 << "2d,1m";
        QTest::newRow("negative shows the magnitude") << -90.0 << "1m,30s";
    }
    void formatDuration()
    {
        QFETCH(double, seconds);
        QFETCH(QString, expected);
        QCOMPARE(FormatDuration(seconds), expected);
    }

    void parseDuration_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("previous");
        QTest::addColumn<double>("expected");
        QTest::newRow("day and hours") << "1d,2h" << 0.0 << 93600.0;
        QTest::newRow("blank after comma") << "1d, 2h" << 0.0 << 93600.0;
        QTest::newRow("blank separated") << "2h 30m" << 0.0 << 9000.0;
        QTest::newRow("seconds") << "90s" << 0.0 << 90.0;
        QTest::newRow("no separator") << "1d2h" << 0.0 << 93600.0;
        QTest::newRow("minutes and seconds") << "5m,10s" << 0.0 << 310.0;
        QTest::newRow("unit twice counts once") << "1h,1h" << 0.0 << 3600.0;
        QTest::newRow("negative") << "-5m" << 0.0 << -300.0;
        QTest::newRow("word keeps previous") << "abc" << 42.0 << 42.0;
        QTest::newRow("empty keeps rounded previous") << "" << 7.6 << 8.0;
        QTest::newRow("number without unit keeps previous") << "10" << 3.0 << 3.0;
        QTest::newRow("unreadable unit leaves the text") << "xh 5m" << 11.0 << 11.0;
        QTest::newRow("explicit zero replaces") << "0s" << 50.0 << 0.0;
    }
    void parseDuration()
    {
        QFETCH(QString, text);
        QFETCH(double, previous);
        QFETCH(double, expected);
        QCOMPARE(ParseDuration(text, previous), expected);
    }

    void durationInDays()
    {
        QCOMPARE(FormatDurationDays(1.5), QStringLiteral("1d,12h"));
        QCOMPARE(ParseDurationDays(QStringLiteral("12h"), 0), 0.5);
        QCOMPARE(ParseDurationDays(QStringLiteral("abc"), 0.25), 0.25);
    }

    void durationPattern_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("expected");
        QTest::newRow("hours minutes seconds") << qint64(3725) << "h:nn:ss"
                                               << "1:02:05";
        QTest::newRow("quoted day letter") << qint64(93784) << "d'd' hh:nn"
                                           << "1d 02:03";
        QTest::newRow("hours beyond a day") << qint64(93784) << "hh:nn"
                                            << "26:03";
        QTest::newRow("zero minutes") << qint64(0) << "n"
                                      << "0";
        QTest::newRow("no letters copies") << qint64(93784) << "-:. x"
                                           << "-:. x";
        QTest::newRow("quoted letter printed") << qint64(3725) << "'h'"
                                               << "h";
        QTest::newRow("double quotes") << qint64(93784) << "\"d\"d"
                                       << "d1";
        QTest::newRow("unterminated quote") << qint64(3725) << "h 'rest"
                                            << "1 rest";
        QTest::newRow("negative gets one sign") << qint64(-3725) << "h:nn:ss"
                                                << "-1:02:05";
        QTest::newRow("no hours: minutes unbounded") << qint64(3725) << "nn:ss"
                                                     << "62:05";
        QTest::newRow("only days: minutes modulo 1440") << qint64(93784) << "d n"
                                                        << "1 123";
        QTest::newRow("only days: seconds modulo 86400") << qint64(93784) << "d s"
                                                         << "1 7384";
        QTest::newRow("seconds alone") << qint64(93784) << "s"
                                       << "93784";
        QTest::newRow("zero padding") << qint64(5) << "sss"
                                      << "005";
        QTest::newRow("quoted letter is not present") << qint64(3725) << "'h' nn"
                                                      << "h 62";
        QTest::newRow("upper case copied") << qint64(5) << "H:nn"
                                           << "H:00";
    }
    void durationPattern()
    {
        QFETCH(qint64, seconds);
        QFETCH(QString, pattern);
        QFETCH(QString, expected);
        QCOMPARE(FormatDurationPattern(seconds, pattern), expected);
    }

    void formatMoney_data()
    {
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<int>("placement");
        QTest::addColumn<double>("amount");
        QTest::addColumn<QString>("expected");
        QTest::newRow("before") << QChar('.') << "$" << 0 << 12.5 << "$12.5";
        QTest::newRow("after") << QChar('.') << "$" << 1 << 12.5 << "12.5$";
        QTest::newRow("before with blank") << QChar('.') << "$" << 2 << 12.5 << "$ 12.5";
        QTest::newRow("after with blank") << QChar('.') << "$" << 3 << 12.5 << "12.5 $";
        QTest::newRow("comma, long symbol before") << QChar(',') << "EUR" << 0 << 12.5 << "EUR12,5";
        QTest::newRow("comma, long symbol after") << QChar(',') << "лв" << 3 << 12.5 << "12,5 лв";
        QTest::newRow("whole amount") << QChar('.') << "$" << 0 << 1000.0 << "$1000";
        QTest::newRow("zero") << QChar('.') << "$" << 0 << 0.0 << "$0";
        QTest::newRow("negative") << QChar('.') << "$" << 0 << -3.25 << "$-3.25";
        QTest::newRow("four decimals") << QChar('.') << "$" << 0 << 1.23456 << "$1.2346";
        QTest::newRow("fifth decimal drops") << QChar('.') << "$" << 0 << 1.00001 << "$1";
        QTest::newRow("more than 15 digits exact")
            << QChar('.') << "$" << 0 << 123456789012.3456 << "$123456789012.3456";
    }
    void formatMoney()
    {
        QFETCH(QChar, separator);
        QFETCH(QString, symbol);
        QFETCH(int, placement);
        QFETCH(double, amount);
        QFETCH(QString, expected);
        UseRegional(separator, symbol, placement);
        QCOMPARE(FormatMoney(amount), expected);
    }

    void parseMoney_data()
    {
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<int>("placement");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        const double previous = 9.75;
        QTest::newRow("symbol before") << QChar('.') << "$" << 0 << "$12.5" << 12.5;
        QTest::newRow("no symbol") << QChar('.') << "$" << 0 << "12.5" << 12.5;
        QTest::newRow("symbol after") << QChar('.') << "$" << 1 << "12.5$" << 12.5;
        QTest::newRow("before with blank") << QChar('.') << "$" << 2 << "$ 12.5" << 12.5;
        QTest::newRow("after with blank, comma") << QChar(',') << "лв" << 3 << "12,5 лв" << 12.5;
        QTest::newRow("long symbol before") << QChar('.') << "EUR" << 0 << "EUR7" << 7.0;
        QTest::newRow("text after symbol ignored") << QChar('.') << "EUR" << 1 << "7EUR junk" << 7.0;
        QTest::newRow("symbol alone keeps") << QChar('.') << "$" << 0 << "$" << previous;
        QTest::newRow("word keeps") << QChar('.') << "$" << 0 << "abc" << previous;
        QTest::newRow("dot under comma keeps") << QChar(',') << "$" << 0 << "12.5" << previous;
        QTest::newRow("empty keeps") << QChar('.') << "$" << 0 << "" << previous;
    }
    void parseMoney()
    {
        QFETCH(QChar, separator);
        QFETCH(QString, symbol);
        QFETCH(int, placement);
        QFETCH(QString, text);
        QFETCH(double, expected);
        UseRegional(separator, symbol, placement);
        QCOMPARE(ParseMoney(text, 9.75), expected);
    }

    void moneyRoundTrip()
    {
        for (int placement = 0; placement < 4; ++placement) {
            UseRegional(QLatin1Char(','), QStringLiteral("лв"), placement);
            QCOMPARE(ParseMoney(FormatMoney(1234.56), 0), 1234.56);
        }
    }

    void durationScale_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<double>("seconds");
        const int rows[][2] = {{0, 0},     {10, 10},    {11, 15},    {20, 60},          {21, 90},
                               {28, 300},  {29, 360},   {38, 900},   {39, 1200},        {47, 3600},
                               {48, 5400}, {57, 21600}, {58, 25200}, {32767, 117777600}};
        for (const auto& row : rows) {
            QTest::addRow("%d", row[0]) << row[0] << double(row[1]);
            if (row[0] != 0)
                QTest::addRow("%d", -row[0]) << -row[0] << -double(row[1]);
        }
        QTest::addRow("-32768") << -32768 << -117781200.0;
    }
    void durationScale()
    {
        QFETCH(int, position);
        QFETCH(double, seconds);
        const double days = DurationScaleToDays(static_cast<qint16>(position));
        QCOMPARE(std::round(days * 86400), seconds);
        QCOMPARE(int(DaysToDurationScale(seconds / 86400)), qBound(-32767, position, 32767));
    }

    void durationScaleInverse_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("position");
        QTest::newRow("11 s below 15 s") << 11.0 << 10;
        QTest::newRow("14 s") << 14.0 << 10;
        QTest::newRow("61 s") << 61.0 << 20;
        QTest::newRow("89 s") << 89.0 << 20;
        QTest::newRow("301 s") << 301.0 << 28;
        QTest::newRow("359 s") << 359.0 << 28;
        QTest::newRow("7 min") << 420.0 << 30;
        QTest::newRow("just below 20 min") << 1199.0 << 38;
        QTest::newRow("just below 90 min") << 5399.0 << 47;
        QTest::newRow("just below 7 h") << 25199.0 << 57;
        QTest::newRow("rounded second") << 59.6 << 20;
        QTest::newRow("capped") << 1e12 << 32767;
        QTest::newRow("negative mirrors") << -61.0 << -20;
        QTest::newRow("negative capped") << -1e12 << -32767;
    }
    void durationScaleInverse()
    {
        QFETCH(double, seconds);
        QFETCH(int, position);
        QCOMPARE(int(DaysToDurationScale(seconds / 86400)), position);
    }

    void moneyScale_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<double>("amount");
        const struct {
            int Position;
            double Amount;
        } rows[] = {{0, 0},          {100, 1},        {101, 1.05},       {280, 10},      {281, 10.1},
                    {380, 20},       {381, 20.5},     {540, 100},        {541, 101},     {1440, 1000},
                    {1441, 1010},    {2340, 10000},   {2341, 10100},     {3240, 100000}, {3241, 101000},
                    {4140, 1000000}, {4141, 1010000}, {32767, 287270000}};
        for (const auto& row : rows) {
            QTest::addRow("%d", row.Position) << row.Position << row.Amount;
            if (row.Position != 0)
                QTest::addRow("%d", -row.Position) << -row.Position << -row.Amount;
        }
    }
    void moneyScale()
    {
        QFETCH(int, position);
        QFETCH(double, amount);
        QCOMPARE(MoneyScaleToValue(static_cast<qint16>(position)), amount);
        QCOMPARE(int(ValueToMoneyScale(amount)), position);
    }

    void moneyScaleInverse_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<int>("position");
        QTest::newRow("0.07") << 0.07 << 7;
        QTest::newRow("10.05 between steps") << 10.05 << 280;
        QTest::newRow("1000") << 1000.0 << 1440;
        QTest::newRow("1000.4") << 1000.4 << 1440;
        QTest::newRow("100.6 stays below 101") << 100.6 << 540;
        QTest::newRow("1005") << 1005.0 << 1440;
        QTest::newRow("capped") << 1e12 << 32767;
        QTest::newRow("negative") << -1.0 << -100;
    }
    void moneyScaleInverse()
    {
        QFETCH(double, amount);
        QFETCH(int, position);
        QCOMPARE(int(ValueToMoneyScale(amount)), position);
    }

    void countScale_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<double>("value");
        const int rows[][2] = {{0, 0},          {100, 100},        {101, 105},     {280, 1000},
                               {281, 1010},     {380, 2000},       {381, 2050},    {540, 10000},
                               {541, 10100},    {1440, 100000},    {1441, 101000}, {2340, 1000000},
                               {2341, 1010000}, {32767, 305270000}};
        for (const auto& row : rows) {
            QTest::addRow("%d", row[0]) << row[0] << double(row[1]);
            if (row[0] != 0)
                QTest::addRow("%d", -row[0]) << -row[0] << -double(row[1]);
        }
    }
    void countScale()
    {
        QFETCH(int, position);
        QFETCH(double, value);
        QCOMPARE(CountScaleToValue(static_cast<qint16>(position)), value);
        QCOMPARE(int(ValueToCountScale(value)), position);
    }

    void countScaleInverse_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("position");
        QTest::newRow("101") << 101.0 << 100;
        QTest::newRow("105") << 105.0 << 101;
        QTest::newRow("1009") << 1009.0 << 280;
        QTest::newRow("capped") << 1e15 << 32767;
        QTest::newRow("negative") << -105.0 << -101;
    }
    void countScaleInverse()
    {
        QFETCH(double, value);
        QFETCH(int, position);
        QCOMPARE(int(ValueToCountScale(value)), position);
    }

    // Every position maps back to itself, so each scale is strictly increasing and each
    // inverse finds the largest position not above the value.
    void scalesRoundTripEveryPosition()
    {
        for (int p = -32767; p <= 32767; ++p) {
            const auto position = static_cast<qint16>(p);
            QCOMPARE(int(DaysToDurationScale(DurationScaleToDays(position))), p);
            QCOMPARE(int(ValueToMoneyScale(MoneyScaleToValue(position))), p);
            QCOMPARE(int(ValueToCountScale(CountScaleToValue(position))), p);
            if (p > 0) {
                const auto below = static_cast<qint16>(p - 1);
                QVERIFY(MoneyScaleToValue(position) > MoneyScaleToValue(below));
                QCOMPARE(int(ValueToMoneyScale(MoneyScaleToValue(position) - 0.01)), p - 1);
                QCOMPARE(int(ValueToCountScale(CountScaleToValue(position) - 1)), p - 1);
                QCOMPARE(int(DaysToDurationScale(DurationScaleToDays(position) - 1.0 / 86400)), p - 1);
            }
        }
    }

    void sqlDateTime_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("midnight") << EncodeDateTime(2006, 12, 1) << "'2006-12-01'";
        QTest::newRow("noon") << EncodeDateTime(2006, 12, 1, 12) << "'2006-12-01 12:00:00'";
        QTest::newRow("milliseconds")
            << EncodeDateTime(2006, 12, 1, 13, 5, 9, 123) << "'2006-12-01 13:05:09.123'";
        QTest::newRow("last second") << EncodeDateTime(2006, 12, 31, 23, 59, 59) << "'2006-12-31 23:59:59'";
        QTest::newRow("one millisecond")
            << EncodeDateTime(2006, 12, 1, 0, 0, 0, 1) << "'2006-12-01 00:00:00.001'";
        QTest::newRow("rounds up to midnight") << 39052.99999999999 << "'2006-12-02'";
        QTest::newRow("before the epoch") << -1.25 << "'1899-12-29 06:00:00'";
        QTest::newRow("small year") << EncodeDateTime(999, 1, 2) << "'0999-01-02'";
    }
    void sqlDateTime()
    {
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(SqlDateTime(value), expected);
    }

    void listCondition_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << QStringList() << "";
        QTest::newRow("one") << QStringList{"1"} << "c.TRUNK = '1'";
        QTest::newRow("two") << QStringList{"1", "2"} << "c.TRUNK in ('1', '2')";
        QTest::newRow("quote doubled") << QStringList{"O'Brien"} << "c.TRUNK = 'O''Brien'";
        QTest::newRow("quotes in a list") << QStringList{"'", "a''b"} << "c.TRUNK in ('''', 'a''''b')";
        QTest::newRow("empty value") << QStringList{""} << "c.TRUNK = ''";
    }
    void listCondition()
    {
        QFETCH(QStringList, values);
        QFETCH(QString, expected);
        QCOMPARE(ListCondition(QStringLiteral("c.TRUNK"), values), expected);
    }

    void conditionsAndClauses()
    {
        QCOMPARE(NullCondition(QString(), QStringLiteral("c.X")), QStringLiteral("c.X is null"));
        QCOMPARE(NullCondition(QStringLiteral("c.X = '1'"), QStringLiteral("c.X")),
                 QStringLiteral("c.X = '1' or c.X is null"));
        QCOMPARE(AndConditions({"a", "", "b"}), QStringLiteral("(a)\r\nand (b)"));
        QCOMPARE(AndConditions({"a"}), QStringLiteral("(a)"));
        QCOMPARE(AndConditions({"", ""}), QString());
        QCOMPARE(AndConditions({}), QString());
        QCOMPARE(Clause(QStringLiteral("where "), QStringLiteral("x"), QStringLiteral("\r\n")),
                 QStringLiteral("where x\r\n"));
        QCOMPARE(Clause(QStringLiteral("where "), QString(), QStringLiteral("\r\n")), QString());
    }

    void splitText_data()
    {
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty middle") << QChar(',') << "a,,b" << QStringList{"a", "", "b"};
        QTest::newRow("empty text") << QChar(',') << "" << QStringList();
        QTest::newRow("separator alone") << QChar(',') << "," << QStringList{"", ""};
        QTest::newRow("not trimmed") << QChar(',') << " a , b" << QStringList{" a ", " b"};
        QTest::newRow("other separator") << QChar(';') << "a,b;c" << QStringList{"a,b", "c"};
        QTest::newRow("no separator") << QChar(',') << "abc" << QStringList{"abc"};
    }
    void splitText()
    {
        QFETCH(QChar, separator);
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QCOMPARE(SplitText(separator, text), expected);
        if (!text.isEmpty())
            QCOMPARE(JoinTexts(QString(separator), SplitText(separator, text)), text);
    }

    void joinsPairsAndRanges()
    {
        QCOMPARE(JoinTexts(QStringLiteral(", "), {}), QString());
        QCOMPARE(JoinTexts(QStringLiteral(", "), {"a"}), QStringLiteral("a"));
        QCOMPARE(JoinTexts(QStringLiteral(", "), {"a", "b"}), QStringLiteral("a, b"));
        double a = 5, b = 2;
        OrderPair(a, b);
        QCOMPARE(a, 2.0);
        QCOMPARE(b, 5.0);
        OrderPair(a, b);
        QCOMPARE(a, 2.0);
        UseRegional(QLatin1Char(','));
        QCOMPARE(RangeText(39082.5, 39083), QStringLiteral("39082.5,39083"));
    }

    void expandYear_data()
    {
        QTest::addColumn<int>("twoDigits");
        QTest::addColumn<int>("expected");
        QTest::newRow("26") << 26 << 2026;
        QTest::newRow("80") << 80 << 1980;
        QTest::newRow("75") << 75 << 2075;
        QTest::newRow("76") << 76 << 1976;
        QTest::newRow("0") << 0 << 2000;
        QTest::newRow("99") << 99 << 1999;
    }
    void expandYear()
    {
        QFETCH(int, twoDigits);
        QFETCH(int, expected);
        QCOMPARE(ExpandYear(twoDigits, 2026), expected);
    }

    void escapeControls_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("carriage return") << "a\rb"
                                         << "a# 13b";
        QTest::newRow("tab") << "\t"
                             << "#  9";
        QTest::newRow("delete") << Bytes({127}) << "#127";
        QTest::newRow("nul") << Bytes({0}) << "#  0";
        QTest::newRow("hash doubled") << "a#b"
                                      << "a##b";
        QTest::newRow("high bytes copied") << Bytes({128, 200, 255}) << Bytes({128, 200, 255});
        QTest::newRow("plain") << "abc 123"
                               << "abc 123";
    }
    void escapeControls()
    {
        QFETCH(QString, text);
        QFETCH(QString, escaped);
        QCOMPARE(EscapeControls(text), escaped);
        QCOMPARE(UnescapeControls(escaped), text);
    }

    void unescapeControls_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("complete") << "# 13"
                                  << "\r";
        QTest::newRow("partly") << "#1a" << Bytes({1, 'a'});
        QTest::newRow("blank then partly") << "# 1a" << Bytes({1, 'a'});
        QTest::newRow("three digits then more") << "#0655"
                                                << "A5";
        QTest::newRow("two hashes") << "##"
                                    << "#";
        QTest::newRow("hash then letter") << "#a"
                                          << "a";
        QTest::newRow("hash at the end") << "ab#"
                                         << "ab";
        QTest::newRow("short number at the end") << "#12" << Bytes({12});
        QTest::newRow("tab then text") << "#  9x"
                                       << "\tx";
    }
    void unescapeControls()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(UnescapeControls(text), expected);
    }

    void escapeRoundTripAllBytes()
    {
        QString all;
        for (int a = 0; a < 256; ++a) {
            all += QChar(static_cast<char16_t>(a));
            for (int b = 0; b < 256; ++b) {
                const QString pair = Bytes({a, b});
                QCOMPARE(UnescapeControls(EscapeControls(pair)), pair);
            }
        }
        QCOMPARE(UnescapeControls(EscapeControls(all)), all);
        std::reverse(all.begin(), all.end());
        QCOMPARE(UnescapeControls(EscapeControls(all)), all);

        // Texts dense in "#", digits, blanks and control characters.
        const int alphabet[] = {'#', '#', '0', '1', '9', ' ', '\t', '\r', 0, 127, 'a', 255};
        QRandomGenerator random(1690);
        for (int round = 0; round < 20000; ++round) {
            QString text;
            const int length = random.bounded(1, 12);
            for (int i = 0; i < length; ++i)
                text += QChar(static_cast<char16_t>(alphabet[random.bounded(int(std::size(alphabet)))]));
            QCOMPARE(UnescapeControls(EscapeControls(text)), text);
        }
    }

    void loadFileBytes()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QCOMPARE(LoadFileBytes(dir.filePath(QStringLiteral("missing.tvz"))), QByteArray());
        QCOMPARE(LoadFileBytes(QString()), QByteArray());

        const QByteArray content("\x00\x01\xff\r\nrest", 9);
        QFile file(dir.filePath(QStringLiteral("archive.tvz")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        QCOMPARE(LoadFileBytes(file.fileName()), content);

        QFile empty(dir.filePath(QStringLiteral("empty.tvz")));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QCOMPARE(LoadFileBytes(empty.fileName()), QByteArray());

        // A directory exists but cannot be read as a file.
        QVERIFY_THROWS_EXCEPTION(EInOutError, LoadFileBytes(dir.path()));
    }
};

QTEST_GUILESS_MAIN(TestGlobals)
#include "tst_globals.moc"
