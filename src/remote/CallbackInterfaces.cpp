#include "remote/CallbackInterfaces.h"

namespace {

TCallbackInterface Make(const char* name, const char* iid,
                        std::initializer_list<std::pair<const char*, QList<TCallbackArgType>>> methods)
{
    TCallbackInterface itf;
    itf.Name = QLatin1String(name);
    itf.Iid = QLatin1String(iid);
    int dispId = FirstCallbackDispId;
    for (const auto& [methodName, args] : methods)
        itf.Methods.append(TCallbackMethod{QLatin1String(methodName), dispId++, args});
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
             {{"ServerShutdown", {}},
              {"StatusAdded", {A::String, A::Int32}},
              {"StatusCleared", {A::Int32}},
              {"LogMessage", {A::String, A::Int32}},
              {"TooManyUsers", {}}}),
        Make("IClientReceiver", iid::ClientReceiver,
             {{"RawInput", {A::String}},
              {"BytesDropped", {A::Int32}},
              {"BufferLevel", {A::Int32}},
              {"BufferSize", {A::Int32}},
              {"ReceiverState", {A::String, A::Bool16}}}),
        Make("IClientCommands", iid::ClientCommands,
             {{"QueueState", {A::Bool16}},
              {"CommandAdded", {A::String, A::Int16}},
              {"CommandRemoved", {A::Int32}},
              {"QueueCleared", {}}}),
        Make("IClientReport", iid::ClientReport, {{"ReportReady", {}}, {"LogsReportReady", {}}}),
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
