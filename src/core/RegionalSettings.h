#pragma once
// The user's regional settings as the product's texts use them. One value is current for
// the whole process: read from the system locale at start, replaceable (tests run the
// helpers under other separators and currency placements).

#include <QLocale>
#include <QString>
#include <QStringList>

struct TRegionalSettings {
    QChar DecimalSeparator = QLatin1Char('.');
    QChar ThousandSeparator = QLatin1Char(',');
    QString CurrencyString = QStringLiteral("$");
    // 0 symbol before the amount, 1 after, 2 before with a blank, 3 after with a blank.
    int CurrencyFormat = 0;
    // Date and time formats in the product's own pattern letters (see FormatDateTime).
    QString ShortDateFormat = QStringLiteral("dd.mm.yyyy");
    QString LongTimeFormat = QStringLiteral("hh:nn:ss");
    QString ShortTimeFormat = QStringLiteral("hh:nn");
    QStringList ShortMonthNames;  // January first
    QStringList LongMonthNames;
    QStringList ShortDayNames;  // Sunday first
    QStringList LongDayNames;

    TRegionalSettings();

    static TRegionalSettings FromLocale(const QLocale& locale);
    static const TRegionalSettings& Current();
    static void SetCurrent(const TRegionalSettings& settings);

    // Qt's date-time format ("dd.MM.yyyy HH:mm") in the product's letters ("dd.mm.yyyy hh:nn").
    static QString FromQtFormat(const QString& qtFormat);
};
