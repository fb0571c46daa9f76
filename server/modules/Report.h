#pragma once
// ReportRDM: report statements and their results, the saved report configurations, and
// the catalogue providers of the extension and PIN selection, whose table the connection
// chooses.

#include "server/CallTable.h"

void RegisterReportModule(TCallTable& calls, TProviderTable& providers);
