#pragma once
// What a printed call report's totals lines read, for sums SQLite made of the same rows, and
// the footers a laid-out report prints for each grouping level.
//
//   const QString line = ExpectedTotals(groupRows, calls, duration, {}, {}, {});
//   const TPrintedTotals printed = PrintedTotals(*grid->Report());
//   QCOMPARE(printed.Levels.at(0).at(0), line);

#include "calls/Globals.h"
#include "core/RegionalSettings.h"
#include "printing/Paginator.h"
#include "printing/Report.h"

#include <QList>
#include <QStringList>
#include <QVariant>

inline QString TotalsText(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

// An amount SQLite summed exactly, in ten-thousandths, as the totals line prints it: whole
// hundredths, a half rounded up, the locale's separator.
inline qint64 TotalsCents(const QVariant& tenThousandths)
{
    return (tenThousandths.toLongLong() + 50) / 100;
}

inline QString TotalsTwoDecimals(const QVariant& tenThousandths)
{
    const qint64 cents = TotalsCents(tenThousandths);
    return QStringLiteral("%1%2%3")
        .arg(cents / 100)
        .arg(TRegionalSettings::Current().DecimalSeparator)
        .arg(cents % 100, 2, 10, QLatin1Char('0'));
}

// What a totals line reads for sums that SQLite computed; amounts in ten-thousandths; an
// invalid value is a column the report does not have.
inline QString ExpectedTotals(const QVariant& rows, const QVariant& calls, const QVariant& duration,
                              const QVariant& rawCharge, const QVariant& vat, const QVariant& pulses)
{
    QString line = QStringLiteral("Totals: ");
    if (rows.isValid())
        line += TotalsText(rows) + QStringLiteral(" rows; ");
    line += TotalsText(calls) + QStringLiteral(" calls; ");
    if (duration.isValid())
        line += FormatDuration(duration.toDouble()) + QStringLiteral("; ");
    if (rawCharge.isValid() && vat.isValid())
        line += QStringLiteral("%1 + %2 = %3; ")
                    .arg(TotalsTwoDecimals(rawCharge), TotalsTwoDecimals(vat),
                         FormatMoney(TotalsCents(rawCharge.toLongLong() + vat.toLongLong()) / 100.0));
    else if (rawCharge.isValid())
        line += FormatMoney(TotalsCents(rawCharge) / 100.0) + QStringLiteral("; ");
    if (pulses.isValid())
        line += TotalsText(pulses) + QStringLiteral(" pulses; ");
    return line;
}

// The footers of every grouping level (outermost first), in print order, and the summary.
struct TPrintedTotals {
    QList<QStringList> Levels;
    QString Summary;
};

inline TPrintedTotals PrintedTotals(const TReport& report)
{
    TPrintedTotals out;
    const auto& groups = report.Groups();
    for (size_t i = 0; i < groups.size(); ++i)
        out.Levels.append(QStringList());
    TPaginator paginator(report);
    for (const TPage& page : Paginate(paginator))
        for (const TPlacedElement& e : paginator.PlaceElements(page)) {
            if (e.Kind != TPlacedElement::TKind::Text)
                continue;
            for (size_t i = 0; i < groups.size(); ++i)
                if (e.Band == groups[i]->Footer())
                    out.Levels[static_cast<int>(i)].append(e.Text);
            if (e.Band == report.Band(TBandKind::Summary))
                out.Summary = e.Text;
        }
    return out;
}
