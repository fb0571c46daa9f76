// A server killed at each step of an archive creation loses no call: after a restart the
// database is sound and every call is either still in it or in a complete, listed archive.

#include "core/DateTime.h"
#include "core/Variants.h"
#include "server/ArchiveStore.h"
#include "support/DirectSql.h"
#include "support/TestServer.h"
#include "support/WireClient.h"

#include <QDir>
#include <QProcessEnvironment>
#include <QTest>

namespace {

const QString kArchives = QLatin1String(module::ArchivesRDM);
const QStringList kDemo{QStringLiteral("--demo"), QStringLiteral("--demo-date"), QStringLiteral("2026-03-31")};

}  // namespace

class TestServerArchiveCrash : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { RegisterProtocolTypes(); }

    void killedWhileCreating_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<bool>("archived");
        QTest::newRow("temporary file written") << "file-written" << false;
        QTest::newRow("file renamed") << "file-renamed" << false;
        QTest::newRow("calls deleted, not committed") << "calls-deleted" << false;
        QTest::newRow("committed") << "committed" << true;
    }
    void killedWhileCreating()
    {
        QFETCH(QString, step);
        QFETCH(bool, archived);
        TServerProcess server;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TELVANE_ARCHIVE_KILL_AT"), step);
        server.Process().setProcessEnvironment(env);
        QString error;
        QVERIFY2(server.Start(kDemo, &error), qPrintable(error));
        const QString db = server.DatabasePath();
        const qint64 all = CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL"));
        const QString march = QStringLiteral("REC_DATETIME >= '2026-03-02' AND REC_DATETIME < '2026-03-03'");
        const qint64 inMarch2 = CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL WHERE ") + march);
        QVERIFY(inMarch2 > 0);
        {
            TWireClient admin;
            QVERIFY(admin.OpenAsAdministrator(server.Port()));
            admin.Call(kArchives, dispid::ArchivesRDM::CreateArchive,
                       {QStringLiteral("Killed"), VarFromDateTime(DateTimeFromQDate(QDate(2026, 3, 2))),
                        VarFromDateTime(DateTimeFromQDate(QDate(2026, 3, 3)))});
            QVERIFY(server.Process().waitForFinished(60000));
            QCOMPARE(server.Process().exitStatus(), QProcess::CrashExit);
        }

        server.Process().setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        QVERIFY2(server.Start(kDemo, &error), qPrintable(error));
        QCOMPARE(RunDirect(db, QStringLiteral("PRAGMA integrity_check")).Rows.value(0).value(0).toString(),
                 QStringLiteral("ok"));
        const qint64 listed = CountDirect(db, QStringLiteral("SELECT count(*) FROM ARCHIVE"));
        QCOMPARE(listed, qint64(archived ? 1 : 0));
        QCOMPARE(CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL WHERE ") + march), archived ? 0 : inMarch2);
        // Every call is accounted for: in the database or counted by a listed archive.
        QCOMPARE(CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL")) +
                     CountDirect(db, QStringLiteral("SELECT coalesce(sum(CALL_COUNT), 0) FROM ARCHIVE")),
                 all);
        // Only the listed archive's file is left, and it is complete.
        const QStringList files = QDir(TArchiveStore::DirectoryFor(db)).entryList(QDir::Files);
        QCOMPARE(files, archived ? QStringList{QStringLiteral("archive-1.tvz")} : QStringList());
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        if (archived) {
            const TMessage check =
                admin.Call(kArchives, dispid::ArchivesRDM::CheckImport, {1, QString()}, {1});
            QCOMPARE(check.ByRefValues.value(0).toString(), QString());
        }
        QVERIFY(server.Terminate());
    }
};

QTEST_GUILESS_MAIN(TestServerArchiveCrash)
#include "tst_server_archive_crash.moc"
