// telvane-server: the reference call-accounting server (docs/server.md).

#include "server/Server.h"
#include "server/ServerOptions.h"
#include "remote/TypeLibrary.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("telvane-server"));
    RegisterProtocolTypes();

    TServerOptions options;
    QString message;
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    bool help = false;
    if (!ParseServerOptions(arguments, options, message, help)) {
        std::fputs(qPrintable(message + QLatin1Char('\n')), help ? stdout : stderr);
        return help ? 0 : 1;
    }

    if (!options.TypeLibraryPath.isEmpty()) {
        try {
            TTypeLibrary::Current().Write(options.TypeLibraryPath);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "telvane-server: %s\n", e.what());
            return 1;
        }
        std::printf("wrote the type library \"%s\"\n", qPrintable(options.TypeLibraryPath));
        return 0;
    }

    // Signals only write a byte; the event loop turns it into a graceful shutdown.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        std::perror("socketpair");
        return 1;
    }
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    TServer server(options);
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &server, [&] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
        server.Log(TSeverity::Information, QStringLiteral("signal received"));
        server.Shutdown();
    });
    QObject::connect(&server, &TServer::Stopped, &app, &QCoreApplication::quit);
    try {
        server.Start();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "telvane-server: %s\n", e.what());
        server.Log(TSeverity::Error, QString::fromUtf8(e.what()));
        return 1;
    }
    return app.exec();
}
