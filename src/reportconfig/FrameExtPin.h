#pragma once
// The pages "Extensions" and "PIN Codes": the user picks, out of every extension (or PIN
// code) of the server's administration tables, those whose calls the report shows,
// browsing them all, by PBX, by user group or by limit plan. The page writes its own SQL
// condition from the selection (TEPSelection); the code field's descriptor words the
// summary.
//
// State line "on|sort column|ascending|browse row|condition value"; the sort column counts
// the list's sub-items (0 code, 1 name, 2 PBX, 3 group, 4 limit plan). The condition value
// names PBXs and codes ("Main:101,102;Branch:3001;True"), so a saved selection survives
// other rows being added or removed; a PBX that no longer exists restores nothing.
//
// Construction loads the lists from the server once (LoadEPSelection) and raises its
// errors; everything else never raises.

#include "reportconfig/EPSelection.h"
#include "reportconfig/FrameReportFilter.h"

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TRadioGroup;
class TRemoteConnection;

class TExtPinFrame : public TReportFilterFrame {
    Q_OBJECT

public:
    // join: the join the group condition needs (jnExtension, jnPinCode); the fields of the
    // limit plan, the user group, the name and the code; table: "EXTENSION" or "PIN_CODE";
    // scReport: the ReportRDM connection the lists are loaded through.
    TExtPinFrame(QWidget* owner, QTreeWidgetItem* node, TJoinId join, TCallFieldId limitField,
                 TCallFieldId groupField, TCallFieldId nameField, TCallFieldId codeField,
                 const QString& table, TRemoteConnection& scReport);

    QString SaveState() const override;
    void LoadState(const QString& state) override;
    bool SelectsNothing() const override;
    bool IsFilterOn() const override;
    QString GetConditionValue() const override;
    QString GetSQLCondition() const override;
    // The join of the code field while the condition names whole user groups.
    TJoinSet GetRequiredJoins() const override;

    // What simple mode reads and sets.
    const TEPSelection& Selection() const { return selection_; }
    void SetFilterOn(bool on);
    // Selects the item alone, without calls that have no code, and shows the row anew.
    void SelectOnly(TEPItem* item);

private:
    TEPCondition Condition() const;
    void chkOnOffToggled(bool on);
    void SelectAll(bool selected);
    void ShowRow();
    void ShowRowAt(int row);
    void ShowGroup();
    void Sort();
    void ListViewHeaderClick(int column);
    void ListViewItemChanged(QTreeWidgetItem* line, int column);
    void GroupLineChanged(QListWidgetItem* line);
    TEPGroup* CurrentGroup() const;
    void RefreshGroupLine(const TEPGroup& group);
    void RefreshCounters();
    void UpdateActions();

    QTreeWidgetItem* node_;
    const TCallFieldInfo& codeInfo_;
    const TCallFieldInfo& groupInfo_;
    TJoinId join_;
    TEPSelection selection_;
    int sortColumn_ = 0;
    bool ascending_ = true;
    bool updating_ = false;

    QAction* aOnOffFilter;
    QAction* aSelectAll;
    QAction* aSelectNone;
    QCheckBox* chkOnOff;
    QToolButton* bitbtnSelecetAll;
    QToolButton* bitbtnSelecetNone;
    QCheckBox* chkIncludeNull;
    QFrame* pnlTotalCount;
    QLabel* lblTotalCount;
    QFrame* pnlCount;
    QLabel* lblCount;
    TRadioGroup* rgFilter;
    QListWidget* clbListOfEPGroups;
    QTreeWidget* ListView;
};
