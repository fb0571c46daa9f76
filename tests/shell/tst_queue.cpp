// The command queue window: filled from CommandsRDM 310, kept live by the command
// callbacks only, the custom command strip by protocol, and what its actions send.

#include "shell/AccessLevel.h"
#include "shell/ChildQueue.h"
#include "shell/ImageLists.h"
#include "support/ShellFixture.h"

#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <memory>
#include <mutex>

namespace {

// What the test server's queue calls saw.
struct TQueueLog {
    std::mutex Lock;
    QList<QPair<int, QVariantList>> Calls;
    void Add(int dispId, const QVariantList& args)
    {
        const std::lock_guard<std::mutex> guard(Lock);
        Calls.append({dispId, args});
    }
    QList<QPair<int, QVariantList>> Take()
    {
        const std::lock_guard<std::mutex> guard(Lock);
        return std::exchange(Calls, {});
    }
};

}  // namespace

class TestQueue : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TShellFixture> f;
    TClientMainForm* form = nullptr;
    std::shared_ptr<TQueueLog> log;

    // A queue the test decides: 310 answers the lists, 314 the protocol; the others record.
    void InstallQueue(const QVariant& texts, const QVariant& retries, int protocol)
    {
        auto seen = log;
        f->Server.RunOnServer([=](TServer& s) {
            s.Calls().Add({TModule::Commands, 310, level::Locked, 2, [=](TCallContext& c) {
                               c.Args[0] = texts;
                               c.Args[1] = retries;
                               return QVariant();
                           }});
            s.Calls().Add({TModule::Commands, 314, level::Locked, 0, [=](TCallContext&) {
                               return QVariant::fromValue(static_cast<qint16>(protocol));
                           }});
            for (int dispId : {311, 312, 313})
                s.Calls().Add({TModule::Commands, dispId, level::Locked, AnyArgCount, [=](TCallContext& c) {
                                   seen->Add(dispId, c.Args);
                                   return QVariant();
                               }});
        });
    }
    TChildFormQueue* OpenQueue()
    {
        form->actQueue->trigger();
        return TChildFormQueue::Instance();
    }
    // A fresh fixture on the server's own queue, set up by configure, with the
    // administrator's queue window open.
    TChildFormQueue* OpenTheServersQueue(const std::function<void(TServerOptions&)>& configure)
    {
        cleanup();
        f = std::make_unique<TShellFixture>();
        configure(f->Server.Options());
        if (!f->StartServer())
            return nullptr;
        form = f->Connect();
        if (!ClientMainDM()->MainRDM.Call(307, {true, QStringLiteral("admin")}).toBool())
            return nullptr;
        TAccess::SetLevel(TAccess::Admin);
        return OpenQueue();
    }
    static QStringList Rows(const TChildFormQueue* queue)
    {
        QStringList rows;
        for (int r = 0; r < queue->ListView->rowCount(); ++r)
            rows.append(queue->ListView->item(r, 0)->text() + QLatin1Char('|') +
                        queue->ListView->item(r, 1)->text());
        return rows;
    }

private Q_SLOTS:
    void init()
    {
        f = std::make_unique<TShellFixture>();
        log = std::make_shared<TQueueLog>();
        QVERIFY(f->StartServer());
        f->InstallNotifyCall();
        form = f->Connect();
        QVERIFY(f->Connected());
        TAccess::SetLevel(TAccess::Admin);
        form->show();
    }
    void cleanup()
    {
        form = nullptr;
        f.reset();
    }

    void filledFromTheServer_data()
    {
        QTest::addColumn<QVariant>("texts");
        QTest::addColumn<QVariant>("retries");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("two commands")
            << QVariant(QVariantList{QStringLiteral("BLOCK 101"), QStringLiteral("UNBLOCK 202")})
            << QVariant(QVariantList{0, 3}) << QStringList{"BLOCK 101|0", "UNBLOCK 202|3"};
        QTest::newRow("null arrays") << QVariant() << QVariant() << QStringList{};
        QTest::newRow("null retry counts")
            << QVariant(QVariantList{QStringLiteral("X")}) << QVariant() << QStringList{};
    }
    void filledFromTheServer()
    {
        QFETCH(QVariant, texts);
        QFETCH(QVariant, retries);
        QFETCH(QStringList, rows);
        InstallQueue(texts, retries, 0);
        TChildFormQueue* queue = OpenQueue();
        QVERIFY(queue);
        QCOMPARE(Rows(queue), rows);
        QCOMPARE(queue->ListView->horizontalHeaderItem(0)->text(), QStringLiteral("Command"));
        QCOMPARE(queue->ListView->horizontalHeaderItem(1)->text(), QStringLiteral("Retry"));
        QCOMPARE(queue->ListView->columnWidth(1), 60);
        QCOMPARE(queue->actClear->isEnabled(), !rows.isEmpty());
        QVERIFY(!queue->actDelete->isEnabled());
        QCOMPARE(queue->windowIcon().cacheKey(), form->ImageList().Icon(3).cacheKey());
    }

    void customCommandStripByProtocol_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<bool>("shown");
        QTest::newRow("Avaya Definity") << 0 << false;
        QTest::newRow("Siemens HiPath") << 1 << false;
        QTest::newRow("modem") << 2 << true;
        QTest::newRow("direct commands") << 3 << true;
    }
    void customCommandStripByProtocol()
    {
        QFETCH(int, protocol);
        QFETCH(bool, shown);
        InstallQueue(QVariant(), QVariant(), protocol);
        QCOMPARE(OpenQueue()->pnlCustomCommand->isVisibleTo(OpenQueue()), shown);
    }

    void postSendsTheTextAsTyped_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("empty") << "" << false;
        QTest::newRow("only blanks") << "   " << false;
        QTest::newRow("leading blanks") << "  ATDT 0888" << true;
    }
    void postSendsTheTextAsTyped()
    {
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        InstallQueue(QVariant(), QVariant(), 3);
        TChildFormQueue* queue = OpenQueue();
        queue->edtCustomCommand->setText(text);
        QCOMPARE(queue->actCustomCommand->isEnabled(), enabled);
        QCOMPARE(queue->btnPostCommand->isEnabled(), enabled);
        queue->actCustomCommand->trigger();
        const auto calls = log->Take();
        if (!enabled) {
            QVERIFY(calls.isEmpty());
            return;
        }
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().first, 313);
        QCOMPARE(calls.first().second.value(0).toString(), text);
        QVERIFY(queue->edtCustomCommand->text().isEmpty());
        // The row comes with the server's report, not before.
        QCOMPARE(queue->ListView->rowCount(), 0);
    }

    void callbacksKeepTheListLive()
    {
        InstallQueue(QVariant(QVariantList{QStringLiteral("A")}), QVariant(QVariantList{1}), 0);
        TChildFormQueue* queue = OpenQueue();
        f->Notify(TCallbackTarget::Commands, QStringLiteral("CommandAdded"),
                  {QStringLiteral("B"), QVariant::fromValue(qint16(2))});
        f->Notify(TCallbackTarget::Commands, QStringLiteral("CommandAdded"),
                  {QStringLiteral("C"), QVariant::fromValue(qint16(0))});
        QCOMPARE(Rows(queue), (QStringList{"A|1", "B|2", "C|0"}));
        f->Notify(TCallbackTarget::Commands, QStringLiteral("CommandRemoved"), {1});
        QCOMPARE(Rows(queue), (QStringList{"A|1", "C|0"}));
        // An index the list does not have changes nothing.
        f->Notify(TCallbackTarget::Commands, QStringLiteral("CommandRemoved"), {5});
        QCOMPARE(Rows(queue), (QStringList{"A|1", "C|0"}));
        f->Notify(TCallbackTarget::Commands, QStringLiteral("QueueCleared"));
        QCOMPARE(Rows(queue), QStringList{});
        QVERIFY(!queue->actClear->isEnabled());
    }

    void retryCountChanges_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("first row") << 0 << QStringList{"A|7", "B|0"};
        QTest::newRow("last row") << 1 << QStringList{"A|1", "B|7"};
        // A row the list does not have changes nothing.
        QTest::newRow("beyond the list") << 2 << QStringList{"A|1", "B|0"};
        QTest::newRow("negative") << -1 << QStringList{"A|1", "B|0"};
    }
    void retryCountChanges()
    {
        QFETCH(int, row);
        QFETCH(QStringList, rows);
        InstallQueue(QVariant(QVariantList{QStringLiteral("A"), QStringLiteral("B")}),
                     QVariant(QVariantList{1, 0}), 0);
        TChildFormQueue* queue = OpenQueue();
        f->Notify(TCallbackTarget::Commands, QStringLiteral("RetryCountChanged"),
                  {row, QVariant::fromValue(qint16(7))});
        QCOMPARE(Rows(queue), rows);
    }

    // The server's own queue without an exchange: the first command's retry count grows in
    // the open window, without reopening it.
    void retryCountsFollowTheServer()
    {
        TChildFormQueue* queue = OpenTheServersQueue([](TServerOptions& options) {
            options.ReceiverPort = 0;
            options.CommandRetryMs = 10;
            options.RetryNoticeMs = 20;
        });
        QVERIFY(queue);
        ClientMainDM()->CommandsRDM.Call(313, {QStringLiteral("BLOCK 101")});
        ClientMainDM()->CommandsRDM.Call(313, {QStringLiteral("BLOCK 102")});
        QTRY_COMPARE_WITH_TIMEOUT(queue->ListView->rowCount(), 2, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(queue->ListView->item(0, 1)->text().toInt() >= 3, 30000);
        QCOMPARE(queue->ListView->item(1, 1)->text(), QStringLiteral("0"));
    }

    void deleteSendsTheSelectedRow()
    {
        InstallQueue(QVariant(QVariantList{QStringLiteral("A"), QStringLiteral("B")}),
                     QVariant(QVariantList{0, 0}), 0);
        TChildFormQueue* queue = OpenQueue();
        queue->ListView->selectRow(1);
        QVERIFY(queue->actDelete->isEnabled());
        queue->actDelete->trigger();
        const auto calls = log->Take();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().first, 311);
        QCOMPARE(calls.first().second.value(0).toInt(), 1);
        QCOMPARE(queue->ListView->rowCount(), 2);
    }

    void deleteAllAsksFirst_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes") << true;
        QTest::newRow("No") << false;
    }
    void deleteAllAsksFirst()
    {
        QFETCH(bool, yes);
        InstallQueue(QVariant(QVariantList{QStringLiteral("A")}), QVariant(QVariantList{0}), 0);
        TChildFormQueue* queue = OpenQueue();
        f->Answerer.SetAnswers({yes ? TMsgButton::Yes : TMsgButton::No});
        queue->actClear->trigger();
        QCOMPARE(f->Answerer.Asked().size(), 1);
        QCOMPARE(f->Answerer.Asked().first().Text, QStringLiteral("Delete ALL pending commands?"));
        const auto calls = log->Take();
        QCOMPARE(calls.size(), yes ? 1 : 0);
        if (yes)
            QCOMPARE(calls.first().first, 312);
        QCOMPARE(queue->ListView->rowCount(), 1);
    }

    void theServersQueue()
    {
        TChildFormQueue* queue =
            OpenTheServersQueue([](TServerOptions& options) { options.ControlProtocol = 3; });
        QVERIFY(queue);
        QVERIFY(queue->pnlCustomCommand->isVisibleTo(queue));
        QCOMPARE(queue->ListView->rowCount(), 0);
        queue->edtCustomCommand->setText(QStringLiteral("  ATDT 0888"));
        queue->actCustomCommand->trigger();
        QTRY_COMPARE(queue->ListView->rowCount(), 1);
        QCOMPARE(queue->ListView->item(0, 0)->text(), QStringLiteral("  ATDT 0888"));
        queue->close();
        // Added while the window is closed: the reopened window has it from the server.
        ClientMainDM()->CommandsRDM.Call(313, {QStringLiteral("ATH")});
        queue = OpenQueue();
        QCOMPARE(queue->ListView->rowCount(), 2);
        QCOMPARE(queue->ListView->item(1, 0)->text(), QStringLiteral("ATH"));
        f->Answerer.SetAnswers({TMsgButton::Yes});
        queue->actClear->trigger();
        QTRY_COMPARE(queue->ListView->rowCount(), 0);
    }

    void lockingClosesTheWindow()
    {
        InstallQueue(QVariant(), QVariant(), 0);
        QVERIFY(OpenQueue());
        TAccess::SetLevel(TAccess::User);
        QVERIFY(!TChildFormQueue::Instance());
        QVERIFY(!form->actQueue->isVisible());
    }
};

QTEST_MAIN(TestQueue)
#include "tst_queue.moc"
