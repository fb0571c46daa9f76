#include "shell/ClientReport.h"

#include "shell/base/ClientReportFlags.h"

TClientReport::TClientReport(const TTypeLibrary& library)
    : TCallbackObject(library, QLatin1String(iid::ClientReport))
{
    Bind(QLatin1String(callback::ReportReady.Method), &TClientReport::ReportReady);
    Bind(QLatin1String(callback::LogsReportReady.Method), &TClientReport::LogsReportReady);
}

void TClientReport::ReportReady()
{
    ReportReadyFlag.store(true);
}

void TClientReport::LogsReportReady()
{
    LogsReportReadyFlag.store(true);
}
