// The server end to end through the client's own session and remote datasets: the two
// ends must agree on every message, not only on what the wire tests send.

#include "remote/CallbackObject.h"
#include "remote/Connections.h"
#include "remote/RemoteDataSet.h"
#include "remote/TypeLibrary.h"
#include "support/ClientFixture.h"
#include "support/TestServer.h"

#include <QTest>

namespace {

class TRecorder : public TCallbackObject {
public:
    TRecorder(const TTypeLibrary& library, const char* iid) : TCallbackObject(library, QLatin1String(iid))
    {
        for (const TCallbackMethod& m : Interface().Methods)
            Bind(m.Name, [this, name = m.Name](const QVariantList&) { Calls << name; });
    }
    QStringList Calls;
};

struct TClient {
    TTypeLibrary Library = TTypeLibrary::Current();
    TRecorder App{Library, iid::ClientApplication};
    TRecorder Receiver{Library, iid::ClientReceiver};
    TRecorder Commands{Library, iid::ClientCommands};
    TRecorder Report{Library, iid::ClientReport};
    TSocketConnection Socket;
    TSharedConnection Admin, ReportModule;

    explicit TClient(quint16 port)
    {
        ConnectLocally(Socket, port);
        Admin.SetParentConnection(&Socket);
        Admin.SetChildName(QLatin1String(module::AdminRDM));
        ReportModule.SetParentConnection(&Socket);
        ReportModule.SetChildName(QLatin1String(module::ReportRDM));
    }

    // Opens the socket and shakes hands; returns the result, version by reference.
    int Connect(int& version)
    {
        Socket.Open();
        return ShakeHands(Socket.AppServer(), App, Receiver, Commands, Report, version);
    }
};

}  // namespace

class TestServerClient : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { RegisterProtocolTypes(); }

    void handshake_data()
    {
        QTest::addColumn<int>("serverVersion");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("same version") << 320 << true;
        QTest::newRow("310 server") << 310 << false;
    }
    void handshake()
    {
        QFETCH(int, serverVersion);
        QFETCH(bool, accepted);
        TTestServer server;
        server.Options().ServerVersion = serverVersion;
        QVERIFY(server.Start());
        TClient client(server.Port());
        int version = 320;
        const int result = client.Connect(version);
        QCOMPARE(result >= 0, accepted);
        QCOMPARE(version, serverVersion);
    }

    void callsAndErrors()
    {
        TTestServer server;
        QVERIFY(server.Start());
        TClient client(server.Port());
        int version = 320;
        QVERIFY(client.Connect(version) >= 0);
        QCOMPARE(client.Admin.AppServer().Call(301).toString(), QString());
        QCOMPARE(client.Socket.AppServer().Call(307, {false, QStringLiteral("wrong")}).toBool(), false);
        try {
            client.Admin.AppServer().Call(313);
            QFAIL("a locked client read the exchange in use");
        } catch (const EOleSysError& e) {
            QCOMPARE(e.ErrorCode(), hr::E_ACCESSDENIED_);
        }
        QCOMPARE(client.Socket.AppServer().Call(307, {true, QStringLiteral("admin")}).toBool(), true);
        QCOMPARE(client.Admin.AppServer().Call(313).toInt(), 0);
        try {
            client.Socket.AppServer().Call(399);
            QFAIL("an unknown DISPID answered");
        } catch (const EOleSysError& e) {
            QCOMPARE(e.ErrorCode(), hr::DISP_E_UNKNOWNNAME_);
        }
    }

    // Insert, modify and delete through a remote dataset, and a key violation.
    void datasetChanges()
    {
        TTestServer server;
        QVERIFY(server.Start());
        TClient client(server.Port());
        int version = 320;
        QVERIFY(client.Connect(version) >= 0);
        QVERIFY(client.Socket.AppServer().Call(307, {true, QStringLiteral("admin")}).toBool());

        TRemoteDataSet pbx;
        pbx.SetRemoteServer(&client.Admin);
        pbx.SetProviderName(QStringLiteral("dspPBX"));
        pbx.Open();
        QCOMPARE(pbx.RecordCount(), 0);
        QVERIFY(pbx.FieldByName(QStringLiteral("ID"))->IsKey());
        pbx.Append();
        pbx.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("Head office"));
        pbx.Post();
        QCOMPARE(pbx.ApplyUpdates(0), 0);
        QCOMPARE(pbx.FieldByName(QStringLiteral("ID"))->AsInteger(), 1);
        pbx.Edit();
        pbx.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("Main office"));
        pbx.Post();
        QCOMPARE(pbx.ApplyUpdates(0), 0);
        pbx.Close();
        pbx.Open();
        QCOMPARE(pbx.FieldByName(QStringLiteral("NAME"))->AsString(), QStringLiteral("Main office"));

        TRemoteDataSet reports;
        reports.SetRemoteServer(&client.ReportModule);
        reports.SetProviderName(QStringLiteral("dspReport"));
        reports.Open();
        for (int i = 0; i < 2; ++i) {
            reports.Append();
            reports.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("Same"));
            reports.FieldByName(QStringLiteral("SETUP"))->SetAsString(QStringLiteral("EXT_CODE;;"));
            reports.FieldByName(QStringLiteral("GRID"))->SetAsString(QString());
            reports.Post();
        }
        QCOMPARE(reports.ApplyUpdates(0), 1);
        QCOMPARE(reports.ApplyErrors().at(0).Code, 9729);
        reports.CancelUpdates();
        reports.Close();
        reports.Open();
        QCOMPARE(reports.RecordCount(), 0);

        pbx.Delete();
        QCOMPARE(pbx.ApplyUpdates(0), 0);
        pbx.Close();
        pbx.Open();
        QCOMPARE(pbx.RecordCount(), 0);
    }

    // A report run: the ready callback reaches the client's object, then the result opens.
    void reportRun()
    {
        TTestServer server;
        QVERIFY(server.StartDemo(QDate(2024, 3, 31)));
        TClient client(server.Port());
        int version = 320;
        QVERIFY(client.Connect(version) >= 0);
        QVERIFY(client.Socket.AppServer().Call(307, {false, QStringLiteral("user")}).toBool());
        client.ReportModule.AppServer().Call(
            301, {QStringLiteral(
                     "select c.EXT_CODE, count(c.ID) TOTAL_COUNT, sum(c.CHARGE) TOTAL_CHARGE from CALL c\r\n"
                     "group by c.EXT_CODE\r\norder by c.EXT_CODE\r\n")});
        QTRY_VERIFY_WITH_TIMEOUT(client.Report.Calls.contains(QStringLiteral("ReportReady")), 30000);
        client.Socket.AppServer().Call(312, {false});
        TRemoteDataSet result;
        result.SetRemoteServer(&client.ReportModule);
        result.SetProviderName(QStringLiteral("dspResult"));
        result.Open();
        client.Socket.AppServer().Call(312, {true});
        QCOMPARE(result.RecordCount(), 50);
        QCOMPARE(result.FieldByName(QStringLiteral("TOTAL_COUNT"))->DataType(), TFieldType::Integer);
        QCOMPARE(result.FieldByName(QStringLiteral("TOTAL_CHARGE"))->DataType(), TFieldType::Float);
        QCOMPARE(result.FieldByName(QStringLiteral("EXT_CODE"))->AsString(), QStringLiteral("101"));
        QTRY_VERIFY_WITH_TIMEOUT(client.App.Calls.contains(QStringLiteral("StatusCleared")), 30000);
        QVERIFY(client.App.Calls.contains(QStringLiteral("StatusAdded")));
    }

    void serverShutdownReachesTheClient()
    {
        TTestServer server;
        QVERIFY(server.Start());
        TClient client(server.Port());
        int version = 320;
        QVERIFY(client.Connect(version) >= 0);
        // The state the server sends after the handshake is handled first.
        QTRY_VERIFY_WITH_TIMEOUT(client.Commands.Calls.contains(QStringLiteral("QueueState")), 30000);
        server.Stop();
        QTRY_VERIFY_WITH_TIMEOUT(client.App.Calls.contains(QStringLiteral("ServerShutdown")), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(!client.Socket.Connected(), 30000);
    }
};

QTEST_GUILESS_MAIN(TestServerClient)
#include "tst_server_client.moc"
