#include "remote/Protocol.h"

#include <QCborStreamReader>
#include <QCborStreamWriter>
#include <QSet>
#include <QtEndian>

#include <cstring>
#include <limits>

namespace {

constexpr quint64 kTagInt16 = cbortag::Int16;
constexpr quint64 kTagDateTime = cbortag::DateTime;
constexpr quint64 kTagInt64 = cbortag::Int64;
constexpr quint64 kTagDispatch = cbortag::Dispatch;

struct KindName {
    TMessageKind kind;
    const char* name;
};
constexpr KindName kKinds[] = {
    {TMessageKind::Attach, "attach"}, {TMessageKind::Call, "call"},     {TMessageKind::Reply, "reply"},
    {TMessageKind::Error, "error"},   {TMessageKind::Callback, "cb"},   {TMessageKind::CallbackReply, "cbr"},
    {TMessageKind::Open, "open"},     {TMessageKind::Meta, "meta"},     {TMessageKind::Rows, "rows"},
    {TMessageKind::Eof, "eof"},       {TMessageKind::Apply, "apply"},   {TMessageKind::Applied, "applied"},
};

[[noreturn]] void Fail(const QString& what)
{
    throw EProtocolError(QStringLiteral("Protocol error: %1").arg(what));
}

// ---- writing -------------------------------------------------------------------------

void WriteValue(QCborStreamWriter& w, const QVariant& v);

void WriteValues(QCborStreamWriter& w, const QVariantList& values)
{
    w.startArray(static_cast<quint64>(values.size()));
    for (const QVariant& v : values)
        WriteValue(w, v);
    w.endArray();
}

void WriteValue(QCborStreamWriter& w, const QVariant& v)
{
    if (!v.isValid() || v.isNull()) {
        w.append(QCborSimpleType::Null);
        return;
    }
    const QMetaType type = v.metaType();
    if (type == QMetaType::fromType<TVarDate>()) {
        w.append(QCborTag(kTagDateTime));
        w.append(v.value<TVarDate>().Value);
        return;
    }
    if (type == QMetaType::fromType<TDispatchRef>()) {
        const TDispatchRef ref = v.value<TDispatchRef>();
        w.append(QCborTag(kTagDispatch));
        w.startArray(2);
        w.append(static_cast<quint64>(ref.ObjectId));
        w.append(ref.Iid);
        w.endArray();
        return;
    }
    switch (type.id()) {
    case QMetaType::Bool: w.append(v.toBool()); return;
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Char:
        w.append(QCborTag(kTagInt16));
        w.append(static_cast<qint64>(static_cast<qint16>(v.toInt())));
        return;
    case QMetaType::Int: w.append(static_cast<qint64>(v.toInt())); return;
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong: {
        const qint64 i = v.toLongLong();
        if (i >= std::numeric_limits<qint32>::min() && i <= std::numeric_limits<qint32>::max() &&
            type.id() == QMetaType::UInt) {
            w.append(i);
        } else {
            w.append(QCborTag(kTagInt64));
            w.append(i);
        }
        return;
    }
    case QMetaType::Double:
    case QMetaType::Float: w.append(v.toDouble()); return;
    case QMetaType::QString: w.append(v.toString()); return;
    case QMetaType::QByteArray: w.append(v.toByteArray()); return;
    case QMetaType::QVariantList: WriteValues(w, v.toList()); return;
    case QMetaType::QStringList: {
        const QStringList list = v.toStringList();
        w.startArray(static_cast<quint64>(list.size()));
        for (const QString& s : list)
            w.append(s);
        w.endArray();
        return;
    }
    case QMetaType::QDateTime:
        w.append(QCborTag(kTagDateTime));
        w.append(DateTimeFromQDateTime(v.toDateTime()));
        return;
    case QMetaType::QDate:
        w.append(QCborTag(kTagDateTime));
        w.append(DateTimeFromQDate(v.toDate()));
        return;
    case QMetaType::Nullptr: w.append(QCborSimpleType::Null); return;
    default: Fail(QStringLiteral("a value of type %1 cannot be sent").arg(QString::fromLatin1(type.name())));
    }
}

void WriteKey(QCborStreamWriter& w, const char* key)
{
    w.append(QLatin1String(key));
}

// ---- reading -------------------------------------------------------------------------

QString ReadString(QCborStreamReader& r)
{
    if (!r.isString())
        Fail(QStringLiteral("a text string was expected"));
    QString out;
    auto chunk = r.readString();
    while (chunk.status == QCborStreamReader::Ok) {
        out += chunk.data;
        chunk = r.readString();
    }
    if (chunk.status == QCborStreamReader::Error)
        Fail(QStringLiteral("a text string is damaged"));
    return out;
}

QByteArray ReadBytes(QCborStreamReader& r)
{
    QByteArray out;
    auto chunk = r.readByteArray();
    while (chunk.status == QCborStreamReader::Ok) {
        out += chunk.data;
        chunk = r.readByteArray();
    }
    if (chunk.status == QCborStreamReader::Error)
        Fail(QStringLiteral("a byte string is damaged"));
    return out;
}

qint64 ReadInteger(QCborStreamReader& r)
{
    if (r.isUnsignedInteger()) {
        const quint64 u = r.toUnsignedInteger();
        if (u > static_cast<quint64>(std::numeric_limits<qint64>::max()))
            Fail(QStringLiteral("an integer is out of range"));
        r.next();
        return static_cast<qint64>(u);
    }
    if (r.isNegativeInteger()) {
        const quint64 u = quint64(r.toNegativeInteger());
        if (u > static_cast<quint64>(std::numeric_limits<qint64>::max()) + 1)
            Fail(QStringLiteral("an integer is out of range"));
        r.next();
        return static_cast<qint64>(~u + 1);
    }
    Fail(QStringLiteral("an integer was expected"));
}

double ReadNumber(QCborStreamReader& r)
{
    if (r.isDouble()) {
        const double d = r.toDouble();
        r.next();
        return d;
    }
    if (r.isFloat()) {
        const double d = r.toFloat();
        r.next();
        return d;
    }
    if (r.isFloat16()) {
        const double d = r.toFloat16();
        r.next();
        return d;
    }
    return static_cast<double>(ReadInteger(r));
}

// A reader that met an error stops advancing; every loop checks so that damaged input
// ends in an error instead of a loop.
void CheckReader(QCborStreamReader& r)
{
    if (r.lastError() != QCborError::NoError)
        Fail(r.lastError().toString());
}

void EnterArray(QCborStreamReader& r)
{
    if (!r.isArray() || !r.enterContainer())
        Fail(QStringLiteral("an array was expected"));
}

void LeaveContainer(QCborStreamReader& r)
{
    if (r.lastError() != QCborError::NoError || !r.leaveContainer())
        Fail(QStringLiteral("a container is damaged"));
}

// A frame carries exactly one message, and every message names its kind.
void CheckMessageEnd(QCborStreamReader& r, const QByteArray& payload, bool haveKind)
{
    CheckReader(r);
    if (r.currentOffset() != payload.size())
        Fail(QStringLiteral("a frame holds more than one message"));
    if (!haveKind)
        Fail(QStringLiteral("a message has no kind"));
}

constexpr int kMaxDepth = 32;

QVariant ReadValue(QCborStreamReader& r, int depth, bool* undefined = nullptr);

QVariantList ReadValues(QCborStreamReader& r, int depth)
{
    if (depth > kMaxDepth)
        Fail(QStringLiteral("values are nested too deeply"));
    QVariantList out;
    if (r.isArray() && r.isLengthKnown())
        out.reserve(static_cast<qsizetype>(qMin<quint64>(r.length(), 1u << 16)));
    EnterArray(r);
    while (r.hasNext()) {
        out.append(ReadValue(r, depth + 1));
        CheckReader(r);
    }
    LeaveContainer(r);
    return out;
}

QVariant ReadValue(QCborStreamReader& r, int depth, bool* undefined)
{
    if (undefined)
        *undefined = false;
    switch (r.type()) {
    case QCborStreamReader::UnsignedInteger:
    case QCborStreamReader::NegativeInteger: {
        const qint64 i = ReadInteger(r);
        if (i >= std::numeric_limits<qint32>::min() && i <= std::numeric_limits<qint32>::max())
            return QVariant(static_cast<int>(i));
        return QVariant(i);
    }
    case QCborStreamReader::Float16:
    case QCborStreamReader::Float:
    case QCborStreamReader::Double: return QVariant(ReadNumber(r));
    case QCborStreamReader::String: return QVariant(ReadString(r));
    case QCborStreamReader::ByteArray: return QVariant(ReadBytes(r));
    case QCborStreamReader::Array: return QVariant(ReadValues(r, depth));
    case QCborStreamReader::SimpleType: {
        const QCborSimpleType s = r.toSimpleType();
        r.next();
        switch (s) {
        case QCborSimpleType::False: return QVariant(false);
        case QCborSimpleType::True: return QVariant(true);
        case QCborSimpleType::Null: return QVariant();
        case QCborSimpleType::Undefined:
            if (undefined)
                *undefined = true;
            return QVariant();
        default: Fail(QStringLiteral("an unknown simple value was received"));
        }
    }
    case QCborStreamReader::Tag: {
        const quint64 tag = quint64(r.toTag());
        r.next();
        if (tag == kTagInt16) {
            const qint64 i = ReadInteger(r);
            if (i < std::numeric_limits<qint16>::min() || i > std::numeric_limits<qint16>::max())
                Fail(QStringLiteral("a 16-bit integer is out of range"));
            return VarFromInt16(static_cast<qint16>(i));
        }
        if (tag == kTagInt64)
            return QVariant(ReadInteger(r));
        if (tag == kTagDateTime)
            return VarFromDateTime(ReadNumber(r));
        if (tag == kTagDispatch) {
            EnterArray(r);
            TDispatchRef ref;
            const qint64 id = r.hasNext() ? ReadInteger(r) : -1;
            if (id < 0 || id > std::numeric_limits<quint32>::max() || !r.hasNext())
                Fail(QStringLiteral("an interface reference is damaged"));
            ref.ObjectId = static_cast<quint32>(id);
            ref.Iid = ReadString(r);
            LeaveContainer(r);
            return QVariant::fromValue(ref);
        }
        Fail(QStringLiteral("unknown tag %1").arg(tag));
    }
    default: Fail(QStringLiteral("an unexpected value was received"));
    }
}

QList<int> ReadIntList(QCborStreamReader& r)
{
    QList<int> out;
    EnterArray(r);
    while (r.hasNext()) {
        const qint64 i = ReadInteger(r);
        if (i < 0 || i > std::numeric_limits<int>::max())
            Fail(QStringLiteral("an index is out of range"));
        out.append(static_cast<int>(i));
    }
    LeaveContainer(r);
    return out;
}

void SkipValue(QCborStreamReader& r, int depth)
{
    if (depth > kMaxDepth)
        Fail(QStringLiteral("values are nested too deeply"));
    if (r.isArray() || r.isMap()) {
        const bool map = r.isMap();
        if (!r.enterContainer())
            Fail(QStringLiteral("a container is damaged"));
        while (r.hasNext()) {
            SkipValue(r, depth + 1);
            if (map && r.hasNext())
                SkipValue(r, depth + 1);
        }
        LeaveContainer(r);
        return;
    }
    (void)ReadValue(r, depth);
}

// A key that appears twice is refused: which of its values counts would depend on the
// reader, and a peer could show one check a value and the handler another.
template <typename Fn>
void ReadMap(QCborStreamReader& r, Fn&& onKey)
{
    if (!r.isMap() || !r.enterContainer())
        Fail(QStringLiteral("a map was expected"));
    QSet<QString> seen;
    while (r.hasNext()) {
        const QString key = ReadString(r);
        if (!r.hasNext())
            Fail(QStringLiteral("a map entry has no value"));
        if (seen.contains(key))
            Fail(QStringLiteral("the key \"%1\" appears twice in a map").arg(ShortQuote(key)));
        seen.insert(key);
        onKey(key);
        CheckReader(r);
    }
    LeaveContainer(r);
}

quint32 ToUInt32(qint64 value, const char* what)
{
    if (value < 0 || value > std::numeric_limits<quint32>::max())
        Fail(QStringLiteral("%1 is out of range").arg(QLatin1String(what)));
    return static_cast<quint32>(value);
}

int ToInt(qint64 value, const char* what)
{
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        Fail(QStringLiteral("%1 is out of range").arg(QLatin1String(what)));
    return static_cast<int>(value);
}

}  // namespace

QString EProtocolError::ClassName() const
{
    return QStringLiteral("EProtocolError");
}

QString FieldTypeName(TFieldType type)
{
    switch (type) {
    case TFieldType::String: return QStringLiteral("String");
    case TFieldType::Smallint: return QStringLiteral("Smallint");
    case TFieldType::Integer: return QStringLiteral("Integer");
    case TFieldType::Largeint: return QStringLiteral("Largeint");
    case TFieldType::Boolean: return QStringLiteral("Boolean");
    case TFieldType::Float: return QStringLiteral("Float");
    case TFieldType::Currency: return QStringLiteral("Currency");
    case TFieldType::DateTime: return QStringLiteral("DateTime");
    case TFieldType::AutoInc: return QStringLiteral("AutoInc");
    case TFieldType::Blob: return QStringLiteral("Blob");
    case TFieldType::Memo: return QStringLiteral("Memo");
    case TFieldType::WideString: return QStringLiteral("WideString");
    case TFieldType::WideMemo: return QStringLiteral("WideMemo");
    case TFieldType::TimeStamp: return QStringLiteral("TimeStamp");
    case TFieldType::Unknown: break;
    }
    return QStringLiteral("Unknown");
}

QString MessageKindName(TMessageKind kind)
{
    for (const KindName& k : kKinds)
        if (k.kind == kind)
            return QLatin1String(k.name);
    return QStringLiteral("?");
}

QByteArray EncodeMessage(const TMessage& m)
{
    QByteArray out;
    QCborStreamWriter w(&out);
    w.startMap();
    WriteKey(w, "k");
    w.append(MessageKindName(m.Kind));
    WriteKey(w, "id");
    w.append(static_cast<quint64>(m.Id));
    switch (m.Kind) {
    case TMessageKind::Attach:
        WriteKey(w, "m");
        w.append(m.Module);
        if (m.Parent != 0) {
            WriteKey(w, "par");
            w.append(static_cast<quint64>(m.Parent));
        } else {
            WriteKey(w, "g");
            w.append(m.Guid);
            WriteKey(w, "v");
            w.append(static_cast<qint64>(m.Version));
        }
        break;
    case TMessageKind::Call:
        WriteKey(w, "h");
        w.append(static_cast<quint64>(m.Handle));
        WriteKey(w, "d");
        w.append(static_cast<qint64>(m.DispId));
        WriteKey(w, "a");
        WriteValues(w, m.Args);
        if (!m.ByRef.isEmpty()) {
            WriteKey(w, "r");
            w.startArray(static_cast<quint64>(m.ByRef.size()));
            for (int i : m.ByRef)
                w.append(static_cast<qint64>(i));
            w.endArray();
        }
        break;
    case TMessageKind::Reply:
        WriteKey(w, "res");
        WriteValue(w, m.Result);
        if (!m.ByRefValues.isEmpty()) {
            WriteKey(w, "rv");
            WriteValues(w, m.ByRefValues);
        }
        break;
    case TMessageKind::Error:
        WriteKey(w, "c");
        w.append(static_cast<qint64>(m.Code));
        WriteKey(w, "t");
        w.append(m.Text);
        break;
    case TMessageKind::Callback:
        WriteKey(w, "o");
        w.append(static_cast<quint64>(m.ObjectId));
        WriteKey(w, "i");
        w.append(m.Iid);
        WriteKey(w, "d");
        w.append(static_cast<qint64>(m.DispId));
        WriteKey(w, "a");
        WriteValues(w, m.Args);
        break;
    case TMessageKind::CallbackReply:
        WriteKey(w, "c");
        w.append(static_cast<qint64>(m.Code));
        break;
    case TMessageKind::Open:
        WriteKey(w, "h");
        w.append(static_cast<quint64>(m.Handle));
        WriteKey(w, "p");
        w.append(m.Provider);
        if (!m.Args.isEmpty()) {
            WriteKey(w, "a");
            WriteValues(w, m.Args);
        }
        break;
    case TMessageKind::Meta:
        if (m.Count > 0) {
            WriteKey(w, "n");
            w.append(m.Count);
        }
        WriteKey(w, "f");
        w.startArray(static_cast<quint64>(m.Fields.size()));
        for (const TFieldDef& f : m.Fields) {
            w.startMap(6);
            WriteKey(w, "n");
            w.append(f.Name);
            WriteKey(w, "t");
            w.append(static_cast<quint64>(f.DataType));
            WriteKey(w, "s");
            w.append(static_cast<qint64>(f.Size));
            WriteKey(w, "rq");
            w.append(f.Required);
            WriteKey(w, "ro");
            w.append(f.ReadOnly);
            WriteKey(w, "key");
            w.append(f.Key);
            w.endMap();
        }
        w.endArray();
        break;
    case TMessageKind::Rows:
        WriteKey(w, "rows");
        w.startArray(static_cast<quint64>(m.Rows.size()));
        for (const QVariantList& row : m.Rows)
            WriteValues(w, row);
        w.endArray();
        break;
    case TMessageKind::Eof:
        WriteKey(w, "n");
        w.append(m.Count);
        break;
    case TMessageKind::Apply:
        WriteKey(w, "h");
        w.append(static_cast<quint64>(m.Handle));
        WriteKey(w, "p");
        w.append(m.Provider);
        WriteKey(w, "max");
        w.append(static_cast<qint64>(m.MaxErrors));
        WriteKey(w, "delta");
        w.startArray(static_cast<quint64>(m.Delta.size()));
        for (const TDeltaChange& c : m.Delta) {
            w.startMap(3);
            WriteKey(w, "op");
            w.append(static_cast<quint64>(c.Kind));
            WriteKey(w, "old");
            WriteValues(w, c.Old);
            WriteKey(w, "new");
            w.startArray(static_cast<quint64>(c.New.size()));
            for (const QVariant& v : c.New) {
                if (v.isValid())
                    WriteValue(w, v);
                else
                    w.append(QCborSimpleType::Undefined);
            }
            w.endArray();
            w.endMap();
        }
        w.endArray();
        break;
    case TMessageKind::Applied:
        WriteKey(w, "n");
        w.append(static_cast<qint64>(m.Errors.size()));
        WriteKey(w, "err");
        w.startArray(static_cast<quint64>(m.Errors.size()));
        for (const TApplyError& e : m.Errors) {
            w.startArray(3);
            w.append(static_cast<qint64>(e.Index));
            w.append(static_cast<qint64>(e.Code));
            w.append(e.Message);
            w.endArray();
        }
        w.endArray();
        WriteKey(w, "ar");
        w.startArray(static_cast<quint64>(m.AppliedRows.size()));
        for (const TAppliedRow& row : m.AppliedRows) {
            w.startArray(2);
            w.append(static_cast<qint64>(row.Index));
            WriteValues(w, row.Values);
            w.endArray();
        }
        w.endArray();
        break;
    }
    w.endMap();
    return out;
}

QByteArray EncodeValue(const QVariant& value)
{
    QByteArray out;
    QCborStreamWriter w(&out);
    WriteValue(w, value);
    return out;
}

TMessage DecodeMessage(const QByteArray& payload)
{
    QCborStreamReader r(payload);
    TMessage m;
    bool haveKind = false;
    ReadMap(r, [&](const QString& key) {
        if (key == QLatin1String("k")) {
            const QString name = ReadString(r);
            for (const KindName& k : kKinds)
                if (name == QLatin1String(k.name)) {
                    m.Kind = k.kind;
                    haveKind = true;
                }
            if (!haveKind)
                Fail(QStringLiteral("unknown message kind \"%1\"").arg(ShortQuote(name)));
        } else if (key == QLatin1String("id")) {
            m.Id = ToUInt32(ReadInteger(r), "the message id");
        } else if (key == QLatin1String("m")) {
            m.Module = ReadString(r);
        } else if (key == QLatin1String("g")) {
            m.Guid = ReadString(r);
        } else if (key == QLatin1String("par")) {
            m.Parent = ToUInt32(ReadInteger(r), "the parent handle");
        } else if (key == QLatin1String("v")) {
            m.Version = ToInt(ReadInteger(r), "the protocol version");
        } else if (key == QLatin1String("h")) {
            m.Handle = ToUInt32(ReadInteger(r), "the module handle");
        } else if (key == QLatin1String("d")) {
            m.DispId = ToInt(ReadInteger(r), "the DISPID");
        } else if (key == QLatin1String("a")) {
            m.Args = ReadValues(r, 0);
        } else if (key == QLatin1String("r")) {
            m.ByRef = ReadIntList(r);
        } else if (key == QLatin1String("res")) {
            m.Result = ReadValue(r, 0);
        } else if (key == QLatin1String("rv")) {
            m.ByRefValues = ReadValues(r, 0);
        } else if (key == QLatin1String("c")) {
            const qint64 code = ReadInteger(r);
            if (code < std::numeric_limits<qint32>::min() || code > std::numeric_limits<quint32>::max())
                Fail(QStringLiteral("the error code is out of range"));
            m.Code = static_cast<HRESULT>(static_cast<quint32>(code));
        } else if (key == QLatin1String("t")) {
            m.Text = ReadString(r);
        } else if (key == QLatin1String("o")) {
            m.ObjectId = ToUInt32(ReadInteger(r), "the object id");
        } else if (key == QLatin1String("i")) {
            m.Iid = ReadString(r);
        } else if (key == QLatin1String("p")) {
            m.Provider = ReadString(r);
        } else if (key == QLatin1String("f")) {
            EnterArray(r);
            while (r.hasNext()) {
                TFieldDef f;
                ReadMap(r, [&](const QString& fk) {
                    if (fk == QLatin1String("n")) {
                        f.Name = ReadString(r);
                    } else if (fk == QLatin1String("t")) {
                        const qint64 t = ReadInteger(r);
                        if (t < 0 || t > static_cast<qint64>(TFieldType::TimeStamp))
                            Fail(QStringLiteral("unknown field type %1").arg(t));
                        f.DataType = static_cast<TFieldType>(t);
                    } else if (fk == QLatin1String("s")) {
                        f.Size = ToInt(ReadInteger(r), "the field size");
                    } else if (fk == QLatin1String("rq")) {
                        f.Required = ReadValue(r, 1).toBool();
                    } else if (fk == QLatin1String("ro")) {
                        f.ReadOnly = ReadValue(r, 1).toBool();
                    } else if (fk == QLatin1String("key")) {
                        f.Key = ReadValue(r, 1).toBool();
                    } else {
                        SkipValue(r, 1);
                    }
                });
                m.Fields.append(f);
            }
            LeaveContainer(r);
        } else if (key == QLatin1String("rows")) {
            if (r.isArray() && r.isLengthKnown())
                m.Rows.reserve(static_cast<qsizetype>(qMin<quint64>(r.length(), 1u << 16)));
            EnterArray(r);
            while (r.hasNext())
                m.Rows.append(ReadValues(r, 1));
            LeaveContainer(r);
        } else if (key == QLatin1String("n")) {
            m.Count = ReadInteger(r);
        } else if (key == QLatin1String("max")) {
            m.MaxErrors = ToInt(ReadInteger(r), "the maximum error count");
        } else if (key == QLatin1String("delta")) {
            EnterArray(r);
            while (r.hasNext()) {
                TDeltaChange c;
                ReadMap(r, [&](const QString& ck) {
                    if (ck == QLatin1String("op")) {
                        const qint64 op = ReadInteger(r);
                        if (op < 0 || op > 2)
                            Fail(QStringLiteral("unknown change kind %1").arg(op));
                        c.Kind = static_cast<TChangeKind>(op);
                    } else if (ck == QLatin1String("old")) {
                        c.Old = ReadValues(r, 1);
                    } else if (ck == QLatin1String("new")) {
                        EnterArray(r);
                        while (r.hasNext()) {
                            bool undefined = false;
                            QVariant v = ReadValue(r, 2, &undefined);
                            // A written null must stay distinguishable from "unchanged".
                            c.New.append(undefined ? QVariant() : (v.isValid() ? v : QVariant::fromValue(nullptr)));
                        }
                        LeaveContainer(r);
                    } else {
                        SkipValue(r, 1);
                    }
                });
                m.Delta.append(c);
            }
            LeaveContainer(r);
        } else if (key == QLatin1String("err")) {
            EnterArray(r);
            while (r.hasNext()) {
                EnterArray(r);
                TApplyError e;
                if (!r.hasNext())
                    Fail(QStringLiteral("an apply error is damaged"));
                e.Index = ToInt(ReadInteger(r), "the change index");
                if (!r.hasNext())
                    Fail(QStringLiteral("an apply error is damaged"));
                e.Code = ToInt(ReadInteger(r), "the error code");
                if (!r.hasNext())
                    Fail(QStringLiteral("an apply error is damaged"));
                e.Message = ReadString(r);
                LeaveContainer(r);
                m.Errors.append(e);
            }
            LeaveContainer(r);
        } else if (key == QLatin1String("ar")) {
            EnterArray(r);
            while (r.hasNext()) {
                EnterArray(r);
                TAppliedRow row;
                if (!r.hasNext())
                    Fail(QStringLiteral("an applied row is damaged"));
                row.Index = ToInt(ReadInteger(r), "the change index");
                if (!r.hasNext())
                    Fail(QStringLiteral("an applied row is damaged"));
                row.Values = ReadValues(r, 1);
                LeaveContainer(r);
                m.AppliedRows.append(row);
            }
            LeaveContainer(r);
        } else {
            // Unknown keys are skipped so that a newer peer may add some.
            SkipValue(r, 0);
        }
    });
    CheckMessageEnd(r, payload, haveKind);
    return m;
}

namespace {

// Well-formed UTF-8 as RFC 3629 has it (no overlong forms, surrogates or code points
// beyond U+10FFFF): what the stream reader demands of a text string.
bool IsValidUtf8(const uchar* p, qsizetype size)
{
    const uchar* end = p + size;
    while (p < end) {
        const uchar c = *p++;
        if (c < 0x80)
            continue;
        int more = 0;
        char32_t cp = 0, least = 0;
        if ((c & 0xE0) == 0xC0) {
            more = 1, cp = c & 0x1F, least = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2, cp = c & 0x0F, least = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3, cp = c & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (end - p < more)
            return false;
        for (int i = 0; i < more; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        p += more;
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
    }
    return true;
}

// Text and byte strings as their bytes, chunk by chunk, into a buffer kept between values.
qsizetype ReadStringBytes(QCborStreamReader& r, QByteArray& buffer)
{
    qsizetype size = 0;
    for (;;) {
        // -1 once the chunks are over: the read then ends the string and moves on.
        const qsizetype chunk = qMax<qsizetype>(0, r.currentStringChunkSize());
        if (buffer.size() < size + chunk)
            buffer.resize(qMax(size + chunk, buffer.size() * 2));
        const auto result = r.readStringChunk(buffer.data() + size, chunk);
        if (result.status == QCborStreamReader::Error)
            Fail(QStringLiteral("a string is damaged"));
        if (result.status == QCborStreamReader::EndOfString)
            break;
        size += result.data;
    }
    CheckReader(r);
    return size;
}

void ReadRowValue(QCborStreamReader& r, TRowValueSink& sink, QByteArray& buffer)
{
    using K = TRowValueSink::TKind;
    TRowValueSink::TValue v;
    switch (r.type()) {
    case QCborStreamReader::UnsignedInteger:
    case QCborStreamReader::NegativeInteger: {
        v.Integer = ReadInteger(r);
        v.Kind = v.Integer >= std::numeric_limits<qint32>::min() && v.Integer <= std::numeric_limits<qint32>::max()
                     ? K::Integer
                     : K::Int64;
        break;
    }
    case QCborStreamReader::Float16:
    case QCborStreamReader::Float:
    case QCborStreamReader::Double:
        v.Kind = K::Real;
        v.Real = ReadNumber(r);
        break;
    case QCborStreamReader::String:
    case QCborStreamReader::ByteArray:
        v.Kind = r.isString() ? K::Text : K::Bytes;
        v.Size = ReadStringBytes(r, buffer);
        v.Data = buffer.constData();
        if (v.Kind == K::Text && !IsValidUtf8(reinterpret_cast<const uchar*>(v.Data), v.Size))
            Fail(QStringLiteral("a text string is damaged"));
        break;
    case QCborStreamReader::SimpleType:
        if (r.isTrue() || r.isFalse()) {
            v.Kind = K::Boolean;
            v.Integer = r.isTrue() ? 1 : 0;
            r.next();
            break;
        }
        v.Other = ReadValue(r, 1);
        v.Kind = v.Other.isValid() ? K::Other : K::Null;
        break;
    case QCborStreamReader::Tag: {
        const quint64 tag = quint64(r.toTag());
        if (tag == kTagInt16 || tag == kTagInt64 || tag == kTagDateTime) {
            r.next();
            if (tag == kTagDateTime) {
                v.Kind = K::DateTime;
                v.Real = ReadNumber(r);
            } else {
                v.Integer = ReadInteger(r);
                if (tag == kTagInt16 &&
                    (v.Integer < std::numeric_limits<qint16>::min() || v.Integer > std::numeric_limits<qint16>::max()))
                    Fail(QStringLiteral("a 16-bit integer is out of range"));
                v.Kind = tag == kTagInt16 ? K::Int16 : K::Int64;
            }
            break;
        }
        v.Kind = K::Other;
        v.Other = ReadValue(r, 1);
        break;
    }
    default:
        v.Kind = K::Other;
        v.Other = ReadValue(r, 1);
        break;
    }
    CheckReader(r);
    sink.Value(v);
}

}  // namespace

bool PeekRowsId(const QByteArray& payload, quint32& id)
{
    QCborStreamReader r(payload);
    if (!r.isMap() || !r.enterContainer() || !r.hasNext() || !r.isString() || r.readString().data != QLatin1String("k"))
        return false;
    r.readString();  // end of the key
    if (!r.isString())
        return false;
    const auto kind = r.readString();
    if (kind.status != QCborStreamReader::Ok || kind.data != QLatin1String("rows"))
        return false;
    r.readString();
    if (!r.hasNext() || !r.isString() || r.readString().data != QLatin1String("id"))
        return false;
    r.readString();
    if (!r.isUnsignedInteger() || r.toUnsignedInteger() > std::numeric_limits<quint32>::max())
        return false;
    id = static_cast<quint32>(r.toUnsignedInteger());
    return true;
}

namespace {

// Reads a "rows" message straight from its bytes: the layouts that senders write for rows
// (definite or indefinite maps and arrays, definite strings, the private tags over integers
// and doubles) are read in place; any other item (other tags, half and single floats,
// chunked or non-ASCII strings, nested arrays, unknown keys) is read by QCborStreamReader
// from where it starts, so what is accepted and refused is exactly what the stream reader
// accepts and refuses.
class TRowsBytes {
public:
    TRowsBytes(const QByteArray& payload, TRowValueSink& sink)
        : p_(reinterpret_cast<const uchar*>(payload.constData())),
          end_(p_ + payload.size()),
          sink_(sink)
    {
    }

    void Read()
    {
        quint64 entries = 0;
        const bool indefinite = Container(5, entries);
        QList<QByteArray> seen;
        bool isRows = false;
        for (quint64 i = 0; indefinite ? !AtBreak() : i < entries; ++i) {
            const QByteArray key = Key();
            if (seen.contains(key))
                Fail(QStringLiteral("the key \"%1\" appears twice in a map").arg(ShortQuote(QString::fromUtf8(key))));
            seen.append(key);
            if (p_ >= end_)
                Fail(QStringLiteral("a map entry has no value"));
            if (key == "k") {
                if (Key() != "rows")
                    Fail(QStringLiteral("a rows message was expected"));
                isRows = true;
            } else if (key == "rows") {
                Rows();
            } else {
                Skip();
            }
        }
        if (indefinite)
            ++p_;  // the break
        if (p_ != end_)
            Fail(QStringLiteral("a frame holds more than one message"));
        if (!isRows)
            Fail(QStringLiteral("a message has no kind"));
    }

private:
    // The argument of the head at p_ (major type `major`), p_ then after the head; false
    // when the head is not of that type or not in the shortest forms read here.
    bool Head(int major, quint64& value)
    {
        if (p_ >= end_ || (*p_ >> 5) != major)
            return false;
        const int info = *p_ & 0x1f;
        if (info < 24) {
            value = quint64(info);
            ++p_;
            return true;
        }
        if (info > 27)
            return false;
        const int bytes = 1 << (info - 24);
        if (end_ - p_ < 1 + bytes)
            return false;
        quint64 v = 0;
        for (int i = 1; i <= bytes; ++i)
            v = (v << 8) | p_[i];
        value = v;
        p_ += 1 + bytes;
        return true;
    }

    // A map (5) or array (4) head: true for an indefinite one.
    bool Container(int major, quint64& count)
    {
        if (p_ < end_ && *p_ == ((major << 5) | 31)) {
            ++p_;
            return true;
        }
        if (!Head(major, count))
            Fail(major == 5 ? QStringLiteral("a map was expected") : QStringLiteral("an array was expected"));
        return false;
    }

    bool AtBreak() const
    {
        if (p_ >= end_)
            Fail(QStringLiteral("a container is damaged"));
        return *p_ == 0xff;
    }

    // A text key (or the kind's text) of ASCII; others go through the stream reader.
    QByteArray Key()
    {
        const uchar* at = p_;
        quint64 size = 0;
        if (Head(3, size) && size <= quint64(end_ - p_) && IsAscii(p_, qsizetype(size))) {
            const QByteArray key(reinterpret_cast<const char*>(p_), qsizetype(size));
            p_ += size;
            return key;
        }
        p_ = at;
        QCborStreamReader r = ReaderHere(1);
        const QString text = ReadString(r);
        Advance(r);
        return text.toUtf8();
    }

    static bool IsAscii(const uchar* p, qsizetype size)
    {
        for (qsizetype i = 0; i < size; ++i)
            if (p[i] >= 0x80)
                return false;
        return true;
    }

    // The bytes of the item at p: its heads and contents, nested items included.
    static const uchar* ItemEnd(const uchar* p, const uchar* end, int depth)
    {
        if (depth > kMaxDepth + 2)
            Fail(QStringLiteral("values are nested too deeply"));
        if (p >= end)
            Fail(QStringLiteral("a value is cut short"));
        const int major = *p >> 5, info = *p & 0x1f;
        if (info == 31) {
            ++p;
            if (major == 7 || major < 2 || major == 6)
                Fail(QStringLiteral("an unexpected break was received"));
            for (;;) {
                if (p >= end)
                    Fail(QStringLiteral("a container is damaged"));
                if (*p == 0xff)
                    return p + 1;
                if ((major == 2 || major == 3) && (*p >> 5) != major)
                    Fail(QStringLiteral("a string is damaged"));
                p = ItemEnd(p, end, depth + 1);
                if (major == 5)
                    p = ItemEnd(p, end, depth + 1);
            }
        }
        if (info > 27)
            Fail(QStringLiteral("a value is damaged"));
        const int bytes = info < 24 ? 0 : 1 << (info - 24);
        if (end - p < 1 + bytes)
            Fail(QStringLiteral("a value is cut short"));
        quint64 arg = info < 24 ? quint64(info) : 0;
        for (int i = 1; i <= bytes; ++i)
            arg = (arg << 8) | p[i];
        p += 1 + bytes;
        switch (major) {
        case 2:
        case 3:
            if (arg > quint64(end - p))
                Fail(QStringLiteral("a string is cut short"));
            return p + arg;
        case 4:
        case 5:
            for (quint64 i = 0; i < (major == 5 ? 2 * arg : arg); ++i)
                p = ItemEnd(p, end, depth + 1);
            return p;
        case 6:
            return ItemEnd(p, end, depth + 1);
        default:
            return p;
        }
    }

    // A stream reader over exactly the item at p_, so that it meets nothing after it.
    QCborStreamReader ReaderHere(int depth) const
    {
        const uchar* itemEnd = ItemEnd(p_, end_, depth);
        return QCborStreamReader(reinterpret_cast<const char*>(p_), itemEnd - p_);
    }
    void Advance(QCborStreamReader& r)
    {
        CheckReader(r);
        p_ += r.currentOffset();
    }

    void Skip()
    {
        QCborStreamReader r = ReaderHere(1);
        SkipValue(r, 0);
        Advance(r);
    }

    void Rows()
    {
        quint64 count = 0;
        const bool indefinite = Container(4, count);
        for (quint64 i = 0; indefinite ? !AtBreak() : i < count; ++i) {
            quint64 values = 0;
            const bool open = Container(4, values);
            sink_.BeginRow();
            for (quint64 v = 0; open ? !AtBreak() : v < values; ++v)
                Value();
            if (open)
                ++p_;
            sink_.EndRow();
        }
        if (indefinite)
            ++p_;
    }

    // An integer item as a value, when it is within 64 bits.
    bool IntegerHere(qint64& out)
    {
        const uchar* at = p_;
        quint64 u = 0;
        if (Head(0, u) && u <= quint64(std::numeric_limits<qint64>::max())) {
            out = qint64(u);
            return true;
        }
        p_ = at;
        if (Head(1, u) && u <= quint64(std::numeric_limits<qint64>::max())) {
            out = -1 - qint64(u);
            return true;
        }
        p_ = at;
        return false;
    }

    bool DoubleHere(double& out)
    {
        if (end_ - p_ < 9 || *p_ != 0xfb)
            return false;
        const quint64 bits = qFromBigEndian<quint64>(p_ + 1);
        std::memcpy(&out, &bits, sizeof out);
        p_ += 9;
        return true;
    }

    bool FastValue(TRowValueSink::TValue& v)
    {
        using K = TRowValueSink::TKind;
        if (p_ >= end_)
            return false;
        const uchar initial = *p_;
        switch (initial >> 5) {
        case 0:
        case 1:
            if (!IntegerHere(v.Integer))
                return false;
            v.Kind = v.Integer >= std::numeric_limits<qint32>::min() && v.Integer <= std::numeric_limits<qint32>::max()
                         ? K::Integer
                         : K::Int64;
            return true;
        case 2:
        case 3: {
            quint64 size = 0;
            if (!Head(initial >> 5, size) || size > quint64(end_ - p_))
                return false;
            if ((initial >> 5) == 3 && !IsAscii(p_, qsizetype(size)) && !IsValidUtf8(p_, qsizetype(size)))
                Fail(QStringLiteral("a text string is damaged"));
            v.Kind = (initial >> 5) == 3 ? K::Text : K::Bytes;
            v.Data = reinterpret_cast<const char*>(p_);
            v.Size = qsizetype(size);
            p_ += size;
            return true;
        }
        case 6: {
            quint64 tag = 0;
            if (!Head(6, tag))
                return false;
            if (tag == kTagDateTime) {
                v.Kind = K::DateTime;
                return DoubleHere(v.Real);
            }
            if ((tag != kTagInt16 && tag != kTagInt64) || !IntegerHere(v.Integer))
                return false;
            if (tag == kTagInt16 &&
                (v.Integer < std::numeric_limits<qint16>::min() || v.Integer > std::numeric_limits<qint16>::max()))
                return false;
            v.Kind = tag == kTagInt16 ? K::Int16 : K::Int64;
            return true;
        }
        case 7:
            if (initial == 0xf6) {
                ++p_;
                v.Kind = K::Null;
                return true;
            }
            if (initial == 0xf4 || initial == 0xf5) {
                ++p_;
                v.Kind = K::Boolean;
                v.Integer = initial == 0xf5 ? 1 : 0;
                return true;
            }
            if (initial == 0xfb) {
                v.Kind = K::Real;
                return DoubleHere(v.Real);
            }
            return false;
        default:
            return false;
        }
    }

    void Value()
    {
        const uchar* at = p_;
        TRowValueSink::TValue v;
        if (FastValue(v)) {
            sink_.Value(v);
            return;
        }
        p_ = at;
        QCborStreamReader r = ReaderHere(3);
        ReadRowValue(r, sink_, buffer_);
        Advance(r);
    }

    const uchar* p_;
    const uchar* end_;
    TRowValueSink& sink_;
    QByteArray buffer_{256, Qt::Uninitialized};
};

}  // namespace

void DecodeRows(const QByteArray& payload, TRowValueSink& sink)
{
    TRowsBytes(payload, sink).Read();
}

QByteArray FrameBytes(const QByteArray& payload)
{
    QByteArray out(4, Qt::Uninitialized);
    qToBigEndian<quint32>(static_cast<quint32>(payload.size()), out.data());
    out += payload;
    return out;
}

TFrameReader::TFrameReader(quint32 maxFrameSize) : maxFrameSize_(maxFrameSize) {}

void TFrameReader::Append(const QByteArray& bytes)
{
    // Drop what was consumed before the buffer grows again, so it never holds more than
    // one partial frame plus what just arrived.
    if (offset_ > 0 && offset_ >= buffer_.size() / 2) {
        buffer_.remove(0, offset_);
        offset_ = 0;
    }
    buffer_.append(bytes);
}

bool TFrameReader::Next(QByteArray& payload)
{
    const qsizetype available = buffer_.size() - offset_;
    if (available < 4)
        return false;
    const quint32 length = qFromBigEndian<quint32>(buffer_.constData() + offset_);
    if (length == 0)
        throw EProtocolError(QStringLiteral("Protocol error: an empty frame was received"));
    if (length > maxFrameSize_)
        throw EProtocolError(QStringLiteral("Protocol error: a frame of %1 bytes exceeds the limit of %2 bytes")
                                 .arg(length)
                                 .arg(maxFrameSize_));
    if (available < 4 + static_cast<qsizetype>(length))
        return false;
    payload = buffer_.mid(offset_ + 4, length);
    offset_ += 4 + length;
    if (offset_ == buffer_.size()) {
        buffer_.clear();
        offset_ = 0;
    }
    return true;
}

qint64 TFrameReader::PendingFrameLength() const
{
    if (Buffered() < 4)
        return -1;
    return qFromBigEndian<quint32>(buffer_.constData() + offset_);
}

void RegisterProtocolTypes()
{
    RegisterVariantTypes();
    qRegisterMetaType<TVarDate>();
    qRegisterMetaType<TDispatchRef>();
}
