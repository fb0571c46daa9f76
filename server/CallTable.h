#pragma once
// The server's calls and dataset providers by module, each with the access level it needs
// and the handler that serves it. The module files (server/modules) fill the tables, one
// entry a call or provider; the connection finds the entry, checks the level and the
// argument count, and runs the handler.
//
//   void RegisterLogsReportModule(TCallTable& calls, TProviderTable& providers)
//   {
//       const TModuleEntries logs(TModule::LogsReport, calls, providers);
//       logs.Call(dispid::LogsReportRDM::RunStatement, level::Administrator, 1, RunSearch);
//       logs.Provider(provider::LogsReportRDM::dspResult, level::Administrator, OpenSearchResult);
//   }
//
// Providers over a table go in with AddTableProvider (server/TableProvider.h).

#include "remote/Protocol.h"
#include "remote/ServerInterface.h"
#include "server/DataPackets.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

class TClientConnection;
class TDeferredReply;
class TServerContext;

enum class TModule { Main, Archives, Admin, Receiver, Commands, Report, LogsReport };

// "AdminRDM" and so on; MainRDM for the main module.
QString ModuleName(TModule module);
std::optional<TModule> ChildModuleByName(const QString& name);

// Access levels of a connection.
namespace level {
inline constexpr int Locked = 0;
inline constexpr int User = 1;
inline constexpr int Administrator = 2;
}  // namespace level
QString LevelName(int level);

// A call being handled: the calling connection, its arguments (by-reference arguments are
// changed in place) and the server. The readers raise EOleSysError 0x80020005 for an
// argument of another type.
struct TCallContext {
    TClientConnection& Client;
    QVariantList& Args;
    TServerContext& Server;
    quint32 RequestId = 0;
    QList<int> ByRef;  // the indexes of Args passed by reference
    bool Deferred = false;

    // For a handler that waits for work off the server's thread (a password check): the
    // answer follows later through the returned reply, and what the handler returns is not
    // sent. The connection handles no further request of its client until it has gone.
    TDeferredReply Defer();

    // A boolean, also as an automation integer (-1 true, 0 false).
    bool Bool(int index) const;
    // A 16-, 32- or 64-bit integer within the 32-bit range.
    int Int(int index) const;
    // A string; null reads as the empty string.
    QString String(int index) const;
    // An interface reference (a callback object of the client).
    TDispatchRef Dispatch(int index) const;
};
// Returns the call's result (null for none). Raises EOleSysError with its code, or
// Exception for a failure while handling (0x80020009 with its message).
using TCallHandler = std::function<QVariant(TCallContext&)>;

inline constexpr int AnyArgCount = -1;

struct TCallEntry {
    TModule Module = TModule::Main;
    int DispId = 0;
    int Level = level::Locked;
    int ArgCount = 0;  // AnyArgCount: the handler checks
    TCallHandler Handler;
};

class TCallTable {
public:
    // Replaces an entry with the same module and DISPID.
    void Add(TCallEntry entry);
    const TCallEntry* Find(TModule module, int dispId) const;

private:
    QList<TCallEntry> entries_;
};

// An open or apply of a provider: the connection, its request and the server.
struct TProviderContext {
    TClientConnection& Client;
    const TMessage& Request;  // Id, Provider; Delta and MaxErrors of an apply
    TServerContext& Server;
};
// Returns the rows, or null when the answer follows later (the handler keeps the request
// and answers it with TClientConnection::SendDataSet). Raises as TCallHandler.
using TOpenHandler = std::function<TDataSetResultPtr(TProviderContext&)>;
// Applies the request's change log; returns the "applied" answer. Raises as TCallHandler.
using TApplyHandler = std::function<TMessage(TProviderContext&)>;

struct TProviderEntry {
    TModule Module = TModule::Main;
    QString Name;
    int Level = level::Locked;
    TOpenHandler Open;
    TApplyHandler Apply;  // none: the provider is read-only
};

class TProviderTable {
public:
    // Replaces an entry with the same module and name.
    void Add(TProviderEntry entry);
    const TProviderEntry* Find(TModule module, const QString& name) const;

private:
    QList<TProviderEntry> entries_;
};

// One module's entries in the two tables.
class TModuleEntries {
public:
    TModuleEntries(TModule module, TCallTable& calls, TProviderTable& providers)
        : module_(module), calls_(calls), providers_(providers)
    {
    }

    void Call(int dispId, int level, int argCount, TCallHandler handler) const;
    void Provider(const QString& name, int level, TOpenHandler open, TApplyHandler apply = {}) const;

private:
    TModule module_;
    TCallTable& calls_;
    TProviderTable& providers_;
};
