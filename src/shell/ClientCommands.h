#pragma once
// The command queue callback object: the queue's state and the changes of its list,
// which reach the command queue window while it is open. Without a main window the
// queue's state changes nothing that is shown.

#include "remote/CallbackObject.h"

class TMainFormServices;

class TClientCommands : public TCallbackObject {
public:
    explicit TClientCommands(const TTypeLibrary& library, TMainFormServices* form = nullptr);

    void QueueState(bool enabled);
    void CommandAdded(const QString& text, qint16 retryCount);
    void CommandRemoved(int row);
    void QueueCleared();
    void RetryCountChanged(int row, qint16 retryCount);

private:
    TMainFormServices* form_;
};
