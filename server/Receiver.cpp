#include "server/Receiver.h"

#include "server/EventLog.h"
#include "server/Settings.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace {

// Lines stored per turn of the event loop (one transaction each), so that a backlog does
// not keep the clients waiting.
constexpr int kLinesPerTurn = 500;
// What an ending connection may still deliver: a peer that keeps sending while the
// receiver stops must not keep it from stopping.
constexpr qint64 kMaxDrainBytes = 64 * 1024 * 1024;

}  // namespace

TReceiver::TReceiver(TDatabase& db, const QHostAddress& serverAddress, TClientNotifier& notifier,
                     int refusedPerMinute)
    : QObject(nullptr),
      db_(db),
      serverAddress_(serverAddress),
      notifier_(notifier),
      reader_(db),
      refused_(
          refusedPerMinute,
          [this](const QString& text) { notifier_.LogEvent(category::Receiver, TSeverity::Warning, text); },
          QStringLiteral("refused exchange connections"))
{
    processTimer_.setSingleShot(true);
    processTimer_.setInterval(0);
    connect(&processTimer_, &QTimer::timeout, this, &TReceiver::ProcessTurn);
    levels_ = TExchangeLink::LevelsOf(TSettings(db).Int(setting::ReceiverBufferSize, DefaultReceiverBufferSize),
                                      DefaultReceiverPauseKb, DefaultReceiverResumeKb);
}

TReceiver::~TReceiver() = default;

quint16 TReceiver::Port() const
{
    return listener_ ? listener_->serverPort() : 0;
}

qsizetype TReceiver::BufferLevel() const
{
    qsizetype level = 0;
    for (TExchangeLink* link : links_)
        level += link->Buffer().Level();
    return level;
}

QString TReceiver::StateText() const
{
    if (!Running())
        return QStringLiteral("Receiver stopped");
    if (links_.isEmpty())
        return QStringLiteral("Receiver listening on port %1").arg(Port());
    if (links_.size() == 1)
        return QStringLiteral("Receiver on port %1: exchange connected from %2").arg(Port()).arg(links_.first()->Peer());
    QStringList peers;
    for (TExchangeLink* link : links_)
        peers << link->Peer();
    return QStringLiteral("Receiver on port %1: exchanges connected from %2")
        .arg(Port())
        .arg(peers.join(QStringLiteral(", ")));
}

// The settings in force until the receiver is started again.
void TReceiver::ReadSettings()
{
    TSettings settings(db_);
    levels_ = TExchangeLink::LevelsOf(settings.Int(setting::ReceiverBufferSize, DefaultReceiverBufferSize),
                                      settings.Int(setting::ReceiverPauseKb, DefaultReceiverPauseKb),
                                      settings.Int(setting::ReceiverResumeKb, DefaultReceiverResumeKb));
    maxConnections_ = qMax(1, settings.Int(setting::ReceiverConnections, DefaultReceiverConnections));
    QString why;
    if (!TAddressList::Parse(settings.String(setting::ReceiverAllowed), allowed_, &why))
        throw Exception(QStringLiteral("The receiver's allowed addresses are not valid: %1").arg(why));
}

void TReceiver::Start()
{
    if (Running())
        return;
    TSettings settings(db_);
    const int port = settings.Int(setting::ReceiverPort, DefaultReceiverPort);
    QHostAddress address = serverAddress_;
    const QString configured = settings.String(setting::ReceiverListenAddress).trimmed();
    auto* listener = new QTcpServer(this);
    QString why;
    try {
        ReadSettings();
        if (!configured.isEmpty() && !address.setAddress(configured))
            why = QStringLiteral("\"%1\" is no IP address").arg(ShortQuote(configured));
    } catch (const Exception& e) {
        why = e.Message();
    }
    if (why.isEmpty() && (port < 0 || port > 65535 || !listener->listen(address, static_cast<quint16>(port))))
        why = listener->errorString();
    if (!why.isEmpty()) {
        delete listener;
        const QString text = QStringLiteral("The receiver cannot listen on port %1: %2").arg(port).arg(why);
        notifier_.Notice(category::Receiver, TSeverity::Error, text);
        throw Exception(text);
    }
    listener_ = listener;
    connect(listener_, &QTcpServer::newConnection, this, &TReceiver::OnNewConnection);
    readerStale_ = true;
    notifier_.Notice(category::Receiver, TSeverity::Information,
                     QStringLiteral("Receiver started: listening for call data on port %1").arg(Port()));
    BroadcastState();
    notifier_.Broadcast(callback::BufferSize, {int(levels_.Capacity)});
    ReportLevel();
}

void TReceiver::Stop()
{
    if (!Running())
        return;
    while (!links_.isEmpty())
        Detach(links_.first(), QStringLiteral("the receiver was stopped"), true);
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
    while (!links_.isEmpty())
        Detach(links_.first(), QStringLiteral("the server stops"), false);
    if (listener_) {
        listener_->close();
        delete listener_;
        listener_ = nullptr;
        notifier_.LogEvent(category::Receiver, TSeverity::Information, QStringLiteral("Receiver stopped"));
    }
}

bool TReceiver::WriteLine(const QString& text)
{
    if (links_.isEmpty())
        return false;
    QTcpSocket& socket = links_.first()->Socket();
    if (socket.state() != QAbstractSocket::ConnectedState)
        return false;
    return socket.write(text.toLatin1() + "\r\n") >= 0;
}

void TReceiver::SendStateTo(TClientCallbacks& client) const
{
    client.Notify(callback::ReceiverState, {StateText(), Running()});
    client.Notify(callback::BufferSize, {int(levels_.Capacity)});
    client.Notify(callback::BufferLevel, {int(BufferLevel())});
}

void TReceiver::OnNewConnection()
{
    while (QTcpSocket* socket = listener_->nextPendingConnection()) {
        const QString refusal = Refusal(*socket);
        if (refusal.isEmpty()) {
            Attach(socket);
            continue;
        }
        // The exchange in use keeps its connection: a peer that merely connects must neither
        // replace it nor get its lines stored.
        refused_.Add(QStringLiteral("The receiver refused a connection from %1: %2")
                         .arg(socket->peerAddress().toString(), refusal));
        socket->abort();
        socket->deleteLater();
    }
}

QString TReceiver::Refusal(const QTcpSocket& socket) const
{
    if (!allowed_.Allows(socket.peerAddress()))
        return QStringLiteral("the address is not among the allowed ones");
    if (links_.size() >= maxConnections_)
        return QStringLiteral("%1 exchange connection(s) are attached, the most allowed").arg(links_.size());
    return QString();
}

void TReceiver::Attach(QTcpSocket* socket)
{
    // The link may outlive the listener while its last commands drain.
    auto* link = new TExchangeLink(socket, levels_, this);
    links_.append(link);
    connect(link, &TExchangeLink::ReadyRead, this, &TReceiver::OnReadyRead);
    connect(link, &TExchangeLink::Disconnected, this, [this](TExchangeLink* l) {
        Detach(l, QStringLiteral("the exchange closed the connection"), true);
    });
    connect(link, &TExchangeLink::CarriageReturnWaited, this,
            [this](TExchangeLink* l) { ProcessLink(l, TTake::CarriageReturn); });
    notifier_.Notice(category::Receiver, TSeverity::Information,
                     QStringLiteral("Exchange connected from %1").arg(link->Peer()));
    BroadcastState();
    Q_EMIT ExchangeAttachedChanged(true);
    if (socket->bytesAvailable() > 0)
        OnReadyRead(link);
}

void TReceiver::OnReadyRead(TExchangeLink* link)
{
    ReadFrom(link);
    ScheduleProcessing();
}

void TReceiver::ReadFrom(TExchangeLink* link, bool remaining)
{
    const QByteArray data = remaining ? link->ReadRemaining() : link->Read();
    if (!data.isEmpty())
        notifier_.Broadcast(callback::RawInput, {QString::fromLatin1(data)});
    ReportLevel();
}

void TReceiver::Detach(TExchangeLink* link, const QString& reason, bool tell)
{
    if (!links_.removeOne(link))
        return;
    link->disconnect(this);
    link->CarriageReturnTimer().stop();
    // The rest of its input, before another exchange's bytes can follow it.
    ProcessLink(link, TTake::All);
    QTcpSocket& socket = link->Socket();
    if (socket.state() == QAbstractSocket::UnconnectedState) {
        link->deleteLater();
    } else {
        // Commands written last still reach the exchange.
        connect(&socket, &QTcpSocket::disconnected, link, &QObject::deleteLater);
        socket.disconnectFromHost();
    }
    const QString text = QStringLiteral("Exchange %1 disconnected: %2").arg(link->Peer(), reason);
    if (!tell) {
        notifier_.LogEvent(category::Receiver, TSeverity::Information, text);
        return;
    }
    notifier_.Notice(category::Receiver, TSeverity::Information, text);
    BroadcastState();
    ReportLevel();
    Q_EMIT ExchangeAttachedChanged(!links_.isEmpty());
}

void TReceiver::ScheduleProcessing()
{
    if (!processTimer_.isActive())
        processTimer_.start();
}

// One turn over every connection, the first one taken turning with every turn so that no
// exchange's backlog keeps another's lines waiting.
void TReceiver::ProcessTurn()
{
    QList<QByteArray> lines;
    if (!links_.isEmpty()) {
        links_.append(links_.takeFirst());
        for (TExchangeLink* link : std::as_const(links_))
            TakeLines(link, TTake::Lines, lines);
    }
    StoreLines(lines);
    const bool more = lines.size() >= kLinesPerTurn;
    SetBusy(more);
    AfterTaking(more);
}

// One connection's lines: a CR that waited long enough for its LF ends its line; an ended
// input is read to its end (within a bound) and its rest is the last line.
void TReceiver::ProcessLink(TExchangeLink* link, TTake take)
{
    if (take != TTake::All) {
        QList<QByteArray> lines;
        TakeLines(link, take, lines);
        StoreLines(lines);
        AfterTaking(false);
        return;
    }
    QTcpSocket& socket = link->Socket();
    for (qint64 drained = 0; drained < kMaxDrainBytes;) {
        if (socket.bytesAvailable() == 0 && socket.state() == QAbstractSocket::ConnectedState)
            socket.waitForReadyRead(0);  // what waits in the system, without waiting for more
        const qsizetype before = link->Buffer().Level();
        ReadFrom(link, true);
        drained += link->Buffer().Level() - before;
        const bool more = socket.bytesAvailable() > 0;
        QList<QByteArray> lines;
        TakeLines(link, more ? TTake::Lines : TTake::All, lines);
        StoreLines(lines);
        if (!more)
            break;
    }
}

void TReceiver::TakeLines(TExchangeLink* link, TTake take, QList<QByteArray>& lines)
{
    TLineBuffer& buffer = link->Buffer();
    const int max = take == TTake::All ? std::numeric_limits<int>::max() : kLinesPerTurn;
    QByteArray line;
    while (lines.size() < max && buffer.TakeLine(line, take != TTake::Lines))
        lines.append(line);
    // A line that fills the whole buffer can never end in it: it is cut there.
    if ((take == TTake::All || buffer.IsFull()) && lines.size() < max && !buffer.IsEmpty())
        lines.append(buffer.TakeRest());
}

// After lines were taken: the connections read again where they may, more turns follow
// while there is work, and a CR at the end of a buffer gets its time to be joined by an LF.
void TReceiver::AfterTaking(bool more)
{
    bool work = more;
    for (TExchangeLink* link : std::as_const(links_)) {
        const qsizetype before = link->Buffer().Level();
        ReadFrom(link);
        TLineBuffer& buffer = link->Buffer();
        work = work || buffer.Level() != before || buffer.IsFull() || buffer.HasLine();
        if (buffer.EndsWithCarriageReturn())
            link->CarriageReturnTimer().start();
        else
            link->CarriageReturnTimer().stop();
    }
    if (work)
        ScheduleProcessing();
    ReportLevel();
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
        notifier_.LogEvent(
            category::Receiver, TSeverity::Error,
            QStringLiteral("%1 received lines could not be stored: %2").arg(lines.size()).arg(e.Message()));
    }
}

void TReceiver::ReportLevel()
{
    const qsizetype level = BufferLevel();
    if (level == reportedLevel_)
        return;
    reportedLevel_ = level;
    notifier_.Broadcast(callback::BufferLevel, {int(level)});
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
