#include "shell/ClientCommands.h"

#include "shell/ChildQueue.h"
#include "shell/MainFormServices.h"

TClientCommands::TClientCommands(const TTypeLibrary& library, TMainFormServices* form)
    : TCallbackObject(library, QLatin1String(iid::ClientCommands)), form_(form)
{
    Bind(QLatin1String(callback::QueueState.Method), &TClientCommands::QueueState);
    Bind(QLatin1String(callback::CommandAdded.Method), &TClientCommands::CommandAdded);
    Bind(QLatin1String(callback::CommandRemoved.Method), &TClientCommands::CommandRemoved);
    Bind(QLatin1String(callback::QueueCleared.Method), &TClientCommands::QueueCleared);
    Bind(QLatin1String(callback::RetryCountChanged.Method), &TClientCommands::RetryCountChanged);
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

void TClientCommands::RetryCountChanged(int row, qint16 retryCount)
{
    if (TChildFormQueue* queue = TChildFormQueue::Instance())
        queue->SetRetryCount(row, retryCount);
}
