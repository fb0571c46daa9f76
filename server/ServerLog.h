#pragma once
// The server's own log: one line per entry, with time and severity, in a UTF-8 text
// file and (unless quiet) on standard output. Safe to call from any thread.

#include <QFile>
#include <QMutex>
#include <QString>

// An entry longer than this is cut (ShortQuote): outside text in an entry must not let a
// peer fill the disk or hold the server's thread.
inline constexpr qsizetype MaxServerLogText = 4000;

// Severities as the LOG table numbers them.
enum class TSeverity { Information = 1, Warning = 2, Error = 3, Bug = 4 };

class TServerLog {
public:
    // An empty path logs to standard output only.
    TServerLog(const QString& path, bool toStdout);

    void Write(TSeverity severity, const QString& text);
    const QString& Path() const { return path_; }

private:
    QMutex mutex_;
    QString path_;
    QFile file_;
    bool toStdout_;
};

QString SeverityName(TSeverity severity);
