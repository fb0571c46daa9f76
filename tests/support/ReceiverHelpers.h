#pragma once
// For the tests of the receiver and the command queue: an exchange on a plain TCP
// connection, and the receiver's state read on the server's own thread.

#include "schema/CallString.h"
#include "server/DemoData.h"
#include "server/Server.h"
#include "support/TestServer.h"
#include "support/WireClient.h"

#include <QDeadlineTimer>
#include <QTcpSocket>
#include <QTest>

#include <linux/sockios.h>
#include <sys/ioctl.h>

class TExchangeSocket {
public:
    static constexpr int TimeoutMs = 30000;
    QTcpSocket Socket;
    QByteArray Received;

    bool Connect(quint16 port)
    {
        Socket.connectToHost(QHostAddress::LocalHost, port);
        return Socket.waitForConnected(TimeoutMs);
    }

    // Writes the bytes and waits until the socket has handed them all to the system.
    bool Send(const QByteArray& bytes)
    {
        Socket.write(bytes);
        const QDeadlineTimer deadline(TimeoutMs);
        while (Socket.bytesToWrite() > 0 && !deadline.hasExpired())
            Socket.waitForBytesWritten(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
        return Socket.bytesToWrite() == 0;
    }

    // True once the system has no byte of ours left to send: everything waits on the
    // server's side of the connection (also while the server does not read).
    bool Delivered() const
    {
        int unsent = 0;
        return ::ioctl(static_cast<int>(Socket.socketDescriptor()), SIOCOUTQ, &unsent) == 0 && unsent == 0;
    }

    // Reads what the server writes until it contains the text.
    bool WaitForReceived(const QByteArray& text, int timeoutMs = TimeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        Received += Socket.readAll();
        while (!Received.contains(text) && !deadline.hasExpired() &&
               Socket.state() == QAbstractSocket::ConnectedState) {
            Socket.waitForReadyRead(
                static_cast<int>(qBound(qint64(1), deadline.remainingTime(), qint64(50))));
            Received += Socket.readAll();
        }
        return Received.contains(text);
    }

    bool WaitForDisconnected(int timeoutMs = TimeoutMs)
    {
        if (Socket.state() == QAbstractSocket::UnconnectedState)
            return true;
        return Socket.waitForDisconnected(timeoutMs) || Socket.state() == QAbstractSocket::UnconnectedState;
    }
};

// The receiver starts with the server, listening on a free port.
inline void ReceiveOnAFreePort(TTestServer& server)
{
    server.Options().ReceiverPort = 0;
    server.Options().StartReceiver = true;
}

// The demo installation up to 31 March 2024, its receiver listening.
inline bool StartReceivingDemo(TTestServer& server)
{
    ReceiveOnAFreePort(server);
    return server.StartDemo(QDate(2024, 3, 31));
}

inline quint16 ReceiverPort(TTestServer& server)
{
    quint16 port = 0;
    server.RunOnServer([&](TServer& s) { port = s.Receiver().Port(); });
    return port;
}

inline bool ExchangeAttached(TTestServer& server)
{
    bool attached = false;
    server.RunOnServer([&](TServer& s) { attached = s.Receiver().ExchangeAttached(); });
    return attached;
}

// Connects the exchange and waits until the server has taken it as the attached one.
inline bool AttachExchange(TTestServer& server, TExchangeSocket& exchange)
{
    if (!exchange.Connect(ReceiverPort(server)))
        return false;
    const QDeadlineTimer deadline(TExchangeSocket::TimeoutMs);
    while (!ExchangeAttached(server) && !deadline.hasExpired())
        QTest::qWait(10);
    return ExchangeAttached(server);
}

// Starts the server with its receiver on a free port, logs the administrator in and
// attaches the exchange.
inline bool StartWithExchange(TTestServer& server, TWireClient& admin, TExchangeSocket& exchange)
{
    ReceiveOnAFreePort(server);
    return server.Start() && admin.OpenAsAdministrator(server.Port()) && AttachExchange(server, exchange);
}

// The first column of the first row, read on the server's thread with its connection.
inline QVariant ServerScalar(TTestServer& server, const QString& sql, const QVariantList& params = {})
{
    QVariant value;
    server.RunOnServer([&](TServer& s) { value = s.Database().Scalar(sql, params); });
    return value;
}

// The first row, each value as text ("<null>" for null), read on the server's thread.
inline QStringList ServerRow(TTestServer& server, const QString& sql, const QVariantList& params = {})
{
    QStringList row;
    server.RunOnServer([&](TServer& s) {
        TStatement stmt = s.Database().Prepare(sql);
        for (int i = 0; i < params.size(); ++i)
            stmt.Bind(i + 1, params.at(i));
        if (stmt.Step())
            for (int c = 0; c < stmt.ColumnCount(); ++c)
                row << (stmt.IsNull(c) ? QStringLiteral("<null>") : stmt.Text(c));
    });
    return row;
}

// A line of the demo's data format.
inline QByteArray DemoLine(const QString& extension, const QString& pin, const QString& phone, int duration,
                    TDateTime end)
{
    TCallString format;
    format.Parse(DemoDataFormat());
    TCallRecord r;
    r.Clear(end);
    r.DateTime = end;
    r.Extension = extension;
    if (!pin.isEmpty())
        r.PinCode = pin;
    r.Phone = phone;
    r.Duration = duration;
    r.Trunk = 3;
    r.Circuit = 12;
    r.CallType = QStringLiteral("O");
    return format.Generate(r).toLatin1();
}
