#include "server/ExchangeLink.h"

#include <QTcpSocket>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {

// How long a CR at the end of what arrived waits for the LF of a CR LF.
constexpr int kCarriageReturnWaitMs = 200;
constexpr qsizetype kMinCapacity = 256;
// A silent connection is probed after a minute, every 10 s, and given up after 6 probes.
constexpr int kKeepAliveIdleS = 60;
constexpr int kKeepAliveIntervalS = 10;
constexpr int kKeepAliveProbes = 6;

void EnableKeepAlive(QTcpSocket& socket)
{
    socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    const int fd = static_cast<int>(socket.socketDescriptor());
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepAliveIdleS, sizeof(int));
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepAliveIntervalS, sizeof(int));
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepAliveProbes, sizeof(int));
}

}  // namespace

TExchangeLink::TLevels TExchangeLink::LevelsOf(qsizetype capacity, int pauseKb, int resumeKb)
{
    TLevels levels;
    levels.Capacity = qMax(kMinCapacity, capacity);
    levels.PauseAbove = qBound<qsizetype>(1, qsizetype(pauseKb) * 1024, levels.Capacity);
    levels.ResumeBelow = qBound<qsizetype>(1, qsizetype(resumeKb) * 1024, levels.PauseAbove);
    return levels;
}

TExchangeLink::TExchangeLink(QTcpSocket* socket, const TLevels& levels, QObject* parent)
    : QObject(parent),
      socket_(socket),
      peer_(QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort())),
      levels_(levels),
      buffer_(levels.Capacity)
{
    socket_->setParent(this);
    // What Qt reads ahead of the buffer stays small, so a paused link leaves the rest in the
    // network, where it makes the sender wait.
    socket_->setReadBufferSize(qMin<qint64>(levels.Capacity, 64 * 1024));
    EnableKeepAlive(*socket_);
    carriageReturn_.setSingleShot(true);
    carriageReturn_.setInterval(kCarriageReturnWaitMs);
    connect(&carriageReturn_, &QTimer::timeout, this, [this] { Q_EMIT CarriageReturnWaited(this); });
    connect(socket_, &QTcpSocket::readyRead, this, [this] { Q_EMIT ReadyRead(this); });
    connect(socket_, &QTcpSocket::disconnected, this, [this] { Q_EMIT Disconnected(this); });
}

void TExchangeLink::UpdatePause()
{
    if (buffer_.Level() >= levels_.PauseAbove)
        paused_ = true;
    else if (buffer_.Level() < levels_.ResumeBelow)
        paused_ = false;
}

QByteArray TExchangeLink::Take(qsizetype room)
{
    if (room <= 0)
        return QByteArray();
    QByteArray data = socket_->read(room);
    buffer_.Append(data);  // fits: no more than the room was read
    UpdatePause();
    return data;
}

QByteArray TExchangeLink::Read()
{
    UpdatePause();
    // Paused, the lines waiting are worked off first; without one, the line must be able to
    // grow until it ends or fills the buffer.
    if (paused_ && buffer_.HasLine())
        return QByteArray();
    return Take(buffer_.Room());
}

QByteArray TExchangeLink::ReadRemaining()
{
    return Take(buffer_.Room());
}
