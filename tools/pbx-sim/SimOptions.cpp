#include "pbx-sim/SimOptions.h"

#include "schema/CallString.h"
#include "server/CommandLine.h"
#include "server/DemoData.h"

#include <QFile>

namespace {

bool ReadSimOptions(const QStringList& arguments, TSimOptions& options, TCommandLine& line)
{
    const QCommandLineOption host(QStringLiteral("host"), QStringLiteral("The server (default 127.0.0.1)."),
                                  QStringLiteral("HOST"), options.Host);
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("The receiver's port (default 9100)."), QStringLiteral("N"),
                                  QString::number(options.Port));
    const QCommandLineOption format(QStringLiteral("format"),
                                    QStringLiteral("The data format of the lines (default: the demo's)."),
                                    QStringLiteral("TEXT"));
    const QCommandLineOption formatFile(QStringLiteral("format-file"),
                                        QStringLiteral("Reads the data format from a file."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption rate(QStringLiteral("rate"),
                                  QStringLiteral("Lines per second (default 10; 0 as fast as possible)."),
                                  QStringLiteral("N"), QStringLiteral("10"));
    const QCommandLineOption count(QStringLiteral("count"),
                                   QStringLiteral("How many lines to send (default 0: until stopped)."),
                                   QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("The random seed (default 1)."),
                                  QStringLiteral("S"), QStringLiteral("1"));
    const QCommandLineOption garbage(
        QStringLiteral("garbage-every"),
        QStringLiteral("Every Nth line is a line that is no call (default 0: none)."), QStringLiteral("N"),
        QStringLiteral("0"));
    const QCommandLineOption stay(QStringLiteral("stay"),
                                  QStringLiteral("Stays connected after the last line and prints commands."));
    if (!line.Parse(arguments, {host, port, format, formatFile, rate, count, seed, garbage, stay}))
        return false;
    qint64 value = 0;
    if (!line.ReadInteger(port, 1, 65535, value))
        return false;
    options.Port = static_cast<quint16>(value);
    if (!line.ReadReal(rate, 0, 1000000, options.Rate))
        return false;
    if (!line.ReadInteger(count, 0, 1000000000000LL, value))
        return false;
    options.Count = value;
    if (!line.ReadInteger(seed, 0, 0xFFFFFFFFLL, value))
        return false;
    options.Seed = static_cast<quint32>(value);
    if (!line.ReadInteger(garbage, 0, 1000000, value))
        return false;
    options.GarbageEvery = static_cast<int>(value);
    options.Host = line.Value(host);
    options.Stay = line.IsSet(stay);
    if (line.IsSet(format) && line.IsSet(formatFile))
        return line.Fail(QStringLiteral("Give --format or --format-file, not both."));
    options.Format = DemoDataFormat();
    if (line.IsSet(format)) {
        options.Format = line.Value(format);
    } else if (line.IsSet(formatFile)) {
        QFile file(line.Value(formatFile));
        if (!file.open(QIODevice::ReadOnly))
            return line.Fail(
                QStringLiteral("Cannot read \"%1\": %2").arg(file.fileName(), file.errorString()));
        // A format written over several lines means the same on one, as the client keeps it.
        options.Format =
            QString::fromUtf8(file.readAll()).remove(QStringLiteral("\r\n")).remove(QLatin1Char('\n'));
    }
    TCallString parsed;
    if (!parsed.Parse(options.Format))
        return line.Fail(QStringLiteral("The data format is not valid: %1").arg(options.Format));
    return true;
}

}  // namespace

bool ParseSimOptions(const QStringList& arguments, TSimOptions& options, QString& message, bool& help)
{
    TCommandLine line(QStringLiteral("telvane-pbx-sim"),
                      QStringLiteral("telvane-pbx-sim: sends generated call lines to the receiver of Telvane "
                                     "Server, and prints them and the commands the server sends back."));
    const bool ok = ReadSimOptions(arguments, options, line);
    message = line.Message();
    help = line.HelpAsked();
    return ok;
}
