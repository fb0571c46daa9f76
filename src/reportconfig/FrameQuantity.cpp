#include "reportconfig/FrameQuantity.h"

#include "calls/Globals.h"
#include "reportconfig/PageControls.h"
#include "reportconfig/StateLine.h"
#include "widgets/LabeledUpDownEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

constexpr QChar Separator = QLatin1Char(',');

TLabeledUpDownEdit* NewLimitEdit(QWidget* parent, const char* name)
{
    auto* edit = new TLabeledUpDownEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->SetRange(0, TFrameQuantityLimit::MaxPosition);
    return edit;
}

}  // namespace

TFrameQuantityLimit::TFrameQuantityLimit(QWidget* owner, TCallFieldId field)
    : TReportFilterFrame(owner, field)
{
    GroupBox = new QGroupBox(this);
    GroupBox->setObjectName(QStringLiteral("GroupBox"));
    ComboBox = new QComboBox(GroupBox);
    ComboBox->setObjectName(QStringLiteral("ComboBox"));
    ComboBox->setToolTip(tr("Select filter type."));
    ComboBox->addItems({tr("At least"), tr("Between"), tr("At most")});
    ludedtLimit1 = NewLimitEdit(GroupBox, "ludedtLimit1");
    ludedtLimit2 = NewLimitEdit(GroupBox, "ludedtLimit2");
    for (TLabeledUpDownEdit* edit : {ludedtLimit1, ludedtLimit2})
        AttachSpanConversions(edit, [this] { return Conversions(); });
    chkMissingValue = new QCheckBox(tr("Missing value"), GroupBox);
    chkMissingValue->setObjectName(QStringLiteral("chkMissingValue"));

    auto* row = new QHBoxLayout(GroupBox);
    row->addWidget(ComboBox);
    row->addWidget(ludedtLimit1);
    row->addWidget(ludedtLimit2);
    row->addSpacing(12);
    row->addWidget(chkMissingValue);
    row->addStretch(1);
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->addWidget(GroupBox);

    connect(ComboBox, &QComboBox::currentIndexChanged, this, &TFrameQuantityLimit::ComboBoxChange);
    TFrameQuantityLimit::SetFieldId(field);
    ComboBoxChange();
}

TSpanConversions TFrameQuantityLimit::Conversions() const
{
    const TCallSpanFieldInfo* info = SpanFieldInfo(FieldId());
    return info ? info->Conversions() : TSpanConversions{};
}

void TFrameQuantityLimit::SetFieldId(TCallFieldId fieldId)
{
    TReportFilterFrame::SetFieldId(fieldId);
    GroupBox->setTitle(QLatin1Char(' ') + Descriptor().Caption() + QLatin1Char(' '));
    for (TLabeledUpDownEdit* edit : {ludedtLimit1, ludedtLimit2})
        edit->SetPosition(edit->LastPosition());  // shows the value on the new scale
}

void TFrameQuantityLimit::EnableLimit(bool on)
{
    for (QWidget* control :
         std::initializer_list<QWidget*>{ComboBox, ludedtLimit1, ludedtLimit2, chkMissingValue})
        control->setEnabled(on);
}

// Judged by the control alone: a window that disables the whole page while it is busy
// does not switch the limit off.
bool TFrameQuantityLimit::IsFilterOn() const
{
    return ComboBox->isEnabledTo(this);
}

QString TFrameQuantityLimit::GetConditionValue() const
{
    const TSpanConversions c = Conversions();
    if (!c.PositionToValue)
        return QString();
    double low = c.PositionToValue(static_cast<qint16>(ludedtLimit1->Position()));
    double high = c.PositionToValue(static_cast<qint16>(ludedtLimit2->Position()));
    if (ComboBox->currentIndex() == cmpBetween)
        OrderPair(low, high);
    return TStateWriter()
        .AddInt(ComboBox->currentIndex())
        .AddReal(low)
        .AddReal(high)
        .AddBool(chkMissingValue->isChecked())
        .Join(Separator);
}

QString TFrameQuantityLimit::SaveState() const
{
    return GetConditionValue();
}

void TFrameQuantityLimit::LoadState(const QString& state)
{
    const TStateReader r(Separator, state);
    const TSpanConversions c = Conversions();
    int comparison = cmpAtLeast, position1 = 0, position2 = 0;
    bool missing = false;
    if (r.Count() >= 4 && c.ValueToPosition) {
        comparison = r.Index(0, ComboBox->count(), cmpAtLeast);
        position1 = c.ValueToPosition(r.Real(1, 0));
        position2 = c.ValueToPosition(r.Real(2, 0));
        missing = r.Bool(3, false);
    }
    ComboBox->setCurrentIndex(comparison);
    ludedtLimit1->SetPosition(position1);
    ludedtLimit2->SetPosition(position2);
    chkMissingValue->setChecked(missing);
    ComboBoxChange();
}

void TFrameQuantityLimit::FocusLimit()
{
    ludedtLimit1->setFocus();
}

int TFrameQuantityLimit::Comparison() const
{
    return ComboBox->currentIndex();
}

int TFrameQuantityLimit::Limit1Position() const
{
    return ludedtLimit1->Position();
}

void TFrameQuantityLimit::SetMissingValue(bool include)
{
    chkMissingValue->setChecked(include);
}

void TFrameQuantityLimit::HideMissingValue()
{
    chkMissingValue->hide();
}

void TFrameQuantityLimit::SetLimit(TComparison comparison, int position)
{
    SetMissingValue(false);
    ComboBox->setCurrentIndex(comparison);
    ludedtLimit1->SetPosition(position);
}

// The second value is shown only for "Between".
void TFrameQuantityLimit::ComboBoxChange()
{
    ludedtLimit2->setVisible(ComboBox->currentIndex() == cmpBetween);
}
