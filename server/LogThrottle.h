#pragma once
// Log entries that peers can cause at will (a dropped connection, a refused exchange
// connection) go to the logs at most a given number of times per minute; the rest are
// counted, and one entry when the minute is over says how many were left out. A flood of
// bad connections then costs the server a handful of rows instead of one per connection.
//
//   TLogThrottle dropped(10, [this](const QString& t) { LogEvent(category::Client, ...); },
//                        QStringLiteral("dropped connections"));
//   dropped.Add(QStringLiteral("Client 7 (10.0.0.9:4711) dropped: ..."));

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class TLogThrottle : public QObject {
    Q_OBJECT

public:
    // write: how one entry is written; what: the plural noun for the summary.
    TLogThrottle(int perMinute, std::function<void(const QString&)> write, QString what,
                 int windowMs = 60000);

    void Add(const QString& text);
    // Writes the summary of what was left out so far (at shutdown).
    void Flush();

private:
    int perMinute_;
    std::function<void(const QString&)> write_;
    QString what_;
    int windowMs_;
    QElapsedTimer window_;
    int written_ = 0;
    qint64 leftOut_ = 0;
    QTimer summary_;
};
