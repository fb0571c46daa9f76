// scripts/install-deps with apt-get (and sudo) replaced by stand-ins that record how they
// were called: it decides from dpkg alone, stays silent and away from apt when everything
// is installed, and installs exactly what is missing otherwise. One case asks the real
// dpkg of this machine, on which the suite was built through that script: a second run
// there must be a no-op, which also proves that every listed name is a real package.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString Script()
{
    return qEnvironmentVariable("TELVANE_SOURCE_DIR") + QStringLiteral("/scripts/install-deps");
}

// A directory of stand-in programs put first on PATH.
class TStubs {
public:
    TStubs()
    {
        // Every call of apt-get is one line of the log; the answer is STUB_APT_STATUS.
        Write(QStringLiteral("apt-get"),
              "echo \"apt-get $*\" >>\"$STUB_LOG\"\nexit \"${STUB_APT_STATUS:-0}\"\n");
        Write(QStringLiteral("sudo"), "echo \"sudo\" >>\"$STUB_LOG\"\nexec \"$@\"\n");
    }

    // dpkg-query answering "NAME STATE" for every package asked about: the state given in
    // STUB_STATES ("NAME=STATE ...", default installed); "unknown" makes it complain as for
    // a package it has never heard of.
    void StubDpkg()
    {
        Write(QStringLiteral("dpkg-query"),
              "rc=0\n"
              "for a in \"$@\"; do\n"
              "  case \"$a\" in -*) continue ;; esac\n"
              "  state=installed\n"
              "  for s in $STUB_STATES; do [ \"${s%%=*}\" = \"$a\" ] && state=${s#*=}; done\n"
              "  if [ \"$state\" = unknown ]; then\n"
              "    echo \"dpkg-query: no packages found matching $a\" >&2; rc=1\n"
              "  else\n"
              "    echo \"$a $state\"\n"
              "  fi\n"
              "done\n"
              "exit $rc\n");
    }

    // Runs the script; its output and the stand-ins' log.
    int Run(const QString& states, int aptStatus, QString& output, QStringList& calls)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"),
                   dir_.path() + QLatin1Char(':') + env.value(QStringLiteral("PATH")));
        env.insert(QStringLiteral("STUB_LOG"), LogPath());
        env.insert(QStringLiteral("STUB_STATES"), states);
        env.insert(QStringLiteral("STUB_APT_STATUS"), QString::number(aptStatus));
        QProcess p;
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("bash"), {Script()});
        if (!p.waitForFinished(60000))
            return -1;
        output = QString::fromUtf8(p.readAll());
        QFile log(LogPath());
        calls.clear();
        if (log.open(QIODevice::ReadOnly))
            calls = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        calls.removeAll(QStringLiteral("sudo"));  // present only when the suite runs unprivileged
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

private:
    QString LogPath() const { return dir_.path() + QStringLiteral("/calls.log"); }
    void Write(const QString& name, const char* body)
    {
        QFile f(dir_.path() + QLatin1Char('/') + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("#!/usr/bin/env bash\n") + body);
        f.close();
        QVERIFY(f.setPermissions(f.permissions() | QFileDevice::ExeOwner));
    }

    QTemporaryDir dir_;
};

QStringList Lines(const QString& output)
{
    return output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

}  // namespace

class TestInstallDeps : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The machine the suite runs on was set up by this very script (scripts/run-tests,
    // scripts/build): running it again must not reach apt at all.
    void secondRunIsANoOp()
    {
        TStubs stubs;
        QString output;
        QStringList calls;
        QCOMPARE(stubs.Run(QString(), 0, output, calls), 0);
        QVERIFY2(calls.isEmpty(),
                 qPrintable(QStringLiteral("apt was called: ") + calls.join(QLatin1String("; "))));
        QVERIFY2(Lines(output).size() <= 1, qPrintable(output));
    }

    void installsWhatIsMissing_data()
    {
        QTest::addColumn<QString>("states");
        QTest::addColumn<QString>("installed");  // the packages of the one install call; empty: none
        QTest::newRow("everything installed") << ""
                                              << "";
        QTest::newRow("one not installed") << "qt6-svg-dev=not-installed"
                                           << "qt6-svg-dev";
        QTest::newRow("never heard of") << "xdotool=unknown"
                                        << "xdotool";
        // Removed with its configuration kept, or half done: not usable.
        QTest::newRow("configuration files only") << "cmake=config-files"
                                                  << "cmake";
        QTest::newRow("half installed") << "sqlite3=half-installed"
                                        << "sqlite3";
        QTest::newRow("two missing, in list order") << "xvfb=not-installed qt6-base-dev=unknown"
                                                    << "qt6-base-dev xvfb";
    }
    void installsWhatIsMissing()
    {
        QFETCH(QString, states);
        QFETCH(QString, installed);
        TStubs stubs;
        stubs.StubDpkg();
        QString output;
        QStringList calls;
        QCOMPARE(stubs.Run(states, 0, output, calls), 0);
        if (installed.isEmpty()) {
            QCOMPARE(calls, QStringList{});
            QCOMPARE(Lines(output).size(), 1);
            return;
        }
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls.at(0), QStringLiteral("apt-get update -qq"));
        QCOMPARE(calls.at(1), QStringLiteral("apt-get install -y -qq --no-install-recommends ") + installed);
        QVERIFY2(output.contains(QStringLiteral("installing ") + installed), qPrintable(output));
    }

    // A failed installation fails the script, so that the build does not go on without it.
    void failedInstallationFails()
    {
        TStubs stubs;
        stubs.StubDpkg();
        QString output;
        QStringList calls;
        QCOMPARE(stubs.Run(QStringLiteral("cmake=not-installed"), 100, output, calls), 100);
        QCOMPARE(calls, QStringList{QStringLiteral("apt-get update -qq")});
    }
};

QTEST_GUILESS_MAIN(TestInstallDeps)
#include "tst_install_deps.moc"
