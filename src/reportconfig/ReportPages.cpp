#include "reportconfig/ReportPages.h"

#include "reportconfig/FrameFilterSummary.h"
#include "reportconfig/FrameOverlapSetup.h"
#include "reportconfig/FramePrint.h"
#include "reportconfig/FrameReportList.h"
#include "reportconfig/FrameSetup.h"

TReportPages CreateReportPages(QWidget* panel, QTreeWidget* tree, TReportDM& reportDM,
                               TRemoteConnection& scReport, std::function<QString()> gridLayout,
                               const TArchivePageFactory& createArchivePage)
{
    TReportPages p;
    p.Filters = CreateReportFilterPages(panel, tree, scReport);
    p.Summary = new TFilterSummaryFrame(panel, p.Filters.DetailFilters(), p.Filters.TotalFilters());
    p.Setup = new TReportSetupFrame(panel);
    // The special report pairs calls of one PIN code, extension or phone number.
    p.Overlap = new TOverlapSetupFrame(panel, {cfPinCode, cfExtCode, cfPhone});
    p.ReportList = new TReportListFrame(panel, p.Overlap, p.Setup, std::move(gridLayout), reportDM);
    p.Print = new TFramePrintOptions(panel);
    // The archive page takes the last place: nothing may follow it.
    if (createArchivePage)
        p.Archive = createArchivePage(panel, p.Filters.DetailFilters(), scReport);
    return p;
}
