#pragma once
// The page shown under "Filters" while the advanced filters are in use: a read-only summary
// of every filter that is on, one line each (the detail filters, then those on totals), with
// a hint on how to change them.
//
//   auto* summary = new TFilterSummaryFrame(panel, pages.DetailFilters(), pages.TotalFilters());
//   summary->RefreshSummary();   // whenever the page is about to be shown
//
// The page keeps no state (it saves the empty line). Never raises.

#include "calls/Globals.h"
#include "reportconfig/FrameReportBase.h"

#include <QList>

class QPlainTextEdit;
class TReportFilterFrame;

// The summary lines of the filters that are on, in list order.
TStringArray FilterSummaryLines(const QList<TReportFilterFrame*>& filters);

class TFilterSummaryFrame : public TReportBaseFrame {
    Q_OBJECT

public:
    TFilterSummaryFrame(QWidget* owner, QList<TReportFilterFrame*> detailFilters,
                        QList<TReportFilterFrame*> totalFilters);

    QString SaveState() const override { return QString(); }
    void LoadState(const QString&) override {}

    void RefreshSummary();
    QString SummaryText() const;

private:
    QList<TReportFilterFrame*> detailFilters_;
    QList<TReportFilterFrame*> totalFilters_;
    QPlainTextEdit* mmoFilters;
};
