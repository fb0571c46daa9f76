#pragma once
// The "Configuration" page of the call report window: which call fields the report loads
// (clbSelect), the grouping levels with their totals in the printout (lstTotals, outermost
// first) and the sort criteria (lstSort, highest priority first). A field stands in at most
// one of the two lists, once, and is always checked in clbSelect. A sort criterion of a
// list, phone, extension or PIN code field becomes the innermost grouping level by moving it
// up past the top of lstSort (at most 4 levels); the innermost level becomes the first sort
// criterion by moving it down past the bottom of lstTotals.
//
//   fields = setup->GetSelectedFields();   // what the query selects
//   order = setup->GetOrderBy();            // "c.EXT_CODE", "c.REC_DATETIME", "c.ID"
//   levels = setup->GetGroupColumns();      // "EXT_CODE": the printout's grouping bands
//
// State line "selected;sort;totals", each part the ","-joined result column names
// ("EXT_CODE,TOTAL_COUNT;;EXT_CODE"). A name the page does not list (ID, PBX_ID and the
// other identifiers) is skipped in every part, so a sorted or grouped field is always one
// the user sees checked. The state line is what a saved configuration keeps as SETUP.
//
// Widgets (by object name): clbSelect, lstTotals, lstSort; actions aAddSort, aRemoveSort,
// aUpSort, aDownSort with their buttons btnAddSort, btnRemoveSort, btnUpSort, btnDownSort.
// Items carry their TCallFieldId in Qt::UserRole. Never raises.

#include "calls/CallFieldInfo.h"
#include "calls/Globals.h"
#include "reportconfig/FrameReportBase.h"

class QAction;
class QListWidget;
class QListWidgetItem;

class TReportSetupFrame : public TReportBaseFrame {
    Q_OBJECT

public:
    static constexpr int MaxGroupLevels = 4;

    explicit TReportSetupFrame(QWidget* owner);

    QString SaveState() const override;
    void LoadState(const QString& state) override;

    TCallFieldSet GetSelectedFields() const;
    // The expressions of the grouping levels, then of the sort criteria; an ungrouped
    // report sorted on the received time is sorted on the call id right after it.
    TStringArray GetOrderBy() const;
    // The result column names of the grouping levels, outermost first.
    TStringArray GetGroupColumns() const;
    // Whether a total field is selected.
    bool IsGrouped() const;

    // The fields of the two lists, in order.
    QList<TCallFieldId> SortFields() const;
    QList<TCallFieldId> GroupFields() const;

    // Enables the four actions for the current items; also run on every change.
    void UpdateActions();

    // Whether a sort criterion of the field may become a grouping level.
    static bool CanGroupOn(TCallFieldId field);

private:
    // The list the actions work on: lstSort when it has a selected item, else lstTotals.
    QListWidget* ActiveList() const;
    void PlaceField(TCallFieldId field, QListWidget* list);
    void RemoveFromLists(TCallFieldId field);
    void MoveItem(QListWidget* from, int row, QListWidget* to, int toRow);
    void ResizeTotals();
    QListWidgetItem* SelectItemOf(TCallFieldId field) const;
    void clbSelectItemChanged(QListWidgetItem* item);
    void aAddSortExecute();
    void aRemoveSortExecute();
    void aUpSortExecute();
    void aDownSortExecute();

    TCallFieldSet placed_;
    bool loading_ = false;
    QListWidget* clbSelect;
    QListWidget* lstTotals;
    QListWidget* lstSort;
    QAction* aAddSort;
    QAction* aRemoveSort;
    QAction* aUpSort;
    QAction* aDownSort;
};
