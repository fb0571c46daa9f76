#include "reports/DynamicElements.h"

#include "remote/Field.h"

#include <QColor>

#include <algorithm>

double FontPointSize(const QFont& font)
{
    if (font.pointSizeF() > 0)
        return font.pointSizeF();
    return font.pixelSize() > 0 ? font.pixelSize() * 72.0 / 96.0 : 10.0;
}

QFont FontOfSize(const QFont& font, double points)
{
    QFont sized = font;
    sized.setPointSizeF(points);
    return sized;
}

double LineBandHeight(const QFont& font)
{
    return LineBandFactor * FontPointSize(font);
}

QString ColumnReference(const QString& name)
{
    const bool plain = !name.isEmpty() && !name.front().isDigit() &&
                       std::all_of(name.begin(), name.end(),
                                   [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); });
    return plain ? name : QLatin1Char('[') + name + QLatin1Char(']');
}

TDynamicRightBorder::TDynamicRightBorder(double& position)
{
    SetGeometry(position, 0, BorderWidth);
    position += BorderWidth;
}

void PlaceText(TTextElement& element, bool autoSize, double width, double& position)
{
    element.SetGeometry(position, 0, width);
    element.SetAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    element.SetAutoSize(autoSize);
    position += width;
}

TDynamicDBText::TDynamicDBText(const TBand&, bool autoSize, double width, double& position,
                               const QString& column)
    : TFieldElement(column)
{
    PlaceText(*this, autoSize, width, position);
}

TDynamicExpr::TDynamicExpr(const TBand& band, bool autoSize, TPrintHandler handler, double widthFactor,
                           double& position, const QString& expression)
    : TExpressionElement(expression)
{
    PlaceText(*this, autoSize, widthFactor * FontPointSize(band.Font()), position);
    SetOnPrint(std::move(handler));
    SetResetAfterPrint(true);
}

QColor TDynamicGroup::Grey(int increase)
{
    const int level = std::clamp(255 - 17 * increase, 0, 255);
    return QColor(level, level, level);
}

TDynamicGroup::TDynamicGroup(const QFont& reportFont, bool autoSize, const TTotalsBuilder& totalsBuilder,
                             const TGroupHeaderBuilder& headerBuilder, int increase, const TField* column)
    : TGroupBand(FontOfSize(reportFont, FontPointSize(reportFont) + increase),
                 column ? ColumnReference(column->FieldName()) : QString()),
      increase_(increase)
{
    SetBackground(Grey(increase));
    SetReprintOnNewPage(true);
    SetHeight(LineBandHeight(Font()));
    SetFrame(TFrameLines::Box());
    if (headerBuilder)
        headerBuilder(*this, column, autoSize);

    TBand* footer = AddFooter();
    const double reportSize = FontPointSize(reportFont);
    footer->AddChild(reportSize * reportSize / 100);
    footer->SetFont(Font());
    footer->SetBackground(Background());
    footer->SetHeight(LineBandHeight(Font()));
    footer->SetFrame(TFrameLines::Box());
    if (totalsBuilder)
        totalsBuilder(*footer, autoSize);
}

TTotalsBuilder CountTotals(const QString& noun)
{
    return [noun](TBand& band, bool autoSize) {
        double position = 0;
        band.Add<TDynamicExpr>(
                band, autoSize,
                [noun](const QString& count, const TPrintContext&) { return QStringLiteral("%1 %2").arg(count, noun); },
                14, position, QStringLiteral("COUNT"))
            ->SetAlignToBand(true);
    };
}
