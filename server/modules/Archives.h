#pragma once
// ArchivesRDM: the archive entries.

#include "server/CallTable.h"

void RegisterArchivesModule(TCallTable& calls, TProviderTable& providers);
