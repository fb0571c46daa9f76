#include "SimOptions.h"

#include "CallString.h"
#include "DemoData.h"

#include <QCommandLineParser>
#include <QFile>

bool ParseSimOptions(const QStringList& arguments, TSimOptions& options, QString& message, bool& help)
{
    help = false;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("telvane-pbx-sim: sends generated call lines to the receiver of Telvane Server, "
                       "and prints them and the commands the server sends back."));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Shows this help."));
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
    parser.addOptions({helpOption, host, port, format, formatFile, rate, count, seed, garbage, stay});
    if (!parser.parse(QStringList{QStringLiteral("telvane-pbx-sim")} + arguments)) {
        message = parser.errorText();
        return false;
    }
    if (parser.isSet(helpOption)) {
        help = true;
        message = parser.helpText();
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        message = QStringLiteral("Unexpected argument \"%1\".").arg(parser.positionalArguments().first());
        return false;
    }
    auto number = [&](const QCommandLineOption& o, double min, double max, double& out) {
        bool ok = false;
        out = parser.value(o).toDouble(&ok);
        if (!ok || out < min || out > max) {
            message = QStringLiteral("--%1 needs a number from %2 to %3.")
                          .arg(o.names().constLast())
                          .arg(min)
                          .arg(max);
            return false;
        }
        return true;
    };
    double value = 0;
    if (!number(port, 1, 65535, value))
        return false;
    options.Port = static_cast<quint16>(value);
    if (!number(rate, 0, 1000000, options.Rate))
        return false;
    if (!number(count, 0, 1e12, value))
        return false;
    options.Count = static_cast<qint64>(value);
    if (!number(seed, 0, 4294967295.0, value))
        return false;
    options.Seed = static_cast<quint32>(value);
    if (!number(garbage, 0, 1000000, value))
        return false;
    options.GarbageEvery = static_cast<int>(value);
    options.Host = parser.value(host);
    options.Stay = parser.isSet(stay);
    if (parser.isSet(format) && parser.isSet(formatFile)) {
        message = QStringLiteral("Give --format or --format-file, not both.");
        return false;
    }
    options.Format = DemoDataFormat();
    if (parser.isSet(format)) {
        options.Format = parser.value(format);
    } else if (parser.isSet(formatFile)) {
        QFile file(parser.value(formatFile));
        if (!file.open(QIODevice::ReadOnly)) {
            message = QStringLiteral("Cannot read \"%1\": %2").arg(file.fileName(), file.errorString());
            return false;
        }
        // A format written over several lines means the same on one, as the client keeps it.
        options.Format =
            QString::fromUtf8(file.readAll()).remove(QStringLiteral("\r\n")).remove(QLatin1Char('\n'));
    }
    TCallString parsed;
    if (!parsed.Parse(options.Format)) {
        message = QStringLiteral("The data format is not valid: %1").arg(options.Format);
        return false;
    }
    return true;
}
