// The filter pages that read the server's lists, against a demo server: the creation
// order and settings keys, the extension and PIN code pages (state lines, browsing,
// selecting through the lists, the group join), and simple mode (its lists, the mapping
// to and from the advanced pages, the mode itself).

#include "calls/ReportQuery.h"
#include "core/RegionalSettings.h"
#include "reportconfig/FrameCharge.h"
#include "reportconfig/FrameCount.h"
#include "reportconfig/FrameDateTime.h"
#include "reportconfig/FrameExtPin.h"
#include "reportconfig/FrameList.h"
#include "reportconfig/FrameQuantity.h"
#include "reportconfig/FrameSimpleMode.h"
#include "reportconfig/TreeNodeMarks.h"
#include "shell/base/IniFiles32.h"
#include "support/DirectSql.h"
#include "support/FilterPagesFixture.h"
#include "support/FindChild.h"
#include "support/LogCapture.h"
#include "widgets/LabeledUpDownEdit.h"
#include "widgets/RadioGroup.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QDate kLastDay(2024, 3, 31);

QString IntervalLine(const QDateTime& from, const QDateTime& to, int field)
{
    return QStringLiteral("%1,%2,%3,1")
        .arg(FloatToTextDot(DateTimeFromQDateTime(from)), FloatToTextDot(DateTimeFromQDateTime(to)))
        .arg(field);
}

QDateTime At(int day, int hour = 0)
{
    return QDateTime(QDate(2024, 3, day), QTime(hour, 0));
}

}  // namespace

class TestFilterPagesLive : public QObject {
    Q_OBJECT

    std::unique_ptr<TLogCapture> logs_;
    std::unique_ptr<TFilterPagesFixture> f_;
    QString firstPin_;  // the first PIN code of Branch Plovdiv

    // What the simple page shows, row by row.
    QStringList SimpleRows() const
    {
        const TFrameSimpleModeCalls* s = f_->Pages.SimpleMode;
        const auto* kind = FindChild<QComboBox>(s, "cmbExtPin");
        const auto* codes =
            FindChild<QComboBox>(s, kind->currentIndex() == 0 ? "cmbExtensions" : "cmbPinCodes");
        const QString line = codes->currentText();
        return {FindChild<QLabel>(s, "lblInterval")->text() + QLatin1Char(' ') +
                    FindChild<QDateEdit>(s, "dtpFromDate")->date().toString(Qt::ISODate) +
                    QStringLiteral("..") + FindChild<QDateEdit>(s, "dtpToDate")->date().toString(Qt::ISODate),
                kind->currentText() + QLatin1Char(':') + line.left(line.indexOf(QStringLiteral(" ("))),
                FindChild<QComboBox>(s, "cmbSelective")->currentText() + QLatin1Char(':') +
                    FindChild<QLineEdit>(s, "edtSelective")->text(),
                FindChild<QComboBox>(s, "cmbQuantitative")->currentText() + QLatin1Char(':') +
                    QString::number(FindChild<TLabeledUpDownEdit>(s, "ludedtQuantity")->Position())};
    }

private Q_SLOTS:
    void initTestCase()
    {
        CreateCallFieldInfos();
        TRegionalSettings::SetCurrent(TRegionalSettings());
        logs_ = std::make_unique<TLogCapture>();
        f_ = std::make_unique<TFilterPagesFixture>(kLastDay);
        QVERIFY2(f_->Ready(), qPrintable(f_->Error()));
        const TDirect pin =
            RunDirect(f_->Connection.Server.DatabasePath(),
                      QStringLiteral("select CODE from PIN_CODE where PBX_ID = 2 order by CODE"));
        QVERIFY(!pin.Rows.isEmpty());
        firstPin_ = pin.Rows.first().first().toString();
    }
    void cleanupTestCase()
    {
        f_.reset();
        logs_.reset();
    }

    // ---- creation ------------------------------------------------------------------------

    // The pages stand after the empty panel in creation order, which fixes their keys.
    void creationOrder()
    {
        const TReportFilterPages& p = f_->Pages;
        const QList<QWidget*> expected{f_->Empty,  p.Interval, p.Extensions, p.PinCodes,  p.Phone,
                                       p.CallType, p.Trunk,    p.Circuit,    p.ExtraCode, p.Count,
                                       p.Duration, p.Charge,   p.Pulses,     p.SimpleMode};
        QCOMPARE(f_->Panel.Pages(), expected);
        QCOMPARE(f_->Panel.PageIndex(p.SimpleMode), 13);
        QCOMPARE(p.DetailFilters(),
                 (QList<TReportFilterFrame*>{p.Interval, p.Extensions, p.PinCodes, p.Phone, p.CallType,
                                             p.Trunk, p.Circuit, p.ExtraCode, p.Duration->Details(),
                                             p.Charge->Details(), p.Pulses->Details()}));
        QCOMPARE(p.TotalFilters(), (QList<TReportFilterFrame*>{p.Count->Totals(), p.Duration->Totals(),
                                                               p.Charge->Totals(), p.Pulses->Totals()}));
        QCOMPARE(p.PinCodes->FieldId(), cfPinCode);
        QCOMPARE(p.CallType->FieldId(), cfCallType);
        QCOMPARE(p.Charge->Totals()->FieldId(), cfTotalRawCharge);
        QCOMPARE(TreeNodeAt(&f_->Tree, 13)->text(0), QStringLiteral("Extra code"));
        QCOMPARE(TreeNodeAt(&f_->Tree, 20)->text(0), QStringLiteral("Archive"));
        QVERIFY(!TreeNodeAt(&f_->Tree, 21));
    }

    // Each page marks its own node; two pages of one class keep separate lines under
    // separate keys.
    void nodesAndKeys()
    {
        f_->Apply({{"pin", "True|0|True|0|+;False"},
                   {"circuit", "True,False,+7"},
                   {"pulses", "True;False;0,1,0,False;0,0,0,False"}});
        QVERIFY(IsNodeMarkedOn(TreeNodeAt(&f_->Tree, 7)));
        QVERIFY(!IsNodeMarkedOn(TreeNodeAt(&f_->Tree, 6)));
        QVERIFY(IsNodeMarkedOn(TreeNodeAt(&f_->Tree, 12)));
        QVERIFY(!IsNodeMarkedOn(TreeNodeAt(&f_->Tree, 11)));
        QVERIFY(IsNodeMarkedOn(TreeNodeAt(&f_->Tree, 18)));
        QTemporaryDir dir;
        TIniFile32 ini(dir.filePath(QStringLiteral("client.ini")));
        f_->Panel.SaveStates(ini);
        const QString section = QLatin1String(TReportControlPanel::Section);
        QCOMPARE(ini.ReadString(section, QStringLiteral("control_panels_3"), {}),
                 QStringLiteral("True|0|True|0|+;False"));
        QCOMPARE(ini.ReadString(section, QStringLiteral("control_panels_2"), {}),
                 QStringLiteral("False|0|True|0|+;True"));
        QCOMPARE(ini.ReadString(section, QStringLiteral("control_panels_7"), {}),
                 QStringLiteral("True,False,+7"));
        QCOMPARE(ini.ReadString(section, QStringLiteral("control_panels_13"), {}),
                 f_->Pages.SimpleMode->SaveState());
        f_->Apply({});
        f_->Panel.LoadStates(ini);
        QCOMPARE(f_->Pages.PinCodes->SaveState(), QStringLiteral("True|0|True|0|+;False"));
        QCOMPARE(f_->Pages.Circuit->GetConditionValue(), QStringLiteral("7"));
        QVERIFY(f_->Pages.Pulses->IsOn());
    }

    // ---- extensions and PIN codes ------------------------------------------------------------

    void extPinLists()
    {
        const TExtPinFrame* ext = f_->Pages.Extensions;
        QCOMPARE(ext->Selection().AllItems().ItemCount(), 50);
        QCOMPARE(f_->Pages.PinCodes->Selection().AllItems().ItemCount(), 30);
        QCOMPARE(ext->Selection().Row(epPbx).size(), 3);
        QCOMPARE(ext->Selection().Row(epUserGroup).size(), 6);
        QCOMPARE(ext->Selection().Row(epLimitPlan).size(), 5);
        QCOMPARE(ext->Selection().FindPbx(QStringLiteral("Warehouse Varna"))->ItemCount(), 8);
        // Codes without a plan belong to "Unlimited".
        const TDirect unlimited =
            RunDirect(f_->Connection.Server.DatabasePath(),
                      QStringLiteral("select count(*) from EXTENSION where LIMIT_PLAN_ID is null"));
        QCOMPARE(ext->Selection().FindGroup(epLimitPlan, 0)->ItemCount(), unlimited.Rows.at(0).at(0).toInt());
        const QStringList captions{
            QStringLiteral("#"),   QStringLiteral("Extension"),       QStringLiteral("Extension name"),
            QStringLiteral("PBX"), QStringLiteral("Extension group"), QStringLiteral("Extension limit")};
        QTreeWidgetItem* header = FindChild<QTreeWidget>(ext, "ListView")->headerItem();
        for (int c = 0; c < captions.size(); ++c)
            QCOMPARE(header->text(c), captions.at(c));
        QCOMPARE(FindChild<QTreeWidget>(f_->Pages.PinCodes, "ListView")->headerItem()->text(2),
                 QStringLiteral("PIN name"));
    }

    void extPinStateLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("restored");
        QTest::addColumn<bool>("selectsNothing");
        QTest::addColumn<QString>("condition");  // "": none; "*": some
        QTest::newRow("empty: off, all, with the missing value") << ""
                                                                 << "False|0|True|0|+;True" << false << "";
        QTest::newRow("four elements: the default") << "True|1|False|2"
                                                    << "False|0|True|0|+;True" << false << "";
        QTest::newRow("a selection over two PBXs")
            << "True|2|False|1|Head office Sofia:101,102;Branch Plovdiv:201;False"
            << "True|2|False|1|Branch Plovdiv:201;Head office Sofia:101,102;False" << false << "*";
        QTest::newRow("unknown PBX and code skipped, indexes clamped, unreadable flags")
            << "yes|9|x|7|Gone:101;Warehouse Varna:301,999;maybe"
            << "False|0|True|3|Warehouse Varna:301;True" << false << "";
        QTest::newRow("negative indexes") << "True|-1|True|-3|-;True"
                                          << "True|0|True|0|-;True" << false << "c.EXT_CODE is null";
        QTest::newRow("nothing selected without the missing value") << "True|0|True|0|-;False"
                                                                    << "True|0|True|0|-;False" << true << "";
        QTest::newRow("all without the missing value")
            << "True|4|False|2|+;False"
            << "True|4|False|2|+;False" << false << "not c.EXT_CODE is null";
    }
    void extPinStateLines()
    {
        QFETCH(QString, line);
        QFETCH(QString, restored);
        QFETCH(bool, selectsNothing);
        QFETCH(QString, condition);
        TExtPinFrame* ext = f_->Pages.Extensions;
        ext->LoadState(QStringLiteral("True|3|False|2|Branch Plovdiv:205;False"));
        ext->LoadState(line);
        QCOMPARE(ext->SaveState(), restored);
        QCOMPARE(ext->SelectsNothing(), selectsNothing);
        QCOMPARE(f_->Pages.SelectsNothing(), selectsNothing);
        if (condition == QLatin1String("*"))
            QVERIFY(!ext->GetSQLCondition().isEmpty());
        else
            QCOMPARE(ext->GetSQLCondition(), condition);
        // The row and its first group are shown.
        const int row = restored.section(QLatin1Char('|'), 3, 3).toInt();
        QCOMPARE(FindChild<TRadioGroup>(ext, "rgFilter")->ItemIndex(), row);
        const auto* groups = FindChild<QListWidget>(ext, "clbListOfEPGroups");
        QCOMPARE(groups->count(), int(ext->Selection().Row(static_cast<TEPRow>(row)).size()));
        QCOMPARE(groups->currentRow(), 0);
        QCOMPARE(FindChild<QTreeWidget>(ext, "ListView")->topLevelItemCount(),
                 ext->Selection().Row(static_cast<TEPRow>(row)).first()->ItemCount());
        QCOMPARE(FindChild<QFrame>(ext, "pnlCount")->isVisibleTo(ext), ext->IsFilterOn());
        QCOMPARE(FindChild<QAction>(ext, "aSelectAll")->isEnabled(), ext->IsFilterOn());
        QCOMPARE(IsNodeMarkedOn(TreeNodeAt(&f_->Tree, 6)), ext->IsFilterOn());
        // The summary is the descriptor's.
        QCOMPARE(ext->GetSummary(),
                 ext->IsFilterOn() ? FieldInfo(cfExtCode).BuildSummary(ext->GetConditionValue()) : QString());
    }

    // Checking lines of the list, group check boxes and the actions keep the counts, the
    // check marks and the condition in step.
    void extPinBrowsing()
    {
        TExtPinFrame* ext = f_->Pages.Extensions;
        ext->LoadState(QStringLiteral("True|0|True|1|-;False"));
        auto* groups = FindChild<QListWidget>(ext, "clbListOfEPGroups");
        auto* list = FindChild<QTreeWidget>(ext, "ListView");
        auto* count = FindChild<QLabel>(ext, "lblCount");
        auto* total = FindChild<QLabel>(ext, "lblTotalCount");
        QCOMPARE(groups->count(), 3);
        QCOMPARE(groups->item(0)->text(), QStringLiteral("Branch Plovdiv"));  // by name
        QCOMPARE(list->topLevelItemCount(), 14);
        QCOMPARE(count->text(), QStringLiteral("0/14"));
        QCOMPARE(total->text(), QStringLiteral("0/50"));
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("201"));

        list->topLevelItem(2)->setCheckState(0, Qt::Checked);
        QCOMPARE(ext->GetConditionValue(), QStringLiteral("Branch Plovdiv:203;False"));
        QCOMPARE(groups->item(0)->checkState(), Qt::PartiallyChecked);
        QCOMPARE(count->text(), QStringLiteral("1/14"));
        QCOMPARE(total->text(), QStringLiteral("1/50"));

        // A grayed group is filled, a full one cleared.
        groups->item(0)->setCheckState(Qt::Unchecked);
        QCOMPARE(groups->item(0)->checkState(), Qt::Checked);
        QCOMPARE(count->text(), QStringLiteral("All 14"));
        QCOMPARE(list->topLevelItem(13)->checkState(0), Qt::Checked);
        groups->item(0)->setCheckState(Qt::Unchecked);
        QCOMPARE(count->text(), QStringLiteral("0/14"));
        QCOMPARE(list->topLevelItem(0)->checkState(0), Qt::Unchecked);

        // Another group's check box: that group is filled and shown.
        groups->item(2)->setCheckState(Qt::Checked);
        QCOMPARE(groups->currentRow(), 2);
        QCOMPARE(list->topLevelItemCount(), 8);
        QCOMPARE(ext->GetSQLCondition(), QStringLiteral("c.PBX_ID = '3'"));

        // Sorting: the code column again reverses, another column sorts ascending, "#" nothing.
        list->header()->sectionClicked(1);
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("308"));
        list->header()->sectionClicked(0);
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("308"));
        list->header()->sectionClicked(2);
        QStringList names;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            names << list->topLevelItem(i)->text(2);
        QStringList sorted = names;
        std::sort(sorted.begin(), sorted.end(),
                  [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        QCOMPARE(names, sorted);
        QVERIFY(ext->SaveState().startsWith(QStringLiteral("True|1|True|1|")));

        FindChild<QAction>(ext, "aSelectAll")->trigger();
        QCOMPARE(total->text(), QStringLiteral("All 50"));
        QCOMPARE(groups->item(1)->checkState(), Qt::Checked);
        FindChild<QAction>(ext, "aSelectNone")->trigger();
        QCOMPARE(total->text(), QStringLiteral("0/50"));
        QCOMPARE(list->topLevelItem(0)->checkState(0), Qt::Unchecked);
        QVERIFY(ext->SelectsNothing());
        FindChild<QCheckBox>(ext, "chkIncludeNull")->click();
        QVERIFY(!ext->SelectsNothing());
    }

    // A whole user group is named by its identifier, which needs the code's join.
    void extPinGroupJoin_data()
    {
        QTest::addColumn<bool>("pins");
        QTest::newRow("extensions") << false;
        QTest::newRow("PIN codes") << true;
    }
    void extPinGroupJoin()
    {
        QFETCH(bool, pins);
        TExtPinFrame* frame = pins ? f_->Pages.PinCodes : f_->Pages.Extensions;
        frame->LoadState(QStringLiteral("True|0|True|2|-;False"));
        // The first user group with items, filled by its check box.
        auto* groups = FindChild<QListWidget>(frame, "clbListOfEPGroups");
        const QList<TEPGroup*>& row = frame->Selection().Row(epUserGroup);
        const int line =
            int(std::find_if(row.begin(), row.end(), [](const TEPGroup* g) { return g->ItemCount() > 0; }) -
                row.begin());
        groups->item(line)->setCheckState(Qt::Checked);
        const QString group = QString::number(row.at(line)->Id());
        QVERIFY2(frame->GetSQLCondition().contains(QStringLiteral("%1.GROUP_ID = '%2'")
                                                       .arg(pins ? QLatin1Char('p') : QLatin1Char('e'))
                                                       .arg(group)),
                 qPrintable(frame->GetSQLCondition()));
        QCOMPARE(frame->GetRequiredJoins(), TJoinSet{pins ? jnPinCode : jnExtension});
        frame->LoadState(QString());
    }

    // ---- simple mode ---------------------------------------------------------------------------

    void simpleModeLists()
    {
        TFrameSimpleModeCalls* s = f_->Pages.SimpleMode;
        auto* extensions = FindChild<QComboBox>(s, "cmbExtensions");
        auto* pins = FindChild<QComboBox>(s, "cmbPinCodes");
        QCOMPARE(extensions->count(), 51);
        QCOMPARE(pins->count(), 31);
        QCOMPARE(extensions->itemText(0), QStringLiteral("<All>"));
        const TDirect first = RunDirect(
            f_->Connection.Server.DatabasePath(),
            QStringLiteral(
                "select t.CODE, x.NAME, t.NAME, g.NAME from EXTENSION t join PBX x on x.ID = t.PBX_ID "
                "join GROUPS g on g.ID = t.GROUP_ID order by x.NAME, t.CODE limit 1"));
        const QVariantList& r = first.Rows.at(0);
        QCOMPARE(extensions->itemText(1),
                 QStringLiteral("%1@%2 (%3 from %4 group)")
                     .arg(r.at(0).toString(), r.at(1).toString(), r.at(2).toString(), r.at(3).toString()));
        // One code at a time: choosing in one list resets the other.
        pins->setCurrentIndex(3);
        extensions->setCurrentIndex(2);
        QCOMPARE(pins->currentIndex(), 0);
        pins->setCurrentIndex(1);
        QCOMPARE(extensions->currentIndex(), 0);
        // Only the chosen kind's list is there.
        auto* kind = FindChild<QComboBox>(s, "cmbExtPin");
        kind->setCurrentIndex(0);
        QVERIFY(!extensions->isHidden() && pins->isHidden());
        kind->setCurrentIndex(1);
        QVERIFY(extensions->isHidden() && !pins->isHidden() && pins->isEnabled());
        // Another list kind starts empty; another quantity at 0.
        FindChild<QLineEdit>(s, "edtSelective")->setText(QStringLiteral("1,2"));
        FindChild<QComboBox>(s, "cmbSelective")->setCurrentIndex(2);
        QCOMPARE(FindChild<QLineEdit>(s, "edtSelective")->text(), QString());
        auto* quantity = FindChild<TLabeledUpDownEdit>(s, "ludedtQuantity");
        FindChild<QComboBox>(s, "cmbQuantitative")->setCurrentIndex(0);
        quantity->SetPosition(285);
        QCOMPARE(quantity->Text(), QStringLiteral("$10.5"));
        FindChild<QComboBox>(s, "cmbQuantitative")->setCurrentIndex(1);
        QCOMPARE(quantity->Position(), 0);
        QCOMPARE(quantity->Text(), QStringLiteral("0s"));
    }

    void simpleModeMapping_data()
    {
        QTest::addColumn<TLines>("advanced");
        QTest::addColumn<QStringList>("simple");
        QTest::addColumn<TLines>("after");  // the lines MapTo writes back

        QTest::newRow("a period of whole days")
            << TLines{{"period", RangeText(DateTimeFromQDateTime(At(3)), DateTimeFromQDateTime(At(5)))}}
            << QStringList{"Received time: 2024-03-03..2024-03-04", "PIN code:<All>",
                           "Phone:", "Raw charge:0"}
            << TLines{{"interval", IntervalLine(At(3), At(5), 0)}, {"phone", "False,False"}};
        QTest::newRow("a period ending at noon ends a day later")
            << TLines{{"interval", IntervalLine(At(5, 6), At(5, 12), 2)}}
            << QStringList{"Start time: 2024-03-05..2024-03-05", "PIN code:<All>", "Phone:", "Raw charge:0"}
            << TLines{{"interval", IntervalLine(At(5), At(6), 2)}};
        QTest::newRow("three extensions map to the first, alone and without missing codes")
            << TLines{{"ext", "True|0|True|1|Head office Sofia:110,103,105;True"},
                      {"pin", "True|0|True|0|+;True"}}
            << QStringList{"Received time: " + QDate::currentDate().toString(Qt::ISODate) + ".." +
                               QDate::currentDate().toString(Qt::ISODate),
                           "Extension:103@Head office Sofia", "Phone:", "Raw charge:0"}
            << TLines{{"ext", "True|0|True|1|Head office Sofia:103;False"}, {"pin", "False|0|True|0|+;True"}};
        QTest::newRow("all extensions selected are no choice")
            << TLines{{"ext", "True|0|True|0|+;False"}}
            << QStringList{"Received time: " + QDate::currentDate().toString(Qt::ISODate) + ".." +
                               QDate::currentDate().toString(Qt::ISODate),
                           "PIN code:<All>", "Phone:", "Raw charge:0"}
            << TLines{{"ext", "False|0|True|0|+;False"}};
        QTest::newRow("the first list that is on, the others off")
            << TLines{{"phone", "True,False,+088,-0"}, {"calltype", "True,True,+O,+I"}}
            << QStringList{"Received time: " + QDate::currentDate().toString(Qt::ISODate) + ".." +
                               QDate::currentDate().toString(Qt::ISODate),
                           "PIN code:<All>", "Phone:088", "Raw charge:0"}
            << TLines{{"phone", "True,False,+088,-0"}, {"calltype", "False,True,+O,+I"}};
        QTest::newRow("a list with the missing value")
            << TLines{{"calltype", "True,True,+O,-I"}}
            << QStringList{"Received time: " + QDate::currentDate().toString(Qt::ISODate) + ".." +
                               QDate::currentDate().toString(Qt::ISODate),
                           "PIN code:<All>", "Call type:O,-", "Raw charge:0"}
            << TLines{{"calltype", "True,True,+O,-I"}};
        QTest::newRow("extra codes have no line: Phone, empty, and extra codes go off")
            << TLines{{"extra", "True,False,+5"}}
            << QStringList{"Received time: " + QDate::currentDate().toString(Qt::ISODate) + ".." +
                               QDate::currentDate().toString(Qt::ISODate),
                           "PIN code:<All>", "Phone:", "Raw charge:0"}
            << TLines{{"extra", "False,False,+5"}, {"phone", "False,False"}};
        QTest::newRow("a duration between is not mapped")
            << TLines{{"duration", "True;False;1,60,300,False;0,0,0,False"}}
            << QStringList{"Received time: " + QDate::currentDate().toString(Qt::ISODate) + ".." +
                               QDate::currentDate().toString(Qt::ISODate),
                           "PIN code:<All>", "Phone:", "Raw charge:0"}
            << TLines{{"duration", "False;False;1,60,300,False;0,0,0,False"}};
        QTest::newRow("a duration at least; totals reset, missing values dropped")
            << TLines{{"duration", "True;True;0,300,0,True;1,5,10,True"}}
            << QStringList{"Received time: " + QDate::currentDate().toString(Qt::ISODate) + ".." +
                               QDate::currentDate().toString(Qt::ISODate),
                           "PIN code:<All>", "Phone:", "Duration:28"}
            << TLines{{"duration", "True;True;0,300,0,False;0,0,10,False"}};
        QTest::newRow("the charge field names the first quantity and stays")
            << TLines{{"charge", "True;False;0,10.5,0,False;0,0,0,False;1"}}
            << QStringList{"Received time: " + QDate::currentDate().toString(Qt::ISODate) + ".." +
                               QDate::currentDate().toString(Qt::ISODate),
                           "PIN code:<All>", "Phone:", "VAT:285"}
            << TLines{{"charge", "True;False;0,10.5,0,False;0,0,0,False;1"}};
        QTest::newRow("pulses beyond the simple edit's range are capped")
            << TLines{{"pulses", "True;False;0,287600000,0,False;0,0,0,False"}}
            << QStringList{"Received time: " + QDate::currentDate().toString(Qt::ISODate) + ".." +
                               QDate::currentDate().toString(Qt::ISODate),
                           "PIN code:<All>", "Phone:", "Pulses:30000"}
            << TLines{{"pulses", "True;False;0,277600000,0,False;0,0,0,False"}};
    }
    void simpleModeMapping()
    {
        QFETCH(TLines, advanced);
        QFETCH(QStringList, simple);
        QFETCH(TLines, after);
        f_->Apply(advanced);
        TFrameSimpleModeCalls* s = f_->Pages.SimpleMode;
        s->MapFrom();
        QCOMPARE(SimpleRows(), simple);
        s->MapTo();
        const QMap<QString, TReportBaseFrame*> pages = f_->PagesByName();
        for (auto [name, line] : after.asKeyValueRange())
            QCOMPARE(pages.value(name)->SaveState(), line);
        QVERIFY(logs_->Entries(QStringLiteral("reports")).isEmpty());
    }

    // A PIN code chosen on the simple page selects that code alone.
    void simpleModePinCode()
    {
        f_->Apply({{"pin", QStringLiteral("True|0|False|1|Branch Plovdiv:%1;True").arg(firstPin_)}});
        TFrameSimpleModeCalls* s = f_->Pages.SimpleMode;
        s->MapFrom();
        QCOMPARE(SimpleRows().at(1), QStringLiteral("PIN code:%1@Branch Plovdiv").arg(firstPin_));
        // Choosing an extension instead switches the PIN codes off.
        FindChild<QComboBox>(s, "cmbExtPin")->setCurrentIndex(0);
        FindChild<QComboBox>(s, "cmbExtensions")->setCurrentIndex(1);
        s->MapTo();
        QVERIFY(!f_->Pages.PinCodes->IsFilterOn());
        QVERIFY(f_->Pages.Extensions->IsFilterOn());
        QCOMPARE(f_->Pages.Extensions->Selection().AllItems().SelectedCount(), 1);
        FindChild<QComboBox>(s, "cmbExtPin")->setCurrentIndex(1);
        auto* pins = FindChild<QComboBox>(s, "cmbPinCodes");
        pins->setCurrentIndex(
            pins->findText(firstPin_ + QStringLiteral("@Branch Plovdiv"), Qt::MatchStartsWith));
        s->MapTo();
        QVERIFY(!f_->Pages.Extensions->IsFilterOn());
        QVERIFY(f_->Pages.PinCodes->IsFilterOn());
        QCOMPARE(f_->Pages.PinCodes->GetConditionValue(),
                 QStringLiteral("Branch Plovdiv:%1;False").arg(firstPin_));
    }

    void simpleModeSwitch_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("on");
        QTest::newRow("empty: simple") << "" << true;
        QTest::newRow("False") << "False" << false;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("unreadable: simple") << "advanced" << true;
    }
    void simpleModeSwitch()
    {
        QFETCH(QString, line);
        QFETCH(bool, on);
        TFrameSimpleModeCalls* s = f_->Pages.SimpleMode;
        QTreeWidgetItem* node = TreeNodeAt(&f_->Tree, 3);
        s->SetSimpleMode(!on);
        s->LoadState(line);
        QCOMPARE(s->IsSimpleMode(), on);
        QCOMPARE(s->SaveState(), on ? QStringLiteral("True") : QStringLiteral("False"));
        QCOMPARE(node->text(0),
                 on ? QStringLiteral("Filters (simple)") : QStringLiteral("Filters (advanced)"));
        QCOMPARE(NodeImageIndex(node), on ? 10 : 11);
        QCOMPARE(NodeSelectedImageIndex(node), on ? 10 : 11);
        QCOMPARE(node->isExpanded(), !on);
        // A busy window disabling its panel does not change the mode.
        f_->Panel.setEnabled(false);
        QCOMPARE(s->IsSimpleMode(), on);
        f_->Panel.setEnabled(true);
    }
};

QTEST_MAIN(TestFilterPagesLive)
#include "tst_filterpages_live.moc"
