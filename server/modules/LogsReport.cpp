#include "server/modules/LogsReport.h"

#include "server/ClientConnection.h"
#include "server/ServerContext.h"
#include "server/StatementSlot.h"

namespace {

namespace id = dispid::LogsReportRDM;

struct TLogsReportState : TModuleState {
    TStatementSlot Search{callback::LogsReportReady};
    // One event's rows: no callback, opening dspTemp waits until they are read.
    TStatementSlot Event{std::nullopt};

    void Closing() override
    {
        Search.Cancel();
        Event.Cancel();
    }
};

using TSlot = TStatementSlot TLogsReportState::*;

TCallHandler Run(TSlot slot)
{
    return [slot](TCallContext& c) {
        (c.Client.State<TLogsReportState>().*slot).Run(c.Client, c.Server, c.String(0));
        return QVariant();
    };
}

TOpenHandler Open(TSlot slot)
{
    return [slot](TProviderContext& c) {
        return (c.Client.State<TLogsReportState>().*slot).Open(c.Request.Id, c.Request.Provider);
    };
}

}  // namespace

void RegisterLogsReportModule(TCallTable& calls, TProviderTable& providers)
{
    const TModuleEntries logs(TModule::LogsReport, calls, providers);
    logs.Call(id::RunStatement, level::Administrator, 1, Run(&TLogsReportState::Search));
    logs.Call(id::RunEventStatement, level::Administrator, 1, Run(&TLogsReportState::Event));
    logs.Provider(provider::LogsReportRDM::dspResult, level::Administrator, Open(&TLogsReportState::Search));
    logs.Provider(provider::LogsReportRDM::dspTemp, level::Administrator, Open(&TLogsReportState::Event));
}
