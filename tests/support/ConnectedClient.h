#pragma once
// A client connected and logged in to a real server of its own: where a test of a window's
// data module starts, without a window.
//
//   TConnectedClient c([](TServerOptions& o) { o.ControlProtocol = 3; });
//   QVERIFY2(c.Ready(), qPrintable(c.Error()));
//   TQueueDM dm(c.Client.Module("CommandsRDM"));

#include "support/ClientFixture.h"
#include "support/TestServer.h"

#include <functional>

class TConnectedClient {
public:
    // Starts the server with the options the function sets, connects and logs in as the
    // administrator or the standard user.
    explicit TConnectedClient(const std::function<void(TServerOptions&)>& configure = {},
                              bool administrator = true)
    {
        if (configure)
            configure(Server.Options());
        if (!Server.Start(&error_))
            return;
        if (Client.Connect(Server.Port()) != 0)
            error_ = QStringLiteral("the server refused the handshake");
        else if (!Client.LogIn(administrator))
            error_ = QStringLiteral("the server refused the password");
    }

    bool Ready() const { return error_.isEmpty(); }
    const QString& Error() const { return error_; }

    TTestServer Server;
    TClientFixture Client;

private:
    QString error_;
};
