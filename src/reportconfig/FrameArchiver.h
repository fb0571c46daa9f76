#pragma once
// The report window's "Archive" page: archives exactly the calls the report's detail
// filters select, under a comment, on the server (ReportRDM 302). The server runs the work
// as an archive job: its progress shows in the status bar and its outcome in the live log.
// The page keeps no state.
//
//   auto* archiver = new TArchiverFrame(pnlControl, detailFilters, connection.scReport);
//   archiver->RefreshFilters();                // whenever its node is selected
//
// Widgets are found by object name: "lblComment", "mmoComment", "bitbtnArchive",
// "lblFilters", "mmoFilters", "lblWarning"; the action "aCreateArchive".

#include "reportconfig/FrameReportBase.h"

#include <QList>

class QAction;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class TRemoteConnection;
class TReportFilterFrame;

class TArchiverFrame : public TReportBaseFrame {
    Q_OBJECT

public:
    TArchiverFrame(QWidget* owner, QList<TReportFilterFrame*> detailFilters, TRemoteConnection& scReport);

    // Shows the summary lines of the detail filters.
    void RefreshFilters();
    QAction* CreateArchiveAction() const { return aCreateArchive; }

    QString SaveState() const override { return QString(); }
    void LoadState(const QString&) override {}

private:
    void UpdateAction();
    // Sends the comment, the values of every detail filter (on or off), the joins and the
    // conditions of those that are on; then empties the comment. Raises the server's error.
    void aCreateArchiveExecute();

    QList<TReportFilterFrame*> filters_;
    TRemoteConnection& scReport_;
    QLabel* lblComment;
    QPlainTextEdit* mmoComment;
    QPushButton* bitbtnArchive;
    QLabel* lblFilters;
    QPlainTextEdit* mmoFilters;
    QLabel* lblWarning;
    QAction* aCreateArchive;
};
