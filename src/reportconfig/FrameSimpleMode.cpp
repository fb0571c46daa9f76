#include "reportconfig/FrameSimpleMode.h"

#include "calls/Globals.h"
#include "core/Errors.h"
#include "remote/Connections.h"
#include "reportconfig/FrameCharge.h"
#include "reportconfig/FrameDateTime.h"
#include "reportconfig/FrameExtPin.h"
#include "reportconfig/FrameList.h"
#include "reportconfig/FrameQuantity.h"
#include "reportconfig/PageControls.h"
#include "reportconfig/TreeNodeMarks.h"
#include "shell/base/ClientLogs.h"
#include "widgets/LabeledUpDownEdit.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QScopedValueRollback>
#include <QTreeWidgetItem>
#include <QVBoxLayout>

#include <algorithm>

namespace {

enum TExtPinKind { kindExtension = 0, kindPinCode = 1 };
constexpr int SimpleModeImage = 10;
constexpr int AdvancedModeImage = 11;
constexpr int MaxQuantityPosition = 30000;

// A lost connection ends the client; every other failure is the caller's to log.
void RethrowLostConnection(const Exception& e)
{
    const auto* ole = dynamic_cast<const EOleSysError*>(&e);
    if (ole && ole->ErrorCode() == hr::RPC_E_DISCONNECTED_)
        throw;
}

const QDate FirstDay(2000, 1, 1);
const QDate LastDay(3000, 1, 1);

QDateEdit* NewDayPicker(QWidget* parent, const char* name)
{
    auto* picker = new QDateEdit(parent);
    picker->setObjectName(QLatin1String(name));
    picker->setCalendarPopup(true);
    const QString format = QLocale().dateFormat(QLocale::LongFormat);
    picker->setDisplayFormat(format);
    picker->setDateRange(FirstDay, LastDay);
    // The edit sizes itself for the last date of its range; long day and month names of
    // other dates would be cut, so it is widened for the widest day of a year.
    const QFontMetrics metrics = picker->fontMetrics();
    int widest = 0;
    for (QDate day(2000, 1, 1); day.year() == 2000; day = day.addDays(1))
        widest = qMax(widest, metrics.horizontalAdvance(QLocale().toString(day, format)));
    const int sized = metrics.horizontalAdvance(QLocale().toString(LastDay, format));
    picker->setMinimumWidth(picker->sizeHint().width() + qMax(0, widest - sized));
    return picker;
}

QComboBox* NewCombo(QWidget* parent, const char* name, const QStringList& items = {})
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    combo->addItems(items);
    return combo;
}

// The spans of the quantities: charge (also when nothing is chosen), duration, pulses.
TSpanConversions QuantityConversions(int index)
{
    static constexpr TCallFieldId fields[] = {cfCharge, cfDuration, cfPulses};
    return SpanFieldInfo(fields[index >= 0 && index < 3 ? index : 0])->Conversions();
}

}  // namespace

TFrameSimpleModeCalls::TFrameSimpleModeCalls(QWidget* owner, TFrameQuantityDoubleLimit* pulses,
                                             TFrameQuantityDoubleLimit* duration, TFrameChargeLimit* charge,
                                             TFrameListChoice* extraCode, TFrameListChoice* circuit,
                                             TFrameListChoice* trunk, TFrameListChoice* callType,
                                             TFrameListChoice* phone, TExtPinFrame* pinCodes,
                                             TExtPinFrame* extensions, TFrameDateTimeSelect* interval,
                                             QTreeWidgetItem* node, TRemoteConnection& scReport)
    : TReportBaseFrame(owner),
      interval_(interval),
      lists_{phone, callType, trunk, circuit, extraCode},
      quantities_{charge, duration, pulses},
      charge_(charge),
      node_(node)
{
    lblInterval = new QLabel(tr("Interval :"), this);
    lblInterval->setObjectName(QStringLiteral("lblInterval"));
    dtpFromDate = NewDayPicker(this, "dtpFromDate");
    lblFromToDash = new QLabel(QStringLiteral("-"), this);
    lblFromToDash->setObjectName(QStringLiteral("lblFromToDash"));
    dtpToDate = NewDayPicker(this, "dtpToDate");
    cmbExtPin = NewCombo(this, "cmbExtPin", {tr("Extension"), tr("PIN code")});
    cmbExtensions = NewCombo(this, "cmbExtensions");
    cmbPinCodes = NewCombo(this, "cmbPinCodes");
    cmbSelective = NewCombo(this, "cmbSelective", {tr("Phone"), tr("Call type"), tr("Trunk"), tr("Circuit")});
    edtSelective = new QLineEdit(this);
    edtSelective->setObjectName(QStringLiteral("edtSelective"));
    edtSelective->setToolTip(tr("Values separated by commas; \"-\" for a missing value."));
    cmbQuantitative = NewCombo(this, "cmbQuantitative", {tr("Charge"), tr("Duration"), tr("Pulses")});
    ludedtQuantity = new TLabeledUpDownEdit(tr("at least"), TLabeledUpDownEdit::TLabelPosition::Left, this);
    ludedtQuantity->setObjectName(QStringLiteral("ludedtQuantity"));
    ludedtQuantity->SetRange(0, MaxQuantityPosition);
    AttachSpanConversions(ludedtQuantity, [this] { return Conversions(); });

    auto* dates = new QHBoxLayout;
    dates->addWidget(dtpFromDate);
    dates->addWidget(lblFromToDash);
    dates->addWidget(dtpToDate);
    dates->addStretch(1);
    auto* codes = new QHBoxLayout;
    codes->addWidget(cmbExtensions, 1);
    codes->addWidget(cmbPinCodes, 1);
    auto* quantity = new QHBoxLayout;
    quantity->addWidget(ludedtQuantity);
    quantity->addStretch(1);
    auto* grid = new QGridLayout;
    grid->addWidget(lblInterval, 0, 0);
    grid->addLayout(dates, 0, 1);
    grid->addWidget(cmbExtPin, 1, 0);
    grid->addLayout(codes, 1, 1);
    grid->addWidget(cmbSelective, 2, 0);
    grid->addWidget(edtSelective, 2, 1);
    grid->addWidget(cmbQuantitative, 3, 0);
    grid->addLayout(quantity, 3, 1);
    grid->setColumnStretch(1, 1);
    auto* page = new QVBoxLayout(this);
    auto* width = new QHBoxLayout;
    width->addLayout(grid, 3);
    width->addStretch(1);
    page->addLayout(width);
    page->addStretch(1);

    cdsExtPin.setObjectName(QStringLiteral("cdsExtPin"));
    cdsExtPin.SetRemoteServer(&scReport);
    cdsExtPin.SetProviderName(QLatin1String(provider::ReportRDM::dspSimpleModeExtPin));
    extensions_ = {cmbExtensions, extensions, {}};
    pinCodes_ = {cmbPinCodes, pinCodes, {}};
    FillList(extensions_, QStringLiteral("EXTENSION"));
    FillList(pinCodes_, QStringLiteral("PIN_CODE"));

    connect(cmbExtPin, &QComboBox::currentIndexChanged, this, &TFrameSimpleModeCalls::cmbExtPinChange);
    connect(cmbExtensions, &QComboBox::currentIndexChanged, this,
            [this] { CodeListChosen(extensions_, pinCodes_); });
    connect(cmbPinCodes, &QComboBox::currentIndexChanged, this,
            [this] { CodeListChosen(pinCodes_, extensions_); });
    connect(cmbSelective, &QComboBox::currentIndexChanged, edtSelective, &QLineEdit::clear);
    connect(cmbQuantitative, &QComboBox::currentIndexChanged, this,
            &TFrameSimpleModeCalls::cmbQuantitativeChange);
    cmbExtPinChange();
}

// One line per extension or PIN code that the advanced page holds, each standing for its
// item there.
void TFrameSimpleModeCalls::FillList(TCodeList& list, const QString& table)
{
    list.Combo->clear();
    list.Items.clear();
    list.Combo->addItem(tr("<All>"));
    list.Combo->setCurrentIndex(0);
    try {
        cdsExtPin.RemoteServer()->AppServer().Call(dispid::ReportRDM::ChooseCatalogTable,
                                                   {cdsExtPin.ProviderName(), table});
        cdsExtPin.Open();
        const TField* code = cdsExtPin.FieldByName(QStringLiteral("CODE"));
        const TField* name = cdsExtPin.FieldByName(QStringLiteral("NAME"));
        const TField* group = cdsExtPin.FieldByName(QStringLiteral("GROUP_NAME"));
        const TField* pbx = cdsExtPin.FieldByName(QStringLiteral("PBX_NAME"));
        for (cdsExtPin.First(); !cdsExtPin.Eof(); cdsExtPin.Next()) {
            for (TEPItem* item : list.Frame->Selection().AllItems().Items()) {
                if (item->Code() != code->AsString() || item->Group(epPbx)->Name() != pbx->AsString())
                    continue;
                list.Combo->addItem(
                    tr("%1@%2 (%3 from %4 group)")
                        .arg(code->AsString(), pbx->AsString(), name->AsString(), group->AsString()));
                list.Items << item;
            }
        }
        cdsExtPin.Close();
    } catch (const Exception& e) {
        cdsExtPin.Close();
        RethrowLostConnection(e);
        ClientLogs().Reports().Add(
            tr("Error loading table %1 to list %2.").arg(table, list.Combo->objectName()), 3);
    }
}

TSpanConversions TFrameSimpleModeCalls::Conversions() const
{
    return QuantityConversions(cmbQuantitative->currentIndex());
}

bool TFrameSimpleModeCalls::IsSimpleMode() const
{
    return !testAttribute(Qt::WA_ForceDisabled);
}

void TFrameSimpleModeCalls::SetSimpleMode(bool on)
{
    setEnabled(on);
    if (!node_)
        return;
    const int image = on ? SimpleModeImage : AdvancedModeImage;
    SetNodeImages(node_, image, image);
    node_->setText(0, on ? tr("Filters (simple)") : tr("Filters (advanced)"));
    node_->setExpanded(!on);
}

QString TFrameSimpleModeCalls::SaveState() const
{
    return IsSimpleMode() ? QStringLiteral("True") : QStringLiteral("False");
}

void TFrameSimpleModeCalls::LoadState(const QString& state)
{
    SetSimpleMode(StateToBool(state, true));
}

void TFrameSimpleModeCalls::cmbExtPinChange()
{
    const bool extension = cmbExtPin->currentIndex() != kindPinCode;
    cmbExtensions->setVisible(extension);
    cmbExtensions->setEnabled(extension);
    cmbPinCodes->setVisible(!extension);
    cmbPinCodes->setEnabled(!extension);
}

// One extension or one PIN code: choosing a line in one list resets the other.
void TFrameSimpleModeCalls::CodeListChosen(TCodeList& chosen, TCodeList& other)
{
    if (updating_ || chosen.Combo->currentIndex() <= 0)
        return;
    const QScopedValueRollback<bool> hold(updating_, true);
    other.Combo->setCurrentIndex(0);
}

void TFrameSimpleModeCalls::cmbQuantitativeChange()
{
    ludedtQuantity->SetPosition(0);  // also shows 0 on the new scale when it was 0
}

void TFrameSimpleModeCalls::Log(const QString& prefix, const QString& message) const
{
    ClientLogs().Reports().Add(prefix + message, 4);
}

void TFrameSimpleModeCalls::MapFrom()
{
    try {
        lblInterval->setText(interval_->FilterFieldText() + QLatin1Char(':'));
        const QString chargeField = charge_->ChargeFieldText();
        if (!chargeField.isEmpty())
            cmbQuantitative->setItemText(0, chargeField);

        // A period ending at midnight ends on the day before.
        TDateTime from = interval_->From(), to = interval_->To();
        OrderPair(from, to);
        dtpFromDate->setDate(std::min(DateTimeToQDate(from), LastDay));
        const QDate lastDay = DateTimeToQDate(to);
        dtpToDate->setDate(std::min(TimeOf(to) != 0 ? lastDay : lastDay.addDays(-1), LastDay));

        {
            const QScopedValueRollback<bool> hold(updating_, true);
            MapFromCodeList(extensions_);
            MapFromCodeList(pinCodes_);
        }
        cmbExtPin->setCurrentIndex(cmbExtensions->currentIndex() > 0 ? kindExtension : kindPinCode);
        cmbExtPinChange();

        cmbSelective->setCurrentIndex(-1);
        const auto on = std::find_if(lists_.begin(), lists_.end(),
                                     [](const TFrameListChoice* list) { return list->IsFilterOn(); });
        const int taken = on == lists_.end() ? -1 : static_cast<int>(on - lists_.begin());
        if (taken >= 0 && taken < cmbSelective->count()) {
            cmbSelective->setCurrentIndex(taken);
            edtSelective->setText((*on)->GetConditionValue());
        } else {
            cmbSelective->setCurrentIndex(0);
            edtSelective->clear();
        }

        cmbQuantitative->setCurrentIndex(-1);
        for (int k = 0; k < quantities_.size(); ++k) {
            const TFrameQuantityLimit* details = quantities_.at(k)->Details();
            if (details->IsFilterOn() && details->Comparison() == TFrameQuantityLimit::cmpAtLeast) {
                cmbQuantitative->setCurrentIndex(k);
                ludedtQuantity->SetPosition(details->Limit1Position());
                break;
            }
        }
        if (cmbQuantitative->currentIndex() < 0)
            cmbQuantitative->setCurrentIndex(0);
    } catch (const Exception& e) {
        RethrowLostConnection(e);
        Log(QStringLiteral("TFrameSimpleModeCalls.MapFrom: "), e.Message());
    }
}

// "<All>", or the first selected item when the advanced page selects some but not all.
void TFrameSimpleModeCalls::MapFromCodeList(TCodeList& list)
{
    list.Combo->setCurrentIndex(0);
    const TEPGroup& all = list.Frame->Selection().AllItems();
    if (!list.Frame->IsFilterOn() || all.NoneSelected() || all.AllSelected())
        return;
    const auto first = std::find_if(all.Items().begin(), all.Items().end(),
                                    [](const TEPItem* item) { return item->Selected(); });
    const qsizetype line = list.Items.indexOf(*first);
    if (line >= 0)
        list.Combo->setCurrentIndex(static_cast<int>(line) + 1);
}

void TFrameSimpleModeCalls::MapTo()
{
    try {
        QDate first = dtpFromDate->date(), last = dtpToDate->date();
        if (last < first)
            std::swap(first, last);
        interval_->SetPeriod(DateTimeFromQDate(first), DateTimeFromQDate(last.addDays(1)));

        MapToCodeList(extensions_, kindExtension);
        MapToCodeList(pinCodes_, kindPinCode);

        const QString values = edtSelective->text();
        for (int k = 0; k < lists_.size(); ++k) {
            TFrameListChoice* list = lists_.at(k);
            if (cmbSelective->currentIndex() != k || values.trimmed().isEmpty()) {
                list->SetFilterOn(false);
                continue;
            }
            list->SetFilterOn(true);
            list->SetMissingValue(false);
            list->CheckNone();
            list->AddValues(values);
        }

        const int position = ludedtQuantity->Position();
        for (int k = 0; k < quantities_.size(); ++k) {
            TFrameQuantityDoubleLimit* page = quantities_.at(k);
            if (cmbQuantitative->currentIndex() != k || position == 0) {
                page->SetOn(false);
                continue;
            }
            page->SetOn(true);
            page->Details()->SetLimit(TFrameQuantityLimit::cmpAtLeast, position);
            page->Totals()->SetLimit(TFrameQuantityLimit::cmpAtLeast, 0);
        }
    } catch (const Exception& e) {
        RethrowLostConnection(e);
        Log(QStringLiteral("TFrameSimpleModeCalls.MapTo: "), e.Message());
    }
}

void TFrameSimpleModeCalls::MapToCodeList(const TCodeList& list, int kind)
{
    const int line = list.Combo->currentIndex();
    if (cmbExtPin->currentIndex() != kind || line <= 0 || line > list.Items.size()) {
        list.Frame->SetFilterOn(false);
        return;
    }
    list.Frame->SetFilterOn(true);
    list.Frame->SelectOnly(list.Items.at(line - 1));
}
