#pragma once
// The base of every child window of the main window. A child window is created with its
// opening action, whose tag (its data) then refers to it, so the main window finds the
// open window through the action; closing frees the window and empties the tag. The owner
// is the main window, seen through what it offers its child windows.
//
//   class TChildFormSomething : public TChildFormBlank {
//   public:
//       TChildFormSomething(TMainFormServices* owner, QAction* action) : TChildFormBlank(owner, action)
//       {
//           setWidget(...);   // the window's content
//       }
//   };
//   // Bound to its opening action in shell/ChildWindows.cpp; the action then opens it
//   // through the main window's OpenChildWindow.

#include <QMdiSubWindow>
#include <QPointer>

class QAction;
class QMenu;
class TMainFormServices;

class TChildFormBlank : public QMdiSubWindow {
    Q_OBJECT

public:
    // Joins the owner's client area and writes itself into the action's tag.
    TChildFormBlank(TMainFormServices* owner, QAction* action);
    ~TChildFormBlank() override;

    QAction* OpeningAction() const { return action_; }
    TMainFormServices* Owner() const { return owner_; }

    // The open window an action's tag refers to, or null.
    static TChildFormBlank* OfAction(const QAction* action);

    // The window's own menu ("Calls"), which the main window's menu bar shows after its
    // "PBX" menu while this window is the current one; null for none. Owned by the window.
    void SetMergedMenu(QMenu* menu);
    QMenu* MergedMenu() const;

protected:
    // Subclasses that handle closing themselves call this first; when the event is
    // accepted the tag is reset and the window is freed.
    void closeEvent(QCloseEvent* event) override;

private:
    void ReleaseAction();

    TMainFormServices* owner_;
    QPointer<QAction> action_;
    QPointer<QMenu> menu_;
};
