#include "server/modules/Receiver.h"

#include "server/OptionGroups.h"
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

QVariant GetReceiverOptions(TCallContext& c)
{
    GetOptionGroup(c.Server.Database(), optiongroup::Receiver(), c.Args);
    return QVariant();
}

// A running receiver starts again with the new settings; one that cannot (a port in use, a
// serial device missing) stays stopped and says why, while the settings stay stored.
QVariant SetReceiverOptions(TCallContext& c)
{
    SetOptionGroup(c.Server.Database(), optiongroup::Receiver(), c.Args);
    c.Server.DataChanged();
    c.Server.Receiver().SettingsChanged();
    return QVariant();
}

}  // namespace

void RegisterReceiverModule(TCallTable& calls, TProviderTable& providers)
{
    const TModuleEntries receiver(TModule::Receiver, calls, providers);
    receiver.Call(dispid::ReceiverRDM::ToggleReceiver, level::Administrator, 0, ToggleReceiver);
    receiver.Call(dispid::ReceiverRDM::SetReceiverOptions, level::Administrator, 11, SetReceiverOptions);
    receiver.Call(dispid::ReceiverRDM::GetReceiverOptions, level::Administrator, 11, GetReceiverOptions);
}
