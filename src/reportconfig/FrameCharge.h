#pragma once
// The "Charge" page: a quantity page whose two limits apply to the raw charge, the VAT or
// the charge, as " Apply filter to: " chooses. Changing the choice keeps the positions of
// the edits; they now stand for amounts of the new field (all on the money scale).
//
// State line: the quantity page's line, ";" and the index of the choice.
//
// Never raises.

#include "reportconfig/FrameQuantityDouble.h"

class TRadioGroup;

class TFrameChargeLimit : public TFrameQuantityDoubleLimit {
    Q_OBJECT

public:
    TFrameChargeLimit(QWidget* owner, QTreeWidgetItem* node);

    QString SaveState() const override;
    void LoadState(const QString& state) override;
    void SetFilterOn(bool on) override;

    // The caption of the charge field chosen ("Raw charge").
    QString ChargeFieldText() const;

private:
    void rgChargeFieldClick(int index);

    TRadioGroup* rgChargeField;
};
