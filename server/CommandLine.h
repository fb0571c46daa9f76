#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

// The command line of our programs (the server, the exchange simulator): one way of asking
// for help, of refusing stray arguments and of saying which number an option needs.
class TCommandLine {
public:
    TCommandLine(QString program, const QString& description);

    // Adds -h/--help to the options and parses. False when the programme should not go on:
    // with the help text in Message() and HelpAsked() true, or with the error in Message().
    bool Parse(const QStringList& arguments, const QList<QCommandLineOption>& options);

    // An option's value as a whole number (or a real) from min to max; false with the
    // message "--NAME needs a number from MIN to MAX." otherwise.
    bool ReadInteger(const QCommandLineOption& option, qint64 min, qint64 max, qint64& out);
    bool ReadReal(const QCommandLineOption& option, double min, double max, double& out);

    // Sets the message of a failure found by the programme itself; always false.
    bool Fail(const QString& message);

    const QCommandLineParser& Parser() const { return parser_; }
    bool IsSet(const QCommandLineOption& option) const { return parser_.isSet(option); }
    QString Value(const QCommandLineOption& option) const { return parser_.value(option); }
    bool HelpAsked() const { return helpAsked_; }
    const QString& Message() const { return message_; }

private:
    bool OutOfRange(const QCommandLineOption& option, const QString& min, const QString& max);

    QString program_;
    QCommandLineParser parser_;
    QString message_;
    bool helpAsked_ = false;
};
