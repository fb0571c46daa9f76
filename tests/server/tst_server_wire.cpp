// The connection core of telvane-server over the wire: attach, handshake, argument
// types, errors, access levels, passwords, live-data hold-back, bad frames, too many users.

#include "server/Server.h"
#include "support/TestServer.h"
#include "support/WireClient.h"

#include <QTest>
#include <QtEndian>

class TestServerWire : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestServer> server_;

    quint16 Port() const { return server_->Port(); }

private Q_SLOTS:
    void initTestCase()
    {
        RegisterProtocolTypes();
        server_ = std::make_unique<TTestServer>();
        server_->InstallEchoCall();
        server_->Options().FrameTimeoutMs = 300;
        QString error;
        QVERIFY2(server_->Start(&error), qPrintable(error));
    }
    void cleanupTestCase() { server_.reset(); }

    void handshakeAcceptsItsVersion()
    {
        TWireClient c;
        QVERIFY(c.Connect(Port()));
        QVERIFY(c.AttachAll());
        const TMessage reply = c.Handshake(320);
        QCOMPARE(reply.Kind, TMessageKind::Reply);
        QCOMPARE(reply.ByRefValues.size(), 2);
        QCOMPARE(reply.ByRefValues.at(0).toInt(), 320);
        QVERIFY(reply.ByRefValues.at(1).toInt() >= 0);
    }

    void handshakeRefusesOtherVersions_data()
    {
        QTest::addColumn<int>("serverVersion");
        QTest::addColumn<int>("clientVersion");
        QTest::newRow("320 server, 310 client") << 320 << 310;
        QTest::newRow("310 server, 320 client") << 310 << 320;
    }
    void handshakeRefusesOtherVersions()
    {
        QFETCH(int, serverVersion);
        QFETCH(int, clientVersion);
        TTestServer server;
        server.Options().ServerVersion = serverVersion;
        QVERIFY(server.Start());
        TWireClient c;
        QVERIFY(c.Connect(server.Port()));
        QVERIFY(c.AttachAll());
        const TMessage reply = c.Handshake(clientVersion);
        QCOMPARE(reply.Kind, TMessageKind::Reply);
        QCOMPARE(reply.ByRefValues.at(0).toInt(), serverVersion);
        QVERIFY(reply.ByRefValues.at(1).toInt() < 0);
        // A refused client gets nothing else.
        QCOMPARE(c.Call(QStringLiteral("MainRDM"), 314).Code, hr::E_ACCESSDENIED_);
    }

    void handshakeChecksTheCallbackObjects()
    {
        TWireClient c;
        QVERIFY(c.Connect(Port()));
        QVERIFY(c.AttachAll());
        QVariantList objects = TWireClient::CallbackObjects();
        objects.swapItemsAt(1, 2);
        TMessage reply = c.Call(QStringLiteral("MainRDM"), 301, objects + QVariantList{320, 0}, {4, 5});
        QCOMPARE(reply.Code, hr::DISP_E_TYPEMISMATCH_);
        reply =
            c.Call(QStringLiteral("MainRDM"), 301,
                   TWireClient::CallbackObjects().mid(0, 3) + QVariantList{QStringLiteral("report"), 320, 0},
                   {4, 5});
        QCOMPARE(reply.Code, hr::DISP_E_TYPEMISMATCH_);
        QCOMPARE(c.Call(QStringLiteral("MainRDM"), 314).Code, hr::E_ACCESSDENIED_);
    }

    void attachErrors_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("guid");
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("child");
        QTest::addColumn<int>("code");
        const QString guid = QStringLiteral("{186284D0-20DB-4206-84EB-1E10B63F1477}");
        QTest::newRow("unknown main module")
            << "Other.MainRDM" << guid << 1 << false << int(hr::DISP_E_UNKNOWNNAME_);
        QTest::newRow("wrong GUID") << "TelvaneControl.MainRDM"
                                    << "{00000000-0000-0000-0000-000000000000}" << 1 << false
                                    << int(hr::DISP_E_UNKNOWNNAME_);
        QTest::newRow("protocol version 2")
            << "TelvaneControl.MainRDM" << guid << 2 << false << int(hr::E_FAIL_);
        QTest::newRow("unknown child")
            << "PrinterRDM" << QString() << 0 << true << int(hr::DISP_E_UNKNOWNNAME_);
        QTest::newRow("child without parent")
            << "AdminRDM" << QString() << 0 << true << int(hr::DISP_E_UNKNOWNNAME_);
    }
    void attachErrors()
    {
        QFETCH(QString, module);
        QFETCH(QString, guid);
        QFETCH(int, version);
        QFETCH(bool, child);
        QFETCH(int, code);
        TWireClient c;
        QVERIFY(c.Connect(Port()));
        TMessage m;
        m.Kind = TMessageKind::Attach;
        m.Id = c.NextId();
        m.Module = module;
        if (child) {
            const TMessage main = c.Attach(QStringLiteral("TelvaneControl.MainRDM"));
            m.Parent =
                QTest::currentDataTag() == QLatin1String("child without parent") ? 999 : main.Result.toUInt();
        } else {
            m.Guid = guid;
            m.Version = version;
        }
        c.Send(m);
        TMessage answer;
        QVERIFY(c.WaitFor(m.Id, answer));
        QCOMPARE(answer.Kind, TMessageKind::Error);
        QCOMPARE(int(answer.Code), code);
    }

    // Every value type survives a call: as the result and as a by-reference argument.
    void valuesRoundTrip_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("string") << QVariant(QStringLiteral("\u0417\u0434\u0440\u0430\u0432\u0435\u0439 'x'"));
        QTest::newRow("empty string") << QVariant(QString(""));
        QTest::newRow("int32") << QVariant(-2147483647 - 1);
        QTest::newRow("int16") << VarFromInt16(-32768);
        QTest::newRow("int64") << QVariant(qint64(1) << 40);
        QTest::newRow("bool true") << QVariant(true);
        QTest::newRow("bool false") << QVariant(false);
        QTest::newRow("real") << QVariant(1234.5678);
        QTest::newRow("date-time") << VarFromDateTime(45382.7505787037);
        QTest::newRow("bytes") << QVariant(QByteArray("\x00\x01\xfe\xff", 4));
        QTest::newRow("array") << QVariant(QVariantList{1, QStringLiteral("a"), QVariant(), VarFromInt16(3),
                                                        QVariantList{VarFromDateTime(1.5), true}});
        QTest::newRow("null") << QVariant();
    }
    void valuesRoundTrip()
    {
        QFETCH(QVariant, value);
        TWireClient c;
        QVERIFY(c.Open(Port()));
        const TMessage reply =
            c.Call(QStringLiteral("MainRDM"), TTestServer::EchoDispId, {value, value}, {1});
        QCOMPARE(reply.Kind, TMessageKind::Reply);
        QCOMPARE(reply.Result.metaType(), value.metaType());
        QCOMPARE(reply.Result, value);
        QCOMPARE(reply.ByRefValues.size(), 1);
        QCOMPARE(reply.ByRefValues.at(0).metaType(), value.metaType());
        QCOMPARE(reply.ByRefValues.at(0), value);
    }

    void callErrors_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<int>("dispId");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<int>("code");
        QTest::newRow("unknown DISPID") << "MainRDM" << 399 << QVariantList{} << int(hr::DISP_E_UNKNOWNNAME_);
        QTest::newRow("DISPID of another module")
            << "ReceiverRDM" << 313 << QVariantList{} << int(hr::DISP_E_UNKNOWNNAME_);
        QTest::newRow("too few arguments")
            << "MainRDM" << 307 << QVariantList{true} << int(hr::DISP_E_BADPARAMCOUNT_);
        QTest::newRow("too many arguments")
            << "MainRDM" << 314 << QVariantList{1} << int(hr::DISP_E_BADPARAMCOUNT_);
        QTest::newRow("string for a boolean")
            << "MainRDM" << 307 << QVariantList{QStringLiteral("yes"), QStringLiteral("x")}
            << int(hr::DISP_E_TYPEMISMATCH_);
        QTest::newRow("integer for a string")
            << "MainRDM" << 307 << QVariantList{true, 5} << int(hr::DISP_E_TYPEMISMATCH_);
        QTest::newRow("unknown filter query")
            << "AdminRDM" << 308 << QVariantList{QStringLiteral("qryCall"), QString()}
            << int(hr::DISP_E_UNKNOWNNAME_);
        QTest::newRow("unknown 303 provider")
            << "ReportRDM" << 303 << QVariantList{QStringLiteral("dspCall"), QStringLiteral("PBX")}
            << int(hr::DISP_E_UNKNOWNNAME_);
        QTest::newRow("303 table not served")
            << "ReportRDM" << 303 << QVariantList{QStringLiteral("dspEPGroup"), QStringLiteral("CALL")}
            << int(hr::DISP_E_EXCEPTION_);
        QTest::newRow("language 7") << "MainRDM" << 315 << QVariantList{7} << int(hr::DISP_E_EXCEPTION_);
    }
    void callErrors()
    {
        QFETCH(QString, module);
        QFETCH(int, dispId);
        QFETCH(QVariantList, args);
        QFETCH(int, code);
        TWireClient c;
        QVERIFY(c.OpenAsAdministrator(Port()));
        const TMessage reply = c.Call(module, dispId, args);
        QCOMPARE(reply.Kind, TMessageKind::Error);
        QCOMPARE(int(reply.Code), code);
        QVERIFY(!reply.Text.isEmpty());
        // The connection goes on working after an error.
        QCOMPARE(c.Call(QStringLiteral("MainRDM"), 314).Kind, TMessageKind::Reply);
    }

    void unknownModuleHandle()
    {
        TWireClient c;
        QVERIFY(c.Open(Port()));
        QCOMPARE(c.CallHandle(4242, 301, {}).Code, hr::DISP_E_UNKNOWNNAME_);
    }

    // What a locked connection may and may not do; the set-up checks work while locked.
    void accessLevels_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("administrator");
        QTest::addColumn<QString>("module");
        QTest::addColumn<int>("dispId");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<bool>("allowed");
        const QVariantList none;
        const QString locked, user = QStringLiteral("user");
        QTest::newRow("locked: data format in use") << locked << false << "AdminRDM" << 301 << none << true;
        QTest::newRow("locked: tariff rules in use") << locked << false << "AdminRDM" << 315 << none << true;
        QTest::newRow("locked: language") << locked << false << "MainRDM" << 314 << none << true;
        QTest::newRow("locked: live data")
            << locked << false << "MainRDM" << 312 << QVariantList{true} << true;
        QTest::newRow("locked: report")
            << locked << false << "ReportRDM" << 301 << QVariantList{QStringLiteral("select 1")} << false;
        QTest::newRow("locked: exchange in use") << locked << false << "AdminRDM" << 313 << none << false;
        QTest::newRow("locked: filter clause")
            << locked << false << "AdminRDM" << 308 << QVariantList{QStringLiteral("qryExtension"), QString()}
            << false;
        QTest::newRow("locked: change password")
            << locked << false << "MainRDM" << 308
            << QVariantList{false, QStringLiteral("user"), QStringLiteral("x")} << false;
        QTest::newRow("locked: set language")
            << locked << false << "MainRDM" << 315 << QVariantList{0} << false;
        QTest::newRow("locked: logs") << locked << false << "LogsReportRDM" << 301
                                      << QVariantList{QStringLiteral("select * from LOG")} << false;
        QTest::newRow("user: report")
            << user << false << "ReportRDM" << 301 << QVariantList{QStringLiteral("select 1")} << true;
        QTest::newRow("user: catalog table")
            << user << false << "ReportRDM" << 303
            << QVariantList{QStringLiteral("dspEPGroup"), QStringLiteral("PBX")} << true;
        QTest::newRow("user: exchange in use") << user << false << "AdminRDM" << 313 << none << false;
        QTest::newRow("user: logs") << user << false << "LogsReportRDM" << 302
                                    << QVariantList{QStringLiteral("select * from LOG")} << false;
        QTest::newRow("admin: exchange in use")
            << QStringLiteral("admin") << true << "AdminRDM" << 313 << none << true;
    }
    void accessLevels()
    {
        QFETCH(QString, password);
        QFETCH(bool, administrator);
        QFETCH(QString, module);
        QFETCH(int, dispId);
        QFETCH(QVariantList, args);
        QFETCH(bool, allowed);
        TWireClient c;
        QVERIFY(c.Open(Port(), password, administrator));
        const TMessage reply = c.Call(module, dispId, args);
        if (allowed) {
            QCOMPARE(reply.Kind, TMessageKind::Reply);
        } else {
            QCOMPARE(reply.Kind, TMessageKind::Error);
            QCOMPARE(reply.Code, hr::E_ACCESSDENIED_);
            QVERIFY2(reply.Text.contains(QStringLiteral("access level")), qPrintable(reply.Text));
        }
    }

    void providersNeedTheirLevel_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("provider");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("locked: saved reports") << QString() << "ReportRDM"
                                               << "dspReport" << false;
        QTest::newRow("locked: exchanges") << QString() << "AdminRDM"
                                           << "dspPBX" << false;
        QTest::newRow("user: saved reports") << "user"
                                             << "ReportRDM"
                                             << "dspReport" << true;
        QTest::newRow("user: exchanges") << "user"
                                         << "AdminRDM"
                                         << "dspPBX" << false;
        QTest::newRow("user: archives") << "user"
                                        << "ArchivesRDM"
                                        << "dspArchive" << false;
        QTest::newRow("admin: archives") << "admin"
                                         << "ArchivesRDM"
                                         << "dspArchive" << true;
    }
    void providersNeedTheirLevel()
    {
        QFETCH(QString, password);
        QFETCH(QString, module);
        QFETCH(QString, provider);
        QFETCH(bool, allowed);
        TWireClient c;
        QVERIFY(c.Open(Port(), password, password == QLatin1String("admin")));
        const TOpenResult r = c.OpenDataSet(module, provider);
        QCOMPARE(r.Ok, allowed);
        if (!allowed)
            QCOMPARE(r.Code, hr::E_ACCESSDENIED_);
        const TMessage apply = c.Apply(module, provider, {});
        QCOMPARE(apply.Kind, allowed ? TMessageKind::Applied : TMessageKind::Error);
    }

    // Every provider of the shared table is served by the module it is named in: those over
    // a table open at once, the others once a call chose their table or ran their statement.
    void providersOfTheTable_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("provider");
        QTest::addColumn<bool>("opensAtOnce");
        const auto row = [](const char* module, const char* provider, bool opensAtOnce) {
            QTest::addRow("%s %s", module, provider)
                << QString(QLatin1String(module)) << QString(QLatin1String(provider)) << opensAtOnce;
        };
        row(module::ReportRDM, provider::ReportRDM::dspReport, true);
        row(module::ReportRDM, provider::ReportRDM::dspResult, false);
        row(module::ReportRDM, provider::ReportRDM::dspEPGroup, false);
        row(module::ReportRDM, provider::ReportRDM::dspExtPin, false);
        row(module::ReportRDM, provider::ReportRDM::dspSimpleModeExtPin, false);
        row(module::AdminRDM, provider::AdminRDM::dspGroups, true);
        row(module::AdminRDM, provider::AdminRDM::dspPBX, true);
        row(module::AdminRDM, provider::AdminRDM::dspLimitPlan, true);
        row(module::AdminRDM, provider::AdminRDM::dspExtension, true);
        row(module::AdminRDM, provider::AdminRDM::dspPinCode, true);
        row(module::AdminRDM, provider::AdminRDM::dspCallSchema, true);
        row(module::AdminRDM, provider::AdminRDM::dspTariffRules, true);
        row(module::ArchivesRDM, provider::ArchivesRDM::dspArchive, true);
        row(module::LogsReportRDM, provider::LogsReportRDM::dspResult, false);
        row(module::LogsReportRDM, provider::LogsReportRDM::dspTemp, false);
    }
    void providersOfTheTable()
    {
        QFETCH(QString, module);
        QFETCH(QString, provider);
        QFETCH(bool, opensAtOnce);
        TWireClient c;
        QVERIFY(c.OpenAsAdministrator(Port()));
        const TOpenResult r = c.OpenDataSet(module, provider);
        QVERIFY2(r.Ok == opensAtOnce, qPrintable(r.Text));
        if (!opensAtOnce)
            QCOMPARE(r.Code, hr::DISP_E_EXCEPTION_);
    }

    void unknownProvider()
    {
        TWireClient c;
        QVERIFY(c.OpenAsAdministrator(Port()));
        QCOMPARE(c.OpenDataSet(QStringLiteral("AdminRDM"), QStringLiteral("dspNothing")).Code,
                 hr::DISP_E_UNKNOWNNAME_);
        // A provider of another module is unknown here.
        QCOMPARE(c.OpenDataSet(QStringLiteral("AdminRDM"), QStringLiteral("dspArchive")).Code,
                 hr::DISP_E_UNKNOWNNAME_);
        QCOMPARE(c.Apply(QStringLiteral("ReportRDM"), QStringLiteral("dspResult"), {}).Code,
                 hr::DISP_E_EXCEPTION_);
    }

    // Passwords: a wrong one changes nothing, the level is never lowered by a check, and a
    // changed password works at once and the old one no longer does.
    void passwords()
    {
        TTestServer server;
        QVERIFY(server.Start());
        TWireClient c;
        QVERIFY(c.Open(server.Port()));
        const QString main = QStringLiteral("MainRDM");
        QCOMPARE(c.Call(main, 307, {false, QStringLiteral("wrong")}).Result, QVariant(false));
        QCOMPARE(c.Call(main, 307, {false, QStringLiteral("user")}).Result, QVariant(true));
        QCOMPARE(c.Call(QStringLiteral("AdminRDM"), 313).Code, hr::E_ACCESSDENIED_);
        QCOMPARE(c.Call(main, 307, {-1, QStringLiteral("admin")}).Result, QVariant(true));  // automation true
        QCOMPARE(c.Call(QStringLiteral("AdminRDM"), 313).Kind, TMessageKind::Reply);
        // A failed check does not lower the level.
        QCOMPARE(c.Call(main, 307, {true, QStringLiteral("nope")}).Result, QVariant(false));
        QCOMPARE(c.Call(QStringLiteral("AdminRDM"), 313).Kind, TMessageKind::Reply);

        QCOMPARE(c.Call(main, 308, {false, QStringLiteral("bad"), QStringLiteral("s3cret")}).Result,
                 QVariant(false));
        QCOMPARE(c.Call(main, 307, {false, QStringLiteral("user")}).Result, QVariant(true));
        QCOMPARE(c.Call(main, 308, {false, QStringLiteral("user"), QStringLiteral("s3cret")}).Result,
                 QVariant(true));
        QCOMPARE(c.Call(main, 307, {false, QStringLiteral("user")}).Result, QVariant(false));
        QCOMPARE(c.Call(main, 307, {false, QStringLiteral("s3cret")}).Result, QVariant(true));
        QCOMPARE(c.Call(main, 307, {true, QStringLiteral("admin")}).Result, QVariant(true));

        // Neither password is stored in clear.
        QFile db(server.DatabasePath());
        server.Stop();
        QVERIFY(db.open(QIODevice::ReadOnly));
        const QByteArray bytes = db.readAll();
        QVERIFY(!bytes.contains("s3cret"));
    }

    void languageSetting()
    {
        TTestServer server;
        QVERIFY(server.Start());
        TWireClient c;
        QVERIFY(c.OpenAsAdministrator(server.Port()));
        QCOMPARE(c.Call(QStringLiteral("MainRDM"), 314).Result.toInt(), 1);
        QCOMPARE(c.Call(QStringLiteral("MainRDM"), 315, {0}).Kind, TMessageKind::Reply);
        TWireClient other;
        QVERIFY(other.Open(server.Port()));
        QCOMPARE(other.Call(QStringLiteral("MainRDM"), 314).Result.toInt(), 0);
    }

    // While live data is disabled, notices are held back and arrive in order afterwards;
    // the report-ready signal is never held.
    void liveDataHeldWhileDisabled()
    {
        TWireClient c;
        QVERIFY(c.OpenAsUser(Port()));
        QCOMPARE(c.Call(QStringLiteral("MainRDM"), 312, {false}).Kind, TMessageKind::Reply);
        const TOpenResult r = c.RunReport(QStringLiteral("select 1"));
        QVERIFY(r.Ok);
        QCOMPARE(c.CallbackCount(QStringLiteral("StatusAdded")), 0);
        QCOMPARE(c.CallbackCount(QStringLiteral("ReportReady")), 1);
        const int before = static_cast<int>(c.Callbacks.size());
        QCOMPARE(c.Call(QStringLiteral("MainRDM"), 312, {true}).Kind, TMessageKind::Reply);
        QVERIFY(c.WaitForCallback(QStringLiteral("StatusCleared")));
        QCOMPARE(TWireClient::MethodName(c.Callbacks.at(before)), QStringLiteral("StatusAdded"));
        QCOMPARE(TWireClient::MethodName(c.Callbacks.at(before + 1)), QStringLiteral("StatusCleared"));
        QCOMPARE(c.Callbacks.at(before).Args.at(1), c.Callbacks.at(before + 1).Args.at(0));
    }

    // A bad frame drops its own connection and no other.
    void badFramesDropOnlyTheirConnection_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("waitForTimeout");
        QByteArray length(4, '\0');
        qToBigEndian<quint32>(64u * 1024u * 1024u + 1u, length.data());
        QTest::newRow("garbage") << FrameBytes(QByteArray("\xff\xfe garbage that is no CBOR")) << false;
        QTest::newRow("oversized") << length << false;
        QTest::newRow("empty frame") << QByteArray(4, '\0') << false;
        QTest::newRow("truncated CBOR") << FrameBytes(EncodeMessage(TMessage{}).left(5)) << false;
        QTest::newRow("unknown kind") << FrameBytes(QByteArray("\xa2\x61k\x63xyz\x62id\x01", 11)) << false;
        QTest::newRow("server-side kind") << FrameBytes(EncodeMessage([] {
            TMessage m;
            m.Kind = TMessageKind::Rows;
            return m;
        }())) << false;
        QByteArray partial = FrameBytes(QByteArray(100, 'x')).left(40);
        QTest::newRow("frame never finished") << partial << true;
    }
    void badFramesDropOnlyTheirConnection()
    {
        QFETCH(QByteArray, bytes);
        TWireClient good, bad;
        QVERIFY(good.Open(Port()));
        QVERIFY(bad.Open(Port()));
        bad.SendRaw(bytes);
        QVERIFY(bad.WaitForDisconnected());
        const TMessage reply = good.Call(QStringLiteral("MainRDM"), 314);
        QCOMPARE(reply.Kind, TMessageKind::Reply);
        TWireClient later;
        QVERIFY(later.Open(Port()));
    }

    void maxFrameOption()
    {
        TTestServer server;
        server.Options().MaxFrame = 1024;
        QVERIFY(server.Start());
        TWireClient c;
        QVERIFY(c.Open(server.Port()));
        QCOMPARE(c.Call(QStringLiteral("MainRDM"), 307, {false, QString(100, QLatin1Char('x'))}).Kind,
                 TMessageKind::Reply);
        TMessage big;
        big.Kind = TMessageKind::Call;
        big.Id = c.NextId();
        big.Handle = c.Handles.value(QStringLiteral("MainRDM"));
        big.DispId = 307;
        big.Args = {false, QString(2000, QLatin1Char('x'))};
        c.Send(big);
        QVERIFY(c.WaitForDisconnected());
    }

    // Clients beyond the limit are accepted, told "too many users" and disconnected.
    void tooManyUsers()
    {
        TTestServer server;
        server.Options().MaxClients = 2;
        server.Options().TooManyUsersGraceMs = 200;
        QVERIFY(server.Start());
        TWireClient first, second, third;
        QVERIFY(first.Open(server.Port()));
        QVERIFY(second.Open(server.Port()));
        QVERIFY(third.Open(server.Port()));
        QVERIFY(third.WaitForCallback(QStringLiteral("TooManyUsers")));
        QVERIFY(third.WaitForDisconnected());
        QVERIFY(!first.HasCallback(QStringLiteral("TooManyUsers")));
        QCOMPARE(second.Call(QStringLiteral("MainRDM"), 314).Kind, TMessageKind::Reply);
        // A place that is given up can be taken again.
        first.Socket.disconnectFromHost();
        QVERIFY(first.WaitForDisconnected());
        QTRY_COMPARE_WITH_TIMEOUT(
            [&] {
                int accepted = 0;
                server.RunOnServer([&](TServer& s) { accepted = s.AcceptedClients(); });
                return accepted;
            }(),
            1, 10000);
        TWireClient fourth;
        QVERIFY(fourth.Open(server.Port()));
        QCOMPARE(fourth.Call(QStringLiteral("MainRDM"), 314).Kind, TMessageKind::Reply);
        QVERIFY(!fourth.HasCallback(QStringLiteral("TooManyUsers")));
    }

    void shutdownNotifiesEveryClient()
    {
        TTestServer server;
        QVERIFY(server.Start());
        TWireClient a, b;
        QVERIFY(a.Open(server.Port()));
        QVERIFY(b.Open(server.Port()));
        server.Stop();
        QVERIFY(a.WaitForDisconnected());
        QVERIFY(b.WaitForDisconnected());
        QVERIFY(a.HasCallback(QStringLiteral("ServerShutdown")));
        QVERIFY(b.HasCallback(QStringLiteral("ServerShutdown")));
        const TMessage& cb = a.Callbacks.constLast();
        QCOMPARE(cb.ObjectId, 1u);
        QCOMPARE(cb.Iid, QLatin1String(iid::ClientApplication));
        QCOMPARE(cb.DispId, FirstCallbackDispId);
    }
};

QTEST_GUILESS_MAIN(TestServerWire)
#include "tst_server_wire.moc"
