#include "shell/base/AppDirs.h"

#include <QDir>
#include <QFileInfo>

namespace {

TAppDirs& Current()
{
    static TAppDirs dirs;
    return dirs;
}

}  // namespace

TAppDirs TAppDirs::FromProgramPath(const QString& programPath)
{
    const QFileInfo program(programPath);
    TAppDirs dirs;
    dirs.AppDir = QDir::cleanPath(program.absolutePath());
    if (!dirs.AppDir.endsWith(QLatin1Char('/')))
        dirs.AppDir += QLatin1Char('/');
    dirs.ArchivesDir = dirs.AppDir + QStringLiteral("archives/");
    dirs.ImagesDir = dirs.AppDir + QStringLiteral("images/");
    dirs.HelpDir = dirs.AppDir + QStringLiteral("help/");
    dirs.LogsDir = dirs.AppDir + QStringLiteral("logs/");
    dirs.HelpFile = dirs.HelpDir + QStringLiteral("TelvaneControl.html");
    // completeBaseName drops only the last extension, like a change of extension does.
    dirs.SettingsFile = dirs.AppDir + program.completeBaseName() + QStringLiteral(".ini");
    return dirs;
}

void SetAppDirs(const QString& programPath)
{
    Current() = TAppDirs::FromProgramPath(programPath);
}

void ClearAppDirs()
{
    Current() = TAppDirs();
}

const QString& AppDir()
{
    return Current().AppDir;
}

const QString& ArchivesDir()
{
    return Current().ArchivesDir;
}

const QString& ImagesDir()
{
    return Current().ImagesDir;
}

const QString& HelpDir()
{
    return Current().HelpDir;
}

const QString& LogsDir()
{
    return Current().LogsDir;
}

const QString& HelpFile()
{
    return Current().HelpFile;
}

const QString& SettingsFileName()
{
    return Current().SettingsFile;
}
