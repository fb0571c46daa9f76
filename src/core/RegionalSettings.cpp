#include "core/RegionalSettings.h"

namespace {

TRegionalSettings& CurrentStorage()
{
    static TRegionalSettings current = TRegionalSettings::FromLocale(QLocale::system());
    return current;
}

QStringList Names(const QLocale& locale, bool months, QLocale::FormatType format)
{
    QStringList names;
    if (months) {
        for (int m = 1; m <= 12; ++m)
            names << locale.monthName(m, format);
    } else {
        names << locale.dayName(7, format);
        for (int d = 1; d <= 6; ++d)
            names << locale.dayName(d, format);
    }
    return names;
}

}  // namespace

TRegionalSettings::TRegionalSettings()
{
    const QLocale c = QLocale::c();
    ShortMonthNames = Names(c, true, QLocale::ShortFormat);
    LongMonthNames = Names(c, true, QLocale::LongFormat);
    ShortDayNames = Names(c, false, QLocale::ShortFormat);
    LongDayNames = Names(c, false, QLocale::LongFormat);
}

TRegionalSettings TRegionalSettings::FromLocale(const QLocale& locale)
{
    TRegionalSettings rs;
    const QString decimal = locale.decimalPoint();
    if (!decimal.isEmpty())
        rs.DecimalSeparator = decimal.at(0);
    const QString group = locale.groupSeparator();
    if (!group.isEmpty())
        rs.ThousandSeparator = group.at(0);
    rs.CurrencyString = locale.currencySymbol(QLocale::CurrencySymbol);
    if (rs.CurrencyString.isEmpty())
        rs.CurrencyString = QStringLiteral("$");

    // The placement is read off the locale's own text for an amount.
    const QString sample = locale.toCurrencyString(1.0);
    const qsizetype at = sample.indexOf(rs.CurrencyString);
    if (at >= 0) {
        const bool before = at == 0;
        const qsizetype nextAt = before ? rs.CurrencyString.size() : at - 1;
        const QChar next = nextAt >= 0 && nextAt < sample.size() ? sample.at(nextAt) : QChar();
        const bool blank = next.isSpace();
        rs.CurrencyFormat = before ? (blank ? 2 : 0) : (blank ? 3 : 1);
    }

    rs.ShortDateFormat = FromQtFormat(locale.dateFormat(QLocale::ShortFormat));
    rs.LongTimeFormat = FromQtFormat(locale.timeFormat(QLocale::LongFormat));
    rs.ShortTimeFormat = FromQtFormat(locale.timeFormat(QLocale::ShortFormat));
    rs.ShortMonthNames = Names(locale, true, QLocale::ShortFormat);
    rs.LongMonthNames = Names(locale, true, QLocale::LongFormat);
    rs.ShortDayNames = Names(locale, false, QLocale::ShortFormat);
    rs.LongDayNames = Names(locale, false, QLocale::LongFormat);
    return rs;
}

const TRegionalSettings& TRegionalSettings::Current()
{
    return CurrentStorage();
}

void TRegionalSettings::SetCurrent(const TRegionalSettings& settings)
{
    CurrentStorage() = settings;
}

QString TRegionalSettings::FromQtFormat(const QString& qtFormat)
{
    QString out;
    const int n = qtFormat.size();
    for (int i = 0; i < n; ++i) {
        const QChar c = qtFormat[i];
        if (c == QLatin1Char('\'')) {
            // Qt quotes literals with single quotes and writes a quote as two of them.
            int j = i + 1;
            QString literal;
            while (j < n) {
                if (qtFormat[j] == QLatin1Char('\'')) {
                    if (j + 1 < n && qtFormat[j + 1] == QLatin1Char('\'')) {
                        literal += QLatin1Char('\'');
                        j += 2;
                        continue;
                    }
                    break;
                }
                literal += qtFormat[j++];
            }
            out += QLatin1Char('"') + literal + QLatin1Char('"');
            i = j;
            continue;
        }
        switch (c.unicode()) {
        case 'M': out += QLatin1Char('m'); break;
        case 'm': out += QLatin1Char('n'); break;
        case 'H': out += QLatin1Char('h'); break;
        case 'A':
        case 'a':
            out += QStringLiteral("ampm");
            if (i + 1 < n && (qtFormat[i + 1] == QLatin1Char('P') || qtFormat[i + 1] == QLatin1Char('p')))
                ++i;
            break;
        case 't': break;  // Qt's time zone; the product shows none
        default: out += c;
        }
    }
    return out.trimmed();
}
