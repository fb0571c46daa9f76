#pragma once
// The command queue callback object: the queue's state and the changes of its list,
// which reach the command queue window while it is open.

#include "remote/CallbackObject.h"

class TClientCommands : public TCallbackObject {
public:
    explicit TClientCommands(const TTypeLibrary& library);

    void QueueState(bool enabled);
    void CommandAdded(const QString& text, qint16 retryCount);
    void CommandRemoved(int row);
    void QueueCleared();
};
