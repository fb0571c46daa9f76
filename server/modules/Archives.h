#pragma once
// ArchivesRDM: the archive entries, creating, importing and clearing archives, external
// files and the automatic archiving options. The work itself runs in TArchiver.

#include "server/CallTable.h"

void RegisterArchivesModule(TCallTable& calls, TProviderTable& providers);
// ReportRDM 302: archives the calls a report's detail filters select (comment, filter
// values by call field, join flags, conditions joined by "|").
QVariant ArchiveReportCalls(TCallContext& c);
