#include "shell/ChildWindows.h"

#include "core/Errors.h"
#include "reports/ChildCallsInfo.h"
#include "shell/ChildQueue.h"
#include "shell/DMClientMain.h"
#include "shell/DlgAccessLevel.h"
#include "shell/FormClientMain.h"
#include "shell/FormSplash.h"

#include <QPointer>

#include <memory>

namespace {

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
         return new TChildFormCallsInfo(owner, action, connection.sktServer, connection.scReport);
     }},
    // actAdmin (admin/), actArchives (archives/) and actLogsReport (logs/) bind here as their
    // windows land; until then they are disabled.
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
    // actOptions (options/) binds here as the options dialog lands; until then it is disabled.
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
