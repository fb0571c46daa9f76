#pragma once
// The list pages "Phone", "Call type", "Trunk", "Circuit" and "Extra code": the user types
// values (comma-separated; "-" stands for a missing value), ticks those that pass and may
// let calls without a value pass too. Unticked values stay in the list for later. The
// field's descriptor turns the ticked values into an "in" list (a prefix match for the
// phone number).
//
// State line "on,missing,+ticked,-unticked,..."; condition value "a,b,-".
//
// Never raises.

#include "reportconfig/FrameReportFilter.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QToolButton;
class QTreeWidgetItem;

class TFrameListChoice : public TReportFilterFrame {
    Q_OBJECT

public:
    // node: the page's tree node, marked on and off with the filter (may be null).
    TFrameListChoice(QWidget* owner, QTreeWidgetItem* node, TCallFieldId field);

    QString SaveState() const override;
    void LoadState(const QString& state) override;
    bool SelectsNothing() const override;
    bool IsFilterOn() const override;
    QString GetConditionValue() const override;

    // What simple mode does with the page.
    void SetFilterOn(bool on);
    void SetMissingValue(bool include);
    // Unticks every value (aCheckNone).
    void CheckNone();
    // The adding rule: the text is split on ","; each piece is trimmed and empty ones are
    // skipped; "-" checks "+ Missing value"; any other value is found in the list without
    // regard to case or else inserted before the current line (appended when there is
    // none; several new values keep the order they were typed in), and ticked.
    void AddValues(const QString& text);

private:
    void chkOnOffToggled(bool on);
    void aAddExecute();
    void aDeleteExecute();
    void SetAllChecks(bool checked);
    void aInvertCheckExecute();
    void UpdateActions();
    int FindValue(const QString& value) const;
    void AppendValue(const QString& value, bool ticked);

    QTreeWidgetItem* node_;
    QAction* aOnOff;
    QAction* aAdd;
    QAction* aDelete;
    QAction* aCheckAll;
    QAction* aCheckNone;
    QAction* aInvertCheck;
    QCheckBox* chkOnOff;
    QLabel* lblEditBox;
    QLineEdit* EditBox;
    QToolButton* bitbtnAdd;
    QToolButton* bitbtnDelete;
    QToolButton* btnCheckAll;
    QToolButton* btnCheckNone;
    QToolButton* btnInvertCheck;
    QCheckBox* chkMissingValue;
    QListWidget* CheckListBox;
};
