#pragma once
// The access level dialog: change the level (a password when going up, unless the user is
// an administrator) and, for administrators, change the two passwords. The server checks
// and changes the passwords through the MainRDM handle it is given.

#include "remote/RemoteModule.h"

#include <QDialog>

class QAction;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

class TDlgFormAccessLevel : public QDialog {
    Q_OBJECT

public:
    // Without a handle every password check fails as a lost connection does.
    explicit TDlgFormAccessLevel(QWidget* parent = nullptr, TRemoteModule mainRDM = TRemoteModule());

    // The level chosen in rgAccessLevel (-1 when none).
    int ChosenLevel() const;
    // Whether going to the chosen level needs a password.
    bool PasswordNeeded() const;
    // 1 standard user, 2 administrator, 0 when no account is chosen.
    int ChosenAccount() const;

    // Checks the current password of the account and, after the question, sets the new one.
    void ChangePassword(int account, const QString& currentPassword, const QString& newPassword);

    QTabWidget* pcAccessLevel;
    QWidget* tsChangeAccessLevel;
    QWidget* tsChangePassword;
    QGroupBox* rgAccessLevel;
    QButtonGroup* rgAccessLevelButtons;
    QWidget* lbledtPassword;
    QLineEdit* edtPassword;
    QPushButton* btnOk;
    QGroupBox* rgAccount;
    QButtonGroup* rgAccountButtons;
    QLineEdit* lbledtCurrentPassword;
    QLineEdit* lbledtNewPassword;
    QLineEdit* lbledtConfirmPassword;
    QPushButton* bitbtnApply;
    QAction* actOk;
    QAction* actChangePassword;
    QAction* actCancel;

private:
    void CreateLevelPage();
    void CreatePasswordPage();
    void rgAccessLevelClick();
    void pcAccessLevelChange();
    void UpdateChangePassword();
    void actOkExecute();
    void actChangePasswordExecute();
    static void InvalidPassword();
    const TRemoteModule& MainRDM() const { return mainRDM_; }

    TRemoteModule mainRDM_;
};
