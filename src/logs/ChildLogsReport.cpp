#include "logs/ChildLogsReport.h"

#include "reports/DynamicElements.h"
#include "reports/FrameRepGrid.h"
#include "shell/ImageLists.h"
#include "shell/MainFormServices.h"
#include "shell/base/AppDirs.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateEdit>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QSplitter>
#include <QTimeEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QString ChooseWithDialog(QWidget* parent, const QString& preset)
{
    QFileDialog dlgExport(parent, QObject::tr("Save report as"), preset, QObject::tr("Plain text for Excel (*.txt)"));
    dlgExport.setObjectName(QStringLiteral("dlgExport"));
    dlgExport.setAcceptMode(QFileDialog::AcceptSave);
    dlgExport.setDefaultSuffix(QStringLiteral("txt"));
    dlgExport.selectFile(preset);
    if (dlgExport.exec() != QDialog::Accepted || dlgExport.selectedFiles().isEmpty())
        return QString();
    return dlgExport.selectedFiles().constFirst();
}

QToolButton* SeverityButton(const char* name, const QString& caption, QWidget* parent)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(caption);
    b->setCheckable(true);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return b;
}

TDateTime Moment(const QDateEdit* date, const QTimeEdit* time)
{
    return DateTimeFromQDate(date->date()) + time->time().msecsSinceStartOfDay() / MSecsPerDay;
}

}  // namespace

TChildLogsReport::TChildLogsReport(TMainFormServices* owner, QAction* action, TRemoteConnection& scLogsReport,
                                   TRemoteModule mainRDM)
    : TChildFormBlank(owner, action), ChooseExportFile(ChooseWithDialog), dm_(scLogsReport, std::move(mainRDM))
{
    setObjectName(QStringLiteral("ChildLogsReport"));
    setWindowTitle(tr("Log reports"));
    if (owner)
        setWindowIcon(MainImageList().Icon(img::LogsReport));

    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    actApply = AddAction("actApply", tr("Apply"), tr("Search the logs"));
    actApply->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    connect(actApply, &QAction::triggered, this, &TChildLogsReport::actApplyExecute);
    actPrint = AddAction("actPrint", tr("Print"), tr("Preview and print"));
    connect(actPrint, &QAction::triggered, this, &TChildLogsReport::actPrintExecute);
    actExport = AddAction("actExport", tr("Export"), tr("Export to a text file"));
    connect(actExport, &QAction::triggered, this, &TChildLogsReport::actExportExecute);
    auto* toolBar = new QToolBar(content);
    toolBar->setObjectName(QStringLiteral("ToolBar"));
    toolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    toolBar->addActions({actApply, actPrint, actExport});
    layout->addWidget(toolBar);

    auto* pnlConditions = new QWidget(content);
    pnlConditions->setObjectName(QStringLiteral("pnlConditions"));
    auto* conditions = new QHBoxLayout(pnlConditions);

    auto* grpInterval = new QGroupBox(tr(" Show logs within this interval "), pnlConditions);
    auto* interval = new QGridLayout(grpInterval);
    dtpFromDate = new QDateEdit(QDate::currentDate(), grpInterval);
    dtpFromDate->setObjectName(QStringLiteral("dtpFromDate"));
    dtpFromTime = new QTimeEdit(QTime(0, 0), grpInterval);
    dtpFromTime->setObjectName(QStringLiteral("dtpFromTime"));
    dtpToDate = new QDateEdit(QDate::currentDate().addDays(1), grpInterval);
    dtpToDate->setObjectName(QStringLiteral("dtpToDate"));
    dtpToTime = new QTimeEdit(QTime(0, 0), grpInterval);
    dtpToTime->setObjectName(QStringLiteral("dtpToTime"));
    for (QDateEdit* d : {dtpFromDate, dtpToDate})
        d->setCalendarPopup(true);
    for (QTimeEdit* t : {dtpFromTime, dtpToTime})
        t->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    interval->addWidget(new QLabel(tr("From:"), grpInterval), 0, 0);
    interval->addWidget(dtpFromDate, 0, 1);
    interval->addWidget(dtpFromTime, 0, 2);
    interval->addWidget(new QLabel(tr("To:"), grpInterval), 1, 0);
    interval->addWidget(dtpToDate, 1, 1);
    interval->addWidget(dtpToTime, 1, 2);
    auto* left = new QVBoxLayout;
    left->addWidget(grpInterval);
    auto* grpText = new QGroupBox(tr(" Text search "), pnlConditions);
    auto* text = new QVBoxLayout(grpText);
    edtLogText = new QLineEdit(grpText);
    edtLogText->setObjectName(QStringLiteral("edtLogText"));
    text->addWidget(edtLogText);
    left->addWidget(grpText);
    conditions->addLayout(left);

    auto* grpSeverity = new QGroupBox(tr(" Severity "), pnlConditions);
    auto* severity = new QGridLayout(grpSeverity);
    btnInfo = SeverityButton("btnInfo", tr("Info"), grpSeverity);
    btnWarning = SeverityButton("btnWarning", tr("Warning"), grpSeverity);
    btnError = SeverityButton("btnError", tr("Error"), grpSeverity);
    btnBug = SeverityButton("btnBug", tr("Bug?"), grpSeverity);
    severity->addWidget(btnInfo, 0, 0);
    severity->addWidget(btnWarning, 0, 1);
    severity->addWidget(btnError, 1, 0);
    severity->addWidget(btnBug, 1, 1);
    conditions->addWidget(grpSeverity);

    auto* grpCategory = new QGroupBox(tr(" Category "), pnlConditions);
    auto* category = new QVBoxLayout(grpCategory);
    clbCategory = new QListWidget(grpCategory);
    clbCategory->setObjectName(QStringLiteral("clbCategory"));
    for (const QString& name : TLogsReportDM::Categories()) {
        auto* item = new QListWidgetItem(name, clbCategory);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    clbCategory->setMaximumHeight(130);
    chkCategoryAll = new QCheckBox(tr("Select All"), grpCategory);
    chkCategoryAll->setObjectName(QStringLiteral("chkCategoryAll"));
    category->addWidget(clbCategory);
    category->addWidget(chkCategoryAll);
    conditions->addWidget(grpCategory, 1);
    connect(clbCategory, &QListWidget::itemChanged, this, &TChildLogsReport::CategoryChanged);
    connect(chkCategoryAll, &QCheckBox::clicked, this, &TChildLogsReport::CategoryAllClicked);
    layout->addWidget(pnlConditions);

    auto* splitter = new QSplitter(Qt::Vertical, content);
    auto* pnlGrid = new QWidget(splitter);
    frgLogs = new TFrameReportGrid(pnlGrid, owner);
    frgLogs->setObjectName(QStringLiteral("frgLogs"));
    frgLogs->SetBuilders(CountTotals(tr("Logs")), {});
    frgLogs->SetDataset(&dm_.cdsResult);
    auto* grpText2 = new QGroupBox(tr(" Message text "), splitter);
    auto* message = new QVBoxLayout(grpText2);
    mmoText = new QPlainTextEdit(grpText2);
    mmoText->setObjectName(QStringLiteral("mmoText"));
    mmoText->setReadOnly(true);
    message->addWidget(mmoText);
    splitter->addWidget(pnlGrid);
    splitter->addWidget(grpText2);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);

    setWidget(content);
    resize(900, 600);

    connect(&dm_.cdsResult, &TRemoteDataSet::CurrentRowChanged, this, &TChildLogsReport::ShowEventText);
    connect(&dm_.cdsResult, &TRemoteDataSet::Reset, this, &TChildLogsReport::ShowEventText);
    UpdateActions();
}

TChildLogsReport::~TChildLogsReport() = default;

QAction* TChildLogsReport::AddAction(const char* name, const QString& caption, const QString& hint)
{
    auto* a = new QAction(caption, this);
    a->setObjectName(QLatin1String(name));
    a->setStatusTip(hint);
    a->setToolTip(hint);
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(a);
    return a;
}

TLogSearch TChildLogsReport::Search() const
{
    TLogSearch s;
    s.From = Moment(dtpFromDate, dtpFromTime);
    s.To = Moment(dtpToDate, dtpToTime);
    for (int i = 0; i < clbCategory->count(); ++i)
        if (clbCategory->item(i)->checkState() == Qt::Checked)
            s.Categories << clbCategory->item(i)->text();
    const QToolButton* buttons[] = {btnInfo, btnWarning, btnError, btnBug};
    for (int i = 0; i < 4; ++i)
        if (buttons[i]->isChecked())
            s.Severities << i + 1;
    s.Words = edtLogText->text();
    return s;
}

void TChildLogsReport::UpdateActions()
{
    const bool rows = dm_.cdsResult.Active() && !dm_.cdsResult.IsEmpty();
    actPrint->setEnabled(rows && !applying_);
    actExport->setEnabled(rows && !applying_);
}

void TChildLogsReport::ShowEventText()
{
    UpdateActions();
    if (eventTextDetached_)
        return;
    if (!dm_.cdsResult.Active() || dm_.cdsResult.IsEmpty()) {
        mmoText->clear();
        return;
    }
    mmoText->setPlainText(dm_.EventText(dm_.cdsResult.FieldByName(QStringLiteral("EVENT_ID"))->AsLargeInt()));
}

void TChildLogsReport::CategoryChanged(QListWidgetItem*)
{
    int checked = 0;
    for (int i = 0; i < clbCategory->count(); ++i)
        checked += clbCategory->item(i)->checkState() == Qt::Checked;
    const QSignalBlocker quiet(chkCategoryAll);
    chkCategoryAll->setCheckState(checked == 0                    ? Qt::Unchecked
                                  : checked == clbCategory->count() ? Qt::Checked
                                                                    : Qt::PartiallyChecked);
}

void TChildLogsReport::CategoryAllClicked()
{
    // A click never leaves the box grayed: it checks or unchecks everything.
    const Qt::CheckState state = chkCategoryAll->checkState() == Qt::Unchecked ? Qt::Unchecked : Qt::Checked;
    chkCategoryAll->setCheckState(state);
    const QSignalBlocker quiet(clbCategory);
    for (int i = 0; i < clbCategory->count(); ++i)
        clbCategory->item(i)->setCheckState(state);
}

void TChildLogsReport::actApplyExecute()
{
    if (applying_)
        return;
    applying_ = true;
    UpdateActions();
    TMainFormServices* services = Owner();
    int status = 0;
    const auto finish = qScopeGuard([this, services, &status] {
        if (services && status != 0)
            services->ClearStatus(status);
        applying_ = false;
        UpdateActions();
    });
    const auto step = [services, &status](const QString& text) {
        if (!services)
            return;
        if (status != 0)
            services->ClearStatus(status);
        status = services->AddStatus(text);
    };
    step(tr("Preparing query..."));
    const QString sql = TLogsReportDM::BuildQuery(Search());
    step(tr("Searching data..."));
    dm_.Search(sql);
    step(tr("Loading report..."));
    dm_.Load();
}

QString TChildLogsReport::PrintTitle() const
{
    const TLogSearch s = Search();
    return tr("Logs") + QLatin1Char(' ') + TLogsReportDM::IntervalSummary(s.From, s.To);
}

void TChildLogsReport::WithoutEventText(const std::function<void()>& work)
{
    eventTextDetached_ = true;
    const auto attach = qScopeGuard([this] {
        eventTextDetached_ = false;
        ShowEventText();
    });
    work();
}

void TChildLogsReport::actPrintExecute()
{
    WithoutEventText([this] { frgLogs->Preview({PrintTitle()}, {}, false, true, std::nullopt); });
}

void TChildLogsReport::actExportExecute()
{
    WithoutEventText([this] {
        const QString fileName = ChooseExportFile(this, AppDir() + QStringLiteral("log.txt"));
        if (!fileName.isEmpty())
            dm_.Export(fileName, PrintTitle());
    });
}

void TChildLogsReport::closeEvent(QCloseEvent* event)
{
    TChildFormBlank::closeEvent(event);
    if (event->isAccepted()) {
        dm_.cdsTemp.Close();
        dm_.cdsResult.Close();
    }
}
