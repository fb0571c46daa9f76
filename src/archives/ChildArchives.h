#pragma once
// The archives window: the server's archive entries in a printable grid, and the actions
// that create an archive for a period, import a listed archive or a file the list does not
// know, rename an archive, delete the entry of an imported one, clear imported data and
// print the list. Its server work goes through its data module, TArchivesDM; the server's
// archive jobs show their progress in the main window's status bar and their outcome in
// the live log, and the list shows it after Refresh.
//
// Widgets are found by object name: "ToolBar", "frgArchives" (its grid "Grid"),
// "pnlArchivesControls", "pnlFromTo", "dtpFrom", "dtpTo", "mmoComment", "mmoFilters", and
// the actions "actNew" ... "actCancel".

#include "archives/DMArchives.h"
#include "shell/ChildBlank.h"

#include <functional>

class QAction;
class QDateEdit;
class QPlainTextEdit;
class QToolBar;
class TFrameReportGrid;

class TChildFormArchives : public TChildFormBlank {
    Q_OBJECT

public:
    TChildFormArchives(TMainFormServices* owner, QAction* action, TRemoteConnection& scArchives);
    ~TChildFormArchives() override;

    // Chooses the file of an external import; empty when the user cancels. The open dialog
    // unless replaced (tests answer it themselves).
    std::function<QString(QWidget* parent)> ChooseArchiveFile;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* AddAction(const char* name, const QString& caption, const QString& hint, const QKeySequence& key,
                       void (TChildFormArchives::*handler)());
    void SetEditMode(bool edit);
    void UpdateActions();
    void ShowCurrent();
    bool Creating() const;

    void actNewExecute();
    void actImportExecute();
    void actExternalImportExecute();
    void actRenameExecute();
    void actDeleteExecute();
    void actClearDataExecute();
    void actRefreshExecute();
    void actPreviewPrintExecute();
    void actConfirmExecute();
    void actCancelExecute();

    TArchivesDM dm_;
    bool editing_ = false;
    QToolBar* ToolBar;
    TFrameReportGrid* frgArchives;
    QWidget* pnlArchivesControls;
    QWidget* pnlFromTo;
    QDateEdit* dtpFrom;
    QDateEdit* dtpTo;
    QPlainTextEdit* mmoComment;
    QPlainTextEdit* mmoFilters;
    QAction* actNew;
    QAction* actImport;
    QAction* actExternalImport;
    QAction* actRename;
    QAction* actDelete;
    QAction* actClearData;
    QAction* actRefresh;
    QAction* actPreviewPrint;
    QAction* actConfirm;
    QAction* actCancel;
};
