// An archive of 1,000,000 calls: creating it (the calls written to the compressed file and
// deleted from the database) and importing it back, beside the sqlite3 shell dumping the
// same rows as tab-separated text to a file; the archive's size per call beside the TSV's.
//
//   bench_archive [rows]      (default 1000000)
//
// Ends with: archive: create_ratio=X import_ratio=Y bytes_per_call=Z
// (the ratios are the archive's elapsed times over the dump's; the target is at most 2, and a
// file smaller than the TSV). The processor seconds of the three are printed too: on a busy
// machine they compare the work better than the elapsed times.

#include "common/CallServerRun.h"
#include "core/DateTime.h"
#include "server/ArchiveStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

namespace {

// The seconds the sqlite3 shell takes to write every call as TSV to the file; -1 on failure.
double DumpSeconds(const QString& db, const QString& file)
{
    QProcess shell;
    shell.setStandardOutputFile(file);
    QElapsedTimer t;
    t.start();
    shell.start(QStringLiteral("sqlite3"),
                {QStringLiteral("-separator"), QStringLiteral("\t"), db, QStringLiteral("select * from CALL")});
    if (!shell.waitForFinished(-1) || shell.exitCode() != 0)
        return -1;
    return t.nsecsElapsed() / 1e9;
}

// Processor seconds (user and system) of this process, or of its ended children.
double CpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 rows = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/bench.db");
    std::printf("bench_archive: %lld calls\n", static_cast<long long>(rows));
    FillCalls(path, rows);

    const QString tsv = dir.path() + QStringLiteral("/calls.tsv");
    const double dump = DumpSeconds(path, tsv);
    const double dumpCpu = CpuSeconds(RUSAGE_CHILDREN);
    if (dump < 0) {
        std::printf("the sqlite3 shell failed\n");
        return 1;
    }
    const qint64 tsvBytes = QFileInfo(tsv).size();

    TDatabase db(path, TDatabase::TMode::ReadWrite);
    TArchiveStore::TuneConnection(db);  // as the server's archive jobs run
    TArchiveStore store(db, TArchiveStore::DirectoryFor(path));
    QElapsedTimer t;
    t.start();
    double cpu = CpuSeconds(RUSAGE_SELF);
    const TArchiveResult created = store.Create(
        QStringLiteral("Benchmark"), PeriodSelection(EncodeDateTime(2000, 1, 1), EncodeDateTime(3000, 1, 1)));
    const double create = t.nsecsElapsed() / 1e9;
    const double createCpu = CpuSeconds(RUSAGE_SELF) - cpu;
    const qint64 fileBytes = QFileInfo(store.FilePath(created.Id)).size();
    const qint64 left = db.Scalar(QStringLiteral("SELECT count(*) FROM CALL")).toLongLong();

    t.restart();
    cpu = CpuSeconds(RUSAGE_SELF);
    const TArchiveResult imported = store.Import(created.Id);
    const double import = t.nsecsElapsed() / 1e9;
    const double importCpu = CpuSeconds(RUSAGE_SELF) - cpu;

    std::printf("  sqlite3 shell, every call as TSV to a file   %8.2f s   %8.1f bytes/call\n", dump,
                double(tsvBytes) / rows);
    std::printf("  create archive (write, flush, delete calls)  %8.2f s   %8.1f bytes/call   %lld archived, "
                "%lld left\n",
                create, double(fileBytes) / rows, static_cast<long long>(created.Calls), static_cast<long long>(left));
    std::printf("  import archive                               %8.2f s   %lld calls back\n", import,
                static_cast<long long>(imported.Calls));
    std::printf("  processor seconds: dump %.2f, create %.2f, import %.2f\n", dumpCpu, createCpu, importCpu);
    std::printf("  archive file / TSV size                      %8.3f\n", double(fileBytes) / tsvBytes);
    std::printf("archive: create_ratio=%.2f import_ratio=%.2f bytes_per_call=%.1f\n", create / dump, import / dump,
                double(fileBytes) / rows);
    return created.Calls == rows && imported.Calls == rows && left == 0 ? 0 : 1;
}
