// The expression language of report elements: values, the text of numbers, aggregates over
// rows with their reset, and the messages of malformed expressions.

#include "printing/Expression.h"
#include "support/ReportRows.h"

#include <QLocale>
#include <QTest>

namespace {

// Three calls; DURATION shows as minutes and seconds, as a text handler would show it.
TTableRows Calls()
{
    TTableRows rows({"CODE", "NAME", "DURATION", "CHARGE", "MAYBE", "Call count", "TEXTNUM"},
                    {{"101", "Reception", 65, 1.25, QVariant(), 3, "2.5"},
                     {"102", "Accounts", 130, 2.5, 7, 4, "2.5"},
                     {"103", "It's me", 0, 0.1, QVariant(), 5, "2.5"}});
    rows.SetDisplay("DURATION", [](const QVariant& v) {
        return QStringLiteral("%1m %2s").arg(v.toInt() / 60).arg(v.toInt() % 60);
    });
    return rows;
}

}  // namespace

class TestExpression : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void valuesOfARow_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("text");

        QTest::newRow("empty expression") << ""
                                          << "";
        QTest::newRow("blanks only") << "   "
                                     << "";
        QTest::newRow("text literal") << "'abc'"
                                      << "abc";
        QTest::newRow("empty literal") << "''"
                                       << "";
        QTest::newRow("doubled quote") << "'It''s'"
                                       << "It's";
        QTest::newRow("literal keeps blanks") << "' a + b '"
                                              << " a + b ";
        QTest::newRow("integer") << "12"
                                 << "12";
        QTest::newRow("real without trailing zeros") << "1.50"
                                                     << "1.5";
        QTest::newRow("numbers add") << "1+2"
                                     << "3";
        QTest::newRow("reals add without binary noise") << "0.1+0.2"
                                                        << "0.3";
        QTest::newRow("text and number join") << "'a'+1"
                                              << "a1";
        QTest::newRow("number and text join") << "1+'a'"
                                              << "1a";
        QTest::newRow("caption and column") << "'Ext '+CODE"
                                            << "Ext 101";
        QTest::newRow("name without regard to case") << "code"
                                                     << "101";
        QTest::newRow("blanks around") << "  NAME  "
                                       << "Reception";
        QTest::newRow("bracketed name") << "[Call count]"
                                        << "3";
        QTest::newRow("bracketed plain name") << "[NAME]"
                                              << "Reception";
        QTest::newRow("column prints its display text") << "DURATION"
                                                        << "1m 5s";
        QTest::newRow("column joined as display text") << "'Duration '+DURATION"
                                                       << "Duration 1m 5s";
        QTest::newRow("columns add as numbers") << "DURATION+1"
                                                << "66";
        QTest::newRow("integer and real add") << "DURATION+CHARGE"
                                              << "66.25";
        QTest::newRow("null joins as nothing") << "'x'+MAYBE+'y'"
                                               << "xy";
        QTest::newRow("null and a number do not add") << "MAYBE+1"
                                                      << "1";
        QTest::newRow("parentheses") << "('a'+('b'+'c'))+'d'"
                                     << "abcd";
        QTest::newRow("grouping changes the sum") << "'n'+(1+2)"
                                                  << "n3";
        QTest::newRow("left to right") << "'n'+1+2"
                                       << "n12";
        QTest::newRow("aggregates empty before any row") << "SUM(DURATION)+'|'+COUNT"
                                                         << "0|0";
    }
    void valuesOfARow()
    {
        QFETCH(QString, expression);
        QFETCH(QString, text);
        const TTableRows rows = Calls();
        const TExpression parsed = TExpression::Parse(expression, rows);
        QCOMPARE(parsed.EvaluateText(0), text);
    }

    void aggregatesOverRows_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("value");

        QTest::newRow("SUM(1) counts rows") << "SUM(1)"
                                            << "3" << QVariant(qint64(3));
        QTest::newRow("COUNT") << "COUNT"
                               << "3" << QVariant(qint64(3));
        QTest::newRow("COUNT()") << "count()"
                                 << "3" << QVariant(qint64(3));
        QTest::newRow("COUNT of a column skips nulls") << "COUNT(MAYBE)"
                                                       << "1" << QVariant(qint64(1));
        QTest::newRow("integer sum stays integer") << "SUM(DURATION)"
                                                   << "195" << QVariant(qint64(195));
        QTest::newRow("real sum") << "SUM(CHARGE)"
                                  << "3.85" << QVariant(3.85);
        QTest::newRow("sum skips nulls") << "SUM(MAYBE)"
                                         << "7" << QVariant(qint64(7));
        QTest::newRow("sum of an expression") << "SUM(DURATION+1)"
                                              << "198" << QVariant(qint64(198));
        QTest::newRow("sum of numeric texts") << "SUM(TEXTNUM)"
                                              << "7.5" << QVariant(7.5);
        QTest::newRow("sums joined") << "SUM(1)+'|'+COUNT+'|'+SUM(DURATION)"
                                     << "3|3|195" << QVariant("3|3|195");
        QTest::newRow("sums added") << "SUM(DURATION)+SUM(CHARGE)"
                                    << "198.85" << QVariant(198.85);
        QTest::newRow("text before a sum") << "'Total: '+SUM([Call count])"
                                           << "Total: 12" << QVariant("Total: 12");
        QTest::newRow("column beside a sum is the last row's") << "CODE+': '+SUM(1)"
                                                               << "103: 3" << QVariant("103: 3");
    }
    void aggregatesOverRows()
    {
        QFETCH(QString, expression);
        QFETCH(QString, text);
        QFETCH(QVariant, value);
        const TTableRows rows = Calls();
        const TExpression parsed = TExpression::Parse(expression, rows);
        TAggregates aggregates = parsed.NewAggregates();
        for (int row = 0; row < rows.RowCount(); ++row)
            parsed.Accumulate(row, aggregates);
        QCOMPARE(parsed.EvaluateText(2, aggregates), text);
        const QVariant got = parsed.Evaluate(2, aggregates);
        QCOMPARE(got.metaType(), value.metaType());
        if (value.metaType() == QMetaType::fromType<double>())
            QVERIFY(qFuzzyCompare(got.toDouble(), value.toDouble()));
        else
            QCOMPARE(got, value);
    }

    void resetStartsANewScope()
    {
        const TTableRows rows = Calls();
        const TExpression sum = TExpression::Parse("SUM(DURATION)+'/'+COUNT", rows);
        TAggregates aggregates = sum.NewAggregates();
        sum.Accumulate(0, aggregates);
        sum.Accumulate(1, aggregates);
        QCOMPARE(sum.EvaluateText(1, aggregates), QStringLiteral("195/2"));
        aggregates.Reset();
        QCOMPARE(sum.EvaluateText(1, aggregates), QStringLiteral("0/0"));
        sum.Accumulate(2, aggregates);
        QCOMPARE(sum.EvaluateText(2, aggregates), QStringLiteral("0/1"));
        // A copy of the parsed expression keeps its own state apart.
        const TExpression copy = sum;
        TAggregates other = copy.NewAggregates();
        copy.Accumulate(1, other);
        QCOMPARE(copy.EvaluateText(1, other), QStringLiteral("130/1"));
        QCOMPARE(sum.EvaluateText(2, aggregates), QStringLiteral("0/1"));
    }

    void malformedExpressionsNameTheirFault_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("position");

        QTest::newRow("unclosed sum") << "SUM(DURATION"
                                      << "Expression \"SUM(DURATION\": \")\" expected at position 13." << 13;
        QTest::newRow("unterminated text") << "'abc"
                                           << "Expression \"'abc\": unterminated text at position 1." << 1;
        QTest::newRow("quote doubled at the end")
            << "'abc''"
            << "Expression \"'abc''\": unterminated text at position 1." << 1;
        QTest::newRow("plus at the end") << "1+"
                                         << "Expression \"1+\": value expected at position 3." << 3;
        QTest::newRow("plus at the start") << "+1"
                                           << "Expression \"+1\": value expected at position 1." << 1;
        QTest::newRow("two plus signs") << "1++2"
                                        << "Expression \"1++2\": value expected at position 3." << 3;
        QTest::newRow("unknown column")
            << "'a'+BAR"
            << "Expression \"'a'+BAR\": unknown column \"BAR\" at position 5." << 5;
        QTest::newRow("unknown bracketed column")
            << "[No such]"
            << "Expression \"[No such]\": unknown column \"No such\" at position 1." << 1;
        QTest::newRow("unclosed bracket")
            << "[Call count"
            << "Expression \"[Call count\": \"]\" expected at position 12." << 12;
        QTest::newRow("unknown function")
            << "AVG(DURATION)"
            << "Expression \"AVG(DURATION)\": unknown function \"AVG\" at position 1." << 1;
        QTest::newRow("nested aggregate")
            << "SUM(COUNT)"
            << "Expression \"SUM(COUNT)\": SUM and COUNT cannot be nested at position 5." << 5;
        QTest::newRow("sum without argument") << "SUM()"
                                              << "Expression \"SUM()\": value expected at position 5." << 5;
        QTest::newRow("sum without parentheses") << "SUM"
                                                 << "Expression \"SUM\": \"(\" expected at position 4." << 4;
        QTest::newRow("two values") << "1 2"
                                    << "Expression \"1 2\": \"+\" or the end expected at position 3." << 3;
        QTest::newRow("unclosed parenthesis") << "(1+2"
                                              << "Expression \"(1+2\": \")\" expected at position 5." << 5;
        QTest::newRow("stray closing parenthesis")
            << "1)"
            << "Expression \"1)\": \"+\" or the end expected at position 2." << 2;
        QTest::newRow("fraction without digits") << "1.+2"
                                                 << "Expression \"1.+2\": digit expected at position 3." << 3;
        QTest::newRow("other operator")
            << "1-2"
            << "Expression \"1-2\": \"+\" or the end expected at position 2." << 2;
        QTest::newRow("double-quoted text")
            << "\"abc\""
            << "Expression \"\"abc\"\": unexpected character \"\"\" at position 1." << 1;
    }
    void malformedExpressionsNameTheirFault()
    {
        QFETCH(QString, expression);
        QFETCH(QString, message);
        QFETCH(int, position);
        const TTableRows rows = Calls();
        try {
            TExpression::Parse(expression, rows);
            QFAIL("parsed");
        } catch (const EExpressionError& e) {
            QCOMPARE(e.Message(), message);
            QCOMPARE(e.Position(), position);
            QCOMPARE(e.Expression(), expression);
        }
    }

    void sumOfATextFailsWithTheRow()
    {
        const TTableRows rows = Calls();
        const TExpression sum = TExpression::Parse("'n'+SUM(NAME)", rows);
        TAggregates aggregates = sum.NewAggregates();
        try {
            sum.Accumulate(1, aggregates);
            QFAIL("summed a text");
        } catch (const EExpressionError& e) {
            QCOMPARE(e.Message(),
                     QStringLiteral("Expression \"'n'+SUM(NAME)\": SUM of the text \"Accounts\" in row 2 "
                                    "at position 5."));
        }
    }

    void numberTexts_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("negative zero") << -0.0 << "0";
        QTest::newRow("whole") << 150.0 << "150";
        QTest::newRow("fraction") << 12.5 << "12.5";
        QTest::newRow("negative") << -3.25 << "-3.25";
        QTest::newRow("sum of cents") << (0.1 + 0.2 + 0.3) << "0.6";
        QTest::newRow("third") << 1.0 / 3 << "0.333333333333333";
        QTest::newRow("large with cents") << 123456789.125 << "123456789.125";
        QTest::newRow("tiny rounds to zero") << 1e-17 << "0";
        QTest::newRow("beyond fifteen digits") << 2e15 << "2e+15";
    }
    void numberTexts()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(TExpression::NumberText(value), text);
    }

    void numbersIgnoreTheLocale()
    {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::Bulgarian, QLocale::Bulgaria));
        const TTableRows rows = Calls();
        const TExpression sum = TExpression::Parse("SUM(CHARGE)+'|'+1.5", rows);
        TAggregates aggregates = sum.NewAggregates();
        sum.Accumulate(0, aggregates);
        const QString text = sum.EvaluateText(0, aggregates);
        QLocale::setDefault(saved);
        QCOMPARE(text, QStringLiteral("1.25|1.5"));
    }
};

QTEST_GUILESS_MAIN(TestExpression)
#include "tst_expression.moc"
