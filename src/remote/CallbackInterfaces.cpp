#include "remote/CallbackInterfaces.h"

namespace {

TCallbackInterface Make(const char* name, const char* iid,
                        std::initializer_list<std::pair<TCallbackName, QList<TCallbackArgType>>> methods)
{
    TCallbackInterface itf;
    itf.Name = QLatin1String(name);
    itf.Iid = QLatin1String(iid);
    int dispId = FirstCallbackDispId;
    for (const auto& [method, args] : methods)
        itf.Methods.append(TCallbackMethod{QLatin1String(method.Method), dispId++, args});
    return itf;
}

}  // namespace

const TCallbackMethod* TCallbackInterface::MethodByName(const QString& name) const
{
    for (const TCallbackMethod& m : Methods)
        if (m.Name == name)
            return &m;
    return nullptr;
}

const TCallbackMethod* TCallbackInterface::MethodByDispId(int dispId) const
{
    for (const TCallbackMethod& m : Methods)
        if (m.DispId == dispId)
            return &m;
    return nullptr;
}

const QList<TCallbackInterface>& CallbackInterfaces()
{
    using A = TCallbackArgType;
    static const QList<TCallbackInterface> interfaces = {
        Make("IClientApplication", iid::ClientApplication,
             {{callback::ServerShutdown, {}},
              {callback::StatusAdded, {A::String, A::Int32}},
              {callback::StatusCleared, {A::Int32}},
              {callback::LogMessage, {A::String, A::Int32}},
              {callback::TooManyUsers, {}}}),
        Make("IClientReceiver", iid::ClientReceiver,
             {{callback::RawInput, {A::String}},
              {callback::BytesDropped, {A::Int32}},
              {callback::BufferLevel, {A::Int32}},
              {callback::BufferSize, {A::Int32}},
              {callback::ReceiverState, {A::String, A::Bool16}}}),
        Make("IClientCommands", iid::ClientCommands,
             {{callback::QueueState, {A::Bool16}},
              {callback::CommandAdded, {A::String, A::Int16}},
              {callback::CommandRemoved, {A::Int32}},
              {callback::QueueCleared, {}},
              {callback::RetryCountChanged, {A::Int32, A::Int16}}}),
        Make("IClientReport", iid::ClientReport,
             {{callback::ReportReady, {}}, {callback::LogsReportReady, {}}}),
    };
    return interfaces;
}

const TCallbackInterface* CallbackInterfaceByIid(const QString& iid)
{
    for (const TCallbackInterface& itf : CallbackInterfaces())
        if (itf.Iid.compare(iid, Qt::CaseInsensitive) == 0)
            return &itf;
    return nullptr;
}
