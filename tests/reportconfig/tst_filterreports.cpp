// Reports through the filter pages end to end: for each table row the pages are set from
// state lines, the query is assembled from the detail and total filter lists as the
// report window does, run by the report data module on a demo server, and its rows must
// equal those of the same conditions written by hand in SQL and run on the database file.
// A few calls with awkward phone numbers and missing values are added to the demo data.

#include "calls/DMReport.h"
#include "calls/ReportQuery.h"
#include "core/RegionalSettings.h"
#include "core/Variants.h"
#include "reportconfig/FrameQuantityDouble.h"
#include "support/DirectSql.h"
#include "support/FilterPagesFixture.h"
#include "support/LogCapture.h"
#include "support/ReportQueryParts.h"

#include <QTest>

#include <memory>

namespace {

const QDate kLastDay(2024, 3, 31);
// The week most rows report on, and the same period as the hand-written SQL says it.
const QString kWeek = RangeText(DateTimeFromQDate(QDate(2024, 3, 1)), DateTimeFromQDate(QDate(2024, 3, 8)));
const QString kWeekSql = QStringLiteral("c.REC_DATETIME >= '2024-03-01' and c.REC_DATETIME <= '2024-03-08'");

// Calls the demo data lacks: phone numbers with characters that mean something to "like"
// or to SQL, and no trunk, circuit or charge.
const QString kAwkwardCalls = QStringLiteral(
    "insert into CALL (REC_DATETIME, END_DATETIME, START_DATETIME, DURATION, PBX_ID, EXT_CODE, PHONE, "
    "CALL_TYPE, PULSES) values "
    "('2024-03-05 10:00:30', '2024-03-05 10:00:30', '2024-03-05 10:00:00', 30, 1, '101', '08%5', 'O', 1), "
    "('2024-03-05 10:01:30', '2024-03-05 10:01:30', '2024-03-05 10:01:00', 30, 1, '101', '08_1', 'O', 1), "
    "('2024-03-05 10:02:30', '2024-03-05 10:02:30', '2024-03-05 10:02:00', 30, 1, '102', '0805', 'O', 1), "
    "('2024-03-05 10:03:30', '2024-03-05 10:03:30', '2024-03-05 10:03:00', 30, 2, '201', '0''8', 'O', 1)");

QString Quoted(const QStringList& values)
{
    QStringList quoted;
    for (const QString& v : values)
        quoted << SqlQuoted(v);
    return quoted.join(QStringLiteral(", "));
}

QStringList FirstColumn(const TDirect& d)
{
    QStringList out;
    for (const QVariantList& row : d.Rows)
        out << row.value(0).toString();
    return out;
}

// A loaded value against the stored one: numbers by value, the rest as text.
bool SameValue(const QVariant& loaded, const QVariant& stored)
{
    if (VarIsNull(loaded) || VarIsNull(stored))
        return VarIsNull(loaded) && VarIsNull(stored);
    if (stored.typeId() == QMetaType::LongLong || stored.typeId() == QMetaType::Double)
        return qAbs(VarToFloat(loaded) - stored.toDouble()) < 1e-6;
    return VarToStr(loaded) == stored.toString();
}

}  // namespace

class TestFilterReports : public QObject {
    Q_OBJECT

    std::unique_ptr<TLogCapture> logs_;
    std::unique_ptr<TFilterPagesFixture> f_;
    QStringList wholeGroup_;  // the codes of Head office Sofia in the user group of 101
    QString pin_;             // a PIN code of Branch Plovdiv

    TDirect Direct(const QString& sql) const { return RunDirect(f_->Connection.Server.DatabasePath(), sql); }

private Q_SLOTS:
    void initTestCase()
    {
        RegisterVariantTypes();
        CreateCallFieldInfos();
        TRegionalSettings::SetCurrent(TRegionalSettings());
        logs_ = std::make_unique<TLogCapture>();
        f_ = std::make_unique<TFilterPagesFixture>(kLastDay);
        QVERIFY2(f_->Ready(), qPrintable(f_->Error()));
        const QString error = ExecDirect(f_->Connection.Server.DatabasePath(), kAwkwardCalls);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        wholeGroup_ = FirstColumn(Direct(QStringLiteral(
            "select CODE from EXTENSION where PBX_ID = 1 and GROUP_ID = "
            "(select GROUP_ID from EXTENSION where PBX_ID = 1 and CODE = '101') order by CODE")));
        QVERIFY(wholeGroup_.size() >= 2);
        pin_ = FirstColumn(Direct(QStringLiteral("select CODE from PIN_CODE where PBX_ID = 2 order by CODE")))
                   .value(0);
        QVERIFY(!pin_.isEmpty());
    }
    void cleanupTestCase()
    {
        f_.reset();
        logs_.reset();
    }

    void sameRowsAsHandWrittenSql_data()
    {
        QTest::addColumn<TLines>("lines");
        QTest::addColumn<TIds>("fields");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("rows");  // -1: some

        const TIds ids{cfCallId};
        const QStringList byId{QStringLiteral("c.ID")};
        const auto calls = [](const QString& where) {
            return QStringLiteral("select c.ID from CALL c where %1 and (%2) order by c.ID")
                .arg(kWeekSql, where);
        };

        QTest::newRow("an interval on the start time")
            << TLines{{"interval", QStringLiteral("%1,%2,2,1")
                                       .arg(FloatToTextDot(EncodeDateTime(2024, 3, 4, 8)),
                                            FloatToTextDot(EncodeDateTime(2024, 3, 4, 18)))}}
            << ids << byId
            << "select c.ID from CALL c where c.START_DATETIME >= '2024-03-04 08:00:00' and "
               "c.START_DATETIME <= '2024-03-04 18:00:00' order by c.ID"
            << -1;
        QTest::newRow("a week on the end time")
            << TLines{{"interval", "0,0,1,1"}, {"period", kWeek}} << ids << byId
            << "select c.ID from CALL c where c.END_DATETIME >= '2024-03-01' and c.END_DATETIME <= "
               "'2024-03-08' "
               "order by c.ID"
            << -1;
        QTest::newRow("extensions by code in two PBXs")
            << TLines{{"period", kWeek},
                      {"ext", "True|0|True|0|Head office Sofia:101,102,103,110;Branch Plovdiv:201;False"}}
            << ids << byId
            << calls(
                   "(c.PBX_ID = 1 and c.EXT_CODE in ('101', '102', '103', '110')) or "
                   "(c.PBX_ID = 2 and c.EXT_CODE = '201')")
            << -1;
        QTest::newRow("a whole user group, named by its identifier")
            << TLines{{"period", kWeek},
                      {"ext", QStringLiteral("True|0|True|0|Head office Sofia:%1;Branch Plovdiv:210;False")
                                  .arg(wholeGroup_.join(QLatin1Char(',')))}}
            << ids << byId
            << calls(QStringLiteral(
                         "(c.PBX_ID = 1 and c.EXT_CODE in (%1)) or (c.PBX_ID = 2 and c.EXT_CODE = '210')")
                         .arg(Quoted(wholeGroup_)))
            << -1;
        QTest::newRow("a whole PBX or no extension")
            << TLines{{"period", kWeek},
                      {"ext", "True|0|True|0|Warehouse Varna:301,302,303,304,305,306,307,308;True"}}
            << ids << byId << calls("c.EXT_CODE is null or c.PBX_ID = 3") << -1;
        QTest::newRow("one PIN code or none")
            << TLines{{"period", kWeek},
                      {"pin", QStringLiteral("True|0|True|0|Branch Plovdiv:%1;True").arg(pin_)}}
            << ids << byId
            << calls(QStringLiteral("c.PIN_CODE is null or (c.PBX_ID = 2 and c.PIN_CODE = '%1')").arg(pin_))
            << -1;
        QTest::newRow("every PIN code") << TLines{{"period", kWeek}, {"pin", "True|0|False|0|+;False"}} << ids
                                        << byId << calls("c.PIN_CODE is not null") << -1;
        QTest::newRow("phone prefixes")
            << TLines{{"period", kWeek}, {"phone", "True,False,+088,+0049,-032"}} << ids << byId
            << calls("substr(c.PHONE, 1, 3) = '088' or substr(c.PHONE, 1, 4) = '0049'") << -1;
        QTest::newRow("typed wildcards match only themselves")
            << TLines{{"period", kWeek}, {"phone", "True,False,+08%,+08_"}} << ids << byId
            << calls("substr(c.PHONE, 1, 3) in ('08%', '08_')") << 2;
        QTest::newRow("a typed quote") << TLines{{"period", kWeek}, {"phone", "True,False,+0'8"}} << ids
                                       << byId << calls("substr(c.PHONE, 1, 3) = '0''8'") << 1;
        QTest::newRow("trunks or none") << TLines{{"period", kWeek}, {"trunk", "True,True,+1,+2,-3"}} << ids
                                        << byId << calls("c.TRUNK in ('1', '2') or c.TRUNK is null") << -1;
        QTest::newRow("circuits and a call type")
            << TLines{{"period", kWeek}, {"circuit", "True,False,+3,+30"}, {"calltype", "True,False,+O"}}
            << ids << byId << calls("c.CIRCUIT in ('3', '30') and c.CALL_TYPE = 'O'") << -1;
        QTest::newRow("a duration between bounds typed the wrong way round")
            << TLines{{"period", kWeek}, {"duration", "True;False;1,300,60,False;0,0,0,False"}} << ids << byId
            << calls("c.DURATION >= 60 and c.DURATION <= 300") << -1;
        QTest::newRow("VAT at least, or none")
            << TLines{{"period", kWeek}, {"charge", "True;False;0,0.5,0,True;0,0,0,False;1"}} << ids << byId
            << calls("c.VAT >= 0.5 or c.VAT is null") << -1;
        QTest::newRow("pulses at most")
            << TLines{{"period", kWeek}, {"pulses", "True;False;2,3,0,False;0,0,0,False"}} << ids << byId
            << calls("c.PULSES <= 3") << -1;

        const TLines totals{{"period", kWeek},
                            {"count", "True;True;0,0,0,False;0,40,0,False"},
                            {"duration", "True;True;0,0,0,False;1,3000,19800,False"}};
        QTest::newRow("group totals: count and total duration")
            << totals << TIds{cfExtCode, cfTotalCount, cfTotalDuration}
            << QStringList{QStringLiteral("c.EXT_CODE")}
            << QStringLiteral(
                   "select c.EXT_CODE, count(c.ID), sum(c.DURATION) from CALL c where %1 and "
                   "c.DURATION >= 0 group by c.EXT_CODE having count(c.ID) >= 40 and "
                   "sum(c.DURATION) >= 3000 and sum(c.DURATION) <= 19800 order by c.EXT_CODE")
                   .arg(kWeekSql)
            << -1;
        QTest::newRow("an ungrouped report ignores the totals")
            << totals << ids << byId << calls("c.DURATION >= 0") << -1;
        QTest::newRow("total VAT by PBX name")
            << TLines{{"period", kWeek}, {"charge", "True;True;0,0,0,False;0,10,0,False;1"}}
            << TIds{cfPbxName, cfTotalVat} << QStringList{QStringLiteral("x.NAME")}
            << QStringLiteral(
                   "select x.NAME, sum(c.VAT) from CALL c, PBX x where x.ID = c.PBX_ID and %1 and "
                   "c.VAT >= 0 group by x.NAME having sum(c.VAT) >= 10 order by x.NAME")
                   .arg(kWeekSql)
            << -1;
    }
    void sameRowsAsHandWrittenSql()
    {
        QFETCH(TLines, lines);
        QFETCH(TIds, fields);
        QFETCH(QStringList, order);
        QFETCH(QString, sql);
        QFETCH(int, rows);

        f_->Apply(lines);
        const TReportFilterPages& pages = f_->Pages;
        QVERIFY(!pages.SelectsNothing());
        const TCallFieldSet fieldSet = FieldSet(fields);
        const bool grouped = !(fieldSet * TotalFields).IsEmpty();
        for (TFrameQuantityDoubleLimit* page : pages.QuantityPages())
            page->SetTotalsAllowed(grouped);
        TJoinSet joins;
        const TStringArray where = CollectConditions(pages.DetailFilters(), joins);
        const TStringArray having = CollectConditions(pages.TotalFilters(), joins);
        const QString report = BuildQuery(fieldSet, joins, where, having, order);

        TReportDM dm(f_->Connection.Client.Socket, f_->ReportRDM());
        dm.RunReport(report);
        const TDirect expected = Direct(sql);
        QVERIFY2(expected.Error.isEmpty(), qPrintable(expected.Error));
        if (rows >= 0)
            QCOMPARE(expected.Rows.size(), rows);
        else
            QVERIFY2(!expected.Rows.isEmpty(), "the demo data should give rows");
        QCOMPARE(dm.cdsResult.FieldCount(), expected.Names.size());
        QVERIFY2(dm.cdsResult.RecordCount() == expected.Rows.size(),
                 qPrintable(QStringLiteral("%1 rows against %2\n%3")
                                .arg(dm.cdsResult.RecordCount())
                                .arg(expected.Rows.size())
                                .arg(report)));
        for (int r = 0; r < expected.Rows.size(); ++r)
            for (int c = 0; c < expected.Names.size(); ++c) {
                const QVariant loaded = dm.cdsResult.ValueAt(r, *dm.cdsResult.Field(c));
                QVERIFY2(
                    SameValue(loaded, expected.Rows.at(r).at(c)),
                    qPrintable(QStringLiteral("row %1 column %2: %3 against %4\n%5")
                                   .arg(r)
                                   .arg(c)
                                   .arg(VarToStr(loaded), expected.Rows.at(r).at(c).toString(), report)));
            }
        QVERIFY(logs_->Entries(QStringLiteral("reports")).isEmpty());
    }
};

QTEST_MAIN(TestFilterReports)
#include "tst_filterreports.moc"
