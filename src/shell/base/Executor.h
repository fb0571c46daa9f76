#pragma once
// Hands a call over to the main thread, from any thread: posted calls run in posting
// order when the main thread's event loop reaches them; a waiting call blocks its caller
// until the main thread has run it. Posting on the main thread itself also serves to
// postpone work until the current operation has returned.

#include <QObject>

#include <functional>

using TExecutorProc = std::function<void(void* datum)>;

class TExecutor : public QObject {
    Q_OBJECT

public:
    // Lives on the thread that creates it: the main window creates it on the main thread.
    explicit TExecutor(QObject* parent = nullptr);

    // Errors of the procedure reach the main thread's event handling, not the caller.
    void RunOnMainThread(bool wait, TExecutorProc procedure, void* datum);
};
