#include "remote/TypeLibrary.h"

#include "core/Errors.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QSet>
#include <QtEndian>

#include <array>
#include <cstring>
#include <limits>
#include <utility>

namespace {

constexpr char kMagic[4] = {'T', 'V', 'T', 'L'};
constexpr qsizetype kHeaderSize = 16;

quint32 Crc32(const QByteArray& data)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (char ch : data)
        crc = table[(crc ^ static_cast<quint8>(ch)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

QString Tr(const char* text)
{
    return QCoreApplication::translate("TTypeLibrary", text);
}

[[noreturn]] void Fail(HRESULT code, const QString& path, const QString& reason)
{
    QString message;
    if (code == hr::TYPE_E_CANTLOADLIBRARY_)
        message = Tr("Error loading type library/DLL.");
    else
        message = Tr("Old format or invalid type library.");
    const QString where = path.isEmpty() ? reason : QStringLiteral("%1: %2").arg(path, reason);
    throw EOleSysError(QStringLiteral("%1 (%2)").arg(message, where), code);
}

// Reads the CBOR body; any structural fault is damaged content.
class TBodyReader {
public:
    explicit TBodyReader(QString path) : path_(std::move(path)) {}

    TTypeLibrary Read(const QByteArray& body) const
    {
        QCborParserError error;
        const QCborValue root = QCborValue::fromCbor(body, &error);
        if (error.error != QCborError::NoError)
            Damaged(error.errorString());
        if (error.offset != body.size())
            Damaged(QStringLiteral("bytes follow the library description"));
        if (!root.isMap())
            Damaged(QStringLiteral("the library description is not a map"));
        const QCborMap map = root.toMap();

        TTypeLibrary lib;
        lib.Name = Text(map, "name");
        lib.Guid = Text(map, "guid");
        const QCborArray version = Array(map, "ver");
        if (version.size() != 2)
            Damaged(QStringLiteral("the library version is not [major, minor]"));
        lib.MajorVersion = SmallInt(version.at(0), "the library version");
        lib.MinorVersion = SmallInt(version.at(1), "the library version");

        QSet<QString> iids;
        for (const QCborValue& v : Array(map, "itf")) {
            if (!v.isMap())
                Damaged(QStringLiteral("an interface is not a map"));
            TCallbackInterface itf = ReadInterface(v.toMap());
            if (iids.contains(itf.Iid.toUpper()))
                Damaged(QStringLiteral("interface %1 is described twice").arg(itf.Iid));
            iids.insert(itf.Iid.toUpper());
            lib.Interfaces.append(std::move(itf));
        }
        return lib;
    }

private:
    QString path_;

    [[noreturn]] void Damaged(const QString& reason) const { Fail(hr::TYPE_E_INVDATAREAD_, path_, reason); }

    QCborValue Value(const QCborMap& map, const char* key) const
    {
        const QCborValue v = map.value(QLatin1String(key));
        if (v.isUndefined())
            Damaged(QStringLiteral("the entry \"%1\" is missing").arg(QLatin1String(key)));
        return v;
    }

    QString Text(const QCborMap& map, const char* key) const
    {
        const QCborValue v = Value(map, key);
        if (!v.isString() || v.toString().isEmpty())
            Damaged(QStringLiteral("the entry \"%1\" is not a text").arg(QLatin1String(key)));
        return v.toString();
    }

    QCborArray Array(const QCborMap& map, const char* key) const
    {
        const QCborValue v = Value(map, key);
        if (!v.isArray())
            Damaged(QStringLiteral("the entry \"%1\" is not an array").arg(QLatin1String(key)));
        return v.toArray();
    }

    int SmallInt(const QCborValue& v, const char* what) const
    {
        if (!v.isInteger() || v.toInteger() < 0 || v.toInteger() > std::numeric_limits<qint32>::max())
            Damaged(QStringLiteral("%1 is not a number").arg(QLatin1String(what)));
        return static_cast<int>(v.toInteger());
    }

    TCallbackInterface ReadInterface(const QCborMap& map) const
    {
        TCallbackInterface itf;
        itf.Name = Text(map, "name");
        itf.Iid = Text(map, "iid");
        QSet<int> dispIds;
        QSet<QString> names;
        for (const QCborValue& v : Array(map, "m")) {
            if (!v.isMap())
                Damaged(QStringLiteral("a method of %1 is not a map").arg(itf.Name));
            const QCborMap m = v.toMap();
            TCallbackMethod method;
            method.Name = Text(m, "name");
            method.DispId = SmallInt(Value(m, "d"), "a dispatch identifier");
            for (const QCborValue& a : Array(m, "a")) {
                const int type = a.isInteger() ? static_cast<int>(a.toInteger()) : 0;
                if (type < static_cast<int>(TCallbackArgType::String) ||
                    type > static_cast<int>(TCallbackArgType::Bool16))
                    Damaged(QStringLiteral("%1.%2 has an unknown argument type").arg(itf.Name, method.Name));
                method.Args.append(static_cast<TCallbackArgType>(type));
            }
            if (dispIds.contains(method.DispId) || names.contains(method.Name))
                Damaged(QStringLiteral("%1.%2 is described twice").arg(itf.Name, method.Name));
            dispIds.insert(method.DispId);
            names.insert(method.Name);
            itf.Methods.append(std::move(method));
        }
        return itf;
    }
};

}  // namespace

TTypeLibrary TTypeLibrary::Current()
{
    TTypeLibrary lib;
    lib.Name = QLatin1String(TypeLibraryName);
    lib.Guid = QLatin1String(TypeLibraryGuid);
    lib.Interfaces = CallbackInterfaces();
    return lib;
}

TTypeLibrary TTypeLibrary::Load(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        Fail(hr::TYPE_E_CANTLOADLIBRARY_, path, QStringLiteral("the file does not exist"));
    if (!file.open(QIODevice::ReadOnly))
        Fail(hr::TYPE_E_CANTLOADLIBRARY_, path, file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        Fail(hr::TYPE_E_CANTLOADLIBRARY_, path, file.errorString());
    return FromBytes(bytes, path);
}

TTypeLibrary TTypeLibrary::FromBytes(const QByteArray& bytes, const QString& path)
{
    if (bytes.size() < 4 || !bytes.startsWith(QByteArray(kMagic, 4)))
        Fail(hr::TYPE_E_UNSUPFORMAT_, path, QStringLiteral("the file is no Telvane type library"));
    if (bytes.size() < kHeaderSize)
        Fail(hr::TYPE_E_INVDATAREAD_, path, QStringLiteral("the header is truncated"));
    const quint16 version = qFromBigEndian<quint16>(bytes.constData() + 4);
    if (version != TypeLibraryFormatVersion)
        Fail(hr::TYPE_E_UNSUPFORMAT_, path,
             QStringLiteral("format version %1 is not supported").arg(version));
    const quint32 length = qFromBigEndian<quint32>(bytes.constData() + 8);
    const quint32 crc = qFromBigEndian<quint32>(bytes.constData() + 12);
    if (static_cast<quint64>(bytes.size() - kHeaderSize) != length)
        Fail(hr::TYPE_E_INVDATAREAD_, path,
             QStringLiteral("the body holds %1 bytes instead of %2")
                 .arg(bytes.size() - kHeaderSize)
                 .arg(length));
    const QByteArray body = bytes.mid(kHeaderSize);
    if (Crc32(body) != crc)
        Fail(hr::TYPE_E_INVDATAREAD_, path, QStringLiteral("the checksum does not match"));
    return TBodyReader(path).Read(body);
}

QByteArray TTypeLibrary::ToBytes() const
{
    QCborArray interfaces;
    for (const TCallbackInterface& itf : Interfaces) {
        QCborArray methods;
        for (const TCallbackMethod& m : itf.Methods) {
            QCborArray args;
            for (TCallbackArgType a : m.Args)
                args.append(static_cast<int>(a));
            methods.append(QCborMap{{QStringLiteral("name"), m.Name},
                                    {QStringLiteral("d"), m.DispId},
                                    {QStringLiteral("a"), args}});
        }
        interfaces.append(QCborMap{{QStringLiteral("name"), itf.Name},
                                   {QStringLiteral("iid"), itf.Iid},
                                   {QStringLiteral("m"), methods}});
    }
    const QCborMap root{{QStringLiteral("name"), Name},
                        {QStringLiteral("guid"), Guid},
                        {QStringLiteral("ver"), QCborArray{MajorVersion, MinorVersion}},
                        {QStringLiteral("itf"), interfaces}};
    const QByteArray body = root.toCborValue().toCbor();

    QByteArray out(kHeaderSize, '\0');
    std::memcpy(out.data(), kMagic, 4);
    qToBigEndian<quint16>(TypeLibraryFormatVersion, out.data() + 4);
    qToBigEndian<quint32>(static_cast<quint32>(body.size()), out.data() + 8);
    qToBigEndian<quint32>(Crc32(body), out.data() + 12);
    return out + body;
}

void TTypeLibrary::Write(const QString& path) const
{
    QSaveFile file(path);
    const QByteArray bytes = ToBytes();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EInOutError(
            QStringLiteral("Cannot write the type library \"%1\": %2").arg(path, file.errorString()));
}

const TCallbackInterface* TTypeLibrary::FindInterface(const QString& iid) const
{
    for (const TCallbackInterface& itf : Interfaces)
        if (itf.Iid.compare(iid, Qt::CaseInsensitive) == 0)
            return &itf;
    return nullptr;
}

const TCallbackInterface& TTypeLibrary::Interface(const QString& iid) const
{
    if (const TCallbackInterface* itf = FindInterface(iid))
        return *itf;
    throw EOleSysError(QStringLiteral("%1 (%2 %3)").arg(Tr("Element not found."), Tr("interface"), iid),
                       hr::TYPE_E_ELEMENTNOTFOUND_);
}
