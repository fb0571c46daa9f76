#pragma once
// The four callback interfaces through which the server pushes events to a client, as the
// type library file describes them: identifier, methods in interface order, dispatch
// identifiers and argument types. The server build writes the file from this table; the
// server calls the methods by these dispatch identifiers; the client binds its callback
// objects to the interfaces it finds in the file.

#include <QList>
#include <QString>

enum class TCallbackArgType : quint8 { String = 1, Int32 = 2, Int16 = 3, Bool16 = 4 };

struct TCallbackMethod {
    QString Name;
    int DispId = 0;
    QList<TCallbackArgType> Args;
};

struct TCallbackInterface {
    QString Name;  // the interface's name, e.g. "IClientApplication"
    QString Iid;   // "{7A43FD5F-60E0-444D-AAD5-CCDB026541A7}"
    QList<TCallbackMethod> Methods;

    const TCallbackMethod* MethodByName(const QString& name) const;
    const TCallbackMethod* MethodByDispId(int dispId) const;
};

// The four callback objects of the handshake, in the order it passes them (the order of
// CallbackInterfaces()).
enum class TCallbackTarget { Application = 0, Receiver = 1, Commands = 2, Report = 3 };

// A callback method: the object it goes to and its name in the interface.
struct TCallbackName {
    TCallbackTarget Target;
    const char* Method;
};

// Every callback method by name; CallbackInterfaces() lists them in interface order.
namespace callback {
inline constexpr TCallbackName ServerShutdown{TCallbackTarget::Application, "ServerShutdown"};
inline constexpr TCallbackName StatusAdded{TCallbackTarget::Application, "StatusAdded"};
inline constexpr TCallbackName StatusCleared{TCallbackTarget::Application, "StatusCleared"};
inline constexpr TCallbackName LogMessage{TCallbackTarget::Application, "LogMessage"};
inline constexpr TCallbackName TooManyUsers{TCallbackTarget::Application, "TooManyUsers"};
inline constexpr TCallbackName RawInput{TCallbackTarget::Receiver, "RawInput"};
inline constexpr TCallbackName BytesDropped{TCallbackTarget::Receiver, "BytesDropped"};
inline constexpr TCallbackName BufferLevel{TCallbackTarget::Receiver, "BufferLevel"};
inline constexpr TCallbackName BufferSize{TCallbackTarget::Receiver, "BufferSize"};
inline constexpr TCallbackName ReceiverState{TCallbackTarget::Receiver, "ReceiverState"};
inline constexpr TCallbackName QueueState{TCallbackTarget::Commands, "QueueState"};
inline constexpr TCallbackName CommandAdded{TCallbackTarget::Commands, "CommandAdded"};
inline constexpr TCallbackName CommandRemoved{TCallbackTarget::Commands, "CommandRemoved"};
inline constexpr TCallbackName QueueCleared{TCallbackTarget::Commands, "QueueCleared"};
// Added after the interface's first four methods, so that they keep their identifiers.
inline constexpr TCallbackName RetryCountChanged{TCallbackTarget::Commands, "RetryCountChanged"};
inline constexpr TCallbackName ReportReady{TCallbackTarget::Report, "ReportReady"};
inline constexpr TCallbackName LogsReportReady{TCallbackTarget::Report, "LogsReportReady"};
}  // namespace callback

namespace iid {
inline constexpr char ClientApplication[] = "{7A43FD5F-60E0-444D-AAD5-CCDB026541A7}";
inline constexpr char ClientReceiver[] = "{2A37C712-EE5C-49BE-90E7-BEA5E8D9774D}";
inline constexpr char ClientCommands[] = "{80612A43-74C0-48CD-8497-DBA1A563A05C}";
inline constexpr char ClientReport[] = "{E28B38F7-EA4C-4CE6-92F5-3FA29A119FAC}";
}  // namespace iid

// The dispatch identifier of a method is this base plus its position in the interface
// (the standard dispatch operations come first and have no identifiers of their own).
inline constexpr int FirstCallbackDispId = 201;

// The four interfaces in the order the handshake passes them.
const QList<TCallbackInterface>& CallbackInterfaces();
const TCallbackInterface* CallbackInterfaceByIid(const QString& iid);

// The library's own identity, written into the type library file.
inline constexpr char TypeLibraryName[] = "TelvaneServer";
inline constexpr char TypeLibraryGuid[] = "{5B1E9C07-3F0A-4C8B-9D62-7E4A1F2B8C30}";
inline constexpr char TypeLibraryFileName[] = "TelvaneServer.tlb";
