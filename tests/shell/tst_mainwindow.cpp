// The main window against the real server: locked mode and unlocking, the access level
// dialog's rules, the live displays, running activities, child windows, the callbacks and
// the log-off, and the process-wide exception handler's report.

#include "shell/AccessLevel.h"
#include "shell/AppException.h"
#include "shell/ChildBlank.h"
#include "shell/ClientApplication.h"
#include "shell/base/ClientLogs.h"
#include "shell/ClientReceiver.h"
#include "shell/DlgAccessLevel.h"
#include "shell/Gauge.h"
#include "shell/ImageLists.h"
#include "server/Receiver.h"
#include "support/ShellFixture.h"
#include "support/ClientFixture.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QCursor>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTcpSocket>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace {

QStringList VisibleTexts(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* a : menu->actions())
        if (a->isVisible() && !a->isSeparator())
            texts.append(a->text());
    return texts;
}

// A child window that may refuse to close.
class TTestChild : public TChildFormBlank {
public:
    TTestChild(TClientMainForm* owner, QAction* action) : TChildFormBlank(owner, action)
    {
        setWidget(new QLabel(QStringLiteral("test")));
    }
    bool Refuse = false;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (Refuse) {
            event->ignore();
            return;
        }
        TChildFormBlank::closeEvent(event);
    }
};

template <class T>
int CountTopLevel()
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<T*>(w) && w->isVisible())
            ++n;
    return n;
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TShellFixture> f;
    TClientMainForm* form = nullptr;

    // Opens the access level dialog through its action and runs the function inside it.
    bool WithAccessDialog(const std::function<void(TDlgFormAccessLevel*)>& fn)
    {
        bool ran = false;
        QTimer::singleShot(0, form, [&] {
            auto* dialog = qobject_cast<TDlgFormAccessLevel*>(QApplication::activeModalWidget());
            if (dialog) {
                fn(dialog);
                ran = true;
                if (dialog->isVisible())
                    dialog->reject();
            }
        });
        form->actAccessLevel->trigger();
        return ran;
    }
    void Unlock(int level, const QString& password)
    {
        QVERIFY(WithAccessDialog([&](TDlgFormAccessLevel* d) {
            d->rgAccessLevelButtons->button(level)->click();
            d->edtPassword->setText(password);
            d->actOk->trigger();
        }));
    }
    void Flush() { QTest::qWait(20); }

private Q_SLOTS:
    void init()
    {
        f = std::make_unique<TShellFixture>();
        QVERIFY(f->StartServer());
        f->InstallNotifyCall();
        form = f->Connect();
        QVERIFY(f->Connected());
        form->resize(1000, 700);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        // The new database's set-up hints come first; the tests start from empty displays.
        QTRY_VERIFY(!form->memoLiveLog->toPlainText().isEmpty());
        form->memoLiveLog->clear();
    }
    void cleanup()
    {
        form = nullptr;
        f.reset();
    }

    void lockedAtStart()
    {
        QCOMPARE(TAccess::GetLevel(), TAccess::Locked);
        QCOMPARE(form->StatusPanelText(1), QStringLiteral("Locked mode"));
        QCOMPARE(VisibleTexts(form->ddmFile), QStringList{"Exit"});
        QCOMPARE(VisibleTexts(form->ddmTools), QStringList{"Access level..."});
        QVERIFY(!form->ddmPBX->menuAction()->isVisible());
        QVERIFY(!form->ddmWindow->menuAction()->isVisible());
        QVERIFY(form->RawInputFillsClientArea());
        QTRY_COMPARE(form->panelLiveRawInput->width(), form->MdiArea()->parentWidget()->width());
        // Only the access level button, with no separator before it.
        QStringList shown;
        for (const auto& entry : form->ToolBarEntries)
            if (entry.Item->isVisible())
                shown.append(entry.Button ? entry.Button->objectName() : QStringLiteral("|"));
        QCOMPARE(shown.first(), QStringLiteral("tbAccessLevel"));
        QCOMPARE(form->windowTitle(), QStringLiteral("127.0.0.1 - Telvane Control"));
    }

    void unlock_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("fileMenu");
        QTest::addColumn<bool>("pbxMenu");
        QTest::newRow("standard user") << 1 << "user"
                                       << "User mode" << QStringList{"Reports...", "Exit"} << false;
        QTest::newRow("administrator")
            << 2 << "admin"
            << "Admin mode" << QStringList{"Reports...", "Administration...", "Archives...", "Exit"} << true;
    }
    void unlock()
    {
        QFETCH(int, level);
        QFETCH(QString, password);
        QFETCH(QString, mode);
        QFETCH(QStringList, fileMenu);
        QFETCH(bool, pbxMenu);
        // With their windows bound, as they will be, the level alone decides.
        form->BindChildWindow(QStringLiteral("actReport"),
                              [this](TMainFormServices*, QAction* a) { return new TTestChild(form, a); });
        form->BindDialog(QStringLiteral("actOptions"),
                         [](QWidget* parent) { return std::make_unique<QDialog>(parent); });
        bool passwordShown = false;
        QVERIFY(WithAccessDialog([&](TDlgFormAccessLevel* d) {
            d->rgAccessLevelButtons->button(level)->click();
            passwordShown = d->lbledtPassword->isVisible();
            d->edtPassword->setText(password);
            d->actOk->trigger();
        }));
        QVERIFY(passwordShown);
        QCOMPARE(int(TAccess::GetLevel()), level);
        QCOMPARE(form->StatusPanelText(1), mode);
        QCOMPARE(VisibleTexts(form->ddmFile), fileMenu);
        QCOMPARE(form->ddmPBX->menuAction()->isVisible(), pbxMenu);
        QVERIFY(form->ddmWindow->menuAction()->isVisible());
        QVERIFY(form->actReport->isVisible() && form->actReport->isEnabled());
        QVERIFY(form->actClearRawInput->isVisible());
        QVERIFY(!form->RawInputFillsClientArea());
        QTRY_COMPARE(form->panelLiveRawInput->width(), form->width() * 3 / 5);
        QTRY_COMPARE(form->actOptions->isEnabled(), level == 2);
        // No separator at the left end or next to another one.
        bool previousSeparator = true;
        for (const auto& entry : form->ToolBarEntries) {
            if (!entry.Item->isVisible())
                continue;
            QVERIFY(!(previousSeparator && !entry.Button));
            previousSeparator = !entry.Button;
        }
        QVERIFY(!f->LogEntries().contains(QStringLiteral("2: Invalid password.")));
    }

    void wrongPasswordKeepsTheLevel()
    {
        Unlock(2, QStringLiteral("wrong"));
        QCOMPARE(TAccess::GetLevel(), TAccess::Locked);
        QCOMPARE(form->StatusPanelText(1), QStringLiteral("Locked mode"));
        QVERIFY(f->LogEntries().contains(QStringLiteral("2: Invalid password.")));
        QTRY_VERIFY(form->memoLiveLog->toPlainText().contains(QStringLiteral("Invalid password.")));
    }

    void passwordNeeded_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<bool>("needed");
        for (int current = 0; current < 3; ++current)
            for (int chosen = 0; chosen < 3; ++chosen)
                QTest::addRow("%d to %d", current, chosen)
                    << current << chosen << (chosen != 0 && chosen != current && current != 2);
    }
    void passwordNeeded()
    {
        QFETCH(int, current);
        QFETCH(int, chosen);
        QFETCH(bool, needed);
        TAccess::SetLevel(static_cast<quint8>(current));
        TDlgFormAccessLevel dialog(form);
        dialog.show();
        QCOMPARE(dialog.ChosenLevel(), current);
        QVERIFY(!dialog.lbledtPassword->isVisible());
        QCOMPARE(dialog.pcAccessLevel->indexOf(dialog.tsChangePassword) >= 0, current == 2);
        QCOMPARE(dialog.pcAccessLevel->currentWidget(), dialog.tsChangeAccessLevel);
        dialog.rgAccessLevelButtons->button(chosen)->click();
        QCOMPARE(dialog.PasswordNeeded(), needed);
        QCOMPARE(dialog.lbledtPassword->isVisible(), needed);
    }

    void invalidLevelOnlyLogs()
    {
        TAccess::SetLevel(3);
        QCOMPARE(int(TAccess::GetLevel()), 3);
        QVERIFY(f->LogEntries().contains(QStringLiteral("4: TAccess: Invalid access level.")));
        QCOMPARE(form->StatusPanelText(1), QStringLiteral("Locked mode"));
        QVERIFY(form->RawInputFillsClientArea());
        QVERIFY(form->StatusTexts().isEmpty());
        // The dialog still opens, with no level chosen, and locking applies the locked layout.
        QVERIFY(WithAccessDialog([&](TDlgFormAccessLevel* d) {
            QCOMPARE(d->ChosenLevel(), -1);
            d->rgAccessLevelButtons->button(0)->click();
            d->actOk->trigger();
        }));
        QCOMPARE(TAccess::GetLevel(), TAccess::Locked);
    }

    void applyNeedsAnAccountAndEqualPasswords_data()
    {
        QTest::addColumn<int>("account");
        QTest::addColumn<QString>("newPassword");
        QTest::addColumn<QString>("confirmation");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("no account") << 0 << "same"
                                    << "same" << false;
        QTest::newRow("both empty") << 1 << ""
                                    << "" << true;
        QTest::newRow("different") << 2 << "secret"
                                   << "secrets" << false;
        QTest::newRow("letter case differs") << 1 << "Secret"
                                             << "secret" << false;
        QTest::newRow("equal") << 2 << "secret"
                               << "secret" << true;
    }
    void applyNeedsAnAccountAndEqualPasswords()
    {
        QFETCH(int, account);
        QFETCH(QString, newPassword);
        QFETCH(QString, confirmation);
        QFETCH(bool, enabled);
        TAccess::SetLevel(TAccess::Admin);
        TDlgFormAccessLevel dialog(form);
        QVERIFY(!dialog.actChangePassword->isEnabled());
        if (account)
            dialog.rgAccountButtons->button(account)->click();
        dialog.lbledtNewPassword->setText(newPassword);
        dialog.lbledtConfirmPassword->setText(confirmation);
        QCOMPARE(dialog.actChangePassword->isEnabled(), enabled);
        QCOMPARE(dialog.bitbtnApply->isEnabled(), enabled);
    }

    void passwordsShowAsStars_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::newRow("password") << "edtPassword";
        QTest::newRow("current password") << "lbledtCurrentPassword";
        QTest::newRow("new password") << "lbledtNewPassword";
        QTest::newRow("confirmation") << "lbledtConfirmPassword";
    }
    void passwordsShowAsStars()
    {
        QFETCH(QString, edit);
        TAccess::SetLevel(TAccess::Admin);
        TDlgFormAccessLevel dialog(form);
        dialog.show();
        auto* e = dialog.findChild<QLineEdit*>(edit);
        QVERIFY(e);
        e->setText(QStringLiteral("s3cr\u00e9t"));
        QCOMPARE(e->displayText(), QString(6, QLatin1Char('*')));
    }

    void enterBelongsToTheShownPage_data()
    {
        QTest::addColumn<bool>("passwordPage");
        QTest::newRow("Change level") << false;
        QTest::newRow("Change password") << true;
    }
    void enterBelongsToTheShownPage()
    {
        QFETCH(bool, passwordPage);
        Unlock(2, QStringLiteral("admin"));
        f->Answerer.SetAnswers({TMsgButton::No});
        int ok = 0;
        int apply = 0;
        bool closed = false;
        QVERIFY(WithAccessDialog([&](TDlgFormAccessLevel* d) {
            QTRY_COMPARE(QApplication::activeWindow(), d);
            connect(d->actOk, &QAction::triggered, [&] { ++ok; });
            connect(d->actChangePassword, &QAction::triggered, [&] { ++apply; });
            QWidget* focus = d->rgAccessLevelButtons->button(2);
            if (passwordPage) {
                d->pcAccessLevel->setCurrentWidget(d->tsChangePassword);
                d->rgAccountButtons->button(1)->click();
                d->lbledtCurrentPassword->setText(QStringLiteral("user"));
                focus = d->lbledtNewPassword;
            }
            focus->setFocus();
            QTest::keyClick(focus, Qt::Key_Return);
            closed = !d->isVisible();
        }));
        QCOMPARE(ok, passwordPage ? 0 : 1);
        QCOMPARE(apply, passwordPage ? 1 : 0);
        QVERIFY(closed);
    }

    void changePassword_data()
    {
        QTest::addColumn<int>("account");
        QTest::addColumn<QString>("current");
        QTest::addColumn<bool>("answerYes");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("changed");
        QTest::newRow("standard user, Yes")
            << 1 << "user" << true << "Change password for standard user?" << true;
        QTest::newRow("administrator, Yes")
            << 2 << "admin" << true << "Change administrator password?" << true;
        QTest::newRow("standard user, No")
            << 1 << "user" << false << "Change password for standard user?" << false;
    }
    void changePassword()
    {
        QFETCH(int, account);
        QFETCH(QString, current);
        QFETCH(bool, answerYes);
        QFETCH(QString, question);
        QFETCH(bool, changed);
        Unlock(2, QStringLiteral("admin"));
        f->Answerer.SetAnswers({answerYes ? TMsgButton::Yes : TMsgButton::No});
        QVERIFY(WithAccessDialog([&](TDlgFormAccessLevel* d) {
            QCOMPARE(d->pcAccessLevel->indexOf(d->tsChangePassword) >= 0, true);
            d->pcAccessLevel->setCurrentWidget(d->tsChangePassword);
            d->rgAccountButtons->button(account)->click();
            d->lbledtCurrentPassword->setText(current);
            d->lbledtNewPassword->setText(QStringLiteral("n3w"));
            d->lbledtConfirmPassword->setText(QStringLiteral("n3w"));
            d->actChangePassword->trigger();
            QVERIFY(!d->isVisible());
            QCOMPARE(d->ChosenAccount(), 0);
            QVERIFY(d->lbledtCurrentPassword->text().isEmpty());
        }));
        QCOMPARE(f->Answerer.Asked().size(), 1);
        QCOMPARE(f->Answerer.Asked().first().Text, question);
        QCOMPARE(TAccess::GetLevel(), TAccess::Admin);
        const TRemoteModule main = ClientMainDM()->MainRDM;
        QCOMPARE(main.Call(307, {account == 2, QStringLiteral("n3w")}).toBool(), changed);
        QCOMPARE(main.Call(307, {account == 2, current}).toBool(), !changed);
    }

    void wrongCurrentPasswordDropsToUser()
    {
        Unlock(2, QStringLiteral("admin"));
        auto* child = form->OpenChildWindow<TTestChild>(form->actAdmin);
        QVERIFY(child);
        QVERIFY(WithAccessDialog([&](TDlgFormAccessLevel* d) {
            d->pcAccessLevel->setCurrentWidget(d->tsChangePassword);
            d->rgAccountButtons->button(1)->click();
            d->lbledtCurrentPassword->setText(QStringLiteral("not it"));
            d->actChangePassword->trigger();
            QVERIFY(!d->isVisible());
        }));
        QVERIFY(f->Answerer.Asked().isEmpty());
        QCOMPARE(TAccess::GetLevel(), TAccess::User);
        QCOMPARE(form->StatusPanelText(1), QStringLiteral("User mode"));
        QVERIFY(!TChildFormBlank::OfAction(form->actAdmin));
        QVERIFY(f->LogEntries().contains(QStringLiteral("2: Invalid password.")));
        QVERIFY(ClientMainDM()->MainRDM.Call(307, {false, QStringLiteral("user")}).toBool());
    }

    void lockingAsksNothingAndClosesChildren()
    {
        Unlock(2, QStringLiteral("admin"));
        form->OpenChildWindow<TTestChild>(form->actReport);
        form->OpenChildWindow<TTestChild>(form->actArchives);
        QCOMPARE(form->MdiArea()->subWindowList().size(), 2);
        QVERIFY(WithAccessDialog([&](TDlgFormAccessLevel* d) {
            d->rgAccessLevelButtons->button(0)->click();
            QVERIFY(!d->lbledtPassword->isVisible());
            d->actOk->trigger();
        }));
        QCOMPARE(TAccess::GetLevel(), TAccess::Locked);
        QVERIFY(!TChildFormBlank::OfAction(form->actReport));
        QVERIFY(!TChildFormBlank::OfAction(form->actArchives));
        QVERIFY(form->RawInputFillsClientArea());
        QVERIFY(f->Answerer.Asked().isEmpty());
    }

    void actionsAreSwallowedWhileADialogIsOpen()
    {
        Unlock(2, QStringLiteral("admin"));
        int dialogs = 0;
        int abouts = 0;
        QVERIFY(WithAccessDialog([&](TDlgFormAccessLevel*) {
            QTest::keyClick(form, Qt::Key_F10);
            form->actAccessLevel->trigger();
            QTest::keyClick(form, Qt::Key_F12);
            form->actAbout->trigger();
            dialogs = CountTopLevel<TDlgFormAccessLevel>();
            abouts = CountTopLevel<TSplashForm>();
        }));
        QCOMPARE(dialogs, 1);
        QCOMPARE(abouts, 0);
        QVERIFY(!form->actAccessLevel->isChecked());
    }

    void liveLogEntriesAreBatched()
    {
        QSignalSpy flushed(form, &TClientMainForm::LiveLogFlushed);
        form->AddLiveLogMessage(QStringLiteral("first"));
        form->AddLiveLogMessage(QStringLiteral("second"));
        QCOMPARE(form->memoLiveLog->toPlainText(), QString());
        QTRY_COMPARE(flushed.count(), 1);
        Flush();
        QCOMPARE(flushed.count(), 1);
        static const QRegularExpression entries(
            QStringLiteral("^\\n\\d\\d \\S+, \\d\\d:\\d\\d:\\d\\d\\nfirst\\n\\n\\d\\d \\S+, "
                           "\\d\\d:\\d\\d:\\d\\d\\nsecond\\n$"));
        QVERIFY2(entries.match(form->memoLiveLog->toPlainText()).hasMatch(),
                 qPrintable(form->memoLiveLog->toPlainText()));
    }

    void logsReachTheLiveLog()
    {
        ClientLogs().Application().Add(QStringLiteral("Something odd."), 4);
        ClientLogs().Application().Add(QStringLiteral("A notice."), 2, true);
        ClientLogs().Application().Add(QStringLiteral("Only in the file."), 3);
        QTRY_VERIFY(form->memoLiveLog->toPlainText().contains(QStringLiteral("A notice.")));
        const QString live = form->memoLiveLog->toPlainText();
        QVERIFY(live.contains(
            QStringLiteral("Something odd.\nThis may be a bug - please report exact steps to reproduce.")));
        QVERIFY(!live.contains(QStringLiteral("Only in the file.")));
    }

    void rawInputIsBatched()
    {
        QSignalSpy single(form->memoLiveRawInput, &QPlainTextEdit::textChanged);
        form->AddRawInput(QStringLiteral("x"));
        QTRY_COMPARE(form->memoLiveRawInput->toPlainText(), QStringLiteral("x"));
        const int perUpdate = single.count();
        QVERIFY(perUpdate > 0);
        form->memoLiveRawInput->clear();
        QSignalSpy burst(form->memoLiveRawInput, &QPlainTextEdit::textChanged);
        QString expected;
        for (int i = 0; i < 500; ++i) {
            const QString piece = QStringLiteral("%1;").arg(i);
            form->AddRawInput(piece);
            expected += piece;
        }
        QCOMPARE(form->memoLiveRawInput->toPlainText(), QString());
        QTRY_COMPARE(form->memoLiveRawInput->toPlainText(), expected);
        Flush();
        QCOMPARE(burst.count(), perUpdate);
    }

    void displaysKeepTheNewest64000Characters_data()
    {
        QTest::addColumn<bool>("rawInput");
        QTest::newRow("raw input") << true;
        QTest::newRow("live log") << false;
    }
    void displaysKeepTheNewest64000Characters()
    {
        QFETCH(bool, rawInput);
        QPlainTextEdit* memo = rawInput ? form->memoLiveRawInput : form->memoLiveLog;
        QString all;
        for (int round = 0; round < 4; ++round) {
            QString chunk;
            for (int i = 0; i < 4000; ++i)
                chunk += QStringLiteral("%1-%2\n").arg(round).arg(i, 4, 10, QLatin1Char('0'));
            if (rawInput) {
                form->AddRawInput(chunk);
                all += chunk;
            } else {
                form->AddLiveLogMessage(chunk);
            }
            Flush();
        }
        if (rawInput) {
            QVERIFY(all.size() > 64000);
            QTRY_COMPARE(memo->toPlainText(), all.right(64000));
        } else {
            QTRY_VERIFY(memo->toPlainText().contains(QStringLiteral("3-3999")));
            QCOMPARE(memo->toPlainText().size(), 64000);
            QVERIFY(!memo->toPlainText().contains(QStringLiteral("0-0000")));
        }
        QCOMPARE(memo->textCursor().position(), 64000);
        QVERIFY(!memo->textCursor().hasSelection());
    }

    void onlyTheRawInputWraps_data()
    {
        QTest::addColumn<bool>("rawInput");
        QTest::newRow("raw input wraps") << true;
        QTest::newRow("live log does not") << false;
    }
    void onlyTheRawInputWraps()
    {
        QFETCH(bool, rawInput);
        Unlock(1, QStringLiteral("user"));
        QPlainTextEdit* memo = rawInput ? form->memoLiveRawInput : form->memoLiveLog;
        const QString line = QStringLiteral("0888123456 ").repeated(80);
        if (rawInput)
            form->AddRawInput(line);
        else
            form->AddLiveLogMessage(line);
        QTRY_VERIFY(memo->toPlainText().contains(line));
        // Each case waits for its own positive sign, so neither passes before the layout.
        if (rawInput) {
            const QTextBlock block = memo->document()->findBlock(memo->toPlainText().indexOf(line));
            QTRY_VERIFY(block.layout() && block.layout()->lineCount() > 1);
        } else {
            QTRY_VERIFY(memo->horizontalScrollBar()->maximum() > 0);
        }
    }

    void runningActivities()
    {
        const int a = form->AddStatus(QStringLiteral("Loading report..."));
        const int b = form->AddStatus(QStringLiteral("Preparing query..."));
        QCOMPARE(b, a + 1);
        form->AddServerStatus(QStringLiteral("Running the query..."), 1000000005);
        QCOMPARE(form->StatusPanelText(2),
                 QStringLiteral(" Loading report... Preparing query... Running the query..."));
        form->ClearStatus(a);
        form->ClearStatus(1000000005);
        QCOMPARE(form->StatusPanelText(2), QStringLiteral(" Preparing query..."));
        form->ClearStatus(b);
        QCOMPARE(form->StatusPanelText(2), QString());
    }

    void clearStatusOfAnUnknownId_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<bool>("logged");
        QTest::newRow("local identifier") << 7 << true;
        QTest::newRow("server identifier") << 1000000001 << false;
    }
    void clearStatusOfAnUnknownId()
    {
        QFETCH(int, id);
        QFETCH(bool, logged);
        form->ClearStatus(id);
        const QString entry = QStringLiteral("4: ClearStatus: Invalid status ID %1").arg(id);
        QCOMPARE(f->LogEntries().contains(entry), logged);
    }

    void childWindowOpensOnce()
    {
        Unlock(2, QStringLiteral("admin"));
        auto* first = form->OpenChildWindow<TTestChild>(form->actReport);
        QCOMPARE(TChildFormBlank::OfAction(form->actReport), first);
        form->UpdateActions();
        QVERIFY(form->tbCalls->isChecked());
        QVERIFY(form->actWindowCascade->isEnabled());
        first->showMinimized();
        auto* second = form->OpenChildWindow<TTestChild>(form->actReport);
        QCOMPARE(second, first);
        QVERIFY(!first->isMinimized());
        QCOMPARE(form->MdiArea()->subWindowList().size(), 1);
        QCOMPARE(form->MdiArea()->activeSubWindow(), first);
        // Clicking the pressed button does not release it.
        form->tbCalls->click();
        form->UpdateActions();
        QVERIFY(form->tbCalls->isChecked());

        QPointer<TChildFormBlank> closed = first;
        first->close();
        QVERIFY(!TChildFormBlank::OfAction(form->actReport));
        form->UpdateActions();
        QVERIFY(!form->tbCalls->isChecked());
        QTRY_VERIFY(closed.isNull());
        QTRY_VERIFY(!form->actWindowCascade->isEnabled());
        auto* third = form->OpenChildWindow<TTestChild>(form->actReport);
        QVERIFY(third);
        QCOMPARE(TChildFormBlank::OfAction(form->actReport), third);
    }

    void closeChildWindowsGoesOnAfterARefusal()
    {
        Unlock(2, QStringLiteral("admin"));
        auto* stubborn = form->OpenChildWindow<TTestChild>(form->actAdmin);
        stubborn->Refuse = true;
        form->OpenChildWindow<TTestChild>(form->actArchives);
        form->OpenChildWindow<TTestChild>(form->actLogsReport);
        form->CloseChildWindows();
        QCOMPARE(TChildFormBlank::OfAction(form->actAdmin), stubborn);
        QVERIFY(!TChildFormBlank::OfAction(form->actArchives));
        QVERIFY(!TChildFormBlank::OfAction(form->actLogsReport));
        QVERIFY(f->LogEntries().contains(QStringLiteral("4: TMainForm: Could not close form.")));
        stubborn->Refuse = false;
    }

    void gaugeColours_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("level");
        QTest::addColumn<QColor>("color");
        QTest::addColumn<int>("progress");
        QTest::newRow("empty") << 1000 << 0 << QColor(80, 176, 80) << 0;
        QTest::newRow("full") << 1000 << 1000 << QColor(255, 128, 80) << 1000;
        QTest::newRow("half") << 1000 << 500 << QColor(168, 152, 80) << 500;
        QTest::newRow("over the size") << 1000 << 1001 << QColor(255, 0, 0) << 1000;
        QTest::newRow("red half rounds to even") << 350 << 1 << QColor(80, 176, 80) << 1;
        QTest::newRow("green half rounds to even") << 96 << 1 << QColor(82, 176, 80) << 1;
    }
    void gaugeColours()
    {
        QFETCH(int, size);
        QFETCH(int, level);
        QFETCH(QColor, color);
        QFETCH(int, progress);
        f->Notify(TCallbackTarget::Receiver, QStringLiteral("BufferSize"), {size});
        f->Notify(TCallbackTarget::Receiver, QStringLiteral("BufferLevel"), {level});
        QCOMPARE(form->gaugeInputBuffer->MaxValue(), size);
        QCOMPARE(form->gaugeInputBuffer->ForeColor(), color);
        QCOMPARE(form->gaugeInputBuffer->Progress(), progress);
    }

    void bufferLevelBeforeSizeChangesNothing()
    {
        // The connected one heard the server's buffer size at once; a new object has none.
        TClientReceiver receiver(ClientMainDM()->TypeLibrary());
        const QColor color = form->gaugeInputBuffer->ForeColor();
        const int progress = form->gaugeInputBuffer->Progress();
        receiver.BufferLevel(500);
        QCOMPARE(receiver.InputBufferSize(), 0);
        QCOMPARE(form->gaugeInputBuffer->ForeColor(), color);
        QCOMPARE(form->gaugeInputBuffer->Progress(), progress);
    }

    void rawInputAndDroppedBytes_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QVariant>("argument");
        QTest::addColumn<QString>("shown");
        QTest::newRow("raw input") << "RawInput" << QVariant(QStringLiteral("01/02/24 10:15 ...\r\n"))
                                   << "01/02/24 10:15 ...\n";
        QTest::newRow("64 dropped") << "BytesDropped" << QVariant(64) << QString(64, QLatin1Char('.'));
        QTest::newRow("65 dropped") << "BytesDropped" << QVariant(65) << "\nDropped 65 bytes.\n";
    }
    void rawInputAndDroppedBytes()
    {
        QFETCH(QString, method);
        QFETCH(QVariant, argument);
        QFETCH(QString, shown);
        f->Notify(TCallbackTarget::Receiver, method, {argument});
        QTRY_COMPARE(form->memoLiveRawInput->toPlainText(), shown);
    }

    void stateCallbacks_data()
    {
        QTest::addColumn<int>("target");
        QTest::addColumn<QString>("method");
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("image");
        const int receiver = int(TCallbackTarget::Receiver);
        const int commands = int(TCallbackTarget::Commands);
        QTest::newRow("receiver running") << receiver << "ReceiverState" << true << "actReceiver"
                                          << "Stop receiver" << 5;
        QTest::newRow("receiver stopped") << receiver << "ReceiverState" << false << "actReceiver"
                                          << "Start receiver" << 4;
        QTest::newRow("queue enabled") << commands << "QueueState" << true << "actEnableQueue"
                                       << "Disable queue" << 6;
        QTest::newRow("queue disabled") << commands << "QueueState" << false << "actEnableQueue"
                                        << "Enable queue" << 4;
    }
    void stateCallbacks()
    {
        QFETCH(int, target);
        QFETCH(QString, method);
        QFETCH(bool, on);
        QFETCH(QString, action);
        QFETCH(QString, caption);
        QFETCH(int, image);
        QVariantList args;
        if (method == QLatin1String("ReceiverState"))
            args << QStringLiteral("Receiver on port 2101");
        args << on;
        f->Notify(static_cast<TCallbackTarget>(target), method, args);
        auto* a = form->findChild<QAction*>(action);
        QVERIFY(a);
        QCOMPARE(a->text(), caption);
        QCOMPARE(a->icon().cacheKey(), form->ImageList().Icon(image).cacheKey());
        if (method == QLatin1String("ReceiverState"))
            QCOMPARE(form->StatusPanelText(0), QStringLiteral("Receiver on port 2101"));
    }

    // Hover hints show over the running activities, never over the receiver's state or
    // the access mode, and go when their source does.
    void hintsLeaveTheStatePanels()
    {
        form->SetStatusPanelText(0, QStringLiteral("Receiver stopped"));
        const int id = form->AddStatus(QStringLiteral("Loading report..."));
        QStatusTipEvent tip(QStringLiteral("Call reports"));
        QCoreApplication::sendEvent(form->tbCalls, &tip);
        QCOMPARE(form->StatusHint(), QStringLiteral("Call reports"));
        for (const char* panel : {"sbStatusPanel0", "sbStatusPanel1"}) {
            auto* label = form->findChild<QLabel*>(QLatin1String(panel));
            QVERIFY(label && label->isVisible());
        }
        QCOMPARE(form->StatusPanelText(0), QStringLiteral("Receiver stopped"));
        QCOMPARE(form->StatusPanelText(1), QStringLiteral("Locked mode"));
        QVERIFY(!form->findChild<QLabel*>(QStringLiteral("sbStatusPanel2"))->isVisible());
        QVERIFY(form->findChild<QLabel*>(QStringLiteral("sbStatusHint"))->isVisible());
        // The end of the hover brings the running activities back.
        QStatusTipEvent none{QString()};
        QCoreApplication::sendEvent(form->tbCalls, &none);
        QCOMPARE(form->StatusHint(), QString());
        QVERIFY(form->findChild<QLabel*>(QStringLiteral("sbStatusPanel2"))->isVisible());
        QCOMPARE(form->StatusPanelText(2), QStringLiteral(" Loading report..."));
        form->ClearStatus(id);
    }

    void staleHintGoes_data()
    {
        QTest::addColumn<bool>("overItsButton");
        QTest::newRow("pointer on its button") << true;
        QTest::newRow("pointer elsewhere") << false;
    }
    void staleHintGoes()
    {
        QFETCH(bool, overItsButton);
        QToolButton* button = form->tbAccessLevel;
        QVERIFY(button->isVisible());
        QCursor::setPos(overItsButton ? button->mapToGlobal(button->rect().center())
                                      : form->memoLiveLog->mapToGlobal(QPoint(5, 5)));
        // A hint whose end never came (the button was hidden or a dialog opened under the
        // pointer).
        QStatusTipEvent tip(button->statusTip());
        QCoreApplication::sendEvent(button, &tip);
        form->UpdateActions();
        QCOMPARE(form->StatusHint(), overItsButton ? button->statusTip() : QString());
    }

    void longStateTextsShowWhole_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fits");
        QTest::newRow("short") << "Receiver stopped" << true;
        QTest::newRow("long") << "Receiver on port 9100: exchange connected from 192.168.100.200:50122"
                              << false;
    }
    void longStateTextsShowWhole()
    {
        QFETCH(QString, text);
        QFETCH(bool, fits);
        auto* panel = form->findChild<QLabel*>(QStringLiteral("sbStatusPanel0"));
        QVERIFY(panel);
        const int width = panel->width();
        form->SetStatusPanelText(0, text);
        QCOMPARE(form->StatusPanelText(0), text);
        QCOMPARE(panel->width(), width);
        QCOMPARE(panel->text() == text, fits);
        QCOMPARE(panel->toolTip(), fits ? QString() : text);
        if (!fits)
            QVERIFY2(panel->text().endsWith(QChar(0x2026)), qPrintable(panel->text()));
    }

    void applicationCallbacks()
    {
        f->Notify(TCallbackTarget::Application, QStringLiteral("StatusAdded"),
                  {QStringLiteral("Running the query..."), 1000000077});
        QCOMPARE(form->StatusTexts(), QStringList{"Running the query..."});
        f->Notify(TCallbackTarget::Application, QStringLiteral("StatusCleared"), {1000000077});
        QVERIFY(form->StatusTexts().isEmpty());
        f->Notify(TCallbackTarget::Application, QStringLiteral("LogMessage"),
                  {QStringLiteral("Archive done."), 0});
        QTRY_VERIFY(form->memoLiveLog->toPlainText().endsWith(QStringLiteral("\nArchive done.\n")));
    }

    void callbackErrorsStayWithTheServer()
    {
        // Without logs, clearing an unknown status fails inside the callback.
        ReleaseClientLogs();
        const TCallbackInterface& itf = ClientMainDM()->ClientApplication().Interface();
        const HRESULT status = ClientMainDM()->ClientApplication().Dispatch(
            itf.Iid, itf.MethodByName(QStringLiteral("StatusCleared"))->DispId, {7});
        InstallClientLogs(std::make_unique<TClientLogs>(LogsDir()));
        QVERIFY(status != 0);
        QVERIFY(f->Answerer.Asked().isEmpty());
    }

    void shutdownAndTooManyUsersLogOffOnce()
    {
        QSignalSpy closed(form, &TClientMainForm::Closed);
        f->InstallCall(TModule::Main, 9951, [](TClientConnection& client, QVariantList&) {
            client.Notify(TCallbackTarget::Application, QStringLiteral("ServerShutdown"), {}, false);
            client.Notify(TCallbackTarget::Application, QStringLiteral("TooManyUsers"), {}, false);
        });
        ClientMainDM()->MainRDM.Call(9951);
        QVERIFY(f->Connected());
        QTRY_COMPARE_WITH_TIMEOUT(f->Answerer.Asked().size(), 1, 5000);
        Flush();
        QTest::qWait(300);
        QCOMPARE(f->Answerer.Asked().size(), 1);
        QCOMPARE(f->Answerer.Asked().first().Kind, TMsgKind::Warning);
        QCOMPARE(f->Answerer.Asked().first().Text,
                 QStringLiteral(
                     "Too many users have connected to Telvane Server.\nTelvane Client will now close."));
        QVERIFY(!f->Connected());
        QCOMPARE(closed.count(), 1);
        QVERIFY(f->LogEntries().contains(QStringLiteral(
            "2: Too many users have connected to Telvane Server. Telvane Client will now close.")));
        QVERIFY(!form->memoLiveLog->toPlainText().contains(QStringLiteral("Too many users")));
    }

    // A server that says goodbye before it closes has not lost the connection: the user
    // sees its notice, not the lost-connection error.
    void announcedEndIsNoLoss()
    {
        QSignalSpy lost(ClientMainDM(), &TClientMainDM::ConnectionLost);
        f->Server.Stop();
        QTRY_COMPARE_WITH_TIMEOUT(f->Answerer.Asked().size(), 1, 10000);
        QCOMPARE(f->Answerer.Asked().first().Text,
                 QStringLiteral("Telvane Server has been shut down.\nTelvane Client will now close."));
        QTRY_VERIFY(!f->Connected());
        Flush();
        QCOMPARE(lost.count(), 0);
    }

    void tooManyUsers()
    {
        cleanup();
        f = std::make_unique<TShellFixture>();
        f->Server.Options().MaxClients = 1;
        QVERIFY(f->StartServer());
        TClientFixture first;
        QCOMPARE(first.Connect(f->Server.Port()), 0);
        form = f->Connect();
        QVERIFY(f->Connected());
        QTRY_COMPARE_WITH_TIMEOUT(f->Answerer.Asked().size(), 1, 10000);
        QCOMPARE(f->Answerer.Asked().first().Text,
                 QStringLiteral(
                     "Too many users have connected to Telvane Server.\nTelvane Client will now close."));
        QVERIFY(!f->Connected());
    }

    void receiverNeedsADataFormat_data()
    {
        QTest::addColumn<QString>("dataFormat");
        QTest::addColumn<bool>("started");
        QTest::newRow("no data format") << "" << false;
        QTest::newRow("data format in use") << "Head office SMDR" << true;
    }
    void receiverNeedsADataFormat()
    {
        QFETCH(QString, dataFormat);
        QFETCH(bool, started);
        auto calls = std::make_shared<std::atomic<int>>(0);
        f->Server.RunOnServer([&](TServer& s) {
            s.Calls().Add({TModule::Admin, 301, level::Locked, 0,
                           [dataFormat](TCallContext&) { return QVariant(dataFormat); }});
            s.Calls().Add({TModule::Receiver, 301, level::Locked, 0, [calls](TCallContext&) {
                               ++*calls;
                               return QVariant();
                           }});
        });
        Unlock(2, QStringLiteral("admin"));
        form->memoLiveLog->clear();
        form->actReceiver->trigger();
        QCOMPARE(calls->load(), started ? 1 : 0);
        if (!started)
            QTRY_VERIFY(
                form->memoLiveLog->toPlainText().endsWith(QStringLiteral("\nSelect a data format.\n")));
    }

    void liveRawInputFromTheReceiver()
    {
        cleanup();
        f = std::make_unique<TShellFixture>();
        f->Server.Options().ReceiverPort = 0;
        QVERIFY(f->StartServer(true));
        form = f->Connect();
        QVERIFY(f->Connected());
        form->show();
        Unlock(2, QStringLiteral("admin"));
        QCOMPARE(form->actReceiver->text(), QStringLiteral("Start receiver"));
        form->actReceiver->trigger();
        QTRY_COMPARE(form->actReceiver->text(), QStringLiteral("Stop receiver"));
        QVERIFY(form->StatusPanelText(0).contains(QStringLiteral("port")));
        quint16 port = 0;
        f->Server.RunOnServer([&](TServer& s) { port = s.Receiver().Port(); });
        QVERIFY(port != 0);
        QTcpSocket exchange;
        exchange.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(exchange.waitForConnected(5000));
        exchange.write("01/02/24 10:15 00:01:05 [101  ) [      ) [0888123456          ) (001] (002] (O)\r\n");
        QVERIFY(exchange.waitForBytesWritten(5000));
        QTRY_VERIFY_WITH_TIMEOUT(form->memoLiveRawInput->toPlainText().contains(QStringLiteral("0888123456")),
                                 10000);
        QVERIFY(form->gaugeInputBuffer->MaxValue() > 0);
        form->actReceiver->trigger();
        QTRY_COMPARE(form->actReceiver->text(), QStringLiteral("Start receiver"));
    }

    void unexpectedErrorReport_data()
    {
        QTest::addColumn<bool>("oleError");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("entry");
        const QString bug = QStringLiteral(
            "Boom\n\nThis may be a bug - please report exact steps to reproduce.\n\nTo close Telvane Client "
            "press Abort.");
        QTest::newRow("Ignore") << false << int(TMsgButton::Ignore) << int(TAppExceptionOutcome::Ignore)
                                << bug << "4: Boom";
        QTest::newRow("Abort") << false << int(TMsgButton::Abort) << int(TAppExceptionOutcome::Abort) << bug
                               << "4: Boom";
        QTest::newRow("lost connection")
            << true << int(TMsgButton::OK) << int(TAppExceptionOutcome::Fatal)
            << "Connection to Telvane Server was lost.\nTelvane Client will now close."
            << "3: Boom";
    }
    void unexpectedErrorReport()
    {
        QFETCH(bool, oleError);
        QFETCH(int, answer);
        QFETCH(int, outcome);
        QFETCH(QString, box);
        QFETCH(QString, entry);
        f->Answerer.SetAnswers({static_cast<TMsgButton>(answer)});
        const Exception plain(QStringLiteral("Boom"));
        const EOleSysError ole(QStringLiteral("Boom"), hr::RPC_E_DISCONNECTED_);
        const Exception& error = oleError ? static_cast<const Exception&>(ole) : plain;
        QCOMPARE(int(ReportAppException(form->actReport, error)), outcome);
        QCOMPARE(f->Answerer.Asked().size(), 1);
        QCOMPARE(f->Answerer.Asked().first().Text, box);
        const QStringList entries = f->LogEntries();
        const qsizetype at = entries.indexOf(entry);
        QVERIFY2(at >= 0, qPrintable(entries.join(QLatin1Char('|'))));
        static const QRegularExpression context(
            QStringLiteral("^(Exception|EOleSysError) QAction actReport [0-9A-F]{8}$"));
        QVERIFY2(context.match(entries.value(at + 1)).hasMatch(), qPrintable(entries.value(at + 1)));
        QTRY_VERIFY(form->memoLiveLog->toPlainText().contains(QStringLiteral("Boom")));
    }

    void failedLoggingIsNoted()
    {
        ReleaseClientLogs();
        f->Answerer.SetAnswers({TMsgButton::Ignore});
        ReportAppException(nullptr, Exception(QStringLiteral("Boom")));
        InstallClientLogs(std::make_unique<TClientLogs>(LogsDir()));
        QCOMPARE(f->Answerer.Asked().size(), 1);
        QVERIFY(f->Answerer.Asked().first().Text.startsWith(
            QStringLiteral("Boom\n(Failed logging this error.)\n\n")));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
