// telvane-client: start-up, the main loop and the end of the process.

#include "calls/CallFieldInfo.h"
#include "shell/AppException.h"
#include "shell/ChildWindows.h"
#include "shell/DMClientMain.h"
#include "shell/FormClientMain.h"
#include "shell/FormSplash.h"
#include "shell/base/IniFiles32.h"
#include "shell/base/ProcessLife.h"

#include <QTimer>

namespace {

// For driving the built client from scripts: the start-up window closes at once, as on
// Esc, without the countdown.
bool CloseSplashAtOnce()
{
    return qEnvironmentVariableIsSet("TELVANE_CLOSE_SPLASH");
}

int RunClient(TTelvaneApplication& app)
{
    StartProcessCore(QCoreApplication::applicationFilePath());
    // The field catalogue lives from here to the end, before any window opens.
    CreateCallFieldInfos();
    TIniFile32& settings = SettingsFile();
    SetReportFormats(
        settings.ReadString(QStringLiteral("Report"), QStringLiteral("date_time_format"), QString()),
        settings.ReadString(QStringLiteral("Report"), QStringLiteral("duration_format"), QString()));
    QGuiApplication::setApplicationDisplayName(TClientMainForm::DesignedCaption());

    {
        TSplashForm splash(true);
        if (CloseSplashAtOnce())
            QTimer::singleShot(0, splash.actClose, &QAction::trigger);
        splash.exec();
    }
    if (ClientMainDM() && ClientMainDM()->Connected()) {
        TClientMainForm& form = *ClientMainForm();
        BindChildWindows(form, *ClientMainDM());
        QObject::connect(&form, &TClientMainForm::Closed, &app, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        form.showMaximized();
        app.exec();
    }
    ReleaseClientMainDM();
    ReleaseClientMainForm();
    EndProcessCore();
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    // First of all, so that every error from here on reaches the handler.
    TTelvaneApplication app(argc, argv);
    // The main window's close ends the main loop, not the last of the client's windows.
    app.setQuitOnLastWindowClosed(false);
    try {
        return RunClient(app);
    } catch (const std::exception& error) {
        HandleAppException(nullptr, error);
    }
    EndClientProcess(0);
}
