#pragma once
// telvane-server: listens for clients, owns the database, the logs and the query pool,
// and stops gracefully (the shutdown notice to every client first).

#include "server/ClientConnection.h"
#include "server/CommandQueue.h"
#include "server/Database.h"
#include "server/EventLog.h"
#include "server/Receiver.h"
#include "server/ReportSql.h"
#include "server/ServerLog.h"
#include "server/ServerModules.h"
#include "server/ServerOptions.h"

#include <QList>
#include <QObject>
#include <QThreadPool>

#include <memory>

class QTcpServer;

// The client numbers its own running activities from 1 to 1000000000; the server's start
// above them, so that the two never clash.
inline constexpr int FirstServerStatusId = 1000000001;

class TServer : public QObject {
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

    const TServerOptions& Options() const { return options_; }
    TDatabase& Database() { return *db_; }
    TCallTable& Calls() { return calls_; }
    QThreadPool& QueryPool() { return pool_; }

    TReceiver& Receiver() { return *receiver_; }
    TCommandQueue& CommandQueue() { return *queue_; }

    void Log(TSeverity severity, const QString& text);
    // The server log and the LOG table.
    void LogEvent(const char* category, TSeverity severity, const QString& text);
    // LogEvent, and the text as LogMessage to every client.
    void Notice(const char* category, TSeverity severity, const QString& text);

    // A live callback to every client whose handshake was accepted.
    void Broadcast(TCallbackTarget target, const QString& method, const QVariantList& args);
    // The state of the receiver and the command queue, for a client that has just shaken
    // hands.
    void SendLiveState(TClientConnection& client);
    // Identifiers of StatusAdded/StatusCleared, unique across clients.
    int NewStatusId();
    // A client changed reference data (exchanges, tariff rules, ...) or a setting in use.
    void DataChanged();

    // Raises Exception when the text is not one read-only statement.
    void CheckReportSql(const QString& sql);
    int AcceptedClients() const;
    int ConnectionCount() const { return static_cast<int>(connections_.size()); }

Q_SIGNALS:
    void Stopped();

private:
    void OnNewConnection();
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
    TCallTable calls_;
    QThreadPool pool_;
    QTcpServer* listener_ = nullptr;
    QList<TClientConnection*> connections_;
    quint64 nextConnection_ = 1;
    int nextStatusId_ = FirstServerStatusId;
    bool running_ = false;
    bool stopping_ = false;
};
