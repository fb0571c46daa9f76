#pragma once
// The base of the client's callback objects: an object bound to one callback interface of
// the loaded type library, handed to the server as an interface reference (a TCallArg or
// DispatchRef()). The session routes the server's calls to it by object number; the
// object maps the DISPID through the type library to the method, checks and converts the
// arguments to the method's types and runs the handler. The server gets status 0, or the
// code of the error the handler raised (E_FAIL for errors without a code); no error goes
// further into the client.
//
// A concrete class binds its methods by name in its constructor:
//
//   class TClientReceiver : public TCallbackObject {
//   public:
//       explicit TClientReceiver(const TTypeLibrary& lib) : TCallbackObject(lib, iid::ClientReceiver)
//       {
//           Bind(QLatin1String(callback::RawInput.Method), &TClientReceiver::RawInput);
//           Bind(QLatin1String(callback::ReceiverState.Method), &TClientReceiver::ReceiverState);
//       }
//       void RawInput(const QString& text);
//       void ReceiverState(const QString& text, bool running);
//   };
//
// or overrides Invoke. Arguments arrive as QString (string), int (32-bit), qint16 (16-bit)
// and bool (16-bit boolean). Objects live on the main thread.

#include "remote/CallbackInterfaces.h"
#include "core/Errors.h"
#include "remote/Protocol.h"

#include <QHash>
#include <QString>
#include <QVariantList>

#include <functional>
#include <type_traits>
#include <utility>

class TTypeLibrary;

class TCallbackObject {
public:
    // Raises EOleSysError 0x8002802B when the library does not describe the interface.
    TCallbackObject(const TTypeLibrary& library, const QString& iid);
    virtual ~TCallbackObject();
    TCallbackObject(const TCallbackObject&) = delete;
    TCallbackObject& operator=(const TCallbackObject&) = delete;

    quint32 ObjectId() const { return objectId_; }
    const TCallbackInterface& Interface() const { return interface_; }
    TDispatchRef DispatchRef() const { return TDispatchRef{objectId_, interface_.Iid}; }

    // Runs one call of the server; returns its status. Never raises.
    HRESULT Dispatch(const QString& iid, int dispId, const QVariantList& args) noexcept;

    // The live object with this number, or null.
    static TCallbackObject* Find(quint32 objectId);

protected:
    using THandler = std::function<void(const QVariantList& args)>;

    // Runs a method with arguments already converted to its types. The default runs the
    // handler bound to it and raises DISP_E_MEMBERNOTFOUND for a method without one.
    virtual void Invoke(const TCallbackMethod& method, const QVariantList& args);

    // Binds a handler to the method of that name. Raises EOleSysError 0x8002802B when the
    // interface has no such method or, for member functions, when their parameters do not
    // match the method's argument types.
    void Bind(const QString& methodName, THandler handler);
    template <typename C, typename... A>
    void Bind(const QString& methodName, void (C::*fn)(A...));
    template <typename C, typename... A>
    void Bind(const QString& methodName, void (C::*fn)(A...) const);

private:
    template <typename T>
    static constexpr TCallbackArgType ArgTypeOf();
    template <typename T>
    static T ArgAs(const QVariant& v);
    const TCallbackMethod& CheckedMethod(const QString& methodName,
                                         const QList<TCallbackArgType>& params) const;

    quint32 objectId_;
    TCallbackInterface interface_;
    QHash<int, THandler> handlers_;  // by DISPID
};

template <typename T>
constexpr TCallbackArgType TCallbackObject::ArgTypeOf()
{
    using U = std::remove_cvref_t<T>;
    if constexpr (std::is_same_v<U, QString>)
        return TCallbackArgType::String;
    else if constexpr (std::is_same_v<U, int>)
        return TCallbackArgType::Int32;
    else if constexpr (std::is_same_v<U, qint16>)
        return TCallbackArgType::Int16;
    else if constexpr (std::is_same_v<U, bool>)
        return TCallbackArgType::Bool16;
    else
        static_assert(sizeof(U) == 0, "callback parameters are QString, int, qint16 or bool");
}

template <typename T>
T TCallbackObject::ArgAs(const QVariant& v)
{
    using U = std::remove_cvref_t<T>;
    if constexpr (std::is_same_v<U, QString>)
        return v.toString();
    else if constexpr (std::is_same_v<U, qint16>)
        return static_cast<qint16>(v.toInt());
    else if constexpr (std::is_same_v<U, bool>)
        return v.toBool();
    else
        return v.toInt();
}

template <typename C, typename... A>
void TCallbackObject::Bind(const QString& methodName, void (C::*fn)(A...))
{
    const TCallbackMethod& method = CheckedMethod(methodName, {ArgTypeOf<A>()...});
    C* self = static_cast<C*>(this);
    handlers_.insert(method.DispId, [self, fn](const QVariantList& args) {
        (void)args;
        [&]<std::size_t... I>(std::index_sequence<I...>)
        {
            (self->*fn)(ArgAs<std::remove_cvref_t<A>>(args.at(I))...);
        }
        (std::index_sequence_for<A...>{});
    });
}

template <typename C, typename... A>
void TCallbackObject::Bind(const QString& methodName, void (C::*fn)(A...) const)
{
    const TCallbackMethod& method = CheckedMethod(methodName, {ArgTypeOf<A>()...});
    const C* self = static_cast<const C*>(this);
    handlers_.insert(method.DispId, [self, fn](const QVariantList& args) {
        (void)args;
        [&]<std::size_t... I>(std::index_sequence<I...>)
        {
            (self->*fn)(ArgAs<std::remove_cvref_t<A>>(args.at(I))...);
        }
        (std::index_sequence_for<A...>{});
    });
}
