#pragma once
// A client as the connection module builds it, for end-to-end tests against the real
// server: the socket connection, the six child connections and four callback objects that
// record what the server calls, with the handshake and an optional password check.

#include "core/Errors.h"
#include "remote/CallbackObject.h"
#include "remote/Connections.h"
#include "remote/ServerInterface.h"
#include "remote/TypeLibrary.h"

#include <QMap>
#include <QStringList>

#include <functional>
#include <memory>

// Records every call as "Method(arg,arg)"; an optional hook runs first.
class TRecordingCallback : public TCallbackObject {
public:
    TRecordingCallback(const TTypeLibrary& lib, const char* iid) : TCallbackObject(lib, QLatin1String(iid)) {}

    QStringList Calls;
    std::function<void(const TCallbackMethod&, const QVariantList&)> Hook;

    bool Saw(const QString& method) const
    {
        for (const QString& c : Calls)
            if (c.startsWith(method + QLatin1Char('(')))
                return true;
        return false;
    }

protected:
    void Invoke(const TCallbackMethod& method, const QVariantList& args) override
    {
        QStringList texts;
        for (const QVariant& a : args)
            texts << a.toString();
        Calls << QStringLiteral("%1(%2)").arg(method.Name, texts.join(QLatin1Char(',')));
        if (Hook)
            Hook(method, args);
    }
};

// A new database's password of the standard user or of the administrator.
inline QString DemoPassword(bool administrator)
{
    return administrator ? QStringLiteral("admin") : QStringLiteral("user");
}

// Raises a connection's access level with the new database's passwords; whether the
// password was taken.
inline bool LogIn(const TRemoteModule& main, bool administrator)
{
    return main.Call(dispid::MainRDM::CheckPassword, {administrator, DemoPassword(administrator)}).toBool();
}

// A socket connection to the server on this machine's loopback address, not yet open.
inline void ConnectLocally(TSocketConnection& socket, quint16 port)
{
    socket.SetAddress(QStringLiteral("127.0.0.1"));
    socket.SetPort(port);
}

// Opens the socket to the server on the loopback address.
inline void OpenLoopback(TSocketConnection& socket, quint16 port)
{
    ConnectLocally(socket, port);
    socket.Open();
}

// The handshake with the four callback objects (application, receiver, commands, report):
// its result, negative when the server refused; version goes in and comes back as the
// server left it.
inline int ShakeHands(const TRemoteModule& main, const TCallbackObject& application,
                      const TCallbackObject& receiver, const TCallbackObject& commands,
                      const TCallbackObject& report, int& version)
{
    int result = 0;
    main.Call(dispid::MainRDM::Handshake, {&application, &receiver, &commands, &report, TByRef(version), TByRef(result)});
    return result;
}

class TClientFixture {
public:
    static constexpr int ClientVersion = 320;

    TClientFixture()
        : Library(TTypeLibrary::Current()),
          Application(Library, iid::ClientApplication),
          Receiver(Library, iid::ClientReceiver),
          Commands(Library, iid::ClientCommands),
          Report(Library, iid::ClientReport)
    {
        for (const char* name : module::Children) {
            auto child = std::make_unique<TSharedConnection>();
            child->SetParentConnection(&Socket);
            child->SetChildName(QLatin1String(name));
            Children.insert(QLatin1String(name), std::shared_ptr<TSharedConnection>(std::move(child)));
        }
    }

    TTypeLibrary Library;
    TRecordingCallback Application;
    TRecordingCallback Receiver;
    TRecordingCallback Commands;
    TRecordingCallback Report;
    TSocketConnection Socket;
    QMap<QString, std::shared_ptr<TSharedConnection>> Children;

    TSharedConnection& Child(const char* name) { return *Children.value(QLatin1String(name)); }
    TRemoteModule Main() { return Socket.AppServer(); }
    TRemoteModule Module(const char* name) { return Child(name).AppServer(); }

    // Opens the socket, attaches every module and shakes hands; the handshake's result.
    int Connect(quint16 port, int version = ClientVersion, int* serverVersion = nullptr)
    {
        OpenLoopback(Socket, port);
        for (const auto& child : Children)
            child->AppServer();
        const int result = ShakeHands(Main(), Application, Receiver, Commands, Report, version);
        if (serverVersion)
            *serverVersion = version;
        return result;
    }

    // Raises the connection's access level with the new database's passwords.
    bool LogIn(bool administrator) { return ::LogIn(Main(), administrator); }
};

// The code of the EOleSysError an action raises (0 when it raises none).
inline HRESULT OleErrorOf(const std::function<void()>& action, QString* message = nullptr)
{
    try {
        action();
    } catch (const EOleSysError& e) {
        if (message)
            *message = e.Message();
        return e.ErrorCode();
    }
    return 0;
}
