#pragma once
// One kind of client statement on a connection (a report, a log search, one event's rows):
// the statement runs on the query scheduler (TQueryScheduler: the connection's fair share
// of the workers) with a read-only connection of its own, within the statement time limit,
// its result is kept for the provider that serves it (a large one in a temporary file, so
// that kept results hold no memory), and opens that come while it runs are answered when
// it is done. A newer statement replaces (cancels) one still running; a statement that ends
// after its connection has closed is dropped. Lives in the per-connection state of the
// module whose statement it is.

#include "remote/CallbackInterfaces.h"
#include "server/DataPackets.h"

#include <QList>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

class TClientConnection;
class TServerContext;

class TStatementSlot {
public:
    // ready: the callback that tells the client its result is there (sent also when the
    // statement failed); the client sees "Running the query..." while such a statement
    // runs. Without one, the client simply opens the result, which waits for it.
    explicit TStatementSlot(std::optional<TCallbackName> ready);
    ~TStatementSlot();
    TStatementSlot(const TStatementSlot&) = delete;
    TStatementSlot& operator=(const TStatementSlot&) = delete;

    // Runs the client's statement when it is one read-only statement of the tables the
    // client's level may read; raises Exception (and changes nothing) when it is refused.
    void Run(TClientConnection& client, TServerContext& server, const QString& sql);
    // The result for an open (whose failure the open reports), or null while the statement
    // runs: the open is then answered when it is done. Raises Exception before any
    // statement has run.
    TDataSetResultPtr Open(quint32 requestId, const QString& provider);
    // Stops the running statement; its result is never sent.
    void Cancel();

private:
    void Done(TClientConnection& client, TServerContext& server, quint64 generation,
              TDataSetResultPtr result);

    std::optional<TCallbackName> ready_;
    quint64 generation_ = 0;
    bool running_ = false;
    std::shared_ptr<std::atomic<bool>> cancel_;
    TDataSetResultPtr result_;
    QList<quint32> waitingOpens_;
    int statusId_ = 0;
};
