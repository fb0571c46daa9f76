#include "server/ClientConnection.h"

#include "remote/CallbackInterfaces.h"
#include "server/EventLog.h"
#include "server/ServerContext.h"

#include <QTcpSocket>

#include <sys/socket.h>

#include <limits>

namespace {

// Frames are handed to the socket while it holds less than this, so a large result
// streams as the client reads it instead of piling up in memory twice.
constexpr qint64 kSocketBacklog = 1024 * 1024;
constexpr qsizetype kMaxHeldCallbacks = 10000;
// What the socket reads ahead of the frames being handled: while a deferred call waits, the
// client's further requests wait in the network instead of in the server's memory.
constexpr qint64 kReadAhead = 1024 * 1024;

}  // namespace

// ---- deferred replies ----------------------------------------------------------------

TDeferredReply::TDeferredReply(TClientConnection& client, quint32 requestId, QList<int> byRef,
                               QVariantList args)
    : state_(std::make_shared<TState>(TState{&client, requestId, std::move(byRef), std::move(args)}))
{
}

void TDeferredReply::Send(const QVariant& result)
{
    Send(result, state_->Args);
}

void TDeferredReply::Send(const QVariant& result, const QVariantList& args)
{
    if (std::exchange(state_->Answered, true) || !state_->Client)
        return;
    TMessage reply;
    reply.Kind = TMessageKind::Reply;
    reply.Id = state_->RequestId;
    reply.Result = result;
    for (int index : state_->ByRef)
        reply.ByRefValues.append(args.value(index));
    state_->Client->SendDeferredReply(reply);
}

void TDeferredReply::Fail(HRESULT code, const QString& text)
{
    if (std::exchange(state_->Answered, true) || !state_->Client)
        return;
    TMessage error;
    error.Kind = TMessageKind::Error;
    error.Id = state_->RequestId;
    error.Code = code;
    error.Text = text;
    state_->Client->SendDeferredReply(error);
}

TDeferredReply TCallContext::Defer()
{
    Deferred = true;
    return TDeferredReply(Client, RequestId, ByRef, Args);
}

// ---- the connection --------------------------------------------------------------------

TClientConnection::TClientConnection(TServerContext& server, QTcpSocket* socket, quint64 number)
    : QObject(nullptr),
      server_(server),
      socket_(socket),
      number_(number),
      peer_(QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort())),
      peerAddress_(socket->peerAddress()),
      reader_(FrameLimit())
{
    const TServerOptions& options = server.Options();
    socket_->setParent(this);
    socket_->setReadBufferSize(kReadAhead);
    frameTimer_.setSingleShot(true);
    connect(&frameTimer_, &QTimer::timeout, this, [this] {
        Close(QStringLiteral("a frame got no byte for %1 ms").arg(server_.Options().FrameTimeoutMs));
    });
    frameDeadline_.setSingleShot(true);
    connect(&frameDeadline_, &QTimer::timeout, this, [this] {
        Close(QStringLiteral("a frame was not complete after %1 ms").arg(frameClock_.elapsed()));
    });
    handshakeTimer_.setSingleShot(true);
    connect(&handshakeTimer_, &QTimer::timeout, this, [this] {
        Close(QStringLiteral("no accepted handshake within %1 ms").arg(server_.Options().HandshakeTimeoutMs));
    });
    handshakeTimer_.start(options.HandshakeTimeoutMs);
    connect(socket_, &QTcpSocket::readyRead, this, &TClientConnection::OnReadyRead);
    connect(socket_, &QTcpSocket::disconnected, this, &TClientConnection::OnDisconnected);
    connect(socket_, &QTcpSocket::bytesWritten, this, &TClientConnection::Pump);
}

TClientConnection::~TClientConnection()
{
    StatesClosing();
}

void TClientConnection::RaiseLevel(int level)
{
    level_ = qMax(level_, level);
    reader_.SetMaxFrameSize(FrameLimit());
}

quint32 TClientConnection::FrameLimit() const
{
    const TServerOptions& options = server_.Options();
    // A client that has not logged in has no business sending large frames.
    return level_ >= level::User ? options.MaxFrame : qMin(options.MaxLoginFrame, options.MaxFrame);
}

void TClientConnection::Accept()
{
    accepted_ = true;
    handshakeTimer_.stop();
}

void TClientConnection::Refuse()
{
    accepted_ = false;
    level_ = level::Locked;
    callbacks_.clear();
    reader_.SetMaxFrameSize(FrameLimit());
    if (!handshakeTimer_.isActive())
        handshakeTimer_.start(server_.Options().HandshakeTimeoutMs);
}

void TClientConnection::SetCallbackObjects(const QList<TDispatchRef>& objects)
{
    callbacks_ = objects;
}

// ---- receiving -----------------------------------------------------------------------

void TClientConnection::OnReadyRead()
{
    if (closing_) {
        socket_->readAll();
        return;
    }
    if (deferred_ > 0)
        return;  // the rest waits until the deferred answer has gone
    reader_.Append(socket_->readAll());
    QByteArray payload;
    bool completed = false;
    try {
        while (!closing_ && deferred_ == 0 && reader_.Next(payload)) {
            completed = true;
            Dispatch(DecodeMessage(payload));
        }
    } catch (const EProtocolError& e) {
        Close(e.Message());
        return;
    }
    if (!closing_)
        WatchFrame(completed);
}

// A frame must keep arriving and be complete in a time that its length allows; the times
// stop while requests wait for a deferred answer and the bytes stay unread.
void TClientConnection::WatchFrame(bool frameCompleted)
{
    if (reader_.Buffered() == 0 || deferred_ > 0) {
        frameWatched_ = false;
        frameTimer_.stop();
        frameDeadline_.stop();
        return;
    }
    const TServerOptions& options = server_.Options();
    frameTimer_.start(options.FrameTimeoutMs);
    if (frameCompleted || !frameWatched_) {
        frameWatched_ = true;
        frameClock_.start();
    }
    const qint64 length = qMax<qint64>(0, reader_.PendingFrameLength());
    const qint64 allowed = options.FrameTimeoutMs + length * 1000 / qMax(1, options.MinFrameRate);
    const qint64 left = qBound(qint64(0), allowed - frameClock_.elapsed(), qint64(std::numeric_limits<int>::max()));
    frameDeadline_.start(static_cast<int>(left));
}

void TClientConnection::OnDisconnected()
{
    if (reader_.Buffered() > 0 && !closing_)
        server_.LogEvent(
            category::Client, TSeverity::Warning,
            QStringLiteral("Client %1 (%2) closed the connection inside a frame (%3 bytes left unread).")
                .arg(number_)
                .arg(peer_)
                .arg(reader_.Buffered()));
    closing_ = true;
    StopTimers();
    StatesClosing();
    outgoing_.clear();
    queuedBytes_ = 0;
    Q_EMIT Finished(this);
}

void TClientConnection::StopTimers()
{
    frameTimer_.stop();
    frameDeadline_.stop();
    handshakeTimer_.stop();
}

void TClientConnection::Close(const QString& reason)
{
    if (closing_)
        return;
    closing_ = true;
    StopTimers();
    server_.LogDropped(QStringLiteral("Client %1 (%2) dropped: %3").arg(number_).arg(peer_, reason));
    StatesClosing();
    outgoing_.clear();
    queuedBytes_ = 0;
    socket_->abort();
}

void TClientConnection::Dispatch(const TMessage& m)
{
    switch (m.Kind) {
        case TMessageKind::Attach:
            HandleAttach(m);
            return;
        case TMessageKind::Call:
            HandleCall(m);
            return;
        case TMessageKind::Open:
            HandleOpen(m);
            return;
        case TMessageKind::Apply:
            HandleApply(m);
            return;
        case TMessageKind::CallbackReply:
            if (m.Code != 0)
                server_.Log(TSeverity::Warning, QStringLiteral("Client %1 answered callback %2 with %3.")
                                                    .arg(number_)
                                                    .arg(m.Id)
                                                    .arg(HResultText(m.Code)));
            return;
        default:
            throw EProtocolError(QStringLiteral("Protocol error: a client may not send \"%1\" messages")
                                     .arg(MessageKindName(m.Kind)));
    }
}

TModule TClientConnection::ModuleOf(quint32 handle) const
{
    const auto it = handles_.constFind(handle);
    if (it == handles_.constEnd())
        throw EOleSysError(QStringLiteral("Unknown module handle %1.").arg(handle), hr::DISP_E_UNKNOWNNAME_);
    return it.value();
}

void TClientConnection::CheckLevel(int needed, const QString& what) const
{
    if (level_ < needed)
        throw EOleSysError(
            QStringLiteral("Access denied: %1 needs the %2 access level.").arg(what, LevelName(needed)),
            hr::E_ACCESSDENIED_);
}

void TClientConnection::HandleAttach(const TMessage& m)
{
    try {
        TModule module = TModule::Main;
        if (m.Parent == 0) {
            if (m.Module != QLatin1String(module::ProgramId) ||
                m.Guid.compare(QLatin1String(module::ServerGuid), Qt::CaseInsensitive) != 0)
                throw EOleSysError(QStringLiteral("Unknown server \"%1\" %2.").arg(m.Module, m.Guid),
                                   hr::DISP_E_UNKNOWNNAME_);
            if (m.Version != TelvaneProtocolVersion)
                throw EOleSysError(
                    QStringLiteral("Protocol version %1 is not supported; this server speaks version %2.")
                        .arg(m.Version)
                        .arg(TelvaneProtocolVersion),
                    hr::E_FAIL_);
        } else {
            const std::optional<TModule> child = ChildModuleByName(m.Module);
            const auto parent = handles_.constFind(m.Parent);
            if (!child || parent == handles_.constEnd() || parent.value() != TModule::Main)
                throw EOleSysError(
                    QStringLiteral("Unknown module \"%1\" or parent handle %2.").arg(m.Module).arg(m.Parent),
                    hr::DISP_E_UNKNOWNNAME_);
            module = *child;
        }
        const quint32 handle = nextHandle_++;
        handles_.insert(handle, module);
        TMessage reply;
        reply.Kind = TMessageKind::Reply;
        reply.Id = m.Id;
        reply.Result = QVariant(static_cast<uint>(handle));
        Send(reply);
    } catch (const EOleSysError& e) {
        SendError(m.Id, e.ErrorCode(), e.Message());
    }
}

void TClientConnection::HandleCall(const TMessage& m)
{
    QString what = QStringLiteral("call");
    try {
        const TModule module = ModuleOf(m.Handle);
        what = QStringLiteral("%1 %2").arg(ModuleName(module)).arg(m.DispId);
        const TCallEntry* entry = server_.Calls().Find(module, m.DispId);
        if (!entry)
            throw EOleSysError(
                QStringLiteral("Unknown DISPID %1 of %2.").arg(m.DispId).arg(ModuleName(module)),
                hr::DISP_E_UNKNOWNNAME_);
        const bool handshake = module == TModule::Main && m.DispId == dispid::MainRDM::Handshake;
        if (!handshake && !accepted_)
            throw EOleSysError(
                QStringLiteral("Access denied: %1 needs an accepted handshake first.").arg(what),
                hr::E_ACCESSDENIED_);
        CheckLevel(entry->Level, what);
        if (entry->ArgCount != AnyArgCount && m.Args.size() != entry->ArgCount)
            throw EOleSysError(QStringLiteral("%1 takes %2 arguments, %3 were given.")
                                   .arg(what)
                                   .arg(entry->ArgCount)
                                   .arg(m.Args.size()),
                               hr::DISP_E_BADPARAMCOUNT_);
        for (int index : m.ByRef)
            if (index >= m.Args.size())
                throw EOleSysError(
                    QStringLiteral("%1: by-reference index %2 is out of range.").arg(what).arg(index),
                    hr::DISP_E_BADPARAMCOUNT_);
        QVariantList args = m.Args;
        TCallContext context{*this, args, server_, m.Id, m.ByRef};
        TMessage reply;
        reply.Kind = TMessageKind::Reply;
        reply.Id = m.Id;
        try {
            reply.Result = entry->Handler(context);
        } catch (const EOleSysError&) {
            throw;
        } catch (const Exception& e) {
            throw EOleSysError(e.Message(), hr::DISP_E_EXCEPTION_);
        } catch (const std::exception& e) {
            throw EOleSysError(QString::fromUtf8(e.what()), hr::DISP_E_EXCEPTION_);
        }
        if (context.Deferred) {
            ++deferred_;  // the answer follows; the client's next requests wait for it
            WatchFrame(false);
        } else {
            for (int index : m.ByRef)
                reply.ByRefValues.append(args.at(index));
            Send(reply);
        }
    } catch (const EOleSysError& e) {
        afterReply_.clear();
        SendError(m.Id, e.ErrorCode(), e.Message());
    }
    const QList<std::function<void()>> after = std::exchange(afterReply_, {});
    for (const std::function<void()>& fn : after)
        fn();
    if (sendAway_ && !sentAway_)
        SendAway();
}

void TClientConnection::SendAway()
{
    sentAway_ = true;
    server_.LogEvent(category::Client, TSeverity::Warning,
                     QStringLiteral("Client %1 (%2) sent away: too many users.").arg(number_).arg(peer_));
    Notify(callback::TooManyUsers, {}, false);
    QTimer::singleShot(server_.Options().TooManyUsersGraceMs, this, [this] {
        if (!closing_ && socket_->state() == QAbstractSocket::ConnectedState)
            socket_->disconnectFromHost();
    });
}

// ---- datasets ------------------------------------------------------------------------

// The provider an open or apply names, once the connection may use it.
const TProviderEntry& TClientConnection::CheckedProvider(const TMessage& m) const
{
    const TModule module = ModuleOf(m.Handle);
    const TProviderEntry* provider = server_.Providers().Find(module, m.Provider);
    if (!provider)
        throw EOleSysError(QStringLiteral("Unknown provider \"%1\" of %2.").arg(m.Provider, ModuleName(module)),
                           hr::DISP_E_UNKNOWNNAME_);
    if (!accepted_)
        throw EOleSysError(QStringLiteral("Access denied: %1 needs an accepted handshake first.").arg(m.Provider),
                           hr::E_ACCESSDENIED_);
    CheckLevel(provider->Level, m.Provider);
    return *provider;
}

void TClientConnection::HandleOpen(const TMessage& m)
{
    try {
        const TProviderEntry& provider = CheckedProvider(m);
        try {
            TProviderContext context{*this, m, server_};
            if (TDataSetResultPtr result = provider.Open(context))
                SendDataSet(m.Id, std::move(result));
        } catch (const EOleSysError&) {
            throw;
        } catch (const Exception& e) {
            throw EOleSysError(e.Message(), hr::DISP_E_EXCEPTION_);
        }
    } catch (const EOleSysError& e) {
        SendError(m.Id, e.ErrorCode(), e.Message());
    }
}

void TClientConnection::HandleApply(const TMessage& m)
{
    try {
        const TProviderEntry& provider = CheckedProvider(m);
        if (!provider.Apply)
            throw EOleSysError(QStringLiteral("%1 is read-only: it does not apply changes.").arg(m.Provider),
                               hr::DISP_E_EXCEPTION_);
        try {
            TProviderContext context{*this, m, server_};
            TMessage applied = provider.Apply(context);
            server_.DataChanged();
            if (!applied.Errors.isEmpty())
                server_.Log(TSeverity::Information,
                            QStringLiteral("Client %1: %2 of %3 changes to %4 failed.")
                                .arg(number_)
                                .arg(applied.Errors.size())
                                .arg(m.Delta.size())
                                .arg(m.Provider));
            Send(applied);
        } catch (const Exception& e) {
            throw EOleSysError(e.Message(), hr::DISP_E_EXCEPTION_);
        }
    } catch (const EOleSysError& e) {
        SendError(m.Id, e.ErrorCode(), e.Message());
    }
}

void TClientConnection::StatesClosing()
{
    for (const auto& [type, state] : states_)
        state->Closing();
}

// ---- sending -------------------------------------------------------------------------

void TClientConnection::Send(const TMessage& m)
{
    if (!closing_)
        SendFrame(FrameBytes(EncodeMessage(m)));
}

void TClientConnection::SendFrame(QByteArray frame)
{
    if (closing_)
        return;
    queuedBytes_ += frame.size();
    outgoing_.push_back(TOutgoing{std::move(frame), {}, 0, 0});
    Pump();
    CheckSendQueue();
}

// A client that does not read must not make the server's memory grow without end.
void TClientConnection::CheckSendQueue()
{
    const qint64 waiting = queuedBytes_ + heldBytes_;
    if (waiting > server_.Options().MaxSendQueue)
        Close(QStringLiteral("it does not read what the server sends (%1 bytes are waiting)").arg(waiting));
}

void TClientConnection::SendDeferredReply(const TMessage& answer)
{
    if (closing_)
        return;
    Send(answer);
    if (deferred_ > 0 && --deferred_ == 0)
        QMetaObject::invokeMethod(this, &TClientConnection::OnReadyRead, Qt::QueuedConnection);
}

void TClientConnection::SendError(quint32 id, HRESULT code, const QString& text)
{
    TMessage m;
    m.Kind = TMessageKind::Error;
    m.Id = id;
    m.Code = code;
    m.Text = text;
    Send(m);
}

void TClientConnection::SendDataSet(quint32 id, TDataSetResultPtr result)
{
    if (!result->Error.isEmpty()) {
        SendError(id, hr::DISP_E_EXCEPTION_, result->Error);
        return;
    }
    TMessage meta;
    meta.Kind = TMessageKind::Meta;
    meta.Id = id;
    meta.Fields = result->Fields;
    meta.Count = result->RowCount;  // lets the client make room for the rows at once
    Send(meta);
    if (closing_)
        return;
    outgoing_.push_back(TOutgoing{{}, result, 0, id});
    Pump();
}

void TClientConnection::Pump()
{
    while (!closing_ && !outgoing_.empty() && socket_->bytesToWrite() < kSocketBacklog) {
        TOutgoing& front = outgoing_.front();
        if (!front.Rows) {
            socket_->write(front.Frame);
            queuedBytes_ -= front.Frame.size();
            outgoing_.pop_front();
            continue;
        }
        if (front.Next < front.Rows->PacketCount()) {
            QByteArray packet;
            try {
                packet = front.Rows->Packet(front.Next++);
            } catch (const Exception& e) {
                const quint32 id = front.Id;
                outgoing_.pop_front();
                SendError(id, hr::DISP_E_EXCEPTION_, e.Message());
                return;
            }
            socket_->write(RowsFrameWithId(packet, front.Id));
            continue;
        }
        TMessage eof;
        eof.Kind = TMessageKind::Eof;
        eof.Id = front.Id;
        eof.Count = front.Rows->RowCount;
        socket_->write(FrameBytes(EncodeMessage(eof)));
        outgoing_.pop_front();
    }
}

// ---- callbacks -----------------------------------------------------------------------

void TClientConnection::Notify(TCallbackTarget target, const QString& method, const QVariantList& args,
                               bool live)
{
    const int index = static_cast<int>(target);
    if (index >= callbacks_.size() || index >= CallbackInterfaces().size())
        return;  // no handshake yet: nobody to tell
    const TCallbackMethod* m = CallbackInterfaces().at(index).MethodByName(method);
    if (!m) {
        server_.Log(TSeverity::Bug,
                    QStringLiteral("TClientConnection.Notify: unknown callback method %1.").arg(method));
        return;
    }
    TMessage cb;
    cb.Kind = TMessageKind::Callback;
    cb.Id = nextCallbackId_++;
    cb.ObjectId = callbacks_.at(index).ObjectId;
    cb.Iid = callbacks_.at(index).Iid;
    cb.DispId = m->DispId;
    cb.Args = args;
    if (live && !liveEnabled_) {
        // A client that never enables live data again must not make the server grow.
        QByteArray frame = FrameBytes(EncodeMessage(cb));
        heldBytes_ += frame.size();
        heldCallbacks_.append(std::move(frame));
        while (heldCallbacks_.size() > kMaxHeldCallbacks || heldBytes_ > server_.Options().MaxSendQueue / 2) {
            heldBytes_ -= heldCallbacks_.takeFirst().size();
            ++droppedCallbacks_;
        }
        return;
    }
    Send(cb);
}

void TClientConnection::SetLiveDataEnabled(bool enabled)
{
    liveEnabled_ = enabled;
    if (!enabled)
        return;
    if (droppedCallbacks_ > 0)
        server_.Log(TSeverity::Warning,
                    QStringLiteral("Client %1: %2 live notices were dropped while live data was off.")
                        .arg(number_)
                        .arg(droppedCallbacks_));
    droppedCallbacks_ = 0;
    const QList<QByteArray> held = std::exchange(heldCallbacks_, {});
    heldBytes_ = 0;
    for (const QByteArray& frame : held)
        SendFrame(frame);
}

void TClientConnection::Shutdown()
{
    if (closing_)
        return;
    outgoing_.clear();  // a transfer in progress is not finished for a server that stops
    queuedBytes_ = 0;
    if (accepted_ || sentAway_)
        Notify(callback::ServerShutdown, {}, false);
    closing_ = true;
    StatesClosing();
    // Close only the server's half once everything is written: the client may still be
    // answering callbacks sent before the notice, and a socket closed outright answers
    // those with a reset, which makes the client's system drop the notice unread. The
    // client closes its half when it logs off; the server's shutdown timer ends the
    // connections of clients that never do.
    connect(socket_, &QTcpSocket::bytesWritten, this, &TClientConnection::HalfCloseWhenWritten);
    HalfCloseWhenWritten();
}

void TClientConnection::HalfCloseWhenWritten()
{
    if (halfClosed_ || socket_->bytesToWrite() > 0 || socket_->state() != QAbstractSocket::ConnectedState)
        return;
    halfClosed_ = true;
    socket_->flush();
    ::shutdown(static_cast<int>(socket_->socketDescriptor()), SHUT_WR);
}
