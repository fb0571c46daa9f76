#include "admin/AdminPages.h"

#include "admin/AdminDM.h"
#include "core/Errors.h"
#include "core/RegionalSettings.h"
#include "remote/RemoteDataSet.h"
#include "reports/FrameRepGrid.h"
#include "schema/CallString.h"
#include "shell/base/ClientLogs.h"
#include "widgets/MessageBoxes.h"

#include <QAction>
#include <QToolButton>
#include <QCoreApplication>

namespace {

constexpr int kKeyViolation = 9729;

QString Tr(const char* text)
{
    return QCoreApplication::translate("TAdminPage", text);
}

// A control bound to an action is switched through its action, so that the action's
// shortcut goes with it; the same holds for the controls inside a panel.
void SetControlEnabled(QWidget* control, bool enabled)
{
    auto* button = qobject_cast<QToolButton*>(control);
    if (button && button->defaultAction())
        button->defaultAction()->setEnabled(enabled);
    else
        control->setEnabled(enabled);
    for (QToolButton* inner : control->findChildren<QToolButton*>())
        if (inner->defaultAction())
            inner->defaultAction()->setEnabled(enabled);
}

void Focus(QWidget* w)
{
    if (w && w->isEnabled() && w->isVisible() && w->focusPolicy() != Qt::NoFocus)
        w->setFocus();
}

}  // namespace

TAdminPage::TAdminPage(TAdminPageSetup setup) : setup_(std::move(setup))
{
    SetEditMode(false);
}

TAdminPage::~TAdminPage() = default;

bool TAdminPage::IsEditing() const
{
    const TDataSetState state = setup_.DataSet->State();
    return state == TDataSetState::Edit || state == TDataSetState::Insert;
}

void TAdminPage::NewRow()
{
    setup_.DataSet->Append();
    SetEditMode(true);
}

void TAdminPage::EditRow()
{
    if (setup_.DataSet->IsEmpty())
        return;
    setup_.DataSet->Edit();
    SetEditMode(true);
}

void TAdminPage::CancelEdit()
{
    setup_.DataSet->Cancel();
    // A row whose saving failed was written into the dataset: its change goes too.
    if (setup_.DataSet->ChangeCount() > 0)
        setup_.DataSet->CancelUpdates();
    SetEditMode(false);
}

bool TAdminPage::SaveRow()
{
    if (!ValidateBeforeSave())
        return false;
    TRemoteDataSet& ds = *setup_.DataSet;
    try {
        if (setup_.BeforePost)
            setup_.BeforePost();
        if (IsEditing())
            ds.Post();
        ds.ApplyUpdatesOrRaise(0);
        SetEditMode(false);
        AfterSave();
        return true;
    } catch (const Exception& e) {
        ReportSaveError(e);
        if (!IsEditing() && !ds.IsEmpty())
            ds.Edit();
        return false;
    }
}

bool TAdminPage::DeleteRow()
{
    if (!ConfirmDelete())
        return false;
    TRemoteDataSet& ds = *setup_.DataSet;
    try {
        ds.Delete();
        ds.ApplyUpdatesOrRaise(0);
        return true;
    } catch (const Exception& e) {
        // The row comes back as the server still has it.
        ds.CancelUpdates();
        ReportDeleteError(e);
        return false;
    }
}

bool TAdminPage::ConfirmDelete()
{
    if (setup_.DataSet->IsEmpty())
        return false;
    const QString name = setup_.DataSet->FieldByName(QStringLiteral("NAME"))->AsString();
    return AskQuestion(setup_.DeleteQuestion.arg(name));
}

bool TAdminPage::ValidateBeforeSave()
{
    return CheckRequired();
}

bool TAdminPage::CheckRequired() const
{
    QStringList missing;
    for (TField* f : setup_.DataSet->Fields()) {
        if (!f->Required())
            continue;
        QString text = f->Text();
        while (!text.isEmpty() && text.front() <= QLatin1Char(' '))
            text.remove(0, 1);
        while (!text.isEmpty() && text.back() <= QLatin1Char(' '))
            text.chop(1);
        if (text.isEmpty())
            missing << f->DisplayName();
    }
    if (missing.isEmpty())
        return true;
    QString list = missing.takeLast();
    if (!missing.isEmpty())
        list = missing.join(QStringLiteral(", ")) + QLatin1Char(' ') + Tr("and") + QLatin1Char(' ') + list;
    ShowWarning(Tr("Please, fill in %1.").arg(list));
    return false;
}

void TAdminPage::ReportSaveError(const Exception& e)
{
    ClientLogs().Application().Add(Tr("Failed saving record. ") + e.Message(), 4);
}

void TAdminPage::ReportDeleteError(const Exception& e)
{
    ClientLogs().Application().Add(Tr("Failed deleting record. ") + e.Message(), 4);
}

bool TAdminPage::ReportedAsDuplicate(const Exception& e)
{
    const auto* db = dynamic_cast<const EDatabaseError*>(&e);
    if (!db || db->ErrorCode() != kKeyViolation)
        return false;
    ShowWarning(Tr("Such a record already exists."));
    return true;
}

void TAdminPage::SetEditMode(bool editing)
{
    for (QWidget* w : std::as_const(setup_.EditControls))
        SetControlEnabled(w, editing);
    for (QWidget* w : std::as_const(setup_.BrowseControls))
        SetControlEnabled(w, !editing);
    if (editing)
        Focus(setup_.EditFocus);
    else
        Focus(setup_.BrowseFocus);
    if (setup_.OnEditModeChanged)
        setup_.OnEditModeChanged(editing);
}

void TAdminPage::Print()
{
    if (!setup_.PrintGrid)
        return;
    const TRegionalSettings& regional = TRegionalSettings::Current();
    const QString when =
        FormatDateTime(regional.ShortDateFormat + QLatin1Char(' ') + regional.LongTimeFormat, Now());
    setup_.PrintGrid->Preview({QStringLiteral("%1 (%2)").arg(setup_.TableCaption, when)}, {}, false, true,
                              std::nullopt);
}

// ---- extensions and PIN codes ------------------------------------------------------------

TExtPinPage::TExtPinPage(TAdminPageSetup setup, TAdminDM& dm) : TAdminPage(std::move(setup)), dm_(dm) {}

void TExtPinPage::AfterSave()
{
    dm_.ExtPinSaved();
}

void TExtPinPage::ReportSaveError(const Exception& e)
{
    if (!ReportedAsDuplicate(e))
        TAdminPage::ReportSaveError(e);
}

void TExtPinPage::ReportDeleteError(const Exception& e)
{
    TAdminPage::ReportDeleteError(e);
}

void TGroupPbxPage::ReportSaveError(const Exception& e)
{
    if (!ReportedAsDuplicate(e))
        TAdminPage::ReportSaveError(e);
}

void TGroupPbxPage::ReportDeleteError(const Exception& e)
{
    TAdminPage::ReportDeleteError(e);
}

// ---- data formats and tariff rules ---------------------------------------------------------

QString TSchemasPage::CanonicalFormat(const QString& typed)
{
    QString text = typed;
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    TCallString format;
    if (text.isEmpty() || !format.Parse(text))
        return QString();
    return format.GetText();
}

bool TSchemasPage::ValidateBeforeSave()
{
    TField* text = DataSet()->FieldByName(QStringLiteral("TEXT"));
    const QString canonical = CanonicalFormat(text->AsString());
    if (canonical.isEmpty()) {
        ShowError(Tr("Invalid data format."));
        return false;
    }
    text->SetAsString(canonical);
    return CheckRequired();
}

TTariffsPage::TTariffsPage(TAdminPageSetup setup, TAdminDM& dm) : TAdminPage(std::move(setup)), dm_(dm) {}

bool TTariffsPage::ValidateBeforeSave()
{
    TField* text = DataSet()->FieldByName(QStringLiteral("TEXT"));
    const QString accepted = dm_.CheckTariffRules(text->AsString());
    text->SetAsString(accepted);
    if (accepted.isEmpty()) {
        ShowWarning(Tr("Configure tariff rules."));
        return false;
    }
    return CheckRequired();
}
