// The call report window against a demo server through the client's own connection: a
// grouped run's rows and every totals line against the same statement on the database
// file, the special report on hand-made overlapping calls, saved configurations and the
// grid layout they bring, the tree's pages by access level, and what the window refuses or
// leaves alone while it is busy, empty or cancelled; the tab-separated export and the PDF of
// the preview read back.

#include "calls/DMReport.h"
#include "core/DateTime.h"
#include "core/RegionalSettings.h"
#include "printing/PreviewWindow.h"
#include "reportconfig/FrameDateTime.h"
#include "reportconfig/FrameFilterSummary.h"
#include "reportconfig/FrameOverlapSetup.h"
#include "reportconfig/FrameReportBase.h"
#include "reportconfig/FrameReportList.h"
#include "reportconfig/FrameSetup.h"
#include "reportconfig/FrameSimpleMode.h"
#include "reports/ChildCallsInfo.h"
#include "reports/FrameCallsRepGrid.h"
#include "support/DirectSql.h"
#include "support/FindChild.h"
#include "support/PdfText.h"
#include "support/ShellFixture.h"
#include "support/StatusRecorder.h"
#include "support/TotalsLines.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>

namespace {

const QDate kLastDay(2024, 3, 31);

// The recorded services with somewhere to put the window.
class TServices : public TStatusRecorder {
public:
    QMdiArea* MdiArea() const override { return &area_; }

private:
    mutable QMdiArea area_;
};

// The archive page as the archives bring it: a page that keeps nothing.
class TArchivePageStandIn : public TReportBaseFrame {
public:
    explicit TArchivePageStandIn(QWidget* owner) : TReportBaseFrame(owner) {}
    QString SaveState() const override { return QStringLiteral("archive"); }
    void LoadState(const QString& state) override { Loaded = state; }
    QString Loaded = QStringLiteral("(never)");
};

TArchivePageStandIn* LastArchivePage = nullptr;

TArchivePage MakeArchivePage(QWidget* panel, const QList<TReportFilterFrame*>&, TRemoteConnection&)
{
    TArchivePage page;
    page.Page = LastArchivePage = new TArchivePageStandIn(panel);
    page.CreateAction = new QAction(QStringLiteral("Create archive..."), panel);
    page.CreateAction->setObjectName(QStringLiteral("aCreateArchive"));
    return page;
}

QString Day(const QDate& date)
{
    return date.toString(Qt::ISODate);
}

// Runs the function on the next modal widget the window shows, then closes it.
void OnNextModal(std::function<void(QWidget*)> fn)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, fn] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        timer->stop();
        timer->deleteLater();
        fn(modal);
    });
    timer->start();
}

}  // namespace

class TestCallsInfo : public QObject {
    Q_OBJECT

    std::unique_ptr<TShellFixture> f_;
    std::unique_ptr<TServices> services_;
    QPointer<TChildFormCallsInfo> w_;

    QString Db() const { return f_->Server.DatabasePath(); }

    // A fresh window on the settings as they stand, without a run at opening, the filters
    // in advanced mode (simple mode would set the interval from its own page).
    TChildFormCallsInfo* Open(bool withArchive = false)
    {
        Close();
        SettingsFile().WriteInteger(QStringLiteral("Report"), QStringLiteral("auto_refresh"), 0);
        SettingsFile().WriteString(QStringLiteral("Report"), QStringLiteral("control_panels_13"),
                                   QStringLiteral("False"));
        w_ = new TChildFormCallsInfo(
            services_.get(), nullptr, ClientMainDM()->sktServer, ClientMainDM()->scReport,
            withArchive ? TArchivePageFactory(MakeArchivePage) : TArchivePageFactory());
        return w_;
    }
    void Close()
    {
        if (w_) {
            w_->close();
            delete w_;
        }
    }
    void SetDays(const QDate& from, const QDate& to)
    {
        w_->Pages().Filters.Interval->SetPeriod(DateTimeFromQDate(from), DateTimeFromQDate(to));
    }
    void Run()
    {
        w_->actApply->trigger();
        w_->UpdateActions();
    }
    // Export as the user does it: the kind (0 plain, 1 paged) chosen, the name typed in the
    // dialog's name box, then Save or Cancel.
    void Export(const QString& file, int kind, bool save)
    {
        bool asked = false;
        OnNextModal([=, &asked](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            asked = dialog != nullptr;
            if (!dialog) {
                modal->close();
                return;
            }
            dialog->selectNameFilter(dialog->nameFilters().at(kind));
            FindChild<QLineEdit>(dialog, "fileNameEdit")->setText(file);
            if (save)
                static_cast<QDialog*>(dialog)->accept();
            else
                dialog->reject();
        });
        w_->actExportTXT->trigger();
        QVERIFY(asked);
    }
    TRemoteDataSet& Result() const { return w_->ReportDM().cdsResult; }

private Q_SLOTS:
    void initTestCase()
    {
        f_ = std::make_unique<TShellFixture>();
        QString error;
        QVERIFY2(f_->Server.StartDemo(kLastDay, &error), qPrintable(error));
        SettingsFile().WriteInteger(QStringLiteral("Server"), QStringLiteral("port"), f_->Server.Port());
        f_->Connect();
        QVERIFY(f_->Connected());
        QVERIFY(LogIn(ClientMainDM()->MainRDM, true));
        TAccess::SetLevel(TAccess::Admin);
        services_ = std::make_unique<TServices>();
    }
    void cleanup()
    {
        Close();
        TAccess::SetLevel(TAccess::Admin);
        f_->Answerer.SetAnswers({});
    }
    void cleanupTestCase()
    {
        Close();
        services_.reset();
        f_.reset();
    }

    // ---- a grouped report -----------------------------------------------------------------------

    void groupedRunMatchesTheDatabase()
    {
        Open();
        w_->Pages().Setup->LoadState(
            QStringLiteral("EXT_CODE,PBX_NAME,TOTAL_COUNT,TOTAL_DURATION;;PBX_NAME,EXT_CODE"));
        SetDays(QDate(2024, 3, 1), QDate(2024, 3, 8));
        Run();
        QVERIFY(!w_->Busy());
        QVERIFY(services_->Running().isEmpty());

        const QString grouped = QStringLiteral(
            "select x.NAME as PBX_NAME, c.EXT_CODE, count(c.ID) as TOTAL_COUNT, sum(c.DURATION) as "
            "TOTAL_DURATION "
            "from CALL c inner join PBX x on c.PBX_ID = x.ID "
            "where c.REC_DATETIME >= '2024-03-01' and c.REC_DATETIME <= '2024-03-08' "
            "group by x.NAME, c.EXT_CODE order by x.NAME, c.EXT_CODE");
        const TDirect direct = RunDirect(Db(), grouped);
        QVERIFY2(direct.Error.isEmpty(), qPrintable(direct.Error));
        QVERIFY(direct.Rows.size() > 10);
        TRemoteDataSet& result = Result();
        QCOMPARE(result.RecordCount(), direct.Rows.size());
        result.First();
        for (const QVariantList& row : direct.Rows) {
            QCOMPARE(result.FieldByName(QStringLiteral("PBX_NAME"))->AsString(), row.at(0).toString());
            QCOMPARE(result.FieldByName(QStringLiteral("EXT_CODE"))->AsString(), row.at(1).toString());
            QCOMPARE(result.FieldByName(QStringLiteral("TOTAL_COUNT"))->Value().toLongLong(),
                     row.at(2).toLongLong());
            QCOMPARE(result.FieldByName(QStringLiteral("TOTAL_DURATION"))->Value().toLongLong(),
                     row.at(3).toLongLong());
            result.Next();
        }

        // The preview lays out both levels; its PDF is what the user saves.
        QVERIFY(w_->actPrintPreview->isEnabled());
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        bool saved = false;
        OnNextModal([&](QWidget* modal) {
            auto* preview = qobject_cast<TPreviewWindow*>(modal);
            saved = preview && preview->SaveAsPdf(pdf);
            modal->close();
        });
        w_->actPrintPreview->trigger();
        QVERIFY(saved);
        QVERIFY(services_->Running().isEmpty());

        const TPrintedTotals printed = PrintedTotals(*w_->Grid()->Report());
        QCOMPARE(printed.Levels.size(), 2);
        const QString sums = QStringLiteral("count(*), sum(TOTAL_COUNT), sum(TOTAL_DURATION)");
        const struct {
            QString GroupBy;
        } levels[] = {{QStringLiteral("PBX_NAME")}, {QStringLiteral("PBX_NAME, EXT_CODE")}};
        for (int level = 0; level < 2; ++level) {
            const TDirect totals =
                RunDirect(Db(), QStringLiteral("select %1 from (%2) group by %3 order by %3")
                                    .arg(sums, grouped, levels[level].GroupBy));
            QVERIFY2(totals.Error.isEmpty(), qPrintable(totals.Error));
            QCOMPARE(printed.Levels.at(level).size(), totals.Rows.size());
            for (int i = 0; i < totals.Rows.size(); ++i) {
                const QVariantList& t = totals.Rows.at(i);
                QCOMPARE(printed.Levels.at(level).at(i),
                         ExpectedTotals(t.at(0), t.at(1), t.at(2), {}, {}, {}));
            }
        }
        const TDirect all = RunDirect(Db(), QStringLiteral("select %1 from (%2)").arg(sums, grouped));
        const QVariantList& a = all.Rows.at(0);
        const QString summary = ExpectedTotals(a.at(0), a.at(1), a.at(2), {}, {}, {});
        QCOMPARE(printed.Summary, summary);

        // The PDF carries the interval's title line, the group totals and the summary.
        const QString text = PdfPages(pdf).join(QLatin1Char('\n'));
        QVERIFY(text.contains(QStringLiteral("Received time")));
        QVERIFY2(text.contains(summary.trimmed()), qPrintable(summary));
        QVERIFY(text.contains(printed.Levels.at(0).at(0).trimmed()));
    }

    void tabSeparatedExport()
    {
        Open();
        w_->Pages().Setup->LoadState(QStringLiteral("REC_DATETIME,EXT_CODE,PHONE;REC_DATETIME;"));
        SetDays(QDate(2024, 3, 4), QDate(2024, 3, 5));
        Run();
        const TDirect direct = RunDirect(Db(), QStringLiteral("select c.EXT_CODE, c.PHONE from CALL c "
                                                              "where c.REC_DATETIME >= '2024-03-04' and "
                                                              "c.REC_DATETIME <= '2024-03-05' "
                                                              "order by c.REC_DATETIME, c.ID"));
        QVERIFY(direct.Rows.size() > 5);
        QCOMPARE(Result().RecordCount(), direct.Rows.size());

        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("calls.txt"));
        Export(file, 0, true);
        QVERIFY(services_->Running().isEmpty());
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromUtf8(in.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        const QStringList titles = w_->TitleLines();
        QVERIFY(!titles.isEmpty());
        QCOMPARE(lines.mid(0, titles.size()), titles);
        // The rows follow their header line, column by column.
        const QStringList rows = lines.mid(lines.size() - direct.Rows.size());
        for (int i = 0; i < direct.Rows.size(); ++i) {
            const QStringList cells = rows.at(i).split(QLatin1Char('\t'));
            QCOMPARE(cells.size(), 3);
            QCOMPARE(cells.at(1), direct.Rows.at(i).at(0).toString());
            QCOMPARE(cells.at(2), direct.Rows.at(i).at(1).toString());
        }
    }

    // The paged kind: the grid's layout with the grouping levels, title lines first.
    void pagedExport()
    {
        Open();
        w_->Pages().Setup->LoadState(QStringLiteral("EXT_CODE,PBX_NAME,TOTAL_COUNT;;PBX_NAME"));
        SetDays(QDate(2024, 3, 1), QDate(2024, 3, 8));
        Run();
        QVERIFY(Result().RecordCount() > 0);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("paged.txt"));
        Export(file, 1, true);
        QVERIFY(services_->Running().isEmpty());
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(in.readAll());
        QVERIFY(!text.contains(QLatin1Char('\t')));
        for (const QString& title : w_->TitleLines())
            QVERIFY2(text.contains(title), qPrintable(title));
        // One totals line per exchange, and the summary's.
        const TDirect exchanges =
            RunDirect(Db(), QStringLiteral("select count(distinct c.PBX_ID) from CALL c where "
                                           "c.REC_DATETIME >= '2024-03-01' and "
                                           "c.REC_DATETIME <= '2024-03-08'"));
        QCOMPARE(text.count(QStringLiteral("Totals: ")), exchanges.Rows.at(0).at(0).toInt() + 1);
    }

    void emptyResultAndCancelledExport()
    {
        Open();
        w_->Pages().Setup->LoadState(QStringLiteral("REC_DATETIME,EXT_CODE;;"));
        SetDays(QDate(2030, 1, 1), QDate(2030, 1, 2));
        Run();
        QVERIFY(Result().Active());
        QCOMPARE(Result().RecordCount(), 0);
        QVERIFY(!w_->actPrintPreview->isEnabled());
        QVERIFY(!w_->actExportTXT->isEnabled());

        SetDays(QDate(2024, 3, 4), QDate(2024, 3, 5));
        Run();
        QVERIFY(w_->actExportTXT->isEnabled());
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("never.txt"));
        services_->History.clear();
        Export(file, 0, false);
        QVERIFY(!QFile::exists(file));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
        QVERIFY(services_->Running().isEmpty());
        QVERIFY(!w_->Busy());
    }

    // ---- busy ---------------------------------------------------------------------------------

    void enterAndClosingWhileBusy()
    {
        Open();
        w_->Pages().Setup->LoadState(QStringLiteral("REC_DATETIME,EXT_CODE;;"));
        SetDays(QDate(2024, 3, 4), QDate(2024, 3, 5));
        services_->History.clear();
        bool busyMeanwhile = false;
        bool closedMeanwhile = true;
        QTimer::singleShot(0, w_, [&] {
            busyMeanwhile = w_->Busy();
            w_->actApply->trigger();
            closedMeanwhile = w_->close();
        });
        Run();
        QVERIFY(busyMeanwhile);
        QVERIFY(!closedMeanwhile);
        QVERIFY(w_);
        QCOMPARE(services_->History.count(QStringLiteral("+Preparing query...")), 1);
        QVERIFY(services_->Running().isEmpty());
        QVERIFY(!w_->Busy());
    }

    void failedRunEndsClean()
    {
        Open();
        // The call table gone for a moment: the server refuses the statement.
        w_->Pages().Setup->LoadState(QStringLiteral("REC_DATETIME,EXT_CODE;;"));
        SetDays(QDate(2024, 3, 4), QDate(2024, 3, 5));
        QVERIFY(ExecDirect(Db(), QStringLiteral("alter table CALL rename to CALL_AWAY")).isEmpty());
        bool raised = false;
        try {
            w_->actApply->trigger();
        } catch (const std::exception&) {
            raised = true;
        }
        QVERIFY(ExecDirect(Db(), QStringLiteral("alter table CALL_AWAY rename to CALL")).isEmpty());
        QVERIFY(raised);
        QVERIFY(!w_->Busy());
        QVERIFY(services_->Running().isEmpty());
        // The window runs again.
        Run();
        QVERIFY(Result().RecordCount() > 0);
    }

    // ---- the special report -------------------------------------------------------------------

    void specialReport_data()
    {
        QTest::addColumn<QString>("secondStart");
        QTest::addColumn<QString>("secondExtension");
        QTest::addColumn<int>("different");  // 1 extension, 3 none ("-")
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("rows");
        // The first call runs from 10:00:00 to 10:05:00 on extension 101.
        QTest::newRow("touching, other extension") << "10:05:00"
                                                   << "102" << 1 << 0 << 3;
        QTest::newRow("touching, a minute asked") << "10:05:00"
                                                  << "102" << 1 << 60 << 0;
        QTest::newRow("a minute apart, -60") << "10:06:00"
                                             << "102" << 1 << -60 << 3;
        QTest::newRow("past a minute apart, -60") << "10:06:01"
                                                  << "102" << 1 << -60 << 0;
        QTest::newRow("same extension, compared") << "10:04:00"
                                                  << "101" << 1 << 0 << 0;
        QTest::newRow("same extension, not compared") << "10:04:00"
                                                      << "101" << 3 << 0 << 3;
    }
    void specialReport()
    {
        QFETCH(QString, secondStart);
        QFETCH(QString, secondExtension);
        QFETCH(int, different);
        QFETCH(int, minimum);
        QFETCH(int, rows);
        // A day after the demo data, with only these two calls.
        const QDate day = kLastDay.addDays(10);
        const QString d = Day(day);
        QVERIFY(ExecDirect(Db(), QStringLiteral("delete from CALL where REC_DATETIME >= '%1'")
                                     .arg(Day(kLastDay.addDays(1))))
                    .isEmpty());
        const QString insert = QStringLiteral(
            "insert into CALL (REC_DATETIME, START_DATETIME, END_DATETIME, DURATION, PBX_ID, EXT_CODE, "
            "PIN_CODE) "
            "values ('%1 10:05:00', '%1 10:00:00', '%1 10:05:00', 300, 1, '101', '7777'), "
            "('%1 %2', '%1 %2', '%1 10:20:00', 60, 1, '%3', '7777')");
        QVERIFY(ExecDirect(Db(), insert.arg(d, secondStart, secondExtension)).isEmpty());

        Open();
        // The setup selects none of the columns the overlaps are found on.
        w_->Pages().Setup->LoadState(QStringLiteral("PHONE;;"));
        w_->Pages().Overlap->LoadState(QStringLiteral("True,0,%1,False,%2").arg(different).arg(minimum));
        SetDays(day, day.addDays(1));
        Run();
        QVERIFY(!w_->Busy());
        for (const char* name : {"END_DATETIME", "START_DATETIME", "PIN_CODE", "PHONE"})
            QVERIFY2(Result().FindField(QLatin1String(name)), name);
        QCOMPARE(bool(Result().FindField(QStringLiteral("EXT_CODE"))), different == 1);
        QCOMPARE(Result().RecordCount(), 2);
        QCOMPARE(w_->Grid()->Dataset(), &w_->ReportDM().cdsSpecial);
        TRemoteDataSet& special = w_->ReportDM().cdsSpecial;
        QCOMPARE(special.RecordCount(), rows);
        if (rows) {
            special.First();
            QCOMPARE(special.FieldByName(QStringLiteral("PIN_CODE"))->AsString(), QStringLiteral("7777"));
            special.Last();
            QVERIFY(special.FieldByName(QStringLiteral("PIN_CODE"))->Value().isNull());
        }
        // Off again: the plain result.
        w_->Pages().Overlap->SetOn(false);
        QCOMPARE(w_->Grid()->Dataset(), &Result());
    }

    // ---- saved configurations -----------------------------------------------------------------

    void savedConfigurations()
    {
        SettingsFile().WriteString(QStringLiteral("Report"), QStringLiteral("control_panels_17"), QString());
        Open();
        TReportListFrame* list = w_->Pages().ReportList;
        auto* save = FindChild<QAction>(list, "actBeginSave");
        w_->Pages().Setup->LoadState(QStringLiteral("REC_DATETIME,EXT_CODE,PHONE;REC_DATETIME;"));
        SetDays(QDate(2024, 3, 4), QDate(2024, 3, 5));
        list->UpdateActions();
        QVERIFY(!save->isEnabled());  // nothing run yet
        Run();
        QVERIFY(save->isEnabled());

        // The user's layout: the phone hidden.
        Result().FieldByName(QStringLiteral("PHONE"))->SetVisible(false);
        const QString layout = w_->Grid()->SaveLayoutState();
        save->trigger();
        FindChild<QLineEdit>(list, "edtReportName")->setText(QStringLiteral("Mine, hidden phone"));
        FindChild<QAction>(list, "actEndSave")->trigger();
        QVERIFY(!list->NameEntry());
        const TDirect stored = RunDirect(
            Db(),
            QStringLiteral("select SETUP, GRID, SPECIAL from REPORT where NAME = 'Mine, hidden phone'"));
        QCOMPARE(stored.Rows.size(), 1);
        QCOMPARE(stored.Rows.at(0).at(0).toString(),
                 QStringLiteral("REC_DATETIME,EXT_CODE,PHONE;REC_DATETIME;"));
        QCOMPARE(stored.Rows.at(0).at(1).toString(), layout);
        QCOMPARE(stored.Rows.at(0).at(2).toString(), w_->Pages().Overlap->SaveState());

        // Overwriting an existing one, cancelled: nothing changes and the name stays open.
        const TDirect before =
            RunDirect(Db(), QStringLiteral("select NAME, SETUP, GRID from REPORT order by NAME"));
        f_->Answerer.SetAnswers({TMsgButton::Cancel});
        save->trigger();
        FindChild<QLineEdit>(list, "edtReportName")->setText(QStringLiteral("All calls"));
        FindChild<QAction>(list, "actEndSave")->trigger();
        QVERIFY(list->NameEntry());
        QCOMPARE(RunDirect(Db(), QStringLiteral("select NAME, SETUP, GRID from REPORT order by NAME")).Rows,
                 before.Rows);
        FindChild<QAction>(list, "actCancelSave")->trigger();

        // Another configuration, then this one again: the run after choosing brings its layout
        // back (the window reruns on choosing when asked to).
        SettingsFile().WriteInteger(QStringLiteral("Report"), QStringLiteral("auto_refresh"), 2);
        w_->close();
        SettingsFile().WriteString(QStringLiteral("Report"), QStringLiteral("control_panels_17"),
                                   QStringLiteral("Mine, hidden phone"));
        delete w_;
        w_ = new TChildFormCallsInfo(services_.get(), nullptr, ClientMainDM()->sktServer,
                                     ClientMainDM()->scReport);
        TRemoteDataSet& reports = w_->ReportDM().cdsReport;
        QVERIFY(reports.Locate(QStringLiteral("NAME"), {QStringLiteral("All calls")}));
        QTRY_VERIFY(!w_->Busy() && Result().Active());
        Result().FieldByName(QStringLiteral("EXT_CODE"))->SetVisible(false);
        QVERIFY(reports.Locate(QStringLiteral("NAME"), {QStringLiteral("Mine, hidden phone")}));
        QCOMPARE(w_->Pages().Setup->SaveState(), QStringLiteral("REC_DATETIME,EXT_CODE,PHONE;REC_DATETIME;"));
        QTRY_COMPARE(w_->Grid()->SaveLayoutState(), layout);
        QVERIFY(!Result().FieldByName(QStringLiteral("PHONE"))->Visible());
        // The user shows the phone again; the next run keeps that.
        Result().FieldByName(QStringLiteral("PHONE"))->SetVisible(true);
        const QString users = w_->Grid()->SaveLayoutState();
        Run();
        QCOMPARE(w_->Grid()->SaveLayoutState(), users);

        // Deleting it, after the question.
        list = w_->Pages().ReportList;
        f_->Answerer.SetAnswers({TMsgButton::OK});
        FindChild<QAction>(list, "actDeleteReport")->trigger();
        QCOMPARE(f_->Answerer.Asked().last().Text,
                 QStringLiteral("Delete report configuration?\nMine, hidden phone"));
        QCOMPARE(
            RunDirect(Db(), QStringLiteral("select count(*) from REPORT where NAME = 'Mine, hidden phone'"))
                .Rows.at(0)
                .at(0)
                .toInt(),
            0);
    }

    // ---- the tree -------------------------------------------------------------------------------

    void activePage_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("selected");
        QTest::newRow("archive, administrator") << 20 << int(TAccess::Admin) << 0;
        QTest::newRow("archive, user") << 20 << 1 << 0;
        QTest::newRow("beyond the tree") << 21 << int(TAccess::Admin) << 0;
        QTest::newRow("negative") << -1 << int(TAccess::Admin) << 0;
        QTest::newRow("print options") << 19 << 1 << 19;
        QTest::newRow("phone") << 9 << int(TAccess::Admin) << 9;
    }
    void activePage()
    {
        QFETCH(int, stored);
        QFETCH(int, level);
        QFETCH(int, selected);
        TAccess::SetLevel(static_cast<quint8>(level));
        SettingsFile().WriteInteger(QStringLiteral("Report"), QStringLiteral("active_page"), stored);
        Open(true);
        auto* tree = FindChild<QTreeWidget>(w_, "tvReport");
        QCOMPARE(tree->currentItem(), w_->Node(selected));
        QVERIFY(w_->PageOfNode(selected)->isVisibleTo(w_));
    }

    // Collapsing the filters asks before it turns simple mode on; expanding turns it off.
    void collapsingTheFilters_data()
    {
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("confirmed") << true;
        QTest::newRow("cancelled") << false;
    }
    void collapsingTheFilters()
    {
        QFETCH(bool, confirmed);
        Open();
        TFrameSimpleModeCalls* simple = w_->Pages().Filters.SimpleMode;
        QTreeWidgetItem* filters = w_->Node(TChildFormCallsInfo::ndFilters);
        auto* tree = FindChild<QTreeWidget>(w_, "tvReport");
        tree->setCurrentItem(filters);
        QVERIFY(filters->isExpanded());
        QVERIFY(!simple->IsSimpleMode());
        QCOMPARE(w_->PageOfNode(TChildFormCallsInfo::ndFilters), w_->Pages().Summary);
        const auto asked = f_->Answerer.Asked().size();
        f_->Answerer.SetAnswers({confirmed ? TMsgButton::OK : TMsgButton::Cancel});
        tree->collapseItem(filters);
        QCOMPARE(f_->Answerer.Asked().size(), asked + 1);
        QCOMPARE(filters->isExpanded(), !confirmed);
        QCOMPARE(simple->IsSimpleMode(), confirmed);
        QWidget* shown = confirmed ? static_cast<QWidget*>(simple) : w_->Pages().Summary;
        QCOMPARE(w_->PageOfNode(TChildFormCallsInfo::ndFilters), shown);
        QVERIFY(shown->isVisibleTo(w_));
        if (!confirmed)
            return;
        // Back to advanced mode without a question.
        tree->expandItem(filters);
        QCOMPARE(f_->Answerer.Asked().size(), asked + 1);
        QVERIFY(!simple->IsSimpleMode());
        QVERIFY(w_->Pages().Summary->isVisibleTo(w_));
    }

    // Moving to the archive page asks first; cancelled, the current page stays.
    void archiveNodeAsks_data()
    {
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("confirmed") << true;
        QTest::newRow("cancelled") << false;
    }
    void archiveNodeAsks()
    {
        QFETCH(bool, confirmed);
        Open(true);
        auto* tree = FindChild<QTreeWidget>(w_, "tvReport");
        tree->setCurrentItem(w_->Node(TChildFormCallsInfo::ndPrintOptions));
        const auto asked = f_->Answerer.Asked().size();
        f_->Answerer.SetAnswers({confirmed ? TMsgButton::OK : TMsgButton::Cancel});
        tree->setCurrentItem(w_->Node(TChildFormCallsInfo::ndArchive));
        QCOMPARE(f_->Answerer.Asked().size(), asked + 1);
        const int expected = confirmed ? TChildFormCallsInfo::ndArchive : TChildFormCallsInfo::ndPrintOptions;
        QCOMPARE(tree->currentItem(), w_->Node(expected));
        QVERIFY(w_->PageOfNode(expected)->isVisibleTo(w_));
    }

    void archiveNodeByLevel_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("node");
        QTest::newRow("administrator") << int(TAccess::Admin) << true;
        QTest::newRow("user") << 1 << false;
    }
    void archiveNodeByLevel()
    {
        QFETCH(int, level);
        QFETCH(bool, node);
        TAccess::SetLevel(static_cast<quint8>(level));
        SettingsFile().WriteString(QStringLiteral("Report"), QStringLiteral("control_panels_19"),
                                   QStringLiteral("kept"));
        Open(true);
        QCOMPARE(w_->Node(TChildFormCallsInfo::ndArchive) != nullptr, node);
        auto* menu = FindChild<QMenu>(w_, "ddmCalls");
        bool offered = false;
        for (QAction* a : menu->actions())
            offered = offered || a->objectName() == QLatin1String("aCreateArchive");
        QCOMPARE(offered, node);
        // The page exists either way and keeps its line under its own key.
        QVERIFY(LastArchivePage);
        QCOMPARE(LastArchivePage->Loaded, QStringLiteral("kept"));
        Close();
        QCOMPARE(SettingsFile().ReadString(QStringLiteral("Report"), QStringLiteral("control_panels_19"),
                                           QString()),
                 QStringLiteral("archive"));
    }

    // Last: the server goes away while a run waits for it.
    void lostConnectionDuringARun()
    {
        Open();
        w_->Pages().Setup->LoadState(QStringLiteral("REC_DATETIME,EXT_CODE;;"));
        SetDays(QDate(2024, 1, 1), QDate(2024, 3, 31));
        bool busyMeanwhile = false;
        QTimer::singleShot(0, w_, [&] {
            busyMeanwhile = w_->Busy();
            f_->Server.Stop();
        });
        bool raised = false;
        try {
            w_->actApply->trigger();
        } catch (const std::exception&) {
            raised = true;
        }
        QVERIFY(busyMeanwhile);
        QVERIFY(raised);
        QVERIFY(!w_->Busy());
        QVERIFY(services_->Running().isEmpty());
    }
};

QTEST_MAIN(TestCallsInfo)
#include "tst_callsinfo.moc"
