// What the report does with a loaded result, on local tables made by hand: the columns
// dressed from the catalogue, the overlap scan of the special report and the tab-separated
// export byte for byte.

#include "support/LogCapture.h"
#include "core/RegionalSettings.h"
#include "remote/RemoteDataSet.h"
#include "calls/ReportResults.h"
#include "core/Variants.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

namespace {

const TDateTime kDay = EncodeDateTime(2024, 3, 11);

QVariant At(const QString& seconds)
{
    return seconds.isEmpty() ? QVariant() : VarFromDateTime(IncSeconds(kDay, seconds.toDouble()));
}

QVariant Text(const QString& text)
{
    return text == QLatin1String("null") ? QVariant() : QVariant(text);
}

// A result as the special report's query gives it. Each call is "id|pin|ext|start|end"
// with the times in seconds after 08:00 on a fixed day; an empty time is missing, a code
// "null" is missing and an empty code is the empty text.
void FillCalls(TRemoteDataSet& result, const QStringList& calls)
{
    result.setObjectName(QStringLiteral("cdsResult"));
    result.AddField(QStringLiteral("ID"), TFieldType::Integer);
    result.AddField(QStringLiteral("PIN_CODE"), TFieldType::String, 10);
    result.AddField(QStringLiteral("EXT_CODE"), TFieldType::String, 10);
    result.AddField(QStringLiteral("START_DATETIME"), TFieldType::DateTime);
    result.AddField(QStringLiteral("END_DATETIME"), TFieldType::DateTime);
    result.CreateDataSet();
    for (const QString& call : calls) {
        const QStringList f = call.split(QLatin1Char('|'));
        result.AppendRecord({f[0].toInt(), Text(f[1]), Text(f[2]), At(f[3]), At(f[4])});
    }
    result.MergeChangeLog();
}

// The IDs of the special report's rows, 0 for a separator (a row with every value null).
QList<int> RowIds(TRemoteDataSet& special)
{
    QList<int> ids;
    for (int row = 0; row < special.RecordCount(); ++row) {
        bool empty = true;
        for (const TField* f : special.Fields())
            empty = empty && VarIsNull(special.ValueAt(row, *f));
        ids << (empty ? 0 : special.ValueAt(row, *special.Field(0)).toInt());
    }
    return ids;
}

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

class TestReportResults : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private Q_SLOTS:
    void initTestCase()
    {
        RegisterVariantTypes();
        CreateCallFieldInfos();
        TRegionalSettings rs;
        rs.DecimalSeparator = QLatin1Char(',');
        rs.CurrencyString = QStringLiteral("lv");
        rs.CurrencyFormat = 3;
        rs.ShortDateFormat = QStringLiteral("dd.mm.yyyy");
        rs.LongTimeFormat = QStringLiteral("hh:nn:ss");
        TRegionalSettings::SetCurrent(rs);
        SetReportFormats(QString(), QString());
    }

    // ---- dressing ------------------------------------------------------------------------

    void dressResultColumns_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("text");

        const auto type = [](TFieldType t) { return static_cast<int>(t); };
        QTest::newRow("time handler") << "START_DATETIME" << type(TFieldType::DateTime)
                                      << VarFromDateTime(EncodeDateTime(2024, 3, 11, 8, 5, 9)) << "Start time"
                                      << 20 << "11.03.2024 08:05:09";
        QTest::newRow("duration handler")
            << "DURATION" << type(TFieldType::Integer) << QVariant(3725) << "Duration" << 8 << "1h,2m,5s";
        QTest::newRow("charge handler rounds to hundredths")
            << "TOTAL_CHARGE" << type(TFieldType::Currency) << QVariant(12.345) << "Total charge" << 8
            << "12,35 lv";
        QTest::newRow("null through a handler")
            << "CHARGE" << type(TFieldType::Currency) << QVariant() << "Charge" << 8 << "";
        QTest::newRow("no handler: the value as it is")
            << "EXT_GROUP" << type(TFieldType::WideString) << QVariant("Sales") << "Extension group" << 16
            << "Sales";
        QTest::newRow("count without handler") << "TOTAL_COUNT" << type(TFieldType::Largeint)
                                               << QVariant(qint64(12)) << "Call count" << 8 << "12";
        QTest::newRow("a column the catalogue lacks keeps its name and default width")
            << "CHARGED_BY" << type(TFieldType::String) << QVariant("tariff 3") << "CHARGED_BY" << 12
            << "tariff 3";
        QTest::newRow("names are exact: vat is no catalogue column")
            << "vat" << type(TFieldType::Float) << QVariant(1.5) << "vat" << 10 << "1,5";
    }
    void dressResultColumns()
    {
        QFETCH(QString, name);
        QFETCH(int, type);
        QFETCH(QVariant, value);
        QFETCH(QString, label);
        QFETCH(int, width);
        QFETCH(QString, text);

        TRemoteDataSet result;
        TField* field = result.AddField(name, static_cast<TFieldType>(type), 12);
        // What an earlier run left on the column is replaced.
        field->SetDisplayLabel(QStringLiteral("old"));
        field->SetDisplayWidth(3);
        field->SetOnGetText([](TField&, bool) { return QStringLiteral("old handler"); });
        result.CreateDataSet();
        result.AppendRecord({value});
        DressResultColumns(result);
        QCOMPARE(field->DisplayLabel(), label);
        QCOMPARE(field->DisplayWidth(), width);
        QCOMPARE(field->DisplayText(), text);
        QCOMPARE(field->Text(), text);
    }

    // ---- special report --------------------------------------------------------------------

    void overlaps_data()
    {
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<int>("inequality");
        QTest::addColumn<int>("minimumOverlap");
        QTest::addColumn<bool>("includeNull");
        QTest::addColumn<QList<int>>("rows");

        using L = QList<int>;
        QTest::newRow("same PIN from two extensions, the second starting before the first ends")
            << QStringList{"1|111|101|0|100", "2|111|102|50|150"} << int(cfNone) << 0 << false << L{1, 2, 0};
        QTest::newRow("one after the other")
            << QStringList{"1|111|101|0|100", "2|111|101|101|150"} << int(cfNone) << 0 << false << L{};
        QTest::newRow("touching calls overlap without a minimum")
            << QStringList{"1|111|101|0|100", "2|111|101|100|150"} << int(cfNone) << 0 << false << L{1, 2, 0};
        QTest::newRow("minimum overlap reached")
            << QStringList{"1|111|101|0|100", "2|111|101|90|150"} << int(cfNone) << 10 << false << L{1, 2, 0};
        QTest::newRow("minimum overlap missed by a second")
            << QStringList{"1|111|101|0|100", "2|111|101|90|150"} << int(cfNone) << 11 << false << L{};
        QTest::newRow("negative minimum lets a gap count")
            << QStringList{"1|111|101|0|100", "2|111|101|105|150"} << int(cfNone) << -5 << false
            << L{1, 2, 0};
        QTest::newRow("negative minimum, gap too long")
            << QStringList{"1|111|101|0|100", "2|111|101|105|150"} << int(cfNone) << -4 << false << L{};
        QTest::newRow("several later calls, then the next call's own overlaps")
            << QStringList{"1|111|101|0|100", "2|111|102|10|50", "3|111|103|20|200"} << int(cfNone) << 0
            << false << L{1, 2, 3, 0, 2, 3, 0};
        QTest::newRow("the scan stops at the first later start")
            << QStringList{"1|111|101|0|100", "2|111|102|150|300", "3|111|103|160|170"} << int(cfNone) << 0
            << false << L{2, 3, 0};
        QTest::newRow("another equality value ends the scan")
            << QStringList{"1|111|101|0|100", "2|222|101|10|50", "3|222|102|20|60"} << int(cfNone) << 0
            << false << L{2, 3, 0};
        QTest::newRow("same inequality value is no overlap")
            << QStringList{"1|111|101|0|100", "2|111|101|50|150", "3|111|102|60|160"} << int(cfExtCode) << 0
            << false << L{1, 3, 0, 2, 3, 0};
        QTest::newRow("an inequality field outside the result is ignored")
            << QStringList{"1|111|101|0|100", "2|111|101|50|150"} << int(cfPhone) << 0 << false << L{1, 2, 0};
        QTest::newRow("missing equality values excluded")
            << QStringList{"1|null|101|0|100", "2|null|102|50|150", "3||103|60|160"} << int(cfNone) << 0
            << false << L{};
        QTest::newRow("missing equality values included")
            << QStringList{"1|null|101|0|100", "2|null|102|50|150"} << int(cfNone) << 0 << true << L{1, 2, 0};
        QTest::newRow("empty and missing values are both empty")
            << QStringList{"1|null|101|0|100", "2||102|50|150"} << int(cfNone) << 0 << true << L{1, 2, 0};
        QTest::newRow("a call without an end overlaps nothing")
            << QStringList{"1|111|101|0|", "2|111|102|10|50"} << int(cfNone) << 0 << false << L{};
        QTest::newRow("a later call without a start is passed over")
            << QStringList{"1|111|101||100", "2|111|102||50", "3|111|103|10|60"} << int(cfNone) << 0 << false
            << L{1, 3, 0, 2, 3, 0};
        QTest::newRow("empty result") << QStringList{} << int(cfNone) << 0 << true << L{};
    }
    void overlaps()
    {
        QFETCH(QStringList, calls);
        QFETCH(int, inequality);
        QFETCH(int, minimumOverlap);
        QFETCH(bool, includeNull);
        QFETCH(QList<int>, rows);

        TLogCapture logs;
        TRemoteDataSet result, special;
        FillCalls(result, calls);
        BuildSpecialReport(result, special,
                           {cfPinCode, static_cast<TCallFieldId>(inequality),
                            static_cast<qint16>(minimumOverlap), includeNull});
        QCOMPARE(RowIds(special), rows);
        QVERIFY(special.Active());
        QCOMPARE(special.CurrentRow(), rows.isEmpty() ? -1 : 0);
        QCOMPARE(special.ChangeCount(), 0);
        QVERIFY(logs.Entries(QStringLiteral("reports")).isEmpty());
    }

    // Copies carry every value and the columns carry the result's display properties.
    void copiesRowsAndColumns()
    {
        TRemoteDataSet result, special;
        FillCalls(result, {"7|111|101|0|100", "8|111|102|30|90"});
        TField* pin = result.FieldByName(QStringLiteral("PIN_CODE"));
        pin->SetDisplayLabel(QStringLiteral("PIN"));
        pin->SetDisplayWidth(6);
        pin->SetTag(42);
        result.FieldByName(QStringLiteral("ID"))->SetVisible(false);
        DressResultColumns(result);  // handlers on the time columns
        pin->SetDisplayLabel(QStringLiteral("PIN"));
        pin->SetTag(42);
        // Left over from an earlier run: dropped.
        special.AddField(QStringLiteral("OLD"), TFieldType::Integer);

        QSignalSpy resets(&special, &TRemoteDataSet::Reset);
        QSignalSpy inserted(&special, &TRemoteDataSet::RowsInserted);
        BuildSpecialReport(result, special, {cfPinCode, cfNone, 0, false});
        QCOMPARE(resets.count(), 1);  // one reset when display updates resume
        QCOMPARE(inserted.count(), 0);
        QVERIFY(!special.ControlsDisabled());

        QCOMPARE(special.FieldCount(), result.FieldCount());
        for (int i = 0; i < result.FieldCount(); ++i) {
            const TField* from = result.Field(i);
            const TField* to = special.Field(i);
            QCOMPARE(to->FieldName(), from->FieldName());
            QCOMPARE(to->DataType(), from->DataType());
            QCOMPARE(to->Size(), from->Size());
            QCOMPARE(to->DisplayLabel(), from->DisplayLabel());
            QCOMPARE(to->DisplayWidth(), from->DisplayWidth());
            QCOMPARE(to->Visible(), from->Visible());
            QCOMPARE(to->Tag(), from->Tag());
            QCOMPARE(bool(to->OnGetText()), bool(from->OnGetText()));
        }
        QCOMPARE(RowIds(special), (QList<int>{7, 8, 0}));
        for (int row = 0; row < 2; ++row)
            for (int i = 0; i < result.FieldCount(); ++i)
                QCOMPARE(special.TextAt(row, *special.Field(i)), result.TextAt(row, *result.Field(i)));
        QCOMPARE(special.TextAt(0, *special.FieldByName(QStringLiteral("START_DATETIME"))),
                 QStringLiteral("11.03.2024"));
    }

    void missingEqualityColumn_data()
    {
        QTest::addColumn<int>("equality");
        QTest::newRow("phone not selected") << int(cfPhone);
        QTest::newRow("no equality field") << int(cfNone);
    }
    void missingEqualityColumn()
    {
        QFETCH(int, equality);
        TLogCapture logs;
        TRemoteDataSet result, special;
        FillCalls(result, {"1|111|101|0|100", "2|111|102|50|150"});
        BuildSpecialReport(result, special, {static_cast<TCallFieldId>(equality), cfNone, 0, true});
        QCOMPARE(logs.Entries(QStringLiteral("reports")), QStringList{"4: TReportDM: Null equality field."});
        QCOMPARE(logs.LiveLog.size(), 1);
        QVERIFY(logs.LiveLog.first().startsWith(QLatin1String("TReportDM: Null equality field.\n")));
        QVERIFY(special.Active());
        QVERIFY(special.IsEmpty());
        QCOMPARE(special.FieldCount(), result.FieldCount());
        QVERIFY(!special.ControlsDisabled());
    }

    // The query always selects the two times; without them the scan cannot run.
    void missingTimeColumnRaises()
    {
        TRemoteDataSet result, special;
        result.AddField(QStringLiteral("PIN_CODE"), TFieldType::String, 10);
        result.AddField(QStringLiteral("END_DATETIME"), TFieldType::DateTime);
        result.CreateDataSet();
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, BuildSpecialReport(result, special, {}));
        QVERIFY(!special.ControlsDisabled());
    }

    // ---- export ------------------------------------------------------------------------------

    void exportBytes_data()
    {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<bool>("hideAll");
        QTest::addColumn<bool>("rows");
        QTest::addColumn<QByteArray>("bytes");

        const QByteArray head = "Extension\tDuration\tCharge\tCHARGED_BY\r\n";
        const QByteArray body =
            "101\t1m,5s\t0,5 lv\tday\ttime\r\n"
            "\xd0\x98\xd0\xb2\xd0\xb0\xd0\xbd\t\t\tline\nbreak\r\n";
        QTest::newRow("titles, labels, handler texts, tabs and breaks unchanged")
            << QStringList{"Calls", "Received time: from 01.03.2024 to 31.03.2024"} << false << true
            << QByteArray("Calls\r\nReceived time: from 01.03.2024 to 31.03.2024\r\n") + head + body;
        QTest::newRow("no title lines") << QStringList{} << false << true << head + body;
        QTest::newRow("no rows") << QStringList{"Calls"} << false << false << QByteArray("Calls\r\n") + head;
        QTest::newRow("no visible columns: only the title lines")
            << QStringList{"Calls", ""} << true << true << QByteArray("Calls\r\n\r\n");
        QTest::newRow("nothing at all") << QStringList{} << true << true << QByteArray();
    }
    void exportBytes()
    {
        QFETCH(QStringList, titles);
        QFETCH(bool, hideAll);
        QFETCH(bool, rows);
        QFETCH(QByteArray, bytes);

        TLogCapture logs;
        TRemoteDataSet data;
        data.AddField(QStringLiteral("EXT_CODE"), TFieldType::String, 10);
        data.AddField(QStringLiteral("ID"), TFieldType::Integer)->SetVisible(false);
        data.AddField(QStringLiteral("DURATION"), TFieldType::Integer);
        data.AddField(QStringLiteral("CHARGE"), TFieldType::Currency);
        data.AddField(QStringLiteral("CHARGED_BY"), TFieldType::String, 20);
        data.CreateDataSet();
        if (rows) {
            data.AppendRecord({QStringLiteral("101"), 1, 65, 0.5, QStringLiteral("day\ttime")});
            data.AppendRecord(
                {QStringLiteral("Иван"), 2, QVariant(), QVariant(), QStringLiteral("line\nbreak")});
        }
        DressResultColumns(data);
        if (hideAll)
            for (TField* f : data.Fields())
                f->SetVisible(false);
        data.SetCurrentRow(1);

        const QString path = dir_.filePath(QStringLiteral("report.txt"));
        WriteFile(path, QByteArray(5000, 'x'));  // an older, longer export is replaced
        QVERIFY(ExportTabText(data, path, titles));
        QCOMPARE(FileBytes(path), bytes);
        QVERIFY(logs.Entries(QStringLiteral("reports")).isEmpty());
        QCOMPARE(data.CurrentRow(), rows ? 1 : -1);
        QVERIFY(!data.ControlsDisabled());
    }

    // Every cell of the file is the field's text (get-text handlers, the row being edited
    // and all), as UTF-8, whichever way the export reads the column.
    void exportMatchesFieldTexts_data()
    {
        QTest::addColumn<QString>("name");  // a catalogue name dresses the column
        QTest::addColumn<int>("type");
        QTest::addColumn<QVariantList>("values");
        const auto add = [](const char* tag, const char* name, TFieldType type, QVariantList values) {
            QTest::newRow(tag) << QString::fromLatin1(name) << int(type) << values;
        };
        add("integers", "PLAIN", TFieldType::Integer,
            {0, -1, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), QVariant()});
        add("small integers", "PLAIN", TFieldType::Smallint, {VarFromInt16(-32768), VarFromInt16(32767)});
        add("64-bit integers", "PLAIN", TFieldType::Largeint,
            {std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(), qint64(5000000000)});
        add("auto-increment", "PLAIN", TFieldType::AutoInc, {1, 2147483647});
        add("booleans", "PLAIN", TFieldType::Boolean, {true, false, QVariant()});
        add("texts", "PLAIN", TFieldType::String,
            {QString(), QStringLiteral("tab\tin"), QStringLiteral("\u00fc\u65e5\u672c"),
             QStringLiteral("\U0001F600 face"), QString(QChar(0xD800)) + QStringLiteral("lone"),
             QStringLiteral("\r\nbreaks\r\n"), QVariant()});
        add("long memo", "PLAIN", TFieldType::WideMemo,
            {QString(10000, QLatin1Char('m')), QStringLiteral("\u0418\u0432\u0430\u043d")});
        add("reals", "PLAIN", TFieldType::Float, {0.1, 1e300, -2.5, QVariant()});
        add("bytes", "PLAIN", TFieldType::Blob, {QByteArray("\xff\x00" "a", 3), QByteArray()});
        add("charges through their handler", "CHARGE", TFieldType::Currency, {0.005, 1234.5678, QVariant()});
        add("durations through their handler", "DURATION", TFieldType::Integer, {0, 65, 86399, QVariant()});
        add("times through their handler", "START_DATETIME", TFieldType::DateTime,
            {VarFromDateTime(EncodeDateTime(2024, 2, 29, 23, 59, 59, 999)), VarFromDateTime(2.0), QVariant()});
        add("extensions from the catalogue", "EXT_CODE", TFieldType::String, {QStringLiteral("101"), QString()});
    }
    void exportMatchesFieldTexts()
    {
        QFETCH(QString, name);
        QFETCH(int, type);
        QFETCH(QVariantList, values);
        TRemoteDataSet data;
        data.AddField(QStringLiteral("ID"), TFieldType::Integer);
        data.AddField(name, TFieldType(type), TField::IsStringType(TFieldType(type)) ? 20000 : 0);
        data.CreateDataSet();
        for (int i = 0; i < values.size(); ++i)
            data.AppendRecord({i, values.at(i)});
        DressResultColumns(data);
        // The first row is being edited: its pending value is the one written.
        data.SetCurrentRow(0);
        data.Edit();
        data.Field(1)->SetValue(values.last());

        QByteArray expected = "Title\r\n";
        QStringList labels;
        for (const TField* f : data.Fields())
            labels << f->DisplayLabel();
        expected += labels.join(QLatin1Char('\t')).toUtf8() + "\r\n";
        for (int row = 0; row < data.RecordCount(); ++row) {
            QStringList texts;
            for (const TField* f : data.Fields())
                texts << data.TextAt(row, *f);
            expected += texts.join(QLatin1Char('\t')).toUtf8() + "\r\n";
        }
        const QString path = dir_.filePath(QStringLiteral("texts.txt"));
        QVERIFY(ExportTabText(data, path, {QStringLiteral("Title")}));
        QCOMPARE(FileBytes(path), expected);
    }

    // The texts are read with display updates suspended, and resumed afterwards.
    void exportSuspendsDisplayUpdates()
    {
        TLogCapture logs;
        TRemoteDataSet data;
        TField* field = data.AddField(QStringLiteral("X"), TFieldType::Integer);
        QList<bool> suspended;
        field->SetOnGetText([&suspended](TField& sender, bool) {
            suspended << sender.DataSet()->ControlsDisabled();
            return sender.AsString();
        });
        data.CreateDataSet();
        data.AppendRecord({1});
        data.AppendRecord({2});
        QVERIFY(ExportTabText(data, dir_.filePath(QStringLiteral("suspended.txt")), {}));
        QCOMPARE(suspended, (QList<bool>{true, true}));
        QVERIFY(!data.ControlsDisabled());
        QCOMPARE(FileBytes(dir_.filePath(QStringLiteral("suspended.txt"))), QByteArray("X\r\n1\r\n2\r\n"));
    }

    void exportFailure_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("failingRow");
        QTest::newRow("folder missing") << "missing/report.txt" << false;
        QTest::newRow("the name is a folder") << "folder" << false;
        QTest::newRow("a value cannot be read halfway") << "older.txt" << true;
    }
    void exportFailure()
    {
        QFETCH(QString, name);
        QFETCH(bool, failingRow);

        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        const QString path = dir.filePath(name);
        const QByteArray older = "an older export\r\n";
        if (failingRow)
            WriteFile(path, older);
        const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        TLogCapture logs;
        TRemoteDataSet data;
        data.AddField(QStringLiteral("X"), TFieldType::Integer)->SetOnGetText([](TField& sender, bool) {
            if (sender.AsInteger() == 3)
                throw EDatabaseError(QStringLiteral("unreadable"));
            return sender.AsString();
        });
        data.CreateDataSet();
        for (int i = 1; i <= 4; ++i)
            data.AppendRecord({failingRow ? i : 1});

        QVERIFY(!ExportTabText(data, path, {QStringLiteral("title")}));
        QCOMPARE(logs.Entries(QStringLiteral("reports")),
                 QStringList{"3: Export of TAB separated file failed."});
        QCOMPARE(logs.LiveLog, QStringList{"Export of TAB separated file failed."});
        QVERIFY(!data.ControlsDisabled());
        // Nothing half-written, nothing left behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        if (failingRow)
            QCOMPARE(FileBytes(path), older);
    }
};

QTEST_GUILESS_MAIN(TestReportResults)
#include "tst_reportresults.moc"
