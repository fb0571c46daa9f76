// Reading a dataset transfer into column storage: every wire value into every kind of
// column, read from a packet's bytes and from the decoded packet alike, and the transfers
// that break the protocol or do not add up.

#include "core/Errors.h"
#include "core/RegionalSettings.h"
#include "remote/DataSetReader.h"
#include "remote/RecordStore.h"

#include <QTest>

#include <functional>

Q_DECLARE_METATYPE(TFieldType)

namespace {

// How a "rows" packet reaches the reader.
enum class TPath { Bytes, Decoded };

TMessage RowsMessage(const QList<QVariantList>& rows)
{
    TMessage m;
    m.Kind = TMessageKind::Rows;
    m.Id = 2;
    m.Rows = rows;
    return m;
}

void Feed(TDataSetReader& reader, const QList<QVariantList>& rows, TPath path)
{
    const QByteArray payload = EncodeMessage(RowsMessage(rows));
    if (path == TPath::Bytes)
        QVERIFY(reader.RowsPayload(payload));
    else
        reader.Rows(DecodeMessage(payload).Rows);
}

// A store laid out as the transfer's fields ask, as a dataset without declarations does.
struct TTarget {
    TRecordStore Store;
    TDataSetReader Reader{Store, QStringLiteral("cdsX"), [this](const QList<TFieldDef>& fields) {
                              QList<TFieldType> types;
                              QStringList names;
                              for (const TFieldDef& f : fields) {
                                  types << f.DataType;
                                  names << f.Name;
                              }
                              Store.Reset(types);
                              return names;
                          }};
};

QList<TFieldDef> Fields(const QList<TFieldType>& types)
{
    QList<TFieldDef> defs;
    for (const TFieldType type : types)
        defs.append(TFieldDef{QStringLiteral("F%1").arg(defs.size()), type});
    return defs;
}

// The message of what the action raised, "" when it raised nothing; the class in `raised`.
QString Failure(const std::function<void()>& action, QString* raised = nullptr)
{
    try {
        action();
    } catch (const Exception& e) {
        if (raised)
            *raised = e.ClassName();
        return e.Message();
    }
    return QString();
}

}  // namespace

class TestDataSetReader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        RegisterProtocolTypes();
        TRegionalSettings rs;
        rs.DecimalSeparator = QLatin1Char(',');
        rs.ShortDateFormat = QStringLiteral("dd.mm.yyyy");
        TRegionalSettings::SetCurrent(rs);
    }

    void valueIntoColumn_data()
    {
        QTest::addColumn<TFieldType>("type");
        QTest::addColumn<QVariant>("sent");
        QTest::addColumn<QVariant>("stored");  // invalid: the open fails
        const QVariant refused;
        const QVariant null = QVariant::fromValue(nullptr);
        QTest::newRow("integer") << TFieldType::Integer << QVariant(42) << QVariant(42);
        QTest::newRow("16-bit into integer") << TFieldType::Integer << VarFromInt16(-5) << QVariant(-5);
        QTest::newRow("small 64-bit into integer")
            << TFieldType::Integer << QVariant(qint64(7)) << QVariant(7);
        QTest::newRow("64-bit beyond an integer")
            << TFieldType::Integer << QVariant(qint64(1) << 40) << refused;
        QTest::newRow("64-bit beyond an auto-increment")
            << TFieldType::AutoInc << QVariant(qint64(3000000000)) << refused;
        QTest::newRow("integer into smallint")
            << TFieldType::Smallint << QVariant(-300) << VarFromInt16(-300);
        QTest::newRow("integer beyond a smallint") << TFieldType::Smallint << QVariant(40000) << refused;
        QTest::newRow("largeint") << TFieldType::Largeint << QVariant(qint64(1) << 40)
                                  << QVariant(qint64(1) << 40);
        QTest::newRow("integer into largeint")
            << TFieldType::Largeint << QVariant(-3) << QVariant(qint64(-3));
        QTest::newRow("boolean") << TFieldType::Boolean << QVariant(true) << QVariant(true);
        QTest::newRow("integer into boolean") << TFieldType::Boolean << QVariant(-1) << QVariant(true);
        QTest::newRow("boolean into integer") << TFieldType::Integer << QVariant(true) << QVariant(1);
        QTest::newRow("real") << TFieldType::Float << QVariant(2.5) << QVariant(2.5);
        QTest::newRow("integer into float") << TFieldType::Float << QVariant(3) << QVariant(3.0);
        QTest::newRow("real into integer rounds") << TFieldType::Integer << QVariant(2.5) << QVariant(3);
        QTest::newRow("currency as sent") << TFieldType::Currency << QVariant(1.2345) << QVariant(1.2345);
        QTest::newRow("date-time") << TFieldType::DateTime << VarFromDateTime(45000.25)
                                   << VarFromDateTime(45000.25);
        QTest::newRow("real into time stamp")
            << TFieldType::TimeStamp << QVariant(45000.5) << VarFromDateTime(45000.5);
        QTest::newRow("integer into date-time")
            << TFieldType::DateTime << QVariant(45000) << VarFromDateTime(45000);
        QTest::newRow("date-time into float") << TFieldType::Float << VarFromDateTime(1.5) << QVariant(1.5);
        QTest::newRow("text") << TFieldType::WideString
                              << QVariant(QStringLiteral("\u0418\u0432\u0430\u043d"))
                              << QVariant(QStringLiteral("\u0418\u0432\u0430\u043d"));
        QTest::newRow("empty text") << TFieldType::String << QVariant(QStringLiteral(""))
                                    << QVariant(QStringLiteral(""));
        QTest::newRow("integer into text")
            << TFieldType::Memo << QVariant(12) << QVariant(QStringLiteral("12"));
        QTest::newRow("number text into integer")
            << TFieldType::Integer << QVariant(QStringLiteral(" 12 ")) << QVariant(12);
        QTest::newRow("regional text into float")
            << TFieldType::Float << QVariant(QStringLiteral("1,5")) << QVariant(1.5);
        QTest::newRow("ISO text into date-time")
            << TFieldType::DateTime << QVariant(QStringLiteral("2024-03-01 10:20:30"))
            << VarFromDateTime(EncodeDateTime(2024, 3, 1, 10, 20, 30));
        QTest::newRow("text that is no number")
            << TFieldType::Integer << QVariant(QStringLiteral("4x")) << refused;
        QTest::newRow("text that is no date")
            << TFieldType::DateTime << QVariant(QStringLiteral("31.02.2024")) << refused;
        QTest::newRow("bytes") << TFieldType::Blob << QVariant(QByteArray("\x00\x01\xff", 3))
                               << QVariant(QByteArray("\x00\x01\xff", 3));
        QTest::newRow("text into blob")
            << TFieldType::Blob << QVariant(QStringLiteral("abc")) << QVariant(QByteArray("abc"));
        QTest::newRow("array into integer") << TFieldType::Integer << QVariant(QVariantList{1, 2}) << refused;
        QTest::newRow("null") << TFieldType::Integer << null << null;
        QTest::newRow("null text") << TFieldType::WideString << null << null;
    }
    void valueIntoColumn()
    {
        QFETCH(TFieldType, type);
        QFETCH(QVariant, sent);
        QFETCH(QVariant, stored);
        for (const TPath path : {TPath::Bytes, TPath::Decoded}) {
            const char* const via = path == TPath::Bytes ? "from the bytes" : "from the decoded packet";
            TTarget target;
            target.Reader.Meta(Fields({TFieldType::Integer, type}));
            const QString failure = Failure([&] { Feed(target.Reader, {{1, sent}}, path); });
            if (!stored.isValid()) {
                QVERIFY2(!failure.isEmpty(), via);
                continue;
            }
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            QCOMPARE(target.Reader.RowCount(), 1);
            const QVariant got = target.Store.Value(0, 1);
            if (stored.isNull()) {
                QVERIFY2(target.Store.IsNull(0, 1), via);
                continue;
            }
            QVERIFY2(got.metaType() == stored.metaType(), via);
            QVERIFY2(got == stored,
                     qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(via), got.toString())));
        }
    }

    void rowsGoToSlotsInTheOrderSent()
    {
        for (const TPath path : {TPath::Bytes, TPath::Decoded}) {
            TTarget target;
            target.Reader.Meta(Fields({TFieldType::Integer, TFieldType::WideString}));
            Feed(target.Reader, {{1, QStringLiteral("a")}, {2, QStringLiteral("b")}}, path);
            Feed(target.Reader, {}, path);
            Feed(target.Reader, {{3, QVariant()}}, path);
            target.Reader.End(3);
            QCOMPARE(target.Reader.RowCount(), 3);
            QCOMPARE(target.Store.SlotCount(), quint32(3));
            for (quint32 slot = 0; slot < 3; ++slot)
                QCOMPARE(target.Store.Value(slot, 0), QVariant(int(slot) + 1));
            QCOMPARE(target.Store.Value(1, 1), QVariant(QStringLiteral("b")));
            QVERIFY(target.Store.IsNull(2, 1));
        }
    }

    void brokenTransfers_data()
    {
        QTest::addColumn<bool>("meta");
        QTest::addColumn<QList<QVariantList>>("rows");
        QTest::addColumn<qint64>("announced");
        QTest::addColumn<QString>("raised");
        QTest::addColumn<QString>("message");
        QTest::newRow("rows before the fields")
            << false << QList<QVariantList>{{1, 2}} << qint64(1) << "EProtocolError"
            << "Protocol error: rows arrived before the fields";
        QTest::newRow("the end before the fields")
            << false << QList<QVariantList>{} << qint64(0) << "EProtocolError"
            << "Protocol error: the transfer ended before the fields";
        QTest::newRow("a short row") << true << QList<QVariantList>{{1, 2}, {3}} << qint64(2)
                                     << "EProtocolError"
                                     << "Protocol error: a row of 1 values for 2 fields";
        QTest::newRow("an empty row") << true << QList<QVariantList>{{}} << qint64(1) << "EProtocolError"
                                      << "Protocol error: a row of 0 values for 2 fields";
        QTest::newRow("fewer rows than announced")
            << true << QList<QVariantList>{{1, 2}, {3, 4}} << qint64(3) << "EDatabaseError"
            << "cdsX: the server announced 3 rows but sent 2.";
        QTest::newRow("more rows than announced")
            << true << QList<QVariantList>{{1, 2}} << qint64(0) << "EDatabaseError"
            << "cdsX: the server announced 0 rows but sent 1.";
    }
    void brokenTransfers()
    {
        QFETCH(bool, meta);
        QFETCH(QList<QVariantList>, rows);
        QFETCH(qint64, announced);
        QFETCH(QString, raised);
        QFETCH(QString, message);
        for (const TPath path : {TPath::Bytes, TPath::Decoded}) {
            TTarget target;
            QString kind;
            const QString failure = Failure(
                [&] {
                    if (meta)
                        target.Reader.Meta(Fields({TFieldType::Integer, TFieldType::Integer}));
                    if (!rows.isEmpty())
                        Feed(target.Reader, rows, path);
                    target.Reader.End(announced);
                },
                &kind);
            QCOMPARE(kind, raised);
            QCOMPARE(failure, message);
        }
    }

    // The packet's own reading catches a long row before the whole row is in.
    void aLongRowBreaksTheProtocol()
    {
        for (const TPath path : {TPath::Bytes, TPath::Decoded}) {
            TTarget target;
            target.Reader.Meta(Fields({TFieldType::Integer}));
            QString kind;
            Failure([&] { Feed(target.Reader, {{1, 2}}, path); }, &kind);
            QCOMPARE(kind, QStringLiteral("EProtocolError"));
            QCOMPARE(target.Reader.RowCount(), 0);
        }
    }

    // A value that does not convert names the column as the binder named it.
    void conversionFailureNamesTheColumn()
    {
        TTarget target;
        target.Reader.Meta({TFieldDef{QStringLiteral("DURATION"), TFieldType::Smallint}});
        const QString failure = Failure([&] { Feed(target.Reader, {{70000}}, TPath::Bytes); });
        QCOMPARE(failure,
                 QStringLiteral("70000 is not a valid value for field 'DURATION'. The allowed range is "
                                "-32768 to 32767"));
    }
};

QTEST_GUILESS_MAIN(TestDataSetReader)
#include "tst_datasetreader.moc"
