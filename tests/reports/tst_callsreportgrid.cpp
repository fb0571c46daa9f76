// The calls grid's printable layout: the totals expression of grouped and ungrouped reports
// by the columns the shown dataset has, the element every kind of grouping level gets in its
// header (width, expression, the level's grouping), and the handlers wired to the right
// columns. Then real reports of the demo server laid out by the engine: every group's
// totals line and the summary's against the same statement summed by SQLite on the
// database file, under a "," locale; the headers of extension, extension name and other
// levels, an extension missing from the reference tables, two extensions of one name.

#include "calls/DMReport.h"
#include "calls/ReportQuery.h"
#include "calls/ReportResults.h"
#include "core/RegionalSettings.h"
#include "printing/Paginator.h"
#include "printing/Report.h"
#include "printing/RowSource.h"
#include "reports/CallsPrintTexts.h"
#include "reports/FrameCallsRepGrid.h"
#include "shell/base/ClientReportFlags.h"
#include "support/ConnectedClient.h"
#include "support/DirectSql.h"
#include "support/LogCapture.h"
#include "support/RegionalPresets.h"
#include "support/ReportQueryParts.h"
#include "support/TotalsLines.h"

#include <QTest>

#include <memory>

namespace {

// A local result with the named columns (strings, totals as numbers), dressed from the
// catalogue, holding the rows given as lists of texts (empty: null).
void FillResult(TRemoteDataSet& ds, const QStringList& columns, const QList<QStringList>& rows = {})
{
    ds.Close();
    ds.ClearFields();
    for (const QString& name : columns) {
        const TCallFieldId id = FieldIdByName(name);
        const bool number = id == cfDuration || id == cfPulses || (id >= cfTotalCount && id <= cfTotalPulses);
        ds.AddField(name, number ? TFieldType::Float : TFieldType::String, 40);
    }
    ds.CreateDataSet();
    for (const QStringList& row : rows) {
        QVariantList values;
        for (const QString& text : row)
            values << (text.isEmpty() ? QVariant() : QVariant(text));
        ds.AppendRecord(values);
    }
    DressResultColumns(ds);
}

// February 2024 of the demo data, which ends on 31 March 2024.
TStringArray February()
{
    return {FieldInfo(cfRecTime).BuildCondition(
        RangeText(DateTimeFromQDate(QDate(2024, 2, 1)), DateTimeFromQDate(QDate(2024, 3, 1))))};
}

// One group of a printed layout: its header's text (reprints on new pages not repeated)
// and its footer's.
struct TPrintedGroup {
    QString Header;
    QString Footer;
};

struct TPrinted {
    QList<TPrintedGroup> Groups;  // of the innermost level
    QString Summary;
};

// Lays the grid's last layout out with the engine and collects what its one grouping level
// and its summary print.
TPrinted Printed(const TReport& report)
{
    TPrinted out;
    const TGroupBand* level = report.Groups().empty() ? nullptr : report.Groups().back().get();
    TPaginator paginator(report);
    bool open = false;
    for (const TPage& page : Paginate(paginator))
        for (const TPlacedElement& e : paginator.PlaceElements(page)) {
            if (e.Kind != TPlacedElement::TKind::Text)
                continue;
            if (level && e.Band == level) {
                if (open && out.Groups.last().Header == e.Text)
                    continue;  // the header again on a new page
                out.Groups.append({e.Text, QString()});
                open = true;
            } else if (level && e.Band == level->Footer()) {
                out.Groups.last().Footer = e.Text;
                open = false;
            } else if (e.Band == report.Band(TBandKind::Summary)) {
                out.Summary = e.Text;
            }
        }
    return out;
}

// SQLite's sum of a column over a statement's rows: exact, in ten-thousandths, for amounts;
// 0 for a column without values.
QString Sum(const char* column)
{
    return QStringLiteral("coalesce(sum(%1), 0)").arg(QLatin1String(column));
}

QString AmountSum(const char* column)
{
    return QStringLiteral("coalesce(sum(cast(round(%1 * 10000) as integer)), 0)").arg(QLatin1String(column));
}

QString FirstElement(const TBand* band, bool* hasHandler = nullptr)
{
    auto* e = dynamic_cast<const TExpressionElement*>(band->Elements().front().get());
    if (!e)
        return QStringLiteral("not an expression");
    if (hasHandler)
        *hasHandler = bool(e->OnPrint());
    // Alone in its band, it may use the band's width.
    const QString across = e->AlignToBand() ? QString() : QStringLiteral(" (cut at its box)");
    return QStringLiteral("%1@%2+%3%4").arg(e->Expression()).arg(e->Left()).arg(e->Width()).arg(across);
}

}  // namespace

class TestCallsReportGrid : public QObject {
    Q_OBJECT

    std::unique_ptr<TLogCapture> logs_;
    std::unique_ptr<TConnectedClient> client_;
    std::unique_ptr<TReportDM> dm_;
    std::unique_ptr<QWidget> host_;
    TFrameCallsReportGrid* grid_ = nullptr;
    TRemoteDataSet local_;

private Q_SLOTS:
    void initTestCase()
    {
        CreateCallFieldInfos();
        TRegionalSettings::SetCurrent(TRegionalSettings());
        logs_ = std::make_unique<TLogCapture>();
        client_ = std::make_unique<TConnectedClient>(
            [](TServerOptions& o) {
                o.Demo = true;
                o.DemoDate = QDate(2024, 3, 31);
            },
            false);
        QVERIFY2(client_->Ready(), qPrintable(client_->Error()));
        client_->Client.Report.Hook = [](const TCallbackMethod& method, const QVariantList&) {
            if (method.Name == QLatin1String(callback::ReportReady.Method))
                ReportReadyFlag = true;
        };
        dm_ = std::make_unique<TReportDM>(client_->Client.Socket, client_->Client.Child("ReportRDM"));
        host_ = std::make_unique<QWidget>();
        grid_ = new TFrameCallsReportGrid(host_.get(), *dm_);
        grid_->SetDataset(&local_);
    }
    void cleanupTestCase()
    {
        TRegionalSettings::SetCurrent(TRegionalSettings());
        host_.reset();
        dm_.reset();
        client_.reset();
        logs_.reset();
    }

    void notGroupedAfterConstruction()
    {
        QWidget host;
        TFrameCallsReportGrid grid(&host, *dm_);
        QVERIFY(!grid.Grouped());
        QCOMPARE(&grid.ReportDM(), dm_.get());
    }

    void totalsExpression_data()
    {
        QTest::addColumn<bool>("grouped");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<QString>("expression");

        QTest::newRow("grouped, every total")
            << true << QStringList{"EXT_CODE",  "TOTAL_COUNT",  "TOTAL_DURATION", "TOTAL_RAW_CHARGE",
                                   "TOTAL_VAT", "TOTAL_CHARGE", "TOTAL_PULSES"}
            << "SUM(1)+'|'+SUM(TOTAL_COUNT)+'|'+SUM(TOTAL_DURATION)+'|'+SUM(TOTAL_RAW_CHARGE)+'|'+"
               "SUM(TOTAL_VAT)+'|'+SUM(TOTAL_PULSES)";
        QTest::newRow("grouped without VAT and pulses")
            << true << QStringList{"EXT_CODE", "TOTAL_COUNT", "TOTAL_DURATION", "TOTAL_RAW_CHARGE"}
            << "SUM(1)+'|'+SUM(TOTAL_COUNT)+'|'+SUM(TOTAL_DURATION)+'|'+SUM(TOTAL_RAW_CHARGE)+'|'+''+'|'+''";
        QTest::newRow("grouped: the calls' own columns do not count")
            << true << QStringList{"EXT_CODE", "DURATION", "RAW_CHARGE", "TOTAL_COUNT"}
            << "SUM(1)+'|'+SUM(TOTAL_COUNT)+'|'+''+'|'+''+'|'+''+'|'+''";
        QTest::newRow("ungrouped, every column")
            << false << QStringList{"REC_DATETIME", "DURATION", "RAW_CHARGE", "VAT", "CHARGE", "PULSES"}
            << "''+'|'+COUNT+'|'+SUM(DURATION)+'|'+SUM(RAW_CHARGE)+'|'+SUM(VAT)+'|'+SUM(PULSES)";
        QTest::newRow("ungrouped without charges")
            << false << QStringList{"REC_DATETIME", "DURATION", "PULSES"}
            << "''+'|'+COUNT+'|'+SUM(DURATION)+'|'+''+'|'+''+'|'+SUM(PULSES)";
        QTest::newRow("ungrouped: totals do not count")
            << false << QStringList{"PHONE", "TOTAL_DURATION"} << "''+'|'+COUNT+'|'+''+'|'+''+'|'+''+'|'+''";
    }
    void totalsExpression()
    {
        QFETCH(bool, grouped);
        QFETCH(QStringList, columns);
        QFETCH(QString, expression);
        FillResult(local_, columns);
        grid_->SetGrouped(grouped);
        QCOMPARE(grid_->TotalsExpression(), expression);
        // On every footer and the summary: 14 times the band's font size, the handler on.
        grid_->BuildLayout({QStringLiteral("Calls")}, {local_.Field(0)}, true, false, false, std::nullopt);
        const TReport* report = grid_->Report();
        bool handler = false;
        QCOMPARE(FirstElement(report->Groups().front()->Footer(), &handler),
                 expression + QStringLiteral("@0+154"));
        QVERIFY(handler);
        QCOMPARE(FirstElement(report->Band(TBandKind::Summary), &handler),
                 expression + QStringLiteral("@0+182"));
        QVERIFY(handler);
    }

    void groupHeaders_data()
    {
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("element");  // at the level's font of 11 pt
        QTest::addColumn<bool>("handler");
        QTest::addColumn<QString>("grouping");

        const QStringList calls{"EXT_CODE",  "PIN_CODE", "EXT_NAME", "PIN_NAME",    "EXTRA_CODE",
                                "PHONE",     "CIRCUIT",  "TRUNK",    "CALL_TYPE",   "EXT_GROUP",
                                "PIN_GROUP", "PBX_NAME", "TEXT",     "SERVER_EXTRA"};
        QTest::newRow("extension") << calls << "EXT_CODE"
                                   << "@0+132" << true << "EXT_CODE";
        QTest::newRow("PIN code") << calls << "PIN_CODE"
                                  << "@0+132" << true << "PIN_CODE";
        QTest::newRow("extension name groups by code") << calls << "EXT_NAME"
                                                       << "@0+132" << true << "EXT_CODE";
        QTest::newRow("PIN name groups by code") << calls << "PIN_NAME"
                                                 << "@0+132" << true << "PIN_CODE";
        QTest::newRow("extension name without the code column")
            << QStringList{"EXT_NAME", "TOTAL_COUNT"} << "EXT_NAME"
            << "@0+132" << true << "EXT_NAME";
        QTest::newRow("extra code") << calls << "EXTRA_CODE"
                                    << "'Extra code '+EXTRA_CODE@0+66" << false << "EXTRA_CODE";
        QTest::newRow("circuit") << calls << "CIRCUIT"
                                 << "'Circuit '+CIRCUIT@0+66" << false << "CIRCUIT";
        QTest::newRow("trunk") << calls << "TRUNK"
                               << "'Trunk '+TRUNK@0+66" << false << "TRUNK";
        QTest::newRow("call type") << calls << "CALL_TYPE"
                                   << "'Call type '+CALL_TYPE@0+66" << false << "CALL_TYPE";
        QTest::newRow("phone") << calls << "PHONE"
                               << "'Phone '+PHONE@0+88" << false << "PHONE";
        QTest::newRow("extension group") << calls << "EXT_GROUP"
                                         << "'Extension group '+EXT_GROUP@0+88" << false << "EXT_GROUP";
        QTest::newRow("PIN group") << calls << "PIN_GROUP"
                                   << "'PIN group '+PIN_GROUP@0+88" << false << "PIN_GROUP";
        QTest::newRow("PBX name prints nothing") << calls << "PBX_NAME"
                                                 << "@0+132" << false << "PBX_NAME";
        QTest::newRow("text prints nothing") << calls << "TEXT"
                                             << "@0+132" << false << "TEXT";
        QTest::newRow("a column outside the catalogue") << calls << "SERVER_EXTRA"
                                                        << "@0+132" << false << "SERVER_EXTRA";
    }
    void groupHeaders()
    {
        QFETCH(QStringList, columns);
        QFETCH(QString, level);
        QFETCH(QString, element);
        QFETCH(bool, handler);
        QFETCH(QString, grouping);
        FillResult(local_, columns);
        grid_->SetGrouped(true);
        grid_->BuildLayout({QStringLiteral("Calls")}, {local_.FieldByName(level)}, true, false, false,
                           std::nullopt);
        const TGroupBand* header = grid_->Report()->Groups().front().get();
        QCOMPARE(int(header->Elements().size()), 1);
        bool hasHandler = false;
        QCOMPARE(FirstElement(header, &hasHandler), element);
        QCOMPARE(hasHandler, handler);
        QCOMPARE(header->Expression(), grouping);
    }

    // The header handlers read the code, name and group of the row they print for; a column
    // the result lacks counts as empty.
    void headerHandlers_data()
    {
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<QStringList>("row");
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("text");

        const QStringList ext{"EXT_CODE", "EXT_NAME", "EXT_GROUP", "PIN_CODE", "PIN_NAME", "PIN_GROUP"};
        const QStringList row{"101", "Reception", "Sales", "5001", "Director", "Board"};
        QTest::newRow("extension") << ext << row << "EXT_CODE"
                                   << "Extension 101, \"Reception\" from \"Sales\" group";
        QTest::newRow("extension name") << ext << row << "EXT_NAME"
                                        << "Extension name \"Reception\", 101 from \"Sales\" group";
        QTest::newRow("PIN code") << ext << row << "PIN_CODE"
                                  << "PIN code 5001, \"Director\" from \"Board\" group";
        QTest::newRow("PIN name") << ext << row << "PIN_NAME"
                                  << "PIN name \"Director\", 5001 from \"Board\" group";
        QTest::newRow("an extension outside the reference tables")
            << ext << QStringList{"", "", "", "5001", "", ""} << "EXT_CODE"
            << "Extension missing";
        QTest::newRow("without name and group columns")
            << QStringList{"EXT_CODE", "TOTAL_COUNT"} << QStringList{"102", "4"} << "EXT_CODE"
            << "Extension 102";
    }
    void headerHandlers()
    {
        QFETCH(QStringList, columns);
        QFETCH(QStringList, row);
        QFETCH(QString, level);
        QFETCH(QString, text);
        FillResult(local_, columns, {row});
        grid_->BuildLayout({QStringLiteral("Calls")}, {local_.FieldByName(level)}, true, false, false,
                           std::nullopt);
        auto* element =
            dynamic_cast<const TTextElement*>(grid_->Report()->Groups().front()->Elements().front().get());
        const TPrintContext context(*grid_->Report()->Source(), 0, 1);
        QCOMPARE(element->OnPrint()(QString(), context), text);
    }

    // ---- real reports of the demo server ----------------------------------------------------

    // Runs a report of the fields through the data module and shows its result in the grid.
    QString RunReport(const TCallFieldSet& fields, const TStringArray& where, const TStringArray& order)
    {
        const QString sql = BuildQuery(fields, {}, where, {}, order);
        dm_->RunReport(sql);
        grid_->SetDataset(&dm_->cdsResult);
        grid_->SetGrouped(!(fields * TotalFields).IsEmpty());
        return sql;
    }

    // Calls the demo data lacks: one without an extension (nor anything joined to it).
    void addOddCalls()
    {
        const QString error = ExecDirect(
            client_->Server.DatabasePath(),
            QStringLiteral(
                "insert into CALL (REC_DATETIME, START_DATETIME, END_DATETIME, PBX_ID, EXT_CODE, "
                "PIN_CODE, DURATION, RAW_CHARGE, VAT, CHARGE) values ('2024-02-10 09:00:00', "
                "'2024-02-10 08:59:00', '2024-02-10 09:00:00', 1, null, 'X902', 60, 0.125, 0.025, 0.15)"));
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    // A grouped report by extension group: each group's footer and the summary carry the
    // sums SQLite makes of the same statement's rows.
    void groupedTotalsMatchTheDatabase()
    {
        TRegionalSettings::SetCurrent(CommaEuros());
        const QString sql = RunReport(TCallFieldSet{cfExtGroupName, cfExtCode, cfTotalCount, cfTotalDuration,
                                                    cfTotalRawCharge, cfTotalVat, cfTotalPulses},
                                      February(), {QStringLiteral("eg.NAME"), QStringLiteral("c.EXT_CODE")});
        QVERIFY(dm_->cdsResult.RecordCount() > 10);
        grid_->BuildLayout({QStringLiteral("Charges by group")},
                           {dm_->cdsResult.FieldByName(QStringLiteral("EXT_GROUP"))}, false, true, false,
                           std::nullopt);
        const TPrinted printed = Printed(*grid_->Report());

        const QString sums =
            QStringList{QStringLiteral("count(*)"),    Sum("TOTAL_COUNT"),     Sum("TOTAL_DURATION"),
                        AmountSum("TOTAL_RAW_CHARGE"), AmountSum("TOTAL_VAT"), Sum("TOTAL_PULSES")}
                .join(QStringLiteral(", "));
        const TDirect groups = RunDirect(client_->Server.DatabasePath(),
                                         QStringLiteral("select EXT_GROUP, %1 from (%2) group by EXT_GROUP "
                                                        "order by EXT_GROUP")
                                             .arg(sums, sql));
        QVERIFY2(groups.Error.isEmpty(), qPrintable(groups.Error));
        QCOMPARE(printed.Groups.size(), groups.Rows.size());
        for (int i = 0; i < groups.Rows.size(); ++i) {
            const QVariantList& g = groups.Rows.at(i);
            QCOMPARE(printed.Groups.at(i).Header, QStringLiteral("Extension group ") + TotalsText(g.at(0)));
            QCOMPARE(printed.Groups.at(i).Footer,
                     ExpectedTotals(g.at(1), g.at(2), g.at(3), g.at(4), g.at(5), g.at(6)));
        }
        const TDirect all =
            RunDirect(client_->Server.DatabasePath(), QStringLiteral("select %1 from (%2)").arg(sums, sql));
        const QVariantList& a = all.Rows.at(0);
        QCOMPARE(printed.Summary, ExpectedTotals(a.at(0), a.at(1), a.at(2), a.at(3), a.at(4), a.at(5)));
        // The sums reach the line with "." and print with the locale's ",".
        QVERIFY2(printed.Summary.contains(QStringLiteral(" EUR; ")), qPrintable(printed.Summary));
        QVERIFY(printed.Summary.contains(QLatin1Char(',')));
    }

    // An ungrouped listing grouped on the extension: calls counted, durations and pulses
    // summed, no rows and no charges; headers name the extension, its name and group, and
    // the call without an extension is "Extension missing".
    void ungroupedByExtension()
    {
        const QString sql = RunReport(
            TCallFieldSet{cfRecTime, cfExtCode, cfExtName, cfExtGroupName, cfPhone, cfDuration, cfPulses},
            February(), {QStringLiteral("c.EXT_CODE"), QStringLiteral("c.REC_DATETIME")});
        grid_->BuildLayout({QStringLiteral("Calls")},
                           {dm_->cdsResult.FieldByName(QStringLiteral("EXT_CODE"))}, true, false, false,
                           std::nullopt);
        const TPrinted printed = Printed(*grid_->Report());
        const TDirect groups =
            RunDirect(client_->Server.DatabasePath(),
                      QStringLiteral("select EXT_CODE, max(EXT_NAME), max(EXT_GROUP), count(*), %1, %2 "
                                     "from (%3) group by EXT_CODE order by EXT_CODE")
                          .arg(Sum("DURATION"), Sum("PULSES"), sql));
        QVERIFY2(groups.Error.isEmpty(), qPrintable(groups.Error));
        QCOMPARE(printed.Groups.size(), groups.Rows.size());
        QCOMPARE(printed.Groups.first().Header, QStringLiteral("Extension missing"));
        for (int i = 1; i < groups.Rows.size(); ++i) {
            const QVariantList& g = groups.Rows.at(i);
            QCOMPARE(printed.Groups.at(i).Header,
                     QStringLiteral("Extension %1, \"%2\" from \"%3\" group")
                         .arg(TotalsText(g.at(0)), TotalsText(g.at(1)), TotalsText(g.at(2))));
        }
        for (int i = 0; i < groups.Rows.size(); ++i) {
            const QVariantList& g = groups.Rows.at(i);
            QCOMPARE(printed.Groups.at(i).Footer, ExpectedTotals({}, g.at(3), g.at(4), {}, {}, g.at(5)));
        }
    }

    // A grouped report whose result has no VAT column prints only the raw charge's money.
    void groupedWithoutVat()
    {
        const QString sql = RunReport(TCallFieldSet{cfExtCode, cfTotalCount, cfTotalRawCharge}, February(),
                                      {QStringLiteral("c.EXT_CODE")});
        grid_->BuildLayout({QStringLiteral("Calls")}, {}, true, false, false, std::nullopt);
        const TPrinted printed = Printed(*grid_->Report());
        const TDirect all = RunDirect(client_->Server.DatabasePath(),
                                      QStringLiteral("select count(*), %1, %2 from (%3)")
                                          .arg(Sum("TOTAL_COUNT"), AmountSum("TOTAL_RAW_CHARGE"), sql));
        const QVariantList& a = all.Rows.at(0);
        QCOMPARE(printed.Summary, ExpectedTotals(a.at(0), a.at(1), {}, a.at(2), {}, {}));
    }

    // A level on the extension name breaks on the code: two extensions of one name are two
    // groups, each header naming its code.
    void extensionNameGroupsByCode()
    {
        const QString error = ExecDirect(client_->Server.DatabasePath(),
                                         QStringLiteral("update EXTENSION set NAME = 'Twin Desk' "
                                                        "where PBX_ID = 1 and CODE in ('101', '102')"));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        RunReport(TCallFieldSet{cfExtCode, cfExtName, cfExtGroupName, cfTotalCount}, February(),
                  {QStringLiteral("e.NAME"), QStringLiteral("c.EXT_CODE")});
        grid_->BuildLayout({QStringLiteral("Calls")},
                           {dm_->cdsResult.FieldByName(QStringLiteral("EXT_NAME"))}, true, false, false,
                           std::nullopt);
        const TPrinted printed = Printed(*grid_->Report());
        QStringList twins;
        for (const TPrintedGroup& g : printed.Groups)
            if (g.Header.startsWith(QStringLiteral("Extension name \"Twin Desk\"")))
                twins << g.Header.section(QLatin1Char(' '), 4, 4);
        QCOMPARE(twins, (QStringList{"101", "102"}));
    }

    // A level on a field outside the header table prints an empty header, once per group.
    void otherLevelPrintsNothing()
    {
        const QString sql = RunReport(TCallFieldSet{cfPbxName, cfExtCode, cfTotalCount}, February(),
                                      {QStringLiteral("x.NAME"), QStringLiteral("c.EXT_CODE")});
        grid_->BuildLayout({QStringLiteral("Calls")},
                           {dm_->cdsResult.FieldByName(QStringLiteral("PBX_NAME"))}, true, false, false,
                           std::nullopt);
        const TPrinted printed = Printed(*grid_->Report());
        const TDirect exchanges =
            RunDirect(client_->Server.DatabasePath(),
                      QStringLiteral("select count(distinct PBX_NAME) from (%1)").arg(sql));
        QCOMPARE(qsizetype(printed.Groups.size()), qsizetype(exchanges.Rows.at(0).at(0).toLongLong()));
        for (const TPrintedGroup& g : printed.Groups)
            QCOMPARE(g.Header, QString());
    }
};

QTEST_MAIN(TestCallsReportGrid)
#include "tst_callsreportgrid.moc"
