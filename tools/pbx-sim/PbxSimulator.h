#pragma once
// An exchange for the receiver: connects to the server, sends call lines at the chosen
// rate and prints each one, and prints the commands the server writes back.

#include "pbx-sim/CallGenerator.h"
#include "pbx-sim/SimOptions.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>

class TPbxSimulator : public QObject {
    Q_OBJECT

public:
    explicit TPbxSimulator(TSimOptions options, QObject* parent = nullptr);

    void Start();
    // The line (with its line break) sent as the given line number, 1 for the first.
    QString LineFor(qint64 number, TDateTime now);

Q_SIGNALS:
    void Finished(int exitCode);

private:
    void SendDue();
    void OnReadyRead();
    void OnDisconnected();
    void Finish(int exitCode);

    TSimOptions options_;
    TCallString format_;
    TCallGenerator generator_;
    QTcpSocket socket_;
    QTimer timer_;
    QElapsedTimer clock_;
    QByteArray incoming_;
    qint64 sent_ = 0;
    qint64 garbage_ = 0;
    bool allSent_ = false;
    bool finished_ = false;
};

// One line of output, flushed at once so that a reader sees it as it happens.
void PrintLine(const QString& text);
