#pragma once
// A module handle: the client's reference to one module of the server (MainRDM and its six
// children), through which server calls by DISPID and dataset transfers go. Handles are
// small values; they stay valid while their connection is open and fail every call with
// 0x80010108 once it is closed or lost.

#include "remote/Protocol.h"
#include "remote/ServerInterface.h"  // the modules' calls by name, for every caller

#include <QList>
#include <QString>
#include <QVariant>

#include <concepts>
#include <functional>
#include <memory>
#include <type_traits>

class TCallSession;
class TCallbackObject;

// An argument passed by reference: the variable's value travels to the server and the
// server's value is written back into the variable when the call returns.
//   int version = 320, result = 0;
//   MainRDM.Call(dispid::MainRDM::Handshake, {app, recv, cmds, rep, TByRef(version), TByRef(result)});
class TByRef {
public:
    TByRef(QVariant& variable) : initial_(variable), assign_([&variable](const QVariant& v) { variable = v; })
    {
    }
    template <typename T>
    requires(!std::same_as<T, QVariant>) TByRef(T& variable)
        : initial_(QVariant::fromValue(variable)),
          assign_([&variable](const QVariant& v) { variable = v.isValid() ? qvariant_cast<T>(v) : T{}; })
    {
    }

    const QVariant& Initial() const { return initial_; }
    void Assign(const QVariant& value) const { assign_(value); }

private:
    QVariant initial_;
    std::function<void(const QVariant&)> assign_;
};

// One positional argument of a server call: a value (null, strings, 32-bit integers,
// 64-bit integers, reals, booleans, VarFromInt16, VarFromDateTime, byte arrays, arrays),
// a callback object, or a TByRef.
class TCallArg {
public:
    TCallArg(const QVariant& value) : value_(value) {}
    TCallArg(const QString& value) : value_(value) {}
    TCallArg(const char* value) : value_(QString::fromUtf8(value)) {}
    TCallArg(int value) : value_(value) {}
    TCallArg(qint64 value) : value_(value) {}
    TCallArg(double value) : value_(value) {}
    template <typename B>
    requires std::same_as<B, bool> TCallArg(B value) : value_(value) {}
    TCallArg(const QByteArray& value) : value_(value) {}
    TCallArg(const TDispatchRef& ref) : value_(QVariant::fromValue(ref)) {}
    TCallArg(const TCallbackObject* object);
    TCallArg(TByRef ref) : value_(ref.Initial()), ref_(std::make_shared<TByRef>(std::move(ref))) {}

    const QVariant& Value() const { return value_; }
    const TByRef* Ref() const { return ref_.get(); }

private:
    QVariant value_;
    std::shared_ptr<TByRef> ref_;
};

// Receives the messages of one dataset transfer as they arrive.
class TPacketSink {
public:
    virtual ~TPacketSink() = default;
    virtual void Meta(const QList<TFieldDef>& fields) = 0;
    // The number of rows that will follow, when "meta" announced it (after Meta); a sink
    // may make room for them at once. The count is a hint: "eof" still checks.
    virtual void RowsExpected(qint64 count) { Q_UNUSED(count); }
    // A "rows" packet as its frame brought it ("k" and "id" first, see PeekRowsId), for a
    // sink that reads the values from the bytes itself. Returning false, before reading
    // anything, leaves the packet to the ordinary decoding and Rows.
    virtual bool RowsPayload(const QByteArray& payload)
    {
        Q_UNUSED(payload);
        return false;
    }
    virtual void Rows(const QList<QVariantList>& rows) = 0;
    virtual void End(qint64 count) = 0;
};

class TRemoteModule {
public:
    TRemoteModule() = default;
    TRemoteModule(std::shared_ptr<TCallSession> session, quint32 handle, QString name);

    bool IsNull() const { return !session_; }
    const QString& Name() const { return name_; }
    quint32 Handle() const { return handle_; }
    // The session the handle belongs to; a handle of a closed connection stays bound to its
    // old session.
    const std::shared_ptr<TCallSession>& Session() const { return session_; }

    // Calls a method by DISPID and waits for its answer. Callbacks that arrive meanwhile
    // are run first. Returns the result (null when the method has none) and writes the
    // by-reference arguments back. Raises EOleSysError with the server's code and message,
    // or 0x80010108 when the connection is closed or lost.
    QVariant Call(int dispId, const QList<TCallArg>& args = {}) const;

    // Fetches a provider's rows (docs/protocol.md section 5), handing them to the sink as
    // they arrive; returns after the last packet.
    void OpenProvider(const QString& provider, const QVariantList& params, TPacketSink& sink) const;
    // Applies a change log to a provider; returns the server's "applied" message.
    TMessage ApplyUpdates(const QString& provider, int maxErrors, const QList<TDeltaChange>& delta) const;

private:
    std::shared_ptr<TCallSession> CheckedSession() const;

    std::shared_ptr<TCallSession> session_;
    quint32 handle_ = 0;
    QString name_;
};
