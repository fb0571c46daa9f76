// The client's session against the real server: connecting by name and address, the
// handshake, argument types and by-reference results, errors, callbacks before a reply
// and from the event loop, nested calls from a callback, and lost connections.

#include "remote/CallSession.h"
#include "server/ClientConnection.h"
#include "support/ClientFixture.h"
#include "remote/RemoteDataSet.h"
#include "server/Server.h"
#include "support/TestServer.h"

#include <QCoreApplication>
#include <QPoint>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

namespace {

// A test-only call that notifies the application callback object before it answers.
constexpr int kNotifyFirstDispId = 9902;

void InstallNotifyFirstCall(TTestServer& server)
{
    server.RunOnServer([](TServer& s) {
        s.Calls().Add({TModule::Main, kNotifyFirstDispId, level::Locked, AnyArgCount, [](TCallContext& c) {
                           c.Client.Notify(TCallbackTarget::Application, QStringLiteral("LogMessage"),
                                           {c.Args.value(0), 7}, false);
                           return QVariant(QStringLiteral("reply"));
                       }});
    });
}

// Waits on another thread until a request of some kind has gone out.
class TRequestLatch {
public:
    explicit TRequestLatch(TCallSession& session, TMessageKind kind)
    {
        QObject::connect(&session, &TCallSession::RequestSent, &session,
                         [this, kind](quint32, TMessageKind k) {
                             if (k != kind)
                                 return;
                             std::lock_guard lock(mutex_);
                             sent_ = true;
                             cv_.notify_all();
                         });
    }
    bool Wait(int msecs)
    {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, std::chrono::milliseconds(msecs), [this] { return sent_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool sent_ = false;
};

// A statement that keeps the server's query pool busy for a long time.
const QString kSlowStatement = QStringLiteral(
    "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 2000000000) SELECT count(*) "
    "FROM c");

// A peer that answers its first requests with the given bytes, one answer per request (a
// broken server).
class TBrokenPeer {
public:
    explicit TBrokenPeer(QByteArray answer) : TBrokenPeer(QList<QByteArray>{std::move(answer)}) {}
    explicit TBrokenPeer(QList<QByteArray> answers) : answers_(std::move(answers))
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), len);
        ::listen(listener_, 1);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] {
            const int fd = ::accept(listener_, nullptr, nullptr);
            char buffer[256];
            for (const QByteArray& answer : answers_)
                if (fd >= 0 && ::read(fd, buffer, sizeof buffer) > 0)
                    (void)!::write(fd, answer.constData(), static_cast<size_t>(answer.size()));
            // Stays open: the client must end the connection itself.
            if (fd >= 0 && ::read(fd, buffer, sizeof buffer) >= 0)
                ::close(fd);
        });
    }
    ~TBrokenPeer()
    {
        thread_.join();
        ::close(listener_);
    }
    quint16 Port() const { return port_; }

private:
    QList<QByteArray> answers_;
    int listener_ = -1;
    quint16 port_ = 0;
    std::thread thread_;
};

}  // namespace

class TestSession : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestServer> server_;

private Q_SLOTS:
    void initTestCase()
    {
        RegisterProtocolTypes();
        server_ = std::make_unique<TTestServer>();
        server_->InstallEchoCall();
        QString error;
        QVERIFY2(server_->Start(&error), qPrintable(error));
        InstallNotifyFirstCall(*server_);
    }
    void cleanupTestCase() { server_.reset(); }

    void handshakeIsAccepted()
    {
        TClientFixture client;
        int serverVersion = 0;
        QCOMPARE(client.Connect(server_->Port(), 320, &serverVersion), 0);
        QCOMPARE(serverVersion, 320);
        QVERIFY(client.Socket.Connected());
        QVERIFY(client.Child("AdminRDM").Connected());
        // The child modules answer their own calls.
        QCOMPARE(client.Module("AdminRDM").Call(301).metaType().id(), QMetaType::QString);
        QCOMPARE(client.Main().Call(314).toInt(), 1);
    }

    void handshakeIsRefused_data()
    {
        QTest::addColumn<int>("serverVersion");
        QTest::addColumn<int>("clientVersion");
        QTest::addColumn<int>("versionAfter");
        QTest::newRow("older server") << 310 << 320 << 310;
        QTest::newRow("older client") << 320 << 310 << 320;
    }
    void handshakeIsRefused()
    {
        QFETCH(int, serverVersion);
        QFETCH(int, clientVersion);
        QFETCH(int, versionAfter);
        TTestServer server;
        server.Options().ServerVersion = serverVersion;
        QVERIFY(server.Start());
        TClientFixture client;
        int version = 0;
        QVERIFY(client.Connect(server.Port(), clientVersion, &version) < 0);
        QCOMPARE(version, versionAfter);
        QCOMPARE(HResultText(OleErrorOf([&] { client.Main().Call(314); })), HResultText(hr::E_ACCESSDENIED_));
    }

    void connectsByNameAndByAddress_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("numeric");
        QTest::newRow("host name") << QStringLiteral("localhost") << false;
        QTest::newRow("upper-case host name") << QStringLiteral("LOCALHOST") << false;
        QTest::newRow("IPv4 address") << QStringLiteral("127.0.0.1") << true;
        QTest::newRow("blanks around") << QStringLiteral(" 127.0.0.1 ") << true;
    }
    void connectsByNameAndByAddress()
    {
        QFETCH(QString, server);
        QFETCH(bool, numeric);
        TSocketConnection socket;
        socket.SetServer(server);
        QCOMPARE(socket.Address().isEmpty(), !numeric);
        socket.SetPort(server_->Port());
        socket.Open();
        QVERIFY(socket.Connected());
        socket.Close();
        QVERIFY(!socket.Connected());
    }

    void numericAddresses_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("numeric");
        QTest::newRow("IPv4") << QStringLiteral("192.168.0.7") << true;
        QTest::newRow("IPv6 loopback") << QStringLiteral("::1") << true;
        QTest::newRow("IPv6 upper case") << QStringLiteral("FE80::1") << true;
        QTest::newRow("dotted host name") << QStringLiteral("SRV.EXAMPLE.COM") << false;
        QTest::newRow("plain host name") << QStringLiteral("TELVANE") << false;
        QTest::newRow("five parts") << QStringLiteral("1.2.3.4.5") << false;
        // Without a dot (or an IPv6 colon) a value is a name, even one that reads as a number.
        QTest::newRow("digits only") << QStringLiteral("1234") << false;
        QTest::newRow("hexadecimal number") << QStringLiteral("0x7f000001") << false;
        QTest::newRow("short dotted address") << QStringLiteral("127.1") << true;
        QTest::newRow("empty") << QString() << false;
    }
    void numericAddresses()
    {
        QFETCH(QString, value);
        QFETCH(bool, numeric);
        QCOMPARE(TSocketConnection::IsNumericAddress(value), numeric);
    }

    void unreachableServersRaiseSocketErrors_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("freePort");
        QTest::newRow("refused") << QStringLiteral("127.0.0.1") << true;
        QTest::newRow("unknown name") << QStringLiteral("no-such-host.invalid") << false;
        QTest::newRow("not an address") << QStringLiteral("300.1.2.3") << false;
    }
    void unreachableServersRaiseSocketErrors()
    {
        QFETCH(QString, server);
        QFETCH(bool, freePort);
        quint16 port = 1;
        if (freePort) {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            port = probe.serverPort();
        }
        TSocketConnection socket;
        if (QTest::currentDataTag() == QLatin1String("not an address"))
            socket.SetAddress(server);
        else
            socket.SetServer(server);
        socket.SetPort(port);
        socket.SetConnectTimeout(3000);
        try {
            socket.Open();
            QFAIL("connected to an unreachable server");
        } catch (const ESocketError& e) {
            QVERIFY(!e.Message().isEmpty());
        }
        QVERIFY(!socket.Connected());
        QCOMPARE(HResultText(OleErrorOf([&] { socket.AppServer().Call(314); })),
                 HResultText(hr::RPC_E_DISCONNECTED_));
    }

    void argumentTypesRoundTrip_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("string") << QVariant(
            QStringLiteral("\u0417\u0434\u0440\u0430\u0432\u0435\u0439, 'x'"));
        QTest::newRow("empty string") << QVariant(QString(""));
        QTest::newRow("int32") << QVariant(-2147483647 - 1);
        QTest::newRow("int16") << VarFromInt16(-32768);
        QTest::newRow("int64") << QVariant(qint64(1) << 40);
        QTest::newRow("bool true") << QVariant(true);
        QTest::newRow("bool false") << QVariant(false);
        QTest::newRow("real") << QVariant(-0.125);
        QTest::newRow("date-time") << VarFromDateTime(EncodeDateTime(2026, 3, 1, 13, 14, 15, 16));
        QTest::newRow("bytes") << QVariant(QByteArray("\x00\xff\x7f", 3));
        QTest::newRow("null") << QVariant();
        QTest::newRow("array") << QVariant(
            QVariantList{1, QStringLiteral("two"), VarFromInt16(3), QVariantList{VarFromDateTime(2.5)}});
        QTest::newRow("interface") << QVariant::fromValue(TDispatchRef{42, QLatin1String(iid::ClientReport)});
    }
    void argumentTypesRoundTrip()
    {
        QFETCH(QVariant, value);
        TClientFixture client;
        QCOMPARE(client.Connect(server_->Port()), 0);
        const QVariant result = client.Main().Call(TTestServer::EchoDispId, {value});
        QCOMPARE(result.metaType(), value.metaType());
        QCOMPARE(result, value);
        // As a by-reference argument the value comes back into the variable.
        QVariant variable = value;
        client.Main().Call(TTestServer::EchoDispId, {QVariant(), TByRef(variable)});
        QCOMPARE(variable.metaType(), value.metaType());
        QCOMPARE(variable, value);
    }

    void byReferenceResultsAreWrittenBack()
    {
        TTestServer server;
        server.Options().ServerVersion = 310;
        QVERIFY(server.Start());
        TClientFixture client;
        client.Socket.SetAddress(QStringLiteral("127.0.0.1"));
        client.Socket.SetPort(server.Port());
        client.Socket.Open();
        // Typed variables and variants, mixed with values in between.
        int version = 320;
        QVariant result = 0;
        client.Main().Call(301, {&client.Application, &client.Receiver, &client.Commands, &client.Report,
                                 TByRef(version), TByRef(result)});
        QCOMPARE(version, 310);
        QCOMPARE(result.toInt(), -1);

        // By-reference variables keep their types when the server leaves them alone.
        TClientFixture accepted;
        QCOMPARE(accepted.Connect(server_->Port()), 0);
        QString text = QStringLiteral("kept");
        qint16 small = 5;
        QVariant date = VarFromDateTime(45000.25);
        accepted.Main().Call(TTestServer::EchoDispId, {1, TByRef(text), 2, TByRef(small), TByRef(date)});
        QCOMPARE(text, QStringLiteral("kept"));
        QCOMPARE(small, qint16(5));
        QVERIFY(VarIsDateTime(date));
        QCOMPARE(VarToDateTime(date), 45000.25);
    }

    void serverErrorsArriveWithTheirCodes_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<int>("dispId");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<quint32>("code");
        QTest::newRow("unknown DISPID") << QString() << 399 << QVariantList{} << 0x80020006u;
        QTest::newRow("unknown DISPID of a child")
            << QStringLiteral("AdminRDM") << 399 << QVariantList{} << 0x80020006u;
        QTest::newRow("wrong argument count") << QString() << 312 << QVariantList{} << 0x8002000Eu;
        QTest::newRow("wrong argument type")
            << QString() << 312 << QVariantList{QStringLiteral("x")} << 0x80020005u;
        QTest::newRow("administrator call while locked")
            << QStringLiteral("AdminRDM") << 313 << QVariantList{} << 0x80070005u;
    }
    void serverErrorsArriveWithTheirCodes()
    {
        QFETCH(QString, module);
        QFETCH(int, dispId);
        QFETCH(QVariantList, args);
        QFETCH(quint32, code);
        TClientFixture client;
        QCOMPARE(client.Connect(server_->Port()), 0);
        const TRemoteModule target =
            module.isEmpty() ? client.Main() : client.Module(module.toLatin1().constData());
        QList<TCallArg> callArgs;
        for (const QVariant& a : args)
            callArgs << a;
        QString message;
        QCOMPARE(HResultText(OleErrorOf([&] { target.Call(dispId, callArgs); }, &message)),
                 HResultText(hr::Code(code)));
        QVERIFY(!message.isEmpty());
        // The connection carries on.
        QCOMPARE(client.Main().Call(314).toInt(), 1);
    }

    void attachFailures()
    {
        TClientFixture client;
        client.Socket.SetAddress(QStringLiteral("127.0.0.1"));
        client.Socket.SetPort(server_->Port());
        client.Socket.SetServerGUID(QStringLiteral("{00000000-0000-0000-0000-000000000000}"));
        QCOMPARE(HResultText(OleErrorOf([&] { client.Socket.Open(); })),
                 HResultText(hr::DISP_E_UNKNOWNNAME_));
        QVERIFY(!client.Socket.Connected());

        client.Socket.SetServerGUID(QLatin1String(TSocketConnection::DefaultServerGUID));
        client.Socket.Open();
        TSharedConnection printer;
        printer.SetParentConnection(&client.Socket);
        printer.SetChildName(QStringLiteral("PrinterRDM"));
        QCOMPARE(HResultText(OleErrorOf([&] { printer.AppServer(); })), HResultText(hr::DISP_E_UNKNOWNNAME_));
    }

    void valuesThatCannotTravelAreRefusedBeforeSending()
    {
        TClientFixture client;
        QCOMPARE(client.Connect(server_->Port()), 0);
        QCOMPARE(HResultText(OleErrorOf(
                     [&] { client.Main().Call(TTestServer::EchoDispId, {QVariant(QPoint(1, 2))}); })),
                 HResultText(hr::DISP_E_TYPEMISMATCH_));
        QCOMPARE(client.Main().Call(TTestServer::EchoDispId, {7}).toInt(), 7);
    }

    void callbacksBeforeTheReplyRunFirst()
    {
        TClientFixture client;
        QCOMPARE(client.Connect(server_->Port()), 0);
        bool callReturned = false;
        bool ranDuringCall = false;
        client.Application.Hook = [&](const TCallbackMethod& m, const QVariantList&) {
            if (m.Name == QLatin1String("LogMessage"))
                ranDuringCall = !callReturned;
        };
        const QVariant reply = client.Main().Call(kNotifyFirstDispId, {QStringLiteral("before the reply")});
        callReturned = true;
        QCOMPARE(reply.toString(), QStringLiteral("reply"));
        QVERIFY(ranDuringCall);
        QCOMPARE(client.Application.Calls, (QStringList{QStringLiteral("LogMessage(before the reply,7)")}));
    }

    void heldNoticesArriveBeforeTheEnablingReply()
    {
        TClientFixture client;
        QCOMPARE(client.Connect(server_->Port()), 0);
        QVERIFY(client.LogIn(false));
        client.Main().Call(312, {false});
        client.Module("ReportRDM").Call(301, {QStringLiteral("select 1 as ONE")});
        // The status notice is held while live data is off ...
        QTRY_VERIFY_WITH_TIMEOUT(client.Report.Saw(QStringLiteral("ReportReady")), 10000);
        QVERIFY(!client.Application.Saw(QStringLiteral("StatusAdded")));
        // ... and arrives within the call that turns it on again.
        client.Main().Call(312, {true});
        QVERIFY(client.Application.Saw(QStringLiteral("StatusAdded")));
    }

    void idleCallbacksRunFromTheEventLoop()
    {
        TClientFixture client;
        QCOMPARE(client.Connect(server_->Port()), 0);
        QVERIFY(client.LogIn(false));
        client.Module("ReportRDM").Call(301, {QStringLiteral("select 2 as TWO")});
        QTRY_VERIFY_WITH_TIMEOUT(client.Report.Saw(QStringLiteral("ReportReady")), 10000);
        QVERIFY(client.Application.Saw(QStringLiteral("StatusAdded")));
    }

    void callbackMayCallTheServer()
    {
        TClientFixture client;
        QCOMPARE(client.Connect(server_->Port()), 0);
        QVariant nested;
        client.Application.Hook = [&](const TCallbackMethod&, const QVariantList&) {
            // A call inside a callback that runs inside a call.
            nested = client.Main().Call(TTestServer::EchoDispId, {QStringLiteral("inner")});
        };
        QCOMPARE(client.Main().Call(kNotifyFirstDispId, {QStringLiteral("outer")}).toString(),
                 QStringLiteral("reply"));
        QCOMPARE(nested.toString(), QStringLiteral("inner"));
        QCOMPARE(client.Main().Call(TTestServer::EchoDispId, {3}).toInt(), 3);
    }

    void failingCallbackDoesNotReachTheClient()
    {
        TClientFixture client;
        QCOMPARE(client.Connect(server_->Port()), 0);
        client.Application.Hook = [](const TCallbackMethod&, const QVariantList&) {
            throw EOleSysError(QStringLiteral("no"), hr::E_ACCESSDENIED_);
        };
        QCOMPARE(client.Main().Call(kNotifyFirstDispId, {QStringLiteral("x")}).toString(),
                 QStringLiteral("reply"));
        QCOMPARE(client.Application.Calls.size(), 1);
    }

    void closedConnectionFailsLaterCalls()
    {
        TClientFixture client;
        QCOMPARE(client.Connect(server_->Port()), 0);
        const TRemoteModule admin = client.Module("AdminRDM");
        client.Socket.Close();
        QCOMPARE(HResultText(OleErrorOf([&] { admin.Call(301); })), HResultText(hr::RPC_E_DISCONNECTED_));
        QCOMPARE(HResultText(OleErrorOf([&] { client.Main().Call(314); })),
                 HResultText(hr::RPC_E_DISCONNECTED_));
        // Reconnecting gives fresh handles; the old ones stay dead.
        QCOMPARE(client.Connect(server_->Port()), 0);
        QCOMPARE(client.Module("AdminRDM").Call(301).metaType().id(), QMetaType::QString);
        QCOMPARE(HResultText(OleErrorOf([&] { admin.Call(301); })), HResultText(hr::RPC_E_DISCONNECTED_));
    }

    void callbackMayCloseTheConnection()
    {
        TTestServer server;
        QVERIFY(server.Start());
        TClientFixture client;
        QCOMPARE(client.Connect(server.Port()), 0);
        bool closed = false;
        client.Application.Hook = [&](const TCallbackMethod& m, const QVariantList&) {
            if (m.Name == QLatin1String("ServerShutdown")) {
                client.Socket.Close();  // from inside the socket's own notification
                closed = true;
            }
        };
        // No handle outlives the close: the session goes with the socket's notification.
        client.Children.clear();
        server.Stop();
        QTRY_VERIFY_WITH_TIMEOUT(closed, 10000);
        QVERIFY(!client.Socket.Connected());
        QCOMPARE(HResultText(OleErrorOf([&] { client.Main().Call(314); })),
                 HResultText(hr::RPC_E_DISCONNECTED_));
    }

    void stoppedServerFailsTheWaitingCallAndLaterOnes()
    {
        TTestServer server;
        QVERIFY(server.Start());
        TClientFixture client;
        QCOMPARE(client.Connect(server.Port()), 0);
        QVERIFY(client.LogIn(false));
        QSignalSpy lost(&client.Socket, &TSocketConnection::ConnectionLost);
        const TRemoteModule report = client.Module("ReportRDM");
        report.Call(301, {kSlowStatement});
        // The open waits for the statement; the server stops meanwhile.
        TRequestLatch latch(*client.Socket.Session(), TMessageKind::Open);
        std::thread stopper([&] {
            if (latch.Wait(30000))
                server.Stop();
        });
        TRemoteDataSet result;
        result.SetRemoteServer(&client.Child("ReportRDM"));
        result.SetProviderName(QStringLiteral("dspResult"));
        const HRESULT code = OleErrorOf([&] { result.Open(); });
        stopper.join();
        QCOMPARE(HResultText(code), HResultText(hr::RPC_E_DISCONNECTED_));
        QVERIFY(!result.Active());
        // The shutdown notice came first and still ran.
        QVERIFY(client.Application.Saw(QStringLiteral("ServerShutdown")));
        QCOMPARE(HResultText(OleErrorOf([&] { client.Main().Call(314); })),
                 HResultText(hr::RPC_E_DISCONNECTED_));
        QCOMPARE(HResultText(OleErrorOf([&] { report.Call(301, {QStringLiteral("select 1")}); })),
                 HResultText(hr::RPC_E_DISCONNECTED_));
        QCOMPARE(lost.size(), 1);
        QVERIFY(!client.Socket.Connected());
    }

    void brokenAnswersEndTheConnection_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("not CBOR") << FrameBytes(QByteArray("\xff\xfe\xfd", 3));
        QTest::newRow("frame over the limit") << QByteArray("\xff\xff\xff\xff", 4);
        TMessage call;
        call.Kind = TMessageKind::Call;  // a server may not call the client this way
        call.Id = 1;
        QTest::newRow("a message of the wrong kind") << FrameBytes(EncodeMessage(call));
    }
    void brokenAnswersEndTheConnection()
    {
        QFETCH(QByteArray, answer);
        TBrokenPeer peer(answer);
        TSocketConnection socket;
        socket.SetAddress(QStringLiteral("127.0.0.1"));
        socket.SetPort(peer.Port());
        QSignalSpy lost(&socket, &TSocketConnection::ConnectionLost);
        QString message;
        QCOMPARE(HResultText(OleErrorOf([&] { socket.Open(); }, &message)),
                 HResultText(hr::RPC_E_DISCONNECTED_));
        QVERIFY2(message.contains(QStringLiteral("Protocol error")), qPrintable(message));
        QVERIFY(!socket.Connected());
        QCOMPARE(lost.size(), 1);
    }

    // A transfer that breaks the protocol ends the connection like any other broken answer.
    void brokenTransferEndsTheConnection()
    {
        TMessage attached;
        attached.Kind = TMessageKind::Reply;
        attached.Id = 1;
        attached.Result = 1;
        TMessage eof;  // the end of a transfer whose fields never came
        eof.Kind = TMessageKind::Eof;
        eof.Id = 2;
        TBrokenPeer peer(
            QList<QByteArray>{FrameBytes(EncodeMessage(attached)), FrameBytes(EncodeMessage(eof))});
        TSocketConnection socket;
        socket.SetAddress(QStringLiteral("127.0.0.1"));
        socket.SetPort(peer.Port());
        socket.Open();
        QSignalSpy lost(&socket, &TSocketConnection::ConnectionLost);
        TRemoteDataSet data;
        data.SetRemoteServer(&socket);
        data.SetProviderName(QStringLiteral("dspAny"));
        QString message;
        QCOMPARE(HResultText(OleErrorOf([&] { data.Open(); }, &message)),
                 HResultText(hr::RPC_E_DISCONNECTED_));
        QVERIFY2(message.contains(QStringLiteral("Protocol error")), qPrintable(message));
        QVERIFY(!data.Active());
        QVERIFY(!socket.Connected());
        QCOMPARE(lost.size(), 1);
    }

    void brokenFrameWhileIdleEndsTheConnection()
    {
        TMessage reply;
        reply.Kind = TMessageKind::Reply;
        reply.Id = 1;
        reply.Result = 1;
        TBrokenPeer peer(FrameBytes(EncodeMessage(reply)) + QByteArray("\xff\xff\xff\xff", 4));
        TSocketConnection socket;
        socket.SetAddress(QStringLiteral("127.0.0.1"));
        socket.SetPort(peer.Port());
        QSignalSpy lost(&socket, &TSocketConnection::ConnectionLost);
        socket.Open();  // the answer came first
        QVERIFY(lost.wait(10000));
        QVERIFY(lost.first().at(0).toString().contains(QStringLiteral("Protocol error")));
        QVERIFY(!socket.Connected());
        QCOMPARE(HResultText(OleErrorOf([&] { socket.AppServer().Call(314); })),
                 HResultText(hr::RPC_E_DISCONNECTED_));
    }

    void killedServerFailsTheWaitingCall()
    {
        TServerProcess process;
        QString error;
        QVERIFY2(process.Start({}, &error), qPrintable(error));
        TClientFixture client;
        QCOMPARE(client.Connect(process.Port()), 0);
        QVERIFY(client.LogIn(false));
        client.Module("ReportRDM").Call(301, {kSlowStatement});
        TRequestLatch latch(*client.Socket.Session(), TMessageKind::Open);
        const auto pid = static_cast<pid_t>(process.Process().processId());
        std::thread killer([&] {
            if (latch.Wait(30000))
                ::kill(pid, SIGKILL);
        });
        TRemoteDataSet result;
        result.SetRemoteServer(&client.Child("ReportRDM"));
        result.SetProviderName(QStringLiteral("dspResult"));
        const HRESULT code = OleErrorOf([&] { result.Open(); });
        killer.join();
        QCOMPARE(HResultText(code), HResultText(hr::RPC_E_DISCONNECTED_));
        QCOMPARE(HResultText(OleErrorOf([&] { client.Main().Call(314); })),
                 HResultText(hr::RPC_E_DISCONNECTED_));
        QCOMPARE(HResultText(OleErrorOf([&] { client.Module("AdminRDM").Call(301); })),
                 HResultText(hr::RPC_E_DISCONNECTED_));
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
