#pragma once
// What the units below the main window use of it: the running activities, the live
// displays, deferred calls, the child windows and the state the server's callbacks show.
// The main window implements it and hands itself on as this interface: to the connection
// module and through it to the callbacks, and to every child window as its owner. So none
// of them includes the main window, and the shell's units depend on each other in one
// direction.
//
//   const int status = owner->AddStatus(tr("Loading report..."));
//   const auto clear = qScopeGuard([owner, status] { owner->ClearStatus(status); });

#include "shell/base/Executor.h"

#include <QString>

#include <functional>

class QAction;
class QMdiArea;
class TChildFormBlank;
class TGauge;

class TMainFormServices {
public:
    // Makes the child window of an opening action, owned by the main window.
    using TChildFactory = std::function<TChildFormBlank*(TMainFormServices* owner, QAction* action)>;

    // ---- running activities (status bar panel 2) ----

    // Adds an activity with a new local identifier (1 to 1000000000, then 1 again) and
    // returns the identifier.
    virtual int AddStatus(const QString& text) = 0;
    // Adds an activity with an identifier the server gave.
    virtual void AddServerStatus(const QString& text, int id) = 0;
    // Removes the activity; an unknown local identifier is logged at level 4.
    virtual void ClearStatus(int id) = 0;

    // ---- live displays and the main thread ----

    // Appended on a later turn of the event loop, so a burst makes one update.
    virtual void AddRawInput(const QString& text) = 0;
    virtual void AddLiveLogMessage(const QString& text) = 0;
    // Runs the procedure later on the main thread; callable from any thread.
    virtual void Defer(TExecutorProc procedure, void* datum = nullptr) = 0;

    // ---- child windows ----

    // Brings the window the action's tag refers to to the front (restored when minimised),
    // or creates one with the factory and shows it. Returns the window.
    virtual TChildFormBlank* OpenChildWindow(QAction* action, const TChildFactory& create) = 0;
    // Closes the window of every opening action; one that refuses is logged and the
    // others still close.
    virtual void CloseChildWindows() = 0;
    // The client area the child windows join.
    virtual QMdiArea* MdiArea() const = 0;

    // ---- what the server's callbacks show ----

    virtual void SetStatusPanelText(int panel, const QString& text) = 0;
    // The state images and captions of actReceiver and actEnableQueue.
    virtual void SetReceiverRunning(bool running) = 0;
    virtual void SetQueueEnabled(bool enabled) = 0;
    // The input-buffer gauge under the raw input.
    virtual TGauge& InputBufferGauge() = 0;
    // Closes the main window, which ends the main loop.
    virtual void CloseMainWindow() = 0;

protected:
    ~TMainFormServices() = default;
};
