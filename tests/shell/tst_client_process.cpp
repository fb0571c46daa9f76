// The built telvane-client as a process, in a program directory of its own: exit codes,
// what it tells the user (message boxes on standard error through TELVANE_AUTOANSWER) and
// what its application log holds.

#include "support/LogFiles.h"
#include "support/TestServer.h"
#include "remote/TypeLibrary.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

class TClientProcess {
public:
    explicit TClientProcess(bool withTypeLibrary)
    {
        const QString binary = qEnvironmentVariable("TELVANE_BIN_DIR") + QStringLiteral("/telvane-client");
        Ready = QFile::copy(binary, Program());
        if (withTypeLibrary)
            TTypeLibrary::Current().Write(dir_.path() + QStringLiteral("/TelvaneServer.tlb"));
    }

    QString Program() const { return dir_.path() + QStringLiteral("/telvane-client"); }

    void WriteSettings(const QString& host, quint16 port)
    {
        QFile ini(dir_.path() + QStringLiteral("/telvane-client.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[Server]\r\nhost=%1\r\nport=%2\r\n").arg(host).arg(port).toUtf8());
    }

    void Start(const QStringList& environment = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TELVANE_AUTOANSWER"), QString());
        for (const QString& item : environment)
            env.insert(item.section(QLatin1Char('='), 0, 0), item.section(QLatin1Char('='), 1));
        process_.setProcessEnvironment(env);
        process_.start(Program(), {});
    }
    bool Finish(int timeoutMs = 30000) { return process_.waitForFinished(timeoutMs); }
    int ExitCode() const { return process_.exitCode(); }
    QProcess::ExitStatus ExitStatus() const { return process_.exitStatus(); }
    QString Errors() { return QString::fromUtf8(process_.readAllStandardError()); }
    QProcess& Process() { return process_; }

    // The application log's entries without their time stamps.
    QStringList LogEntries() const
    {
        return LogFileEntries(dir_.path() + QStringLiteral("/logs/application.log"));
    }

    bool Ready = false;

private:
    QTemporaryDir dir_;
    QProcess process_;
};

quint16 ClosedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

}  // namespace

class TestClientProcess : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void missingTypeLibraryEndsWithCodeOne()
    {
        TClientProcess client(false);
        QVERIFY(client.Ready);
        client.WriteSettings(QStringLiteral("127.0.0.1"), ClosedPort());
        client.Start();
        QVERIFY(client.Finish());
        QCOMPARE(client.ExitStatus(), QProcess::NormalExit);
        QCOMPARE(client.ExitCode(), 1);
        QVERIFY(client.Errors().contains(QStringLiteral(
            "Error: The file \"TelvaneServer.tlb\" is missing or corrupt.\nTelvane Client will now close.")));
        const QStringList entries = client.LogEntries();
        qsizetype at = -1;
        for (qsizetype i = 0; i < entries.size(); ++i)
            if (entries[i].startsWith(QStringLiteral("3: ")) &&
                entries[i].contains(QStringLiteral("TelvaneServer.tlb")))
                at = i;
        QVERIFY2(at >= 0, qPrintable(entries.join(QLatin1Char('|'))));
        QVERIFY2(entries.value(at + 1).startsWith(QStringLiteral("EOleSysError ")),
                 qPrintable(entries.value(at + 1)));
        QCOMPARE(entries.first(), QStringLiteral("Log created"));
        QCOMPARE(entries.value(1), QStringLiteral("1: Starting..."));
        QCOMPARE(entries.last(), QStringLiteral("1: Shutdown complete."));
    }

    void unreachableServerWarnsAndEndsNormally()
    {
        TClientProcess client(true);
        QVERIFY(client.Ready);
        client.WriteSettings(QStringLiteral("127.0.0.1"), ClosedPort());
        client.Start();
        QVERIFY(client.Finish());
        QCOMPARE(client.ExitCode(), 0);
        const QString errors = client.Errors();
        static const QRegularExpression warning(
            QStringLiteral("Warning: (.+)\nTelvane Client will now close."));
        const QRegularExpressionMatch match = warning.match(errors);
        QVERIFY2(match.hasMatch(), qPrintable(errors));
        const QStringList entries = client.LogEntries();
        QVERIFY(entries.contains(QStringLiteral("3: ") + match.captured(1)));
        QCOMPARE(entries.last(), QStringLiteral("1: Shutdown complete."));
    }

    void escapeEndsWithoutConnecting()
    {
        TClientProcess client(true);
        QVERIFY(client.Ready);
        client.Start({QStringLiteral("TELVANE_CLOSE_SPLASH=1")});
        QVERIFY(client.Finish());
        QCOMPARE(client.ExitCode(), 0);
        // No message box.
        static const QRegularExpression box(
            QStringLiteral("^(Error|Warning|Question|Confirmation|Information): "),
            QRegularExpression::MultilineOption);
        QVERIFY(!box.match(client.Errors()).hasMatch());
        QCOMPARE(client.LogEntries(),
                 (QStringList{"Log created", "1: Starting...", "1: Shutdown complete."}));
    }

    void serverShutdownEndsTheMainLoop()
    {
        TServerProcess server;
        QString error;
        QVERIFY2(server.Start({}, &error), qPrintable(error));
        TClientProcess client(true);
        QVERIFY(client.Ready);
        client.WriteSettings(QStringLiteral("127.0.0.1"), server.Port());
        client.Start();
        // Connected once the server has accepted the handshake.
        QTRY_VERIFY_WITH_TIMEOUT(server.Output().contains(QStringLiteral("connected, version 320")), 20000);
        ::kill(static_cast<pid_t>(server.Process().processId()), SIGTERM);
        QVERIFY(client.Finish());
        QCOMPARE(client.ExitCode(), 0);
        QVERIFY(client.Errors().contains(
            QStringLiteral("Warning: Telvane Server has been shut down.\nTelvane Client will now close.")));
        const QStringList entries = client.LogEntries();
        QVERIFY(entries.contains(
            QStringLiteral("2: Telvane Server has been shut down. Telvane Client will now close.")));
        QCOMPARE(entries.last(), QStringLiteral("1: Shutdown complete."));
        QVERIFY(server.Terminate());
    }
};

QTEST_GUILESS_MAIN(TestClientProcess)
#include "tst_client_process.moc"
