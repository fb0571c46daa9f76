#include "reportconfig/FrameQuantityDouble.h"

#include "reportconfig/FrameQuantity.h"
#include "reportconfig/PageControls.h"
#include "reportconfig/StateLine.h"
#include "reportconfig/TreeNodeMarks.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr QChar Separator = QLatin1Char(';');

}  // namespace

TFrameQuantityDoubleLimit::TFrameQuantityDoubleLimit(QWidget* owner, QTreeWidgetItem* node,
                                                     TCallFieldId totalField, TCallFieldId detailField)
    : TReportBaseFrame(owner), node_(node)
{
    aOnOff = AddPageAction(this, "aOnOff", tr("On/Off"), tr("Enable/Disable filter."), true);
    chkOnOff = new QCheckBox(this);
    chkOnOff->setObjectName(QStringLiteral("chkOnOff"));
    BindOnOff(chkOnOff, aOnOff);
    lblOnOff = new QLabel(tr("On/Off"), this);
    lblOnOff->setObjectName(QStringLiteral("lblOnOff"));
    lblOnOff->setBuddy(chkOnOff);
    FrameDetails = new TFrameQuantityLimit(this, detailField);
    FrameDetails->setObjectName(QStringLiteral("FrameDetails"));
    FrameTotals = new TFrameQuantityLimit(this, totalField);
    FrameTotals->setObjectName(QStringLiteral("FrameTotals"));

    auto* onOff = new QHBoxLayout;
    onOff->addWidget(chkOnOff);
    onOff->addWidget(lblOnOff);
    onOff->addStretch(1);
    auto* limits = new QVBoxLayout;
    limits->addLayout(onOff);
    limits->addWidget(FrameDetails);
    limits->addWidget(FrameTotals);
    limits->addStretch(1);
    side_ = new QHBoxLayout(this);
    side_->addLayout(limits, 1);

    connect(chkOnOff, &QCheckBox::toggled, this, &TFrameQuantityDoubleLimit::chkOnOffToggled);
    connect(chkOnOff, &QCheckBox::clicked, this, [this](bool on) {
        if (on)
            FrameDetails->FocusLimit();
    });
    MarkFilterNode(node_, false);
    TFrameQuantityDoubleLimit::SetFilterOn(false);
}

bool TFrameQuantityDoubleLimit::IsOn() const
{
    return chkOnOff->isChecked();
}

void TFrameQuantityDoubleLimit::SetOn(bool on)
{
    chkOnOff->setChecked(on);
}

void TFrameQuantityDoubleLimit::chkOnOffToggled(bool on)
{
    SetFilterOn(on);
    MarkFilterNode(node_, on);
}

void TFrameQuantityDoubleLimit::SetFilterOn(bool on)
{
    FrameDetails->EnableLimit(on);
    FrameTotals->EnableLimit(on && totalsAllowed_);
}

void TFrameQuantityDoubleLimit::SetTotalsAllowed(bool allowed)
{
    totalsAllowed_ = allowed;
    FrameTotals->EnableLimit(IsOn() && allowed);
}

QString TFrameQuantityDoubleLimit::SaveState() const
{
    return TStateWriter()
        .AddBool(IsOn())
        .AddBool(totalsAllowed_)
        .AddText(FrameDetails->SaveState())
        .AddText(FrameTotals->SaveState())
        .Join(Separator);
}

void TFrameQuantityDoubleLimit::LoadState(const QString& state)
{
    const TStateReader r(Separator, state);
    const bool complete = r.Count() >= 4;
    chkOnOff->setChecked(complete && r.Bool(0, false));
    SetTotalsAllowed(complete && r.Bool(1, false));
    FrameDetails->LoadState(complete ? r.Text(2) : QString());
    FrameTotals->LoadState(complete ? r.Text(3) : QString());
    SetFilterOn(IsOn());
}
