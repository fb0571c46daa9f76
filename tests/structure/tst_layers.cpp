// The source tree keeps its layers visible: every quoted include names its folder, and no
// unit includes a layer above its own. The order, lowest first, is core, remote, shell/base,
// calls, schema, widgets, printing, shell, reportconfig, reports, admin, archives, logs,
// options; the server and the exchange simulator stand on the non-visual layers only. The
// program's entry and the unit that binds the main window's actions to the windows stand
// above every layer, and the shell's units include each other in one direction. Call numbers
// and provider names are typed only in the table of the server's interface.

#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <functional>

namespace {

const QStringList LayerOrder = {"core",    "remote",       "shell/base", "calls",   "schema",
                                "widgets", "printing",     "shell",      "reportconfig",
                                "reports", "admin",        "archives",   "logs",    "options"};

// The program's entry and the one unit that knows every window: above every layer.
const QStringList TopFiles = {"src/shell/TelvaneClient.cpp", "src/shell/ChildWindows.h",
                              "src/shell/ChildWindows.cpp"};

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
    if (TopFiles.contains(file)) return LayerOrder.last();
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

// The unit of a file: its path without the extension, so a header and its source are one.
QString UnitOf(const QString& file) { return file.left(file.lastIndexOf('.')); }

// One circle of units that include each other ("a -> b -> a"), or an empty text. includes
// maps each file to the files it includes, all relative to the same root.
QString CircleOf(const QMap<QString, QStringList>& includes) {
    QMap<QString, QSet<QString>> uses;
    for (auto it = includes.begin(); it != includes.end(); ++it)
        for (const QString& target : it.value())
            if (UnitOf(target) != UnitOf(it.key())) uses[UnitOf(it.key())].insert(UnitOf(target));
    // Depth first; a unit met again while still on the path closes a circle.
    QSet<QString> done;
    QStringList path;
    std::function<QString(const QString&)> visit = [&](const QString& unit) -> QString {
        if (done.contains(unit)) return {};
        if (const qsizetype at = path.indexOf(unit); at >= 0)
            return (path.mid(at) << unit).join(" -> ");
        path.append(unit);
        QStringList next(uses.value(unit).begin(), uses.value(unit).end());
        next.sort();
        for (const QString& used : next)
            if (const QString circle = visit(used); !circle.isEmpty()) return circle;
        path.removeLast();
        done.insert(unit);
        return {};
    };
    for (const QString& unit : uses.keys())
        if (const QString circle = visit(unit); !circle.isEmpty()) return circle;
    return {};
}

// The quoted includes of a source text.
QStringList IncludesIn(const QString& text) {
    static const QRegularExpression includeLine("^\\s*#\\s*include\\s+\"([^\"]+)\"",
                                                QRegularExpression::MultilineOption);
    QStringList includes;
    auto matches = includeLine.globalMatch(text);
    while (matches.hasNext()) includes.append(matches.next().captured(1));
    return includes;
}

// The quoted includes of the source files under a folder, by file, both relative to the
// root; an unreadable file has none.
QMap<QString, QStringList> IncludesUnder(const QString& root, const QString& folder) {
    QMap<QString, QStringList> includes;
    QDirIterator it(root + '/' + folder, {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        includes[path.mid(root.size() + 1)] =
            f.open(QIODevice::ReadOnly) ? IncludesIn(QString::fromUtf8(f.readAll())) : QStringList();
    }
    return includes;
}

// ---- the table of the server's interface ---------------------------------------------

// Where the server's call numbers and provider names are typed: the shared table and the
// callback interfaces it includes.
const QStringList ProtocolTable = {"src/remote/ServerInterface.h", "src/remote/CallbackInterfaces.h"};

// A source text with its comments and the contents of its string and character literals
// blanked (line breaks kept), and its string literals apart.
struct TScanned {
    QString Code;
    QList<QPair<qsizetype, QString>> Strings;  // offset of the literal, its contents
};

bool IsIdentifierChar(QChar c) { return c.isLetterOrNumber() || c == '_'; }

TScanned Scan(const QString& text) {
    TScanned out{text, {}};
    const qsizetype n = text.size();
    auto blank = [&](qsizetype from, qsizetype to) {
        for (qsizetype k = from; k < qMin(to, n); ++k)
            if (out.Code[k] != '\n') out.Code[k] = ' ';
    };
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        const QChar next = i + 1 < n ? text[i + 1] : QChar();
        const QChar before = i > 0 ? text[i - 1] : QChar();
        if (c == '/' && next == '/') {
            qsizetype end = text.indexOf('\n', i);
            if (end < 0) end = n;
            blank(i, end);
            i = end;
        } else if (c == '/' && next == '*') {
            const qsizetype close = text.indexOf("*/", i + 2);
            const qsizetype end = close < 0 ? n : close + 2;
            blank(i, end);
            i = end;
        } else if (c == 'R' && next == '"' && !IsIdentifierChar(before)) {
            const qsizetype open = text.indexOf('(', i + 2);
            if (open < 0) break;
            const QString closing = ')' + text.mid(i + 2, open - i - 2) + '"';
            qsizetype close = text.indexOf(closing, open);
            if (close < 0) close = n;
            out.Strings.append({i, text.mid(open + 1, close - open - 1)});
            blank(open + 1, close);
            i = close + closing.size();
        } else if (c == '\'' && before.isDigit() && next.isLetterOrNumber()) {
            ++i;  // a digit separator
        } else if (c == '"' || c == '\'') {
            qsizetype end = i + 1;
            while (end < n && text[end] != c && text[end] != '\n') end += text[end] == '\\' ? 2 : 1;
            if (c == '"') out.Strings.append({i, text.mid(i + 1, end - i - 1)});
            blank(i + 1, end);
            i = end + 1;
        } else {
            ++i;
        }
    }
    return out;
}

// The call numbers and provider names a file of src/ or server/ types outside the table,
// each as "line N: what"; tests may type them where they test the wire itself.
QStringList TypedProtocolNames(const QString& file, const QString& text) {
    if (!(file.startsWith("src/") || file.startsWith("server/")) || ProtocolTable.contains(file)) return {};
    static const QRegularExpression number(
        "\\bCall\\s*\\(\\s*\\d+"                     // a number passed to a call (client or module entry)
        "|\\bTModule::\\w+\\s*,\\s*\\d+"             // a call table entry made by hand
        "|\\w*DispId\\s*[!=]?=\\s*[1-9]\\d*");       // a DISPID named or compared in a number
    static const QRegularExpression name("\\b(?:dsp|qry)[A-Z]\\w*");
    const TScanned scanned = Scan(text);
    QStringList found;
    auto add = [&](qsizetype offset, const QString& what) {
        found << QString("line %1: %2").arg(text.left(offset).count('\n') + 1).arg(what);
    };
    auto numbers = number.globalMatch(scanned.Code);
    while (numbers.hasNext()) {
        const QRegularExpressionMatch m = numbers.next();
        add(m.capturedStart(), m.captured().simplified());
    }
    for (const auto& [offset, literal] : scanned.Strings) {
        auto names = name.globalMatch(literal);
        while (names.hasNext()) add(offset, '"' + names.next().captured() + '"');
    }
    return found;
}

// Every C++ source below the folders of the tree: its path from the root, its full path.
QList<QPair<QString, QString>> SourceFiles(const QString& root, const QStringList& folders) {
    QList<QPair<QString, QString>> files;
    for (const QString& folder : folders) {
        QDirIterator it(root + '/' + folder, {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            files.append({path.mid(root.size() + 1), path});
        }
    }
    return files;
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
        QTest::newRow("entry above options")
            << "src/shell/TelvaneClient.cpp" << "options/DlgOptions.h" << true;
        QTest::newRow("binding unit above reports")
            << "src/shell/ChildWindows.cpp" << "reports/ChildCallsInfo.h" << true;
        QTest::newRow("binding header above admin")
            << "src/shell/ChildWindows.h" << "admin/ChildAdmin.h" << true;
        QTest::newRow("main window below reports")
            << "src/shell/FormClientMain.cpp" << "reports/ChildCallsInfo.h" << false;
        QTest::newRow("a namesake elsewhere is no top file")
            << "src/reports/ChildWindows.cpp" << "options/DlgOptions.h" << false;
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
        QStringList faults;
        int files = 0;
        for (const auto& [file, path] : SourceFiles(root, {"src", "server", "tools", "tests", "bench"})) {
            QFile f(path);
            QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(path));
            const QString text = QString::fromUtf8(f.readAll());
            ++files;
            for (const QString& include : IncludesIn(text)) {
                const QString why = Violation(file, include);
                if (!why.isEmpty()) faults << QString("%1: \"%2\" %3").arg(file, include, why);
            }
        }
        QVERIFY(files > 100);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    void circle_data() {
        QTest::addColumn<QStringList>("edges");  // "file>include"
        QTest::addColumn<QString>("circle");
        QTest::newRow("a line") << QStringList{"a.cpp>b.h", "b.cpp>c.h"} << "";
        QTest::newRow("a unit's own header") << QStringList{"a.cpp>a.h", "a.h>b.h"} << "";
        QTest::newRow("two units") << QStringList{"a.cpp>b.h", "b.cpp>a.h"} << "a -> b -> a";
        QTest::newRow("through a header and a source")
            << QStringList{"a.h>b.h", "b.cpp>c.h", "c.cpp>a.h"} << "a -> b -> c -> a";
        QTest::newRow("a diamond") << QStringList{"a.cpp>b.h", "a.cpp>c.h", "b.cpp>d.h", "c.cpp>d.h"} << "";
        QTest::newRow("a circle off the start")
            << QStringList{"a.cpp>b.h", "b.cpp>c.h", "c.cpp>b.h"} << "b -> c -> b";
    }
    void circle() {
        QFETCH(QStringList, edges);
        QFETCH(QString, circle);
        QMap<QString, QStringList> includes;
        for (const QString& edge : edges) includes[edge.section('>', 0, 0)] << edge.section('>', 1);
        QCOMPARE(CircleOf(includes), circle);
    }

    // The shell's units include each other in one direction: what a lower unit needs of a
    // higher one comes through an interface or an argument.
    void shellInOneDirection() {
        const QString root = qEnvironmentVariable("TELVANE_SOURCE_DIR");
        QVERIFY2(!root.isEmpty(), "TELVANE_SOURCE_DIR is not set");
        const QMap<QString, QStringList> includes = IncludesUnder(root + "/src", "shell");
        QVERIFY(includes.contains("shell/FormClientMain.cpp"));
        const QString circle = CircleOf(includes);
        QVERIFY2(circle.isEmpty(), qPrintable(circle));
    }

    void typedProtocolNames_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("found");
        const QString shell = "src/shell/X.cpp";
        QTest::newRow("number passed to a call")
            << shell << "MainRDM().Call(307, {administrator, password});" << QStringList{"line 1: Call(307"};
        QTest::newRow("constant passed to a call")
            << shell << "MainRDM().Call(dispid::MainRDM::CheckPassword, {a, p});" << QStringList{};
        QTest::newRow("number on the next line")
            << shell << "x();\nm.Call(\n    301);" << QStringList{"line 2: Call( 301"};
        QTest::newRow("module entry") << "server/modules/Admin.cpp"
                                      << "admin.Call(302, level::Administrator, 1, CheckDataFormat);"
                                      << QStringList{"line 1: Call(302"};
        QTest::newRow("call table entry by hand")
            << "server/Server.cpp" << "calls_.Add({TModule::Admin, 304, level::Administrator, 2, Block});"
            << QStringList{"line 1: TModule::Admin, 304"};
        QTest::newRow("a constant of its own") << "src/calls/DMReport.cpp" << "constexpr int ReportRunDispId = 301;"
                                               << QStringList{"line 1: ReportRunDispId = 301"};
        QTest::newRow("DISPID compared") << "server/ClientConnection.cpp" << "if (m.DispId == 301)"
                                         << QStringList{"line 1: DispId == 301"};
        QTest::newRow("DISPID defaulting to 0") << "server/CallTable.h" << "int DispId = 0;" << QStringList{};
        QTest::newRow("provider name") << shell << "cds.SetProviderName(QStringLiteral(\"dspReport\"));"
                                       << QStringList{"line 1: \"dspReport\""};
        QTest::newRow("query name") << shell << "a.Call(id, {QLatin1String(\"qryPinCode\"), clause});"
                                    << QStringList{"line 1: \"qryPinCode\""};
        QTest::newRow("provider named in a message")
            << "server/modules/Report.cpp" << "f(\"a\");\nthrow Exception(\"dspEPGroup has no table.\");"
            << QStringList{"line 2: \"dspEPGroup\""};
        QTest::newRow("line comment") << shell << "// opens \"dspReport\" after Call(301)" << QStringList{};
        QTest::newRow("block comment") << shell << "/* \"dspResult\"\n Call(312) */ f();" << QStringList{};
        QTest::newRow("comment marker in a string")
            << shell << "Open(\"http://x\", \"dspTemp\");" << QStringList{"line 1: \"dspTemp\""};
        QTest::newRow("quote as a character")
            << shell << "QChar('\"'); Open(\"dspPBX\");" << QStringList{"line 1: \"dspPBX\""};
        QTest::newRow("digit separator") << shell << "int n = 1'000; m.Call(301);"
                                         << QStringList{"line 1: Call(301"};
        QTest::newRow("raw string") << "server/Schema.cpp" << "R\"SQL(a \"dspArchive\" // b)SQL\"; Call(309);"
                                    << QStringList{"line 1: Call(309", "line 1: \"dspArchive\""};
        QTest::newRow("number inside a text") << shell << "QStringLiteral(\"Call(301)\")" << QStringList{};
        QTest::newRow("other words") << shell << "QStringLiteral(\"display dspx\")" << QStringList{};
        QTest::newRow("the shared table") << "src/remote/ServerInterface.h"
                                          << "inline constexpr char dspReport[] = \"dspReport\";" << QStringList{};
        QTest::newRow("a wire test") << "tests/server/tst_server_wire.cpp"
                                     << "c.Call(QStringLiteral(\"MainRDM\"), 301);" << QStringList{};
    }
    void typedProtocolNames() {
        QFETCH(QString, file);
        QFETCH(QString, text);
        QFETCH(QStringList, found);
        QCOMPARE(TypedProtocolNames(file, text), found);
    }

    // Every source of the client and the server names calls and providers from the table.
    void protocolNamesComeFromTheTable() {
        const QString root = qEnvironmentVariable("TELVANE_SOURCE_DIR");
        QVERIFY2(!root.isEmpty(), "TELVANE_SOURCE_DIR is not set");
        QStringList faults;
        int files = 0;
        for (const auto& [file, path] : SourceFiles(root, {"src", "server"})) {
            QFile f(path);
            QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(path));
            ++files;
            for (const QString& fault : TypedProtocolNames(file, QString::fromUtf8(f.readAll())))
                faults << file + ", " + fault;
        }
        QVERIFY(files > 100);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }
};

QTEST_APPLESS_MAIN(TestLayers)
#include "tst_layers.moc"
