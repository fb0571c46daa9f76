#pragma once
// The call report window ("Call reports"): on the left a tool bar (Refresh, Preview & Print,
// Export) over the tree of pages (tvReport); on the right the page of the selected node
// (pnlControl) above the result grid. The user picks fields, grouping and sort order,
// filters and the special report on the pages, runs the report on the server (Enter),
// previews and prints it, exports it as tab-separated or paged text, and saves the
// configuration on the server under a name. The window's own menu "Calls" joins the main
// window's menu bar while it is the current window.
//
//   form.BindChildWindow(QStringLiteral("actReport"), [&](TMainFormServices* owner, QAction* action) {
//       return new TChildFormCallsInfo(owner, action, connection.sktServer, connection.scReport);
//   });
//
// The pages (Report, Configuration, Special report, Filters with Interval, Lists, Selective
// and Quantitative, Print options and, for administrators, Archive) and their settings
// keys: reportconfig/ReportPages.h. Their states live in the settings file, section
// "Report", with "active_page" (the selected node; the archive node and a node the tree
// does not have open the "Report" page) and "auto_refresh" (1 runs the report at opening,
// 2 after a saved configuration is chosen; 3, both, when absent).
//
// While the window opens, runs, previews or exports it is busy: Refresh, Preview and Export
// do nothing and the window does not close. A run waits for the server in the event loop,
// so the window paints and the other windows stay usable meanwhile; the main window's
// status bar shows what it does ("Searching data..."). A run's failure clears its
// statuses, sends MainRDM 312 true when it held the live data back, ends the busy state
// and goes on to the caller (the process-wide handler, which ends the client on a lost
// connection). A failure to build the special report is logged and the result is shown.
//
// Widgets and actions by object name: ToolBar (tbApply, tbPreview, tbExport), tvReport,
// pnlControl, pnlEmpty, splVertical, splitterPagesCalls, FrameReportGrid, dlgExport,
// ddmCalls; actApply, actPrintPreview, actExportTXT.

#include "calls/Globals.h"
#include "reportconfig/ReportPages.h"
#include "shell/ChildBlank.h"

#include <QList>
#include <QStringList>

#include <memory>

class QFileDialog;
class QLabel;
class QMenu;
class QSplitter;
class QTimer;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class TField;
class TFrameCallsReportGrid;
class TRemoteConnection;
class TReportControlPanel;
class TReportDM;

class TChildFormCallsInfo : public TChildFormBlank {
    Q_OBJECT

public:
    // The nodes of tvReport by absolute index (pre-order).
    enum TNode {
        ndReport,
        ndConfiguration,
        ndSpecialReport,
        ndFilters,
        ndInterval,
        ndLists,
        ndExtensions,
        ndPinCodes,
        ndSelective,
        ndPhone,
        ndCallType,
        ndTrunk,
        ndCircuit,
        ndExtraCode,
        ndQuantitative,
        ndCount,
        ndDuration,
        ndCharge,
        ndPulses,
        ndPrintOptions,
        ndArchive,
        NodeCount
    };
    static constexpr char Section[] = "Report";
    static constexpr int DefaultAutoRefresh = 3;

    // mainConnection reaches MainRDM, scReport the ReportRDM connection; both must outlive
    // the window. createArchivePage makes the "Archive" page (none without it). Raises what
    // opening raises (the saved configurations or the pages' lists cannot be read), after
    // the statuses are cleared and the live data let through again.
    TChildFormCallsInfo(TMainFormServices* owner, QAction* action, TRemoteConnection& mainConnection,
                        TRemoteConnection& scReport, const TArchivePageFactory& createArchivePage = {});
    ~TChildFormCallsInfo() override;

    bool Busy() const { return busy_; }
    TReportDM& ReportDM() const { return *dm_; }
    const TReportPages& Pages() const { return pages_; }
    TFrameCallsReportGrid* Grid() const { return grid_; }

    // The node's tree item; null for a node the tree does not have (Archive below the
    // administrator's level).
    QTreeWidgetItem* Node(int node) const;
    // The page shown for a node: node 3 shows the simple page in simple mode and the filter
    // summary otherwise; Lists, Selective and Quantitative show the empty panel.
    QWidget* PageOfNode(int node) const;

    // The title lines of printouts and exports: the custom title, then the summaries of the
    // filters that are on (the interval's always).
    QStringList TitleLines() const;
    // The result columns of the grouping levels (null for one the result lacks); none while
    // the special report is shown, whose rows are not in the grouping order.
    QList<TField*> GroupFields() const;

    // The idle update (also run by a short timer): the group nodes follow their children;
    // Refresh is enabled unless a filter lets no call through; Preview and Export while the
    // grid shows rows. Skipped while busy.
    void UpdateActions();

    QAction* actApply;
    QAction* actPrintPreview;
    QAction* actExportTXT;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateActions();
    void CreateView();
    void CreateTree();
    void CreateMenu();
    void CreatePages(TRemoteConnection& scReport, const TArchivePageFactory& createArchivePage);
    void Restore();
    void Save();
    void UpdateGrouping();
    void ShowSelectedPage();
    int NodeIndex(const QTreeWidgetItem* item) const;
    void tvReportChange(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void tvReportCollapsed(QTreeWidgetItem* item);
    void tvReportExpanded(QTreeWidgetItem* item);
    void ConfigurationChosen();
    void QueueRun();
    void actApplyExecute();
    void actPrintPreviewExecute();
    void actExportTXTExecute();

    TRemoteConnection& main_;
    std::unique_ptr<TReportDM> dm_;
    TReportPages pages_;
    bool busy_ = false;
    bool configurationChosen_ = false;
    bool runAfterChoosing_ = false;
    bool changingNode_ = false;
    QString exportFileName_;

    QWidget* pnlLeft;
    QToolBar* ToolBar;
    QTreeWidget* tvReport;
    QSplitter* splVertical;
    QWidget* pnlMain;
    QSplitter* splitterPagesCalls;
    TReportControlPanel* pnlControl;
    QLabel* pnlEmpty;
    QWidget* pnlGrid;
    TFrameCallsReportGrid* grid_ = nullptr;
    QFileDialog* dlgExport;
    QMenu* ddmCalls;
    QTimer* idleTimer_;
    QTimer* runTimer_;
    QTreeWidgetItem* nodes_[NodeCount] = {};
};
