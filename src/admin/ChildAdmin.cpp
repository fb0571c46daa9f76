#include "admin/ChildAdmin.h"

#include "admin/AdminPages.h"
#include "admin/FieldControls.h"
#include "admin/FormatTrial.h"
#include "printing/Report.h"
#include "reports/DynamicElements.h"
#include "reports/FrameRepGrid.h"
#include "schema/CallStringHelp.h"
#include "shell/ImageLists.h"
#include "widgets/MessageBoxes.h"
#include "widgets/RadioGroup.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTimeEdit>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum TTab { tabExtension, tabPinCode, tabGroups, tabPbxes, tabLimitPlan, tabSchema, tabTariffs };
enum TFilterItem { filterAll, filterPbx, filterGroup, filterLimitPlan };

QWidget* Named(QWidget* w, const QString& name)
{
    w->setObjectName(name);
    return w;
}

template <typename T>
T* Make(const QString& name, QWidget* parent = nullptr)
{
    auto* w = new T(parent);
    w->setObjectName(name);
    return w;
}

// A button that shows and runs an action.
QToolButton* ActionButton(QAction* action, QWidget* parent)
{
    auto* b = new QToolButton(parent);
    b->setDefaultAction(action);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setObjectName(QStringLiteral("btn") + action->objectName().mid(3));
    return b;
}

// The edit panel: a column of labelled controls, kept at the top.
QFormLayout* FormOf(QWidget* panel)
{
    auto* form = new QFormLayout(panel);
    form->setRowWrapPolicy(QFormLayout::WrapAllRows);
    return form;
}

QString NoAmpersands(QString text)
{
    return text.remove(QLatin1Char('&'));
}

}  // namespace

struct TChildFormAdmin::TCodeTab {
    bool PinCodes = false;
    TRemoteDataSet* DataSet = nullptr;
    QWidget* Sheet = nullptr;
    QWidget* pnlCodes = nullptr;
    TFrameReportGrid* Grid = nullptr;
    TRadioGroup* rgFilter = nullptr;
    QListWidget* lstFilter = nullptr;
    QWidget* tsCommon = nullptr;
    QWidget* pnlBlock = nullptr;
    QWidget* pnlLimit = nullptr;
    QLineEdit* edtName = nullptr;
    QLineEdit* edtNextReset = nullptr;
    QWidget* pnlNextReset = nullptr;
    QDateEdit* dtpDate = nullptr;
    QTimeEdit* dtpTime = nullptr;
};

TChildFormAdmin::TChildFormAdmin(TMainFormServices* owner, QAction* action, TRemoteConnection& adminConnection,
                                 TRemoteModule mainRDM, TRemoteModule commandsRDM)
    : TChildFormBlank(owner, action),
      extensions_(std::make_unique<TCodeTab>()),
      pinCodes_(std::make_unique<TCodeTab>())
{
    setObjectName(QStringLiteral("ChildFormAdmin"));
    if (owner)
        setWindowIcon(MainImageList().Icon(img::Admin));
    // Opening fails here, before anything is shown, when a table cannot be read.
    dm_ = std::make_unique<TAdminDM>(adminConnection, std::move(mainRDM), std::move(commandsRDM));
    links_ = new TFieldLinks(this);

    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildActions();
    ToolBar = Make<QToolBar>(QStringLiteral("ToolBar"), content);
    ToolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    ToolBar->addActions({actNew, actEdit, actDelete});
    ToolBar->addSeparator();
    ToolBar->addAction(actRefresh);
    ToolBar->addSeparator();
    ToolBar->addAction(actPreviewPrint);
    ToolBar->addSeparator();
    ToolBar->addActions({actConfirm, actCancel});
    layout->addWidget(ToolBar);
    pcAllTables = Make<QTabWidget>(QStringLiteral("pcAllTables"), content);
    layout->addWidget(pcAllTables, 1);
    setWidget(content);

    dm_->SetLiveData(false);
    try {
        BuildCodeTab(*extensions_, false);
        BuildCodeTab(*pinCodes_, true);
        BuildGroupsTab();
        BuildPbxTab();
        BuildLimitPlanTab();
        BuildSchemaTab();
        BuildTariffTab();
        BuildPages();
    } catch (...) {
        dm_->SetLiveData(true);
        throw;
    }
    dm_->SetLiveData(true);
    connect(pcAllTables, &QTabWidget::currentChanged, this, &TChildFormAdmin::TabChanged);
    pcAllTables->setCurrentIndex(tabExtension);
    TabChanged(tabExtension);
    resize(980, 620);
    actRefreshExecute();
}

TChildFormAdmin::~TChildFormAdmin()
{
    // The pages and the links refer to the datasets: they go first.
    pages_.clear();
    delete links_;
    links_ = nullptr;
}

void TChildFormAdmin::closeEvent(QCloseEvent* event)
{
    TChildFormBlank::closeEvent(event);
}

TAdminPage& TChildFormAdmin::CurrentPage() const
{
    return *pages_.at(static_cast<size_t>(pcAllTables->currentIndex()));
}

// ---- actions ---------------------------------------------------------------------------------

void TChildFormAdmin::BuildActions()
{
    auto make = [this](const char* name, const QString& caption, const QString& hint, const QKeySequence& key,
                       auto slot) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QLatin1String(name));
        a->setToolTip(hint);
        a->setStatusTip(hint);
        if (!key.isEmpty()) {
            a->setShortcut(key);
            a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        }
        addAction(a);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    actNew = make("actNew", tr("New"), tr("New"), QKeySequence(Qt::Key_Insert), [this] { CurrentPage().NewRow(); });
    actEdit = make("actEdit", tr("Edit"), tr("Edit"), QKeySequence(Qt::Key_F2), [this] { CurrentPage().EditRow(); });
    actDelete = make("actDelete", tr("Delete"), tr("Delete"), QKeySequence(Qt::Key_Delete),
                     [this] { actDeleteExecute(); });
    actRefresh = make("actRefresh", tr("Refresh"), tr("Refresh"), QKeySequence(Qt::Key_F5),
                      [this] { actRefreshExecute(); });
    actPreviewPrint = make("actPreviewPrint", tr("Print"), tr("Preview and print"), QKeySequence(Qt::CTRL | Qt::Key_P),
                           [this] { CurrentPage().Print(); });
    actConfirm = make("actConfirm", tr("Save"), tr("Save"), QKeySequence(Qt::CTRL | Qt::Key_S),
                      [this] { actConfirmExecute(); });
    actCancel = make("actCancel", tr("Cancel"), tr("Cancel"), QKeySequence(Qt::Key_Escape),
                     [this] { CurrentPage().CancelEdit(); });
    actConfirm->setEnabled(false);
    actCancel->setEnabled(false);
    actBlockExtension = make("actBlockExtension", tr("Block"), tr("Block"), {}, [this] { dm_->BlockExtension(); });
    actUnblockExtension =
        make("actUnblockExtension", tr("Unblock"), tr("Unblock"), {}, [this] { dm_->UnblockExtension(); });
    actBlockPinCode = make("actBlockPinCode", tr("Block"), tr("Block"), {}, [this] { BlockPinCode(); });
    actUnblockPinCode = make("actUnblockPinCode", tr("Unblock"), tr("Unblock"), {}, [this] { dm_->UnblockPinCode(); });
    actUseSelectedPbx =
        make("actUseSelectedPbx", tr("Use selected PBX"), tr("Use selected PBX"), {}, [this] { dm_->UseSelectedPbx(); });
    actUseSelectedSchema = make("actUseSelectedSchema", tr("Use selected format"), tr("Use selected format"), {}, [this] {
        if (!dm_->UseSelectedSchema())
            ShowError(tr("Invalid data format."));
    });
    actSchemaBuildHelp =
        make("actSchemaBuildHelp", tr("Help"), tr("Help"), {}, [] { ShowInformation(CallStringHelpText()); });
}

void TChildFormAdmin::EditModeChanged(bool editing)
{
    for (QAction* a : {actNew, actEdit, actDelete, actRefresh, actPreviewPrint})
        a->setEnabled(!editing);
    for (QAction* a : {actConfirm, actCancel})
        a->setEnabled(editing);
}

void TChildFormAdmin::TabChanged(int index)
{
    if (turningBack_)
        return;
    // No tab change while a row is being edited: the edit belongs to the tab it began on.
    if (index != shownTab_ && static_cast<size_t>(shownTab_) < pages_.size() &&
        pages_.at(static_cast<size_t>(shownTab_))->IsEditing()) {
        turningBack_ = true;
        pcAllTables->setCurrentIndex(shownTab_);
        turningBack_ = false;
        return;
    }
    shownTab_ = index;
    setWindowTitle(NoAmpersands(pcAllTables->tabText(index)));
}

void TChildFormAdmin::actDeleteExecute()
{
    if (CurrentPage().DeleteRow())
        actRefreshExecute();
}

void TChildFormAdmin::actConfirmExecute()
{
    // A control that keeps its text until it loses the focus hands it over now.
    if (QWidget* focused = focusWidget()) {
        focused->clearFocus();
        focused->setFocus();
    }
    CurrentPage().SaveRow();
    if (!CurrentPage().IsEditing())
        actRefreshExecute();
}

void TChildFormAdmin::actRefreshExecute()
{
    dm_->SetLiveData(false);
    try {
        dm_->Reload(dm_->cdsGroups);
        dm_->Reload(dm_->cdsPbx);
        dm_->Reload(dm_->cdsLimitPlan);
        RebuildFilterList(*extensions_);
        RebuildFilterList(*pinCodes_);
        dm_->Reload(dm_->cdsCallSchema);
        dm_->Reload(dm_->cdsTariffRules);
    } catch (...) {
        dm_->SetLiveData(true);
        throw;
    }
    dm_->SetLiveData(true);
}

void TChildFormAdmin::BlockPinCode()
{
    bool eraseList = false;
    if (dm_->PinBlockingErasesLists())
        eraseList = AskQuestion(tr("Erase list for this PIN code?"));
    dm_->BlockPinCode(eraseList);
}

// ---- tabs ----------------------------------------------------------------------------------

QWidget* TChildFormAdmin::BuildGridPanel(const char* gridName, TRemoteDataSet& dataSet, const QString& caption,
                                         TFrameReportGrid*& grid)
{
    auto* host = new QWidget;
    grid = new TFrameReportGrid(host, Owner());
    grid->setObjectName(QLatin1String(gridName));
    grid->SetDataset(&dataSet);
    // The printed table ends with its row count: "12 Groups".
    grid->SetBuilders(
        [&dataSet, caption](TBand& band, bool autoSize) {
            double position = 0;
            band.Add<TDynamicExpr>(band, autoSize, TPrintHandler(), 30, position,
                                   QStringLiteral("'%1 %2'").arg(dataSet.RecordCount()).arg(caption))
                ->SetAlignToBand(true);
        },
        {});
    return host;
}

void TChildFormAdmin::BuildCodeTab(TCodeTab& tab, bool pinCodes)
{
    const QString one = pinCodes ? QStringLiteral("PinCode") : QStringLiteral("Extension");
    const QString many = pinCodes ? QStringLiteral("PinCodes") : QStringLiteral("Extensions");
    auto name = [&](const char* pattern) { return QString::fromLatin1(pattern).arg(one); };
    tab.PinCodes = pinCodes;
    tab.DataSet = pinCodes ? &dm_->cdsPinCode : &dm_->cdsExtension;
    TRemoteDataSet& ds = *tab.DataSet;

    tab.Sheet = Named(new QWidget, name("ts%1"));
    auto* row = new QHBoxLayout(tab.Sheet);
    tab.pnlCodes = Named(new QWidget, QStringLiteral("pnl") + many);
    auto* left = new QVBoxLayout(tab.pnlCodes);
    left->setContentsMargins(0, 0, 0, 0);
    left->addWidget(BuildGridPanel(pinCodes ? "frgPinCode" : "frgExtension", ds,
                                   pinCodes ? tr("PIN codes") : tr("Extensions"), tab.Grid),
                    1);
    auto* pnlFilter = Named(new QWidget, QStringLiteral("pnlFilter") + many);
    auto* filterRow = new QHBoxLayout(pnlFilter);
    filterRow->setContentsMargins(0, 0, 0, 0);
    tab.rgFilter = new TRadioGroup(tr(" Filter "), {tr("Show all"), tr("By PBX"), tr("By group"), tr("By limit plan")},
                                   pnlFilter, 2);
    tab.rgFilter->setObjectName(QStringLiteral("rgFilter") + many);
    tab.rgFilter->SetItemIndex(filterAll);
    tab.lstFilter = Make<QListWidget>(QStringLiteral("lstFilter") + many, pnlFilter);
    tab.lstFilter->setMaximumHeight(110);
    tab.lstFilter->setEnabled(false);
    filterRow->addWidget(tab.rgFilter);
    filterRow->addWidget(tab.lstFilter, 1);
    left->addWidget(pnlFilter);
    connect(tab.rgFilter, &TRadioGroup::Clicked, this, [this, &tab](int) { RebuildFilterList(tab); });
    connect(tab.lstFilter, &QListWidget::currentRowChanged, this, [this, &tab](int) { ApplyFilter(tab); });

    auto* controls = Make<QTabWidget>(name("pc%1Controls"));
    controls->setMinimumWidth(280);
    controls->setMaximumWidth(320);
    tab.tsCommon = Named(new QWidget, name("ts%1ControlsCommon"));
    QFormLayout* common = FormOf(tab.tsCommon);
    auto* code = Make<QLineEdit>(name("edt%1Code"));
    tab.edtName = Make<QLineEdit>(name("edt%1Name"));
    auto* group = Make<QComboBox>(name("cmb%1GroupName"));
    auto* pbx = Make<QComboBox>(pinCodes ? QStringLiteral("cmbPinCodePBX") : QStringLiteral("cmbExtensionPBX"));
    common->addRow(pinCodes ? tr("PIN code") : tr("Extension number"), code);
    common->addRow(pinCodes ? tr("PIN code owner") : tr("Extension name"), tab.edtName);
    common->addRow(pinCodes ? tr("PIN code group") : tr("Extension group"), group);
    common->addRow(pinCodes ? tr("PIN code PBX") : tr("Extension PBX"), pbx);
    links_->Edit(code, ds.FieldByName(QStringLiteral("CODE")));
    links_->Edit(tab.edtName, ds.FieldByName(QStringLiteral("NAME")));
    links_->LookupCombo(group, ds.FieldByName(QStringLiteral("GROUP_ID")), &dm_->cdsGroups);
    links_->LookupCombo(pbx, ds.FieldByName(QStringLiteral("PBX_ID")), &dm_->cdsPbx);

    auto* limitSheet = Named(new QWidget, name("ts%1ControlsLimit"));
    auto* limitColumn = new QVBoxLayout(limitSheet);
    tab.pnlBlock = Named(new QWidget, name("pnl%1ControlsBlock"));
    auto* blockRow = new QHBoxLayout(tab.pnlBlock);
    blockRow->addWidget(new QLabel(tr("Execute a command"), tab.pnlBlock));
    blockRow->addWidget(ActionButton(pinCodes ? actBlockPinCode : actBlockExtension, tab.pnlBlock));
    blockRow->addWidget(ActionButton(pinCodes ? actUnblockPinCode : actUnblockExtension, tab.pnlBlock));
    limitColumn->addWidget(tab.pnlBlock);
    tab.pnlLimit = Named(new QWidget, name("pnl%1ControlsLimit"));
    QFormLayout* limit = FormOf(tab.pnlLimit);
    auto* plan = Make<QComboBox>(name("cmb%1LimitPlan"));
    auto* moneyLeft = Make<QLineEdit>(name("edt%1MoneyLeft"));
    tab.edtNextReset = Make<QLineEdit>(name("edt%1NextReset"));
    tab.pnlNextReset = Named(new QWidget, name("pnl%1NextReset"));
    auto* pickers = new QHBoxLayout(tab.pnlNextReset);
    pickers->setContentsMargins(0, 0, 0, 0);
    tab.dtpDate = Make<QDateEdit>(name("dtp%1NextResetDate"), tab.pnlNextReset);
    tab.dtpDate->setDateRange(QDate(2000, 1, 1), QDate(3000, 1, 1));
    tab.dtpDate->setCalendarPopup(true);
    tab.dtpTime = Make<QTimeEdit>(name("dtp%1NextResetTime"), tab.pnlNextReset);
    tab.dtpTime->setDisplayFormat(QStringLiteral("HH:mm"));
    pickers->addWidget(tab.dtpDate, 1);
    pickers->addWidget(tab.dtpTime);
    tab.pnlNextReset->hide();
    auto* periodEnd = new QWidget;
    auto* periodRow = new QVBoxLayout(periodEnd);
    periodRow->setContentsMargins(0, 0, 0, 0);
    periodRow->addWidget(tab.edtNextReset);
    periodRow->addWidget(tab.pnlNextReset);
    limit->addRow(pinCodes ? tr("PIN code limit plan") : tr("Extension limit plan"), plan);
    limit->addRow(tr("Remaining amount"), moneyLeft);
    limit->addRow(tr("End of current period"), periodEnd);
    links_->LookupCombo(plan, ds.FieldByName(QStringLiteral("LIMIT_PLAN_ID")), &dm_->cdsLimitPlan, true);
    links_->Edit(moneyLeft, ds.FieldByName(QStringLiteral("MONEY_LEFT")));
    links_->Edit(tab.edtNextReset, ds.FieldByName(QStringLiteral("NEXT_RESET")));
    tab.edtNextReset->setReadOnly(true);
    limitColumn->addWidget(tab.pnlLimit);
    limitColumn->addStretch(1);
    controls->addTab(tab.tsCommon, tr("Common"));
    controls->addTab(limitSheet, tr("Limit"));

    auto* split = new QSplitter(tab.Sheet);
    split->addWidget(tab.pnlCodes);
    split->addWidget(controls);
    split->setStretchFactor(0, 1);
    row->addWidget(split);
    pcAllTables->addTab(tab.Sheet, pinCodes ? tr("PIN &codes") : tr("&Extensions"));
}

namespace {

// A tab of a grid beside an edit panel.
QWidget* GridAndPanel(const char* sheetName, QWidget* grid, QWidget* panel)
{
    auto* sheet = Named(new QWidget, QLatin1String(sheetName));
    auto* split = new QSplitter(sheet);
    split->addWidget(grid);
    panel->setMinimumWidth(280);
    panel->setMaximumWidth(360);
    split->addWidget(panel);
    split->setStretchFactor(0, 1);
    auto* row = new QHBoxLayout(sheet);
    row->addWidget(split);
    return sheet;
}

}  // namespace

void TChildFormAdmin::BuildGroupsTab()
{
    QWidget* grid = BuildGridPanel("frgGroups", dm_->cdsGroups, tr("Groups"), frgGroups);
    pnlGroupControls = Named(new QWidget, QStringLiteral("pnlGroupControls"));
    edtGroupName = Make<QLineEdit>(QStringLiteral("edtGroupName"));
    FormOf(pnlGroupControls)->addRow(tr("Group name"), edtGroupName);
    links_->Edit(edtGroupName, dm_->cdsGroups.FieldByName(QStringLiteral("NAME")));
    pcAllTables->addTab(GridAndPanel("tsGroups", grid, pnlGroupControls), tr("&Groups"));
}

void TChildFormAdmin::BuildPbxTab()
{
    QWidget* grid = BuildGridPanel("frgPbxes", dm_->cdsPbx, tr("PBXes"), frgPbxes);
    auto* panel = new QWidget;
    auto* column = new QVBoxLayout(panel);
    pnlPbxActionControls = Named(new QWidget, QStringLiteral("pnlPbxActionControls"));
    auto* actions = new QHBoxLayout(pnlPbxActionControls);
    actions->addWidget(ActionButton(actUseSelectedPbx, pnlPbxActionControls));
    actions->addStretch(1);
    pnlPbxEditControls = Named(new QWidget, QStringLiteral("pnlPbxEditControls"));
    edtPbxName = Make<QLineEdit>(QStringLiteral("edtPbxName"));
    FormOf(pnlPbxEditControls)->addRow(tr("PBX name"), edtPbxName);
    links_->Edit(edtPbxName, dm_->cdsPbx.FieldByName(QStringLiteral("NAME")));
    column->addWidget(pnlPbxActionControls);
    column->addWidget(pnlPbxEditControls);
    column->addStretch(1);
    pcAllTables->addTab(GridAndPanel("tsPbxes", grid, panel), tr("&PBX list"));
}

void TChildFormAdmin::BuildLimitPlanTab()
{
    QWidget* grid = BuildGridPanel("frgLimitPlan", dm_->cdsLimitPlan, tr("Limit plan"), frgLimitPlan);
    pnlLimitPlanControls = Named(new QWidget, QStringLiteral("pnlLimitPlanControls"));
    QFormLayout* form = FormOf(pnlLimitPlanControls);
    edtLimitPlanName = Make<QLineEdit>(QStringLiteral("edtLimitPlanName"));
    edtMoneyLimit = Make<QLineEdit>(QStringLiteral("edtMoneyLimit"));
    cmbResetInterval = Make<QComboBox>(QStringLiteral("cmbResetInterval"));
    for (const TAdminDM::TResetInterval& r : dm_->ResetIntervals())
        cmbResetInterval->addItem(r.Text);
    form->addRow(tr("Limit plan name"), edtLimitPlanName);
    form->addRow(tr("Maximum amount"), edtMoneyLimit);
    form->addRow(tr("Time period"), cmbResetInterval);
    TRemoteDataSet& ds = dm_->cdsLimitPlan;
    links_->Edit(edtLimitPlanName, ds.FieldByName(QStringLiteral("NAME")));
    links_->Edit(edtMoneyLimit, ds.FieldByName(QStringLiteral("MONEY_LIMIT")));
    links_->TextCombo(cmbResetInterval, ds.FieldByName(QStringLiteral("RESET_INTERVAL")));
    pcAllTables->addTab(GridAndPanel("tsLimitPlan", grid, pnlLimitPlanControls), tr("&Limit plans"));
}

void TChildFormAdmin::BuildSchemaTab()
{
    QWidget* grid = BuildGridPanel("frgCallStringSchema", dm_->cdsCallSchema, tr("Data format"), frgCallStringSchema);
    auto* panel = new QWidget;
    auto* column = new QVBoxLayout(panel);
    pnlSchemaActionControls = Named(new QWidget, QStringLiteral("pnlSchemaActionControls"));
    auto* actions = new QHBoxLayout(pnlSchemaActionControls);
    actions->addWidget(ActionButton(actUseSelectedSchema, pnlSchemaActionControls));
    actions->addWidget(ActionButton(actSchemaBuildHelp, pnlSchemaActionControls));
    actions->addStretch(1);
    pnlSchemaEditControls = Named(new QWidget, QStringLiteral("pnlSchemaEditControls"));
    QFormLayout* form = FormOf(pnlSchemaEditControls);
    edtSchemaName = Make<QLineEdit>(QStringLiteral("edtSchemaName"));
    mmoSchemaText = Make<QPlainTextEdit>(QStringLiteral("mmoSchemaText"));
    mmoSchemaText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmoSchemaText->setMinimumHeight(140);
    form->addRow(tr("Format Name"), edtSchemaName);
    form->addRow(tr("Format definition"), mmoSchemaText);
    TRemoteDataSet& ds = dm_->cdsCallSchema;
    links_->Edit(edtSchemaName, ds.FieldByName(QStringLiteral("NAME")));
    links_->Memo(mmoSchemaText, ds.FieldByName(QStringLiteral("TEXT")));

    // The trial: what a line of the exchange gives under the format as it stands.
    auto* trial = Named(new QWidget, QStringLiteral("pnlSchemaTrial"));
    QFormLayout* trialForm = FormOf(trial);
    edtSchemaSample = Make<QLineEdit>(QStringLiteral("edtSchemaSample"));
    edtSchemaSample->setPlaceholderText(tr("A line as the exchange sends it"));
    lblSchemaTrial = Make<QLabel>(QStringLiteral("lblSchemaTrial"));
    lblSchemaTrial->setWordWrap(true);
    lstSchemaTrial = Make<QTreeWidget>(QStringLiteral("lstSchemaTrial"));
    lstSchemaTrial->setHeaderLabels({tr("Field"), tr("Value")});
    lstSchemaTrial->setRootIsDecorated(false);
    lstSchemaTrial->setMinimumHeight(120);
    trialForm->addRow(tr("Try on a line"), edtSchemaSample);
    trialForm->addRow(lblSchemaTrial);
    trialForm->addRow(lstSchemaTrial);
    connect(edtSchemaSample, &QLineEdit::textChanged, this, &TChildFormAdmin::ShowFormatTrial);
    connect(mmoSchemaText, &QPlainTextEdit::textChanged, this, &TChildFormAdmin::ShowFormatTrial);
    ShowFormatTrial();

    column->addWidget(pnlSchemaActionControls);
    column->addWidget(pnlSchemaEditControls, 1);
    column->addWidget(trial);
    auto* sheet = GridAndPanel("tsCallStringSchema", grid, panel);
    panel->setMaximumWidth(440);
    pcAllTables->addTab(sheet, tr("&Data formats"));
}

void TChildFormAdmin::ShowFormatTrial()
{
    const TFormatTrial trial = TryFormat(mmoSchemaText->toPlainText(), edtSchemaSample->text());
    lblSchemaTrial->setText(trial.Message);
    lstSchemaTrial->clear();
    for (const auto& [label, value] : trial.Fields)
        lstSchemaTrial->addTopLevelItem(new QTreeWidgetItem(QStringList{label, value}));
    lstSchemaTrial->resizeColumnToContents(0);
}

void TChildFormAdmin::BuildTariffTab()
{
    QWidget* grid = BuildGridPanel("frgTariffRules", dm_->cdsTariffRules, tr("Tariffs"), frgTariffRules);
    pnlTariffRulesControls = Named(new QWidget, QStringLiteral("pnlTariffRulesControls"));
    QFormLayout* form = FormOf(pnlTariffRulesControls);
    edtTariffName = Make<QLineEdit>(QStringLiteral("edtTariffName"));
    form->addRow(tr("Tariff Name"), edtTariffName);
    auto* buttons = new QWidget;
    auto* row = new QHBoxLayout(buttons);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(tr("Traiff rules"), buttons));
    row->addStretch(1);
    auto* newTemplate = Make<QPushButton>(QStringLiteral("btnNewTemplateRule"), buttons);
    newTemplate->setText(tr("New Template"));
    auto* newEmpty = Make<QPushButton>(QStringLiteral("btnNewEmptyRule"), buttons);
    newEmpty->setText(tr("New Empty"));
    row->addWidget(newTemplate);
    row->addWidget(newEmpty);
    form->addRow(buttons);
    mmoTariffRule = Make<QPlainTextEdit>(QStringLiteral("mmoTariffRule"));
    mmoTariffRule->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    form->addRow(mmoTariffRule);
    connect(newTemplate, &QPushButton::clicked, this, [this] { NewTariffText(true); });
    connect(newEmpty, &QPushButton::clicked, this, [this] { NewTariffText(false); });
    TRemoteDataSet& ds = dm_->cdsTariffRules;
    links_->Edit(edtTariffName, ds.FieldByName(QStringLiteral("NAME")));
    links_->Memo(mmoTariffRule, ds.FieldByName(QStringLiteral("TEXT")));
    auto* sheet = GridAndPanel("tsTariffRules", grid, pnlTariffRulesControls);
    pnlTariffRulesControls->setMaximumWidth(440);
    pcAllTables->addTab(sheet, tr("&Tariff rules"));
}

void TChildFormAdmin::NewTariffText(bool templateRule)
{
    const QString crlf = QStringLiteral("\r\n");
    const QString added =
        templateRule ? crlf + QStringLiteral("{ ") + tr("Use this rule template. Delete unnecessary lines.") +
                           QStringLiteral(" }") + crlf + crlf + dm_->TariffRuleTemplate()
                     : crlf + dm_->EmptyTariffRule();
    // The memo keeps line feeds only; the field takes its text as the memo shows it.
    QString shown = added;
    shown.replace(crlf, QStringLiteral("\n"));
    const int start = static_cast<int>(mmoTariffRule->toPlainText().size());
    QTextCursor cursor = mmoTariffRule->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown);
    mmoTariffRule->setTextCursor(cursor);
    mmoTariffRule->ensureCursorVisible();
    cursor.setPosition(start);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    mmoTariffRule->setTextCursor(cursor);
}

// ---- pages -----------------------------------------------------------------------------------

void TChildFormAdmin::BuildPages()
{
    auto grid = [](TFrameReportGrid* frame) -> QWidget* { return frame->findChild<QTableView*>(QStringLiteral("Grid")); };
    auto editMode = [this](bool editing) { EditModeChanged(editing); };
    for (TCodeTab* tab : {extensions_.get(), pinCodes_.get()}) {
        TAdminPageSetup s;
        s.DataSet = tab->DataSet;
        s.EditControls = {tab->tsCommon, tab->pnlLimit};
        s.BrowseControls = {tab->pnlCodes, tab->pnlBlock};
        s.EditFocus = tab->edtName;
        s.BrowseFocus = grid(tab->Grid);
        s.DeleteQuestion = tab->PinCodes ? tr("Delete PIN code \"%1\"?") : tr("Delete extension \"%1\"?");
        s.TableCaption = tab->PinCodes ? tr("PIN codes") : tr("Extensions");
        s.PrintGrid = tab->Grid;
        s.OnEditModeChanged = [this, tab, editMode](bool editing) {
            StartPeriodEditing(*tab, editing);
            editMode(editing);
        };
        s.BeforePost = [this, tab] { TakePickedPeriodEnd(*tab); };
        pages_.push_back(std::make_unique<TExtPinPage>(std::move(s), *dm_));
    }
    const QString andAll = QStringLiteral("\r\n") + tr("AND ALL ITS EXTENSIONS AND PIN CODES?");
    auto setup = [&](TRemoteDataSet& ds, QList<QWidget*> browse, QWidget* edit, QWidget* focus, TFrameReportGrid* frame,
                     const QString& question, const QString& caption) {
        TAdminPageSetup s;
        s.DataSet = &ds;
        s.BrowseControls = std::move(browse);
        s.EditControls = {edit};
        s.EditFocus = focus;
        s.BrowseFocus = grid(frame);
        s.DeleteQuestion = question;
        s.TableCaption = caption;
        s.PrintGrid = frame;
        s.OnEditModeChanged = editMode;
        return s;
    };
    pages_.push_back(std::make_unique<TGroupPbxPage>(setup(dm_->cdsGroups, {frgGroups}, pnlGroupControls, edtGroupName,
                                                           frgGroups, tr("Delete group \"%1\"") + andAll, tr("Groups"))));
    pages_.push_back(std::make_unique<TGroupPbxPage>(setup(dm_->cdsPbx, {frgPbxes, pnlPbxActionControls},
                                                           pnlPbxEditControls, edtPbxName, frgPbxes,
                                                           tr("Delete PBX \"%1\"") + andAll, tr("PBXes"))));
    pages_.push_back(std::make_unique<TAdminPage>(
        setup(dm_->cdsLimitPlan, {frgLimitPlan}, pnlLimitPlanControls, edtLimitPlanName, frgLimitPlan,
              tr("All extensions and PIN codes using this limit plan") + QStringLiteral("\r\n") +
                  tr("will become UNLIMITED.") + QStringLiteral("\r\n\r\n") + tr("Delete limit plan \"%1\"?"),
              tr("Limit plan"))));
    pages_.push_back(std::make_unique<TSchemasPage>(setup(dm_->cdsCallSchema,
                                                          {frgCallStringSchema, pnlSchemaActionControls},
                                                          pnlSchemaEditControls, edtSchemaName, frgCallStringSchema,
                                                          tr("Delete data format \"%1\"?"), tr("Data format"))));
    pages_.push_back(std::make_unique<TTariffsPage>(setup(dm_->cdsTariffRules, {frgTariffRules}, pnlTariffRulesControls,
                                                          edtTariffName, frgTariffRules,
                                                          tr("Delete tariff rules \"%1\"?"), tr("Tariffs")),
                                                    *dm_));
}

// ---- extension and PIN code lists ------------------------------------------------------------

void TChildFormAdmin::RebuildFilterList(TCodeTab& tab)
{
    const int by = tab.rgFilter->ItemIndex();
    QListWidget* list = tab.lstFilter;
    QVariant remembered;
    if (list->currentItem())
        remembered = list->currentItem()->data(Qt::UserRole);
    else if (list->count() > 0)
        remembered = list->item(0)->data(Qt::UserRole);
    {
        const QSignalBlocker quiet(list);
        list->clear();
        TRemoteDataSet* source = by == filterPbx     ? &dm_->cdsPbx
                                 : by == filterGroup ? &dm_->cdsGroups
                                 : by == filterLimitPlan ? &dm_->cdsLimitPlan
                                                         : nullptr;
        if (source) {
            const TField* id = source->FieldByName(QStringLiteral("ID"));
            const TField* name = source->FieldByName(QStringLiteral("NAME"));
            for (int row = 0; row < source->RecordCount(); ++row) {
                auto* item = new QListWidgetItem(source->TextAt(row, *name), list);
                item->setData(Qt::UserRole, source->ValueAt(row, *id));
            }
            int selected = 0;
            for (int i = 0; i < list->count(); ++i)
                if (remembered.isValid() && list->item(i)->data(Qt::UserRole) == remembered)
                    selected = i;
            if (list->count() > 0)
                list->setCurrentRow(selected);
        }
        list->setEnabled(list->count() > 0);
    }
    ApplyFilter(tab);
}

void TChildFormAdmin::ApplyFilter(TCodeTab& tab)
{
    const int by = tab.rgFilter->ItemIndex();
    const QListWidgetItem* item = tab.lstFilter->currentItem();
    const TAdminDM::TCodeList list = tab.PinCodes ? TAdminDM::TCodeList::PinCodes : TAdminDM::TCodeList::Extensions;
    if (by == filterAll || !item) {
        dm_->SetFilter(list, TAdminDM::TFilterBy::All, 0);
        return;
    }
    const TAdminDM::TFilterBy filter = by == filterPbx     ? TAdminDM::TFilterBy::Pbx
                                       : by == filterGroup ? TAdminDM::TFilterBy::Group
                                                           : TAdminDM::TFilterBy::LimitPlan;
    dm_->SetFilter(list, filter, item->data(Qt::UserRole).toInt());
}

void TChildFormAdmin::StartPeriodEditing(TCodeTab& tab, bool editing)
{
    if (editing) {
        const TField* next = tab.DataSet->FieldByName(QStringLiteral("NEXT_RESET"));
        const QDateTime at = next->IsNull() ? QDateTime(QDate::currentDate(), QTime(0, 0))
                                            : DateTimeToQDateTime(next->AsDateTime());
        tab.dtpDate->setDate(at.date());
        tab.dtpTime->setTime(QTime(at.time().hour(), at.time().minute()));
    }
    tab.edtNextReset->setVisible(!editing);
    tab.pnlNextReset->setVisible(editing);
}

void TChildFormAdmin::TakePickedPeriodEnd(TCodeTab& tab)
{
    const QDateTime at(tab.dtpDate->date(), tab.dtpTime->time());
    tab.DataSet->FieldByName(QStringLiteral("NEXT_RESET"))->SetAsDateTime(DateTimeFromQDateTime(at));
}
