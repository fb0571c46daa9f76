#pragma once
// The program's directories, derived once at process start from the full path of the
// program file. Every directory value ends with a separator so that file names are
// appended directly.

#include <QString>

struct TAppDirs {
    QString AppDir;
    QString ArchivesDir;
    QString ImagesDir;
    QString HelpDir;
    QString LogsDir;
    QString HelpFile;
    // The program's path with its extension replaced by ".ini".
    QString SettingsFile;

    static TAppDirs FromProgramPath(const QString& programPath);
};

// Derives the process-wide values from the program file (normally
// QCoreApplication::applicationFilePath()).
void SetAppDirs(const QString& programPath);
// Empties them at process end.
void ClearAppDirs();

const QString& AppDir();
const QString& ArchivesDir();
const QString& ImagesDir();
const QString& HelpDir();
const QString& LogsDir();
const QString& HelpFile();
const QString& SettingsFileName();
