// The extension/PIN selection model without a server: the SQL condition it writes from a
// selection (whole PBXs, whole user groups, ranges of neighbouring codes, single codes,
// the missing value), its condition value and the restoring of one, and the group counts.

#include "reportconfig/EPSelection.h"
#include "support/LogCapture.h"

#include <QTest>

#include <memory>

namespace {

const TEPExpressions kExtension{QStringLiteral("c.EXT_CODE"), QStringLiteral("e.GROUP_ID"),
                                QStringLiteral("c.PBX_ID")};
const QStringList kPbxNames{QStringLiteral("Main"), QStringLiteral("Branch"), QStringLiteral("Depot")};

// Items written "pbx:group:code". The PBXs are Main (1) up to the highest one named, out of
// Main, Branch and Depot; the user groups are created as they appear.
std::unique_ptr<TEPSelection> Build(const QStringList& items)
{
    auto s = std::make_unique<TEPSelection>();
    int pbxs = 1;
    for (const QString& item : items)
        pbxs = std::max(pbxs, item.section(QLatin1Char(':'), 0, 0).toInt());
    for (int pbx = 1; pbx <= pbxs; ++pbx)
        s->AddGroup(epPbx, pbx, kPbxNames.at(pbx - 1));
    for (const QString& item : items) {
        const QStringList p = item.split(QLatin1Char(':'));
        const int group = p.at(1).toInt();
        if (!s->FindGroup(epUserGroup, group))
            s->AddGroup(epUserGroup, group, QStringLiteral("Group %1").arg(group));
        if (!s->AddItem(p.at(2), QStringLiteral("Name of %1").arg(p.at(2)), p.at(0).toInt(), group, 0))
            qFatal("item %s not created", qPrintable(item));
    }
    return s;
}

// Selects items written "pbx:code".
void Select(TEPSelection& s, const QStringList& selected)
{
    for (const QString& which : selected) {
        const QStringList p = which.split(QLatin1Char(':'));
        for (TEPItem* item : s.AllItems().Items())
            if (item->Group(epPbx)->Id() == p.at(0).toInt() && item->Code() == p.at(1))
                item->SetSelected(true);
    }
}

QStringList Selected(const TEPSelection& s)
{
    QStringList out;
    for (const TEPItem* item : s.AllItems().Items())
        if (item->Selected())
            out << QStringLiteral("%1:%2").arg(item->Group(epPbx)->Id()).arg(item->Code());
    return out;
}

const QStringList kExample{"1:7:101", "1:7:102", "1:7:103", "1:7:104",
                           "1:8:201", "1:8:202", "1:8:203", "1:8:210"};
const QStringList kTwoExchanges{"1:1:101", "1:1:102", "2:1:x", "2:1:y"};

}  // namespace

class TestEPSelection : public QObject {
    Q_OBJECT

    std::unique_ptr<TLogCapture> logs_;

private Q_SLOTS:
    void initTestCase() { logs_ = std::make_unique<TLogCapture>(); }
    void cleanupTestCase() { logs_.reset(); }

    void conditions_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<bool>("missing");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("usesGroups");
        QTest::addColumn<QString>("value");

        QTest::newRow("a whole group, a run and a single code")
            << kExample << QStringList{"1:101", "1:102", "1:103", "1:104", "1:201", "1:202", "1:210"} << false
            << "(e.GROUP_ID = '7') or (c.EXT_CODE between '201' and '202') or (c.EXT_CODE = '210')" << true
            << "Main:101,102,103,104,201,202,210;False";
        QTest::newRow("a whole group alone")
            << kExample << QStringList{"1:201", "1:202", "1:203", "1:210"} << false << "e.GROUP_ID = '8'"
            << true << "Main:201,202,203,210;False";
        QTest::newRow("a whole group and a single code")
            << kExample << QStringList{"1:101", "1:102", "1:103", "1:104", "1:203"} << false
            << "(e.GROUP_ID = '7') or (c.EXT_CODE = '203')" << true << "Main:101,102,103,104,203;False";
        QTest::newRow("runs over codes the table lacks, and singles")
            << QStringList{"1:1:1", "1:1:2", "1:1:3", "1:1:5", "1:1:6", "1:1:8", "1:1:9"}
            << QStringList{"1:1", "1:2", "1:3", "1:6", "1:9"} << false
            << "(c.EXT_CODE between '1' and '3') or (c.EXT_CODE in ('6', '9'))" << false
            << "Main:1,2,3,6,9;False";
        QTest::newRow("neighbours are judged in the database's order: upper case first")
            << QStringList{"1:1:a3", "1:1:B2", "1:1:A1", "1:1:c4"} << QStringList{"1:A1", "1:B2"} << false
            << "(c.EXT_CODE between 'A1' and 'B2')" << false << "Main:B2,A1;False";
        QTest::newRow("quotes in codes stay inside the literals")
            << QStringList{"1:1:1'2", "1:1:1'3", "1:1:9"} << QStringList{"1:1'2", "1:1'3"} << false
            << "(c.EXT_CODE between '1''2' and '1''3')" << false << "Main:1'2,1'3;False";
        QTest::newRow("a whole PBX is quoted, a PBX in a term is not")
            << kTwoExchanges << QStringList{"1:101", "1:102", "2:x"} << false
            << "(c.PBX_ID = '1') or (c.PBX_ID = 2) and (c.EXT_CODE = 'x')" << false
            << "Main:101,102;Branch:x;False";
        QTest::newRow("the same with calls without a code")
            << kTwoExchanges << QStringList{"1:101", "1:102", "2:x"} << true
            << "(c.EXT_CODE is null) or ((c.PBX_ID = '1') or (c.PBX_ID = 2) and (c.EXT_CODE = 'x'))" << false
            << "Main:101,102;Branch:x;True";
        QTest::newRow("whole PBXs only; a PBX with nothing selected adds nothing")
            << QStringList{"1:1:101", "2:1:201", "3:1:301"} << QStringList{"1:101", "2:201"} << false
            << "c.PBX_ID in ('1', '2')" << false << "Main:101;Branch:201;False";
        QTest::newRow("a group whole in one PBX and loose in the other")
            << QStringList{"1:1:101", "1:1:102", "1:2:103", "2:1:201", "2:1:202"}
            << QStringList{"1:101", "1:102", "2:201"} << false
            << "(c.PBX_ID = 1) and (e.GROUP_ID = '1') or (c.PBX_ID = 2) and (c.EXT_CODE = '201')" << true
            << "Main:101,102;Branch:201;False";
        QTest::newRow("all selected")
            << kExample << QStringList{kExample}.replaceInStrings(":7:", ":").replaceInStrings(":8:", ":")
            << false << "not c.EXT_CODE is null" << false << "+;False";
        QTest::newRow("all selected with the missing value: no condition")
            << kTwoExchanges << QStringList{"1:101", "1:102", "2:x", "2:y"} << true << "" << false
            << "+;True";
        QTest::newRow("none with the missing value")
            << kTwoExchanges << QStringList{} << true << "c.EXT_CODE is null" << false << "-;True";
        QTest::newRow("none without: no condition (the page then selects nothing)")
            << kTwoExchanges << QStringList{} << false << "" << false << "-;False";
        QTest::newRow("an empty table with the missing value")
            << QStringList{} << QStringList{} << true << "c.EXT_CODE is null" << false << "-;True";
        QTest::newRow("an empty table without")
            << QStringList{} << QStringList{} << false << "" << false << "-;False";
    }
    void conditions()
    {
        QFETCH(QStringList, items);
        QFETCH(QStringList, selected);
        QFETCH(bool, missing);
        QFETCH(QString, sql);
        QFETCH(bool, usesGroups);
        QFETCH(QString, value);
        const auto s = Build(items);
        Select(*s, selected);
        const TEPCondition c = s->Condition(kExtension, missing);
        QCOMPARE(c.Sql, sql);
        QCOMPARE(c.UsesGroups, usesGroups);
        QCOMPARE(s->ConditionValue(missing), value);

        // The value brings the same selection back into a fresh model.
        const auto restored = Build(items);
        QCOMPARE(restored->RestoreSelection(value), missing);
        QCOMPARE(Selected(*restored), Selected(*s));
        QCOMPARE(restored->Condition(kExtension, missing).Sql, sql);
    }

    void restoring_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<bool>("missing");
        QTest::newRow("two PBXs") << "Main:101;Branch:x,y;False" << QStringList{"1:101", "2:x", "2:y"}
                                  << false;
        QTest::newRow("a PBX that is gone restores nothing for it")
            << "Gone:101;Branch:x;True" << QStringList{"2:x"} << true;
        QTest::newRow("codes that are gone are skipped")
            << "Main:101,999;False" << QStringList{"1:101"} << false;
        QTest::newRow("names compare exactly") << "main:101;Branch:y;False" << QStringList{"2:y"} << false;
        QTest::newRow("a part without a colon is skipped")
            << "Main;Branch:x;maybe" << QStringList{"2:x"} << true;
        QTest::newRow("all") << "+;False" << QStringList{"1:101", "1:102", "2:x", "2:y"} << false;
        QTest::newRow("none") << "-;True" << QStringList{} << true;
        QTest::newRow("empty: all, with the missing value")
            << "" << QStringList{"1:101", "1:102", "2:x", "2:y"} << true;
        QTest::newRow("a single part names nothing") << "Main:101" << QStringList{} << true;
    }
    void restoring()
    {
        QFETCH(QString, value);
        QFETCH(QStringList, selected);
        QFETCH(bool, missing);
        const auto s = Build(kTwoExchanges);
        Select(*s, {"1:102"});
        QCOMPARE(s->RestoreSelection(value), missing);
        QCOMPARE(Selected(*s), selected);
        QCOMPARE(s->AllItems().SelectedCount(), int(selected.size()));
    }

    // Every group of an item keeps its count; the counters read them.
    void counts()
    {
        const auto s = Build({"1:1:101", "1:2:102", "2:1:201"});
        QCOMPARE(s->AllItems().CountText(), QStringLiteral("0/3"));
        Select(*s, {"1:101", "1:102"});
        const TEPGroup* main = s->FindPbx(QStringLiteral("Main"));
        QCOMPARE(main->CountText(), QStringLiteral("All 2"));
        QCOMPARE(s->FindGroup(epUserGroup, 1)->CountText(), QStringLiteral("1/2"));
        QCOMPARE(s->FindGroup(epLimitPlan, 0)->CountText(), QStringLiteral("2/3"));
        const TEPGroup* empty = s->AddGroup(epUserGroup, 9, QStringLiteral("Nobody"));
        QCOMPARE(empty->CountText(), QString());
        QVERIFY(empty->AllSelected() && empty->NoneSelected());
        s->FindGroup(epUserGroup, 1)->SelectAll(false);
        QCOMPARE(s->AllItems().CountText(), QStringLiteral("1/3"));
        QCOMPARE(main->CountText(), QStringLiteral("1/2"));
        s->AllItems().SelectAll(true);
        QCOMPARE(s->FindGroup(epLimitPlan, 0)->CountText(), QStringLiteral("All 3"));
    }

    // A group told twice keeps its count and says so.
    void countGuard()
    {
        const auto s = Build({"1:1:101"});
        TEPGroup& all = s->AllItems();
        all.SelectAll(true);
        all.OnItemSelected(true);
        QCOMPARE(all.SelectedCount(), 1);
        all.SelectAll(false);
        all.OnItemSelected(false);
        QCOMPARE(all.SelectedCount(), 0);
        QCOMPARE(logs_->Entries(QStringLiteral("reports")),
                 (QStringList{QStringLiteral("4: OnItemSelected: All items are already selected."),
                              QStringLiteral("4: OnItemSelected: All items are already DEselected.")}));
    }

    // An item needs its PBX and user group; a limit plan of 0 is "Unlimited".
    void items()
    {
        TEPSelection s;
        s.AddGroup(epPbx, 1, QStringLiteral("Main"));
        s.AddGroup(epUserGroup, 4, QStringLiteral("Sales"));
        s.AddGroup(epLimitPlan, 2, QStringLiteral("Daily"));
        QCOMPARE(s.Row(epLimitPlan).size(), 2);
        QCOMPARE(s.Row(epLimitPlan).at(0)->Name(), QStringLiteral("Unlimited"));
        QCOMPARE(s.Row(epLimitPlan).at(1)->Index(), 1);
        TEPItem* free = s.AddItem(QStringLiteral("101"), QStringLiteral("Ann"), 1, 4, 0);
        QVERIFY(free);
        QCOMPARE(free->Group(epLimitPlan)->Name(), QStringLiteral("Unlimited"));
        QCOMPARE(s.AddItem(QStringLiteral("102"), QStringLiteral("Bob"), 1, 4, 2)->Group(epLimitPlan)->Name(),
                 QStringLiteral("Daily"));
        QVERIFY(!s.AddItem(QStringLiteral("103"), QString(), 9, 4, 0));
        QVERIFY(!s.AddItem(QStringLiteral("104"), QString(), 1, 9, 0));
        QVERIFY(!s.AddItem(QStringLiteral("105"), QString(), 1, 4, 9));
        QCOMPARE(s.AllItems().ItemCount(), 2);
        QCOMPARE(s.AllItems().Name(), QStringLiteral("All"));
    }
};

QTEST_GUILESS_MAIN(TestEPSelection)
#include "tst_epselection.moc"
