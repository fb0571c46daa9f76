#include "server/ServerOptions.h"

#include "server/CommandLine.h"

#include <QFileInfo>

QString TServerOptions::EffectiveLogPath() const
{
    if (!LogPath.isEmpty())
        return LogPath;
    const QFileInfo db(DatabasePath);
    return db.absolutePath() + QLatin1Char('/') + db.completeBaseName() + QStringLiteral(".log");
}

namespace {

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
    if (!line.Parse(arguments, {db, port, listen, demo, demoDate, maxClients, maxFrame, log, version, typelib,
                                receiverPort, receiverBuffer, startReceiver, controlProtocol, retryInterval}))
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
        !readSetting(retryInterval, 10, 86400000, options.CommandRetryMs))
        return false;
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
