// The administration window in the shell, against the real demo server: tabs and
// captions, the edit-mode rule, a round trip of records through the window's controls,
// the list filters, block and unblock as the command queue window shows them, the formats
// in use, the data format editor's trial and the period-end pickers.
//
// With TELVANE_ADMIN_SCREENSHOTS set to a directory, every tab is also saved there as a
// picture (for looking at the window under a real display).

#include "admin/ChildAdmin.h"
#include "core/DateTime.h"
#include "remote/RemoteDataSet.h"
#include "server/SqlValues.h"
#include "shell/ChildQueue.h"
#include "support/FindChild.h"
#include "support/ReceiverHelpers.h"
#include "support/ShellFixture.h"
#include "widgets/RadioGroup.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimeEdit>
#include <QTreeWidget>

#include <memory>

class TestChildAdmin : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TShellFixture> f;
    TClientMainForm* form = nullptr;
    TChildFormAdmin* admin = nullptr;
    QTabWidget* tabs = nullptr;

    QVariant Scalar(const QString& sql, const QVariantList& params = {})
    {
        return ServerScalar(f->Server, sql, params);
    }
    QAction* Action(const char* name) { return FindChild<QAction>(admin, name); }
    void Trigger(const char* name) { Action(name)->trigger(); }
    void Type(const char* edit, const QString& text)
    {
        auto* e = FindChild<QLineEdit>(admin, edit);
        e->selectAll();
        QTest::keyClicks(e, text);
    }
    void ShowTab(int index)
    {
        tabs->setCurrentIndex(index);
        QCoreApplication::processEvents();
    }

private Q_SLOTS:
    void init()
    {
        f = std::make_unique<TShellFixture>();
        f->Server.Options().CommandRetryMs = 3600000;
        QVERIFY(f->StartServer(true));
        form = f->Connect();
        QVERIFY(f->Connected());
        QVERIFY(LogIn(ClientMainDM()->MainRDM, true));
        TAccess::SetLevel(TAccess::Admin);
        QVERIFY(form->actAdmin->isEnabled());
        form->actAdmin->trigger();
        admin = qobject_cast<TChildFormAdmin*>(TChildFormBlank::OfAction(form->actAdmin));
        QVERIFY(admin);
        tabs = FindChild<QTabWidget>(admin, "pcAllTables");
    }

    void cleanup()
    {
        admin = nullptr;
        f.reset();
        form = nullptr;
    }

    // The tabs in order with their captions; the window's caption follows the tab.
    void tabsAndCaptions()
    {
        QStringList captions;
        for (int i = 0; i < tabs->count(); ++i)
            captions << tabs->tabText(i);
        QCOMPARE(captions, (QStringList{"&Extensions", "PIN &codes", "&Groups", "&PBX list", "&Limit plans", "&Data formats",
                                        "&Tariff rules"}));
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(admin->windowTitle(), QStringLiteral("Extensions"));
        ShowTab(1);
        QCOMPARE(admin->windowTitle(), QStringLiteral("PIN codes"));
        QCOMPARE(Action("actNew")->shortcut(), QKeySequence(Qt::Key_Insert));
        QCOMPARE(Action("actConfirm")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
        QVERIFY(!Action("actConfirm")->isEnabled());

        const QString shots = qEnvironmentVariable("TELVANE_ADMIN_SCREENSHOTS");
        if (!shots.isEmpty()) {
            admin->showMaximized();
            for (int i = 0; i < tabs->count(); ++i) {
                ShowTab(i);
                admin->grab().save(QStringLiteral("%1/admin-%2.png").arg(shots).arg(i));
            }
            ShowTab(5);
            FindChild<QLineEdit>(admin, "edtSchemaSample")
                ->setText(QStringLiteral("24.03.24 09:15:02 00:02:05 T03 C12 E105 P       N0888123456     O"));
            admin->grab().save(QStringLiteral("%1/admin-trial.png").arg(shots));
        }
    }

    // While a row is edited the tab stays and only Save and Cancel work; afterwards the
    // tabs change again.
    void editModeHoldsTheTab()
    {
        ShowTab(2);
        Trigger("actEdit");
        for (const char* name : {"actNew", "actEdit", "actDelete", "actRefresh", "actPreviewPrint"})
            QVERIFY2(!Action(name)->isEnabled(), name);
        QVERIFY(Action("actConfirm")->isEnabled());
        QVERIFY(FindChild<QWidget>(admin, "pnlGroupControls")->isEnabled());
        ShowTab(4);
        QCOMPARE(tabs->currentIndex(), 2);
        QCOMPARE(admin->windowTitle(), QStringLiteral("Groups"));
        Trigger("actCancel");
        QVERIFY(Action("actNew")->isEnabled());
        QVERIFY(!FindChild<QWidget>(admin, "pnlGroupControls")->isEnabled());
        ShowTab(4);
        QCOMPARE(tabs->currentIndex(), 4);
    }

    // A group made, renamed and deleted through the window's controls.
    void groupRoundTrip()
    {
        TInstalledAnswerer& answers = f->Answerer;
        ShowTab(2);
        Trigger("actNew");
        Trigger("actConfirm");
        QCOMPARE(answers.Asked().last().Text, QStringLiteral("Please, fill in Group name."));
        Type("edtGroupName", QStringLiteral("Night shift"));
        Trigger("actConfirm");
        QVERIFY(!Action("actConfirm")->isEnabled());
        QCOMPARE(Scalar(QStringLiteral("SELECT count(*) FROM GROUPS WHERE NAME = 'Night shift'")).toInt(), 1);

        TRemoteDataSet& groups = admin->DM().cdsGroups;
        QCOMPARE(groups.FieldByName(QStringLiteral("NAME"))->AsString(), QStringLiteral("Night shift"));
        Trigger("actEdit");
        Type("edtGroupName", QStringLiteral("Late shift"));
        Trigger("actConfirm");
        QCOMPARE(Scalar(QStringLiteral("SELECT count(*) FROM GROUPS WHERE NAME = 'Late shift'")).toInt(), 1);

        answers.SetAnswers({TMsgButton::Yes});
        Trigger("actDelete");
        QCOMPARE(answers.Asked().last().Text,
                 QStringLiteral("Delete group \"Late shift\"\r\nAND ALL ITS EXTENSIONS AND PIN CODES?"));
        QCOMPARE(Scalar(QStringLiteral("SELECT count(*) FROM GROUPS WHERE NAME = 'Late shift'")).toInt(), 0);
    }

    // A limit plan's period picked from the combo box is stored as seconds.
    void limitPlanPeriod()
    {
        ShowTab(4);
        Trigger("actNew");
        Type("edtLimitPlanName", QStringLiteral("Trial"));
        Type("edtMoneyLimit", QStringLiteral("12.5"));
        auto* period = FindChild<QComboBox>(admin, "cmbResetInterval");
        QCOMPARE(period->count(), 5);
        period->setCurrentIndex(3);
        Q_EMIT period->activated(3);
        Trigger("actConfirm");
        QCOMPARE(ServerRow(f->Server, QStringLiteral("SELECT MONEY_LIMIT, RESET_INTERVAL FROM LIMIT_PLAN WHERE NAME = "
                                                     "'Trial'")),
                 (QStringList{"12.5", "604800"}));
        QCOMPARE(period->currentText(), QStringLiteral("1 week"));
    }

    // "By group" lists the groups and narrows the extensions; with the chosen group gone,
    // a refresh chooses the first group; "Show all" lists every extension again.
    void filterLists()
    {
        auto* rg = FindChild<TRadioGroup>(admin, "rgFilterExtensions");
        auto* list = FindChild<QListWidget>(admin, "lstFilterExtensions");
        TRemoteDataSet& ext = admin->DM().cdsExtension;
        QVERIFY(!list->isEnabled());
        admin->DM().cdsGroups.AppendRecord({QVariant(), QStringLiteral("Empty group")});
        admin->DM().cdsGroups.ApplyUpdatesOrRaise();
        rg->SetItemIndex(2);
        Q_EMIT rg->Clicked(2);
        QVERIFY(list->isEnabled());
        QCOMPARE(list->count(), Scalar(QStringLiteral("SELECT count(*) FROM GROUPS")).toInt());
        QCOMPARE(list->currentRow(), 0);
        const int first = list->item(0)->data(Qt::UserRole).toInt();
        QCOMPARE(ext.RecordCount(), Scalar(QStringLiteral("SELECT count(*) FROM EXTENSION WHERE GROUP_ID = ?"), {first}).toInt());

        list->setCurrentRow(list->count() - 1);
        QCOMPARE(list->currentItem()->text(), QStringLiteral("Empty group"));
        QCOMPARE(ext.RecordCount(), 0);
        Scalar(QStringLiteral("DELETE FROM GROUPS WHERE NAME = 'Empty group'"));
        Trigger("actRefresh");
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(list->currentItem()->data(Qt::UserRole).toInt(), first);
        QCOMPARE(ext.RecordCount(), Scalar(QStringLiteral("SELECT count(*) FROM EXTENSION WHERE GROUP_ID = ?"), {first}).toInt());

        rg->SetItemIndex(0);
        Q_EMIT rg->Clicked(0);
        QVERIFY(!list->isEnabled());
        QCOMPARE(ext.RecordCount(), Scalar(QStringLiteral("SELECT count(*) FROM EXTENSION")).toInt());
    }

    void blockPinCode_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("Avaya Definity asks nothing") << 0 << int(TMsgButton::Yes) << false << "";
        QTest::newRow("Siemens HiPath, erase") << 1 << int(TMsgButton::Yes) << true << " ERASE LIST";
        QTest::newRow("Siemens HiPath, keep") << 1 << int(TMsgButton::No) << true << "";
        QTest::newRow("direct commands ask nothing") << 3 << int(TMsgButton::Yes) << false << "";
    }

    // Block and unblock show up in the command queue window and in the stored state.
    void blockPinCode()
    {
        QFETCH(int, protocol);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QFETCH(QString, suffix);
        Scalar(QStringLiteral("UPDATE SETTINGS SET VALUE = ? WHERE NAME = 'control_protocol'"), {protocol});
        Scalar(QStringLiteral("INSERT OR REPLACE INTO SETTINGS (NAME, VALUE) VALUES ('control_protocol', ?)"), {protocol});
        ShowTab(1);
        TRemoteDataSet& pins = admin->DM().cdsPinCode;
        const QString code = pins.FieldByName(QStringLiteral("CODE"))->AsString();
        const int pbx = pins.FieldByName(QStringLiteral("PBX_ID"))->AsInteger();
        f->Answerer.SetAnswers({static_cast<TMsgButton>(answer)});
        const qsizetype before = f->Answerer.Asked().size();
        Trigger("actBlockPinCode");
        QCOMPARE(f->Answerer.Asked().size() > before, asked);
        if (asked)
            QCOMPARE(f->Answerer.Asked().last().Text, QStringLiteral("Erase list for this PIN code?"));
        QCOMPARE(Scalar(QStringLiteral("SELECT BLOCKED FROM PIN_CODE WHERE PBX_ID = ? AND CODE = ?"), {pbx, code}).toInt(), 1);
        Trigger("actUnblockPinCode");
        QCOMPARE(Scalar(QStringLiteral("SELECT BLOCKED FROM PIN_CODE WHERE PBX_ID = ? AND CODE = ?"), {pbx, code}).toInt(), 0);

        form->actQueue->trigger();
        TChildFormQueue* queue = TChildFormQueue::Instance();
        QVERIFY(queue);
        QStringList rows;
        for (int r = 0; r < queue->ListView->rowCount(); ++r)
            rows << queue->ListView->item(r, 0)->text();
        QCOMPARE(rows, (QStringList{QStringLiteral("BLOCK PIN %1 PBX %2%3").arg(code).arg(pbx).arg(suffix),
                                    QStringLiteral("UNBLOCK PIN %1 PBX %2").arg(code).arg(pbx)}));
    }

    // A format the server refuses leaves the mark where it was; an accepted one moves it.
    void useSelectedFormat()
    {
        Scalar(QStringLiteral("INSERT INTO CALL_SCHEMA (NAME, TEXT) VALUES ('Broken', '(phone)')"));
        Scalar(QStringLiteral("INSERT INTO CALL_SCHEMA (NAME, TEXT) VALUES ('Short', '(EXTENSION:3) (PHONE:12]')"));
        ShowTab(5);
        Trigger("actRefresh");
        TRemoteDataSet& formats = admin->DM().cdsCallSchema;
        auto marked = [&] {
            QStringList names;
            for (int row = 0; row < formats.RecordCount(); ++row)
                if (formats.DisplayTextAt(row, *formats.FieldByName(QStringLiteral("ClcActive"))) == QLatin1String("***"))
                    names << formats.DisplayTextAt(row, *formats.FieldByName(QStringLiteral("NAME")));
            return names;
        };
        QCOMPARE(marked(), QStringList{QStringLiteral("Head office SMDR")});
        QVERIFY(formats.Locate(QStringLiteral("NAME"), {QStringLiteral("Broken")}));
        Trigger("actUseSelectedSchema");
        QCOMPARE(f->Answerer.Asked().last().Text, QStringLiteral("Invalid data format."));
        QCOMPARE(marked(), QStringList{QStringLiteral("Head office SMDR")});
        QVERIFY(formats.Locate(QStringLiteral("NAME"), {QStringLiteral("Short")}));
        Trigger("actUseSelectedSchema");
        QCOMPARE(marked(), QStringList{QStringLiteral("Short")});
        QCOMPARE(formats.FieldByName(QStringLiteral("NAME"))->AsString(), QStringLiteral("Short"));
    }

    // The editor's trial follows the format as it is typed.
    void formatTrial()
    {
        ShowTab(5);
        Trigger("actNew");
        auto* memo = FindChild<QPlainTextEdit>(admin, "mmoSchemaText");
        auto* sample = FindChild<QLineEdit>(admin, "edtSchemaSample");
        auto* result = FindChild<QLabel>(admin, "lblSchemaTrial");
        auto* fields = FindChild<QTreeWidget>(admin, "lstSchemaTrial");
        sample->setText(QStringLiteral("105 088812345678"));
        QCOMPARE(result->text(), QStringLiteral("Invalid data format."));
        QTest::keyClicks(memo, QStringLiteral("(EXTENSION:3)"));
        QCOMPARE(result->text(), QStringLiteral("The line does not match the format."));
        QTest::keyClicks(memo, QStringLiteral(" (PHONE:12]"));
        QCOMPARE(result->text(), QStringLiteral("The line matches the format."));
        QStringList shown;
        for (int i = 0; i < fields->topLevelItemCount(); ++i)
            shown << fields->topLevelItem(i)->text(0) + QLatin1Char('=') + fields->topLevelItem(i)->text(1);
        QVERIFY(shown.contains(QStringLiteral("Extension=105")));
        QVERIFY2(shown.contains(QStringLiteral("Phone number=088812345678")), qPrintable(shown.join(QLatin1Char('|'))));
        Type("edtSchemaName", QStringLiteral("Typed"));
        Trigger("actConfirm");
        QCOMPARE(Scalar(QStringLiteral("SELECT TEXT FROM CALL_SCHEMA WHERE NAME = 'Typed'")).toString(),
                 QStringLiteral("(EXTENSION:3) (PHONE:12]"));
    }

    // A code without an end of period opens with today 00:00 in the pickers, and saving
    // stores that.
    void periodEndPickers()
    {
        TRemoteDataSet& ext = admin->DM().cdsExtension;
        QVERIFY(ext.Locate(QStringLiteral("PBX_ID;CODE"), {3, QStringLiteral("301")}));
        Scalar(QStringLiteral("UPDATE EXTENSION SET NEXT_RESET = NULL, LIMIT_PLAN_ID = NULL WHERE PBX_ID = 3 AND CODE = '301'"));
        Trigger("actRefresh");
        QVERIFY(ext.Locate(QStringLiteral("PBX_ID;CODE"), {3, QStringLiteral("301")}));
        auto* shown = FindChild<QLineEdit>(admin, "edtExtensionNextReset");
        auto* pickers = FindChild<QWidget>(admin, "pnlExtensionNextReset");
        Trigger("actEdit");
        QVERIFY(shown->isHidden());
        QVERIFY(!pickers->isHidden());
        QCOMPARE(FindChild<QDateEdit>(admin, "dtpExtensionNextResetDate")->date(), QDate::currentDate());
        QCOMPARE(FindChild<QTimeEdit>(admin, "dtpExtensionNextResetTime")->time(), QTime(0, 0));
        Trigger("actConfirm");
        QVERIFY(!shown->isHidden());
        QVERIFY(pickers->isHidden());
        QCOMPARE(Scalar(QStringLiteral("SELECT NEXT_RESET FROM EXTENSION WHERE PBX_ID = 3 AND CODE = '301'")).toString(),
                 DateTimeToSqlText(DateTimeFromQDate(QDate::currentDate())));
    }
};

QTEST_MAIN(TestChildAdmin)
#include "tst_childadmin.moc"
