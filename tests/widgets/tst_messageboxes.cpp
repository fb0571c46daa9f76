#include "widgets/MessageBoxes.h"

#include <QApplication>
#include <QTest>

Q_DECLARE_METATYPE(QList<TMsgButton>)

class TestMessageBoxes : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parseAutoAnswers_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("set");
        QTest::addColumn<QList<TMsgButton>>("answers");
        QTest::newRow("unset") << QByteArray() << false << QList<TMsgButton>{};
        QTest::newRow("empty") << QByteArray("") << true << QList<TMsgButton>{};
        QTest::newRow("two") << QByteArray("OK,No") << true << QList<TMsgButton>{TMsgButton::OK, TMsgButton::No};
        QTest::newRow("blanks and case") << QByteArray(" yes , ABORT,ignore ") << true
                                         << QList<TMsgButton>{TMsgButton::Yes, TMsgButton::Abort, TMsgButton::Ignore};
        QTest::newRow("unknown words skipped") << QByteArray("Maybe,Cancel") << true
                                               << QList<TMsgButton>{TMsgButton::Cancel};
    }
    void parseAutoAnswers()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, set);
        QFETCH(QList<TMsgButton>, answers);
        QList<TMsgButton> got{TMsgButton::Yes};
        QCOMPARE(ParseAutoAnswers(value, got), set);
        QCOMPARE(got, answers);
    }

    void scriptedAnswersThenDefaults()
    {
        TScriptedAnswerer answerer({TMsgButton::No, TMsgButton::OK});
        SetMessageBoxAnswerer(&answerer);
        QVERIFY(!AskQuestion(QStringLiteral("Delete?")));
        // OK is no answer to a question: the default (Yes) is taken.
        QVERIFY(AskQuestion(QStringLiteral("Again?")));
        // The script is used up: defaults from now on.
        QVERIFY(AskConfirmation(QStringLiteral("Ready?")));
        QCOMPARE(AskAbortIgnore(QStringLiteral("Bug")), TMsgButton::Abort);
        ShowWarning(QStringLiteral("Careful"));
        SetMessageBoxAnswerer(nullptr);

        const auto& asked = answerer.Asked();
        QCOMPARE(asked.size(), 5);
        QCOMPARE(asked[0].Kind, TMsgKind::Question);
        QCOMPARE(asked[0].Text, QStringLiteral("Delete?"));
        QCOMPARE(asked[2].Kind, TMsgKind::Confirmation);
        QCOMPARE(asked[3].Kind, TMsgKind::Error);
        QCOMPARE(asked[4].Kind, TMsgKind::Warning);
    }
};

QTEST_MAIN(TestMessageBoxes)
#include "tst_messageboxes.moc"
