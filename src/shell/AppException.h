#pragma once
// The process-wide exception handler. Qt does not let exceptions cross its event loop, so
// the client's application object catches every exception that leaves an event handler
// and hands it to HandleAppException: a known fatal condition (an unusable type library,
// a lost connection) ends the client with exit code 1; any other error is reported as a
// probable bug, and the user chooses between Abort (exit code 2) and Ignore.

#include <QApplication>
#include <QString>

#include <exception>

class TTelvaneApplication : public QApplication {
    Q_OBJECT

public:
    TTelvaneApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

enum class TAppExceptionOutcome { Ignore, Fatal, Abort };

// Logs the error (with the context line), shows the box and returns what follows.
TAppExceptionOutcome ReportAppException(QObject* sender, const std::exception& error);
// ReportAppException, then the end of the process for a fatal error or Abort.
void HandleAppException(QObject* sender, const std::exception& error);

// Runs the end of the process (server name, settings, "Shutdown complete.", logs,
// directories) and exits.
[[noreturn]] void EndClientProcess(int exitCode);

// The line without time stamp that follows the logged error: the exception's class, the
// sender's class and name, and the exception's address.
QString AppExceptionContext(QObject* sender, const std::exception& error);

// "Telvane Client will now close.", which every message that ends the client carries.
QString ClosingNotice();
