#pragma once
// The extension/PIN selection: every extension (or PIN code) known to the server as an
// item, and the groups the page browses them by: all items, one PBX, one user group, one
// limit plan. Each group counts its selected items, so that check marks and counters stay
// exact without rescanning. The selection turns itself into a compact SQL condition (whole
// PBXs and user groups by identifier, runs of neighbouring codes as ranges, the rest code
// by code) and into the condition value the state line and the summary use.
//
//   TEPSelection selection;
//   LoadEPSelection(selection, scReport, QStringLiteral("EXTENSION"));
//   selection.AllItems().Item(0)->SetSelected(true);
//   const TEPCondition c = selection.Condition({"c.EXT_CODE", "e.GROUP_ID", "c.PBX_ID"}, false);
//
// The selection is not a widget and is used on the user-interface thread only.

#include <QList>
#include <QString>

#include <array>
#include <memory>
#include <vector>

class TEPGroup;
class TRemoteConnection;

// The ways of browsing, which are also the items' four groups, in this order.
enum TEPRow { epAll = 0, epPbx = 1, epUserGroup = 2, epLimitPlan = 3 };
inline constexpr int EPRowCount = 4;

class TEPItem {
public:
    // Appends the item to the item list of each of its four groups.
    TEPItem(QString code, QString name, const std::array<TEPGroup*, EPRowCount>& groups);
    TEPItem(const TEPItem&) = delete;
    TEPItem& operator=(const TEPItem&) = delete;

    const QString& Code() const { return code_; }
    const QString& Name() const { return name_; }
    TEPGroup* Group(TEPRow row) const { return groups_[row]; }
    bool Selected() const { return selected_; }
    // Does nothing when unchanged; otherwise tells each of the four groups.
    void SetSelected(bool selected);

private:
    QString code_;
    QString name_;
    std::array<TEPGroup*, EPRowCount> groups_;
    bool selected_ = false;
};

class TEPGroup {
public:
    TEPGroup(int id, QString name, int index) : id_(id), name_(std::move(name)), index_(index) {}
    TEPGroup(const TEPGroup&) = delete;
    TEPGroup& operator=(const TEPGroup&) = delete;

    // The row's identifier in its table (0 for the all-items group and "Unlimited").
    int Id() const { return id_; }
    const QString& Name() const { return name_; }
    // The group's position in its row, which is also its line in the group list.
    int Index() const { return index_; }
    int ItemCount() const { return static_cast<int>(items_.size()); }
    TEPItem* Item(int i) const { return items_.at(i); }
    const QList<TEPItem*>& Items() const { return items_; }
    int SelectedCount() const { return selectedCount_; }
    // An empty group is both.
    bool NoneSelected() const { return selectedCount_ == 0; }
    bool AllSelected() const { return selectedCount_ == ItemCount(); }

    // Called by an item whose Selected changed. A count that would leave 0..ItemCount is
    // kept and logged ("reports", level 4): it means an item told its group twice.
    void OnItemSelected(bool selected);
    void SelectAll(bool selected);

    // "All 12" when every item is selected, "3/12" otherwise, empty without items.
    QString CountText() const;

private:
    friend class TEPItem;

    int id_;
    QString name_;
    int index_;
    QList<TEPItem*> items_;
    int selectedCount_ = 0;
};

// The expressions the condition is written over.
struct TEPExpressions {
    QString Code;   // C: the code field's expression (c.EXT_CODE)
    QString Group;  // G: the group field's expression (e.GROUP_ID), needs the code's join
    QString Pbx;    // P: the exchange (c.PBX_ID)
};

struct TEPCondition {
    QString Sql;              // empty: no condition
    bool UsesGroups = false;  // it names whole user groups, so it needs the code's join
};

class TEPSelection {
public:
    // Holds the all-items group "All" (row 0) and "Unlimited" (row 3, identifier 0).
    TEPSelection();
    ~TEPSelection();
    TEPSelection(const TEPSelection&) = delete;
    TEPSelection& operator=(const TEPSelection&) = delete;

    TEPGroup& AllItems() const { return *rows_[epAll].front(); }
    const QList<TEPGroup*>& Row(TEPRow row) const { return rows_[row]; }
    // The first group of the row with that identifier; null when there is none.
    TEPGroup* FindGroup(TEPRow row, int id) const;
    // The PBX group of that name (compared exactly); null when there is none.
    TEPGroup* FindPbx(const QString& name) const;

    // Appends a group to row 1, 2 or 3.
    TEPGroup* AddGroup(TEPRow row, int id, const QString& name);
    // Creates an item in its groups, found by identifier (a limit plan of 0 is
    // "Unlimited"); null, and nothing created, when one of them does not exist.
    TEPItem* AddItem(const QString& code, const QString& name, int pbxId, int groupId, int limitPlanId);

    // The SQL condition of the selection; includeMissing lets calls without a code pass.
    // No item selected and includeMissing unchecked gives no condition: such a filter
    // selects nothing and the window refuses to run.
    TEPCondition Condition(const TEPExpressions& e, bool includeMissing) const;
    // "+;N" all selected, "-;N" none (an empty table too), otherwise one "PBX:code,code;"
    // per PBX with a selected item, in row order, then N ("True"/"False" for includeMissing).
    QString ConditionValue(bool includeMissing) const;
    // Selects what a condition value names (PBXs by name, their items by code; unknown
    // names and codes are skipped) and returns its missing-value flag (default true).
    bool RestoreSelection(const QString& conditionValue);

private:
    QString SelectionCondition(const TEPExpressions& e, bool& usesGroups) const;
    QString PbxCondition(const TEPGroup& pbx, const TEPExpressions& e, bool& usesGroups) const;

    std::array<QList<TEPGroup*>, EPRowCount> rows_;
    std::vector<std::unique_ptr<TEPGroup>> groups_;
    std::vector<std::unique_ptr<TEPItem>> items_;
};

// Loads the PBX, user group and limit plan rows and then the items of the table
// ("EXTENSION" or "PIN_CODE") from the catalogue providers of ReportRDM. Raises the
// server's error (the report window's creation then fails).
void LoadEPSelection(TEPSelection& selection, TRemoteConnection& scReport, const QString& table);
