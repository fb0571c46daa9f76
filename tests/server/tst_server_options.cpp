// The options groups end to end: each group sent and fetched again equal, wrong values
// refused with nothing stored, and the server acting on what was sent: the receiver over a
// serial line (a pseudo-terminal) and as a TCP client, deferred writing, the inactivity
// restart, the VAT of the limits page, and queued commands on each protocol's port.

#include "calls/SerialPortSettings.h"
#include "core/DateTime.h"
#include "core/Variants.h"
#include "server/Receiver.h"
#include "server/Settings.h"
#include "support/PseudoTerminal.h"
#include "support/ReceiverHelpers.h"
#include "support/TestServer.h"
#include "support/WireClient.h"

#include <QTcpServer>
#include <QTest>

#include <cmath>

namespace {

const QString kArchives = QLatin1String(module::ArchivesRDM);

struct TGroupCall {
    QString Module;
    int Set = 0;
    int Get = 0;
};

QVariant B(bool value)
{
    return QVariant(value);
}

QVariant I16(int value)
{
    return VarFromInt16(qint16(value));
}

QString PortText(const QString& path, int baud = 9600)
{
    TSerialPortSettings s;
    s.PortName = path;
    s.BaudRate = QString::number(baud);
    s.HwFlow = 0;
    return s.Save();
}

// The same value as the wire carries it: date-times by their point in time, lists element
// by element, everything else by its text.
bool Same(const QVariant& a, const QVariant& b)
{
    if (VarIsDateTime(a) || VarIsDateTime(b))
        return std::abs(VarToDateTime(a) - VarToDateTime(b)) < 1e-6;
    if (VarIsArray(a) || VarIsArray(b)) {
        const QVariantList x = a.toList(), y = b.toList();
        if (x.size() != y.size())
            return false;
        for (int i = 0; i < x.size(); ++i)
            if (!Same(x[i], y[i]))
                return false;
        return true;
    }
    return VarToStr(a) == VarToStr(b);
}

QVariantList Fetch(TWireClient& c, const TGroupCall& g, int count)
{
    QList<int> byRef;
    QVariantList args;
    for (int i = 0; i < count; ++i) {
        byRef << i;
        args << QVariant();
    }
    const TMessage reply = c.Call(g.Module, g.Get, args, byRef);
    return reply.Kind == TMessageKind::Reply ? reply.ByRefValues : QVariantList();
}

bool Send(TWireClient& c, const TGroupCall& g, const QVariantList& values)
{
    return c.Call(g.Module, g.Set, values).Kind == TMessageKind::Reply;
}

const TGroupCall kReceiverGroup{kReceiver, dispid::ReceiverRDM::SetReceiverOptions,
                                dispid::ReceiverRDM::GetReceiverOptions};
const TGroupCall kLimitsGroup{kCommands, dispid::CommandsRDM::SetLimitsOptions, dispid::CommandsRDM::GetLimitsOptions};

// The receiver group: as a TCP server on the given port unless said otherwise.
QVariantList ReceiverValues(bool tcpip, const QString& serial, const QString& address, bool isServer, int port,
                            int pendingCalls = 1, int pendingDelay = 1)
{
    return {B(tcpip), serial, address, B(isServer), port, 1, 48, 16, pendingCalls, pendingDelay, 86400};
}

}  // namespace

class TestServerOptions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { RegisterProtocolTypes(); }

    void groupsRoundTrip_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<int>("set");
        QTest::addColumn<int>("get");
        QTest::addColumn<QVariantList>("values");
        namespace c = dispid::CommandsRDM;
        QTest::newRow("receiver") << kReceiver << dispid::ReceiverRDM::SetReceiverOptions
                                  << dispid::ReceiverRDM::GetReceiverOptions
                                  << QVariantList{B(false), QStringLiteral("/dev/ttyS3,4800,2,1,2,0,True,False,True"),
                                                  QStringLiteral("10.0.0.7"), B(false), 32767, 5, 1024, 1, 32000,
                                                  32000, 3600};
        QTest::newRow("archiving") << kArchives << dispid::ArchivesRDM::SetArchivingOptions
                                   << dispid::ArchivesRDM::GetArchivingOptions
                                   << QVariantList{B(true), VarFromDateTime(7), VarFromDateTime(0.5),
                                                   VarFromDateTime(EncodeDateTime(2030, 1, 2, 3, 4))};
        QTest::newRow("limits") << kCommands << c::SetLimitsOptions << c::GetLimitsOptions
                                << QVariantList{I16(2), I16(1), I16(0), B(true), B(false), I16(185)};
        QTest::newRow("definity") << kCommands << c::SetDefinityOptions << c::GetDefinityOptions
                                  << QVariantList{PortText(QStringLiteral("COM2")),
                                                  QVariantList{QStringLiteral("craft"), QStringLiteral(" pw "), 7, 1},
                                                  QVariantList{100, 200, 300}, B(false)};
        QTest::newRow("hipath") << kCommands << c::SetHiPathOptions << c::GetHiPathOptions
                                << QVariantList{QStringLiteral("192.168.1.9"), 7001,
                                                QVariantList{QStringLiteral("user"), QStringLiteral("pass"), 12},
                                                QVariantList{1, 2, 3, 4}};
        QTest::newRow("modem") << kCommands << c::SetModemOptions << c::GetModemOptions
                               << QVariantList{PortText(QStringLiteral("COM3")),
                                               QVariantList{QStringLiteral("OK"), QStringLiteral("1"),
                                                            QStringLiteral("0"), QStringLiteral("")},
                                               QVariantList{QStringLiteral("ATZ"), QStringLiteral("ATDT"),
                                                            QStringLiteral("ATH"), QStringLiteral("+++")},
                                               QVariantList{1, 2, 3, 4},
                                               QVariantList{QStringLiteral("*51*"), QStringLiteral("#51*"),
                                                            QStringLiteral("*52* "), QStringLiteral("#52*")}};
        QTest::newRow("direct") << kCommands << c::SetDirectOptions << c::GetDirectOptions
                                << QVariantList{PortText(QStringLiteral("COM4")), QVariantList{0, 250},
                                                QVariantList{QStringLiteral("B"), QStringLiteral("U"),
                                                             QStringLiteral("BP"), QStringLiteral("UP")},
                                                B(false)};
    }

    void groupsRoundTrip()
    {
        QFETCH(QString, module);
        QFETCH(int, set);
        QFETCH(int, get);
        QFETCH(QVariantList, values);
        TTestServer server;
        QVERIFY(server.Start());
        TWireClient admin, user;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        const TGroupCall g{module, set, get};
        const QVariantList before = Fetch(admin, g, int(values.size()));
        QCOMPARE(before.size(), values.size());
        QVERIFY(Send(admin, g, values));
        const QVariantList after = Fetch(admin, g, int(values.size()));
        QCOMPARE(after.size(), values.size());
        for (int i = 0; i < values.size(); ++i)
            QVERIFY2(Same(after[i], values[i]), qPrintable(QStringLiteral("value %1: %2 instead of %3")
                                                                .arg(i + 1)
                                                                .arg(VarToStr(after[i]), VarToStr(values[i]))));
        // Only the administrator reads or changes the installation.
        QVERIFY(user.OpenAsUser(server.Port()));
        QCOMPARE(user.Call(module, get, QVariantList(values.size()), {0}).Kind, TMessageKind::Error);
        QCOMPARE(user.Call(module, set, values).Kind, TMessageKind::Error);
    }

    // A wrong value refuses the whole group: the values before it in the same call are not
    // stored either.
    void wrongValuesStoreNothing_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<int>("set");
        QTest::addColumn<int>("get");
        QTest::addColumn<QVariantList>("values");
        namespace c = dispid::CommandsRDM;
        const auto receiver = [](int index, const QVariant& value) {
            QVariantList v = ReceiverValues(true, PortText(QStringLiteral("COM2")), QStringLiteral("10.1.1.1"), false,
                                            4000);
            v[index] = value;
            return v;
        };
        const auto row = [](const char* name, const TGroupCall& g, const QVariantList& v) {
            QTest::newRow(name) << g.Module << g.Set << g.Get << v;
        };
        row("restart timeout below 10 s", kReceiverGroup, receiver(10, 9));
        row("pause above 1024 KiB", kReceiverGroup, receiver(6, 1025));
        row("no pending calls", kReceiverGroup, receiver(8, 0));
        row("pending delay over 32000 s", kReceiverGroup, receiver(9, 32001));
        row("port name of blanks", kReceiverGroup, receiver(1, QStringLiteral("   ,9600")));
        row("baud rate 109", kReceiverGroup, receiver(1, QStringLiteral("COM1,109")));
        row("baud rate with a blank", kReceiverGroup, receiver(1, QStringLiteral("COM1,9600 ")));
        row("port beyond 65535", kReceiverGroup, receiver(4, 65536));
        row("protocol 4", kLimitsGroup, {I16(4), I16(1), I16(1), B(true), B(true), I16(185)});
        row("VAT over 3000 %", kLimitsGroup, {I16(3), I16(1), I16(1), B(true), B(true), I16(30001)});
        row("extension charging 3", kLimitsGroup, {I16(3), I16(3), I16(1), B(true), B(true), I16(185)});
        row("delays list too short", TGroupCall{kCommands, c::SetDirectOptions, c::GetDirectOptions},
            {PortText(QStringLiteral("COM4")), QVariantList{100},
             QVariantList{QStringLiteral("B"), QStringLiteral("U"), QStringLiteral("BP"), QStringLiteral("UP")}, B(false)});
        row("delay not a number", TGroupCall{kCommands, c::SetDirectOptions, c::GetDirectOptions},
            {PortText(QStringLiteral("COM4")), QVariantList{100, QStringLiteral("x")},
             QVariantList{QStringLiteral("B"), QStringLiteral("U"), QStringLiteral("BP"), QStringLiteral("UP")}, B(false)});
    }

    void wrongValuesStoreNothing()
    {
        QFETCH(QString, module);
        QFETCH(int, set);
        QFETCH(int, get);
        QFETCH(QVariantList, values);
        TTestServer server;
        QVERIFY(server.Start());
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        const TGroupCall g{module, set, get};
        const QVariantList before = Fetch(admin, g, int(values.size()));
        const TMessage reply = admin.Call(module, set, values);
        QCOMPARE(reply.Kind, TMessageKind::Error);
        QCOMPARE(reply.Code, hr::DISP_E_EXCEPTION_);
        const QVariantList after = Fetch(admin, g, int(values.size()));
        QCOMPARE(after.size(), before.size());
        for (int i = 0; i < before.size(); ++i)
            QVERIFY2(Same(after[i], before[i]), qPrintable(QStringLiteral("value %1 changed").arg(i + 1)));
    }

    // Call lines over a serial line at the configured settings become calls.
    void serialReceiverStoresCalls()
    {
        TPseudoTerminal exchange;
        QVERIFY(exchange.IsOpen());
        TTestServer server;
        QVERIFY(StartReceivingDemo(server));
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QVERIFY(Send(admin, kReceiverGroup, ReceiverValues(false, PortText(exchange.SlavePath(), 19200), {}, true, 0)));
        QVERIFY(admin.WaitUntil([&] {
            const QList<QVariantList> states = admin.CallbackArgs(QStringLiteral("ReceiverState"));
            return !states.isEmpty() && states.last().at(0).toString().contains(exchange.SlavePath());
        }));
        const QByteArray line = DemoLine(QStringLiteral("107"), {}, QStringLiteral("2345678"), 61,
                                         EncodeDateTime(2024, 3, 30, 10, 0));
        QVERIFY(exchange.Write(line));
        const QString sql = QStringLiteral("SELECT count(*) FROM CALL WHERE TEXT = ?");
        QTRY_COMPARE_WITH_TIMEOUT(ServerScalar(server, sql, {QString::fromLatin1(line.chopped(2))}).toInt(), 1, 30000);
        // A command queued meanwhile goes out on the same line (direct commands sharing it).
        QVERIFY(Send(admin, kLimitsGroup, {I16(3), I16(2), I16(1), B(false), B(false), I16(200)}));
        QCOMPARE(admin.Call(kCommands, dispid::CommandsRDM::AddCommand, {QStringLiteral("BLOCK 107")}).Kind,
                 TMessageKind::Reply);
        QVERIFY(exchange.WaitForReceived("BLOCK 107\r\n"));
    }

    // As a client the receiver connects to the exchange's address and port, and again
    // after the exchange has closed the connection.
    void tcpClientModeConnectsToTheExchange()
    {
        QTcpServer exchange;
        QVERIFY(exchange.listen(QHostAddress::LocalHost));
        TTestServer server;
        QVERIFY(StartReceivingDemo(server));
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QVERIFY(Send(admin, kReceiverGroup,
                     ReceiverValues(true, PortText(QStringLiteral("COM1")), QStringLiteral("127.0.0.1"), false,
                                    exchange.serverPort())));
        QVERIFY(exchange.waitForNewConnection(30000));
        std::unique_ptr<QTcpSocket> socket(exchange.nextPendingConnection());
        const QByteArray line = DemoLine(QStringLiteral("108"), {}, QStringLiteral("2345678"), 30,
                                         EncodeDateTime(2024, 3, 30, 11, 0));
        socket->write(line);
        QVERIFY(socket->waitForBytesWritten(30000));
        const QString sql = QStringLiteral("SELECT count(*) FROM CALL WHERE TEXT = ?");
        QTRY_COMPARE_WITH_TIMEOUT(ServerScalar(server, sql, {QString::fromLatin1(line.chopped(2))}).toInt(), 1, 30000);
        socket->disconnectFromHost();
        QVERIFY(exchange.waitForNewConnection(30000));
    }

    // Calls wait until as many as allowed are pending; the delay writes fewer.
    void deferredWritingBoundedByCountAndDelay()
    {
        TTestServer server;
        QVERIFY(StartReceivingDemo(server));
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QVERIFY(Send(admin, kReceiverGroup, ReceiverValues(true, PortText(QStringLiteral("COM1")), {}, true, 0, 3, 32000)));
        TExchangeSocket exchange;
        QVERIFY(AttachExchange(server, exchange));
        const qint64 calls = ServerScalar(server, QStringLiteral("SELECT count(*) FROM CALL")).toLongLong();
        QByteArray two;
        for (int i = 0; i < 2; ++i)
            two += DemoLine(QStringLiteral("10%1").arg(i), {}, QStringLiteral("2345678"), 30,
                            EncodeDateTime(2024, 3, 30, 12, i));
        QVERIFY(exchange.Send(two));
        QVERIFY(admin.WaitUntil([&] {
            QString raw;
            for (const QVariantList& a : admin.CallbackArgs(QStringLiteral("RawInput")))
                raw += a.at(0).toString();
            return raw.size() >= two.size();
        }));
        server.RunOnServer([](TServer&) {});  // the turn that takes the lines has run
        QCOMPARE(ServerScalar(server, QStringLiteral("SELECT count(*) FROM CALL")).toLongLong(), calls);
        QVERIFY(exchange.Send(DemoLine(QStringLiteral("103"), {}, QStringLiteral("2345678"), 30,
                                       EncodeDateTime(2024, 3, 30, 12, 5))));
        QTRY_COMPARE_WITH_TIMEOUT(ServerScalar(server, QStringLiteral("SELECT count(*) FROM CALL")).toLongLong(),
                                  calls + 3, 30000);
        // With room for 32000 calls, one call is written once it has waited a second.
        QVERIFY(Send(admin, kReceiverGroup, ReceiverValues(true, PortText(QStringLiteral("COM1")), {}, true, 0, 32000, 1)));
        TExchangeSocket again;
        QVERIFY(AttachExchange(server, again));
        QVERIFY(again.Send(DemoLine(QStringLiteral("104"), {}, QStringLiteral("2345678"), 30,
                                    EncodeDateTime(2024, 3, 30, 12, 6))));
        QTRY_COMPARE_WITH_TIMEOUT(ServerScalar(server, QStringLiteral("SELECT count(*) FROM CALL")).toLongLong(),
                                  calls + 4, 30000);
    }

    // A receiver without input for its time-out starts again: the silent exchange's
    // connection ends and the receiver listens anew.
    void inactivityRestartsTheReceiver()
    {
        TTestServer server;
        QVERIFY(StartReceivingDemo(server));
        server.RunOnServer([](TServer& s) {
            TSettings(s.Database()).SetInt(setting::ReceiverRestartTimeout, 1);
            s.Receiver().SettingsChanged();
        });
        TExchangeSocket exchange;
        QVERIFY(AttachExchange(server, exchange));
        QVERIFY(exchange.WaitForDisconnected());
        QTRY_VERIFY_WITH_TIMEOUT(
            ServerScalar(server, QStringLiteral("SELECT count(*) FROM LOG WHERE TEXT LIKE 'No call data for 1 s%'"))
                    .toInt() > 0,
            30000);
        TExchangeSocket next;
        QVERIFY(AttachExchange(server, next));
    }

    // The VAT of the limits page charges the next call.
    void vatOfTheLimitsPageCharges()
    {
        TTestServer server;
        QVERIFY(StartReceivingDemo(server));
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QVERIFY(Send(admin, kLimitsGroup, {I16(0), I16(2), I16(1), B(false), B(false), I16(185)}));
        TExchangeSocket exchange;
        QVERIFY(AttachExchange(server, exchange));
        const QByteArray line = DemoLine(QStringLiteral("109"), {}, QStringLiteral("0887123456"), 600,
                                         EncodeDateTime(2024, 3, 30, 13, 0));
        QVERIFY(exchange.Send(line));
        const QString sql = QStringLiteral("SELECT RAW_CHARGE, VAT FROM CALL WHERE TEXT = ?");
        const QVariantList key{QString::fromLatin1(line.chopped(2))};
        QTRY_COMPARE_WITH_TIMEOUT(ServerRow(server, sql, key).size(), 2, 30000);
        const QStringList row = ServerRow(server, sql, key);
        const double raw = row[0].toDouble();
        QVERIFY(raw > 0);
        QCOMPARE(row[1].toDouble(), std::round(raw * 0.185 * 100) / 100);
    }

    // A queued command reaches each protocol's own port with its login and command strings.
    void commandsGoOutOnTheProtocolsPort_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<int>("set");
        QTest::addColumn<QVariantList>("group");  // the port settings go first, added by the test
        QTest::addColumn<QByteArray>("expected");
        namespace c = dispid::CommandsRDM;
        QTest::newRow("direct") << 3 << c::SetDirectOptions
                                << QVariantList{QVariantList{0, 0},
                                                QVariantList{QStringLiteral("B"), QStringLiteral("U"),
                                                             QStringLiteral("BP"), QStringLiteral("UP")},
                                                B(false)}
                                << QByteArray("*61*101#\r\n");
        QTest::newRow("modem") << 2 << c::SetModemOptions
                               << QVariantList{QVariantList{QStringLiteral("OK"), QStringLiteral("1"),
                                                            QStringLiteral("0"), QString()},
                                               QVariantList{QStringLiteral("ATZ"), QStringLiteral("ATDT"),
                                                            QStringLiteral("ATH"), QString()},
                                               QVariantList{0, 0, 0, 0},
                                               QVariantList{QString(), QString(), QString(), QString()}}
                               << QByteArray("ATZ\r\nATDT*61*101#\r\n");
        QTest::newRow("definity") << 0 << c::SetDefinityOptions
                                  << QVariantList{QVariantList{QStringLiteral("craft"), QStringLiteral("secret"), 7, 1},
                                                  QVariantList{0, 0, 0}, B(false)}
                                  << QByteArray("craft\r\nsecret\r\n*61*101#\r\n");
    }

    void commandsGoOutOnTheProtocolsPort()
    {
        QFETCH(int, protocol);
        QFETCH(int, set);
        QFETCH(QVariantList, group);
        QFETCH(QByteArray, expected);
        TPseudoTerminal exchange;
        QVERIFY(exchange.IsOpen());
        TTestServer server;
        server.Options().CommandRetryMs = 50;
        QVERIFY(server.Start());
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QVERIFY(Send(admin, kLimitsGroup, {I16(protocol), I16(2), I16(1), B(true), B(true), I16(200)}));
        QVERIFY(Send(admin, TGroupCall{kCommands, set, 0}, QVariantList{PortText(exchange.SlavePath())} + group));
        QCOMPARE(admin.Call(kCommands, dispid::CommandsRDM::AddCommand, {QStringLiteral("*61*101#")}).Kind,
                 TMessageKind::Reply);
        QVERIFY2(exchange.WaitForReceived(expected), exchange.Received.constData());
        QVERIFY(exchange.Received.startsWith(expected));
        QVERIFY(admin.WaitUntil([&] { return admin.CallbackCount(QStringLiteral("CommandRemoved")) == 1; }));
    }

    // Siemens HiPath: a TCP connection to the exchange, logged in before the command.
    void hiPathCommandsGoOverTcp()
    {
        QTcpServer exchange;
        QVERIFY(exchange.listen(QHostAddress::LocalHost));
        TTestServer server;
        server.Options().CommandRetryMs = 50;
        QVERIFY(server.Start());
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QVERIFY(Send(admin, kLimitsGroup, {I16(1), I16(2), I16(1), B(true), B(true), I16(200)}));
        QVERIFY(Send(admin, TGroupCall{kCommands, dispid::CommandsRDM::SetHiPathOptions, 0},
                     {QStringLiteral("127.0.0.1"), int(exchange.serverPort()),
                      QVariantList{QStringLiteral("user"), QStringLiteral("pass"), 12}, QVariantList{0, 0, 0, 0}}));
        QCOMPARE(admin.Call(kCommands, dispid::CommandsRDM::AddCommand, {QStringLiteral("SLOT 3 101")}).Kind,
                 TMessageKind::Reply);
        QVERIFY(exchange.waitForNewConnection(30000));
        std::unique_ptr<QTcpSocket> socket(exchange.nextPendingConnection());
        QByteArray received;
        const QDeadlineTimer deadline(30000);
        while (!received.contains("SLOT 3 101\r\n") && !deadline.hasExpired()) {
            socket->waitForReadyRead(100);
            received += socket->readAll();
        }
        QCOMPARE(received, QByteArray("user\r\npass\r\nSLOT 3 101\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestServerOptions)
#include "tst_server_options.moc"
