// The source tree keeps its layers visible: every quoted include names its folder, and no
// unit includes a layer above its own. The order, lowest first, is core, remote, shell/base,
// calls, schema, widgets, printing, shell, reportconfig, reports, admin, archives, logs,
// options; the server and the exchange simulator stand on the non-visual layers only.

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace {

const QStringList LayerOrder = {"core",    "remote",       "shell/base", "calls",   "schema",
                                "widgets", "printing",     "shell",      "reportconfig",
                                "reports", "admin",        "archives",   "logs",    "options"};

// The layer of a path relative to src/ ("shell/base/Log.h" -> "shell/base"), or "" for a
// path outside the layered folders.
QString LayerOf(const QString& path) {
    const QStringList parts = path.split('/');
    if (parts.size() > 2 && parts[0] == "shell" && parts[1] == "base") return "shell/base";
    if (parts.size() > 1 && LayerOrder.contains(parts[0])) return parts[0];
    return {};
}

// The highest layer a file of the tree may include, by the file's own path relative to the
// source root; "" for files the rule does not cover (tests, benchmarks).
QString CeilingOf(const QString& file) {
    if (file.startsWith("src/")) return LayerOf(file.mid(4));
    if (file.startsWith("server/") || file.startsWith("tools/")) return "schema";
    return {};
}

// Why an include breaks the rules, or an empty text when it keeps them.
QString Violation(const QString& file, const QString& include) {
    if (include.endsWith(".moc") || include.startsWith("ui_")) return {};
    if (!include.contains('/')) return "does not name its folder";
    const QString ceiling = CeilingOf(file);
    const QString target = LayerOf(include);
    if (ceiling.isEmpty() || target.isEmpty()) return {};
    if (LayerOrder.indexOf(target) > LayerOrder.indexOf(ceiling))
        return QString("reaches %1, above %2").arg(target, ceiling);
    return {};
}

}  // namespace

class TestLayers : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void violation_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("include");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("same folder, named") << "src/remote/Field.cpp" << "remote/Field.h" << true;
        QTest::newRow("bare name") << "src/remote/Field.cpp" << "Field.h" << false;
        QTest::newRow("below") << "src/calls/DMReport.cpp" << "shell/base/ClientLogs.h" << true;
        QTest::newRow("window layer from calls")
            << "src/calls/DMReport.cpp" << "shell/FormClientMain.h" << false;
        QTest::newRow("base reaching the shell")
            << "src/shell/base/Log.cpp" << "shell/AccessLevel.h" << false;
        QTest::newRow("shell using its base") << "src/shell/AccessLevel.cpp" << "shell/base/Log.h" << true;
        QTest::newRow("server on schema") << "server/Receiver.cpp" << "schema/CallString.h" << true;
        QTest::newRow("server on widgets")
            << "server/modules/Main.cpp" << "widgets/MessageBoxes.h" << false;
        QTest::newRow("server on its own") << "server/Server.cpp" << "server/Database.h" << true;
        QTest::newRow("options above reports") << "src/options/DlgOptions.cpp" << "reports/X.h" << true;
        QTest::newRow("reports above options") << "src/reports/X.cpp" << "options/DlgOptions.h" << false;
        QTest::newRow("moc file") << "tests/core/tst_core.cpp" << "tst_core.moc" << true;
    }
    void violation() {
        QFETCH(QString, file);
        QFETCH(QString, include);
        QFETCH(bool, allowed);
        QCOMPARE(Violation(file, include).isEmpty(), allowed);
    }

    // Every source file of the tree against the rules.
    void tree() {
        const QString root = qEnvironmentVariable("TELVANE_SOURCE_DIR");
        QVERIFY2(!root.isEmpty(), "TELVANE_SOURCE_DIR is not set");
        static const QRegularExpression includeLine("^\\s*#\\s*include\\s+\"([^\"]+)\"",
                                                    QRegularExpression::MultilineOption);
        QStringList faults;
        int files = 0;
        for (const QString folder : {"src", "server", "tools", "tests", "bench"}) {
            QDirIterator it(root + '/' + folder, {"*.h", "*.cpp"}, QDir::Files,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                const QString file = path.mid(root.size() + 1);
                QFile f(path);
                QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(path));
                const QString text = QString::fromUtf8(f.readAll());
                ++files;
                auto matches = includeLine.globalMatch(text);
                while (matches.hasNext()) {
                    const QString include = matches.next().captured(1);
                    const QString why = Violation(file, include);
                    if (!why.isEmpty()) faults << QString("%1: \"%2\" %3").arg(file, include, why);
                }
            }
        }
        QVERIFY(files > 100);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }
};

QTEST_APPLESS_MAIN(TestLayers)
#include "tst_layers.moc"
