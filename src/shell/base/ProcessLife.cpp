#include "shell/base/ProcessLife.h"

#include "shell/base/AppDirs.h"
#include "shell/base/ClientLogs.h"
#include "shell/base/IniFiles32.h"

#include <QScopeGuard>

#include <memory>

QString& ServerHost()
{
    static QString host;
    return host;
}

void StartProcessCore(const QString& programPath)
{
    SetAppDirs(programPath);
    InstallClientLogs(std::make_unique<TClientLogs>(LogsDir()));
    ClientLogs().Application().Add(QStringLiteral("Starting..."), 1);
    InstallSettingsFile(std::make_unique<TIniFile32>(SettingsFileName()));
}

void EndProcessCore()
{
    ServerHost().clear();
    ReleaseSettingsFile();
    const auto release = qScopeGuard([] {
        ReleaseClientLogs();
        ClearAppDirs();
    });
    if (HasClientLogs())
        ClientLogs().Application().Add(QStringLiteral("Shutdown complete."), 1);
}
