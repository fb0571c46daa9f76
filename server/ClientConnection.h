#pragma once
// One connected client: its socket and frame reader, its module handles, access level,
// callback objects, filter clauses and report results. Everything runs on the server's
// thread; report statements run on the query pool and come back here.

#include "server/DataPackets.h"
#include "remote/Protocol.h"
#include "server/ServerModules.h"
#include "server/TableProvider.h"

#include <QHash>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

class QTcpSocket;
class TServer;

// The four callback objects of the handshake, in its order.
enum class TCallbackTarget { Application = 0, Receiver = 1, Commands = 2, Report = 3 };

// The statements a connection may have running, one of each.
enum class TResultSlot { Report = 0, Logs = 1, LogsEvent = 2 };

class TClientConnection : public QObject {
    Q_OBJECT

public:
    TClientConnection(TServer& server, QTcpSocket* socket, quint64 number);
    ~TClientConnection() override;

    TServer& Server() const { return server_; }
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

    // Calls a method of one of the client's callback objects. Live notices are held back
    // while live data is disabled (MainRDM 312) and sent in order when it is enabled.
    void Notify(TCallbackTarget target, const QString& method, const QVariantList& args, bool live = true);
    void SetLiveDataEnabled(bool enabled);

    // The data format the connection checked last with AdminRDM 302, as it was sent;
    // none when that check failed.
    const std::optional<QString>& CheckedDataFormat() const { return checkedFormat_; }
    void SetCheckedDataFormat(std::optional<QString> text) { checkedFormat_ = std::move(text); }

    void SetRowFilter(TProviderKind query, std::optional<TRowFilter> filter);
    void SetCatalogTable(TProviderKind provider, const QString& table);

    // Runs a report or log statement (already checked) on the query pool; the result is
    // served by the slot's provider, and the slot's ready callback follows.
    void StartQuery(TResultSlot slot, const QString& sql);

    // The server stops: the shutdown notice, then the connection is closed.
    void Shutdown();
    void Close(const QString& reason);

Q_SIGNALS:
    void Finished(TClientConnection* connection);

private:
    struct TQuery {
        quint64 Generation = 0;
        bool Running = false;
        std::shared_ptr<std::atomic<bool>> Cancel;
        TDataSetResultPtr Result;
        QList<quint32> WaitingOpens;
        int StatusId = 0;
    };
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

    void Send(const TMessage& m);
    void SendError(quint32 id, HRESULT code, const QString& text);
    void SendDataSet(quint32 id, TDataSetResultPtr result);
    void QueryDone(TResultSlot slot, quint64 generation, TDataSetResultPtr result);
    void CancelQueries();
    TDataSetResultPtr OpenCatalog(TProviderKind kind) const;
    void SendAway();

    TServer& server_;
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
    std::optional<TRowFilter> extensionFilter_;
    std::optional<TRowFilter> pinCodeFilter_;
    QString epGroupTable_, extPinTable_, simpleExtPinTable_;
    std::optional<QString> checkedFormat_;
    QList<std::function<void()>> afterReply_;
    TQuery queries_[3];
    std::deque<TOutgoing> outgoing_;
};
