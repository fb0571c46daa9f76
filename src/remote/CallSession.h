#pragma once
// One client's conversation with the server over one socket: numbered requests, their
// answers, dataset packets and the server's callbacks (docs/protocol.md).
//
// Everything runs on the thread that owns the socket. A request waits by reading the
// socket directly (no event loop turns, so no user input is delivered meanwhile); callback
// messages met on the way are run at once and answered. When nobody waits, the socket's
// readyRead runs them from the ordinary event loop. A callback may itself make a call; its
// wait then reads the frames the outer wait would have read, and the outer wait finds its
// answer stored when it resumes.

#include "core/Errors.h"
#include "remote/Protocol.h"
#include "remote/RemoteModule.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>

#include <exception>
#include <memory>

class TCallSession : public QObject, public std::enable_shared_from_this<TCallSession> {
    Q_OBJECT

public:
    // Takes over a connected socket.
    explicit TCallSession(QTcpSocket* socket, quint32 maxFrameSize = DefaultMaxFrameSize);
    ~TCallSession() override;

    bool Connected() const;
    // Ends the conversation from this side; waiting and later requests fail with 0x80010108.
    void Close();
    // The error with which requests fail once the connection has ended: 0x80010108 with
    // the reason the end was seen. Never raises.
    EOleSysError DisconnectedError() const;

    TRemoteModule AttachMain(const QString& programId, const QString& guid);
    TRemoteModule AttachChild(const QString& childName, const TRemoteModule& parent);

    QVariant Call(quint32 handle, int dispId, const QList<TCallArg>& args);
    void OpenProvider(quint32 handle, const QString& provider, const QVariantList& params, TPacketSink& sink);
    TMessage ApplyUpdates(quint32 handle, const QString& provider, int maxErrors,
                          const QList<TDeltaChange>& delta);

    // Bytes received so far (frames and their length prefixes).
    qint64 BytesReceived() const { return bytesReceived_; }

Q_SIGNALS:
    // A request went out (its frame is handed to the socket); the answer is awaited next.
    void RequestSent(quint32 id, TMessageKind kind);
    // The connection ended without Close (the server closed it, the network failed or the
    // server broke the protocol). What arrived before the end is handled by the event loop
    // before anything queued in reply to this signal runs.
    void ConnectionLost(const QString& reason);

private:
    struct TPending {
        TPacketSink* Sink = nullptr;
        bool Done = false;
        TMessage Answer;
        std::exception_ptr SinkError;
    };

    [[noreturn]] void ThrowDisconnected() const;
    quint32 Send(TMessage& message);
    TMessage Request(TMessage& message, TPacketSink* sink = nullptr);
    void Await(quint32 id, TPending& pending);
    bool DispatchOne();
    bool DispatchRows(const QByteArray& payload);
    void Dispatch(const TMessage& message);
    void RunCallback(const TMessage& message);
    void ReadAvailable();
    void Pump();
    void SchedulePump();
    void MarkLost(const QString& reason);
    void ProtocolBroken(const QString& reason);

    QPointer<QTcpSocket> socket_;
    TFrameReader frames_;
    QHash<quint32, TPending*> pending_;
    quint32 nextId_ = 1;
    bool lost_ = false;
    bool closed_ = false;
    bool broken_ = false;
    bool pumpScheduled_ = false;
    bool pumping_ = false;
    int awaitDepth_ = 0;
    QString lostReason_;
    qint64 bytesReceived_ = 0;
};
