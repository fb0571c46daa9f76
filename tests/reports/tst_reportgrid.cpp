// The report grid on screen: the layout state it saves and loads (order, display widths,
// visibility and pixel widths, every malformed part), the column chooser, the widths the
// user gave surviving the grid's resets, and changing the shown dataset.

#include "remote/DataSetModel.h"
#include "remote/RemoteDataSet.h"
#include "reports/FrameRepGrid.h"
#include "support/ModelTester.h"

#include <QHeaderView>
#include <QMenu>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

namespace {

// Three fields A (string of 10), B (integer, display width 4), C (date-time), two rows.
void FillThreeFields(TRemoteDataSet& ds)
{
    ds.setObjectName(QStringLiteral("cdsResult"));
    ds.AddField(QStringLiteral("A"), TFieldType::String, 10);
    ds.AddField(QStringLiteral("B"), TFieldType::Integer)->SetDisplayWidth(4);
    ds.AddField(QStringLiteral("C"), TFieldType::DateTime)->SetDisplayWidth(6);
    ds.CreateDataSet();
    ds.AppendRecord({QStringLiteral("x"), 1, QVariant()});
    ds.AppendRecord({QStringLiteral("y"), 2, QVariant()});
}

// What the grid shows, as "A:80,C:60": the visible columns' field names and pixel widths.
QString Shown(QTableView* grid)
{
    auto* model = qobject_cast<TDataSetModel*>(grid->model());
    QStringList columns;
    for (int c = 0; c < model->columnCount(); ++c)
        columns << QStringLiteral("%1:%2").arg(model->FieldAt(c)->FieldName()).arg(grid->columnWidth(c));
    return columns.join(QLatin1Char(','));
}

const QString kBase = QStringLiteral("A,8,80;B,4,40;C,6,60");

}  // namespace

class TestReportGrid : public QObject {
    Q_OBJECT

    struct TFixture {
        QWidget Host;
        TFrameReportGrid* Frame;
        QTableView* Grid;
        TRemoteDataSet DataSet;
        TFixture()
        {
            Frame = new TFrameReportGrid(&Host);
            Grid = Frame->findChild<QTableView*>(QStringLiteral("Grid"));
            FillThreeFields(DataSet);
            Frame->SetDataset(&DataSet);
            Host.resize(600, 300);
            Host.show();
        }
    };

private Q_SLOTS:
    void widgetsByName()
    {
        TFixture f;
        QVERIFY(f.Grid);
        QVERIFY(f.Frame->findChild<QMenu*>(QStringLiteral("PopupMenu")));
        QCOMPARE(f.Grid->model(), f.Frame->findChild<TDataSetModel*>(QStringLiteral("DataSource")));
        QCOMPARE(f.Grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(f.Grid->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
        // The frame fills its host.
        QCOMPARE(f.Frame->geometry(), f.Host.rect());
    }

    void loadThenSave_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("shown");

        QTest::newRow("empty text changes nothing") << QString() << kBase << "A:80,B:40,C:60";
        QTest::newRow("full reorder with new widths") << "C,12,90;A,8,70;B,5,45"
                                                      << "C,12,90;A,8,70;B,5,45"
                                                      << "C:90,A:70,B:45";
        QTest::newRow("named fields first, the others keep their order") << "C,6,61"
                                                                         << "C,6,61;A,8,80;B,4,40"
                                                                         << "C:61,A:80,B:40";
        QTest::newRow("-1 hides") << "B,4,-1"
                                  << "B,4,-1;A,8,80;C,6,60"
                                  << "A:80,C:60";
        QTest::newRow("0 hides") << "A,8,0"
                                 << "A,8,-1;B,4,40;C,6,60"
                                 << "B:40,C:60";
        QTest::newRow("unreadable pixels hide") << "A,8,wide"
                                                << "A,8,-1;B,4,40;C,6,60"
                                                << "B:40,C:60";
        QTest::newRow("unreadable display width is kept") << "B,four,45"
                                                          << "B,4,45;A,8,80;C,6,60"
                                                          << "B:45,A:80,C:60";
        QTest::newRow("display width 0 gives the type's width") << "A,0,80"
                                                                << "A,10,80;B,4,40;C,6,60"
                                                                << "A:80,B:40,C:60";
        QTest::newRow("parts with two elements are skipped and not counted") << "B,4;C,6,61"
                                                                             << "C,6,61;A,8,80;B,4,40"
                                                                             << "C:61,A:80,B:40";
        QTest::newRow("unknown fields are skipped and not counted") << "X,3,30;C,6,61"
                                                                    << "C,6,61;A,8,80;B,4,40"
                                                                    << "C:61,A:80,B:40";
        QTest::newRow("names regardless of case") << "c,7,62"
                                                  << "C,7,62;A,8,80;B,4,40"
                                                  << "C:62,A:80,B:40";
        QTest::newRow("a field named twice moves twice and counts both") << "C,6,61;A,8,81;C,6,63"
                                                                         << "A,8,81;B,4,40;C,6,63"
                                                                         << "A:81,B:40,C:63";
        QTest::newRow("extra elements and empty parts") << "B,4,41,extra;;A,8,82;"
                                                        << "B,4,41;A,8,82;C,6,60"
                                                        << "B:41,A:82,C:60";
        QTest::newRow("blanks around numbers") << "B, 5 , 42"
                                               << "B,5,42;A,8,80;C,6,60"
                                               << "B:42,A:80,C:60";
        QTest::newRow("a hidden field shown again with its width") << "B,4,-1;B,4,44"
                                                                   << "A,8,80;B,4,44;C,6,60"
                                                                   << "A:80,B:44,C:60";
    }
    void loadThenSave()
    {
        QFETCH(QString, state);
        QFETCH(QString, saved);
        QFETCH(QString, shown);
        TFixture f;
        TModelTester tester(f.Grid->model());
        f.Frame->LoadLayoutState(kBase);
        QCOMPARE(f.Frame->SaveLayoutState(), kBase);
        f.Frame->LoadLayoutState(state);
        QCOMPARE(f.Frame->SaveLayoutState(), saved);
        QCOMPARE(Shown(f.Grid), shown);
    }

    // The grid resets whenever a field is shown or hidden; widths the user dragged stay.
    void draggedWidthsSurviveResets()
    {
        TFixture f;
        f.Frame->LoadLayoutState(kBase);
        f.Grid->horizontalHeader()->resizeSection(1, 95);  // what a drag does
        f.DataSet.FieldByName(QStringLiteral("A"))->SetVisible(false);
        QCOMPARE(Shown(f.Grid), QStringLiteral("B:95,C:60"));
        f.DataSet.FieldByName(QStringLiteral("A"))->SetVisible(true);
        QCOMPARE(Shown(f.Grid), QStringLiteral("A:80,B:95,C:60"));
        QCOMPARE(f.Frame->SaveLayoutState(), QStringLiteral("A,8,80;B,4,95;C,6,60"));
    }

    // Columns nobody sized are as wide as their display width in the grid's digits, and at
    // least as wide as their heading.
    void defaultWidthsFollowDisplayWidths()
    {
        TFixture f;
        const int digit = f.Grid->fontMetrics().horizontalAdvance(QLatin1Char('0'));
        const int a = f.Grid->columnWidth(0);
        const int c = f.Grid->columnWidth(2);
        QCOMPARE(a, 10 * digit + 4);
        QCOMPARE(c, 6 * digit + 4);
        f.DataSet.FieldByName(QStringLiteral("B"))->SetDisplayLabel(QStringLiteral("A rather long heading"));
        const QFontMetrics titles(f.Grid->horizontalHeader()->font());
        QVERIFY(f.Grid->columnWidth(1) >= titles.horizontalAdvance(QStringLiteral("A rather long heading")));
    }

    void saveWithoutRowsOrDataset()
    {
        TFixture f;
        f.Frame->LoadLayoutState(kBase);
        f.DataSet.Close();
        // Declared fields stay; none is shown in the grid.
        QCOMPARE(f.Frame->SaveLayoutState(), QStringLiteral("A,8,-1;B,4,-1;C,6,-1"));
        f.Frame->SetDataset(nullptr);
        QCOMPARE(f.Frame->SaveLayoutState(), QString());
        f.Frame->LoadLayoutState(QStringLiteral("A,8,80"));  // nothing to apply it to
        QCOMPARE(f.Grid->model()->columnCount(), 0);
    }

    void columnChooser()
    {
        TFixture f;
        f.DataSet.FieldByName(QStringLiteral("B"))->SetTag(1);  // not offered
        f.DataSet.FieldByName(QStringLiteral("C"))->SetVisible(false);
        f.DataSet.FieldByName(QStringLiteral("C"))->SetDisplayLabel(QStringLiteral("C & D"));
        auto* menu = f.Frame->findChild<QMenu*>(QStringLiteral("PopupMenu"));
        auto items = [menu] {
            QStringList out;
            for (QAction* a : menu->actions())
                out << a->iconText() + (a->isChecked() ? QStringLiteral("+") : QStringLiteral("-"));
            return out.join(QLatin1Char(' '));
        };
        Q_EMIT menu->aboutToShow();
        QCOMPARE(items(), QStringLiteral("A+ C & D-"));
        menu->actions().at(1)->trigger();
        QCOMPARE(Shown(f.Grid).section(QLatin1Char(','), 2).section(QLatin1Char(':'), 0, 0),
                 QStringLiteral("C"));
        menu->actions().at(0)->trigger();
        QCOMPARE(f.Grid->model()->columnCount(), 2);
        // Rebuilt when it opens again: the items follow the fields.
        Q_EMIT menu->aboutToShow();
        QCOMPARE(items(), QStringLiteral("A- C & D+"));
    }

    // An item of a menu built before the dataset was reopened still finds its field.
    void chooserItemAfterReopen()
    {
        TRemoteDataSet ds;
        ds.AddField(QStringLiteral("A"), TFieldType::String, 10);
        ds.CreateDataSet();
        QWidget host;
        auto* frame = new TFrameReportGrid(&host);
        frame->SetDataset(&ds);
        auto* menu = frame->findChild<QMenu*>(QStringLiteral("PopupMenu"));
        Q_EMIT menu->aboutToShow();
        ds.Close();
        ds.CreateDataSet();
        menu->actions().at(0)->trigger();
        QVERIFY(!ds.FieldByName(QStringLiteral("A"))->Visible());
    }

    void setDataset()
    {
        TFixture f;
        QSignalSpy resets(f.Grid->model(), &QAbstractItemModel::modelReset);
        f.Frame->SetDataset(&f.DataSet);
        QCOMPARE(resets.count(), 0);
        QCOMPARE(f.Frame->Dataset(), &f.DataSet);

        TRemoteDataSet other;
        other.AddField(QStringLiteral("ONLY"), TFieldType::Integer);
        other.CreateDataSet();
        f.Frame->SetDataset(&other);
        QCOMPARE(resets.count(), 1);
        QCOMPARE(f.Grid->model()->columnCount(), 1);
        QCOMPARE(f.Frame->SaveLayoutState().section(QLatin1Char(','), 0, 0), QStringLiteral("ONLY"));
    }
};

QTEST_MAIN(TestReportGrid)
#include "tst_reportgrid.moc"
