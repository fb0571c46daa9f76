#include "reports/CallsPrintTexts.h"

#include "calls/Globals.h"
#include "core/RegionalSettings.h"

#include <QCoreApplication>

#include <cmath>

namespace {

// The texts belong to the calls grid, whose layout prints them.
QString Tr(const char* text)
{
    return QCoreApplication::translate("TFrameCallsReportGrid", text);
}

// Whole hundredths of an amount: the currency value keeps four decimals, and a half
// hundredth of it rounds away from zero (12.345 is 12.35, as the amount reads).
qint64 Hundredths(double amount)
{
    const double tenThousandths = RoundScaled(amount, 10000);
    if (!std::isfinite(tenThousandths) || std::fabs(tenThousandths) >= 9.2e18)
        return std::llround(amount * 100);
    const qint64 units = static_cast<qint64>(tenThousandths);
    return units >= 0 ? (units + 50) / 100 : -((-units + 50) / 100);
}

// The amount as the engine's sum reached the line: "." or the locale's separator.
double AmountOf(const QString& part)
{
    return TextDotToFloat(part.trimmed(), -1);
}

QString CountPart(const QString& value, const char* unit)
{
    return QStringLiteral("%1 %2; ").arg(value, Tr(unit));
}

}  // namespace

QString TwoDecimalsText(double amount)
{
    const qint64 hundredths = Hundredths(amount);
    const quint64 magnitude =
        hundredths < 0 ? 0 - static_cast<quint64>(hundredths) : static_cast<quint64>(hundredths);
    const QString text = QStringLiteral("%1%2%3")
                             .arg(magnitude / 100)
                             .arg(TRegionalSettings::Current().DecimalSeparator)
                             .arg(magnitude % 100, 2, 10, QLatin1Char('0'));
    return hundredths < 0 ? QLatin1Char('-') + text : text;
}

QString TotalsText(const QString& evaluated)
{
    const TStringArray parts = SplitText(QLatin1Char(TotalsSeparator), evaluated);
    const QString rows = parts.value(0), calls = parts.value(1), duration = parts.value(2),
                  pulses = parts.value(5);
    const double rawCharge = AmountOf(parts.value(3));
    const double vat = AmountOf(parts.value(4));

    QString line = Tr(QT_TRANSLATE_NOOP("TFrameCallsReportGrid", "Totals")) + QStringLiteral(": ");
    if (!rows.isEmpty())
        line += CountPart(rows, QT_TRANSLATE_NOOP("TFrameCallsReportGrid", "rows"));
    if (!calls.isEmpty())
        line += CountPart(calls, QT_TRANSLATE_NOOP("TFrameCallsReportGrid", "calls"));
    if (!duration.isEmpty()) {
        const double seconds = TextDotToFloat(duration.trimmed(), -1);
        if (seconds >= 0)
            line += FormatDuration(seconds) + QStringLiteral("; ");
    }
    if (rawCharge >= 0 && vat >= 0)
        line += QStringLiteral("%1 + %2 = %3; ")
                    .arg(TwoDecimalsText(rawCharge), TwoDecimalsText(vat),
                         FormatMoney(Hundredths(rawCharge + vat) / 100.0));
    else if (rawCharge >= 0)
        line += FormatMoney(Hundredths(rawCharge) / 100.0) + QStringLiteral("; ");
    else if (vat >= 0)
        line += FormatMoney(Hundredths(vat) / 100.0) + QStringLiteral("; ");
    if (!pulses.isEmpty())
        line += CountPart(pulses, QT_TRANSLATE_NOOP("TFrameCallsReportGrid", "pulses"));
    return line;
}

namespace {

QString GroupText(const QString& group)
{
    return QLatin1Char(' ') + Tr(QT_TRANSLATE_NOOP("TFrameCallsReportGrid", "from \"%1\" group")).arg(group);
}

bool AllEmpty(const THeaderValues& values)
{
    return values.Code.isEmpty() && values.Name.isEmpty() && values.Group.isEmpty();
}

}  // namespace

QString ExtPinHeaderText(TCallFieldId codeField, const THeaderValues& values)
{
    QString text = FieldInfo(codeField).Caption();
    if (AllEmpty(values))
        return text + QLatin1Char(' ') + Tr(QT_TRANSLATE_NOOP("TFrameCallsReportGrid", "missing"));
    if (!values.Code.isEmpty())
        text += QLatin1Char(' ') + values.Code;
    if (!values.Name.isEmpty())
        text += QStringLiteral(", \"%1\"").arg(values.Name);
    if (!values.Group.isEmpty())
        text += GroupText(values.Group);
    return text;
}

QString ExtPinNameHeaderText(TCallFieldId nameField, const THeaderValues& values)
{
    QString text = FieldInfo(nameField).Caption();
    if (AllEmpty(values))
        return text + QLatin1Char(' ') + Tr(QT_TRANSLATE_NOOP("TFrameCallsReportGrid", "missing"));
    text += QStringLiteral(" \"%1\"").arg(values.Name);
    if (!values.Code.isEmpty())
        text += QStringLiteral(", %1").arg(values.Code);
    if (!values.Group.isEmpty())
        text += GroupText(values.Group);
    return text;
}
