#pragma once
// The administration window's data module: the seven reference tables of the server's
// AdminRDM as client datasets (columns, labels, lookups, calculated marks, defaults of new
// rows), the reset intervals of limit plans with their texts, and every server call the
// administration makes. No widgets: it is tested without a window.
//
//   TAdminDM dm(connection.scAdmin, connection.MainRDM, connection.CommandsRDM);
//   dm.SetFilter(TAdminDM::TCodeList::Extensions, TAdminDM::TFilterBy::Group, 3);
//   dm.BlockExtension();     // the current row of cdsExtension
//
// The constructor opens the datasets in the order the lookups need (groups, exchanges,
// limit plans first) with the server's live data held back meanwhile; a dataset that fails
// to open raises (EOleSysError, EDatabaseError) after live data is on again, and no module
// is made. Every other server call raises the server's error; none is caught here.

#include "remote/Connections.h"
#include "remote/RemoteDataSet.h"
#include "remote/RemoteModule.h"

#include <QList>
#include <QObject>
#include <QString>

class TAdminDM : public QObject {
    Q_OBJECT

public:
    struct TResetInterval {
        QString Text;
        int Value;
    };
    enum class TCodeList { Extensions, PinCodes };
    enum class TFilterBy { All, Pbx, Group, LimitPlan };

    TAdminDM(TRemoteConnection& adminConnection, TRemoteModule mainRDM, TRemoteModule commandsRDM,
             QObject* parent = nullptr);
    ~TAdminDM() override;

    TRemoteDataSet cdsGroups;
    TRemoteDataSet cdsPbx;
    TRemoteDataSet cdsLimitPlan;
    TRemoteDataSet cdsExtension;
    TRemoteDataSet cdsPinCode;
    TRemoteDataSet cdsCallSchema;
    TRemoteDataSet cdsTariffRules;

    // In the order a combo box lists them.
    const QList<TResetInterval>& ResetIntervals() const { return resetIntervals_; }
    // The text of a RESET_INTERVAL value: its entry's, "1 month" for any other value (the
    // server counts null and unknown lengths as a calendar month too).
    QString ResetIntervalText(const QVariant& value) const;
    // The value of a text (without regard to case); -1 (a month) for any other text.
    int ResetIntervalValue(const QString& text) const;

    // Read at the last opening of cdsCallSchema and cdsPbx.
    const QString& ActiveSchemaText() const { return activeSchemaText_; }
    int ActivePbxId() const { return activePbxId_; }

    // Holds back (false) or sends (true) the server's live callbacks (MainRDM 312).
    void SetLiveData(bool enabled) const;

    // Closes and reopens the dataset, keeping the current row by its key column (the
    // exchange in use and the format in use are read again first). Display updates are
    // suspended meanwhile.
    void Reload(TRemoteDataSet& dataSet);
    // Narrows the list on the server to one exchange, group or limit plan (id), or shows
    // all, and reopens it on the row with the same PBX_ID and CODE when it is still there.
    void SetFilter(TCodeList list, TFilterBy by, int id);
    // The clause SetFilter sends for a choice.
    static QString FilterClause(TFilterBy by, int id);

    // The current row's extension or PIN code on its exchange.
    void BlockExtension() const;
    void UnblockExtension() const;
    void BlockPinCode(bool eraseList) const;
    void UnblockPinCode() const;
    // Whether blocking a PIN code may erase its list: the exchange's control protocol is
    // the one that keeps lists (Siemens HiPath).
    bool PinBlockingErasesLists() const;
    // After an extension or PIN code was saved.
    void ExtPinSaved() const;

    // The current exchange becomes the one in use; cdsPbx is reloaded.
    void UseSelectedPbx();
    // The current format becomes the one in use when the server accepts it (true), and
    // cdsCallSchema is reloaded; false when the server refuses it (nothing changes).
    bool UseSelectedSchema();

    // Tariff rule texts of the server.
    QString EmptyTariffRule() const;
    QString TariffRuleTemplate() const;
    // The rules as the server accepts them; empty when they are not valid.
    QString CheckTariffRules(const QString& rules) const;

private:
    void DeclareFields();
    void DeclareExtPin(TRemoteDataSet& dataSet, bool pinCode);
    void SetNewCodeDefaults(TRemoteDataSet& dataSet);
    void OpenDataSet(TRemoteDataSet& dataSet);
    TRemoteModule Admin() const;

    TRemoteConnection& admin_;
    TRemoteModule mainRDM_;
    TRemoteModule commandsRDM_;
    QList<TResetInterval> resetIntervals_;
    QString activeSchemaText_;
    int activePbxId_ = 0;
};
