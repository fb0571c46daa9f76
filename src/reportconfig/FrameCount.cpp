#include "reportconfig/FrameCount.h"

#include "reportconfig/FrameQuantity.h"

#include <QAction>

TFrameCountLimit::TFrameCountLimit(QWidget* owner, QTreeWidgetItem* node)
    : TFrameQuantityDoubleLimit(owner, node, cfTotalCount, cfTotalCount)
{
    Details()->hide();
    Totals()->HideMissingValue();
    TFrameCountLimit::SetTotalsAllowed(false);
    TFrameCountLimit::SetFilterOn(false);
}

void TFrameCountLimit::SetFilterOn(bool on)
{
    TFrameQuantityDoubleLimit::SetFilterOn(on);
    Details()->EnableLimit(false);
}

void TFrameCountLimit::SetTotalsAllowed(bool allowed)
{
    TFrameQuantityDoubleLimit::SetTotalsAllowed(allowed);
    aOnOff->setEnabled(allowed);
}

// A count is never missing: a group has at least one call.
void TFrameCountLimit::LoadState(const QString& state)
{
    TFrameQuantityDoubleLimit::LoadState(state);
    Totals()->SetMissingValue(false);
}
