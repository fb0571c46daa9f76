#include "remote/CallbackObject.h"
#include "core/Errors.h"
#include "remote/FatalErrors.h"
#include "remote/TypeLibrary.h"

#include <QCborMap>
#include <QCborValue>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

// An independent CRC-32 (bitwise, IEEE), so the file stays readable by other tools.
quint32 ReferenceCrc32(const QByteArray& data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char ch : data) {
        crc ^= static_cast<quint8>(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray FileWithBody(const QByteArray& body, quint16 version = 1)
{
    QByteArray out(16, '\0');
    out.replace(0, 4, "TVTL");
    qToBigEndian<quint16>(version, out.data() + 4);
    qToBigEndian<quint32>(static_cast<quint32>(body.size()), out.data() + 8);
    qToBigEndian<quint32>(ReferenceCrc32(body), out.data() + 12);
    return out + body;
}

HRESULT LoadError(const QByteArray& bytes)
{
    try {
        TTypeLibrary::FromBytes(bytes, QStringLiteral("test.tlb"));
    } catch (const EOleSysError& e) {
        return e.ErrorCode();
    }
    return 0;
}

TTypeLibrary WithInterfaces(QList<TCallbackInterface> interfaces)
{
    TTypeLibrary lib = TTypeLibrary::Current();
    lib.Interfaces = std::move(interfaces);
    return lib;
}

}  // namespace

class TestTypeLibrary : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void writtenFileLoadsBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QLatin1String(TypeLibraryFileName));
        TTypeLibrary::Current().Write(path);
        const TTypeLibrary lib = TTypeLibrary::Load(path);
        QCOMPARE(lib.Name, QStringLiteral("TelvaneServer"));
        QCOMPARE(lib.Guid, QLatin1String(TypeLibraryGuid));
        QCOMPARE(lib.Interfaces.size(), 4);
        for (const TCallbackInterface& expected : CallbackInterfaces()) {
            const TCallbackInterface& got = lib.Interface(expected.Iid.toLower());
            QCOMPARE(got.Name, expected.Name);
            QCOMPARE(got.Methods.size(), expected.Methods.size());
            for (int i = 0; i < expected.Methods.size(); ++i) {
                QCOMPARE(got.Methods[i].Name, expected.Methods[i].Name);
                QCOMPARE(got.Methods[i].DispId, expected.Methods[i].DispId);
                QCOMPARE(got.Methods[i].Args, expected.Methods[i].Args);
            }
        }
        QCOMPARE(lib.Interface(QLatin1String(iid::ClientReceiver))
                     .MethodByName(QStringLiteral("ReceiverState"))
                     ->Args,
                 (QList<TCallbackArgType>{TCallbackArgType::String, TCallbackArgType::Bool16}));
    }

    // Every callback by name is a method of the interface it names, with the DISPID the
    // documented interfaces give it (the server calls back by these names).
    void callbackNames_data()
    {
        QTest::addColumn<int>("target");
        QTest::addColumn<QString>("method");
        QTest::addColumn<int>("dispId");
        const auto row = [](const TCallbackName& callback, int dispId) {
            QTest::newRow(callback.Method)
                << int(callback.Target) << QString::fromLatin1(callback.Method) << dispId;
        };
        row(callback::ServerShutdown, 201);
        row(callback::StatusAdded, 202);
        row(callback::StatusCleared, 203);
        row(callback::LogMessage, 204);
        row(callback::TooManyUsers, 205);
        row(callback::RawInput, 201);
        row(callback::BytesDropped, 202);
        row(callback::BufferLevel, 203);
        row(callback::BufferSize, 204);
        row(callback::ReceiverState, 205);
        row(callback::QueueState, 201);
        row(callback::CommandAdded, 202);
        row(callback::CommandRemoved, 203);
        row(callback::QueueCleared, 204);
        row(callback::RetryCountChanged, 205);
        row(callback::ReportReady, 201);
        row(callback::LogsReportReady, 202);
    }
    void callbackNames()
    {
        QFETCH(int, target);
        QFETCH(QString, method);
        QFETCH(int, dispId);
        const TCallbackMethod* m = CallbackInterfaces().at(target).MethodByName(method);
        QVERIFY(m);
        QCOMPARE(m->DispId, dispId);
    }

    void checksumIsTheStandardOne() { QCOMPARE(ReferenceCrc32("123456789"), 0xCBF43926u); }

    void unloadableFiles()
    {
        QTemporaryDir dir;
        QString message;
        const auto codeOf = [&message](const QString& path) {
            try {
                TTypeLibrary::Load(path);
            } catch (const EOleSysError& e) {
                message = e.Message();
                return e.ErrorCode();
            }
            return HRESULT(0);
        };
        QCOMPARE(codeOf(dir.filePath(QStringLiteral("missing.tlb"))), hr::TYPE_E_CANTLOADLIBRARY_);
        QVERIFY(message.startsWith(QStringLiteral("Error loading type library/DLL.")));
        QCOMPARE(codeOf(dir.path()), hr::TYPE_E_CANTLOADLIBRARY_);  // a directory
    }

    void badContent_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<HRESULT>("code");
        const QByteArray good = TTypeLibrary::Current().ToBytes();
        const HRESULT damaged = hr::TYPE_E_INVDATAREAD_;
        const HRESULT unsupported = hr::TYPE_E_UNSUPFORMAT_;

        QTest::newRow("empty file") << QByteArray() << unsupported;
        QTest::newRow("wrong magic") << QByteArray("MSFT").append(good.mid(4)) << unsupported;
        QTest::newRow("text file") << QByteArray("[TelvaneServer]\n") << unsupported;
        QTest::newRow("newer format") << FileWithBody(good.mid(16), 2) << unsupported;
        QTest::newRow("header cut") << good.left(10) << damaged;
        QTest::newRow("body cut") << good.left(good.size() - 7) << damaged;
        QTest::newRow("bytes appended") << good + QByteArray("x") << damaged;
        QByteArray flipped = good;
        flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x20);
        QTest::newRow("a byte changed") << flipped << damaged;
        QTest::newRow("body not CBOR") << FileWithBody(QByteArray("\xff\xff\xff", 3)) << damaged;
        QTest::newRow("body not a map") << FileWithBody(QCborValue(7).toCbor()) << damaged;
        QTest::newRow("no interfaces entry")
            << FileWithBody(QCborValue(QCborMap{{QStringLiteral("name"), QStringLiteral("TelvaneServer")},
                                                {QStringLiteral("guid"), QLatin1String(TypeLibraryGuid)},
                                                {QStringLiteral("ver"), QCborArray{1, 0}}})
                                .toCbor())
            << damaged;

        TCallbackInterface itf = CallbackInterfaces().at(0);
        QTest::newRow("interface twice") << WithInterfaces({itf, itf}).ToBytes() << damaged;
        TCallbackInterface twice = itf;
        twice.Methods[1].DispId = twice.Methods[0].DispId;
        QTest::newRow("dispatch id twice") << WithInterfaces({twice}).ToBytes() << damaged;
        TCallbackInterface badArg = itf;
        badArg.Methods[1].Args[0] = static_cast<TCallbackArgType>(9);
        QTest::newRow("unknown argument type") << WithInterfaces({badArg}).ToBytes() << damaged;
    }
    void badContent()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(HRESULT, code);
        QCOMPARE(HResultText(LoadError(bytes)), HResultText(code));
    }

    void missingInterfaceCannotBeBound()
    {
        const TTypeLibrary lib =
            TTypeLibrary::FromBytes(WithInterfaces({CallbackInterfaces().at(0)}).ToBytes());
        QVERIFY(lib.FindInterface(QLatin1String(iid::ClientApplication)));
        try {
            lib.Interface(QLatin1String(iid::ClientReport));
            QFAIL("bound an interface the file lacks");
        } catch (const EOleSysError& e) {
            QCOMPARE(HResultText(e.ErrorCode()), HResultText(hr::TYPE_E_ELEMENTNOTFOUND_));
            QVERIFY(e.Message().startsWith(QStringLiteral("Element not found.")));
        }
    }
};

class TestFatalErrors : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void classify_data()
    {
        QTest::addColumn<quint32>("code");
        QTest::addColumn<QString>("text");
        const QString corrupt = QStringLiteral("The file \"TelvaneServer.tlb\" is missing or corrupt.");
        const QString outdated = QStringLiteral("The file \"TelvaneServer.tlb\" may be out of date.");
        const QString lost = QStringLiteral("Connection to Telvane Server was lost.");
        QTest::newRow("cannot load") << 0x80029C4Au << corrupt;
        QTest::newRow("invalid data") << 0x80028018u << corrupt;
        QTest::newRow("unsupported format") << 0x80028019u << corrupt;
        QTest::newRow("element not found") << 0x8002802Bu << outdated;
        QTest::newRow("unknown name") << 0x80020006u << outdated;
        QTest::newRow("disconnected") << 0x80010108u << lost;
        QTest::newRow("server unavailable") << 0x800706BAu << lost;
        QTest::newRow("call failed") << 0x800706BEu << lost;
        QTest::newRow("call failed, not executed") << 0x800706BFu << lost;
        QTest::newRow("bare 1722") << 1722u << lost;
        QTest::newRow("1722 under another facility") << 0xC00206BAu << lost;
        QTest::newRow("1723 is not") << 0x800706BBu << QString();
        QTest::newRow("member not found") << 0x80020003u << QString();
        QTest::newRow("exception") << 0x80020009u << QString();
        QTest::newRow("access denied") << 0x80070005u << QString();
        QTest::newRow("success") << 0u << QString();
    }
    void classify()
    {
        QFETCH(quint32, code);
        QFETCH(QString, text);
        QCOMPARE(ClassifyFatalError(EOleSysError(QStringLiteral("x"), hr::Code(code))), text);
    }

    void onlyAutomationErrorsAreClassified()
    {
        // Other errors that carry a code, or whose message names one, stay unknown.
        QCOMPARE(ClassifyFatalError(EDatabaseError(QStringLiteral("0x80010108"), int(0x80010108u))),
                 QString());
        QCOMPARE(ClassifyFatalError(ESocketError(QStringLiteral("Connection refused"))), QString());
        QCOMPARE(ClassifyFatalError(std::runtime_error("0x80029C4A")), QString());
    }
};

namespace {

class TReceiverProbe : public TCallbackObject {
public:
    explicit TReceiverProbe(const TTypeLibrary& lib)
        : TCallbackObject(lib, QLatin1String(iid::ClientReceiver))
    {
        Bind(QStringLiteral("RawInput"), &TReceiverProbe::RawInput);
        Bind(QStringLiteral("ReceiverState"), &TReceiverProbe::ReceiverState);
        Bind(QStringLiteral("BytesDropped"), [this](const QVariantList& args) {
            if (args.at(0).toInt() < 0)
                throw std::runtime_error("negative");
            throw EOleSysError(QStringLiteral("refused"), hr::E_ACCESSDENIED_);
        });
    }
    void RawInput(const QString& text) { seen << text; }
    void ReceiverState(const QString& text, bool running)
    {
        seen << QStringLiteral("%1/%2").arg(text).arg(running);
    }
    template <typename Fn>
    void TryBind(const QString& name, Fn fn)
    {
        Bind(name, fn);
    }
    void WrongInput(int) {}
    QStringList seen;
};

class TCommandsProbe : public TCallbackObject {
public:
    explicit TCommandsProbe(const TTypeLibrary& lib)
        : TCallbackObject(lib, QLatin1String(iid::ClientCommands))
    {
        Bind(QStringLiteral("CommandAdded"), &TCommandsProbe::CommandAdded);
    }
    void CommandAdded(const QString& text, qint16 retries) const
    {
        last = QStringLiteral("%1:%2").arg(text).arg(retries);
    }
    mutable QString last;
};

HRESULT BindError(const std::function<void()>& bind)
{
    try {
        bind();
    } catch (const EOleSysError& e) {
        return e.ErrorCode();
    }
    return 0;
}

}  // namespace

class TestCallbackObject : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void bindsOnlyToDescribedInterfaces()
    {
        const TTypeLibrary onlyApplication =
            TTypeLibrary::FromBytes(WithInterfaces({CallbackInterfaces().at(0)}).ToBytes());
        QCOMPARE(BindError([&] { TReceiverProbe probe(onlyApplication); }), hr::TYPE_E_ELEMENTNOTFOUND_);

        TReceiverProbe probe(TTypeLibrary::Current());
        QCOMPARE(
            BindError([&] { probe.TryBind(QStringLiteral("NoSuchMethod"), [](const QVariantList&) {}); }),
            hr::TYPE_E_ELEMENTNOTFOUND_);
        // A handler whose parameters do not match the library's description.
        QCOMPARE(BindError([&] { probe.TryBind(QStringLiteral("RawInput"), &TReceiverProbe::WrongInput); }),
                 hr::TYPE_E_ELEMENTNOTFOUND_);
    }

    void dispatchStatus_data()
    {
        QTest::addColumn<QString>("iid");
        QTest::addColumn<int>("dispId");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<quint32>("status");
        QTest::addColumn<QString>("seen");
        const QString receiver = QLatin1String(iid::ClientReceiver);
        QTest::newRow("string") << receiver << 201 << QVariantList{QStringLiteral("line")} << 0u
                                << QStringLiteral("line");
        QTest::newRow("interface identifier in lower case")
            << receiver.toLower() << 201 << QVariantList{QStringLiteral("x")} << 0u << QStringLiteral("x");
        QTest::newRow("null string") << receiver << 201 << QVariantList{QVariant()} << 0u << QString();
        QTest::newRow("automation true") << receiver << 205 << QVariantList{QStringLiteral("Running"), -1}
                                         << 0u << QStringLiteral("Running/1");
        QTest::newRow("boolean false") << receiver << 205 << QVariantList{QStringLiteral("Stopped"), false}
                                       << 0u << QStringLiteral("Stopped/0");
        QTest::newRow("too few arguments")
            << receiver << 205 << QVariantList{QStringLiteral("x")} << 0x8002000Eu << QStringLiteral("-");
        QTest::newRow("wrong type") << receiver << 201 << QVariantList{5} << 0x80020005u
                                    << QStringLiteral("-");
        QTest::newRow("no handler bound")
            << receiver << 203 << QVariantList{5} << 0x80020003u << QStringLiteral("-");
        QTest::newRow("unknown DISPID")
            << receiver << 299 << QVariantList{} << 0x80020003u << QStringLiteral("-");
        QTest::newRow("other interface") << QString(QLatin1String(iid::ClientReport)) << 201 << QVariantList{}
                                         << 0x80004002u << QStringLiteral("-");
        QTest::newRow("handler raises a code")
            << receiver << 202 << QVariantList{3} << 0x80070005u << QStringLiteral("-");
        QTest::newRow("handler raises without a code")
            << receiver << 202 << QVariantList{-3} << 0x80004005u << QStringLiteral("-");
    }
    void dispatchStatus()
    {
        QFETCH(QString, iid);
        QFETCH(int, dispId);
        QFETCH(QVariantList, args);
        QFETCH(quint32, status);
        QFETCH(QString, seen);
        TReceiverProbe probe(TTypeLibrary::Current());
        QCOMPARE(HResultText(probe.Dispatch(iid, dispId, args)), HResultText(hr::Code(status)));
        QCOMPARE(probe.seen.isEmpty() ? QStringLiteral("-") : probe.seen.join(QLatin1Char('|')), seen);
    }

    void sixteenBitArguments()
    {
        TCommandsProbe probe(TTypeLibrary::Current());
        QCOMPARE(probe.Dispatch(QLatin1String(iid::ClientCommands), 202,
                                {QStringLiteral("BLOCK 201"), VarFromInt16(3)}),
                 hr::S_OK_);
        QCOMPARE(probe.last, QStringLiteral("BLOCK 201:3"));
        QCOMPARE(probe.Dispatch(QLatin1String(iid::ClientCommands), 202, {QStringLiteral("x"), 70000}),
                 hr::DISP_E_TYPEMISMATCH_);
    }

    void dispatchFollowsTheLoadedFile()
    {
        // A file whose identifiers differ from this build's table: the file decides.
        TTypeLibrary lib = TTypeLibrary::Current();
        for (TCallbackInterface& itf : lib.Interfaces)
            for (TCallbackMethod& m : itf.Methods)
                m.DispId += 100;
        TReceiverProbe probe(TTypeLibrary::FromBytes(lib.ToBytes()));
        QCOMPARE(probe.Dispatch(QLatin1String(iid::ClientReceiver), 201, {QStringLiteral("x")}),
                 hr::DISP_E_MEMBERNOTFOUND_);
        QCOMPARE(probe.Dispatch(QLatin1String(iid::ClientReceiver), 301, {QStringLiteral("x")}), hr::S_OK_);
    }

    void objectsAreFoundByNumber()
    {
        quint32 id = 0;
        {
            TReceiverProbe a(TTypeLibrary::Current());
            TReceiverProbe b(TTypeLibrary::Current());
            QVERIFY(a.ObjectId() != b.ObjectId());
            QCOMPARE(TCallbackObject::Find(b.ObjectId()), &b);
            QCOMPARE(b.DispatchRef().Iid, QLatin1String(iid::ClientReceiver));
            id = a.ObjectId();
        }
        QCOMPARE(TCallbackObject::Find(id), nullptr);
    }
};

int main(int argc, char** argv)
{
    int status = 0;
    {
        TestTypeLibrary t;
        status |= QTest::qExec(&t, argc, argv);
    }
    {
        TestFatalErrors t;
        status |= QTest::qExec(&t, argc, argv);
    }
    {
        TestCallbackObject t;
        status |= QTest::qExec(&t, argc, argv);
    }
    return status;
}

#include "tst_typelib.moc"
