#include "pbx-sim/PbxSimulator.h"

#include <cstdio>

namespace {

// Generated lines wait in the socket up to this much when there is no rate to keep.
constexpr qint64 kMaxBacklog = 1024 * 1024;
constexpr int kTickMs = 10;

QString WithoutLineBreak(QString line)
{
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line;
}

}  // namespace

void PrintLine(const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

TPbxSimulator::TPbxSimulator(TSimOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)), generator_(options_.Seed)
{
    format_.Parse(options_.Format);
    connect(&socket_, &QTcpSocket::connected, this, [this] {
        PrintLine(QStringLiteral("connected to %1:%2").arg(options_.Host).arg(options_.Port));
        clock_.start();
        timer_.start(options_.Rate > 0 ? kTickMs : 0);
        SendDue();
    });
    connect(&socket_, &QTcpSocket::readyRead, this, &TPbxSimulator::OnReadyRead);
    connect(&socket_, &QTcpSocket::disconnected, this, &TPbxSimulator::OnDisconnected);
    connect(&socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError)
            return;  // disconnected follows
        PrintLine(QStringLiteral("error: %1:%2: %3")
                      .arg(options_.Host)
                      .arg(options_.Port)
                      .arg(socket_.errorString()));
        Finish(1);
    });
    connect(&timer_, &QTimer::timeout, this, &TPbxSimulator::SendDue);
}

void TPbxSimulator::Start()
{
    socket_.connectToHost(options_.Host, options_.Port);
}

QString TPbxSimulator::LineFor(qint64 number, TDateTime now)
{
    if (options_.GarbageEvery > 0 && number % options_.GarbageEvery == 0)
        return generator_.NextGarbageLine() + QStringLiteral("\r\n");
    // The exchange reports a call a moment after it ended.
    TCallRecord record = generator_.NextCall(IncSeconds(now, -(number % 3)));
    TCallGenerator::FitToFormat(record, format_);
    QString line = format_.Generate(record);
    if (!line.endsWith(QLatin1Char('\n')) && !line.endsWith(QLatin1Char('\r')))
        line += QStringLiteral("\r\n");
    return line;
}

void TPbxSimulator::SendDue()
{
    if (allSent_ || socket_.state() != QAbstractSocket::ConnectedState)
        return;
    qint64 due = sent_ + 1000;
    if (options_.Rate > 0)
        due = static_cast<qint64>(static_cast<double>(clock_.elapsed()) * options_.Rate / 1000.0) + 1;
    else if (socket_.bytesToWrite() > kMaxBacklog)
        return;
    if (options_.Count > 0)
        due = qMin(due, options_.Count);
    QByteArray out;
    const TDateTime now = Now();
    while (sent_ < due) {
        const QString line = LineFor(++sent_, now);
        const bool garbage = options_.GarbageEvery > 0 && sent_ % options_.GarbageEvery == 0;
        garbage_ += garbage;
        PrintLine(QStringLiteral("%1 %2: %3")
                      .arg(garbage ? QStringLiteral("garbage") : QStringLiteral("sent"))
                      .arg(sent_)
                      .arg(WithoutLineBreak(line)));
        out += line.toLatin1();
    }
    if (!out.isEmpty())
        socket_.write(out);
    if (options_.Count > 0 && sent_ >= options_.Count) {
        allSent_ = true;
        timer_.stop();
        PrintLine(QStringLiteral("sent %1 lines (%2 not calls)").arg(sent_).arg(garbage_));
        if (!options_.Stay)
            socket_.disconnectFromHost();  // after what is still to be written
    }
}

void TPbxSimulator::OnReadyRead()
{
    incoming_ += socket_.readAll();
    while (true) {
        const qsizetype end = incoming_.indexOf('\n');
        if (end < 0)
            break;
        const QString command = WithoutLineBreak(QString::fromLatin1(incoming_.left(end + 1)));
        incoming_.remove(0, end + 1);
        PrintLine(QStringLiteral("command: %1").arg(command));
    }
}

void TPbxSimulator::OnDisconnected()
{
    if (!incoming_.isEmpty())
        PrintLine(QStringLiteral("command: %1").arg(WithoutLineBreak(QString::fromLatin1(incoming_))));
    if (!allSent_)
        PrintLine(QStringLiteral("the server closed the connection after %1 lines").arg(sent_));
    Finish(allSent_ ? 0 : 1);
}

void TPbxSimulator::Finish(int exitCode)
{
    if (finished_)
        return;
    finished_ = true;
    timer_.stop();
    Q_EMIT Finished(exitCode);
}
