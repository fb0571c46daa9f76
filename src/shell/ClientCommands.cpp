#include "shell/ClientCommands.h"

#include "shell/ChildQueue.h"
#include "shell/MainFormServices.h"

TClientCommands::TClientCommands(const TTypeLibrary& library, TMainFormServices* form)
    : TCallbackObject(library, QLatin1String(iid::ClientCommands)), form_(form)
{
    Bind(QStringLiteral("QueueState"), &TClientCommands::QueueState);
    Bind(QStringLiteral("CommandAdded"), &TClientCommands::CommandAdded);
    Bind(QStringLiteral("CommandRemoved"), &TClientCommands::CommandRemoved);
    Bind(QStringLiteral("QueueCleared"), &TClientCommands::QueueCleared);
}

void TClientCommands::QueueState(bool enabled)
{
    if (form_)
        form_->SetQueueEnabled(enabled);
}

void TClientCommands::CommandAdded(const QString& text, qint16 retryCount)
{
    if (TChildFormQueue* queue = TChildFormQueue::Instance())
        queue->AddCommand(text, retryCount);
}

void TClientCommands::CommandRemoved(int row)
{
    if (TChildFormQueue* queue = TChildFormQueue::Instance())
        queue->RemoveCommand(row);
}

void TClientCommands::QueueCleared()
{
    if (TChildFormQueue* queue = TChildFormQueue::Instance())
        queue->ClearCommands();
}
