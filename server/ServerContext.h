#pragma once
// What the connections and the modules use of the server: its options, database, tables of
// calls and providers, live parts and logs. TServer implements it; depending on this
// instead of on TServer keeps the includes in one direction (the server owns the
// connections, which run the modules' handlers).

#include "server/ClientNotifier.h"
#include "server/ServerOptions.h"

class TCallTable;
class TCommandQueue;
class TDatabase;
class TPasswordGuard;
class TProviderTable;
class TQueryScheduler;
class TReceiver;
class TResultBudget;
enum class TReadScope;

class TServerContext : public TClientNotifier {
public:
    virtual const TServerOptions& Options() const = 0;
    virtual TDatabase& Database() = 0;
    virtual const TCallTable& Calls() const = 0;
    virtual const TProviderTable& Providers() const = 0;
    virtual TReceiver& Receiver() = 0;
    virtual TCommandQueue& CommandQueue() = 0;
    // Where report and log statements run, and the memory their results may take.
    virtual TQueryScheduler& Queries() = 0;
    virtual TResultBudget& ResultBudget() = 0;
    // Where passwords are checked.
    virtual TPasswordGuard& Passwords() = 0;

    // The server log only.
    virtual void Log(TSeverity severity, const QString& text) = 0;
    // LogEvent for a connection the server dropped, at most a few a minute (TLogThrottle).
    virtual void LogDropped(const QString& text) = 0;
    // A client changed reference data (exchanges, tariff rules, ...) or a setting in use.
    virtual void DataChanged() = 0;
    // Raises Exception when the text is not one read-only statement of the scope.
    virtual void CheckReportSql(const QString& sql, TReadScope scope) = 0;
    // Clients whose handshake was accepted and that are not being sent away.
    virtual int AcceptedClients() const = 0;
    // The state of the receiver and the command queue, for a client that has just shaken
    // hands.
    virtual void SendLiveState(TClientCallbacks& client) = 0;
};
