#pragma once
// One exchange connection of the receiver: its socket and an input buffer of its own, so
// the lines of two exchanges never mix, with the flow control that keeps the buffer within
// bounds. While the buffer holds more than the pause level and has lines to work off, the
// socket is not read: the exchange's further bytes wait in the network and TCP makes its
// sender wait; reading resumes once the buffer is below the resume level. Nothing that
// arrives is dropped. A line longer than the pause level is still read up to the buffer's
// capacity, where the receiver cuts it. Keep-alive probes end a connection whose exchange
// has gone without closing it, so that it does not hold a place for ever.

#include "server/LineBuffer.h"

#include <QObject>
#include <QTimer>

class QTcpSocket;

class TExchangeLink : public QObject {
    Q_OBJECT

public:
    struct TLevels {
        qsizetype Capacity = 64 * 1024;
        qsizetype PauseAbove = 48 * 1024;  // at most Capacity
        qsizetype ResumeBelow = 16 * 1024;  // at most PauseAbove
    };
    // The levels from the settings' values: capacity in bytes, the others in KiB, each
    // brought within its bounds.
    static TLevels LevelsOf(qsizetype capacity, int pauseKb, int resumeKb);

    // Takes the socket over (as a child).
    TExchangeLink(QTcpSocket* socket, const TLevels& levels, QObject* parent);

    const QString& Peer() const { return peer_; }
    QTcpSocket& Socket() { return *socket_; }
    TLineBuffer& Buffer() { return buffer_; }
    bool Paused() const { return paused_; }

    // Takes from the socket what the buffer should hold now; returns the bytes taken.
    QByteArray Read();
    // The input has ended or must end (the exchange closed, the receiver stops): takes what
    // the socket still has, as far as the buffer has room, pause or not.
    QByteArray ReadRemaining();
    // The timer of a CR at the end of the buffer that waits for its LF.
    QTimer& CarriageReturnTimer() { return carriageReturn_; }

Q_SIGNALS:
    void ReadyRead(TExchangeLink* link);
    void Disconnected(TExchangeLink* link);
    void CarriageReturnWaited(TExchangeLink* link);

private:
    QByteArray Take(qsizetype room);
    void UpdatePause();

    QTcpSocket* socket_;
    QString peer_;
    TLevels levels_;
    TLineBuffer buffer_;
    bool paused_ = false;
    QTimer carriageReturn_;
};
