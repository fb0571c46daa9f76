// The tariff rule language: what is valid, its normal form (AdminRDM 312), the empty rule
// and the template (306, 307), how calls are charged, and that the rule sets in use
// (AdminRDM 315) are exactly the ones that charge received calls.

#include "support/ReceiverHelpers.h"
#include "server/TariffRules.h"
#include "support/TestServer.h"
#include "support/WireClient.h"

#include <QTest>

namespace {

const QString kClientTemplateNote = QStringLiteral("{ Use this rule template. Delete unnecessary lines. }");

}  // namespace

class TestServerTariffs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { RegisterProtocolTypes(); }

    void normalForm_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("normal");
        QTest::newRow("step added") << "rate * 0 0.04"
                                    << "rate * 0.00 0.04 60\n";
        QTest::newRow("blanks and case") << "  RATE   0049   0.1   0.450  60  "
                                         << "rate 0049 0.10 0.45 60\n";
        QTest::newRow("digits kept") << "rate 00 007.5 0.0450 1"
                                     << "rate 00 7.50 0.045 1\n";
        QTest::newRow("leading zeros of the step") << "rate 088 0.05 0.24 001"
                                                   << "rate 088 0.05 0.24 1\n";
        QTest::newRow("comments kept, line ends") << "# national  \r\nrate 0 0.05 0.09\r\n; end"
                                                  << "# national\nrate 0 0.05 0.09 60\n; end\n";
        QTest::newRow("comment after a rate") << "rate 00 0.10 0.60 60 # abroad"
                                              << "rate 00 0.10 0.60 60 # abroad\n";
        QTest::newRow("braces inside a rate") << "rate 00 0.10 {cheap} 0.60"
                                              << "rate 00 0.10 {cheap} 0.60 60\n";
        QTest::newRow("a line goes on after braces over lines") << "rate 0 {a\nb} 0.05 0.09"
                                                                << "rate 0 {a\nb} 0.05 0.09 60\n";
        QTest::newRow("braces over lines") << "{ first\r\n  second }\r\nrate * 0 0"
                                           << "{ first\n  second }\nrate * 0.00 0.00 60\n";
        QTest::newRow("empty lines at the ends") << "\n\nrate * 0 0\n\nrate 0 0 1\n\n\n"
                                                 << "rate * 0.00 0.00 60\n\nrate 0 0.00 1.00 60\n";
        QTest::newRow("comments only") << "# nothing yet"
                                       << "# nothing yet\n";
        QTest::newRow("the longest prefix")
            << QStringLiteral("rate %1 0 0").arg(QString(32, QLatin1Char('1')))
            << QStringLiteral("rate %1 0.00 0.00 60\n").arg(QString(32, QLatin1Char('1')));
        QTest::newRow("the longest step") << "rate 0 0 0 86400"
                                          << "rate 0 0.00 0.00 86400\n";
    }
    void normalForm()
    {
        QFETCH(QString, text);
        QFETCH(QString, normal);
        QString error;
        QCOMPARE(NormaliseTariffRules(text, &error), normal);
        QCOMPARE(NormaliseTariffRules(normal), normal);
        TTariffRules a, b;
        QVERIFY(a.Parse(text));
        QVERIFY(b.Parse(normal));
        QCOMPARE(a.Rates().size(), b.Rates().size());
    }

    void invalidTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("empty") << ""
                               << "The tariff rules are empty.";
        QTest::newRow("blank") << " \r\n "
                               << "The tariff rules are empty.";
        QTest::newRow("words") << "charge everything"
                               << "Line 1 is not a rate";
        QTest::newRow("letters in the prefix") << "rate 08x 0 0.1"
                                               << "Line 1 is not a rate";
        QTest::newRow("prefix too long")
            << QStringLiteral("rate %1 0 0").arg(QString(33, QLatin1Char('1'))) << "Line 1 is not a rate";
        QTest::newRow("missing price") << "rate 088 0.05"
                                       << "Line 1 is not a rate";
        QTest::newRow("one word too many") << "rate 088 0.05 0.2 60 1"
                                           << "Line 1 is not a rate";
        QTest::newRow("step 0") << "rate 088 0.05 0.2 0"
                                << "Line 1 is not a rate";
        QTest::newRow("step beyond a day") << "rate 088 0.05 0.2 86401"
                                           << "Line 1 is not a rate";
        QTest::newRow("negative fee") << "rate 088 -1 0.2"
                                      << "Line 1 is not a rate";
        QTest::newRow("decimal comma") << "rate 088 0,05 0.2"
                                       << "Line 1 is not a rate";
        QTest::newRow("no digit before the point") << "rate 088 .05 0.2"
                                                   << "Line 1 is not a rate";
        QTest::newRow("line after a long comment") << "{ a\nb }\n\nrate x"
                                                   << "Line 4 is not a rate";
        QTest::newRow("unclosed brace") << "rate * 0 0\n{ note"
                                        << "Line 2: the comment in braces is not closed.";
        QTest::newRow("closing brace alone") << "rate * 0 0 }"
                                             << "Line 1: \"}\" without \"{\".";
        QTest::newRow("two rates for a prefix") << "rate 088 0.05 0.2\n# again\nrate 088 0.1 0.3"
                                                << "Line 3: the prefix 088 has a rate already in line 1.";
    }
    void invalidTexts()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        QString why;
        QCOMPARE(NormaliseTariffRules(text, &why), QString());
        QVERIFY2(why.startsWith(error), qPrintable(why));
        TTariffRules rules;
        QVERIFY(!rules.Parse(text) || rules.IsEmpty());
    }

    void charges_data()
    {
        QTest::addColumn<QStringList>("sets");
        QTest::addColumn<QString>("phone");
        QTest::addColumn<int>("duration");
        QTest::addColumn<double>("vatPercent");
        QTest::addColumn<bool>("charged");
        QTest::addColumn<double>("raw");
        QTest::addColumn<double>("vat");
        QTest::addColumn<double>("total");
        const QStringList demo = {
            QStringLiteral("rate * 0.00 0.04 60"), QStringLiteral("rate 0 0.05 0.09 60"),
            QStringLiteral("rate 088 0.05 0.24 1\nrate 00 0.10 0.60\nrate 0049 0.10 0.45")};
        QTest::newRow("a started minute") << demo << "2345678" << 61 << 20.0 << true << 0.08 << 0.02 << 0.10;
        QTest::newRow("exactly a minute") << demo << "2345678" << 60 << 20.0 << true << 0.04 << 0.01 << 0.05;
        QTest::newRow("by the second") << demo << "0881234567" << 90 << 20.0 << true << 0.41 << 0.08 << 0.49;
        QTest::newRow("longest prefix among sets")
            << demo << "00491234" << 60 << 20.0 << true << 0.55 << 0.11 << 0.66;
        QTest::newRow("unanswered costs nothing")
            << demo << "00491234" << 0 << 20.0 << true << 0.0 << 0.0 << 0.0;
        QTest::newRow("no VAT") << demo << "0881234567" << 90 << 0.0 << true << 0.41 << 0.0 << 0.41;
        QTest::newRow("a 30 second step") << QStringList{QStringLiteral("rate 07 0.00 1.00 30")} << "0712"
                                          << 31 << 20.0 << true << 1.00 << 0.20 << 1.20;
        QTest::newRow("no rate for the number") << QStringList{QStringLiteral("rate 088 0.05 0.24 1")}
                                                << "2345678" << 60 << 20.0 << false << 0.0 << 0.0 << 0.0;
        QTest::newRow("equal prefixes: the set added first")
            << QStringList{QStringLiteral("rate 088 1.00 0 1"), QStringLiteral("rate 088 2.00 0 1")} << "088"
            << 5 << 0.0 << true << 1.00 << 0.0 << 1.00;
        QTest::newRow("an invalid set charges nothing")
            << QStringList{QStringLiteral("rate 088 0.05 0.24 1"),
                           QStringLiteral("rate 0881 9.99 0 1\nnonsense")}
            << "0881234567" << 60 << 0.0 << true << 0.29 << 0.0 << 0.29;
    }
    void charges()
    {
        QFETCH(QStringList, sets);
        QFETCH(QString, phone);
        QFETCH(int, duration);
        QFETCH(double, vatPercent);
        QFETCH(bool, charged);
        QFETCH(double, raw);
        QFETCH(double, vat);
        QFETCH(double, total);
        TTariffRules rules;
        for (const QString& set : sets)
            rules.Parse(set);
        const std::optional<TCharge> charge = rules.Charge(phone, duration, vatPercent);
        QCOMPARE(charge.has_value(), charged);
        if (!charge)
            return;
        QCOMPARE(charge->Raw, raw);
        QCOMPARE(charge->Vat, vat);
        QCOMPARE(charge->Total, total);
    }

    // The texts the administration window asks for are valid and already normal; the
    // template still is after the client put its note in front of it.
    void ruleTextsOverTheWire()
    {
        TTestServer server;
        QVERIFY(server.Start());
        TWireClient admin, other;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QVERIFY(other.OpenAsAdministrator(server.Port()));
        const QString empty = admin.Call(kAdmin, 306).Result.toString();
        const QString example = admin.Call(kAdmin, 307).Result.toString();
        QCOMPARE(admin.Call(kAdmin, 312, {empty}).Result.toString(), empty);
        QCOMPARE(admin.Call(kAdmin, 312, {example}).Result.toString(), example);
        TTariffRules rules;
        QVERIFY(rules.Parse(example));
        QVERIFY(rules.Rates().size() >= 5);
        QVERIFY(example.startsWith(QLatin1Char('{')));
        QVERIFY(example.contains(QLatin1Char('#')));

        const QString appended =
            QStringLiteral("\r\n") + kClientTemplateNote + QStringLiteral("\r\n\r\n") + example;
        QCOMPARE(admin.Call(kAdmin, 312, {appended}).Result.toString(),
                 kClientTemplateNote + QStringLiteral("\n\n") + example);
        QCOMPARE(
            admin.Call(kAdmin, 312, {QStringLiteral("rate 088 0.05 0.24 1\r\n") + empty}).Result.toString(),
            QStringLiteral("rate 088 0.05 0.24 1\n") + empty);

        // A refused text comes back empty, and only the client that sent it hears why.
        const int before = other.CallbackCount(QStringLiteral("LogMessage"));
        QCOMPARE(admin.Call(kAdmin, 312, {QStringLiteral("rate 088 cheap 0.2")}).Result.toString(),
                 QString());
        QVERIFY(admin.WaitForCallback(QStringLiteral("LogMessage")));
        QVERIFY(admin.CallbackArgs(QStringLiteral("LogMessage"))
                    .constLast()
                    .at(0)
                    .toString()
                    .contains(QLatin1String("Line 1 is not a rate")));
        QCOMPARE(other.Call(QStringLiteral("MainRDM"), 314).Kind, TMessageKind::Reply);
        QCOMPARE(other.CallbackCount(QStringLiteral("LogMessage")), before);
    }

    // The sets AdminRDM 315 names are the ones that charge received calls: an invalid set
    // and one without rates take no part, and a number no rate covers stays uncharged.
    void ruleSetsInUseChargeReceivedCalls()
    {
        TTestServer server;
        server.Options().ReceiverPort = 0;
        QVERIFY(server.Start());
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QCOMPARE(admin.Call(kAdmin, 315).Result.toString(), QString());
        const QVariant unset;
        QCOMPARE(
            admin.Apply(kAdmin, QStringLiteral("dspPBX"), {Insert({unset, QStringLiteral("Office"), unset})})
                .Errors.size(),
            0);
        QCOMPARE(
            admin
                .Apply(kAdmin, QStringLiteral("dspTariffRules"),
                       {Insert({QStringLiteral("Mobile"), QStringLiteral("rate 088 0.05 0.24 1")}),
                        Insert({QStringLiteral("Broken"), QStringLiteral("rate 0881 9.99 9.99 1\nnonsense")}),
                        Insert({QStringLiteral("Drafts"), QStringLiteral("# nothing yet")}),
                        Insert({QStringLiteral("Abroad"), QStringLiteral("rate 00 0.10 0.60")})})
                .Errors.size(),
            0);
        QCOMPARE(admin.Call(kAdmin, 315).Result.toString(), QStringLiteral("Abroad, Mobile"));
        QCOMPARE(admin.Call(kAdmin, 314, {1}).Kind, TMessageKind::Reply);
        QVERIFY(admin.Call(kAdmin, 302, {QStringLiteral("(PHONE:12](dursec:4)\\r\\n")}).Result.toBool());
        QCOMPARE(admin.Call(kAdmin, 303).Kind, TMessageKind::Reply);
        QCOMPARE(admin.Call(QStringLiteral("ReceiverRDM"), 301).Kind, TMessageKind::Reply);

        TExchangeSocket exchange;
        QVERIFY(exchange.Connect(ReceiverPort(server)));
        QVERIFY(exchange.Send("  08812345670090\r\n     23456780060\r\n"));
        const QString sql =
            QStringLiteral("SELECT DURATION, RAW_CHARGE, VAT, CHARGE FROM CALL WHERE PHONE = ?");
        QTRY_VERIFY_WITH_TIMEOUT(!ServerRow(server, sql, {QStringLiteral("2345678")}).isEmpty(), 30000);
        const QStringList mobile = ServerRow(server, sql, {QStringLiteral("0881234567")});
        QCOMPARE(mobile.at(0), QStringLiteral("90"));
        QCOMPARE(mobile.at(1).toDouble(), 0.41);  // 0.05 + 90 s at 0.24 a minute, not the broken set's
        QCOMPARE(mobile.at(2).toDouble(), 0.08);  // VAT 20 % of a new database
        QCOMPARE(mobile.at(3).toDouble(), 0.49);
        QCOMPARE(ServerRow(server, sql, {QStringLiteral("2345678")}),
                 (QStringList{QStringLiteral("60"), QStringLiteral("<null>"), QStringLiteral("<null>"),
                              QStringLiteral("<null>")}));

        // Changed rules charge the next call.
        QCOMPARE(admin
                     .Apply(kAdmin, QStringLiteral("dspTariffRules"),
                            {Insert({QStringLiteral("Local"), QStringLiteral("rate * 0.00 0.04 60")})})
                     .Errors.size(),
                 0);
        QVERIFY(exchange.Send("     23456790061\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(!ServerRow(server, sql, {QStringLiteral("2345679")}).isEmpty(), 30000);
        QCOMPARE(ServerRow(server, sql, {QStringLiteral("2345679")}).at(1).toDouble(), 0.08);
    }
};

QTEST_GUILESS_MAIN(TestServerTariffs)
#include "tst_server_tariffs.moc"
