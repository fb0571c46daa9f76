#include "reportconfig/FrameSetup.h"

#include "reportconfig/PageControls.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QScopedValueRollback>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int SelectColumns = 4;
constexpr QChar PartSeparator = QLatin1Char(';');
constexpr QChar NameSeparator = QLatin1Char(',');

// The fields clbSelect offers: every field from the received time on, except the
// identifiers nobody reads.
bool IsSelectable(TCallFieldId field)
{
    static const TCallFieldSet hidden{cfNone,       cfCallId,     cfArchiveId,  cfPbxId,
                                      cfExtGroupId, cfPinGroupId, cfExtLimitId, cfPinLimitId};
    return !hidden.Contains(field);
}

TCallFieldId FieldOf(const QListWidgetItem* item)
{
    return static_cast<TCallFieldId>(item->data(Qt::UserRole).toInt());
}

QListWidgetItem* NewFieldItem(TCallFieldId field)
{
    auto* item = new QListWidgetItem(FieldInfo(field).Caption());
    item->setData(Qt::UserRole, static_cast<int>(field));
    return item;
}

QList<TCallFieldId> FieldsOf(const QListWidget* list)
{
    QList<TCallFieldId> fields;
    for (int i = 0; i < list->count(); ++i)
        fields.append(FieldOf(list->item(i)));
    return fields;
}

QString NamesOf(const QList<TCallFieldId>& fields)
{
    TStringArray names;
    for (TCallFieldId field : fields)
        names.append(FieldInfo(field).Name());
    return JoinTexts(QString(NameSeparator), names);
}

int SelectedRow(const QListWidget* list)
{
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

QListWidget* NewList(QWidget* parent, const char* name)
{
    auto* list = new QListWidget(parent);
    list->setObjectName(QLatin1String(name));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

QToolButton* NewArrowButton(QWidget* parent, const char* name, QAction* action)
{
    QToolButton* button = NewActionButton(parent, name, action);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setAutoRaise(false);
    return button;
}

}  // namespace

TReportSetupFrame::TReportSetupFrame(QWidget* owner) : TReportBaseFrame(owner)
{
    auto* lblSelect = new QLabel(tr("Select columns to load:"), this);
    lblSelect->setObjectName(QStringLiteral("lblSelect"));
    clbSelect = NewList(this, "clbSelect");
    lblSelect->setBuddy(clbSelect);
    // Four columns, filled top to bottom.
    clbSelect->setFlow(QListView::TopToBottom);
    clbSelect->setWrapping(true);
    clbSelect->setResizeMode(QListView::Adjust);
    clbSelect->setUniformItemSizes(true);
    clbSelect->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    clbSelect->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    int widest = 0;
    for (int id = 0; id < CallFieldCount; ++id) {
        const auto field = static_cast<TCallFieldId>(id);
        if (!IsSelectable(field))
            continue;
        QListWidgetItem* item = NewFieldItem(field);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        clbSelect->addItem(item);
        widest = qMax(widest, clbSelect->fontMetrics().horizontalAdvance(item->text()));
    }
    const int indicator = clbSelect->style()->pixelMetric(QStyle::PM_IndicatorWidth);
    const int rowHeight = qMax(clbSelect->sizeHintForRow(0), clbSelect->fontMetrics().height() + 4);
    const int rows = (clbSelect->count() + SelectColumns - 1) / SelectColumns;
    clbSelect->setGridSize(QSize(widest + indicator + 16, rowHeight));
    clbSelect->setFixedHeight(rows * rowHeight + 2 * clbSelect->frameWidth() + 4);
    clbSelect->setMinimumWidth(SelectColumns * (widest + indicator + 16) + 2 * clbSelect->frameWidth());

    auto* lblTotals = new QLabel(tr("Totals in preview"), this);
    lblTotals->setObjectName(QStringLiteral("lblTotals"));
    lstTotals = NewList(this, "lstTotals");
    lstTotals->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lblTotals->setBuddy(lstTotals);
    auto* lblSort = new QLabel(tr("Sort order"), this);
    lblSort->setObjectName(QStringLiteral("lblSort"));
    lstSort = NewList(this, "lstSort");
    lblSort->setBuddy(lstSort);

    aAddSort = AddPageAction(this, "aAddSort", tr("Add"), tr("Add criterion."));
    aAddSort->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    aRemoveSort = AddPageAction(this, "aRemoveSort", tr("Remove"), tr("Remove criterion."));
    aRemoveSort->setIcon(style()->standardIcon(QStyle::SP_ArrowLeft));
    aUpSort = AddPageAction(this, "aUpSort", tr("Up"), tr("Increase priority."));
    aUpSort->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    aDownSort = AddPageAction(this, "aDownSort", tr("Down"), tr("Decrease priority."));
    aDownSort->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    for (QAction* action : {aAddSort, aRemoveSort, aUpSort, aDownSort})
        action->setProperty("category", QStringLiteral("SortCriteria"));

    auto* buttons = new QVBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(NewArrowButton(this, "btnAddSort", aAddSort));
    buttons->addWidget(NewArrowButton(this, "btnRemoveSort", aRemoveSort));
    buttons->addSpacing(8);
    buttons->addWidget(NewArrowButton(this, "btnUpSort", aUpSort));
    buttons->addWidget(NewArrowButton(this, "btnDownSort", aDownSort));
    buttons->addStretch(1);

    auto* left = new QVBoxLayout;
    left->addWidget(lblSelect);
    left->addWidget(clbSelect);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(lblTotals);
    right->addWidget(lstTotals);
    right->addWidget(lblSort);
    right->addWidget(lstSort, 1);
    auto* page = new QHBoxLayout(this);
    page->addLayout(left, 4);
    page->addLayout(buttons);
    page->addLayout(right, 1);

    connect(clbSelect, &QListWidget::itemChanged, this, &TReportSetupFrame::clbSelectItemChanged);
    connect(clbSelect, &QListWidget::currentItemChanged, this, &TReportSetupFrame::UpdateActions);
    connect(clbSelect, &QListWidget::itemDoubleClicked, this, [this] {
        if (aAddSort->isEnabled())
            aAddSort->trigger();
    });
    // At most one of the two lists has a selected item.
    connect(lstSort, &QListWidget::itemSelectionChanged, this, [this] {
        if (!lstSort->selectedItems().isEmpty())
            lstTotals->clearSelection();
        UpdateActions();
    });
    connect(lstTotals, &QListWidget::itemSelectionChanged, this, [this] {
        if (!lstTotals->selectedItems().isEmpty())
            lstSort->clearSelection();
        UpdateActions();
    });
    connect(aAddSort, &QAction::triggered, this, &TReportSetupFrame::aAddSortExecute);
    connect(aRemoveSort, &QAction::triggered, this, &TReportSetupFrame::aRemoveSortExecute);
    connect(aUpSort, &QAction::triggered, this, &TReportSetupFrame::aUpSortExecute);
    connect(aDownSort, &QAction::triggered, this, &TReportSetupFrame::aDownSortExecute);

    ResizeTotals();
    UpdateActions();
}

// ---- what the window asks ----------------------------------------------------------------------

TCallFieldSet TReportSetupFrame::GetSelectedFields() const
{
    TCallFieldSet fields;
    for (int i = 0; i < clbSelect->count(); ++i)
        if (clbSelect->item(i)->checkState() == Qt::Checked)
            fields += TCallFieldSet{FieldOf(clbSelect->item(i))};
    return fields;
}

bool TReportSetupFrame::IsGrouped() const
{
    return !(GetSelectedFields() * ::TotalFields).IsEmpty();
}

TStringArray TReportSetupFrame::GetOrderBy() const
{
    TStringArray order;
    for (TCallFieldId field : GroupFields())
        order.append(FieldInfo(field).SqlExpression());
    const bool grouped = IsGrouped();
    for (TCallFieldId field : SortFields()) {
        order.append(FieldInfo(field).SqlExpression());
        // Calls received in the same second keep the order they came in.
        if (field == cfRecTime && !grouped)
            order.append(FieldInfo(cfCallId).SqlExpression());
    }
    return order;
}

TStringArray TReportSetupFrame::GetGroupColumns() const
{
    TStringArray columns;
    for (TCallFieldId field : GroupFields())
        columns.append(FieldInfo(field).Name());
    return columns;
}

QList<TCallFieldId> TReportSetupFrame::SortFields() const
{
    return FieldsOf(lstSort);
}

QList<TCallFieldId> TReportSetupFrame::GroupFields() const
{
    return FieldsOf(lstTotals);
}

bool TReportSetupFrame::CanGroupOn(TCallFieldId field)
{
    const TCallFieldInfo& info = FieldInfo(field);
    return dynamic_cast<const TCallListFieldInfo*>(&info) || dynamic_cast<const TCallExtPinFieldInfo*>(&info);
}

// ---- state -------------------------------------------------------------------------------------

QString TReportSetupFrame::SaveState() const
{
    QList<TCallFieldId> selected;
    for (int i = 0; i < clbSelect->count(); ++i)
        if (clbSelect->item(i)->checkState() == Qt::Checked)
            selected.append(FieldOf(clbSelect->item(i)));
    return TStringArray{NamesOf(selected), NamesOf(SortFields()), NamesOf(GroupFields())}.join(PartSeparator);
}

void TReportSetupFrame::LoadState(const QString& state)
{
    {
        const QScopedValueRollback<bool> loading(loading_, true);
        placed_ = {};
        lstSort->clear();
        lstTotals->clear();
        for (int i = 0; i < clbSelect->count(); ++i)
            clbSelect->item(i)->setCheckState(Qt::Unchecked);
        const TStringArray parts = SplitText(PartSeparator, state);
        if (parts.size() >= 3) {
            // Only what the page lists: a field the user cannot see checked is neither
            // selected nor sorted nor grouped on.
            const auto eachField = [this](const QString& names, const auto& use) {
                for (const QString& name : SplitText(NameSeparator, names))
                    if (SelectItemOf(FieldIdByName(name)))
                        use(FieldIdByName(name));
            };
            eachField(parts.at(0), [this](TCallFieldId f) { SelectItemOf(f)->setCheckState(Qt::Checked); });
            eachField(parts.at(1), [this](TCallFieldId f) { PlaceField(f, lstSort); });
            eachField(parts.at(2), [this](TCallFieldId f) { PlaceField(f, lstTotals); });
        }
    }
    ResizeTotals();
    UpdateActions();
}

// ---- placing fields ----------------------------------------------------------------------------

QListWidgetItem* TReportSetupFrame::SelectItemOf(TCallFieldId field) const
{
    if (field == cfNone)
        return nullptr;
    for (int i = 0; i < clbSelect->count(); ++i)
        if (FieldOf(clbSelect->item(i)) == field)
            return clbSelect->item(i);
    return nullptr;
}

void TReportSetupFrame::PlaceField(TCallFieldId field, QListWidget* list)
{
    if (QListWidgetItem* item = SelectItemOf(field)) {
        const QScopedValueRollback<bool> loading(loading_, true);
        item->setCheckState(Qt::Checked);
    }
    if (placed_.Contains(field))
        return;
    placed_ += TCallFieldSet{field};
    list->addItem(NewFieldItem(field));
}

void TReportSetupFrame::RemoveFromLists(TCallFieldId field)
{
    placed_ -= TCallFieldSet{field};
    for (QListWidget* list : {lstSort, lstTotals})
        for (int i = list->count() - 1; i >= 0; --i)
            if (FieldOf(list->item(i)) == field)
                delete list->takeItem(i);
    ResizeTotals();
}

void TReportSetupFrame::MoveItem(QListWidget* from, int row, QListWidget* to, int toRow)
{
    QListWidgetItem* item = from->takeItem(row);
    to->insertItem(toRow, item);
    to->clearSelection();
    to->setCurrentItem(item);
    item->setSelected(true);
}

void TReportSetupFrame::ResizeTotals()
{
    const int rowHeight = qMax(lstTotals->sizeHintForRow(0), lstTotals->fontMetrics().height() + 4);
    lstTotals->setFixedHeight((lstTotals->count() + 1) * rowHeight + 2 * lstTotals->frameWidth());
}

void TReportSetupFrame::clbSelectItemChanged(QListWidgetItem* item)
{
    // Checking does nothing more; unchecking takes the field out of both lists.
    if (loading_ || item->checkState() == Qt::Checked)
        return;
    RemoveFromLists(FieldOf(item));
    UpdateActions();
}

// ---- actions -----------------------------------------------------------------------------------

QListWidget* TReportSetupFrame::ActiveList() const
{
    return SelectedRow(lstSort) >= 0 ? lstSort : lstTotals;
}

void TReportSetupFrame::UpdateActions()
{
    const QListWidgetItem* current = clbSelect->currentItem();
    aAddSort->setEnabled(current && !placed_.Contains(FieldOf(current)));
    const int sortRow = SelectedRow(lstSort);
    const int totalsRow = SelectedRow(lstTotals);
    aRemoveSort->setEnabled(sortRow >= 0 || totalsRow >= 0);
    if (sortRow >= 0) {
        const bool intoTotals =
            sortRow == 0 && CanGroupOn(FieldOf(lstSort->item(0))) && lstTotals->count() < MaxGroupLevels;
        aUpSort->setEnabled(sortRow > 0 || intoTotals);
        aDownSort->setEnabled(sortRow < lstSort->count() - 1);
    } else {
        aUpSort->setEnabled(totalsRow > 0);
        aDownSort->setEnabled(totalsRow >= 0);
    }
}

void TReportSetupFrame::aAddSortExecute()
{
    const QListWidgetItem* current = clbSelect->currentItem();
    if (!current || placed_.Contains(FieldOf(current)))
        return;
    PlaceField(FieldOf(current), lstSort);
    UpdateActions();
}

void TReportSetupFrame::aRemoveSortExecute()
{
    QListWidget* list = ActiveList();
    const int row = SelectedRow(list);
    if (row < 0)
        return;
    placed_ -= TCallFieldSet{FieldOf(list->item(row))};
    delete list->takeItem(row);
    ResizeTotals();
    UpdateActions();
}

void TReportSetupFrame::aUpSortExecute()
{
    if (!aUpSort->isEnabled())
        return;
    QListWidget* list = ActiveList();
    const int row = SelectedRow(list);
    if (list == lstSort && row == 0)
        MoveItem(lstSort, 0, lstTotals, lstTotals->count());  // the innermost grouping level
    else
        MoveItem(list, row, list, row - 1);
    ResizeTotals();
    UpdateActions();
}

void TReportSetupFrame::aDownSortExecute()
{
    if (!aDownSort->isEnabled())
        return;
    QListWidget* list = ActiveList();
    const int row = SelectedRow(list);
    if (list == lstTotals && row == lstTotals->count() - 1)
        MoveItem(lstTotals, row, lstSort, 0);  // the first sort criterion
    else
        MoveItem(list, row, list, row + 1);
    ResizeTotals();
    UpdateActions();
}
