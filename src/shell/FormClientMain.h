#pragma once
// The client's main window: the client area for the child windows, every command as one
// action (menus, tool bar, function keys), the live raw input with its input-buffer gauge,
// the live log, and the three-panel status bar with the running activities. Other units
// use it through OpenChildWindow, AddStatus/ClearStatus, AddLiveLogMessage and Defer.

#include "shell/base/Executor.h"

#include <QImage>
#include <QList>
#include <QMainWindow>
#include <QMutex>
#include <QPair>
#include <QPointer>

#include <functional>
#include <memory>

class QAction;
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
class TGauge;
class TImageList;
class TWallpaperArea;

class TClientMainForm : public QMainWindow {
    Q_OBJECT

public:
    explicit TClientMainForm(QWidget* parent = nullptr);
    ~TClientMainForm() override;

    // ---- used by the other units ----

    using TChildFactory = std::function<TChildFormBlank*(TClientMainForm* owner, QAction* action)>;
    // Brings the window the action's tag refers to to the front (restored when minimised), or
    // creates one with the factory and shows it. Returns the window.
    TChildFormBlank* OpenChildWindow(QAction* action, const TChildFactory& create);
    template <class TChild>
    TChild* OpenChildWindow(QAction* action)
    {
        return static_cast<TChild*>(OpenChildWindow(
            action,
            [](TClientMainForm* owner, QAction* a) -> TChildFormBlank* { return new TChild(owner, a); }));
    }
    // Closes the windows of actReport, actAdmin, actArchives, actQueue and actLogsReport.
    void CloseChildWindows();

    // Running activities shown in status bar panel 2. AddStatus returns the new local
    // identifier (1 to 1000000000, then 1 again); server identifiers come with the text.
    int AddStatus(const QString& text);
    void AddServerStatus(const QString& text, int id);
    void ClearStatus(int id);
    QStringList StatusTexts() const;

    // Deferred appends to the live displays (one update per turn of the event loop).
    void AddRawInput(const QString& text);
    void AddLiveLogMessage(const QString& text);

    // Runs the procedure later on the main thread; callable from any thread.
    void Defer(TExecutorProc procedure, void* datum = nullptr);

    // Loads basePath + ".jpg" (JPEG) or else basePath + ".bmp" into the image, converted to a
    // plain 32-bit bitmap; false (image untouched) when neither file loads.
    static bool LoadPicture(const QString& basePath, QImage& image);

    // The designed caption, which follows the server name.
    static QString DesignedCaption();
    static constexpr int MemoMaxLength = 64000;

    const TImageList& ImageList() const;
    QMdiArea* MdiArea() const;
    QString StatusPanelText(int panel) const;
    void SetStatusPanelText(int panel, const QString& text);

    // The state images and captions the callbacks set.
    void SetReceiverRunning(bool running);
    void SetQueueEnabled(bool enabled);

    // The idle update (also run by a short timer): tool buttons of open windows pressed,
    // window actions enabled while a child exists, actOptions only for administrators.
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
    void TileChildWindows(Qt::Orientation orientation);
    void FlushRawInput();
    void FlushLiveLog();
    static void AppendToMemo(QPlainTextEdit* memo, const QString& text);
    // Marks the action checked while the dialog runs.
    void RunCheckedDialog(QAction* action, const std::function<void()>& run);

    void actReceiverExecute();
    void actEnableQueueExecute();
    void actAccessLevelExecute();
    void actAboutExecute();
    void actHelpExecute();

    TExecutor* executor_;
    QStackedWidget* clientArea_;
    TWallpaperArea* mdiArea_;
    QWidget* rawInputHolder_;
    QLabel* statusPanels_[3];
    QTimer* idleTimer_;
    bool receiverRunning_ = false;

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
