// The report window's own pages without the window: the setup page (fields, sort criteria,
// grouping levels and their moves), the special report page and the print options, each
// through its state line and its actions as the user reaches them.

#include "calls/CallFieldInfo.h"
#include "calls/ReportQuery.h"
#include "reportconfig/FrameOverlapSetup.h"
#include "reportconfig/FramePrint.h"
#include "reportconfig/FrameSetup.h"
#include "support/FindChild.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

namespace {

QListWidgetItem* ItemOf(QListWidget* list, TCallFieldId field)
{
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->data(Qt::UserRole).toInt() == field)
            return list->item(i);
    return nullptr;
}

}  // namespace

class TestSetupPages : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { CreateCallFieldInfos(); }

    // ---- setup page --------------------------------------------------------------------------

    void setupLoadState_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("saved");
        QTest::newRow("empty") << ""
                               << ";;";
        QTest::newRow("one part") << "REC_DATETIME"
                                  << ";;";
        QTest::newRow("two parts") << "REC_DATETIME;EXT_CODE"
                                   << ";;";
        QTest::newRow("fields only") << "PHONE,REC_DATETIME;;"
                                     << "REC_DATETIME,PHONE;;";
        // Placing a field checks it.
        QTest::newRow("sorted and grouped fields get checked")
            << "REC_DATETIME;DURATION;EXT_CODE,PHONE"
            << "REC_DATETIME,DURATION,EXT_CODE,PHONE;DURATION;EXT_CODE,PHONE";
        // Identifiers the page does not list never stand in a list unchecked.
        QTest::newRow("unlisted identifiers") << "ID,EXT_CODE;ID;PBX_ID"
                                              << "EXT_CODE;;";
        QTest::newRow("unknown names") << "NOPE,EXT_CODE;nope;ext_code"
                                       << "EXT_CODE;;";
        QTest::newRow("a field stands once") << "EXT_CODE;EXT_CODE;EXT_CODE"
                                             << "EXT_CODE;EXT_CODE;";
        // The user's limit of four levels is not applied to a stored line.
        QTest::newRow("five levels")
            << ";;EXT_CODE,PIN_CODE,PHONE,TRUNK,CIRCUIT"
            << "EXT_CODE,PIN_CODE,PHONE,CIRCUIT,TRUNK;;EXT_CODE,PIN_CODE,PHONE,TRUNK,CIRCUIT";
    }
    void setupLoadState()
    {
        QFETCH(QString, state);
        QFETCH(QString, saved);
        TReportSetupFrame page(nullptr);
        page.LoadState(QStringLiteral("REC_DATETIME,TRUNK;TRUNK;PHONE"));
        page.LoadState(state);
        QCOMPARE(page.SaveState(), saved);
        // Every sorted or grouped field is checked.
        const TCallFieldSet selected = page.GetSelectedFields();
        for (TCallFieldId f : page.SortFields() + page.GroupFields())
            QVERIFY(selected.Contains(f));
    }

    void uncheckingAGroupedField()
    {
        TReportSetupFrame page(nullptr);
        page.show();
        page.LoadState(QStringLiteral("EXT_CODE,PHONE;PHONE;EXT_CODE,TRUNK"));
        auto* lstTotals = FindChild<QListWidget>(&page, "lstTotals");
        const int before = lstTotals->height();
        ItemOf(FindChild<QListWidget>(&page, "clbSelect"), cfExtCode)->setCheckState(Qt::Unchecked);
        QCOMPARE(page.SaveState(), QStringLiteral("PHONE,TRUNK;PHONE;TRUNK"));
        QVERIFY(lstTotals->height() < before);
        // Checking it again places it nowhere.
        ItemOf(FindChild<QListWidget>(&page, "clbSelect"), cfExtCode)->setCheckState(Qt::Checked);
        QCOMPARE(page.SaveState(), QStringLiteral("EXT_CODE,PHONE,TRUNK;PHONE;TRUNK"));
    }

    void sortCriterionIntoGrouping_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("groupable");
        for (const char* name : {"REC_DATETIME", "START_DATETIME", "DURATION", "CHARGE", "PULSES",
                                 "TOTAL_COUNT", "TOTAL_CHARGE"})
            QTest::newRow(name) << name << false;
        for (const char* name :
             {"PHONE", "TRUNK", "EXT_CODE", "PIN_CODE", "EXT_NAME", "PIN_GROUP", "CALL_TYPE"})
            QTest::newRow(name) << name << true;
    }
    void sortCriterionIntoGrouping()
    {
        QFETCH(QString, name);
        QFETCH(bool, groupable);
        TReportSetupFrame page(nullptr);
        page.LoadState(name + QLatin1Char(';') + name + QStringLiteral(";EXT_NAME"));
        if (name == QLatin1String("EXT_NAME"))
            page.LoadState(name + QLatin1Char(';') + name + QLatin1Char(';'));
        auto* lstSort = FindChild<QListWidget>(&page, "lstSort");
        lstSort->item(0)->setSelected(true);
        page.UpdateActions();
        auto* up = FindChild<QAction>(&page, "aUpSort");
        QCOMPARE(up->isEnabled(), groupable);
        if (!groupable)
            return;
        up->trigger();
        const TCallFieldId field = FieldIdByName(name);
        QCOMPARE(page.GroupFields().last(), field);
        QVERIFY(page.SortFields().isEmpty());
        // Down from the innermost level: back to the top of the sort criteria.
        auto* down = FindChild<QAction>(&page, "aDownSort");
        QVERIFY(down->isEnabled());
        down->trigger();
        QCOMPARE(page.SortFields(), QList<TCallFieldId>{field});
        QVERIFY(!page.GroupFields().contains(field));
    }

    void fourLevelsKeepTheFirstCriterion()
    {
        TReportSetupFrame page(nullptr);
        page.LoadState(QStringLiteral(";PHONE;EXT_CODE,PIN_CODE,TRUNK,CIRCUIT"));
        auto* lstSort = FindChild<QListWidget>(&page, "lstSort");
        lstSort->item(0)->setSelected(true);
        page.UpdateActions();
        QVERIFY(!FindChild<QAction>(&page, "aUpSort")->isEnabled());
        // With three levels it may move.
        page.LoadState(QStringLiteral(";PHONE;EXT_CODE,PIN_CODE,TRUNK"));
        lstSort->item(0)->setSelected(true);
        page.UpdateActions();
        QVERIFY(FindChild<QAction>(&page, "aUpSort")->isEnabled());
    }

    void addingAPlacedField()
    {
        TReportSetupFrame page(nullptr);
        page.LoadState(QStringLiteral("EXT_CODE,REC_DATETIME;;EXT_CODE"));
        auto* clbSelect = FindChild<QListWidget>(&page, "clbSelect");
        auto* add = FindChild<QAction>(&page, "aAddSort");
        clbSelect->setCurrentItem(ItemOf(clbSelect, cfExtCode));
        QVERIFY(!add->isEnabled());
        clbSelect->setCurrentItem(ItemOf(clbSelect, cfRecTime));
        QVERIFY(add->isEnabled());
        add->trigger();
        QCOMPARE(page.SaveState(), QStringLiteral("REC_DATETIME,EXT_CODE;REC_DATETIME;EXT_CODE"));
    }

    void orderBy_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<bool>("grouped");
        QTest::newRow("time, ungrouped")
            << "REC_DATETIME;REC_DATETIME;" << QStringList{"c.REC_DATETIME", "c.ID"} << false;
        QTest::newRow("time, with a total")
            << "REC_DATETIME,TOTAL_COUNT;REC_DATETIME;" << QStringList{"c.REC_DATETIME"} << true;
        QTest::newRow("levels before criteria")
            << "EXT_CODE,PHONE,REC_DATETIME;REC_DATETIME,PHONE;EXT_CODE"
            << QStringList{"c.EXT_CODE", "c.REC_DATETIME", "c.ID", "c.PHONE"} << false;
        QTest::newRow("nothing") << "EXT_CODE;;" << QStringList{} << false;
    }
    void orderBy()
    {
        QFETCH(QString, state);
        QFETCH(QStringList, order);
        QFETCH(bool, grouped);
        TReportSetupFrame page(nullptr);
        page.LoadState(state);
        QCOMPARE(page.IsGrouped(), grouped);
        QCOMPARE(QStringList(page.GetOrderBy()), order);
    }

    // ---- special report page -----------------------------------------------------------------

    void overlapLoadState_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("on");
        QTest::addColumn<int>("equality");
        QTest::addColumn<int>("inequality");
        QTest::addColumn<QString>("saved");
        QTest::newRow("empty") << "" << false << int(cfPinCode) << int(cfExtCode) << "False,0,1,False,0";
        QTest::newRow("four elements")
            << "True,2,0,True" << false << int(cfPinCode) << int(cfExtCode) << "False,0,1,False,0";
        QTest::newRow("indexes clamped")
            << "True,9,9,True,-60" << true << int(cfPhone) << int(cfNone) << "True,2,3,True,-60";
        QTest::newRow("negative indexes")
            << "1,-4,-1,0,30" << true << int(cfPinCode) << int(cfPinCode) << "True,0,0,False,30";
        QTest::newRow("unreadable elements")
            << "yes,x,2,maybe,z" << false << int(cfPinCode) << int(cfPhone) << "False,0,2,False,0";
    }
    void overlapLoadState()
    {
        QFETCH(QString, state);
        QFETCH(bool, on);
        QFETCH(int, equality);
        QFETCH(int, inequality);
        QFETCH(QString, saved);
        TOverlapSetupFrame page(nullptr, {cfPinCode, cfExtCode, cfPhone});
        page.LoadState(QStringLiteral("True,1,2,True,100"));
        page.LoadState(state);
        QCOMPARE(page.IsOn(), on);
        QCOMPARE(int(page.EqualityField()), equality);
        QCOMPARE(int(page.InequalityField()), inequality);
        QCOMPARE(page.SaveState(), saved);
        QCOMPARE(FindChild<QGroupBox>(&page, "grpFields")->isEnabled(), on);
        QCOMPARE(FindChild<QGroupBox>(&page, "grpOptions")->isEnabled(), on);
        const TOverlapOptions options = page.Options();
        QCOMPARE(int(options.EqualityField), equality);
        QCOMPARE(int(options.InequalityField), inequality);
    }

    void overlapOrder()
    {
        TOverlapSetupFrame page(nullptr, {cfPinCode, cfExtCode, cfPhone});
        page.LoadState(QStringLiteral("True,1,3,False,0"));
        QCOMPARE(QStringList(page.GetOverlapOrderBy()),
                 (QStringList{"EXT_CODE", "c.START_DATETIME", "c.END_DATETIME"}));
    }

    void overlapText_data()
    {
        QTest::addColumn<int>("seconds");
        for (int s : {0, 59, -60, 3661, -3661, 32400, -32400})
            QTest::newRow(qPrintable(QString::number(s))) << s;
    }
    void overlapText()
    {
        QFETCH(int, seconds);
        const QString text = TOverlapSetupFrame::OverlapText(seconds);
        QCOMPARE(text.startsWith(QLatin1Char('-')), seconds < 0);
        QCOMPARE(TOverlapSetupFrame::ReadOverlap(text, 7), seconds);
    }

    // ---- print options -----------------------------------------------------------------------

    void printOptionsLoadState_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("firstPageOnly");
        QTest::addColumn<bool>("pageNumbers");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("bold");
        QTest::newRow("empty") << ""
                               << "" << false << true << "Arial" << 10 << false;
        QTest::newRow("ten entries") << "T,-1,0,204,0,Courier,12,-1,0,0"
                                     << "" << false << true << "Arial" << 10 << false;
        QTest::newRow("eleven entries") << "\"Sales, March\",-1,0,204,0,\"Courier New\",12,-1,0,0,0"
                                        << "Sales, March" << true << false << "Courier New" << 12 << true;
        QTest::newRow("defaults of unreadable entries") << "T,x,y,204,0,Courier,z,0,0,0,0"
                                                        << "T" << false << true << "Courier" << 10 << false;
    }
    void printOptionsLoadState()
    {
        QFETCH(QString, state);
        QFETCH(QString, title);
        QFETCH(bool, firstPageOnly);
        QFETCH(bool, pageNumbers);
        QFETCH(QString, family);
        QFETCH(int, size);
        QFETCH(bool, bold);
        TFramePrintOptions page(nullptr);
        page.LoadState(QStringLiteral("X,-1,0,204,0,Times,20,-1,-1,0,0"));
        page.LoadState(state);
        QCOMPARE(page.CustomTitle(), title);
        QCOMPARE(page.FirstPageTitleOnly(), firstPageOnly);
        QCOMPARE(page.PageNumbers(), pageNumbers);
        QCOMPARE(page.PrintFont().family(), family);
        QCOMPARE(page.PrintFont().pointSize(), size);
        QCOMPARE(page.PrintFont().bold(), bold);
    }

    void printTitleSurvives_data()
    {
        QTest::addColumn<QString>("title");
        QTest::newRow("comma") << "Calls, March";
        QTest::newRow("quotes") << "The \"big\" report";
        QTest::newRow("blank") << "Head office";
        QTest::newRow("plain") << "Calls";
    }
    void printTitleSurvives()
    {
        QFETCH(QString, title);
        TFramePrintOptions page(nullptr);
        page.LoadState({});
        FindChild<QLineEdit>(&page, "lbledtCustomTitle")->setText(title);
        FindChild<QCheckBox>(&page, "cbFirstPageTitle")->setChecked(true);
        TFramePrintOptions restored(nullptr);
        restored.LoadState(page.SaveState());
        QCOMPARE(restored.CustomTitle(), title);
        QVERIFY(restored.FirstPageTitleOnly());
        QCOMPARE(restored.PrintFont().family(), QStringLiteral("Arial"));
    }
};

QTEST_MAIN(TestSetupPages)
#include "tst_setuppages.moc"
