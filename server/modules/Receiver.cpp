#include "server/modules/Receiver.h"

#include "server/Receiver.h"
#include "server/ServerContext.h"
#include "server/Settings.h"

namespace {

QVariant ToggleReceiver(TCallContext& c)
{
    TReceiver& receiver = c.Server.Receiver();
    const bool start = !receiver.Running();
    if (start)
        receiver.Start();
    else
        receiver.Stop();
    // A restarted server resumes what the administrator chose last.
    TSettings(c.Server.Database()).SetInt(setting::ReceiverRunning, start ? 1 : 0);
    return QVariant();
}

}  // namespace

void RegisterReceiverModule(TCallTable& calls, TProviderTable& providers)
{
    const TModuleEntries receiver(TModule::Receiver, calls, providers);
    receiver.Call(dispid::ReceiverRDM::ToggleReceiver, level::Administrator, 0, ToggleReceiver);
}
