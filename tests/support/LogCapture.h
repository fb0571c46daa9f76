#pragma once
// Installs the client logs in a temporary directory for a test and keeps what reaches the
// live log.

#include "shell/base/ClientLogs.h"
#include "support/LogFiles.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class TLogCapture {
public:
    TLogCapture()
    {
        InstallClientLogs(std::make_unique<TClientLogs>(dir_.path() + QDir::separator()));
        ClientLogs().SetLiveLogHook([this](const QString& text) { LiveLog.append(text); });
    }
    ~TLogCapture() { ReleaseClientLogs(); }
    TLogCapture(const TLogCapture&) = delete;
    TLogCapture& operator=(const TLogCapture&) = delete;

    // The entries of a log file without their time stamps ("4: text") and without the
    // line that starts the file.
    QStringList Entries(const QString& name) const
    {
        QStringList entries = LogFileEntries(dir_.filePath(name + QStringLiteral(".log")));
        entries.removeIf(
            [](const QString& entry) { return entry.isEmpty() || entry == QLatin1String("Log created"); });
        return entries;
    }

    QStringList LiveLog;

private:
    QTemporaryDir dir_;
};
