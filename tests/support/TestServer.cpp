#include "support/TestServer.h"

#include "server/Server.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QSemaphore>

#include <csignal>

class TTestServer::TThread : public QThread {
public:
    explicit TThread(TServerOptions options) : options_(std::move(options)) {}

    TServer* Server() const { return server_; }
    quint16 Port() const { return port_; }
    const QString& Error() const { return error_; }
    QSemaphore Ready;

    std::function<void(TServer&)> BeforeStart;

protected:
    void run() override
    {
        {
            TServer server(options_);
            QObject::connect(&server, &TServer::Stopped, [this] { exit(0); });
            try {
                if (BeforeStart)
                    BeforeStart(server);
                server.Start();
                port_ = server.Port();
                server_ = &server;
            } catch (const std::exception& e) {
                error_ = QString::fromUtf8(e.what());
            }
            Ready.release();
            if (server_)
                exec();
            server_ = nullptr;
        }
    }

private:
    TServerOptions options_;
    TServer* server_ = nullptr;
    quint16 port_ = 0;
    QString error_;
};

TTestServer::TTestServer()
{
    options_.LogToStdout = false;
    options_.ListenAddress = QHostAddress::LocalHost;
    options_.Port = 0;
}

TTestServer::~TTestServer()
{
    Stop();
}

bool TTestServer::Start(QString* error)
{
    if (thread_)
        return true;
    RegisterProtocolTypes();
    if (options_.DatabasePath.isEmpty())
        options_.DatabasePath = dir_.path() + QStringLiteral("/server.db");
    thread_ = std::make_unique<TThread>(options_);
    if (echo_)
        thread_->BeforeStart = [](TServer& server) {
            server.Calls().Add({TModule::Main, EchoDispId, level::Locked, AnyArgCount,
                                [](TCallContext& c) { return c.Args.value(0); }});
        };
    thread_->start();
    thread_->Ready.acquire();
    if (!thread_->Server()) {
        if (error)
            *error = thread_->Error();
        thread_->wait();
        thread_.reset();
        return false;
    }
    port_ = thread_->Port();
    return true;
}

bool TTestServer::StartDemo(const QDate& lastDay, QString* error)
{
    options_.Demo = true;
    options_.DemoDate = lastDay;
    return Start(error);
}

void TTestServer::Stop()
{
    if (!thread_)
        return;
    Resume();
    TServer* server = thread_->Server();
    QMetaObject::invokeMethod(
        server, [server] { server->Shutdown(); }, Qt::QueuedConnection);
    thread_->wait();
    thread_.reset();
}

void TTestServer::RunOnServer(const std::function<void(TServer&)>& fn)
{
    if (!thread_)
        return;
    TServer* server = thread_->Server();
    QMetaObject::invokeMethod(
        server, [server, &fn] { fn(*server); }, Qt::BlockingQueuedConnection);
}

void TTestServer::Suspend()
{
    if (!thread_ || suspended_)
        return;
    suspended_ = true;
    QMetaObject::invokeMethod(
        thread_->Server(),
        [this] {
            suspendedOn_.release();
            resume_.acquire();
        },
        Qt::QueuedConnection);
    suspendedOn_.acquire();
}

void TTestServer::Resume()
{
    if (!suspended_)
        return;
    suspended_ = false;
    resume_.release();
}

void TTestServer::InstallEchoCall()
{
    echo_ = true;
}

// ---- TServerProcess ------------------------------------------------------------------

QString TServerProcess::BinaryPath()
{
    return qEnvironmentVariable("TELVANE_BIN_DIR") + QStringLiteral("/telvane-server");
}

TServerProcess::TServerProcess()
{
    process_.setProcessChannelMode(QProcess::MergedChannels);
}

TServerProcess::~TServerProcess()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

bool TServerProcess::Start(const QStringList& extraArguments, QString* error, int timeoutMs)
{
    const QStringList arguments = QStringList{QStringLiteral("--db"),     DatabasePath(),
                                              QStringLiteral("--port"),   QStringLiteral("0"),
                                              QStringLiteral("--listen"), QStringLiteral("127.0.0.1")} +
                                  extraArguments;
    output_.clear();  // a restart reads its own port, not the last run's
    process_.start(BinaryPath(), arguments);
    auto fail = [&](const QString& why) {
        if (error)
            *error = why + QStringLiteral("\n") + QString::fromUtf8(output_);
        return false;
    };
    if (!process_.waitForStarted(timeoutMs))
        return fail(QStringLiteral("%1 did not start: %2").arg(BinaryPath(), process_.errorString()));
    static const QRegularExpression re(QStringLiteral("listening on port (\\d+)"));
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        const QRegularExpressionMatch m = re.match(QString::fromUtf8(output_));
        if (m.hasMatch()) {
            port_ = static_cast<quint16>(m.captured(1).toUInt());
            return true;
        }
        if (process_.state() == QProcess::NotRunning)
            return fail(QStringLiteral("telvane-server ended with code %1").arg(process_.exitCode()));
        process_.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
        output_ += process_.readAll();
    }
    return fail(QStringLiteral("telvane-server did not report its port"));
}

bool TServerProcess::Terminate(int timeoutMs, int signal)
{
    if (process_.state() == QProcess::NotRunning)
        return true;
    ::kill(static_cast<pid_t>(process_.processId()), signal);
    const bool ended = process_.waitForFinished(timeoutMs);
    output_ += process_.readAll();
    return ended;
}

QString TServerProcess::Output()
{
    output_ += process_.readAll();
    return QString::fromUtf8(output_);
}
