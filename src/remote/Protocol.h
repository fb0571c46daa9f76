#pragma once
// The wire protocol between the client and telvane-server (docs/protocol.md): frames of
// a 4-byte big-endian length and one CBOR map, the message kinds, and the typed value
// encoding. Both ends link this unit, so they cannot disagree on the format.

#include "core/Errors.h"
#include "core/Variants.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>

inline constexpr int TelvaneProtocolVersion = 1;
inline constexpr quint32 DefaultMaxFrameSize = 64u * 1024u * 1024u;

// A callback object handed over in a call: the object number on the side that owns it
// and the interface identifier it implements.
struct TDispatchRef {
    quint32 ObjectId = 0;
    QString Iid;
    friend bool operator==(const TDispatchRef& a, const TDispatchRef& b)
    {
        return a.ObjectId == b.ObjectId && a.Iid == b.Iid;
    }
};
Q_DECLARE_METATYPE(TDispatchRef)

// A malformed, oversized or unexpected frame. The receiving end drops the connection.
class EProtocolError : public Exception {
public:
    using Exception::Exception;
    QString ClassName() const override;
};

// Column types of datasets; the numbers travel on the wire.
enum class TFieldType : quint8 {
    Unknown = 0,
    String = 1,      // single-byte string with a size
    Smallint = 2,    // 16-bit integer
    Integer = 3,     // 32-bit integer
    Largeint = 4,    // 64-bit integer
    Boolean = 5,
    Float = 6,
    Currency = 7,
    DateTime = 8,
    AutoInc = 9,     // 32-bit integer the server assigns
    Blob = 10,
    Memo = 11,
    WideString = 12,
    WideMemo = 13,
    TimeStamp = 14,  // SQL time stamp; a point in time like DateTime
};

QString FieldTypeName(TFieldType type);

// Private CBOR tags of the value encoding (docs/protocol.md section 3).
namespace cbortag {
inline constexpr quint64 Int16 = 60000;
inline constexpr quint64 DateTime = 60001;
inline constexpr quint64 Int64 = 60002;
inline constexpr quint64 Dispatch = 60003;
}  // namespace cbortag

struct TFieldDef {
    QString Name;
    TFieldType DataType = TFieldType::Unknown;
    int Size = 0;  // characters, for the string types
    bool Required = false;
    bool ReadOnly = false;
    bool Key = false;
    friend bool operator==(const TFieldDef&, const TFieldDef&) = default;
};

enum class TChangeKind : quint8 { Insert = 0, Modify = 1, Delete = 2 };

// One entry of a dataset's change log as applied by the provider. Old holds the row as it
// was fetched (Modify, Delete); New the values to write (Insert, Modify), with an invalid
// QVariant meaning "unchanged" for a Modify and "not given" for an Insert.
struct TDeltaChange {
    TChangeKind Kind = TChangeKind::Insert;
    QVariantList Old;
    QVariantList New;
};

struct TApplyError {
    int Index = 0;  // position in the delta
    int Code = 0;   // 9729 is a key violation
    QString Message;
};

// A row as the provider holds it after applying one change (new keys, defaults).
struct TAppliedRow {
    int Index = 0;
    QVariantList Values;
};

enum class TMessageKind : quint8 {
    Attach,         // client: open a module, reply carries its handle
    Call,           // client: call a DISPID of a module
    Reply,          // either side: successful answer to Attach or Call
    Error,          // either side: failed answer to any request
    Callback,       // server: call a method of a client's callback object
    CallbackReply,  // client: status of a Callback
    Open,           // client: open a provider's dataset
    Meta,           // server: the fields of an opened dataset
    Rows,           // server: one packet of rows
    Eof,            // server: the last packet was sent
    Apply,          // client: apply a change log to a provider
    Applied,        // server: the outcome of Apply
};

QString MessageKindName(TMessageKind kind);

struct TMessage {
    TMessageKind Kind = TMessageKind::Call;
    quint32 Id = 0;

    // Attach
    QString Module;
    QString Guid;
    quint32 Parent = 0;
    int Version = 0;

    // Call, Open, Apply
    quint32 Handle = 0;
    int DispId = 0;
    QVariantList Args;
    QList<int> ByRef;  // indexes into Args passed by reference

    // Reply
    QVariant Result;
    QVariantList ByRefValues;  // the by-reference arguments after the call, in ByRef order

    // Error, CallbackReply
    HRESULT Code = 0;
    QString Text;

    // Callback
    quint32 ObjectId = 0;
    QString Iid;

    // Open, Apply
    QString Provider;

    // Meta, Rows, Eof
    QList<TFieldDef> Fields;
    QList<QVariantList> Rows;
    qint64 Count = 0;

    // Apply, Applied
    int MaxErrors = 0;
    QList<TDeltaChange> Delta;
    QList<TApplyError> Errors;
    QList<TAppliedRow> AppliedRows;
};

// Encodes one message as the CBOR payload of a frame (without the length prefix).
QByteArray EncodeMessage(const TMessage& message);
// Decodes a frame's payload; raises EProtocolError when it is no valid message.
TMessage DecodeMessage(const QByteArray& payload);
// One value in the value encoding, as EncodeMessage writes it inside a message; raises
// EProtocolError for a value of a type that cannot be sent.
QByteArray EncodeValue(const QVariant& value);

// The values of a "rows" message as they are read, for a receiver that stores them without
// a QVariant per value (DecodeRows). Texts and byte strings come as their bytes (UTF-8 for
// texts, valid only during the call); arrays and interface references as Other.
class TRowValueSink {
public:
    enum class TKind : quint8 { Null, Integer, Int16, Int64, Boolean, Real, DateTime, Text, Bytes, Other };
    struct TValue {
        TKind Kind = TKind::Null;
        qint64 Integer = 0;  // Integer, Int16, Int64, Boolean (1 or 0)
        double Real = 0;     // Real, DateTime
        const char* Data = nullptr;  // Text, Bytes
        qsizetype Size = 0;
        QVariant Other;
    };
    virtual ~TRowValueSink() = default;
    virtual void BeginRow() = 0;
    virtual void Value(const TValue& value) = 0;
    virtual void EndRow() = 0;
};

// True (with the request number) when the payload is a "rows" message whose "k" and "id"
// come first, as EncodeMessage writes them; such a payload can go to DecodeRows.
bool PeekRowsId(const QByteArray& payload, quint32& id);
// Reads the rows of a "rows" message into the sink; raises EProtocolError for a payload
// DecodeMessage would refuse.
void DecodeRows(const QByteArray& payload, TRowValueSink& sink);

// The length prefix followed by the payload.
QByteArray FrameBytes(const QByteArray& payload);

// Cuts frames out of a byte stream as it arrives.
class TFrameReader {
public:
    explicit TFrameReader(quint32 maxFrameSize = DefaultMaxFrameSize);

    // Applies to the frames not yet begun (a connection's limit grows after its login).
    void SetMaxFrameSize(quint32 maxFrameSize) { maxFrameSize_ = maxFrameSize; }
    void Append(const QByteArray& bytes);
    // Takes the next complete frame's payload; false when none is complete yet. Raises
    // EProtocolError for an empty or oversized frame.
    bool Next(QByteArray& payload);
    qsizetype Buffered() const { return buffer_.size() - offset_; }
    // The length of the frame being received, once its length prefix has arrived; -1 before.
    qint64 PendingFrameLength() const;

private:
    quint32 maxFrameSize_;
    QByteArray buffer_;
    qsizetype offset_ = 0;
};

// Registers the metatypes of this unit (and the core's); call once before any traffic.
void RegisterProtocolTypes();
