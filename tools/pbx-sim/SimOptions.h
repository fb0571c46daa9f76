#pragma once
// The command line of telvane-pbx-sim.

#include <QString>
#include <QStringList>

struct TSimOptions {
    QString Host = QStringLiteral("127.0.0.1");
    quint16 Port = 9100;
    QString Format;    // the data format's text
    double Rate = 10;  // lines per second; 0 as fast as possible
    qint64 Count = 0;  // 0: until stopped
    quint32 Seed = 1;
    int GarbageEvery = 0;  // every Nth line is no call; 0 never
    bool Stay = false;     // after the last line, keep reading the server's commands
};

// Parses the arguments (without the program name). Returns false with a message for the
// user when they are wrong or when --help was asked (help is then true).
bool ParseSimOptions(const QStringList& arguments, TSimOptions& options, QString& message, bool& help);
