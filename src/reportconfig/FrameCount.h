#pragma once
// The "Count" page: a quantity page that limits only the number of calls of each group.
// Its detail limit is hidden and never on, and the page can be switched on only while
// the report is grouped.
//
// Never raises.

#include "reportconfig/FrameQuantityDouble.h"

class TFrameCountLimit : public TFrameQuantityDoubleLimit {
    Q_OBJECT

public:
    TFrameCountLimit(QWidget* owner, QTreeWidgetItem* node);

    void LoadState(const QString& state) override;
    void SetFilterOn(bool on) override;
    void SetTotalsAllowed(bool allowed) override;
};
