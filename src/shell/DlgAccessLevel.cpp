#include "shell/DlgAccessLevel.h"

#include "shell/AccessLevel.h"
#include "shell/ImageLists.h"
#include "shell/base/ClientLogs.h"
#include "widgets/MessageBoxes.h"

#include <QAction>
#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTabWidget>
#include <QVBoxLayout>

#include <utility>

namespace {

QPushButton* ActionButton(QAction* action, QWidget* parent)
{
    auto* button = new QPushButton(action->icon(), action->text(), parent);
    button->setToolTip(action->toolTip());
    button->setAutoDefault(false);
    button->setEnabled(action->isEnabled());
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    QObject::connect(action, &QAction::changed, button,
                     [button, action] { button->setEnabled(action->isEnabled()); });
    return button;
}

QLineEdit* MaskedEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setEchoMode(QLineEdit::Password);
    // Typed characters show as "*" whatever mask character the platform prefers.
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    return edit;
}

}  // namespace

TDlgFormAccessLevel::TDlgFormAccessLevel(QWidget* parent, TRemoteModule mainRDM)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), mainRDM_(std::move(mainRDM))
{
    setObjectName(QStringLiteral("DlgFormAccessLevel"));
    setWindowTitle(tr("Access Level"));

    actOk = new QAction(MainImageList().Icon(img::AccessLevel), tr("OK"), this);
    actOk->setObjectName(QStringLiteral("actOk"));
    actOk->setToolTip(tr("Change access level"));
    actOk->setStatusTip(actOk->toolTip());
    connect(actOk, &QAction::triggered, this, &TDlgFormAccessLevel::actOkExecute);
    addAction(actOk);
    actChangePassword = new QAction(tr("Apply"), this);
    actChangePassword->setObjectName(QStringLiteral("actChangePassword"));
    connect(actChangePassword, &QAction::triggered, this, &TDlgFormAccessLevel::actChangePasswordExecute);
    addAction(actChangePassword);
    actCancel = new QAction(tr("Cancel"), this);
    actCancel->setObjectName(QStringLiteral("actCancel"));
    actCancel->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(actCancel, &QAction::triggered, this, &QDialog::reject);
    addAction(actCancel);

    pcAccessLevel = new QTabWidget(this);
    pcAccessLevel->setObjectName(QStringLiteral("pcAccessLevel"));
    CreateLevelPage();
    CreatePasswordPage();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pcAccessLevel);
    // A fixed frame that still grows when the password field appears.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    pcAccessLevel->setMinimumWidth(300);

    // Creation: the current level chosen (no password for it), the password page only
    // for administrators, the level page shown.
    // A level outside the three (refused by SetLevel, but stored) leaves nothing chosen.
    if (QAbstractButton* current = rgAccessLevelButtons->button(TAccess::GetLevel()))
        current->setChecked(true);
    rgAccessLevelClick();
    if (TAccess::GetLevel() != TAccess::Admin)
        pcAccessLevel->removeTab(pcAccessLevel->indexOf(tsChangePassword));
    pcAccessLevel->setCurrentWidget(tsChangeAccessLevel);
    connect(pcAccessLevel, &QTabWidget::currentChanged, this, &TDlgFormAccessLevel::pcAccessLevelChange);
    pcAccessLevelChange();
    UpdateChangePassword();
}

void TDlgFormAccessLevel::CreateLevelPage()
{
    tsChangeAccessLevel = new QWidget;
    tsChangeAccessLevel->setObjectName(QStringLiteral("tsChangeAccessLevel"));
    auto* page = new QVBoxLayout(tsChangeAccessLevel);
    rgAccessLevel = new QGroupBox(tr(" Select new access level "), tsChangeAccessLevel);
    rgAccessLevel->setObjectName(QStringLiteral("rgAccessLevel"));
    rgAccessLevelButtons = new QButtonGroup(this);
    auto* radios = new QVBoxLayout(rgAccessLevel);
    const char* items[] = {QT_TR_NOOP("&Lock program"), QT_TR_NOOP("&Standard user"),
                           QT_TR_NOOP("&Administrator")};
    for (int level = 0; level < 3; ++level) {
        auto* radio = new QRadioButton(tr(items[level]), rgAccessLevel);
        rgAccessLevelButtons->addButton(radio, level);
        radios->addWidget(radio);
    }
    connect(rgAccessLevelButtons, &QButtonGroup::idClicked, this, &TDlgFormAccessLevel::rgAccessLevelClick);
    page->addWidget(rgAccessLevel);

    lbledtPassword = new QWidget(tsChangeAccessLevel);
    lbledtPassword->setObjectName(QStringLiteral("lbledtPassword"));
    auto* passwordLayout = new QVBoxLayout(lbledtPassword);
    passwordLayout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(tr("Password:"), lbledtPassword);
    edtPassword = MaskedEdit(lbledtPassword, "edtPassword");
    label->setBuddy(edtPassword);
    passwordLayout->addWidget(label);
    passwordLayout->addWidget(edtPassword);
    page->addWidget(lbledtPassword);
    page->addStretch(1);

    btnOk = ActionButton(actOk, tsChangeAccessLevel);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    page->addLayout(buttons);
    pcAccessLevel->addTab(tsChangeAccessLevel, tr("Change level"));
}

void TDlgFormAccessLevel::CreatePasswordPage()
{
    tsChangePassword = new QWidget;
    tsChangePassword->setObjectName(QStringLiteral("tsChangePassword"));
    auto* page = new QVBoxLayout(tsChangePassword);
    rgAccount = new QGroupBox(tr(" Change password for "), tsChangePassword);
    rgAccount->setObjectName(QStringLiteral("rgAccount"));
    rgAccountButtons = new QButtonGroup(this);
    auto* radios = new QVBoxLayout(rgAccount);
    const char* items[] = {QT_TR_NOOP("Standard user"), QT_TR_NOOP("Administrator")};
    for (int i = 0; i < 2; ++i) {
        auto* radio = new QRadioButton(tr(items[i]), rgAccount);
        rgAccountButtons->addButton(radio, i + 1);
        radios->addWidget(radio);
    }
    connect(rgAccountButtons, &QButtonGroup::idToggled, this, &TDlgFormAccessLevel::UpdateChangePassword);
    page->addWidget(rgAccount);

    auto* edits = new QFormLayout;
    edits->setRowWrapPolicy(QFormLayout::WrapAllRows);
    lbledtCurrentPassword = MaskedEdit(tsChangePassword, "lbledtCurrentPassword");
    lbledtNewPassword = MaskedEdit(tsChangePassword, "lbledtNewPassword");
    lbledtConfirmPassword = MaskedEdit(tsChangePassword, "lbledtConfirmPassword");
    edits->addRow(tr("Current password"), lbledtCurrentPassword);
    edits->addRow(tr("New password"), lbledtNewPassword);
    edits->addRow(tr("Confirm password"), lbledtConfirmPassword);
    page->addLayout(edits);
    for (QLineEdit* edit : {lbledtNewPassword, lbledtConfirmPassword})
        connect(edit, &QLineEdit::textChanged, this, &TDlgFormAccessLevel::UpdateChangePassword);
    page->addStretch(1);

    bitbtnApply = ActionButton(actChangePassword, tsChangePassword);
    bitbtnApply->setObjectName(QStringLiteral("bitbtnApply"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bitbtnApply);
    page->addLayout(buttons);
    pcAccessLevel->addTab(tsChangePassword, tr("Change password"));
}

int TDlgFormAccessLevel::ChosenLevel() const
{
    return rgAccessLevelButtons->checkedId();
}

int TDlgFormAccessLevel::ChosenAccount() const
{
    return std::max(0, rgAccountButtons->checkedId());
}

bool TDlgFormAccessLevel::PasswordNeeded() const
{
    const int chosen = ChosenLevel();
    const int current = TAccess::GetLevel();
    return chosen > 0 && chosen != current && current != TAccess::Admin;
}

void TDlgFormAccessLevel::rgAccessLevelClick()
{
    const bool needed = PasswordNeeded();
    lbledtPassword->setVisible(needed);
    if (needed)
        edtPassword->setFocus();
}

void TDlgFormAccessLevel::pcAccessLevelChange()
{
    // Enter belongs to the shown page's action.
    const QList<QKeySequence> enter = {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)};
    const bool levelPage = pcAccessLevel->currentWidget() == tsChangeAccessLevel;
    actOk->setShortcuts(levelPage ? enter : QList<QKeySequence>());
    actChangePassword->setShortcuts(levelPage ? QList<QKeySequence>() : enter);
}

void TDlgFormAccessLevel::UpdateChangePassword()
{
    actChangePassword->setEnabled(ChosenAccount() != 0 &&
                                  lbledtNewPassword->text() == lbledtConfirmPassword->text());
}

void TDlgFormAccessLevel::InvalidPassword()
{
    ClientLogs().Application().Add(tr("Invalid password."), 2, true);
}

void TDlgFormAccessLevel::actOkExecute()
{
    const auto finish = qScopeGuard([this] {
        edtPassword->clear();
        accept();
    });
    const int chosen = ChosenLevel();
    if (chosen < 0)
        return;
    if (PasswordNeeded()) {
        const bool administrator = chosen == TAccess::Admin;
        if (MainRDM().Call(dispid::MainRDM::CheckPassword, {administrator, edtPassword->text()}).toBool())
            TAccess::SetLevel(static_cast<quint8>(chosen));
        else
            InvalidPassword();
    } else {
        TAccess::SetLevel(static_cast<quint8>(chosen));
    }
}

void TDlgFormAccessLevel::actChangePasswordExecute()
{
    ChangePassword(ChosenAccount(), lbledtCurrentPassword->text(), lbledtNewPassword->text());
}

void TDlgFormAccessLevel::ChangePassword(int account, const QString& currentPassword,
                                         const QString& newPassword)
{
    QString question;
    if (account == 1) {
        question = tr("Change password for standard user?");
    } else if (account == 2) {
        question = tr("Change administrator password?");
    } else {
        ClientLogs().Application().Add(QStringLiteral("ChangePassword: Invalid account type."), 4);
        return;
    }
    const auto finish = qScopeGuard([this] {
        lbledtCurrentPassword->clear();
        lbledtNewPassword->clear();
        lbledtConfirmPassword->clear();
        // An exclusive group cannot be emptied while exclusive.
        rgAccountButtons->setExclusive(false);
        for (QAbstractButton* b : rgAccountButtons->buttons())
            b->setChecked(false);
        rgAccountButtons->setExclusive(true);
        accept();
    });
    const bool administrator = account == 2;
    if (!MainRDM().Call(dispid::MainRDM::CheckPassword, {administrator, currentPassword}).toBool()) {
        InvalidPassword();
        TAccess::SetLevel(TAccess::User);
        return;
    }
    if (AskQuestion(question))
        MainRDM().Call(dispid::MainRDM::ChangePassword, {administrator, currentPassword, newPassword});
}
