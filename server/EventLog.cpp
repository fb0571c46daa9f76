#include "server/EventLog.h"

#include "core/Errors.h"
#include "server/Database.h"
#include "server/SqlValues.h"

TEventLog::TEventLog(TDatabase& db)
    : db_(db),
      nextId_(db.Scalar(QStringLiteral("SELECT coalesce(max(EVENT_ID), 0) + 1 FROM LOG")).toLongLong())
{
}

QStringList SplitLogText(const QString& text)
{
    QString rest = text;
    rest.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    rest.replace(QLatin1Char('\n'), QLatin1Char(' '));
    rest.replace(QLatin1Char('\r'), QLatin1Char(' '));
    QStringList pieces;
    while (rest.size() > LogTextChunk) {
        qsizetype cut = rest.lastIndexOf(QLatin1Char(' '), LogTextChunk);
        if (cut <= 0) {
            pieces << rest.left(LogTextChunk);
            rest = rest.mid(LogTextChunk);
        } else {
            pieces << rest.left(cut);
            rest = rest.mid(cut + 1);
        }
    }
    pieces << rest;
    return pieces;
}

qint64 TEventLog::Add(const char* category, TSeverity severity, const QString& text, TDateTime when)
{
    const qint64 id = nextId_++;
    TStatement stmt = db_.Prepare(QStringLiteral(
        "INSERT INTO LOG (DATE_TIME, EVENT_ID, CATEGORY, SEVERITY, TEXT) VALUES (?, ?, ?, ?, ?)"));
    const QString stamp = DateTimeToSqlText(when);
    for (const QString& piece : SplitLogText(ShortQuote(text, MaxEventText))) {
        stmt.BindText(1, stamp);
        stmt.BindInt(2, id);
        stmt.BindText(3, QString::fromLatin1(category));
        stmt.BindInt(4, static_cast<int>(severity));
        stmt.BindText(5, piece);
        stmt.Step();
        stmt.Reset();
    }
    return id;
}

qint64 TEventLog::Add(const char* category, TSeverity severity, const QString& text)
{
    return Add(category, severity, text, Now());
}
