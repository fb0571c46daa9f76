// The command queue's data module without a window, against the real server: the queue in
// the server's order with the retry count of each command, deleting one or all, and which
// control protocols take free-form commands.

#include "shell/DMQueue.h"
#include "support/ConnectedClient.h"

#include <QTest>

#include <memory>

namespace {

QStringList Texts(const QList<TQueueDM::TCommand>& commands)
{
    QStringList texts;
    for (const TQueueDM::TCommand& command : commands)
        texts.append(command.Text);
    return texts;
}

}  // namespace

class TestQueueDM : public QObject {
    Q_OBJECT

    std::unique_ptr<TConnectedClient> connected_;

    // The data module over an administrator's connection to a server the function sets up.
    std::unique_ptr<TQueueDM> Connect(const std::function<void(TServerOptions&)>& configure)
    {
        connected_ = std::make_unique<TConnectedClient>(configure);
        if (!connected_->Ready()) {
            qWarning("%s", qPrintable(connected_->Error()));
            return nullptr;
        }
        return std::make_unique<TQueueDM>(connected_->Client.Module("CommandsRDM"));
    }

private Q_SLOTS:
    void initTestCase() { RegisterProtocolTypes(); }
    void cleanup() { connected_.reset(); }

    void takesCustomCommands_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<bool>("custom");
        QTest::newRow("Avaya Definity") << 0 << false;
        QTest::newRow("Siemens HiPath") << 1 << false;
        QTest::newRow("modem") << 2 << true;
        QTest::newRow("direct commands") << 3 << true;
    }
    void takesCustomCommands()
    {
        QFETCH(int, protocol);
        QFETCH(bool, custom);
        const auto dm = Connect([protocol](TServerOptions& o) { o.ControlProtocol = protocol; });
        QVERIFY(dm);
        QCOMPARE(dm->TakesCustomCommands(), custom);
        QCOMPARE(TQueueDM::TakesCustomCommands(protocol), custom);
    }

    void theServersQueue()
    {
        const auto dm = Connect([](TServerOptions& o) { o.ControlProtocol = 3; });
        QVERIFY(dm);
        // An empty queue comes as null lists.
        QVERIFY(dm->Commands().isEmpty());
        dm->PostCommand(QStringLiteral("  ATDT 0888"));
        dm->PostCommand(QStringLiteral("ATH"));
        dm->PostCommand(QStringLiteral("ATZ"));
        QCOMPARE(Texts(dm->Commands()), (QStringList{"  ATDT 0888", "ATH", "ATZ"}));
        dm->DeleteCommand(1);
        QCOMPARE(Texts(dm->Commands()), (QStringList{"  ATDT 0888", "ATZ"}));
        dm->DeleteAllCommands();
        QVERIFY(dm->Commands().isEmpty());
    }

    void retryCountsBelongToTheirCommands()
    {
        // No exchange takes the commands: the first one is retried, the others wait.
        const auto dm = Connect([](TServerOptions& o) {
            o.ControlProtocol = 3;
            o.CommandRetryMs = 20;
        });
        QVERIFY(dm);
        dm->PostCommand(QStringLiteral("ATH"));
        dm->PostCommand(QStringLiteral("ATZ"));
        QTRY_VERIFY_WITH_TIMEOUT(dm->Commands().value(0).RetryCount >= 2, 10000);
        const QList<TQueueDM::TCommand> commands = dm->Commands();
        QCOMPARE(Texts(commands), (QStringList{"ATH", "ATZ"}));
        QCOMPARE(commands[1].RetryCount, 0);
    }
};

QTEST_GUILESS_MAIN(TestQueueDM)
#include "tst_dmqueue.moc"
