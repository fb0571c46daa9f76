// The report statement byte for byte, and the collection of filter conditions.

#include "calls/ReportQuery.h"
#include "support/ReportQueryParts.h"

#include <QTest>

namespace {

static_assert(TConditionSource<TFilter>);
static_assert(!TConditionSource<QString>);

const QString kExtJoin =
    QStringLiteral("left join EXTENSION e on c.PBX_ID = e.PBX_ID and c.EXT_CODE = e.CODE\r\n");

}  // namespace

class TestReportQuery : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { CreateCallFieldInfos(); }

    void buildQuery_data()
    {
        QTest::addColumn<TIds>("fields");
        QTest::addColumn<TIds>("joins");
        QTest::addColumn<QStringList>("where");
        QTest::addColumn<QStringList>("having");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QString>("sql");

        QTest::newRow("grouped by extension")
            << TIds{cfExtCode, cfExtName, cfTotalCount, cfTotalDuration} << TIds{}
            << QStringList{"c.REC_DATETIME between '2006-12-01' and '2007-01-01'"}
            << QStringList{"count(c.ID) >= 5"} << QStringList{"c.EXT_CODE"}
            << "select c.EXT_CODE, e.NAME EXT_NAME, count(c.ID) TOTAL_COUNT, sum(c.DURATION) TOTAL_DURATION "
               "from CALL c\r\n"
               "left join EXTENSION e on c.PBX_ID = e.PBX_ID and c.EXT_CODE = e.CODE\r\n"
               "where (c.REC_DATETIME between '2006-12-01' and '2007-01-01')\r\n"
               "group by c.EXT_CODE, e.NAME\r\n"
               "having (count(c.ID) >= 5)\r\n"
               "order by c.EXT_CODE\r\n";
        QTest::newRow("no fields, nothing else") << TIds{} << TIds{} << QStringList{} << QStringList{}
                                                 << QStringList{} << "select * from CALL c\r\n";
        QTest::newRow("no fields with the other clauses")
            << TIds{} << TIds{jnExtension} << QStringList{"c.DURATION >= 60"}
            << QStringList{"count(c.ID) >= 5"} << QStringList{"c.REC_DATETIME", "c.ID"}
            << "select * from CALL c\r\n" + kExtJoin +
                   "where (c.DURATION >= 60)\r\norder by c.REC_DATETIME, c.ID\r\n";
        QTest::newRow("totals only: grouped without a group-by line")
            << TIds{cfTotalCount} << TIds{} << QStringList{} << QStringList{"count(c.ID) >= 5"}
            << QStringList{} << "select count(c.ID) TOTAL_COUNT from CALL c\r\nhaving (count(c.ID) >= 5)\r\n";
        QTest::newRow("having dropped when ungrouped")
            << TIds{cfExtCode, cfDuration} << TIds{} << QStringList{} << QStringList{"sum(c.DURATION) >= 60"}
            << QStringList{"c.EXT_CODE"}
            << "select c.DURATION, c.EXT_CODE from CALL c\r\norder by c.EXT_CODE\r\n";
        QTest::newRow("all where conditions empty: no where line")
            << TIds{cfPhone} << TIds{} << QStringList{"", "", ""} << QStringList{} << QStringList{}
            << "select c.PHONE from CALL c\r\n";
        QTest::newRow("all having conditions empty: no having line")
            << TIds{cfPhone, cfTotalCharge} << TIds{} << QStringList{} << QStringList{"", ""} << QStringList{}
            << "select c.PHONE, sum(c.CHARGE) TOTAL_CHARGE from CALL c\r\ngroup by c.PHONE\r\n";
        QTest::newRow("empty conditions between others are skipped")
            << TIds{cfPhone} << TIds{} << QStringList{"a", "", "b", ""} << QStringList{} << QStringList{}
            << "select c.PHONE from CALL c\r\nwhere (a)\r\nand (b)\r\n";
        QTest::newRow("joins e, eg, el once each and in order")
            << TIds{cfExtGroupName, cfExtLimitName} << TIds{} << QStringList{} << QStringList{}
            << QStringList{}
            << "select eg.NAME EXT_GROUP, el.NAME EXT_LIMIT from CALL c\r\n" + kExtJoin +
                   "left join GROUPS eg on e.GROUP_ID = eg.ID\r\n"
                   "left join LIMIT_PLAN el on e.LIMIT_PLAN_ID = el.ID\r\n";
        QTest::newRow("a filter join on a report without that column; select in identifier order")
            << TIds{cfPhone, cfDuration} << TIds{jnExtension} << QStringList{"e.GROUP_ID in ('1', '2')"}
            << QStringList{} << QStringList{}
            << "select c.DURATION, c.PHONE from CALL c\r\n" + kExtJoin +
                   "where (e.GROUP_ID in ('1', '2'))\r\n";
        QTest::newRow("a filter join the fields bring as well")
            << TIds{cfExtName} << TIds{jnExtension} << QStringList{} << QStringList{} << QStringList{}
            << "select e.NAME EXT_NAME from CALL c\r\n" + kExtJoin;
        QTest::newRow("joins in identifier order, whatever the fields")
            << TIds{cfPinLimitName, cfArchiveName, cfPbxName} << TIds{} << QStringList{} << QStringList{}
            << QStringList{}
            << "select a.COMMENT ARCHIVE_NAME, x.NAME PBX_NAME, pl.NAME PIN_LIMIT from CALL c\r\n"
               "inner join PBX x on c.PBX_ID = x.ID\r\n"
               "left join ARCHIVE a on c.ARCHIVE_ID = a.ID\r\n"
               "left join PIN_CODE p on c.PBX_ID = p.PBX_ID and c.PIN_CODE = p.CODE\r\n"
               "left join LIMIT_PLAN pl on p.LIMIT_PLAN_ID = pl.ID\r\n";
        QTest::newRow("group by every non-total field in identifier order")
            << TIds{cfTotalCharge, cfPbxName, cfExtCode, cfTotalPulses} << TIds{} << QStringList{"x"}
            << QStringList{"", "sum(c.CHARGE) >= 10.5", "sum(c.PULSES) <= 3"}
            << QStringList{"x.NAME", "c.EXT_CODE"}
            << "select c.EXT_CODE, x.NAME PBX_NAME, sum(c.CHARGE) TOTAL_CHARGE, sum(c.PULSES) TOTAL_PULSES "
               "from CALL c\r\n"
               "inner join PBX x on c.PBX_ID = x.ID\r\n"
               "where (x)\r\n"
               "group by c.EXT_CODE, x.NAME\r\n"
               "having (sum(c.CHARGE) >= 10.5)\r\nand (sum(c.PULSES) <= 3)\r\n"
               "order by x.NAME, c.EXT_CODE\r\n";
        // The special report without a second field passes cfNone among its fields.
        QTest::newRow("cfNone is no field: no empty select item")
            << TIds{cfNone, cfEndTime, cfStartTime, cfPinCode} << TIds{} << QStringList{} << QStringList{}
            << QStringList{"PIN_CODE"}
            << "select c.END_DATETIME, c.START_DATETIME, c.PIN_CODE from CALL c\r\norder by PIN_CODE\r\n";
        QTest::newRow("cfNone is no field: no empty group item")
            << TIds{cfNone, cfExtCode, cfTotalCount} << TIds{} << QStringList{} << QStringList{}
            << QStringList{}
            << "select c.EXT_CODE, count(c.ID) TOTAL_COUNT from CALL c\r\ngroup by c.EXT_CODE\r\n";
        QTest::newRow("cfNone alone selects everything")
            << TIds{cfNone} << TIds{} << QStringList{} << QStringList{} << QStringList{}
            << "select * from CALL c\r\n";
    }
    void buildQuery()
    {
        QFETCH(TIds, fields);
        QFETCH(TIds, joins);
        QFETCH(QStringList, where);
        QFETCH(QStringList, having);
        QFETCH(QStringList, order);
        QFETCH(QString, sql);
        QCOMPARE(BuildQuery(FieldSet(fields), JoinSet(joins), where, having, order), sql);
    }

    // Conditions built by the descriptors go into the statement as they come.
    void descriptorConditions()
    {
        const TStringArray where{FieldInfo(cfRecTime).BuildCondition(
                                     RangeText(EncodeDateTime(2006, 12, 1), EncodeDateTime(2007, 1, 1))),
                                 FieldInfo(cfTrunk).BuildCondition(QStringLiteral("1,-"))};
        const TStringArray having{FieldInfo(cfTotalCount).BuildCondition(QStringLiteral("0,5,0,False"))};
        QCOMPARE(BuildQuery(FieldSet({cfTrunk, cfTotalCount}), {}, where, having, {}),
                 QStringLiteral("select c.TRUNK, count(c.ID) TOTAL_COUNT from CALL c\r\n"
                                "where (c.REC_DATETIME between '2006-12-01' and '2007-01-01')\r\n"
                                "and (c.TRUNK = '1' or c.TRUNK is null)\r\n"
                                "group by c.TRUNK\r\n"
                                "having (count(c.ID) >= 5)\r\n"));
    }

    void collectConditions()
    {
        TFilter interval{QStringLiteral("c.REC_DATETIME between '2006-12-01' and '2007-01-01'"), {}};
        TFilter off{QString(), {}};
        TFilter extensions{QStringLiteral("e.GROUP_ID = '3'"), {jnExtension}};
        TFilter pins{QString(), {jnPinCode}};
        const QList<TFilter*> filters{&interval, &off, &extensions, &pins};
        TJoinSet joins{jnArchive};
        const TStringArray conditions = CollectConditions(filters, joins);
        QCOMPARE(conditions, (TStringArray{interval.Condition, QString(), extensions.Condition, QString()}));
        QCOMPARE(joins, (TJoinSet{jnArchive, jnExtension, jnPinCode}));

        TJoinSet none;
        QVERIFY(CollectConditions(QList<TFilter*>{}, none).isEmpty());
        QVERIFY(none.IsEmpty());
    }
};

QTEST_GUILESS_MAIN(TestReportQuery)
#include "tst_reportquery.moc"
