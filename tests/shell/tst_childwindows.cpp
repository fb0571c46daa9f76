// The windows bound to the main window's actions as the program binds them: each opening
// action opens its own window or, while it has none, nothing; each dialog action runs its
// dialog with the action checked; a binding names an action of its kind.

#include "core/Errors.h"
#include "shell/AccessLevel.h"
#include "shell/ChildBlank.h"
#include "support/ShellFixture.h"

#include <QDialog>
#include <QLabel>
#include <QMdiArea>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

namespace {

// A window of the test's own, bound the way a window of a later folder is.
class TTestChild : public TChildFormBlank {
public:
    TTestChild(TMainFormServices* owner, QAction* action) : TChildFormBlank(owner, action)
    {
        setObjectName(QStringLiteral("TestChild"));
        setWidget(new QLabel(QStringLiteral("test")));
    }
};

}  // namespace

class TestChildWindows : public QObject {
    Q_OBJECT

    std::unique_ptr<TShellFixture> f;
    TClientMainForm* form = nullptr;

    QAction* Action(const QString& name) const { return form->findChild<QAction*>(name); }

private Q_SLOTS:
    void init()
    {
        f = std::make_unique<TShellFixture>();
        form = f->ConnectAsAdministrator();
        QVERIFY(form);
        form->show();
    }
    void cleanup()
    {
        form = nullptr;
        f.reset();
    }

    void openingActions_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("window");
        QTest::newRow("queue") << "actQueue"
                               << "ChildFormQueue";
        QTest::newRow("reports") << "actReport"
                                 << "ChildFormCallsInfo";
        QTest::newRow("administration") << "actAdmin"
                                        << "ChildFormAdmin";
        QTest::newRow("archives") << "actArchives"
                                  << "ChildFormArchives";
        QTest::newRow("logs") << "actLogsReport"
                              << "ChildLogsReport";
    }
    void openingActions()
    {
        QFETCH(QString, action);
        QFETCH(QString, window);
        QAction* a = Action(action);
        QVERIFY(a);
        a->trigger();
        TChildFormBlank* child = TChildFormBlank::OfAction(a);
        QCOMPARE(child ? child->objectName() : QString(), window);
        QCOMPARE(form->MdiArea()->subWindowList().size(), window.isEmpty() ? 0 : 1);
        // Again: the same window comes to the front.
        a->trigger();
        QCOMPARE(TChildFormBlank::OfAction(a), child);
        QCOMPARE(form->MdiArea()->subWindowList().size(), window.isEmpty() ? 0 : 1);
        QVERIFY(f->Answerer.Asked().isEmpty());
    }

    // The bound report window carries the archive page for an administrator.
    void reportWindowHasItsArchivePage()
    {
        form->actReport->trigger();
        TChildFormBlank* child = TChildFormBlank::OfAction(form->actReport);
        QVERIFY(child);
        QVERIFY(child->findChild<QWidget*>(QStringLiteral("ArchiverFrame")));
        QVERIFY(child->findChild<QAction*>(QStringLiteral("aCreateArchive")));
    }

    void dialogActions_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("dialog");
        QTest::newRow("access level") << "actAccessLevel"
                                      << "DlgFormAccessLevel";
        QTest::newRow("about") << "actAbout"
                               << "SplashForm";
        QTest::newRow("options") << "actOptions"
                                 << "OptionsForm";
    }
    void dialogActions()
    {
        QFETCH(QString, action);
        QFETCH(QString, dialog);
        QAction* a = Action(action);
        QVERIFY(a);
        QString shown;
        bool checkedMeanwhile = false;
        bool parentIsTheMainWindow = false;
        QTimer::singleShot(0, form, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                shown = modal->objectName();
                checkedMeanwhile = a->isChecked();
                parentIsTheMainWindow = modal->parentWidget() == form;
                modal->close();
            }
        });
        a->trigger();
        QCoreApplication::processEvents();
        QCOMPARE(shown, dialog);
        QCOMPARE(checkedMeanwhile, !dialog.isEmpty());
        QCOMPARE(parentIsTheMainWindow, !dialog.isEmpty());
        QVERIFY(!a->isChecked());
    }

    // What a window of a later folder does: one binding, and the action opens it with the
    // main window as its owner.
    void aNewWindowNeedsOnlyItsBinding()
    {
        TMainFormServices* owner = nullptr;
        QAction* opening = nullptr;
        form->BindChildWindow(QStringLiteral("actReport"), [&](TMainFormServices* o, QAction* a) {
            owner = o;
            opening = a;
            return new TTestChild(o, a);
        });
        form->actReport->trigger();
        QCOMPARE(owner, static_cast<TMainFormServices*>(form));
        QCOMPARE(opening, form->actReport);
        TChildFormBlank* child = TChildFormBlank::OfAction(form->actReport);
        QVERIFY(child);
        QCOMPARE(child->objectName(), QStringLiteral("TestChild"));
        form->UpdateActions();
        QVERIFY(form->tbCalls->isChecked());
        // Locking closes it as it closes every child window.
        TAccess::SetLevel(TAccess::Locked);
        QVERIFY(!TChildFormBlank::OfAction(form->actReport));
    }

    // Until its window lands an action is disabled and says why, in the tool tip that a
    // disabled menu entry or tool button still shows.
    void missingWindowsSaySo_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("button");  // its tool bar button, if it has one
        QTest::addColumn<QString>("hint");    // empty: the action works
        QTest::newRow("queue") << "actQueue"
                               << "tbQueue"
                               << "";
        QTest::newRow("access level") << "actAccessLevel"
                                      << "tbAccessLevel"
                                      << "";
        QTest::newRow("about") << "actAbout"
                               << ""
                               << "";
        QTest::newRow("reports") << "actReport"
                                 << "tbCalls"
                                 << "";
        QTest::newRow("administration") << "actAdmin"
                                        << "tbAdmin"
                                        << "";
        QTest::newRow("archives") << "actArchives"
                                  << "tbArchives"
                                  << "";
        QTest::newRow("logs") << "actLogsReport"
                              << "tbLogsReport"
                              << "";
        QTest::newRow("options") << "actOptions"
                                 << "tbOptions"
                                 << "";
        // No help file is installed yet.
        QTest::newRow("help contents") << "actHelp"
                                       << ""
                                       << "Not available in this version.";
    }
    void missingWindowsSaySo()
    {
        QFETCH(QString, action);
        QFETCH(QString, button);
        QFETCH(QString, hint);
        QAction* a = Action(action);
        QVERIFY(a);
        // Whatever the access level shows and the idle update decides.
        TAccess::SetLevel(TAccess::Locked);
        TAccess::SetLevel(TAccess::Admin);
        form->UpdateActions();
        QCOMPARE(a->isEnabled(), hint.isEmpty());
        QCOMPARE(form->ActionAvailable(a), hint.isEmpty());
        if (!button.isEmpty()) {
            auto* b = form->findChild<QToolButton*>(button);
            QVERIFY(b && b->isVisible());
            QCOMPARE(b->isEnabled(), hint.isEmpty());
            if (!hint.isEmpty())
                QCOMPARE(b->toolTip(), hint);
        }
        if (hint.isEmpty())
            return;
        QCOMPARE(a->toolTip(), hint);
        QCOMPARE(a->statusTip(), hint);
        // Its shortcut does nothing either.
        a->trigger();
        QCoreApplication::processEvents();
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(form->MdiArea()->subWindowList().isEmpty());
    }

    // A later window enables its action by its binding alone, with the action's own hint;
    // the access level still decides whether it is shown.
    void bindingEnablesAMissingWindow()
    {
        // Every window of this version is bound: take one back to stand for a later window.
        form->UnbindChildWindow(QStringLiteral("actAdmin"));
        QVERIFY(!form->actAdmin->isEnabled());
        form->BindChildWindow(QStringLiteral("actAdmin"),
                              [](TMainFormServices* o, QAction* a) { return new TTestChild(o, a); });
        QVERIFY(form->actAdmin->isEnabled());
        QCOMPARE(form->actAdmin->toolTip(), QStringLiteral("Manage extensions, PINs, limits, tariffs etc."));
        QCOMPARE(form->actAdmin->statusTip(), QStringLiteral("Manage extensions, PINs, limits, tariffs etc."));
        QVERIFY(form->tbAdmin->isEnabled());
        TAccess::SetLevel(TAccess::User);
        QVERIFY(!form->actAdmin->isEnabled());
        TAccess::SetLevel(TAccess::Admin);
        QVERIFY(form->actAdmin->isEnabled());
        form->actAdmin->trigger();
        QVERIFY(TChildFormBlank::OfAction(form->actAdmin));

        form->BindDialog(QStringLiteral("actOptions"),
                         [](QWidget* parent) { return std::make_unique<QDialog>(parent); });
        form->UpdateActions();
        QVERIFY(form->actOptions->isEnabled());
        TAccess::SetLevel(TAccess::User);
        form->UpdateActions();
        QVERIFY(!form->actOptions->isEnabled());
    }

    void bindingNamesAnActionOfItsKind_data()
    {
        QTest::addColumn<bool>("childWindow");
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("bound");
        QTest::newRow("child window, opening action") << true << "actLogsReport" << true;
        QTest::newRow("child window, dialog action") << true << "actAccessLevel" << false;
        QTest::newRow("child window, receiver") << true << "actReceiver" << false;
        QTest::newRow("child window, no such action") << true << "actNoSuch" << false;
        QTest::newRow("dialog, dialog action") << false << "actOptions" << true;
        QTest::newRow("dialog, opening action") << false << "actQueue" << false;
        QTest::newRow("dialog, letter case differs") << false << "actabout" << false;
    }
    void bindingNamesAnActionOfItsKind()
    {
        QFETCH(bool, childWindow);
        QFETCH(QString, action);
        QFETCH(bool, bound);
        QString error;
        try {
            if (childWindow)
                form->BindChildWindow(action,
                                      [](TMainFormServices* o, QAction* a) { return new TTestChild(o, a); });
            else
                form->BindDialog(action, [](QWidget* parent) { return std::make_unique<QDialog>(parent); });
        } catch (const Exception& e) {
            error = e.Message();
        }
        QCOMPARE(error.isEmpty(), bound);
        if (!bound)
            QCOMPARE(error, QStringLiteral("TClientMainForm: No action %1 to bind.").arg(action));
    }
};

QTEST_MAIN(TestChildWindows)
#include "tst_childwindows.moc"
