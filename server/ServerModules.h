#pragma once
// The server's modules, the calls each one answers (by DISPID, with the access level
// they need) and the dataset providers each one serves. One table each, so the access
// rules live in one place (docs/server.md lists them).

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

class TClientConnection;
class TTableProvider;

enum class TModule { Main, Archives, Admin, Receiver, Commands, Report, LogsReport };

inline constexpr char ServerMainModuleName[] = "TelvaneControl.MainRDM";
inline constexpr char ServerMainModuleGuid[] = "{186284D0-20DB-4206-84EB-1E10B63F1477}";

QString ModuleName(TModule module);
std::optional<TModule> ChildModuleByName(const QString& name);

// Access levels of a connection.
namespace level {
inline constexpr int Locked = 0;
inline constexpr int User = 1;
inline constexpr int Administrator = 2;
}  // namespace level
QString LevelName(int level);

struct TCallContext {
    TClientConnection& Client;
    QVariantList& Args;  // by-reference arguments are changed in place
};
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

// The calls of this server.
void RegisterServerCalls(TCallTable& table);

enum class TProviderKind {
    Table,           // a table provider, opened and applied
    ExtensionQuery,  // dspExtension: qryExtension with the connection's filter clause
    PinCodeQuery,    // dspPinCode: qryPinCode with the connection's filter clause
    EPGroup,         // dspEPGroup: ID, NAME of the table chosen with ReportRDM 303
    ExtPin,          // dspExtPin: the codes of the table chosen with 303
    SimpleExtPin,    // dspSimpleModeExtPin: codes with group and exchange names
    ReportResult,    // dspResult of ReportRDM
    LogsResult,      // dspResult of LogsReportRDM
    LogsEvent,       // dspTemp of LogsReportRDM
};

struct TProviderEntry {
    TModule Module;
    QString Name;
    int Level;
    TProviderKind Kind;
    const TTableProvider* Table;  // for Table, ExtensionQuery and PinCodeQuery
};

const TProviderEntry* FindProvider(TModule module, const QString& name);
const QList<TProviderEntry>& Providers();
