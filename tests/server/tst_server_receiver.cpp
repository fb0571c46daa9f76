// The receiver end to end: ReceiverRDM 301 and the receiver callbacks (also through the
// client's own session), the input buffer and what it drops, received lines stored as
// charged calls with the data format and exchange in use (AdminRDM 301 to 303, 313, 314),
// lines that do not match in the LOG table, and the live notices held while a client has
// live data off.

#include "remote/CallbackObject.h"
#include "remote/Connections.h"
#include "remote/TypeLibrary.h"
#include "schema/CallString.h"
#include "server/DemoData.h"
#include "server/LineBuffer.h"
#include "server/SqlValues.h"
#include "support/ClientFixture.h"
#include "support/ReceiverHelpers.h"
#include "support/TestServer.h"
#include "support/WireClient.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString RawInputOf(const TWireClient& c)
{
    QString text;
    for (const QVariantList& args : c.CallbackArgs(QStringLiteral("RawInput")))
        text += args.at(0).toString();
    return text;
}

qint64 SumOf(const TWireClient& c, const QString& method)
{
    qint64 sum = 0;
    for (const QVariantList& args : c.CallbackArgs(method))
        sum += args.at(0).toLongLong();
    return sum;
}

qint64 CallCount(TTestServer& server)
{
    return ServerScalar(server, QStringLiteral("SELECT count(*) FROM CALL")).toLongLong();
}

qint64 LogCount(TTestServer& server, const QString& category, const QString& text)
{
    return ServerScalar(server, QStringLiteral("SELECT count(*) FROM LOG WHERE CATEGORY = ? AND TEXT LIKE ?"),
                        {category, QLatin1Char('%') + text + QLatin1Char('%')})
        .toLongLong();
}

// A line of the demo's data format.
QByteArray DemoLine(const QString& extension, const QString& pin, const QString& phone, int duration,
                    TDateTime end)
{
    TCallString format;
    format.Parse(DemoDataFormat());
    TCallRecord r;
    r.Clear(end);
    r.DateTime = end;
    r.Extension = extension;
    if (!pin.isEmpty())
        r.PinCode = pin;
    r.Phone = phone;
    r.Duration = duration;
    r.Trunk = 3;
    r.Circuit = 12;
    r.CallType = QStringLiteral("O");
    return format.Generate(r).toLatin1();
}

// The receiver callbacks as the client's own callback object gets them.
class TReceiverRecorder : public TCallbackObject {
public:
    explicit TReceiverRecorder(const TTypeLibrary& library)
        : TCallbackObject(library, QLatin1String(iid::ClientReceiver))
    {
        Bind(QStringLiteral("RawInput"), &TReceiverRecorder::RawInput);
        Bind(QStringLiteral("BytesDropped"), &TReceiverRecorder::BytesDropped);
        Bind(QStringLiteral("BufferLevel"), &TReceiverRecorder::BufferLevel);
        Bind(QStringLiteral("BufferSize"), &TReceiverRecorder::BufferSize);
        Bind(QStringLiteral("ReceiverState"), &TReceiverRecorder::ReceiverState);
    }
    void RawInput(const QString& text) { Raw += text; }
    void BytesDropped(int count) { Dropped += count; }
    void BufferLevel(int level) { Levels << level; }
    void BufferSize(int size) { Size = size; }
    void ReceiverState(const QString& text, bool running)
    {
        StateText = text;
        Running = running;
        ++States;
    }

    QString Raw, StateText;
    qint64 Dropped = 0;
    QList<int> Levels;
    int Size = 0, States = 0;
    bool Running = false;
};

}  // namespace

class TestServerReceiver : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { RegisterProtocolTypes(); }

    void lineBuffer_data()
    {
        QTest::addColumn<int>("capacity");
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<bool>("inputEnded");
        QTest::addColumn<QByteArrayList>("lines");
        QTest::addColumn<int>("dropped");
        QTest::addColumn<QByteArray>("rest");
        const int big = 1024;
        QTest::newRow("LF") << big << QByteArrayList{"a\nb\n"} << false << QByteArrayList{"a\n", "b\n"} << 0
                            << QByteArray();
        QTest::newRow("CR LF") << big << QByteArrayList{"a\r\nb\r\n"} << false
                               << QByteArrayList{"a\r\n", "b\r\n"} << 0 << QByteArray();
        QTest::newRow("CR alone") << big << QByteArrayList{"a\rb\r\n"} << false
                                  << QByteArrayList{"a\r", "b\r\n"} << 0 << QByteArray();
        QTest::newRow("CR LF split between reads") << big << QByteArrayList{"a\r", "\nb\n"} << false
                                                   << QByteArrayList{"a\r\n", "b\n"} << 0 << QByteArray();
        QTest::newRow("CR at the end waits for its LF")
            << big << QByteArrayList{"a\r"} << false << QByteArrayList{} << 0 << QByteArray("a\r");
        QTest::newRow("CR at the end of the input")
            << big << QByteArrayList{"a\r"} << true << QByteArrayList{"a\r"} << 0 << QByteArray();
        QTest::newRow("LF CR is two breaks") << big << QByteArrayList{"a\n\rb\n"} << false
                                             << QByteArrayList{"a\n", "\r", "b\n"} << 0 << QByteArray();
        QTest::newRow("unfinished line") << big << QByteArrayList{"a\nbc", "d"} << false
                                         << QByteArrayList{"a\n"} << 0 << QByteArray("bcd");
        QTest::newRow("what does not fit is dropped") << 8 << QByteArrayList{"0123\n", "56789\n"} << false
                                                      << QByteArrayList{"0123\n"} << 3 << QByteArray("567");
    }
    void lineBuffer()
    {
        QFETCH(int, capacity);
        QFETCH(QByteArrayList, chunks);
        QFETCH(bool, inputEnded);
        QFETCH(QByteArrayList, lines);
        QFETCH(int, dropped);
        QFETCH(QByteArray, rest);
        TLineBuffer buffer(capacity);
        qsizetype notTaken = 0;
        QByteArrayList got;
        for (const QByteArray& chunk : chunks) {
            notTaken += chunk.size() - buffer.Append(chunk);
            QVERIFY(buffer.Level() <= capacity);
        }
        QByteArray line;
        while (buffer.TakeLine(line, inputEnded))
            got << line;
        QCOMPARE(got, lines);
        QCOMPARE(notTaken, dropped);
        QCOMPARE(buffer.Level(), rest.size());
        QCOMPARE(buffer.TakeRest(), rest);
        QVERIFY(buffer.IsEmpty());
    }

    // The whole road through the client's own session: 301 starts and stops the receiver,
    // and the state, buffer and raw input reach the client's receiver object.
    void throughTheClientSession()
    {
        TTestServer server;
        server.Options().ReceiverPort = 0;
        QVERIFY(server.Start());
        const TTypeLibrary library = TTypeLibrary::Current();
        TRecordingCallback app(library, iid::ClientApplication), commands(library, iid::ClientCommands),
            report(library, iid::ClientReport);
        TReceiverRecorder receiver(library);
        TSocketConnection socket;
        ConnectLocally(socket, server.Port());
        TSharedConnection receiverModule;
        receiverModule.SetParentConnection(&socket);
        receiverModule.SetChildName(kReceiver);
        socket.Open();
        int version = 320;
        const int result = ShakeHands(socket.AppServer(), app, receiver, commands, report, version);
        QCOMPARE(result, 0);
        QVERIFY(socket.AppServer().Call(307, {true, QStringLiteral("admin")}).toBool());
        QTRY_COMPARE_WITH_TIMEOUT(receiver.States, 1, 30000);
        QCOMPARE(receiver.StateText, QStringLiteral("Receiver stopped"));
        QCOMPARE(receiver.Running, false);
        QCOMPARE(receiver.Size, 65536);

        receiverModule.AppServer().Call(301);
        QTRY_VERIFY_WITH_TIMEOUT(receiver.Running, 30000);
        const quint16 port = ReceiverPort(server);
        QVERIFY(port != 0);
        QCOMPARE(receiver.StateText, QStringLiteral("Receiver listening on port %1").arg(port));

        TExchangeSocket exchange;
        QVERIFY(exchange.Connect(port));
        QTRY_VERIFY_WITH_TIMEOUT(
            receiver.StateText.contains(QLatin1String("exchange connected from 127.0.0.1")), 30000);
        QVERIFY(exchange.Send("first line\r\nsecond"));
        QVERIFY(exchange.Send(" line\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(receiver.Raw, QStringLiteral("first line\r\nsecond line\r\n"), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(receiver.Levels.value(receiver.Levels.size() - 1, -1), 0, 30000);
        QVERIFY(*std::max_element(receiver.Levels.begin(), receiver.Levels.end()) > 0);
        QCOMPARE(receiver.Dropped, 0);

        receiverModule.AppServer().Call(301);
        QTRY_VERIFY_WITH_TIMEOUT(!receiver.Running, 30000);
        QCOMPARE(receiver.StateText, QStringLiteral("Receiver stopped"));
        QVERIFY(exchange.WaitForDisconnected());
        // Without a data format in use, received lines are only logged.
        QCOMPARE(CallCount(server), 0);
        QCOMPARE(
            LogCount(server, QStringLiteral("receiver"),
                     QStringLiteral("Received but not stored (no data format is in use): \"second line\"")),
            1);
        QCOMPARE(LogCount(server, QStringLiteral("receiver"), QStringLiteral("Receiver started")), 1);
    }

    // A burst larger than the buffer is not dropped: the receiver stops reading while its
    // buffer is full, and everything the exchange sent is shown and worked off in order.
    void fullBufferSlowsTheExchange()
    {
        TTestServer server;
        server.Options().ReceiverPort = 0;
        server.Options().ReceiverBufferSize = 256;
        server.Options().StartReceiver = true;
        QVERIFY(server.Start());
        TWireClient watcher;
        QVERIFY(watcher.Open(server.Port()));
        TExchangeSocket exchange;
        QVERIFY(AttachExchange(server, exchange));

        QByteArray burst;
        for (int i = 0; i < 100; ++i)
            burst += QByteArray::number(100000 + i) + QByteArray(31, 'x') + "\r\n";
        QCOMPARE(burst.size(), 3900);
        server.Suspend();  // the whole burst waits in the socket and arrives at once
        QVERIFY(exchange.Send(burst));
        QTRY_VERIFY_WITH_TIMEOUT(exchange.Delivered(), 30000);
        server.Resume();
        QVERIFY(watcher.WaitUntil([&] { return RawInputOf(watcher).size() == burst.size(); }));
        QCOMPARE(RawInputOf(watcher).toLatin1(), burst);
        QCOMPARE(SumOf(watcher, QStringLiteral("BytesDropped")), 0);
        QCOMPARE(watcher.CallbackArgs(QStringLiteral("BufferSize")).value(0), (QVariantList{256}));
        for (const QVariantList& level : watcher.CallbackArgs(QStringLiteral("BufferLevel")))
            QVERIFY(level.at(0).toInt() <= 256);
        // Every line reached the call reader (no format is in use: each is logged).
        QTRY_COMPARE_WITH_TIMEOUT(
            LogCount(server, QStringLiteral("receiver"), QStringLiteral("Received but not stored")), 100, 30000);
        QCOMPARE(LogCount(server, QStringLiteral("receiver"), QStringLiteral("dropped")), 0);
    }

    // An exchange that sends faster than the server stores loses nothing: it is made to
    // wait while the receiver works off its backlog, however small the buffer.
    void unpacedLinesAreAllStored_data()
    {
        QTest::addColumn<int>("bufferSize");
        QTest::addColumn<int>("pauseKb");
        QTest::addColumn<int>("resumeKb");
        QTest::newRow("small buffer") << 1024 << 1 << 1;
        QTest::newRow("default buffer") << 65536 << 48 << 16;
        QTest::newRow("pause below the resume level") << 8192 << 2 << 6;
    }
    void unpacedLinesAreAllStored()
    {
        QFETCH(int, bufferSize);
        QFETCH(int, pauseKb);
        QFETCH(int, resumeKb);
        TTestServer server;
        server.Options().ReceiverBufferSize = bufferSize;
        server.Options().ReceiverPauseKb = pauseKb;
        server.Options().ReceiverResumeKb = resumeKb;
        QVERIFY(StartReceivingDemo(server));
        const qint64 calls = CallCount(server);
        const qint64 invalid = LogCount(server, QStringLiteral("invalid"), QString());
        TExchangeSocket exchange;
        QVERIFY(AttachExchange(server, exchange));
        QByteArray lines;
        const int count = 5000;
        for (int i = 0; i < count; ++i)
            lines += DemoLine(QStringLiteral("1%1").arg(10 + i % 18), {}, QStringLiteral("2%1").arg(100000 + i),
                              30 + i % 600, EncodeDateTime(2024, 3, 30, 9, 0) + i / 86400.0);
        server.Suspend();  // a backlog at once, far beyond the buffer
        exchange.Socket.write(lines);
        server.Resume();
        QVERIFY(exchange.Send({}));
        QTRY_COMPARE_WITH_TIMEOUT(CallCount(server), calls + count, 60000);
        QCOMPARE(LogCount(server, QStringLiteral("invalid"), QString()), invalid);
    }

    // A matched line becomes a CALL row with the record's fields, the exchange in use and
    // the charges of the tariff rules in use (the demo's; VAT 20 %).
    void linesBecomeCalls_data()
    {
        QTest::addColumn<QString>("pin");
        QTest::addColumn<QString>("phone");
        QTest::addColumn<int>("duration");
        QTest::addColumn<QString>("start");  // the line holds the end: 2024-03-30 14:25
        QTest::addColumn<double>("raw");
        QTest::addColumn<double>("vat");
        QTest::addColumn<double>("charge");
        // Local: 0.04 a started minute.
        QTest::newRow("local") << QString() << QStringLiteral("2345678") << 61
                               << QStringLiteral("2024-03-30 14:23:59") << 0.08 << 0.02 << 0.10;
        // Long-distance: 0.05 + 0.09 a started minute.
        QTest::newRow("long-distance") << QString() << QStringLiteral("032123456") << 125
                                       << QStringLiteral("2024-03-30 14:22:55") << 0.32 << 0.06 << 0.38;
        // Mobile: 0.05 + 0.24 a minute, by the second.
        QTest::newRow("mobile with PIN") << QStringLiteral("4321") << QStringLiteral("0881234567") << 90
                                         << QStringLiteral("2024-03-30 14:23:30") << 0.41 << 0.08 << 0.49;
        // The longest prefix wins: 0049 over 00 and 0.
        QTest::newRow("Germany") << QString() << QStringLiteral("00491701234567") << 60
                                 << QStringLiteral("2024-03-30 14:24:00") << 0.55 << 0.11 << 0.66;
        QTest::newRow("abroad, one second") << QString() << QStringLiteral("0030123456789") << 1
                                            << QStringLiteral("2024-03-30 14:24:59") << 0.70 << 0.14 << 0.84;
        QTest::newRow("not answered") << QString() << QStringLiteral("0881234567") << 0
                                      << QStringLiteral("2024-03-30 14:25:00") << 0.0 << 0.0 << 0.0;
        QTest::newRow("free-phone") << QString() << QStringLiteral("0800123456") << 300
                                    << QStringLiteral("2024-03-30 14:20:00") << 0.0 << 0.0 << 0.0;
    }
    void linesBecomeCalls()
    {
        QFETCH(QString, pin);
        QFETCH(QString, phone);
        QFETCH(int, duration);
        QFETCH(QString, start);
        QFETCH(double, raw);
        QFETCH(double, vat);
        QFETCH(double, charge);
        TTestServer server;
        QVERIFY(StartReceivingDemo(server));
        TExchangeSocket exchange;
        QVERIFY(exchange.Connect(ReceiverPort(server)));
        const TDateTime end = EncodeDateTime(2024, 3, 30, 14, 25);
        const QByteArray line = DemoLine(QStringLiteral("105"), pin, phone, duration, end);
        QVERIFY(line.endsWith("\r\n"));
        const QString text = QString::fromLatin1(line.chopped(2));
        const QString before = DateTimeToSqlText(Now());
        QVERIFY(exchange.Send(line));
        const QString sql = QStringLiteral(
            "SELECT PBX_ID, EXT_CODE, PIN_CODE, EXTRA_CODE, PHONE, CIRCUIT, TRUNK, CALL_TYPE, DURATION, "
            "END_DATETIME, START_DATETIME, PULSES, ARCHIVE_ID, REC_DATETIME >= ? FROM CALL WHERE TEXT = ?");
        QTRY_VERIFY_WITH_TIMEOUT(!ServerRow(server, sql, {before, text}).isEmpty(), 30000);
        const QString null = QStringLiteral("<null>");
        const QStringList expected = {QStringLiteral("1"),
                                      QStringLiteral("105"),
                                      pin.isEmpty() ? null : pin,
                                      null,
                                      phone,
                                      QStringLiteral("12"),
                                      QStringLiteral("3"),
                                      QStringLiteral("O"),
                                      QString::number(duration),
                                      QStringLiteral("2024-03-30 14:25:00"),
                                      start,
                                      null,
                                      null,
                                      QStringLiteral("1")};
        QCOMPARE(ServerRow(server, sql, {before, text}), expected);
        const QStringList money = ServerRow(
            server, QStringLiteral("SELECT RAW_CHARGE, VAT, CHARGE FROM CALL WHERE TEXT = ?"), {text});
        QCOMPARE(money.at(0).toDouble(), raw);
        QCOMPARE(money.at(1).toDouble(), vat);
        QCOMPARE(money.at(2).toDouble(), charge);
    }

    // The checked format is kept as it was sent: 301 reports that text, not its canonical
    // form, so that the client finds the row it chose.
    void dataFormatInUse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("canonical") << "(EXTENSION:5)(phone:20]\\r\\n" << true;
        QTest::newRow("not canonical") << "( Extension :5)(phone:007)" << true;
        QTest::newRow("no length") << "(phone)" << false;
        QTest::newRow("unknown tag") << "(minute:2)" << false;
        QTest::newRow("empty") << "" << false;
    }
    void dataFormatInUse()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        TTestServer server;
        QVERIFY(server.Start());
        TWireClient admin, other;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QVERIFY(other.OpenAsAdministrator(server.Port()));
        QCOMPARE(admin.Call(kAdmin, 302, {QStringLiteral("(phone:10)")}).Result, QVariant(true));
        QCOMPARE(admin.Call(kAdmin, 302, {text}).Result, QVariant(valid));
        // A failed check forgets the one before; the check belongs to its connection.
        QCOMPARE(admin.Call(kAdmin, 303).Kind, valid ? TMessageKind::Reply : TMessageKind::Error);
        QCOMPARE(other.Call(kAdmin, 303).Code, hr::DISP_E_EXCEPTION_);
        QCOMPARE(other.Call(kAdmin, 301).Result.toString(), valid ? text : QString());
    }

    // Lines the format in use does not read are logged as "invalid" and stored nowhere.
    void unmatchedLines_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("logged");
        const QString demo = DemoDataFormat();
        QTest::newRow("alarm") << demo << QByteArray("*** ALARM MINOR: TRUNK 3 ***\r\n")
                               << "does not match the data format in use: \"*** ALARM MINOR: TRUNK 3 ***\"";
        QTest::newRow("impossible date") << demo
                                         << DemoLine(QStringLiteral("101"), {}, QStringLiteral("2345678"), 5,
                                                     EncodeDateTime(2024, 2, 29, 9, 0))
                                                .replace("29/02", "30/02")
                                         << "does not match the data format in use: \"30/02/24 09:00";
        QTest::newRow("only the front matches")
            << QStringLiteral("(EXTENSION:3)") << QByteArray("101 and more\r\n")
            << "does not match the data format in use: \"101 and more\"";
        QTest::newRow("phone longer than the column")
            << QStringLiteral("(EXTENSION:3)(PHONE:40]") << QByteArray("101") + QByteArray(40, '9') + "\r\n"
            << "The line's phone number is longer than 32 characters";
    }
    void unmatchedLines()
    {
        QFETCH(QString, format);
        QFETCH(QByteArray, line);
        QFETCH(QString, logged);
        TTestServer server;
        QVERIFY(StartReceivingDemo(server));
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QVERIFY(admin.UseDataFormat(format));
        const qint64 calls = CallCount(server);
        TExchangeSocket exchange;
        QVERIFY(exchange.Connect(ReceiverPort(server)));
        QVERIFY(exchange.Send(line));
        QTRY_COMPARE_WITH_TIMEOUT(LogCount(server, QStringLiteral("invalid"), logged), 1, 30000);
        QCOMPARE(CallCount(server), calls);
    }

    // 314 chooses the exchange in use (an existing one only); received calls go to it.
    void exchangeInUse()
    {
        TTestServer server;
        QVERIFY(StartReceivingDemo(server));
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        QCOMPARE(admin.Call(kAdmin, 313).Result.toInt(), 1);
        QCOMPARE(admin.Call(kAdmin, 314, {99}).Code, hr::DISP_E_EXCEPTION_);
        QCOMPARE(admin.Call(kAdmin, 313).Result.toInt(), 1);
        QCOMPARE(admin.Call(kAdmin, 314, {2}).Kind, TMessageKind::Reply);
        QCOMPARE(admin.Call(kAdmin, 313).Result.toInt(), 2);
        TExchangeSocket exchange;
        QVERIFY(exchange.Connect(ReceiverPort(server)));
        const QByteArray line = DemoLine(QStringLiteral("201"), {}, QStringLiteral("2345678"), 30,
                                         EncodeDateTime(2024, 3, 30, 9, 0));
        QVERIFY(exchange.Send(line));
        const QString sql = QStringLiteral("SELECT PBX_ID FROM CALL WHERE TEXT = ?");
        QTRY_COMPARE_WITH_TIMEOUT(ServerScalar(server, sql, {QString::fromLatin1(line.chopped(2))}).toInt(),
                                  2, 30000);
    }

    // While a client has live data off, its receiver notices wait (a reply that follows
    // them on the connection has come) and arrive when it turns live data on.
    void liveNoticesWaitWhileLiveDataIsOff()
    {
        TTestServer server;
        QVERIFY(StartReceivingDemo(server));
        TWireClient client;
        QVERIFY(client.OpenAsUser(server.Port()));
        QCOMPARE(client.Call(QStringLiteral("MainRDM"), 312, {false}).Kind, TMessageKind::Reply);
        const qint64 calls = CallCount(server);
        TExchangeSocket exchange;
        QVERIFY(exchange.Connect(ReceiverPort(server)));
        const QByteArray line = DemoLine(QStringLiteral("102"), {}, QStringLiteral("2345678"), 30,
                                         EncodeDateTime(2024, 3, 30, 9, 0));
        QVERIFY(exchange.Send(line));
        QTRY_COMPARE_WITH_TIMEOUT(CallCount(server), calls + 1, 30000);
        QCOMPARE(client.Call(QStringLiteral("MainRDM"), 314).Kind, TMessageKind::Reply);
        QVERIFY(!client.HasCallback(QStringLiteral("RawInput")));
        QCOMPARE(client.Call(QStringLiteral("MainRDM"), 312, {true}).Kind, TMessageKind::Reply);
        QVERIFY(client.WaitUntil([&] { return RawInputOf(client) == QString::fromLatin1(line); }));
    }

    // A client that shakes hands learns the receiver's and the queue's state at once.
    void stateAfterTheHandshake()
    {
        TTestServer server;
        ReceiveOnAFreePort(server);
        server.Options().ReceiverBufferSize = 4096;
        QVERIFY(server.Start());
        TWireClient client;
        QVERIFY(client.Open(server.Port()));
        QVERIFY(client.WaitForCallback(QStringLiteral("QueueState")));
        QStringList order;
        for (const TMessage& cb : client.Callbacks)
            order << TWireClient::MethodName(cb);
        QCOMPARE(order, (QStringList{QStringLiteral("ReceiverState"), QStringLiteral("BufferSize"),
                                     QStringLiteral("BufferLevel"), QStringLiteral("QueueState")}));
        QCOMPARE(
            client.Callbacks.at(0).Args,
            (QVariantList{QStringLiteral("Receiver listening on port %1").arg(ReceiverPort(server)), true}));
        QCOMPARE(client.Callbacks.at(1).Args, (QVariantList{4096}));
        QCOMPARE(client.Callbacks.at(2).Args, (QVariantList{0}));
        QCOMPARE(client.Callbacks.at(3).Args, (QVariantList{true}));
    }

    // The receiver runs again after a restart when it ran before, and not when it was
    // stopped.
    void runningStateSurvivesARestart()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("receiver.db"));
        auto restart = [&](bool toggle) {
            TTestServer server;
            server.Options().DatabasePath = path;
            server.Options().ReceiverPort = 0;
            if (!server.Start())
                return -1;
            TWireClient admin;
            if (!admin.OpenAsAdministrator(server.Port()) ||
                !admin.WaitForCallback(QStringLiteral("ReceiverState")))
                return -1;
            const bool running = admin.CallbackArgs(QStringLiteral("ReceiverState")).at(0).at(1).toBool();
            if (toggle && admin.Call(kReceiver, 301).Kind != TMessageKind::Reply)
                return -1;
            return running ? 1 : 0;
        };
        QCOMPARE(restart(true), 0);
        QCOMPARE(restart(false), 1);
        QCOMPARE(restart(true), 1);
        QCOMPARE(restart(false), 0);
    }

    // A port in use fails the call, and the receiver stays stopped.
    void portInUse()
    {
        QTcpServer occupant;
        QVERIFY(occupant.listen(QHostAddress::LocalHost));
        TTestServer server;
        server.Options().ReceiverPort = occupant.serverPort();
        QVERIFY(server.Start());
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        const TMessage reply = admin.Call(kReceiver, 301);
        QCOMPARE(reply.Code, hr::DISP_E_EXCEPTION_);
        QVERIFY(reply.Text.contains(QLatin1String("cannot listen on port")));
        QCOMPARE(ReceiverPort(server), quint16(0));
        QVERIFY(admin.WaitForCallback(QStringLiteral("LogMessage")));
        QCOMPARE(LogCount(server, QStringLiteral("receiver"), QStringLiteral("cannot listen on port")), 1);
    }

    // A newcomer never replaces the exchange that is attached: it is refused, and neither
    // its lines are stored nor the exchange disturbed. What the exchange sent last is still
    // read when it closes, a piece of a line as a line of its own, and then a new
    // connection is taken.
    void newcomerDoesNotReplaceTheExchange()
    {
        TTestServer server;
        QVERIFY(StartReceivingDemo(server));
        TWireClient admin;
        QVERIFY(admin.OpenAsAdministrator(server.Port()));
        const qint64 calls = CallCount(server);
        const QByteArray line = DemoLine(QStringLiteral("103"), {}, QStringLiteral("2345678"), 30,
                                         EncodeDateTime(2024, 3, 30, 9, 0));
        TExchangeSocket exchange;
        QVERIFY(AttachExchange(server, exchange));
        QVERIFY(exchange.Send(line + "30/03"));
        QVERIFY(admin.WaitUntil([&] { return RawInputOf(admin).endsWith(QLatin1String("30/03")); }));
        TExchangeSocket forger;
        QVERIFY(forger.Connect(ReceiverPort(server)));
        forger.Socket.write(DemoLine(QStringLiteral("104"), {}, QStringLiteral("0012345678"), 36000,
                                     EncodeDateTime(2024, 3, 30, 10, 0)));
        QVERIFY(forger.WaitForDisconnected());
        QTRY_COMPARE_WITH_TIMEOUT(
            LogCount(server, QStringLiteral("receiver"), QStringLiteral("refused a connection from")), 1, 30000);
        QCOMPARE(admin.Call(QStringLiteral("CommandsRDM"), 313, {QStringLiteral("BLOCK 103")}).Kind,
                 TMessageKind::Reply);
        QVERIFY(exchange.WaitForReceived("BLOCK 103\r\n"));
        QCOMPARE(CallCount(server), calls + 1);

        exchange.Socket.disconnectFromHost();
        QVERIFY(exchange.WaitForDisconnected());
        QTRY_COMPARE_WITH_TIMEOUT(
            LogCount(server, QStringLiteral("invalid"), QStringLiteral("data format in use: \"30/03\"")), 1,
            30000);
        QTRY_VERIFY_WITH_TIMEOUT(!ExchangeAttached(server), 30000);
        TExchangeSocket next;
        QVERIFY(AttachExchange(server, next));
        QCOMPARE(CallCount(server), calls + 1);
    }

    // With more connections allowed, each exchange has its own buffer: lines sent in
    // pieces by two exchanges at once never mix.
    void severalExchangesKeepTheirLinesApart()
    {
        TTestServer server;
        server.Options().ReceiverConnections = 2;
        QVERIFY(StartReceivingDemo(server));
        const qint64 calls = CallCount(server);
        const qint64 invalid = LogCount(server, QStringLiteral("invalid"), QString());
        TExchangeSocket first, second;
        QVERIFY(AttachExchange(server, first));
        QVERIFY(second.Connect(ReceiverPort(server)));
        QTRY_COMPARE_WITH_TIMEOUT(
            [&] {
                int n = 0;
                server.RunOnServer([&](TServer& s) { n = s.Receiver().ExchangeCount(); });
                return n;
            }(),
            2, 30000);
        const QByteArray a = DemoLine(QStringLiteral("105"), {}, QStringLiteral("2345678"), 30,
                                      EncodeDateTime(2024, 3, 30, 9, 0));
        const QByteArray b = DemoLine(QStringLiteral("106"), {}, QStringLiteral("0887123456"), 90,
                                      EncodeDateTime(2024, 3, 30, 9, 1));
        QVERIFY(first.Send(a.left(20)));
        QVERIFY(second.Send(b.left(30)));
        QVERIFY(first.Send(a.mid(20)));
        QVERIFY(second.Send(b.mid(30)));
        QTRY_COMPARE_WITH_TIMEOUT(CallCount(server), calls + 2, 30000);
        QCOMPARE(ServerRow(server, QStringLiteral("SELECT group_concat(t, ', ') FROM (SELECT EXT_CODE || ' ' || "
                                                  "PHONE AS t FROM (SELECT * FROM CALL ORDER BY ID DESC LIMIT 2) "
                                                  "ORDER BY t)")),
                 (QStringList{QStringLiteral("105 2345678, 106 0887123456")}));
        QCOMPARE(LogCount(server, QStringLiteral("invalid"), QString()), invalid);
        // A third is one too many.
        TExchangeSocket third;
        QVERIFY(third.Connect(ReceiverPort(server)));
        QVERIFY(third.WaitForDisconnected());
    }

    // Only the allowed addresses may connect; the receiver listens on its own address.
    void whoMayConnect_data()
    {
        QTest::addColumn<QString>("listen");
        QTest::addColumn<QString>("allowed");
        QTest::addColumn<QString>("from");  // the address the exchange connects to
        QTest::addColumn<bool>("attached");
        QTest::newRow("any address") << "" << "" << "127.0.0.1" << true;
        QTest::newRow("allowed subnet") << "" << "127.0.0.0/8" << "127.0.0.1" << true;
        QTest::newRow("not allowed") << "" << "10.0.0.0/8, 192.168.1.7" << "127.0.0.1" << false;
        QTest::newRow("own listen address") << "127.0.0.2" << "" << "127.0.0.2" << true;
    }
    void whoMayConnect()
    {
        QFETCH(QString, listen);
        QFETCH(QString, allowed);
        QFETCH(QString, from);
        QFETCH(bool, attached);
        TTestServer server;
        server.Options().ReceiverListenAddress = listen;
        server.Options().ReceiverAllowed = allowed;
        QVERIFY(StartReceivingDemo(server));
        TExchangeSocket exchange;
        exchange.Socket.connectToHost(QHostAddress(from), ReceiverPort(server));
        QVERIFY(exchange.Socket.waitForConnected(30000));
        if (attached) {
            QTRY_VERIFY_WITH_TIMEOUT(ExchangeAttached(server), 30000);
        } else {
            QVERIFY(exchange.WaitForDisconnected());
            QVERIFY(!ExchangeAttached(server));
        }
        if (!listen.isEmpty()) {
            // Not on the server's own address.
            QTcpSocket elsewhere;
            elsewhere.connectToHost(QHostAddress::LocalHost, ReceiverPort(server));
            QVERIFY(!elsewhere.waitForConnected(30000));
        }
    }

    // What arrived before the server stops is stored before the database closes.
    void shutdownStoresWhatArrived()
    {
        TTestServer server;
        QVERIFY(StartReceivingDemo(server));
        const qint64 calls = CallCount(server);
        TExchangeSocket exchange;
        QVERIFY(AttachExchange(server, exchange));
        const QByteArray line = DemoLine(QStringLiteral("104"), {}, QStringLiteral("2345678"), 30,
                                         EncodeDateTime(2024, 3, 30, 9, 0));
        server.Suspend();
        QVERIFY(exchange.Send(line));
        QTRY_VERIFY_WITH_TIMEOUT(exchange.Delivered(), 30000);
        server.Stop();
        TDatabase db(server.DatabasePath(), TDatabase::TMode::ReadOnly);
        QCOMPARE(db.Scalar(QStringLiteral("SELECT count(*) FROM CALL")).toLongLong(), calls + 1);
    }
};

QTEST_GUILESS_MAIN(TestServerReceiver)
#include "tst_server_receiver.moc"
