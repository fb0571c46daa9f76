#include "server/ClientConnection.h"

#include "remote/CallbackInterfaces.h"
#include "server/EventLog.h"
#include "server/ServerContext.h"

#include <QTcpSocket>

#include <sys/socket.h>

namespace {

// Frames are handed to the socket while it holds less than this, so a large result
// streams as the client reads it instead of piling up in memory twice.
constexpr qint64 kSocketBacklog = 1024 * 1024;
constexpr qsizetype kMaxHeldCallbacks = 10000;

}  // namespace

TClientConnection::TClientConnection(TServerContext& server, QTcpSocket* socket, quint64 number)
    : QObject(nullptr),
      server_(server),
      socket_(socket),
      number_(number),
      peer_(QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort())),
      reader_(server.Options().MaxFrame)
{
    socket_->setParent(this);
    frameTimer_.setSingleShot(true);
    connect(&frameTimer_, &QTimer::timeout, this, [this] {
        Close(QStringLiteral("a frame stayed incomplete for %1 ms").arg(server_.Options().FrameTimeoutMs));
    });
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
    reader_.Append(socket_->readAll());
    QByteArray payload;
    try {
        while (!closing_ && reader_.Next(payload))
            Dispatch(DecodeMessage(payload));
    } catch (const EProtocolError& e) {
        Close(e.Message());
        return;
    }
    if (closing_)
        return;
    if (reader_.Buffered() > 0)
        frameTimer_.start(server_.Options().FrameTimeoutMs);
    else
        frameTimer_.stop();
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
    frameTimer_.stop();
    StatesClosing();
    outgoing_.clear();
    Q_EMIT Finished(this);
}

void TClientConnection::Close(const QString& reason)
{
    if (closing_)
        return;
    closing_ = true;
    frameTimer_.stop();
    server_.LogEvent(category::Client, TSeverity::Warning,
                     QStringLiteral("Client %1 (%2) dropped: %3").arg(number_).arg(peer_, reason));
    StatesClosing();
    outgoing_.clear();
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
        TCallContext context{*this, args, server_};
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
        for (int index : m.ByRef)
            reply.ByRefValues.append(args.at(index));
        Send(reply);
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
    if (closing_)
        return;
    outgoing_.push_back(TOutgoing{FrameBytes(EncodeMessage(m)), {}, 0, 0});
    Pump();
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
            outgoing_.pop_front();
            continue;
        }
        if (front.Next < front.Rows->Packets.size()) {
            socket_->write(FrameBytes(RowsPayloadWithId(front.Rows->Packets.at(front.Next++), front.Id)));
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
        if (heldCallbacks_.size() >= kMaxHeldCallbacks) {
            heldCallbacks_.removeFirst();
            ++droppedCallbacks_;
        }
        heldCallbacks_.append(cb);
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
    const QList<TMessage> held = std::exchange(heldCallbacks_, {});
    for (const TMessage& m : held)
        Send(m);
}

void TClientConnection::Shutdown()
{
    if (closing_)
        return;
    outgoing_.clear();  // a transfer in progress is not finished for a server that stops
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
