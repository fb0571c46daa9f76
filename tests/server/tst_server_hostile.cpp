// telvane-server as a hostile client meets it: oversized and garbage frames before and
// after the handshake, connections that never shake hands or trickle a frame, clients that
// never read, refused handshakes, password guessers, endless or huge statements, reports
// that reach for tables of the administrator, and values that are no point in time. Each
// defence keeps the other clients served.

#include "remote/ServerInterface.h"
#include "server/PasswordGuard.h"
#include "server/Server.h"
#include "support/ReceiverHelpers.h"
#include "support/TestServer.h"
#include "support/WireClient.h"

#include <QCborValue>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <limits>

namespace {

const QString kEndless =
    QStringLiteral("with recursive r(i) as (select 1 union all select i + 1 from r) select count(*) from r");

// LOG events (an event may span rows) with a row like the pattern.
qint64 LogEvents(TTestServer& server, const QString& like = QStringLiteral("%"))
{
    return ServerScalar(server, QStringLiteral("SELECT count(DISTINCT EVENT_ID) FROM LOG WHERE TEXT LIKE ?"), {like})
        .toLongLong();
}

// A frame of the given size whose message kind is garbage text.
QByteArray GarbageKindFrame(int size)
{
    const QByteArray kind = QCborValue(QString(size, QLatin1Char('x'))).toCbor();
    // {"k": "xxxx..."}: a map of one entry.
    return FrameBytes(QByteArray(1, char(0xA1)) + QCborValue(QStringLiteral("k")).toCbor() + kind);
}

bool StillServes(TWireClient& client)
{
    return client.Call(kMain, dispid::MainRDM::GetLanguage).Kind == TMessageKind::Reply;
}

// A wrong administrator password sent without waiting for the answer; returns its id.
quint32 SendGuess(TWireClient& client)
{
    TMessage guess;
    guess.Kind = TMessageKind::Call;
    guess.Id = client.NextId();
    guess.Handle = client.Handles.value(kMain);
    guess.DispId = dispid::MainRDM::CheckPassword;
    guess.Args = {true, QStringLiteral("guess")};
    client.Send(guess);
    return guess.Id;
}

}  // namespace

class TestServerHostile : public QObject {
    Q_OBJECT

    // For the tests that need a server but no options of their own.
    std::unique_ptr<TTestServer> shared_;

private Q_SLOTS:
    void initTestCase()
    {
        RegisterProtocolTypes();
        shared_ = std::make_unique<TTestServer>();
        QVERIFY(shared_->Start());
    }
    void cleanupTestCase() { shared_.reset(); }

    // A huge frame with a garbage kind costs one short LOG entry and no other client's
    // time: before a login it is refused by its length, after a login by its kind.
    void garbageFrameCostsOneShortEntry_data()
    {
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<int>("size");
        QTest::newRow("1 MiB before the handshake") << false << 1024 * 1024;
        QTest::newRow("1 MiB after a login") << true << 1024 * 1024;
        QTest::newRow("just below the login limit") << false << 60 * 1024;
    }
    void garbageFrameCostsOneShortEntry()
    {
        QFETCH(bool, loggedIn);
        QFETCH(int, size);
        TTestServer server;
        QVERIFY(server.Start());
        TWireClient good, bad;
        QVERIFY(good.OpenAsUser(server.Port()));
        QVERIFY(loggedIn ? bad.OpenAsUser(server.Port()) : bad.Connect(server.Port()));
        const qint64 before = LogEvents(server);
        bad.SendRaw(GarbageKindFrame(size));
        QVERIFY(bad.WaitForDisconnected());
        QVERIFY(StillServes(good));
        QCOMPARE(LogEvents(server) - before, 1);
        QCOMPARE(LogEvents(server, QStringLiteral("%dropped%")), 1);
        const qint64 rows = ServerScalar(server, QStringLiteral("SELECT count(*) FROM LOG WHERE EVENT_ID = "
                                                                "(SELECT max(EVENT_ID) FROM LOG)"))
                                .toLongLong();
        QVERIFY2(rows <= 3, qPrintable(QString::number(rows)));
    }

    // A flood of bad connections writes a few entries a minute, not one each.
    void droppedConnectionsAreThrottled()
    {
        TTestServer server;
        server.Options().DroppedLogPerMinute = 3;
        QVERIFY(server.Start());
        const qint64 before = LogEvents(server, QStringLiteral("%dropped%"));
        for (int i = 0; i < 10; ++i) {
            TWireClient bad;
            QVERIFY(bad.Connect(server.Port()));
            bad.SendRaw(QByteArray(4, '\0'));
            QVERIFY(bad.WaitForDisconnected());
        }
        QCOMPARE(LogEvents(server, QStringLiteral("%dropped%")) - before, 3);
    }

    // A refused handshake after an accepted one leaves the connection locked: it may call
    // nothing else, and it no longer counts among the clients.
    void refusedHandshakeDropsTheLevel()
    {
        TTestServer server;
        QVERIFY(server.Start());
        TWireClient c;
        QVERIFY(c.OpenAsAdministrator(server.Port()));
        QCOMPARE(c.Call(kAdmin, dispid::AdminRDM::PbxInUse).Kind, TMessageKind::Reply);
        const TMessage refused = c.Handshake(310);
        QCOMPARE(refused.ByRefValues.value(1).toInt(), -1);
        QCOMPARE(c.Call(kAdmin, dispid::AdminRDM::PbxInUse).Code, hr::E_ACCESSDENIED_);
        QCOMPARE(c.Call(kMain, dispid::MainRDM::GetLanguage).Code, hr::E_ACCESSDENIED_);
        int accepted = -1;
        server.RunOnServer([&](TServer& s) { accepted = s.AcceptedClients(); });
        QCOMPARE(accepted, 0);
        // An accepted handshake afterwards starts from the locked level.
        QCOMPARE(c.Handshake().ByRefValues.value(1).toInt(), 0);
        QCOMPARE(c.Call(kAdmin, dispid::AdminRDM::PbxInUse).Code, hr::E_ACCESSDENIED_);
    }

    // A connection that does not shake hands in time is dropped, whatever it does
    // meanwhile; one that did is kept.
    void handshakeDeadline_data()
    {
        QTest::addColumn<bool>("attach");
        QTest::newRow("silent") << false;
        QTest::newRow("attached, no handshake") << true;
    }
    void handshakeDeadline()
    {
        QFETCH(bool, attach);
        TTestServer server;
        server.Options().HandshakeTimeoutMs = 300;
        QVERIFY(server.Start());
        TWireClient good, idle;
        QVERIFY(good.Open(server.Port()));
        QVERIFY(idle.Connect(server.Port()));
        if (attach)
            QVERIFY(idle.AttachAll());
        QVERIFY(idle.WaitForDisconnected());
        QVERIFY(StillServes(good));
    }

    // Until a password check succeeds, frames are small.
    void loginFrameLimit_data()
    {
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("dropped");
        QTest::newRow("locked, 70 KiB") << false << 70 * 1024 << true;
        QTest::newRow("locked, 10 KiB") << false << 10 * 1024 << false;
        QTest::newRow("logged in, 1 MiB") << true << 1024 * 1024 << false;
    }
    void loginFrameLimit()
    {
        QFETCH(bool, loggedIn);
        QFETCH(int, size);
        QFETCH(bool, dropped);
        TTestServer server;
        QVERIFY(server.Start());
        TWireClient c;
        QVERIFY(loggedIn ? c.OpenAsUser(server.Port()) : c.Open(server.Port()));
        const TMessage reply =
            c.Call(kMain, dispid::MainRDM::CheckPassword, {true, QString(size, QLatin1Char('p'))});
        if (dropped) {
            QVERIFY(c.WaitForDisconnected());
        } else {
            QCOMPARE(reply.Kind, TMessageKind::Reply);
            QCOMPARE(reply.Result, QVariant(false));
        }
    }

    // Connections without a handshake are capped: the oldest goes, a real client gets in.
    void pendingConnectionsAreCapped()
    {
        TTestServer server;
        server.Options().MaxPendingConnections = 3;
        QVERIFY(server.Start());
        std::vector<std::unique_ptr<TWireClient>> idle;
        for (int i = 0; i < 5; ++i) {
            idle.push_back(std::make_unique<TWireClient>());
            QVERIFY(idle.back()->Connect(server.Port()));
        }
        QVERIFY(idle.at(0)->WaitForDisconnected());
        QVERIFY(idle.at(1)->WaitForDisconnected());
        TWireClient real;
        QVERIFY(real.OpenAsUser(server.Port()));
        int pending = -1;
        server.RunOnServer([&](TServer& s) { pending = s.PendingConnections(); });
        QVERIFY(pending <= 3);
    }

    // A frame that keeps getting a byte now and then is still dropped when it takes
    // longer than its length allows.
    void tricklingFrameIsDropped()
    {
        TTestServer server;
        server.Options().FrameTimeoutMs = 1000;
        QVERIFY(server.Start());
        TWireClient good, trickler;
        QVERIFY(good.Open(server.Port()));
        QVERIFY(trickler.Connect(server.Port()));
        QByteArray header(4, Qt::Uninitialized);
        qToBigEndian<quint32>(1000, header.data());
        trickler.SendRaw(header);
        QTimer drip;
        connect(&drip, &QTimer::timeout, &trickler.Socket, [&] { trickler.SendRaw(QByteArray(1, 'x')); });
        drip.start(200);  // well within the 1 s between bytes
        QEventLoop loop;
        connect(&trickler.Socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        loop.exec();
        QCOMPARE(trickler.Socket.state(), QAbstractSocket::UnconnectedState);
        QVERIFY(StillServes(good));
    }

    // A client that sends requests but never reads the answers is dropped once too much
    // waits for it.
    void clientThatNeverReadsIsDropped()
    {
        TTestServer server;
        server.InstallEchoCall();
        server.Options().MaxSendQueue = 1024 * 1024;
        QVERIFY(server.Start());
        TWireClient good, deaf;
        QVERIFY(good.Open(server.Port()));
        QVERIFY(deaf.OpenAsUser(server.Port()));
        deaf.Socket.setReadBufferSize(1);  // reads nothing more, so the system's buffers fill
        const QString big(128 * 1024, QLatin1Char('e'));
        const QDeadlineTimer deadline(30000);
        bool dropped = false;
        for (int i = 0; i < 2000 && !dropped && !deadline.hasExpired(); ++i) {
            TMessage call;
            call.Kind = TMessageKind::Call;
            call.Id = deaf.NextId();
            call.Handle = deaf.Handles.value(kMain);
            call.DispId = TTestServer::EchoDispId;
            call.Args = {big};
            deaf.Send(call);
            server.RunOnServer([&](TServer& s) { dropped = s.ConnectionCount() == 1; });
        }
        QVERIFY(dropped);
        QVERIFY(StillServes(good));
        QCOMPARE(LogEvents(server, QStringLiteral("%does not read%")), 1);
    }

    // Password checks run off the server's thread, and after a wrong guess the next check of
    // that account from the same address waits, on every connection from there; the
    // other clients are served meanwhile.
    void guessesFromOneAddressWait()
    {
        TTestServer server;
        server.Options().GuessDelayMs = 60000;
        server.Options().MaxGuessDelayMs = 60000;
        QVERIFY(server.Start());
        TWireClient guesser, second, other;
        QVERIFY(guesser.Open(server.Port()));
        QVERIFY(second.Open(server.Port()));
        QVERIFY(other.Open(server.Port()));
        QCOMPARE(guesser.Call(kMain, dispid::MainRDM::CheckPassword, {true, QStringLiteral("a")}).Result,
                 QVariant(false));
        qint64 wait = 0;
        server.RunOnServer([&](TServer& s) {
            wait = s.Passwords().WaitMs(QHostAddress::LocalHost, TAccount::Administrator);
        });
        QVERIFY(wait > 50000);
        const quint32 first = SendGuess(guesser);
        const quint32 again = SendGuess(second);
        for (int i = 0; i < 3; ++i)
            QVERIFY(StillServes(other));
        // Both guesses still wait, although they came before the other client's calls.
        TMessage answer;
        QVERIFY(!guesser.WaitFor(first, answer, nullptr, 100));
        QVERIFY(!second.WaitFor(again, answer, nullptr, 100));
        // The standard user's account is not held up by guesses at the administrator's.
        QCOMPARE(other.Call(kMain, dispid::MainRDM::CheckPassword, {false, QStringLiteral("user")}).Result,
                 QVariant(true));
    }

    // The waits grow with the guesses; the right password still works and ends them.
    void rightPasswordEndsTheWaiting()
    {
        TTestServer server;
        server.Options().GuessDelayMs = 20;
        server.Options().MaxGuessDelayMs = 50;
        QVERIFY(server.Start());
        TWireClient c;
        QVERIFY(c.Open(server.Port()));
        QList<qint64> waits;
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(c.Call(kMain, dispid::MainRDM::CheckPassword, {false, QStringLiteral("x")}).Result,
                     QVariant(false));
            server.RunOnServer(
                [&](TServer& s) { waits << s.Passwords().WaitMs(QHostAddress::LocalHost, TAccount::User); });
        }
        QVERIFY2(waits.at(0) <= 20 && waits.at(1) > 20 && waits.at(3) <= 50, qPrintable(QString::number(waits.at(1))));
        QCOMPARE(c.Call(kMain, dispid::MainRDM::CheckPassword, {false, QStringLiteral("user")}).Result,
                 QVariant(true));
        QCOMPARE(c.Call(kReport, dispid::ReportRDM::ChooseCatalogTable,
                        {QLatin1String(provider::ReportRDM::dspEPGroup), QStringLiteral("PBX")})
                     .Kind,
                 TMessageKind::Reply);
        server.RunOnServer([&](TServer& s) { waits << s.Passwords().WaitMs(QHostAddress::LocalHost, TAccount::User); });
        QCOMPARE(waits.last(), 0);
    }

    // A burst of wrong guesses makes two LOG entries: its first guess, and how many
    // followed once it is over.
    void guessBurstIsLoggedOnce()
    {
        TTestServer server;
        server.Options().GuessDelayMs = 1;
        server.Options().MaxGuessDelayMs = 1;
        // Long enough that a loaded machine's gaps between guesses stay inside one burst.
        server.Options().GuessQuietMs = 3000;
        QVERIFY(server.Start());
        TWireClient c;
        QVERIFY(c.Open(server.Port()));
        for (int i = 0; i < 20; ++i)
            QCOMPARE(c.Call(kMain, dispid::MainRDM::CheckPassword, {true, QStringLiteral("guess")}).Result,
                     QVariant(false));
        QCOMPARE(LogEvents(server, QStringLiteral("%wrong administrator password%")), 1);
        QTRY_COMPARE_WITH_TIMEOUT(LogEvents(server, QStringLiteral("20 wrong administrator passwords%")), 1, 20000);
    }

    // No statement runs for ever.
    void statementTimeLimit()
    {
        TTestServer server;
        server.Options().StatementTimeoutMs = 300;
        QVERIFY(server.Start());
        TWireClient c;
        QVERIFY(c.OpenAsUser(server.Port()));
        const TOpenResult r = c.RunReport(kEndless);
        QVERIFY(!r.Ok);
        QVERIFY2(r.Text.contains(QLatin1String("ran longer than")), qPrintable(r.Text));
        QVERIFY(c.RunReport(QStringLiteral("select 1")).Ok);
    }

    // Four users with endless statements leave the pool to the others.
    void endlessReportsLeaveRoomForOthers()
    {
        TTestServer server;
        QVERIFY(server.Start());
        std::vector<std::unique_ptr<TWireClient>> heavy;
        for (int i = 0; i < 4; ++i) {
            heavy.push_back(std::make_unique<TWireClient>());
            QVERIFY(heavy.back()->OpenAsUser(server.Port()));
            QCOMPARE(heavy.back()->Call(kReport, dispid::ReportRDM::RunStatement, {kEndless}).Kind,
                     TMessageKind::Reply);
        }
        TWireClient light;
        QVERIFY(light.OpenAsUser(server.Port()));
        const TOpenResult r = light.RunReport(QStringLiteral("select 42"));
        QVERIFY2(r.Ok, qPrintable(r.Text));
        QCOMPARE(r.Rows, (QList<QVariantList>{{42}}));
        for (const auto& h : heavy)
            QVERIFY(!h->HasCallback(QLatin1String(callback::ReportReady.Method)));
    }

    // Results being read stay within the server's memory for results: one that would go
    // beyond it fails while its rows are packed. A large result is kept in a temporary
    // file once read: it holds no memory, and it opens again as often as asked.
    void resultsStayWithinTheServersMemory()
    {
        TTestServer server;
        server.Options().ResultMemory = 4 * 1024 * 1024;
        QVERIFY(server.Start());
        // Rows of about 105 bytes each.
        auto rows = [](int count) {
            return QStringLiteral("with recursive r(x) as (select 1 union all select x + 1 from r limit ") +
                   QString::number(count) + QStringLiteral(") select x, printf('%0100d', x) from r");
        };
        auto inUse = [&] {
            qint64 bytes = -1;
            server.RunOnServer([&](TServer& s) { bytes = s.ResultBudget().InUse(); });
            return bytes;
        };
        TWireClient c;
        QVERIFY(c.OpenAsUser(server.Port()));
        const TOpenResult tooLarge = c.RunReport(rows(60000));  // about 6 MiB
        QVERIFY(!tooLarge.Ok);
        QVERIFY2(tooLarge.Text.contains(QLatin1String("too large")), qPrintable(tooLarge.Text));
        QCOMPARE(inUse(), 0);

        const TOpenResult kept = c.RunReport(rows(30000));  // about 3 MiB
        QVERIFY2(kept.Ok, qPrintable(kept.Text));
        QCOMPARE(kept.Count, 30000);
        QCOMPARE(inUse(), 0);
        const TOpenResult again = c.OpenDataSet(kReport, QLatin1String(provider::ReportRDM::dspResult));
        QVERIFY(again.Ok);
        QCOMPARE(again.Rows, kept.Rows);

        const TOpenResult small = c.RunReport(rows(100));  // kept in memory, within the budget
        QVERIFY(small.Ok);
        const qint64 withSmall = inUse();
        QVERIFY(withSmall > 0);
        // The next statement replaces it and gives its memory back.
        QVERIFY(c.RunReport(QStringLiteral("select 1")).Ok);
        QVERIFY(inUse() < withSmall);
    }

    // A standard user's reports read the calls and their reference tables only; the
    // administrator's statements read every table but the passwords.
    void reportTablesByLevel_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("user");
        QTest::addColumn<bool>("administrator");
        const QString count = QStringLiteral("select count(*) from %1");
        for (const char* t : {"CALL", "PBX", "ARCHIVE", "EXTENSION", "PIN_CODE", "GROUPS", "LIMIT_PLAN"})
            QTest::newRow(t) << count.arg(QLatin1String(t)) << true << true;
        for (const char* t : {"LOG", "SETTINGS", "CALL_SCHEMA", "TARIFF_RULES", "COMMAND_QUEUE", "REPORT",
                              "sqlite_master", "log"})
            QTest::newRow(t) << count.arg(QLatin1String(t)) << false << true;
        QTest::newRow("PASSWORDS") << count.arg(QLatin1String("PASSWORDS")) << false << false;
        QTest::newRow("LOG behind a common table expression")
            << QStringLiteral("with c as (select * from LOG) select count(*) from c") << false << true;
        QTest::newRow("LOG joined to CALL")
            << QStringLiteral("select count(*) from CALL c join LOG l on l.EVENT_ID = c.ID") << false << true;
        QTest::newRow("a recursive expression")
            << QStringLiteral("with recursive r(i) as (select 1 union all select i + 1 from r limit 5) "
                              "select count(*) from r")
            << true << true;
    }
    void reportTablesByLevel()
    {
        QFETCH(QString, sql);
        QFETCH(bool, user);
        QFETCH(bool, administrator);
        TWireClient u, a;
        QVERIFY(u.OpenAsUser(shared_->Port()));
        QVERIFY(a.OpenAsAdministrator(shared_->Port()));
        const TMessage asUser = u.Call(kReport, dispid::ReportRDM::RunStatement, {sql});
        QCOMPARE(asUser.Kind == TMessageKind::Reply, user);
        if (!user)
            QVERIFY2(asUser.Text.contains(QLatin1String("refused")), qPrintable(asUser.Text));
        QCOMPARE(a.Call(kReport, dispid::ReportRDM::RunStatement, {sql}).Kind == TMessageKind::Reply, administrator);
        QCOMPARE(a.Call(kLogsReport, dispid::LogsReportRDM::RunStatement, {sql}).Kind == TMessageKind::Reply,
                 administrator);
    }

    // Points in time that are no point in time are refused as invalid values.
    void impossiblePointsInTimeAreRefused_data()
    {
        QTest::addColumn<double>("value");
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
        QTest::newRow("beyond the 64-bit range") << 1e300;
        QTest::newRow("year 10000") << 2958466.5;
    }
    void impossiblePointsInTimeAreRefused()
    {
        QFETCH(double, value);
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(shared_->Port()));
        QVERIFY(admin.Apply(kAdmin, QLatin1String(provider::AdminRDM::dspPBX), {Insert({{}, QStringLiteral("P"), {}})})
                    .Errors.isEmpty());
        QVERIFY(admin.Apply(kAdmin, QLatin1String(provider::AdminRDM::dspGroups),
                            {Insert({{}, QStringLiteral("G"), {}})})
                    .Errors.isEmpty());
        const TMessage applied = admin.Apply(
            kAdmin, QLatin1String(provider::AdminRDM::dspExtension),
            {Insert({QStringLiteral("1%1").arg(QTest::currentDataTag()).left(10), QStringLiteral("E"), 1, 1, {}, {},
                     VarFromDateTime(value), {}})});
        QCOMPARE(applied.Kind, TMessageKind::Applied);
        QCOMPARE(applied.Errors.size(), 1);
        QCOMPARE(applied.Errors.first().Code, 9730);
    }
};

QTEST_GUILESS_MAIN(TestServerHostile)
#include "tst_server_hostile.moc"
