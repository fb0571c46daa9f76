#include "shell/base/LanguageStore.h"

#include <QSettings>

namespace {

const QString kGroup = QStringLiteral("Languages");
TLanguage running = TLanguage::English;

// The path as a key: QSettings treats "/" as a group separator, so it is replaced.
QString Key(const QString& programPath)
{
    QString key = programPath;
    key.replace(QLatin1Char('/'), QLatin1Char('|'));
    key.replace(QLatin1Char('\\'), QLatin1Char('|'));
    return kGroup + QLatin1Char('/') + key;
}

QSettings Store()
{
    return QSettings(QSettings::UserScope, QStringLiteral("Telvane"), QStringLiteral("Telvane Control"));
}

}  // namespace

QString LanguageCode(TLanguage language)
{
    return language == TLanguage::Bulgarian ? QStringLiteral("BGR") : QStringLiteral("EXE");
}

TLanguage StoredLanguage(const QString& programPath)
{
    return Store().value(Key(programPath)).toString() == QLatin1String("BGR") ? TLanguage::Bulgarian
                                                                             : TLanguage::English;
}

void StoreLanguage(const QString& programPath, TLanguage language)
{
    QSettings store = Store();
    store.setValue(Key(programPath), LanguageCode(language));
    store.sync();
}

TLanguage RunningLanguage()
{
    return running;
}

void SetRunningLanguage(TLanguage language)
{
    running = language;
}
