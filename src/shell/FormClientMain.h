#pragma once
// The client's main window: the client area for the child windows, every command as one
// action (menus, tool bar, function keys), the live raw input with its input-buffer gauge,
// the live log, and the three-panel status bar with the running activities. The units below
// it use it through TMainFormServices. It knows no child window and no dialog: the program
// binds its opening actions to the factories of their windows (BindChildWindow, BindDialog).
//
//   TClientMainForm& form = CreateClientMainForm();
//   form.BindChildWindow(QStringLiteral("actQueue"), [](TMainFormServices* owner, QAction* action) {
//       return new TChildFormQueue(owner, action, commandsRDM);
//   });

#include "shell/MainFormServices.h"
#include "shell/base/Executor.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QMainWindow>
#include <QMutex>
#include <QPair>
#include <QPointer>

#include <functional>
#include <memory>

class QAction;
class QDialog;
class QLabel;
class QMdiArea;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QStackedWidget;
class QTimer;
class QToolBar;
class QToolButton;
class TChildFormBlank;
class TClientMainDM;
class TGauge;
class TImageList;
class TStatusPanel;
class TWallpaperArea;

class TClientMainForm : public QMainWindow, public TMainFormServices {
    Q_OBJECT

public:
    explicit TClientMainForm(QWidget* parent = nullptr);
    ~TClientMainForm() override;

    // ---- used by the other units (TMainFormServices) ----

    TChildFormBlank* OpenChildWindow(QAction* action, const TChildFactory& create) override;
    template <class TChild>
    TChild* OpenChildWindow(QAction* action)
    {
        return static_cast<TChild*>(OpenChildWindow(
            action,
            [this](TMainFormServices*, QAction* a) -> TChildFormBlank* { return new TChild(this, a); }));
    }
    // Closes the windows of actReport, actAdmin, actArchives, actQueue and actLogsReport.
    void CloseChildWindows() override;

    int AddStatus(const QString& text) override;
    void AddServerStatus(const QString& text, int id) override;
    void ClearStatus(int id) override;
    QStringList StatusTexts() const;

    void AddRawInput(const QString& text) override;
    void AddLiveLogMessage(const QString& text) override;
    void Defer(TExecutorProc procedure, void* datum = nullptr) override;

    // ---- what the program gives it ----

    using TDialogFactory = std::function<std::unique_ptr<QDialog>(QWidget* parent)>;
    // Binds an opening action (actReport, actAdmin, actArchives, actQueue, actLogsReport),
    // named by its object name, to the factory of its child window. An opening action left
    // unbound does nothing. Raises Exception for a name that is no opening action.
    void BindChildWindow(const QString& actionName, TChildFactory create);
    // Takes a binding back: the action is disabled as a missing window's is.
    void UnbindChildWindow(const QString& actionName);
    // Binds a dialog action (actAccessLevel, actOptions, actAbout) to the factory of its
    // dialog, which runs modally with the action checked. An unbound one does nothing.
    // Raises Exception for a name that is no dialog action.
    void BindDialog(const QString& actionName, TDialogFactory create);
    // Disables, with a hint saying so, each opening and dialog action with nothing bound to
    // it, and actHelp while the help file is missing. Binding a window to one of them later
    // enables it again with its own hint.
    void DisableMissingActions();
    // False for an action DisableMissingActions disabled and nothing bound since.
    bool ActionAvailable(QAction* action) const;
    // Shows or hides an action as the access level wants it; a shown action is enabled
    // only while it is available.
    void ShowAction(QAction* action, bool shown);

    // The connection whose modules actReceiver and actEnableQueue call; until it is set,
    // and after it is gone, they do nothing.
    void SetConnection(TClientMainDM* connection);
    // The idle update enables actOptions exactly while this holds (the administrator's
    // level); a new window allows it.
    void SetOptionsAllowed(bool allowed);

    // Loads basePath + ".jpg" (JPEG) or else basePath + ".bmp" into the image, converted to a
    // plain 32-bit bitmap; false (image untouched) when neither file loads.
    static bool LoadPicture(const QString& basePath, QImage& image);

    // The designed caption, which follows the server name.
    static QString DesignedCaption();
    static constexpr int MemoMaxLength = 64000;

    const TImageList& ImageList() const;
    QMdiArea* MdiArea() const override;
    // A panel's whole text, also when it shows only part of it.
    QString StatusPanelText(int panel) const;
    void SetStatusPanelText(int panel, const QString& text) override;
    // The hover hint shown over the running activities; empty when none is.
    QString StatusHint() const;

    // The state images and captions the callbacks set.
    void SetReceiverRunning(bool running) override;
    void SetQueueEnabled(bool enabled) override;
    TGauge& InputBufferGauge() override;
    void CloseMainWindow() override;

    // The idle update (also run by a short timer): tool buttons of open windows pressed,
    // window actions enabled while a child exists, actOptions only for administrators.
    // A hover hint whose action or widget is no longer under the pointer goes too.
    void UpdateActions();
    // True while a modal dialog of the client is open: actions are swallowed then.
    bool ActionsBlocked() const;

    // The raw input either fills the client area (locked mode) or takes the left three
    // fifths of the bottom strip.
    void SetRawInputFillsClientArea(bool fills);
    bool RawInputFillsClientArea() const;

    // ---- the window's parts ----

    QAction* actReport;
    QAction* actAdmin;
    QAction* actArchives;
    QAction* actReceiver;
    QAction* actEnableQueue;
    QAction* actQueue;
    QAction* actAccessLevel;
    QAction* actLogsReport;
    QAction* actOptions;
    QAction* actHelp;
    QAction* actAbout;
    QAction* actFileExit;
    QAction* actWindowCascade;
    QAction* actWindowTileHorizontal;
    QAction* actWindowTileVertical;
    QAction* actClearLiveLog;
    QAction* actClearRawInput;

    QMenu* ddmFile;
    QMenu* ddmPBX;
    QMenu* ddmTools;
    QMenu* ddmWindow;
    QMenu* ddmHelp;
    QMenu* pmInput;
    QMenu* pmErrors;

    QWidget* pnlToolBar;
    QToolBar* ToolBar;
    QToolButton* tbCalls;
    QToolButton* tbAdmin;
    QToolButton* tbArchives;
    QToolButton* tbReceiver;
    QToolButton* tbEnableQueue;
    QToolButton* tbQueue;
    QToolButton* tbAccessLevel;
    QToolButton* tbLogsReport;
    QToolButton* tbOptions;
    // The tool bar's entries from left to right; separators have no button.
    struct TToolBarEntry {
        QAction* Item;
        QToolButton* Button;
    };
    QList<TToolBarEntry> ToolBarEntries;

    QSplitter* splitterLiveLogsMainForm;
    QSplitter* panelLiveLogs;  // its handle is the splitter between raw input and live log
    QWidget* panelLiveRawInput;
    QPlainTextEdit* memoLiveRawInput;
    TGauge* gaugeInputBuffer;
    QPlainTextEdit* memoLiveLog;
    QImage Wallpaper;

Q_SIGNALS:
    // The live log was flushed (tests and the live-log hook watch it).
    void LiveLogFlushed();
    // The window was closed (by any means); the main loop ends on it.
    void Closed();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* NewAction(const char* name, const char* caption, const char* hint, const QKeySequence& shortcut,
                       int image, std::function<void()> handler);
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateLiveDisplays();
    void CreateStatusBar();
    QToolButton* AddToolButton(QAction* action, const char* name, bool toggle);
    void AddToolBarSeparator();
    void ShowStatus();
    // Hover hints go over the running activities only, never over the receiver's state
    // and the access mode.
    void ShowHint(const QString& hint);
    bool HintUnderPointer() const;
    // Disabled with MissingHint, or enabled again with the action's own hint.
    void SetAvailable(QAction* action, bool available);
    // The hint of an action whose window is missing: "Call reports - not available in this
    // version."
    static QString MissingHint(const QString& hint);
    void TileChildWindows(Qt::Orientation orientation);
    // Shows the current child window's own menu in the menu bar, and only that one.
    void MergeChildMenu();
    // The actions whose child windows the window tracks, in closing order.
    QList<QAction*> OpeningActions() const;
    QList<QAction*> DialogActions() const;
    // The action of that name among the given ones; raises Exception when it is not there.
    static QAction* ActionNamed(const QList<QAction*>& actions, const QString& name);
    void OpenBoundChildWindow(QAction* action);
    void RunBoundDialog(QAction* action);
    void FlushRawInput();
    void FlushLiveLog();
    static void AppendToMemo(QPlainTextEdit* memo, const QString& text);
    // Marks the action checked while the dialog runs.
    void RunCheckedDialog(QAction* action, const std::function<void()>& run);

    void actReceiverExecute();
    void actEnableQueueExecute();
    void actHelpExecute();

    TExecutor* executor_;
    QStackedWidget* clientArea_;
    TWallpaperArea* mdiArea_;
    QWidget* rawInputHolder_;
    TStatusPanel* statusPanels_[3];
    TStatusPanel* lblHint_;
    QStackedWidget* activitiesOrHint_;
    QTimer* idleTimer_;
    bool receiverRunning_ = false;
    bool optionsAllowed_ = true;
    QPointer<TClientMainDM> connection_;
    QPointer<QMenu> mergedMenu_;
    QHash<QAction*, TChildFactory> childFactories_;
    QHash<QAction*, TDialogFactory> dialogFactories_;
    // Actions disabled for a missing window, with the hints they had.
    QHash<QAction*, QString> missing_;

    mutable QMutex statusLock_;
    QList<QPair<QString, int>> statusItems_;
    int statusCounter_ = 0;

    QString pendingRawInput_;
    bool rawInputFlushQueued_ = false;
    QString pendingLiveLog_;
};

// The process-wide main window: created on connect, destroyed at process end.
TClientMainForm* ClientMainForm();
TClientMainForm& CreateClientMainForm();
void ReleaseClientMainForm();
