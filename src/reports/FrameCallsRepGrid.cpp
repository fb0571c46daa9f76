#include "reports/FrameCallsRepGrid.h"

#include "reports/CallsPrintTexts.h"

namespace {

// A string literal of the expression language.
QString Literal(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// The header of an extension or PIN level, from the code, name and group columns of the
// group's first row.
TPrintHandler HeaderHandler(TCallFieldId captionField, TCallFieldId code, TCallFieldId name,
                            TCallFieldId group)
{
    const bool byName = captionField == cfExtName || captionField == cfPinName;
    return [=](const QString&, const TPrintContext& context) {
        const THeaderValues values{context.Text(FieldInfo(code).Name()), context.Text(FieldInfo(name).Name()),
                                   context.Text(FieldInfo(group).Name())};
        return byName ? ExtPinNameHeaderText(captionField, values) : ExtPinHeaderText(captionField, values);
    };
}

}  // namespace

TFrameCallsReportGrid::TFrameCallsReportGrid(QWidget* owner, TReportDM& reportDM, TMainFormServices* services)
    : TFrameReportGrid(owner, services), reportDM_(reportDM)
{
    setObjectName(QStringLiteral("FrameCallsReportGrid"));
    SetBuilders([this](TBand& band, bool autoSize) { BuildTotals(band, autoSize); },
                [this](TDynamicGroup& header, const TField* column, bool autoSize) {
                    BuildGroupHeader(header, column, autoSize);
                });
}

bool TFrameCallsReportGrid::HasColumn(TCallFieldId field) const
{
    return Dataset() && Dataset()->FindField(FieldInfo(field).Name());
}

QString TFrameCallsReportGrid::SumItem(TCallFieldId field) const
{
    if (!HasColumn(field))
        return QStringLiteral("''");
    return QStringLiteral("SUM(%1)").arg(
        ColumnReference(Dataset()->FindField(FieldInfo(field).Name())->FieldName()));
}

QString TFrameCallsReportGrid::TotalsExpression() const
{
    const QStringList items =
        grouped_ ? QStringList{QStringLiteral("SUM(1)"),  SumItem(cfTotalCount), SumItem(cfTotalDuration),
                               SumItem(cfTotalRawCharge), SumItem(cfTotalVat),   SumItem(cfTotalPulses)}
                 : QStringList{QStringLiteral("''"), QStringLiteral("COUNT"), SumItem(cfDuration),
                               SumItem(cfRawCharge), SumItem(cfVat),          SumItem(cfPulses)};
    return items.join(QStringLiteral("+'%1'+").arg(QLatin1Char(TotalsSeparator)));
}

// The totals line and the group headers stand alone in their bands: they may take the
// band's whole width rather than be cut at the end of their own box.
void TFrameCallsReportGrid::BuildTotals(TBand& band, bool autoSize) const
{
    double position = 0;
    band.Add<TDynamicExpr>(
            band, autoSize, [](const QString& text, const TPrintContext&) { return TotalsText(text); }, 14,
            position, TotalsExpression())
        ->SetAlignToBand(true);
}

void TFrameCallsReportGrid::BuildGroupHeader(TDynamicGroup& header, const TField* column, bool autoSize) const
{
    const TCallFieldId field = column ? FieldIdByName(column->FieldName()) : cfNone;
    double position = 0;
    auto addText = [&](double widthFactor, const QString& expression, TPrintHandler handler = {}) {
        header.Add<TDynamicExpr>(header, autoSize, std::move(handler), widthFactor, position, expression)
            ->SetAlignToBand(true);
    };
    switch (field) {
        case cfExtCode:
            addText(12, QString(), HeaderHandler(cfExtCode, cfExtCode, cfExtName, cfExtGroupName));
            break;
        case cfPinCode:
            addText(12, QString(), HeaderHandler(cfPinCode, cfPinCode, cfPinName, cfPinGroupName));
            break;
        case cfExtName:
        case cfPinName: {
            // The level breaks on the code: two extensions of one name are two groups.
            const TCallFieldId code = field == cfExtName ? cfExtCode : cfPinCode;
            if (HasColumn(code))
                header.SetExpression(
                    ColumnReference(Dataset()->FindField(FieldInfo(code).Name())->FieldName()));
            addText(12, QString(),
                    field == cfExtName ? HeaderHandler(cfExtName, cfExtCode, cfExtName, cfExtGroupName)
                                       : HeaderHandler(cfPinName, cfPinCode, cfPinName, cfPinGroupName));
            break;
        }
        case cfExtraCode:
        case cfCircuit:
        case cfTrunk:
        case cfCallType:
        case cfPhone:
        case cfExtGroupName:
        case cfPinGroupName: {
            const double widthFactor =
                field == cfPhone || field == cfExtGroupName || field == cfPinGroupName ? 8 : 6;
            addText(widthFactor,
                    QStringLiteral("%1+%2").arg(Literal(FieldInfo(field).Caption() + QLatin1Char(' ')),
                                                ColumnReference(column->FieldName())));
            break;
        }
        default:
            addText(12, QString());
            break;
    }
}
