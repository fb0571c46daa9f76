#pragma once
// A quantity page ("Duration", "Pulses"; the base of "Charge" and "Count"): one On/Off box
// over two limits, FrameDetails on single calls (a "where" condition) and FrameTotals on
// group totals (a "having" condition). The detail limit is on while the page is on; the
// total limit while the page is on and the report is grouped (SetTotalsAllowed). A limit
// that is off keeps its values. The page itself is no filter: the window takes its two
// limits into its filter lists.
//
// State line "on;totals allowed;details line;totals line".
//
// Never raises.

#include "reportconfig/FrameReportBase.h"

#include "calls/CallFieldInfo.h"

class QAction;
class QCheckBox;
class QHBoxLayout;
class QLabel;
class QTreeWidgetItem;
class TFrameQuantityLimit;

class TFrameQuantityDoubleLimit : public TReportBaseFrame {
    Q_OBJECT

public:
    // node: the page's tree node (may be null); the limits' fields.
    TFrameQuantityDoubleLimit(QWidget* owner, QTreeWidgetItem* node, TCallFieldId totalField,
                              TCallFieldId detailField);

    QString SaveState() const override;
    void LoadState(const QString& state) override;
    virtual void SetFilterOn(bool on);
    // Whether the report is grouped; the window tells every quantity page before each run.
    virtual void SetTotalsAllowed(bool allowed);

    bool IsOn() const;
    // Checks or unchecks the On/Off box, as the user would.
    void SetOn(bool on);
    bool TotalsAllowed() const { return totalsAllowed_; }
    TFrameQuantityLimit* Details() const { return FrameDetails; }
    TFrameQuantityLimit* Totals() const { return FrameTotals; }

protected:
    // Room at the right of the limits for a page's own controls.
    QHBoxLayout* SideLayout() const { return side_; }
    QAction* aOnOff;

private:
    void chkOnOffToggled(bool on);

    QTreeWidgetItem* node_;
    bool totalsAllowed_ = false;
    QCheckBox* chkOnOff;
    QLabel* lblOnOff;
    TFrameQuantityLimit* FrameDetails;
    TFrameQuantityLimit* FrameTotals;
    QHBoxLayout* side_;
};
