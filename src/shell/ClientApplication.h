#pragma once
// The application callback object: the server's shutdown and "too many users" notices,
// its running activities and its messages for the live log. Without a main window the
// calls change nothing that is shown.

#include "remote/CallbackObject.h"

#include <QString>

#include <memory>

class TMainFormServices;
class TSocketConnection;

class TClientApplication : public TCallbackObject {
public:
    // The log-off closes the connection and the main window; either may be null.
    TClientApplication(const TTypeLibrary& library, TMainFormServices* form = nullptr,
                       TSocketConnection* connection = nullptr);
    ~TClientApplication() override;

    void ServerShutdown();
    void StatusAdded(const QString& text, int id);
    void StatusCleared(int id);
    void LogMessage(const QString& text, int unused);
    void TooManyUsers();

    const QString& PendingShutdownMessage() const { return pendingShutdownMessage_; }
    // The server announced the end of the connection (shutdown, too many users).
    bool EndAnnounced() const { return !pendingShutdownMessage_.isEmpty(); }

    // On the main thread: closes the connection, tells the user why and ends the main loop.
    void LogOff();

    static constexpr char LogOffEvent[] = "logoff";

private:
    // The connection is not closed from inside the server's call: the scheduler moves the
    // log-off out of it and the executor back onto the main thread.
    void ScheduleLogOff(const QString& message);

    TMainFormServices* form_;
    TSocketConnection* connection_;
    // Lets a deferred log-off find out whether this object still exists.
    std::shared_ptr<TClientApplication*> self_;
    QString pendingShutdownMessage_;
    bool loggedOff_ = false;
};
