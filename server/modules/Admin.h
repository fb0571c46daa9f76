#pragma once
// AdminRDM: the reference data (exchanges, groups, limit plans, extensions, PIN codes,
// data formats, tariff rules) as providers, the data format and exchange in use, the
// tariff rule texts, and the filter clauses of the extension and PIN code lists, which last
// as long as the connection.

#include "server/CallTable.h"

void RegisterAdminModule(TCallTable& calls, TProviderTable& providers);
