#include "server/Receiver.h"

#include "calls/SerialPortSettings.h"
#include "server/EventLog.h"
#include "server/SerialDevice.h"
#include "server/Settings.h"

#include <QSerialPort>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

// Lines stored per turn of the event loop (one transaction each), so that a backlog does
// not keep the clients waiting.
constexpr int kLinesPerTurn = 500;
// What an ending connection may still deliver: a peer that keeps sending while the
// receiver stops must not keep it from stopping.
constexpr qint64 kMaxDrainBytes = 64 * 1024 * 1024;
// A receiver that connects to the exchange tries again this long after a failure.
constexpr int kReconnectMs = 5000;
// Long inactivity time-outs are checked at least this often (timers take int milliseconds).
constexpr qint64 kMaxTimerMs = 3600 * 1000;


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
    pendingTimer_.setSingleShot(true);
    connect(&pendingTimer_, &QTimer::timeout, this, &TReceiver::Flush);
    inactivityTimer_.setSingleShot(true);
    connect(&inactivityTimer_, &QTimer::timeout, this, &TReceiver::OnInactivityTimer);
    reconnectTimer_.setSingleShot(true);
    reconnectTimer_.setInterval(kReconnectMs);
    connect(&reconnectTimer_, &QTimer::timeout, this, &TReceiver::Reconnect);
    levels_ = TExchangeLink::LevelsOf(TSettings(db).Int(setting::ReceiverBufferSize, DefaultReceiverBufferSize),
                                      DefaultReceiverPauseKb, DefaultReceiverResumeKb);
}

TReceiver::~TReceiver() = default;

quint16 TReceiver::Port() const
{
    if (listener_)
        return listener_->serverPort();
    return running_ && mode_ == TMode::TcpClient ? quint16(port_) : 0;
}

qsizetype TReceiver::BufferLevel() const
{
    qsizetype level = 0;
    for (TExchangeLink* link : links_)
        level += link->Buffer().Level();
    return level;
}

// Where the receiver takes its lines from, for its messages.
QString TReceiver::Where() const
{
    switch (mode_) {
        case TMode::TcpServer:
            return QStringLiteral("port %1").arg(Port());
        case TMode::TcpClient:
            return QStringLiteral("%1:%2").arg(exchangeAddress_).arg(port_);
        case TMode::Serial:
            break;
    }
    TSerialPortSettings settings;
    settings.Load(serialSettings_);
    return QStringLiteral("serial port %1").arg(settings.SystemPortName());
}

QString TReceiver::StateText() const
{
    if (!Running())
        return QStringLiteral("Receiver stopped");
    if (links_.isEmpty()) {
        switch (mode_) {
            case TMode::TcpServer:
                return QStringLiteral("Receiver listening on port %1").arg(Port());
            case TMode::TcpClient:
                return QStringLiteral("Receiver connecting to the exchange at %1").arg(Where());
            case TMode::Serial:
                return QStringLiteral("Receiver on %1").arg(Where());
        }
    }
    if (mode_ != TMode::TcpServer)
        return QStringLiteral("Receiver: exchange connected at %1").arg(Where());
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
    port_ = settings.Int(setting::ReceiverPort, DefaultReceiverPort);
    mode_ = settings.Int(setting::ReceiverTcpIp, 1) == 0           ? TMode::Serial
            : settings.Int(setting::ReceiverIsServer, 1) != 0 ? TMode::TcpServer
                                                                : TMode::TcpClient;
    exchangeAddress_ = settings.String(setting::ReceiverExchangeAddress).trimmed();
    serialSettings_ = settings.String(setting::ReceiverSerialPort, TSerialPortSettings().Save());
    maxPending_ = qMax(1, settings.Int(setting::ReceiverPendingCalls, DefaultReceiverPendingCalls));
    pendingDelayMs_ = qBound(1, settings.Int(setting::ReceiverPendingDelay, DefaultReceiverPendingDelay), 86400) * 1000;
    restartTimeoutMs_ = qint64(qMax(0, settings.Int(setting::ReceiverRestartTimeout, DefaultReceiverRestartTimeout))) * 1000;
    QString why;
    if (!TAddressList::Parse(settings.String(setting::ReceiverAllowed), allowed_, &why))
        throw Exception(QStringLiteral("The receiver's allowed addresses are not valid: %1").arg(why));
}

void TReceiver::Start()
{
    if (Running())
        return;
    try {
        ReadSettings();
        switch (mode_) {
            case TMode::TcpServer:
                Listen();
                break;
            case TMode::TcpClient:
                if (QHostAddress(exchangeAddress_).isNull())
                    throw Exception(QStringLiteral("\"%1\" is no IP address").arg(ShortQuote(exchangeAddress_)));
                if (port_ < 1 || port_ > 65535)
                    throw Exception(QStringLiteral("%1 is no port to connect to").arg(port_));
                break;
            case TMode::Serial:
                break;
        }
    } catch (const Exception& e) {
        Failed(e.Message());
    }
    running_ = true;
    readerStale_ = true;
    if (mode_ == TMode::Serial) {
        try {
            OpenSerialPort();
        } catch (const Exception& e) {
            running_ = false;
            Failed(e.Message());
        }
    }
    notifier_.Notice(category::Receiver, TSeverity::Information,
                     mode_ == TMode::TcpServer ? QStringLiteral("Receiver started: listening for call data on port %1").arg(Port())
                     : mode_ == TMode::TcpClient
                         ? QStringLiteral("Receiver started: connecting to the exchange at %1").arg(Where())
                         : QStringLiteral("Receiver started: reading call data from %1").arg(Where()));
    if (mode_ == TMode::TcpClient)
        ConnectToExchange();
    NoteInput();
    BroadcastState();
    notifier_.Broadcast(callback::BufferSize, {int(levels_.Capacity)});
    ReportLevel();
}

void TReceiver::Failed(const QString& why)
{
    const QString text = mode_ == TMode::TcpServer
                             ? QStringLiteral("The receiver cannot listen on port %1: %2").arg(port_).arg(why)
                             : QStringLiteral("The receiver cannot start: %1").arg(why);
    notifier_.Notice(category::Receiver, TSeverity::Error, text);
    throw Exception(text);
}

void TReceiver::Listen()
{
    QHostAddress address = serverAddress_;
    const QString configured = TSettings(db_).String(setting::ReceiverListenAddress).trimmed();
    if (!configured.isEmpty() && !address.setAddress(configured))
        throw Exception(QStringLiteral("\"%1\" is no IP address").arg(ShortQuote(configured)));
    auto* listener = new QTcpServer(this);
    if (port_ < 0 || port_ > 65535 || !listener->listen(address, static_cast<quint16>(port_))) {
        const QString why = listener->errorString();
        delete listener;
        throw Exception(why);
    }
    listener_ = listener;
    connect(listener_, &QTcpServer::newConnection, this, &TReceiver::OnNewConnection);
}

void TReceiver::ConnectToExchange()
{
    if (!running_ || mode_ != TMode::TcpClient || connecting_ || !links_.isEmpty())
        return;
    auto* socket = new QTcpSocket(this);
    connecting_ = socket;
    connect(socket, &QTcpSocket::connected, this, [this, socket] {
        connecting_ = nullptr;
        socket->disconnect(this);
        Attach(socket);
    });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] {
        if (connecting_ != socket)
            return;
        connecting_ = nullptr;
        refused_.Add(QStringLiteral("The receiver cannot connect to the exchange at %1: %2")
                         .arg(Where(), socket->errorString()));
        socket->deleteLater();
        reconnectTimer_.start();
    });
    socket->connectToHost(exchangeAddress_, quint16(port_));
}

// A connection or serial line that ended is made again while the receiver runs.
void TReceiver::Reconnect()
{
    if (!running_ || !links_.isEmpty())
        return;
    if (mode_ == TMode::TcpClient) {
        ConnectToExchange();
        return;
    }
    if (mode_ != TMode::Serial)
        return;
    try {
        OpenSerialPort();
    } catch (const Exception& e) {
        refused_.Add(QStringLiteral("The receiver cannot open %1: %2").arg(Where(), e.Message()));
        reconnectTimer_.start();
    }
}

void TReceiver::OpenSerialPort()
{
    QSerialPort* port = OpenSerialDevice(serialSettings_, this);
    port->setReadBufferSize(qMin<qint64>(levels_.Capacity, 64 * 1024));
    auto* link = new TExchangeLink(port, Where(), levels_, this);
    connect(port, &QSerialPort::errorOccurred, link, [link](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::ResourceError)
            link->Ended();
    });
    AttachLink(link);
}

void TReceiver::SettingsChanged()
{
    if (!Running())
        return;
    Stop();
    Start();
}

void TReceiver::Stop()
{
    if (!Running())
        return;
    while (!links_.isEmpty())
        Detach(links_.first(), QStringLiteral("the receiver was stopped"), true);
    Flush();
    running_ = false;
    reconnectTimer_.stop();
    inactivityTimer_.stop();
    if (connecting_) {
        connecting_->disconnect(this);
        connecting_->abort();
        connecting_->deleteLater();
        connecting_ = nullptr;
    }
    if (listener_) {
        listener_->close();
        listener_->deleteLater();
        listener_ = nullptr;
    }
    notifier_.Notice(category::Receiver, TSeverity::Information, QStringLiteral("Receiver stopped"));
    BroadcastState();
    ReportLevel();
}

void TReceiver::Shutdown()
{
    processTimer_.stop();
    while (!links_.isEmpty())
        Detach(links_.first(), QStringLiteral("the server stops"), false);
    Flush();
    reconnectTimer_.stop();
    inactivityTimer_.stop();
    delete connecting_;
    connecting_ = nullptr;
    delete listener_;
    listener_ = nullptr;
    if (running_)
        notifier_.LogEvent(category::Receiver, TSeverity::Information, QStringLiteral("Receiver stopped"));
    running_ = false;
}

bool TReceiver::WriteLine(const QString& text)
{
    if (links_.isEmpty() || !links_.first()->Connected())
        return false;
    return links_.first()->Device().write(text.toLatin1() + "\r\n") >= 0;
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
    AttachLink(new TExchangeLink(socket, levels_, this));
}

void TReceiver::AttachLink(TExchangeLink* link)
{
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
    if (link->Device().bytesAvailable() > 0)
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
    if (!data.isEmpty()) {
        NoteInput();
        notifier_.Broadcast(callback::RawInput, {QString::fromLatin1(data)});
    }
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
    link->CloseAndDelete();
    const QString text = QStringLiteral("Exchange %1 disconnected: %2").arg(link->Peer(), reason);
    if (!tell) {
        notifier_.LogEvent(category::Receiver, TSeverity::Information, text);
        return;
    }
    notifier_.Notice(category::Receiver, TSeverity::Information, text);
    BroadcastState();
    ReportLevel();
    Q_EMIT ExchangeAttachedChanged(!links_.isEmpty());
    // A receiver that made the connection or opened the line makes it again.
    if (running_ && mode_ != TMode::TcpServer)
        reconnectTimer_.start();
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
    Pend(lines);
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
        Pend(lines);
        AfterTaking(false);
        return;
    }
    QIODevice& socket = link->Device();
    for (qint64 drained = 0; drained < kMaxDrainBytes;) {
        if (socket.bytesAvailable() == 0 && link->Connected())
            socket.waitForReadyRead(0);  // what waits in the system, without waiting for more
        const qsizetype before = link->Buffer().Level();
        ReadFrom(link, true);
        drained += link->Buffer().Level() - before;
        const bool more = socket.bytesAvailable() > 0;
        QList<QByteArray> lines;
        TakeLines(link, more ? TTake::Lines : TTake::All, lines);
        Pend(lines);
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

void TReceiver::Pend(const QList<QByteArray>& lines)
{
    if (lines.isEmpty())
        return;
    pending_.append(lines);
    if (pending_.size() >= maxPending_)
        Flush();
    else if (!pendingTimer_.isActive())
        pendingTimer_.start(pendingDelayMs_);
}

void TReceiver::Flush()
{
    pendingTimer_.stop();
    const QList<QByteArray> lines = std::exchange(pending_, {});
    StoreLines(lines);
}

void TReceiver::NoteInput()
{
    lastInput_.start();
    if (running_ && restartTimeoutMs_ > 0)
        inactivityTimer_.start(int(qMin(restartTimeoutMs_, kMaxTimerMs)));
}

// Silence as long as the time-out: the receiver starts again, which reopens its port or
// connection (an exchange or a line that hung up without a word gets a fresh one).
void TReceiver::OnInactivityTimer()
{
    if (!running_ || restartTimeoutMs_ <= 0)
        return;
    const qint64 left = restartTimeoutMs_ - lastInput_.elapsed();
    if (left > 0) {
        inactivityTimer_.start(int(qMin(left, kMaxTimerMs)));
        return;
    }
    notifier_.LogEvent(category::Receiver, TSeverity::Warning,
                       QStringLiteral("No call data for %1 s: the receiver starts again").arg(restartTimeoutMs_ / 1000));
    try {
        Stop();
        Start();
    } catch (const Exception&) {
        // Start has told the clients why; the receiver stays stopped.
    }
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
