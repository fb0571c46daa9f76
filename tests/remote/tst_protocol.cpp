#include "remote/Protocol.h"

#include <QCborValue>
#include <QTest>
#include <QtEndian>

Q_DECLARE_METATYPE(TMessage)

namespace {

// Collects what DecodeRows hands over, as the QVariants DecodeMessage would make.
class TCollectedRows : public TRowValueSink {
public:
    QList<QVariantList> Rows;
    void BeginRow() override { Rows.append(QVariantList()); }
    void EndRow() override {}
    void Value(const TValue& v) override
    {
        switch (v.Kind) {
        case TKind::Null: Rows.last().append(QVariant()); break;
        case TKind::Integer: Rows.last().append(static_cast<int>(v.Integer)); break;
        case TKind::Int16: Rows.last().append(VarFromInt16(static_cast<qint16>(v.Integer))); break;
        case TKind::Int64: Rows.last().append(QVariant(v.Integer)); break;
        case TKind::Boolean: Rows.last().append(v.Integer != 0); break;
        case TKind::Real: Rows.last().append(v.Real); break;
        case TKind::DateTime: Rows.last().append(VarFromDateTime(v.Real)); break;
        case TKind::Text: Rows.last().append(QString::fromUtf8(v.Data, v.Size)); break;
        case TKind::Bytes: Rows.last().append(QByteArray(v.Data, v.Size)); break;
        case TKind::Other: Rows.last().append(v.Other); break;
        }
    }
};

// A CBOR map written entry by entry, so that a key may appear twice; rawKey and rawValue
// add one more entry whose value is given already encoded.
QByteArray RawMap(const QList<QPair<const char*, QCborValue>>& entries, const char* rawKey = nullptr,
                  const QByteArray& rawValue = {})
{
    const int count = int(entries.size()) + (rawKey ? 1 : 0);
    QByteArray out(1, char(0xA0 + count));
    for (const auto& [key, value] : entries)
        out += QCborValue(QLatin1String(key)).toCbor() + value.toCbor();
    if (rawKey)
        out += QCborValue(QLatin1String(rawKey)).toCbor() + rawValue;
    return out;
}

}  // namespace

class TestProtocol : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { RegisterProtocolTypes(); }

    void valuesKeepTheirTypes_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("null") << QVariant();
        QTest::newRow("string") << QVariant(QStringLiteral("Zdravei, \u0441\u0432\u044f\u0442"));
        QTest::newRow("empty string") << QVariant(QString(""));
        QTest::newRow("int32") << QVariant(-2147483647 - 1);
        QTest::newRow("int16") << VarFromInt16(-32768);
        QTest::newRow("int64") << QVariant(qint64(1) << 40);
        QTest::newRow("bool true") << QVariant(true);
        QTest::newRow("bool false") << QVariant(false);
        QTest::newRow("real") << QVariant(12.345);
        QTest::newRow("date-time") << VarFromDateTime(39082.75);
        QTest::newRow("bytes") << QVariant(QByteArray("\x00\x01\xff", 3));
        QTest::newRow("array") << QVariant(QVariantList{1, QStringLiteral("a"), QVariant(), VarFromInt16(3),
                                                        QVariantList{VarFromDateTime(1.5)}});
        QTest::newRow("interface")
            << QVariant::fromValue(TDispatchRef{7, QStringLiteral("{7A43FD5F-60E0-444D-AAD5-CCDB026541A7}")});
    }
    void valuesKeepTheirTypes()
    {
        QFETCH(QVariant, value);
        TMessage call;
        call.Kind = TMessageKind::Call;
        call.Id = 9;
        call.Handle = 1;
        call.DispId = 301;
        call.Args = {value};
        const TMessage back = DecodeMessage(EncodeMessage(call));
        QCOMPARE(back.Args.size(), 1);
        const QVariant got = back.Args.at(0);
        QCOMPARE(got.metaType(), value.metaType());
        QCOMPARE(got, value);
    }

    void callAndReplyFields()
    {
        TMessage call;
        call.Kind = TMessageKind::Call;
        call.Id = 4000000000u;
        call.Handle = 3;
        call.DispId = 301;
        call.Args = {1, 2, 3};
        call.ByRef = {1, 2};
        TMessage back = DecodeMessage(EncodeMessage(call));
        QCOMPARE(back.Kind, TMessageKind::Call);
        QCOMPARE(back.Id, 4000000000u);
        QCOMPARE(back.Handle, 3u);
        QCOMPARE(back.DispId, 301);
        QCOMPARE(back.ByRef, (QList<int>{1, 2}));

        TMessage reply;
        reply.Kind = TMessageKind::Reply;
        reply.Id = 5;
        reply.Result = QStringLiteral("x");
        reply.ByRefValues = {310, -1};
        back = DecodeMessage(EncodeMessage(reply));
        QCOMPARE(back.Result, QVariant(QStringLiteral("x")));
        QCOMPARE(back.ByRefValues, (QVariantList{310, -1}));

        TMessage error;
        error.Kind = TMessageKind::Error;
        error.Id = 6;
        error.Code = hr::RPC_E_DISCONNECTED_;
        error.Text = QStringLiteral("gone");
        back = DecodeMessage(EncodeMessage(error));
        QCOMPARE(back.Code, hr::RPC_E_DISCONNECTED_);
        QCOMPARE(back.Text, QStringLiteral("gone"));
    }

    void datasetMessages()
    {
        TMessage meta;
        meta.Kind = TMessageKind::Meta;
        meta.Fields = {{QStringLiteral("ID"), TFieldType::AutoInc, 0, false, true, true},
                       {QStringLiteral("NAME"), TFieldType::WideString, 100, true, false, false}};
        QCOMPARE(DecodeMessage(EncodeMessage(meta)).Fields, meta.Fields);

        TMessage apply;
        apply.Kind = TMessageKind::Apply;
        apply.Provider = QStringLiteral("dspGroups");
        apply.MaxErrors = -1;
        TDeltaChange change;
        change.Kind = TChangeKind::Modify;
        change.Old = {1, QStringLiteral("Old")};
        change.New = {QVariant(), QVariant::fromValue(nullptr)};
        apply.Delta = {change};
        const TMessage back = DecodeMessage(EncodeMessage(apply));
        QCOMPARE(back.MaxErrors, -1);
        QCOMPARE(back.Delta.size(), 1);
        QCOMPARE(back.Delta[0].Kind, TChangeKind::Modify);
        QVERIFY(!back.Delta[0].New[0].isValid());  // unchanged
        QVERIFY(back.Delta[0].New[1].isValid());   // written as null
        QVERIFY(back.Delta[0].New[1].isNull());

        TMessage applied;
        applied.Kind = TMessageKind::Applied;
        applied.Errors = {{0, 9729, QStringLiteral("Key violation.")}};
        applied.AppliedRows = {{1, {5, QStringLiteral("New")}}};
        const TMessage a = DecodeMessage(EncodeMessage(applied));
        QCOMPARE(a.Errors.size(), 1);
        QCOMPARE(a.Errors[0].Code, 9729);
        QCOMPARE(a.AppliedRows[0].Values, (QVariantList{5, QStringLiteral("New")}));
    }

    // Rows read value by value give exactly what the full decoder gives.
    void rowsDecodeValueByValue()
    {
        TMessage m;
        m.Kind = TMessageKind::Rows;
        m.Id = 77;
        m.Rows = {{1, QStringLiteral("\u0421\u043e\u0444\u0438\u044f"), QVariant(), VarFromDateTime(45000.75)},
                  {qint64(1) << 40, QString(""), VarFromInt16(-3), true},
                  {2.5, QByteArray("\x00\x01", 2), QVariantList{1, QStringLiteral("x")},
                   QVariant::fromValue(TDispatchRef{3, QStringLiteral("{X}")})}};
        const QByteArray payload = EncodeMessage(m);
        quint32 id = 0;
        QVERIFY(PeekRowsId(payload, id));
        QCOMPARE(id, 77u);
        TCollectedRows rows;
        DecodeRows(payload, rows);
        QCOMPARE(rows.Rows, DecodeMessage(payload).Rows);

        // Strings in chunks of unknown length, as another encoder may write them.
        QByteArray chunked;
        chunked += char(0xA3);  // a map of three entries
        chunked += QCborValue(QStringLiteral("k")).toCbor() + QCborValue(QStringLiteral("rows")).toCbor();
        chunked += QCborValue(QStringLiteral("id")).toCbor() + QCborValue(5).toCbor();
        chunked += QCborValue(QStringLiteral("rows")).toCbor();
        chunked += char(0x81);  // one row
        chunked += char(0x82);  // of two values
        chunked += char(0x7F) + QCborValue(QStringLiteral("ab")).toCbor() + QCborValue(QStringLiteral("")).toCbor() +
                   QCborValue(QStringLiteral("\u00e7d")).toCbor() + char(0xFF);
        chunked += char(0x5F) + QCborValue(QByteArray("\x01", 1)).toCbor() + char(0xFF);
        TCollectedRows fromChunks;
        DecodeRows(chunked, fromChunks);
        QCOMPARE(fromChunks.Rows, (QList<QVariantList>{{QStringLiteral("ab\u00e7d"), QByteArray("\x01", 1)}}));
        QCOMPARE(fromChunks.Rows, DecodeMessage(chunked).Rows);

        // Other messages are not taken for rows, and damaged rows are refused.
        TMessage eof;
        eof.Kind = TMessageKind::Eof;
        QVERIFY(!PeekRowsId(EncodeMessage(eof), id));
        TCollectedRows damaged;
        QVERIFY_THROWS_EXCEPTION(EProtocolError, DecodeRows(payload.left(payload.size() - 3), damaged));
    }

    // Rows read in place from the packet's bytes agree with the stream reader: the same
    // values for every layout a sender may write, a refusal for every damage it refuses.
    void rowsInPlaceAgreeWithTheStreamReader_data()
    {
        QTest::addColumn<QByteArray>("rows");  // the encoded value of the "rows" key
        QTest::addColumn<QByteArray>("after");  // bytes after the map's entries, if any
        const auto hex = [](const char* h) { return QByteArray::fromHex(h); };
        QTest::newRow("indefinite arrays") << hex("9f9f0161 61f6ff9f20fb3ff8000000000000f5ff ff") << QByteArray();
        QTest::newRow("definite arrays") << hex("82 83 01 6161 f6 83 20 fb3ff8000000000000 f4") << QByteArray();
        QTest::newRow("half and single floats") << hex("81 82 f93c00 fa3fc00000") << QByteArray();
        QTest::newRow("date over an integer") << hex("81 81 d9ea61 1904d2") << QByteArray();
        QTest::newRow("date over a double") << hex("81 81 d9ea61 fb40e5f3f000000000") << QByteArray();
        QTest::newRow("16-bit edges") << hex("81 82 d9ea60 397fff d9ea60 197fff") << QByteArray();
        QTest::newRow("16-bit beyond") << hex("81 81 d9ea60 1a00010000") << QByteArray();
        QTest::newRow("64-bit edges") << hex("81 82 d9ea62 3b7fffffffffffffff 1b7fffffffffffffff")
                                      << QByteArray();
        QTest::newRow("beyond 64 bits") << hex("81 81 1bffffffffffffffff") << QByteArray();
        QTest::newRow("untagged beyond 32 bits") << hex("81 82 1a80000000 3a80000000") << QByteArray();
        QTest::newRow("non-ASCII text") << hex("81 81 63c3a761") << QByteArray();
        QTest::newRow("damaged UTF-8") << hex("81 81 62c328") << QByteArray();
        QTest::newRow("empty strings") << hex("81 82 60 40") << QByteArray();
        QTest::newRow("nested array value") << hex("81 82 820102 9f63616263ff") << QByteArray();
        QTest::newRow("undefined value") << hex("81 81 f7") << QByteArray();
        QTest::newRow("unknown simple value") << hex("81 81 f0") << QByteArray();
        QTest::newRow("unknown tag") << hex("81 81 c101") << QByteArray();
        QTest::newRow("interface reference") << hex("81 81 d9ea63 82 03 637b587d") << QByteArray();
        QTest::newRow("unknown key after the rows") << hex("81 81 01") << hex("627a7aa1616101");
        QTest::newRow("bytes after the map") << hex("81 81 01") << hex("00");
        QTest::newRow("cut inside a double") << hex("81 81 fb3ff80000") << QByteArray();
        QTest::newRow("rows never closed") << hex("9f 81 01") << QByteArray();
        QTest::newRow("break as a value") << hex("81 82 01 ff") << QByteArray();
        QTest::newRow("string longer than the frame") << hex("81 81 6a6162") << QByteArray();
        QByteArray deep = hex("81 81");
        for (int i = 0; i < 40; ++i)
            deep += char(0x81);
        deep += char(0x01);
        QTest::newRow("nested too deeply") << deep << QByteArray();
        QTest::newRow("rows that are no array") << hex("a0") << QByteArray();
        QTest::newRow("a row that is no array") << hex("81 01") << QByteArray();
    }
    void rowsInPlaceAgreeWithTheStreamReader()
    {
        QFETCH(QByteArray, rows);
        QFETCH(QByteArray, after);
        // k, id and rows, and one more entry when `after` holds it.
        QByteArray payload(1, char(after.isEmpty() || after == QByteArray(1, '\0') ? 0xA3 : 0xA4));
        payload += QCborValue(QStringLiteral("k")).toCbor() + QCborValue(QStringLiteral("rows")).toCbor();
        payload += QCborValue(QStringLiteral("id")).toCbor() + QCborValue(9).toCbor();
        payload += QCborValue(QStringLiteral("rows")).toCbor() + rows + after;
        bool streamRefused = false;
        QList<QVariantList> streamRows;
        try {
            streamRows = DecodeMessage(payload).Rows;
        } catch (const EProtocolError&) {
            streamRefused = true;
        }
        TCollectedRows inPlace;
        bool inPlaceRefused = false;
        try {
            DecodeRows(payload, inPlace);
        } catch (const EProtocolError&) {
            inPlaceRefused = true;
        }
        QCOMPARE(inPlaceRefused, streamRefused);
        if (!streamRefused)
            QCOMPARE(inPlace.Rows, streamRows);
    }

    void framesAreCutFromAStream()
    {
        TMessage m;
        m.Kind = TMessageKind::Eof;
        m.Count = 3;
        const QByteArray one = FrameBytes(EncodeMessage(m));
        const QByteArray stream = one + one;
        TFrameReader reader;
        QByteArray payload;
        int frames = 0;
        for (char c : stream) {
            reader.Append(QByteArray(1, c));
            while (reader.Next(payload)) {
                QCOMPARE(DecodeMessage(payload).Count, 3);
                ++frames;
            }
        }
        QCOMPARE(frames, 2);
        QCOMPARE(reader.Buffered(), 0);
    }

    void badFramesAreRefused()
    {
        TFrameReader reader(1024);
        QByteArray header(4, Qt::Uninitialized);
        qToBigEndian<quint32>(1025, header.data());
        reader.Append(header);
        QByteArray payload;
        QVERIFY_THROWS_EXCEPTION(EProtocolError, reader.Next(payload));

        TFrameReader empty;
        empty.Append(QByteArray(4, '\0'));
        QVERIFY_THROWS_EXCEPTION(EProtocolError, empty.Next(payload));
    }

    void badPayloadsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("garbage") << QByteArray("\xff\xfe\xfd", 3);
        QTest::newRow("not a map") << QCborValue(5).toCbor();
        QTest::newRow("no kind") << QCborValue(QCborMap{{QStringLiteral("id"), 1}}).toCbor();
        QTest::newRow("unknown kind") << QCborValue(QCborMap{{QStringLiteral("k"), QStringLiteral("x")}}).toCbor();
        QTest::newRow("unknown tag")
            << QCborValue(QCborMap{{QStringLiteral("k"), QStringLiteral("call")},
                                   {QStringLiteral("a"), QCborArray{QCborValue(QCborTag(99), 1)}}})
                   .toCbor();
        QTest::newRow("int16 out of range")
            << QCborValue(QCborMap{{QStringLiteral("k"), QStringLiteral("call")},
                                   {QStringLiteral("a"), QCborArray{QCborValue(QCborTag(60000), 70000)}}})
                   .toCbor();
        const QByteArray whole =
            QCborValue(QCborMap{{QStringLiteral("k"), QStringLiteral("call")}, {QStringLiteral("d"), 301}}).toCbor();
        QTest::newRow("truncated") << whole.left(whole.size() - 2);
        QTest::newRow("two messages") << whole + whole;
        // A call whose argument list nests a hundred arrays.
        QByteArray deep = QCborValue(QCborMap{{QStringLiteral("k"), QStringLiteral("call")}}).toCbor();
        deep[0] = char(0xA2);  // a map of two entries
        deep += QCborValue(QStringLiteral("a")).toCbor();
        deep += QByteArray(100, char(0x81));
        deep += char(0x01);
        QTest::newRow("too deep") << deep;
    }
    void badPayloadsAreRefused()
    {
        QFETCH(QByteArray, payload);
        QVERIFY_THROWS_EXCEPTION(EProtocolError, DecodeMessage(payload));
    }

    // A key written twice is refused wherever the map is, also when the key is one the
    // reader would skip: a check and a handler must never see different values.
    void duplicateKeysAreRefused_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("rows");
        QTest::newRow("DISPID twice") << RawMap({{"k", QStringLiteral("call")}, {"d", 301}, {"d", 7}}) << false;
        QTest::newRow("kind twice") << RawMap({{"k", QStringLiteral("call")}, {"k", QStringLiteral("open")}})
                                    << false;
        QTest::newRow("unknown key twice")
            << RawMap({{"k", QStringLiteral("call")}, {"zz", 1}, {"zz", 1}}) << false;
        const QByteArray field = RawMap({{"n", QStringLiteral("A")}, {"n", QStringLiteral("B")}});
        QTest::newRow("in a field map")
            << RawMap({{"k", QStringLiteral("meta")}, {"id", 1}}, "f", QByteArray(1, char(0x81)) + field) << false;
        const QByteArray change = RawMap({{"op", 0}, {"op", 2}});
        QTest::newRow("in a change")
            << RawMap({{"k", QStringLiteral("apply")}, {"id", 1}}, "delta", QByteArray(1, char(0x81)) + change)
            << false;
        QTest::newRow("rows twice")
            << RawMap({{"k", QStringLiteral("rows")}, {"id", 1}, {"rows", QCborArray{}}, {"rows", QCborArray{}}})
            << true;
    }
    void duplicateKeysAreRefused()
    {
        QFETCH(QByteArray, payload);
        QFETCH(bool, rows);
        QVERIFY_THROWS_EXCEPTION(EProtocolError, DecodeMessage(payload));
        if (rows) {
            TCollectedRows sink;
            QVERIFY_THROWS_EXCEPTION(EProtocolError, DecodeRows(payload, sink));
        }
    }

    // The refusal of a huge kind quotes only its beginning: the text goes to the logs.
    void refusalsQuoteAShortPrefix()
    {
        const QString kind(1024 * 1024, QLatin1Char('x'));
        try {
            DecodeMessage(QCborValue(QCborMap{{QStringLiteral("k"), kind}}).toCbor());
            QFAIL("the kind was accepted");
        } catch (const EProtocolError& e) {
            QVERIFY2(e.Message().size() < 200, qPrintable(QString::number(e.Message().size())));
            QVERIFY(e.Message().contains(QLatin1String("xxxx")));
            QVERIFY(e.Message().contains(QString::number(kind.size())));
        }
    }
};

QTEST_APPLESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
