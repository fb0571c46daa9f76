#include "shell/base/Executor.h"

#include <QThread>

#include <utility>

TExecutor::TExecutor(QObject* parent) : QObject(parent) {}

void TExecutor::RunOnMainThread(bool wait, TExecutorProc procedure, void* datum)
{
    // Waiting on its own thread would block forever: run the call directly instead.
    if (wait && QThread::currentThread() == thread()) {
        procedure(datum);
        return;
    }
    QMetaObject::invokeMethod(
        this, [procedure = std::move(procedure), datum] { procedure(datum); },
        wait ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
}
