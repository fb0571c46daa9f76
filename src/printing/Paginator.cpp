#include "printing/Paginator.h"

#include "printing/RowSource.h"

#include <QCoreApplication>

#include <deque>
#include <unordered_map>
#include <unordered_set>

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("TPaginator", text);
}

constexpr double Epsilon = 1e-6;

QString BandKindName(TBandKind kind)
{
    switch (kind) {
        case TBandKind::Title:
            return QStringLiteral("title");
        case TBandKind::PageHeader:
            return QStringLiteral("page header");
        case TBandKind::ColumnHeader:
            return QStringLiteral("column header");
        case TBandKind::GroupHeader:
            return QStringLiteral("group header");
        case TBandKind::Detail:
            return QStringLiteral("detail");
        case TBandKind::GroupFooter:
            return QStringLiteral("group footer");
        case TBandKind::Summary:
            return QStringLiteral("summary");
        case TBandKind::PageFooter:
            return QStringLiteral("page footer");
        case TBandKind::Child:
            return QStringLiteral("child");
    }
    return {};
}

// The rows of a report without a source.
class TNoRows : public TRowSource {
public:
    QString Name() const override { return {}; }
    int RowCount() const override { return 0; }
    int ColumnCount() const override { return 0; }
    QString ColumnName(int) const override { return {}; }
    QVariant Value(int, int) const override { return {}; }
    QString DisplayText(int, int) const override { return {}; }
};

// One step of the flow of rows: a group header, a row, a group footer or the summary.
struct TFlowItem {
    enum class TKind { Header, Detail, Footer, Summary };
    TKind Kind = TKind::Detail;
    const TBand* Band = nullptr;  // null: nothing prints (a row without a detail band)
    int Row = -1;
    // The grouping levels whose header printed and whose footer has not yet: the headers
    // to print again when a page starts before this item.
    int OpenLevels = 0;
};

}  // namespace

class TPaginator::TState {
public:
    // How an element prints, bound to the source once per layout.
    struct TElementPlan {
        enum class TKind { Label, Expression, Field, PageNumber, Line };
        const TElement* Element = nullptr;
        TKind Kind = TKind::Label;
        TExpression Expression;
        TAggregates Aggregates;
        int Column = -1;
        bool ResetAfterPrint = false;
        // Its text is evaluated when the band is placed and kept in the placed band.
        bool Kept = false;
    };
    struct TBandPlan {
        std::vector<TElementPlan> Elements;
    };

    TState(const TReport& report);

    TPage NextPage();
    std::vector<TPlacedElement> PlaceElements(const TPage& page) const;

    const TReport& Report;
    const TRowSource* Source;
    TNoRows noRows;
    int RowCount = 0;
    int RowsDone = 0;
    bool AtEnd = false;

private:
    void PlanBand(const TBand* band);
    TElementPlan PlanElement(const TBand& band, const TElement& element);
    void CheckSource() const;

    // The flow, generated on demand.
    const TFlowItem* Peek(size_t index);
    void GenerateRow();
    QString GroupKey(size_t level, int row) const;
    double ChainHeight(size_t index);

    void PlaceUnit(TPage& page, const TBand* band, int row, double& top);
    std::vector<QString> KeptTexts(const TBand& band, int row, int page);
    QString ElementText(const TElementPlan& plan, int row, int page) const;
    void AddRow(int row);

    std::unordered_map<const TBand*, TBandPlan> plans_;
    std::vector<TElementPlan*> accumulating_;
    std::vector<const TGroupBand*> groups_;
    std::vector<TExpression> groupKeys_;

    std::deque<TFlowItem> flow_;
    int nextRow_ = 0;
    bool flowEnded_ = false;
    std::vector<QString> lastKeys_;
    int pageNumber_ = 0;
    int lastRow_ = -1;
};

TPaginator::TState::TState(const TReport& report)
    : Report(report), Source(report.Source() ? report.Source() : &noRows)
{
    for (const auto& group : report.Groups()) {
        groups_.push_back(group.get());
        TExpression key = TExpression::Parse(group->Expression(), *Source);
        if (key.HasAggregates())
            throw EExpressionError(group->Expression(), Tr("a grouping expression cannot use SUM or COUNT"),
                                   1);
        groupKeys_.push_back(std::move(key));
        PlanBand(group.get());
        PlanBand(group->Footer());
    }
    for (TBandKind kind : {TBandKind::Title, TBandKind::PageHeader, TBandKind::ColumnHeader,
                           TBandKind::Detail, TBandKind::Summary, TBandKind::PageFooter})
        PlanBand(report.Band(kind));
    for (auto& [band, plan] : plans_)
        for (TElementPlan& element : plan.Elements)
            if (element.Expression.HasAggregates())
                accumulating_.push_back(&element);

    RowCount = Source->RowCount();
    if (RowCount == 0) {
        AtEnd = !report.PrintIfEmpty();
        flowEnded_ = true;
        if (const TBand* summary = report.Band(TBandKind::Summary))
            flow_.push_back({TFlowItem::TKind::Summary, summary, -1, 0});
    }
}

void TPaginator::TState::PlanBand(const TBand* band)
{
    for (; band && !plans_.count(band); band = band->Child()) {
        TBandPlan& plan = plans_[band];
        for (const auto& element : band->Elements())
            plan.Elements.push_back(PlanElement(*band, *element));
    }
}

TPaginator::TState::TElementPlan TPaginator::TState::PlanElement(const TBand& band, const TElement& element)
{
    TElementPlan plan;
    plan.Element = &element;
    if (const auto* text = dynamic_cast<const TTextElement*>(&element))
        plan.Kept = static_cast<bool>(text->OnPrint());
    if (const auto* expression = dynamic_cast<const TExpressionElement*>(&element)) {
        plan.Kind = TElementPlan::TKind::Expression;
        plan.Expression = TExpression::Parse(expression->Expression(), *Source);
        plan.Aggregates = plan.Expression.NewAggregates();
        plan.ResetAfterPrint = expression->ResetAfterPrint();
        plan.Kept = true;
    } else if (const auto* field = dynamic_cast<const TFieldElement*>(&element)) {
        plan.Kind = TElementPlan::TKind::Field;
        plan.Column = Source->FindColumn(field->Column());
        if (plan.Column < 0)
            throw EReportError(Tr("Unknown column \"%1\" in a field of the %2 band.")
                                   .arg(field->Column(), BandKindName(band.Kind())));
    } else if (dynamic_cast<const TPageNumberElement*>(&element)) {
        plan.Kind = TElementPlan::TKind::PageNumber;
    } else if (dynamic_cast<const TVerticalLineElement*>(&element)) {
        plan.Kind = TElementPlan::TKind::Line;
    }
    return plan;
}

void TPaginator::TState::CheckSource() const
{
    if (Source->Changed())
        throw EReportError(
            Tr("The rows of \"%1\" changed while the report was being printed.").arg(Source->Name()));
}

// ---- the flow of rows ----------------------------------------------------------------------

QString TPaginator::TState::GroupKey(size_t level, int row) const
{
    return groupKeys_[level].EvaluateText(row);
}

void TPaginator::TState::GenerateRow()
{
    const auto levels = groups_.size();
    if (nextRow_ >= RowCount) {
        // The end: every open group closes, innermost first, then the summary.
        for (size_t level = levels; level-- > 0;)
            if (const TBand* footer = groups_[level]->Footer())
                flow_.push_back(
                    {TFlowItem::TKind::Footer, footer, RowCount - 1, static_cast<int>(level) + 1});
        if (const TBand* summary = Report.Band(TBandKind::Summary))
            flow_.push_back({TFlowItem::TKind::Summary, summary, RowCount - 1, 0});
        flowEnded_ = true;
        return;
    }
    const int row = nextRow_++;
    std::vector<QString> keys;
    keys.reserve(levels);
    for (size_t level = 0; level < levels; ++level)
        keys.push_back(GroupKey(level, row));
    // The outermost level whose key changed; every level inside it starts again too.
    size_t changed = levels;
    if (row == 0) {
        changed = 0;
    } else {
        for (size_t level = 0; level < levels; ++level)
            if (keys[level] != lastKeys_[level]) {
                changed = level;
                break;
            }
        for (size_t level = levels; level-- > changed;)
            if (const TBand* footer = groups_[level]->Footer())
                flow_.push_back({TFlowItem::TKind::Footer, footer, row - 1, static_cast<int>(level) + 1});
    }
    for (size_t level = changed; level < levels; ++level)
        flow_.push_back({TFlowItem::TKind::Header, groups_[level], row, static_cast<int>(level)});
    flow_.push_back(
        {TFlowItem::TKind::Detail, Report.Band(TBandKind::Detail), row, static_cast<int>(levels)});
    lastKeys_ = std::move(keys);
}

const TFlowItem* TPaginator::TState::Peek(size_t index)
{
    while (flow_.size() <= index && !flowEnded_)
        GenerateRow();
    return index < flow_.size() ? &flow_[index] : nullptr;
}

// The height the item at index needs on the page: its band and children, and the items
// after it as long as each links to the band printed next.
double TPaginator::TState::ChainHeight(size_t index)
{
    std::unordered_set<const TBand*> seen;
    double height = 0;
    for (const TFlowItem* item = Peek(index); item; item = Peek(++index)) {
        if (!item->Band)
            break;
        height += item->Band->TotalHeight();
        seen.insert(item->Band);
        const TBand* link = item->Band->Link();
        const TFlowItem* next = Peek(index + 1);
        if (!link || !next || next->Band != link || seen.count(link))
            break;
    }
    return height;
}

// ---- placing ------------------------------------------------------------------------------

QString TPaginator::TState::ElementText(const TElementPlan& plan, int row, int page) const
{
    switch (plan.Kind) {
        case TElementPlan::TKind::Label:
            return static_cast<const TLabelElement*>(plan.Element)->Text();
        case TElementPlan::TKind::Expression:
            return plan.Expression.EvaluateText(row, plan.Aggregates);
        case TElementPlan::TKind::Field:
            return row >= 0 ? Source->DisplayText(row, plan.Column) : QString();
        case TElementPlan::TKind::PageNumber:
            return static_cast<const TPageNumberElement*>(plan.Element)->Format().arg(page);
        case TElementPlan::TKind::Line:
            return {};
    }
    return {};
}

std::vector<QString> TPaginator::TState::KeptTexts(const TBand& band, int row, int page)
{
    std::vector<QString> texts;
    for (TElementPlan& plan : plans_[&band].Elements) {
        if (!plan.Kept)
            continue;
        QString text = ElementText(plan, row, page);
        if (const auto& handler = static_cast<const TTextElement*>(plan.Element)->OnPrint())
            text = handler(text, TPrintContext(*Source, row, page));
        if (plan.ResetAfterPrint)
            plan.Aggregates.Reset();
        texts.push_back(std::move(text));
    }
    return texts;
}

void TPaginator::TState::PlaceUnit(TPage& page, const TBand* band, int row, double& top)
{
    for (; band; band = band->Child()) {
        page.Bands.push_back({band, row, top, KeptTexts(*band, row, page.Number)});
        top += band->Height();
    }
}

void TPaginator::TState::AddRow(int row)
{
    for (TElementPlan* plan : accumulating_)
        plan->Expression.Accumulate(row, plan->Aggregates);
    RowsDone = row + 1;
}

TPage TPaginator::TState::NextPage()
{
    if (AtEnd)
        throw EReportError(Tr("The report has no more pages."));
    CheckSource();
    const TPageSetup& setup = Report.Page();
    TPage page;
    page.Number = ++pageNumber_;
    const TBand* pageFooter = Report.Band(TBandKind::PageFooter);
    const double bottom = setup.Height - setup.BottomMargin - (pageFooter ? pageFooter->TotalHeight() : 0);
    double top = setup.TopMargin;

    const TFlowItem* next = Peek(0);
    const int topRow = next ? next->Row : lastRow_;
    PlaceUnit(page, Report.Band(TBandKind::PageHeader), topRow, top);
    if (page.Number == 1)
        PlaceUnit(page, Report.Band(TBandKind::Title), topRow, top);
    PlaceUnit(page, Report.Band(TBandKind::ColumnHeader), topRow, top);
    if (page.Number > 1 && next)
        for (int level = 0; level < next->OpenLevels; ++level)
            if (groups_[static_cast<size_t>(level)]->ReprintOnNewPage())
                PlaceUnit(page, groups_[static_cast<size_t>(level)], next->Row, top);

    bool placedAny = false;
    while ((next = Peek(0)) != nullptr) {
        if (placedAny && top + ChainHeight(0) > bottom + Epsilon)
            break;
        const TFlowItem item = *next;
        flow_.pop_front();
        if (item.Kind == TFlowItem::TKind::Detail)
            AddRow(item.Row);
        PlaceUnit(page, item.Band, item.Row, top);
        lastRow_ = item.Row;
        placedAny = true;
    }
    AtEnd = !Peek(0);

    double footerTop = bottom;
    PlaceUnit(page, pageFooter, lastRow_, footerTop);
    return page;
}

std::vector<TPlacedElement> TPaginator::TState::PlaceElements(const TPage& page) const
{
    CheckSource();
    const TPageSetup& setup = Report.Page();
    std::vector<TPlacedElement> placed;
    for (size_t index = 0; index < page.Bands.size(); ++index) {
        const TPlacedBand& band = page.Bands[index];
        const TBand& b = *band.Band;
        const QRectF bandRect(setup.LeftMargin, band.Top, setup.ContentWidth(), b.Height());
        if (b.Background().isValid() || b.Frame().Any()) {
            TPlacedElement box;
            box.Kind = TPlacedElement::TKind::Band;
            box.Rect = bandRect;
            box.PlacedBand = static_cast<int>(index);
            box.Band = &b;
            box.Background = b.Background();
            box.Frame = b.Frame();
            placed.push_back(std::move(box));
        }
        const auto plan = plans_.find(&b);
        if (plan == plans_.end())
            continue;
        size_t kept = 0;
        for (const TElementPlan& element : plan->second.Elements) {
            const TElement& e = *element.Element;
            TPlacedElement item;
            item.PlacedBand = static_cast<int>(index);
            item.Band = &b;
            item.Element = &e;
            const double height = e.Height() > 0 ? e.Height() : b.Height() - e.Top();
            item.Rect = QRectF(setup.LeftMargin + e.Left(), band.Top + e.Top(), e.Width(), height);
            if (element.Kind == TElementPlan::TKind::Line) {
                item.Kind = TPlacedElement::TKind::Line;
                item.PenWidth = static_cast<const TVerticalLineElement&>(e).PenWidth();
                item.Color = b.Frame().Color;
                placed.push_back(std::move(item));
                continue;
            }
            const auto& text = static_cast<const TTextElement&>(e);
            item.Kind = TPlacedElement::TKind::Text;
            if (text.AlignToBand()) {
                item.Rect.setLeft(bandRect.left());
                item.Rect.setWidth(bandRect.width());
            }
            item.Text = element.Kept ? (kept < band.Texts.size() ? band.Texts[kept] : QString())
                                     : ElementText(element, band.Row, page.Number);
            kept += element.Kept ? 1 : 0;
            item.Font = text.Font().value_or(b.Font());
            item.Alignment = text.Alignment();
            item.Clip = !text.AutoSize();
            placed.push_back(std::move(item));
        }
    }
    return placed;
}

// ---- the paginator ------------------------------------------------------------------------

TPaginator::TPaginator(const TReport& report) : state_(std::make_unique<TState>(report)) {}

TPaginator::~TPaginator() = default;

const TReport& TPaginator::Report() const
{
    return state_->Report;
}

int TPaginator::RowCount() const
{
    return state_->RowCount;
}

int TPaginator::RowsDone() const
{
    return state_->RowsDone;
}

bool TPaginator::AtEnd() const
{
    return state_->AtEnd;
}

TPage TPaginator::NextPage()
{
    return state_->NextPage();
}

std::vector<TPlacedElement> TPaginator::PlaceElements(const TPage& page) const
{
    return state_->PlaceElements(page);
}

std::vector<TPage> Paginate(TPaginator& paginator)
{
    std::vector<TPage> pages;
    while (!paginator.AtEnd())
        pages.push_back(paginator.NextPage());
    return pages;
}
