#include "printing/ReportBand.h"

TFrameLines TFrameLines::Box()
{
    TFrameLines lines;
    lines.Top = lines.Bottom = lines.Left = lines.Right = true;
    return lines;
}

TFrameLines TFrameLines::Sides()
{
    TFrameLines lines;
    lines.Left = lines.Right = true;
    return lines;
}

TBand::TBand(TBandKind kind, const QFont& font) : kind_(kind), font_(font) {}

TBand::~TBand() = default;

TElement* TBand::AddElement(std::unique_ptr<TElement> element)
{
    elements_.push_back(std::move(element));
    return elements_.back().get();
}

TBand* TBand::AddChild(double height)
{
    TBand* last = this;
    while (last->child_)
        last = last->child_.get();
    last->child_ = std::make_unique<TBand>(TBandKind::Child, font_);
    last->child_->SetHeight(height);
    return last->child_.get();
}

double TBand::TotalHeight() const
{
    double height = 0;
    for (const TBand* band = this; band; band = band->Child())
        height += band->Height();
    return height;
}

TGroupBand::TGroupBand(const QFont& font, QString expression)
    : TBand(TBandKind::GroupHeader, font), expression_(std::move(expression))
{
}

TGroupBand::~TGroupBand() = default;

TBand* TGroupBand::AddFooter()
{
    footer_ = std::make_unique<TBand>(TBandKind::GroupFooter, Font());
    return footer_.get();
}
