// The logs report: the query a choice makes, searches on the real server whose rows equal
// hand-written SQL on the database file (words with quotes, "%" and "_" among them), the
// joining of an event's rows, and the window's categories, event text, export and its
// refusal to start a second search while one runs.

#include "calls/Globals.h"
#include "logs/ChildLogsReport.h"
#include "logs/DMLogsReport.h"
#include "server/Server.h"
#include "shell/base/ClientReportFlags.h"
#include "support/DirectSql.h"
#include "support/ShellFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <memory>

namespace {

const QDate kDay(2026, 2, 10);

TDateTime At(int hour, int minute, int second = 0, int msec = 0)
{
    return DateTimeFromQDate(kDay) + (((hour * 60 + minute) * 60 + second) * 1000 + msec) / MSecsPerDay;
}

// Log rows of the test's own on the day, beside what the server logs itself.
const char* const kRows = R"SQL(
INSERT INTO LOG VALUES ('2026-02-10 09:00:00', 900001, 'receiver', 1, 'Port 9100 opened');
INSERT INTO LOG VALUES ('2026-02-10 09:30:00', 900002, 'receiver', 3, 'Port closed by O''Brien');
INSERT INTO LOG VALUES ('2026-02-10 10:00:00', 900003, 'archives', 2, 'Disk 100% full');
INSERT INTO LOG VALUES ('2026-02-10 10:30:00', 900004, 'reports', 4, 'Disk 1000 full');
INSERT INTO LOG VALUES ('2026-02-10 11:00:00', 900005, 'client', 2, 'user_name refused');
INSERT INTO LOG VALUES ('2026-02-10 11:30:00', 900006, 'client', 2, 'username refused');
INSERT INTO LOG VALUES ('2026-02-10 12:00:00', 900007, 'comands', 1, 'Sent ''quoted'' command');
INSERT INTO LOG VALUES ('2026-02-10 12:30:00', 900008, 'application', 1, 'back\slash here');
INSERT INTO LOG VALUES ('2026-02-10 13:00:00', 900009, 'invalid', 2, 'first part');
INSERT INTO LOG VALUES ('2026-02-10 13:00:00.050', 900009, 'invalid', 2, 'second part');
INSERT INTO LOG VALUES ('2026-02-10 13:00:00.100', 900009, 'invalid', 2, 'third part');
INSERT INTO LOG VALUES ('2026-02-10 13:00:01.100', 900009, 'invalid', 2, 'next line');
INSERT INTO LOG VALUES ('2026-02-10 14:00:00', 900011, 'client', 2, 'name x'')or(''1''=''1 sent');
INSERT INTO LOG VALUES ('2026-02-11 09:00:00', 900010, 'receiver', 1, 'Port next day');
)SQL";

QStringList EventIds(const QList<QVariantList>& rows, int column)
{
    QStringList ids;
    for (const QVariantList& r : rows)
        ids << r.value(column).toString();
    return ids;
}

}  // namespace

class TestLogsReport : public QObject {
    Q_OBJECT

    std::unique_ptr<TShellFixture> f;
    TClientMainForm* form = nullptr;

    QString Db() const { return f->Server.DatabasePath(); }

    TChildLogsReport* OpenWindow()
    {
        form->actLogsReport->trigger();
        return qobject_cast<TChildLogsReport*>(TChildFormBlank::OfAction(form->actLogsReport));
    }

private Q_SLOTS:
    void init()
    {
        f = std::make_unique<TShellFixture>();
        form = f->ConnectAsAdministrator();
        QVERIFY(form);
        QCOMPARE(ExecDirect(Db(), QString::fromLatin1(kRows)), QString());
        form->show();
    }
    void cleanup()
    {
        form = nullptr;
        f.reset();
    }

    void query_data()
    {
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<QStringList>("categories");
        QTest::addColumn<QList<int>>("severities");
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("sql");
        const double d1 = DateTimeFromQDate(QDate(2026, 3, 1)), d2 = DateTimeFromQDate(QDate(2026, 3, 2));
        const QString interval = QStringLiteral("select * from log where (DATE_TIME between '2026-03-01' and '2026-03-02')");
        QTest::newRow("interval only") << d1 << d2 << QStringList() << QList<int>() << QString()
                                       << interval + QStringLiteral(" order by DATE_TIME");
        QTest::newRow("from after to") << d2 << d1 << QStringList() << QList<int>() << QString()
                                       << interval + QStringLiteral(" order by DATE_TIME");
        QTest::newRow("example") << d1 << d2 << QStringList{QStringLiteral("Receiver")} << QList<int>()
                                 << QStringLiteral("port closed")
                                 << interval + QStringLiteral(" and (CATEGORY = 'receiver') and ((TEXT like '%port%') and "
                                                              "(TEXT like '%closed%')) order by DATE_TIME");
        QTest::newRow("all categories") << d1 << d2 << TLogsReportDM::Categories() << QList<int>() << QString()
                                        << interval + QStringLiteral(" order by DATE_TIME");
        QTest::newRow("two categories") << d1 << d2
                                        << QStringList{QStringLiteral("Archives"), QStringLiteral("Reports")}
                                        << QList<int>() << QString()
                                        << interval + QStringLiteral(" and (CATEGORY in ('archives', 'reports')) order by DATE_TIME");
        QTest::newRow("all severities") << d1 << d2 << QStringList() << QList<int>{1, 2, 3, 4} << QString()
                                        << interval + QStringLiteral(" order by DATE_TIME");
        QTest::newRow("one severity") << d1 << d2 << QStringList() << QList<int>{3} << QString()
                                      << interval + QStringLiteral(" and (SEVERITY = '3') order by DATE_TIME");
        QTest::newRow("two blanks") << d1 << d2 << QStringList() << QList<int>() << QStringLiteral("  ")
                                    << interval + QStringLiteral(" order by DATE_TIME");
        QTest::newRow("a quote") << d1 << d2 << QStringList() << QList<int>() << QStringLiteral("O'Brien")
                                 << interval + QStringLiteral(" and ((TEXT like '%O''Brien%')) order by DATE_TIME");
        QTest::newRow("a percent") << d1 << d2 << QStringList() << QList<int>() << QStringLiteral("100%")
                                   << interval + QStringLiteral(" and ((TEXT like '%100\\%%' escape '\\')) order by DATE_TIME");
        QTest::newRow("times of day") << d1 + 0.5 << d2 + 0.25 << QStringList() << QList<int>() << QString()
                                      << QStringLiteral("select * from log where (DATE_TIME between '2026-03-01 12:00:00' "
                                                        "and '2026-03-02 06:00:00') order by DATE_TIME");
    }
    void query()
    {
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(QStringList, categories);
        QFETCH(QList<int>, severities);
        QFETCH(QString, words);
        QFETCH(QString, sql);
        QCOMPARE(TLogsReportDM::BuildQuery({from, to, categories, severities, words}), sql);
    }

    // Each search's rows equal what hand-written SQL finds in the database file; words are
    // compared with instr, which knows no wildcards.
    void searches_data()
    {
        QTest::addColumn<QStringList>("categories");
        QTest::addColumn<QList<int>>("severities");
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("where");
        QTest::newRow("the day") << QStringList() << QList<int>() << QString() << QStringLiteral("1");
        QTest::newRow("receiver errors") << QStringList{QStringLiteral("Receiver")} << QList<int>{3} << QString()
                                         << QStringLiteral("CATEGORY = 'receiver' AND SEVERITY = 3");
        QTest::newRow("two categories, two severities")
            << QStringList{QStringLiteral("Client"), QStringLiteral("Archives")} << QList<int>{1, 2} << QString()
            << QStringLiteral("CATEGORY IN ('client', 'archives') AND SEVERITY IN (1, 2)");
        QTest::newRow("quote") << QStringList() << QList<int>() << QStringLiteral("O'Brien")
                               << QStringLiteral("instr(lower(TEXT), lower('O''Brien')) > 0");
        QTest::newRow("quotes around a word") << QStringList() << QList<int>() << QStringLiteral("'quoted'")
                                              << QStringLiteral("instr(TEXT, '''quoted''') > 0");
        QTest::newRow("percent") << QStringList() << QList<int>() << QStringLiteral("100%")
                                 << QStringLiteral("instr(TEXT, '100%') > 0");
        QTest::newRow("underscore") << QStringList() << QList<int>() << QStringLiteral("user_name")
                                    << QStringLiteral("instr(TEXT, 'user_name') > 0");
        QTest::newRow("backslash") << QStringList() << QList<int>() << QStringLiteral("back\\slash")
                                   << QStringLiteral("instr(TEXT, 'back\\slash') > 0");
        QTest::newRow("two words") << QStringList() << QList<int>() << QStringLiteral(" disk  full ")
                                   << QStringLiteral("instr(lower(TEXT), 'disk') > 0 AND instr(lower(TEXT), 'full') > 0");
        QTest::newRow("quote that would end the literal")
            << QStringList() << QList<int>() << QStringLiteral("x')or('1'='1")
            << QStringLiteral("instr(TEXT, 'x'')or(''1''=''1') > 0");
    }
    void searches()
    {
        QFETCH(QStringList, categories);
        QFETCH(QList<int>, severities);
        QFETCH(QString, words);
        QFETCH(QString, where);
        TLogsReportDM dm(ClientMainDM()->scLogsReport, ClientMainDM()->MainRDM);
        const TLogSearch search{At(0, 0), At(24, 0) - 1.0 / MSecsPerDay, categories, severities, words};
        dm.Search(TLogsReportDM::BuildQuery(search));
        dm.Load();
        QList<QVariantList> got;
        for (int r = 0; r < dm.cdsResult.RecordCount(); ++r) {
            dm.cdsResult.SetCurrentRow(r);
            got << QVariantList{dm.cdsResult.FieldByName(QStringLiteral("EVENT_ID"))->AsLargeInt(),
                                dm.cdsResult.FieldByName(QStringLiteral("TEXT"))->AsString()};
        }
        const TDirect expected = RunDirect(
            Db(), QStringLiteral("SELECT EVENT_ID, TEXT FROM LOG WHERE DATE_TIME >= '2026-02-10' AND DATE_TIME < "
                                 "'2026-02-11' AND (%1) ORDER BY DATE_TIME")
                      .arg(where));
        QVERIFY2(expected.Error.isEmpty(), qPrintable(expected.Error));
        QVERIFY(!expected.Rows.isEmpty());
        QCOMPARE(EventIds(got, 0), EventIds(expected.Rows, 0));
        QCOMPARE(EventIds(got, 1), EventIds(expected.Rows, 1));
    }

    void joinEventRows_data()
    {
        QTest::addColumn<QList<double>>("times");
        QTest::addColumn<QString>("text");
        const double t = At(13, 0);
        const double ms = 1 / MSecsPerDay;
        QTest::newRow("three rows 50 ms apart") << QList<double>{t, t + 50 * ms, t + 100 * ms} << "a b c";
        QTest::newRow("a row one second later") << QList<double>{t, t + 1000 * ms} << "a\r\nb";
        QTest::newRow("exactly 100 ms") << QList<double>{t + 1000 * ms, t + 1100 * ms} << "a\r\nb";
        QTest::newRow("99 ms") << QList<double>{t + 1000 * ms, t + 1099 * ms} << "a b";
        QTest::newRow("one row") << QList<double>{t} << "a";
        QTest::newRow("none") << QList<double>{} << "";
    }
    void joinEventRows()
    {
        QFETCH(QList<double>, times);
        QFETCH(QString, text);
        QList<QPair<TDateTime, QString>> rows;
        for (int i = 0; i < times.size(); ++i)
            rows.append({times.at(i), QString(QLatin1Char(char('a' + i)))});
        QCOMPARE(TLogsReportDM::JoinEventRows(rows), text);
    }

    void windowSearchShowsEventText()
    {
        TChildLogsReport* window = OpenWindow();
        QVERIFY(window);
        // The default interval is the whole of today.
        const TLogSearch initial = window->Search();
        QCOMPARE(initial.From, Today());
        QCOMPARE(initial.To, Today() + 1);
        QVERIFY(!window->findChild<QAction*>(QStringLiteral("actPrint"))->isEnabled());

        window->findChild<QDateEdit*>(QStringLiteral("dtpFromDate"))->setDate(kDay);
        window->findChild<QDateEdit*>(QStringLiteral("dtpToDate"))->setDate(kDay.addDays(1));
        window->findChild<QLineEdit*>(QStringLiteral("edtLogText"))->setText(QStringLiteral("part"));
        window->findChild<QAction*>(QStringLiteral("actApply"))->trigger();
        auto* grid = window->findChild<QTableView*>(QStringLiteral("Grid"));
        QCOMPARE(grid->model()->rowCount(), 3);  // "next line" has no "part"
        grid->setCurrentIndex(grid->model()->index(1, 0));
        QCOMPARE(window->findChild<QPlainTextEdit*>(QStringLiteral("mmoText"))->toPlainText(),
                 QStringLiteral("first part second part third part\nnext line"));
        QVERIFY(window->findChild<QAction*>(QStringLiteral("actExport"))->isEnabled());

        const QString file = f->Dir.path() + QStringLiteral("/logs-export.txt");
        QString preset;
        window->ChooseExportFile = [&](QWidget*, const QString& p) {
            preset = p;
            return file;
        };
        window->findChild<QAction*>(QStringLiteral("actExport"))->trigger();
        QVERIFY(preset.endsWith(QLatin1String("log.txt")));
        QFile exported(file);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(exported.readAll()).split(QStringLiteral("\r\n"));
        QVERIFY2(lines.value(0).startsWith(QLatin1String("Logs Received time: from ")), qPrintable(lines.value(0)));
        QVERIFY(lines.value(1).contains(QLatin1String("Event ID")));
        QCOMPARE(lines.filter(QStringLiteral("900009")).size(), 3);
    }

    void categoriesAndSelectAll()
    {
        TChildLogsReport* window = OpenWindow();
        auto* list = window->findChild<QListWidget*>(QStringLiteral("clbCategory"));
        auto* all = window->findChild<QCheckBox*>(QStringLiteral("chkCategoryAll"));
        QCOMPARE(list->count(), 7);
        list->item(1)->setCheckState(Qt::Checked);
        list->item(6)->setCheckState(Qt::Checked);
        QCOMPARE(all->checkState(), Qt::PartiallyChecked);
        QCOMPARE(window->Search().Categories, (QStringList{QStringLiteral("Archives"), QStringLiteral("Reports")}));
        all->click();
        QCOMPARE(all->checkState(), Qt::Checked);
        QCOMPARE(window->Search().Categories, TLogsReportDM::Categories());
        all->click();
        QCOMPARE(all->checkState(), Qt::Unchecked);
        QVERIFY(window->Search().Categories.isEmpty());
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setCheckState(Qt::Checked);
        QCOMPARE(all->checkState(), Qt::Checked);
        window->findChild<QToolButton*>(QStringLiteral("btnError"))->click();
        window->findChild<QToolButton*>(QStringLiteral("btnInfo"))->click();
        QCOMPARE(window->Search().Severities, (QList<int>{1, 3}));
    }

    void applyWhileApplyingDoesNothing()
    {
        // Counts the searches the server gets, and passes them on.
        auto searches = std::make_shared<std::atomic<int>>(0);
        f->Server.RunOnServer([searches](TServer& s) {
            TCallEntry entry = *s.Calls().Find(TModule::LogsReport, dispid::LogsReportRDM::RunStatement);
            const TCallHandler real = entry.Handler;
            entry.Handler = [searches, real](TCallContext& c) {
                ++*searches;
                return real(c);
            };
            s.Calls().Add(entry);
        });
        TChildLogsReport* window = OpenWindow();
        QAction* apply = window->findChild<QAction*>(QStringLiteral("actApply"));
        bool loadedDuringNested = true;
        // Runs while the first search waits for the server's notice.
        QTimer::singleShot(0, window, [&] {
            apply->trigger();
            loadedDuringNested = window->findChild<QTableView*>(QStringLiteral("Grid"))->model()->rowCount() > 0;
        });
        window->findChild<QDateEdit*>(QStringLiteral("dtpFromDate"))->setDate(kDay);
        apply->trigger();
        QCOMPARE(searches->load(), 1);
        QVERIFY(!loadedDuringNested);
        QVERIFY(window->findChild<QTableView*>(QStringLiteral("Grid"))->model()->rowCount() > 0);
        // Afterwards a new search runs again.
        apply->trigger();
        QCOMPARE(searches->load(), 2);
    }
};

QTEST_MAIN(TestLogsReport)
#include "tst_logsreport.moc"
