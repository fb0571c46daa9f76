// The command queue end to end: CommandsRDM 309 to 314, the callbacks every client gets,
// the queue kept in the database across a restart, and the commands written to the
// exchange attached to the receiver (or kept, with a growing retry count, while none is).

#include "support/ReceiverHelpers.h"
#include "support/TestServer.h"
#include "support/WireClient.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

// The queue as 310 returns it: texts and retry counts, or two nulls.
struct TQueue {
    bool Null = false;
    QStringList Texts;
    QList<int> Retries;
};

TQueue ReadQueue(TWireClient& c)
{
    const TMessage reply = c.Call(kCommands, 310, {QVariant(), QVariant()}, {0, 1});
    TQueue q;
    if (reply.Kind != TMessageKind::Reply || reply.ByRefValues.size() != 2)
        return q;
    const QVariant texts = reply.ByRefValues.at(0), retries = reply.ByRefValues.at(1);
    q.Null = VarIsNull(texts) && VarIsNull(retries);
    for (const QVariant& t : texts.toList())
        q.Texts << t.toString();
    for (const QVariant& r : retries.toList())
        q.Retries << r.toInt();
    return q;
}

bool Queue(TWireClient& c, const QString& text)
{
    return c.Call(kCommands, 313, {text}).Kind == TMessageKind::Reply;
}

// A server whose queue has no exchange to send to: the first command is retried every
// retryMs, and its count reaches the clients at most every noticeMs.
bool StartRetrying(TTestServer& server, int retryMs, int noticeMs)
{
    server.Options().ReceiverPort = 0;
    server.Options().CommandRetryMs = retryMs;
    server.Options().RetryNoticeMs = noticeMs;
    return server.Start();
}

}  // namespace

class TestServerQueue : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { RegisterProtocolTypes(); }

    void addRemoveAndClear()
    {
        TTestServer server;
        server.Options().CommandRetryMs = 3600000;
        QVERIFY(server.Start());
        TWireClient admin, watcher;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QVERIFY(watcher.Open(server.Port()));  // a locked client sees the queue change too

        const TQueue empty = ReadQueue(admin);
        QVERIFY(empty.Null);
        QVERIFY(Queue(admin, QStringLiteral("BLOCK 101")));
        QVERIFY(Queue(admin, QStringLiteral("UNBLOCK 102")));
        QVERIFY(Queue(admin, QStringLiteral("  PIN 3001 COR 5")));  // sent as typed
        QVERIFY(
            watcher.WaitUntil([&] { return watcher.CallbackCount(QStringLiteral("CommandAdded")) == 3; }));
        const QList<QVariantList> added = watcher.CallbackArgs(QStringLiteral("CommandAdded"));
        QCOMPARE(added.at(2).at(0).toString(), QStringLiteral("  PIN 3001 COR 5"));
        QCOMPARE(added.at(2).at(1).metaType().id(), int(QMetaType::Short));
        QCOMPARE(added.at(2).at(1).toInt(), 0);

        TQueue q = ReadQueue(admin);
        QVERIFY(!q.Null);
        QCOMPARE(q.Texts, (QStringList{QStringLiteral("BLOCK 101"), QStringLiteral("UNBLOCK 102"),
                                       QStringLiteral("  PIN 3001 COR 5")}));
        QCOMPARE(q.Retries, (QList<int>{0, 0, 0}));

        QCOMPARE(admin.Call(kCommands, 311, {1}).Kind, TMessageKind::Reply);
        QVERIFY(watcher.WaitForCallback(QStringLiteral("CommandRemoved")));
        QCOMPARE(watcher.CallbackArgs(QStringLiteral("CommandRemoved")).at(0), (QVariantList{1}));
        q = ReadQueue(admin);
        QCOMPARE(q.Texts, (QStringList{QStringLiteral("BLOCK 101"), QStringLiteral("  PIN 3001 COR 5")}));
        QCOMPARE(ServerScalar(server, QStringLiteral("SELECT group_concat(TEXT, '|') FROM (SELECT TEXT FROM "
                                                     "COMMAND_QUEUE ORDER BY ID)"))
                     .toString(),
                 QStringLiteral("BLOCK 101|  PIN 3001 COR 5"));

        const TMessage outOfRange = admin.Call(kCommands, 311, {2});
        QCOMPARE(outOfRange.Kind, TMessageKind::Error);
        QCOMPARE(outOfRange.Code, hr::DISP_E_EXCEPTION_);
        QCOMPARE(admin.Call(kCommands, 311, {-1}).Code, hr::DISP_E_EXCEPTION_);

        QCOMPARE(admin.Call(kCommands, 312).Kind, TMessageKind::Reply);
        QVERIFY(watcher.WaitForCallback(QStringLiteral("QueueCleared")));
        QVERIFY(ReadQueue(admin).Null);
        QCOMPARE(ServerScalar(server, QStringLiteral("SELECT count(*) FROM COMMAND_QUEUE")).toInt(), 0);
        QCOMPARE(ServerScalar(server, QStringLiteral("SELECT count(*) FROM LOG WHERE CATEGORY = 'comands'"))
                     .toInt(),
                 5);
    }

    // A command is one line of single-byte text; anything else would reach the exchange
    // as something else than what was typed.
    void refusedCommands_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("blanks only") << "   ";
        QTest::newRow("two lines") << "BLOCK 101\r\nBLOCK 102";
        QTest::newRow("line feed") << "BLOCK\n101";
        QTest::newRow("tab") << "BLOCK\t101";
        QTest::newRow("beyond Latin-1") << QStringLiteral("BLOCK \u0411");
        QTest::newRow("too long") << QString(251, QLatin1Char('X'));
    }
    void refusedCommands()
    {
        QFETCH(QString, text);
        TTestServer server;
        QVERIFY(server.Start());
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        const TMessage reply = admin.Call(kCommands, 313, {text});
        QCOMPARE(reply.Kind, TMessageKind::Error);
        QCOMPARE(reply.Code, hr::DISP_E_EXCEPTION_);
        QVERIFY(ReadQueue(admin).Null);
        QVERIFY(!admin.HasCallback(QStringLiteral("CommandAdded")));
    }

    void longestAcceptedCommand()
    {
        TTestServer server;
        QVERIFY(server.Start());
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        const QString text = QString(249, QLatin1Char('X')) + QChar(0xE9);
        QVERIFY(Queue(admin, text));
        QCOMPARE(ReadQueue(admin).Texts, QStringList{text});
    }

    // 309 switches the queue; every client hears it, and a new one learns the state when
    // it shakes hands, also after a restart.
    void enabledStateReachesEveryClient()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("queue.db"));
        {
            TTestServer server;
            server.Options().DatabasePath = path;
            QVERIFY(server.Start());
            TWireClient admin, watcher;
            QVERIFY(admin.OpenAsAdministrator(server.Port()));
            QVERIFY(watcher.Open(server.Port()));
            QVERIFY(watcher.WaitForCallback(QStringLiteral("QueueState")));
            QCOMPARE(admin.Call(kCommands, 309).Kind, TMessageKind::Reply);
            QCOMPARE(admin.Call(kCommands, 309).Kind, TMessageKind::Reply);
            QCOMPARE(admin.Call(kCommands, 309).Kind, TMessageKind::Reply);
            QVERIFY(
                watcher.WaitUntil([&] { return watcher.CallbackCount(QStringLiteral("QueueState")) == 4; }));
            QList<bool> states;
            for (const QVariantList& args : watcher.CallbackArgs(QStringLiteral("QueueState")))
                states << args.at(0).toBool();
            QCOMPARE(states, (QList<bool>{true, false, true, false}));
            QVERIFY(Queue(admin, QStringLiteral("BLOCK 101")));
            QVERIFY(Queue(admin, QStringLiteral("BLOCK 102")));
        }
        TTestServer server;
        server.Options().DatabasePath = path;
        QVERIFY(server.Start());
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QVERIFY(admin.WaitForCallback(QStringLiteral("QueueState")));
        QCOMPARE(admin.CallbackArgs(QStringLiteral("QueueState")).at(0), (QVariantList{false}));
        QCOMPARE(ReadQueue(admin).Texts,
                 (QStringList{QStringLiteral("BLOCK 101"), QStringLiteral("BLOCK 102")}));
    }

    // A database of the first schema version gets the queue table when it is opened.
    void olderDatabaseGetsTheQueue()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("old.db"));
        {
            TTestServer server;
            server.Options().DatabasePath = path;
            QVERIFY(server.Start());
        }
        {
            TDatabase db(path, TDatabase::TMode::ReadWrite);
            db.Exec(QStringLiteral("DROP TABLE COMMAND_QUEUE"));
            db.Exec(QStringLiteral("UPDATE SETTINGS SET VALUE = '1' WHERE NAME = 'schema_version'"));
        }
        TTestServer server;
        server.Options().DatabasePath = path;
        QVERIFY(server.Start());
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QVERIFY(Queue(admin, QStringLiteral("BLOCK 101")));
        QCOMPARE(
            ServerScalar(server, QStringLiteral("SELECT VALUE FROM SETTINGS WHERE NAME = 'schema_version'"))
                .toString(),
            QStringLiteral("2"));
    }

    // With an exchange attached, queued commands are written to it in order, each as a
    // line, and leave the queue.
    void commandsGoToTheExchange()
    {
        TTestServer server;
        TWireClient admin;
        TExchangeSocket exchange;
        QVERIFY(StartWithExchange(server, admin, exchange));

        QVERIFY(Queue(admin, QStringLiteral("BLOCK 101")));
        QVERIFY(Queue(admin, QStringLiteral("BLOCK 102")));
        QVERIFY(exchange.WaitForReceived("BLOCK 102\r\n"));
        QCOMPARE(exchange.Received, QByteArray("BLOCK 101\r\nBLOCK 102\r\n"));
        QVERIFY(admin.WaitUntil([&] { return admin.CallbackCount(QStringLiteral("CommandRemoved")) == 2; }));
        for (const QVariantList& args : admin.CallbackArgs(QStringLiteral("CommandRemoved")))
            QCOMPARE(args, (QVariantList{0}));
        QVERIFY(ReadQueue(admin).Null);
        QCOMPARE(ServerScalar(server, QStringLiteral("SELECT count(*) FROM COMMAND_QUEUE")).toInt(), 0);
        QCOMPARE(
            ServerScalar(server, QStringLiteral("SELECT count(*) FROM LOG WHERE CATEGORY = 'comands' AND "
                                                "TEXT = 'Command sent to the exchange: BLOCK 102'"))
                .toInt(),
            1);
    }

    // A disabled queue keeps its commands even with an exchange attached (the command is
    // written, if at all, within the call that queues it); enabling it sends them.
    void disabledQueueWaits()
    {
        TTestServer server;
        TWireClient admin;
        TExchangeSocket exchange;
        QVERIFY(StartWithExchange(server, admin, exchange));
        QCOMPARE(admin.Call(kCommands, 309).Kind, TMessageKind::Reply);
        QVERIFY(Queue(admin, QStringLiteral("UNBLOCK 101")));
        QCOMPARE(ReadQueue(admin).Texts, QStringList{QStringLiteral("UNBLOCK 101")});
        QCOMPARE(admin.Call(kCommands, 309).Kind, TMessageKind::Reply);
        QVERIFY(exchange.WaitForReceived("UNBLOCK 101\r\n"));
        QVERIFY(ReadQueue(admin).Null);
    }

    // Without an exchange the first command is retried at every interval and counts its
    // attempts; the commands behind it wait. An exchange that connects gets them all.
    void retriesWithoutAnExchange()
    {
        TTestServer server;
        server.Options().ReceiverPort = 0;
        server.Options().CommandRetryMs = 20;
        QVERIFY(server.Start());
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QVERIFY(Queue(admin, QStringLiteral("BLOCK 101")));
        QVERIFY(Queue(admin, QStringLiteral("BLOCK 102")));
        QTRY_VERIFY_WITH_TIMEOUT(ReadQueue(admin).Retries.value(0) >= 3, 30000);
        const TQueue q = ReadQueue(admin);
        QCOMPARE(q.Texts, (QStringList{QStringLiteral("BLOCK 101"), QStringLiteral("BLOCK 102")}));
        QCOMPARE(q.Retries.at(1), 0);
        QCOMPARE(ServerScalar(server, QStringLiteral("SELECT RETRY_COUNT FROM COMMAND_QUEUE ORDER BY ID"))
                         .toInt() >= 3,
                 true);

        QCOMPARE(admin.Call(QStringLiteral("ReceiverRDM"), 301).Kind, TMessageKind::Reply);
        TExchangeSocket exchange;
        QVERIFY(exchange.Connect(ReceiverPort(server)));
        QVERIFY(exchange.WaitForReceived("BLOCK 102\r\n"));
        QCOMPARE(exchange.Received, QByteArray("BLOCK 101\r\nBLOCK 102\r\n"));
    }

    // The retry count reaches every client as it grows, at most once per notice interval:
    // the first retry at once, the ones within the interval folded into one notice.
    void retryCountsReachTheClients()
    {
        TTestServer server;
        QVERIFY(StartRetrying(server, 10, 3600000));
        TWireClient admin, watcher;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QVERIFY(watcher.Open(server.Port()));
        QVERIFY(Queue(admin, QStringLiteral("BLOCK 101")));
        QVERIFY(Queue(admin, QStringLiteral("BLOCK 102")));
        QTRY_VERIFY_WITH_TIMEOUT(ReadQueue(admin).Retries.value(0) >= 5, 30000);
        // Every notice of the retries so far reaches the watcher before this answer.
        QCOMPARE(watcher.Call(kMain, dispid::MainRDM::GetLanguage).Kind, TMessageKind::Reply);
        const QList<QVariantList> notices = watcher.CallbackArgs(QStringLiteral("RetryCountChanged"));
        QCOMPARE(notices.size(), 1);
        QCOMPARE(notices.first().at(0).toInt(), 0);
        QCOMPARE(notices.first().at(1).metaType().id(), int(QMetaType::Short));
        QCOMPARE(notices.first().at(1).toInt(), 1);
    }

    void retryCountsKeepComing()
    {
        TTestServer server;
        QVERIFY(StartRetrying(server, 10, 40));
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QVERIFY(Queue(admin, QStringLiteral("BLOCK 101")));
        QVERIFY(admin.WaitUntil([&] {
            const QList<QVariantList> notices = admin.CallbackArgs(QStringLiteral("RetryCountChanged"));
            return !notices.isEmpty() && notices.last().at(1).toInt() >= 4;
        }));
        int previous = 0;
        for (const QVariantList& notice : admin.CallbackArgs(QStringLiteral("RetryCountChanged"))) {
            QCOMPARE(notice.at(0).toInt(), 0);
            QVERIFY(notice.at(1).toInt() > previous);
            previous = notice.at(1).toInt();
        }
        // The count shown is never ahead of the server's.
        QVERIFY(ReadQueue(admin).Retries.value(0) >= previous);
    }

    void controlProtocol_data()
    {
        QTest::addColumn<int>("given");  // -1: not on the command line
        QTest::addColumn<int>("expected");
        QTest::newRow("default") << -1 << 0;
        QTest::newRow("Avaya Definity") << 0 << 0;
        QTest::newRow("Siemens HiPath") << 1 << 1;
        QTest::newRow("modem") << 2 << 2;
        QTest::newRow("direct commands") << 3 << 3;
    }
    void controlProtocol()
    {
        QFETCH(int, given);
        QFETCH(int, expected);
        TTestServer server;
        if (given >= 0)
            server.Options().ControlProtocol = given;
        QVERIFY(server.Start());
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        const TMessage reply = admin.Call(kCommands, 314);
        QCOMPARE(reply.Kind, TMessageKind::Reply);
        QCOMPARE(reply.Result.metaType().id(), int(QMetaType::Short));
        QCOMPARE(reply.Result.toInt(), expected);
    }

    // The queue, the receiver and the administration's format and exchange choices are
    // the administrator's.
    void administratorOnly_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<int>("dispId");
        QTest::addColumn<QVariantList>("args");
        const QVariantList none;
        QTest::newRow("toggle queue") << kCommands << 309 << none;
        QTest::newRow("queue contents") << kCommands << 310 << QVariantList{QVariant(), QVariant()};
        QTest::newRow("delete command") << kCommands << 311 << QVariantList{0};
        QTest::newRow("delete all") << kCommands << 312 << none;
        QTest::newRow("custom command") << kCommands << 313 << QVariantList{QStringLiteral("X")};
        QTest::newRow("control protocol") << kCommands << 314 << none;
        QTest::newRow("toggle receiver") << "ReceiverRDM" << 301 << none;
        QTest::newRow("check format") << "AdminRDM" << 302 << QVariantList{QStringLiteral("(phone:10)")};
        QTest::newRow("use format") << "AdminRDM" << 303 << none;
        QTest::newRow("empty rule") << "AdminRDM" << 306 << none;
        QTest::newRow("rule template") << "AdminRDM" << 307 << none;
        QTest::newRow("check rules") << "AdminRDM" << 312 << QVariantList{QStringLiteral("rate * 0 0")};
        QTest::newRow("use exchange") << "AdminRDM" << 314 << QVariantList{1};
    }
    void administratorOnly()
    {
        QFETCH(QString, module);
        QFETCH(int, dispId);
        QFETCH(QVariantList, args);
        TTestServer server;
        QVERIFY(server.Start());
        TWireClient user;
        QVERIFY(user.OpenAsUser(server.Port()));
        QCOMPARE(user.Call(module, dispId, args).Code, hr::E_ACCESSDENIED_);
    }
};

QTEST_GUILESS_MAIN(TestServerQueue)
#include "tst_server_queue.moc"
