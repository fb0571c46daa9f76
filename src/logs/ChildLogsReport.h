#pragma once
// The logs report window: the server's event log searched by interval, categories,
// severities and words, the matching rows in a printable grid, the full text of the
// selected event, printing and a tab-separated export. Its server work goes through its
// data module, TLogsReportDM; while a search runs the window stays live and shows the
// steps in the main window's status bar.
//
// Widgets are found by object name: "ToolBar", "pnlConditions", "dtpFromDate",
// "dtpFromTime", "dtpToDate", "dtpToTime", "edtLogText", "btnInfo", "btnWarning",
// "btnError", "btnBug", "clbCategory", "chkCategoryAll", "frgLogs" (its grid "Grid"),
// "mmoText", and the actions "actApply", "actPrint", "actExport".

#include "logs/DMLogsReport.h"
#include "shell/ChildBlank.h"

#include <functional>

class QAction;
class QCheckBox;
class QDateEdit;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QTimeEdit;
class QToolButton;
class TFrameReportGrid;

class TChildLogsReport : public TChildFormBlank {
    Q_OBJECT

public:
    TChildLogsReport(TMainFormServices* owner, QAction* action, TRemoteConnection& scLogsReport,
                     TRemoteModule mainRDM);
    ~TChildLogsReport() override;

    // The export file chosen from the preset name; empty when the user cancels. The save
    // dialog unless replaced (tests answer it themselves).
    std::function<QString(QWidget* parent, const QString& preset)> ChooseExportFile;

    // The search the controls describe now.
    TLogSearch Search() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* AddAction(const char* name, const QString& caption, const QString& hint);
    void UpdateActions();
    void ShowEventText();
    void CategoryChanged(QListWidgetItem* item);
    void CategoryAllClicked();
    QString PrintTitle() const;
    // Runs the print or export with the row-change reaction detached, then shows the
    // current event again.
    void WithoutEventText(const std::function<void()>& work);

    void actApplyExecute();
    void actPrintExecute();
    void actExportExecute();

    TLogsReportDM dm_;
    bool applying_ = false;
    bool eventTextDetached_ = false;
    QDateEdit* dtpFromDate;
    QTimeEdit* dtpFromTime;
    QDateEdit* dtpToDate;
    QTimeEdit* dtpToTime;
    QLineEdit* edtLogText;
    QToolButton* btnInfo;
    QToolButton* btnWarning;
    QToolButton* btnError;
    QToolButton* btnBug;
    QListWidget* clbCategory;
    QCheckBox* chkCategoryAll;
    TFrameReportGrid* frgLogs;
    QPlainTextEdit* mmoText;
    QAction* actApply;
    QAction* actPrint;
    QAction* actExport;
};
