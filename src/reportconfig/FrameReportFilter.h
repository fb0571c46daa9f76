#pragma once
// A page that filters the report on one call field. The page holds its state as a condition
// value; the field's descriptor turns it into the SQL condition and the summary line, so
// the page itself writes neither.

#include "calls/CallFieldInfo.h"
#include "reportconfig/FrameReportBase.h"

class TReportFilterFrame : public TReportBaseFrame {
    Q_OBJECT

public:
    TReportFilterFrame(QWidget* owner, TCallFieldId fieldId = cfNone);

    TCallFieldId FieldId() const { return fieldId_; }
    virtual void SetFieldId(TCallFieldId fieldId);
    // True while the filter is on but lets no call through; the window then refuses to run.
    virtual bool SelectsNothing() const;
    // Whether the filter takes part in the report.
    virtual bool IsFilterOn() const = 0;
    // The condition value of the current state, whether the filter is on or not.
    virtual QString GetConditionValue() const = 0;
    // The descriptor's condition for the condition value; empty while the filter is off.
    virtual QString GetSQLCondition() const;
    // The joins the condition needs beyond those of the report's fields; none by default.
    virtual TJoinSet GetRequiredJoins() const;
    // The descriptor's summary line for the condition value; empty while the filter is off.
    virtual QString GetSummary() const;

protected:
    const TCallFieldInfo& Descriptor() const { return FieldInfo(fieldId_); }

private:
    TCallFieldId fieldId_;
};
