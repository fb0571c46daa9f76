#pragma once
// The receiver: a TCP port to which the exchange connects to send its call lines. It
// listens on the configured address (receiver_listen_address, else the server's), takes up
// to receiver_max_connections exchange connections from the allowed addresses
// (receiver_allowed_addresses) and refuses others; a newcomer never replaces a connection
// it has. Each connection reads with flow control (TExchangeLink): nothing is dropped, a
// fast exchange is slowed down instead. Every chunk read is shown to the clients as raw
// input, and complete lines are stored as calls by the call reader, at most 500 lines a
// turn of the event loop. The first attached exchange is where the command queue writes
// its commands. The clients hear of it through the notifier. Everything runs on the
// server's thread.

#include "server/AddressList.h"
#include "server/CallReader.h"
#include "server/ClientNotifier.h"
#include "server/ExchangeLink.h"
#include "server/LogThrottle.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTimer>

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

    // Listens with the stored settings; raises Exception when it cannot.
    void Start();
    // Stores what has arrived, closes the exchanges' connections and the port.
    void Stop();
    // The same at server shutdown, without telling the clients.
    void Shutdown();
    bool Running() const { return listener_ != nullptr; }
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

    // ReceiverState, BufferSize and BufferLevel for a client that has just shaken hands.
    void SendStateTo(TClientCallbacks& client) const;

Q_SIGNALS:
    void ExchangeAttachedChanged(bool attached);

private:
    void ReadSettings();
    void OnNewConnection();
    QString Refusal(const QTcpSocket& socket) const;
    void Attach(QTcpSocket* socket);
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
    void StoreLines(const QList<QByteArray>& lines);
    void ReportLevel();
    void BroadcastState();
    void SetBusy(bool busy);

    TDatabase& db_;
    QHostAddress serverAddress_;
    TClientNotifier& notifier_;
    TCallReader reader_;
    bool readerStale_ = true;
    TExchangeLink::TLevels levels_;
    TAddressList allowed_;
    int maxConnections_ = 1;
    QTcpServer* listener_ = nullptr;
    QList<TExchangeLink*> links_;  // in the order they connected
    TLogThrottle refused_;
    QTimer processTimer_;
    qsizetype reportedLevel_ = -1;
    int statusId_ = 0;
};
