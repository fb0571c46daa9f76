#include "server/Receiver.h"

#include "server/EventLog.h"
#include "server/Settings.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace {

// Lines stored per turn of the event loop (one transaction each), so that a backlog does
// not keep the clients waiting.
constexpr int kLinesPerTurn = 500;
// How long a CR at the end of what arrived waits for the LF of a CR LF.
constexpr int kCarriageReturnWaitMs = 200;
constexpr qsizetype kMinBufferSize = 256;

}  // namespace

TReceiver::TReceiver(TDatabase& db, const QHostAddress& listenAddress, TClientNotifier& notifier)
    : QObject(nullptr),
      db_(db),
      listenAddress_(listenAddress),
      notifier_(notifier),
      reader_(db),
      buffer_(qMax<qsizetype>(kMinBufferSize,
                              TSettings(db).Int(setting::ReceiverBufferSize, DefaultReceiverBufferSize)))
{
    processTimer_.setSingleShot(true);
    processTimer_.setInterval(0);
    connect(&processTimer_, &QTimer::timeout, this, [this] { ProcessLines(TTake::Lines); });
    carriageReturnTimer_.setSingleShot(true);
    carriageReturnTimer_.setInterval(kCarriageReturnWaitMs);
    connect(&carriageReturnTimer_, &QTimer::timeout, this, [this] { ProcessLines(TTake::CarriageReturn); });
}

TReceiver::~TReceiver() = default;

quint16 TReceiver::Port() const
{
    return listener_ ? listener_->serverPort() : 0;
}

QString TReceiver::StateText() const
{
    if (!Running())
        return QStringLiteral("Receiver stopped");
    if (!exchange_)
        return QStringLiteral("Receiver listening on port %1").arg(Port());
    return QStringLiteral("Receiver on port %1: exchange connected from %2").arg(Port()).arg(exchangePeer_);
}

void TReceiver::Start()
{
    if (Running())
        return;
    TSettings settings(db_);
    const int port = settings.Int(setting::ReceiverPort, DefaultReceiverPort);
    buffer_.SetCapacity(qMax<qsizetype>(
        kMinBufferSize, settings.Int(setting::ReceiverBufferSize, DefaultReceiverBufferSize)));
    auto* listener = new QTcpServer(this);
    if (port < 0 || port > 65535 || !listener->listen(listenAddress_, static_cast<quint16>(port))) {
        const QString why = QStringLiteral("The receiver cannot listen on port %1: %2")
                                .arg(port)
                                .arg(listener->errorString());
        delete listener;
        notifier_.Notice(category::Receiver, TSeverity::Error, why);
        throw Exception(why);
    }
    listener_ = listener;
    connect(listener_, &QTcpServer::newConnection, this, &TReceiver::OnNewConnection);
    readerStale_ = true;
    notifier_.Notice(category::Receiver, TSeverity::Information,
                     QStringLiteral("Receiver started: listening for call data on port %1").arg(Port()));
    BroadcastState();
    notifier_.Broadcast(callback::BufferSize, {int(buffer_.Capacity())});
    ReportLevel();
}

void TReceiver::Stop()
{
    if (!Running())
        return;
    if (exchange_)
        DetachExchange(QStringLiteral("the receiver was stopped"), true);
    listener_->close();
    listener_->deleteLater();
    listener_ = nullptr;
    notifier_.Notice(category::Receiver, TSeverity::Information, QStringLiteral("Receiver stopped"));
    BroadcastState();
    ReportLevel();
}

void TReceiver::Shutdown()
{
    processTimer_.stop();
    carriageReturnTimer_.stop();
    if (exchange_)
        DetachExchange(QStringLiteral("the server stops"), false);
    while (!buffer_.IsEmpty())
        ProcessLines(TTake::All);
    if (listener_) {
        listener_->close();
        delete listener_;
        listener_ = nullptr;
        notifier_.LogEvent(category::Receiver, TSeverity::Information, QStringLiteral("Receiver stopped"));
    }
}

bool TReceiver::WriteLine(const QString& text)
{
    if (!exchange_ || exchange_->state() != QAbstractSocket::ConnectedState)
        return false;
    return exchange_->write(text.toLatin1() + "\r\n") >= 0;
}

void TReceiver::SendStateTo(TClientCallbacks& client) const
{
    client.Notify(callback::ReceiverState, {StateText(), Running()});
    client.Notify(callback::BufferSize, {int(buffer_.Capacity())});
    client.Notify(callback::BufferLevel, {int(buffer_.Level())});
}

void TReceiver::OnNewConnection()
{
    while (QTcpSocket* socket = listener_->nextPendingConnection()) {
        // The newest connection wins: an exchange that restarted leaves its old connection
        // half open, and the receiver must not wait for that one to time out.
        if (exchange_)
            DetachExchange(QStringLiteral("a new connection replaced it"), true);
        socket->setParent(this);  // it may outlive the listener while its last commands drain
        exchange_ = socket;
        exchangePeer_ = QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
        connect(socket, &QTcpSocket::readyRead, this, &TReceiver::OnReadyRead);
        connect(socket, &QTcpSocket::disconnected, this,
                [this] { DetachExchange(QStringLiteral("the exchange closed the connection"), true); });
        notifier_.Notice(category::Receiver, TSeverity::Information,
                         QStringLiteral("Exchange connected from %1").arg(exchangePeer_));
        BroadcastState();
        Q_EMIT ExchangeAttachedChanged(true);
        if (socket->bytesAvailable() > 0)
            OnReadyRead();
    }
}

void TReceiver::OnReadyRead()
{
    if (!exchange_)
        return;
    ReadFrom(exchange_);
    ScheduleProcessing();
}

void TReceiver::ReadFrom(QTcpSocket* socket)
{
    const QByteArray data = socket->readAll();
    if (data.isEmpty())
        return;
    const qsizetype taken = buffer_.Append(data);
    if (taken > 0)
        notifier_.Broadcast(callback::RawInput, {QString::fromLatin1(data.constData(), taken)});
    if (taken < data.size()) {
        const qint64 dropped = data.size() - taken;
        droppedUnlogged_ += dropped;
        notifier_.Broadcast(callback::BytesDropped, {int(dropped)});
    }
    ReportLevel();
}

void TReceiver::DetachExchange(const QString& reason, bool tell)
{
    QTcpSocket* socket = std::exchange(exchange_, nullptr);
    socket->disconnect(this);
    ReadFrom(socket);
    // The rest of its input, before another exchange's bytes can follow it.
    while (!buffer_.IsEmpty())
        ProcessLines(TTake::All);
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        socket->deleteLater();
    } else {
        // Commands written last still reach the exchange.
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        socket->disconnectFromHost();
    }
    const QString text = QStringLiteral("Exchange %1 disconnected: %2").arg(exchangePeer_, reason);
    if (!tell) {
        notifier_.LogEvent(category::Receiver, TSeverity::Information, text);
        return;
    }
    notifier_.Notice(category::Receiver, TSeverity::Information, text);
    BroadcastState();
    Q_EMIT ExchangeAttachedChanged(false);
}

void TReceiver::ScheduleProcessing()
{
    if (!processTimer_.isActive())
        processTimer_.start();
}

void TReceiver::ProcessLines(TTake take)
{
    QList<QByteArray> lines;
    QByteArray line;
    while (lines.size() < kLinesPerTurn && buffer_.TakeLine(line, take != TTake::Lines))
        lines.append(line);
    // A line that fills the whole buffer can never end in it: it is cut there.
    if ((take == TTake::All || buffer_.IsFull()) && lines.size() < kLinesPerTurn && !buffer_.IsEmpty())
        lines.append(buffer_.TakeRest());
    StoreLines(lines);
    const bool more = lines.size() == kLinesPerTurn;
    if (more)
        ScheduleProcessing();
    if (!more && buffer_.EndsWithCarriageReturn())
        carriageReturnTimer_.start();
    else
        carriageReturnTimer_.stop();
    SetBusy(more);
    ReportLevel();
    LogDroppedBytes();
}

void TReceiver::StoreLines(const QList<QByteArray>& lines)
{
    if (lines.isEmpty())
        return;
    if (readerStale_) {
        reader_.Reload();
        readerStale_ = false;
    }
    const TDateTime received = Now();
    try {
        TTransaction tx(db_);
        for (const QByteArray& line : lines) {
            const TCallReader::TResult result = reader_.Read(QString::fromLatin1(line), received);
            switch (result.Outcome) {
                case TCallReader::TOutcome::Stored:
                case TCallReader::TOutcome::Blank:
                    break;
                case TCallReader::TOutcome::Invalid:
                    notifier_.LogEvent(category::Invalid, TSeverity::Warning, result.Message);
                    break;
                case TCallReader::TOutcome::NotConfigured:
                    notifier_.LogEvent(category::Receiver, TSeverity::Warning, result.Message);
                    break;
                case TCallReader::TOutcome::Failed:
                    notifier_.LogEvent(category::Receiver, TSeverity::Error, result.Message);
                    readerStale_ = true;  // the exchange in use may have gone
                    break;
            }
        }
        tx.Commit();
    } catch (const Exception& e) {
        if (observer_)
            observer_->CallsRolledBack();
        notifier_.LogEvent(
            category::Receiver, TSeverity::Error,
            QStringLiteral("%1 received lines could not be stored: %2").arg(lines.size()).arg(e.Message()));
        return;
    }
    if (observer_)
        observer_->CallsCommitted();
}

void TReceiver::SetCallObserver(TStoredCallObserver* observer)
{
    observer_ = observer;
    reader_.SetObserver(observer);
}

void TReceiver::ReportLevel()
{
    if (buffer_.Level() == reportedLevel_)
        return;
    reportedLevel_ = buffer_.Level();
    notifier_.Broadcast(callback::BufferLevel, {int(reportedLevel_)});
}

void TReceiver::BroadcastState()
{
    notifier_.Broadcast(callback::ReceiverState, {StateText(), Running()});
}

void TReceiver::SetBusy(bool busy)
{
    if (busy && statusId_ == 0) {
        statusId_ = notifier_.NewStatusId();
        notifier_.Broadcast(callback::StatusAdded, {QStringLiteral("Storing received calls..."), statusId_});
    } else if (!busy && statusId_ != 0) {
        notifier_.Broadcast(callback::StatusCleared, {statusId_});
        statusId_ = 0;
    }
}

void TReceiver::LogDroppedBytes()
{
    if (droppedUnlogged_ == 0)
        return;
    notifier_.Notice(
        category::Receiver, TSeverity::Warning,
        QStringLiteral("The input buffer (%1 bytes) was full: %2 bytes from the exchange were dropped.")
            .arg(buffer_.Capacity())
            .arg(droppedUnlogged_));
    droppedUnlogged_ = 0;
}
