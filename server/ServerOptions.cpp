#include "ServerOptions.h"

#include <QCommandLineParser>
#include <QFileInfo>

QString TServerOptions::EffectiveLogPath() const
{
    if (!LogPath.isEmpty())
        return LogPath;
    const QFileInfo db(DatabasePath);
    return db.absolutePath() + QLatin1Char('/') + db.completeBaseName() + QStringLiteral(".log");
}

bool ParseServerOptions(const QStringList& arguments, TServerOptions& options, QString& message)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Telvane Server: the reference call-accounting server."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    const QCommandLineOption db(QStringLiteral("db"),
                                QStringLiteral("The database file (created when missing)."),
                                QStringLiteral("FILE"));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("The TCP port (default 211; 0 picks a free one)."),
                                  QStringLiteral("N"), QString::number(DefaultListenPort));
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    QStringLiteral("The address to listen on (default: all)."),
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
    parser.addOptions({help, db, port, listen, demo, demoDate, maxClients, maxFrame, log, version, typelib,
                       receiverPort, receiverBuffer, startReceiver, controlProtocol, retryInterval});
    if (!parser.parse(QStringList{QStringLiteral("telvane-server")} + arguments)) {
        message = parser.errorText();
        return false;
    }
    if (parser.isSet(help)) {
        message = parser.helpText();
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        message = QStringLiteral("Unexpected argument \"%1\".").arg(parser.positionalArguments().first());
        return false;
    }
    auto readInt = [&](const QCommandLineOption& o, qint64 min, qint64 max, qint64& out) {
        bool ok = false;
        out = parser.value(o).toLongLong(&ok);
        if (!ok || out < min || out > max) {
            message = QStringLiteral("--%1 needs a number from %2 to %3.")
                          .arg(o.names().constLast())
                          .arg(min)
                          .arg(max);
            return false;
        }
        return true;
    };
    qint64 value = 0;
    if (!readInt(port, 0, 65535, value))
        return false;
    options.Port = static_cast<quint16>(value);
    if (!readInt(maxClients, 0, 1000000, value))
        return false;
    options.MaxClients = static_cast<int>(value);
    if (!readInt(maxFrame, 64, 0xFFFFFFFFLL, value))
        return false;
    options.MaxFrame = static_cast<quint32>(value);
    if (!readInt(version, 1, 1000000, value))
        return false;
    options.ServerVersion = static_cast<int>(value);
    auto readSetting = [&](const QCommandLineOption& o, qint64 min, qint64 max, std::optional<int>& out) {
        if (!parser.isSet(o))
            return true;
        qint64 v = 0;
        if (!readInt(o, min, max, v))
            return false;
        out = static_cast<int>(v);
        return true;
    };
    if (!readSetting(receiverPort, 0, 65535, options.ReceiverPort) ||
        !readSetting(receiverBuffer, 256, 16 * 1024 * 1024, options.ReceiverBufferSize) ||
        !readSetting(controlProtocol, 0, 3, options.ControlProtocol) ||
        !readSetting(retryInterval, 10, 86400000, options.CommandRetryMs))
        return false;
    options.StartReceiver = parser.isSet(startReceiver);
    if (parser.isSet(listen) && !options.ListenAddress.setAddress(parser.value(listen))) {
        message = QStringLiteral("--listen needs an IP address.");
        return false;
    }
    if (parser.isSet(demoDate)) {
        options.DemoDate = QDate::fromString(parser.value(demoDate), Qt::ISODate);
        if (!options.DemoDate.isValid()) {
            message = QStringLiteral("--demo-date needs a date written yyyy-mm-dd.");
            return false;
        }
    }
    options.Demo = parser.isSet(demo);
    options.DatabasePath = parser.value(db);
    options.LogPath = parser.value(log);
    options.TypeLibraryPath = parser.value(typelib);
    if (options.DatabasePath.isEmpty() && options.TypeLibraryPath.isEmpty()) {
        message = QStringLiteral("--db FILE is required.");
        return false;
    }
    return true;
}
