#include "reportconfig/FrameList.h"

#include "calls/Globals.h"
#include "reportconfig/PageControls.h"
#include "reportconfig/StateLine.h"
#include "reportconfig/TreeNodeMarks.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr QChar Separator = QLatin1Char(',');
const QString MissingItem = QStringLiteral("-");

// A check list whose values stand in four columns, filled row by row; the Delete key
// runs the page's delete action.
class TCheckListBox : public QListWidget {
public:
    static constexpr int Columns = 4;

    TCheckListBox(QWidget* parent, QAction* deleteAction) : QListWidget(parent), delete_(deleteAction)
    {
        setFlow(QListView::LeftToRight);
        setWrapping(true);
        setResizeMode(QListView::Adjust);
        setUniformItemSizes(true);
    }

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        if (e->matches(QKeySequence::Delete)) {
            delete_->trigger();
            return;
        }
        QListWidget::keyPressEvent(e);
    }

    // The list lays its items out in its inner width less room for a vertical scroll bar,
    // and wraps an item that would reach the last pixel.
    void resizeEvent(QResizeEvent* e) override
    {
        QListWidget::resizeEvent(e);
        const int width = contentsRect().width() -
                          style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, verticalScrollBar()) - 1;
        const int rowHeight = fontMetrics().height() + 6;
        setGridSize(QSize(std::max(width / Columns, 1), rowHeight));
    }

private:
    QAction* delete_;
};

}  // namespace

TFrameListChoice::TFrameListChoice(QWidget* owner, QTreeWidgetItem* node, TCallFieldId field)
    : TReportFilterFrame(owner, field), node_(node)
{
    aOnOff = AddPageAction(this, "aOnOff", tr("On/Off"), tr("Enable/Disable the filter."), true);
    aAdd = AddPageAction(this, "aAdd", tr("Add"), tr("Add the values typed, separated by commas."));
    aDelete = AddPageAction(this, "aDelete", tr("Delete"), tr("Delete the current value."));
    aCheckAll = AddPageAction(this, "aCheckAll", tr("All"), tr("Select all items in list."));
    aCheckNone = AddPageAction(this, "aCheckNone", tr("None"), tr("Unselect all items in list"));
    aInvertCheck = AddPageAction(this, "aInvertCheck", tr("Invert"), tr("Invert selection in list."));

    chkOnOff = new QCheckBox(aOnOff->text(), this);
    chkOnOff->setObjectName(QStringLiteral("chkOnOff"));
    BindOnOff(chkOnOff, aOnOff);
    lblEditBox = new QLabel(QLatin1Char(' ') + Descriptor().Caption() + QLatin1Char(' '), this);
    lblEditBox->setObjectName(QStringLiteral("lblEditBox"));
    EditBox = new QLineEdit(this);
    EditBox->setObjectName(QStringLiteral("EditBox"));
    lblEditBox->setBuddy(EditBox);
    bitbtnAdd = NewActionButton(this, "bitbtnAdd", aAdd);
    bitbtnDelete = NewActionButton(this, "bitbtnDelete", aDelete);
    btnCheckAll = NewActionButton(this, "btnCheckAll", aCheckAll);
    btnCheckNone = NewActionButton(this, "btnCheckNone", aCheckNone);
    btnInvertCheck = NewActionButton(this, "btnInvertCheck", aInvertCheck);
    chkMissingValue = new QCheckBox(tr("+ Missing value"), this);
    chkMissingValue->setObjectName(QStringLiteral("chkMissingValue"));
    CheckListBox = new TCheckListBox(this, aDelete);
    CheckListBox->setObjectName(QStringLiteral("CheckListBox"));

    auto* edit = new QGridLayout;
    edit->addWidget(lblEditBox, 0, 0);
    edit->addWidget(EditBox, 1, 0);
    edit->addWidget(bitbtnAdd, 1, 1);
    edit->addWidget(bitbtnDelete, 1, 2);
    edit->setColumnStretch(0, 1);
    auto* checks = new QHBoxLayout;
    checks->addWidget(btnCheckAll);
    checks->addWidget(btnCheckNone);
    checks->addWidget(btnInvertCheck);
    checks->addSpacing(12);
    checks->addWidget(chkMissingValue);
    checks->addStretch(1);
    auto* page = new QVBoxLayout(this);
    page->addWidget(chkOnOff);
    page->addLayout(edit);
    page->addLayout(checks);
    page->addWidget(CheckListBox, 1);

    connect(chkOnOff, &QCheckBox::toggled, this, &TFrameListChoice::chkOnOffToggled);
    connect(chkOnOff, &QCheckBox::clicked, this, [this](bool on) {
        if (on)
            EditBox->setFocus();
    });
    connect(aAdd, &QAction::triggered, this, &TFrameListChoice::aAddExecute);
    connect(aDelete, &QAction::triggered, this, &TFrameListChoice::aDeleteExecute);
    connect(aCheckAll, &QAction::triggered, this, [this] { SetAllChecks(true); });
    connect(aCheckNone, &QAction::triggered, this, &TFrameListChoice::CheckNone);
    connect(aInvertCheck, &QAction::triggered, this, &TFrameListChoice::aInvertCheckExecute);
    connect(EditBox, &QLineEdit::textChanged, this, &TFrameListChoice::UpdateActions);
    connect(EditBox, &QLineEdit::returnPressed, aAdd, &QAction::trigger);
    KeepEnterKey(EditBox);
    connect(CheckListBox, &QListWidget::currentRowChanged, this, &TFrameListChoice::UpdateActions);
    MarkFilterNode(node_, false);
    UpdateActions();
}

bool TFrameListChoice::IsFilterOn() const
{
    return chkOnOff->isChecked();
}

bool TFrameListChoice::SelectsNothing() const
{
    if (!IsFilterOn() || chkMissingValue->isChecked())
        return false;
    for (int i = 0; i < CheckListBox->count(); ++i)
        if (CheckListBox->item(i)->checkState() == Qt::Checked)
            return false;
    return true;
}

QString TFrameListChoice::GetConditionValue() const
{
    TStringArray items;
    for (int i = 0; i < CheckListBox->count(); ++i)
        if (CheckListBox->item(i)->checkState() == Qt::Checked)
            items << CheckListBox->item(i)->text();
    if (chkMissingValue->isChecked())
        items << MissingItem;
    return JoinTexts(QString(Separator), items);
}

QString TFrameListChoice::SaveState() const
{
    TStateWriter w;
    w.AddBool(IsFilterOn()).AddBool(chkMissingValue->isChecked());
    for (int i = 0; i < CheckListBox->count(); ++i) {
        const QListWidgetItem* item = CheckListBox->item(i);
        w.AddText((item->checkState() == Qt::Checked ? QLatin1Char('+') : QLatin1Char('-')) + item->text());
    }
    return w.Join(Separator);
}

void TFrameListChoice::LoadState(const QString& state)
{
    CheckListBox->clear();
    const TStateReader r(Separator, state);
    if (r.Count() < 2) {
        SetFilterOn(false);
        SetMissingValue(false);
        UpdateActions();
        return;
    }
    SetFilterOn(r.Bool(0, false));
    SetMissingValue(r.Bool(1, false));
    for (int i = 2; i < r.Count(); ++i) {
        const QString element = r.Text(i);
        if (element.size() >= 2)
            AppendValue(element.mid(1), element.at(0) == QLatin1Char('+'));
    }
    UpdateActions();
}

void TFrameListChoice::SetFilterOn(bool on)
{
    chkOnOff->setChecked(on);
}

void TFrameListChoice::SetMissingValue(bool include)
{
    chkMissingValue->setChecked(include);
}

void TFrameListChoice::CheckNone()
{
    SetAllChecks(false);
}

void TFrameListChoice::AddValues(const QString& text)
{
    QListWidgetItem* current = CheckListBox->currentItem();
    for (const QString& piece : SplitText(Separator, text)) {
        const QString value = piece.trimmed();
        if (value.isEmpty())
            continue;
        if (value == MissingItem) {
            chkMissingValue->setChecked(true);
            continue;
        }
        const int found = FindValue(value);
        if (found >= 0) {
            CheckListBox->item(found)->setCheckState(Qt::Checked);
            continue;
        }
        // Before the current line, which stays current: values typed together keep their order.
        auto* item = new QListWidgetItem(value);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
        if (current)
            CheckListBox->insertItem(CheckListBox->row(current), item);
        else
            CheckListBox->addItem(item);
    }
    UpdateActions();
}

void TFrameListChoice::AppendValue(const QString& value, bool ticked)
{
    auto* item = new QListWidgetItem(value, CheckListBox);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
}

int TFrameListChoice::FindValue(const QString& value) const
{
    for (int i = 0; i < CheckListBox->count(); ++i)
        if (CheckListBox->item(i)->text().compare(value, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void TFrameListChoice::chkOnOffToggled(bool on)
{
    MarkFilterNode(node_, on);
    UpdateActions();
}

void TFrameListChoice::aAddExecute()
{
    AddValues(EditBox->text());
}

// The deleted value goes to the edit, so that adding it again restores it.
void TFrameListChoice::aDeleteExecute()
{
    const int row = CheckListBox->currentRow();
    if (row < 0)
        return;
    EditBox->setText(CheckListBox->item(row)->text());
    delete CheckListBox->takeItem(row);
    if (CheckListBox->count() > 0)
        CheckListBox->setCurrentRow(std::min(row, CheckListBox->count() - 1));
    UpdateActions();
}

void TFrameListChoice::SetAllChecks(bool checked)
{
    for (int i = 0; i < CheckListBox->count(); ++i)
        CheckListBox->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void TFrameListChoice::aInvertCheckExecute()
{
    for (int i = 0; i < CheckListBox->count(); ++i) {
        QListWidgetItem* item = CheckListBox->item(i);
        item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
}

void TFrameListChoice::UpdateActions()
{
    const bool on = chkOnOff->isChecked();
    EditBox->setEnabled(on);
    CheckListBox->setEnabled(on);
    chkMissingValue->setEnabled(on);
    aAdd->setEnabled(on && !EditBox->text().isEmpty());
    aDelete->setEnabled(on && CheckListBox->currentRow() >= 0);
    aCheckAll->setEnabled(on);
    aCheckNone->setEnabled(on);
    aInvertCheck->setEnabled(on);
}
