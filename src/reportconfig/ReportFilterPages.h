#pragma once
// The filter pages of the call report window, created in the order that fixes their
// settings keys: after the empty panel (child 0 of the control panel) come the interval
// (control_panels_1), the extensions, the PIN codes, the five list pages Phone, Call type,
// Trunk, Circuit and Extra code, the quantity pages Count, Duration, Charge and Pulses,
// and the simple page (control_panels_13). The window creates its other pages after them.
//
//   pnlEmpty = new QLabel(tr("Please, select ..."), pnlControl);       // child 0
//   const TReportFilterPages filters = CreateReportFilterPages(pnlControl, tvReport, connection.scReport);
//   const TStringArray where = CollectConditions(filters.DetailFilters(), joins);
//   const TStringArray having = CollectConditions(filters.TotalFilters(), joins);
//
// Nodes are found by their absolute index in the tree (pre-order, as the window builds it:
// 3 "Filters (simple)", 6 "Extensions", 7 "PIN Codes", 9 to 13 the list pages, 15 to 18 the
// quantity pages); a node that does not exist leaves its page without marks.
//
// Raises what the extension and PIN code pages raise while loading their lists.

#include <QList>

class QTreeWidget;
class QTreeWidgetItem;
class QWidget;
class TExtPinFrame;
class TFrameChargeLimit;
class TFrameCountLimit;
class TFrameDateTimeSelect;
class TFrameListChoice;
class TFrameQuantityDoubleLimit;
class TFrameSimpleModeCalls;
class TRemoteConnection;
class TReportFilterFrame;

struct TReportFilterPages {
    TFrameDateTimeSelect* Interval = nullptr;
    TExtPinFrame* Extensions = nullptr;
    TExtPinFrame* PinCodes = nullptr;
    TFrameListChoice* Phone = nullptr;
    TFrameListChoice* CallType = nullptr;
    TFrameListChoice* Trunk = nullptr;
    TFrameListChoice* Circuit = nullptr;
    TFrameListChoice* ExtraCode = nullptr;
    TFrameCountLimit* Count = nullptr;
    TFrameQuantityDoubleLimit* Duration = nullptr;
    TFrameChargeLimit* Charge = nullptr;
    TFrameQuantityDoubleLimit* Pulses = nullptr;
    TFrameSimpleModeCalls* SimpleMode = nullptr;

    // Conditions on single calls ("where"): the interval, extensions, PIN codes, the five
    // lists, then the detail limits of Duration, Charge and Pulses.
    QList<TReportFilterFrame*> DetailFilters() const;
    // Conditions on group totals ("having"): the total limits of Count, Duration, Charge
    // and Pulses.
    QList<TReportFilterFrame*> TotalFilters() const;
    // Count, Duration, Charge, Pulses: what SetTotalsAllowed goes to.
    QList<TFrameQuantityDoubleLimit*> QuantityPages() const;
    // Whether any filter lets no call through (the Refresh action is then disabled).
    bool SelectsNothing() const;
};

// The node at an absolute index in pre-order (0 the first top-level node); null when the
// tree has fewer nodes.
QTreeWidgetItem* TreeNodeAt(QTreeWidget* tree, int absoluteIndex);

// Creates the filter pages on the panel, in creation order, with the tree's nodes.
TReportFilterPages CreateReportFilterPages(QWidget* panel, QTreeWidget* tree, TRemoteConnection& scReport);
