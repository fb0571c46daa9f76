#include "widgets/LabeledUpDownEdit.h"

#include <QAbstractSpinBox>
#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStyleOptionSpinBox>

#include <algorithm>
#include <limits>

// The edit and its buttons. QAbstractSpinBox brings the keys, the wheel, the auto-repeating
// buttons and the look of the platform; the position and its texts stay with the owner.
class TUpDownSpinBox : public QAbstractSpinBox {
public:
    explicit TUpDownSpinBox(TLabeledUpDownEdit* owner) : QAbstractSpinBox(owner), owner_(owner)
    {
        setObjectName(QStringLiteral("edtPosition"));
    }

    QString Text() const { return lineEdit()->text(); }
    void SetText(const QString& text) { lineEdit()->setText(text); }
    const QLineEdit* Editor() const { return lineEdit(); }

    void stepBy(int steps) override
    {
        owner_->Step(steps);
        selectAll();  // typing after a step replaces the number, as in every spin box
    }

    // Room for the widest of the texts of the range's ends, and for five digits at least,
    // with a digit to spare so that the text does not touch the buttons.
    QSize sizeHint() const override
    {
        ensurePolished();
        const QFontMetrics metrics(fontMetrics());
        int width = metrics.horizontalAdvance(QStringLiteral("00000"));
        for (const int end : {owner_->Minimum(), owner_->Maximum()})
            width = std::max(width, metrics.horizontalAdvance(owner_->DisplayText(end)));
        QStyleOptionSpinBox option;
        initStyleOption(&option);
        width += metrics.horizontalAdvance(QLatin1Char('0'));
        const QSize content(width, lineEdit()->sizeHint().height());
        return style()->sizeFromContents(QStyle::CT_SpinBox, &option, content, this);
    }

protected:
    // Judged on the position the text stands for, so that a typed value below the maximum
    // can still be stepped up although the last set position was the maximum.
    StepEnabled stepEnabled() const override
    {
        if (isReadOnly())
            return StepNone;
        const int position = owner_->Position();
        StepEnabled enabled = StepNone;
        if (position < owner_->Maximum())
            enabled |= StepUpEnabled;
        if (position > owner_->Minimum())
            enabled |= StepDownEnabled;
        return enabled;
    }

private:
    TLabeledUpDownEdit* owner_;
};

TLabeledUpDownEdit::TLabeledUpDownEdit(QWidget* parent)
    : QWidget(parent),
      label_(new QLabel(this)),
      edit_(new TUpDownSpinBox(this)),
      layout_(new QBoxLayout(QBoxLayout::LeftToRight, this))
{
    label_->setObjectName(QStringLiteral("lblCaption"));
    label_->setBuddy(edit_);
    label_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    label_->hide();
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->addWidget(label_);
    layout_->addWidget(edit_, 1);
    // As wide as its texts need unless a page makes room for more: a number box stretched
    // across a page reads badly.
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    setFocusProxy(edit_);
    ArrangeLabel();
    edit_->SetText(DisplayText(position_));

    connect(edit_->Editor(), &QLineEdit::textEdited, this, &TLabeledUpDownEdit::TextEdited);
    connect(edit_, &QAbstractSpinBox::editingFinished, this, &TLabeledUpDownEdit::ReadTypedText);
}

TLabeledUpDownEdit::TLabeledUpDownEdit(const QString& caption, TLabelPosition labelPosition, QWidget* parent)
    : TLabeledUpDownEdit(parent)
{
    SetCaption(caption);
    SetLabelPosition(labelPosition);
}

// The edit goes first: losing the focus while the base class tears the children down would
// otherwise read its text through handlers and members already destroyed.
TLabeledUpDownEdit::~TLabeledUpDownEdit()
{
    delete edit_;
}

QString TLabeledUpDownEdit::Caption() const
{
    return label_->text();
}

void TLabeledUpDownEdit::SetCaption(const QString& caption)
{
    label_->setText(caption);
    label_->setVisible(!caption.isEmpty());
    // A mnemonic's "&" is not read out; "&&" is a plain "&".
    static const QRegularExpression mnemonic(QStringLiteral("&(.)"));
    QString spoken = caption;
    spoken.replace(mnemonic, QStringLiteral("\\1"));
    edit_->setAccessibleName(spoken);
    setAccessibleName(spoken);
}

void TLabeledUpDownEdit::SetLabelPosition(TLabelPosition labelPosition)
{
    labelPosition_ = labelPosition;
    ArrangeLabel();
}

void TLabeledUpDownEdit::SetLabelSpacing(int pixels)
{
    labelSpacing_ = std::max(pixels, 0);
    ArrangeLabel();
}

void TLabeledUpDownEdit::ArrangeLabel()
{
    switch (labelPosition_) {
        case TLabelPosition::Left:
            layout_->setDirection(QBoxLayout::LeftToRight);
            break;
        case TLabelPosition::Right:
            layout_->setDirection(QBoxLayout::RightToLeft);
            break;
        case TLabelPosition::Above:
            layout_->setDirection(QBoxLayout::TopToBottom);
            break;
    }
    // Under a long caption the edit keeps its own width instead of the caption's.
    const bool above = labelPosition_ == TLabelPosition::Above;
    layout_->setAlignment(label_, above ? Qt::AlignLeft : Qt::AlignVCenter);
    layout_->setAlignment(edit_, above ? Qt::AlignLeft : Qt::Alignment());
    layout_->setSpacing(labelSpacing_);
}

void TLabeledUpDownEdit::SetRange(int minimum, int maximum)
{
    minimum_ = std::clamp(minimum, LowestPosition, HighestPosition);
    maximum_ = std::clamp(maximum, minimum_, HighestPosition);
    edit_->updateGeometry();
    if (position_ != Clamp(position_))
        SetPosition(position_);
    edit_->update();  // the buttons' enabled look follows the range
}

void TLabeledUpDownEdit::SetIncrement(int increment)
{
    increment_ = std::max(increment, 1);
}

int TLabeledUpDownEdit::Clamp(qint64 position) const
{
    return static_cast<int>(std::clamp<qint64>(position, minimum_, maximum_));
}

int TLabeledUpDownEdit::Position() const
{
    const QString text = edit_->Text();
    bool read = false;
    const qint64 typed = text.trimmed().toLongLong(&read, 10);
    int position = position_;
    if (read)
        position = static_cast<int>(
            std::clamp<qint64>(typed, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    if (getText_)
        position = getText_(text, position);
    return Clamp(position);
}

void TLabeledUpDownEdit::SetPosition(int position)
{
    const int previous = position_;
    position_ = Clamp(position);
    edit_->SetText(DisplayText(position_));
    if (position_ != previous)
        Q_EMIT PositionChanged(position_);
}

void TLabeledUpDownEdit::Step(int steps)
{
    SetPosition(Clamp(qint64{Position()} + qint64{steps} * increment_));
}

// Enter or leaving the edit: what was typed becomes the position, shown in its own form.
void TLabeledUpDownEdit::ReadTypedText()
{
    SetPosition(Position());
}

QString TLabeledUpDownEdit::Text() const
{
    return edit_->Text();
}

QString TLabeledUpDownEdit::DisplayText(int position) const
{
    const QString decimal = QString::number(position);
    return setText_ ? setText_(position, decimal) : decimal;
}

void TLabeledUpDownEdit::SetGetTextHandler(TGetTextHandler handler)
{
    getText_ = std::move(handler);
    edit_->update();
}

void TLabeledUpDownEdit::SetSetTextHandler(TSetTextHandler handler)
{
    setText_ = std::move(handler);
    edit_->SetText(DisplayText(position_));
    edit_->updateGeometry();
}
