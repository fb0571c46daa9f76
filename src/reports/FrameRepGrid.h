#pragma once
// The result grid of the report windows: a read-only grid over one dataset (the shown
// dataset), a menu to show and hide its columns, the one-line layout state that saved
// report configurations keep, and the printable layout built from the grid's visible
// columns for preview, printing and the paged export.
//
//   auto* grid = new TFrameReportGrid(pnlMain, owner);   // fills pnlMain
//   grid->SetBuilders(totals, groupHeaders);             // what the host prints (optional)
//   grid->SetDataset(&dm.cdsResult);
//   grid->LoadLayoutState(savedLayout);                  // "EXT_CODE,8,64;EXT_NAME,16,-1"
//   grid->Preview(titleLines, {extCodeField}, false, true, font);
//   savedLayout = grid->SaveLayoutState();
//
// The printable layout (BuildLayout): a boxed title band of the title lines; one group band
// per group column with its footer; a boxed column header of the visible columns' labels
// and a detail band of their texts, each column as wide as its share of the page by display
// width, separated by 2 mm borders; a boxed summary; the page number in the page footer.
// Group columns shown in the grid are hidden while the columns are laid out: their values
// stand in their group headers.
//
// Widgets (found by object name): "Grid" (the QTableView), its model "DataSource" and the
// column chooser "PopupMenu", rebuilt each time it opens.

#include "remote/RemoteDataSet.h"
#include "reports/DynamicElements.h"

#include <QFont>
#include <QFrame>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QMenu;
class QTableView;
class TDataSetModel;
class TGridColumnWidths;
class TMainFormServices;
class TReport;

class TFrameReportGrid : public QFrame {
    Q_OBJECT

public:
    // Created on the host panel, which it fills. services (the main window) show the
    // running activities; null shows none.
    explicit TFrameReportGrid(QWidget* owner, TMainFormServices* services = nullptr);
    ~TFrameReportGrid() override;

    // The builders of what the host prints in group headers and totals bands (either may
    // be empty); discards the last layout.
    void SetBuilders(TTotalsBuilder totalsBuilder, TGroupHeaderBuilder groupHeaderBuilder);

    // Shows another dataset (null shows none); the same dataset again changes nothing.
    void SetDataset(TRemoteDataSet* dataSet);
    TRemoteDataSet* Dataset() const { return dataSet_; }

    // Builds the printable layout over the shown dataset, replacing the last one. The
    // title lines (the first also names the document) print on the first page only or on
    // every page; the group columns (outermost first, null for one the result lacks) are
    // found in the shown dataset by name; without a font the layout prints in Arial 10.
    // Raises what the builders raise and EExpressionError for a malformed expression; the
    // layout is then discarded and the grid's columns are as they were.
    virtual void BuildLayout(const QStringList& titleLines, const QList<TField*>& groupColumns,
                             bool titleOnFirstPageOnly, bool pageNumbers, bool autoSize,
                             const std::optional<QFont>& font);
    // The layout of the last BuildLayout; null before the first or after a failed one.
    TReport* Report() const { return report_.get(); }

    // Fetches every row (under the running activity "Loading all data..."), builds the
    // layout and shows the engine's preview, from which the user prints, modally. A failure
    // to build or show it is logged at level 4 in "reports" ("TFrameReportGrid: Error
    // building preview.") and goes no further. Display updates of the dataset stay suspended
    // meanwhile; the grid's columns are as they were afterwards.
    virtual void Preview(const QStringList& titleLines, const QList<TField*>& groupColumns,
                         bool titleOnFirstPageOnly, bool pageNumbers, const std::optional<QFont>& font);
    // Writes the layout (title on the first page only, no page numbers, texts never cut)
    // to the file in the engine's comma-separated paged form. Returns false when the user
    // cancelled; the file is then as it was. Raises what BuildLayout and the export raise
    // (EInOutError when the file cannot be written), after display updates are restored.
    virtual bool ExportLayout(const QString& fileName, const QStringList& titleLines,
                              const QList<TField*>& groupColumns);

    // For each field of the shown dataset, in order: "name,display width,pixels", pixels
    // being the grid column's width, or -1 when the field is hidden or not shown; joined
    // with ";". Empty without a dataset. Never raises.
    virtual QString SaveLayoutState() const;
    // Applies a layout state: each part names a field (regardless of letter case), which
    // moves to the next position, takes the display width (kept when it does not read) and
    // is shown exactly when the pixel width is above 0, with that width. Parts with fewer
    // than three elements and fields the dataset lacks are skipped; fields not named keep
    // their order after the named ones. Never raises.
    virtual void LoadLayoutState(const QString& state);

protected:
    TMainFormServices* Services() const { return services_; }

private:
    void PopupMenuPopup();
    void AddTitle(const QStringList& titleLines, bool titleOnFirstPageOnly, bool autoSize);
    void AddColumns(bool grouped, bool autoSize);
    void AddPageNumbers();
    // The main window's running activities; nothing without services.
    int AddStatus(const QString& text) const;
    void ClearStatus(int id) const;
    // Suspends the shown dataset's display updates until the returned guard goes.
    auto SuspendDisplayUpdates() const;

    TMainFormServices* services_;
    std::unique_ptr<TReport> report_;
    TGroupHeaderBuilder groupHeaderBuilder_;
    TTotalsBuilder totalsBuilder_;
    // The group columns hidden while a layout is built.
    QList<TField*> hiddenColumns_;
    QPointer<TRemoteDataSet> dataSet_;
    QTableView* Grid;
    TDataSetModel* DataSource;
    QMenu* PopupMenu;
    TGridColumnWidths* widths_;
};
