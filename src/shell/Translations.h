#pragma once
// The client's text set: with the Bulgarian choice of the per-user language store, the
// Bulgarian translations embedded in the program (":/i18n/telvane_bg.qm") and Qt's own
// Bulgarian texts for its standard dialogs (from Qt's translations folder, where the
// system has them) are installed before any window is made. English is the texts as
// written. Never raises: a set that does not load leaves the English texts, and says so
// in the returned text (empty when all went well).

#include "shell/base/LanguageStore.h"

#include <QString>

QString InstallTranslations(TLanguage language);
