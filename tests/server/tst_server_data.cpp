// The dataset providers of telvane-server over the wire: metadata, reading, applying
// change logs with the maximum error count, key violations, cascades, the filter clause
// of the extension and PIN code lists and the tables chosen with ReportRDM 303.

#include "server/Database.h"
#include "server/SqlValues.h"
#include "support/WireFixture.h"

#include <QTest>

namespace {

QVariant U()  // not written / unchanged
{
    return QVariant();
}
QVariant N()  // a written null
{
    return QVariant::fromValue(nullptr);
}

// Three exchanges' worth of reference data, written straight into the file.
void SeedFixture(TDatabase& db)
{
    db.Exec(QStringLiteral(
        "INSERT INTO PBX (ID, NAME) VALUES (1, 'Head office'), (2, 'Branch');"
        "INSERT INTO GROUPS (ID, NAME) VALUES (1, 'Sales'), (2, 'Support');"
        "INSERT INTO LIMIT_PLAN (ID, NAME, MONEY_LIMIT, RESET_INTERVAL) VALUES (1, 'Monthly', 50, -1), (2, "
        "'Daily', 5, 86400);"
        "INSERT INTO EXTENSION (CODE, NAME, GROUP_ID, PBX_ID, LIMIT_PLAN_ID) VALUES "
        "  ('101', 'Ivan', 1, 1, 1), ('102', 'Maria', 2, 1, NULL), ('101', 'Petar', 1, 2, 2);"
        "INSERT INTO PIN_CODE (CODE, NAME, GROUP_ID, PBX_ID, LIMIT_PLAN_ID, COR, OLDCOR) VALUES "
        "  ('1111', 'Elena', 1, 1, NULL, 1, 1), ('2222', 'Georgi', 2, 2, 1, 2, 2);"
        "INSERT INTO CALL (REC_DATETIME, PBX_ID, EXT_CODE, DURATION) VALUES ('2024-01-02 10:00:00', 2, "
        "'101', 30);"
        "INSERT INTO REPORT (NAME, SETUP, GRID) VALUES ('Daily', 'EXT_CODE;;', '');"));
}

qint64 Count(TDatabase& db, const QString& sql)
{
    return db.Scalar(sql).toLongLong();
}

QStringList Column(const TOpenResult& r, const QString& name)
{
    QStringList values;
    const int c = r.Column(name);
    for (const QVariantList& row : r.Rows)
        values << row.value(c).toString();
    return values;
}

}  // namespace

class TestServerData : public QObject, protected TWireFixture {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QVERIFY(StartFixture(TDatabase::TMode::ReadWrite));
        SeedFixture(*db_);
    }
    void cleanup() { StopFixture(); }

    void metadata_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QString>("columns");  // name:type:size:flags (r required, o read-only, k key)
        QTest::newRow("groups") << kAdmin << "dspGroups"
                                << "ID:9:0:ok NAME:12:100:r ARCHIVE_ID:3:0:";
        QTest::newRow("exchanges") << kAdmin << "dspPBX"
                                   << "ID:9:0:ok NAME:12:100:r ARCHIVE_ID:3:0:";
        QTest::newRow("limit plans")
            << kAdmin << "dspLimitPlan"
            << "ID:9:0:ok NAME:12:100:r MONEY_LIMIT:7:0:r RESET_INTERVAL:3:0: ARCHIVE_ID:3:0:";
        QTest::newRow("extensions")
            << kAdmin << "dspExtension"
            << "CODE:1:10:rk NAME:12:100:r GROUP_ID:3:0:r PBX_ID:3:0:rk LIMIT_PLAN_ID:3:0: "
               "MONEY_LEFT:6:0: NEXT_RESET:14:0: ARCHIVE_ID:3:0:";
        QTest::newRow("PIN codes")
            << kAdmin << "dspPinCode"
            << "CODE:1:10:rk NAME:12:100:r GROUP_ID:3:0:r PBX_ID:3:0:rk LIMIT_PLAN_ID:3:0: "
               "MONEY_LEFT:6:0: NEXT_RESET:14:0: COR:2:0: OLDCOR:2:0: ARCHIVE_ID:3:0:";
        QTest::newRow("data formats") << kAdmin << "dspCallSchema"
                                      << "NAME:12:100:rk TEXT:1:5000:r";
        QTest::newRow("tariff rules") << kAdmin << "dspTariffRules"
                                      << "NAME:12:100:rk TEXT:13:0:";
        QTest::newRow("saved reports") << "ReportRDM"
                                       << "dspReport"
                                       << "NAME:12:100:rk SETUP:11:0:r GRID:11:0:r SPECIAL:11:0:";
        QTest::newRow("archives")
            << "ArchivesRDM"
            << "dspArchive"
            << "ID:9:0:ok CHECKSUM:1:25:o PULSES:4:0: CREATED:14:0:o COMMENT:12:100: "
               "IMPORTED:14:0:o FILE_SIZE:4:0:o FILTERS:11:0:o CALL_COUNT:4:0:o DURATION:4:0:o "
               "RAW_CHARGE:7:0:o VAT:7:0:o CHARGE:7:0:";
    }
    void metadata()
    {
        QFETCH(QString, module);
        QFETCH(QString, provider);
        QFETCH(QString, columns);
        const TOpenResult r = client_->OpenDataSet(module, provider);
        QVERIFY2(r.Ok, qPrintable(r.Text));
        QStringList got;
        for (const TFieldDef& f : r.Fields)
            got << QStringLiteral("%1:%2:%3:%4%5%6")
                       .arg(f.Name)
                       .arg(int(f.DataType))
                       .arg(f.Size)
                       .arg(f.Required ? QStringLiteral("r") : QString(),
                            f.ReadOnly ? QStringLiteral("o") : QString(),
                            f.Key ? QStringLiteral("k") : QString());
        QCOMPARE(got.join(QLatin1Char(' ')), columns);
        QCOMPARE(r.Count, qint64(r.Rows.size()));
    }

    void valuesTravelTyped()
    {
        db_->Exec(
            QStringLiteral("UPDATE EXTENSION SET MONEY_LEFT = 12.5, NEXT_RESET = '2024-02-01' WHERE CODE = "
                           "'101' AND PBX_ID = 1"));
        const TOpenResult r = client_->OpenDataSet(kAdmin, QStringLiteral("dspExtension"));
        QVERIFY(r.Ok);
        const QVariantList& row = r.Rows.at(0);
        QCOMPARE(row.at(r.Column(QStringLiteral("CODE"))), QVariant(QStringLiteral("101")));
        QCOMPARE(row.at(r.Column(QStringLiteral("PBX_ID"))), QVariant(1));
        QCOMPARE(row.at(r.Column(QStringLiteral("MONEY_LEFT"))), QVariant(12.5));
        QCOMPARE(row.at(r.Column(QStringLiteral("NEXT_RESET"))), VarFromDateTime(EncodeDateTime(2024, 2, 1)));
        QVERIFY(VarIsNull(r.Rows.at(1).at(r.Column(QStringLiteral("LIMIT_PLAN_ID")))));
        const TOpenResult pins = client_->OpenDataSet(kAdmin, QStringLiteral("dspPinCode"));
        QCOMPARE(pins.Rows.at(0).at(pins.Column(QStringLiteral("COR"))), VarFromInt16(1));
    }

    void insertModifyDelete()
    {
        const TMessage inserted = client_->Apply(kAdmin, QStringLiteral("dspPBX"),
                                                 {Insert({U(), QStringLiteral("Warehouse"), U()})});
        QCOMPARE(inserted.Kind, TMessageKind::Applied);
        QCOMPARE(inserted.Errors.size(), 0);
        QCOMPARE(inserted.AppliedRows.size(), 1);
        const QVariantList row = inserted.AppliedRows.at(0).Values;
        QCOMPARE(row.at(0), QVariant(3));  // the new ID
        QCOMPARE(row.at(1), QVariant(QStringLiteral("Warehouse")));

        const TMessage modified = client_->Apply(kAdmin, QStringLiteral("dspPBX"),
                                                 {Modify(row, {U(), QStringLiteral("Depot"), 7})});
        QCOMPARE(modified.Errors.size(), 0);
        QCOMPARE(modified.AppliedRows.at(0).Values, (QVariantList{3, QStringLiteral("Depot"), 7}));
        QCOMPARE(db_->Scalar(QStringLiteral("SELECT NAME FROM PBX WHERE ID = 3")).toString(),
                 QStringLiteral("Depot"));

        const TMessage deleted =
            client_->Apply(kAdmin, QStringLiteral("dspPBX"), {Delete(modified.AppliedRows.at(0).Values)});
        QCOMPARE(deleted.Errors.size(), 0);
        QCOMPARE(Count(*db_, QStringLiteral("SELECT count(*) FROM PBX WHERE ID = 3")), 0);
        const TOpenResult reopened = client_->OpenDataSet(kAdmin, QStringLiteral("dspPBX"));
        QCOMPARE(Column(reopened, QStringLiteral("NAME")),
                 (QStringList{QStringLiteral("Head office"), QStringLiteral("Branch")}));
    }

    // Changes that fail: their codes, and what the maximum error count keeps.
    void failingChanges_data()
    {
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QList<TDeltaChange>>("delta");
        QTest::addColumn<int>("maxErrors");
        QTest::addColumn<QList<int>>("codes");  // per failing change, in order
        QTest::addColumn<QString>("check");     // SQL giving the expected count afterwards
        QTest::addColumn<int>("expected");
        const QList<TDeltaChange> duplicateAfterGood = {
            Insert({QStringLiteral("103"), QStringLiteral("New"), 1, 1, U(), U(), U(), U()}),
            Insert({QStringLiteral("101"), QStringLiteral("Twin"), 1, 1, U(), U(), U(), U()})};
        QTest::newRow("duplicate key, max 0: nothing kept")
            << "dspExtension" << duplicateAfterGood << 0 << QList<int>{9729}
            << "SELECT count(*) FROM EXTENSION" << 3;
        QTest::newRow("duplicate key, max -1: the good change kept")
            << "dspExtension" << duplicateAfterGood << -1 << QList<int>{9729}
            << "SELECT count(*) FROM EXTENSION" << 4;
        QTest::newRow("duplicate key, max 1: within the limit")
            << "dspExtension" << duplicateAfterGood << 1 << QList<int>{9729}
            << "SELECT count(*) FROM EXTENSION" << 4;
        QTest::newRow("same code on another exchange is no duplicate")
            << "dspExtension"
            << QList<TDeltaChange>{Insert(
                   {QStringLiteral("102"), QStringLiteral("Other"), 1, 2, U(), U(), U(), U()})}
            << 0 << QList<int>{} << "SELECT count(*) FROM EXTENSION" << 4;
        QTest::newRow("renaming a saved report onto another")
            << "dspReport"
            << QList<TDeltaChange>{Insert({QStringLiteral("Weekly"), QStringLiteral("x"), QStringLiteral("y"),
                                           U()}),
                                   Modify({QStringLiteral("Weekly"), QStringLiteral("x"), QStringLiteral("y"),
                                           N()},
                                          {QStringLiteral("Daily"), U(), U(), U()})}
            << 0 << QList<int>{9729} << "SELECT count(*) FROM REPORT" << 1;
        QTest::newRow("modify of a vanished row")
            << "dspExtension"
            << QList<TDeltaChange>{Modify(
                   {QStringLiteral("999"), QStringLiteral("Gone"), 1, 1, N(), N(), N(), N()},
                   {U(), QStringLiteral("Back"), U(), U(), U(), U(), U(), U()})}
            << 0 << QList<int>{9729} << "SELECT count(*) FROM EXTENSION WHERE NAME = 'Back'" << 0;
        QTest::newRow("delete of a vanished row")
            << "dspPBX" << QList<TDeltaChange>{Delete({99, QStringLiteral("Nowhere"), N()})} << 0
            << QList<int>{9729} << "SELECT count(*) FROM PBX" << 2;
        QTest::newRow("required value missing")
            << "dspGroups" << QList<TDeltaChange>{Insert({U(), N(), U()})} << 0 << QList<int>{9732}
            << "SELECT count(*) FROM GROUPS" << 2;
        QTest::newRow("unknown exchange")
            << "dspExtension"
            << QList<TDeltaChange>{Insert(
                   {QStringLiteral("500"), QStringLiteral("X"), 1, 99, U(), U(), U(), U()})}
            << 0 << QList<int>{9733} << "SELECT count(*) FROM EXTENSION" << 3;
        QTest::newRow("code longer than 10")
            << "dspExtension"
            << QList<TDeltaChange>{Insert(
                   {QStringLiteral("12345678901"), QStringLiteral("X"), 1, 1, U(), U(), U(), U()})}
            << 0 << QList<int>{9730} << "SELECT count(*) FROM EXTENSION" << 3;
        QTest::newRow("text for a number")
            << "dspLimitPlan"
            << QList<TDeltaChange>{Insert({U(), QStringLiteral("P"), QStringLiteral("much"), U(), U()})} << 0
            << QList<int>{9730} << "SELECT count(*) FROM LIMIT_PLAN" << 2;
        // A 32-bit column holding more would make its table unreadable for every client.
        QTest::newRow("archive beyond 32 bits")
            << "dspGroups" << QList<TDeltaChange>{Insert({U(), QStringLiteral("G"), Q_INT64_C(4294967296)})}
            << 0 << QList<int>{9730} << "SELECT count(*) FROM GROUPS" << 2;
        QTest::newRow("reset interval beyond 32 bits")
            << "dspLimitPlan" << QList<TDeltaChange>{Insert({U(), QStringLiteral("P"), 5.0, 3.0e9, U()})} << 0
            << QList<int>{9730} << "SELECT count(*) FROM LIMIT_PLAN" << 2;
        QTest::newRow("16-bit column beyond 16 bits")
            << "dspPinCode"
            << QList<TDeltaChange>{Insert(
                   {QStringLiteral("3333"), QStringLiteral("X"), 1, 1, U(), U(), U(), 40000, U(), U()})}
            << 0 << QList<int>{9730} << "SELECT count(*) FROM PIN_CODE WHERE CODE = '3333'" << 0;
        QTest::newRow("read-only key changed")
            << "dspPBX" << QList<TDeltaChange>{Modify({1, QStringLiteral("Head office"), N()}, {5, U(), U()})}
            << 0 << QList<int>{9730} << "SELECT count(*) FROM PBX WHERE ID = 5" << 0;
        QTest::newRow("exchange with calls")
            << "dspPBX" << QList<TDeltaChange>{Delete({2, QStringLiteral("Branch"), N()})} << 0
            << QList<int>{9734} << "SELECT count(*) FROM EXTENSION WHERE PBX_ID = 2" << 1;
        QTest::newRow("wrong number of values")
            << "dspGroups" << QList<TDeltaChange>{Insert({U(), QStringLiteral("G")})} << 0 << QList<int>{9730}
            << "SELECT count(*) FROM GROUPS" << 2;
        QTest::newRow("two errors, max 1: all rolled back")
            << "dspGroups"
            << QList<TDeltaChange>{Insert({U(), N(), U()}), Insert({U(), QStringLiteral("Fine"), U()}),
                                   Insert({U(), N(), U()})}
            << 1 << QList<int>{9732, 9732} << "SELECT count(*) FROM GROUPS" << 2;
    }
    void failingChanges()
    {
        QFETCH(QString, provider);
        QFETCH(QList<TDeltaChange>, delta);
        QFETCH(int, maxErrors);
        QFETCH(QList<int>, codes);
        QFETCH(QString, check);
        QFETCH(int, expected);
        const QString module = provider == QLatin1String("dspReport") ? QStringLiteral("ReportRDM") : kAdmin;
        const TMessage applied = client_->Apply(module, provider, delta, maxErrors);
        QCOMPARE(applied.Kind, TMessageKind::Applied);
        QList<int> got;
        for (const TApplyError& e : applied.Errors) {
            got << e.Code;
            QVERIFY(!e.Message.isEmpty());
        }
        QCOMPARE(got, codes);
        QCOMPARE(Count(*db_, check), qint64(expected));
        const bool rolledBack = maxErrors >= 0 && codes.size() > maxErrors;
        if (rolledBack)
            QCOMPARE(applied.AppliedRows.size(), 0);
    }

    void cascades_data()
    {
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QVariantList>("row");
        QTest::addColumn<QStringList>("checks");  // SQL giving 0 afterwards
        QTest::addColumn<QStringList>("kept");    // SQL giving > 0 afterwards
        QTest::newRow("exchange") << "dspPBX" << QVariantList{1, QStringLiteral("Head office"), N()}
                                  << QStringList{"SELECT count(*) FROM EXTENSION WHERE PBX_ID = 1",
                                                 "SELECT count(*) FROM PIN_CODE WHERE PBX_ID = 1"}
                                  << QStringList{"SELECT count(*) FROM EXTENSION WHERE PBX_ID = 2",
                                                 "SELECT count(*) FROM PIN_CODE WHERE PBX_ID = 2"};
        QTest::newRow("group") << "dspGroups" << QVariantList{1, QStringLiteral("Sales"), N()}
                               << QStringList{"SELECT count(*) FROM EXTENSION WHERE GROUP_ID = 1",
                                              "SELECT count(*) FROM PIN_CODE WHERE GROUP_ID = 1"}
                               << QStringList{"SELECT count(*) FROM EXTENSION WHERE GROUP_ID = 2"};
        QTest::newRow("limit plan") << "dspLimitPlan"
                                    << QVariantList{1, QStringLiteral("Monthly"), 50.0, -1, N()}
                                    << QStringList{"SELECT count(*) FROM EXTENSION WHERE LIMIT_PLAN_ID = 1",
                                                   "SELECT count(*) FROM PIN_CODE WHERE LIMIT_PLAN_ID = 1"}
                                    << QStringList{
                                           "SELECT count(*) FROM EXTENSION WHERE CODE = '101' AND PBX_ID = 1",
                                           "SELECT count(*) FROM PIN_CODE WHERE CODE = '2222'"};
    }
    void cascades()
    {
        QFETCH(QString, provider);
        QFETCH(QVariantList, row);
        QFETCH(QStringList, checks);
        QFETCH(QStringList, kept);
        db_->Exec(QStringLiteral("DELETE FROM CALL"));
        const TMessage applied = client_->Apply(kAdmin, provider, {Delete(row)});
        QCOMPARE(applied.Errors.size(), 0);
        for (const QString& sql : checks)
            QVERIFY2(Count(*db_, sql) == 0, qPrintable(sql));
        for (const QString& sql : kept)
            QVERIFY2(Count(*db_, sql) > 0, qPrintable(sql));
    }

    void limitPlanZeroMeansNone()
    {
        const TMessage applied = client_->Apply(kAdmin, QStringLiteral("dspExtension"),
                                                {Insert({QStringLiteral("104"), QStringLiteral("Nobody"), 1,
                                                         1, 0, U(), VarFromDateTime(45000.5), U()})});
        QCOMPARE(applied.Errors.size(), 0);
        QCOMPARE(
            Count(*db_, QStringLiteral(
                            "SELECT count(*) FROM EXTENSION WHERE CODE = '104' AND LIMIT_PLAN_ID IS NULL")),
            1);
        QCOMPARE(
            db_->Scalar(QStringLiteral("SELECT NEXT_RESET FROM EXTENSION WHERE CODE = '104'")).toString(),
            DateTimeToSqlText(45000.5));
        QCOMPARE(applied.AppliedRows.at(0).Values.at(6), VarFromDateTime(45000.5));
    }

    // The filter clause of the extension and PIN code lists: three forms or none.
    void filterClause_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("clause");
        QTest::addColumn<QString>("codes");  // PBX_ID:CODE of the rows served, or "refused"
        QTest::newRow("all") << "qryExtension"
                             << ""
                             << "1:101 1:102 2:101";
        QTest::newRow("by exchange") << "qryExtension"
                                     << "where PBX_ID = 2"
                                     << "2:101";
        QTest::newRow("by group") << "qryExtension"
                                  << "where GROUP_ID = 2"
                                  << "1:102";
        QTest::newRow("by limit plan") << "qryExtension"
                                       << "where LIMIT_PLAN_ID = 1"
                                       << "1:101";
        QTest::newRow("without limit plan") << "qryExtension"
                                            << "where LIMIT_PLAN_ID = 0"
                                            << "1:102";
        QTest::newRow("PIN codes by exchange") << "qryPinCode"
                                               << "where PBX_ID = 1"
                                               << "1:1111";
        QTest::newRow("no such exchange") << "qryPinCode"
                                          << "where PBX_ID = 77"
                                          << "";
        QTest::newRow("or 1=1") << "qryExtension"
                                << "where PBX_ID = 2 or 1=1"
                                << "refused";
        QTest::newRow("another column") << "qryExtension"
                                        << "where NAME = 'Ivan'"
                                        << "refused";
        QTest::newRow("second statement") << "qryExtension"
                                          << "where PBX_ID = 1; delete from PBX"
                                          << "refused";
        QTest::newRow("not a number") << "qryPinCode"
                                      << "where PBX_ID = x"
                                      << "refused";
        QTest::newRow("too large") << "qryPinCode"
                                   << "where PBX_ID = 99999999999"
                                   << "refused";
        QTest::newRow("subquery") << "qryExtension"
                                  << "where PBX_ID = (select 1)"
                                  << "refused";
    }
    void filterClause()
    {
        QFETCH(QString, query);
        QFETCH(QString, clause);
        QFETCH(QString, codes);
        const QString provider = query == QLatin1String("qryExtension") ? QStringLiteral("dspExtension")
                                                                        : QStringLiteral("dspPinCode");
        // A filter set before: a refused clause must leave it in force.
        QCOMPARE(client_->Call(kAdmin, 308, {query, QStringLiteral("where GROUP_ID = 1")}).Kind,
                 TMessageKind::Reply);
        const TOpenResult before = client_->OpenDataSet(kAdmin, provider);
        const TMessage reply = client_->Call(kAdmin, 308, {query, clause});
        const TOpenResult r = client_->OpenDataSet(kAdmin, provider);
        QVERIFY(r.Ok);
        if (codes == QLatin1String("refused")) {
            QCOMPARE(reply.Kind, TMessageKind::Error);
            QCOMPARE(reply.Code, hr::DISP_E_EXCEPTION_);
            QCOMPARE(r.Rows, before.Rows);
            QCOMPARE(Count(*db_, QStringLiteral("SELECT count(*) FROM PBX")), 2);
            return;
        }
        QCOMPARE(reply.Kind, TMessageKind::Reply);
        QStringList got;
        for (const QVariantList& row : r.Rows)
            got << QStringLiteral("%1:%2")
                       .arg(row.at(r.Column(QStringLiteral("PBX_ID"))).toInt())
                       .arg(row.at(0).toString());
        QCOMPARE(got.join(QLatin1Char(' ')), codes);
    }

    void filterClauseIsPerConnection()
    {
        QCOMPARE(
            client_->Call(kAdmin, 308, {QStringLiteral("qryExtension"), QStringLiteral("where PBX_ID = 2")})
                .Kind,
            TMessageKind::Reply);
        TWireClient other;
        QVERIFY(other.OpenAsAdministrator(server_->Port()));
        QCOMPARE(other.OpenDataSet(kAdmin, QStringLiteral("dspExtension")).Rows.size(), 3);
        QCOMPARE(client_->OpenDataSet(kAdmin, QStringLiteral("dspExtension")).Rows.size(), 1);
    }

    void catalogTables_data()
    {
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QString>("rows");
        QTest::newRow("exchanges") << "dspEPGroup"
                                   << "PBX"
                                   << "ID NAME"
                                   << "2|Branch;1|Head office";
        QTest::newRow("groups") << "dspEPGroup"
                                << "GROUPS"
                                << "ID NAME"
                                << "1|Sales;2|Support";
        QTest::newRow("limit plans") << "dspEPGroup"
                                     << "LIMIT_PLAN"
                                     << "ID NAME"
                                     << "2|Daily;1|Monthly";
        QTest::newRow("extensions") << "dspExtPin"
                                    << "EXTENSION"
                                    << "CODE NAME PBX_ID GROUP_ID LIMIT_PLAN_ID"
                                    << "101|Ivan|1|1|1;102|Maria|1|2|0;101|Petar|2|1|2";
        QTest::newRow("PIN codes") << "dspExtPin"
                                   << "PIN_CODE"
                                   << "CODE NAME PBX_ID GROUP_ID LIMIT_PLAN_ID"
                                   << "1111|Elena|1|1|0;2222|Georgi|2|2|1";
        QTest::newRow("simple mode")
            << "dspSimpleModeExtPin"
            << "EXTENSION"
            << "CODE NAME GROUP_NAME PBX_NAME"
            << "101|Petar|Sales|Branch;101|Ivan|Sales|Head office;102|Maria|Support|Head office";
    }
    void catalogTables()
    {
        QFETCH(QString, provider);
        QFETCH(QString, table);
        QFETCH(QString, columns);
        QFETCH(QString, rows);
        TWireClient user;
        QVERIFY(user.OpenAsUser(server_->Port()));
        QCOMPARE(user.OpenDataSet(QStringLiteral("ReportRDM"), provider).Code,
                 hr::DISP_E_EXCEPTION_);  // no table yet
        QCOMPARE(user.Call(QStringLiteral("ReportRDM"), 303, {provider, table}).Kind, TMessageKind::Reply);
        const TOpenResult r = user.OpenDataSet(QStringLiteral("ReportRDM"), provider);
        QVERIFY2(r.Ok, qPrintable(r.Text));
        QStringList names, lines;
        for (const TFieldDef& f : r.Fields)
            names << f.Name;
        for (const QVariantList& row : r.Rows) {
            QStringList cells;
            for (const QVariant& v : row)
                cells << v.toString();
            lines << cells.join(QLatin1Char('|'));
        }
        QCOMPARE(names.join(QLatin1Char(' ')), columns);
        QCOMPARE(lines.join(QLatin1Char(';')), rows);
        QCOMPARE(user.Apply(QStringLiteral("ReportRDM"), provider, {}).Code, hr::DISP_E_EXCEPTION_);
    }

    // What a module keeps for a connection (its chosen table, its statements' results)
    // belongs to that connection alone, and the two modules' results are apart.
    void moduleStateBelongsToItsConnection_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<int>("dispId");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QString>("otherModule");  // where the same provider name stays empty
        QTest::newRow("catalogue table")
            << kReport << dispid::ReportRDM::ChooseCatalogTable
            << QVariantList{QLatin1String(provider::ReportRDM::dspExtPin), QStringLiteral("PIN_CODE")}
            << QString(QLatin1String(provider::ReportRDM::dspExtPin)) << QString();
        QTest::newRow("report result")
            << kReport << dispid::ReportRDM::RunStatement
            << QVariantList{QStringLiteral("select NAME from PBX")}
            << QString(QLatin1String(provider::ReportRDM::dspResult)) << kLogsReport;
        QTest::newRow("log search result")
            << kLogsReport << dispid::LogsReportRDM::RunStatement << QVariantList{QStringLiteral("select 1")}
            << QString(QLatin1String(provider::LogsReportRDM::dspResult)) << kReport;
        QTest::newRow("event rows") << kLogsReport << dispid::LogsReportRDM::RunEventStatement
                                    << QVariantList{QStringLiteral("select * from LOG where EVENT_ID = 1")}
                                    << QString(QLatin1String(provider::LogsReportRDM::dspTemp)) << QString();
    }
    void moduleStateBelongsToItsConnection()
    {
        QFETCH(QString, module);
        QFETCH(int, dispId);
        QFETCH(QVariantList, args);
        QFETCH(QString, provider);
        QFETCH(QString, otherModule);
        QCOMPARE(client_->Call(module, dispId, args).Kind, TMessageKind::Reply);
        const TOpenResult mine = client_->OpenDataSet(module, provider);
        QVERIFY2(mine.Ok, qPrintable(mine.Text));
        if (!otherModule.isEmpty())
            QCOMPARE(client_->OpenDataSet(otherModule, provider).Code, hr::DISP_E_EXCEPTION_);
        TWireClient other;
        QVERIFY(other.OpenAsAdministrator(server_->Port()));
        QCOMPARE(other.OpenDataSet(module, provider).Code, hr::DISP_E_EXCEPTION_);
        // Still there for the first connection after the other one asked.
        QVERIFY(client_->OpenDataSet(module, provider).Ok);
    }

    void archives()
    {
        db_->Exec(QStringLiteral(
            "INSERT INTO ARCHIVE (ID, COMMENT, CREATED, CALL_COUNT) VALUES (1, 'Q1', '2024-04-01', 10);"
            "INSERT INTO ARCHIVE (ID, COMMENT, CREATED, IMPORTED) VALUES (2, 'Q2', '2024-07-01', '2024-08-01 "
            "09:30:00')"));
        const QString module = QStringLiteral("ArchivesRDM"), provider = QStringLiteral("dspArchive");
        const TOpenResult r = client_->OpenDataSet(module, provider);
        QCOMPARE(r.Rows.size(), 2);
        QCOMPARE(r.Rows.at(1).at(r.Column(QStringLiteral("IMPORTED"))),
                 VarFromDateTime(EncodeDateTime(2024, 8, 1, 9, 30)));
        QCOMPARE(r.Rows.at(0).at(r.Column(QStringLiteral("CALL_COUNT"))), QVariant(qint64(10)));
        // Renaming is allowed, creating and deleting an entry not imported are not.
        QVariantList renamed(r.Fields.size());
        renamed[r.Column(QStringLiteral("COMMENT"))] = QStringLiteral("First quarter");
        const TMessage applied =
            client_->Apply(module, provider,
                           {Modify(r.Rows.at(0), renamed), Insert(QVariantList(r.Fields.size())),
                            Delete(r.Rows.at(0)), Delete(r.Rows.at(1))},
                           -1);
        QList<int> codes;
        for (const TApplyError& e : applied.Errors)
            codes << e.Index << e.Code;
        QCOMPARE(codes, (QList<int>{1, 9735, 2, 9735}));
        QCOMPARE(db_->Scalar(QStringLiteral("SELECT COMMENT FROM ARCHIVE WHERE ID = 1")).toString(),
                 QStringLiteral("First quarter"));
        QCOMPARE(Count(*db_, QStringLiteral("SELECT count(*) FROM ARCHIVE")), 1);
    }

    void setupQueries()
    {
        TWireClient locked;
        QVERIFY(locked.Open(server_->Port()));
        QCOMPARE(locked.Call(kAdmin, 301).Result, QVariant(QString()));
        QCOMPARE(locked.Call(kAdmin, 315).Result, QVariant(QString()));
        QCOMPARE(client_->Call(kAdmin, 313).Result, QVariant(0));
        db_->Exec(QStringLiteral(
            "INSERT INTO SETTINGS (NAME, VALUE) VALUES ('data_format_in_use', '(year)'), ('pbx_in_use', '2');"
            "INSERT INTO TARIFF_RULES (NAME, TEXT) VALUES ('Mobile', 'rate 088 0.05 0.20'), "
            "('Broken', 'charge everything'), ('Local', 'rate * 0 0.04 60')"));
        QCOMPARE(locked.Call(kAdmin, 301).Result, QVariant(QStringLiteral("(year)")));
        QCOMPARE(locked.Call(kAdmin, 315).Result, QVariant(QStringLiteral("Local, Mobile")));
        QCOMPARE(client_->Call(kAdmin, 313).Result, QVariant(2));
        db_->Exec(QStringLiteral("DELETE FROM CALL; DELETE FROM PBX WHERE ID = 2"));
        QCOMPARE(client_->Call(kAdmin, 313).Result, QVariant(0));
    }
};

QTEST_GUILESS_MAIN(TestServerData)
#include "tst_server_data.moc"
