#pragma once
// The result grid of the call report window: a report grid that knows about calls. Its
// printable layout shows, for each grouping level, a header that names the level's value
// (an extension or PIN code with its name and group, or a field's caption and value) and,
// in each level's footer and in the summary, one totals line:
//   Totals: 12 rows; 150 calls; 5h,2m,10s; 12.50 + 2.50 = $15; 300 pulses;
// A grouped report (one with total columns) counts its result rows and sums the totals;
// an ungrouped one counts its calls and sums their duration, charges and pulses.
//
//   auto* grid = new TFrameCallsReportGrid(pnlMain, reportDM, owner);
//   grid->SetGrouped(IsGrouped);        // before every run
//   grid->SetDataset(&reportDM.cdsResult);

#include "calls/CallFieldInfo.h"
#include "reports/FrameRepGrid.h"

class TReportDM;

class TFrameCallsReportGrid : public TFrameReportGrid {
    Q_OBJECT

public:
    // Created on the host panel, which it fills; the report data module must outlive it.
    TFrameCallsReportGrid(QWidget* owner, TReportDM& reportDM, TMainFormServices* services = nullptr);

    void SetGrouped(bool grouped) { grouped_ = grouped; }
    bool Grouped() const { return grouped_; }
    TReportDM& ReportDM() const { return reportDM_; }

    // The expression of a totals band: six items joined by +'|'+ (see TotalsText).
    QString TotalsExpression() const;

private:
    void BuildTotals(TBand& band, bool autoSize) const;
    void BuildGroupHeader(TDynamicGroup& header, const TField* column, bool autoSize) const;
    // "SUM(column)" when the shown dataset has the field's column, else the empty literal.
    QString SumItem(TCallFieldId field) const;
    bool HasColumn(TCallFieldId field) const;

    bool grouped_ = false;
    TReportDM& reportDM_;
};
