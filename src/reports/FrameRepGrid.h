#pragma once
// The result grid of the report windows: a read-only grid over one dataset (the shown
// dataset), a menu to show and hide its columns, and the one-line layout state that saved
// report configurations keep.
//
//   auto* grid = new TFrameReportGrid(pnlMain, owner);   // fills pnlMain
//   grid->SetDataset(&dm.cdsResult);
//   grid->LoadLayoutState(savedLayout);                  // "EXT_CODE,8,64;EXT_NAME,16,-1"
//   ...
//   savedLayout = grid->SaveLayoutState();
//
// Widgets (found by object name): "Grid" (the QTableView), its model "DataSource" and the
// column chooser "PopupMenu", rebuilt each time it opens.

#include "remote/RemoteDataSet.h"

#include <QFrame>
#include <QPointer>
#include <QString>

class QMenu;
class QTableView;
class TDataSetModel;
class TGridColumnWidths;
class TMainFormServices;

class TFrameReportGrid : public QFrame {
    Q_OBJECT

public:
    // Created on the host panel, which it fills. services (the main window) show the
    // running activities; null shows none.
    explicit TFrameReportGrid(QWidget* owner, TMainFormServices* services = nullptr);
    ~TFrameReportGrid() override;

    // Shows another dataset (null shows none); the same dataset again changes nothing.
    void SetDataset(TRemoteDataSet* dataSet);
    TRemoteDataSet* Dataset() const { return dataSet_; }

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

    TMainFormServices* services_;
    QPointer<TRemoteDataSet> dataSet_;
    QTableView* Grid;
    TDataSetModel* DataSource;
    QMenu* PopupMenu;
    TGridColumnWidths* widths_;
};
