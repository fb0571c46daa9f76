#pragma once
// The command queue window: the server's queue of commands for the exchange, kept live by
// the command callbacks; deleting one or all pending commands and, for the protocols that
// take free-form commands, posting one of the operator's own. Its server calls go through
// its data module, TQueueDM.

#include "shell/ChildBlank.h"
#include "shell/DMQueue.h"

class QLabel;
class QLineEdit;
class QMenu;
class QTableWidget;
class QToolBar;
class QToolButton;

class TChildFormQueue : public TChildFormBlank {
    Q_OBJECT

public:
    // Fills the list from the server through the given CommandsRDM handle.
    TChildFormQueue(TMainFormServices* owner, QAction* action, TRemoteModule commandsRDM);
    ~TChildFormQueue() override;

    // The open queue window, or null.
    static TChildFormQueue* Instance();

    // The server's list changes (the only changes after the first fill).
    void AddCommand(const QString& text, int retryCount);
    void RemoveCommand(int row);
    void ClearCommands();
    // A row the list does not have changes nothing.
    void SetRetryCount(int row, int retryCount);

    QTableWidget* ListView;
    QToolBar* ToolBar;
    QToolButton* tbDelete;
    QToolButton* tbClear;
    QMenu* pmQueueEdit;
    QWidget* pnlCustomCommand;
    QLineEdit* edtCustomCommand;
    QToolButton* btnPostCommand;
    QAction* actDelete;
    QAction* actClear;
    QAction* actCustomCommand;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FillList();
    void UpdateActions();
    void actDeleteExecute();
    void actClearExecute();
    void actCustomCommandExecute();

    TQueueDM dm_;
};
