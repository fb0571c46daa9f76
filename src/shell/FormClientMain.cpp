#include "shell/FormClientMain.h"

#include "core/DateTime.h"
#include "core/Errors.h"
#include "shell/ChildBlank.h"
#include "shell/DMClientMain.h"
#include "shell/Gauge.h"
#include "shell/ImageLists.h"
#include "shell/StatusPanel.h"
#include "shell/base/AppDirs.h"
#include "shell/base/ClientLogs.h"
#include "shell/base/ExecExtern.h"
#include "shell/base/ProcessLife.h"
#include "widgets/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

// The client area: the child windows over the wallpaper, which is centred on the
// background colour.
class TWallpaperArea : public QMdiArea {
public:
    using QMdiArea::QMdiArea;

    void SetWallpaper(const QImage& picture, const QColor& background)
    {
        picture_ = picture;
        setBackground(background);
        viewport()->update();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QMdiArea::paintEvent(event);
        if (picture_.isNull())
            return;
        QPainter painter(viewport());
        const QRect area = viewport()->rect();
        painter.drawImage(area.center() - QPoint(picture_.width() / 2, picture_.height() / 2), picture_);
    }

private:
    QImage picture_;
};

namespace {

std::unique_ptr<TClientMainForm>& Installed()
{
    static std::unique_ptr<TClientMainForm> form;
    return form;
}

constexpr int kStatusIdLimit = 1000000000;
constexpr int kIdleIntervalMs = 100;

// A tool bar button that shows its action but keeps its own pressed state: clicking
// triggers the action and never toggles the button; the idle update (or the action's
// check mark) decides whether it is shown pressed.
class TActionToolButton : public QToolButton {
public:
    TActionToolButton(QAction* action, bool pressable, QWidget* parent) : QToolButton(parent), action_(action)
    {
        setCheckable(pressable);
        setAutoRaise(true);
        setFixedSize(55, 54);
        setIconSize(QSize(TImageList::ImageSize, TImageList::ImageSize));
        setToolButtonStyle(Qt::ToolButtonIconOnly);
        connect(this, &QToolButton::clicked, action_, [this] { action_->trigger(); });
        connect(action_, &QAction::changed, this, &TActionToolButton::Sync);
        Sync();
    }

protected:
    void nextCheckState() override {}

private:
    void Sync()
    {
        setIcon(action_->icon());
        setText(action_->iconText());
        setToolTip(action_->toolTip());
        setStatusTip(action_->statusTip());
        setEnabled(action_->isEnabled());
        if (action_->isCheckable() && isCheckable())
            setChecked(action_->isChecked());
    }

    QAction* action_;
};

}  // namespace

TClientMainForm::TClientMainForm(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("ClientMainForm"));
    executor_ = new TExecutor(this);

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateLiveDisplays();
    CreateStatusBar();

    // Creation proper.
    pnlToolBar->setFixedHeight(ToolBar->sizeHint().height());
    const QString caption = QStringLiteral("%1 - %2").arg(ServerHost(), DesignedCaption());
    setWindowTitle(caption);
    QGuiApplication::setApplicationDisplayName(caption);
    if (LoadPicture(ImagesDir() + QStringLiteral("wallpaper"), Wallpaper))
        mdiArea_->SetWallpaper(Wallpaper, Wallpaper.pixelColor(0, 0));

    if (HasClientLogs())
        ClientLogs().SetLiveLogHook([this](const QString& text) { AddLiveLogMessage(text); });

    idleTimer_ = new QTimer(this);
    idleTimer_->setInterval(kIdleIntervalMs);
    connect(idleTimer_, &QTimer::timeout, this, &TClientMainForm::UpdateActions);
    idleTimer_->start();
    resize(1024, 720);
}

TClientMainForm::~TClientMainForm()
{
    if (HasClientLogs())
        ClientLogs().SetLiveLogHook(nullptr);
    SetMessageBoxParent(nullptr);
}

QString TClientMainForm::DesignedCaption()
{
    return tr("Telvane Control");
}

QAction* TClientMainForm::NewAction(const char* name, const char* caption, const char* hint,
                                    const QKeySequence& shortcut, int image, std::function<void()> handler)
{
    auto* action = new QAction(MainImageList().Icon(image), tr(caption), this);
    action->setObjectName(QLatin1String(name));
    if (hint) {
        action->setStatusTip(tr(hint));
        action->setToolTip(tr(hint));
    }
    action->setShortcut(shortcut);
    // Swallowed while a modal dialog of the client is open, so function keys do nothing then.
    connect(action, &QAction::triggered, this, [this, handler = std::move(handler)] {
        if (!ActionsBlocked())
            handler();
    });
    addAction(action);
    return action;
}

void TClientMainForm::CreateActions()
{
    // The windows and dialogs open through what the program binds to these actions.
    actReport = NewAction("actReport", QT_TR_NOOP("Reports..."), QT_TR_NOOP("Call reports"), Qt::Key_F2,
                          img::Report, [this] { OpenBoundChildWindow(actReport); });
    actAdmin = NewAction("actAdmin", QT_TR_NOOP("Administration..."),
                         QT_TR_NOOP("Manage extensions, PINs, limits, tariffs etc."), Qt::Key_F3, img::Admin,
                         [this] { OpenBoundChildWindow(actAdmin); });
    actArchives =
        NewAction("actArchives", QT_TR_NOOP("Archives..."), QT_TR_NOOP("Create and import archives"),
                  Qt::Key_F4, img::Archives, [this] { OpenBoundChildWindow(actArchives); });
    actReceiver = NewAction("actReceiver", QT_TR_NOOP("Receiver"), QT_TR_NOOP("Start/Stop receiver"),
                            Qt::Key_F7, img::Stopped, [this] { actReceiverExecute(); });
    actEnableQueue =
        NewAction("actEnableQueue", QT_TR_NOOP("Queue"), QT_TR_NOOP("Enable/Disable command queue"),
                  Qt::Key_F8, img::Stopped, [this] { actEnableQueueExecute(); });
    actQueue = NewAction("actQueue", QT_TR_NOOP("Show queue..."), QT_TR_NOOP("View command queue"),
                         Qt::Key_F9, img::Queue, [this] { OpenBoundChildWindow(actQueue); });
    actAccessLevel =
        NewAction("actAccessLevel", QT_TR_NOOP("Access level..."), QT_TR_NOOP("Change access level"),
                  Qt::Key_F10, img::AccessLevel, [this] { RunBoundDialog(actAccessLevel); });
    actLogsReport =
        NewAction("actLogsReport", QT_TR_NOOP("Logs..."), QT_TR_NOOP("View and print log reports"),
                  Qt::Key_F11, img::LogsReport, [this] { OpenBoundChildWindow(actLogsReport); });
    actOptions = NewAction("actOptions", QT_TR_NOOP("Options..."), QT_TR_NOOP("Configure Telvane Control"),
                           Qt::Key_F12, img::Options, [this] { RunBoundDialog(actOptions); });
    actHelp = NewAction("actHelp", QT_TR_NOOP("Contents..."), nullptr, Qt::Key_F1, img::Help,
                        [this] { actHelpExecute(); });
    actAbout =
        NewAction("actAbout", QT_TR_NOOP("About..."), QT_TR_NOOP("About Telvane Control"),
                  QKeySequence(Qt::CTRL | Qt::Key_F1), img::Help, [this] { RunBoundDialog(actAbout); });
    actFileExit =
        NewAction("actFileExit", QT_TR_NOOP("Exit"), nullptr, QKeySequence(), img::Exit, [this] { close(); });
    actWindowCascade = NewAction("actWindowCascade", QT_TR_NOOP("&Cascade"), QT_TR_NOOP("Cascade"),
                                 QKeySequence(), img::Cascade, [this] { mdiArea_->cascadeSubWindows(); });
    actWindowTileHorizontal =
        NewAction("actWindowTileHorizontal", QT_TR_NOOP("Tile horizontally"), QT_TR_NOOP("Tile horizontal"),
                  QKeySequence(), img::TileHorizontal, [this] { TileChildWindows(Qt::Horizontal); });
    actWindowTileVertical =
        NewAction("actWindowTileVertical", QT_TR_NOOP("&Tile vertically"), QT_TR_NOOP("Tile vertical"),
                  QKeySequence(), img::TileVertical, [this] { TileChildWindows(Qt::Vertical); });
    actClearLiveLog = NewAction("actClearLiveLog", QT_TR_NOOP("Clear"), nullptr, QKeySequence(), img::Clear,
                                [this] { memoLiveLog->clear(); });
    actClearRawInput = NewAction("actClearRawInput", QT_TR_NOOP("Clear"), nullptr, QKeySequence(), img::Clear,
                                 [this] { memoLiveRawInput->clear(); });
}

void TClientMainForm::CreateMenus()
{
    ddmFile = menuBar()->addMenu(tr("File"));
    ddmFile->setObjectName(QStringLiteral("ddmFile"));
    ddmFile->addActions({actReport, actAdmin, actArchives});
    ddmFile->addSeparator();
    ddmFile->addAction(actFileExit);

    ddmPBX = menuBar()->addMenu(tr("PBX"));
    ddmPBX->setObjectName(QStringLiteral("ddmPBX"));
    ddmPBX->addAction(actReceiver);
    ddmPBX->addSeparator();
    ddmPBX->addActions({actEnableQueue, actQueue});

    ddmTools = menuBar()->addMenu(tr("Tools"));
    ddmTools->setObjectName(QStringLiteral("ddmTools"));
    ddmTools->addAction(actAccessLevel);
    ddmTools->addSeparator();
    ddmTools->addActions({actLogsReport, actOptions});

    ddmWindow = menuBar()->addMenu(tr("Window"));
    ddmWindow->setObjectName(QStringLiteral("ddmWindow"));
    ddmWindow->addActions({actWindowCascade, actWindowTileHorizontal, actWindowTileVertical});

    ddmHelp = menuBar()->addMenu(tr("Help"));
    ddmHelp->setObjectName(QStringLiteral("ddmHelp"));
    ddmHelp->addAction(actHelp);
    // The menu names the product where the action just says "About...".
    QAction* miAbout = ddmHelp->addAction(actAbout->icon(), tr("About Telvane Control..."));
    miAbout->setObjectName(QStringLiteral("miAbout"));
    miAbout->setShortcut(actAbout->shortcut());
    miAbout->setShortcutContext(Qt::WidgetShortcut);
    miAbout->setStatusTip(actAbout->statusTip());
    connect(miAbout, &QAction::triggered, actAbout, &QAction::trigger);
    // A disabled entry gets no hover and so no status hint: its tool tip says why.
    for (QMenu* menu : {ddmFile, ddmPBX, ddmTools, ddmWindow, ddmHelp})
        menu->setToolTipsVisible(true);
}

QToolButton* TClientMainForm::AddToolButton(QAction* action, const char* name, bool pressable)
{
    auto* button = new TActionToolButton(action, pressable, ToolBar);
    button->setObjectName(QLatin1String(name));
    QAction* item = ToolBar->addWidget(button);
    // The tool bar hands its item's state on to the button at every change: the item
    // mirrors the action, or a visible but disabled action would get an enabled button.
    const auto mirror = [item, action] {
        item->setVisible(action->isVisible());
        item->setEnabled(action->isEnabled());
    };
    mirror();
    connect(action, &QAction::changed, item, mirror);
    ToolBarEntries.append({item, button});
    return button;
}

void TClientMainForm::AddToolBarSeparator()
{
    ToolBarEntries.append({ToolBar->addSeparator(), nullptr});
}

void TClientMainForm::CreateToolBar()
{
    pnlToolBar = new QWidget(this);
    pnlToolBar->setObjectName(QStringLiteral("pnlToolBar"));
    auto* layout = new QVBoxLayout(pnlToolBar);
    layout->setContentsMargins(0, 0, 0, 0);
    ToolBar = new QToolBar(pnlToolBar);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setIconSize(QSize(TImageList::ImageSize, TImageList::ImageSize));
    ToolBar->setMovable(false);
    ToolBar->setFloatable(false);
    layout->addWidget(ToolBar);

    tbCalls = AddToolButton(actReport, "tbCalls", true);
    tbAdmin = AddToolButton(actAdmin, "tbAdmin", true);
    tbArchives = AddToolButton(actArchives, "tbArchives", true);
    AddToolBarSeparator();
    tbReceiver = AddToolButton(actReceiver, "tbReceiver", false);
    AddToolBarSeparator();
    tbEnableQueue = AddToolButton(actEnableQueue, "tbEnableQueue", false);
    tbQueue = AddToolButton(actQueue, "tbQueue", true);
    AddToolBarSeparator();
    tbAccessLevel = AddToolButton(actAccessLevel, "tbAccessLevel", true);
    AddToolBarSeparator();
    tbLogsReport = AddToolButton(actLogsReport, "tbLogsReport", true);
    tbOptions = AddToolButton(actOptions, "tbOptions", true);
}

void TClientMainForm::CreateLiveDisplays()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pnlToolBar);

    splitterLiveLogsMainForm = new QSplitter(Qt::Vertical, central);
    splitterLiveLogsMainForm->setObjectName(QStringLiteral("splitterLiveLogsMainForm"));
    splitterLiveLogsMainForm->setChildrenCollapsible(false);
    layout->addWidget(splitterLiveLogsMainForm, 1);

    clientArea_ = new QStackedWidget(splitterLiveLogsMainForm);
    mdiArea_ = new TWallpaperArea(clientArea_);
    mdiArea_->setObjectName(QStringLiteral("imgWallpaper"));
    connect(mdiArea_, &QMdiArea::subWindowActivated, this, &TClientMainForm::MergeChildMenu);
    clientArea_->addWidget(mdiArea_);
    rawInputHolder_ = new QWidget(clientArea_);
    auto* holderLayout = new QVBoxLayout(rawInputHolder_);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    clientArea_->addWidget(rawInputHolder_);
    splitterLiveLogsMainForm->addWidget(clientArea_);

    panelLiveLogs = new QSplitter(Qt::Horizontal, splitterLiveLogsMainForm);
    panelLiveLogs->setObjectName(QStringLiteral("panelLiveLogs"));
    panelLiveLogs->setChildrenCollapsible(false);
    splitterLiveLogsMainForm->addWidget(panelLiveLogs);
    splitterLiveLogsMainForm->setStretchFactor(0, 1);
    splitterLiveLogsMainForm->setStretchFactor(1, 0);
    splitterLiveLogsMainForm->setSizes({500, 190});

    panelLiveRawInput = new QWidget(panelLiveLogs);
    panelLiveRawInput->setObjectName(QStringLiteral("panelLiveRawInput"));
    auto* rawLayout = new QVBoxLayout(panelLiveRawInput);
    rawLayout->setContentsMargins(0, 0, 0, 0);
    rawLayout->setSpacing(0);
    memoLiveRawInput = new QPlainTextEdit(panelLiveRawInput);
    memoLiveRawInput->setObjectName(QStringLiteral("memoLiveRawInput"));
    memoLiveRawInput->setReadOnly(true);
    QFont fixed(QStringLiteral("Courier New"));
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setFixedPitch(true);
    memoLiveRawInput->setFont(fixed);
    rawLayout->addWidget(memoLiveRawInput, 1);
    gaugeInputBuffer = new TGauge(panelLiveRawInput);
    gaugeInputBuffer->setObjectName(QStringLiteral("gaugeInputBuffer"));
    gaugeInputBuffer->setFixedHeight(5);
    gaugeInputBuffer->setToolTip(tr("Input buffer. Prevents data overflow."));
    gaugeInputBuffer->setStatusTip(gaugeInputBuffer->toolTip());
    rawLayout->addWidget(gaugeInputBuffer);
    panelLiveLogs->addWidget(panelLiveRawInput);

    memoLiveLog = new QPlainTextEdit(panelLiveLogs);
    memoLiveLog->setObjectName(QStringLiteral("memoLiveLog"));
    memoLiveLog->setReadOnly(true);
    QFont bold = memoLiveLog->font();
    bold.setBold(true);
    memoLiveLog->setFont(bold);
    memoLiveLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    panelLiveLogs->addWidget(memoLiveLog);
    panelLiveLogs->setStretchFactor(0, 0);
    panelLiveLogs->setStretchFactor(1, 1);

    pmInput = new QMenu(this);
    pmInput->setObjectName(QStringLiteral("pmInput"));
    pmInput->addAction(actClearRawInput);
    memoLiveRawInput->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(memoLiveRawInput, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { pmInput->popup(memoLiveRawInput->viewport()->mapToGlobal(pos)); });
    pmErrors = new QMenu(this);
    pmErrors->setObjectName(QStringLiteral("pmErrors"));
    pmErrors->addAction(actClearLiveLog);
    memoLiveLog->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(memoLiveLog, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { pmErrors->popup(memoLiveLog->viewport()->mapToGlobal(pos)); });

    setCentralWidget(central);
}

void TClientMainForm::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("sbStatus"));
    const int widths[] = {200, 150};
    for (int i = 0; i < 2; ++i) {
        statusPanels_[i] = new TStatusPanel(bar);
        statusPanels_[i]->setObjectName(QStringLiteral("sbStatusPanel%1").arg(i));
        statusPanels_[i]->setFixedWidth(widths[i]);
        bar->addWidget(statusPanels_[i]);
    }
    // The running activities, and the hover hint over them while there is one.
    activitiesOrHint_ = new QStackedWidget(bar);
    statusPanels_[2] = new TStatusPanel(activitiesOrHint_);
    statusPanels_[2]->setObjectName(QStringLiteral("sbStatusPanel2"));
    activitiesOrHint_->addWidget(statusPanels_[2]);
    lblHint_ = new TStatusPanel(activitiesOrHint_);
    lblHint_->setObjectName(QStringLiteral("sbStatusHint"));
    activitiesOrHint_->addWidget(lblHint_);
    bar->addWidget(activitiesOrHint_, 1);
}

// ---- child windows ----

QMdiArea* TClientMainForm::MdiArea() const
{
    return mdiArea_;
}

TChildFormBlank* TClientMainForm::OpenChildWindow(QAction* action, const TChildFactory& create)
{
    if (TChildFormBlank* open = TChildFormBlank::OfAction(action)) {
        if (open->isMinimized())
            open->showNormal();
        mdiArea_->setActiveSubWindow(open);
        open->raise();
        return open;
    }
    TChildFormBlank* child = create(this, action);
    child->show();
    mdiArea_->setActiveSubWindow(child);
    return child;
}

QList<QAction*> TClientMainForm::OpeningActions() const
{
    return {actReport, actAdmin, actArchives, actQueue, actLogsReport};
}

QList<QAction*> TClientMainForm::DialogActions() const
{
    return {actAccessLevel, actOptions, actAbout};
}

QAction* TClientMainForm::ActionNamed(const QList<QAction*>& actions, const QString& name)
{
    for (QAction* action : actions)
        if (action->objectName() == name)
            return action;
    throw Exception(QStringLiteral("TClientMainForm: No action %1 to bind.").arg(name));
}

void TClientMainForm::BindChildWindow(const QString& actionName, TChildFactory create)
{
    QAction* action = ActionNamed(OpeningActions(), actionName);
    childFactories_.insert(action, std::move(create));
    SetAvailable(action, true);
}

void TClientMainForm::UnbindChildWindow(const QString& actionName)
{
    QAction* action = ActionNamed(OpeningActions(), actionName);
    childFactories_.remove(action);
    SetAvailable(action, false);
}

void TClientMainForm::BindDialog(const QString& actionName, TDialogFactory create)
{
    QAction* action = ActionNamed(DialogActions(), actionName);
    dialogFactories_.insert(action, std::move(create));
    SetAvailable(action, true);
}

void TClientMainForm::OpenBoundChildWindow(QAction* action)
{
    const auto bound = childFactories_.constFind(action);
    if (bound != childFactories_.constEnd())
        OpenChildWindow(action, *bound);
}

void TClientMainForm::RunBoundDialog(QAction* action)
{
    const auto bound = dialogFactories_.constFind(action);
    if (bound == dialogFactories_.constEnd())
        return;
    RunCheckedDialog(action, [this, create = *bound] {
        const std::unique_ptr<QDialog> dialog = create(this);
        dialog->exec();
    });
}

void TClientMainForm::CloseChildWindows()
{
    for (QAction* action : OpeningActions()) {
        TChildFormBlank* child = TChildFormBlank::OfAction(action);
        if (!child)
            continue;
        bool closed = false;
        try {
            closed = child->close();
        } catch (const std::exception&) {
            closed = false;
        }
        if (!closed)
            ClientLogs().Application().Add(QStringLiteral("TMainForm: Could not close form."), 4);
    }
}

void TClientMainForm::MergeChildMenu()
{
    // The current window, also while another top-level window (a dialog) has the focus.
    auto* child = qobject_cast<TChildFormBlank*>(mdiArea_->currentSubWindow());
    QMenu* menu = child ? child->MergedMenu() : nullptr;
    if (menu == mergedMenu_)
        return;
    if (mergedMenu_)
        menuBar()->removeAction(mergedMenu_->menuAction());
    mergedMenu_ = menu;
    if (menu)
        menuBar()->insertAction(ddmTools->menuAction(), menu->menuAction());
}

void TClientMainForm::TileChildWindows(Qt::Orientation orientation)
{
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* w : mdiArea_->subWindowList())
        if (w->isVisible() && !w->isMinimized())
            windows.append(w);
    if (windows.isEmpty())
        return;
    const QRect area = mdiArea_->viewport()->rect();
    const int n = static_cast<int>(windows.size());
    for (int i = 0; i < n; ++i) {
        if (windows[i]->isMaximized())
            windows[i]->showNormal();
        // Horizontal tiles lie one above the other, vertical ones side by side.
        if (orientation == Qt::Horizontal) {
            const int top = area.height() * i / n;
            windows[i]->setGeometry(0, top, area.width(), area.height() * (i + 1) / n - top);
        } else {
            const int left = area.width() * i / n;
            windows[i]->setGeometry(left, 0, area.width() * (i + 1) / n - left, area.height());
        }
    }
}

// ---- running activities ----

int TClientMainForm::AddStatus(const QString& text)
{
    int id;
    {
        const QMutexLocker lock(&statusLock_);
        statusCounter_ = statusCounter_ % kStatusIdLimit + 1;
        id = statusCounter_;
        statusItems_.append({text, id});
    }
    ShowStatus();
    return id;
}

void TClientMainForm::AddServerStatus(const QString& text, int id)
{
    {
        const QMutexLocker lock(&statusLock_);
        statusItems_.append({text, id});
    }
    ShowStatus();
}

void TClientMainForm::ClearStatus(int id)
{
    bool found = false;
    {
        const QMutexLocker lock(&statusLock_);
        for (qsizetype i = 0; i < statusItems_.size(); ++i) {
            if (statusItems_[i].second == id) {
                statusItems_.removeAt(i);
                found = true;
                break;
            }
        }
    }
    if (!found && id < kStatusIdLimit)
        ClientLogs().Application().Add(QStringLiteral("ClearStatus: Invalid status ID %1").arg(id), 4);
    ShowStatus();
}

QStringList TClientMainForm::StatusTexts() const
{
    const QMutexLocker lock(&statusLock_);
    QStringList texts;
    for (const auto& item : statusItems_)
        texts.append(item.first);
    return texts;
}

void TClientMainForm::ShowStatus()
{
    QString text;
    for (const QString& item : StatusTexts())
        text += QLatin1Char(' ') + item;
    statusPanels_[2]->SetText(text);
    statusBar()->repaint();
}

QString TClientMainForm::StatusPanelText(int panel) const
{
    return statusPanels_[panel]->Text();
}

void TClientMainForm::SetStatusPanelText(int panel, const QString& text)
{
    statusPanels_[panel]->SetText(text);
}

QString TClientMainForm::StatusHint() const
{
    return activitiesOrHint_->currentWidget() == lblHint_ ? lblHint_->Text() : QString();
}

void TClientMainForm::ShowHint(const QString& hint)
{
    lblHint_->SetText(hint);
    activitiesOrHint_->setCurrentWidget(hint.isEmpty() ? static_cast<QWidget*>(statusPanels_[2]) : lblHint_);
}

bool TClientMainForm::HintUnderPointer() const
{
    const QString hint = StatusHint();
    for (QWidget* w = QApplication::widgetAt(QCursor::pos()); w; w = w->parentWidget()) {
        if (w->statusTip() == hint)
            return true;
        if (const auto* menu = qobject_cast<const QMenu*>(w))
            return menu->activeAction() && menu->activeAction()->statusTip() == hint;
    }
    return false;
}

bool TClientMainForm::event(QEvent* event)
{
    // Not QStatusBar's temporary message, which would hide every panel.
    if (event->type() == QEvent::StatusTip) {
        ShowHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

// ---- live displays ----

void TClientMainForm::Defer(TExecutorProc procedure, void* datum)
{
    executor_->RunOnMainThread(false, std::move(procedure), datum);
}

void TClientMainForm::AddRawInput(const QString& text)
{
    pendingRawInput_ += text;
    if (rawInputFlushQueued_)
        return;
    rawInputFlushQueued_ = true;
    Defer([this](void*) { FlushRawInput(); });
}

void TClientMainForm::FlushRawInput()
{
    const QString text = pendingRawInput_;
    pendingRawInput_.clear();
    rawInputFlushQueued_ = false;
    AppendToMemo(memoLiveRawInput, text);
}

void TClientMainForm::AddLiveLogMessage(const QString& text)
{
    pendingLiveLog_ += QLatin1Char('\n') + FormatDateTime(QStringLiteral("dd mmm, hh:nn:ss"), Now()) +
                       QLatin1Char('\n') + text + QLatin1Char('\n');
    Defer([this](void*) { FlushLiveLog(); });
}

void TClientMainForm::FlushLiveLog()
{
    if (pendingLiveLog_.isEmpty())
        return;
    AppendToMemo(memoLiveLog, pendingLiveLog_);
    pendingLiveLog_.clear();
    Q_EMIT LiveLogFlushed();
}

void TClientMainForm::AppendToMemo(QPlainTextEdit* memo, const QString& text)
{
    if (text.isEmpty())
        return;
    QString all = memo->toPlainText() + text;
    if (all.size() > MemoMaxLength)
        all.remove(0, all.size() - MemoMaxLength);
    memo->setPlainText(all);
    QTextCursor cursor = memo->textCursor();
    cursor.movePosition(QTextCursor::End);
    memo->setTextCursor(cursor);
    memo->ensureCursorVisible();
}

void TClientMainForm::SetRawInputFillsClientArea(bool fills)
{
    if (fills) {
        rawInputHolder_->layout()->addWidget(panelLiveRawInput);
        clientArea_->setCurrentWidget(rawInputHolder_);
        return;
    }
    panelLiveLogs->insertWidget(0, panelLiveRawInput);
    panelLiveLogs->setStretchFactor(0, 0);
    panelLiveLogs->setStretchFactor(1, 1);
    clientArea_->setCurrentWidget(mdiArea_);
    const int raw = width() * 3 / 5;
    const int rest = std::max(0, width() - raw - panelLiveLogs->handleWidth());
    panelLiveLogs->setSizes({raw, rest});
}

bool TClientMainForm::RawInputFillsClientArea() const
{
    return panelLiveRawInput->parentWidget() == rawInputHolder_;
}

// ---- state images and the idle update ----

const TImageList& TClientMainForm::ImageList() const
{
    return MainImageList();
}

void TClientMainForm::SetReceiverRunning(bool running)
{
    receiverRunning_ = running;
    actReceiver->setIcon(MainImageList().Icon(running ? img::ReceiverRunning : img::Stopped));
    actReceiver->setText(running ? tr("Stop receiver") : tr("Start receiver"));
}

void TClientMainForm::SetQueueEnabled(bool enabled)
{
    actEnableQueue->setIcon(MainImageList().Icon(enabled ? img::QueueEnabled : img::Stopped));
    actEnableQueue->setText(enabled ? tr("Disable queue") : tr("Enable queue"));
}

TGauge& TClientMainForm::InputBufferGauge()
{
    return *gaugeInputBuffer;
}

void TClientMainForm::CloseMainWindow()
{
    close();
}

void TClientMainForm::SetConnection(TClientMainDM* connection)
{
    connection_ = connection;
}

void TClientMainForm::SetOptionsAllowed(bool allowed)
{
    optionsAllowed_ = allowed;
}

void TClientMainForm::UpdateActions()
{
    const struct {
        QToolButton* Button;
        QAction* Action;
    } pressed[] = {{tbCalls, actReport},
                   {tbAdmin, actAdmin},
                   {tbArchives, actArchives},
                   {tbLogsReport, actLogsReport},
                   {tbQueue, actQueue}};
    for (const auto& p : pressed)
        p.Button->setChecked(TChildFormBlank::OfAction(p.Action) != nullptr);
    const bool children = !mdiArea_->subWindowList().isEmpty();
    for (QAction* a : {actWindowCascade, actWindowTileHorizontal, actWindowTileVertical})
        a->setEnabled(children);
    actOptions->setEnabled(optionsAllowed_ && ActionAvailable(actOptions));
    // A hint whose source went away without telling (hidden, disabled or covered by a
    // dialog while the pointer was on it) does not stay.
    if (!StatusHint().isEmpty() && !HintUnderPointer())
        ShowHint(QString());
}

// ---- actions whose windows are missing ----

QString TClientMainForm::MissingHint(const QString& hint)
{
    return hint.isEmpty() ? tr("Not available in this version.")
                          : tr("%1 - not available in this version.").arg(hint);
}

bool TClientMainForm::ActionAvailable(QAction* action) const
{
    return !missing_.contains(action);
}

void TClientMainForm::SetAvailable(QAction* action, bool available)
{
    if (available == ActionAvailable(action))
        return;
    QString hint;
    if (available) {
        hint = missing_.take(action);
    } else {
        missing_.insert(action, action->statusTip());
        hint = MissingHint(action->statusTip());
    }
    action->setStatusTip(hint);
    action->setToolTip(hint);
    action->setEnabled(available && action->isVisible());
}

void TClientMainForm::DisableMissingActions()
{
    for (QAction* action : OpeningActions())
        if (!childFactories_.contains(action))
            SetAvailable(action, false);
    for (QAction* action : DialogActions())
        if (!dialogFactories_.contains(action))
            SetAvailable(action, false);
    if (!QFileInfo::exists(HelpFile()))
        SetAvailable(actHelp, false);
}

void TClientMainForm::ShowAction(QAction* action, bool shown)
{
    action->setVisible(shown);
    action->setEnabled(shown && ActionAvailable(action));
}

bool TClientMainForm::ActionsBlocked() const
{
    return !isEnabled() || QApplication::activeModalWidget() != nullptr;
}

// ---- action handlers ----

void TClientMainForm::RunCheckedDialog(QAction* action, const std::function<void()>& run)
{
    action->setCheckable(true);
    action->setChecked(true);
    const auto uncheck = qScopeGuard([action] {
        action->setChecked(false);
        action->setCheckable(false);
    });
    run();
}

void TClientMainForm::actReceiverExecute()
{
    TClientMainDM* dm = connection_;
    if (!dm)
        return;
    // The button changes when the server reports the receiver's new state.
    if (receiverRunning_) {
        dm->ReceiverRDM.Call(dispid::ReceiverRDM::ToggleReceiver);
        return;
    }
    if (dm->AdminRDM.Call(dispid::AdminRDM::DataFormatInUse).toString().isEmpty()) {
        AddLiveLogMessage(tr("Select a data format."));
        return;
    }
    dm->ReceiverRDM.Call(dispid::ReceiverRDM::ToggleReceiver);
}

void TClientMainForm::actEnableQueueExecute()
{
    if (TClientMainDM* dm = connection_)
        dm->CommandsRDM.Call(dispid::CommandsRDM::ToggleQueue);
}

void TClientMainForm::actHelpExecute()
{
    if (QFileInfo::exists(HelpFile()))
        RunFile(HelpFile(), QString(), 1);
}

void TClientMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    SetMessageBoxParent(this);
}

void TClientMainForm::closeEvent(QCloseEvent* event)
{
    CloseChildWindows();
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        Q_EMIT Closed();
}

// ---- pictures ----

bool TClientMainForm::LoadPicture(const QString& basePath, QImage& image)
{
    const struct {
        const char* Extension;
        const char* Format;
    } kinds[] = {{".jpg", "JPEG"}, {".bmp", "BMP"}};
    for (const auto& kind : kinds) {
        const QString path = basePath + QLatin1String(kind.Extension);
        if (!QFileInfo::exists(path))
            continue;
        QImage loaded;
        // A picture that does not decode counts as absent: it is only decoration.
        if (loaded.load(path, kind.Format)) {
            image = loaded.convertToFormat(QImage::Format_RGB32);
            return true;
        }
    }
    return false;
}

// ---- the process-wide window ----

TClientMainForm* ClientMainForm()
{
    return Installed().get();
}

TClientMainForm& CreateClientMainForm()
{
    Installed() = std::make_unique<TClientMainForm>();
    return *Installed();
}

void ReleaseClientMainForm()
{
    Installed().reset();
}
