#pragma once
// The per-user language store: which text set a program runs with, kept in the user's
// settings (QSettings, user scope) under the program's full path, so that two copies of
// the client in different folders keep their own choice. "BGR" is the Bulgarian set, "EXE"
// the built-in English texts; anything else reads as "EXE". Never raises.
//
//   if (StoredLanguage(QCoreApplication::applicationFilePath()) == TLanguage::Bulgarian) ...

#include <QString>

enum class TLanguage { English, Bulgarian };

TLanguage StoredLanguage(const QString& programPath);
void StoreLanguage(const QString& programPath, TLanguage language);
QString LanguageCode(TLanguage language);  // "BGR" or "EXE"

// The text set the running client loaded at its start.
TLanguage RunningLanguage();
void SetRunningLanguage(TLanguage language);
