// telvane-server as a program (signals, command line, its log), the database it creates
// and the demo installation, and the small rules its storage relies on: stored points in
// time, log texts and tariff rules.

#include "schema/CallString.h"
#include "server/Database.h"
#include "server/DemoData.h"
#include "server/EventLog.h"
#include "server/Schema.h"
#include "server/SqlValues.h"
#include "server/TariffRules.h"
#include "support/TestServer.h"
#include "remote/TypeLibrary.h"
#include "support/WireClient.h"

#include <QFile>
#include <QTest>

#include <csignal>

namespace {

QString Dump(TDatabase& db, const QString& sql)
{
    TStatement stmt = db.Prepare(sql);
    QStringList lines;
    while (stmt.Step()) {
        QStringList cells;
        for (int c = 0; c < stmt.ColumnCount(); ++c)
            cells << (stmt.IsNull(c) ? QStringLiteral("<null>") : stmt.Text(c));
        lines << cells.join(QLatin1Char('|'));
    }
    return lines.join(QLatin1Char('\n'));
}

std::unique_ptr<TDatabase> SeededDatabase(const QString& path, const QDate& day)
{
    auto db = std::make_unique<TDatabase>(path, TDatabase::TMode::ReadWrite);
    PrepareSchema(*db);
    SeedDemoData(*db, day);
    return db;
}

}  // namespace

class TestServerProcess : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { RegisterProtocolTypes(); }

    void signalsStopGracefully_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void signalsStopGracefully()
    {
        QFETCH(int, signal);
        TServerProcess server;
        QString error;
        QVERIFY2(server.Start({}, &error), qPrintable(error));
        TWireClient client;
        QVERIFY(client.OpenAsAdministrator(server.Port()));
        QVERIFY(server.Terminate(30000, signal));
        QVERIFY(client.WaitForDisconnected());
        QVERIFY(client.HasCallback(QStringLiteral("ServerShutdown")));
        QCOMPARE(server.ExitStatus(), QProcess::NormalExit);
        QCOMPARE(server.ExitCode(), 0);
        const QString output = server.Output();
        QVERIFY2(output.contains(QLatin1String("listening on port")), qPrintable(output));
        QVERIFY2(output.contains(QLatin1String("] stopped")), qPrintable(output));
        // The log beside the database holds the same, and the database was checkpointed.
        QFile log(server.Directory() + QStringLiteral("/server.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains("shutting down: notifying 1 client(s)"));
        QVERIFY(!QFile::exists(server.DatabasePath() + QStringLiteral("-wal")) ||
                QFile(server.DatabasePath() + QStringLiteral("-wal")).size() == 0);
        TDatabase db(server.DatabasePath(), TDatabase::TMode::ReadOnly);
        QCOMPARE(db.Scalar(QStringLiteral("SELECT count(*) FROM LOG WHERE TEXT = 'Telvane Server stopped'"))
                     .toInt(),
                 1);
    }

    void commandLineErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("no database") << QStringList{"--port", "0"} << "--db FILE is required";
        // Without a word it shows how to start it.
        QTest::newRow("no arguments") << QStringList{} << "telvane-server [options]";
        QTest::newRow("port not a number")
            << QStringList{"--db", "x.db", "--port", "x"} << "--port needs a number";
        QTest::newRow("port too large")
            << QStringList{"--db", "x.db", "--port", "70000"} << "--port needs a number";
        QTest::newRow("bad demo date")
            << QStringList{"--db", "x.db", "--demo-date", "2024-13-01"} << "--demo-date";
        QTest::newRow("unknown option") << QStringList{"--db", "x.db", "--frobnicate"} << "frobnicate";
        QTest::newRow("bad address") << QStringList{"--db", "x.db", "--listen", "here"} << "--listen";
        QTest::newRow("receiver port too large")
            << QStringList{"--db", "x.db", "--receiver-port", "65536"} << "--receiver-port needs a number";
        QTest::newRow("receiver buffer too small")
            << QStringList{"--db", "x.db", "--receiver-buffer", "255"} << "--receiver-buffer needs a number";
        QTest::newRow("unknown control protocol")
            << QStringList{"--db", "x.db", "--control-protocol", "4"} << "--control-protocol needs a number";
        QTest::newRow("retry interval too short")
            << QStringList{"--db", "x.db", "--retry-interval", "9"} << "--retry-interval needs a number";
        QTest::newRow("allowed addresses")
            << QStringList{"--db", "x.db", "--receiver-allow", "10.0.0.0/8, pbx.example"} << "--receiver-allow";
        QTest::newRow("receiver address") << QStringList{"--db", "x.db", "--receiver-listen", "here"}
                                          << "--receiver-listen";
        QTest::newRow("no exchange connection")
            << QStringList{"--db", "x.db", "--receiver-connections", "0"} << "--receiver-connections needs a number";
        QTest::newRow("pause beyond 1 MiB")
            << QStringList{"--db", "x.db", "--receiver-pause", "1025"} << "--receiver-pause needs a number";
        QTest::newRow("negative time limit")
            << QStringList{"--db", "x.db", "--statement-timeout", "-1"} << "--statement-timeout needs a number";
        QTest::newRow("login frame too small")
            << QStringList{"--db", "x.db", "--max-login-frame", "10"} << "--max-login-frame needs a number";
        QTest::newRow("no query thread")
            << QStringList{"--db", "x.db", "--query-threads", "0"} << "--query-threads needs a number";
    }
    void commandLineErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QProcess p;
        p.start(TServerProcess::BinaryPath(), arguments);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 1);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(err.contains(message), qPrintable(err));
        QVERIFY(!QFile::exists(QStringLiteral("x.db")));
    }

    // The demo's passwords are well known: it listens on this machine only, unless the
    // user names an address.
    void listenAddress_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("address");
        QTest::newRow("an installation") << QStringList{"--db", "x.db"} << "any";
        QTest::newRow("the demo") << QStringList{"--db", "x.db", "--demo"} << "127.0.0.1";
        QTest::newRow("the demo on every address")
            << QStringList{"--db", "x.db", "--demo", "--listen", "0.0.0.0"} << "0.0.0.0";
        QTest::newRow("the demo on a named address")
            << QStringList{"--listen", "192.168.1.20", "--db", "x.db", "--demo"} << "192.168.1.20";
        QTest::newRow("an installation on IPv6 loopback")
            << QStringList{"--db", "x.db", "--listen", "::1"} << "::1";
    }
    void listenAddress()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, address);
        TServerOptions options;
        QString message;
        bool help = false;
        QVERIFY2(ParseServerOptions(arguments, options, message, help), qPrintable(message));
        QCOMPARE(options.ListenAddress == QHostAddress::Any ? QStringLiteral("any")
                                                            : options.ListenAddress.toString(),
                 address);
    }

    void help()
    {
        QProcess p;
        p.start(TServerProcess::BinaryPath(), {QStringLiteral("--help")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        const QByteArray out = p.readAllStandardOutput();
        for (const char* option :
             {"--db", "--port", "--demo", "--max-clients", "--max-frame", "--log", "--server-version"})
            QVERIFY2(out.contains(option), option);
    }

    // The build writes the type library beside the programs; the option writes it anywhere.
    void typeLibrary()
    {
        const TTypeLibrary built = TTypeLibrary::Load(qEnvironmentVariable("TELVANE_BIN_DIR") +
                                                      QStringLiteral("/TelvaneServer.tlb"));
        QCOMPARE(built.ToBytes(), TTypeLibrary::Current().ToBytes());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("copy.tlb"));
        QProcess p;
        p.start(TServerProcess::BinaryPath(), {QStringLiteral("--write-typelib"), path});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(TTypeLibrary::Load(path).ToBytes(), TTypeLibrary::Current().ToBytes());
    }

    void portInUseIsReported()
    {
        TServerProcess first;
        QVERIFY(first.Start());
        TServerProcess second;
        QString error;
        QVERIFY(second.Start({QStringLiteral("--port"), QString::number(first.Port())}, &error) == false);
        QVERIFY2(error.contains(QLatin1String("Cannot listen")), qPrintable(error));
    }

    void demoIsDeterministic()
    {
        QTemporaryDir dir;
        const QDate day(2024, 3, 31);
        auto a = SeededDatabase(dir.filePath(QStringLiteral("a.db")), day);
        auto b = SeededDatabase(dir.filePath(QStringLiteral("b.db")), day);
        auto other = SeededDatabase(dir.filePath(QStringLiteral("c.db")), day.addDays(1));
        for (const char* sql :
             {"SELECT * FROM CALL ORDER BY ID", "SELECT * FROM EXTENSION ORDER BY PBX_ID, CODE",
              "SELECT * FROM PIN_CODE ORDER BY PBX_ID, CODE", "SELECT * FROM LOG ORDER BY rowid"})
            QCOMPARE(Dump(*a, QLatin1String(sql)), Dump(*b, QLatin1String(sql)));
        QVERIFY(Dump(*a, QStringLiteral("SELECT * FROM CALL ORDER BY ID")) !=
                Dump(*other, QStringLiteral("SELECT * FROM CALL ORDER BY ID")));
    }

    // The demo is a plausible installation, and its charges follow its own tariff rules.
    void demoContents()
    {
        QTemporaryDir dir;
        const QDate day(2024, 3, 31);
        auto db = SeededDatabase(dir.filePath(QStringLiteral("demo.db")), day);
        auto count = [&](const char* sql) { return db->Scalar(QLatin1String(sql)).toLongLong(); };
        QCOMPARE(count("SELECT count(*) FROM PBX"), 3);
        QCOMPARE(count("SELECT count(*) FROM EXTENSION"), 50);
        QCOMPARE(count("SELECT count(*) FROM PIN_CODE"), 30);
        QVERIFY(count("SELECT count(*) FROM CALL") > 20000);
        QVERIFY(count("SELECT count(*) FROM LIMIT_PLAN") >= 3);
        QVERIFY(count("SELECT count(*) FROM REPORT") >= 2);
        QVERIFY(count("SELECT count(DISTINCT CATEGORY) FROM LOG") >= 6);
        QCOMPARE(
            db->Scalar(QStringLiteral(
                           "SELECT min(REC_DATETIME) >= '2023-12-31' AND max(REC_DATETIME) < '2024-04-01' "
                           "FROM CALL"))
                .toInt(),
            1);
        // Every call's PIN code and extension exist on its exchange.
        QCOMPARE(count("SELECT count(*) FROM CALL c LEFT JOIN EXTENSION e ON c.PBX_ID = e.PBX_ID AND "
                       "c.EXT_CODE = e.CODE "
                       "WHERE e.CODE IS NULL"),
                 0);
        QCOMPARE(count("SELECT count(*) FROM CALL c LEFT JOIN PIN_CODE p ON c.PBX_ID = p.PBX_ID AND "
                       "c.PIN_CODE = p.CODE "
                       "WHERE c.PIN_CODE IS NOT NULL AND p.CODE IS NULL"),
                 0);
        QCOMPARE(count("SELECT count(*) FROM CALL WHERE START_DATETIME > END_DATETIME OR END_DATETIME > "
                       "REC_DATETIME"),
                 0);
        const TTariffRules rules = LoadTariffRules(*db);
        const double vat =
            db->Scalar(QStringLiteral("SELECT VALUE FROM SETTINGS WHERE NAME = 'vat_percent'")).toDouble();
        TStatement calls =
            db->Prepare(QStringLiteral("SELECT PHONE, DURATION, RAW_CHARGE, VAT, CHARGE FROM CALL"));
        int charged = 0;
        while (calls.Step()) {
            const std::optional<TCharge> c = rules.Charge(calls.Text(0), static_cast<int>(calls.Int(1)), vat);
            QVERIFY(c.has_value());
            QCOMPARE(calls.Double(2), c->Raw);
            QCOMPARE(calls.Double(3), c->Vat);
            QCOMPARE(calls.Double(4), c->Total);
            charged += c->Total > 0;
        }
        QVERIFY(charged > 10000);
        QCOMPARE(db->Scalar(QStringLiteral("SELECT VALUE FROM SETTINGS WHERE NAME = 'data_format_in_use'"))
                     .toString(),
                 DemoDataFormat());
        QCOMPARE(TariffRuleSetsInUse(*db).size(), 5);
    }

    // The demo's data format is valid and already in its canonical form.
    void demoDataFormatParses()
    {
        TCallString format;
        QVERIFY(format.Parse(DemoDataFormat()));
        QCOMPARE(format.GetText(), DemoDataFormat());
    }

    void existingDatabaseIsKept()
    {
        TTestServer server;
        QVERIFY(server.StartDemo(QDate(2024, 3, 31)));
        const QString path = server.DatabasePath();
        server.Stop();
        qint64 calls = 0;
        {
            TDatabase db(path, TDatabase::TMode::ReadWrite);
            calls = db.Scalar(QStringLiteral("SELECT count(*) FROM CALL")).toLongLong();
        }
        TTestServer again;
        again.Options().DatabasePath = path;
        QVERIFY(again.StartDemo(QDate(2024, 4, 30)));  // not seeded a second time
        again.Stop();
        TDatabase db(path, TDatabase::TMode::ReadWrite);
        QCOMPARE(db.Scalar(QStringLiteral("SELECT count(*) FROM CALL")).toLongLong(), calls);
        db.Exec(QStringLiteral("UPDATE SETTINGS SET VALUE = '99' WHERE NAME = 'schema_version'"));
        TTestServer newer;
        newer.Options().DatabasePath = path;
        QString error;
        QVERIFY(!newer.Start(&error));
        QVERIFY2(error.contains(QLatin1String("newer server")), qPrintable(error));
    }

    void storedPointsInTime_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("day");
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<int>("second");
        QTest::addColumn<int>("msec");
        QTest::addColumn<QString>("text");
        QTest::newRow("midnight, as the client's literal")
            << 2006 << 12 << 1 << 0 << 0 << 0 << 0 << "2006-12-01";
        QTest::newRow("seconds") << 2006 << 12 << 31 << 23 << 59 << 59 << 0 << "2006-12-31 23:59:59";
        QTest::newRow("milliseconds") << 2024 << 2 << 29 << 8 << 5 << 0 << 7 << "2024-02-29 08:05:00.007";
        QTest::newRow("one millisecond after midnight")
            << 2024 << 1 << 1 << 0 << 0 << 0 << 1 << "2024-01-01 00:00:00.001";
        QTest::newRow("before the epoch") << 1899 << 12 << 29 << 6 << 0 << 0 << 0 << "1899-12-29 06:00:00";
    }
    void storedPointsInTime()
    {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, day);
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(int, second);
        QFETCH(int, msec);
        QFETCH(QString, text);
        const TDateTime value = EncodeDateTime(year, month, day, hour, minute, second, msec);
        QCOMPARE(DateTimeToSqlText(value), text);
        TDateTime back = -1;
        QVERIFY(SqlTextToDateTime(text, back));
        QCOMPARE(DateTimeToSqlText(back), text);
        QVERIFY(std::abs(back - value) < 1e-9);
    }

    // Text order is time order, and midnight equals the client's date literal.
    void storedTextsCompareAsTimes()
    {
        QList<TDateTime> times = {EncodeDateTime(2024, 1, 1),
                                  EncodeDateTime(2024, 1, 1, 0, 0, 0, 1),
                                  EncodeDateTime(2024, 1, 1, 0, 0, 1),
                                  EncodeDateTime(2024, 1, 1, 0, 0, 1, 500),
                                  EncodeDateTime(2024, 1, 1, 9, 59, 59),
                                  EncodeDateTime(2024, 1, 1, 10),
                                  EncodeDateTime(2024, 1, 2),
                                  EncodeDateTime(2024, 10, 1)};
        for (int i = 1; i < times.size(); ++i)
            QVERIFY2(DateTimeToSqlText(times.at(i - 1)) < DateTimeToSqlText(times.at(i)),
                     qPrintable(DateTimeToSqlText(times.at(i))));
        TDatabase db(QStringLiteral(":memory:"), TDatabase::TMode::ReadWrite);
        db.Exec(QStringLiteral("CREATE TABLE T (D DATETIME)"));
        for (TDateTime t : times)
            db.Exec(QStringLiteral("INSERT INTO T VALUES ('%1')").arg(DateTimeToSqlText(t)));
        QCOMPARE(
            db.Scalar(QStringLiteral("SELECT count(*) FROM T WHERE D BETWEEN '2024-01-01' AND '2024-01-02'"))
                .toInt(),
            7);
        QCOMPARE(db.Scalar(QStringLiteral("SELECT count(*) FROM T WHERE D = '2024-01-01'")).toInt(), 1);
    }

    void unreadableTimes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("no date") << "10:00:00";
        QTest::newRow("month 13") << "2024-13-01";
        QTest::newRow("30 February") << "2024-02-30";
        QTest::newRow("hour 24") << "2024-02-01 24:00:00";
        QTest::newRow("words") << "yesterday";
    }
    void unreadableTimes()
    {
        QFETCH(QString, text);
        TDateTime out = 0;
        QVERIFY(!SqlTextToDateTime(text, out));
    }

    void tariffRules_data()
    {
        QTest::addColumn<QString>("phone");
        QTest::addColumn<int>("duration");
        QTest::addColumn<double>("raw");
        QTest::addColumn<double>("vat");
        QTest::newRow("local, one minute started") << "2345678" << 61 << 0.08 << 0.02;
        QTest::newRow("mobile, by the second") << "0881234567" << 90 << 0.41 << 0.08;
        QTest::newRow("longest prefix wins") << "00491234" << 60 << 0.55 << 0.11;
        QTest::newRow("international") << "00301234" << 1 << 0.70 << 0.14;
        QTest::newRow("not answered") << "0881234567" << 0 << 0.0 << 0.0;
        QTest::newRow("free") << "112" << 300 << 0.0 << 0.0;
    }
    void tariffRules()
    {
        QFETCH(QString, phone);
        QFETCH(int, duration);
        QFETCH(double, raw);
        QFETCH(double, vat);
        TTariffRules rules;
        QVERIFY(rules.Parse(
            QStringLiteral("# comment\nrate * 0.00 0.04 60\n\n; another\nrate 088 0.05 0.24 1\n")));
        QVERIFY(rules.Parse(QStringLiteral("rate 00 0.10 0.60\nrate 0049 0.10 0.45 60\nRATE 112 0 0 1")));
        const std::optional<TCharge> c = rules.Charge(phone, duration, 20);
        QVERIFY(c.has_value());
        QCOMPARE(c->Raw, raw);
        QCOMPARE(c->Vat, vat);
        QCOMPARE(c->Total, RoundMoney(raw + vat));
    }

    void tariffRuleErrors_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("words") << "charge everything";
        QTest::newRow("letters in the prefix") << "rate 08x 0 0.1";
        QTest::newRow("missing price") << "rate 088 0.05";
        QTest::newRow("zero step") << "rate 088 0.05 0.2 0";
        QTest::newRow("one bad line among good ones") << "rate 088 0.05 0.2\nrate 089 cheap 0.1";
    }
    void tariffRuleErrors()
    {
        QFETCH(QString, text);
        TTariffRules rules;
        QString error;
        QVERIFY(!rules.Parse(text, &error));
        QVERIFY(error.startsWith(QLatin1String("Line ")));
        QVERIFY(rules.IsEmpty());
        QVERIFY(!rules.Charge(QStringLiteral("0881"), 60, 20).has_value());
    }

    void logTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("pieces");
        QTest::newRow("short") << "Receiver started" << QStringList{"Receiver started"};
        QTest::newRow("line breaks") << "first\r\nsecond\nthird" << QStringList{"first second third"};
        const QString word9 = QStringLiteral("abcdefghi");
        QStringList words(15, word9);  // 15 * 10 - 1 = 149 characters
        QTest::newRow("cut at a blank") << words.join(QLatin1Char(' '))
                                        << QStringList{QStringList(10, word9).join(QLatin1Char(' ')),
                                                       QStringList(5, word9).join(QLatin1Char(' '))};
        QTest::newRow("one long word")
            << QString(150, QLatin1Char('x'))
            << QStringList{QString(100, QLatin1Char('x')), QString(50, QLatin1Char('x'))};
    }
    void logTexts()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, pieces);
        QCOMPARE(SplitLogText(text), pieces);
    }
};

QTEST_GUILESS_MAIN(TestServerProcess)
#include "tst_server_process.moc"
