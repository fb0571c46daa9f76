#pragma once
// The non-visual beginning and end of the client process, in their fixed order.

#include <QString>

// Derives the directories from the program file, installs the client logs (with
// "Starting..." in the application log) and opens the settings file beside the program.
void StartProcessCore(const QString& programPath);

// The server name or address the user chose, trimmed and upper-cased; empty until the user
// connects and again at process end.
QString& ServerHost();

// Clears ServerHost, releases the settings file, writes "Shutdown complete." to the
// application log, releases the logs and clears the directories; the later steps run even
// if logging fails.
void EndProcessCore();
