#pragma once
// Installs the client logs in a temporary directory for a test and keeps what reaches the
// live log.

#include "shell/base/ClientLogs.h"

#include <QDir>
#include <QFile>
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

    // The entries of a log file without their time stamps ("4: text").
    QStringList Entries(const QString& name) const
    {
        QFile file(dir_.filePath(name + QStringLiteral(".log")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList entries;
        for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
            const QString entry = line.trimmed().section(QLatin1Char(' '), 2);
            if (!entry.isEmpty() && entry != QLatin1String("Log created"))
                entries.append(entry);
        }
        return entries;
    }

    QStringList LiveLog;

private:
    QTemporaryDir dir_;
};
