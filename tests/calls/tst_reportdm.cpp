// A report run end to end: the data module against the real server on a demo database.
// The rows the client loads equal those of the same statement run directly on the database
// file; the columns are dressed; 312 true follows a failed open; a wait that can never end
// because the connection is gone ends with the disconnection error.

#include "remote/CallbackObject.h"
#include "shell/base/ClientReportFlags.h"
#include "remote/Connections.h"
#include "calls/DMReport.h"
#include "support/ClientFixture.h"
#include "support/DirectSql.h"
#include "support/LogCapture.h"
#include "core/RegionalSettings.h"
#include "calls/ReportQuery.h"
#include "support/ReportQueryParts.h"
#include "support/TestServer.h"
#include "remote/TypeLibrary.h"
#include "core/Variants.h"

#include <QTest>
#include <QTimer>

#include <cmath>

namespace {

const QDate kLastDay(2024, 3, 31);
const QString kEndless =
    QStringLiteral("with recursive r(i) as (select 1 union all select i + 1 from r) select count(*) from r");

// The report callback object as the shell has it: ReportReady sets the flag.
class TTestClientReport : public TCallbackObject {
public:
    explicit TTestClientReport(const TTypeLibrary& lib)
        : TCallbackObject(lib, QLatin1String(iid::ClientReport))
    {
        Bind(QStringLiteral("ReportReady"), &TTestClientReport::ReportReady);
        Bind(QStringLiteral("LogsReportReady"), &TTestClientReport::LogsReportReady);
    }
    void ReportReady() { ReportReadyFlag = true; }
    void LogsReportReady() { LogsReportReadyFlag = true; }
};

// Counts the server's running-activity notices, which are live data.
class TTestClientApplication : public TCallbackObject {
public:
    explicit TTestClientApplication(const TTypeLibrary& lib)
        : TCallbackObject(lib, QLatin1String(iid::ClientApplication))
    {
        Bind(QStringLiteral("StatusAdded"), &TTestClientApplication::StatusAdded);
    }
    void StatusAdded(const QString&, int) { ++StatusesAdded; }
    int StatusesAdded = 0;
};

// A client at the standard user level with its ReportRDM connection.
struct TClient {
    TTypeLibrary Library = TTypeLibrary::Current();
    TTestClientApplication Application{Library};
    TCallbackObject Receiver{Library, QLatin1String(iid::ClientReceiver)};
    TCallbackObject Commands{Library, QLatin1String(iid::ClientCommands)};
    TTestClientReport Report{Library};
    TSocketConnection Socket;
    TSharedConnection ReportRDM;

    bool Open(quint16 port)
    {
        OpenLoopback(Socket, port);
        ReportRDM.SetParentConnection(&Socket);
        ReportRDM.SetChildName(QStringLiteral("ReportRDM"));
        int version = TClientFixture::ClientVersion;
        return ShakeHands(Socket.AppServer(), Application, Receiver, Commands, Report, version) >= 0 &&
               LogIn(Socket.AppServer(), false);
    }
};

// A loaded value against the stored one: points in time are stored as the same text as
// the client's SQL literals.
bool SameValue(const TField& field, const QVariant& loaded, const QVariant& stored, QString& why)
{
    if (VarIsNull(loaded) || VarIsNull(stored)) {
        why = QStringLiteral("%1 against %2").arg(VarToStr(loaded), VarToStr(stored));
        return VarIsNull(loaded) && VarIsNull(stored);
    }
    if (field.DataType() == TFieldType::DateTime || field.DataType() == TFieldType::TimeStamp) {
        const QString text = SqlDateTime(VarToDateTime(loaded));
        why = QStringLiteral("%1 against '%2'").arg(text, stored.toString());
        return text == QLatin1Char('\'') + stored.toString() + QLatin1Char('\'');
    }
    if (TField::IsNumericType(field.DataType())) {
        why = QStringLiteral("%1 against %2").arg(loaded.toDouble()).arg(stored.toDouble());
        return std::fabs(loaded.toDouble() - stored.toDouble()) < 1e-6;
    }
    why = QStringLiteral("'%1' against '%2'").arg(loaded.toString(), stored.toString());
    return loaded.toString() == stored.toString();
}

TFilter Interval(TCallFieldId field, QDate from, QDate to)
{
    return {FieldInfo(field).BuildCondition(RangeText(DateTimeFromQDate(from), DateTimeFromQDate(to))), {}};
}

}  // namespace

class TestReportDM : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestServer> server_;
    std::unique_ptr<TLogCapture> logs_;
    std::unique_ptr<TClient> client_;

private Q_SLOTS:
    void initTestCase()
    {
        RegisterVariantTypes();
        RegisterProtocolTypes();
        CreateCallFieldInfos();
        TRegionalSettings rs;
        rs.DecimalSeparator = QLatin1Char(',');
        rs.CurrencyString = QStringLiteral("EUR");
        rs.CurrencyFormat = 3;
        TRegionalSettings::SetCurrent(rs);
        SetReportFormats(QStringLiteral("yyyy-mm-dd hh:nn"), QString());
        logs_ = std::make_unique<TLogCapture>();
        server_ = std::make_unique<TTestServer>();
        QString error;
        QVERIFY2(server_->StartDemo(kLastDay, &error), qPrintable(error));
        client_ = std::make_unique<TClient>();
        QVERIFY(client_->Open(server_->Port()));
    }
    void cleanupTestCase()
    {
        client_.reset();
        server_.reset();
        logs_.reset();
    }

    // The saved configurations are open while the module lives.
    void savedConfigurations()
    {
        bool closed = false;
        {
            TReportDM dm(client_->Socket, client_->ReportRDM);
            QVERIFY(dm.cdsReport.Active());
            QCOMPARE(dm.cdsReport.FieldCount(), 4);
            QCOMPARE(dm.cdsReport.Field(0), dm.cdsReportNAME);
            QCOMPARE(dm.cdsReportNAME->DisplayLabel(), QStringLiteral("Report name"));
            QCOMPARE(dm.cdsReportNAME->Size(), 100);
            QVERIFY(dm.cdsReportNAME->Required() && dm.cdsReportNAME->IsKey() && dm.cdsReportNAME->Visible());
            QVERIFY(dm.cdsReportSETUP->Required() && !dm.cdsReportSETUP->Visible());
            QVERIFY(dm.cdsReportGRID->Required() && !dm.cdsReportGRID->Visible());
            QVERIFY(!dm.cdsReportSPECIAL->Required() && !dm.cdsReportSPECIAL->Visible());
            QVERIFY(!dm.cdsResult.Active());
            QVERIFY(dm.cdsSpecial.IsLocal() || !dm.cdsSpecial.Active());
            dm.cdsReport.AfterClose = [&closed](TRemoteDataSet&) { closed = true; };
        }
        QVERIFY(closed);
    }

    void sameRowsAsTheDatabase_data()
    {
        QTest::addColumn<TIds>("fields");
        QTest::addColumn<QList<TFilter>>("where");
        QTest::addColumn<QList<TFilter>>("having");
        QTest::addColumn<QStringList>("order");

        const TFilter february = Interval(cfRecTime, QDate(2024, 2, 1), QDate(2024, 3, 1));
        QTest::newRow("an interval, every kind of column")
            << TIds{cfRecTime, cfStartTime, cfDuration, cfExtCode, cfPhone, cfCharge, cfExtName, cfPinName}
            << QList<TFilter>{february} << QList<TFilter>{} << QStringList{"c.REC_DATETIME", "c.ID"};
        QTest::newRow("grouped by extension with a count limit")
            << TIds{cfExtCode, cfExtName, cfTotalCount, cfTotalDuration, cfTotalCharge}
            << QList<TFilter>{february}
            << QList<TFilter>{{FieldInfo(cfTotalCount).BuildCondition(QStringLiteral("0,5,0,False")), {}}}
            << QStringList{"c.EXT_CODE"};
        QTest::newRow("an extension join that only a filter needs")
            << TIds{cfRecTime, cfPhone, cfDuration}
            << QList<TFilter>{Interval(cfStartTime, QDate(2024, 3, 1), QDate(2024, 3, 8)),
                              {QStringLiteral("e.NAME is not null"), {jnExtension}}}
            << QList<TFilter>{} << QStringList{"c.REC_DATETIME", "c.ID"};
        QTest::newRow("totals only") << TIds{cfTotalCount, cfTotalDuration, cfTotalCharge, cfTotalPulses}
                                     << QList<TFilter>{february} << QList<TFilter>{} << QStringList{};
        QTest::newRow("group and limit names")
            << TIds{cfExtGroupName, cfExtLimitName, cfTotalCount} << QList<TFilter>{} << QList<TFilter>{}
            << QStringList{"eg.NAME", "el.NAME"};
    }
    void sameRowsAsTheDatabase()
    {
        QFETCH(TIds, fields);
        QFETCH(QList<TFilter>, where);
        QFETCH(QList<TFilter>, having);
        QFETCH(QStringList, order);

        TJoinSet joins;
        QList<TFilter*> detail, totals;
        for (TFilter& f : where)
            detail << &f;
        for (TFilter& f : having)
            totals << &f;
        const TStringArray whereConditions = CollectConditions(detail, joins);
        const TStringArray havingConditions = CollectConditions(totals, joins);
        const QString sql = BuildQuery(FieldSet(fields), joins, whereConditions, havingConditions, order);

        TReportDM dm(client_->Socket, client_->ReportRDM);
        dm.RunReport(sql);
        QVERIFY(ReportReadyFlag);
        QVERIFY(dm.cdsResult.Active());

        const TDirect direct = RunDirect(server_->DatabasePath(), sql);
        QVERIFY2(direct.Error.isEmpty(), qPrintable(direct.Error));
        QVERIFY2(!direct.Rows.isEmpty(), "the demo data should give rows");
        QCOMPARE(dm.cdsResult.FieldCount(), direct.Names.size());
        QCOMPARE(dm.cdsResult.RecordCount(), direct.Rows.size());
        for (int c = 0; c < direct.Names.size(); ++c) {
            const TField& field = *dm.cdsResult.Field(c);
            QCOMPARE(field.FieldName(), direct.Names.at(c));
            const TCallFieldInfo& info = FieldInfo(FieldIdByName(field.FieldName()));
            QVERIFY(info.Id() != cfNone);
            QCOMPARE(field.DisplayLabel(), info.Caption());
            QCOMPARE(field.DisplayWidth(), int(info.DisplayWidth()));
            QCOMPARE(bool(field.OnGetText()), bool(info.GetTextHandler()));
            for (int r = 0; r < direct.Rows.size(); ++r) {
                const QVariant loaded = dm.cdsResult.ValueAt(r, field);
                QString why;
                QVERIFY2(SameValue(field, loaded, direct.Rows.at(r).at(c), why),
                         qPrintable(QStringLiteral("row %1, %2: %3").arg(r).arg(field.FieldName(), why)));
                QCOMPARE(dm.cdsResult.TextAt(r, field), info.GetTextHandler()
                                                            ? info.FormatValue(loaded)
                                                            : TField::ValueText(field.DataType(), loaded));
            }
        }
    }

    // The handler texts follow the report formats and the regional settings.
    void dressedTexts()
    {
        const QString where =
            QStringLiteral("where (c.DURATION between 61 and 3599)\r\nand (c.CHARGE > 0)\r\n");
        TReportDM dm(client_->Socket, client_->ReportRDM);
        dm.RunReport(QStringLiteral("select c.REC_DATETIME, c.DURATION, c.CHARGE from CALL c\r\n") + where +
                     QStringLiteral("order by c.ID\r\n"));
        const TDirect direct =
            RunDirect(server_->DatabasePath(),
                      QStringLiteral("select c.REC_DATETIME, c.DURATION, c.CHARGE from CALL c\r\n") + where +
                          QStringLiteral("order by c.ID limit 1"));
        QVERIFY(!direct.Rows.isEmpty());
        QVERIFY(!dm.cdsResult.IsEmpty());
        dm.cdsResult.First();
        const QVariantList& row = direct.Rows.at(0);
        QCOMPARE(dm.cdsResult.FieldByName(QStringLiteral("REC_DATETIME"))->DisplayText(),
                 row.at(0).toString().left(16));
        const qint64 seconds = row.at(1).toLongLong();
        QString duration = QString::number(seconds / 60) + QLatin1Char('m');
        if (seconds % 60 != 0)
            duration += QStringLiteral(",%1s").arg(seconds % 60);
        QCOMPARE(dm.cdsResult.FieldByName(QStringLiteral("DURATION"))->DisplayText(), duration);
        const double charge = std::nearbyint(row.at(2).toDouble() * 100) / 100;
        QCOMPARE(dm.cdsResult.FieldByName(QStringLiteral("CHARGE"))->DisplayText(),
                 QString::number(charge, 'g', 15).replace(QLatin1Char('.'), QLatin1Char(',')) +
                     QStringLiteral(" EUR"));
    }

    // A statement that fails while it runs signals ready; the open raises, and 312 true is
    // still sent: the live notices of the next run arrive.
    void failedOpenEnablesLiveData()
    {
        TReportDM dm(client_->Socket, client_->ReportRDM);
        dm.ExecuteQuery(QStringLiteral("select abs(-9223372036854775807 - 1) TOTAL_COUNT from CALL c\r\n"));
        QVERIFY(ReportReadyFlag);
        QVERIFY_THROWS_EXCEPTION(EOleSysError, dm.OpenResult());
        QVERIFY(!dm.cdsResult.Active());
        const int before = client_->Application.StatusesAdded;
        dm.ExecuteQuery(QStringLiteral("select count(c.ID) TOTAL_COUNT from CALL c\r\n"));
        QCOMPARE(client_->Application.StatusesAdded, before + 1);
        dm.OpenResult();
        QCOMPARE(dm.cdsResult.RecordCount(), 1);
    }

    // A refused statement raises at once; the flag stays clear and the old result closed.
    void refusedStatement()
    {
        TReportDM dm(client_->Socket, client_->ReportRDM);
        dm.RunReport(QStringLiteral("select count(c.ID) TOTAL_COUNT from CALL c\r\n"));
        QVERIFY_THROWS_EXCEPTION(EOleSysError, dm.ExecuteQuery(QStringLiteral("delete from CALL")));
        QVERIFY(!ReportReadyFlag);
        QVERIFY(!dm.cdsResult.Active());
    }

    // The special report over a real result: the overlap query's order, every pair found.
    void specialReportOverDemoData()
    {
        TReportDM dm(client_->Socket, client_->ReportRDM);
        const TFilter week = Interval(cfRecTime, QDate(2024, 3, 1), QDate(2024, 3, 8));
        TJoinSet joins;
        const QList<const TFilter*> filters{&week};
        const QString sql = BuildQuery(TCallFieldSet{cfCallId, cfEndTime, cfStartTime, cfExtCode, cfPinCode},
                                       joins, CollectConditions(filters, joins), {},
                                       {QStringLiteral("c.PIN_CODE"), QStringLiteral("c.START_DATETIME")});
        dm.RunReport(sql);
        dm.BuildSpecialReport({cfPinCode, cfExtCode, 0, false});
        QCOMPARE(dm.cdsSpecial.FieldCount(), dm.cdsResult.FieldCount());
        // Every block is a call, the calls overlapping it, then a separator.
        const TField& id = *dm.cdsSpecial.FieldByName(QStringLiteral("ID"));
        const TField& start = *dm.cdsSpecial.FieldByName(QStringLiteral("START_DATETIME"));
        const TField& end = *dm.cdsSpecial.FieldByName(QStringLiteral("END_DATETIME"));
        int blocks = 0;
        for (int row = 0; row < dm.cdsSpecial.RecordCount();) {
            const int first = row;
            const TDateTime firstEnd = VarToDateTime(dm.cdsSpecial.ValueAt(first, end));
            ++row;
            QVERIFY(!VarIsNull(dm.cdsSpecial.ValueAt(row, id)));
            for (; row < dm.cdsSpecial.RecordCount() && !VarIsNull(dm.cdsSpecial.ValueAt(row, id)); ++row)
                QVERIFY(VarToDateTime(dm.cdsSpecial.ValueAt(row, start)) <= firstEnd + 1e-9);
            QVERIFY(row < dm.cdsSpecial.RecordCount());
            ++row;
            ++blocks;
        }
        QVERIFY2(blocks > 0, "the demo week should hold overlapping calls of one PIN code");
        QVERIFY(logs_->Entries(QStringLiteral("reports")).isEmpty());
    }

    // Codes missing from the reference tables keep their calls: the joins leave the names
    // empty. Adds a call, so it runs after the tests that read the demo data.
    void codesOutsideTheReferenceTables()
    {
        const QString error =
            ExecDirect(server_->DatabasePath(),
                       QStringLiteral("insert into CALL (REC_DATETIME, PBX_ID, EXT_CODE, PIN_CODE, DURATION) "
                                      "values ('2024-03-11 08:00:00', 1, 'X901', 'X902', 60)"));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const TFilter pin{ListCondition(FieldInfo(cfPinCode).SqlExpression(), {QStringLiteral("X902")}), {}};
        TJoinSet joins;
        const QList<const TFilter*> filters{&pin};
        const QString sql = BuildQuery(
            TCallFieldSet{cfExtCode, cfPinCode, cfExtName, cfPinName, cfExtGroupName, cfPinLimitName}, joins,
            CollectConditions(filters, joins), {}, {});
        TReportDM dm(client_->Socket, client_->ReportRDM);
        dm.RunReport(sql);
        QCOMPARE(dm.cdsResult.RecordCount(), 1);
        dm.cdsResult.First();
        QCOMPARE(dm.cdsResult.FieldByName(QStringLiteral("EXT_CODE"))->AsString(), QStringLiteral("X901"));
        QCOMPARE(dm.cdsResult.FieldByName(QStringLiteral("PIN_CODE"))->AsString(), QStringLiteral("X902"));
        for (const char* name : {"EXT_NAME", "PIN_NAME", "EXT_GROUP", "PIN_LIMIT"}) {
            const TField& field = *dm.cdsResult.FieldByName(QLatin1String(name));
            QVERIFY2(VarIsNull(field.Value()), name);
            QCOMPARE(field.DisplayText(), QString());
        }
    }

    // Without a connection the ready notice can never come: the wait ends with an error
    // instead of going on for ever. Runs last: the connection is gone afterwards.
    void waitEndsWithTheConnection()
    {
        TReportDM dm(client_->Socket, client_->ReportRDM);
        QTimer::singleShot(0, &client_->Socket, [this] { client_->Socket.Close(); });
        try {
            dm.ExecuteQuery(kEndless);
            QFAIL("the wait did not end");
        } catch (const EOleSysError& e) {
            QCOMPARE(e.ErrorCode(), hr::RPC_E_DISCONNECTED_);
        }
        QVERIFY(!ReportReadyFlag);
    }
};

QTEST_GUILESS_MAIN(TestReportDM)
#include "tst_reportdm.moc"
