#include "core/Errors.h"
#include "shell/base/IniFiles32.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// One write of a script: "S|section|key|value", "I|section|key|number" or "B|section|key|0/1".
void Apply(TIniFile32& ini, const QString& step)
{
    const QStringList parts = step.split(QLatin1Char('|'));
    QCOMPARE(parts.size(), 4);
    if (parts[0] == QLatin1String("S"))
        ini.WriteString(parts[1], parts[2], parts[3]);
    else if (parts[0] == QLatin1String("I"))
        ini.WriteInteger(parts[1], parts[2], parts[3].toInt());
    else
        ini.WriteBool(parts[1], parts[2], parts[3] == QLatin1String("1"));
}

}  // namespace

class TestIniFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString Path() const { return dir_.filePath(QStringLiteral("telvane-client.ini")); }

private Q_SLOTS:
    void init() { QFile::remove(Path()); }

    void readString_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("section ignores case") << QByteArray("[server]\r\nhost=ALPHA\r\n") << "Server"
                                              << "host"
                                              << "ALPHA";
        QTest::newRow("key keeps case") << QByteArray("[server]\r\nhost=ALPHA\r\n") << "Server"
                                        << "Host"
                                        << "<default>";
        QTest::newRow("blanks around key and value")
            << QByteArray("[A]\r\n \t key  =  some value \t\r\n") << "A"
            << "key"
            << "some value";
        QTest::newRow("nothing after = reads as default") << QByteArray("[A]\r\nkey=\r\n") << "A"
                                                          << "key"
                                                          << "<default>";
        QTest::newRow("only blanks after = reads as default") << QByteArray("[A]\r\nkey=   \r\n") << "A"
                                                              << "key"
                                                              << "<default>";
        QTest::newRow("first key line wins") << QByteArray("[A]\r\nkey=one\r\nkey=two\r\n") << "A"
                                             << "key"
                                             << "one";
        QTest::newRow("first key line wins even when empty")
            << QByteArray("[A]\r\nkey=\r\nkey=two\r\n") << "A"
            << "key"
            << "<default>";
        QTest::newRow("line without = never matches") << QByteArray("[A]\r\nkey\r\nkey=v\r\n") << "A"
                                                      << "key"
                                                      << "v";
        QTest::newRow("empty key reads a line with nothing before =")
            << QByteArray("[A]\r\nnot a key\r\n  = v\r\n") << "A"
            << ""
            << "v";
        QTest::newRow("empty key never matches a line without =")
            << QByteArray("[A]\r\n\r\nnot a key\r\n") << "A"
            << ""
            << "<default>";
        QTest::newRow("value after the first =") << QByteArray("[A]\r\nkey=a=b\r\n") << "A"
                                                 << "key"
                                                 << "a=b";
        QTest::newRow("quotes and comments stay") << QByteArray("[A]\r\nkey=\"a b\" ; note\r\n") << "A"
                                                  << "key"
                                                  << "\"a b\" ; note";
        QTest::newRow("header with leading blank is not found")
            << QByteArray("[A]\r\n [B]\r\nkey=v\r\n") << "B"
            << "key"
            << "<default>";
        QTest::newRow("header with leading blank ends the section")
            << QByteArray("[A]\r\n [B]\r\nkey=v\r\n") << "A"
            << "key"
            << "<default>";
        QTest::newRow("header with blank inside is not found") << QByteArray("[ B ]\r\nkey=v\r\n") << "B"
                                                               << "key"
                                                               << "<default>";
        QTest::newRow("header with trailing blank is not found") << QByteArray("[B] \r\nkey=v\r\n") << "B"
                                                                 << "key"
                                                                 << "<default>";
        QTest::newRow("empty brackets end the section") << QByteArray("[A]\r\n[]\r\nkey=v\r\n") << "A"
                                                        << "key"
                                                        << "<default>";
        QTest::newRow("only the first occurrence of a section")
            << QByteArray("[A]\r\nx=1\r\n[A]\r\nkey=v\r\n") << "A"
            << "key"
            << "<default>";
        QTest::newRow("key in a later section is not seen") << QByteArray("[A]\r\n[B]\r\nkey=v\r\n") << "A"
                                                            << "key"
                                                            << "<default>";
        QTest::newRow("LF only") << QByteArray("[A]\nx=1\nkey=v\n[B]\nkey=w\n") << "B"
                                 << "key"
                                 << "w";
        QTest::newRow("CR only") << QByteArray("[A]\rx=1\rkey=v\r[B]\rkey=w\r") << "A"
                                 << "key"
                                 << "v";
        QTest::newRow("mixed line ends") << QByteArray("[A]\r\nx=1\n[B]\rkey=w") << "B"
                                         << "key"
                                         << "w";
        QTest::newRow("no final line break") << QByteArray("[A]\r\nkey=v") << "A"
                                             << "key"
                                             << "v";
        QTest::newRow("UTF-8 with byte order mark")
            << QByteArray("\xEF\xBB\xBF[A]\r\nkey=\xC3\xA9t\xC3\xA9\r\n") << "A"
            << "key" << QString::fromUtf8("\xC3\xA9t\xC3\xA9");
        QTest::newRow("not UTF-8: one character per byte") << QByteArray("[A]\r\nkey=caf\xE9 \xC3\r\n") << "A"
                                                           << "key" << QString::fromLatin1("caf\xE9 \xC3");
        QTest::newRow("empty file") << QByteArray() << "A"
                                    << "key"
                                    << "<default>";
    }
    void readString()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        WriteBytes(Path(), file);
        const TIniFile32 ini(Path());
        QCOMPARE(ini.ReadString(section, key, QStringLiteral("<default>")), expected);
    }

    void missingFileReadsAsEmpty()
    {
        const TIniFile32 ini(dir_.filePath(QStringLiteral("absent.ini")));
        QVERIFY(ini.Lines().isEmpty());
        QCOMPARE(ini.ReadString(QStringLiteral("Server"), QStringLiteral("host"), QStringLiteral("x")),
                 QStringLiteral("x"));
        QVERIFY(!QFile::exists(ini.FileName()));
    }

    void readInteger_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("decimal") << "300" << 300;
        QTest::newRow("negative") << "-42" << -42;
        QTest::newRow("plus sign") << "+7" << 7;
        QTest::newRow("0x lower") << "0x1F" << 31;
        QTest::newRow("0X upper with lower digits") << "0Xd3" << 211;
        QTest::newRow("dollar") << "$1F" << 31;
        QTest::newRow("negative dollar") << "-$10" << -16;
        QTest::newRow("hexadecimal pattern of 32 bits") << "0xFFFFFFFF" << -1;
        QTest::newRow("bare 0x") << "0x" << 211;
        QTest::newRow("bad hexadecimal digit") << "0x1G" << 211;
        QTest::newRow("letters") << "abc" << 211;
        QTest::newRow("trailing letters") << "12abc" << 211;
        QTest::newRow("lone sign") << "-" << 211;
        QTest::newRow("largest") << "2147483647" << 2147483647;
        QTest::newRow("smallest") << "-2147483648" << int(-2147483647 - 1);
        QTest::newRow("too large") << "2147483648" << 211;
        QTest::newRow("too many hexadecimal digits") << "0x100000000" << 211;
        QTest::newRow("blank inside") << "2 1" << 211;
        QTest::newRow("empty") << "" << 211;
    }
    void readInteger()
    {
        QFETCH(QString, value);
        QFETCH(int, expected);
        WriteBytes(Path(), "[Server]\r\nport=" + value.toUtf8() + "\r\n");
        const TIniFile32 ini(Path());
        QCOMPARE(ini.ReadInteger(QStringLiteral("Server"), QStringLiteral("port"), 211), expected);
    }

    // The file on disk is checked byte for byte after every single write.
    void writes_data()
    {
        QTest::addColumn<QByteArray>("initial");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QByteArrayList>("files");
        QTest::newRow("new file, then replaced in place")
            << QByteArray("<none>") << QStringList{"I|Server|port|300", "I|Server|port|301"}
            << QByteArrayList{"\r\n[Server]\r\nport=300\r\n", "\r\n[Server]\r\nport=301\r\n"};
        QTest::newRow("missing section appended after an empty line")
            << QByteArray("[A]\r\nx=1\r\n") << QStringList{"S|B|y|2"}
            << QByteArrayList{"[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"};
        QTest::newRow("new key goes before the next header")
            << QByteArray("[A]\r\nx=1\r\n[B]\r\ny=2\r\n") << QStringList{"S|A|z|3", "S|a|w|4"}
            << QByteArrayList{"[A]\r\nx=1\r\nz=3\r\n[B]\r\ny=2\r\n",
                              "[A]\r\nx=1\r\nz=3\r\nw=4\r\n[B]\r\ny=2\r\n"};
        QTest::newRow("new key after trailing empty lines of the section")
            << QByteArray("[A]\r\nx=1\r\n\r\n[B]\r\n") << QStringList{"S|A|y|2"}
            << QByteArrayList{"[A]\r\nx=1\r\n\r\ny=2\r\n[B]\r\n"};
        QTest::newRow("header keeps its letter case")
            << QByteArray("[server]\r\nhost=ALPHA\r\n") << QStringList{"S|Server|host|BETA"}
            << QByteArrayList{"[server]\r\nhost=BETA\r\n"};
        QTest::newRow("key of another case is a new key")
            << QByteArray("[A]\r\nHost=X\r\n") << QStringList{"S|A|host|Y"}
            << QByteArrayList{"[A]\r\nHost=X\r\nhost=Y\r\n"};
        QTest::newRow("only the first duplicate key is replaced")
            << QByteArray("[A]\r\nk=\r\nk=old\r\n") << QStringList{"S|A|k|new"}
            << QByteArrayList{"[A]\r\nk=new\r\nk=old\r\n"};
        QTest::newRow("replaced line loses the blanks around =")
            << QByteArray("[A]\r\n  k  =  v \r\n") << QStringList{"S|A|k|w"}
            << QByteArrayList{"[A]\r\nk=w\r\n"};
        QTest::newRow("value written as given") << QByteArray("[A]\r\n") << QStringList{"S|A|k| \"q\" ; c "}
                                                << QByteArrayList{"[A]\r\nk= \"q\" ; c \r\n"};
        QTest::newRow("header with leading blank ends the section but is never found")
            << QByteArray("[A]\r\nx=1\r\n [B]\r\ny=2\r\n") << QStringList{"S|A|z|3", "S|B|y|9"}
            << QByteArrayList{"[A]\r\nx=1\r\nz=3\r\n [B]\r\ny=2\r\n",
                              "[A]\r\nx=1\r\nz=3\r\n [B]\r\ny=2\r\n\r\n[B]\r\ny=9\r\n"};
        QTest::newRow("second occurrence of a section is never used")
            << QByteArray("[A]\r\nx=1\r\n[A]\r\ny=2\r\n") << QStringList{"S|A|y|3"}
            << QByteArrayList{"[A]\r\nx=1\r\ny=3\r\n[A]\r\ny=2\r\n"};
        QTest::newRow("other lines stay untouched")
            << QByteArray("; note\r\n[A]\r\nnot a key\r\n\r\nx=1\r\n") << QStringList{"S|A|y|2"}
            << QByteArrayList{"; note\r\n[A]\r\nnot a key\r\n\r\nx=1\r\ny=2\r\n"};
        QTest::newRow("empty key: header only, then nothing")
            << QByteArray("<none>") << QStringList{"S|S||v", "S|S||v"}
            << QByteArrayList{"\r\n[S]\r\n", "\r\n[S]\r\n"};
        QTest::newRow("booleans as 1 and 0")
            << QByteArray("[Report]\r\n") << QStringList{"B|Report|flag|1", "B|Report|flag|0"}
            << QByteArrayList{"[Report]\r\nflag=1\r\n", "[Report]\r\nflag=0\r\n"};
        QTest::newRow("negative integer") << QByteArray("") << QStringList{"I|Report|active_page|-3"}
                                          << QByteArrayList{"\r\n[Report]\r\nactive_page=-3\r\n"};
        QTest::newRow("LF-only file rewritten with CR LF")
            << QByteArray("[A]\nx=1\n[B]\ny=2\n") << QStringList{"S|A|x|5"}
            << QByteArrayList{"[A]\r\nx=5\r\n[B]\r\ny=2\r\n"};
        QTest::newRow("CR-only file rewritten with CR LF")
            << QByteArray("[A]\rx=1\r[B]\r") << QStringList{"S|B|y|5"}
            << QByteArrayList{"[A]\r\nx=1\r\n[B]\r\ny=5\r\n"};
        QTest::newRow("file without a final line break")
            << QByteArray("[A]\r\nx=1") << QStringList{"S|A|y|2"} << QByteArrayList{"[A]\r\nx=1\r\ny=2\r\n"};
        QTest::newRow("byte order mark dropped, text kept as UTF-8")
            << QByteArray("\xEF\xBB\xBF[A]\r\n") << QStringList{QString::fromUtf8("S|A|k|\xD0\xB4\xD0\xB0")}
            << QByteArrayList{"[A]\r\nk=\xD0\xB4\xD0\xB0\r\n"};
        QTest::newRow("single-byte file keeps its bytes")
            << QByteArray("; caf\xE9\r\n[A]\r\nk=\xE9t\xE9\r\n") << QStringList{"S|A|x|1", "S|A|y|\xC3\xA9"}
            << QByteArrayList{"; caf\xE9\r\n[A]\r\nk=\xE9t\xE9\r\nx=1\r\n",
                              "; caf\xE9\r\n[A]\r\nk=\xE9t\xE9\r\nx=1\r\ny=\xE9\r\n"};
        QTest::newRow("single-byte file turns UTF-8 for a wider value, and stays so")
            << QByteArray("[A]\r\nk=\xE9\r\n") << QStringList{"S|A|x|\xD0\xB4", "S|A|x|1"}
            << QByteArrayList{"[A]\r\nk=\xC3\xA9\r\nx=\xD0\xB4\r\n", "[A]\r\nk=\xC3\xA9\r\nx=1\r\n"};
    }
    void writes()
    {
        QFETCH(QByteArray, initial);
        QFETCH(QStringList, steps);
        QFETCH(QByteArrayList, files);
        if (initial != "<none>")
            WriteBytes(Path(), initial);
        TIniFile32 ini(Path());
        for (qsizetype i = 0; i < steps.size(); ++i) {
            Apply(ini, steps[i]);
            QCOMPARE(ReadBytes(Path()), files[i]);
            // What was written reads back the same from memory and from a fresh load.
            const QStringList parts = steps[i].split(QLatin1Char('|'));
            if (!parts[2].isEmpty() && parts[0] == QLatin1String("S")) {
                QCOMPARE(ini.ReadString(parts[1], parts[2], QString()), parts[3].trimmed());
                QCOMPARE(TIniFile32(Path()).ReadString(parts[1], parts[2], QString()), parts[3].trimmed());
            }
        }
    }

    // Changes another program makes after loading are replaced by the next write.
    void loadsOnlyOnce()
    {
        WriteBytes(Path(), "[A]\r\nx=1\r\n");
        TIniFile32 ini(Path());
        WriteBytes(Path(), "[A]\r\nx=changed\r\nother=1\r\n");
        QCOMPARE(ini.ReadString(QStringLiteral("A"), QStringLiteral("x"), QString()), QStringLiteral("1"));
        ini.WriteInteger(QStringLiteral("A"), QStringLiteral("y"), 2);
        QCOMPARE(ReadBytes(Path()), QByteArray("[A]\r\nx=1\r\ny=2\r\n"));
    }

    void failedWriteRaisesAndKeepsTheChange_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::newRow("a directory in place of the file") << "directory";
        QTest::newRow("a path component that is a file") << "component";
    }
    void failedWriteRaisesAndKeepsTheChange()
    {
        QFETCH(QString, obstacle);
        QTemporaryDir place;
        QString path;
        if (obstacle == QLatin1String("directory")) {
            path = place.filePath(QStringLiteral("settings.ini"));
            QVERIFY(QDir().mkdir(path));
        } else {
            WriteBytes(place.filePath(QStringLiteral("plain")), "x");
            path = place.filePath(QStringLiteral("plain/settings.ini"));
        }
        const QStringList before =
            QDir(place.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        TIniFile32 ini(path);
        QVERIFY_THROWS_EXCEPTION(
            EInOutError,
            ini.WriteString(QStringLiteral("Server"), QStringLiteral("host"), QStringLiteral("ALPHA")));
        QCOMPARE(ini.ReadString(QStringLiteral("Server"), QStringLiteral("host"), QString()),
                 QStringLiteral("ALPHA"));
        // The failed save leaves nothing behind, not even a temporary file.
        QCOMPARE(QDir(place.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 before);
        try {
            ini.WriteInteger(QStringLiteral("Server"), QStringLiteral("port"), 212);
            QFAIL("no exception");
        } catch (const EInOutError& error) {
            QVERIFY2(error.Message().contains(path), qPrintable(error.Message()));
        }
        QCOMPARE(ini.ReadInteger(QStringLiteral("Server"), QStringLiteral("port"), 0), 212);
    }

    void processWideInstance()
    {
        QVERIFY(!HasSettingsFile());
        QVERIFY_THROWS_EXCEPTION(Exception, SettingsFile());
        InstallSettingsFile(std::make_unique<TIniFile32>(Path()));
        SettingsFile().WriteBool(QStringLiteral("Report"), QStringLiteral("x"), true);
        QCOMPARE(SettingsFile().FileName(), Path());
        ReleaseSettingsFile();
        QVERIFY(!HasSettingsFile());
        QCOMPARE(TIniFile32(Path()).ReadInteger(QStringLiteral("Report"), QStringLiteral("x"), 0), 1);
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
