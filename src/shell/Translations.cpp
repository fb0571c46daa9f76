#include "shell/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

QString InstallTranslations(TLanguage language)
{
    SetRunningLanguage(TLanguage::English);
    if (language != TLanguage::Bulgarian)
        return QString();
    auto* own = new QTranslator(QCoreApplication::instance());
    if (!own->load(QStringLiteral(":/i18n/telvane_bg.qm"))) {
        delete own;
        return QStringLiteral("The Bulgarian texts are missing from the program.");
    }
    QCoreApplication::installTranslator(own);
    SetRunningLanguage(TLanguage::Bulgarian);
    auto* qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(QStringLiteral("qtbase_bg"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    return QString();
}
