#include "reportconfig/FrameCharge.h"

#include "calls/Globals.h"
#include "reportconfig/FrameQuantity.h"
#include "widgets/RadioGroup.h"

#include <QHBoxLayout>

#include <algorithm>

namespace {

// The fields of each choice: details, totals.
constexpr TCallFieldId ChargeFields[3][2] = {
    {cfRawCharge, cfTotalRawCharge}, {cfVat, cfTotalVat}, {cfCharge, cfTotalCharge}};

}  // namespace

TFrameChargeLimit::TFrameChargeLimit(QWidget* owner, QTreeWidgetItem* node)
    : TFrameQuantityDoubleLimit(owner, node, cfTotalRawCharge, cfRawCharge)
{
    rgChargeField =
        new TRadioGroup(tr(" Apply filter to: "), {tr("Raw charge"), tr("VAT"), tr("Charge")}, this);
    rgChargeField->setObjectName(QStringLiteral("rgChargeField"));
    SideLayout()->addWidget(rgChargeField, 0, Qt::AlignTop);
    connect(rgChargeField, &TRadioGroup::Clicked, this, &TFrameChargeLimit::rgChargeFieldClick);
    rgChargeField->SetItemIndex(0);
    TFrameChargeLimit::SetFilterOn(false);
}

void TFrameChargeLimit::SetFilterOn(bool on)
{
    TFrameQuantityDoubleLimit::SetFilterOn(on);
    rgChargeField->setEnabled(on);
}

void TFrameChargeLimit::rgChargeFieldClick(int index)
{
    if (index < 0 || index > 2)
        return;
    Details()->SetFieldId(ChargeFields[index][0]);
    Totals()->SetFieldId(ChargeFields[index][1]);
}

QString TFrameChargeLimit::ChargeFieldText() const
{
    return rgChargeField->ItemText(rgChargeField->ItemIndex());
}

QString TFrameChargeLimit::SaveState() const
{
    return TFrameQuantityDoubleLimit::SaveState() + QLatin1Char(';') +
           QString::number(rgChargeField->ItemIndex());
}

// The positions first, then the field: the edits keep them on the new field's scale.
void TFrameChargeLimit::LoadState(const QString& state)
{
    TFrameQuantityDoubleLimit::LoadState(state);
    const QString last = state.mid(state.lastIndexOf(QLatin1Char(';')) + 1);
    rgChargeField->SetItemIndex(std::clamp(StateToInt(last, 0), 0, rgChargeField->Count() - 1));
}
