#pragma once
// telvane-server: listens for clients, owns the database, the logs, the query pool, the
// receiver and the command queue and the tables of calls and providers that the modules
// (server/modules) fill, and stops gracefully (the shutdown notice to every client first).

#include "server/CallTable.h"
#include "server/ClientConnection.h"
#include "server/CommandQueue.h"
#include "server/Database.h"
#include "server/EventLog.h"
#include "server/LogThrottle.h"
#include "server/PasswordGuard.h"
#include "server/QueryScheduler.h"
#include "server/Receiver.h"
#include "server/ResultBudget.h"
#include "server/ReportSql.h"
#include "server/ServerContext.h"
#include "server/ServerLog.h"
#include "server/ServerOptions.h"

#include <QList>
#include <QObject>

#include <memory>

class QTcpServer;

// The client numbers its own running activities from 1 to 1000000000; the server's start
// above them, so that the two never clash.
inline constexpr int FirstServerStatusId = 1000000001;

class TServer : public QObject, public TServerContext {
    Q_OBJECT

public:
    explicit TServer(TServerOptions options, QObject* parent = nullptr);
    ~TServer() override;

    // Opens (creates, seeds) the database and starts listening; raises Exception on
    // failure. Call on the thread that runs the server's event loop.
    void Start();
    quint16 Port() const;
    // Sends the shutdown notice to every client, closes the connections, waits for the
    // running statements, checkpoints and closes the database, then emits Stopped.
    void Shutdown();
    bool Running() const { return running_; }

    const TServerOptions& Options() const override { return options_; }
    TDatabase& Database() override { return *db_; }
    // Tests add calls of their own before or while the server runs.
    TCallTable& Calls() { return calls_; }
    const TCallTable& Calls() const override { return calls_; }
    const TProviderTable& Providers() const override { return providers_; }
    TQueryScheduler& Queries() override { return queries_; }
    TResultBudget& ResultBudget() override { return results_; }
    TPasswordGuard& Passwords() override { return *passwords_; }

    TReceiver& Receiver() override { return *receiver_; }
    TCommandQueue& CommandQueue() override { return *queue_; }

    void Log(TSeverity severity, const QString& text) override;
    void LogEvent(const char* category, TSeverity severity, const QString& text) override;
    void LogDropped(const QString& text) override;
    void Notice(const char* category, TSeverity severity, const QString& text) override;
    using TClientNotifier::Broadcast;
    void Broadcast(TCallbackTarget target, const QString& method, const QVariantList& args) override;
    void SendLiveState(TClientCallbacks& client) override;
    int NewStatusId() override;
    void DataChanged() override;
    void CheckReportSql(const QString& sql, TReadScope scope) override;
    int AcceptedClients() const override;
    int ConnectionCount() const { return static_cast<int>(connections_.size()); }
    // Connections without an accepted handshake.
    int PendingConnections() const;

Q_SIGNALS:
    void Stopped();

private:
    void OnNewConnection();
    void MakeRoomForPending();
    void OnConnectionFinished(TClientConnection* connection);
    void FinishShutdown();
    void StoreCommandLineSettings();
    void StartLiveParts();

    TServerOptions options_;
    std::unique_ptr<TServerLog> log_;
    std::unique_ptr<TDatabase> db_;
    std::unique_ptr<TEventLog> events_;
    std::unique_ptr<TReportConnection> checker_;
    std::unique_ptr<TReceiver> receiver_;
    std::unique_ptr<TCommandQueue> queue_;
    std::unique_ptr<TPasswordGuard> passwords_;
    TLogThrottle dropped_;
    TCallTable calls_;
    TProviderTable providers_;
    TResultBudget results_;
    TQueryScheduler queries_;
    QTcpServer* listener_ = nullptr;
    QList<TClientConnection*> connections_;
    quint64 nextConnection_ = 1;
    int nextStatusId_ = FirstServerStatusId;
    bool running_ = false;
    bool stopping_ = false;
};
