#pragma once
// Runs the real telvane-server code for tests: in-process on a thread of its own (the
// client's synchronous calls block the test's main thread, so the server must not live
// there), on a temporary database and a free loopback port; or the built binary as a
// process (found through TELVANE_BIN_DIR, which every registered test gets).

#include "server/ServerOptions.h"

#include <QProcess>
#include <QSemaphore>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <functional>
#include <memory>

class TServer;

class TTestServer {
public:
    TTestServer();
    ~TTestServer();
    TTestServer(const TTestServer&) = delete;
    TTestServer& operator=(const TTestServer&) = delete;

    // The options the server starts with. Start fills in the database (in a temporary
    // directory), port 0, the loopback address and a quiet log unless they are set.
    TServerOptions& Options() { return options_; }

    // Starts the server and waits until it listens; false (with the reason) on failure.
    bool Start(QString* error = nullptr);
    // Same, seeded with demo data ending on the given day (default: today).
    bool StartDemo(const QDate& lastDay = QDate(), QString* error = nullptr);
    // Sends the shutdown notice to the clients and waits until the server has stopped.
    void Stop();
    bool IsRunning() const { return thread_ != nullptr; }

    quint16 Port() const { return port_; }
    QString DatabasePath() const { return options_.DatabasePath; }
    QString LogPath() const { return options_.EffectiveLogPath(); }
    QString Directory() const { return dir_.path(); }

    // Runs a function on the server's thread with the server and waits for it.
    void RunOnServer(const std::function<void(TServer&)>& fn);
    // Holds the server's thread until Resume, so that what clients send meanwhile waits
    // in the sockets and arrives at once (Stop resumes it too).
    void Suspend();
    void Resume();

    // A test-only call on MainRDM (level 0) that returns its first argument and leaves
    // its by-reference arguments as they came, so every value type can make the round
    // trip through a real call. The shipped server has no such call.
    static constexpr int EchoDispId = 9901;
    void InstallEchoCall();

private:
    class TThread;
    QTemporaryDir dir_;
    TServerOptions options_;
    std::unique_ptr<TThread> thread_;
    quint16 port_ = 0;
    bool echo_ = false;
    QSemaphore suspendedOn_, resume_;
    bool suspended_ = false;
};

// The built telvane-server run as a process.
class TServerProcess {
public:
    // The binary: $TELVANE_BIN_DIR/telvane-server.
    static QString BinaryPath();

    TServerProcess();
    ~TServerProcess();

    // Starts with --db (in a temporary directory), --port 0, --listen 127.0.0.1 and the
    // extra arguments, and reads the port from "listening on port N" on its output. May be
    // called again after the process ended: the same database, a new run.
    bool Start(const QStringList& extraArguments = {}, QString* error = nullptr, int timeoutMs = 30000);
    quint16 Port() const { return port_; }
    QString DatabasePath() const { return dir_.path() + QStringLiteral("/server.db"); }
    QString Directory() const { return dir_.path(); }

    // Sends the signal (SIGTERM by default) and waits for the exit; false when it did not
    // end in time.
    bool Terminate(int timeoutMs = 30000, int signal = 15);
    int ExitCode() const { return process_.exitCode(); }
    QProcess::ExitStatus ExitStatus() const { return process_.exitStatus(); }
    // Everything the process wrote to standard output and standard error in this run so far.
    QString Output();
    QProcess& Process() { return process_; }

private:
    QTemporaryDir dir_;
    QProcess process_;
    QByteArray output_;
    quint16 port_ = 0;
};
