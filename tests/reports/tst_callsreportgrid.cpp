// The calls grid's printable layout: the totals expression of grouped and ungrouped reports
// by the columns the shown dataset has, the element every kind of grouping level gets in its
// header (width, expression, the level's grouping), and the handlers wired to the right
// columns.

#include "calls/DMReport.h"
#include "calls/ReportResults.h"
#include "core/RegionalSettings.h"
#include "printing/Report.h"
#include "printing/RowSource.h"
#include "reports/FrameCallsRepGrid.h"
#include "shell/base/ClientReportFlags.h"
#include "support/ConnectedClient.h"
#include "support/LogCapture.h"

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

QString FirstElement(const TBand* band, bool* hasHandler = nullptr)
{
    auto* e = dynamic_cast<const TExpressionElement*>(band->Elements().front().get());
    if (!e)
        return QStringLiteral("not an expression");
    if (hasHandler)
        *hasHandler = bool(e->OnPrint());
    return QStringLiteral("%1@%2+%3").arg(e->Expression()).arg(e->Left()).arg(e->Width());
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
};

QTEST_MAIN(TestCallsReportGrid)
#include "tst_callsreportgrid.moc"
