#include "reportconfig/FrameExtPin.h"

#include "reportconfig/PageControls.h"
#include "reportconfig/StateLine.h"
#include "reportconfig/TreeNodeMarks.h"
#include "widgets/RadioGroup.h"

#include <QAction>
#include <QCheckBox>
#include <QCollator>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QScopedValueRollback>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr QChar Separator = QLatin1Char('|');
constexpr int SubItemCount = 5;  // code, name, PBX, user group, limit plan
constexpr int ItemRole = Qt::UserRole;

TEPItem* ItemOf(const QTreeWidgetItem* line)
{
    return static_cast<TEPItem*>(line->data(0, ItemRole).value<void*>());
}

Qt::CheckState GroupCheckState(const TEPGroup& group)
{
    if (group.AllSelected())
        return Qt::Checked;
    return group.NoneSelected() ? Qt::Unchecked : Qt::PartiallyChecked;
}

// A counter: a caption and the count text, with a hint.
QFrame* NewCounter(QWidget* parent, const char* name, const QString& caption, const QString& hint,
                   const char* labelName, QLabel*& count)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setToolTip(hint);
    panel->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->addWidget(new QLabel(caption, panel));
    count = new QLabel(panel);
    count->setObjectName(QLatin1String(labelName));
    count->setMinimumWidth(count->fontMetrics().horizontalAdvance(QStringLiteral("All 00000")));
    layout->addWidget(count);
    return panel;
}

}  // namespace

TExtPinFrame::TExtPinFrame(QWidget* owner, QTreeWidgetItem* node, TJoinId join, TCallFieldId limitField,
                           TCallFieldId groupField, TCallFieldId nameField, TCallFieldId codeField,
                           const QString& table, TRemoteConnection& scReport)
    : TReportFilterFrame(owner, codeField),
      node_(node),
      codeInfo_(FieldInfo(codeField)),
      groupInfo_(FieldInfo(groupField)),
      join_(join)
{
    LoadEPSelection(selection_, scReport, table);

    aOnOffFilter =
        AddPageAction(this, "aOnOffFilter", tr("On/Off"), tr("Enables or disables the filter."), true);
    aSelectAll = AddPageAction(this, "aSelectAll", tr("All"), tr("Select all"));
    aSelectNone = AddPageAction(this, "aSelectNone", tr("None"), tr("Select none"));
    chkOnOff = new QCheckBox(aOnOffFilter->text(), this);
    chkOnOff->setObjectName(QStringLiteral("chkOnOff"));
    BindOnOff(chkOnOff, aOnOffFilter);
    bitbtnSelecetAll = NewActionButton(this, "bitbtnSelecetAll", aSelectAll);
    bitbtnSelecetNone = NewActionButton(this, "bitbtnSelecetNone", aSelectNone);
    chkIncludeNull = new QCheckBox(tr("+ Missing value"), this);
    chkIncludeNull->setObjectName(QStringLiteral("chkIncludeNull"));
    pnlTotalCount = NewCounter(this, "pnlTotalCount", tr("Total"), tr("Total items selected."),
                               "lblTotalCount", lblTotalCount);
    pnlCount = NewCounter(this, "pnlCount", tr("Selected"), tr("Selected items in this group."), "lblCount",
                          lblCount);
    rgFilter = new TRadioGroup(tr(" Filter "),
                               {tr("Show all"), tr("By PBX"), tr("By group"), tr("By limit plan")}, this, 2);
    rgFilter->setObjectName(QStringLiteral("rgFilter"));
    clbListOfEPGroups = new QListWidget(this);
    clbListOfEPGroups->setObjectName(QStringLiteral("clbListOfEPGroups"));
    ListView = new QTreeWidget(this);
    ListView->setObjectName(QStringLiteral("ListView"));
    ListView->setRootIsDecorated(false);
    ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView->setUniformRowHeights(true);
    ListView->setHeaderLabels({tr("#"), codeInfo_.Caption(), FieldInfo(nameField).Caption(), tr("PBX"),
                               groupInfo_.Caption(), FieldInfo(limitField).Caption()});
    ListView->header()->setSectionsClickable(true);
    ListView->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ListView->header()->setStretchLastSection(true);
    ListView->header()->setSortIndicatorShown(true);

    auto* top = new QHBoxLayout;
    top->addWidget(chkOnOff);
    top->addWidget(bitbtnSelecetAll);
    top->addWidget(bitbtnSelecetNone);
    top->addSpacing(12);
    top->addWidget(chkIncludeNull);
    top->addStretch(1);
    top->addWidget(pnlTotalCount);
    top->addWidget(pnlCount);
    auto* left = new QVBoxLayout;
    left->addWidget(rgFilter);
    left->addWidget(clbListOfEPGroups, 1);
    auto* lists = new QHBoxLayout;
    lists->addLayout(left);
    lists->addWidget(ListView, 1);
    auto* page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addLayout(lists, 1);
    clbListOfEPGroups->setMaximumWidth(rgFilter->sizeHint().width() + 40);

    connect(chkOnOff, &QCheckBox::toggled, this, &TExtPinFrame::chkOnOffToggled);
    connect(chkOnOff, &QCheckBox::clicked, this, [this](bool on) {
        if (on)
            clbListOfEPGroups->setFocus();
    });
    connect(aSelectAll, &QAction::triggered, this, [this] { SelectAll(true); });
    connect(aSelectNone, &QAction::triggered, this, [this] { SelectAll(false); });
    connect(rgFilter, &TRadioGroup::Clicked, this, &TExtPinFrame::ShowRow);
    connect(clbListOfEPGroups, &QListWidget::currentRowChanged, this, [this] {
        if (!updating_)
            ShowGroup();
    });
    connect(clbListOfEPGroups, &QListWidget::itemChanged, this, &TExtPinFrame::GroupLineChanged);
    connect(ListView, &QTreeWidget::itemChanged, this, &TExtPinFrame::ListViewItemChanged);
    connect(ListView->header(), &QHeaderView::sectionClicked, this, &TExtPinFrame::ListViewHeaderClick);

    MarkFilterNode(node_, false);
    selection_.AllItems().SelectAll(true);
    chkIncludeNull->setChecked(true);
    rgFilter->SetItemIndex(epAll);
    UpdateActions();
}

bool TExtPinFrame::IsFilterOn() const
{
    return chkOnOff->isChecked();
}

bool TExtPinFrame::SelectsNothing() const
{
    return IsFilterOn() && selection_.AllItems().NoneSelected() && !chkIncludeNull->isChecked();
}

QString TExtPinFrame::GetConditionValue() const
{
    return selection_.ConditionValue(chkIncludeNull->isChecked());
}

TEPCondition TExtPinFrame::Condition() const
{
    if (!IsFilterOn())
        return {};
    return selection_.Condition(
        {codeInfo_.SqlExpression(), groupInfo_.SqlExpression(), FieldInfo(cfPbxId).SqlExpression()},
        chkIncludeNull->isChecked());
}

QString TExtPinFrame::GetSQLCondition() const
{
    return Condition().Sql;
}

// Worked out from the selection itself, so the answer never depends on the order in
// which the window asks.
TJoinSet TExtPinFrame::GetRequiredJoins() const
{
    return Condition().UsesGroups ? TJoinSet{join_} : TJoinSet{};
}

QString TExtPinFrame::SaveState() const
{
    return TStateWriter()
        .AddBool(IsFilterOn())
        .AddInt(sortColumn_)
        .AddBool(ascending_)
        .AddInt(rgFilter->ItemIndex())
        .AddText(GetConditionValue())
        .Join(Separator);
}

void TExtPinFrame::LoadState(const QString& state)
{
    const TStateReader r(Separator, state);
    if (r.Count() <= 4) {
        SetFilterOn(false);
        sortColumn_ = 0;
        ascending_ = true;
        chkIncludeNull->setChecked(true);
        selection_.AllItems().SelectAll(true);
        ShowRowAt(epAll);
        return;
    }
    SetFilterOn(r.Bool(0, false));
    const int column = r.Integer(1, 0);
    sortColumn_ = column >= 0 && column < SubItemCount ? column : 0;
    ascending_ = r.Bool(2, true);
    const int row = r.Index(3, rgFilter->Count(), epAll);
    chkIncludeNull->setChecked(selection_.RestoreSelection(r.Text(4)));
    ShowRowAt(row);
}

// Chooses the row and shows it anew, also when it stays the same.
void TExtPinFrame::ShowRowAt(int row)
{
    if (rgFilter->ItemIndex() == row)
        ShowRow();
    else
        rgFilter->SetItemIndex(row);  // runs ShowRow
}

void TExtPinFrame::SetFilterOn(bool on)
{
    chkOnOff->setChecked(on);
}

void TExtPinFrame::SelectOnly(TEPItem* item)
{
    selection_.AllItems().SelectAll(false);
    item->SetSelected(true);
    chkIncludeNull->setChecked(false);
    ShowRowAt(rgFilter->ItemIndex());
}

void TExtPinFrame::chkOnOffToggled(bool on)
{
    MarkFilterNode(node_, on);
    UpdateActions();
}

void TExtPinFrame::SelectAll(bool selected)
{
    selection_.AllItems().SelectAll(selected);
    const QScopedValueRollback<bool> hold(updating_, true);
    for (const TEPGroup* group : selection_.Row(static_cast<TEPRow>(rgFilter->ItemIndex())))
        RefreshGroupLine(*group);
    for (int i = 0; i < ListView->topLevelItemCount(); ++i)
        ListView->topLevelItem(i)->setCheckState(0, selected ? Qt::Checked : Qt::Unchecked);
    RefreshCounters();
}

// The groups of the chosen row, then the items of the first.
void TExtPinFrame::ShowRow()
{
    {
        const QScopedValueRollback<bool> hold(updating_, true);
        clbListOfEPGroups->clear();
        const int row = rgFilter->ItemIndex();
        if (row >= 0) {
            for (const TEPGroup* group : selection_.Row(static_cast<TEPRow>(row))) {
                auto* line = new QListWidgetItem(group->Name(), clbListOfEPGroups);
                line->setFlags(Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
                               (group->ItemCount() > 0 ? Qt::ItemIsEnabled : Qt::NoItemFlags));
                line->setCheckState(group->ItemCount() > 0 ? GroupCheckState(*group) : Qt::Unchecked);
            }
        }
        if (clbListOfEPGroups->count() > 0)
            clbListOfEPGroups->setCurrentRow(0);
    }
    ShowGroup();
}

TEPGroup* TExtPinFrame::CurrentGroup() const
{
    const int row = rgFilter->ItemIndex();
    const int line = clbListOfEPGroups->currentRow();
    if (row < 0 || line < 0)
        return nullptr;
    const QList<TEPGroup*>& groups = selection_.Row(static_cast<TEPRow>(row));
    return line < groups.size() ? groups.at(line) : nullptr;
}

void TExtPinFrame::ShowGroup()
{
    {
        const QScopedValueRollback<bool> hold(updating_, true);
        ListView->clear();
        if (const TEPGroup* group = CurrentGroup()) {
            QList<QTreeWidgetItem*> lines;
            for (TEPItem* item : group->Items()) {
                auto* line = new QTreeWidgetItem(
                    QStringList{QString(), item->Code(), item->Name(), item->Group(epPbx)->Name(),
                                item->Group(epUserGroup)->Name(), item->Group(epLimitPlan)->Name()});
                line->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
                line->setData(0, ItemRole, QVariant::fromValue(static_cast<void*>(item)));
                line->setCheckState(0, item->Selected() ? Qt::Checked : Qt::Unchecked);
                lines << line;
            }
            ListView->addTopLevelItems(lines);
        }
    }
    RefreshCounters();
    Sort();
    if (ListView->topLevelItemCount() > 0)
        ListView->setCurrentItem(ListView->topLevelItem(0));
}

// By the text of the sort sub-item, without regard to case, in the user's locale.
void TExtPinFrame::Sort()
{
    const QScopedValueRollback<bool> hold(updating_, true);
    QList<QTreeWidgetItem*> lines;
    while (ListView->topLevelItemCount() > 0)
        lines << ListView->takeTopLevelItem(0);
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const int column = sortColumn_ + 1;
    std::stable_sort(lines.begin(), lines.end(), [&](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
        const int order = collator.compare(a->text(column), b->text(column));
        return ascending_ ? order < 0 : order > 0;
    });
    ListView->addTopLevelItems(lines);
    ListView->header()->setSortIndicator(column, ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void TExtPinFrame::ListViewHeaderClick(int column)
{
    if (column <= 0) {
        ListView->header()->setSortIndicator(sortColumn_ + 1,
                                             ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
        return;
    }
    if (column - 1 == sortColumn_) {
        ascending_ = !ascending_;
    } else {
        sortColumn_ = column - 1;
        ascending_ = true;
    }
    Sort();
}

void TExtPinFrame::ListViewItemChanged(QTreeWidgetItem* line, int column)
{
    if (updating_ || column != 0)
        return;
    TEPItem* item = ItemOf(line);
    const bool selected = line->checkState(0) == Qt::Checked;
    if (!item || item->Selected() == selected)
        return;
    item->SetSelected(selected);
    const QScopedValueRollback<bool> hold(updating_, true);
    RefreshGroupLine(*item->Group(static_cast<TEPRow>(rgFilter->ItemIndex())));
    RefreshCounters();
}

// A click on a group's check box: a group that was all selected is cleared, any other is
// filled; the group becomes the one shown.
void TExtPinFrame::GroupLineChanged(QListWidgetItem* line)
{
    if (updating_)
        return;
    const int row = rgFilter->ItemIndex();
    const int index = clbListOfEPGroups->row(line);
    const QList<TEPGroup*>& groups = selection_.Row(static_cast<TEPRow>(row));
    if (row < 0 || index < 0 || index >= groups.size())
        return;
    TEPGroup* group = groups.at(index);
    group->SelectAll(!group->AllSelected());
    {
        const QScopedValueRollback<bool> hold(updating_, true);
        RefreshGroupLine(*group);
        clbListOfEPGroups->setCurrentRow(index);
    }
    ShowGroup();
}

void TExtPinFrame::RefreshGroupLine(const TEPGroup& group)
{
    QListWidgetItem* line = clbListOfEPGroups->item(group.Index());
    if (line && group.ItemCount() > 0)
        line->setCheckState(GroupCheckState(group));
}

void TExtPinFrame::RefreshCounters()
{
    const TEPGroup* group = CurrentGroup();
    lblCount->setText(group ? group->CountText() : QString());
    lblTotalCount->setText(selection_.AllItems().CountText());
}

void TExtPinFrame::UpdateActions()
{
    const bool on = chkOnOff->isChecked();
    for (QAction* action : {aSelectAll, aSelectNone})
        action->setEnabled(on);
    for (QWidget* control :
         std::initializer_list<QWidget*>{chkIncludeNull, rgFilter, clbListOfEPGroups, ListView})
        control->setEnabled(on);
    pnlTotalCount->setVisible(on);
    pnlCount->setVisible(on);
}
