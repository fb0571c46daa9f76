#pragma once
// The "Special report" page: while it is on, a report run lists the calls that overlap in
// time and share the value of an equality field (the same PIN code, extension or phone),
// optionally differing in a second field, by at least a minimum number of seconds (a
// negative minimum also pairs calls that start that long after the first ended). The page
// only holds the settings; the window changes the query and the report data module builds
// the list (BuildSpecialReport).
//
//   TOverlapSetupFrame page(panel, {cfPinCode, cfExtCode, cfPhone});
//   if (page.IsOn()) order = page.GetOverlapOrderBy();   // "PIN_CODE", start, end
//
// State line "on,equality index,inequality index,include null,minimum overlap"
// ("True,0,1,False,-60"); four elements or fewer give the default: off, the first field
// equal, the second different, no calls without a value, no minimum. Indexes are clamped to
// the items (the inequality's last item is "-", no second field). It is what a saved
// configuration keeps as SPECIAL.
//
// Widgets: ckbOnOff, grpFields with rgEqualityField and rgInequalityField, grpOptions with
// cbIncludeNull and ludedtMinimumOverlap. Never raises.

#include "calls/CallFieldInfo.h"
#include "calls/Globals.h"
#include "calls/ReportResults.h"
#include "reportconfig/FrameReportBase.h"

#include <QList>

class QCheckBox;
class QGroupBox;
class TLabeledUpDownEdit;
class TRadioGroup;

class TOverlapSetupFrame : public TReportBaseFrame {
    Q_OBJECT

public:
    static constexpr int MinimumOverlapLimit = 32400;  // seconds, either way

    TOverlapSetupFrame(QWidget* owner, const QList<TCallFieldId>& offeredFields);

    QString SaveState() const override;
    void LoadState(const QString& state) override;

    bool IsOn() const;
    // Checks or unchecks the On/Off box, as the user would.
    void SetOn(bool on);
    // The offered field chosen; cfNone outside the offered fields (and for "-").
    TCallFieldId EqualityField() const;
    TCallFieldId InequalityField() const;
    // The result column of the equality field, then the start and end time expressions.
    TStringArray GetOverlapOrderBy() const;
    // What BuildSpecialReport takes from the page.
    TOverlapOptions Options() const;

    // The minimum overlap's text and reading: "-" before the duration text of the seconds.
    static QString OverlapText(int seconds);
    static int ReadOverlap(const QString& text, int previousSeconds);

Q_SIGNALS:
    // The On/Off box changed (by the user or LoadState).
    void Switched(bool on);

private:
    void ckbOnOffToggled(bool on);
    TCallFieldId OfferedField(int index) const;

    QList<TCallFieldId> offered_;
    QCheckBox* ckbOnOff;
    QGroupBox* grpFields;
    TRadioGroup* rgEqualityField;
    TRadioGroup* rgInequalityField;
    QGroupBox* grpOptions;
    QCheckBox* cbIncludeNull;
    TLabeledUpDownEdit* ludedtMinimumOverlap;
};
