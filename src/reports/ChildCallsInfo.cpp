#include "reports/ChildCallsInfo.h"

#include "calls/DMReport.h"
#include "calls/ReportQuery.h"
#include "reportconfig/FrameCharge.h"
#include "reportconfig/FrameCount.h"
#include "reportconfig/FrameDateTime.h"
#include "reportconfig/FrameExtPin.h"
#include "reportconfig/FrameFilterSummary.h"
#include "reportconfig/FrameList.h"
#include "reportconfig/FrameOverlapSetup.h"
#include "reportconfig/FramePrint.h"
#include "reportconfig/FrameQuantityDouble.h"
#include "reportconfig/FrameReportFilter.h"
#include "reportconfig/FrameReportList.h"
#include "reportconfig/FrameSetup.h"
#include "reportconfig/FrameSimpleMode.h"
#include "reportconfig/ReportControlPanel.h"
#include "reportconfig/TreeNodeMarks.h"
#include "reports/FrameCallsRepGrid.h"
#include "shell/AccessLevel.h"
#include "shell/ImageLists.h"
#include "shell/MainFormServices.h"
#include "shell/base/AppDirs.h"
#include "shell/base/ClientLogs.h"
#include "shell/base/IniFiles32.h"
#include "widgets/MessageBoxes.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <functional>

namespace {

constexpr int NodeIndexRole = Qt::UserRole + 200;
constexpr int IdleIntervalMs = 100;
constexpr int AutoRefreshAtOpening = 1;
constexpr int AutoRefreshAfterChoosing = 2;

// The one running activity of the window at a time, cleared when it goes.
class TStatusLine {
public:
    explicit TStatusLine(TMainFormServices* services) : services_(services) {}
    ~TStatusLine() { Clear(); }
    TStatusLine(const TStatusLine&) = delete;
    TStatusLine& operator=(const TStatusLine&) = delete;

    void Show(const QString& text)
    {
        Clear();
        if (services_)
            id_ = services_->AddStatus(text);
    }
    void Clear()
    {
        if (services_ && id_ != 0)
            services_->ClearStatus(id_);
        id_ = 0;
    }

private:
    TMainFormServices* services_;
    int id_ = 0;
};

// The window busy with one activity, its status shown; when the activity ends, however it
// ends, the status goes, the window is idle again and its actions are updated.
class TBusyActivity {
public:
    TBusyActivity(bool& busy, TMainFormServices* services, std::function<void()> idle)
        : Status(services), busy_(busy), idle_(std::move(idle))
    {
        busy_ = true;
    }
    ~TBusyActivity()
    {
        Status.Clear();
        busy_ = false;
        idle_();
    }
    TBusyActivity(const TBusyActivity&) = delete;
    TBusyActivity& operator=(const TBusyActivity&) = delete;

    TStatusLine Status;

private:
    bool& busy_;
    std::function<void()> idle_;
};

QFont Tahoma()
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(13);
    return font;
}

// The node's parents are all expanded.
bool IsShownInTree(const QTreeWidgetItem* item)
{
    for (const QTreeWidgetItem* parent = item->parent(); parent; parent = parent->parent())
        if (!parent->isExpanded())
            return false;
    return true;
}

}  // namespace

TChildFormCallsInfo::TChildFormCallsInfo(TMainFormServices* owner, QAction* action,
                                         TRemoteConnection& mainConnection, TRemoteConnection& scReport,
                                         const TArchivePageFactory& createArchivePage)
    : TChildFormBlank(owner, action), main_(mainConnection)
{
    setObjectName(QStringLiteral("ChildFormCallsInfo"));
    setWindowTitle(tr("Call reports"));
    busy_ = true;
    TStatusLine status(owner);
    status.Show(tr("Starting report interface..."));
    SetLiveData(main_, false);
    try {
        setWindowIcon(MainImageList().Icon(img::Report));
        CreateActions();
        CreateView();
        CreateMenu();
        // The user sees the window while its pages load from the server.
        setWindowState(Qt::WindowMaximized);
        if (owner) {
            show();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            repaint();
        }

        dlgExport->setDirectory(QDir::currentPath());
        dm_ = std::make_unique<TReportDM>(main_, scReport);
        const int autoRefresh = SettingsFile().ReadInteger(
            QLatin1String(Section), QStringLiteral("auto_refresh"), DefaultAutoRefresh);
        runAfterChoosing_ = (autoRefresh & AutoRefreshAfterChoosing) != 0;

        grid_ = new TFrameCallsReportGrid(pnlGrid, *dm_, owner);
        grid_->SetDataset(&dm_->cdsResult);
        CreatePages(scReport, createArchivePage);
        Restore();
        connect(pages_.ReportList, &TReportListFrame::ConfigurationChosen, this,
                &TChildFormCallsInfo::ConfigurationChosen);
        connect(tvReport, &QTreeWidget::currentItemChanged, this, &TChildFormCallsInfo::tvReportChange);
        connect(tvReport, &QTreeWidget::itemCollapsed, this, &TChildFormCallsInfo::tvReportCollapsed);
        connect(tvReport, &QTreeWidget::itemExpanded, this, &TChildFormCallsInfo::tvReportExpanded);
        connect(pages_.Overlap, &TOverlapSetupFrame::Switched, this, &TChildFormCallsInfo::UpdateGrouping);

        status.Clear();
        SetLiveData(main_, true);
        busy_ = false;
        if (autoRefresh & AutoRefreshAtOpening)
            QueueRun();
    } catch (...) {
        status.Clear();
        // The first failure is the one to report; the live data are let through if the
        // server still listens.
        try {
            SetLiveData(main_, true);
        } catch (const std::exception&) {
        }
        busy_ = false;
        // The pages refer to the data module, which goes before the base window's children.
        delete widget();
        throw;
    }
    UpdateActions();
    idleTimer_->start();
}

TChildFormCallsInfo::~TChildFormCallsInfo()
{
    // The pages and the grid refer to the data module: they go first.
    delete widget();
}

// ---- view ----------------------------------------------------------------------------------------

void TChildFormCallsInfo::CreateActions()
{
    const auto newAction = [this](const char* name, const QString& caption, const QString& hint,
                                  const QList<QKeySequence>& shortcuts, int image,
                                  void (TChildFormCallsInfo::*run)()) {
        auto* a = new QAction(CommonImageList().Icon(image), caption, this);
        a->setObjectName(QLatin1String(name));
        a->setToolTip(hint);
        a->setStatusTip(hint);
        a->setShortcuts(shortcuts);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(a);
        connect(a, &QAction::triggered, this, run);
        return a;
    };
    actApply = newAction("actApply", tr("Refresh"), tr("Refresh, applying current filters."),
                         {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}, imgc::Refresh,
                         &TChildFormCallsInfo::actApplyExecute);
    actPrintPreview = newAction("actPrintPreview", tr("Preview && Print..."), tr("Preview and print report."),
                                {QKeySequence(Qt::CTRL | Qt::Key_P)}, imgc::PreviewPrint,
                                &TChildFormCallsInfo::actPrintPreviewExecute);
    actExportTXT = newAction("actExportTXT", tr("Export to TXT..."), tr("Save as tab-separated text file."),
                             {QKeySequence(Qt::CTRL | Qt::Key_X)}, imgc::ExportText,
                             &TChildFormCallsInfo::actExportTXTExecute);

    idleTimer_ = new QTimer(this);
    idleTimer_->setInterval(IdleIntervalMs);
    connect(idleTimer_, &QTimer::timeout, this, &TChildFormCallsInfo::UpdateActions);
    // Runs asked for while the window opens or a configuration is chosen come one at a time,
    // after the event that asked.
    runTimer_ = new QTimer(this);
    runTimer_->setSingleShot(true);
    runTimer_->setInterval(0);
    connect(runTimer_, &QTimer::timeout, actApply, &QAction::trigger);
}

void TChildFormCallsInfo::CreateView()
{
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("pnlContent"));
    auto* layout = new QHBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    splVertical = new QSplitter(Qt::Horizontal, content);
    splVertical->setObjectName(QStringLiteral("splVertical"));
    splVertical->setChildrenCollapsible(false);
    layout->addWidget(splVertical);

    pnlLeft = new QWidget(splVertical);
    pnlLeft->setObjectName(QStringLiteral("pnlLeft"));
    auto* left = new QVBoxLayout(pnlLeft);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(2);
    ToolBar = new QToolBar(pnlLeft);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setIconSize(QSize(TImageList::ImageSize, TImageList::ImageSize));
    ToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar->addAction(actApply);
    ToolBar->addSeparator();
    ToolBar->addAction(actPrintPreview);
    ToolBar->addAction(actExportTXT);
    const struct {
        QAction* Action;
        const char* Name;
    } buttons[] = {{actApply, "tbApply"}, {actPrintPreview, "tbPreview"}, {actExportTXT, "tbExport"}};
    for (const auto& b : buttons)
        ToolBar->widgetForAction(b.Action)->setObjectName(QLatin1String(b.Name));
    left->addWidget(ToolBar);
    CreateTree();
    left->addWidget(tvReport, 1);
    splVertical->addWidget(pnlLeft);

    pnlMain = new QWidget(splVertical);
    pnlMain->setObjectName(QStringLiteral("pnlMain"));
    auto* main = new QVBoxLayout(pnlMain);
    main->setContentsMargins(0, 0, 0, 0);
    splitterPagesCalls = new QSplitter(Qt::Vertical, pnlMain);
    splitterPagesCalls->setObjectName(QStringLiteral("splitterPagesCalls"));
    splitterPagesCalls->setChildrenCollapsible(false);
    main->addWidget(splitterPagesCalls);
    pnlControl = new TReportControlPanel(splitterPagesCalls);
    pnlControl->setObjectName(QStringLiteral("pnlControl"));
    pnlEmpty = new QLabel(tr("Please, select a more specific item from the tree on the left."), pnlControl);
    pnlEmpty->setObjectName(QStringLiteral("pnlEmpty"));
    pnlEmpty->setAlignment(Qt::AlignCenter);
    pnlEmpty->setWordWrap(true);
    splitterPagesCalls->addWidget(pnlControl);
    pnlGrid = new QWidget(splitterPagesCalls);
    pnlGrid->setObjectName(QStringLiteral("pnlGrid"));
    splitterPagesCalls->addWidget(pnlGrid);
    splitterPagesCalls->setStretchFactor(0, 0);
    splitterPagesCalls->setStretchFactor(1, 1);
    splVertical->addWidget(pnlMain);
    splVertical->setStretchFactor(0, 0);
    splVertical->setStretchFactor(1, 1);
    setWidget(content);

    dlgExport = new QFileDialog(this, tr("Save report as"));
    dlgExport->setObjectName(QStringLiteral("dlgExport"));
    dlgExport->setAcceptMode(QFileDialog::AcceptSave);
    dlgExport->setFileMode(QFileDialog::AnyFile);
    dlgExport->setDefaultSuffix(QStringLiteral("txt"));
    dlgExport->setNameFilters({tr("Plain text for Excel (*.txt)"), tr("Paged text for Excel (*.txt)")});
}

void TChildFormCallsInfo::CreateTree()
{
    tvReport = new QTreeWidget(pnlLeft);
    tvReport->setObjectName(QStringLiteral("tvReport"));
    tvReport->setHeaderHidden(true);
    tvReport->setColumnCount(1);
    tvReport->setFont(Tahoma());
    tvReport->setIconSize(QSize(imgt::Size, imgt::Size));
    tvReport->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvReport->setSelectionMode(QAbstractItemView::SingleSelection);
    tvReport->setMouseTracking(true);
    tvReport->setAttribute(Qt::WA_Hover);
    // The selection stays visible while the focus is elsewhere.
    QPalette palette = tvReport->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    tvReport->setPalette(palette);

    int next = 0;
    const auto add = [this, &next](QTreeWidgetItem* parent, const QString& caption, int image) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tvReport);
        item->setText(0, caption);
        item->setData(0, NodeIndexRole, next);
        SetNodeImages(item, image, image == imgt::FilterOff ? image + 2 : image);
        nodes_[next++] = item;
        return item;
    };
    QTreeWidgetItem* report = add(nullptr, tr("Report"), imgt::Report);
    add(report, tr("Configuration"), imgt::Configuration);
    add(report, tr("Special report"), imgt::SpecialReport);
    QTreeWidgetItem* filters = add(nullptr, tr("Filters (simple)"), imgt::SimpleMode);
    add(filters, tr("Interval"), imgt::Interval);
    QTreeWidgetItem* lists = add(filters, tr("Lists"), imgt::FilterOff);
    add(lists, tr("Extensions"), imgt::FilterOff);
    add(lists, tr("PIN Codes"), imgt::FilterOff);
    QTreeWidgetItem* selective = add(filters, tr("Selective"), imgt::FilterOff);
    for (const QString& caption :
         {tr("Phone"), tr("Call type"), tr("Trunk"), tr("Circuit"), tr("Extra code")})
        add(selective, caption, imgt::FilterOff);
    QTreeWidgetItem* quantitative = add(filters, tr("Quantitative"), imgt::FilterOff);
    for (const QString& caption : {tr("Count"), tr("Duration"), tr("Charge"), tr("Pulses")})
        add(quantitative, caption, imgt::FilterOff);
    add(nullptr, tr("Print options"), imgt::PrintOptions);
    add(nullptr, tr("Archive"), imgt::Archive);

    QList<QIcon> images;
    for (int i = 0; i < imgt::Count; ++i)
        images.append(TreeImageList().Icon(i));
    SetTreeImages(tvReport, images);
    for (QTreeWidgetItem* item : {report, lists, selective, quantitative})
        item->setExpanded(true);
}

void TChildFormCallsInfo::CreateMenu()
{
    ddmCalls = new QMenu(tr("Calls"), this);
    ddmCalls->setObjectName(QStringLiteral("ddmCalls"));
    ddmCalls->setToolTipsVisible(true);
    ddmCalls->addAction(actApply);
    ddmCalls->addSeparator();
    ddmCalls->addAction(actPrintPreview);
    ddmCalls->addAction(actExportTXT);
    SetMergedMenu(ddmCalls);
}

void TChildFormCallsInfo::CreatePages(TRemoteConnection& scReport,
                                      const TArchivePageFactory& createArchivePage)
{
    const QPointer<TFrameCallsReportGrid> grid = grid_;
    pages_ = CreateReportPages(
        pnlControl, tvReport, *dm_, scReport, [grid] { return grid ? grid->SaveLayoutState() : QString(); },
        createArchivePage);
    // Only administrators archive from here; the page itself exists at every level, so its
    // settings line keeps its place.
    if (pages_.Archive.Page && TAccess::GetLevel() == TAccess::Admin) {
        ddmCalls->addSeparator();
        if (pages_.Archive.CreateAction)
            ddmCalls->addAction(pages_.Archive.CreateAction);
    } else {
        delete nodes_[ndArchive];
        nodes_[ndArchive] = nullptr;
    }
    pnlControl->ShowPage(nullptr);
    pnlControl->show();

    // Room above the grid for the page that needs the most; lists and grids of the pages
    // scroll, so the result keeps most of the window.
    int height = 0;
    for (QWidget* page : pnlControl->Pages())
        height = qMax(height, page->minimumSizeHint().height());
    splitterPagesCalls->setSizes({height, qMax(height, 300)});
    splVertical->setSizes({qMax(pnlLeft->sizeHint().width(), 200), 1000});
}

// ---- tree and pages ------------------------------------------------------------------------------

QTreeWidgetItem* TChildFormCallsInfo::Node(int node) const
{
    return node >= 0 && node < NodeCount ? nodes_[node] : nullptr;
}

int TChildFormCallsInfo::NodeIndex(const QTreeWidgetItem* item) const
{
    return item ? item->data(0, NodeIndexRole).toInt() : -1;
}

QWidget* TChildFormCallsInfo::PageOfNode(int node) const
{
    const TReportFilterPages& f = pages_.Filters;
    switch (node) {
        case ndReport:
            return pages_.ReportList;
        case ndConfiguration:
            return pages_.Setup;
        case ndSpecialReport:
            return pages_.Overlap;
        case ndFilters:
            if (f.SimpleMode && f.SimpleMode->IsSimpleMode())
                return f.SimpleMode;
            return pages_.Summary;
        case ndInterval:
            return f.Interval;
        case ndExtensions:
            return f.Extensions;
        case ndPinCodes:
            return f.PinCodes;
        case ndPhone:
            return f.Phone;
        case ndCallType:
            return f.CallType;
        case ndTrunk:
            return f.Trunk;
        case ndCircuit:
            return f.Circuit;
        case ndExtraCode:
            return f.ExtraCode;
        case ndCount:
            return f.Count;
        case ndDuration:
            return f.Duration;
        case ndCharge:
            return f.Charge;
        case ndPulses:
            return f.Pulses;
        case ndPrintOptions:
            return pages_.Print;
        case ndArchive:
            if (pages_.Archive.Page)
                return pages_.Archive.Page;
            break;
        default:
            break;
    }
    return pnlEmpty;
}

void TChildFormCallsInfo::ShowSelectedPage()
{
    const int node = NodeIndex(tvReport->currentItem());
    if (node == ndFilters && pages_.Summary)
        pages_.Summary->RefreshSummary();
    if (node == ndArchive && pages_.Archive.RefreshFilters)
        pages_.Archive.RefreshFilters();
    pnlControl->ShowPage(node >= 0 ? PageOfNode(node) : pnlEmpty);
}

void TChildFormCallsInfo::tvReportChange(QTreeWidgetItem* current, QTreeWidgetItem* previous)
{
    if (changingNode_)
        return;
    const bool move =
        NodeIndex(current) != ndArchive ||
        AskConfirmation(
            tr("From here you can archive precisely the data in the report.\r\nThis should rarely be "
               "necessary. You are encouraged\r\nto use the standard archiver instead (menu "
               "Database->Archives)"));
    if (NodeIndex(previous) == ndConfiguration)
        UpdateGrouping();
    if (!move) {
        const QScopedValueRollback<bool> changing(changingNode_, true);
        tvReport->setCurrentItem(previous);
        return;
    }
    ShowSelectedPage();
}

void TChildFormCallsInfo::tvReportCollapsed(QTreeWidgetItem* item)
{
    if (NodeIndex(item) != ndFilters)
        return;
    TFrameSimpleModeCalls* simple = pages_.Filters.SimpleMode;
    // The simple page collapses the node itself once it is on.
    if (!simple->IsSimpleMode()) {
        if (!AskConfirmation(tr("Switching to simple mode may lose some\r\nof the configuration made it "
                                "advanced mode!"))) {
            tvReport->expandItem(item);
            return;
        }
        simple->MapFrom();
        simple->SetSimpleMode(true);
    }
    // A filter page hidden in the branch gives way to the simple page.
    if (tvReport->currentItem() && !IsShownInTree(tvReport->currentItem()))
        tvReport->setCurrentItem(item);
    ShowSelectedPage();
}

void TChildFormCallsInfo::tvReportExpanded(QTreeWidgetItem* item)
{
    if (NodeIndex(item) != ndFilters)
        return;
    TFrameSimpleModeCalls* simple = pages_.Filters.SimpleMode;
    if (simple->IsSimpleMode()) {
        simple->MapTo();
        simple->SetSimpleMode(false);
    }
    pages_.Summary->RefreshSummary();
    ShowSelectedPage();
}

// ---- state ---------------------------------------------------------------------------------------

void TChildFormCallsInfo::Restore()
{
    pnlControl->LoadStates(SettingsFile());
    pages_.Filters.SimpleMode->MapFrom();
    tvReport->setCurrentItem(nullptr);
    // The archive page is never reopened; a node the tree lacks opens the first page.
    const int stored =
        SettingsFile().ReadInteger(QLatin1String(Section), QStringLiteral("active_page"), ndReport);
    QTreeWidgetItem* node = stored == ndArchive ? nullptr : Node(stored);
    if (!node)
        node = Node(ndReport);
    // A filter hidden in the collapsed branch of simple mode: the branch itself.
    while (!IsShownInTree(node))
        node = node->parent();
    tvReport->setCurrentItem(node);
    ShowSelectedPage();
    UpdateGrouping();
}

void TChildFormCallsInfo::Save()
{
    TIniFile32& settings = SettingsFile();
    settings.WriteInteger(QLatin1String(Section), QStringLiteral("active_page"),
                          qMax(0, NodeIndex(tvReport->currentItem())));
    TFrameSimpleModeCalls* simple = pages_.Filters.SimpleMode;
    if (simple->IsSimpleMode())
        simple->MapTo();
    pnlControl->SaveStates(settings);
}

void TChildFormCallsInfo::UpdateGrouping()
{
    const bool grouped = pages_.Setup->IsGrouped();
    for (TFrameQuantityDoubleLimit* page : pages_.Filters.QuantityPages())
        page->SetTotalsAllowed(grouped);
    grid_->SetGrouped(grouped);
    grid_->SetDataset(pages_.Overlap->IsOn() ? &dm_->cdsSpecial : &dm_->cdsResult);
}

void TChildFormCallsInfo::ConfigurationChosen()
{
    pages_.ReportList->ApplyConfiguration();
    configurationChosen_ = true;
    UpdateGrouping();
    if (runAfterChoosing_)
        QueueRun();
}

void TChildFormCallsInfo::QueueRun()
{
    runTimer_->start();
}

void TChildFormCallsInfo::UpdateActions()
{
    if (busy_ || !dm_)
        return;
    const struct {
        int Group, First, Last;
    } groups[] = {{ndLists, ndExtensions, ndPinCodes},
                  {ndSelective, ndPhone, ndExtraCode},
                  {ndQuantitative, ndCount, ndPulses}};
    for (const auto& g : groups) {
        bool on = false;
        for (int child = g.First; child <= g.Last; ++child)
            on = on || IsNodeMarkedOn(Node(child));
        MarkFilterNode(Node(g.Group), on);
    }
    actApply->setEnabled(!pages_.Filters.SelectsNothing());
    const TRemoteDataSet* shown = grid_->Dataset();
    const bool rows = shown && shown->Active() && shown->RecordCount() > 0;
    actPrintPreview->setEnabled(rows);
    actExportTXT->setEnabled(rows);
    pages_.ReportList->UpdateActions();
}

// ---- run -----------------------------------------------------------------------------------------

void TChildFormCallsInfo::actApplyExecute()
{
    if (busy_)
        return;
    TBusyActivity activity(busy_, Owner(), [this] { UpdateActions(); });
    TStatusLine& status = activity.Status;
    status.Show(tr("Preparing query..."));
    UpdateGrouping();
    TFrameSimpleModeCalls* simple = pages_.Filters.SimpleMode;
    if (simple->IsSimpleMode())
        simple->MapTo();

    // The grid keeps the layout the user gave it, unless a configuration was chosen since.
    QString layout;
    if (!configurationChosen_ && dm_->cdsResult.Active()) {
        layout = grid_->SaveLayoutState();
    } else {
        layout = pages_.ReportList->CurrentGridLayout();
        configurationChosen_ = false;
    }

    TOverlapSetupFrame* overlap = pages_.Overlap;
    const bool special = overlap->IsOn();
    TCallFieldSet fields = pages_.Setup->GetSelectedFields();
    TStringArray order;
    if (special) {
        // The overlaps are found on these columns whatever the setup selects.
        fields += TCallFieldSet{cfEndTime, cfStartTime, overlap->EqualityField(), overlap->InequalityField()};
        order = overlap->GetOverlapOrderBy();
    } else {
        order = pages_.Setup->GetOrderBy();
    }
    TJoinSet joins;
    const TStringArray where = CollectConditions(pages_.Filters.DetailFilters(), joins);
    const TStringArray having = CollectConditions(pages_.Filters.TotalFilters(), joins);
    const QString sql = BuildQuery(fields, joins, where, having, order);
    Save();

    dm_->cdsResult.Close();
    status.Show(tr("Searching data..."));
    dm_->ExecuteQuery(sql);

    status.Show(tr("Loading report..."));
    // The layout goes on the result's columns; the special report takes them over.
    grid_->SetDataset(&dm_->cdsResult);
    dm_->OpenResult([this, &layout] { grid_->LoadLayoutState(layout); });
    status.Clear();

    if (special) {
        status.Show(tr("Building special report..."));
        try {
            dm_->BuildSpecialReport(overlap->Options());
            grid_->SetDataset(&dm_->cdsSpecial);
        } catch (const std::exception& e) {
            TClientLog& log = ClientLogs().Reports();
            log.Add(QStringLiteral("TChildFormCallsInfo: Error building inconsistencies."), 4);
            log.Add(QString::fromUtf8(e.what()), 3);
        }
        status.Clear();
    }
}

// ---- output --------------------------------------------------------------------------------------

QStringList TChildFormCallsInfo::TitleLines() const
{
    QStringList lines;
    const QString title = pages_.Print->CustomTitle();
    if (!title.isEmpty())
        lines.append(title);
    lines += FilterSummaryLines(pages_.Filters.DetailFilters());
    lines += FilterSummaryLines(pages_.Filters.TotalFilters());
    return lines;
}

QList<TField*> TChildFormCallsInfo::GroupFields() const
{
    QList<TField*> fields;
    if (grid_->Dataset() != &dm_->cdsResult)
        return fields;
    for (const QString& name : pages_.Setup->GetGroupColumns())
        fields.append(dm_->cdsResult.Active() ? dm_->cdsResult.FindField(name) : nullptr);
    return fields;
}

void TChildFormCallsInfo::actPrintPreviewExecute()
{
    if (busy_)
        return;
    TBusyActivity activity(busy_, Owner(), [this] { UpdateActions(); });
    TStatusLine& status = activity.Status;
    status.Show(tr("Preview..."));
    const TFramePrintOptions* print = pages_.Print;
    grid_->Preview(TitleLines(), GroupFields(), print->FirstPageTitleOnly(), print->PageNumbers(),
                   print->PrintFont());
}

void TChildFormCallsInfo::actExportTXTExecute()
{
    if (busy_)
        return;
    TBusyActivity activity(busy_, Owner(), [this] { UpdateActions(); });
    TStatusLine& status = activity.Status;
    status.Show(tr("Exporting..."));
    if (exportFileName_.isEmpty())
        exportFileName_ = AppDir() + QStringLiteral("report.txt");
    dlgExport->selectFile(exportFileName_);
    if (dlgExport->exec() != QDialog::Accepted || dlgExport->selectedFiles().isEmpty())
        return;
    exportFileName_ = dlgExport->selectedFiles().constFirst();
    const bool paged = dlgExport->nameFilters().indexOf(dlgExport->selectedNameFilter()) == 1;
    if (paged)
        grid_->ExportLayout(exportFileName_, TitleLines(), GroupFields());
    else if (grid_->Dataset())
        dm_->ExportTabText(*grid_->Dataset(), exportFileName_, TitleLines());
}

// ---- closing -------------------------------------------------------------------------------------

void TChildFormCallsInfo::closeEvent(QCloseEvent* event)
{
    if (busy_) {
        event->ignore();
        return;
    }
    TStatusLine status(Owner());
    status.Show(tr("Closing report interface..."));
    repaint();
    try {
        Save();
    } catch (...) {
        // The window stays open with what it could not keep.
        event->ignore();
        throw;
    }
    idleTimer_->stop();
    runTimer_->stop();
    TChildFormBlank::closeEvent(event);
}
