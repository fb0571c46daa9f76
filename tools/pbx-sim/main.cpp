// telvane-pbx-sim: a telephone exchange for Telvane Server's receiver (docs/server.md).

#include "pbx-sim/PbxSimulator.h"
#include "pbx-sim/SimOptions.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("telvane-pbx-sim"));
    std::signal(SIGPIPE, SIG_IGN);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    TSimOptions options;
    QString message;
    bool help = false;
    if (!ParseSimOptions(arguments, options, message, help)) {
        std::fputs(qPrintable(message + QLatin1Char('\n')), help ? stdout : stderr);
        return help ? 0 : 1;
    }
    TPbxSimulator simulator(options);
    QObject::connect(&simulator, &TPbxSimulator::Finished, &app, [&app](int code) { app.exit(code); });
    simulator.Start();
    return app.exec();
}
