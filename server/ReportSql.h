#pragma once
// The SQL text that clients send for reports and log searches runs only on read-only
// connections, and only as one read-only statement: the connection is opened with
// SQLITE_OPEN_READONLY, an authorizer allows nothing but reading the tables of the caller's
// scope and harmless functions, the text after the statement must be blank, and the
// statement must be read-only. A running statement stops when it is cancelled or when it
// has run longer than its time limit; its result may take only what the server's result
// budget has left.

#include "server/DataPackets.h"
#include "server/Database.h"
#include "server/ResultBudget.h"

#include <QDeadlineTimer>
#include <QSet>
#include <QString>

#include <atomic>
#include <memory>

inline constexpr int MaxReportSqlLength = 1024 * 1024;

// The tables a statement may read. A standard user's reports read the calls and the
// reference data they are grouped by (CALL, PBX, ARCHIVE, EXTENSION, PIN_CODE, GROUPS,
// LIMIT_PLAN), as the user's providers serve them; the administrator's statements read
// every table but PASSWORDS, whose hashes would let anyone guess at leisure.
enum class TReadScope { Calls, AllButPasswords };

// A connection for client SQL.
class TReportConnection {
public:
    explicit TReportConnection(const QString& path);

    // Prepares the text as one read-only statement of the scope or raises Exception with the
    // reason.
    TStatement Prepare(const QString& sql, TReadScope scope);
    // What stops what runs on the connection: the flag (set from any thread) and the time
    // limit, counted from this call (0: none).
    void SetLimits(std::shared_ptr<std::atomic<bool>> cancel, qint64 timeoutMs);
    // Why the last statement was interrupted; empty when it was not.
    QString StopReason() const;

private:
    static int Authorize(void* self, int action, const char* a, const char* b, const char*, const char*);
    static int Progress(void* self);

    TDatabase db_;
    QSet<QByteArray> tables_;  // of the schema, in upper case
    TReadScope scope_ = TReadScope::Calls;
    const char* refusal_ = nullptr;  // set by the authorizer while preparing
    std::shared_ptr<std::atomic<bool>> cancel_;
    QDeadlineTimer deadline_;
    qint64 timeoutMs_ = 0;
    bool timedOut_ = false;
};

// Runs a statement to its end and packs its rows. Column types come from the declared
// types; columns without one (expressions) take the type of their values. Stops with an
// error when the connection's limits stop it or when the rows do not fit the lease, which
// the result then holds.
TDataSetResult RunReportStatement(TStatement& stmt, const TReportConnection& connection,
                                  std::shared_ptr<TResultBudget::TLease> lease);
