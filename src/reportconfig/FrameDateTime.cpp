#include "reportconfig/FrameDateTime.h"

#include "calls/Globals.h"
#include "reportconfig/PageControls.h"
#include "reportconfig/StateLine.h"
#include "widgets/LabeledUpDownEdit.h"
#include "widgets/RadioGroup.h"

#include <QDateEdit>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QScopedValueRollback>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int MaxSpanPosition = 32691;  // 32640 hours on the duration scale
constexpr QChar Separator = QLatin1Char(',');

// The locale's short date with the year in full: a two-digit year is ambiguous here.
QString PickerDateFormat()
{
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

QDateEdit* NewDatePicker(QWidget* parent, const char* name)
{
    auto* picker = new QDateEdit(parent);
    picker->setObjectName(QLatin1String(name));
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(PickerDateFormat());
    picker->setDateRange(DateTimeEpoch(), QDate(9999, 12, 31));
    return picker;
}

QTimeEdit* NewTimePicker(QWidget* parent, const char* name)
{
    auto* picker = new QTimeEdit(parent);
    picker->setObjectName(QLatin1String(name));
    picker->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    return picker;
}

TDateTime PickerMoment(const QDateEdit* date, const QTimeEdit* time)
{
    return DateTimeFromQDate(date->date()) + time->time().msecsSinceStartOfDay() / MSecsPerDay;
}

// A moment the pickers can show.
bool IsPickerMoment(TDateTime value)
{
    return value >= 0 && value < DateTimeFromQDate(QDate(9999, 12, 31)) + 1;
}

TSpanConversions SpanConversions()
{
    return SpanFieldInfo(cfDuration)->Conversions();
}

}  // namespace

TFrameDateTimeSelect::TFrameDateTimeSelect(QWidget* owner) : TReportFilterFrame(owner, cfRecTime)
{
    auto* gbInterval = new QGroupBox(tr(" Show calls within this interval "), this);
    gbInterval->setObjectName(QStringLiteral("gbInterval"));
    lblFrom = new QLabel(tr("From:"), gbInterval);
    lblFrom->setObjectName(QStringLiteral("lblFrom"));
    dtpFromDate = NewDatePicker(gbInterval, "dtpFromDate");
    dtpFromTime = NewTimePicker(gbInterval, "dtpFromTime");
    lblPlusSign = new QLabel(QStringLiteral("+"), gbInterval);
    lblPlusSign->setObjectName(QStringLiteral("lblPlusSign"));
    lblPlusSign->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ludedtInterval =
        new TLabeledUpDownEdit(tr("Span:"), TLabeledUpDownEdit::TLabelPosition::Left, gbInterval);
    ludedtInterval->setObjectName(QStringLiteral("ludedtInterval"));
    ludedtInterval->SetRange(0, MaxSpanPosition);
    AttachSpanConversions(ludedtInterval, SpanConversions);
    auto* bevel = new QFrame(gbInterval);
    bevel->setObjectName(QStringLiteral("bvlSum"));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    lblTo = new QLabel(tr("To:"), gbInterval);
    lblTo->setObjectName(QStringLiteral("lblTo"));
    dtpToDate = NewDatePicker(gbInterval, "dtpToDate");
    dtpToTime = NewTimePicker(gbInterval, "dtpToTime");
    rgResult = new TRadioGroup(tr("Calc"), {QString(), QString(), QString()}, gbInterval);
    rgResult->setObjectName(QStringLiteral("rgResult"));

    // "Calc" stands beside the rows it chooses from: its caption takes the empty first
    // row, and its items spread over the From, Span and To rows.
    auto* grid = new QGridLayout(gbInterval);
    grid->setRowMinimumHeight(0, rgResult->fontMetrics().height());
    grid->addWidget(lblFrom, 1, 0);
    grid->addWidget(dtpFromDate, 1, 1);
    grid->addWidget(dtpFromTime, 1, 2);
    grid->addWidget(lblPlusSign, 2, 0);
    grid->addWidget(ludedtInterval, 2, 1, 1, 2, Qt::AlignRight);
    grid->addWidget(bevel, 3, 0, 1, 3);
    grid->addWidget(lblTo, 4, 0);
    grid->addWidget(dtpToDate, 4, 1);
    grid->addWidget(dtpToTime, 4, 2);
    grid->addWidget(rgResult, 0, 3, 5, 1);

    rgFilterField = new TRadioGroup(
        tr(" Apply interval to "),
        {FieldInfo(cfRecTime).Caption(), FieldInfo(cfEndTime).Caption(), FieldInfo(cfStartTime).Caption()},
        this);
    rgFilterField->setObjectName(QStringLiteral("rgFilterField"));

    auto* row = new QHBoxLayout;
    row->addWidget(gbInterval);
    row->addWidget(rgFilterField, 0, Qt::AlignTop);
    row->addStretch(1);
    auto* page = new QVBoxLayout(this);
    page->addLayout(row);
    page->addStretch(1);

    for (QDateEdit* picker : {dtpFromDate, dtpToDate})
        connect(picker, &QDateEdit::dateChanged, this, &TFrameDateTimeSelect::PickerChange);
    for (QTimeEdit* picker : {dtpFromTime, dtpToTime})
        connect(picker, &QTimeEdit::timeChanged, this, &TFrameDateTimeSelect::PickerChange);
    connect(ludedtInterval, &TLabeledUpDownEdit::PositionChanged, this, &TFrameDateTimeSelect::PickerChange);
    connect(rgResult, &TRadioGroup::Clicked, this, &TFrameDateTimeSelect::rgResultClick);
    connect(rgFilterField, &TRadioGroup::Clicked, this, &TFrameDateTimeSelect::rgFilterFieldClick);
    rgFilterField->SetItemIndex(0);
    rgResult->SetItemIndex(calcSpan);
}

TDateTime TFrameDateTimeSelect::From() const
{
    return PickerMoment(dtpFromDate, dtpFromTime);
}

TDateTime TFrameDateTimeSelect::To() const
{
    return PickerMoment(dtpToDate, dtpToTime);
}

QString TFrameDateTimeSelect::GetConditionValue() const
{
    double from = From(), to = To();
    OrderPair(from, to);
    return RangeText(from, to);
}

QString TFrameDateTimeSelect::SaveState() const
{
    return GetConditionValue() + Separator + QString::number(rgFilterField->ItemIndex()) + Separator +
           QString::number(rgResult->ItemIndex());
}

void TFrameDateTimeSelect::LoadState(const QString& state)
{
    const TStateReader r(Separator, state);
    const TDateTime today = Today();
    TDateTime from = today, to = today + 1;
    int field = 0, calc = calcSpan;
    if (r.Count() >= 4) {
        from = r.Real(0, today);
        to = r.Real(1, today + 1);
        if (!IsPickerMoment(from))
            from = today;
        if (!IsPickerMoment(to))
            to = today + 1;
        OrderPair(from, to);
        from = std::max(from, to - 1);
        field = r.Index(2, rgFilterField->Count(), 0);
        calc = r.Index(3, rgResult->Count(), calcSpan);
    }
    {
        const QScopedValueRollback<bool> hold(updating_, true);
        SetFromPickers(from);
        SetToPickers(to);
    }
    rgFilterField->SetItemIndex(field);
    rgResult->SetItemIndex(calc);
    // The span is not part of the state: show the one of the restored period, so that
    // From + Span = To holds on the page from the start.
    SetSpanFromPeriod();
}

void TFrameDateTimeSelect::SetPeriod(TDateTime from, TDateTime to)
{
    {
        const QScopedValueRollback<bool> hold(updating_, true);
        SetFromPickers(from);
        SetToPickers(to);
    }
    rgResult->SetItemIndex(calcSpan);
    PickerChange();
}

QString TFrameDateTimeSelect::FilterFieldText() const
{
    return rgFilterField->ItemText(rgFilterField->ItemIndex());
}

void TFrameDateTimeSelect::SetFromPickers(TDateTime value)
{
    dtpFromDate->setDate(DateTimeToQDate(value));
    dtpFromTime->setTime(DateTimeToQTime(value));
}

void TFrameDateTimeSelect::SetToPickers(TDateTime value)
{
    dtpToDate->setDate(DateTimeToQDate(value));
    dtpToTime->setTime(DateTimeToQTime(value));
}

void TFrameDateTimeSelect::SetSpanFromPeriod()
{
    const QScopedValueRollback<bool> hold(updating_, true);
    ludedtInterval->SetPosition(DaysToDurationScale(std::fabs(To() - From())));
}

// Keeps From + Span = To: the value chosen under "Calc" follows the other two.
void TFrameDateTimeSelect::PickerChange()
{
    if (updating_)
        return;
    const QScopedValueRollback<bool> hold(updating_, true);
    const TDateTime span = DurationScaleToDays(static_cast<qint16>(ludedtInterval->Position()));
    switch (rgResult->ItemIndex()) {
        case calcFrom:
            SetFromPickers(To() - span);
            break;
        case calcSpan:
            ludedtInterval->SetPosition(DaysToDurationScale(std::fabs(To() - From())));
            break;
        case calcTo:
            SetToPickers(From() + span);
            break;
        default:
            break;
    }
}

void TFrameDateTimeSelect::rgResultClick(int index)
{
    for (QWidget* control : std::initializer_list<QWidget*>{lblFrom, dtpFromDate, dtpFromTime, lblTo,
                                                            dtpToDate, dtpToTime, ludedtInterval})
        control->setEnabled(true);
    switch (index) {
        case calcFrom:
            for (QWidget* control : std::initializer_list<QWidget*>{lblFrom, dtpFromDate, dtpFromTime})
                control->setEnabled(false);
            break;
        case calcSpan:
            ludedtInterval->setEnabled(false);
            break;
        case calcTo:
            for (QWidget* control : std::initializer_list<QWidget*>{lblTo, dtpToDate, dtpToTime})
                control->setEnabled(false);
            break;
        default:
            break;
    }
}

void TFrameDateTimeSelect::rgFilterFieldClick(int index)
{
    static constexpr TCallFieldId fields[] = {cfRecTime, cfEndTime, cfStartTime};
    if (index >= 0 && index < 3)
        SetFieldId(fields[index]);
}
