#include "server/modules/Commands.h"

#include "core/Variants.h"
#include "server/ClientConnection.h"
#include "server/CommandQueue.h"
#include "server/OptionGroups.h"
#include "server/ServerContext.h"

namespace {

// Who asked, for the queue's LOG entries.
QString Who(const TCallContext& c)
{
    return QStringLiteral("Client %1").arg(c.Client.Number());
}

QVariant ToggleQueue(TCallContext& c)
{
    TCommandQueue& queue = c.Server.CommandQueue();
    queue.SetEnabled(!queue.Enabled());
    return QVariant();
}

QVariant QueueContents(TCallContext& c)
{
    const QList<TCommandQueue::TCommand>& commands = c.Server.CommandQueue().Commands();
    if (commands.isEmpty()) {
        c.Args[0] = QVariant();
        c.Args[1] = QVariant();
        return QVariant();
    }
    QVariantList texts, retries;
    for (const TCommandQueue::TCommand& command : commands) {
        texts << command.Text;
        retries << command.RetryCount;
    }
    c.Args[0] = texts;
    c.Args[1] = retries;
    return QVariant();
}

QVariant RemoveCommand(TCallContext& c)
{
    c.Server.CommandQueue().Remove(c.Int(0), Who(c));
    return QVariant();
}

QVariant ClearQueue(TCallContext& c)
{
    c.Server.CommandQueue().Clear(Who(c));
    return QVariant();
}

QVariant AddCommand(TCallContext& c)
{
    c.Server.CommandQueue().Add(c.String(0), Who(c));
    return QVariant();
}

QVariant ControlProtocol(TCallContext& c)
{
    return VarFromInt16(static_cast<qint16>(c.Server.CommandQueue().ControlProtocol()));
}

// A group's get and set handlers. Setting one makes the queue open its control port again
// with the new settings; the limits group also changes the VAT the receiver charges.
void AddOptionGroup(const TModuleEntries& commands, int setId, int getId, const TOptionGroup& group)
{
    const int count = int(group.size());
    commands.Call(getId, level::Administrator, count, [&group](TCallContext& c) {
        GetOptionGroup(c.Server.Database(), group, c.Args);
        return QVariant();
    });
    commands.Call(setId, level::Administrator, count, [&group](TCallContext& c) {
        SetOptionGroup(c.Server.Database(), group, c.Args);
        c.Server.DataChanged();
        c.Server.CommandQueue().ControlSettingsChanged();
        return QVariant();
    });
}

}  // namespace

void RegisterCommandsModule(TCallTable& calls, TProviderTable& providers)
{
    namespace id = dispid::CommandsRDM;
    const TModuleEntries commands(TModule::Commands, calls, providers);
    commands.Call(id::ToggleQueue, level::Administrator, 0, ToggleQueue);
    commands.Call(id::QueueContents, level::Administrator, 2, QueueContents);
    commands.Call(id::RemoveCommand, level::Administrator, 1, RemoveCommand);
    commands.Call(id::ClearQueue, level::Administrator, 0, ClearQueue);
    commands.Call(id::AddCommand, level::Administrator, 1, AddCommand);
    commands.Call(id::ControlProtocol, level::Administrator, 0, ControlProtocol);
    AddOptionGroup(commands, id::SetLimitsOptions, id::GetLimitsOptions, optiongroup::Limits());
    AddOptionGroup(commands, id::SetDefinityOptions, id::GetDefinityOptions, optiongroup::Definity());
    AddOptionGroup(commands, id::SetHiPathOptions, id::GetHiPathOptions, optiongroup::HiPath());
    AddOptionGroup(commands, id::SetModemOptions, id::GetModemOptions, optiongroup::Modem());
    AddOptionGroup(commands, id::SetDirectOptions, id::GetDirectOptions, optiongroup::Direct());
}
