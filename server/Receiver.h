#pragma once
// The receiver: where the exchange's call lines arrive. Over TCP/IP as a server (below),
// as a client that connects to the exchange's address (receiver_exchange_address,
// receiver_port) and connects again a few seconds after a failure or the end of its
// connection, or over a serial port (receiver_serial_port), opened again a few seconds
// after it failed. As a server it listens on the configured address (receiver_listen_address, else the server's), takes up
// to receiver_max_connections exchange connections from the allowed addresses
// (receiver_allowed_addresses) and refuses others; a newcomer never replaces a connection
// it has. Each connection reads with flow control (TExchangeLink): nothing is dropped, a
// fast exchange is slowed down instead. Every chunk read is shown to the clients as raw
// input, and complete lines are stored as calls by the call reader, at most 500 lines a
// turn of the event loop. The first attached exchange is where the command queue writes
// its commands. The clients hear of it through the notifier. Lines are written to the
// database once receiver_max_pending_calls are waiting or the first of them has waited
// receiver_max_pending_delay seconds, and when the receiver stops; a receiver that has
// read nothing for receiver_restart_timeout seconds starts again. Everything runs on the
// server's thread.

#include "server/AddressList.h"
#include "server/CallReader.h"
#include "server/ClientNotifier.h"
#include "server/ExchangeLink.h"
#include "server/LogThrottle.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTimer>

class QIODevice;
class QTcpServer;
class QTcpSocket;

class TReceiver : public QObject {
    Q_OBJECT

public:
    // serverAddress: where the receiver listens unless the settings name an address;
    // refusedPerMinute: how many refused connections are logged one by one each minute.
    TReceiver(TDatabase& db, const QHostAddress& serverAddress, TClientNotifier& notifier,
              int refusedPerMinute = 10);
    ~TReceiver() override;

    // Listens, connects or opens its port with the stored settings; raises Exception when
    // it cannot.
    void Start();
    // The stored settings have changed: a running receiver starts again with them (raises
    // Exception when it cannot; it is then stopped).
    void SettingsChanged();
    // Stores what has arrived, closes the exchanges' connections and the port.
    void Stop();
    // The same at server shutdown, without telling the clients.
    void Shutdown();
    bool Running() const { return running_; }
    quint16 Port() const;
    QString StateText() const;

    qsizetype BufferSize() const { return levels_.Capacity; }
    // The bytes waiting in the buffers of all connections.
    qsizetype BufferLevel() const;

    bool ExchangeAttached() const { return !links_.isEmpty(); }
    int ExchangeCount() const { return static_cast<int>(links_.size()); }
    // Writes the text and CR LF to the first exchange (Latin-1); false when none is attached.
    bool WriteLine(const QString& text);

    // The data format, exchange or tariff rules in use may have changed: they are read
    // again before the next line.
    void ConfigurationChanged() { readerStale_ = true; }
    // Told of every call stored and of the end of each turn's transaction (null: nobody);
    // not owned, and must outlive the receiver or be unset first.
    void SetCallObserver(TStoredCallObserver* observer);

    // ReceiverState, BufferSize and BufferLevel for a client that has just shaken hands.
    void SendStateTo(TClientCallbacks& client) const;

Q_SIGNALS:
    void ExchangeAttachedChanged(bool attached);

private:
    enum class TMode { TcpServer, TcpClient, Serial };
    void ReadSettings();
    void Listen();
    void ConnectToExchange();
    void Reconnect();
    void OpenSerialPort();
    void Failed(const QString& why);
    QString Where() const;
    void OnNewConnection();
    QString Refusal(const QTcpSocket& socket) const;
    void Attach(QTcpSocket* socket);
    void AttachLink(TExchangeLink* link);
    void OnReadyRead(TExchangeLink* link);
    void ReadFrom(TExchangeLink* link, bool remaining = false);
    void Detach(TExchangeLink* link, const QString& reason, bool tell);
    // What a turn of processing takes from a link: its complete lines; also a line ended by
    // a CR that waited long enough for its LF; or everything, when its input has ended.
    enum class TTake { Lines, CarriageReturn, All };
    void ScheduleProcessing();
    void ProcessTurn();
    void ProcessLink(TExchangeLink* link, TTake take);
    void TakeLines(TExchangeLink* link, TTake take, QList<QByteArray>& lines);
    void AfterTaking(bool more);
    // Lines wait until enough are pending or the first has waited long enough.
    void Pend(const QList<QByteArray>& lines);
    void Flush();
    void StoreLines(const QList<QByteArray>& lines);
    void OnInactivityTimer();
    void NoteInput();
    void ReportLevel();
    void BroadcastState();
    void SetBusy(bool busy);

    TDatabase& db_;
    QHostAddress serverAddress_;
    TClientNotifier& notifier_;
    TCallReader reader_;
    TStoredCallObserver* observer_ = nullptr;
    bool readerStale_ = true;
    TExchangeLink::TLevels levels_;
    TAddressList allowed_;
    int maxConnections_ = 1;
    TMode mode_ = TMode::TcpServer;
    int port_ = 0;
    QString exchangeAddress_;
    QString serialSettings_;
    int maxPending_ = 1;
    int pendingDelayMs_ = 1000;
    qint64 restartTimeoutMs_ = 0;
    bool running_ = false;
    QTcpServer* listener_ = nullptr;
    QTcpSocket* connecting_ = nullptr;  // client mode: the connection being made
    QTimer reconnectTimer_;
    QList<QByteArray> pending_;
    QTimer pendingTimer_;
    QTimer inactivityTimer_;
    QElapsedTimer lastInput_;
    QList<TExchangeLink*> links_;  // in the order they connected
    TLogThrottle refused_;
    QTimer processTimer_;
    qsizetype reportedLevel_ = -1;
    int statusId_ = 0;
};
