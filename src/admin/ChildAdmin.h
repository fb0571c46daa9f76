#pragma once
// The administration window: the seven reference tables of the installation on tabs
// (extensions, PIN codes, groups, exchanges, limit plans, data formats, tariff rules), each
// a printable grid beside its edit panel, with record actions that go to the active tab's
// page controller (admin/AdminPages.h); blocking and unblocking of extensions and PIN
// codes, the exchange and data format in use, the data format editor with its help and a
// live trial on a sample line, and the tariff rule texts of the server. Its server calls go
// through its data module (admin/AdminDM.h).
//
// Opening raises what opening the data module raises (the window is then not made).
// Server errors of block, unblock, use-selected, template and filter calls reach the
// process-wide handler.

#include "admin/AdminDM.h"
#include "shell/ChildBlank.h"

#include <memory>
#include <vector>

class QAction;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QTabWidget;
class QTimeEdit;
class QToolBar;
class QTreeWidget;
class TAdminPage;
class TFieldLinks;
class TFrameReportGrid;
class TRadioGroup;

class TChildFormAdmin : public TChildFormBlank {
    Q_OBJECT

public:
    TChildFormAdmin(TMainFormServices* owner, QAction* action, TRemoteConnection& adminConnection,
                    TRemoteModule mainRDM, TRemoteModule commandsRDM);
    ~TChildFormAdmin() override;

    TAdminDM& DM() { return *dm_; }
    // The page controller of the active tab.
    TAdminPage& CurrentPage() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct TCodeTab;  // the controls of the extensions or PIN codes tab

    void BuildActions();
    QWidget* BuildGridPanel(const char* gridName, TRemoteDataSet& dataSet, const QString& caption,
                            TFrameReportGrid*& grid);
    void BuildCodeTab(TCodeTab& tab, bool pinCodes);
    void BuildGroupsTab();
    void BuildPbxTab();
    void BuildLimitPlanTab();
    void BuildSchemaTab();
    void BuildTariffTab();
    void BuildPages();

    void EditModeChanged(bool editing);
    void TabChanged(int index);
    void actRefreshExecute();
    void actConfirmExecute();
    void actDeleteExecute();
    void BlockPinCode();
    void NewTariffText(bool templateRule);
    void ShowFormatTrial();

    // The filter lists of the extension and PIN code tabs.
    void RebuildFilterList(TCodeTab& tab);
    void ApplyFilter(TCodeTab& tab);
    void StartPeriodEditing(TCodeTab& tab, bool editing);
    void TakePickedPeriodEnd(TCodeTab& tab);

    std::unique_ptr<TAdminDM> dm_;
    TFieldLinks* links_ = nullptr;
    std::vector<std::unique_ptr<TAdminPage>> pages_;
    std::unique_ptr<TCodeTab> extensions_;
    std::unique_ptr<TCodeTab> pinCodes_;
    int shownTab_ = 0;
    bool turningBack_ = false;

    QToolBar* ToolBar = nullptr;
    QTabWidget* pcAllTables = nullptr;
    QAction* actNew = nullptr;
    QAction* actEdit = nullptr;
    QAction* actDelete = nullptr;
    QAction* actRefresh = nullptr;
    QAction* actPreviewPrint = nullptr;
    QAction* actConfirm = nullptr;
    QAction* actCancel = nullptr;
    QAction* actBlockExtension = nullptr;
    QAction* actUnblockExtension = nullptr;
    QAction* actBlockPinCode = nullptr;
    QAction* actUnblockPinCode = nullptr;
    QAction* actUseSelectedPbx = nullptr;
    QAction* actUseSelectedSchema = nullptr;
    QAction* actSchemaBuildHelp = nullptr;

    TFrameReportGrid* frgGroups = nullptr;
    TFrameReportGrid* frgPbxes = nullptr;
    TFrameReportGrid* frgLimitPlan = nullptr;
    TFrameReportGrid* frgCallStringSchema = nullptr;
    TFrameReportGrid* frgTariffRules = nullptr;
    QWidget* pnlGroupControls = nullptr;
    QLineEdit* edtGroupName = nullptr;
    QWidget* pnlPbxActionControls = nullptr;
    QWidget* pnlPbxEditControls = nullptr;
    QLineEdit* edtPbxName = nullptr;
    QWidget* pnlLimitPlanControls = nullptr;
    QLineEdit* edtLimitPlanName = nullptr;
    QLineEdit* edtMoneyLimit = nullptr;
    QComboBox* cmbResetInterval = nullptr;
    QWidget* pnlSchemaActionControls = nullptr;
    QWidget* pnlSchemaEditControls = nullptr;
    QLineEdit* edtSchemaName = nullptr;
    QPlainTextEdit* mmoSchemaText = nullptr;
    QLineEdit* edtSchemaSample = nullptr;
    QLabel* lblSchemaTrial = nullptr;
    QTreeWidget* lstSchemaTrial = nullptr;
    QWidget* pnlTariffRulesControls = nullptr;
    QLineEdit* edtTariffName = nullptr;
    QPlainTextEdit* mmoTariffRule = nullptr;
};
