// The server's defences as units: the log throttle, the receiver's address list and the
// levels of its flow control, the query scheduler's fair turns and the result budget.

#include "server/AddressList.h"
#include "server/ExchangeLink.h"
#include "server/LogThrottle.h"
#include "server/QueryScheduler.h"
#include "server/ResultBudget.h"
#include "server/ServerOptions.h"

#include <QMutex>
#include <QSemaphore>
#include <QTest>

#include <thread>
#include <vector>

class TestServerLimits : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every limit has its option; a value lands in its field, times in milliseconds.
    void limitOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("field");
        QTest::addColumn<qint64>("value");
        auto row = [](const char* name, QStringList arguments, const char* field, qint64 value) {
            QTest::newRow(name) << arguments << QString::fromLatin1(field) << value;
        };
        const TServerOptions d;
        row("defaults", {}, "statement", d.StatementTimeoutMs);
        row("login frame", {"--max-login-frame", "1000"}, "loginFrame", 1000);
        row("handshake", {"--handshake-timeout", "5"}, "handshake", 5000);
        row("pending", {"--max-pending", "7"}, "pending", 7);
        row("frame time-out", {"--frame-timeout", "9"}, "frame", 9000);
        row("frame rate", {"--min-frame-rate", "100"}, "rate", 100);
        row("send queue", {"--max-send-queue", "2097152"}, "sendQueue", 2097152);
        row("guess delay", {"--guess-delay", "10", "--max-guess-delay", "80"}, "guess", 10080);
        row("statement time-out", {"--statement-timeout", "12"}, "statement", 12000);
        row("no statement limit", {"--statement-timeout", "0"}, "statement", 0);
        row("query threads", {"--query-threads", "3"}, "threads", 3);
        row("result memory", {"--result-memory", "2097152"}, "results", 2097152);
        row("exchange connections", {"--receiver-connections", "3"}, "connections", 3);
        row("pause and resume", {"--receiver-pause", "40", "--receiver-resume", "8"}, "pause", 40008);
    }
    void limitOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, field);
        QFETCH(qint64, value);
        TServerOptions o;
        QString message;
        bool help = false;
        QVERIFY2(ParseServerOptions(QStringList{QStringLiteral("--db"), QStringLiteral("x.db")} + arguments, o, message,
                                    help),
                 qPrintable(message));
        const QHash<QString, qint64> fields = {
            {QStringLiteral("loginFrame"), o.MaxLoginFrame},
            {QStringLiteral("handshake"), o.HandshakeTimeoutMs},
            {QStringLiteral("pending"), o.MaxPendingConnections},
            {QStringLiteral("frame"), o.FrameTimeoutMs},
            {QStringLiteral("rate"), o.MinFrameRate},
            {QStringLiteral("sendQueue"), o.MaxSendQueue},
            {QStringLiteral("guess"), o.GuessDelayMs * 1000 + o.MaxGuessDelayMs},
            {QStringLiteral("statement"), o.StatementTimeoutMs},
            {QStringLiteral("threads"), o.QueryThreads},
            {QStringLiteral("results"), o.ResultMemory},
            {QStringLiteral("connections"), o.ReceiverConnections.value_or(-1)},
            {QStringLiteral("pause"), o.ReceiverPauseKb.value_or(-1) * 1000 + o.ReceiverResumeKb.value_or(-1)},
        };
        QCOMPARE(fields.value(field, -1), value);
    }

    // A flood of entries costs a few rows and one summary of the rest.
    void throttleWritesAFewAndCountsTheRest()
    {
        QStringList written;
        TLogThrottle throttle(2, [&](const QString& text) { written << text; }, QStringLiteral("dropped connections"),
                              100);
        for (int i = 0; i < 5; ++i)
            throttle.Add(QStringLiteral("entry %1").arg(i));
        QCOMPARE(written, (QStringList{QStringLiteral("entry 0"), QStringLiteral("entry 1")}));
        QTRY_COMPARE_WITH_TIMEOUT(written.size(), 3, 10000);
        QVERIFY2(written.last().startsWith(QLatin1String("3 more dropped connections")), qPrintable(written.last()));
        // A new window writes again.
        throttle.Add(QStringLiteral("later"));
        QCOMPARE(written.last(), QStringLiteral("later"));
        throttle.Flush();
        QCOMPARE(written.size(), 4);  // nothing left out: no summary
    }

    void addressList_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("peer");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("empty list allows all") << "" << "203.0.113.9" << true;
        QTest::newRow("exact address") << "192.168.10.5" << "192.168.10.5" << true;
        QTest::newRow("another address") << "192.168.10.5" << "192.168.10.6" << false;
        QTest::newRow("subnet") << "10.1.0.0/16" << "10.1.200.3" << true;
        QTest::newRow("outside the subnet") << "10.1.0.0/16" << "10.2.0.1" << false;
        QTest::newRow("second entry, blanks and commas") << " 10.9.9.9 ,  127.0.0.1" << "127.0.0.1" << true;
        QTest::newRow("IPv4 seen through IPv6") << "127.0.0.1" << "::ffff:127.0.0.1" << true;
        QTest::newRow("mapped subnet") << "::ffff:10.0.0.0/104" << "10.3.4.5" << true;
        QTest::newRow("IPv6 address") << "fe80::1" << "fe80::1" << true;
        QTest::newRow("IPv6 peer, IPv4 list") << "127.0.0.1" << "::1" << false;
    }
    void addressList()
    {
        QFETCH(QString, list);
        QFETCH(QString, peer);
        QFETCH(bool, allowed);
        TAddressList addresses;
        QString error;
        QVERIFY2(TAddressList::Parse(list, addresses, &error), qPrintable(error));
        QCOMPARE(addresses.Allows(QHostAddress(peer)), allowed);
    }

    void addressListRefusals_data()
    {
        QTest::addColumn<QString>("list");
        QTest::newRow("host name") << "pbx.example.com";
        QTest::newRow("bad subnet") << "10.0.0.0/40";
        QTest::newRow("one bad entry among good") << "10.0.0.1, 10.0.0.300";
    }
    void addressListRefusals()
    {
        QFETCH(QString, list);
        TAddressList addresses;
        TAddressList::Parse(QStringLiteral("10.0.0.1"), addresses);
        QString error;
        QVERIFY(!TAddressList::Parse(list, addresses, &error));
        QVERIFY(!error.isEmpty());
        // The list before stays in force.
        QVERIFY(addresses.Allows(QHostAddress(QStringLiteral("10.0.0.1"))));
        QVERIFY(!addresses.Allows(QHostAddress(QStringLiteral("10.0.0.2"))));
    }

    // The settings' levels are brought within the buffer: pausing above the capacity would
    // never pause, resuming above the pause level would never rest.
    void flowControlLevels_data()
    {
        QTest::addColumn<int>("capacity");
        QTest::addColumn<int>("pauseKb");
        QTest::addColumn<int>("resumeKb");
        QTest::addColumn<int>("pause");
        QTest::addColumn<int>("resume");
        QTest::newRow("defaults") << 65536 << 48 << 16 << 48 * 1024 << 16 * 1024;
        QTest::newRow("pause above the capacity") << 4096 << 48 << 16 << 4096 << 4096;
        QTest::newRow("resume above the pause") << 65536 << 8 << 32 << 8 * 1024 << 8 * 1024;
        QTest::newRow("tiny buffer") << 10 << 1 << 1 << 256 << 256;
    }
    void flowControlLevels()
    {
        QFETCH(int, capacity);
        QFETCH(int, pauseKb);
        QFETCH(int, resumeKb);
        const TExchangeLink::TLevels levels = TExchangeLink::LevelsOf(capacity, pauseKb, resumeKb);
        QTEST(int(levels.PauseAbove), "pause");
        QTEST(int(levels.ResumeBelow), "resume");
        QVERIFY(levels.PauseAbove <= levels.Capacity);
    }

    // With one thread, a connection with a backlog takes turns with the others instead of
    // running its whole backlog first.
    void schedulerTakesTurns()
    {
        TQueryScheduler scheduler(1, 1);
        QMutex mutex;
        QStringList order;
        QSemaphore first;
        auto job = [&](const QString& name, QSemaphore* hold = nullptr) {
            return [&, name, hold] {
                if (hold)
                    hold->acquire();
                QMutexLocker lock(&mutex);
                order << name;
            };
        };
        scheduler.Submit(1, job(QStringLiteral("A1"), &first));
        scheduler.Submit(1, job(QStringLiteral("A2")));
        scheduler.Submit(1, job(QStringLiteral("A3")));
        scheduler.Submit(2, job(QStringLiteral("B1")));
        QCOMPARE(scheduler.Running(), 1);
        QCOMPARE(scheduler.Waiting(), 3);
        first.release();
        QTRY_COMPARE_WITH_TIMEOUT(scheduler.Running() + scheduler.Waiting(), 0, 10000);
        QCOMPARE(order, (QStringList{QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("B1"),
                                     QStringLiteral("A3")}));
    }

    // A connection gets no more than its share of the threads, even when some are free.
    void schedulerKeepsTheShare()
    {
        TQueryScheduler scheduler(3, 1);
        QSemaphore hold;
        auto blocked = [&] { hold.acquire(); };
        scheduler.Submit(1, blocked);
        scheduler.Submit(1, blocked);
        QCOMPARE(scheduler.Running(), 1);
        QCOMPARE(scheduler.Waiting(), 1);
        scheduler.Submit(2, blocked);
        QCOMPARE(scheduler.Running(), 2);
        hold.release(3);
        QTRY_COMPARE_WITH_TIMEOUT(scheduler.Running() + scheduler.Waiting(), 0, 10000);
    }

    // Leases from many threads never take more than the budget together, and give all of it
    // back when they go.
    void budgetHoldsAcrossThreads()
    {
        TResultBudget budget(1000);
        std::atomic<int> refused{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&] {
                for (int i = 0; i < 1000; ++i) {
                    auto lease = budget.NewLease();
                    for (qint64 bytes = 50; bytes <= 300; bytes += 50) {
                        if (!lease->GrowTo(bytes)) {
                            ++refused;
                            break;
                        }
                        if (budget.InUse() > budget.Limit())
                            std::abort();
                    }
                }
            });
        for (std::thread& t : threads)
            t.join();
        QCOMPARE(budget.InUse(), 0);

        auto a = budget.NewLease();
        QVERIFY(a->GrowTo(800));
        auto b = budget.NewLease();
        QVERIFY(!b->GrowTo(300));
        QCOMPARE(b->Bytes(), 0);
        QVERIFY(a->GrowTo(100));  // shrinking gives back
        QVERIFY(b->GrowTo(300));
        a.reset();
        QCOMPARE(budget.InUse(), 300);
    }
};

QTEST_GUILESS_MAIN(TestServerLimits)
#include "tst_server_limits.moc"
