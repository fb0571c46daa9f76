#pragma once
// One connected client: its socket and frame reader, the module handles it attached, its
// access level and callback objects, and the small state each module keeps for it. It
// reads frames, dispatches calls, opens and applies to the handlers of the server's tables
// (server/modules fill them), and sends the answers, datasets and callbacks. Everything
// runs on the server's thread.
//
// It defends the server against its peer (docs/server.md, "Limits and defences"): frames
// larger than MaxLoginFrame are refused until a password check has succeeded, a connection
// without an accepted handshake after HandshakeTimeoutMs is dropped, a frame must keep
// arriving (FrameTimeoutMs between bytes) and be complete within FrameTimeoutMs plus its
// length at MinFrameRate, and a client that lets more than MaxSendQueue bytes wait is
// dropped.

#include "remote/Protocol.h"
#include "server/CallTable.h"
#include "server/ClientNotifier.h"
#include "server/DataPackets.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
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

// The answer to a deferred call (TCallContext::Defer), given once on the server's thread;
// nothing is sent when the connection has gone meanwhile. Copies share the one answer.
class TDeferredReply {
public:
    TDeferredReply(TClientConnection& client, quint32 requestId, QList<int> byRef, QVariantList args);
    // The result, with the by-reference arguments as the handler left them or as given.
    void Send(const QVariant& result);
    void Send(const QVariant& result, const QVariantList& args);
    void Fail(HRESULT code, const QString& text);

private:
    struct TState {
        QPointer<TClientConnection> Client;
        quint32 RequestId = 0;
        QList<int> ByRef;
        QVariantList Args;
        bool Answered = false;
    };
    std::shared_ptr<TState> state_;
};

class TClientConnection : public QObject, public TClientCallbacks {
    Q_OBJECT

public:
    TClientConnection(TServerContext& server, QTcpSocket* socket, quint64 number);
    ~TClientConnection() override;

    TServerContext& Server() const { return server_; }
    quint64 Number() const { return number_; }
    QString Peer() const { return peer_; }
    QHostAddress PeerAddress() const { return peerAddress_; }

    int Level() const { return level_; }
    // A successful password check; from the user level on, frames up to MaxFrame are taken.
    void RaiseLevel(int level);

    // Handshake.
    void SetCallbackObjects(const QList<TDispatchRef>& objects);
    bool Accepted() const { return accepted_; }
    void Accept();
    // A refused handshake: the connection goes back to where it started, locked and without
    // callback objects, and has the handshake time-out again to get an accepted one.
    void Refuse();
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
    // The answer of a deferred call; the connection then reads its client's requests again.
    void SendDeferredReply(const TMessage& answer);
    // True once the connection is closing: nothing more is sent.
    bool Closing() const { return closing_; }

    // The server stops: the shutdown notice, then the connection is closed.
    void Shutdown();
    void Close(const QString& reason);

Q_SIGNALS:
    void Finished(TClientConnection* connection);

private:
    friend class TDeferredReply;
    struct TOutgoing {
        QByteArray Frame;
        TDataSetResultPtr Rows;  // a dataset's packets, sent as the socket drains
        qsizetype Next = 0;
        quint32 Id = 0;
    };

    void OnReadyRead();
    void WatchFrame(bool frameCompleted);
    void StopTimers();
    quint32 FrameLimit() const;
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
    void SendFrame(QByteArray frame);
    void SendError(quint32 id, HRESULT code, const QString& text);
    void SendAway();
    void CheckSendQueue();

    TServerContext& server_;
    QTcpSocket* socket_;
    quint64 number_;
    QString peer_;
    QHostAddress peerAddress_;
    TFrameReader reader_;
    QTimer handshakeTimer_;
    QTimer frameTimer_;     // the next byte of a frame
    QTimer frameDeadline_;  // the whole frame
    QElapsedTimer frameClock_;
    bool frameWatched_ = false;
    int deferred_ = 0;  // calls whose answer follows later: requests wait meanwhile
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
    QList<QByteArray> heldCallbacks_;  // frames
    qint64 heldBytes_ = 0;
    qint64 droppedCallbacks_ = 0;
    qint64 queuedBytes_ = 0;  // frames in outgoing_
    QList<std::function<void()>> afterReply_;
    std::map<std::type_index, std::unique_ptr<TModuleState>> states_;
    std::deque<TOutgoing> outgoing_;
};
