#include "widgets/RadioGroup.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

#include <algorithm>

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent, int columns)
    : QGroupBox(caption, parent), buttons_(new QButtonGroup(this)), layout_(new QGridLayout(this))
{
    columns = std::max(columns, 1);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items.at(i), this);
        buttons_->addButton(button, i);
        layout_->addWidget(button, i / columns, i % columns);
        // Items spread over the box's height, so a tall box lines them up with its rows.
        layout_->setRowStretch(i / columns, 1);
    }
    connect(buttons_, &QButtonGroup::idToggled, this, &TRadioGroup::ButtonToggled);
    connect(this, &QObject::objectNameChanged, this, [this](const QString& name) {
        for (int i = 0; i < Count(); ++i)
            buttons_->button(i)->setObjectName(QStringLiteral("%1_%2").arg(name).arg(i));
    });
}

int TRadioGroup::Count() const
{
    return static_cast<int>(buttons_->buttons().size());
}

void TRadioGroup::SetItemIndex(int index)
{
    if (index == index_ || index < -1 || index >= Count())
        return;
    if (index >= 0) {
        buttons_->button(index)->setChecked(true);  // ButtonToggled records it
        return;
    }
    // An exclusive group cannot uncheck its last button.
    buttons_->setExclusive(false);
    if (QAbstractButton* checked = buttons_->checkedButton())
        checked->setChecked(false);
    buttons_->setExclusive(true);
    index_ = -1;
}

QString TRadioGroup::ItemText(int index) const
{
    const QAbstractButton* button = Button(index);
    return button ? button->text() : QString();
}

QAbstractButton* TRadioGroup::Button(int index) const
{
    return index >= 0 && index < Count() ? buttons_->button(index) : nullptr;
}

void TRadioGroup::ButtonToggled(int index, bool checked)
{
    if (!checked || index == index_)
        return;
    index_ = index;
    Q_EMIT Clicked(index);
}
