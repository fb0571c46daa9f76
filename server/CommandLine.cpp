#include "server/CommandLine.h"

TCommandLine::TCommandLine(QString program, const QString& description) : program_(std::move(program))
{
    parser_.setApplicationDescription(description);
}

bool TCommandLine::Parse(const QStringList& arguments, const QList<QCommandLineOption>& options)
{
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    parser_.addOption(help);
    parser_.addOptions(options);
    if (!parser_.parse(QStringList{program_} + arguments))
        return Fail(parser_.errorText());
    if (parser_.isSet(help)) {
        helpAsked_ = true;
        return Fail(parser_.helpText());
    }
    if (!parser_.positionalArguments().isEmpty())
        return Fail(QStringLiteral("Unexpected argument \"%1\".").arg(parser_.positionalArguments().first()));
    return true;
}

bool TCommandLine::ReadInteger(const QCommandLineOption& option, qint64 min, qint64 max, qint64& out)
{
    bool ok = false;
    out = parser_.value(option).toLongLong(&ok);
    if (!ok || out < min || out > max)
        return OutOfRange(option, QString::number(min), QString::number(max));
    return true;
}

bool TCommandLine::ReadReal(const QCommandLineOption& option, double min, double max, double& out)
{
    bool ok = false;
    out = parser_.value(option).toDouble(&ok);
    if (!ok || out < min || out > max)
        return OutOfRange(option, QString::number(min, 'g', 15), QString::number(max, 'g', 15));
    return true;
}

bool TCommandLine::Fail(const QString& message)
{
    message_ = message;
    return false;
}

bool TCommandLine::OutOfRange(const QCommandLineOption& option, const QString& min, const QString& max)
{
    return Fail(
        QStringLiteral("--%1 needs a number from %2 to %3.").arg(option.names().constLast(), min, max));
}
