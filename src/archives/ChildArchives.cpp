#include "archives/ChildArchives.h"

#include "core/DateTime.h"
#include "core/Errors.h"
#include "reports/DynamicElements.h"
#include "reports/FrameRepGrid.h"
#include "shell/ImageLists.h"
#include "shell/base/AppDirs.h"
#include "shell/base/ClientLogs.h"
#include "widgets/MessageBoxes.h"

#include <QAction>
#include <QCloseEvent>
#include <QDateEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QString Trimmed(const QString& text)
{
    // Blanks and control characters go at both ends.
    qsizetype first = 0, last = text.size();
    while (first < last && text.at(first) <= QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) <= QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

QDateEdit* DatePicker(const char* name, QWidget* parent)
{
    auto* d = new QDateEdit(parent);
    d->setObjectName(QLatin1String(name));
    d->setDisplayFormat(QLocale().dateFormat(QLocale::LongFormat));
    d->setDateRange(QDate(2000, 1, 1), QDate(3000, 1, 1));
    d->setCalendarPopup(true);
    return d;
}

QString ChooseWithDialog(QWidget* parent)
{
    QFileDialog dlgOpenArchive(parent, QObject::tr("Locate archive file"), ArchivesDir(),
                               QObject::tr("Telvane Control Calls Archive (*.tvz)"));
    dlgOpenArchive.setObjectName(QStringLiteral("dlgOpenArchive"));
    dlgOpenArchive.setFileMode(QFileDialog::ExistingFile);
    dlgOpenArchive.setDefaultSuffix(QStringLiteral("tvz"));
    dlgOpenArchive.selectFile(QStringLiteral("*.tvz"));
    if (dlgOpenArchive.exec() != QDialog::Accepted || dlgOpenArchive.selectedFiles().isEmpty())
        return QString();
    return dlgOpenArchive.selectedFiles().constFirst();
}

}  // namespace

TChildFormArchives::TChildFormArchives(TMainFormServices* owner, QAction* action, TRemoteConnection& scArchives)
    : TChildFormBlank(owner, action), ChooseArchiveFile(ChooseWithDialog), dm_(scArchives)
{
    setObjectName(QStringLiteral("ChildFormArchives"));
    setWindowTitle(tr("Archives"));
    if (owner)
        setWindowIcon(MainImageList().Icon(img::Archives));

    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    actNew = AddAction("actNew", tr("Create"), tr("Create archive for a time interval"), Qt::Key_Insert,
                       &TChildFormArchives::actNewExecute);
    actImport = AddAction("actImport", tr("Import"), tr("Import archive"), QKeySequence(Qt::CTRL | Qt::Key_Insert),
                          &TChildFormArchives::actImportExecute);
    actExternalImport = AddAction("actExternalImport", tr("Import external"),
                                  tr("Import archive not listed in table"), QKeySequence(),
                                  &TChildFormArchives::actExternalImportExecute);
    actRename = AddAction("actRename", tr("Rename"), tr("Rename archive"), Qt::Key_F2,
                          &TChildFormArchives::actRenameExecute);
    actDelete = AddAction("actDelete", tr("Delete"), tr("Delete entry for imported archive"),
                          QKeySequence(Qt::SHIFT | Qt::Key_Delete), &TChildFormArchives::actDeleteExecute);
    actClearData = AddAction("actClearData", tr("Clear"), tr("Clear imported data from database"),
                             QKeySequence(Qt::CTRL | Qt::Key_Delete), &TChildFormArchives::actClearDataExecute);
    actRefresh = AddAction("actRefresh", tr("Refresh"), tr("Refresh"), Qt::Key_F5,
                           &TChildFormArchives::actRefreshExecute);
    actPreviewPrint = AddAction("actPreviewPrint", tr("Print"), tr("Preview and print"),
                                QKeySequence(Qt::CTRL | Qt::Key_P), &TChildFormArchives::actPreviewPrintExecute);
    actConfirm = AddAction("actConfirm", tr("Save"), tr("Save"), QKeySequence(Qt::CTRL | Qt::Key_S),
                           &TChildFormArchives::actConfirmExecute);
    actCancel = AddAction("actCancel", tr("Cancel"), tr("Cancel"), Qt::Key_Escape,
                          &TChildFormArchives::actCancelExecute);

    ToolBar = new QToolBar(content);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    for (QAction* a : {actNew, actImport, actExternalImport, actRename, actDelete, actClearData})
        ToolBar->addAction(a);
    ToolBar->addSeparator();
    ToolBar->addAction(actRefresh);
    ToolBar->addSeparator();
    ToolBar->addAction(actPreviewPrint);
    ToolBar->addSeparator();
    ToolBar->addAction(actConfirm);
    ToolBar->addAction(actCancel);
    layout->addWidget(ToolBar);

    auto* body = new QHBoxLayout;
    auto* pnlGrid = new QWidget(content);
    frgArchives = new TFrameReportGrid(pnlGrid, owner);
    frgArchives->setObjectName(QStringLiteral("frgArchives"));
    frgArchives->SetBuilders(CountTotals(tr("Archives")), {});
    body->addWidget(pnlGrid, 1);

    pnlArchivesControls = new QWidget(content);
    pnlArchivesControls->setObjectName(QStringLiteral("pnlArchivesControls"));
    pnlArchivesControls->setFixedWidth(260);
    auto* controls = new QVBoxLayout(pnlArchivesControls);
    pnlFromTo = new QWidget(pnlArchivesControls);
    pnlFromTo->setObjectName(QStringLiteral("pnlFromTo"));
    auto* fromTo = new QVBoxLayout(pnlFromTo);
    fromTo->setContentsMargins(0, 0, 0, 0);
    fromTo->addWidget(new QLabel(tr("Time interval (including):"), pnlFromTo));
    dtpFrom = DatePicker("dtpFrom", pnlFromTo);
    dtpTo = DatePicker("dtpTo", pnlFromTo);
    fromTo->addWidget(new QLabel(tr("From:"), pnlFromTo));
    fromTo->addWidget(dtpFrom);
    fromTo->addWidget(new QLabel(tr("To:"), pnlFromTo));
    fromTo->addWidget(dtpTo);
    controls->addWidget(pnlFromTo);
    controls->addWidget(new QLabel(tr("Comment:"), pnlArchivesControls));
    mmoComment = new QPlainTextEdit(pnlArchivesControls);
    mmoComment->setObjectName(QStringLiteral("mmoComment"));
    mmoComment->setMaximumHeight(90);
    controls->addWidget(mmoComment);
    controls->addWidget(new QLabel(tr("Filters:"), pnlArchivesControls));
    mmoFilters = new QPlainTextEdit(pnlArchivesControls);
    mmoFilters->setObjectName(QStringLiteral("mmoFilters"));
    mmoFilters->setReadOnly(true);
    controls->addWidget(mmoFilters, 1);
    body->addWidget(pnlArchivesControls);
    layout->addLayout(body, 1);

    setWidget(content);
    resize(900, 460);

    connect(&dm_.cdsArchives, &TRemoteDataSet::CurrentRowChanged, this, &TChildFormArchives::ShowCurrent);
    connect(&dm_.cdsArchives, &TRemoteDataSet::Reset, this, &TChildFormArchives::ShowCurrent);
    dm_.Open();
    frgArchives->SetDataset(&dm_.cdsArchives);
    SetEditMode(false);
    ShowCurrent();
}

TChildFormArchives::~TChildFormArchives() = default;

QAction* TChildFormArchives::AddAction(const char* name, const QString& caption, const QString& hint,
                                       const QKeySequence& key, void (TChildFormArchives::*handler)())
{
    auto* a = new QAction(caption, this);
    a->setObjectName(QLatin1String(name));
    a->setStatusTip(hint);
    a->setToolTip(hint);
    a->setShortcut(key);
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(a);
    connect(a, &QAction::triggered, this, [this, handler] {
        (this->*handler)();
        UpdateActions();
    });
    return a;
}

bool TChildFormArchives::Creating() const
{
    return editing_ && !pnlFromTo->isHidden();
}

void TChildFormArchives::SetEditMode(bool edit)
{
    editing_ = edit;
    pnlArchivesControls->setEnabled(edit);
    frgArchives->setEnabled(!edit);
    if (edit) {
        if (isVisible() && mmoComment->focusPolicy() != Qt::NoFocus)
            mmoComment->setFocus();
    } else {
        pnlFromTo->hide();
        if (QWidget* grid = frgArchives->findChild<QTableView*>(QStringLiteral("Grid")))
            grid->setFocus();
    }
    UpdateActions();
}

void TChildFormArchives::UpdateActions()
{
    const bool browse = !editing_;
    const bool hasId = dm_.CurrentId() != 0;
    actNew->setEnabled(browse);
    actExternalImport->setEnabled(browse);
    actRefresh->setEnabled(browse);
    actRename->setEnabled(browse && hasId);
    actPreviewPrint->setEnabled(browse && hasId);
    actConfirm->setEnabled(editing_);
    actCancel->setEnabled(editing_);
    const TDataSetState state = dm_.cdsArchives.State();
    const bool listed = hasId && state != TDataSetState::Insert && state != TDataSetState::Edit;
    const bool imported = listed && !dm_.cdsArchives.FieldByName(QStringLiteral("IMPORTED"))->IsNull();
    actImport->setEnabled(listed && !imported);
    actDelete->setEnabled(imported);
    actClearData->setEnabled(imported);
}

void TChildFormArchives::ShowCurrent()
{
    if (!editing_) {
        const bool any = dm_.cdsArchives.Active() && !dm_.cdsArchives.IsEmpty();
        mmoComment->setPlainText(any ? dm_.cdsArchives.FieldByName(QStringLiteral("COMMENT"))->AsString() : QString());
        mmoFilters->setPlainText(any ? dm_.cdsArchives.FieldByName(QStringLiteral("clcFILTERS"))->AsString()
                                     : QString());
    }
    UpdateActions();
}

void TChildFormArchives::actNewExecute()
{
    dm_.cdsArchives.Append();
    mmoComment->clear();
    mmoFilters->clear();
    SetEditMode(true);
    dtpFrom->setDate(QDate::currentDate());
    dtpTo->setDate(QDate::currentDate());
    pnlFromTo->show();
    dtpFrom->setFocus();
}

void TChildFormArchives::actRenameExecute()
{
    dm_.cdsArchives.Edit();
    SetEditMode(true);
}

void TChildFormArchives::actConfirmExecute()
{
    // A pending edit in a picker reaches its value when the focus leaves it.
    if (QWidget* focused = focusWidget()) {
        focused->clearFocus();
        focused->setFocus();
    }
    const QString comment = Trimmed(mmoComment->toPlainText());
    if (comment.isEmpty()) {
        ShowWarning(tr("Please, enter a comment."));
        mmoComment->setFocus();
        return;
    }
    if (Creating()) {
        if (!AskConfirmation(tr("Ready to create archive.\r\nArchived data WILL BE DELETED from the database.")))
            return;
        dm_.cdsArchives.Cancel();
        SetEditMode(false);
        dm_.Create(comment, dtpFrom->date(), dtpTo->date());
        return;
    }
    dm_.cdsArchives.FieldByName(QStringLiteral("COMMENT"))->SetAsString(mmoComment->toPlainText().trimmed());
    dm_.cdsArchives.Post();
    SetEditMode(false);
    dm_.ApplyNow();
    ShowCurrent();
}

void TChildFormArchives::actCancelExecute()
{
    dm_.cdsArchives.Cancel();
    SetEditMode(false);
    ShowCurrent();
}

void TChildFormArchives::actImportExecute()
{
    const QString error = dm_.Import(dm_.CurrentId());
    if (!error.isEmpty())
        ShowError(error);
}

void TChildFormArchives::actExternalImportExecute()
{
    const QString path = ChooseArchiveFile(this);
    if (path.isEmpty())
        return;
    const QString error = dm_.ImportExternal(path);
    if (!error.isEmpty())
        ShowError(error);
}

void TChildFormArchives::actDeleteExecute()
{
    if (dm_.CurrentId() == 0)
        return;
    const QString comment = dm_.cdsArchives.FieldByName(QStringLiteral("COMMENT"))->AsString();
    if (!AskQuestion(tr("Delete entry for imported archive \"%1\"?").arg(comment)))
        return;
    try {
        dm_.cdsArchives.Delete();
        dm_.ApplyNow();
    } catch (const Exception& e) {
        const QString text = tr("Failed deleting archive. ") + e.Message();
        ClientLogs().Application().Add(text, 4);
        ShowError(text);
    }
    ShowCurrent();
}

void TChildFormArchives::actClearDataExecute()
{
    if (dm_.CurrentId() == 0)
        return;
    const QString comment = dm_.cdsArchives.FieldByName(QStringLiteral("COMMENT"))->AsString();
    if (!AskQuestion(tr("Clear data imported from archive \"%1\"?").arg(comment)))
        return;
    try {
        dm_.Clear(dm_.CurrentId());
    } catch (const Exception& e) {
        const QString text = tr("Failed clearing archive data. ") + e.Message();
        ClientLogs().Application().Add(text, 4);
        ShowError(text);
    }
}

void TChildFormArchives::actRefreshExecute()
{
    dm_.Refresh();
    SetEditMode(false);
    ShowCurrent();
}

void TChildFormArchives::actPreviewPrintExecute()
{
    const QString title = tr("Archives") + QStringLiteral(" (") + DateTimeToDefaultText(Now()) + QStringLiteral(")");
    frgArchives->Preview({title}, {}, false, true, std::nullopt);
}

void TChildFormArchives::closeEvent(QCloseEvent* event)
{
    TChildFormBlank::closeEvent(event);
    if (event->isAccepted())
        dm_.cdsArchives.Close();
}
