// The server's archives: the file format and its refusals, creating, importing, clearing,
// external files from another server, archiving from a report's conditions, automatic
// archiving, and a server killed in the middle of a creation.

#include "core/DateTime.h"
#include "core/Variants.h"
#include "server/ArchiveFile.h"
#include "server/ArchiveStore.h"
#include "support/DirectSql.h"
#include "support/WireFixture.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QtEndian>

namespace {

namespace ar = dispid::ArchivesRDM;
const QString kArchives = QLatin1String(module::ArchivesRDM);
const QDate kDemoDay(2026, 3, 31);
const QString kLogMessage = QLatin1String(callback::LogMessage.Method);

// Every column of the calls but the archive mark, as the comparisons read them.
const QString kCallRows = QStringLiteral(
    "SELECT ID, REC_DATETIME, END_DATETIME, START_DATETIME, DURATION, PBX_ID, EXT_CODE, PIN_CODE, EXTRA_CODE, "
    "PHONE, CIRCUIT, TRUNK, CALL_TYPE, RAW_CHARGE, VAT, CHARGE, PULSES, TEXT FROM CALL WHERE %1 ORDER BY ID");
const QString kMarch2 = QStringLiteral("REC_DATETIME >= '2026-03-02' AND REC_DATETIME < '2026-03-03'");

// The text of the LogMessage that ends an archive job the call started.
QString RunJob(TWireClient& client, const QString& module, int dispId, const QVariantList& args)
{
    const int before = client.CallbackCount(kLogMessage);
    const TMessage reply = client.Call(module, dispId, args);
    if (reply.Kind != TMessageKind::Reply)
        return QStringLiteral("call failed: ") + reply.Text;
    if (!client.WaitUntil([&] { return client.CallbackCount(kLogMessage) > before; }, 60000))
        return QStringLiteral("no outcome");
    return client.CallbackArgs(kLogMessage).constLast().value(0).toString();
}

QString Create(TWireClient& client, const QString& comment, const QDate& from, const QDate& end)
{
    return RunJob(client, kArchives, ar::CreateArchive,
                  {comment, VarFromDateTime(DateTimeFromQDate(from)), VarFromDateTime(DateTimeFromQDate(end))});
}

QString CheckImport(TWireClient& client, qint64 id)
{
    const TMessage m = client.Call(kArchives, ar::CheckImport, {id, QString()}, {1});
    return m.Kind == TMessageKind::Reply ? m.ByRefValues.value(0).toString() : QStringLiteral("failed: ") + m.Text;
}

// Sends a file for an external import; returns the error text and sets id.
QString CheckExternal(TWireClient& client, const QString& name, const QVariant& bytes, qint64& id)
{
    client.Call(kArchives, ar::UploadExternalFile, {name, bytes});
    const TMessage m = client.Call(kArchives, ar::CheckExternalImport, {name, QString(), 0}, {1, 2});
    id = m.ByRefValues.value(1).toLongLong();
    return m.Kind == TMessageKind::Reply ? m.ByRefValues.value(0).toString() : QStringLiteral("failed: ") + m.Text;
}

QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A small archive file written by the writer, for the format's own refusals.
QByteArray SmallArchive(const QString& dir)
{
    const QString path = dir + QStringLiteral("/small.tvz");
    {
        TArchiveWriter out(path);
        out.BeginTable(QStringLiteral("CALL"), {QStringLiteral("ID"), QStringLiteral("PHONE")});
        for (int i = 0; i < 100; ++i)
            out.AddRow(QVariantList{i, QStringLiteral("0888%1").arg(i)});
        out.Finish();
    }
    return FileBytes(path);
}

class TCollect : public TArchiveRowSink {
public:
    bool BeginTable(const QString& name, const QStringList& columns) override
    {
        Tables << name + QLatin1Char(':') + columns.join(QLatin1Char(','));
        return true;
    }
    void Row(const QVariantList& values) override { Rows << values; }
    QStringList Tables;
    QList<QVariantList> Rows;
};

}  // namespace

class TestServerArchives : public QObject, private TWireFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(StartFixture(TDatabase::TMode::ReadOnly, kDemoDay)); }
    void cleanup() { StopFixture(); }

    void fileRoundTrip()
    {
        QTemporaryDir dir;
        const QByteArray bytes = SmallArchive(dir.path());
        TCollect sink;
        const TArchiveFileInfo info = ReadArchive(bytes, QStringLiteral("small.tvz"), sink);
        QCOMPARE(sink.Tables, QStringList{QStringLiteral("CALL:ID,PHONE")});
        QCOMPARE(sink.Rows.size(), 100);
        QCOMPARE(sink.Rows.at(42), (QVariantList{qint64(42), QStringLiteral("088842")}));
        QCOMPARE(info.Size, bytes.size());
        QCOMPARE(info.Checksum.size(), 24);
    }

    void refusedFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTemporaryDir dir;
        const QByteArray good = SmallArchive(dir.path());
        QByteArray flipped = good;
        flipped[good.size() / 2] = char(flipped.at(good.size() / 2) ^ 0x20);
        QByteArray future = good;
        qToLittleEndian<quint32>(2, future.data() + 8);
        QByteArray zeroVersion = good;
        qToLittleEndian<quint32>(0, zeroVersion.data() + 8);
        QTest::newRow("empty") << QByteArray() << "is not a Telvane Control calls archive";
        QTest::newRow("foreign") << QByteArray("ID;PHONE\n1;0888\n") << "is not a Telvane Control calls archive";
        QTest::newRow("magic only") << good.left(8) << "is incomplete";
        QTest::newRow("cut in the body") << good.left(good.size() / 2) << "is incomplete";
        QTest::newRow("last byte missing") << good.left(good.size() - 1) << "is incomplete";
        QTest::newRow("a byte changed") << flipped << "its checksum does not match";
        QTest::newRow("one byte more") << good + 'x' << "is incomplete";
        QTest::newRow("newer format") << future << "made by a newer server (archive format 2)";
        QTest::newRow("format 0") << zeroVersion << "format version is 0";
    }
    void refusedFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        TCollect sink;
        try {
            ReadArchive(bytes, QStringLiteral("x.tvz"), sink);
            QFAIL("the file was read");
        } catch (const EArchiveError& e) {
            QVERIFY2(e.Message().contains(expected), qPrintable(e.Message()));
            QVERIFY2(e.Message().contains(QLatin1String("\"x.tvz\"")), qPrintable(e.Message()));
        }
        QVERIFY(sink.Rows.isEmpty());
        // The same refusal reaches a client that sends the file, and nothing is listed.
        const qint64 entries = CountDirect(server_->DatabasePath(), QStringLiteral("SELECT count(*) FROM ARCHIVE"));
        qint64 id = -1;
        const QString error = CheckExternal(*client_, QStringLiteral("x.tvz"), bytes, id);
        QVERIFY2(error.contains(expected), qPrintable(error));
        QCOMPARE(id, qint64(0));
        QCOMPARE(CountDirect(server_->DatabasePath(), QStringLiteral("SELECT count(*) FROM ARCHIVE")), entries);
    }

    void createImportClear()
    {
        const QString db = server_->DatabasePath();
        const TDirect before = RunDirect(db, kCallRows.arg(kMarch2));
        QVERIFY(before.Rows.size() > 50);
        const qint64 others = CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL")) - before.Rows.size();
        const TDirect sums = RunDirect(db, QStringLiteral("SELECT count(*), sum(DURATION), sum(PULSES), "
                                                          "round(sum(CHARGE), 2) FROM CALL WHERE ") + kMarch2);

        const QString created = Create(*client_, QStringLiteral("March 2"), QDate(2026, 3, 2), QDate(2026, 3, 3));
        QVERIFY2(created.contains(QLatin1String("created")), qPrintable(created));
        QCOMPARE(CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL WHERE ") + kMarch2), qint64(0));
        QCOMPARE(CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL")), others);
        const TDirect entry = RunDirect(db, QStringLiteral("SELECT ID, CALL_COUNT, DURATION, PULSES, round(CHARGE, 2), "
                                                           "FILE_SIZE, IMPORTED, FILTERS, length(CHECKSUM) FROM ARCHIVE"));
        QCOMPARE(entry.Rows.size(), 1);
        const qint64 id = entry.Rows.at(0).at(0).toLongLong();
        for (int i = 0; i < 4; ++i)
            QCOMPARE(entry.Rows.at(0).at(i + 1).toDouble(), sums.Rows.at(0).at(i).toDouble());
        QVERIFY(entry.Rows.at(0).at(6).isNull());
        QCOMPARE(entry.Rows.at(0).at(7).toString().split(QLatin1Char('\n')).size(), 19);
        QCOMPARE(entry.Rows.at(0).at(8).toInt(), 24);
        const QString file = TArchiveStore::DirectoryFor(db) + QStringLiteral("/archive-%1.tvz").arg(id);
        QCOMPARE(QFileInfo(file).size(), entry.Rows.at(0).at(5).toLongLong());
        // Compressed, the file is far smaller than the rows as text.
        QVERIFY(QFileInfo(file).size() < before.Rows.size() * 60);

        QCOMPARE(CheckImport(*client_, id), QString());
        const QString imported = RunJob(*client_, kArchives, ar::Import, {id});
        QVERIFY2(imported.contains(QLatin1String("imported")), qPrintable(imported));
        const TDirect back = RunDirect(db, kCallRows.arg(QStringLiteral("ARCHIVE_ID = %1").arg(id)));
        QCOMPARE(back.Rows, before.Rows);  // the same calls, under their own IDs
        QVERIFY2(CheckImport(*client_, id).contains(QLatin1String("has been imported already")),
                 qPrintable(CheckImport(*client_, id)));
        // A second import that skips the check is refused by the job, and adds nothing.
        const QString twice = RunJob(*client_, kArchives, ar::Import, {id});
        QVERIFY2(twice.contains(QLatin1String("imported already")), qPrintable(twice));
        QCOMPARE(CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL")), others + before.Rows.size());

        const QString cleared = RunJob(*client_, kArchives, ar::ClearImported, {id});
        QVERIFY2(cleared.contains(QLatin1String("cleared")), qPrintable(cleared));
        QCOMPARE(CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL")), others);
        QVERIFY(RunDirect(db, QStringLiteral("SELECT IMPORTED FROM ARCHIVE")).Rows.at(0).at(0).isNull());
        QCOMPARE(CheckImport(*client_, id), QString());  // it can come back again
        const QString notImported = RunJob(*client_, kArchives, ar::ClearImported, {id});
        QVERIFY2(notImported.contains(QLatin1String("has not been imported")), qPrintable(notImported));
    }

    void refusedCreations_data()
    {
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("end");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no calls") << "Future" << QDate(2027, 1, 1) << QDate(2027, 1, 2) << "There are no calls";
        QTest::newRow("blank comment") << "  \t" << QDate(2026, 3, 1) << QDate(2026, 3, 2) << "needs a comment";
        QTest::newRow("long comment") << QString(101, QLatin1Char('x')) << QDate(2026, 3, 1) << QDate(2026, 3, 2)
                                      << "at most 100";
    }
    void refusedCreations()
    {
        QFETCH(QString, comment);
        QFETCH(QDate, from);
        QFETCH(QDate, end);
        QFETCH(QString, expected);
        const QString db = server_->DatabasePath();
        const qint64 calls = CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL"));
        const QString outcome = Create(*client_, comment, from, end);
        QVERIFY2(outcome.contains(expected), qPrintable(outcome));
        QCOMPARE(CountDirect(db, QStringLiteral("SELECT count(*) FROM ARCHIVE")), qint64(0));
        QCOMPARE(CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL")), calls);
        QVERIFY(QDir(TArchiveStore::DirectoryFor(db)).entryList(QDir::Files).isEmpty());
    }

    void checkImportRefusals()
    {
        QVERIFY(CheckImport(*client_, 99).contains(QLatin1String("There is no archive No. 99")));
        QVERIFY(Create(*client_, QStringLiteral("Gone"), QDate(2026, 3, 4), QDate(2026, 3, 5)).contains(QLatin1String("created")));
        const QString dir = TArchiveStore::DirectoryFor(server_->DatabasePath());
        QVERIFY(QFile::remove(dir + QStringLiteral("/archive-1.tvz")));
        QVERIFY(CheckImport(*client_, 1).contains(QLatin1String("is missing")));
        QFile damaged(dir + QStringLiteral("/archive-1.tvz"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(SmallArchive(QDir::tempPath()));
        damaged.close();
        QVERIFY2(CheckImport(*client_, 1).contains(QLatin1String("checksum differs")), qPrintable(CheckImport(*client_, 1)));
    }

    void externalFromAnotherServer()
    {
        // The file of an archive made here, taken to a server with an empty database.
        QVERIFY(Create(*client_, QStringLiteral("Sent away"), QDate(2026, 3, 2), QDate(2026, 3, 3)).contains(QLatin1String("created")));
        const QByteArray bytes = FileBytes(TArchiveStore::DirectoryFor(server_->DatabasePath()) + QStringLiteral("/archive-1.tvz"));
        QVERIFY(!bytes.isEmpty());
        const qint64 archived = CountDirect(server_->DatabasePath(), QStringLiteral("SELECT CALL_COUNT FROM ARCHIVE"));

        TTestServer other;
        QVERIFY(other.Start());
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(other.Port()));
        qint64 id = 0;
        QVERIFY(CheckExternal(admin, QStringLiteral("missing.tvz"), QVariant(), id).contains(QLatin1String("does not exist")));
        QVERIFY(CheckExternal(admin, QStringLiteral("other.tvz"), bytes, id).isEmpty());
        QVERIFY(id > 0);
        const QString listedTwice = CheckExternal(admin, QStringLiteral("copy.tvz"), bytes, id);
        QVERIFY2(listedTwice.contains(QLatin1String("is listed already as No. 1 \"Sent away\"")), qPrintable(listedTwice));
        const QString imported = RunJob(admin, kArchives, ar::ImportExternal, {1, QStringLiteral("other.tvz")});
        QVERIFY2(imported.contains(QLatin1String("imported")), qPrintable(imported));
        const QString db = other.DatabasePath();
        QCOMPARE(CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL WHERE ARCHIVE_ID = 1")), archived);
        // The exchanges of the calls came along, marked as the archive's.
        QVERIFY(CountDirect(db, QStringLiteral("SELECT count(*) FROM PBX WHERE ARCHIVE_ID = 1")) > 0);
        QCOMPARE(CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL c LEFT JOIN PBX x ON x.ID = c.PBX_ID WHERE x.ID IS NULL")), qint64(0));
        QCOMPARE(RunDirect(db, QStringLiteral("SELECT COMMENT, CALL_COUNT FROM ARCHIVE")).Rows.at(0),
                 (QVariantList{QStringLiteral("Sent away"), archived}));
        const QString importedTwice = CheckExternal(admin, QStringLiteral("again.tvz"), bytes, id);
        QVERIFY2(importedTwice.contains(QLatin1String("has been imported already")), qPrintable(importedTwice));

        QVERIFY(RunJob(admin, kArchives, ar::ClearImported, {1}).contains(QLatin1String("cleared")));
        QCOMPARE(CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL")), qint64(0));
        QCOMPARE(CountDirect(db, QStringLiteral("SELECT count(*) FROM PBX")), qint64(0));
    }

    void archiveFromReportConditions()
    {
        const QString db = server_->DatabasePath();
        const qint64 ext101 = CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL WHERE EXT_CODE = '101' AND PBX_ID = 1"));
        const qint64 all = CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL"));
        QVERIFY(ext101 > 0);
        QStringList values(19);
        values[7] = QStringLiteral("101");
        QVariantList valueArray;
        for (const QString& v : values)
            valueArray << v;
        const QVariantList joins{true, false, false, false, false, false, false, false};
        const QString outcome = RunJob(*client_, QLatin1String(module::ReportRDM), dispid::ReportRDM::ArchiveCalls,
                                       {QStringLiteral("Ext 101"), valueArray, joins,
                                        QStringLiteral("|c.EXT_CODE = '101'||x.ID = 1|")});
        QVERIFY2(outcome.contains(QLatin1String("created")), qPrintable(outcome));
        QCOMPARE(CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL")), all - ext101);
        QCOMPARE(CountDirect(db, QStringLiteral("SELECT CALL_COUNT FROM ARCHIVE")), ext101);
        QCOMPARE(RunDirect(db, QStringLiteral("SELECT FILTERS FROM ARCHIVE")).Rows.at(0).at(0).toString().split(QLatin1Char('\n')).value(7),
                 QStringLiteral("101"));
    }

    void hostileConditionsRefused_data()
    {
        QTest::addColumn<QString>("conditions");
        QTest::newRow("second statement") << "1=1; DELETE FROM PBX";
        QTest::newRow("comment to the end") << "0=1) OR (1=1 --";
        QTest::newRow("open comment") << "0=1) OR (1=1 /*";
        QTest::newRow("passwords") << "c.ID IN (SELECT ACCOUNT FROM PASSWORDS)";
        QTest::newRow("writing function") << "c.ID = (SELECT load_extension('x'))";
    }
    void hostileConditionsRefused()
    {
        QFETCH(QString, conditions);
        const QString db = server_->DatabasePath();
        const qint64 all = CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL"));
        // Refused at once, or failing in the job: either way nothing is archived.
        const QString outcome = RunJob(*client_, QLatin1String(module::ReportRDM), dispid::ReportRDM::ArchiveCalls,
                                       {QStringLiteral("Bad"), QVariantList(), QVariantList(), conditions});
        QVERIFY2(!outcome.contains(QLatin1String("created")), qPrintable(outcome));
        QCOMPARE(CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL")), all);
        QCOMPARE(CountDirect(db, QStringLiteral("SELECT count(*) FROM ARCHIVE")), qint64(0));
    }

    void automaticArchiving()
    {
        const QString db = server_->DatabasePath();
        const qint64 march2 = CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL WHERE ") + kMarch2);
        // The next moment passed half a day ago; one day per archive, and the span kept
        // ends the next archive on March 3.
        const TDateTime next = Now() - 0.5;
        const double keep = next - DateTimeFromQDate(QDate(2026, 3, 3));
        const TMessage set =
            client_->Call(kArchives, ar::SetArchivingOptions, {true, 1.0, keep, VarFromDateTime(next)});
        QCOMPARE(set.Kind, TMessageKind::Reply);
        QVERIFY(client_->WaitUntil(
            [&] { return CountDirect(db, QStringLiteral("SELECT count(*) FROM LOG WHERE TEXT LIKE 'Automatic archiving%'")) > 0; },
            60000));
        QCOMPARE(RunDirect(db, QStringLiteral("SELECT COMMENT, CALL_COUNT FROM ARCHIVE")).Rows.value(0),
                 (QVariantList{QStringLiteral("Automatic archive 2026-03-02 00:00:00 - 2026-03-03 00:00:00"), march2}));
        QCOMPARE(CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL WHERE ") + kMarch2), qint64(0));
        // The next moment is the first one still to come, and the rest of the group stays.
        QVERIFY(client_->WaitUntil([&] {
            const TMessage g = client_->Call(kArchives, ar::GetArchivingOptions, {false, 0.0, 0.0, 0.0}, {0, 1, 2, 3});
            return qAbs(VarToDateTime(g.ByRefValues.value(3)) - (next + 1)) < 1e-6;
        }));
        const TMessage get = client_->Call(kArchives, ar::GetArchivingOptions, {false, 0.0, 0.0, 0.0}, {0, 1, 2, 3});
        QCOMPARE(get.ByRefValues.value(0), QVariant(true));
        QCOMPARE(get.ByRefValues.value(1).toDouble(), 1.0);
        QCOMPARE(get.ByRefValues.value(2).toDouble(), keep);
    }

    void archivingOptionsRefused_data()
    {
        QTest::addColumn<double>("period");
        QTest::addColumn<double>("keep");
        QTest::newRow("no period") << 0.0 << 1.0;
        QTest::newRow("negative keep") << 1.0 << -1.0;
        QTest::newRow("endless period") << qInf() << 1.0;
    }
    void archivingOptionsRefused()
    {
        QFETCH(double, period);
        QFETCH(double, keep);
        const TMessage bad =
            client_->Call(kArchives, ar::SetArchivingOptions, {true, period, keep, VarFromDateTime(Now() + 1)});
        QCOMPARE(bad.Kind, TMessageKind::Error);
        QCOMPARE(CountDirect(server_->DatabasePath(), QStringLiteral("SELECT count(*) FROM SETTINGS WHERE NAME LIKE 'archive%'")),
                 qint64(0));
    }
};

QTEST_GUILESS_MAIN(TestServerArchives)
#include "tst_server_archives.moc"
