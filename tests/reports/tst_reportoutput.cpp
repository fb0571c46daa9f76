// The report grid's outputs through the engine: the preview (every row fetched under its
// running activity, the layout it shows, display updates held while it is open, a failure
// logged and nothing left behind) and the comma-separated layout export read back record by
// record (the title once, no page numbers, texts never cut, the grid as it was; a file that
// cannot be written raises after the grid is restored).

#include "core/Errors.h"
#include "printing/PreviewWindow.h"
#include "printing/Report.h"
#include "remote/RemoteDataSet.h"
#include "reports/FrameRepGrid.h"
#include "support/CsvRecords.h"
#include "support/LogCapture.h"
#include "support/StatusRecorder.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

const QString kLongPhone = QStringLiteral("0049 30 1234567, ask for \"Anna\" at the front desk");

// 120 calls of four extensions: EXT_CODE, PHONE, DURATION; one phone far longer than its
// column, with a comma and quotes.
void FillCalls(TRemoteDataSet& ds)
{
    ds.setObjectName(QStringLiteral("cdsResult"));
    ds.AddField(QStringLiteral("EXT_CODE"), TFieldType::String, 8)
        ->SetDisplayLabel(QStringLiteral("Extension"));
    ds.AddField(QStringLiteral("PHONE"), TFieldType::String, 80)->SetDisplayWidth(16);
    ds.AddField(QStringLiteral("DURATION"), TFieldType::Integer)->SetDisplayWidth(8);
    ds.CreateDataSet();
    for (int i = 0; i < 120; ++i)
        ds.AppendRecord({QString::number(101 + i / 30),
                         i == 7 ? kLongPhone : QStringLiteral("0888%1").arg(i, 6, 10, QLatin1Char('0')),
                         i * 7});
}

// Runs the function on the preview window once it is open, then closes it; whether one
// opened.
class TPreviewWatcher : public QObject {
public:
    explicit TPreviewWatcher(std::function<void(TPreviewWindow&)> onOpen) : onOpen_(std::move(onOpen))
    {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* preview = qobject_cast<TPreviewWindow*>(w); preview && preview->isVisible()) {
                    timer_.stop();
                    Opened = true;
                    if (onOpen_)
                        onOpen_(*preview);
                    preview->reject();
                }
        });
        timer_.start();
    }
    bool Opened = false;

private:
    std::function<void(TPreviewWindow&)> onOpen_;
    QTimer timer_;
};

}  // namespace

class TestReportOutput : public QObject {
    Q_OBJECT

    struct TFixture {
        QWidget Host;
        TStatusRecorder Services;
        TFrameReportGrid* Frame;
        TRemoteDataSet DataSet;
        TFixture()
        {
            Frame = new TFrameReportGrid(&Host, &Services);
            FillCalls(DataSet);
            Frame->SetDataset(&DataSet);
        }
        TField* Field(const char* name) { return DataSet.FieldByName(QLatin1String(name)); }
    };

    std::unique_ptr<TLogCapture> logs_;

private Q_SLOTS:
    void init() { logs_ = std::make_unique<TLogCapture>(); }
    void cleanup() { logs_.reset(); }

    void previewShowsTheLayout()
    {
        TFixture f;
        f.DataSet.SetCurrentRow(5);
        int pages = 0;
        bool held = false;
        QString hidden;
        TPreviewWatcher watcher([&](TPreviewWindow& preview) {
            preview.FinishLayout();
            pages = preview.PageCount();
            held = f.DataSet.ControlsDisabled();
            hidden = f.Field("EXT_CODE")->Visible() ? QStringLiteral("shown") : QStringLiteral("hidden");
        });
        f.Frame->Preview({QStringLiteral("Calls"), QStringLiteral("Interval: March")}, {f.Field("EXT_CODE")},
                         false, true, QFont(QStringLiteral("DejaVu Sans"), 9));
        QVERIFY(watcher.Opened);
        QVERIFY2(pages >= 3, qPrintable(QString::number(pages)));
        QVERIFY(held);
        QCOMPARE(hidden, QStringLiteral("shown"));
        QVERIFY(!f.DataSet.ControlsDisabled());
        QCOMPARE(f.DataSet.CurrentRow(), 0);
        QCOMPARE(f.Services.History.mid(0, 2), (QStringList{"+Loading all data...", "-Loading all data..."}));
        QCOMPARE(f.Services.Running(), QStringList());
        // What it showed: the options given, texts cut to their columns.
        const TReport* report = f.Frame->Report();
        QVERIFY(report->Band(TBandKind::PageHeader));
        QVERIFY(report->Band(TBandKind::PageFooter));
        QCOMPARE(FontPointSize(report->Font()), 9.0);
        auto* cell =
            dynamic_cast<const TTextElement*>(report->Band(TBandKind::Detail)->Elements().front().get());
        QVERIFY(!cell->AutoSize());
        QVERIFY(logs_->Entries(QStringLiteral("reports")).isEmpty());
    }

    // A layout that cannot be built: logged, no window, the grid and the status as before.
    void previewFailureIsLogged()
    {
        TFixture f;
        f.Frame->SetBuilders({}, [](TDynamicGroup& header, const TField*, bool autoSize) {
            double x = 0;
            header.Add<TDynamicExpr>(header, autoSize, TPrintHandler(), 12, x,
                                     QStringLiteral("SUM(DURATION"));
        });
        TPreviewWatcher watcher({});
        f.Frame->Preview({QStringLiteral("Calls")}, {f.Field("EXT_CODE")}, true, false, std::nullopt);
        QVERIFY(!watcher.Opened);
        const QStringList entries = logs_->Entries(QStringLiteral("reports"));
        QCOMPARE(entries.value(0), QStringLiteral("4: TFrameReportGrid: Error building preview."));
        QVERIFY2(entries.value(1).startsWith(QStringLiteral("3: ")) &&
                     entries.value(1).contains(QStringLiteral("SUM(DURATION")),
                 qPrintable(entries.join(QLatin1Char('\n'))));
        QVERIFY(logs_->LiveLog.join(QLatin1Char('\n'))
                    .contains(QStringLiteral("TFrameReportGrid: Error building preview.")));
        QVERIFY(f.Field("EXT_CODE")->Visible());
        QVERIFY(!f.DataSet.ControlsDisabled());
        QCOMPARE(f.Services.Running(), QStringList());
        QVERIFY(!f.Frame->Report());
    }

    // Without a dataset the preview has nothing to show: no pages, no failure.
    void previewWithoutDataset()
    {
        QWidget host;
        TStatusRecorder services;
        auto* frame = new TFrameReportGrid(&host, &services);
        TPreviewWatcher watcher([](TPreviewWindow& preview) {
            preview.FinishLayout();
            QCOMPARE(preview.PageCount(), 0);
        });
        frame->Preview({QStringLiteral("Calls")}, {}, true, true, std::nullopt);
        QVERIFY(logs_->Entries(QStringLiteral("reports")).isEmpty());
        QCOMPARE(services.Running(), QStringList());
    }

    void exportLayout_data()
    {
        QTest::addColumn<bool>("grouped");
        QTest::newRow("one grouping level") << true;
        QTest::newRow("no grouping") << false;
    }
    void exportLayout()
    {
        QFETCH(bool, grouped);
        TFixture f;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("report.txt"));
        const QList<TField*> groups = grouped ? QList<TField*>{f.Field("EXT_CODE")} : QList<TField*>{};
        QVERIFY(f.Frame->ExportLayout(path, {QStringLiteral("Calls, all"), QStringLiteral("Interval: March")},
                                      groups));
        const QList<QStringList> records = ReadCsvFile(path);
        QVERIFY(!records.isEmpty());

        // The title once, at the top, whatever the pages.
        QCOMPARE(records.at(0), QStringList{"Calls, all"});
        QCOMPARE(records.at(1), QStringList{"Interval: March"});
        QCOMPARE(records.count(QStringList{"Calls, all"}), 1);
        const QStringList header =
            grouped ? QStringList{"PHONE", "DURATION"} : QStringList{"Extension", "PHONE", "DURATION"};
        const qsizetype pages = records.count(header);
        QVERIFY2(pages >= 3, qPrintable(QString::number(pages)));
        // No page numbers: every record is a title, a column header or a row.
        QList<QStringList> rows;
        for (int i = 2; i < records.size(); ++i)
            if (records.at(i) != header)
                rows << records.at(i);
        QCOMPARE(rows.size(), f.DataSet.RecordCount());
        for (int r = 0; r < rows.size(); ++r) {
            QStringList expected;
            for (TField* field : f.DataSet.Fields())
                if (field->Visible() && !(grouped && field->FieldName() == QLatin1String("EXT_CODE")))
                    expected << f.DataSet.DisplayTextAt(r, *field);
            QCOMPARE(rows.at(r), expected);
        }
        QVERIFY(rows.at(7).contains(kLongPhone));
        QVERIFY(f.Field("EXT_CODE")->Visible());
        QVERIFY(!f.DataSet.ControlsDisabled());
        QCOMPARE(f.Services.Running(), QStringList());
        QVERIFY(!f.Frame->Report()->Band(TBandKind::PageFooter));
        QVERIFY(f.Frame->Report()->Band(TBandKind::Title));
    }

    void exportFailureRaisesAfterRestoring()
    {
        TFixture f;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("missing/report.txt"));
        QVERIFY_THROWS_EXCEPTION(
            EInOutError, f.Frame->ExportLayout(path, {QStringLiteral("Calls")}, {f.Field("EXT_CODE")}));
        QVERIFY(!QFile::exists(path));
        QVERIFY(f.Field("EXT_CODE")->Visible());
        QVERIFY(!f.DataSet.ControlsDisabled());
        QCOMPARE(f.Services.Running(), QStringList());
    }
};

QTEST_MAIN(TestReportOutput)
#include "tst_reportoutput.moc"
