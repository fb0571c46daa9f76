#pragma once
// A radio group: a captioned box of exclusive radio buttons chosen by index, the way the
// report pages keep a choice ("Calc", " Apply interval to ", " Filter "). The index is the
// state; -1 means no item is chosen.
//
//   auto* rg = new TRadioGroup(tr(" Apply interval to "), {tr("Received time"), tr("End time")}, this);
//   rg->setObjectName(QStringLiteral("rgFilterField"));
//   connect(rg, &TRadioGroup::Clicked, this, &TPage::rgFilterFieldClick);
//   rg->SetItemIndex(1);   // runs rgFilterFieldClick(1): the index changed
//
// Contracts:
// - Clicked is emitted once whenever the index changes, by the user or by SetItemIndex,
//   never when it stays; it is not emitted for -1 (nothing to act on).
// - SetItemIndex takes -1 to choose nothing; any other index outside the items is ignored.
// - Buttons are named "<group name>_<index>" once the group has its name, for tests.
// - Never raises.

#include <QGroupBox>
#include <QStringList>

class QAbstractButton;
class QButtonGroup;
class QGridLayout;

class TRadioGroup : public QGroupBox {
    Q_OBJECT

public:
    // The items stand in `columns` columns, filled row by row.
    TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr, int columns = 1);

    int Count() const;
    int ItemIndex() const { return index_; }
    void SetItemIndex(int index);
    // The text of an item; empty outside the items.
    QString ItemText(int index) const;
    // The button of an item, for pages that place or relabel it; null outside the items.
    QAbstractButton* Button(int index) const;

Q_SIGNALS:
    void Clicked(int index);

private:
    void ButtonToggled(int index, bool checked);

    QButtonGroup* buttons_;
    QGridLayout* layout_;
    int index_ = -1;
};
