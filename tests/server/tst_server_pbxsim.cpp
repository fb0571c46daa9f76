// telvane-pbx-sim as a program against the real server: the lines it sends become calls
// with the fields of the line and the demo's charges, its lines that are no calls land in
// LOG, a connected client sees the raw input, and the commands of the queue reach it.

#include "support/ReceiverHelpers.h"
#include "support/TestServer.h"
#include "support/WireClient.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

QString SimulatorPath()
{
    return qEnvironmentVariable("TELVANE_BIN_DIR") + QStringLiteral("/telvane-pbx-sim");
}

struct TSimOutput {
    QStringList Calls;    // the lines sent as calls, without their line break
    QStringList Garbage;  // the lines sent that are no calls
    QStringList Commands;
};

TSimOutput ParseOutput(const QString& output)
{
    static const QRegularExpression re(QStringLiteral("^(sent|garbage) \\d+: (.*)$"));
    TSimOutput out;
    for (const QString& line : output.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = re.match(line);
        if (m.hasMatch())
            (m.captured(1) == QLatin1String("sent") ? out.Calls : out.Garbage) << m.captured(2);
        else if (line.startsWith(QLatin1String("command: ")))
            out.Commands << line.mid(9);
    }
    return out;
}

// The demo's tariff rules, written out here: prefix, fee, price a minute, step.
struct TRate {
    const char* Prefix;
    double Fee, PerMinute;
    int Step;
};
const TRate kDemoRates[] = {
    {"", 0.00, 0.04, 60},    {"0", 0.05, 0.09, 60},  {"087", 0.05, 0.22, 1},   {"088", 0.05, 0.24, 1},
    {"089", 0.05, 0.23, 1},  {"00", 0.10, 0.60, 60}, {"0049", 0.10, 0.45, 60}, {"0044", 0.10, 0.48, 60},
    {"001", 0.10, 0.35, 60}, {"112", 0.00, 0.00, 1}, {"0800", 0.00, 0.00, 1},
};

double Cents(double value)
{
    return std::round(value * 100) / 100;
}

// Raw charge, VAT and charge of a demo call with VAT 20 %.
QList<double> DemoCharge(const QString& phone, int seconds)
{
    const TRate* best = nullptr;
    for (const TRate& r : kDemoRates)
        if (phone.startsWith(QLatin1String(r.Prefix)) && (!best || qstrlen(r.Prefix) > qstrlen(best->Prefix)))
            best = &r;
    if (seconds == 0)
        return {0, 0, 0};
    const int billed = (seconds + best->Step - 1) / best->Step * best->Step;
    const double raw = Cents(best->Fee + billed * best->PerMinute / 60);
    const double vat = Cents(raw * 0.2);
    return {raw, vat, Cents(raw + vat)};
}

bool Finished(QProcess& process, int timeoutMs = 60000)
{
    return process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit;
}

}  // namespace

class TestServerPbxSim : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { RegisterProtocolTypes(); }

    void simulatedCallsAreStored()
    {
        TTestServer server;
        ReceiveOnAFreePort(server);
        QVERIFY(server.StartDemo());
        TWireClient watcher;
        QVERIFY(watcher.Open(server.Port()));
        const qint64 lastEvent =
            ServerScalar(server, QStringLiteral("SELECT max(EVENT_ID) FROM LOG")).toLongLong();

        QProcess sim;
        sim.start(SimulatorPath(), {QStringLiteral("--port"), QString::number(ReceiverPort(server)),
                                    QStringLiteral("--count"), QStringLiteral("40"), QStringLiteral("--rate"),
                                    QStringLiteral("400"), QStringLiteral("--seed"), QStringLiteral("11"),
                                    QStringLiteral("--garbage-every"), QStringLiteral("8")});
        QVERIFY(Finished(sim));
        QCOMPARE(sim.exitCode(), 0);
        const QString output = QString::fromLocal8Bit(sim.readAllStandardOutput());
        const TSimOutput sent = ParseOutput(output);
        QCOMPARE(sent.Calls.size(), 35);
        QCOMPARE(sent.Garbage.size(), 5);
        QVERIFY(output.contains(QLatin1String("sent 40 lines (5 not calls)")));

        QTRY_COMPARE_WITH_TIMEOUT(
            ServerScalar(server, QStringLiteral("SELECT count(*) FROM CALL WHERE TEXT IS NOT NULL")).toInt(),
            35, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(
            ServerScalar(
                server,
                QStringLiteral("SELECT count(DISTINCT EVENT_ID) FROM LOG WHERE EVENT_ID > ? AND CATEGORY = "
                               "'invalid'"),
                {lastEvent})
                .toInt(),
            5, 30000);
        // An event's text may span rows, which the logs window joins with blanks.
        const QString events =
            ServerScalar(
                server,
                QStringLiteral("SELECT group_concat(TEXT, ' ') FROM (SELECT TEXT FROM LOG WHERE EVENT_ID > ? "
                               "AND CATEGORY = 'invalid' ORDER BY EVENT_ID, rowid)"),
                {lastEvent})
                .toString();
        for (const QString& garbage : sent.Garbage)
            QVERIFY2(events.contains(QStringLiteral("in use: \"%1\"").arg(garbage)), qPrintable(events));

        // Each line read by hand at the demo format's columns.
        const QString sql = QStringLiteral(
            "SELECT PBX_ID, EXT_CODE, coalesce(PIN_CODE, ''), PHONE, DURATION, TRUNK, CIRCUIT, CALL_TYPE, "
            "END_DATETIME, START_DATETIME, RAW_CHARGE, VAT, CHARGE FROM CALL WHERE TEXT = ?");
        for (const QString& line : sent.Calls) {
            const QStringList row = ServerRow(server, sql, {line});
            QVERIFY2(row.size() == 13, qPrintable(line));
            const int seconds =
                line.mid(15, 2).toInt() * 3600 + line.mid(18, 2).toInt() * 60 + line.mid(21, 2).toInt();
            const QDateTime end(
                QDate(2000 + line.mid(6, 2).toInt(), line.mid(3, 2).toInt(), line.mid(0, 2).toInt()),
                QTime(line.mid(9, 2).toInt(), line.mid(12, 2).toInt()));
            const QString phone = line.mid(37, 20).trimmed();
            QCOMPARE(row.at(0), QStringLiteral("1"));
            QCOMPARE(row.at(1), line.mid(24, 5).trimmed());
            QCOMPARE(row.at(2), line.mid(30, 6).trimmed());
            QCOMPARE(row.at(3), phone);
            QCOMPARE(row.at(4).toInt(), seconds);
            QCOMPARE(row.at(5), line.mid(58, 3).trimmed());
            QCOMPARE(row.at(6), line.mid(62, 3).trimmed());
            QCOMPARE(row.at(7), line.mid(66, 1));
            QCOMPARE(row.at(8), end.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            QCOMPARE(row.at(9), end.addSecs(-seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            const QList<double> charge = DemoCharge(phone, seconds);
            QCOMPARE(row.at(10).toDouble(), charge.at(0));
            QCOMPARE(row.at(11).toDouble(), charge.at(1));
            QCOMPARE(row.at(12).toDouble(), charge.at(2));
        }

        // The client saw every byte in order.
        QStringList all;
        for (const QString& line : output.split(QLatin1Char('\n'))) {
            const qsizetype colon = line.indexOf(QLatin1String(": "));
            if (line.startsWith(QLatin1String("sent ")) && colon > 0 && line.at(5).isDigit())
                all << line.mid(colon + 2);
            else if (line.startsWith(QLatin1String("garbage ")))
                all << line.mid(colon + 2);
        }
        const QString expected = all.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
        QVERIFY(watcher.WaitUntil([&] {
            QString raw;
            for (const QVariantList& args : watcher.CallbackArgs(QStringLiteral("RawInput")))
                raw += args.at(0).toString();
            return raw == expected;
        }));
    }

    // The simulator stays connected and prints what the command queue writes to it.
    void commandsReachTheSimulator()
    {
        TTestServer server;
        QVERIFY(StartReceivingDemo(server));
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QProcess sim;
        sim.start(SimulatorPath(),
                  {QStringLiteral("--port"), QString::number(ReceiverPort(server)), QStringLiteral("--count"),
                   QStringLiteral("1"), QStringLiteral("--stay")});
        QVERIFY(sim.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(ExchangeAttached(server), 30000);
        QCOMPARE(admin.Call(QStringLiteral("CommandsRDM"), 313, {QStringLiteral("BLOCK 105")}).Kind,
                 TMessageKind::Reply);
        QCOMPARE(admin.Call(QStringLiteral("CommandsRDM"), 313, {QStringLiteral("UNBLOCK 106")}).Kind,
                 TMessageKind::Reply);
        QByteArray output;
        const QDeadlineTimer deadline(30000);
        while (!output.contains("command: UNBLOCK 106\n") && !deadline.hasExpired()) {
            sim.waitForReadyRead(100);
            output += sim.readAllStandardOutput();
        }
        QCOMPARE(ParseOutput(QString::fromLocal8Bit(output)).Commands,
                 (QStringList{QStringLiteral("BLOCK 105"), QStringLiteral("UNBLOCK 106")}));
        sim.terminate();
        QVERIFY(sim.waitForFinished(30000));
    }

    // A format from a file, with the whole duration in one wide seconds field and the
    // pulses; the server reads the lines with the same format.
    void formatFromAFile()
    {
        const QString format = QStringLiteral("(EXTENSION:4)(PHONE:16]\r\n(dursec:5)(pulses:3]\\r\\n");
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("format.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(format.toUtf8());
        file.close();
        TTestServer server;
        QVERIFY(StartReceivingDemo(server));
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QVERIFY(admin.Call(QStringLiteral("AdminRDM"), 302, {QString(format).remove(QStringLiteral("\r\n"))})
                    .Result.toBool());
        QCOMPARE(admin.Call(QStringLiteral("AdminRDM"), 303).Kind, TMessageKind::Reply);
        QProcess sim;
        sim.start(SimulatorPath(), {QStringLiteral("--port"), QString::number(ReceiverPort(server)),
                                    QStringLiteral("--count"), QStringLiteral("10"), QStringLiteral("--rate"),
                                    QStringLiteral("0"), QStringLiteral("--seed"), QStringLiteral("5"),
                                    QStringLiteral("--format-file"), file.fileName()});
        QVERIFY(Finished(sim));
        QCOMPARE(sim.exitCode(), 0);
        const TSimOutput sent = ParseOutput(QString::fromLocal8Bit(sim.readAllStandardOutput()));
        QCOMPARE(sent.Calls.size(), 10);
        const QString sql =
            QStringLiteral("SELECT EXT_CODE, PHONE, DURATION, PULSES FROM CALL WHERE TEXT = ?");
        for (const QString& line : sent.Calls) {
            QTRY_VERIFY_WITH_TIMEOUT(!ServerRow(server, sql, {line}).isEmpty(), 30000);
            const int seconds = line.mid(20, 5).toInt();
            QCOMPARE(ServerRow(server, sql, {line}),
                     (QStringList{line.left(4).trimmed(), line.mid(4, 16).trimmed(), QString::number(seconds),
                                  QString::number((seconds + 59) / 60)}));
        }
    }

    // Both programs as they are started: the server reports the receiver's port, takes
    // its settings from the command line and keeps the simulator's calls when it stops.
    void bothPrograms()
    {
        TServerProcess server;
        QString error;
        QVERIFY2(server.Start({QStringLiteral("--demo"), QStringLiteral("--receiver-port"),
                               QStringLiteral("0"), QStringLiteral("--start-receiver"),
                               QStringLiteral("--control-protocol"), QStringLiteral("3")},
                              &error),
                 qPrintable(error));
        static const QRegularExpression portRe(QStringLiteral("listening for call data on port (\\d+)"));
        QRegularExpressionMatch m;
        QTRY_VERIFY_WITH_TIMEOUT((m = portRe.match(server.Output())).hasMatch(), 30000);
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QCOMPARE(admin.Call(QStringLiteral("CommandsRDM"), 314).Result.toInt(), 3);
        QProcess sim;
        sim.start(SimulatorPath(), {QStringLiteral("--port"), m.captured(1), QStringLiteral("--count"),
                                    QStringLiteral("5"), QStringLiteral("--rate"), QStringLiteral("0")});
        QVERIFY(Finished(sim));
        QCOMPARE(sim.exitCode(), 0);
        // Whatever the server has not stored yet, it stores when it stops.
        QVERIFY(server.Terminate());
        QCOMPARE(server.ExitCode(), 0);
        TDatabase db(server.DatabasePath(), TDatabase::TMode::ReadOnly);
        QCOMPARE(db.Scalar(QStringLiteral("SELECT count(*) FROM CALL WHERE TEXT IS NOT NULL")).toInt(), 5);
        QCOMPARE(db.Scalar(QStringLiteral("SELECT VALUE FROM SETTINGS WHERE NAME = 'control_protocol'"))
                     .toString(),
                 QStringLiteral("3"));
        QCOMPARE(db.Scalar(QStringLiteral("SELECT VALUE FROM SETTINGS WHERE NAME = 'receiver_running'"))
                     .toString(),
                 QStringLiteral("1"));
    }

    void badArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0 << "--garbage-every";
        QTest::newRow("invalid format") << QStringList{QStringLiteral("--format"), QStringLiteral("(phone)")}
                                        << 1 << "The data format is not valid";
        QTest::newRow("two formats") << QStringList{QStringLiteral("--format"), QStringLiteral("(phone:5)"),
                                                    QStringLiteral("--format-file"), QStringLiteral("f")}
                                     << 1 << "not both";
        QTest::newRow("missing file")
            << QStringList{QStringLiteral("--format-file"), QStringLiteral("/nonexistent")} << 1
            << "Cannot read";
        QTest::newRow("negative rate")
            << QStringList{QStringLiteral("--rate"), QStringLiteral("-1")} << 1 << "--rate needs a number";
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--bogus")} << 1 << "bogus";
    }
    void badArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QProcess sim;
        sim.start(SimulatorPath(), arguments);
        QVERIFY(Finished(sim));
        QCOMPARE(sim.exitCode(), exitCode);
        const QString output =
            QString::fromLocal8Bit(sim.readAllStandardOutput() + sim.readAllStandardError());
        QVERIFY2(output.contains(message), qPrintable(output));
    }

    void noServer()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        QProcess sim;
        sim.start(SimulatorPath(), {QStringLiteral("--port"), QString::number(port),
                                    QStringLiteral("--count"), QStringLiteral("1")});
        QVERIFY(Finished(sim));
        QCOMPARE(sim.exitCode(), 1);
        QVERIFY(QString::fromLocal8Bit(sim.readAllStandardOutput()).startsWith(QLatin1String("error: ")));
    }
};

QTEST_GUILESS_MAIN(TestServerPbxSim)
#include "tst_server_pbxsim.moc"
