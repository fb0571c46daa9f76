#pragma once
// One quantity limit: "At least", "Between" or "At most", one or two values entered on the
// value scale of the frame's field (duration, money or count), and "Missing value" to let
// calls (or groups) without a value pass too. The limit is on exactly while its page has
// enabled it (EnableLimit); the page pairs a limit on single calls with one on group
// totals (TFrameQuantityDoubleLimit).
//
// State line and condition value alike: "comparison,low,high,missing", the values in the
// field's unit; "Between" writes the lower value first.
//
// Never raises.

#include "reportconfig/FrameReportFilter.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class TLabeledUpDownEdit;

class TFrameQuantityLimit : public TReportFilterFrame {
    Q_OBJECT

public:
    enum TComparison { cmpAtLeast = 0, cmpBetween = 1, cmpAtMost = 2 };
    static constexpr int MaxPosition = 32040;

    // field: a span field (duration, charge or count).
    TFrameQuantityLimit(QWidget* owner, TCallFieldId field);

    QString SaveState() const override;
    void LoadState(const QString& state) override;
    // Also captions the group box; the edits keep their positions, now on the new scale.
    void SetFieldId(TCallFieldId fieldId) override;
    bool IsFilterOn() const override;
    QString GetConditionValue() const override;

    // Enables or disables the comparison, both edits and "Missing value" together.
    void EnableLimit(bool on);

    // Focuses the first value.
    void FocusLimit();

    // What simple mode reads and sets.
    int Comparison() const;
    int Limit1Position() const;
    void SetMissingValue(bool include);
    // For limits whose value is never missing (a group's call count).
    void HideMissingValue();
    // "Missing value" unchecked, the comparison and the first edit's position.
    void SetLimit(TComparison comparison, int position);

private:
    TSpanConversions Conversions() const;
    void ComboBoxChange();

    QGroupBox* GroupBox;
    QComboBox* ComboBox;
    TLabeledUpDownEdit* ludedtLimit1;
    TLabeledUpDownEdit* ludedtLimit2;
    QCheckBox* chkMissingValue;
};
