#include "core/DateTime.h"
#include "core/Numbers.h"
#include "core/RegionalSettings.h"
#include "core/Variants.h"

#include <QTest>

#include <cmath>
#include <limits>

class TestCore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TRegionalSettings::SetCurrent(TRegionalSettings()); }

    void dayNumbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QDateTime>("expected");
        QTest::newRow("epoch") << 0.0 << QDateTime(QDate(1899, 12, 30), QTime(0, 0));
        QTest::newRow("2006-12-01") << 39052.0 << QDateTime(QDate(2006, 12, 1), QTime(0, 0));
        QTest::newRow("noon") << 39052.5 << QDateTime(QDate(2006, 12, 1), QTime(12, 0));
        QTest::newRow("before epoch keeps time as magnitude")
            << -1.25 << QDateTime(QDate(1899, 12, 29), QTime(6, 0));
        QTest::newRow("rounds to the millisecond")
            << 39052.0 + 1.0 / 86400000.0 * 0.6 << QDateTime(QDate(2006, 12, 1), QTime(0, 0, 0, 1));
        QTest::newRow("rounded-up midnight carries") << 39052.99999999999 << QDateTime(QDate(2006, 12, 2), QTime(0, 0));
    }
    void dayNumbers()
    {
        QFETCH(double, value);
        QFETCH(QDateTime, expected);
        QCOMPARE(DateTimeToQDateTime(value), expected);
        if (expected.time().msec() == 0 && value == std::round(value * 86400.0) / 86400.0)
            QCOMPARE(DateTimeFromQDateTime(expected), value);
    }

    void incSeconds_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QDateTime>("expected");
        QTest::newRow("forward") << 39052.5 << 90.0 << QDateTime(QDate(2006, 12, 1), QTime(12, 1, 30));
        QTest::newRow("back over midnight") << 39052.0 << -30.0 << QDateTime(QDate(2006, 11, 30), QTime(23, 59, 30));
        QTest::newRow("across day zero") << 0.0 << -3600.0 << QDateTime(QDate(1899, 12, 29), QTime(23, 0));
        QTest::newRow("before epoch forward") << -1.25 << 3600.0 << QDateTime(QDate(1899, 12, 29), QTime(7, 0));
    }
    void incSeconds()
    {
        QFETCH(double, value);
        QFETCH(double, seconds);
        QFETCH(QDateTime, expected);
        QCOMPARE(DateTimeToQDateTime(IncSeconds(value, seconds)), expected);
    }

    // Values from outside (the wire, a file) may be no point in time at all: they convert
    // to nothing instead of to an undefined integer, and the first and last days of the
    // calendar range still convert.
    void valuesOutsideTheCalendar_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");  // yyyy-mm-dd hh:nn; empty: no point in time
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << QString();
        QTest::newRow("+infinity") << inf << QString();
        QTest::newRow("-infinity") << -inf << QString();
        QTest::newRow("beyond 64-bit days") << 1e300 << QString();
        QTest::newRow("far before") << -1e19 << QString();
        QTest::newRow("year 10000") << EndDateTime << QString();
        QTest::newRow("before year 1") << MinDateTime - 1 << QString();
        QTest::newRow("first day of year 1") << MinDateTime << QStringLiteral("0001-01-01 00:00");
        QTest::newRow("last minute of 9999") << EndDateTime - 1.0 / 1440 << QStringLiteral("9999-12-31 23:59");
    }
    void valuesOutsideTheCalendar()
    {
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(FormatDateTime(QStringLiteral("yyyy-mm-dd hh:nn"), value), expected);
        QCOMPARE(IsValidDateTime(value), !expected.isEmpty());
        QCOMPARE(DateTimeToQDateTime(value).isValid(), !expected.isEmpty());
        if (expected.isEmpty()) {
            QVERIFY(std::isnan(DateOf(value)));
            QVERIFY(std::isnan(IncSeconds(value, 1)));
            QCOMPARE(DateTimeToDefaultText(value), QString());
        } else {
            QCOMPARE(DateOf(value), std::floor(value));
        }
    }

    // Adding seconds never leaves the calendar silently.
    void incSecondsOutOfRange_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("seconds");
        QTest::newRow("past year 9999") << EndDateTime - 0.5 << 86400.0;
        QTest::newRow("before year 1") << MinDateTime << -1.0;
        QTest::newRow("huge count") << 0.0 << 1e300;
        QTest::newRow("NaN count") << 0.0 << std::numeric_limits<double>::quiet_NaN();
    }
    void incSecondsOutOfRange()
    {
        QFETCH(double, value);
        QFETCH(double, seconds);
        QVERIFY(std::isnan(IncSeconds(value, seconds)));
    }

    void formatDateTime_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("expected");
        QTest::newRow("log stamp") << "yyyy-mm-dd hh:nn:ss" << "2006-12-01 13:05:09";
        QTest::newRow("live log") << "dd mmm, hh:nn:ss" << "01 Dec, 13:05:09";
        QTest::newRow("short forms") << "d/m/yy h:n:s" << "1/12/06 13:5:9";
        QTest::newRow("milliseconds") << "ss.zzz" << "09.250";
        QTest::newRow("quoted letters") << "'hh' \"mm\" hh" << "hh mm 13";
        QTest::newRow("twelve hours") << "hh:nn am/pm" << "01:05 pm";
        QTest::newRow("ampm") << "h ampm" << "1 PM";
        QTest::newRow("upper-case letters") << "YYYY-MM-DD" << "2006-12-01";
        QTest::newRow("default form") << "c" << "01.12.2006 13:05:09";
        QTest::newRow("short date inside") << "ddddd t" << "01.12.2006 13:05";
        QTest::newRow("unknown letters copied") << "yyyy-mm-dd Q" << "2006-12-01 Q";
    }
    void formatDateTime()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, expected);
        const TDateTime t = EncodeDateTime(2006, 12, 1, 13, 5, 9, 250);
        QCOMPARE(FormatDateTime(pattern, t), expected);
    }

    void manyPatternsInTurn()
    {
        // More patterns than are kept parsed at once, several of them nesting others.
        const TDateTime t = EncodeDateTime(2006, 12, 1, 13, 5, 9, 250);
        for (int round = 0; round < 3; ++round)
            for (int k = 0; k < 12; ++k)
                QCOMPARE(FormatDateTime(QStringLiteral("c '%1'").arg(k), t),
                         QStringLiteral("01.12.2006 13:05:09 %1").arg(k));
    }

    void defaultTextOmitsMidnight()
    {
        QCOMPARE(DateTimeToDefaultText(EncodeDateTime(2006, 12, 31)), QStringLiteral("31.12.2006"));
        QCOMPARE(DateTimeToDefaultText(EncodeDateTime(2006, 12, 31, 23, 59, 59)),
                 QStringLiteral("31.12.2006 23:59:59"));
    }

    void encodeRefusesInvalidDates()
    {
        TDateTime out = 42;
        QVERIFY(!TryEncodeDate(2007, 2, 29, out));
        QVERIFY(!TryEncodeTime(24, 0, 0, 0, out));
        QCOMPARE(out, 42.0);
        QVERIFY(TryEncodeDate(2008, 2, 29, out));
    }

    void floatGeneral_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("half") << 1.5 << "1,5";
        QTest::newRow("negative") << -2.25 << "-2,25";
        QTest::newRow("integer") << 39083.0 << "39083";
        QTest::newRow("tenth") << 0.1 << "0,1";
        QTest::newRow("third") << 1.0 / 3.0 << "0,333333333333333";
        QTest::newRow("15 digits stay fixed") << 999999999999999.0 << "999999999999999";
        QTest::newRow("16 digits go scientific") << 1e15 << "1E15";
        QTest::newRow("large mantissa") << 1.5e20 << "1,5E20";
        QTest::newRow("smallest fixed") << 0.00001 << "0,00001";
        QTest::newRow("below fixed") << 0.000001 << "1E-6";
        QTest::newRow("rounding to 15 digits") << 0.1 + 0.2 << "0,3";
        QTest::newRow("time of day") << 39082.5 << "39082,5";
    }
    void floatGeneral()
    {
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(FloatToStrGeneral(value, QLatin1Char(',')), expected);
    }

    void qtFormats_data()
    {
        QTest::addColumn<QString>("qt");
        QTest::addColumn<QString>("product");
        QTest::newRow("date") << "dd.MM.yyyy" << "dd.mm.yyyy";
        QTest::newRow("time") << "HH:mm:ss" << "hh:nn:ss";
        QTest::newRow("zone dropped") << "h:mm:ss AP t" << "h:nn:ss ampm";
        QTest::newRow("literal") << "d 'de' MMMM" << "d \"de\" mmmm";
    }
    void qtFormats()
    {
        QFETCH(QString, qt);
        QFETCH(QString, product);
        QCOMPARE(TRegionalSettings::FromQtFormat(qt), product);
    }

    void currencyPlacementFromLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<int>("placement");
        QTest::newRow("en_US before") << QLocale(QLocale::English, QLocale::UnitedStates) << 0;
        QTest::newRow("de_DE after with blank") << QLocale(QLocale::German, QLocale::Germany) << 3;
    }
    void currencyPlacementFromLocale()
    {
        QFETCH(QLocale, locale);
        QFETCH(int, placement);
        QCOMPARE(TRegionalSettings::FromLocale(locale).CurrencyFormat, placement);
    }

    void varToStr_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("null") << QVariant() << "";
        QTest::newRow("int") << QVariant(42) << "42";
        QTest::newRow("real") << QVariant(2.5) << "2.5";
        QTest::newRow("bool") << QVariant(true) << "True";
        QTest::newRow("date") << VarFromDateTime(39052.5) << "01.12.2006 12:00:00";
        QTest::newRow("string") << QVariant(QStringLiteral("abc")) << "abc";
    }
    void varToStr()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        QCOMPARE(VarToStr(value), expected);
    }
};

QTEST_APPLESS_MAIN(TestCore)
#include "tst_core.moc"
