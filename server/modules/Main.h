#pragma once
// MainRDM: the handshake, the passwords of the two accounts, live data on and off and
// the server language.

#include "server/CallTable.h"

void RegisterMainModule(TCallTable& calls, TProviderTable& providers);
