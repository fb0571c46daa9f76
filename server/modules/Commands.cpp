#include "server/modules/Commands.h"

#include "core/Variants.h"
#include "server/ClientConnection.h"
#include "server/CommandQueue.h"
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
}
