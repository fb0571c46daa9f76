// Blocking and the spending limits end to end: the administrator's block and unblock
// (AdminRDM 304, 305, 309, 310) through the command queue and stored, the limit of an
// extension spent by calls from the exchange simulator, its reset by the timer, and a reset
// that fell due while the server was stopped applied when it starts.

#include "core/DateTime.h"
#include "server/Database.h"
#include "server/SpendingLimits.h"
#include "server/SqlValues.h"
#include "support/ReceiverHelpers.h"
#include "support/TestServer.h"
#include "support/WireClient.h"

#include <QProcess>
#include <QTest>

namespace {

constexpr int kWaitMs = 30000;

QString SimulatorPath()
{
    return qEnvironmentVariable("TELVANE_BIN_DIR") + QStringLiteral("/telvane-pbx-sim");
}

QStringList QueuedCommands(TTestServer& server)
{
    const QString all = ServerScalar(server, QStringLiteral("SELECT group_concat(TEXT, '|') FROM (SELECT TEXT "
                                                            "FROM COMMAND_QUEUE ORDER BY ID)"))
                            .toString();
    return all.isEmpty() ? QStringList() : all.split(QLatin1Char('|'));
}

// BLOCKED, MONEY_LEFT and NEXT_RESET of a code.
QStringList CodeState(TTestServer& server, const char* table, int pbx, const QString& code)
{
    return ServerRow(server,
                     QStringLiteral("SELECT BLOCKED, MONEY_LEFT, NEXT_RESET FROM %1 WHERE PBX_ID = ? AND CODE = ?")
                         .arg(QLatin1String(table)),
                     {pbx, code});
}

// What the limits queued, in order. While the simulator is attached the queue sends each
// command at once, so the queue itself may be empty again.
QStringList QueuedByTheLimits(TTestServer& server)
{
    const QString all =
        ServerScalar(server, QStringLiteral("SELECT group_concat(TEXT, '|') FROM (SELECT TEXT FROM LOG WHERE TEXT "
                                            "LIKE 'The spending limits queued the command %' ORDER BY EVENT_ID)"))
            .toString();
    QStringList commands;
    for (const QString& entry : all.split(QLatin1Char('|'), Qt::SkipEmptyParts))
        commands << entry.section(QLatin1Char('"'), 1, 1);
    return commands;
}

void Exec(TTestServer& server, const QString& sql, const QVariantList& params = {})
{
    server.RunOnServer([&](TServer& s) {
        TStatement stmt = s.Database().Prepare(sql);
        for (int i = 0; i < params.size(); ++i)
            stmt.Bind(i + 1, params.at(i));
        stmt.Step();
    });
}

}  // namespace

class TestServerSpending : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { RegisterProtocolTypes(); }

    void periods_data()
    {
        QTest::addColumn<QDateTime>("due");
        QTest::addColumn<QVariant>("interval");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QDateTime>("next");
        const QDateTime noon(QDate(2026, 3, 10), QTime(12, 0));
        QTest::newRow("due now: one day on") << noon << QVariant(86400) << noon << noon.addDays(1);
        QTest::newRow("three days missed") << noon << QVariant(86400) << noon.addDays(3).addSecs(60)
                                           << noon.addDays(4);
        QTest::newRow("one minute test") << noon << QVariant(60) << noon.addSecs(150) << noon.addSecs(180);
        QTest::newRow("a month") << noon << QVariant(-1) << noon << noon.addMonths(1);
        QTest::newRow("null is a month") << noon << QVariant() << noon.addSecs(1) << noon.addMonths(1);
        QTest::newRow("zero is a month") << noon << QVariant(0) << noon << noon.addMonths(1);
        const QDateTime endOfJanuary(QDate(2026, 1, 31), QTime(8, 0));
        QTest::newRow("31 January to February's last day")
            << endOfJanuary << QVariant(-1) << endOfJanuary << QDateTime(QDate(2026, 2, 28), QTime(8, 0));
        QTest::newRow("31 January, February missed, keeps the 31st")
            << endOfJanuary << QVariant(-1) << QDateTime(QDate(2026, 3, 1), QTime(0, 0))
            << QDateTime(QDate(2026, 3, 31), QTime(8, 0));
        QTest::newRow("months missed over a year end")
            << QDateTime(QDate(2025, 11, 15), QTime(0, 0)) << QVariant(-1) << QDateTime(QDate(2026, 2, 20), QTime(9, 0))
            << QDateTime(QDate(2026, 3, 15), QTime(0, 0));
    }

    void periods()
    {
        QFETCH(QDateTime, due);
        QFETCH(QVariant, interval);
        QFETCH(QDateTime, now);
        QFETCH(QDateTime, next);
        const TDateTime got = NextResetAfter(DateTimeFromQDateTime(due), interval, DateTimeFromQDateTime(now));
        QCOMPARE(DateTimeToQDateTime(got), next);
    }

    // The administrator's block and unblock: the command reaches the queue (and every
    // client's queue window), the state is stored and outlives a restart.
    void blockAndUnblock_data()
    {
        QTest::addColumn<int>("dispId");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("blocked");
        QTest::newRow("block extension") << dispid::AdminRDM::BlockExtension << QVariantList{2, QStringLiteral("203")}
                                         << "EXTENSION" << "BLOCK EXTENSION 203 PBX 2" << 1;
        QTest::newRow("unblock extension")
            << dispid::AdminRDM::UnblockExtension << QVariantList{2, QStringLiteral("203")} << "EXTENSION"
            << "UNBLOCK EXTENSION 203 PBX 2" << 0;
        QTest::newRow("block PIN code, erase list") << dispid::AdminRDM::BlockPinCode << QVariantList{1, {}, true}
                                                    << "PIN_CODE" << "BLOCK PIN %1 PBX 1 ERASE LIST" << 1;
        QTest::newRow("block PIN code, keep list") << dispid::AdminRDM::BlockPinCode << QVariantList{1, {}, false}
                                                   << "PIN_CODE" << "BLOCK PIN %1 PBX 1" << 1;
        QTest::newRow("unblock PIN code") << dispid::AdminRDM::UnblockPinCode << QVariantList{1, {}}
                                          << "PIN_CODE" << "UNBLOCK PIN %1 PBX 1" << 0;
    }

    void blockAndUnblock()
    {
        QFETCH(int, dispId);
        QFETCH(QVariantList, args);
        QFETCH(QString, table);
        QFETCH(QString, command);
        QFETCH(int, blocked);
        TTestServer server;
        server.Options().CommandRetryMs = 3600000;
        QVERIFY(server.StartDemo(QDate(2024, 3, 31)));
        if (!args.at(1).isValid())  // the first PIN code of the head office
            args[1] = ServerScalar(server, QStringLiteral("SELECT min(CODE) FROM PIN_CODE WHERE PBX_ID = 1"));
        const QString code = args.at(1).toString();
        if (command.contains(QLatin1String("%1")))
            command = command.arg(code);
        // Unblocking starts from a blocked code.
        Exec(server, QStringLiteral("UPDATE %1 SET BLOCKED = ? WHERE PBX_ID = ? AND CODE = ?").arg(table),
             {1 - blocked, args.at(0), code});
        TWireClient admin, watcher;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QVERIFY(watcher.Open(server.Port()));

        QCOMPARE(admin.Call(kAdmin, dispId, args).Kind, TMessageKind::Reply);
        QVERIFY(watcher.WaitForCallback(QStringLiteral("CommandAdded")));
        QCOMPARE(watcher.CallbackArgs(QStringLiteral("CommandAdded")).at(0).at(0).toString(), command);
        QCOMPARE(QueuedCommands(server), QStringList{command});
        QCOMPARE(CodeState(server, qPrintable(table), args.at(0).toInt(), code).value(0), QString::number(blocked));

        server.Stop();
        QVERIFY(server.Start());
        QCOMPARE(CodeState(server, qPrintable(table), args.at(0).toInt(), code).value(0), QString::number(blocked));
        QCOMPARE(QueuedCommands(server), QStringList{command});
    }

    void blockingAnUnknownCodeQueuesNothing_data()
    {
        QTest::addColumn<int>("dispId");
        QTest::addColumn<QVariantList>("args");
        QTest::newRow("extension on another exchange") << dispid::AdminRDM::BlockExtension
                                                       << QVariantList{3, QStringLiteral("101")};
        QTest::newRow("no such extension") << dispid::AdminRDM::UnblockExtension
                                           << QVariantList{1, QStringLiteral("999")};
        QTest::newRow("no such PIN code") << dispid::AdminRDM::BlockPinCode
                                          << QVariantList{1, QStringLiteral("0"), false};
        QTest::newRow("no such exchange") << dispid::AdminRDM::UnblockPinCode
                                          << QVariantList{42, QStringLiteral("1234")};
    }

    void blockingAnUnknownCodeQueuesNothing()
    {
        QFETCH(int, dispId);
        QFETCH(QVariantList, args);
        TTestServer server;
        server.Options().CommandRetryMs = 3600000;
        QVERIFY(server.StartDemo(QDate(2024, 3, 31)));
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        const TMessage reply = admin.Call(kAdmin, dispId, args);
        QCOMPARE(reply.Kind, TMessageKind::Error);
        QCOMPARE(reply.Code, hr::DISP_E_EXCEPTION_);
        QVERIFY2(reply.Text.contains(args.at(1).toString()), qPrintable(reply.Text));
        QVERIFY(QueuedCommands(server).isEmpty());
        QCOMPARE(ServerScalar(server, QStringLiteral("SELECT count(*) FROM EXTENSION WHERE BLOCKED <> 0")).toInt(), 0);
    }

    // Calls from the simulator spend the head office's small daily limits: each extension
    // that made a charged call without a PIN code is blocked through the queue; the reset
    // at the end of its period gives the money back and unblocks it.
    void spentLimitBlocksAndResetUnblocks()
    {
        TTestServer server;
        ReceiveOnAFreePort(server);
        server.Options().CommandRetryMs = 3600000;
        QVERIFY(server.StartDemo());
        const QString tomorrow = DateTimeToSqlText(IncSeconds(Now(), 86400));
        Exec(server, QStringLiteral("UPDATE LIMIT_PLAN SET MONEY_LIMIT = 0.05, RESET_INTERVAL = 86400 WHERE ID = 3"));
        Exec(server, QStringLiteral("UPDATE EXTENSION SET LIMIT_PLAN_ID = 3, MONEY_LEFT = 0.05, NEXT_RESET = ?, "
                                    "BLOCKED = 0 WHERE PBX_ID = 1"),
             {tomorrow});
        Exec(server, QStringLiteral("DELETE FROM CALL"));
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));

        QProcess sim;
        sim.start(SimulatorPath(), {QStringLiteral("--port"), QString::number(ReceiverPort(server)),
                                    QStringLiteral("--count"), QStringLiteral("30"), QStringLiteral("--rate"),
                                    QStringLiteral("0"), QStringLiteral("--seed"), QStringLiteral("5")});
        QVERIFY(sim.waitForFinished(60000));
        QCOMPARE(sim.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(ServerScalar(server, QStringLiteral("SELECT count(*) FROM CALL")).toInt(), 30,
                                  kWaitMs);

        const QString spenders =
            ServerScalar(server, QStringLiteral("SELECT group_concat(EXT_CODE, ',') FROM (SELECT DISTINCT EXT_CODE "
                                                "FROM CALL WHERE PIN_CODE IS NULL AND CHARGE > 0 ORDER BY EXT_CODE)"))
                .toString();
        QVERIFY2(!spenders.isEmpty(), "the simulator made no charged call without a PIN code");
        QCOMPARE(ServerScalar(server, QStringLiteral("SELECT group_concat(CODE, ',') FROM (SELECT CODE FROM "
                                                     "EXTENSION WHERE BLOCKED = 2 ORDER BY CODE)"))
                     .toString(),
                 spenders);
        QStringList blocks;
        for (const QString& code : spenders.split(QLatin1Char(',')))
            blocks << QStringLiteral("BLOCK EXTENSION %1 PBX 1").arg(code);
        QStringList queued = QueuedByTheLimits(server);
        queued.sort();
        blocks.sort();
        QCOMPARE(queued, blocks);
        const QString first = spenders.section(QLatin1Char(','), 0, 0);
        const double spent = ServerScalar(server, QStringLiteral("SELECT sum(CHARGE) FROM CALL WHERE EXT_CODE = ? "
                                                                 "AND PIN_CODE IS NULL"),
                                          {first})
                                 .toDouble();
        QCOMPARE(CodeState(server, "EXTENSION", 1, first).value(1).toDouble(), RoundCurrency(0.05 - spent));
        // An event's text may span rows, split at blanks.
        QVERIFY(ServerScalar(server, QStringLiteral("SELECT count(*) FROM (SELECT group_concat(TEXT, ' ') AS T FROM "
                                                    "(SELECT EVENT_ID, TEXT FROM LOG ORDER BY EVENT_ID, rowid) "
                                                    "GROUP BY EVENT_ID) WHERE T LIKE ?"),
                             {QStringLiteral("The limit \"Daily allowance\" of extension %1 of %is spent%it is blocked.")
                                  .arg(first)})
                    .toInt() == 1);
        // Calls with a PIN code are charged to the PIN code only.
        QCOMPARE(ServerScalar(server, QStringLiteral("SELECT count(*) FROM EXTENSION e WHERE e.PBX_ID = 1 AND "
                                                     "e.MONEY_LEFT < 0.05 AND NOT EXISTS (SELECT 1 FROM CALL c "
                                                     "WHERE c.EXT_CODE = e.CODE AND c.PIN_CODE IS NULL AND "
                                                     "c.CHARGE > 0)"))
                     .toInt(),
                 0);

        // The period ends in a moment; 311 makes the server wait for it.
        Exec(server, QStringLiteral("UPDATE EXTENSION SET NEXT_RESET = ? WHERE PBX_ID = 1 AND CODE = ?"),
             {DateTimeToSqlText(IncSeconds(Now(), 1)), first});
        QCOMPARE(admin.Call(kAdmin, dispid::AdminRDM::ExtPinSaved).Kind, TMessageKind::Reply);
        QTRY_COMPARE_WITH_TIMEOUT(CodeState(server, "EXTENSION", 1, first).value(0), QStringLiteral("0"), kWaitMs);
        const QStringList state = CodeState(server, "EXTENSION", 1, first);
        QCOMPARE(state.at(1).toDouble(), 0.05);
        QVERIFY(state.at(2) > DateTimeToSqlText(IncSeconds(Now(), 86400 - 60)));
        QCOMPARE(QueuedByTheLimits(server).last(), QStringLiteral("UNBLOCK EXTENSION %1 PBX 1").arg(first));
    }

    // A period that ended while the server was stopped: the start gives the money back,
    // unblocks the code and moves NEXT_RESET past the present, skipping the missed periods.
    void resetMissedWhileStopped()
    {
        TTestServer server;
        server.Options().CommandRetryMs = 3600000;
        QVERIFY(server.StartDemo(QDate(2024, 3, 31)));
        const QString code = ServerScalar(server, QStringLiteral("SELECT min(CODE) FROM PIN_CODE WHERE PBX_ID = 2"))
                                 .toString();
        Exec(server, QStringLiteral("UPDATE LIMIT_PLAN SET MONEY_LIMIT = 7.5 WHERE ID = 3"));
        Exec(server, QStringLiteral("UPDATE PIN_CODE SET LIMIT_PLAN_ID = 3, MONEY_LEFT = -1.2, BLOCKED = 2, "
                                    "NEXT_RESET = ? WHERE PBX_ID = 2 AND CODE = ?"),
             {DateTimeToSqlText(IncSeconds(Now(), 86400)), code});
        server.Stop();

        const QDateTime due = QDateTime::currentDateTime().addDays(-3).addSecs(3600);
        {
            TDatabase db(server.DatabasePath(), TDatabase::TMode::ReadWrite);
            TStatement stmt = db.Prepare(QStringLiteral("UPDATE PIN_CODE SET NEXT_RESET = ? WHERE PBX_ID = 2 AND CODE = ?"));
            stmt.BindText(1, DateTimeToSqlText(DateTimeFromQDateTime(due)));
            stmt.BindText(2, code);
            stmt.Step();
        }
        QVERIFY(server.Start());
        const QStringList state = CodeState(server, "PIN_CODE", 2, code);
        QCOMPARE(state.at(0), QStringLiteral("0"));
        QCOMPARE(state.at(1).toDouble(), 7.5);
        QCOMPARE(state.at(2), DateTimeToSqlText(DateTimeFromQDateTime(due.addDays(3))));
        QCOMPARE(QueuedCommands(server), QStringList{QStringLiteral("UNBLOCK PIN %1 PBX 2").arg(code)});
    }

    // A block by an administrator is no limit's to lift: a reset leaves it.
    void resetKeepsAnAdministratorsBlock()
    {
        TTestServer server;
        server.Options().CommandRetryMs = 3600000;
        QVERIFY(server.StartDemo(QDate(2024, 3, 31)));
        Exec(server, QStringLiteral("UPDATE EXTENSION SET LIMIT_PLAN_ID = 3, MONEY_LEFT = 0, BLOCKED = 1, "
                                    "NEXT_RESET = '2000-01-01 00:00:00' WHERE PBX_ID = 1 AND CODE = '101'"));
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QCOMPARE(admin.Call(kAdmin, dispid::AdminRDM::ExtPinSaved).Kind, TMessageKind::Reply);
        const QStringList state = CodeState(server, "EXTENSION", 1, QStringLiteral("101"));
        QCOMPARE(state.at(0), QStringLiteral("1"));
        QVERIFY(state.at(1).toDouble() > 0);
        QVERIFY(QueuedCommands(server).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestServerSpending)
#include "tst_server_spending.moc"
