#include "shell/ClientApplication.h"

#include "remote/Connections.h"
#include "shell/AppException.h"
#include "shell/MainFormServices.h"
#include "shell/base/ClientLogs.h"
#include "shell/base/Scheduler.h"
#include "widgets/MessageBoxes.h"

#include <QCoreApplication>

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("TClientApplication", text);
}

}  // namespace

TClientApplication::TClientApplication(const TTypeLibrary& library, TMainFormServices* form,
                                       TSocketConnection* connection)
    : TCallbackObject(library, QLatin1String(iid::ClientApplication)),
      form_(form),
      connection_(connection),
      self_(std::make_shared<TClientApplication*>(this))
{
    Bind(QLatin1String(callback::ServerShutdown.Method), &TClientApplication::ServerShutdown);
    Bind(QLatin1String(callback::StatusAdded.Method), &TClientApplication::StatusAdded);
    Bind(QLatin1String(callback::StatusCleared.Method), &TClientApplication::StatusCleared);
    Bind(QLatin1String(callback::LogMessage.Method), &TClientApplication::LogMessage);
    Bind(QLatin1String(callback::TooManyUsers.Method), &TClientApplication::TooManyUsers);
}

TClientApplication::~TClientApplication()
{
    TSchedulerThread::Instance().Cancel(QLatin1String(LogOffEvent), TCancelMode::All, 0);
}

void TClientApplication::ServerShutdown()
{
    ScheduleLogOff(Tr("Telvane Server has been shut down."));
}

void TClientApplication::TooManyUsers()
{
    ScheduleLogOff(Tr("Too many users have connected to Telvane Server."));
}

void TClientApplication::StatusAdded(const QString& text, int id)
{
    if (form_)
        form_->AddServerStatus(text, id);
}

void TClientApplication::StatusCleared(int id)
{
    if (form_)
        form_->ClearStatus(id);
}

void TClientApplication::LogMessage(const QString& text, int)
{
    if (form_)
        form_->AddLiveLogMessage(text);
}

void TClientApplication::ScheduleLogOff(const QString& message)
{
    pendingShutdownMessage_ = message;
    // A log-off not yet run is replaced, so two notices give one log-off.
    TSchedulerThread::Instance().ScheduleIn(
        QLatin1String(LogOffEvent), 0,
        [form = form_, self = std::weak_ptr<TClientApplication*>(self_)](void*) {
            if (!form)
                return;
            form->Defer([self](void*) {
                if (const std::shared_ptr<TClientApplication*> application = self.lock())
                    (*application)->LogOff();
            });
        },
        nullptr);
}

void TClientApplication::LogOff()
{
    // A notice that came in after the log-off was handed on must not tell the user twice.
    if (loggedOff_)
        return;
    loggedOff_ = true;
    if (connection_)
        connection_->Close();
    const QString closing = ClosingNotice();
    if (HasClientLogs())
        ClientLogs().Application().Add(pendingShutdownMessage_ + QLatin1Char(' ') + closing, 2);
    ShowWarning(pendingShutdownMessage_ + QLatin1Char('\n') + closing);
    // Closing the main window ends the main loop.
    if (form_)
        form_->CloseMainWindow();
}
