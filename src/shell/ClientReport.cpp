#include "shell/ClientReport.h"

#include "shell/base/ClientReportFlags.h"

TClientReport::TClientReport(const TTypeLibrary& library)
    : TCallbackObject(library, QLatin1String(iid::ClientReport))
{
    Bind(QStringLiteral("ReportReady"), &TClientReport::ReportReady);
    Bind(QStringLiteral("LogsReportReady"), &TClientReport::LogsReportReady);
}

void TClientReport::ReportReady()
{
    ReportReadyFlag.store(true);
}

void TClientReport::LogsReportReady()
{
    LogsReportReadyFlag.store(true);
}
