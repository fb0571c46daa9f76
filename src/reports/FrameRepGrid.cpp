#include "reports/FrameRepGrid.h"

#include "calls/Globals.h"
#include "remote/DataSetModel.h"
#include "remote/Field.h"
#include "remote/RemoteDataSet.h"
#include "reports/GridColumnWidths.h"

#include <QBoxLayout>
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
        QAction* item = PopupMenu->addAction(field->DisplayName());
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
