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
    // A frame that stays incomplete this long drops its connection.
    int FrameTimeoutMs = 60000;
    // After the "too many users" notice the client may finish what it is doing this long.
    int TooManyUsersGraceMs = 5000;
    qint64 MaxResultBytes = qint64(1) << 30;
    int QueryThreads = 4;
    // Settings the command line may set; given ones are stored in the database at start.
    std::optional<int> ReceiverPort;        // --receiver-port (0: any free port)
    std::optional<int> ReceiverBufferSize;  // --receiver-buffer, bytes
    std::optional<int> ControlProtocol;     // --control-protocol, 0 to 3
    std::optional<int> CommandRetryMs;      // --retry-interval, milliseconds
    bool StartReceiver = false;             // --start-receiver
    // Retry counts reach the clients at most once per this many milliseconds.
    int RetryNoticeMs = 1000;

    QString EffectiveLogPath() const;
};

// Parses the arguments (without the program name). Returns false with a message for
// the user when they are wrong or when --help was asked (help is then true).
bool ParseServerOptions(const QStringList& arguments, TServerOptions& options, QString& message, bool& help);
