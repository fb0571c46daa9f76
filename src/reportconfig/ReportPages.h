#pragma once
// Every page of the call report window, created on its control panel in the order that fixes
// the settings keys (control_panels_<child index>): the empty panel the window made first
// (0), the filter pages (1 to 13, CreateReportFilterPages), the filter summary (14), the
// setup (15), the special report (16), the saved configurations (17), the print options (18)
// and the archive page (19). The saved configurations come after the setup and the special
// report because restoring them applies the chosen configuration to those two pages.
//
//   const TReportPages pages = CreateReportPages(pnlControl, tvReport, reportDM, scReport,
//                                                [grid] { return grid->SaveLayoutState(); }, archivePage);
//
// The archive page is made by a factory that the program binds (it comes with the
// archives); without one there is none, and nothing is created after its place, so no key
// moves when it arrives. It is created at every access level: a user who may not archive
// still keeps its settings line.
//
// Raises what the pages raise while they load their lists from the server.

#include "reportconfig/ReportFilterPages.h"

#include <QList>

#include <functional>

class QAction;
class QTreeWidget;
class QWidget;
class TFilterSummaryFrame;
class TFramePrintOptions;
class TOverlapSetupFrame;
class TRemoteConnection;
class TReportBaseFrame;
class TReportDM;
class TReportFilterFrame;
class TReportListFrame;
class TReportSetupFrame;

// What the window needs of the archive page: the page, the action that archives (the window
// offers it in its menu to administrators) and how to show the filters it will archive by.
struct TArchivePage {
    TReportBaseFrame* Page = nullptr;
    QAction* CreateAction = nullptr;
    std::function<void()> RefreshFilters;
};

// Makes the archive page on the panel; it archives the calls the detail filters select,
// through ReportRDM.
using TArchivePageFactory = std::function<TArchivePage(
    QWidget* panel, const QList<TReportFilterFrame*>& detailFilters, TRemoteConnection& scReport)>;

struct TReportPages {
    TReportFilterPages Filters;
    TFilterSummaryFrame* Summary = nullptr;
    TReportSetupFrame* Setup = nullptr;
    TOverlapSetupFrame* Overlap = nullptr;
    TReportListFrame* ReportList = nullptr;
    TFramePrintOptions* Print = nullptr;
    TArchivePage Archive;
};

// gridLayout gives the report grid's layout state for saved configurations.
TReportPages CreateReportPages(QWidget* panel, QTreeWidget* tree, TReportDM& reportDM,
                               TRemoteConnection& scReport, std::function<QString()> gridLayout,
                               const TArchivePageFactory& createArchivePage = {});
