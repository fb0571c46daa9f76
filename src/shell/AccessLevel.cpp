#include "shell/AccessLevel.h"

#include "shell/FormClientMain.h"
#include "shell/base/ClientLogs.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QPointer>
#include <QScopeGuard>
#include <QToolButton>

namespace {

quint8 g_level = TAccess::Admin;
QPointer<TClientMainForm> g_form;

}  // namespace

quint8 TAccess::GetLevel()
{
    return g_level;
}

void TAccess::SetMainWindow(TClientMainForm* form)
{
    g_form = form;
    g_level = Admin;
    if (form)
        form->SetOptionsAllowed(true);
}

QString TAccess::ModeText(quint8 level)
{
    switch (level) {
        case Locked:
            return QCoreApplication::translate("TAccess", "Locked mode");
        case User:
            return QCoreApplication::translate("TAccess", "User mode");
        default:
            return QCoreApplication::translate("TAccess", "Admin mode");
    }
}

void TAccess::SetLevel(quint8 level)
{
    if (level == g_level)
        return;
    TClientMainForm* form = g_form;
    if (!form) {
        g_level = level;
        return;
    }
    const int status = form->AddStatus(QCoreApplication::translate("TAccess", "Setting access level..."));
    const auto clear = qScopeGuard([form, status] { form->ClearStatus(status); });
    form->CloseChildWindows();
    if (level > Admin) {
        ClientLogs().Application().Add(QStringLiteral("TAccess: Invalid access level."), 4);
    } else {
        ApplyLayout(*form, level);
    }
    g_level = level;
    form->SetOptionsAllowed(level == Admin);
}

void TAccess::ApplyLayout(TClientMainForm& f, quint8 level)
{
    const bool user = level >= User;
    const bool admin = level == Admin;
    f.ShowAction(f.actReport, user);
    for (QAction* a : {f.actAdmin, f.actArchives, f.actLogsReport, f.actQueue, f.actEnableQueue,
                       f.actReceiver, f.actOptions})
        f.ShowAction(a, admin);
    f.ShowAction(f.actClearLiveLog, user);
    f.ShowAction(f.actClearRawInput, user);
    f.ddmPBX->menuAction()->setVisible(admin);
    f.ddmWindow->menuAction()->setVisible(user);
    TidyToolBarSeparators(f);
    f.SetRawInputFillsClientArea(level == Locked);
    f.SetStatusPanelText(1, ModeText(level));
}

void TAccess::TidyToolBarSeparators(TClientMainForm& form)
{
    // No separator at the left end or next to another one.
    bool atStartOrAfterSeparator = true;
    for (const TClientMainForm::TToolBarEntry& entry : form.ToolBarEntries) {
        if (!entry.Button) {
            entry.Item->setVisible(!atStartOrAfterSeparator);
            atStartOrAfterSeparator = true;
        } else if (entry.Item->isVisible()) {
            atStartOrAfterSeparator = false;
        }
    }
}
