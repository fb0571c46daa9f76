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

    // environment: NAME=VALUE items over the test's own; an empty value stands for unset.
    void Start(const QStringList& environment = {}, const QStringList& arguments = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TELVANE_AUTOANSWER"), QString());
        for (const QString& item : environment)
            env.insert(item.section(QLatin1Char('='), 0, 0), item.section(QLatin1Char('='), 1));
        process_.setProcessEnvironment(env);
        process_.start(Program(), arguments);
    }
    bool Finish(int timeoutMs = 30000) { return process_.waitForFinished(timeoutMs); }
    int ExitCode() const { return process_.exitCode(); }
    QProcess::ExitStatus ExitStatus() const { return process_.exitStatus(); }
    QString Errors() { return QString::fromUtf8(process_.readAllStandardError()); }
    QString Output() { return QString::fromUtf8(process_.readAllStandardOutput()); }
    bool Started() const { return QDir(dir_.path() + QStringLiteral("/logs")).exists(); }
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

// The client connected to the server process, its handshake accepted, then the signal to
// the server.
void ConnectThenSignalServer(TServerProcess& server, TClientProcess& client, int signal)
{
    QString error;
    QVERIFY2(server.Start({}, &error), qPrintable(error));
    QVERIFY(client.Ready);
    client.WriteSettings(QStringLiteral("127.0.0.1"), server.Port());
    client.Start();
    QTRY_VERIFY_WITH_TIMEOUT(server.Output().contains(QStringLiteral("connected, version 320")), 20000);
    ::kill(static_cast<pid_t>(server.Process().processId()), signal);
}

// The last entry at level 3 that holds the text; -1 when there is none.
qsizetype LastKnownError(const QStringList& entries, const QString& text)
{
    for (qsizetype i = entries.size() - 1; i >= 0; --i)
        if (entries[i].startsWith(QStringLiteral("3: ")) && entries[i].contains(text))
            return i;
    return -1;
}

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
        const qsizetype at = LastKnownError(entries, QStringLiteral("TelvaneServer.tlb"));
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

    // What the command line gets before any window: help and version on a machine without
    // a display, one sentence instead of the windowing system's failure, Qt's own options
    // taken and anything else refused.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("display");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");  // the start of standard output
        QTest::addColumn<QString>("errors");  // a part of standard error
        QTest::addColumn<bool>("started");    // it got as far as its logs
        QTest::newRow("--help") << QStringList{"--help"} << false << 0
                                << "Usage: telvane-client [-h | --help] [-v | --version]"
                                << "" << false;
        QTest::newRow("-h") << QStringList{"-h"} << false << 0 << "Usage: telvane-client"
                            << "" << false;
        QTest::newRow("help wins over version")
            << QStringList{"--version", "--help"} << false << 0 << "Usage: telvane-client"
            << "" << false;
        QTest::newRow("--version") << QStringList{"--version"} << false << 0 << "telvane-client 3.2.0\n"
                                   << "" << false;
        QTest::newRow("-v") << QStringList{"-v"} << false << 0 << "telvane-client 3.2.0\n"
                            << "" << false;
        QTest::newRow("no display") << QStringList{} << false << 1 << ""
                                    << "telvane-client: there is no display to show the windows on." << false;
        QTest::newRow("Qt's platform option instead of a display")
            << QStringList{"-platform", "offscreen"} << false << 0 << ""
            << "" << true;
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << true << 1 << ""
                                        << "telvane-client: unknown argument \"--frobnicate\"." << false;
        QTest::newRow("stray argument") << QStringList{"SERVER1"} << true << 1 << ""
                                        << "telvane-client: unknown argument \"SERVER1\"." << false;
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, display);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(QString, errors);
        QFETCH(bool, started);
        TClientProcess client(true);
        QVERIFY(client.Ready);
        QStringList environment{QStringLiteral("TELVANE_CLOSE_SPLASH=1"), QStringLiteral("DISPLAY="),
                                QStringLiteral("WAYLAND_DISPLAY=")};
        if (!display)
            environment.append(QStringLiteral("QT_QPA_PLATFORM="));
        client.Start(environment, arguments);
        QVERIFY(client.Finish());
        QCOMPARE(client.ExitStatus(), QProcess::NormalExit);
        QCOMPARE(client.ExitCode(), exitCode);
        const QString out = client.Output();
        const QString err = client.Errors();
        QVERIFY2(out.left(output.size()) == output, qPrintable(out));
        if (output.isEmpty())
            QVERIFY2(out.isEmpty(), qPrintable(out));
        QVERIFY2(err.contains(errors), qPrintable(err));
        if (errors.isEmpty())
            QVERIFY2(!err.contains(QStringLiteral("telvane-client:")), qPrintable(err));
        QCOMPARE(client.Started(), started);
    }

    // A server that dies without a word (killed, its machine off) is noticed while the
    // client waits for the user, and ends it as a lost connection found by a call does.
    void killedServerEndsTheIdleClient()
    {
        TServerProcess server;
        TClientProcess client(true);
        ConnectThenSignalServer(server, client, SIGKILL);
        QVERIFY(client.Finish());
        QCOMPARE(client.ExitStatus(), QProcess::NormalExit);
        QCOMPARE(client.ExitCode(), 1);
        const QString errors = client.Errors();
        QVERIFY2(errors.contains(QStringLiteral(
                     "Error: Connection to Telvane Server was lost.\nTelvane Client will now close.")),
                 qPrintable(errors));
        // Once: no second box for the same loss.
        QCOMPARE(errors.count(QStringLiteral("Error: ")), 1);
        const QStringList entries = client.LogEntries();
        const qsizetype at =
            LastKnownError(entries, QStringLiteral("The object invoked has disconnected from its clients."));
        QVERIFY2(at >= 0, qPrintable(entries.join(QLatin1Char('|'))));
        QVERIFY2(entries.value(at + 1).startsWith(QStringLiteral("EOleSysError ")),
                 qPrintable(entries.value(at + 1)));
        QCOMPARE(entries.last(), QStringLiteral("1: Shutdown complete."));
    }

    void serverShutdownEndsTheMainLoop()
    {
        TServerProcess server;
        TClientProcess client(true);
        ConnectThenSignalServer(server, client, SIGTERM);
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
