#include "schema/CallString.h"
#include "schema/CallStringHelp.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

// The concrete class of an element, for the tables.
QString ClassOf(const TCallStringElement* e)
{
#define TRY_CLASS(T)               \
    if (dynamic_cast<const T*>(e)) \
        return QStringLiteral(#T);
    TRY_CLASS(TCallStringLiteral)
    TRY_CLASS(TCallStringYear)
    TRY_CLASS(TCallStringMonth)
    TRY_CLASS(TCallStringDay)
    TRY_CLASS(TCallStringHour)
    TRY_CLASS(TCallStringAmPm)
    TRY_CLASS(TCallStringMin)
    TRY_CLASS(TCallStringSec)
    TRY_CLASS(TCallStringDurHour)
    TRY_CLASS(TCallStringDurMin)
    TRY_CLASS(TCallStringDurSec)
    TRY_CLASS(TCallStringPhone)
    TRY_CLASS(TCallStringExtension)
    TRY_CLASS(TCallStringPinCode)
    TRY_CLASS(TCallStringExtraCode)
    TRY_CLASS(TCallStringCircuit)
    TRY_CLASS(TCallStringTrunk)
    TRY_CLASS(TCallStringPulses)
    TRY_CLASS(TCallStringCallType)
    TRY_CLASS(TCallStringSwapExtAndPhone)
    TRY_CLASS(TCallStringMaxExtensionLength)
    TRY_CLASS(TCallStringDateTime)
#undef TRY_CLASS
    return QStringLiteral("?");
}

// The structure of a parsed format, one line per element, to compare two parses.
QString Structure(const TCallString& schema)
{
    QStringList lines;
    for (const auto& element : schema.Elements()) {
        QString line = ClassOf(element.get()) + QLatin1Char(' ') + QString::number(element->Length);
        if (auto* literal = dynamic_cast<const TCallStringLiteral*>(element.get()))
            line += QLatin1Char(' ') + literal->Pattern;
        if (auto* tag = dynamic_cast<const TCallStringData*>(element.get()))
            line += QStringLiteral(" %1 %2 %3").arg(tag->TagName).arg(tag->Required).arg(int(tag->Alignment));
        if (auto* command = dynamic_cast<const TCallStringCommand*>(element.get()))
            line += QLatin1Char(' ') + command->CommandName + QLatin1Char('|') +
                    command->Arguments.join(QChar(0));
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

class TestSchemaParse : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("canonical");

        QTest::newRow("empty text") << "" << true << "";
        QTest::newRow("only literal") << "CDR: " << true << "CDR: ";
        QTest::newRow("escapes as written") << "\\?\\?$ \\t\\n\\r" << true << "\\?\\?$ \\t\\n\\r";
        QTest::newRow("trailing backslash kept in text") << "a\\(year)" << true << "a\\(year:2)";
        QTest::newRow("year without length") << "(year)" << true << "(year:2)";
        QTest::newRow("required year") << "(Year)" << true << "(YEAR:2)";
        QTest::newRow("required four-digit right") << "(YEAR:4]" << true << "(YEAR:4]";
        QTest::newRow("left and right brackets") << "[pincode:4]" << true << "[pincode:4]";
        QTest::newRow("left alignment") << "[extension:5)" << true << "[extension:5)";
        QTest::newRow("right alignment") << "(extension:5]" << true << "(extension:5]";
        QTest::newRow("mixed case name not required") << "(eXtension:4)" << true << "(extension:4)";
        QTest::newRow("mixed case name required") << "(DurHour:3)" << true << "(DURHOUR:3)";
        QTest::newRow("sec default 2") << "(sec)" << true << "(sec:2)";
        QTest::newRow("sec 1") << "(sec:1)" << true << "(sec:1)";
        QTest::newRow("ampm default 1") << "(ampm)" << true << "(ampm:1)";
        QTest::newRow("ampm 2") << "(ampm:2)" << true << "(ampm:2)";
        QTest::newRow("durmin default 2") << "(durmin)" << true << "(durmin:2)";
        QTest::newRow("dursec wide") << "(dursec:5)" << true << "(dursec:5)";
        QTest::newRow("dursec without length") << "(dursec)" << false << "";
        QTest::newRow("blanks around name") << "( extension :5)" << true << "(extension:5)";
        QTest::newRow("controls around name") << "(\tyear\r:4)" << true << "(year:4)";
        QTest::newRow("widest field") << "(phone:65535)" << true << "(phone:65535)";
        QTest::newRow("zero-padded length") << "(phone:007)" << true << "(phone:7)";
        QTest::newRow("swap alias") << "{swap_extension_and_number:9,R}" << true
                                    << "{swap_extension_and_phone:9,R}";
        QTest::newRow("command without colon") << "{date_time}" << true << "{date_time:}";
        QTest::newRow("command with empty colon") << "{date_time:}" << true << "{date_time:}";
        QTest::newRow("command name any case")
            << "{Max_Extension_Length:4}" << true << "{max_extension_length:4}";
        QTest::newRow("blanks around arguments")
            << "{swap_extension_and_phone: 9 , R }" << true << "{swap_extension_and_phone:9,R}";
        QTest::newRow("blank ends an argument")
            << "{swap_extension_and_phone:9 R}" << true << "{swap_extension_and_phone:9,R}";
        QTest::newRow("quoted argument with blank")
            << "{swap_extension_and_phone:\"a b\",c}" << true << "{swap_extension_and_phone:\"a b\",c}";
        QTest::newRow("quoted argument with quote")
            << "{swap_extension_and_phone:\"x\"\"y\"}" << true << "{swap_extension_and_phone:\"x\"\"y\"}";
        QTest::newRow("unquoted argument with quote")
            << "{swap_extension_and_phone:x\"y}" << true << "{swap_extension_and_phone:\"x\"\"y\"}";
        QTest::newRow("quotes dropped when not needed")
            << "{swap_extension_and_phone:\"R\"}" << true << "{swap_extension_and_phone:R}";
        QTest::newRow("one empty argument")
            << "{swap_extension_and_phone:\"\"}" << true << "{swap_extension_and_phone:\"\"}";
        QTest::newRow("comma at the end")
            << "{swap_extension_and_phone:9,}" << true << "{swap_extension_and_phone:9,}";
        QTest::newRow("only a comma")
            << "{swap_extension_and_phone:,}" << true << "{swap_extension_and_phone:,}";
        QTest::newRow("comma then blank at the end")
            << "{swap_extension_and_phone:9, }" << true << "{swap_extension_and_phone:9}";
        QTest::newRow("colon inside arguments") << "{date_time:a:b}" << true << "{date_time:a:b}";
        QTest::newRow("realistic") << "(day)/(month)/(year) (HOUR):(MIN) (durhour:2):(durmin):(dursec:2) "
                                      "[EXTENSION:6) (phone:20) (type:1)\\r\\n{swap_extension_and_phone:I}"
                                   << true
                                   << "(day:2)/(month:2)/(year:2) (HOUR:2):(MIN:2) (durhour:2):(durmin:2):"
                                      "(dursec:2) [EXTENSION:6) (phone:20) (type:1)\\r\\n"
                                      "{swap_extension_and_phone:I}";

        QTest::newRow("sec 3") << "(sec:3)" << false << "";
        QTest::newRow("ampm 3") << "(ampm:3)" << false << "";
        QTest::newRow("year 3") << "(year:3)" << false << "";
        QTest::newRow("durmin 4") << "(durmin:4)" << false << "";
        QTest::newRow("phone without length") << "(phone)" << false << "";
        QTest::newRow("durhour without length") << "(durhour)" << false << "";
        QTest::newRow("text tag of length 0") << "(extension:0)" << false << "";
        QTest::newRow("width beyond 16 bits") << "(phone:65536)" << false << "";
        QTest::newRow("endless length") << "(phone:99999999999999999999)" << false << "";
        QTest::newRow("tag closed by brace") << "(phone:10}" << false << "";
        QTest::newRow("command closed by parenthesis") << "{date_time:start)" << false << "";
        QTest::newRow("closing parenthesis first") << ")abc" << false << "";
        QTest::newRow("closing bracket first") << "]" << false << "";
        QTest::newRow("closing brace first") << "ab}" << false << "";
        QTest::newRow("opening at the end") << "abc(" << false << "";
        QTest::newRow("end inside name") << "(year" << false << "";
        QTest::newRow("end after colon") << "(year:" << false << "";
        QTest::newRow("end after length") << "(year:4" << false << "";
        QTest::newRow("end inside arguments") << "{date_time:start" << false << "";
        QTest::newRow("empty name") << "(:4)" << false << "";
        QTest::newRow("blank name") << "(  )" << false << "";
        QTest::newRow("empty command name") << "{:x}" << false << "";
        QTest::newRow("nested opening") << "((year)" << false << "";
        QTest::newRow("blank after length") << "(year:4 )" << false << "";
        QTest::newRow("blank before length") << "(extension: 5)" << false << "";
        QTest::newRow("second colon") << "(year:4:2)" << false << "";
        QTest::newRow("blank inside name") << "(dur hour:2)" << false << "";
        QTest::newRow("unknown tag") << "(minute:2)" << false << "";
        QTest::newRow("unknown command") << "{swap}" << false << "";
        QTest::newRow("command name with word") << "{date_time start}" << false << "";
        QTest::newRow("command followed by tag opening") << "{date_time(" << false << "";
        QTest::newRow("bad element after good ones") << "(year)(month)(bogus:2)" << false << "";
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(QString, canonical);
        TCallString schema;
        QCOMPARE(schema.Parse(text), valid);
        if (!valid) {
            QVERIFY(schema.Elements().empty());
            return;
        }
        QCOMPARE(schema.GetText(), canonical);
        TCallString again;
        QVERIFY(again.Parse(canonical));
        QCOMPARE(again.GetText(), canonical);
        QCOMPARE(Structure(again), Structure(schema));
    }

    void elements_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("tagName");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("required");
        QTest::addColumn<int>("alignment");
        auto row = [](const char* name, const char* text, const char* className, const char* tagName,
                      int length, bool required, int alignment) {
            QTest::newRow(name) << QString(text) << QStringLiteral("TCallString") + className
                                << QString(tagName) << length << required << alignment;
        };
        row("year", "(year)", "Year", "year", 2, false, 0);
        row("YEAR:4]", "(YEAR:4]", "Year", "year", 4, true, 2);
        row("month", "[month:2)", "Month", "month", 2, false, 1);
        row("day", "[Day]", "Day", "day", 2, true, 3);
        row("hour", "(hour)", "Hour", "hour", 2, false, 0);
        row("ampm", "(ampm)", "AmPm", "ampm", 1, false, 0);
        row("ampm:2", "(ampm:2)", "AmPm", "ampm", 2, false, 0);
        row("min", "(min)", "Min", "min", 2, false, 0);
        row("sec", "(sec)", "Sec", "sec", 2, false, 0);
        row("sec:1", "(sec:1)", "Sec", "sec", 1, false, 0);
        row("durhour", "(durhour:3)", "DurHour", "durhour", 3, false, 0);
        row("durmin", "(durmin)", "DurMin", "durmin", 2, false, 0);
        row("dursec:1", "(dursec:1)", "DurSec", "dursec", 1, false, 0);
        row("phone", "(PHONE:10]", "Phone", "phone", 10, true, 2);
        row("extension", "(extension:5)", "Extension", "extension", 5, false, 0);
        row("pincode", "[pincode:4]", "PinCode", "pincode", 4, false, 3);
        row("extra", "(extra:3)", "ExtraCode", "extra", 3, false, 0);
        row("circuit", "(circuit:2)", "Circuit", "circuit", 2, false, 0);
        row("trunk", "(trunk:3)", "Trunk", "trunk", 3, false, 0);
        row("pulses", "(pulses:5)", "Pulses", "pulses", 5, false, 0);
        row("type", "(type:1)", "CallType", "type", 1, false, 0);
        row("literal", "\\?\\?$ \\t\\n\\r", "Literal", "", 7, false, 0);
        row("swap", "{swap_extension_and_number:9,R}", "SwapExtAndPhone", "", 0, false, 0);
        row("max length", "{max_extension_length:4}", "MaxExtensionLength", "", 0, false, 0);
        row("date_time", "{date_time}", "DateTime", "", 0, false, 0);
    }
    void elements()
    {
        QFETCH(QString, text);
        QFETCH(QString, className);
        QFETCH(QString, tagName);
        QFETCH(int, length);
        QFETCH(bool, required);
        QFETCH(int, alignment);
        TCallString schema;
        QVERIFY(schema.Parse(text));
        QCOMPARE(schema.Elements().size(), std::size_t(1));
        const TCallStringElement* element = schema.Elements().front().get();
        QCOMPARE(ClassOf(element), className);
        QCOMPARE(int(element->Length), length);
        if (auto* tag = dynamic_cast<const TCallStringData*>(element)) {
            QCOMPARE(tag->TagName, tagName);
            QCOMPARE(tag->Required, required);
            QCOMPARE(int(tag->Alignment), alignment);
        }
    }

    void literalPattern_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("escapes") << "\\?\\?$ \\t\\n\\r" << QString(QChar(0)) + QChar(0) + "$ \t\n\r";
        QTest::newRow("escaped backslash") << "a\\\\b"
                                           << "a\\b";
        QTest::newRow("other escaped character") << "\\x\\$"
                                                 << "x$";
        QTest::newRow("backslash at the end dropped") << "abc\\"
                                                      << "abc";
    }
    void literalPattern()
    {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        TCallString schema;
        QVERIFY(schema.Parse(text));
        auto* literal = dynamic_cast<const TCallStringLiteral*>(schema.Elements().front().get());
        QVERIFY(literal);
        QCOMPARE(literal->Text, text);
        QCOMPARE(literal->Pattern, pattern);
        QCOMPARE(int(literal->Length), int(pattern.size()));
    }

    void overlongLiteralFails()
    {
        TCallString schema;
        QVERIFY(!schema.Parse(QString(65536, 'x')));
        QVERIFY(schema.Parse(QString(65535, 'x') + "\\"));
        QCOMPARE(int(schema.Elements().front()->Length), 65535);
    }

    void commandArguments_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("sentAtStart");
        QTest::addColumn<int>("maxLength");
        QTest::newRow("start then end")
            << "{date_time:start,end}" << QStringList{"start", "end"} << false << 0;
        QTest::newRow("end then start")
            << "{date_time:end,start}" << QStringList{"end", "start"} << true << 0;
        QTest::newRow("start") << "{date_time:start}" << QStringList{"start"} << true << 0;
        QTest::newRow("case-sensitive words") << "{date_time:Start}" << QStringList{"Start"} << false << 0;
        QTest::newRow("other words ignored")
            << "{date_time:start,later}" << QStringList{"start", "later"} << true << 0;
        QTest::newRow("default end") << "{date_time}" << QStringList{} << false << 0;
        QTest::newRow("max length") << "{max_extension_length:4}" << QStringList{"4"} << false << 4;
        QTest::newRow("max length missing") << "{max_extension_length}" << QStringList{} << false << 0;
        QTest::newRow("max length not a number")
            << "{max_extension_length:x}" << QStringList{"x"} << false << 0;
        QTest::newRow("max length extra arguments")
            << "{max_extension_length:7,9}" << QStringList{"7", "9"} << false << 7;
    }
    void commandArguments()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, arguments);
        QFETCH(bool, sentAtStart);
        QFETCH(int, maxLength);
        TCallString schema;
        QVERIFY(schema.Parse(text));
        auto* command = dynamic_cast<const TCallStringCommand*>(schema.Elements().front().get());
        QVERIFY(command);
        QCOMPARE(command->Arguments, arguments);
        if (auto* dateTime = dynamic_cast<const TCallStringDateTime*>(command))
            QCOMPARE(dateTime->SentAtStart, sentAtStart);
        if (auto* maxLen = dynamic_cast<const TCallStringMaxExtensionLength*>(command))
            QCOMPARE(maxLen->MaxLength, maxLength);
    }

    void readArguments_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("end");
        QTest::newRow("none") << "}" << 1 << QStringList{} << 1;
        QTest::newRow("blanks only") << "  }" << 1 << QStringList{} << 3;
        QTest::newRow("two") << "9,R}" << 1 << QStringList{"9", "R"} << 4;
        QTest::newRow("blanks dropped") << " a , b }" << 1 << QStringList{"a", "b"} << 8;
        QTest::newRow("blank separates") << "a b" << 1 << QStringList{"a", "b"} << 4;
        QTest::newRow("empty middle") << "a,,b" << 1 << QStringList{"a", "", "b"} << 5;
        QTest::newRow("comma at the very end") << "a," << 1 << QStringList{"a", ""} << 3;
        QTest::newRow("comma then blank") << "a, " << 1 << QStringList{"a"} << 4;
        QTest::newRow("only comma") << "," << 1 << QStringList{"", ""} << 2;
        QTest::newRow("quoted comma") << "\"a,b\"" << 1 << QStringList{"a,b"} << 6;
        QTest::newRow("doubled quote") << "\"a\"\"b\"" << 1 << QStringList{"a\"b"} << 7;
        QTest::newRow("unclosed quote") << "\"ab c" << 1 << QStringList{"ab c"} << 6;
        QTest::newRow("text after quote") << "\"ab\"cd" << 1 << QStringList{"ab", "cd"} << 7;
        QTest::newRow("empty quoted") << "\"\"" << 1 << QStringList{""} << 3;
        QTest::newRow("position before the text") << "a,b}" << 0 << QStringList{} << 0;
        QTest::newRow("from the middle") << "{x:a,b}" << 4 << QStringList{"a", "b"} << 7;
        QTest::newRow("stops at any bracket") << "a\"b(c" << 1 << QStringList{"a\"b"} << 4;
    }
    void readArguments()
    {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(QStringList, arguments);
        QFETCH(int, end);
        QStringList read{"left over"};
        qsizetype position = start;
        TCallString::ReadArguments(text, position, read);
        QCOMPARE(read, arguments);
        QCOMPARE(int(position), end);
    }

    void readNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("end");
        QTest::newRow("digits") << "12)" << 1 << 12 << 3;
        QTest::newRow("from the middle") << "(x:305]" << 4 << 305 << 7;
        QTest::newRow("no digits") << ")" << 1 << 0 << 1;
        QTest::newRow("at the end") << "7" << 2 << 0 << 2;
        QTest::newRow("before the text") << "7" << 0 << 0 << 0;
        QTest::newRow("stops growing") << "123456789012)" << 1 << 65536 << 13;
    }
    void readNumber()
    {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(int, value);
        QFETCH(int, end);
        qsizetype position = start;
        QCOMPARE(TCallString::ReadNumber(text, position), value);
        QCOMPARE(int(position), end);
    }

    void createTagAndCommand()
    {
        QVERIFY(!TCallString::CreateTag("phone", TCallStringAlignment::None, 0));
        QVERIFY(!TCallString::CreateTag("", TCallStringAlignment::None, 2));
        auto year = TCallString::CreateTag("YEAR", TCallStringAlignment::Both, 4);
        QVERIFY(year);
        QCOMPARE(year->GetText(), QString("[YEAR:4]"));
        QVERIFY(TCallString::CreateCommand("SWAP_EXTENSION_AND_NUMBER", {}));
        QVERIFY(!TCallString::CreateCommand("swap_extension", {}));
    }

    void failedParseKeepsElements()
    {
        TCallString schema;
        QVERIFY(schema.Parse("(year)(phone:5]"));
        QVERIFY(!schema.Parse("(year)(phone)"));
        QCOMPARE(schema.GetText(), QString("(year:2)(phone:5]"));
        QCOMPARE(schema.Elements().size(), std::size_t(2));
        QVERIFY(schema.Parse(""));
        QVERIFY(schema.Elements().empty());
    }

    // Formats put together from random pieces parse, and their canonical texts are fixed
    // points of parsing.
    void randomCanonicalTexts()
    {
        const QStringList names = {"year",    "month",   "day",     "hour",   "ampm",   "min",
                                   "sec",     "durhour", "durmin",  "dursec", "phone",  "extension",
                                   "pincode", "extra",   "circuit", "trunk",  "pulses", "type"};
        const QStringList lengths = {"", ":1", ":2", ":4", ":7"};
        const QStringList literals = {"-", " ", "\\?", "\\t", "\\r\\n", "\\\\", "ab:c", "x\\"};
        const QStringList commands = {"swap_extension_and_phone", "swap_extension_and_number",
                                      "max_extension_length", "date_time"};
        const QStringList arguments = {"9", "R", "start", "end", "\"a b\"", "\"\"", "x\"y", "", " 4 "};
        QRandomGenerator random(5101);
        int valid = 0;
        for (int i = 0; i < 2000; ++i) {
            QString text;
            const int pieces = random.bounded(1, 8);
            for (int p = 0; p < pieces; ++p) {
                switch (random.bounded(3)) {
                    case 0:
                        text += literals[random.bounded(literals.size())];
                        break;
                    case 1: {
                        QString name = names[random.bounded(names.size())];
                        if (random.bounded(2))
                            name[0] = name[0].toUpper();
                        text += QString(random.bounded(2) ? '[' : '(') + (random.bounded(4) ? "" : " ") +
                                name + lengths[random.bounded(lengths.size())] +
                                (random.bounded(2) ? ']' : ')');
                        break;
                    }
                    default: {
                        QStringList args;
                        for (int a = random.bounded(4); a > 0; --a)
                            args << arguments[random.bounded(arguments.size())];
                        text += '{' + commands[random.bounded(commands.size())] +
                                (args.isEmpty() && random.bounded(2) ? "" : ":" + args.join(',')) + '}';
                    }
                }
            }
            TCallString schema;
            if (!schema.Parse(text))
                continue;  // a length the tag does not accept
            ++valid;
            const QString canonical = schema.GetText();
            TCallString again;
            QVERIFY2(again.Parse(canonical), qPrintable(text));
            QCOMPARE(again.GetText(), canonical);
            QCOMPARE(Structure(again), Structure(schema));
        }
        QVERIFY(valid > 500);
    }

    void helpText()
    {
        const QStringList first = {
            "Schemas consist of tags, literals and commands:",
            "",
            "- Tags describe data elements such as date, duration, extension etc.",
            "  Length may be specified. Text alignment is enforced through brackets:",
            "  (TAG) - no alignment, [TAG) - left, (TAG] - right, [TAG] - both.",
            "  Upper case tags REQUIRE data to be present.",
            "  Example: [pincode:4] means that an OPTIONAL 4 digit code is expected.",
            "  Example: (PHONE:10] means that a right aligned phone number",
            "  is REQUIRED in the following 10 positions.",
            "",
            "- Literals describe characters between data elements.",
            "  Example: \\?\\?$ \\t\\n\\r means \"any two characters followed by '$',",
            "  a space, a tab and a couple of DOS-style end of line characters.",
            "",
            "- Commands modify data. They are enclosed in curly braces {}",
            "  and accept comma-separated parameters after a colon.",
            "  Example: {swap_extension_and_phone:9,R} will swap the extension and",
            "  phone number elements, if the call type character is '9' or 'R'.",
        };
        const QStringList second = {
            "List of tags:",
            "  year:2/4, month:2, day:2, hour:2, ampm:1/2, min:2, sec:1/2,",
            "  durhour:N, durmin:2, dursec:1/N,",
            "  extension:N, phone:N, pincode:N, extra:N,",
            "  circuit:N, trunk:N, pulses:N, type:N",
            "Note: Short seconds (sec:1, dursec:1) are multiplied by 6.",
            "",
            "List of commands:",
            "  {swap_extension_and_phone:X,Y,...}: (see example);",
            "  {max_extension_length:N}: swaps the extension and phone numbers",
            "  elements if the extension is longer than the specified length",
            "  and, in addition, is longer than the phone number;",
            "  {date_time:start} or {date_time:end}: defines which date/time is",
            "  sent by the PBX -- of call initiation or of call completion.",
        };
        const QString crlf = "\r\n";
        const QString expected = first.join(crlf) + crlf + crlf + second.join(crlf) + crlf;
        QCOMPARE(CallStringHelpText(), expected);
        QCOMPARE(CallStringHelpText().toLatin1(), expected.toLatin1());
    }
};

QTEST_GUILESS_MAIN(TestSchemaParse)
#include "tst_schema_parse.moc"
