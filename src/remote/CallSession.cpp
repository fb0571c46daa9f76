#include "remote/CallSession.h"

#include "remote/CallbackObject.h"
#include "core/Errors.h"

#include <QCoreApplication>
#include <QScopeGuard>

namespace {

// How long one read waits before the loop looks at the connection's state again.
constexpr int kReadSliceMs = 500;

QString Tr(const char* text)
{
    return QCoreApplication::translate("TCallSession", text);
}

}  // namespace

TCallSession::TCallSession(QTcpSocket* socket, quint32 maxFrameSize) : socket_(socket), frames_(maxFrameSize)
{
    socket_->setParent(this);
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket_, &QTcpSocket::readyRead, this, &TCallSession::Pump);
    connect(socket_, &QTcpSocket::disconnected, this,
            [this] { MarkLost(Tr("The server closed the connection.")); });
    connect(socket_, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (socket_ && socket_->state() != QAbstractSocket::ConnectedState)
            MarkLost(socket_->errorString());
    });
}

TCallSession::~TCallSession()
{
    closed_ = true;
    if (socket_) {
        socket_->disconnect(this);
        socket_->abort();
        // The last handle may go inside one of the socket's own signals (a callback that
        // closes the connection): the socket is deleted once that signal is over.
        socket_->setParent(nullptr);
        socket_->deleteLater();
    }
}

bool TCallSession::Connected() const
{
    return !lost_ && !closed_ && socket_ && socket_->state() == QAbstractSocket::ConnectedState;
}

void TCallSession::Close()
{
    if (closed_)
        return;
    closed_ = true;
    if (socket_) {
        socket_->disconnect(this);
        socket_->abort();
    }
}

EOleSysError TCallSession::DisconnectedError() const
{
    QString message = Tr("The object invoked has disconnected from its clients.");
    if (!lostReason_.isEmpty() && !closed_)
        message += QStringLiteral(" (%1)").arg(lostReason_);
    return EOleSysError(message, hr::RPC_E_DISCONNECTED_);
}

void TCallSession::ThrowDisconnected() const
{
    throw DisconnectedError();
}

void TCallSession::MarkLost(const QString& reason)
{
    if (lost_ || closed_)
        return;
    lost_ = true;
    lostReason_ = reason;
    // The pump goes first into the event queue: the server's last notices (a shutdown
    // notice right before it closed) are handled before whatever reacts to the loss.
    SchedulePump();
    Q_EMIT ConnectionLost(reason);
}

quint32 TCallSession::Send(TMessage& message)
{
    if (!Connected())
        ThrowDisconnected();
    message.Id = nextId_++;
    QByteArray payload;
    try {
        payload = EncodeMessage(message);
    } catch (const EProtocolError& e) {
        throw EOleSysError(e.Message(), hr::DISP_E_TYPEMISMATCH_);
    }
    const QByteArray frame = FrameBytes(payload);
    if (socket_->write(frame) != frame.size()) {
        MarkLost(socket_->errorString());
        ThrowDisconnected();
    }
    socket_->flush();
    Q_EMIT RequestSent(message.Id, message.Kind);
    return message.Id;
}

TMessage TCallSession::Request(TMessage& message, TPacketSink* sink)
{
    const quint32 id = Send(message);
    TPending pending;
    pending.Sink = sink;
    Await(id, pending);
    if (pending.Answer.Kind == TMessageKind::Error)
        throw EOleSysError(pending.Answer.Text, pending.Answer.Code);
    return std::move(pending.Answer);
}

void TCallSession::Await(quint32 id, TPending& pending)
{
    pending_.insert(id, &pending);
    ++awaitDepth_;
    const auto leave = qScopeGuard([&] {
        pending_.remove(id);
        --awaitDepth_;
        // Frames that came with the answer wait for the event loop.
        if (!closed_ && (frames_.Buffered() > 0 || (socket_ && socket_->bytesAvailable() > 0)))
            SchedulePump();
    });
    while (!pending.Done) {
        if (closed_ || !socket_)
            ThrowDisconnected();
        // What arrived before the connection ended is still handled: the answer may be
        // among it, and so may the server's last notices.
        if (DispatchOne())
            continue;
        if (lost_)
            ThrowDisconnected();
        if (!socket_->waitForReadyRead(kReadSliceMs) && socket_->state() != QAbstractSocket::ConnectedState)
            MarkLost(socket_->errorString());
        ReadAvailable();
    }
    if (pending.SinkError)
        std::rethrow_exception(pending.SinkError);
}

void TCallSession::ReadAvailable()
{
    if (!socket_ || closed_ || broken_)
        return;
    const QByteArray bytes = socket_->readAll();
    if (bytes.isEmpty())
        return;
    bytesReceived_ += bytes.size();
    frames_.Append(bytes);
}

bool TCallSession::DispatchOne()
{
    if (broken_)
        return false;
    QByteArray payload;
    TMessage message;
    try {
        if (!frames_.Next(payload))
            return false;
        if (DispatchRows(payload))
            return true;
        message = DecodeMessage(payload);
    } catch (const EProtocolError& e) {
        ProtocolBroken(e.Message());
        return true;
    }
    Dispatch(message);
    return true;
}

// A packet of rows, handed as it came to a sink that reads the bytes itself.
bool TCallSession::DispatchRows(const QByteArray& payload)
{
    quint32 id = 0;
    if (!PeekRowsId(payload, id))
        return false;
    TPending* pending = pending_.value(id);
    if (!pending || pending->Done || !pending->Sink)
        return false;
    try {
        if (!pending->Sink->RowsPayload(payload))
            return false;
    } catch (const EProtocolError&) {
        throw;
    } catch (...) {
        pending->SinkError = std::current_exception();
        pending->Done = true;
    }
    return true;
}

void TCallSession::Dispatch(const TMessage& message)
{
    if (message.Kind == TMessageKind::Callback) {
        RunCallback(message);
        return;
    }
    TPending* pending = pending_.value(message.Id);
    if (!pending || pending->Done)
        return;  // the answer of a request nobody waits for any more
    switch (message.Kind) {
        case TMessageKind::Meta:
        case TMessageKind::Rows:
        case TMessageKind::Eof:
            if (!pending->Sink)
                break;
            try {
                if (message.Kind == TMessageKind::Meta) {
                    pending->Sink->Meta(message.Fields);
                    if (message.Count > 0)
                        pending->Sink->RowsExpected(message.Count);
                } else if (message.Kind == TMessageKind::Rows)
                    pending->Sink->Rows(message.Rows);
                else
                    pending->Sink->End(message.Count);
            } catch (const EProtocolError& e) {
                // The server broke the protocol: the waiting request fails as disconnected.
                ProtocolBroken(e.Message());
                return;
            } catch (...) {
                // The rest of this transfer is dropped; the waiting request raises the error.
                pending->SinkError = std::current_exception();
                pending->Done = true;
                return;
            }
            if (message.Kind == TMessageKind::Eof) {
                pending->Answer = message;
                pending->Done = true;
            }
            return;
        case TMessageKind::Reply:
        case TMessageKind::Error:
        case TMessageKind::Applied:
            pending->Answer = message;
            pending->Done = true;
            return;
        default:
            break;
    }
    ProtocolBroken(Tr("Protocol error: unexpected message \"%1\".").arg(MessageKindName(message.Kind)));
}

// Nothing after a broken frame can be trusted: the connection ends and the rest is dropped.
void TCallSession::ProtocolBroken(const QString& reason)
{
    broken_ = true;
    MarkLost(reason);
    if (socket_)
        socket_->abort();
}

void TCallSession::RunCallback(const TMessage& message)
{
    HRESULT status = hr::DISP_E_UNKNOWNNAME_;
    if (TCallbackObject* object = TCallbackObject::Find(message.ObjectId))
        status = object->Dispatch(message.Iid, message.DispId, message.Args);
    if (!Connected())
        return;
    // Take in what the system already holds before writing: a server that has closed its
    // socket answers the write with a reset, and a reset makes the system drop the bytes
    // not read yet (such as the server's shutdown notice right behind this callback).
    socket_->waitForReadyRead(0);
    ReadAvailable();
    if (!Connected())
        return;
    TMessage reply;
    reply.Kind = TMessageKind::CallbackReply;
    reply.Code = status;
    reply.Id = message.Id;
    const QByteArray frame = FrameBytes(EncodeMessage(reply));
    if (socket_->write(frame) != frame.size())
        MarkLost(socket_->errorString());
    else
        socket_->flush();
}

void TCallSession::Pump()
{
    pumpScheduled_ = false;
    // A waiting request reads the socket itself (readyRead is also raised from inside its
    // waitForReadyRead), and so does a running pump (a callback reply reads before it writes).
    if (awaitDepth_ > 0 || pumping_)
        return;
    // Keep this session alive while callbacks run: one of them may drop the last handle.
    const auto self = shared_from_this();
    pumping_ = true;
    const auto done = qScopeGuard([this] { pumping_ = false; });
    // The socket does not signal readyRead again while this slot runs, and not at all once
    // it has disconnected: bytes that came in meanwhile (the server's last notices before
    // it closed) are read here, or they would never be handled.
    ReadAvailable();
    while (!closed_) {
        if (DispatchOne())
            continue;
        if (!socket_ || socket_->bytesAvailable() == 0)
            break;
        ReadAvailable();
    }
}

void TCallSession::SchedulePump()
{
    if (pumpScheduled_)
        return;
    pumpScheduled_ = true;
    QMetaObject::invokeMethod(this, &TCallSession::Pump, Qt::QueuedConnection);
}

TRemoteModule TCallSession::AttachMain(const QString& programId, const QString& guid)
{
    TMessage m;
    m.Kind = TMessageKind::Attach;
    m.Module = programId;
    m.Guid = guid;
    m.Version = TelvaneProtocolVersion;
    const TMessage answer = Request(m);
    return TRemoteModule(shared_from_this(), static_cast<quint32>(answer.Result.toULongLong()), programId);
}

TRemoteModule TCallSession::AttachChild(const QString& childName, const TRemoteModule& parent)
{
    if (parent.Session().get() != this)
        ThrowDisconnected();
    TMessage m;
    m.Kind = TMessageKind::Attach;
    m.Module = childName;
    m.Parent = parent.Handle();
    const TMessage answer = Request(m);
    return TRemoteModule(shared_from_this(), static_cast<quint32>(answer.Result.toULongLong()), childName);
}

QVariant TCallSession::Call(quint32 handle, int dispId, const QList<TCallArg>& args)
{
    TMessage m;
    m.Kind = TMessageKind::Call;
    m.Handle = handle;
    m.DispId = dispId;
    for (int i = 0; i < args.size(); ++i) {
        m.Args.append(args[i].Value());
        if (args[i].Ref())
            m.ByRef.append(i);
    }
    TMessage answer = Request(m);
    for (int k = 0; k < m.ByRef.size(); ++k)
        args[m.ByRef[k]].Ref()->Assign(k < answer.ByRefValues.size() ? answer.ByRefValues[k] : QVariant());
    return answer.Result;
}

void TCallSession::OpenProvider(quint32 handle, const QString& provider, const QVariantList& params,
                                TPacketSink& sink)
{
    TMessage m;
    m.Kind = TMessageKind::Open;
    m.Handle = handle;
    m.Provider = provider;
    m.Args = params;
    Request(m, &sink);
}

TMessage TCallSession::ApplyUpdates(quint32 handle, const QString& provider, int maxErrors,
                                    const QList<TDeltaChange>& delta)
{
    TMessage m;
    m.Kind = TMessageKind::Apply;
    m.Handle = handle;
    m.Provider = provider;
    m.MaxErrors = maxErrors;
    m.Delta = delta;
    return Request(m);
}

// ---- TRemoteModule -------------------------------------------------------------------

TCallArg::TCallArg(const TCallbackObject* object)
    : value_(object ? QVariant::fromValue(object->DispatchRef()) : QVariant())
{
}

TRemoteModule::TRemoteModule(std::shared_ptr<TCallSession> session, quint32 handle, QString name)
    : session_(std::move(session)), handle_(handle), name_(std::move(name))
{
}

std::shared_ptr<TCallSession> TRemoteModule::CheckedSession() const
{
    if (!session_)
        throw EOleSysError(QCoreApplication::translate("TCallSession", "The module is not connected."),
                           hr::RPC_E_DISCONNECTED_);
    return session_;
}

// Each request holds its own reference to the session: a callback run during the wait
// may close the connection and drop every other one.
QVariant TRemoteModule::Call(int dispId, const QList<TCallArg>& args) const
{
    const auto session = CheckedSession();
    return session->Call(handle_, dispId, args);
}

void TRemoteModule::OpenProvider(const QString& provider, const QVariantList& params, TPacketSink& sink) const
{
    const auto session = CheckedSession();
    session->OpenProvider(handle_, provider, params, sink);
}

TMessage TRemoteModule::ApplyUpdates(const QString& provider, int maxErrors,
                                     const QList<TDeltaChange>& delta) const
{
    const auto session = CheckedSession();
    return session->ApplyUpdates(handle_, provider, maxErrors, delta);
}
