// The data formats of real exchanges read lines laid out as their call detail outputs are
// documented: full lines, lines the exchange leaves unpadded at the end, and a yearless date
// received just after the new year.

#include "core/RegionalSettings.h"
#include "schema/CallLineMatcher.h"
#include "schema/CallString.h"
#include "schema/ExchangeFormats.h"

#include <QTest>

namespace {

const TExchangeFormat& Format(const QString& name)
{
    for (const TExchangeFormat& f : ExchangeFormats())
        if (f.Name == name)
            return f;
    qFatal("no exchange format %s", qPrintable(name));
}

QString Value(const QVariant& v)
{
    return v.isValid() ? v.toString().trimmed() : QStringLiteral("<null>");
}

}  // namespace

class TestExchangeFormats : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TRegionalSettings::SetCurrent(TRegionalSettings()); }

    // Every format parses and is stored in canonical form.
    void canonical()
    {
        QVERIFY(ExchangeFormats().size() >= 3);
        for (const TExchangeFormat& f : ExchangeFormats()) {
            TCallString format;
            QVERIFY2(format.Parse(f.Text), qPrintable(f.Name));
            QCOMPARE(format.GetText(), f.Text);
        }
    }

    void lines_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QDateTime>("received");
        QTest::addColumn<QDateTime>("end");
        QTest::addColumn<int>("duration");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("phone");
        const QDateTime march(QDate(2024, 3, 5), QTime(18, 0));
        const QString panasonic = QStringLiteral("Panasonic KX-TDA SMDR");
        QTest::newRow("Panasonic, full line")
            << panasonic << "03/05/24 02:25PM 101   01 0312345678                00:01'25 1234567890 CO\r\n" << march
            << QDateTime(QDate(2024, 3, 5), QTime(14, 26, 25)) << 85 << "101" << "0312345678";
        QTest::newRow("Panasonic, account and condition left off")
            << panasonic << "03/05/24 09:05AM 205   02 <I>0899123456             00:12'03\r\n" << march
            << QDateTime(QDate(2024, 3, 5), QTime(9, 17, 3)) << 723 << "205" << "<I>0899123456";
        const QString mitel = QStringLiteral("Mitel SX-200 SMDR");
        QTest::newRow("Mitel, full line")
            << mitel << " 03/05 10:15P 00:02:10 2001     0044207123456             A           123456789012\r\n"
            << march << QDateTime(QDate(2024, 3, 5), QTime(22, 17, 10)) << 130 << "2001" << "0044207123456";
        QTest::newRow("Mitel, December call received on 2 January")
            << mitel << " 12/31 11:58P 00:03:00 2002     5551234\r\n" << QDateTime(QDate(2025, 1, 2), QTime(8, 0))
            << QDateTime(QDate(2025, 1, 1), QTime(0, 1)) << 180 << "2002" << "5551234";
        const QString hipath = QStringLiteral("Siemens HiPath 3000 call charges");
        QTest::newRow("HiPath, full line")
            << hipath << "05.03.24;14:31:07;501;123             ;00:00:04;00:05:12;0035929876543            ;          3;1 ;\r\n"
            << march << QDateTime(QDate(2024, 3, 5), QTime(14, 31, 7)) << 312 << "123" << "0035929876543";
    }

    void lines()
    {
        QFETCH(QString, format);
        QFETCH(QString, line);
        QFETCH(QDateTime, received);
        QFETCH(QDateTime, end);
        QFETCH(int, duration);
        QFETCH(QString, extension);
        QFETCH(QString, phone);
        TCallString schema;
        QVERIFY(schema.Parse(Format(format).Text));
        TCallRecord record;
        QVERIFY2(MatchLine(schema, line, record, DateTimeFromQDateTime(received)), qPrintable(line));
        QCOMPARE(DateTimeToQDateTime(record.DateTime), end);
        QCOMPARE(record.Duration.toInt(), duration);
        QCOMPARE(Value(record.Extension), extension);
        QCOMPARE(Value(record.Phone), phone);
    }
};

QTEST_GUILESS_MAIN(TestExchangeFormats)
#include "tst_exchange_formats.moc"
