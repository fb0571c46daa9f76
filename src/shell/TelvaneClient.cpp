// telvane-client: start-up, the main loop and the end of the process.

#include "calls/CallFieldInfo.h"
#include "shell/AppException.h"
#include "shell/ChildWindows.h"
#include "shell/ClientCommandLine.h"
#include "shell/DMClientMain.h"
#include "shell/FormClientMain.h"
#include "shell/FormSplash.h"
#include "shell/Translations.h"
#include "shell/base/IniFiles32.h"
#include "shell/base/ProcessLife.h"

#include <QTimer>

#include <cstdio>

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
    // The text set the user chose, before any window is made.
    const QString notLoaded = InstallTranslations(StoredLanguage(QCoreApplication::applicationFilePath()));
    if (!notLoaded.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(notLoaded));
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
        TClientMainDM& connection = *ClientMainDM();
        BindChildWindows(form, connection);
        // A connection lost while the client waits for the user ends it as a lost
        // connection found by a call does.
        QObject::connect(&connection, &TClientMainDM::ConnectionLost, &connection, [&connection] {
            HandleAppException(&connection, connection.sktServer.DisconnectedError());
        });
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

// Answers --help and --version, refuses what cannot run; false when the program ends here.
bool MayStart(const TClientStart& start)
{
    if (start.Kind == TClientStart::Run)
        return true;
    std::fputs(start.Text.toLocal8Bit().constData(), start.Kind == TClientStart::Refused ? stderr : stdout);
    return false;
}

QStringList ArgumentList(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

}  // namespace

int main(int argc, char** argv)
{
    // Before the application object, which needs a display.
    const TClientStart start =
        ReadClientCommandLine(ArgumentList(argc, argv), QProcessEnvironment::systemEnvironment());
    if (!MayStart(start))
        return start.ExitCode;
    // Then, so that every error from here on reaches the handler. It takes Qt's own
    // options out of the command line.
    TTelvaneApplication app(argc, argv);
    const TClientStart rest = CheckRemainingArguments(ArgumentList(argc, argv));
    if (!MayStart(rest))
        return rest.ExitCode;
    // The main window's close ends the main loop, not the last of the client's windows.
    app.setQuitOnLastWindowClosed(false);
    try {
        return RunClient(app);
    } catch (const std::exception& error) {
        HandleAppException(nullptr, error);
    }
    EndClientProcess(0);
}
