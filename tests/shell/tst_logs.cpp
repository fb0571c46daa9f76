#include "shell/base/AppDirs.h"
#include "shell/base/ClientLogs.h"
#include "core/Errors.h"
#include "shell/base/IniFiles32.h"
#include "shell/base/Log.h"
#include "shell/base/ProcessLife.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Stamp = QStringLiteral("\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}");
const QString BugHint = QStringLiteral("This may be a bug - please report exact steps to reproduce.");

QStringList FileLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("<missing>")};
    const QString text = QString::fromUtf8(file.readAll());
    if (!text.endsWith(QLatin1String("\r\n")))
        return {QStringLiteral("<no final CR LF>"), text};
    return text.chopped(2).split(QStringLiteral("\r\n"));
}

// Compares lines with patterns in which "STAMP" stands for a time stamp.
void CompareLines(const QStringList& lines, const QStringList& patterns)
{
    QCOMPARE(lines.size(), patterns.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(
            QString(patterns[i]).replace(QStringLiteral("STAMP"), Stamp)));
        QVERIFY2(pattern.match(lines[i]).hasMatch(),
                 qPrintable(lines[i] + QStringLiteral(" !~ ") + patterns[i]));
    }
}

void MakeFile(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

}  // namespace

class TestLogs : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    int round_ = 0;
    // A fresh logs directory for every test, not created yet.
    QString logsDir_;

private Q_SLOTS:
    void init() { logsDir_ = dir_.filePath(QStringLiteral("app%1/logs/").arg(++round_)); }

    void newInstallationCreatesTheDirectory()
    {
        TClientLogs logs(logsDir_);
        QVERIFY(!QDir(logsDir_).exists());
        logs.Application().Add(QStringLiteral("Starting..."), 1);
        QVERIFY(QDir(logsDir_).exists());
        CompareLines(FileLines(logsDir_ + QStringLiteral("application.log")),
                     {QStringLiteral("STAMP Log created"), QStringLiteral("STAMP 1: Starting\\.\\.\\.")});
    }

    void twoEntriesTwoLines()
    {
        TClientLogs logs(logsDir_);
        logs.Reports().Add(QStringLiteral("one"), 2);
        logs.Reports().Add(QStringLiteral("two\r\nlines"), 3);
        CompareLines(FileLines(logsDir_ + QStringLiteral("reports.log")),
                     {QStringLiteral("STAMP Log created"), QStringLiteral("STAMP 2: one"),
                      QStringLiteral("STAMP 3: two"), QStringLiteral("lines")});
    }

    void liveLog_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("toLiveLog");
        QTest::addColumn<QStringList>("live");
        const QString withHint = QStringLiteral("text\n") + BugHint;
        QTest::newRow("level 4 always, with the hint") << 4 << false << QStringList{withHint};
        QTest::newRow("level 4 asked for, still once") << 4 << true << QStringList{withHint};
        QTest::newRow("level 3 not asked for: file only") << 3 << false << QStringList{};
        QTest::newRow("level 3 asked for") << 3 << true << QStringList{QStringLiteral("text")};
        QTest::newRow("level 2 asked for") << 2 << true << QStringList{QStringLiteral("text")};
        QTest::newRow("level 1 not asked for") << 1 << false << QStringList{};
    }
    void liveLog()
    {
        QFETCH(int, level);
        QFETCH(bool, toLiveLog);
        QFETCH(QStringList, live);
        TClientLogs logs(logsDir_);
        QStringList received;
        logs.SetLiveLogHook([&received](const QString& text) { received.append(text); });
        logs.Application().Add(QStringLiteral("text"), static_cast<quint8>(level), toLiveLog);
        QCOMPARE(received, live);
        CompareLines(FileLines(logsDir_ + QStringLiteral("application.log")),
                     {QStringLiteral("STAMP Log created"), QStringLiteral("STAMP %1: text").arg(level)});
    }

    void liveLogWithoutHookStaysInTheFile()
    {
        TClientLogs logs(logsDir_);
        logs.Application().Add(QStringLiteral("internal"), 4, true);
        CompareLines(FileLines(logsDir_ + QStringLiteral("application.log")),
                     {QStringLiteral("STAMP Log created"), QStringLiteral("STAMP 4: internal")});
    }

    // A file that cannot be created or opened loses the entry; the next entry that can be
    // written begins with the failure between "***".
    void failureReportedWithTheNextEntry_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("operation");
        QTest::newRow("file taken by a directory") << "directory"
                                                   << "Error opening file";
        QTest::newRow("directory path blocked by a file") << "component"
                                                          << "Error creating file";
    }
    void failureReportedWithTheNextEntry()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, operation);
        const QString blocker = obstacle == QLatin1String("directory")
                                    ? logsDir_ + QStringLiteral("receiver.log")
                                    : QDir::cleanPath(logsDir_ + QStringLiteral(".."));
        const QString fileName = logsDir_ + QStringLiteral("receiver.log");
        if (obstacle == QLatin1String("directory")) {
            QVERIFY(QDir().mkpath(blocker));
        } else {
            QVERIFY(QDir().mkpath(QDir::cleanPath(blocker + QStringLiteral("/.."))));
            MakeFile(blocker);
        }
        TLog log(fileName, true);
        QVERIFY(!log.Write(QStringLiteral("lost entry"), true));
        QVERIFY2(log.PendingError().startsWith(operation + QLatin1Char(' ') + fileName + QLatin1Char(' ')),
                 qPrintable(log.PendingError()));
        QVERIFY(log.PendingError().size() > operation.size() + fileName.size() + 2);

        if (obstacle == QLatin1String("directory"))
            QVERIFY(QDir(blocker).removeRecursively());
        else
            QVERIFY(QFile::remove(blocker));
        QVERIFY(log.Write(QStringLiteral("3: next"), true));
        QVERIFY(log.PendingError().isEmpty());
        CompareLines(FileLines(fileName), {QStringLiteral("STAMP Log created"),
                                           QStringLiteral("\\*\\*\\*") +
                                               QRegularExpression::escape(operation + QLatin1Char(' ') +
                                                                          fileName + QLatin1Char(' ')) +
                                               QStringLiteral("[^*]+\\*\\*\\*STAMP 3: next")});
        QVERIFY(log.Write(QStringLiteral("3: after"), true));
        const QStringList lines = FileLines(fileName);
        QCOMPARE(lines.size(), 3);
        CompareLines({lines[2]}, {QStringLiteral("STAMP 3: after")});
    }

    void newerFailureReplacesTheOlder()
    {
        const QString fileName = logsDir_ + QStringLiteral("archives.log");
        const QString appDir = QDir::cleanPath(logsDir_ + QStringLiteral(".."));
        QVERIFY(QDir().mkpath(QDir::cleanPath(appDir + QStringLiteral("/.."))));
        MakeFile(appDir);
        TLog log(fileName, true);
        QVERIFY(!log.Write(QStringLiteral("lost one"), true));
        QVERIFY(log.PendingError().startsWith(QLatin1String("Error creating file ")));
        QVERIFY(QFile::remove(appDir));
        QVERIFY(QDir().mkpath(fileName));
        QVERIFY(!log.Write(QStringLiteral("lost two"), true));
        QVERIFY(log.PendingError().startsWith(QLatin1String("Error opening file ")));
        QVERIFY(QDir(fileName).removeRecursively());
        QVERIFY(log.Write(QStringLiteral("found"), true));
        const QStringList lines = FileLines(fileName);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[1].startsWith(QLatin1String("***Error opening file ")), qPrintable(lines[1]));
        QCOMPARE(lines[1].count(QLatin1String("***")), 2);
    }

    void failedTextWriteRaises()
    {
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("needs /dev/full to fill a disk");
        TLog log(QStringLiteral("/dev/full"), true);
        QVERIFY_THROWS_EXCEPTION(EInOutError, log.Write(QStringLiteral("disk full"), true));
    }

    void timeStampsSwitchedOff()
    {
        TClientLogs logs(logsDir_);
        TLog& log = logs.Application().Log();
        logs.Application().Add(QStringLiteral("error"), 3);
        log.SetTimeStamps(false);
        QVERIFY(log.Write(QStringLiteral("EInOutError TClientMainForm frmMain 0040ABCD"), true));
        log.SetTimeStamps(true);
        logs.Application().Add(QStringLiteral("later"), 2);
        CompareLines(FileLines(log.FileName()),
                     {QStringLiteral("STAMP Log created"), QStringLiteral("STAMP 3: error"),
                      QStringLiteral("EInOutError TClientMainForm frmMain 0040ABCD"),
                      QStringLiteral("STAMP 2: later")});
    }

    void stampOnlyAtLineStart()
    {
        TLog log(logsDir_ + QStringLiteral("pieces.log"), true);
        QVERIFY(log.Write(QStringLiteral("a"), false));
        QVERIFY(log.Write(QStringLiteral("b"), true));
        QVERIFY(log.Write(QStringLiteral("c"), true));
        CompareLines(FileLines(log.FileName()), {QStringLiteral("STAMP Log created"),
                                                 QStringLiteral("STAMP ab"), QStringLiteral("STAMP c")});
    }

    void logsCreatedOnFirstUse()
    {
        TClientLogs logs(logsDir_);
        QCOMPARE(logs.Names(), (QStringList{QStringLiteral("application"), QStringLiteral("reports")}));
        QCOMPARE(&logs.GetLog(QStringLiteral("application")), &logs.Application());
        QCOMPARE(&logs.GetLog(QStringLiteral("reports")), &logs.Reports());
        logs.Application().Add(QStringLiteral("x"), 1);
        QVERIFY(!QFile::exists(logsDir_ + QStringLiteral("receiver.log")));
        QVERIFY(!QFile::exists(logsDir_ + QStringLiteral("archives.log")));
        TClientLog& receiver = logs.GetLog(QStringLiteral("receiver"));
        QCOMPARE(&logs.GetLog(QStringLiteral("receiver")), &receiver);
        QCOMPARE(receiver.Name(), QStringLiteral("receiver"));
        receiver.Add(QStringLiteral("Receiver stopped."), 3);
        QVERIFY(QFile::exists(logsDir_ + QStringLiteral("receiver.log")));
        QVERIFY(!QFile::exists(logsDir_ + QStringLiteral("archives.log")));
        logs.GetLog(QStringLiteral("archives")).Add(QStringLiteral("Import failed."), 3);
        QVERIFY(QFile::exists(logsDir_ + QStringLiteral("archives.log")));
        QCOMPARE(logs.Names(), (QStringList{QStringLiteral("application"), QStringLiteral("archives"),
                                            QStringLiteral("receiver"), QStringLiteral("reports")}));
    }

    void appDirs_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("appDir");
        QTest::addColumn<QString>("settings");
        QTest::newRow("no extension") << "/opt/telvane/bin/telvane-client"
                                      << "/opt/telvane/bin/"
                                      << "/opt/telvane/bin/telvane-client.ini";
        QTest::newRow("extension replaced") << "/opt/tv/TelvaneControl.exe"
                                            << "/opt/tv/"
                                            << "/opt/tv/TelvaneControl.ini";
        QTest::newRow("only the last extension") << "/opt/tv/telvane.client.bin"
                                                 << "/opt/tv/"
                                                 << "/opt/tv/telvane.client.ini";
        QTest::newRow("dotted directory") << "/opt/tv.3/client"
                                          << "/opt/tv.3/"
                                          << "/opt/tv.3/client.ini";
        QTest::newRow("untidy path") << "/opt//tv/./x/../client"
                                     << "/opt/tv/"
                                     << "/opt/tv/client.ini";
        QTest::newRow("root directory") << "/client"
                                        << "/"
                                        << "/client.ini";
        QTest::newRow("relative path")
            << "bin/client" << QDir::currentPath() + "/bin/" << QDir::currentPath() + "/bin/client.ini";
    }
    void appDirs()
    {
        QFETCH(QString, program);
        QFETCH(QString, appDir);
        QFETCH(QString, settings);
        const TAppDirs dirs = TAppDirs::FromProgramPath(program);
        QCOMPARE(dirs.AppDir, appDir);
        QCOMPARE(dirs.ArchivesDir, appDir + "archives/");
        QCOMPARE(dirs.ImagesDir, appDir + "images/");
        QCOMPARE(dirs.HelpDir, appDir + "help/");
        QCOMPARE(dirs.LogsDir, appDir + "logs/");
        QCOMPARE(dirs.HelpFile, appDir + "help/TelvaneControl.html");
        QCOMPARE(dirs.SettingsFile, settings);
    }

    void processStartAndEnd()
    {
        const QString bin = dir_.filePath(QStringLiteral("installed/bin/"));
        StartProcessCore(bin + QStringLiteral("telvane-client"));
        QCOMPARE(AppDir(), bin);
        QCOMPARE(LogsDir(), bin + QStringLiteral("logs/"));
        QCOMPARE(SettingsFile().FileName(), bin + QStringLiteral("telvane-client.ini"));
        QStringList live;
        ClientLogs().SetLiveLogHook([&live](const QString& text) { live.append(text); });
        ClientLogs().Reports().Add(QStringLiteral("Report failed."), 3, true);
        QCOMPARE(live, QStringList{QStringLiteral("Report failed.")});
        EndProcessCore();
        QVERIFY(!HasSettingsFile());
        QVERIFY(!HasClientLogs());
        QVERIFY(AppDir().isEmpty());
        QVERIFY(LogsDir().isEmpty());
        QVERIFY(HelpFile().isEmpty());
        QVERIFY(SettingsFileName().isEmpty());
        CompareLines(FileLines(bin + QStringLiteral("logs/application.log")),
                     {QStringLiteral("STAMP Log created"), QStringLiteral("STAMP 1: Starting\\.\\.\\."),
                      QStringLiteral("STAMP 1: Shutdown complete\\.")});
    }
};

QTEST_GUILESS_MAIN(TestLogs)
#include "tst_logs.moc"
