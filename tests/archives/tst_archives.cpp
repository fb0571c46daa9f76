// The archives window against the real server with demo data: each action end to end, the
// enabled rules, its questions and refusals, an external import of another server's file,
// and the data module's period and filter texts.

#include "archives/ChildArchives.h"
#include "archives/DMArchives.h"
#include "calls/CallFieldInfo.h"
#include "core/Variants.h"
#include "server/ArchiveStore.h"
#include "support/DirectSql.h"
#include "support/ShellFixture.h"
#include "support/WireClient.h"

#include <QAction>
#include <QDateEdit>
#include <QFile>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTest>

#include <memory>

namespace {

constexpr int kJobMs = 60000;

QString DayCondition(const QDate& first, const QDate& end)
{
    return QStringLiteral("REC_DATETIME >= '%1' AND REC_DATETIME < '%2'")
        .arg(first.toString(Qt::ISODate), end.toString(Qt::ISODate));
}

}  // namespace

class TestArchives : public QObject {
    Q_OBJECT

    std::unique_ptr<TShellFixture> f;
    TClientMainForm* form = nullptr;
    TChildFormArchives* window = nullptr;

    template <typename T = QAction>
    T* Find(const char* name) const
    {
        return window->findChild<T*>(QLatin1String(name));
    }
    void Trigger(const char* name)
    {
        QAction* a = Find(name);
        QVERIFY2(a && a->isEnabled(), name);
        a->trigger();
    }
    QString Db() const { return f->Server.DatabasePath(); }
    // Selects the grid row of the archive with that ID.
    void SelectArchive(qint64 id)
    {
        auto* grid = Find<QTableView>("Grid");
        for (int r = 0; r < grid->model()->rowCount(); ++r)
            if (grid->model()->index(r, 0).data().toLongLong() == id) {
                grid->setCurrentIndex(grid->model()->index(r, 0));
                return;
            }
        QFAIL("the archive is not listed");
    }
    // Creates an archive of the days from the window, with the answer to the question.
    void CreateFromWindow(const QString& comment, const QDate& from, const QDate& to)
    {
        TInstalledAnswerer answerer({TMsgButton::OK});
        Trigger("actNew");
        Find<QDateEdit>("dtpFrom")->setDate(from);
        Find<QDateEdit>("dtpTo")->setDate(to);
        Find<QPlainTextEdit>("mmoComment")->setPlainText(comment);
        Trigger("actConfirm");
        QCOMPARE(answerer.Asked().size(), 1);
        QCOMPARE(answerer.Asked().at(0).Text,
                 QStringLiteral("Ready to create archive.\r\nArchived data WILL BE DELETED from the database."));
    }

private Q_SLOTS:
    void init()
    {
        f = std::make_unique<TShellFixture>();
        QVERIFY(f->StartServer(true));
        form = f->Connect();
        QVERIFY(f->Connected() && LogIn(ClientMainDM()->MainRDM, true));
        TAccess::SetLevel(TAccess::Admin);
        form->show();
        form->actArchives->trigger();
        window = qobject_cast<TChildFormArchives*>(TChildFormBlank::OfAction(form->actArchives));
        QVERIFY(window);
    }
    void cleanup()
    {
        window = nullptr;
        form = nullptr;
        f.reset();
    }

    void archivePeriod_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QDate>("first");
        QTest::addColumn<QDate>("end");
        QTest::newRow("one day") << QDate(2026, 3, 5) << QDate(2026, 3, 5) << QDate(2026, 3, 5) << QDate(2026, 3, 6);
        QTest::newRow("a week") << QDate(2026, 3, 1) << QDate(2026, 3, 7) << QDate(2026, 3, 1) << QDate(2026, 3, 8);
        // From after To still covers both whole days ...
        QTest::newRow("from after to") << QDate(2026, 3, 7) << QDate(2026, 3, 1) << QDate(2026, 3, 1)
                                       << QDate(2026, 3, 8);
        // ... also when From is the day after To.
        QTest::newRow("from the day after to") << QDate(2026, 3, 6) << QDate(2026, 3, 5) << QDate(2026, 3, 5)
                                               << QDate(2026, 3, 7);
        QTest::newRow("across a year") << QDate(2026, 12, 31) << QDate(2026, 12, 31) << QDate(2026, 12, 31)
                                       << QDate(2027, 1, 1);
    }
    void archivePeriod()
    {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QDate, first);
        QFETCH(QDate, end);
        const auto period = TArchivesDM::ArchivePeriod(from, to);
        QCOMPARE(period.first, DateTimeFromQDate(first));
        QCOMPARE(period.second, DateTimeFromQDate(end));
    }

    void filtersSummary_data()
    {
        QTest::addColumn<QString>("filters");
        QTest::addColumn<QList<int>>("fields");
        const QString duration = QStringLiteral("1,60,300,True");
        const QString ext = QStringLiteral("Main:101,102;Branch:3001;True");
        QStringList lines(19);
        lines[7] = ext;
        lines[5] = duration;
        QTest::newRow("extension and duration") << lines.join(QLatin1Char('\n')) << QList<int>{cfDuration, cfExtCode};
        QTest::newRow("missing lines are empty") << QStringLiteral("\n\n\n\n\n") + duration << QList<int>{cfDuration};
        QStringList beyond(25);
        beyond[20] = ext;
        QTest::newRow("lines beyond the 19th are ignored") << beyond.join(QLatin1Char('\n')) << QList<int>{};
        QTest::newRow("nothing") << QString() << QList<int>{};
    }
    void filtersSummary()
    {
        QFETCH(QString, filters);
        QFETCH(QList<int>, fields);
        const QStringList values = filters.split(QLatin1Char('\n'));
        QString expected;
        for (int k : fields)
            expected += FieldInfo(TCallFieldId(k)).BuildSummary(values.at(k - 1)) + QStringLiteral("\r\n");
        QCOMPARE(TArchivesDM::FiltersSummary(filters), expected);
    }

    void createImportClearDelete()
    {
        const QDate day = QDate::currentDate().addDays(-10);
        const QString both = DayCondition(day, day.addDays(2));
        const qint64 calls = CountDirect(Db(), QStringLiteral("SELECT count(*) FROM CALL WHERE ") + both);
        QVERIFY(calls > 0);
        // Browse mode: no save, no cancel, nothing listed yet.
        QVERIFY(!Find("actConfirm")->isEnabled() && !Find("actImport")->isEnabled());

        CreateFromWindow(QStringLiteral("Two days"), day.addDays(1), day);  // From after To
        QVERIFY(Find<QWidget>("pnlFromTo")->isHidden());
        QTRY_COMPARE_WITH_TIMEOUT(CountDirect(Db(), QStringLiteral("SELECT count(*) FROM ARCHIVE")), qint64(1), kJobMs);
        QCOMPARE(CountDirect(Db(), QStringLiteral("SELECT count(*) FROM CALL WHERE ") + both), qint64(0));
        QCOMPARE(CountDirect(Db(), QStringLiteral("SELECT CALL_COUNT FROM ARCHIVE")), calls);

        Trigger("actRefresh");
        SelectArchive(1);
        QVERIFY(Find("actImport")->isEnabled());
        QVERIFY(!Find("actDelete")->isEnabled() && !Find("actClearData")->isEnabled());
        QCOMPARE(Find<QPlainTextEdit>("mmoComment")->toPlainText(), QStringLiteral("Two days"));
        QVERIFY2(Find<QPlainTextEdit>("mmoFilters")->toPlainText().startsWith(QLatin1String("Received time: from ")),
                 qPrintable(Find<QPlainTextEdit>("mmoFilters")->toPlainText()));

        Trigger("actImport");
        QTRY_COMPARE_WITH_TIMEOUT(CountDirect(Db(), QStringLiteral("SELECT count(*) FROM CALL WHERE ARCHIVE_ID = 1")),
                                  calls, kJobMs);
        Trigger("actRefresh");
        SelectArchive(1);
        QVERIFY(!Find("actImport")->isEnabled());
        QVERIFY(Find("actDelete")->isEnabled() && Find("actClearData")->isEnabled());

        {
            TInstalledAnswerer answerer({TMsgButton::Yes});
            Trigger("actClearData");
            QCOMPARE(answerer.Asked().value(0).Text, QStringLiteral("Clear data imported from archive \"Two days\"?"));
        }
        QTRY_VERIFY_WITH_TIMEOUT(RunDirect(Db(), QStringLiteral("SELECT IMPORTED FROM ARCHIVE")).Rows.value(0).value(0).isNull(),
                                 kJobMs);
        QCOMPARE(CountDirect(Db(), QStringLiteral("SELECT count(*) FROM CALL WHERE ") + both), qint64(0));

        // Imported again, then its entry deleted: the calls stay.
        Trigger("actRefresh");
        SelectArchive(1);
        Trigger("actImport");
        QTRY_COMPARE_WITH_TIMEOUT(CountDirect(Db(), QStringLiteral("SELECT count(*) FROM CALL WHERE ARCHIVE_ID = 1")),
                                  calls, kJobMs);
        Trigger("actRefresh");
        SelectArchive(1);
        {
            TInstalledAnswerer answerer({TMsgButton::No});
            Trigger("actDelete");
            QCOMPARE(answerer.Asked().value(0).Text, QStringLiteral("Delete entry for imported archive \"Two days\"?"));
            QCOMPARE(CountDirect(Db(), QStringLiteral("SELECT count(*) FROM ARCHIVE")), qint64(1));
        }
        {
            TInstalledAnswerer answerer({TMsgButton::Yes});
            Trigger("actDelete");
        }
        QCOMPARE(CountDirect(Db(), QStringLiteral("SELECT count(*) FROM ARCHIVE")), qint64(0));
        QCOMPARE(CountDirect(Db(), QStringLiteral("SELECT count(*) FROM CALL WHERE ") + both), calls);
    }

    void cancelledCreationSendsNothing_data()
    {
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QList<TMsgButton>>("answers");
        QTest::addColumn<QString>("asked");
        QTest::newRow("blank comment") << " \t\r\n" << QList<TMsgButton>{} << "Please, enter a comment.";
        QTest::newRow("question cancelled")
            << "Not now" << QList<TMsgButton>{TMsgButton::Cancel}
            << "Ready to create archive.\r\nArchived data WILL BE DELETED from the database.";
    }
    void cancelledCreationSendsNothing()
    {
        QFETCH(QString, comment);
        QFETCH(QList<TMsgButton>, answers);
        QFETCH(QString, asked);
        const qint64 calls = CountDirect(Db(), QStringLiteral("SELECT count(*) FROM CALL"));
        TInstalledAnswerer answerer(answers);
        Trigger("actNew");
        Find<QDateEdit>("dtpFrom")->setDate(QDate::currentDate().addDays(-3));
        Find<QPlainTextEdit>("mmoComment")->setPlainText(comment);
        Trigger("actConfirm");
        QCOMPARE(answerer.Asked().value(0).Text, asked);
        // Still creating: the period shown, Save and Cancel enabled, the grid disabled.
        QVERIFY(!Find<QWidget>("pnlFromTo")->isHidden());
        QVERIFY(Find("actConfirm")->isEnabled() && !Find("actNew")->isEnabled());
        QVERIFY(!Find<QWidget>("frgArchives")->isEnabled());
        Trigger("actCancel");
        QVERIFY(Find<QWidget>("pnlFromTo")->isHidden() && Find("actNew")->isEnabled());
        QCOMPARE(CountDirect(Db(), QStringLiteral("SELECT count(*) FROM CALL")), calls);
        QCOMPARE(CountDirect(Db(), QStringLiteral("SELECT count(*) FROM ARCHIVE")), qint64(0));
    }

    void rename()
    {
        const QDate day = QDate::currentDate().addDays(-20);
        CreateFromWindow(QStringLiteral("Old name"), day, day);
        QTRY_COMPARE_WITH_TIMEOUT(CountDirect(Db(), QStringLiteral("SELECT count(*) FROM ARCHIVE")), qint64(1), kJobMs);
        Trigger("actRefresh");
        SelectArchive(1);
        Trigger("actRename");
        QVERIFY(Find<QWidget>("pnlFromTo")->isHidden());  // only the comment changes
        QVERIFY(!Find("actImport")->isEnabled());         // not while editing
        Find<QPlainTextEdit>("mmoComment")->setPlainText(QStringLiteral("  New name \n"));
        Trigger("actConfirm");
        QCOMPARE(RunDirect(Db(), QStringLiteral("SELECT COMMENT FROM ARCHIVE")).Rows.value(0).value(0).toString(),
                 QStringLiteral("New name"));
        QVERIFY(Find("actRename")->isEnabled() && !Find("actConfirm")->isEnabled());
    }

    void externalImport()
    {
        const QString dir = f->Dir.path();
        // A refused file: the server's reason is shown and logged, and nothing is listed.
        const QString bad = dir + QStringLiteral("/bad.tvz");
        QFile out(bad);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("not an archive at all");
        out.close();
        window->ChooseArchiveFile = [bad](QWidget*) { return bad; };
        {
            TInstalledAnswerer answerer;
            Trigger("actExternalImport");
            QCOMPARE(answerer.Asked().value(0).Text,
                     QStringLiteral("The file \"bad.tvz\" is not a Telvane Control calls archive."));
        }
        QCOMPARE(CountDirect(Db(), QStringLiteral("SELECT count(*) FROM ARCHIVE")), qint64(0));
        QVERIFY(f->LogEntries(QStringLiteral("archives"))
                    .contains(QStringLiteral("3: The file \"bad.tvz\" is not a Telvane Control calls archive.")));

        // The file of an archive another server made.
        TTestServer other;
        QVERIFY(other.StartDemo(QDate(2025, 6, 30)));
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(other.Port()));
        const int before = admin.CallbackCount(QLatin1String(callback::LogMessage.Method));
        admin.Call(QLatin1String(module::ArchivesRDM), dispid::ArchivesRDM::CreateArchive,
                   {QStringLiteral("From the branch"), VarFromDateTime(DateTimeFromQDate(QDate(2025, 6, 1))),
                    VarFromDateTime(DateTimeFromQDate(QDate(2025, 6, 2)))});
        QVERIFY(admin.WaitUntil(
            [&] { return admin.CallbackCount(QLatin1String(callback::LogMessage.Method)) > before; }, kJobMs));
        const QString good = dir + QStringLiteral("/branch.tvz");
        QVERIFY(QFile::copy(TArchiveStore::DirectoryFor(other.DatabasePath()) + QStringLiteral("/archive-1.tvz"), good));
        const qint64 calls = CountDirect(other.DatabasePath(), QStringLiteral("SELECT CALL_COUNT FROM ARCHIVE"));
        window->ChooseArchiveFile = [good](QWidget*) { return good; };
        {
            TInstalledAnswerer answerer;
            Trigger("actExternalImport");
            QVERIFY(answerer.Asked().isEmpty());
        }
        QTRY_COMPARE_WITH_TIMEOUT(CountDirect(Db(), QStringLiteral("SELECT count(*) FROM CALL WHERE ARCHIVE_ID = 1")),
                                  calls, kJobMs);
        Trigger("actRefresh");
        SelectArchive(1);
        QCOMPARE(Find<QPlainTextEdit>("mmoComment")->toPlainText(), QStringLiteral("From the branch"));
        QVERIFY(Find("actClearData")->isEnabled());
        // The user cancelling the dialog sends nothing.
        window->ChooseArchiveFile = [](QWidget*) { return QString(); };
        Trigger("actExternalImport");
        QCOMPARE(CountDirect(Db(), QStringLiteral("SELECT count(*) FROM ARCHIVE")), qint64(1));
    }
};

QTEST_MAIN(TestArchives)
#include "tst_archives.moc"
