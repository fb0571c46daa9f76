#include "reportconfig/ReportFilterPages.h"

#include "reportconfig/FrameCharge.h"
#include "reportconfig/FrameCount.h"
#include "reportconfig/FrameDateTime.h"
#include "reportconfig/FrameExtPin.h"
#include "reportconfig/FrameList.h"
#include "reportconfig/FrameQuantity.h"
#include "reportconfig/FrameSimpleMode.h"

#include <QTreeWidget>

#include <algorithm>

namespace {

// The absolute indexes of the filter pages' nodes in the report tree.
enum TNode {
    ndFilters = 3,
    ndExtensions = 6,
    ndPinCodes = 7,
    ndPhone = 9,
    ndCallType = 10,
    ndTrunk = 11,
    ndCircuit = 12,
    ndExtraCode = 13,
    ndCount = 15,
    ndDuration = 16,
    ndCharge = 17,
    ndPulses = 18,
};

QTreeWidgetItem* NodeAt(QTreeWidgetItem* node, int& remaining)
{
    if (remaining-- == 0)
        return node;
    for (int i = 0; i < node->childCount(); ++i)
        if (QTreeWidgetItem* found = NodeAt(node->child(i), remaining))
            return found;
    return nullptr;
}

}  // namespace

QTreeWidgetItem* TreeNodeAt(QTreeWidget* tree, int absoluteIndex)
{
    if (!tree || absoluteIndex < 0)
        return nullptr;
    int remaining = absoluteIndex;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        if (QTreeWidgetItem* found = NodeAt(tree->topLevelItem(i), remaining))
            return found;
    return nullptr;
}

QList<TReportFilterFrame*> TReportFilterPages::DetailFilters() const
{
    return {Interval,
            Extensions,
            PinCodes,
            Phone,
            CallType,
            Trunk,
            Circuit,
            ExtraCode,
            Duration->Details(),
            Charge->Details(),
            Pulses->Details()};
}

QList<TReportFilterFrame*> TReportFilterPages::TotalFilters() const
{
    QList<TReportFilterFrame*> filters;
    for (const TFrameQuantityDoubleLimit* page : QuantityPages())
        filters << page->Totals();
    return filters;
}

QList<TFrameQuantityDoubleLimit*> TReportFilterPages::QuantityPages() const
{
    return {Count, Duration, Charge, Pulses};
}

bool TReportFilterPages::SelectsNothing() const
{
    const auto selectsNothing = [](const TReportFilterFrame* filter) { return filter->SelectsNothing(); };
    const QList<TReportFilterFrame*> detail = DetailFilters(), totals = TotalFilters();
    return std::any_of(detail.begin(), detail.end(), selectsNothing) ||
           std::any_of(totals.begin(), totals.end(), selectsNothing);
}

TReportFilterPages CreateReportFilterPages(QWidget* panel, QTreeWidget* tree, TRemoteConnection& scReport)
{
    const auto node = [tree](TNode index) { return TreeNodeAt(tree, index); };
    TReportFilterPages p;
    p.Interval = new TFrameDateTimeSelect(panel);
    p.Extensions = new TExtPinFrame(panel, node(ndExtensions), jnExtension, cfExtLimitId, cfExtGroupId,
                                    cfExtName, cfExtCode, QStringLiteral("EXTENSION"), scReport);
    p.PinCodes = new TExtPinFrame(panel, node(ndPinCodes), jnPinCode, cfPinLimitId, cfPinGroupId, cfPinName,
                                  cfPinCode, QStringLiteral("PIN_CODE"), scReport);
    p.Phone = new TFrameListChoice(panel, node(ndPhone), cfPhone);
    p.CallType = new TFrameListChoice(panel, node(ndCallType), cfCallType);
    p.Trunk = new TFrameListChoice(panel, node(ndTrunk), cfTrunk);
    p.Circuit = new TFrameListChoice(panel, node(ndCircuit), cfCircuit);
    p.ExtraCode = new TFrameListChoice(panel, node(ndExtraCode), cfExtraCode);
    p.Count = new TFrameCountLimit(panel, node(ndCount));
    p.Duration = new TFrameQuantityDoubleLimit(panel, node(ndDuration), cfTotalDuration, cfDuration);
    p.Charge = new TFrameChargeLimit(panel, node(ndCharge));
    p.Pulses = new TFrameQuantityDoubleLimit(panel, node(ndPulses), cfTotalPulses, cfPulses);
    p.SimpleMode = new TFrameSimpleModeCalls(panel, p.Pulses, p.Duration, p.Charge, p.ExtraCode, p.Circuit,
                                             p.Trunk, p.CallType, p.Phone, p.PinCodes, p.Extensions,
                                             p.Interval, node(ndFilters), scReport);
    return p;
}
