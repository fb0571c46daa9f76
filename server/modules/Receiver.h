#pragma once
// ReceiverRDM: starting and stopping the receiver.

#include "server/CallTable.h"

void RegisterReceiverModule(TCallTable& calls, TProviderTable& providers);
