#include "reports/FrameRepGrid.h"

#include "calls/Globals.h"
#include "printing/CsvExport.h"
#include "printing/PreviewWindow.h"
#include "printing/ProgressDialog.h"
#include "printing/Report.h"
#include "printing/RowSource.h"
#include "remote/DataSetModel.h"
#include "remote/Field.h"
#include "remote/RemoteDataSet.h"
#include "reports/GridColumnWidths.h"
#include "shell/MainFormServices.h"
#include "shell/base/ClientLogs.h"

#include <QBoxLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QScopeGuard>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QFont Tahoma()
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(13);
    return font;
}

// What a layout prints in when the caller gives no font (the print options' default).
QFont DefaultPrintFont()
{
    return QFont(QStringLiteral("Arial"), 10);
}

}  // namespace

TFrameReportGrid::TFrameReportGrid(QWidget* owner, TMainFormServices* services)
    : QFrame(owner), services_(services)
{
    setObjectName(QStringLiteral("FrameReportGrid"));
    setFont(Tahoma());
    setAttribute(Qt::WA_AlwaysShowToolTips);

    DataSource = new TDataSetModel(this);
    DataSource->setObjectName(QStringLiteral("DataSource"));

    Grid = new QTableView(this);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->setModel(DataSource);
    DataSource->BindSelectionModel(Grid->selectionModel());
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    Grid->setShowGrid(true);
    Grid->setSortingEnabled(false);
    Grid->setWordWrap(false);
    Grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    Grid->horizontalHeader()->setFont(Tahoma());
    Grid->horizontalHeader()->setHighlightSections(false);
    // Every row is as high as the others: a grid of a million rows must not measure them.
    Grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grid->verticalHeader()->setDefaultSectionSize(Grid->fontMetrics().height() + 6);
    Grid->verticalHeader()->hide();
    // The selection stays visible while the focus is elsewhere.
    QPalette palette = Grid->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    Grid->setPalette(palette);
    widths_ = new TGridColumnWidths(Grid, DataSource);

    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    connect(PopupMenu, &QMenu::aboutToShow, this, &TFrameReportGrid::PopupMenuPopup);
    Grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Grid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu->popup(Grid->viewport()->mapToGlobal(pos)); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Grid);

    // Fills its host.
    if (owner) {
        if (auto* hostLayout = qobject_cast<QBoxLayout*>(owner->layout())) {
            hostLayout->addWidget(this, 1);
        } else if (!owner->layout()) {
            auto* fill = new QVBoxLayout(owner);
            fill->setContentsMargins(0, 0, 0, 0);
            fill->addWidget(this);
        }
    }
}

TFrameReportGrid::~TFrameReportGrid() = default;

void TFrameReportGrid::SetBuilders(TTotalsBuilder totalsBuilder, TGroupHeaderBuilder groupHeaderBuilder)
{
    totalsBuilder_ = std::move(totalsBuilder);
    groupHeaderBuilder_ = std::move(groupHeaderBuilder);
    report_.reset();
}

void TFrameReportGrid::SetDataset(TRemoteDataSet* dataSet)
{
    if (dataSet_ == dataSet)
        return;
    dataSet_ = dataSet;
    DataSource->SetDataSet(dataSet);
}

// Rebuilt each time it opens: one item per field whose tag is 0.
void TFrameReportGrid::PopupMenuPopup()
{
    PopupMenu->clear();
    if (!dataSet_)
        return;
    for (TField* field : dataSet_->Fields()) {
        if (field->Tag() != 0)
            continue;
        // An "&" in a label is text, not a mnemonic.
        QAction* item = PopupMenu->addAction(
            QString(field->DisplayName()).replace(QLatin1Char('&'), QLatin1String("&&")));
        item->setCheckable(true);
        item->setChecked(field->Visible());
        const QPointer<TRemoteDataSet> owner = dataSet_;
        const QString name = field->FieldName();
        // The field is found again by name: a dataset reopened meanwhile has new fields.
        connect(item, &QAction::triggered, this, [owner, name] {
            if (!owner)
                return;
            if (TField* f = owner->FindField(name))
                f->SetVisible(!f->Visible());
        });
    }
}

QString TFrameReportGrid::SaveLayoutState() const
{
    if (!dataSet_)
        return QString();
    QStringList parts;
    for (const TField* field : dataSet_->Fields()) {
        const int pixels = field->Visible() ? widths_->Width(*field) : -1;
        parts.append(
            QStringLiteral("%1,%2,%3").arg(field->FieldName()).arg(field->DisplayWidth()).arg(pixels));
    }
    return parts.join(QLatin1Char(';'));
}

void TFrameReportGrid::LoadLayoutState(const QString& state)
{
    if (!dataSet_)
        return;
    TRemoteDataSet& dataSet = *dataSet_;
    // One reset of the grid for the whole state instead of one per moved or shown field;
    // the widths go on once the grid shows the fields where they now are.
    const auto apply = qScopeGuard([this] { widths_->Apply(); });
    dataSet.DisableControls();
    const auto enable = qScopeGuard([&dataSet] { dataSet.EnableControls(); });
    int position = 0;
    for (const QString& part : SplitText(QLatin1Char(';'), state)) {
        const TStringArray items = SplitText(QLatin1Char(','), part);
        if (items.size() < 3)
            continue;
        TField* field = dataSet.FindField(items.at(0));
        if (!field)
            continue;
        field->SetIndex(position);
        bool readable = false;
        const int displayWidth = items.at(1).trimmed().toInt(&readable);
        if (readable)
            field->SetDisplayWidth(displayWidth);
        const int pixels = StateToInt(items.at(2).trimmed(), -1);
        field->SetVisible(pixels > 0);
        if (pixels > 0)
            widths_->Keep(*field, pixels);
        ++position;
    }
}

// ---- printable layout ------------------------------------------------------------------------

void TFrameReportGrid::BuildLayout(const QStringList& titleLines, const QList<TField*>& groupColumns,
                                   bool titleOnFirstPageOnly, bool pageNumbers, bool autoSize,
                                   const std::optional<QFont>& font)
{
    report_ = std::make_unique<TReport>(std::make_unique<TDataSetRowSource>(dataSet_));
    // A layout that fails half-way is not kept.
    auto discard = qScopeGuard([this] { report_.reset(); });
    report_->SetFont(font ? *font : DefaultPrintFont());
    report_->SetPrintIfEmpty(false);
    report_->SetTitle(QGuiApplication::applicationDisplayName() + QStringLiteral(": ") + titleLines.value(0));

    AddTitle(titleLines, titleOnFirstPageOnly, autoSize);

    // The levels group on the shown dataset's columns of the names given.
    QList<TField*> columns;
    for (const TField* given : groupColumns)
        columns.append(given && dataSet_ ? dataSet_->FindField(given->FieldName()) : nullptr);
    QList<TDynamicGroup*> levels;
    for (int i = 0; i < columns.size(); ++i) {
        const int increase = static_cast<int>(columns.size()) - i;
        levels.append(report_->AddGroup<TDynamicGroup>(report_->Font(), autoSize, totalsBuilder_,
                                                       groupHeaderBuilder_, increase, columns.at(i)));
        if (i > 0)
            levels.at(i - 1)->SetLink(levels.at(i));
    }

    {
        // A grouped column is shown in its group header, not as a column.
        const auto restore = qScopeGuard([this] {
            for (TField* field : std::as_const(hiddenColumns_))
                field->SetVisible(true);
            hiddenColumns_.clear();
            if (dataSet_)
                dataSet_->EnableControls();
        });
        if (dataSet_)
            dataSet_->DisableControls();
        for (TField* field : std::as_const(columns))
            if (field && field->Visible() && !hiddenColumns_.contains(field)) {
                field->SetVisible(false);
                hiddenColumns_.append(field);
            }
        AddColumns(!levels.isEmpty(), autoSize);
    }

    TBand* summary = report_->AddBand(TBandKind::Summary);
    summary->SetFont(FontOfSize(report_->Font(), FontPointSize(report_->Font()) + 3));
    summary->SetHeight(LineBandHeight(summary->Font()));
    summary->SetFrame(TFrameLines::Box());
    if (totalsBuilder_)
        totalsBuilder_(*summary, autoSize);

    TBand* detail = report_->Band(TBandKind::Detail);
    if (levels.isEmpty()) {
        detail->SetLink(summary);
    } else {
        levels.last()->SetLink(detail);
        detail->SetLink(levels.last()->Footer());
    }

    if (pageNumbers)
        AddPageNumbers();
    report_->Check();
    discard.dismiss();
}

void TFrameReportGrid::AddTitle(const QStringList& titleLines, bool titleOnFirstPageOnly, bool autoSize)
{
    TBand* title = report_->AddBand(titleOnFirstPageOnly ? TBandKind::Title : TBandKind::PageHeader);
    const double size = FontPointSize(report_->Font()) + 4;
    const double line = size / 2;
    title->SetFont(FontOfSize(report_->Font(), size));
    title->SetFrame(TFrameLines::Box());
    title->SetHeight(static_cast<double>(titleLines.size()) * line + 2);
    title->AddChild(1);
    for (int i = 0; i < titleLines.size(); ++i) {
        auto* text = title->Add<TLabelElement>(titleLines.at(i));
        text->SetGeometry(0, i * line, report_->Page().ContentWidth(), line);
        text->SetAlignToBand(true);
        text->SetAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        text->SetAutoSize(autoSize);
    }
}

// The column header and the detail band: every visible column its share of the page's
// width by display width, a border after each but the last.
void TFrameReportGrid::AddColumns(bool grouped, bool autoSize)
{
    QList<TField*> visible;
    if (dataSet_)
        for (TField* field : dataSet_->Fields())
            if (field->Visible())
                visible.append(field);
    double characters = 0;
    for (const TField* field : std::as_const(visible))
        characters += field->DisplayWidth();
    const double unit = characters > 0 ? report_->Page().ContentWidth() / characters : 0;

    TBand* header = report_->AddBand(TBandKind::ColumnHeader);
    header->SetFont(FontOfSize(report_->Font(), FontPointSize(report_->Font()) + 2));
    header->SetHeight(LineBandHeight(header->Font()));
    header->SetFrame(TFrameLines::Box());
    if (grouped)
        header->AddChild(1);
    TBand* detail = report_->AddBand(TBandKind::Detail);
    detail->SetHeight(LineBandHeight(detail->Font()));
    detail->SetFrame(TFrameLines::Sides());

    double headerX = 0, detailX = 0;
    for (int i = 0; i < visible.size(); ++i) {
        const TField& field = *visible.at(i);
        const bool last = i == visible.size() - 1;
        const double width = field.DisplayWidth() * unit - (last ? 0 : TDynamicRightBorder::BorderWidth);
        PlaceText(*header->Add<TLabelElement>(field.DisplayName()), autoSize, width, headerX);
        detail->Add<TDynamicDBText>(*detail, autoSize, width, detailX, field.FieldName());
        if (!last) {
            header->Add<TDynamicRightBorder>(headerX);
            detail->Add<TDynamicRightBorder>(detailX);
        }
    }
}

void TFrameReportGrid::AddPageNumbers()
{
    report_->Page().BottomMargin = 5;
    TBand* footer = report_->AddBand(TBandKind::PageFooter);
    footer->SetFont(FontOfSize(report_->Font(), 10));
    footer->SetHeight(LineBandHeight(footer->Font()));
    auto* number = footer->Add<TPageNumberElement>();
    number->SetGeometry(0, 0, report_->Page().ContentWidth());
    number->SetAlignToBand(true);
    number->SetAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
}

// ---- output --------------------------------------------------------------------------------

int TFrameReportGrid::AddStatus(const QString& text) const
{
    return services_ ? services_->AddStatus(text) : 0;
}

void TFrameReportGrid::ClearStatus(int id) const
{
    if (services_)
        services_->ClearStatus(id);
}

auto TFrameReportGrid::SuspendDisplayUpdates() const
{
    const QPointer<TRemoteDataSet> dataSet = dataSet_;
    if (dataSet)
        dataSet->DisableControls();
    return qScopeGuard([dataSet] {
        if (dataSet)
            dataSet->EnableControls();
    });
}

namespace {

// The engine's progress dialog with its running activity in the main window's status.
class TStatusProgress : public TPrintProgressDialog {
public:
    TStatusProgress(QWidget* parent, std::function<int(const QString&)> add, std::function<void(int)> clear)
        : TPrintProgressDialog(
              parent, [this, add](const QString& text) { status_ = add(text); },
              [this, clear] {
                  clear(status_);
                  status_ = 0;
              })
    {
    }

private:
    int status_ = 0;
};

}  // namespace

void TFrameReportGrid::Preview(const QStringList& titleLines, const QList<TField*>& groupColumns,
                               bool titleOnFirstPageOnly, bool pageNumbers, const std::optional<QFont>& font)
{
    const auto resume = SuspendDisplayUpdates();
    {
        const int status = AddStatus(tr("Loading all data..."));
        const auto clear = qScopeGuard([this, status] { ClearStatus(status); });
        if (dataSet_ && dataSet_->Active()) {
            dataSet_->Last();
            dataSet_->First();
        }
    }
    try {
        BuildLayout(titleLines, groupColumns, titleOnFirstPageOnly, pageNumbers, false, font);
        TStatusProgress progress(
            this, [this](const QString& text) { return AddStatus(text); },
            [this](int id) { ClearStatus(id); });
        TPreviewWindow preview(*report_, &progress, window());
        preview.exec();
    } catch (const std::exception& e) {
        if (HasClientLogs()) {
            TClientLog& log = ClientLogs().GetLog(QStringLiteral("reports"));
            log.Add(QStringLiteral("TFrameReportGrid: Error building preview."), 4);
            log.Add(QString::fromUtf8(e.what()), 3);
        }
    }
}

bool TFrameReportGrid::ExportLayout(const QString& fileName, const QStringList& titleLines,
                                    const QList<TField*>& groupColumns)
{
    BuildLayout(titleLines, groupColumns, true, false, true, std::nullopt);
    const auto resume = SuspendDisplayUpdates();
    TStatusProgress progress(
        this, [this](const QString& text) { return AddStatus(text); }, [this](int id) { ClearStatus(id); });
    return WriteCsv(*report_, fileName, &progress);
}
