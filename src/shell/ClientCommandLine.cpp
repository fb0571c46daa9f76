#include "shell/ClientCommandLine.h"

#include "shell/DMClientMain.h"

#include <QFileInfo>

namespace {

QString ProgramName(const QStringList& arguments)
{
    const QString name = QFileInfo(arguments.value(0)).fileName();
    return name.isEmpty() ? QStringLiteral("telvane-client") : name;
}

QString Usage(const QString& program)
{
    const QString settings = QFileInfo(program).completeBaseName() + QStringLiteral(".ini");
    return QStringLiteral(
               "Usage: %1 [-h | --help] [-v | --version] [Qt options]\n"
               "\n"
               "Telvane Control %2, the desktop client of Telvane Server.\n"
               "\n"
               "The start-up window offers the servers of the history kept in\n"
               "%3 beside the program (section [Server]: host, a comma-separated\n"
               "list, and port, default 211) and connects to the first one after a few\n"
               "seconds unless you choose another.\n"
               "\n"
               "Options:\n"
               "  -h, --help     Shows this help and exits.\n"
               "  -v, --version  Shows the version and exits.\n"
               "  Qt's own options, such as -platform NAME or -style NAME, are accepted too.\n"
               "\n"
               "Environment:\n"
               "  TELVANE_AUTOANSWER    message boxes are written to standard error and answered\n"
               "                        with the listed buttons (OK, Cancel, Yes, No, Abort,\n"
               "                        Ignore) or their defaults, instead of being shown\n"
               "  TELVANE_CLOSE_SPLASH  the start-up window closes at once, without connecting\n")
        .arg(program, TClientMainDM::VersionText(), settings);
}

bool Asks(const QStringList& arguments, std::initializer_list<const char*> names)
{
    for (qsizetype i = 1; i < arguments.size(); ++i)
        for (const char* name : names)
            if (arguments[i] == QLatin1String(name))
                return true;
    return false;
}

// Whether Qt will find somewhere to show windows: a platform chosen by the caller, or the
// X or Wayland display of a desktop session.
bool HasDisplay(const QStringList& arguments, const QProcessEnvironment& environment)
{
    if (Asks(arguments, {"-platform", "--platform"}))
        return true;
    for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (!environment.value(QLatin1String(variable)).isEmpty())
            return true;
    return false;
}

}  // namespace

TClientStart ReadClientCommandLine(const QStringList& arguments, const QProcessEnvironment& environment)
{
    const QString program = ProgramName(arguments);
    // Help wins over version, as most programs have it.
    if (Asks(arguments, {"-h", "--help", "-?", "-help"}))
        return {TClientStart::Help, Usage(program), 0};
    if (Asks(arguments, {"-v", "--version", "-version"}))
        return {TClientStart::Version, QStringLiteral("%1 %2\n").arg(program, TClientMainDM::VersionText()),
                0};
    if (!HasDisplay(arguments, environment))
        return {TClientStart::Refused,
                QStringLiteral("%1: there is no display to show the windows on.\nStart it in a desktop "
                               "session, or set DISPLAY (an X server such as Xvfb will do).\n")
                    .arg(program),
                1};
    return {};
}

TClientStart CheckRemainingArguments(const QStringList& arguments)
{
    if (arguments.size() <= 1)
        return {};
    const QString program = ProgramName(arguments);
    return {TClientStart::Refused,
            QStringLiteral("%1: unknown argument \"%2\". Try \"%1 --help\".\n").arg(program, arguments.at(1)),
            1};
}
