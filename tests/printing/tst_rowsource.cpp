// The rows a report reads: over a dataset (every field, hidden ones too) and over a model
// (its columns; a dataset model's by field name), and how each notices that its rows
// changed under a report.

#include "printing/Paginator.h"
#include "printing/RowSource.h"
#include "remote/DataSetModel.h"
#include "remote/Field.h"
#include "remote/RemoteDataSet.h"

#include <QStandardItemModel>
#include <QTest>

namespace {

std::unique_ptr<TRemoteDataSet> Extensions()
{
    auto ds = std::make_unique<TRemoteDataSet>();
    ds->setObjectName(QStringLiteral("cdsExtension"));
    ds->AddField(QStringLiteral("CODE"), TFieldType::String, 10)->SetDisplayLabel(QStringLiteral("Number"));
    ds->AddField(QStringLiteral("GROUP_ID"), TFieldType::Integer)->SetVisible(false);
    TField* duration = ds->AddField(QStringLiteral("DURATION"), TFieldType::Integer);
    duration->SetOnGetText(
        [](TField& field, bool) { return QStringLiteral("%1 min").arg(field.AsInteger() / 60); });
    ds->CreateDataSet();
    ds->AppendRecord({"101", 7, 120});
    ds->AppendRecord({"102", 8, 600});
    ds->MergeChangeLog();
    return ds;
}

}  // namespace

class TestRowSource : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dataSetRowsIncludeHiddenFields()
    {
        auto ds = Extensions();
        TDataSetRowSource rows(ds.get());
        QCOMPARE(rows.Name(), QStringLiteral("cdsExtension"));
        QCOMPARE(rows.RowCount(), 2);
        QCOMPARE(rows.ColumnCount(), 3);
        QCOMPARE(rows.FindColumn(QStringLiteral("group_id")), 1);
        QCOMPARE(rows.FindColumn(QStringLiteral("Number")), -1);  // labels are not names
        QCOMPARE(rows.Value(1, 1), QVariant(8));
        QCOMPARE(rows.Value(1, 2).toInt(), 600);
        QCOMPARE(rows.DisplayText(1, 2), QStringLiteral("10 min"));
        QCOMPARE(rows.ColumnAlignment(2), Qt::AlignRight);
        QCOMPARE(rows.ColumnAlignment(0), Qt::AlignLeft);
    }

    void dataSetChanges_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("changed");
        QTest::newRow("nothing") << "" << false;
        QTest::newRow("a column hidden (the views reset)") << "hide" << false;
        QTest::newRow("the cursor moved") << "move" << false;
        QTest::newRow("a row appended") << "append" << true;
        QTest::newRow("a row deleted") << "delete" << true;
        QTest::newRow("a value edited") << "edit" << true;
        QTest::newRow("closed") << "close" << true;
        QTest::newRow("destroyed") << "destroy" << true;
    }
    void dataSetChanges()
    {
        QFETCH(QString, change);
        QFETCH(bool, changed);
        auto ds = Extensions();
        TDataSetRowSource rows(ds.get());
        if (change == "hide") {
            ds->FieldByName("CODE")->SetVisible(false);
        } else if (change == "move") {
            ds->Last();
        } else if (change == "append") {
            ds->AppendRecord({"103", 9, 0});
        } else if (change == "delete") {
            ds->Delete();
        } else if (change == "edit") {
            ds->Edit();
            ds->FieldByName("CODE")->SetAsString("199");
            ds->Post();
        } else if (change == "close") {
            ds->Close();
        } else if (change == "destroy") {
            ds.reset();
            QCOMPARE(rows.RowCount(), 0);
        }
        QCOMPARE(rows.Changed(), changed);
    }

    void dataSetModelRowsAreItsVisibleFields()
    {
        auto ds = Extensions();
        TDataSetModel model;
        model.SetDataSet(ds.get());
        TModelRowSource rows(&model);
        QCOMPARE(rows.ColumnCount(), 2);
        QCOMPARE(rows.ColumnName(0), QStringLiteral("CODE"));
        QCOMPARE(rows.ColumnName(1), QStringLiteral("DURATION"));
        QCOMPARE(rows.FindColumn(QStringLiteral("GROUP_ID")), -1);
        QCOMPARE(rows.Value(0, 1).toInt(), 120);
        QCOMPARE(rows.DisplayText(0, 1), QStringLiteral("2 min"));
        QCOMPARE(rows.ColumnAlignment(1), Qt::AlignRight);
        QVERIFY(!rows.Changed());
        ds->AppendRecord({"103", 9, 0});
        QVERIFY(rows.Changed());
    }

    void plainModelRowsByHeader()
    {
        QStandardItemModel model(0, 2);
        model.setHorizontalHeaderLabels({"Code", "Calls"});
        for (const auto& [code, calls] : {std::pair{"101", 3}, std::pair{"102", 5}}) {
            auto* count = new QStandardItem;
            count->setData(calls, Qt::EditRole);
            count->setData(Qt::AlignRight, Qt::TextAlignmentRole);
            model.appendRow({new QStandardItem(QString::fromLatin1(code)), count});
        }
        TModelRowSource rows(&model);
        QCOMPARE(rows.FindColumn(QStringLiteral("calls")), 1);
        QCOMPARE(rows.Value(1, 1), QVariant(5));
        QCOMPARE(rows.DisplayText(1, 0), QStringLiteral("102"));
        QCOMPARE(rows.ColumnAlignment(1), Qt::AlignRight);

        // A report over the model sums its column.
        TReport report(std::make_unique<TModelRowSource>(&model));
        report.AddBand(TBandKind::Detail)->SetHeight(5);
        report.AddBand(TBandKind::Summary)
            ->Add<TExpressionElement>(QStringLiteral("SUM(Calls)+' in '+COUNT"));
        TPaginator paginator(report);
        const TPage page = paginator.NextPage();
        QCOMPARE(page.Bands.back().Texts, std::vector<QString>({QStringLiteral("8 in 2")}));

        QVERIFY(!rows.Changed());
        model.item(0, 1)->setData(4, Qt::EditRole);
        QVERIFY(rows.Changed());
    }
};

QTEST_MAIN(TestRowSource)
#include "tst_rowsource.moc"
