#include "shell/DMQueue.h"

#include <utility>

TQueueDM::TQueueDM(TRemoteModule commandsRDM) : commandsRDM_(std::move(commandsRDM)) {}

QList<TQueueDM::TCommand> TQueueDM::Commands() const
{
    QVariant texts;
    QVariant retries;
    commandsRDM_.Call(dispid::CommandsRDM::QueueContents, {TByRef(texts), TByRef(retries)});
    if (texts.isNull() || retries.isNull())
        return {};
    const QVariantList textList = texts.toList();
    const QVariantList retryList = retries.toList();
    QList<TCommand> commands;
    for (qsizetype i = 0; i < textList.size(); ++i)
        commands.append({textList[i].toString(), retryList.value(i).toInt()});
    return commands;
}

void TQueueDM::DeleteCommand(int row) const
{
    commandsRDM_.Call(dispid::CommandsRDM::RemoveCommand, {row});
}

void TQueueDM::DeleteAllCommands() const
{
    commandsRDM_.Call(dispid::CommandsRDM::ClearQueue);
}

void TQueueDM::PostCommand(const QString& command) const
{
    commandsRDM_.Call(dispid::CommandsRDM::AddCommand, {command});
}

bool TQueueDM::TakesCustomCommands() const
{
    return TakesCustomCommands(commandsRDM_.Call(dispid::CommandsRDM::ControlProtocol).toInt());
}
