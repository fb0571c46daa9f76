#include "remote/CallbackObject.h"

#include "remote/TypeLibrary.h"

#include <QCoreApplication>

#include <limits>

namespace {

constexpr HRESULT kNoInterface = hr::Code(0x80004002);

QHash<quint32, TCallbackObject*>& Registry()
{
    static QHash<quint32, TCallbackObject*> objects;
    return objects;
}

quint32 NextObjectId()
{
    static quint32 next = 0;
    return ++next;
}

QString ArgTypeName(TCallbackArgType type)
{
    switch (type) {
        case TCallbackArgType::String:
            return QStringLiteral("string");
        case TCallbackArgType::Int32:
            return QStringLiteral("int32");
        case TCallbackArgType::Int16:
            return QStringLiteral("int16");
        case TCallbackArgType::Bool16:
            return QStringLiteral("bool16");
    }
    return QStringLiteral("?");
}

bool IsInteger(const QVariant& v)
{
    switch (v.metaType().id()) {
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            return true;
        default:
            return false;
    }
}

// The argument as the method's type, or an invalid variant when it does not fit.
QVariant Converted(const QVariant& v, TCallbackArgType type)
{
    switch (type) {
        case TCallbackArgType::String:
            if (v.isNull())
                return QString();
            return v.metaType().id() == QMetaType::QString ? v : QVariant();
        case TCallbackArgType::Int32:
        case TCallbackArgType::Int16: {
            if (!IsInteger(v))
                return QVariant();
            const qint64 i = v.toLongLong();
            if (type == TCallbackArgType::Int16) {
                if (i < std::numeric_limits<qint16>::min() || i > std::numeric_limits<qint16>::max())
                    return QVariant();
                return VarFromInt16(static_cast<qint16>(i));
            }
            if (i < std::numeric_limits<qint32>::min() || i > std::numeric_limits<qint32>::max())
                return QVariant();
            return QVariant(static_cast<int>(i));
        }
        case TCallbackArgType::Bool16:
            if (v.metaType().id() == QMetaType::Bool)
                return v;
            // An automation boolean as a number: -1 (or any non-zero) is true.
            return IsInteger(v) ? QVariant(v.toLongLong() != 0) : QVariant();
    }
    return QVariant();
}

}  // namespace

TCallbackObject::TCallbackObject(const TTypeLibrary& library, const QString& iid)
    : objectId_(0), interface_(library.Interface(iid))
{
    objectId_ = NextObjectId();
    Registry().insert(objectId_, this);
}

TCallbackObject::~TCallbackObject()
{
    Registry().remove(objectId_);
}

TCallbackObject* TCallbackObject::Find(quint32 objectId)
{
    return Registry().value(objectId);
}

HRESULT TCallbackObject::Dispatch(const QString& iid, int dispId, const QVariantList& args) noexcept
{
    try {
        if (iid.compare(interface_.Iid, Qt::CaseInsensitive) != 0)
            return kNoInterface;
        const TCallbackMethod* method = interface_.MethodByDispId(dispId);
        if (!method)
            return hr::DISP_E_MEMBERNOTFOUND_;
        if (args.size() != method->Args.size())
            return hr::DISP_E_BADPARAMCOUNT_;
        QVariantList converted;
        converted.reserve(args.size());
        for (int i = 0; i < args.size(); ++i) {
            QVariant v = Converted(args[i], method->Args[i]);
            if (!v.isValid())
                return hr::DISP_E_TYPEMISMATCH_;
            converted.append(std::move(v));
        }
        Invoke(*method, converted);
        return hr::S_OK_;
    } catch (const EOleSysError& e) {
        return e.ErrorCode() != hr::S_OK_ ? e.ErrorCode() : hr::E_FAIL_;
    } catch (...) {
        return hr::E_FAIL_;
    }
}

void TCallbackObject::Invoke(const TCallbackMethod& method, const QVariantList& args)
{
    const auto handler = handlers_.constFind(method.DispId);
    if (handler == handlers_.cend())
        throw EOleSysError(QCoreApplication::translate("TCallbackObject", "Member not found.") +
                               QStringLiteral(" (%1.%2)").arg(interface_.Name, method.Name),
                           hr::DISP_E_MEMBERNOTFOUND_);
    (*handler)(args);
}

void TCallbackObject::Bind(const QString& methodName, THandler handler)
{
    const TCallbackMethod* method = interface_.MethodByName(methodName);
    if (!method)
        throw EOleSysError(QCoreApplication::translate("TCallbackObject", "Element not found.") +
                               QStringLiteral(" (%1.%2)").arg(interface_.Name, methodName),
                           hr::TYPE_E_ELEMENTNOTFOUND_);
    handlers_.insert(method->DispId, std::move(handler));
}

const TCallbackMethod& TCallbackObject::CheckedMethod(const QString& methodName,
                                                      const QList<TCallbackArgType>& params) const
{
    const TCallbackMethod* method = interface_.MethodByName(methodName);
    if (method && method->Args == params)
        return *method;
    QString described;
    if (method) {
        QStringList types;
        for (TCallbackArgType t : method->Args)
            types << ArgTypeName(t);
        described = QStringLiteral(", described as (%1)").arg(types.join(QStringLiteral(", ")));
    }
    throw EOleSysError(QCoreApplication::translate("TCallbackObject", "Element not found.") +
                           QStringLiteral(" (%1.%2%3)").arg(interface_.Name, methodName, described),
                       hr::TYPE_E_ELEMENTNOTFOUND_);
}
