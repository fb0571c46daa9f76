#include "shell/ChildBlank.h"

#include "shell/MainFormServices.h"

#include <QAction>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMenu>

TChildFormBlank::TChildFormBlank(TMainFormServices* owner, QAction* action)
    : QMdiSubWindow(nullptr), owner_(owner), action_(action)
{
    setAttribute(Qt::WA_DeleteOnClose);
    if (action_)
        action_->setData(QVariant::fromValue(static_cast<QObject*>(this)));
    if (owner_)
        owner_->MdiArea()->addSubWindow(this);
}

TChildFormBlank::~TChildFormBlank()
{
    ReleaseAction();
}

TChildFormBlank* TChildFormBlank::OfAction(const QAction* action)
{
    if (!action)
        return nullptr;
    return qobject_cast<TChildFormBlank*>(action->data().value<QObject*>());
}

void TChildFormBlank::SetMergedMenu(QMenu* menu)
{
    menu_ = menu;
}

QMenu* TChildFormBlank::MergedMenu() const
{
    return menu_;
}

void TChildFormBlank::closeEvent(QCloseEvent* event)
{
    QMdiSubWindow::closeEvent(event);
    if (event->isAccepted())
        ReleaseAction();
}

void TChildFormBlank::ReleaseAction()
{
    if (action_ && action_->data().value<QObject*>() == this)
        action_->setData(QVariant());
}
