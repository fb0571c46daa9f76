#pragma once
// One connected client: its socket and frame reader, the module handles it attached, its
// access level and callback objects, and the small state each module keeps for it. It
// reads frames, dispatches calls, opens and applies to the handlers of the server's tables
// (server/modules fill them), and sends the answers, datasets and callbacks. Everything
// runs on the server's thread.

#include "remote/Protocol.h"
#include "server/CallTable.h"
#include "server/ClientNotifier.h"
#include "server/DataPackets.h"

#include <QHash>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <typeindex>

class QTcpSocket;
class TServerContext;

// The state a module keeps for a connection (filter clauses, chosen tables, statements):
// made when the module first needs it, destroyed with the connection.
class TModuleState {
public:
    virtual ~TModuleState() = default;
    // The connection closes: whatever runs for it stops.
    virtual void Closing() {}
};

class TClientConnection : public QObject, public TClientCallbacks {
    Q_OBJECT

public:
    TClientConnection(TServerContext& server, QTcpSocket* socket, quint64 number);
    ~TClientConnection() override;

    TServerContext& Server() const { return server_; }
    quint64 Number() const { return number_; }
    QString Peer() const { return peer_; }

    int Level() const { return level_; }
    void RaiseLevel(int level);

    // Handshake.
    void SetCallbackObjects(const QList<TDispatchRef>& objects);
    bool Accepted() const { return accepted_; }
    void SetAccepted(bool accepted) { accepted_ = accepted; }
    // Sends the "too many users" notice after the current reply and closes after a grace.
    void SendAwayAfterReply() { sendAway_ = true; }
    bool SendingAway() const { return sendAway_; }
    // Runs after the reply of the call being handled has been sent.
    void RunAfterReply(std::function<void()> fn) { afterReply_.append(std::move(fn)); }
    bool SentAway() const { return sentAway_; }

    // Live notices are held back while live data is disabled (MainRDM SetLiveData) and
    // sent in order when it is enabled.
    using TClientCallbacks::Notify;
    void Notify(TCallbackTarget target, const QString& method, const QVariantList& args,
                bool live = true) override;
    void SetLiveDataEnabled(bool enabled);

    // A module's state for this connection.
    template <typename TState>
    TState& State()
    {
        std::unique_ptr<TModuleState>& state = states_[std::type_index(typeid(TState))];
        if (!state)
            state = std::make_unique<TState>();
        return static_cast<TState&>(*state);
    }

    // Answers an open with the rows, or with the error that stopped reading them.
    void SendDataSet(quint32 id, TDataSetResultPtr result);
    // True once the connection is closing: nothing more is sent.
    bool Closing() const { return closing_; }

    // The server stops: the shutdown notice, then the connection is closed.
    void Shutdown();
    void Close(const QString& reason);

Q_SIGNALS:
    void Finished(TClientConnection* connection);

private:
    struct TOutgoing {
        QByteArray Frame;
        TDataSetResultPtr Rows;  // a dataset's packets, sent as the socket drains
        qsizetype Next = 0;
        quint32 Id = 0;
    };

    void OnReadyRead();
    void OnDisconnected();
    void HalfCloseWhenWritten();
    void Pump();
    void Dispatch(const TMessage& m);
    void HandleAttach(const TMessage& m);
    void HandleCall(const TMessage& m);
    const TProviderEntry& CheckedProvider(const TMessage& m) const;
    void HandleOpen(const TMessage& m);
    void HandleApply(const TMessage& m);
    TModule ModuleOf(quint32 handle) const;
    void CheckLevel(int needed, const QString& what) const;
    void StatesClosing();

    void Send(const TMessage& m);
    void SendError(quint32 id, HRESULT code, const QString& text);
    void SendAway();

    TServerContext& server_;
    QTcpSocket* socket_;
    quint64 number_;
    QString peer_;
    TFrameReader reader_;
    QTimer frameTimer_;
    QHash<quint32, TModule> handles_;
    quint32 nextHandle_ = 1;
    int level_ = level::Locked;
    bool accepted_ = false;
    bool sendAway_ = false;
    bool sentAway_ = false;
    bool closing_ = false;
    bool halfClosed_ = false;
    QList<TDispatchRef> callbacks_;
    quint32 nextCallbackId_ = 1;
    bool liveEnabled_ = true;
    QList<TMessage> heldCallbacks_;
    qint64 droppedCallbacks_ = 0;
    QList<std::function<void()>> afterReply_;
    std::map<std::type_index, std::unique_ptr<TModuleState>> states_;
    std::deque<TOutgoing> outgoing_;
};
