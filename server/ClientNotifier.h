#pragma once
// How the server's parts reach the clients without knowing their connections: one client's
// callback objects (TClientCallbacks, which a connection is), or every client at once and
// the server's logs (TClientNotifier, which the server is). The receiver and the command
// queue report through these, so they depend on neither the connections nor the server.

#include "remote/CallbackInterfaces.h"
#include "server/ServerLog.h"

#include <QString>
#include <QVariantList>

// One client's four callback objects.
class TClientCallbacks {
public:
    virtual ~TClientCallbacks() = default;

    // Calls a method of one of the client's callback objects. A live notice waits while
    // the client has live data off (MainRDM SetLiveData); others go at once. Never raises.
    virtual void Notify(TCallbackTarget target, const QString& method, const QVariantList& args,
                        bool live = true) = 0;
    void Notify(const TCallbackName& callback, const QVariantList& args, bool live = true)
    {
        Notify(callback.Target, QLatin1String(callback.Method), args, live);
    }
};

// Every client whose handshake was accepted, and the server's logs.
class TClientNotifier {
public:
    virtual ~TClientNotifier() = default;

    // A live callback to every client.
    virtual void Broadcast(TCallbackTarget target, const QString& method, const QVariantList& args) = 0;
    void Broadcast(const TCallbackName& callback, const QVariantList& args)
    {
        Broadcast(callback.Target, QLatin1String(callback.Method), args);
    }
    // The server log and the LOG table.
    virtual void LogEvent(const char* category, TSeverity severity, const QString& text) = 0;
    // LogEvent, and the text as LogMessage to every client.
    virtual void Notice(const char* category, TSeverity severity, const QString& text) = 0;
    // An identifier for StatusAdded/StatusCleared, unique across clients.
    virtual int NewStatusId() = 0;
};
