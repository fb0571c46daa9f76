#pragma once
// The "Interval" page: limits every report to a period on the received, end or start time
// of the calls. It is the one filter that is always on. From, Span and To stand on the
// page as From + Span = To, and "Calc" chooses which of the three follows the other two.
//
// State line "from,to,field,calc" (points in time as day numbers with "."); a restored
// period is never longer than one day and always keeps its end. The condition value is
// "from,to" in order (RangeText).
//
// Never raises.

#include "core/DateTime.h"
#include "reportconfig/FrameReportFilter.h"

class QDateEdit;
class QLabel;
class QTimeEdit;
class TLabeledUpDownEdit;
class TRadioGroup;

class TFrameDateTimeSelect : public TReportFilterFrame {
    Q_OBJECT

public:
    // rgResult items: which value is computed.
    enum TCalc { calcFrom = 0, calcSpan = 1, calcTo = 2 };

    explicit TFrameDateTimeSelect(QWidget* owner);

    QString SaveState() const override;
    void LoadState(const QString& state) override;
    bool IsFilterOn() const override { return true; }
    QString GetConditionValue() const override;

    // The moments of the pickers, as they stand (not ordered).
    TDateTime From() const;
    TDateTime To() const;
    // Sets From and To and lets the span follow them (Calc := span); the field stays.
    void SetPeriod(TDateTime from, TDateTime to);
    // The caption of the time field filtered on ("Received time").
    QString FilterFieldText() const;

private:
    void SetFromPickers(TDateTime value);
    void SetToPickers(TDateTime value);
    void SetSpanFromPeriod();
    void PickerChange();
    void rgResultClick(int index);
    void rgFilterFieldClick(int index);

    QLabel* lblFrom;
    QDateEdit* dtpFromDate;
    QTimeEdit* dtpFromTime;
    QLabel* lblTo;
    QDateEdit* dtpToDate;
    QTimeEdit* dtpToTime;
    QLabel* lblPlusSign;
    TLabeledUpDownEdit* ludedtInterval;
    TRadioGroup* rgResult;
    TRadioGroup* rgFilterField;
    bool updating_ = false;
};
