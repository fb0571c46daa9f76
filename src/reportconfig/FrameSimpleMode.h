#pragma once
// The simple filter page: one line per kind of filter (a range of whole days, one
// extension or PIN code, one list filter, a lower limit on one quantity) over the advanced
// pages, which stay the only source of the report's conditions. It keeps no filter of its
// own: MapTo writes it into the advanced pages (before each run and each save while simple
// mode is on), MapFrom fills it from them (at opening and when simple mode is switched
// on). What the simple page cannot express is lost on the way back.
//
// Simple mode is on while the page is enabled; SetSimpleMode also sets its tree node's
// caption, images and expansion. The node is collapsed (on) or expanded (off) after the
// mode changed, so a window that confirms a collapse can skip the question when
// IsSimpleMode() already holds.
//
// State line "True"/"False" (simple mode; default on).
//
// Construction fills the extension and PIN code lists from the server; a failure there is
// logged and leaves the list short. MapFrom and MapTo log their failures and keep what
// was mapped so far. A lost connection is not caught.

#include "calls/CallFieldInfo.h"
#include "remote/RemoteDataSet.h"
#include "reportconfig/FrameReportBase.h"

#include <QList>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QTreeWidgetItem;
class TEPItem;
class TExtPinFrame;
class TFrameChargeLimit;
class TFrameDateTimeSelect;
class TFrameListChoice;
class TFrameQuantityDoubleLimit;
class TLabeledUpDownEdit;
class TRemoteConnection;

class TFrameSimpleModeCalls : public TReportBaseFrame {
    Q_OBJECT

public:
    // The advanced pages it maps to, the tree node "Filters (simple)" and the ReportRDM
    // connection the extension and PIN code lists are read through.
    TFrameSimpleModeCalls(QWidget* owner, TFrameQuantityDoubleLimit* pulses,
                          TFrameQuantityDoubleLimit* duration, TFrameChargeLimit* charge,
                          TFrameListChoice* extraCode, TFrameListChoice* circuit, TFrameListChoice* trunk,
                          TFrameListChoice* callType, TFrameListChoice* phone, TExtPinFrame* pinCodes,
                          TExtPinFrame* extensions, TFrameDateTimeSelect* interval, QTreeWidgetItem* node,
                          TRemoteConnection& scReport);

    QString SaveState() const override;
    void LoadState(const QString& state) override;

    bool IsSimpleMode() const;
    void SetSimpleMode(bool on);
    void MapFrom();
    void MapTo();

private:
    struct TCodeList {
        QComboBox* Combo;
        TExtPinFrame* Frame;
        QList<TEPItem*> Items;  // line k + 1 stands for Items[k]; line 0 is "<All>"
    };

    void FillList(TCodeList& list, const QString& table);
    void MapFromCodeList(TCodeList& list);
    void MapToCodeList(const TCodeList& list, int kind);
    void CodeListChosen(TCodeList& chosen, TCodeList& other);
    void cmbExtPinChange();
    void cmbQuantitativeChange();
    TSpanConversions Conversions() const;
    void Log(const QString& prefix, const QString& message) const;

    TFrameDateTimeSelect* interval_;
    QList<TFrameListChoice*> lists_;                // Phone, Call type, Trunk, Circuit, Extra code
    QList<TFrameQuantityDoubleLimit*> quantities_;  // Charge, Duration, Pulses
    TFrameChargeLimit* charge_;
    QTreeWidgetItem* node_;
    TCodeList extensions_;
    TCodeList pinCodes_;
    bool updating_ = false;

    QLabel* lblInterval;
    QDateEdit* dtpFromDate;
    QLabel* lblFromToDash;
    QDateEdit* dtpToDate;
    QComboBox* cmbExtPin;
    QComboBox* cmbExtensions;
    QComboBox* cmbPinCodes;
    QComboBox* cmbSelective;
    QLineEdit* edtSelective;
    QComboBox* cmbQuantitative;
    TLabeledUpDownEdit* ludedtQuantity;
    TRemoteDataSet cdsExtPin;
};
