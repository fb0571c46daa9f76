#pragma once
// CommandsRDM: the command queue for the exchange and the control protocol.

#include "server/CallTable.h"

void RegisterCommandsModule(TCallTable& calls, TProviderTable& providers);
