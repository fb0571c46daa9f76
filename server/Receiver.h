#pragma once
// The receiver: a TCP port to which the exchange connects to send its call lines. What
// arrives waits in the input buffer (bytes that do not fit are dropped), every chunk is
// shown to the clients as raw input, and complete lines are stored as calls by the call
// reader. The attached exchange is also where the command queue writes its commands.
// The clients hear of it through the notifier. Everything runs on the server's thread.

#include "server/CallReader.h"
#include "server/ClientNotifier.h"
#include "server/LineBuffer.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

class QTcpServer;
class QTcpSocket;

class TReceiver : public QObject {
    Q_OBJECT

public:
    // Listens on the listen address at the port the settings name.
    TReceiver(TDatabase& db, const QHostAddress& listenAddress, TClientNotifier& notifier);
    ~TReceiver() override;

    // Listens on the stored receiver port; raises Exception when it cannot.
    void Start();
    // Stores what has arrived, closes the exchange's connection and the port.
    void Stop();
    // The same at server shutdown, without telling the clients.
    void Shutdown();
    bool Running() const { return listener_ != nullptr; }
    quint16 Port() const;
    QString StateText() const;

    qsizetype BufferSize() const { return buffer_.Capacity(); }
    qsizetype BufferLevel() const { return buffer_.Level(); }

    bool ExchangeAttached() const { return exchange_ != nullptr; }
    // Writes the text and CR LF to the exchange (Latin-1); false when none is attached.
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
    void OnNewConnection();
    void OnReadyRead();
    void DetachExchange(const QString& reason, bool tell);
    void ReadFrom(QTcpSocket* socket);
    // What a turn of processing takes: the complete lines; also a line ended by a CR that
    // waited long enough for its LF; or everything, when the input has ended.
    enum class TTake { Lines, CarriageReturn, All };
    void ScheduleProcessing();
    void ProcessLines(TTake take);
    void StoreLines(const QList<QByteArray>& lines);
    void ReportLevel();
    void BroadcastState();
    void SetBusy(bool busy);
    void LogDroppedBytes();

    TDatabase& db_;
    QHostAddress listenAddress_;
    TClientNotifier& notifier_;
    TCallReader reader_;
    TStoredCallObserver* observer_ = nullptr;
    bool readerStale_ = true;
    TLineBuffer buffer_;
    QTcpServer* listener_ = nullptr;
    QTcpSocket* exchange_ = nullptr;
    QString exchangePeer_;
    QTimer processTimer_;
    QTimer carriageReturnTimer_;
    qsizetype reportedLevel_ = -1;
    qint64 droppedUnlogged_ = 0;
    int statusId_ = 0;
};
