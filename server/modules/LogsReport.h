#pragma once
// LogsReportRDM: log searches and the rows of one event.

#include "server/CallTable.h"

void RegisterLogsReportModule(TCallTable& calls, TProviderTable& providers);
