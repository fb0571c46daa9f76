#pragma once
// Regional settings that tests run the product's texts under.
//
//   TRegionalSettings::SetCurrent(CommaEuros());   // 12,5 EUR

#include "core/RegionalSettings.h"

// "." decimals, "$" before the amount: 12.5 gives $12.5.
inline TRegionalSettings PointDollars()
{
    TRegionalSettings rs;
    rs.DecimalSeparator = QLatin1Char('.');
    rs.ThousandSeparator = QLatin1Char(',');
    rs.CurrencyString = QStringLiteral("$");
    rs.CurrencyFormat = 0;
    return rs;
}

// "," decimals, "EUR" after the amount with a blank: 12.5 gives 12,5 EUR.
inline TRegionalSettings CommaEuros()
{
    TRegionalSettings rs;
    rs.DecimalSeparator = QLatin1Char(',');
    rs.ThousandSeparator = QLatin1Char('.');
    rs.CurrencyString = QStringLiteral("EUR");
    rs.CurrencyFormat = 3;
    return rs;
}
