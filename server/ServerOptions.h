#pragma once
// What the server is told on its command line (and what tests set directly).

#include "remote/Protocol.h"

#include <QDate>
#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <optional>

inline constexpr int DefaultServerVersion = 320;
inline constexpr quint16 DefaultListenPort = 211;

struct TServerOptions {
    QString DatabasePath;
    quint16 Port = DefaultListenPort;  // 0: any free port
    QHostAddress ListenAddress = QHostAddress::Any;
    bool Demo = false;
    QDate DemoDate;      // the day the demo data ends; invalid: today
    int MaxClients = 0;  // 0: unlimited
    quint32 MaxFrame = DefaultMaxFrameSize;
    QString LogPath;  // empty: beside the database
    bool LogToStdout = true;
    int ServerVersion = DefaultServerVersion;
    QString TypeLibraryPath;  // --write-typelib: write the type library file and exit
    // After the "too many users" notice the client may finish what it is doing this long.
    int TooManyUsersGraceMs = 5000;

    // Limits and defences (docs/server.md, "Limits and defences").
    // Connections: the largest frame before a password check has succeeded; the time a
    // connection has for an accepted handshake; how many connections may be without one.
    quint32 MaxLoginFrame = 64 * 1024;
    int HandshakeTimeoutMs = 30000;
    int MaxPendingConnections = 32;
    // A frame that gets no byte for this long drops its connection; so does one that is not
    // complete within this time plus its length at MinFrameRate bytes a second.
    int FrameTimeoutMs = 60000;
    int MinFrameRate = 16 * 1024;
    // Bytes waiting for a client that does not read (besides the dataset it is being sent);
    // beyond them the connection is dropped.
    qint64 MaxSendQueue = qint64(32) << 20;
    // Entries about dropped connections and refused exchange connections per minute.
    int DroppedLogPerMinute = 10;
    // Password checks: after wrong guesses from an address the next check of that account
    // waits GuessDelayMs, doubled with every further wrong guess up to MaxGuessDelayMs; a
    // burst of wrong guesses ends after GuessQuietMs without one.
    int GuessDelayMs = 250;
    int MaxGuessDelayMs = 2000;
    int GuessQuietMs = 60000;
    // Client statements: their time limit (0: none), the worker threads, how many one
    // connection may run at once, and the memory all results being read or kept in memory
    // may take together (larger results are kept in temporary files once read).
    int StatementTimeoutMs = 300000;
    int QueryThreads = 16;
    int QueryShare = 2;
    qint64 ResultMemory = qint64(1) << 30;
    // Settings the command line may set; given ones are stored in the database at start.
    std::optional<int> ReceiverPort;        // --receiver-port (0: any free port)
    std::optional<int> ReceiverBufferSize;  // --receiver-buffer, bytes
    std::optional<int> ControlProtocol;     // --control-protocol, 0 to 3
    std::optional<int> CommandRetryMs;      // --retry-interval, milliseconds
    bool StartReceiver = false;             // --start-receiver
    std::optional<QString> ReceiverListenAddress;  // --receiver-listen (empty: --listen's)
    std::optional<QString> ReceiverAllowed;        // --receiver-allow (empty: any address)
    std::optional<int> ReceiverConnections;        // --receiver-connections
    std::optional<int> ReceiverPauseKb;            // --receiver-pause, KiB
    std::optional<int> ReceiverResumeKb;           // --receiver-resume, KiB
    // Retry counts reach the clients at most once per this many milliseconds.
    int RetryNoticeMs = 1000;

    QString EffectiveLogPath() const;
};

// Parses the arguments (without the program name). Returns false with a message for
// the user when they are wrong or when --help was asked (help is then true).
bool ParseServerOptions(const QStringList& arguments, TServerOptions& options, QString& message, bool& help);
