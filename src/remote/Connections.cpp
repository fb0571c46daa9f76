#include "remote/Connections.h"

#include "remote/CallSession.h"
#include "core/Errors.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpSocket>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {

EOleSysError NotConnectedError()
{
    return EOleSysError(
        QCoreApplication::translate("TCallSession", "The object invoked has disconnected from its clients."),
        hr::RPC_E_DISCONNECTED_);
}

[[noreturn]] void ThrowNotConnected()
{
    throw NotConnectedError();
}

void SetKeepAlive(QTcpSocket& socket)
{
    socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    const auto fd = static_cast<int>(socket.socketDescriptor());
    const struct {
        int Option;
        int Value;
    } options[] = {{TCP_KEEPIDLE, TSocketConnection::KeepAliveIdleSeconds},
                   {TCP_KEEPINTVL, TSocketConnection::KeepAliveIntervalSeconds},
                   {TCP_KEEPCNT, TSocketConnection::KeepAliveProbes}};
    // Without them the system's defaults apply (hours): worse, but no reason to give up.
    for (const auto& o : options)
        ::setsockopt(fd, IPPROTO_TCP, o.Option, &o.Value, sizeof o.Value);
}

}  // namespace

TSocketConnection::TSocketConnection(QObject* parent)
    : TRemoteConnection(parent),
      serverName_(QLatin1String(DefaultServerName)),
      serverGuid_(QLatin1String(DefaultServerGUID))
{
}

TSocketConnection::~TSocketConnection()
{
    Close();
}

void TSocketConnection::SetHost(const QString& host)
{
    host_ = host;
    address_.clear();
}

void TSocketConnection::SetAddress(const QString& address)
{
    address_ = address;
    host_.clear();
}

bool TSocketConnection::IsNumericAddress(const QString& value)
{
    // A dotless IPv4 shorthand ("1234", "0x7f000001") is a host name, as every value
    // without a dot is; IPv6 addresses have their colons instead.
    const QString trimmed = value.trimmed();
    if (!trimmed.contains(QLatin1Char('.')) && !trimmed.contains(QLatin1Char(':')))
        return false;
    QHostAddress address;
    return address.setAddress(trimmed);
}

void TSocketConnection::SetServer(const QString& hostOrAddress)
{
    if (IsNumericAddress(hostOrAddress))
        SetAddress(hostOrAddress.trimmed());
    else
        SetHost(hostOrAddress.trimmed());
}

void TSocketConnection::Open()
{
    if (Connected())
        return;
    Close();

    auto* socket = new QTcpSocket;
    if (!address_.isEmpty()) {
        const QHostAddress address(address_);
        if (address.isNull()) {
            delete socket;
            throw ESocketError(tr("\"%1\" is not a valid network address.").arg(address_));
        }
        socket->connectToHost(address, port_);
    } else {
        socket->connectToHost(host_, port_);
    }
    if (!socket->waitForConnected(connectTimeout_)) {
        const QString message = socket->errorString();
        socket->abort();
        delete socket;
        throw ESocketError(message);
    }

    SetKeepAlive(*socket);
    auto session = std::make_shared<TCallSession>(socket);
    connect(session.get(), &TCallSession::ConnectionLost, this, &TSocketConnection::ConnectionLost);
    try {
        main_ = session->AttachMain(serverName_, serverGuid_);
    } catch (...) {
        session->Close();
        throw;
    }
    session_ = std::move(session);
}

void TSocketConnection::Close()
{
    main_ = TRemoteModule();
    if (session_) {
        session_->disconnect(this);
        session_->Close();
        session_.reset();
    }
}

EOleSysError TSocketConnection::DisconnectedError() const
{
    return session_ ? session_->DisconnectedError() : NotConnectedError();
}

bool TSocketConnection::Connected() const
{
    return session_ && session_->Connected();
}

TRemoteModule TSocketConnection::AppServer()
{
    if (!session_)
        ThrowNotConnected();
    return main_;
}

TSharedConnection::TSharedConnection(QObject* parent) : TRemoteConnection(parent) {}

void TSharedConnection::SetParentConnection(TSocketConnection* parent)
{
    parent_ = parent;
    module_ = TRemoteModule();
}

void TSharedConnection::SetChildName(const QString& name)
{
    childName_ = name;
    module_ = TRemoteModule();
}

bool TSharedConnection::Connected() const
{
    return parent_ && parent_->Connected();
}

TRemoteModule TSharedConnection::AppServer()
{
    if (!parent_)
        ThrowNotConnected();
    const TRemoteModule main = parent_->AppServer();
    if (module_.IsNull() || module_.Session() != main.Session())
        module_ = main.Session()->AttachChild(childName_, main);
    return module_;
}
