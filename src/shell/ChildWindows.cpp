#include "shell/ChildWindows.h"

#include "admin/ChildAdmin.h"
#include "archives/ChildArchives.h"
#include "core/Errors.h"
#include "logs/ChildLogsReport.h"
#include "options/FormOptions.h"
#include "reportconfig/FrameArchiver.h"
#include "reports/ChildCallsInfo.h"
#include "shell/ChildQueue.h"
#include "shell/DMClientMain.h"
#include "shell/DlgAccessLevel.h"
#include "shell/FormClientMain.h"
#include "shell/FormSplash.h"

#include <QPointer>

#include <memory>

namespace {

// The report window's archive page: archives the calls its detail filters select.
TArchivePage ArchivePage(QWidget* panel, const QList<TReportFilterFrame*>& detailFilters, TRemoteConnection& scReport)
{
    auto* frame = new TArchiverFrame(panel, detailFilters, scReport);
    return TArchivePage{frame, frame->CreateArchiveAction(), [frame] { frame->RefreshFilters(); }};
}

// A child window: made with its owner, its opening action and the connection.
struct TChildWindowRow {
    const char* Action;
    TChildFormBlank* (*Create)(TMainFormServices* owner, QAction* action, TClientMainDM& connection);
};

const TChildWindowRow ChildWindowRows[] = {
    {"actQueue",
     [](TMainFormServices* owner, QAction* action, TClientMainDM& connection) -> TChildFormBlank* {
         return new TChildFormQueue(owner, action, connection.CommandsRDM);
     }},
    {"actReport",
     [](TMainFormServices* owner, QAction* action, TClientMainDM& connection) -> TChildFormBlank* {
         return new TChildFormCallsInfo(owner, action, connection.sktServer, connection.scReport, ArchivePage);
     }},
    {"actAdmin",
     [](TMainFormServices* owner, QAction* action, TClientMainDM& connection) -> TChildFormBlank* {
         return new TChildFormAdmin(owner, action, connection.scAdmin, connection.MainRDM, connection.CommandsRDM);
     }},
    {"actArchives",
     [](TMainFormServices* owner, QAction* action, TClientMainDM& connection) -> TChildFormBlank* {
         return new TChildFormArchives(owner, action, connection.scArchives);
     }},
    {"actLogsReport",
     [](TMainFormServices* owner, QAction* action, TClientMainDM& connection) -> TChildFormBlank* {
         return new TChildLogsReport(owner, action, connection.scLogsReport, connection.MainRDM);
     }},
};

// A modal dialog: made with its parent and the connection.
struct TDialogRow {
    const char* Action;
    std::unique_ptr<QDialog> (*Create)(QWidget* parent, TClientMainDM& connection);
};

const TDialogRow DialogRows[] = {
    {"actAccessLevel",
     [](QWidget* parent, TClientMainDM& connection) -> std::unique_ptr<QDialog> {
         return std::make_unique<TDlgFormAccessLevel>(parent, connection.MainRDM);
     }},
    {"actAbout",
     [](QWidget* parent, TClientMainDM&) -> std::unique_ptr<QDialog> {
         return std::make_unique<TSplashForm>(false, parent);
     }},
    {"actOptions",
     [](QWidget* parent, TClientMainDM& connection) -> std::unique_ptr<QDialog> {
         return std::make_unique<TOptionsForm>(
             parent, TOptionsDM(connection.MainRDM, connection.ReceiverRDM, connection.ArchivesRDM, connection.CommandsRDM),
             dynamic_cast<TMainFormServices*>(parent));
     }},
};

TClientMainDM& Live(const QPointer<TClientMainDM>& connection)
{
    if (!connection)
        throw Exception(QStringLiteral("BindChildWindows: The connection module is gone."));
    return *connection;
}

}  // namespace

void BindChildWindows(TClientMainForm& form, TClientMainDM& connection)
{
    const QPointer<TClientMainDM> live(&connection);
    for (const TChildWindowRow& row : ChildWindowRows)
        form.BindChildWindow(QLatin1String(row.Action),
                             [live, create = row.Create](TMainFormServices* owner, QAction* action) {
                                 return create(owner, action, Live(live));
                             });
    for (const TDialogRow& row : DialogRows)
        form.BindDialog(QLatin1String(row.Action),
                        [live, create = row.Create](QWidget* parent) { return create(parent, Live(live)); });
    // The actions of the windows still missing say so instead of doing nothing.
    form.DisableMissingActions();
}
