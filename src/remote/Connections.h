#pragma once
// The connection components of the client's connection module: TSocketConnection is the
// socket to the server's main module ("sktServer"); TSharedConnection is a child module
// reached over that same socket ("scAdmin" and the others). Remote datasets name one of
// them as their remote server.
//
//   TSocketConnection skt;
//   skt.SetServer(QStringLiteral("SRV.EXAMPLE.COM"));  // a name; "10.0.0.5" an address
//   skt.SetPort(211);
//   skt.Open();                                        // ESocketError when unreachable
//   TSharedConnection scAdmin;
//   scAdmin.SetParentConnection(&skt);
//   scAdmin.SetChildName(QLatin1String(module::AdminRDM));
//   const QString format = scAdmin.AppServer().Call(dispid::AdminRDM::DataFormatInUse).toString();

#include "core/Errors.h"
#include "remote/RemoteModule.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

// What a remote dataset needs of a connection: the module that serves its providers.
class TRemoteConnection : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    virtual bool Connected() const = 0;
    // The module handle; attaches the module on first use. Raises EOleSysError
    // 0x80010108 when the connection is not open.
    virtual TRemoteModule AppServer() = 0;
};

class TCallSession;

class TSocketConnection : public TRemoteConnection {
    Q_OBJECT

public:
    explicit TSocketConnection(QObject* parent = nullptr);
    ~TSocketConnection() override;

    // Where to connect: a host name to be resolved or a numeric IPv4/IPv6 address. Setting
    // one clears the other.
    void SetHost(const QString& host);
    void SetAddress(const QString& address);
    // Uses the value as an address when it reads as a numeric IPv4 address with a dot or an
    // IPv6 address and as a host name otherwise (so "srv.example.com" and "1234" are names,
    // "192.168.0.7" an address).
    void SetServer(const QString& hostOrAddress);
    static bool IsNumericAddress(const QString& value);
    const QString& Host() const { return host_; }
    const QString& Address() const { return address_; }

    static constexpr quint16 DefaultPort = 211;
    void SetPort(quint16 port) { port_ = port; }
    quint16 Port() const { return port_; }

    // The main module attached by Open; defaults are the server's program id and GUID.
    static constexpr const char* DefaultServerName = module::ProgramId;
    static constexpr const char* DefaultServerGUID = module::ServerGuid;
    void SetServerName(const QString& programId) { serverName_ = programId; }
    void SetServerGUID(const QString& guid) { serverGuid_ = guid; }
    const QString& ServerName() const { return serverName_; }
    const QString& ServerGUID() const { return serverGuid_; }

    // Time allowed for name lookup and connecting, in milliseconds.
    void SetConnectTimeout(int msecs) { connectTimeout_ = msecs; }

    // Connects and attaches the main module. Raises ESocketError with the socket's message
    // when the server cannot be reached (name not found, refused, time-out), EOleSysError
    // when the server refuses the module. Does nothing while connected.
    void Open();
    void Close();
    bool Connected() const override;
    TRemoteModule AppServer() override;

    // The error with which calls fail while the connection is not open: 0x80010108 with
    // the reason a lost connection ended. Never raises.
    EOleSysError DisconnectedError() const;

    // A silent peer (power lost, cable pulled) sends no end of connection: an idle
    // connection is probed after this many seconds, and given up after the probes go
    // unanswered, which ends it like any other loss.
    static constexpr int KeepAliveIdleSeconds = 30;
    static constexpr int KeepAliveIntervalSeconds = 10;
    static constexpr int KeepAliveProbes = 3;

    // The current conversation (null before the first Open); for diagnostics and benchmarks.
    std::shared_ptr<TCallSession> Session() const { return session_; }

Q_SIGNALS:
    // The server closed the connection or the network failed (not raised by Close).
    void ConnectionLost(const QString& reason);

private:
    QString host_;
    QString address_;
    quint16 port_ = DefaultPort;
    QString serverName_;
    QString serverGuid_;
    int connectTimeout_ = 5000;
    std::shared_ptr<TCallSession> session_;
    TRemoteModule main_;
};

class TSharedConnection : public TRemoteConnection {
    Q_OBJECT

public:
    explicit TSharedConnection(QObject* parent = nullptr);

    void SetParentConnection(TSocketConnection* parent);
    TSocketConnection* ParentConnection() const { return parent_; }
    void SetChildName(const QString& name);
    const QString& ChildName() const { return childName_; }

    bool Connected() const override;
    // Attaches the child module over the parent's open socket on first use (and again after
    // the parent reconnects). Raises EOleSysError 0x80020006 for a module the server does
    // not know and 0x80010108 while the parent is not connected.
    TRemoteModule AppServer() override;

private:
    QPointer<TSocketConnection> parent_;
    QString childName_;
    TRemoteModule module_;
};
