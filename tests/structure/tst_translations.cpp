// The Bulgarian text set: every user-visible text of the translated folders has a finished
// Bulgarian translation, and each translation keeps its text's %1, %2 ... places. The
// texts are read from the sources as lupdate reads them, so a new tr() without its
// Bulgarian fails here.
//
// Translated so far: the shell (main window, start-up, access levels, command queue),
// the shared widgets and the options dialog. The report, filter and printing folders and
// the windows still landing (administration, archives, logs) join kTranslatedFolders as
// their texts are translated.

#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

const QStringList kTranslatedFolders{QStringLiteral("src/shell"), QStringLiteral("src/widgets"),
                                     QStringLiteral("src/options")};

struct TMessage {
    QString Context;
    QString Source;
    QString Translation;
    bool Finished = false;
};

QList<TMessage> ReadTs(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return {};
    }
    QList<TMessage> messages;
    QXmlStreamReader xml(&file);
    QString context;
    TMessage message;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("message"))
            message = TMessage{context, {}, {}, false};
        else if (xml.name() == QLatin1String("source"))
            message.Source = xml.readElementText();
        else if (xml.name() == QLatin1String("translation")) {
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            message.Translation = xml.readElementText();
            message.Finished = type.isEmpty() && !message.Translation.isEmpty();
            if (type != QLatin1String("vanished") && type != QLatin1String("obsolete"))
                messages << message;
        }
    }
    if (xml.hasError())
        *error = xml.errorString();
    return messages;
}

QString Lupdate()
{
    for (const auto location : {QLibraryInfo::BinariesPath, QLibraryInfo::LibraryExecutablesPath}) {
        const QString path = QLibraryInfo::path(location) + QStringLiteral("/lupdate");
        if (QFileInfo::exists(path))
            return path;
    }
    return QStringLiteral("/usr/lib/qt6/bin/lupdate");
}

QStringList Places(const QString& text)
{
    QStringList places;
    static const QRegularExpression place(QStringLiteral("%\\d"));
    for (const QRegularExpressionMatch& m : place.globalMatch(text))
        places << m.captured();
    places.sort();
    return places;
}

}  // namespace

class TestTranslations : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyTextOfTheTranslatedFoldersHasItsBulgarian()
    {
        const QString root = qEnvironmentVariable("TELVANE_SOURCE_DIR");
        QVERIFY2(!root.isEmpty(), "TELVANE_SOURCE_DIR is not set");
        QTemporaryDir dir;
        const QString extracted = dir.filePath(QStringLiteral("current.ts"));
        QProcess lupdate;
        lupdate.setWorkingDirectory(root);
        lupdate.start(Lupdate(), QStringList{QStringLiteral("-silent"), QStringLiteral("-I"), QStringLiteral("src")} +
                                     kTranslatedFolders + QStringList{QStringLiteral("-ts"), extracted});
        QVERIFY(lupdate.waitForFinished(120000));
        QCOMPARE(lupdate.exitCode(), 0);
        QString error;
        const QList<TMessage> current = ReadTs(extracted, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(current.size() > 100);
        const QList<TMessage> committed =
            ReadTs(root + QStringLiteral("/src/resources/translations/telvane_bg.ts"), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QHash<QString, TMessage> byKey;
        for (const TMessage& m : committed)
            byKey.insert(m.Context + QLatin1Char('|') + m.Source, m);
        QStringList missing;
        for (const TMessage& m : current) {
            const TMessage t = byKey.value(m.Context + QLatin1Char('|') + m.Source);
            if (!t.Finished)
                missing << QStringLiteral("%1: \"%2\"").arg(m.Context, m.Source);
        }
        QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("Without Bulgarian (run scripts/update-translations "
                                                              "and translate):\n") +
                                               missing.join(QLatin1Char('\n'))));
    }

    void translationsKeepTheirPlaces()
    {
        const QString root = qEnvironmentVariable("TELVANE_SOURCE_DIR");
        QVERIFY2(!root.isEmpty(), "TELVANE_SOURCE_DIR is not set");
        QString error;
        const QList<TMessage> committed =
            ReadTs(root + QStringLiteral("/src/resources/translations/telvane_bg.ts"), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QStringList wrong;
        for (const TMessage& m : committed)
            if (m.Finished && Places(m.Source) != Places(m.Translation))
                wrong << QStringLiteral("%1: \"%2\" -> \"%3\"").arg(m.Context, m.Source, m.Translation);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
