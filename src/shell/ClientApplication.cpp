#include "shell/ClientApplication.h"

#include "shell/AppException.h"
#include "shell/base/ClientLogs.h"
#include "shell/DMClientMain.h"
#include "shell/FormClientMain.h"
#include "widgets/MessageBoxes.h"
#include "shell/base/Scheduler.h"

#include <QCoreApplication>

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("TClientApplication", text);
}

void RunLogOffOnMainThread(void*)
{
    if (TClientMainDM* dm = ClientMainDM())
        dm->ClientApplication().LogOff();
}

}  // namespace

TClientApplication::TClientApplication(const TTypeLibrary& library)
    : TCallbackObject(library, QLatin1String(iid::ClientApplication))
{
    Bind(QStringLiteral("ServerShutdown"), &TClientApplication::ServerShutdown);
    Bind(QStringLiteral("StatusAdded"), &TClientApplication::StatusAdded);
    Bind(QStringLiteral("StatusCleared"), &TClientApplication::StatusCleared);
    Bind(QStringLiteral("LogMessage"), &TClientApplication::LogMessage);
    Bind(QStringLiteral("TooManyUsers"), &TClientApplication::TooManyUsers);
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
    if (TClientMainForm* form = ClientMainForm())
        form->AddServerStatus(text, id);
}

void TClientApplication::StatusCleared(int id)
{
    if (TClientMainForm* form = ClientMainForm())
        form->ClearStatus(id);
}

void TClientApplication::LogMessage(const QString& text, int)
{
    if (TClientMainForm* form = ClientMainForm())
        form->AddLiveLogMessage(text);
}

void TClientApplication::ScheduleLogOff(const QString& message)
{
    pendingShutdownMessage_ = message;
    // A log-off not yet run is replaced, so two notices give one log-off.
    TSchedulerThread::Instance().ScheduleIn(
        QLatin1String(LogOffEvent), 0,
        [](void*) {
            if (TClientMainForm* form = ClientMainForm())
                form->Defer(RunLogOffOnMainThread);
        },
        nullptr);
}

void TClientApplication::LogOff()
{
    // A notice that came in after the log-off was handed on must not tell the user twice.
    if (loggedOff_)
        return;
    loggedOff_ = true;
    if (TClientMainDM* dm = ClientMainDM())
        dm->sktServer.Close();
    const QString closing = ClosingNotice();
    if (HasClientLogs())
        ClientLogs().Application().Add(pendingShutdownMessage_ + QLatin1Char(' ') + closing, 2);
    ShowWarning(pendingShutdownMessage_ + QLatin1Char('\n') + closing);
    // Closing the main window ends the main loop.
    if (TClientMainForm* form = ClientMainForm())
        form->close();
}
