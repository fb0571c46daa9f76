#pragma once
// The SQL text that clients send for reports and log searches runs only on read-only
// connections, and only as one read-only statement: the connection is opened with
// SQLITE_OPEN_READONLY, an authorizer allows nothing but reading (the passwords excepted) and
// harmless functions, the text after the statement must be blank, and the statement must be
// read-only.

#include "server/DataPackets.h"
#include "server/Database.h"

#include <QString>

#include <atomic>
#include <memory>

inline constexpr int MaxReportSqlLength = 1024 * 1024;

// A connection for client SQL; Cancel (from any thread) stops what runs on it.
class TReportConnection {
public:
    explicit TReportConnection(const QString& path);

    // Prepares the text as one read-only statement or raises Exception with the reason.
    TStatement Prepare(const QString& sql);
    void SetCancelFlag(std::shared_ptr<std::atomic<bool>> flag);

private:
    TDatabase db_;
    std::shared_ptr<std::atomic<bool>> cancel_;
    const char* refusal_ = nullptr;  // set by the authorizer while preparing
};

// Runs a statement to its end and packs its rows. Column types come from the declared
// types; columns without one (expressions) take the type of their values. Stops with
// an error when cancelled or when the encoded rows exceed maxBytes.
TDataSetResult RunReportStatement(TStatement& stmt, const std::atomic<bool>& cancel, qint64 maxBytes);
