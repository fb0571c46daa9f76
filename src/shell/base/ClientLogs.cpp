#include "shell/base/ClientLogs.h"

#include "core/Errors.h"

#include <QCoreApplication>

#include <utility>

namespace {

std::unique_ptr<TClientLogs>& Installed()
{
    static std::unique_ptr<TClientLogs> logs;
    return logs;
}

}  // namespace

TClientLog::TClientLog(QString name, TClientLogs& owner, const QString& logsDir)
    : name_(std::move(name)), owner_(owner), log_(logsDir + name_ + QStringLiteral(".log"), true)
{
}

void TClientLog::Add(const QString& text, quint8 level, bool toLiveLog)
{
    log_.Write(QString::number(level) + QStringLiteral(": ") + text, true);
    if (level == 4) {
        owner_.AddToLiveLog(text + QLatin1Char('\n') +
                            QCoreApplication::translate(
                                "TClientLog", "This may be a bug - please report exact steps to reproduce."));
    } else if (toLiveLog) {
        owner_.AddToLiveLog(text);
    }
}

TClientLogs::TClientLogs(QString logsDir)
    : logsDir_(std::move(logsDir)),
      application_(&GetLog(QStringLiteral("application"))),
      reports_(&GetLog(QStringLiteral("reports")))
{
}

TClientLogs::~TClientLogs() = default;

TClientLog& TClientLogs::GetLog(const QString& name)
{
    auto found = logs_.find(name);
    if (found == logs_.end())
        found = logs_.emplace(name, std::make_unique<TClientLog>(name, *this, logsDir_)).first;
    return *found->second;
}

QStringList TClientLogs::Names() const
{
    QStringList names;
    for (const auto& entry : logs_)
        names.append(entry.first);
    return names;
}

void TClientLogs::AddToLiveLog(const QString& text) const
{
    if (liveLogHook_)
        liveLogHook_(text);
}

void InstallClientLogs(std::unique_ptr<TClientLogs> logs)
{
    Installed() = std::move(logs);
}

void ReleaseClientLogs()
{
    Installed().reset();
}

bool HasClientLogs()
{
    return Installed() != nullptr;
}

TClientLogs& ClientLogs()
{
    if (!Installed())
        throw Exception(QStringLiteral("TClientLogs: The client logs are not open."));
    return *Installed();
}
