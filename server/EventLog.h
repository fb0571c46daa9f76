#pragma once
// The LOG table: the server's events as the logs report searches them. One event may
// span several rows (TEXT holds at most 100 characters); its rows share EVENT_ID and
// DATE_TIME, so the client joins them with blanks.

#include "core/DateTime.h"
#include "server/ServerLog.h"

#include <QString>
#include <QStringList>

class TDatabase;

// The categories the logs report offers, as stored ("comands" is spelled as the client
// compares it).
namespace category {
inline constexpr char Application[] = "application";
inline constexpr char Archives[] = "archives";
inline constexpr char Client[] = "client";
inline constexpr char Commands[] = "comands";
inline constexpr char Invalid[] = "invalid";
inline constexpr char Receiver[] = "receiver";
inline constexpr char Reports[] = "reports";
}  // namespace category

inline constexpr int LogTextChunk = 100;
// An event's text is cut to this many characters (ShortQuote), so one event takes at most a
// dozen rows whatever outside text it quotes.
inline constexpr qsizetype MaxEventText = 1000;

class TEventLog {
public:
    explicit TEventLog(TDatabase& db);

    // Adds one event (its text cut to MaxEventText); returns its EVENT_ID.
    qint64 Add(const char* category, TSeverity severity, const QString& text, TDateTime when);
    qint64 Add(const char* category, TSeverity severity, const QString& text);

private:
    TDatabase& db_;
    qint64 nextId_;
};

// Cuts a text into pieces of at most LogTextChunk characters, at blanks where possible
// (the blank is dropped, since the reader puts one back); line breaks become blanks.
QStringList SplitLogText(const QString& text);
