#include "server/ServerOptions.h"

#include "server/AddressList.h"
#include "server/CommandLine.h"

#include <QFileInfo>

#include <functional>
#include <type_traits>

QString TServerOptions::EffectiveLogPath() const
{
    if (!LogPath.isEmpty())
        return LogPath;
    const QFileInfo db(DatabasePath);
    return db.absolutePath() + QLatin1Char('/') + db.completeBaseName() + QStringLiteral(".log");
}

namespace {

// A numeric option of the limits and defences: the option, its range and where the value
// goes. Times are whole seconds or milliseconds, as the value name says.
struct TLimitOption {
    QCommandLineOption Option;
    qint64 Min = 0;
    qint64 Max = 0;
    std::function<void(TServerOptions&, qint64)> Store;
};

QCommandLineOption LimitOption(const char* name, const char* help, const char* valueName, qint64 defaultValue)
{
    return QCommandLineOption(QLatin1String(name),
                              QStringLiteral("%1 (default %2).").arg(QLatin1String(help)).arg(defaultValue),
                              QLatin1String(valueName));
}

QList<TLimitOption> LimitOptions()
{
    const TServerOptions d;
    auto seconds = [](int TServerOptions::*field) {
        return [field](TServerOptions& o, qint64 v) { o.*field = static_cast<int>(v * 1000); };
    };
    auto plain = [](auto TServerOptions::*field) {
        return [field](TServerOptions& o, qint64 v) {
            o.*field = static_cast<std::remove_reference_t<decltype(o.*field)>>(v);
        };
    };
    return {
        {LimitOption("max-login-frame", "The largest frame before a password check has succeeded, in bytes",
                     "BYTES", d.MaxLoginFrame),
         64, 0xFFFFFFFFLL, plain(&TServerOptions::MaxLoginFrame)},
        {LimitOption("handshake-timeout", "Seconds a connection has for an accepted handshake", "S",
                     d.HandshakeTimeoutMs / 1000),
         1, 3600, seconds(&TServerOptions::HandshakeTimeoutMs)},
        {LimitOption("max-pending", "Connections without an accepted handshake; the oldest goes beyond", "N",
                     d.MaxPendingConnections),
         1, 100000, plain(&TServerOptions::MaxPendingConnections)},
        {LimitOption("frame-timeout", "Seconds a frame may wait for its next byte", "S", d.FrameTimeoutMs / 1000),
         1, 3600, seconds(&TServerOptions::FrameTimeoutMs)},
        {LimitOption("min-frame-rate", "Bytes a second a frame must arrive at, on average", "BYTES",
                     d.MinFrameRate),
         1, 1000000000, plain(&TServerOptions::MinFrameRate)},
        {LimitOption("max-send-queue", "Bytes waiting for a client that does not read", "BYTES",
                     d.MaxSendQueue),
         1 << 20, qint64(1) << 40, plain(&TServerOptions::MaxSendQueue)},
        {LimitOption("guess-delay", "Milliseconds the check after a wrong password waits, doubled per guess",
                     "MS", d.GuessDelayMs),
         0, 600000, plain(&TServerOptions::GuessDelayMs)},
        {LimitOption("max-guess-delay", "The longest wait before a password check, in milliseconds", "MS",
                     d.MaxGuessDelayMs),
         0, 600000, plain(&TServerOptions::MaxGuessDelayMs)},
        {LimitOption("statement-timeout", "Seconds a report or log statement may run (0: no limit)", "S",
                     d.StatementTimeoutMs / 1000),
         0, 86400, seconds(&TServerOptions::StatementTimeoutMs)},
        {LimitOption("query-threads", "Report and log statements running at once", "N", d.QueryThreads), 1,
         256, plain(&TServerOptions::QueryThreads)},
        {LimitOption("result-memory", "Bytes all statement results may take together", "BYTES", d.ResultMemory),
         1 << 20, qint64(1) << 40, plain(&TServerOptions::ResultMemory)},
    };
}

bool ReadLimitOptions(const QList<TLimitOption>& limits, TServerOptions& options, TCommandLine& line)
{
    for (const TLimitOption& limit : limits) {
        if (!line.IsSet(limit.Option))
            continue;
        qint64 value = 0;
        if (!line.ReadInteger(limit.Option, limit.Min, limit.Max, value))
            return false;
        limit.Store(options, value);
    }
    return true;
}

bool ReadServerOptions(const QStringList& arguments, TServerOptions& options, TCommandLine& line)
{
    const QCommandLineOption db(QStringLiteral("db"),
                                QStringLiteral("The database file (created when missing)."),
                                QStringLiteral("FILE"));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("The TCP port (default 211; 0 picks a free one)."),
                                  QStringLiteral("N"), QString::number(DefaultListenPort));
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    QStringLiteral("The address to listen on, for clients and the receiver "
                                                   "(default: all; with --demo, 127.0.0.1)."),
                                    QStringLiteral("ADDRESS"));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Seeds a new database with demo data."));
    const QCommandLineOption demoDate(QStringLiteral("demo-date"),
                                      QStringLiteral("The last day of the demo data (default today)."),
                                      QStringLiteral("yyyy-mm-dd"));
    const QCommandLineOption maxClients(QStringLiteral("max-clients"),
                                        QStringLiteral("Clients beyond N are sent away (default unlimited)."),
                                        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption maxFrame(QStringLiteral("max-frame"),
                                      QStringLiteral("The largest frame a client may send, in bytes."),
                                      QStringLiteral("BYTES"), QString::number(DefaultMaxFrameSize));
    const QCommandLineOption log(QStringLiteral("log"),
                                 QStringLiteral("The server's log file (default beside the database)."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption version(
        QStringLiteral("server-version"),
        QStringLiteral("The version the handshake accepts and reports (default 320)."), QStringLiteral("N"),
        QString::number(DefaultServerVersion));
    const QCommandLineOption typelib(QStringLiteral("write-typelib"),
                                     QStringLiteral("Writes the type library file and exits."),
                                     QStringLiteral("FILE"));
    const QCommandLineOption receiverPort(
        QStringLiteral("receiver-port"),
        QStringLiteral("The receiver's TCP port for the exchange (stored; default 9100, 0 a free one)."),
        QStringLiteral("N"));
    const QCommandLineOption receiverBuffer(
        QStringLiteral("receiver-buffer"),
        QStringLiteral("The receiver's input buffer in bytes (stored; default 65536)."),
        QStringLiteral("BYTES"));
    const QCommandLineOption startReceiver(QStringLiteral("start-receiver"),
                                           QStringLiteral("Starts the receiver at start-up."));
    const QCommandLineOption controlProtocol(
        QStringLiteral("control-protocol"),
        QStringLiteral("The exchange control protocol (stored): 0 Avaya Definity, 1 Siemens HiPath, "
                       "2 modem, 3 direct commands."),
        QStringLiteral("N"));
    const QCommandLineOption retryInterval(
        QStringLiteral("retry-interval"),
        QStringLiteral("Milliseconds between attempts to send a queued command (stored; default 10000)."),
        QStringLiteral("MS"));
    const QCommandLineOption receiverListen(
        QStringLiteral("receiver-listen"),
        QStringLiteral("The address the receiver listens on (stored; default that of --listen)."),
        QStringLiteral("ADDRESS"));
    const QCommandLineOption receiverAllow(
        QStringLiteral("receiver-allow"),
        QStringLiteral("The addresses and subnets the exchange may connect from, separated by commas "
                       "(stored; default any)."),
        QStringLiteral("LIST"));
    const QCommandLineOption receiverConnections(
        QStringLiteral("receiver-connections"),
        QStringLiteral("Exchange connections the receiver accepts at once (stored; default 1)."),
        QStringLiteral("N"));
    const QCommandLineOption receiverPause(
        QStringLiteral("receiver-pause"),
        QStringLiteral("KiB in the input buffer above which the exchange is no longer read (stored; default 48)."),
        QStringLiteral("KB"));
    const QCommandLineOption receiverResume(
        QStringLiteral("receiver-resume"),
        QStringLiteral("KiB in the input buffer below which reading resumes (stored; default 16)."),
        QStringLiteral("KB"));
    const QList<TLimitOption> limits = LimitOptions();
    QList<QCommandLineOption> all = {db,           port,           listen,         demo,
                                     demoDate,     maxClients,     maxFrame,       log,
                                     version,      typelib,        receiverPort,   receiverBuffer,
                                     startReceiver, controlProtocol, retryInterval, receiverListen,
                                     receiverAllow, receiverConnections, receiverPause, receiverResume};
    for (const TLimitOption& limit : limits)
        all.append(limit.Option);
    if (!line.Parse(arguments, all) || !ReadLimitOptions(limits, options, line))
        return false;
    // Started without a word: what it needs is the usage, not one complaint.
    if (arguments.isEmpty())
        return line.Fail(line.Parser().helpText());
    qint64 value = 0;
    if (!line.ReadInteger(port, 0, 65535, value))
        return false;
    options.Port = static_cast<quint16>(value);
    if (!line.ReadInteger(maxClients, 0, 1000000, value))
        return false;
    options.MaxClients = static_cast<int>(value);
    if (!line.ReadInteger(maxFrame, 64, 0xFFFFFFFFLL, value))
        return false;
    options.MaxFrame = static_cast<quint32>(value);
    if (!line.ReadInteger(version, 1, 1000000, value))
        return false;
    options.ServerVersion = static_cast<int>(value);
    auto readSetting = [&](const QCommandLineOption& o, qint64 min, qint64 max, std::optional<int>& out) {
        if (!line.IsSet(o))
            return true;
        qint64 v = 0;
        if (!line.ReadInteger(o, min, max, v))
            return false;
        out = static_cast<int>(v);
        return true;
    };
    if (!readSetting(receiverPort, 0, 65535, options.ReceiverPort) ||
        !readSetting(receiverBuffer, 256, 16 * 1024 * 1024, options.ReceiverBufferSize) ||
        !readSetting(controlProtocol, 0, 3, options.ControlProtocol) ||
        !readSetting(retryInterval, 10, 86400000, options.CommandRetryMs) ||
        !readSetting(receiverConnections, 1, 32000, options.ReceiverConnections) ||
        !readSetting(receiverPause, 1, 1024, options.ReceiverPauseKb) ||
        !readSetting(receiverResume, 1, 1024, options.ReceiverResumeKb))
        return false;
    if (line.IsSet(receiverListen)) {
        const QString address = line.Value(receiverListen).trimmed();
        if (QHostAddress probe; !address.isEmpty() && !probe.setAddress(address))
            return line.Fail(QStringLiteral("--receiver-listen needs an IP address."));
        options.ReceiverListenAddress = address;
    }
    if (line.IsSet(receiverAllow)) {
        TAddressList allowed;
        QString why;
        if (!TAddressList::Parse(line.Value(receiverAllow), allowed, &why))
            return line.Fail(QStringLiteral("--receiver-allow: %1").arg(why));
        options.ReceiverAllowed = line.Value(receiverAllow).trimmed();
    }
    options.StartReceiver = line.IsSet(startReceiver);
    if (line.IsSet(listen) && !options.ListenAddress.setAddress(line.Value(listen)))
        return line.Fail(QStringLiteral("--listen needs an IP address."));
    // The demo's passwords are in every copy of the documentation: it stays on this
    // machine unless the user asks for another address.
    if (line.IsSet(demo) && !line.IsSet(listen))
        options.ListenAddress = QHostAddress::LocalHost;
    if (line.IsSet(demoDate)) {
        options.DemoDate = QDate::fromString(line.Value(demoDate), Qt::ISODate);
        if (!options.DemoDate.isValid())
            return line.Fail(QStringLiteral("--demo-date needs a date written yyyy-mm-dd."));
    }
    options.Demo = line.IsSet(demo);
    options.DatabasePath = line.Value(db);
    options.LogPath = line.Value(log);
    options.TypeLibraryPath = line.Value(typelib);
    if (options.DatabasePath.isEmpty() && options.TypeLibraryPath.isEmpty())
        return line.Fail(QStringLiteral("--db FILE is required."));
    return true;
}

}  // namespace

bool ParseServerOptions(const QStringList& arguments, TServerOptions& options, QString& message, bool& help)
{
    TCommandLine line(QStringLiteral("telvane-server"),
                      QStringLiteral("Telvane Server: the reference call-accounting server."));
    const bool ok = ReadServerOptions(arguments, options, line);
    message = line.Message();
    help = line.HelpAsked();
    return ok;
}
