// How the rows of client statements are encoded: every value written from the column's
// bytes equals the encoding of the value as ColumnValueAs reads it (every storage against
// every field type, with the awkward ones: range edges, damaged UTF-8, dates in and out of
// the stored layout), columns without a declared type widen soundly so that the client's
// reader takes every value, and packets are cut by their encoded size.

#include "remote/DataSetReader.h"
#include "remote/RecordStore.h"
#include "server/CborWriter.h"
#include "server/Database.h"
#include "server/ReportSql.h"
#include "server/SqlValues.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const TFieldType kAllTypes[] = {
    TFieldType::Unknown,  TFieldType::String,     TFieldType::Smallint, TFieldType::Integer,
    TFieldType::Largeint, TFieldType::Boolean,    TFieldType::Float,    TFieldType::Currency,
    TFieldType::DateTime, TFieldType::AutoInc,    TFieldType::Blob,     TFieldType::Memo,
    TFieldType::WideString, TFieldType::WideMemo, TFieldType::TimeStamp,
};

QByteArray Hex(const QByteArray& bytes)
{
    return bytes.toHex(' ');
}

// The rows of a result as the client's reader stores them, one text per value.
QStringList ReadByClient(const TDataSetResult& result)
{
    TRecordStore store;
    TDataSetReader reader(store, QStringLiteral("result"), [&](const QList<TFieldDef>& fields) {
        QList<TFieldType> types;
        QStringList names;
        for (const TFieldDef& f : fields) {
            types << f.DataType;
            names << f.Name;
        }
        store.Reset(types);
        return names;
    });
    reader.Meta(result.Fields);
    for (qsizetype p = 0; p < result.PacketCount(); ++p)
        reader.RowsPayload(result.Packet(p));
    reader.End(result.RowCount);
    QStringList texts;
    for (quint32 slot = 0; slot < store.SlotCount(); ++slot)
        for (int c = 0; c < store.ColumnCount(); ++c)
            texts << (store.IsNull(slot, c) ? QStringLiteral("null") : store.Value(slot, c).toString());
    return texts;
}

}  // namespace

class TestServerRowEncoding : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString path_;

    TDataSetResult Run(const QString& sql, qint64 budget = qint64(1) << 30)
    {
        TReportConnection connection(path_);
        TStatement stmt = connection.Prepare(sql, TReadScope::Calls);
        TResultBudget results(budget);
        return RunReportStatement(stmt, connection, results.NewLease());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("rows.db"));
        TDatabase db(path_, TDatabase::TMode::ReadWrite);
        db.Exec(QStringLiteral("CREATE TABLE CALL (ID INTEGER, EXT_CODE VARCHAR(10), REC_DATETIME TIMESTAMP)"));
        db.Exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
            "INSERT INTO CALL SELECT i, printf('%05d', i), datetime(1767225600 + i * 7, 'unixepoch') FROM n"));
    }

    // One value against every field type: the bytes written in place and the bytes of the
    // value read as a QVariant agree.
    void sameBytesAsReadValues_data()
    {
        QTest::addColumn<QString>("expression");
        const char* const rows[][2] = {
            {"null", "null"},
            {"zero", "0"},
            {"small", "23"},
            {"one-byte head", "24"},
            {"negative", "-1"},
            {"negative one-byte head", "-25"},
            {"16-bit edge", "32767"},
            {"beyond 16 bits", "32768"},
            {"below 16 bits", "-32769"},
            {"two-byte head edge", "65536"},
            {"32-bit edge", "2147483647"},
            {"beyond 32 bits", "2147483648"},
            {"below 32 bits", "-2147483649"},
            {"64-bit minimum", "-9223372036854775808"},
            {"64-bit maximum", "9223372036854775807"},
            {"real", "0.1"},
            {"negative real", "-1234.56789"},
            {"currency to round", "0.123456789"},
            {"huge real", "1e300"},
            {"whole real", "4.0"},
            {"empty text", "''"},
            {"ascii text", "'0123 call'"},
            {"text 300 long", "printf('%.300c', 'x')"},
            {"umlaut", "'Müller'"},
            {"damaged UTF-8", "cast(x'41ff42' as text)"},
            {"number as text", "'42'"},
            {"real as text", "'3.25'"},
            {"date", "'2024-03-01'"},
            {"date and time", "'2024-03-01 12:34:56'"},
            {"milliseconds", "'2024-03-01 12:34:56.789'"},
            {"T between", "'2024-03-01T12:34:56'"},
            {"no seconds", "'2024-03-01 12:34'"},
            {"one millisecond digit", "'2024-03-01 12:34:56.5'"},
            {"leading blank", "' 2024-03-01'"},
            {"no such day", "'2024-02-30'"},
            {"leap day", "'2024-02-29 23:59:59.999'"},
            {"hour 24", "'2024-03-01 24:00:00'"},
            {"year zero", "'0000-01-01'"},
            {"first day", "'0001-01-01'"},
            {"last day", "'9999-12-31 23:59:59'"},
            {"before 1899", "'1850-06-15 18:00:00'"},
            {"short fields", "'2024-3-1'"},
            {"letters in digits", "'2024-0a-01'"},
            {"slash date", "'2024/03/01'"},
            {"blob", "x'00ff10'"},
            {"empty blob", "x''"},
            {"blob of a date", "cast('2024-03-01' as blob)"},
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QString::fromUtf8(row[1]);
    }
    void sameBytesAsReadValues()
    {
        QFETCH(QString, expression);
        TDatabase db(path_, TDatabase::TMode::ReadOnly);
        TStatement stmt = db.Prepare(QStringLiteral("SELECT ") + expression);
        QVERIFY(stmt.Step());
        for (const TFieldType type : kAllTypes) {
            TCborWriter direct;
            WriteColumnValue(direct, stmt, 0, type);
            const QByteArray viaValue = EncodeValue(ColumnValueAs(stmt, 0, type));
            QVERIFY2(direct.Bytes() == viaValue, qPrintable(QStringLiteral("%1: %2 instead of %3")
                                                                .arg(FieldTypeName(type))
                                                                .arg(QString::fromLatin1(Hex(direct.Bytes())))
                                                                .arg(QString::fromLatin1(Hex(viaValue)))));
        }
    }

    // Columns without a declared type take the type of all their values, and the client
    // reads every value (an integer beyond 32 bits once failed its open).
    void undeclaredColumnsWiden_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("type");
        QTest::addColumn<QStringList>("values");
        const auto add = [](const char* name, const char* sql, TFieldType type, QStringList values) {
            QTest::newRow(name) << QString::fromUtf8(sql) << int(type) << values;
        };
        add("32-bit integers", "values (1), (-2147483648)", TFieldType::Integer, {"1", "-2147483648"});
        add("then beyond 32 bits", "values (1), (5000000000)", TFieldType::Largeint, {"1", "5000000000"});
        add("beyond 32 bits first", "values (-5000000000), (7)", TFieldType::Largeint, {"-5000000000", "7"});
        add("a sum that overflows", "select sum(ID) * 100000 from CALL", TFieldType::Largeint,
            {"20001000000000"});
        add("wide integers then a real", "values (5000000000), (2.5)", TFieldType::Float, {"5e+09", "2.5"});
        add("a real then integers", "values (0.5), (3), (5000000000)", TFieldType::Float,
            {"0.5", "3", "5e+09"});
        add("integers then text", "values (5000000000), ('x')", TFieldType::WideString, {"5000000000", "x"});
        add("nulls around", "values (null), (5000000000), (null)", TFieldType::Largeint,
            {"null", "5000000000", "null"});
        add("only nulls", "values (null), (null)", TFieldType::WideString, {"null", "null"});
    }
    void undeclaredColumnsWiden()
    {
        QFETCH(QString, sql);
        QFETCH(int, type);
        QFETCH(QStringList, values);
        const TDataSetResult result = Run(sql);
        QVERIFY2(result.Error.isEmpty(), qPrintable(result.Error));
        QCOMPARE(FieldTypeName(result.Fields.at(0).DataType), FieldTypeName(TFieldType(type)));
        QCOMPARE(ReadByClient(result), values);
    }

    // A widening after the first packets converts what was packed: across packets too.
    void wideningReachesEarlierPackets()
    {
        const TDataSetResult result =
            Run(QStringLiteral("select case when ID = 20000 then 5000000000 when ID = 19999 then 0.5 else ID end, "
                               "EXT_CODE from CALL order by ID"));
        QVERIFY2(result.Error.isEmpty(), qPrintable(result.Error));
        QVERIFY(result.PacketCount() > 1);
        QCOMPARE(result.Fields.at(0).DataType, TFieldType::Float);
        const QStringList texts = ReadByClient(result);
        QCOMPARE(texts.size(), 40000);
        QCOMPARE(texts.at(0), QStringLiteral("1"));
        QCOMPARE(texts.at(2 * 19998), QStringLiteral("0.5"));
        QCOMPARE(texts.at(2 * 19999), QStringLiteral("5e+09"));
        QCOMPARE(texts.at(2 * 19999 + 1), QStringLiteral("20000"));
    }

    // Packets are cut once their encoded bytes reach the target, not by an estimate.
    void packetsCutByEncodedSize()
    {
        TRowsPacker packer(4096);
        const QByteArray text(100, 'x');
        for (int i = 0; i < 1000; ++i) {
            TCborWriter& w = packer.BeginRow(2);
            w.Integer(i);
            w.Text(text.constData(), text.size());
            packer.EndRow();
        }
        packer.Finish();
        const QList<QByteArray>& packets = packer.Packets();
        QVERIFY(packets.size() > 1);
        qint64 rows = 0;
        for (qsizetype p = 0; p < packets.size(); ++p) {
            if (p + 1 < packets.size()) {
                QVERIFY2(packets.at(p).size() >= 4096, qPrintable(QString::number(packets.at(p).size())));
                QVERIFY2(packets.at(p).size() < 4096 + 120, qPrintable(QString::number(packets.at(p).size())));
            }
            const TMessage m = DecodeMessage(packets.at(p));
            QCOMPARE(m.Kind, TMessageKind::Rows);
            QCOMPARE(m.Rows.at(0).at(0).toLongLong(), rows);
            rows += m.Rows.size();
        }
        QCOMPARE(rows, qint64(1000));
        QCOMPARE(packer.RowCount(), qint64(1000));
        // Each packet takes the request number it is sent with.
        quint32 id = 0;
        QVERIFY(PeekRowsId(RowsPayloadWithId(packets.at(1), 70000), id));
        QCOMPARE(id, quint32(70000));
        QCOMPARE(DecodeMessage(RowsPayloadWithId(packets.at(1), 70000)).Rows, DecodeMessage(packets.at(1)).Rows);
    }

    // Past its limit the packer keeps its packets in a file as it closes them: the same
    // packets, none in memory, and a later widening still converts them.
    void spillsAsItPacks_data()
    {
        QTest::addColumn<qint64>("spillAbove");
        QTest::addColumn<bool>("spilled");
        QTest::newRow("kept in memory") << qint64(0) << false;
        QTest::newRow("spilled after the first packets") << qint64(10000) << true;
        QTest::newRow("spilled from the first packet") << qint64(1) << true;
    }
    void spillsAsItPacks()
    {
        QFETCH(qint64, spillAbove);
        QFETCH(bool, spilled);
        TRowsPacker packer(4096, spillAbove);
        for (int i = 0; i < 2000; ++i)
            packer.Add({i, QStringLiteral("call %1").arg(i)});
        QCOMPARE(packer.Packets().isEmpty(), spilled);
        packer.ConvertColumn(0, TFieldType::Float);
        for (int i = 2000; i < 2100; ++i)
            packer.Add({double(i) + 0.5, QStringLiteral("call %1").arg(i)});
        packer.Finish();
        TDataSetResult result;
        result.Packets = packer.Packets();
        result.Spilled = packer.Spilled();
        QCOMPARE(bool(result.Spilled), spilled);
        QCOMPARE(result.Packets.isEmpty(), spilled);
        QVERIFY(result.PacketCount() > 2);
        QList<QVariantList> rows;
        qint64 bytes = 0;
        for (qsizetype p = 0; p < result.PacketCount(); ++p) {
            bytes += result.Packet(p).size();
            rows += DecodeMessage(result.Packet(p)).Rows;
        }
        QCOMPARE(bytes, packer.EncodedBytes());
        QCOMPARE(rows.size(), 2100);
        QCOMPARE(rows.at(7).at(0).metaType().id(), int(QMetaType::Double));
        QCOMPARE(rows.at(7).at(0).toDouble(), 7.0);
        QCOMPARE(rows.at(2050).at(0).toDouble(), 2050.5);
        QCOMPARE(rows.at(1999).at(1).toString(), QStringLiteral("call 1999"));
    }

    // A frame made in one copy equals the frame of the payload with its number put in.
    void framesWithTheirNumber_data()
    {
        QTest::addColumn<quint32>("id");
        QTest::newRow("zero") << 0u;
        QTest::newRow("one byte") << 23u;
        QTest::newRow("two bytes") << 24u;
        QTest::newRow("three bytes") << 65535u;
        QTest::newRow("five bytes") << 4294967295u;
    }
    void framesWithTheirNumber()
    {
        QFETCH(quint32, id);
        TRowsPacker packer;
        packer.Add({1, QStringLiteral("x")});
        packer.Finish();
        const QByteArray& packet = packer.Packets().at(0);
        QCOMPARE(RowsFrameWithId(packet, id), FrameBytes(RowsPayloadWithId(packet, id)));
        quint32 read = 0;
        QVERIFY(PeekRowsId(RowsPayloadWithId(packet, id), read));
        QCOMPARE(read, id);
    }

    // The budget counts the packet being filled as well as the finished ones.
    void budgetCountsEncodedRows()
    {
        const TDataSetResult result = Run(QStringLiteral("select * from CALL"), 64 * 1024);
        QVERIFY(result.Error.contains(QLatin1String("too large")));
        const TDataSetResult fits = Run(QStringLiteral("select * from CALL"));
        QVERIFY2(fits.Error.isEmpty(), qPrintable(fits.Error));
        QCOMPARE(fits.RowCount, qint64(20000));
    }
};

QTEST_GUILESS_MAIN(TestServerRowEncoding)
#include "tst_server_rowencoding.moc"
