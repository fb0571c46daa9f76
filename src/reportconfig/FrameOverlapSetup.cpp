#include "reportconfig/FrameOverlapSetup.h"

#include "reportconfig/StateLine.h"
#include "widgets/LabeledUpDownEdit.h"
#include "widgets/RadioGroup.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <cmath>
#include <cstdlib>

namespace {

constexpr QChar Separator = QLatin1Char(',');
constexpr int DefaultEquality = 0;
constexpr int DefaultInequality = 1;

}  // namespace

TOverlapSetupFrame::TOverlapSetupFrame(QWidget* owner, const QList<TCallFieldId>& offeredFields)
    : TReportBaseFrame(owner), offered_(offeredFields)
{
    QStringList captions;
    for (TCallFieldId field : offered_)
        captions.append(FieldInfo(field).Caption());

    ckbOnOff = new QCheckBox(this);
    ckbOnOff->setObjectName(QStringLiteral("ckbOnOff"));
    auto* lblOnOff = new QLabel(tr("On/Off"), this);
    lblOnOff->setObjectName(QStringLiteral("lblOnOff"));
    lblOnOff->setBuddy(ckbOnOff);

    grpFields = new QGroupBox(tr(" Find overlaping calls with "), this);
    grpFields->setObjectName(QStringLiteral("grpFields"));
    rgEqualityField = new TRadioGroup(tr(" equal: "), captions, grpFields);
    rgEqualityField->setObjectName(QStringLiteral("rgEqualityField"));
    auto* lblAnd = new QLabel(QStringLiteral("&"), grpFields);
    lblAnd->setObjectName(QStringLiteral("lblAnd"));
    rgInequalityField =
        new TRadioGroup(tr(" different: "), captions + QStringList{QStringLiteral("-")}, grpFields);
    rgInequalityField->setObjectName(QStringLiteral("rgInequalityField"));
    auto* fields = new QHBoxLayout(grpFields);
    fields->addWidget(rgEqualityField);
    fields->addWidget(lblAnd);
    fields->addWidget(rgInequalityField);

    grpOptions = new QGroupBox(tr(" Options: "), this);
    grpOptions->setObjectName(QStringLiteral("grpOptions"));
    cbIncludeNull = new QCheckBox(tr("Find overlapping calls"), grpOptions);
    cbIncludeNull->setObjectName(QStringLiteral("cbIncludeNull"));
    auto* lblIncludeNull = new QLabel(tr("that have no value in\nthe equality column."), grpOptions);
    lblIncludeNull->setObjectName(QStringLiteral("lblIncludeNull"));
    lblIncludeNull->setBuddy(cbIncludeNull);
    ludedtMinimumOverlap =
        new TLabeledUpDownEdit(tr("Minimum overlap:"), TLabeledUpDownEdit::TLabelPosition::Left, grpOptions);
    ludedtMinimumOverlap->setObjectName(QStringLiteral("ludedtMinimumOverlap"));
    ludedtMinimumOverlap->setToolTip(tr("The lower the value the more calls will be found."));
    ludedtMinimumOverlap->SetRange(-MinimumOverlapLimit, MinimumOverlapLimit);
    ludedtMinimumOverlap->SetSetTextHandler(
        [](int position, const QString&) { return OverlapText(position); });
    ludedtMinimumOverlap->SetGetTextHandler(
        [this](const QString& text, int) { return ReadOverlap(text, ludedtMinimumOverlap->LastPosition()); });
    auto* lblValuesCanBeNegative = new QLabel(tr("* Values can be negative."), grpOptions);
    lblValuesCanBeNegative->setObjectName(QStringLiteral("lblValuesCanBeNegative"));
    auto* options = new QGridLayout(grpOptions);
    options->addWidget(cbIncludeNull, 0, 0);
    options->addWidget(lblIncludeNull, 1, 0);
    options->addWidget(ludedtMinimumOverlap, 2, 0, Qt::AlignLeft);
    options->addWidget(lblValuesCanBeNegative, 3, 0);
    options->setRowStretch(4, 1);

    auto* onOff = new QHBoxLayout;
    onOff->addWidget(ckbOnOff);
    onOff->addWidget(lblOnOff);
    onOff->addStretch(1);
    auto* boxes = new QHBoxLayout;
    boxes->addWidget(grpFields);
    boxes->addWidget(grpOptions);
    boxes->addStretch(1);
    auto* page = new QVBoxLayout(this);
    page->addLayout(onOff);
    page->addLayout(boxes);
    page->addStretch(1);

    connect(ckbOnOff, &QCheckBox::toggled, this, &TOverlapSetupFrame::ckbOnOffToggled);
    LoadState(QString());
}

QString TOverlapSetupFrame::OverlapText(int seconds)
{
    const QString text = FormatDuration(std::abs(seconds));
    return seconds < 0 ? QLatin1Char('-') + text : text;
}

int TOverlapSetupFrame::ReadOverlap(const QString& text, int previousSeconds)
{
    const QString trimmed = text.trimmed();
    const bool negative = trimmed.startsWith(QLatin1Char('-'));
    const double seconds = ParseDuration(negative ? trimmed.mid(1) : trimmed, std::abs(previousSeconds));
    const int position = static_cast<int>(std::lround(seconds));
    return negative ? -position : position;
}

bool TOverlapSetupFrame::IsOn() const
{
    return ckbOnOff->isChecked();
}

void TOverlapSetupFrame::SetOn(bool on)
{
    ckbOnOff->setChecked(on);
}

void TOverlapSetupFrame::ckbOnOffToggled(bool on)
{
    grpFields->setEnabled(on);
    grpOptions->setEnabled(on);
    Q_EMIT Switched(on);
}

TCallFieldId TOverlapSetupFrame::OfferedField(int index) const
{
    return index >= 0 && index < offered_.size() ? offered_.at(index) : cfNone;
}

TCallFieldId TOverlapSetupFrame::EqualityField() const
{
    return OfferedField(rgEqualityField->ItemIndex());
}

TCallFieldId TOverlapSetupFrame::InequalityField() const
{
    return OfferedField(rgInequalityField->ItemIndex());
}

TStringArray TOverlapSetupFrame::GetOverlapOrderBy() const
{
    return {FieldInfo(EqualityField()).Name(), FieldInfo(cfStartTime).SqlExpression(),
            FieldInfo(cfEndTime).SqlExpression()};
}

TOverlapOptions TOverlapSetupFrame::Options() const
{
    TOverlapOptions options;
    options.EqualityField = EqualityField();
    options.InequalityField = InequalityField();
    options.MinimumOverlap = static_cast<qint16>(ludedtMinimumOverlap->Position());
    options.IncludeNull = cbIncludeNull->isChecked();
    return options;
}

QString TOverlapSetupFrame::SaveState() const
{
    return TStateWriter()
        .AddBool(IsOn())
        .AddInt(rgEqualityField->ItemIndex())
        .AddInt(rgInequalityField->ItemIndex())
        .AddBool(cbIncludeNull->isChecked())
        .AddInt(ludedtMinimumOverlap->Position())
        .Join(Separator);
}

void TOverlapSetupFrame::LoadState(const QString& state)
{
    const TStateReader r(Separator, state);
    const bool complete = r.Count() > 4;
    ckbOnOff->setChecked(complete && r.Bool(0, false));
    rgEqualityField->SetItemIndex(complete ? r.Index(1, rgEqualityField->Count(), DefaultEquality)
                                           : DefaultEquality);
    rgInequalityField->SetItemIndex(complete ? r.Index(2, rgInequalityField->Count(), DefaultInequality)
                                             : qMin(DefaultInequality, rgInequalityField->Count() - 1));
    cbIncludeNull->setChecked(complete && r.Bool(3, false));
    ludedtMinimumOverlap->SetPosition(complete ? r.Integer(4, 0) : 0);
    grpFields->setEnabled(IsOn());
    grpOptions->setEnabled(IsOn());
}
