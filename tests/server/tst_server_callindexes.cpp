// Reports over the interval filter read through an index whichever time they filter by:
// the query plans of typical report statements, on a new database and on a file made
// before the end and start times had their indexes, which gets them when it is opened.

#include "calls/CallFieldInfo.h"
#include "calls/Globals.h"
#include "calls/ReportQuery.h"
#include "server/Database.h"
#include "support/ReportQueryParts.h"
#include "support/TestServer.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

// The detail lines of EXPLAIN QUERY PLAN, joined by "; ".
QString QueryPlan(TDatabase& db, const QString& sql)
{
    TStatement plan = db.Prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + sql);
    QStringList lines;
    while (plan.Step())
        lines << plan.Text(3);
    return lines.join(QStringLiteral("; "));
}

// A report statement as the window builds it: the interval on one time field.
QString IntervalReport(const TIds& fields, TCallFieldId timeField, const QStringList& order)
{
    const QString interval = FieldInfo(timeField).BuildCondition(
        RangeText(DateTimeFromQDate(QDate(2024, 3, 4)), DateTimeFromQDate(QDate(2024, 3, 5))));
    return BuildQuery(FieldSet(fields), {}, {interval}, {}, order);
}

QStringList Indexes(TDatabase& db)
{
    TStatement names =
        db.Prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'CALL' "
                                  "AND name LIKE 'CALL\\_%\\_DATETIME' ESCAPE '\\' ORDER BY name"));
    QStringList out;
    while (names.Step())
        out << names.Text(0);
    return out;
}

const QStringList kTimeIndexes{QStringLiteral("CALL_END_DATETIME"), QStringLiteral("CALL_REC_DATETIME"),
                               QStringLiteral("CALL_START_DATETIME")};

}  // namespace

class TestServerCallIndexes : public QObject {
    Q_OBJECT

    void plans_rows()
    {
        QTest::addColumn<TIds>("fields");
        QTest::addColumn<int>("timeField");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QString>("index");
        const struct {
            const char* Name;
            TCallFieldId Field;
            const char* Index;
        } times[] = {{"received", cfRecTime, "CALL_REC_DATETIME"},
                     {"end", cfEndTime, "CALL_END_DATETIME"},
                     {"start", cfStartTime, "CALL_START_DATETIME"}};
        for (const auto& t : times) {
            QTest::addRow("%s, calls in received order", t.Name)
                << TIds{cfRecTime, cfExtCode, cfPhone, cfDuration, cfCharge, cfExtName} << int(t.Field)
                << QStringList{QStringLiteral("c.REC_DATETIME"), QStringLiteral("c.ID")}
                << QString::fromLatin1(t.Index);
            QTest::addRow("%s, totals by extension", t.Name)
                << TIds{cfExtCode, cfExtName, cfTotalCount, cfTotalCharge} << int(t.Field)
                << QStringList{QStringLiteral("c.EXT_CODE")} << QString::fromLatin1(t.Index);
            QTest::addRow("%s, overlapping calls", t.Name)
                << TIds{cfEndTime, cfStartTime, cfPinCode, cfExtCode} << int(t.Field)
                << QStringList{QStringLiteral("c.PIN_CODE"), QStringLiteral("c.START_DATETIME")}
                << QString::fromLatin1(t.Index);
        }
    }

    void CheckPlans(TDatabase& db)
    {
        QFETCH(TIds, fields);
        QFETCH(int, timeField);
        QFETCH(QStringList, order);
        QFETCH(QString, index);
        const QString sql = IntervalReport(fields, static_cast<TCallFieldId>(timeField), order);
        const QString plan = QueryPlan(db, sql);
        QVERIFY2(plan.contains(QStringLiteral("SEARCH c USING INDEX %1 ").arg(index)),
                 qPrintable(QStringLiteral("%1\nplan: %2").arg(sql, plan)));
    }

    QTemporaryDir dir_;
    QString newPath_, olderPath_;

private Q_SLOTS:
    // One demo database, and a copy of it as an older server left it: without the end and
    // start indexes, which opening it with this server adds.
    void initTestCase()
    {
        CreateCallFieldInfos();
        newPath_ = dir_.filePath(QStringLiteral("new.db"));
        olderPath_ = dir_.filePath(QStringLiteral("old.db"));
        {
            TTestServer server;
            server.Options().DatabasePath = newPath_;
            QVERIFY(server.StartDemo(QDate(2024, 3, 31)));
        }
        qint64 calls = 0;
        {
            TDatabase db(newPath_, TDatabase::TMode::ReadWrite);
            db.Exec(QStringLiteral("VACUUM INTO '%1'").arg(olderPath_));
            TDatabase older(olderPath_, TDatabase::TMode::ReadWrite);
            older.Exec(QStringLiteral("DROP INDEX CALL_END_DATETIME; DROP INDEX CALL_START_DATETIME"));
            QCOMPARE(Indexes(older), QStringList{QStringLiteral("CALL_REC_DATETIME")});
            calls = older.Scalar(QStringLiteral("SELECT count(*) FROM CALL")).toLongLong();
            const QString plan = QueryPlan(older, IntervalReport({cfRecTime}, cfStartTime, {}));
            QVERIFY2(plan.contains(QLatin1String("SCAN c")), qPrintable(plan));
        }
        {
            TTestServer server;
            server.Options().DatabasePath = olderPath_;
            QVERIFY(server.Start());
        }
        TDatabase older(olderPath_, TDatabase::TMode::ReadOnly);
        QCOMPARE(Indexes(older), kTimeIndexes);
        QCOMPARE(older.Scalar(QStringLiteral("SELECT count(*) FROM CALL")).toLongLong(), calls);
    }

    void newDatabase_data() { plans_rows(); }
    void newDatabase()
    {
        TDatabase db(newPath_, TDatabase::TMode::ReadOnly);
        QCOMPARE(Indexes(db), kTimeIndexes);
        CheckPlans(db);
    }

    void olderDatabase_data() { plans_rows(); }
    void olderDatabase()
    {
        TDatabase db(olderPath_, TDatabase::TMode::ReadOnly);
        CheckPlans(db);
    }
};

QTEST_GUILESS_MAIN(TestServerCallIndexes)
#include "tst_server_callindexes.moc"
