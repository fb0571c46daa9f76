#include "server/Server.h"

#include "server/ClientConnection.h"
#include "server/DemoData.h"
#include "server/Schema.h"
#include "server/Settings.h"
#include "server/modules/Admin.h"
#include "server/modules/Archives.h"
#include "server/modules/Commands.h"
#include "server/modules/LogsReport.h"
#include "server/modules/Main.h"
#include "server/modules/Receiver.h"
#include "server/modules/Report.h"

#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <limits>

TServer::TServer(TServerOptions options, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      dropped_(options_.DroppedLogPerMinute,
               [this](const QString& text) { LogEvent(category::Client, TSeverity::Warning, text); },
               QStringLiteral("dropped connections")),
      results_(options_.ResultMemory),
      queries_(options_.QueryThreads, options_.QueryShare)
{
    RegisterMainModule(calls_, providers_);
    RegisterArchivesModule(calls_, providers_);
    RegisterAdminModule(calls_, providers_);
    RegisterReceiverModule(calls_, providers_);
    RegisterCommandsModule(calls_, providers_);
    RegisterReportModule(calls_, providers_);
    RegisterLogsReportModule(calls_, providers_);
}

TServer::~TServer()
{
    for (TClientConnection* c : std::as_const(connections_))
        delete c;
    connections_.clear();
    queries_.Stop();
    if (passwords_)
        passwords_->Shutdown();
}

void TServer::Start()
{
    log_ = std::make_unique<TServerLog>(options_.EffectiveLogPath(), options_.LogToStdout);
    Log(TSeverity::Information, QStringLiteral("Telvane Server starting (version %1, database \"%2\")")
                                    .arg(options_.ServerVersion)
                                    .arg(QFileInfo(options_.DatabasePath).absoluteFilePath()));
    db_ = std::make_unique<TDatabase>(options_.DatabasePath, TDatabase::TMode::ReadWrite);
    const bool created = PrepareSchema(*db_);
    if (created) {
        Log(TSeverity::Information, QStringLiteral("created a new database"));
        if (options_.Demo) {
            const QDate day = options_.DemoDate.isValid() ? options_.DemoDate : QDate::currentDate();
            const TDemoSummary summary = SeedDemoData(*db_, day);
            Log(TSeverity::Information, QStringLiteral("seeded demo data up to %1: %2")
                                            .arg(day.toString(Qt::ISODate), summary.Text()));
        }
    } else if (options_.Demo) {
        Log(TSeverity::Information, QStringLiteral("the database exists already: no demo data added"));
    }
    events_ = std::make_unique<TEventLog>(*db_);
    passwords_ = std::make_unique<TPasswordGuard>(*db_, *this, options_);
    checker_ = std::make_unique<TReportConnection>(options_.DatabasePath);
    StoreCommandLineSettings();

    listener_ = new QTcpServer(this);
    connect(listener_, &QTcpServer::newConnection, this, &TServer::OnNewConnection);
    if (!listener_->listen(options_.ListenAddress, options_.Port))
        throw Exception(
            QStringLiteral("Cannot listen on port %1: %2").arg(options_.Port).arg(listener_->errorString()));
    running_ = true;
    LogEvent(category::Application, TSeverity::Information,
             QStringLiteral("Telvane Server started, listening on port %1").arg(Port()));
    Log(TSeverity::Information, QStringLiteral("listening on port %1").arg(Port()));
    StartLiveParts();
}

void TServer::StoreCommandLineSettings()
{
    TSettings settings(*db_);
    const std::pair<const char*, std::optional<int>> given[] = {
        {setting::ReceiverPort, options_.ReceiverPort},
        {setting::ReceiverBufferSize, options_.ReceiverBufferSize},
        {setting::ControlProtocol, options_.ControlProtocol},
        {setting::CommandRetryMs, options_.CommandRetryMs},
        {setting::ReceiverConnections, options_.ReceiverConnections},
        {setting::ReceiverPauseKb, options_.ReceiverPauseKb},
        {setting::ReceiverResumeKb, options_.ReceiverResumeKb},
    };
    for (const auto& [name, value] : given)
        if (value)
            settings.SetInt(name, *value);
    if (options_.ReceiverListenAddress)
        settings.SetString(setting::ReceiverListenAddress, *options_.ReceiverListenAddress);
    if (options_.ReceiverAllowed)
        settings.SetString(setting::ReceiverAllowed, *options_.ReceiverAllowed);
}

void TServer::StartLiveParts()
{
    receiver_ = std::make_unique<TReceiver>(*db_, options_.ListenAddress, *this, options_.DroppedLogPerMinute);
    queue_ = std::make_unique<TCommandQueue>(*db_, *this, *receiver_, options_.RetryNoticeMs);
    queue_->Load();
    // A receiver that ran when the server stopped runs again.
    if (options_.StartReceiver || TSettings(*db_).Int(setting::ReceiverRunning, 0) != 0) {
        try {
            receiver_->Start();
            TSettings(*db_).SetInt(setting::ReceiverRunning, 1);
        } catch (const Exception&) {
            // Start has logged why; the server serves its clients all the same.
        }
    }
}

quint16 TServer::Port() const
{
    return listener_ ? listener_->serverPort() : 0;
}

void TServer::Log(TSeverity severity, const QString& text)
{
    if (log_)
        log_->Write(severity, text);
}

void TServer::LogEvent(const char* category, TSeverity severity, const QString& text)
{
    Log(severity, text);
    if (!events_)
        return;
    try {
        events_->Add(category, severity, text);
    } catch (const Exception& e) {
        Log(TSeverity::Error, QStringLiteral("Cannot write the event to the LOG table: %1").arg(e.Message()));
    }
}

void TServer::LogDropped(const QString& text)
{
    dropped_.Add(text);
}

void TServer::Notice(const char* category, TSeverity severity, const QString& text)
{
    LogEvent(category, severity, text);
    Broadcast(callback::LogMessage, {text, static_cast<int>(severity)});
}

void TServer::Broadcast(TCallbackTarget target, const QString& method, const QVariantList& args)
{
    const QList<TClientConnection*> all = connections_;  // a connection may finish meanwhile
    for (TClientConnection* c : all)
        if (c->Accepted() && !c->SentAway())
            c->Notify(target, method, args);
}

void TServer::SendLiveState(TClientCallbacks& client)
{
    if (receiver_)
        receiver_->SendStateTo(client);
    if (queue_)
        queue_->SendStateTo(client);
}

int TServer::NewStatusId()
{
    const int id = nextStatusId_;
    nextStatusId_ =
        nextStatusId_ == std::numeric_limits<int>::max() ? FirstServerStatusId : nextStatusId_ + 1;
    return id;
}

void TServer::DataChanged()
{
    if (receiver_)
        receiver_->ConfigurationChanged();
}

void TServer::CheckReportSql(const QString& sql, TReadScope scope)
{
    checker_->Prepare(sql, scope);
}

int TServer::PendingConnections() const
{
    int n = 0;
    for (const TClientConnection* c : connections_)
        if (!c->Accepted() && !c->Closing())
            ++n;
    return n;
}

// Connections without an accepted handshake are few and short-lived for real clients; past
// the limit the oldest goes, so a flood of idle connections cannot keep real clients out.
void TServer::MakeRoomForPending()
{
    if (PendingConnections() < options_.MaxPendingConnections)
        return;
    for (TClientConnection* c : std::as_const(connections_))
        if (!c->Accepted() && !c->Closing()) {
            c->Close(QStringLiteral("%1 connections were waiting for their handshake")
                         .arg(options_.MaxPendingConnections));
            return;
        }
}

int TServer::AcceptedClients() const
{
    int n = 0;
    for (const TClientConnection* c : connections_)
        if (c->Accepted() && !c->SentAway())
            ++n;
    return n;
}

void TServer::OnNewConnection()
{
    while (QTcpSocket* socket = listener_->nextPendingConnection()) {
        if (stopping_) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        MakeRoomForPending();
        auto* connection = new TClientConnection(*this, socket, nextConnection_++);
        connections_.append(connection);
        connect(connection, &TClientConnection::Finished, this, &TServer::OnConnectionFinished);
        Log(TSeverity::Information,
            QStringLiteral("client %1 connected from %2").arg(connection->Number()).arg(connection->Peer()));
    }
}

void TServer::OnConnectionFinished(TClientConnection* connection)
{
    connections_.removeOne(connection);
    Log(TSeverity::Information, QStringLiteral("client %1 disconnected").arg(connection->Number()));
    connection->deleteLater();
    if (stopping_ && connections_.isEmpty())
        FinishShutdown();
}

void TServer::Shutdown()
{
    if (stopping_)
        return;
    stopping_ = true;
    Log(TSeverity::Information,
        QStringLiteral("shutting down: notifying %1 client(s)").arg(connections_.size()));
    if (listener_)
        listener_->close();
    const QList<TClientConnection*> all = connections_;
    for (TClientConnection* c : all)
        c->Shutdown();
    if (connections_.isEmpty()) {
        QTimer::singleShot(0, this, &TServer::FinishShutdown);
        return;
    }
    // Clients that do not read their socket do not hold the server up for long.
    QTimer::singleShot(3000, this, [this] {
        if (running_)
            FinishShutdown();
    });
}

void TServer::FinishShutdown()
{
    if (!running_ && !db_)
        return;
    running_ = false;
    for (TClientConnection* c : std::as_const(connections_))
        delete c;
    connections_.clear();
    queries_.Stop();
    if (passwords_)
        passwords_->Shutdown();
    dropped_.Flush();
    checker_.reset();
    queue_.reset();
    if (receiver_) {
        receiver_->Shutdown();
        receiver_.reset();
    }
    if (db_) {
        LogEvent(category::Application, TSeverity::Information, QStringLiteral("Telvane Server stopped"));
        events_.reset();
        try {
            db_->Exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        } catch (const Exception& e) {
            Log(TSeverity::Error, QStringLiteral("checkpoint failed: %1").arg(e.Message()));
        }
        db_.reset();
    }
    Log(TSeverity::Information, QStringLiteral("stopped"));
    Q_EMIT Stopped();
}
