#pragma once
// The client's named logs: one file per topic in the logs directory, each entry with a
// time stamp and a level. Levels: 1 process start and end, 2 notices to the user, 3 errors
// with a known cause, 4 internal errors (always also shown in the live log with the bug
// hint). Used from the main thread only.

#include "shell/base/Log.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>

class TClientLogs;

class TClientLog {
public:
    TClientLog(QString name, TClientLogs& owner, const QString& logsDir);

    const QString& Name() const { return name_; }
    TLog& Log() { return log_; }

    // Writes "level: text" as one entry and passes the text on to the live log when the
    // level is 4 (with the bug hint) or when toLiveLog is set.
    void Add(const QString& text, quint8 level, bool toLiveLog = false);

private:
    QString name_;
    TClientLogs& owner_;
    TLog log_;
};

class TClientLogs {
public:
    using TLiveLogHook = std::function<void(const QString&)>;

    // logsDir ends with a separator; files are logsDir + name + ".log".
    explicit TClientLogs(QString logsDir);
    TClientLogs(const TClientLogs&) = delete;
    TClientLogs& operator=(const TClientLogs&) = delete;
    ~TClientLogs();

    // The log of that name, created on first use.
    TClientLog& GetLog(const QString& name);
    TClientLog& Application() { return *application_; }
    TClientLog& Reports() { return *reports_; }
    // The names of the logs in use, sorted.
    QStringList Names() const;

    // The main window sets the hook through which live-log texts reach it; without one
    // they are only in the files.
    void SetLiveLogHook(TLiveLogHook hook) { liveLogHook_ = std::move(hook); }
    void AddToLiveLog(const QString& text) const;

private:
    QString logsDir_;
    std::map<QString, std::unique_ptr<TClientLog>> logs_;
    TClientLog* application_;
    TClientLog* reports_;
    TLiveLogHook liveLogHook_;
};

// The process-wide collection: installed before anything else at start and released last.
// ClientLogs() raises Exception while none is installed.
void InstallClientLogs(std::unique_ptr<TClientLogs> logs);
void ReleaseClientLogs();
bool HasClientLogs();
TClientLogs& ClientLogs();
