// Outputs of a grouped call report: the comma-separated export read back record by record,
// the PDF read back as text with pdftotext, cancelled and failing writes that leave no
// file, the painted page, the progress dialog and the preview window.

#include "printing/CsvExport.h"
#include "printing/Expression.h"
#include "printing/PagePainter.h"
#include "printing/Paginator.h"
#include "printing/PreviewWindow.h"
#include "printing/ProgressDialog.h"
#include "printing/ReportWriter.h"
#include "support/CsvRecords.h"
#include "support/ReportRows.h"
#include "support/SampleReport.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPdfWriter>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include "support/PdfText.h"

#include <QTest>

namespace {

const QStringList Titles = {QStringLiteral("Calls by extension, \"all\" exchanges"),
                            QStringLiteral("1 May 2024 - 31 May 2024")};

QString TotalsText(int calls, qint64 seconds, double charge)
{
    return QStringLiteral("Totals: %1 calls; %2 s; charge %3")
        .arg(calls)
        .arg(seconds)
        .arg(TExpression::NumberText(charge));
}

// What the report must print as totals: each extension's, each exchange's after its last
// extension, and all rows', in the order they print.
QStringList ExpectedTotals(TRemoteDataSet& calls)
{
    struct TSum {
        int Calls = 0;
        qint64 Seconds = 0;
        double Charge = 0;
        void Add(int seconds, double charge)
        {
            ++Calls;
            Seconds += seconds;
            Charge += charge;
        }
    };
    QStringList totals;
    TSum extension;
    TSum exchange;
    TSum all;
    const TField* pbx = calls.FieldByName("PBX_NAME");
    const TField* code = calls.FieldByName("EXT_CODE");
    const TField* duration = calls.FieldByName("DURATION");
    const TField* charge = calls.FieldByName("RAW_CHARGE");
    for (int row = 0; row < calls.RecordCount(); ++row) {
        const int seconds = calls.ValueAt(row, *duration).toInt();
        const double money = calls.ValueAt(row, *charge).toDouble();
        extension.Add(seconds, money);
        exchange.Add(seconds, money);
        all.Add(seconds, money);
        const bool last = row + 1 == calls.RecordCount();
        const bool newExchange = last || calls.ValueAt(row + 1, *pbx) != calls.ValueAt(row, *pbx);
        if (newExchange || calls.ValueAt(row + 1, *code) != calls.ValueAt(row, *code)) {
            totals << TotalsText(extension.Calls, extension.Seconds, extension.Charge);
            extension = TSum();
        }
        if (newExchange) {
            totals << TotalsText(exchange.Calls, exchange.Seconds, exchange.Charge);
            exchange = TSum();
        }
    }
    totals << TotalsText(all.Calls, all.Seconds, all.Charge);
    return totals;
}

// A progress that records what it is told and stops at a given step.
class TRecordingProgress : public TPrintProgress {
public:
    explicit TRecordingProgress(int stopAt = -1) : stopAt_(stopAt) {}
    void Begin(const QString& activity, int total) override
    {
        Log << QStringLiteral("begin %1 %2").arg(activity).arg(total);
    }
    bool Advance(int done) override
    {
        Steps << done;
        return Steps.size() != stopAt_;
    }
    void End() override { Log << QStringLiteral("end"); }

    QStringList Log;
    QList<int> Steps;

private:
    int stopAt_;
};

// The texts of group headers, group footers and the summary, page by page, as laid out.
QList<QStringList> ExpectedHeadlines(const TReport& report)
{
    QList<QStringList> pages;
    TPaginator paginator(report);
    while (!paginator.AtEnd()) {
        QStringList texts;
        for (const TPlacedBand& band : paginator.NextPage().Bands)
            if (band.Band->Kind() == TBandKind::GroupHeader || band.Band->Kind() == TBandKind::GroupFooter ||
                band.Band->Kind() == TBandKind::Summary)
                texts.append(QStringList(band.Texts.begin(), band.Texts.end()));
        pages << texts;
    }
    return pages;
}

QStringList FilesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace

class TestReportOutput : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void csvFields_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::newRow("plain") << "Reception"
                               << "Reception";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("blanks stay unquoted") << " a b "
                                              << " a b ";
        QTest::newRow("comma") << "Sofia, west"
                               << "\"Sofia, west\"";
        QTest::newRow("quote doubled") << "the \"big\" one"
                                       << "\"the \"\"big\"\" one\"";
        QTest::newRow("line feed") << "a\nb"
                                   << "\"a\nb\"";
        QTest::newRow("carriage return") << "a\rb"
                                         << "\"a\rb\"";
        QTest::newRow("non-latin text as it is") << "Централа"
                                                 << "Централа";
    }
    void csvFields()
    {
        QFETCH(QString, text);
        QFETCH(QString, field);
        QCOMPARE(CsvField(text), field);
    }

    void csvExportReadsBackRowByRow()
    {
        auto calls = SampleCalls(900);
        // A name with a comma and quotes must survive the trip.
        calls->SetRecNo(1);
        calls->Edit();
        calls->FieldByName("EXT_NAME")->SetAsString(QStringLiteral("Reception, \"front\" – Централа"));
        calls->Post();
        auto report = SampleReport(*calls, Titles, false);
        QTemporaryDir dir;
        const QString fileName = dir.filePath("report.csv");
        QVERIFY(WriteCsv(*report, fileName));
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        QVERIFY(bytes.endsWith("\r\n"));
        const QList<QStringList> records = ParseCsv(QString::fromUtf8(bytes.mid(3)));

        QCOMPARE(records.value(0), QStringList({Titles[0]}));
        QCOMPARE(records.value(1), QStringList({Titles[1]}));
        const QStringList captions = {"Name", "Phone", "Duration", "Charge"};
        QCOMPARE(records.value(2), captions);

        const QStringList totals = ExpectedTotals(*calls);
        const QStringList fields = {"EXT_NAME", "PHONE", "DURATION", "RAW_CHARGE"};
        int row = 0;
        int totalsSeen = 0;
        int pages = 0;
        QString exchangeHeader;
        for (qsizetype i = 2; i < records.size(); ++i) {
            const QStringList& record = records[i];
            if (record == captions) {
                ++pages;
                continue;
            }
            QCOMPARE(record.size(),
                     record.first().startsWith("Totals") || record.first().startsWith("Ex") ? 1 : 4);
            if (record.first().startsWith(QLatin1String("Totals: "))) {
                QCOMPARE(record.first(), totals.value(totalsSeen++));
                continue;
            }
            if (record.first().startsWith(QLatin1String("Exchange "))) {
                // The exchange of the row that comes next (first of its group, or one that
                // goes on after a page break).
                QCOMPARE(record.first(),
                         "Exchange " + calls->DisplayTextAt(row, *calls->FieldByName("PBX_NAME")));
                continue;
            }
            if (record.first().startsWith(QLatin1String("Extension "))) {
                QCOMPARE(record.first(),
                         QStringLiteral("Extension %1, \"%2\"")
                             .arg(calls->DisplayTextAt(row, *calls->FieldByName("EXT_CODE")),
                                  calls->DisplayTextAt(row, *calls->FieldByName("EXT_NAME"))));
                continue;
            }
            QStringList expected;
            for (const QString& name : fields)
                expected << calls->DisplayTextAt(row, *calls->FieldByName(name));
            QCOMPARE(record, expected);
            ++row;
        }
        QCOMPARE(row, calls->RecordCount());
        QCOMPARE(totalsSeen, totals.size());
        QCOMPARE(records.last().value(0), totals.last());
        TPaginator paginator(*report);
        QCOMPARE(pages, int(Paginate(paginator).size()));
    }

    void pdfReadsBackPageByPage()
    {
        auto calls = SampleCalls(700);
        auto report = SampleReport(*calls, Titles);
        QTemporaryDir dir;
        const QString fileName = dir.filePath("report.pdf");
        TRecordingProgress progress;
        QVERIFY(WritePdf(*report, fileName, &progress));
        QCOMPARE(progress.Log.first(), QStringLiteral("begin Writing PDF... 700"));
        QCOMPARE(progress.Log.last(), QStringLiteral("end"));
        QCOMPARE(progress.Steps.last(), 700);

        const QStringList pages = PdfPages(fileName);
        const QList<QStringList> headlines = ExpectedHeadlines(*report);
        QVERIFY(pages.size() > 3);
        QCOMPARE(pages.size(), headlines.size());
        for (int page = 0; page < pages.size(); ++page) {
            const QString& text = pages[page];
            for (const QString& title : Titles)
                QCOMPARE(text.contains(title), page == 0);
            const QStringList lines = text.trimmed().split(QLatin1Char('\n'));
            QCOMPARE(lines.last().trimmed(), QStringLiteral("Page %1").arg(page + 1));
            // Headers and totals of the page, in order; none from another page.
            qsizetype at = 0;
            for (const QString& headline : headlines[page]) {
                const qsizetype found = text.indexOf(headline, at);
                QVERIFY2(
                    found >= 0,
                    qPrintable(QStringLiteral("page %1 lacks %2 in\n%3").arg(page + 1).arg(headline, text)));
                at = found + headline.size();
            }
        }
        QVERIFY(pages.last().contains(ExpectedTotals(*calls).last()));
    }

    void pageRangesPrintOnlyTheirPages_data()
    {
        QTest::addColumn<bool>("printer");
        QTest::newRow("any paged device") << false;
        QTest::newRow("a printer printing to a file") << true;
    }
    void pageRangesPrintOnlyTheirPages()
    {
        QFETCH(bool, printer);
        auto calls = SampleCalls(700);
        auto report = SampleReport(*calls, Titles);
        QTemporaryDir dir;
        const QString fileName = dir.filePath("range.pdf");
        if (printer) {
            QPrinter out(QPrinter::HighResolution);
            out.setOutputFormat(QPrinter::PdfFormat);
            out.setOutputFileName(fileName);
            out.setFromTo(2, 3);
            QVERIFY(PrintReport(*report, out));
        } else {
            QPdfWriter writer(fileName);
            QPageRanges ranges;
            ranges.addRange(2, 3);
            QVERIFY(PaintReport(*report, writer, nullptr, ranges));
        }
        const QStringList pages = PdfPages(fileName);
        QCOMPARE(pages.size(), 2);
        QVERIFY(pages[0].contains("Page 2"));
        QVERIFY(pages[1].contains("Page 3"));
        QVERIFY(!pages[0].contains(Titles[1]));
    }

    void cancelledOrFailedWritesLeaveNoFile_data()
    {
        QTest::addColumn<bool>("pdf");
        QTest::addColumn<bool>("existing");
        QTest::newRow("pdf, new file") << true << false;
        QTest::newRow("pdf over an older file") << true << true;
        QTest::newRow("csv, new file") << false << false;
        QTest::newRow("csv over an older file") << false << true;
    }
    void cancelledOrFailedWritesLeaveNoFile()
    {
        QFETCH(bool, pdf);
        QFETCH(bool, existing);
        auto calls = SampleCalls(2000);
        auto report = SampleReport(*calls, Titles);
        QTemporaryDir dir;
        const QString fileName = dir.filePath(pdf ? "out.pdf" : "out.csv");
        if (existing) {
            QFile old(fileName);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("older");
        }
        TRecordingProgress progress(2);
        QVERIFY(!(pdf ? WritePdf(*report, fileName, &progress) : WriteCsv(*report, fileName, &progress)));
        QCOMPARE(progress.Steps.size(), 2);
        QCOMPARE(progress.Log.last(), QStringLiteral("end"));
        QCOMPARE(FilesIn(dir.path()),
                 existing ? QStringList({QFileInfo(fileName).fileName()}) : QStringList());
        if (existing) {
            QFile old(fileName);
            QVERIFY(old.open(QIODevice::ReadOnly));
            QCOMPARE(old.readAll(), QByteArray("older"));
        }

        // A folder that does not exist: the failure names the file.
        const QString nowhere = dir.filePath("no/such/folder/out.pdf");
        try {
            pdf ? WritePdf(*report, nowhere) : WriteCsv(*report, nowhere);
            QFAIL("wrote into a missing folder");
        } catch (const EInOutError& e) {
            QVERIFY2(e.Message().contains(nowhere), qPrintable(e.Message()));
        }
    }

    void emptyReportWritesNoPages()
    {
        auto calls = SampleCalls(0);
        auto report = SampleReport(*calls, Titles);
        QTemporaryDir dir;
        QVERIFY_THROWS_EXCEPTION(EReportError, WritePdf(*report, dir.filePath("empty.pdf")));
        QVERIFY(FilesIn(dir.path()).isEmpty());
        QVERIFY(WriteCsv(*report, dir.filePath("empty.csv")));
        QFile csv(dir.filePath("empty.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll(), QByteArray("\xEF\xBB\xBF"));
    }

    void paintedPageShowsBandsWhereTheyWereLaidOut()
    {
        auto calls = SampleCalls(200);
        auto report = SampleReport(*calls, Titles);
        TPaginator paginator(*report);
        const TPage page = paginator.NextPage();
        const QImage image = RenderPage(paginator, page, 96);
        QCOMPARE(image.size(), QSize(794, 1123));  // A4 at 96 dpi
        const double dotsPerMm = 96 / 25.4;
        const TGroupBand* outer = report->Groups().front().get();
        bool checked = false;
        for (const TPlacedBand& band : page.Bands) {
            if (band.Band != outer)
                continue;
            // Inside the band, right of its text: the band's grey; its top edge: the frame.
            const QPoint inside(qRound(195 * dotsPerMm),
                                qRound((band.Top + band.Band->Height() / 2) * dotsPerMm));
            QCOMPARE(image.pixelColor(inside), QColor(221, 221, 221));
            const int edge = qRound(band.Top * dotsPerMm);
            int darkest = 255;
            for (int y = edge - 1; y <= edge + 1; ++y)
                darkest = std::min(darkest, qGray(image.pixel(inside.x(), y)));
            QVERIFY2(darkest < 160, qPrintable(QString::number(darkest)));
            checked = true;
        }
        QVERIFY(checked);
        // Margins stay white.
        QCOMPARE(image.pixelColor(5, 5), QColor(Qt::white));
    }

    void longTextsEndInDotsUnlessAutoSized_data()
    {
        QTest::addColumn<bool>("autoSize");
        QTest::addColumn<bool>("inkBeyondTheBox");
        QTest::newRow("cut at its box") << false << false;
        QTest::newRow("automatic size") << true << true;
    }
    void longTextsEndInDotsUnlessAutoSized()
    {
        QFETCH(bool, autoSize);
        QFETCH(bool, inkBeyondTheBox);
        TReport report(std::make_unique<TTableRows>(
            QStringList{"NAME"}, std::vector<QVariantList>{{QString(40, QLatin1Char('W'))}}));
        TBand* detail = report.AddBand(TBandKind::Detail);
        detail->SetHeight(6);
        auto* name = detail->Add<TFieldElement>(QStringLiteral("NAME"));
        name->SetGeometry(0, 0, 30);
        name->SetAutoSize(autoSize);
        TPaginator paginator(report);
        const TPage page = paginator.NextPage();
        const QImage image = RenderPage(paginator, page, 96);
        const double dotsPerMm = 96 / 25.4;
        const int y = qRound(13 * dotsPerMm);  // the middle of the row (10 mm margin + 3)
        const auto inkBetween = [&](double fromMm, double toMm) {
            for (int x = qRound(fromMm * dotsPerMm); x < qRound(toMm * dotsPerMm); ++x)
                for (int dy = -3; dy <= 3; ++dy)
                    if (qGray(image.pixel(x, y + dy)) < 128)
                        return true;
            return false;
        };
        QVERIFY(inkBetween(10, 40));
        QCOMPARE(inkBetween(41, 80), inkBeyondTheBox);
    }

    void progressDialogAppearsAndCancels()
    {
        QWidget window;
        QStringList status;
        TPrintProgressDialog progress(
            &window, [&status](const QString& text) { status << "add " + text; },
            [&status] { status << "clear"; });
        progress.SetDelay(0);
        progress.Begin(QStringLiteral("Writing PDF..."), 100);
        QCOMPARE(status, QStringList({"add Writing PDF..."}));
        QVERIFY(progress.Advance(10));
        auto* dialog = window.findChild<QProgressDialog*>(QStringLiteral("dlgPrintProgress"));
        QVERIFY(dialog);
        QCOMPARE(dialog->labelText(), QStringLiteral("Writing PDF..."));
        QCOMPARE(dialog->value(), 10);
        dialog->cancel();
        QVERIFY(!progress.Advance(20));
        progress.End();
        QCOMPARE(status, QStringList({"add Writing PDF...", "clear"}));
        QVERIFY(!window.findChild<QProgressDialog*>(QStringLiteral("dlgPrintProgress")));

        // Short work shows no dialog.
        progress.SetDelay(60000);
        progress.Begin(QStringLiteral("Printing..."), 5);
        QVERIFY(progress.Advance(5));
        QVERIFY(!window.findChild<QProgressDialog*>(QStringLiteral("dlgPrintProgress")));
        progress.End();
    }

    void previewNavigatesTheLaidOutPages()
    {
        auto calls = SampleCalls(3000);
        auto report = SampleReport(*calls, Titles);
        TRecordingProgress progress;
        TPreviewWindow preview(*report, &progress);
        QSignalSpy finished(&preview, &TPreviewWindow::LayoutFinished);
        preview.show();
        QCOMPARE(preview.CurrentPage(), 0);
        auto* label = preview.findChild<QLabel*>(QStringLiteral("lblPage"));
        const auto action = [&preview](const char* name) {
            return preview.findChild<QAction*>(QLatin1String(name));
        };
        QVERIFY(!action("actPriorPage")->isEnabled());
        if (!preview.LayoutComplete()) {
            QVERIFY(label->text().endsWith(QLatin1Char('+')));
            QVERIFY(finished.wait(20000));
        }
        QVERIFY(preview.LayoutComplete());
        const int count = preview.PageCount();
        TPaginator paginator(*report);
        QCOMPARE(count, int(Paginate(paginator).size()));
        QCOMPARE(label->text(), QStringLiteral("Page 1 of %1").arg(count));
        QCOMPARE(progress.Log.first(), QStringLiteral("begin Laying out pages... 3000"));
        QCOMPARE(progress.Log.last(), QStringLiteral("end"));

        action("actNextPage")->trigger();
        QCOMPARE(label->text(), QStringLiteral("Page 2 of %1").arg(count));
        action("actLastPage")->trigger();
        QCOMPARE(preview.CurrentPage(), count - 1);
        QVERIFY(!action("actNextPage")->isEnabled());
        action("actPriorPage")->trigger();
        QCOMPARE(preview.CurrentPage(), count - 2);
        action("actFirstPage")->trigger();
        QCOMPARE(label->text(), QStringLiteral("Page 1 of %1").arg(count));

        preview.SetZoom(1.0);
        action("actZoomIn")->trigger();
        QCOMPARE(preview.Zoom(), 1.25);
        action("actZoomOut")->trigger();
        action("actZoomOut")->trigger();
        QCOMPARE(preview.Zoom(), 0.75);

        QTemporaryDir dir;
        QVERIFY(preview.SaveAsPdf(dir.filePath("preview.pdf")));
        QCOMPARE(PdfPages(dir.filePath("preview.pdf")).size(), count);
    }

    void previewLayoutStopsWhenCancelled()
    {
        auto calls = SampleCalls(20000);
        auto report = SampleReport(*calls, Titles);
        TRecordingProgress progress(1);
        TPreviewWindow preview(*report, &progress);
        // Slices short enough that the first one never finishes, however fast the machine.
        preview.SetLayoutSliceMs(1);
        QSignalSpy finished(&preview, &TPreviewWindow::LayoutFinished);
        QVERIFY(!preview.LayoutComplete());
        QVERIFY(finished.wait(20000));
        QCOMPARE(progress.Steps.size(), 1);
        QCOMPARE(progress.Log.last(), QStringLiteral("end"));
        const int laidOut = finished.first().first().toInt();
        QVERIFY(!preview.LayoutComplete());
        auto* label = preview.findChild<QLabel*>(QStringLiteral("lblPage"));
        QCOMPARE(label->text(), QStringLiteral("Page 1 of %1+").arg(laidOut));
        // Pages past the stop are still laid out when asked for.
        preview.ShowPage(laidOut + 2);
        QCOMPARE(preview.CurrentPage(), laidOut + 2);
        QVERIFY(preview.PageCount() >= laidOut + 3);
    }

    void previewOfAnEmptyReportOffersNothingToPrint()
    {
        auto calls = SampleCalls(0);
        auto report = SampleReport(*calls, Titles);
        TPreviewWindow preview(*report, nullptr);
        QVERIFY(preview.LayoutComplete());
        QCOMPARE(preview.PageCount(), 0);
        QCOMPARE(preview.CurrentPage(), -1);
        QCOMPARE(preview.findChild<QLabel*>(QStringLiteral("lblPage"))->text(), QStringLiteral("No pages"));
        QVERIFY(!preview.findChild<QAction*>(QStringLiteral("actPrint"))->isEnabled());
        QVERIFY(!preview.findChild<QAction*>(QStringLiteral("actSaveAsPdf"))->isEnabled());
    }
};

QTEST_MAIN(TestReportOutput)
#include "tst_report_output.moc"
