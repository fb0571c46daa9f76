#pragma once
// The "Report" page: the report configurations saved on the server (the report data
// module's cdsReport: NAME, SETUP, GRID, SPECIAL). Choosing one applies its setup and
// special report settings; the current configuration (setup, special report and the grid's
// layout) is saved under a new or an existing name, and one can be deleted while another
// remains. The filters are not part of a configuration.
//
//   auto* list = new TReportListFrame(panel, overlap, setup, [grid] { return grid->SaveLayoutState(); }, dm);
//   connect(list, &TReportListFrame::ConfigurationChosen, window, &Window::ConfigurationChosen);
//
// Two modes: browse (the list, "Save configuration as..." and "Delete configuration") and
// name entry (the name edit, "Save" on Enter and "Cancel" on Esc).
//
// State line: the name of the current configuration. LoadState moves to the configuration
// of that name (exact, case-sensitive) and applies whatever configuration is then current;
// with no configuration saved it applies nothing.
//
// Raises from actEndSave and actDeleteReport what the server answers (a refused change is
// undone locally and raised as EDatabaseError); the page then stays in its mode.
//
// Widgets: grdReport, lblReportListTitle, lblEditReportName, edtReportName, ToolBar; actions
// actBeginSave, actDeleteReport, actEndSave, actCancelSave.

#include "reportconfig/FrameReportBase.h"

#include <functional>

class QAction;
class QLabel;
class QLineEdit;
class QTableView;
class QToolBar;
class TDataSetModel;
class TOverlapSetupFrame;
class TReportDM;
class TReportSetupFrame;

class TReportListFrame : public TReportBaseFrame {
    Q_OBJECT

public:
    using TLayoutSource = std::function<QString()>;

    // gridLayout gives the report grid's layout state, which a saved configuration keeps.
    TReportListFrame(QWidget* owner, TOverlapSetupFrame* special, TReportSetupFrame* setup,
                     TLayoutSource gridLayout, TReportDM& reportDM);
    ~TReportListFrame() override;

    QString SaveState() const override;
    void LoadState(const QString& state) override;

    // The setup and special report settings of the current configuration go to their pages.
    void ApplyConfiguration();
    // GRID of the current configuration; empty when there is none.
    QString CurrentGridLayout() const;

    bool NameEntry() const { return nameEntry_; }
    void SetNameEntry(bool on);
    // Enables the actions for the mode, the configurations and whether a result is loaded.
    void UpdateActions();

Q_SIGNALS:
    // The user moved to another configuration (not while one is being saved).
    void ConfigurationChosen();

private:
    void cdsReportAfterScroll();
    void actEndSaveExecute();
    void actDeleteReportExecute();
    // Sends the pending change; a refused one is undone here and raised.
    void ApplyChange();

    TOverlapSetupFrame* special_;
    TReportSetupFrame* setup_;
    TLayoutSource gridLayout_;
    TReportDM& dm_;
    bool nameEntry_ = false;
    bool saving_ = false;

    QTableView* grdReport;
    TDataSetModel* dsReport;
    QLabel* lblReportListTitle;
    QLabel* lblEditReportName;
    QLineEdit* edtReportName;
    QToolBar* ToolBar;
    QAction* actBeginSave;
    QAction* actDeleteReport;
    QAction* actEndSave;
    QAction* actCancelSave;
};
