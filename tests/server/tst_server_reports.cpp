// Report and log statements: the rows equal those of the same SQL run directly on the
// database file, the column types follow the declared types, refused statements change
// nothing, run-time errors reach the opening of the result, and long statements neither
// stall the server nor outlive their client.

#include "server/Database.h"
#include "server/SqlValues.h"
#include "support/WireFixture.h"

#include <sqlite3.h>

#include <QFileInfo>
#include <QTest>

#include <cmath>

namespace {

const QDate kLastDay(2024, 3, 31);
const QString kEndless =
    QStringLiteral("with recursive r(i) as (select 1 union all select i + 1 from r) select count(*) from r");

// A value read directly with SQLite, brought to the form the server sends for a field.
QVariant Expected(const QVariant& direct, TFieldType type)
{
    return ConvertToFieldType(direct, type);
}

bool SameValue(const QVariant& got, const QVariant& expected)
{
    if (VarIsNull(got) || VarIsNull(expected))
        return VarIsNull(got) && VarIsNull(expected);
    if (VarIsDateTime(got) || VarIsDateTime(expected))
        return std::fabs(VarToDateTime(got) - VarToDateTime(expected)) < 1e-9;
    const int id = got.metaType().id();
    if (id == QMetaType::Double)
        return std::fabs(got.toDouble() - expected.toDouble()) < 1e-9;
    if (id == QMetaType::Int || id == QMetaType::LongLong || id == QMetaType::Short)
        return got.toLongLong() == expected.toLongLong();
    return got.toString() == expected.toString();
}

}  // namespace

class TestServerReports : public QObject, protected TWireFixture {
    Q_OBJECT

    qint64 Count(const QString& sql) { return db_->Scalar(sql).toLongLong(); }

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        QVERIFY2(StartFixture(TDatabase::TMode::ReadOnly, kLastDay, &error), qPrintable(error));
    }
    void cleanupTestCase() { StopFixture(); }

    void sameRowsAsSqlite_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("grouped by extension, as the client writes it")
            << "select c.EXT_CODE, e.NAME EXT_NAME, count(c.ID) TOTAL_COUNT, sum(c.DURATION) TOTAL_DURATION "
               "from CALL c\r\n"
               "left join EXTENSION e on c.PBX_ID = e.PBX_ID and c.EXT_CODE = e.CODE\r\n"
               "where (c.REC_DATETIME between '2024-02-01' and '2024-03-01')\r\n"
               "group by c.EXT_CODE, e.NAME\r\n"
               "having (count(c.ID) >= 5)\r\n"
               "order by c.EXT_CODE\r\n";
        QTest::newRow("every join")
            << "select c.ID, c.REC_DATETIME, a.COMMENT ARCHIVE_NAME, x.NAME PBX_NAME, e.NAME EXT_NAME, "
               "p.NAME PIN_NAME, "
               "eg.NAME EXT_GROUP, pg.NAME PIN_GROUP, el.NAME EXT_LIMIT, pl.NAME PIN_LIMIT, c.CHARGE from "
               "CALL c\r\n"
               "inner join PBX x on c.PBX_ID = x.ID\r\nleft join ARCHIVE a on c.ARCHIVE_ID = a.ID\r\n"
               "left join EXTENSION e on c.PBX_ID = e.PBX_ID and c.EXT_CODE = e.CODE\r\n"
               "left join PIN_CODE p on c.PBX_ID = p.PBX_ID and c.PIN_CODE = p.CODE\r\n"
               "left join GROUPS eg on e.GROUP_ID = eg.ID\r\nleft join GROUPS pg on p.GROUP_ID = pg.ID\r\n"
               "left join LIMIT_PLAN el on e.LIMIT_PLAN_ID = el.ID\r\nleft join LIMIT_PLAN pl on "
               "p.LIMIT_PLAN_ID = pl.ID\r\n"
               "where (c.START_DATETIME between '2024-03-10 08:00:00' and '2024-03-12 17:30:00.500')\r\n"
               "order by c.REC_DATETIME, c.ID\r\n";
        QTest::newRow("totals only")
            << "select count(c.ID) TOTAL_COUNT, sum(c.RAW_CHARGE) TOTAL_RAW_CHARGE, "
               "sum(c.VAT) TOTAL_VAT, sum(c.CHARGE) TOTAL_CHARGE, sum(c.PULSES) TOTAL_PULSES from CALL c\r\n";
        QTest::newRow("all calls") << "select * from CALL c\r\norder by c.REC_DATETIME, c.ID\r\n";
        QTest::newRow("phone prefixes and nulls")
            << "select c.PHONE, c.PIN_CODE, c.DURATION from CALL c\r\n"
               "where ((c.PHONE like '088%') or (c.PHONE like '00%'))\r\nand (c.PIN_CODE is null)\r\n";
        QTest::newRow("logs") << "select * from log where (DATE_TIME between '2024-03-01' and '2024-03-31') "
                                 "and (CATEGORY in ('client', 'reports')) order by DATE_TIME";
        QTest::newRow("no rows") << "select * from CALL c where c.DURATION < 0";
    }
    void sameRowsAsSqlite()
    {
        QFETCH(QString, sql);
        const bool logs = sql.contains(QLatin1String("from log"));
        const TOpenResult r =
            client_->RunReport(sql, logs ? QStringLiteral("LogsReportRDM") : QStringLiteral("ReportRDM"));
        QVERIFY2(r.Ok, qPrintable(r.Text));
        TStatement stmt = db_->Prepare(sql);
        QCOMPARE(r.Fields.size(), stmt.ColumnCount());
        for (int c = 0; c < stmt.ColumnCount(); ++c)
            QCOMPARE(r.Fields.at(c).Name, stmt.ColumnName(c));
        qint64 n = 0;
        while (stmt.Step()) {
            QVERIFY(n < r.Rows.size());
            const QVariantList& row = r.Rows.at(n);
            for (int c = 0; c < stmt.ColumnCount(); ++c) {
                const QVariant want = Expected(stmt.Value(c), r.Fields.at(c).DataType);
                QVERIFY2(SameValue(row.at(c), want),
                         qPrintable(QStringLiteral("row %1, %2: %3 instead of %4")
                                        .arg(n)
                                        .arg(r.Fields.at(c).Name, row.at(c).toString(), want.toString())));
            }
            ++n;
        }
        QCOMPARE(qint64(r.Rows.size()), n);
        QCOMPARE(r.Count, n);
    }

    void largeResultsStreamInPackets()
    {
        const TOpenResult r = client_->RunReport(QStringLiteral("select * from CALL"));
        QVERIFY(r.Ok);
        QCOMPARE(qint64(r.Rows.size()), Count(QStringLiteral("select count(*) from CALL")));
        QVERIFY2(r.Packets > 3, qPrintable(QString::number(r.Packets)));
        // Opened again, the result is served again without another run.
        const TOpenResult again =
            client_->OpenDataSet(QStringLiteral("ReportRDM"), QStringLiteral("dspResult"));
        QCOMPARE(again.Rows.size(), r.Rows.size());
    }

    void columnTypes_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("types");  // name:type:size
        QTest::newRow("call columns")
            << "select c.ID, c.REC_DATETIME, c.DURATION, c.EXT_CODE, c.CHARGE, c.PULSES, c.TEXT from CALL c "
               "limit 1"
            << "ID:3:0 REC_DATETIME:8:0 DURATION:3:0 EXT_CODE:1:10 CHARGE:7:0 PULSES:3:0 TEXT:1:250";
        QTest::newRow("joined names")
            << "select x.NAME PBX_NAME, e.MONEY_LEFT from CALL c inner join PBX x on c.PBX_ID = x.ID "
               "left join EXTENSION e on c.PBX_ID = e.PBX_ID and c.EXT_CODE = e.CODE limit 1"
            << "PBX_NAME:12:100 MONEY_LEFT:6:0";
        QTest::newRow("totals")
            << "select count(c.ID) TOTAL_COUNT, sum(c.DURATION) TOTAL_DURATION, sum(c.CHARGE) TOTAL_CHARGE "
               "from CALL c"
            << "TOTAL_COUNT:3:0 TOTAL_DURATION:3:0 TOTAL_CHARGE:6:0";
        QTest::newRow("log columns") << "select * from LOG limit 1"
                                     << "DATE_TIME:14:0 EVENT_ID:4:0 CATEGORY:1:100 SEVERITY:2:0 TEXT:12:100";
        QTest::newRow("mixed expression") << "select case when c.ID = 1 then 1 else 'many' end KIND from "
                                             "CALL c where c.ID <= 2 order by c.ID"
                                          << "KIND:12:0";
    }
    void columnTypes()
    {
        QFETCH(QString, sql);
        QFETCH(QString, types);
        const bool logs = sql.contains(QLatin1String("from LOG"));
        const TOpenResult r =
            client_->RunReport(sql, logs ? QStringLiteral("LogsReportRDM") : QStringLiteral("ReportRDM"));
        QVERIFY2(r.Ok, qPrintable(r.Text));
        QStringList got;
        for (const TFieldDef& f : r.Fields) {
            got << QStringLiteral("%1:%2:%3").arg(f.Name).arg(int(f.DataType)).arg(f.Size);
            QVERIFY(f.ReadOnly);
        }
        QCOMPARE(got.join(QLatin1Char(' ')), types);
        if (QTest::currentDataTag() == QLatin1String("mixed expression"))
            QCOMPARE(r.Rows.at(0).at(0).metaType().id(),
                     int(QMetaType::QString));  // converted after the widening
    }

    void refusedStatements_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("delete") << "delete from CALL";
        QTest::newRow("update") << "update CALL set DURATION = 0";
        QTest::newRow("insert") << "insert into PBX (NAME) values ('x')";
        QTest::newRow("write in a with") << "with x as (select 1) delete from CALL";
        QTest::newRow("create") << "create table T (a)";
        QTest::newRow("drop") << "drop table CALL";
        QTest::newRow("two statements") << "select 1; delete from CALL";
        QTest::newRow("two selects") << "select 1; select 2";
        QTest::newRow("second after comment") << "select 1 /* x */ ; select 2";
        QTest::newRow("pragma") << "pragma table_info(CALL)";
        QTest::newRow("pragma writing") << "pragma journal_mode = delete";
        QTest::newRow("pragma function") << "select * from pragma_table_info('CALL')";
        QTest::newRow("attach") << "attach database 'other.db' as other";
        QTest::newRow("vacuum into a file") << "vacuum into 'copy.db'";
        QTest::newRow("load extension") << "select load_extension('libx')";
        QTest::newRow("read a file") << "select readfile('/etc/passwd')";
        QTest::newRow("explain") << "explain select 1";
        // A standard user must not take the hashes home to guess the administrator's password.
        QTest::newRow("password hashes") << "select ACCOUNT, SALT, HASH from PASSWORDS";
        QTest::newRow("password hashes in a subquery")
            << "select NAME, (select HASH from passwords where ACCOUNT = 2) from PBX";
        QTest::newRow("begin") << "begin";
        QTest::newRow("empty") << "  ";
        QTest::newRow("syntax error") << "select from where";
        QTest::newRow("unknown table") << "select * from CALLS";
    }
    void refusedStatements()
    {
        QFETCH(QString, sql);
        const qint64 calls = Count(QStringLiteral("select count(*) from CALL"));
        const qint64 tables = Count(QStringLiteral("select count(*) from sqlite_master"));
        const int ready = client_->CallbackCount(QStringLiteral("ReportReady"));
        const TMessage reply = client_->Call(QStringLiteral("ReportRDM"), 301, {sql});
        QCOMPARE(reply.Kind, TMessageKind::Error);
        QCOMPARE(reply.Code, hr::DISP_E_EXCEPTION_);
        QVERIFY2(reply.Text.startsWith(QLatin1String("The statement is refused")), qPrintable(reply.Text));
        // The next statement runs, and only its ready signal arrives.
        QVERIFY(client_->RunReport(QStringLiteral("select 1")).Ok);
        QCOMPARE(client_->CallbackCount(QStringLiteral("ReportReady")), ready + 1);
        QCOMPARE(Count(QStringLiteral("select count(*) from CALL")), calls);
        QCOMPARE(Count(QStringLiteral("select count(*) from sqlite_master")), tables);
        QVERIFY(!QFileInfo::exists(QFileInfo(server_->DatabasePath()).absolutePath() +
                                   QStringLiteral("/copy.db")));
        QVERIFY(!QFileInfo::exists(QStringLiteral("copy.db")));
    }

    void acceptedTails_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("semicolon") << "select 1;";
        QTest::newRow("line comment") << "select 1 -- the end";
        QTest::newRow("block comment and blanks") << "select 1;\r\n /* done */ \r\n";
    }
    void acceptedTails()
    {
        QFETCH(QString, sql);
        const TOpenResult r = client_->RunReport(sql);
        QVERIFY2(r.Ok, qPrintable(r.Text));
        QCOMPARE(r.Rows, (QList<QVariantList>{{1}}));
    }

    // A statement that fails while it runs still signals ready; opening tells the error.
    void runtimeErrorsReachTheOpen()
    {
        const TOpenResult r = client_->RunReport(QStringLiteral("select abs(-9223372036854775807 - 1)"));
        QVERIFY(!r.Ok);
        QCOMPARE(r.Code, hr::DISP_E_EXCEPTION_);
        QVERIFY2(r.Text.contains(QLatin1String("overflow")), qPrintable(r.Text));
    }

    // A row larger than a client's frame limit fails the open instead of the connection.
    void rowTooLargeForAFrame()
    {
        const TOpenResult r =
            client_->RunReport(QStringLiteral("select zeroblob(34000000) as A, zeroblob(34000000) as B"));
        QVERIFY(!r.Ok);
        QCOMPARE(r.Code, hr::DISP_E_EXCEPTION_);
        QVERIFY2(r.Text.contains(QLatin1String("too large")), qPrintable(r.Text));
        QVERIFY(client_->RunReport(QStringLiteral("select 1")).Ok);
    }

    void resultBeforeAnyRun()
    {
        TWireClient c;
        QVERIFY(c.OpenAsAdministrator(server_->Port()));
        QCOMPARE(c.OpenDataSet(QStringLiteral("ReportRDM"), QStringLiteral("dspResult")).Code,
                 hr::DISP_E_EXCEPTION_);
        QCOMPARE(c.OpenDataSet(QStringLiteral("LogsReportRDM"), QStringLiteral("dspTemp")).Code,
                 hr::DISP_E_EXCEPTION_);
    }

    // One event whose text spans several rows, as the logs window asks for it.
    void logEventRows()
    {
        const qint64 event =
            Count(QStringLiteral("select EVENT_ID from LOG group by EVENT_ID having count(*) > 1 limit 1"));
        QVERIFY(event > 0);
        QCOMPARE(client_
                     ->Call(QStringLiteral("LogsReportRDM"), 302,
                            {QStringLiteral("SELECT * FROM LOG WHERE EVENT_ID =%1").arg(event)})
                     .Kind,
                 TMessageKind::Reply);
        const TOpenResult r =
            client_->OpenDataSet(QStringLiteral("LogsReportRDM"), QStringLiteral("dspTemp"));
        QVERIFY2(r.Ok, qPrintable(r.Text));
        QCOMPARE(qint64(r.Rows.size()),
                 Count(QStringLiteral("select count(*) from LOG where EVENT_ID = %1").arg(event)));
        QStringList texts;
        for (const QVariantList& row : r.Rows) {
            QVERIFY(row.at(4).toString().size() <= 100);
            QCOMPARE(row.at(0), r.Rows.at(0).at(0));  // one time stamp: the client joins with blanks
            texts << row.at(4).toString();
        }
        QVERIFY(texts.join(QLatin1Char(' ')).contains(QLatin1String("so none are lost")));
    }

    // A long statement runs beside other clients' work; a newer statement replaces it, and
    // a client that leaves takes its statement with it (the server then stops at once).
    void longStatements()
    {
        TTestServer server;
        server.Options().QueryThreads = 2;
        QVERIFY(server.StartDemo(kLastDay));
        TWireClient slow, other;
        QVERIFY(slow.OpenAsUser(server.Port()));
        QVERIFY(other.OpenAsUser(server.Port()));
        QCOMPARE(slow.Call(QStringLiteral("ReportRDM"), 301, {kEndless}).Kind, TMessageKind::Reply);
        QCOMPARE(other.Call(QStringLiteral("MainRDM"), 314).Kind, TMessageKind::Reply);
        const TOpenResult quick = other.RunReport(QStringLiteral("select count(*) from CALL"));
        QVERIFY(quick.Ok);
        QVERIFY(quick.Rows.at(0).at(0).toInt() > 10000);
        QVERIFY(!slow.HasCallback(QStringLiteral("ReportReady")));

        const TOpenResult replaced = slow.RunReport(QStringLiteral("select 7"));
        QVERIFY2(replaced.Ok, qPrintable(replaced.Text));
        QCOMPARE(replaced.Rows, (QList<QVariantList>{{7}}));
        QCOMPARE(slow.CallbackCount(QStringLiteral("ReportReady")), 1);

        QCOMPARE(slow.Call(QStringLiteral("ReportRDM"), 301, {kEndless}).Kind, TMessageKind::Reply);
        QCOMPARE(other.Call(QStringLiteral("ReportRDM"), 301, {kEndless}).Kind, TMessageKind::Reply);
        slow.Socket.disconnectFromHost();
        QVERIFY(slow.WaitForDisconnected());
        // The pool has two threads: with the first statement cancelled, a third runs.
        TWireClient third;
        QVERIFY(third.OpenAsUser(server.Port()));
        QVERIFY(third.RunReport(QStringLiteral("select 3")).Ok);
        server.Stop();  // waits for the pool: an endless statement not cancelled would hang here
        QVERIFY(other.WaitForDisconnected());
    }
};

QTEST_GUILESS_MAIN(TestServerReports)
#include "tst_server_reports.moc"
