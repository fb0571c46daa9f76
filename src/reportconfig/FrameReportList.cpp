#include "reportconfig/FrameReportList.h"

#include "calls/DMReport.h"
#include "remote/DataSetModel.h"
#include "reportconfig/FrameOverlapSetup.h"
#include "reportconfig/FrameSetup.h"
#include "reportconfig/PageControls.h"
#include "widgets/MessageBoxes.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QAction* NewReportAction(QWidget* page, const char* name, const QString& caption, const QString& hint,
                         const QKeySequence& shortcut, QStyle::StandardPixmap icon)
{
    QAction* action = AddPageAction(page, name, caption, hint);
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    action->setIcon(page->style()->standardIcon(icon));
    action->setProperty("category", QStringLiteral("Report"));
    return action;
}

}  // namespace

TReportListFrame::TReportListFrame(QWidget* owner, TOverlapSetupFrame* special, TReportSetupFrame* setup,
                                   TLayoutSource gridLayout, TReportDM& reportDM)
    : TReportBaseFrame(owner),
      special_(special),
      setup_(setup),
      gridLayout_(std::move(gridLayout)),
      dm_(reportDM)
{
    actBeginSave = NewReportAction(this, "actBeginSave", tr("Save as..."), tr("Save configuration as..."),
                                   QKeySequence(Qt::CTRL | Qt::Key_S), QStyle::SP_DialogSaveButton);
    actDeleteReport = NewReportAction(this, "actDeleteReport", tr("Delete"), tr("Delete configuration"),
                                      QKeySequence(Qt::CTRL | Qt::Key_Delete), QStyle::SP_TrashIcon);
    actEndSave = NewReportAction(this, "actEndSave", tr("Save"), tr("Save"), QKeySequence(Qt::Key_Return),
                                 QStyle::SP_DialogApplyButton);
    actCancelSave = NewReportAction(this, "actCancelSave", tr("Cancel"), tr("Cancel"),
                                    QKeySequence(Qt::Key_Escape), QStyle::SP_DialogCancelButton);

    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ToolBar->addActions({actBeginSave, actDeleteReport, actEndSave, actCancelSave});

    lblReportListTitle = new QLabel(tr("Select a report:"), this);
    lblReportListTitle->setObjectName(QStringLiteral("lblReportListTitle"));
    lblEditReportName = new QLabel(tr("New report name:"), this);
    lblEditReportName->setObjectName(QStringLiteral("lblEditReportName"));
    edtReportName = new QLineEdit(this);
    edtReportName->setObjectName(QStringLiteral("edtReportName"));
    edtReportName->setMaxLength(dm_.cdsReportNAME->Size());
    lblEditReportName->setBuddy(edtReportName);
    // Enter and Esc in the name edit save or cancel; the window's Enter (Refresh) stays away.
    for (QAction* action : {actEndSave, actCancelSave}) {
        action->setShortcutContext(Qt::WidgetShortcut);
        edtReportName->addAction(action);
    }
    KeepEnterKey(edtReportName);
    connect(edtReportName, &QLineEdit::returnPressed, actEndSave, &QAction::trigger);
    connect(edtReportName, &QLineEdit::textChanged, this, &TReportListFrame::UpdateActions);

    dsReport = new TDataSetModel(this);
    dsReport->setObjectName(QStringLiteral("dsReport"));
    dsReport->SetDataSet(&dm_.cdsReport);
    grdReport = new QTableView(this);
    grdReport->setObjectName(QStringLiteral("grdReport"));
    grdReport->setModel(dsReport);
    dsReport->BindSelectionModel(grdReport->selectionModel());
    grdReport->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdReport->setSelectionMode(QAbstractItemView::SingleSelection);
    grdReport->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdReport->verticalHeader()->hide();
    grdReport->horizontalHeader()->setStretchLastSection(true);
    grdReport->setTabKeyNavigation(false);

    auto* name = new QHBoxLayout;
    name->addWidget(lblEditReportName);
    name->addWidget(edtReportName, 1);
    auto* list = new QVBoxLayout;
    list->addWidget(ToolBar);
    list->addWidget(lblReportListTitle);
    list->addLayout(name);
    list->addWidget(grdReport, 1);
    auto* page = new QHBoxLayout(this);
    page->addLayout(list, 2);
    page->addStretch(1);

    connect(actBeginSave, &QAction::triggered, this, [this] {
        if (actBeginSave->isEnabled())
            SetNameEntry(true);
    });
    connect(actCancelSave, &QAction::triggered, this, [this] { SetNameEntry(false); });
    connect(actEndSave, &QAction::triggered, this, &TReportListFrame::actEndSaveExecute);
    connect(actDeleteReport, &QAction::triggered, this, &TReportListFrame::actDeleteReportExecute);
    dm_.cdsReport.AfterScroll = [this](TRemoteDataSet&) { cdsReportAfterScroll(); };

    SetNameEntry(false);
}

TReportListFrame::~TReportListFrame()
{
    dm_.cdsReport.AfterScroll = {};
}

// ---- configurations ----------------------------------------------------------------------------

void TReportListFrame::cdsReportAfterScroll()
{
    const TDataSetState state = dm_.cdsReport.State();
    if (saving_ || state == TDataSetState::Edit || state == TDataSetState::Insert)
        return;
    Q_EMIT ConfigurationChosen();
}

void TReportListFrame::ApplyConfiguration()
{
    if (dm_.cdsReport.IsEmpty())
        return;
    setup_->LoadState(dm_.cdsReportSETUP->AsString());
    special_->LoadState(dm_.cdsReportSPECIAL->AsString());
}

QString TReportListFrame::CurrentGridLayout() const
{
    return dm_.cdsReport.IsEmpty() ? QString() : dm_.cdsReportGRID->AsString();
}

QString TReportListFrame::SaveState() const
{
    return dm_.cdsReport.IsEmpty() ? QString() : dm_.cdsReportNAME->AsString();
}

void TReportListFrame::LoadState(const QString& state)
{
    if (dm_.cdsReport.IsEmpty())
        return;
    dm_.cdsReport.Locate(QStringLiteral("NAME"), {state});
    ApplyConfiguration();
}

// ---- modes and actions -------------------------------------------------------------------------

void TReportListFrame::SetNameEntry(bool on)
{
    nameEntry_ = on;
    grdReport->setEnabled(!on);
    lblReportListTitle->setVisible(!on);
    lblEditReportName->setVisible(on);
    edtReportName->setVisible(on);
    actBeginSave->setVisible(!on);
    actDeleteReport->setVisible(!on);
    actEndSave->setVisible(on);
    actCancelSave->setVisible(on);
    if (on) {
        edtReportName->setText(dm_.cdsReport.IsEmpty() ? QString() : dm_.cdsReportNAME->AsString());
        edtReportName->selectAll();
        edtReportName->setFocus();
    } else {
        grdReport->setFocus();
    }
    UpdateActions();
}

void TReportListFrame::UpdateActions()
{
    actDeleteReport->setEnabled(!nameEntry_ && dm_.cdsReport.RecordCount() > 1);
    actBeginSave->setEnabled(!nameEntry_ && dm_.cdsResult.Active());
    // A configuration needs a name.
    actEndSave->setEnabled(nameEntry_ && !edtReportName->text().trimmed().isEmpty());
    actCancelSave->setEnabled(nameEntry_);
}

void TReportListFrame::ApplyChange()
{
    TRemoteDataSet& reports = dm_.cdsReport;
    try {
        reports.Post();
        reports.ApplyUpdatesOrRaise(-1);
    } catch (...) {
        // Nothing is kept that the server did not take.
        if (reports.State() == TDataSetState::Edit || reports.State() == TDataSetState::Insert)
            reports.Cancel();
        reports.CancelUpdates();
        throw;
    }
}

void TReportListFrame::actEndSaveExecute()
{
    if (!actEndSave->isEnabled())
        return;
    const QString name = edtReportName->text();
    TRemoteDataSet& reports = dm_.cdsReport;
    {
        const QScopedValueRollback<bool> saving(saving_, true);
        const int before = reports.CurrentRow();
        if (reports.Locate(QStringLiteral("NAME"), {name})) {
            if (!AskConfirmation(tr("Overwrite existing report configuration?") + QLatin1Char('\n') + name)) {
                // The configuration in use stays the current one.
                reports.SetCurrentRow(before);
                return;
            }
            reports.Edit();
        } else {
            reports.Append();
            dm_.cdsReportNAME->SetAsString(name);
        }
        dm_.cdsReportGRID->SetAsString(gridLayout_ ? gridLayout_() : QString());
        dm_.cdsReportSETUP->SetAsString(setup_->SaveState());
        dm_.cdsReportSPECIAL->SetAsString(special_->SaveState());
        ApplyChange();
    }
    SetNameEntry(false);
}

void TReportListFrame::actDeleteReportExecute()
{
    TRemoteDataSet& reports = dm_.cdsReport;
    if (nameEntry_ || reports.RecordCount() <= 1)
        return;
    if (!AskConfirmation(tr("Delete report configuration?") + QLatin1Char('\n') +
                         dm_.cdsReportNAME->AsString()))
        return;
    reports.Delete();
    try {
        reports.ApplyUpdatesOrRaise(-1);
    } catch (...) {
        reports.CancelUpdates();
        throw;
    }
    UpdateActions();
}
