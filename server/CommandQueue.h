#pragma once
// The queue of commands for the exchange, kept in COMMAND_QUEUE so that it survives a
// restart. Commands go out in order through the control protocol's port (TControlPort):
// each is written as a line and then leaves the queue. While the queue is enabled and no exchange is attached, the first
// command's retry count grows at every retry interval. Every change is reported to every
// client (QueueState, CommandAdded, CommandRemoved, QueueCleared, RetryCountChanged); a
// retry count that grows fast is reported at most once per notice interval, with its
// latest value.

#include "server/ClientNotifier.h"
#include "server/ControlPort.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class TDatabase;
class TReceiver;

class TCommandQueue : public QObject {
    Q_OBJECT

public:
    struct TCommand {
        qint64 Id = 0;
        QString Text;
        int RetryCount = 0;
    };
    // Retry counts travel as 16-bit integers.
    static constexpr int MaxRetryCount = 32767;
    static constexpr int MaxCommandLength = 250;

    TCommandQueue(TDatabase& db, TClientNotifier& notifier, TReceiver& output, int retryNoticeMs);

    // Reads the queue and its settings from the database and sends what it can.
    void Load();

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    const QList<TCommand>& Commands() const { return commands_; }
    int ControlProtocol() const;
    // The exchange control options have changed: the control port opens again with them.
    void ControlSettingsChanged();

    // Why the text cannot be queued; empty when it can. A command is one line of
    // single-byte text without control characters.
    static QString CheckCommand(const QString& text);
    // Queues a command (raises Exception when CheckCommand refuses it); who is for the log.
    void Add(const QString& text, const QString& who);
    // Queueing inside a caller's transaction, so that a command goes with the change that
    // asks for it or not at all: Stage writes the command's row (raises Exception when
    // CheckCommand refuses it), and once the transaction is committed TakeStaged takes
    // every staged row into the queue, tells the clients and sends what it can. Rows of a
    // transaction that was rolled back are gone and never seen; rows staged before a
    // restart are read by Load.
    static void Stage(TDatabase& db, const QString& text);
    void TakeStaged(const QString& who);
    // Raises Exception when there is no such row.
    void Remove(int row, const QString& who);
    void Clear(const QString& who);

    // Writes waiting commands to the output while it takes them.
    void SendWaiting();
    // QueueState for a client that has just shaken hands.
    void SendStateTo(TClientCallbacks& client) const;

private:
    void OnRetryTimer();
    void UpdateTimer();
    // The first command's retry count to every client: at once when none went out within
    // the notice interval, otherwise once at its end.
    void NoteRetry();
    void OnRetryNoticeTimer();
    void SendRetryCount();

    TDatabase& db_;
    TClientNotifier& notifier_;
    TControlPort output_;
    QList<TCommand> commands_;
    qint64 lastId_ = 0;  // the newest row taken into the queue
    bool enabled_ = true;
    QTimer retryTimer_;
    QTimer retryNoticeTimer_;
    bool retryNoticePending_ = false;
};
