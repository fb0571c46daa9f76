#pragma once
// A minimal blocking client for the server's tests, written straight on the wire codec:
// it attaches the modules, makes calls, opens and applies datasets, and records (and
// answers) the callbacks that arrive meanwhile. It logs in with the passwords of a new
// database.
//
//   TWireClient admin;
//   QVERIFY(admin.OpenAsAdministrator(server.Port()));
//   admin.Call(kAdmin, dispid::AdminRDM::PbxInUse);

#include "remote/CallbackInterfaces.h"
#include "remote/Protocol.h"
#include "remote/ServerInterface.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QTcpSocket>

// The modules as the tests address them.
inline const QString kMain = QLatin1String(module::MainRDM);
inline const QString kAdmin = QLatin1String(module::AdminRDM);
inline const QString kReceiver = QLatin1String(module::ReceiverRDM);
inline const QString kCommands = QLatin1String(module::CommandsRDM);
inline const QString kReport = QLatin1String(module::ReportRDM);
inline const QString kLogsReport = QLatin1String(module::LogsReportRDM);

struct TOpenResult {
    bool Ok = false;
    HRESULT Code = 0;
    QString Text;
    QList<TFieldDef> Fields;
    QList<QVariantList> Rows;
    qint64 Count = -1;
    int Packets = 0;

    int Column(const QString& name) const
    {
        for (int i = 0; i < Fields.size(); ++i)
            if (Fields.at(i).Name == name)
                return i;
        return -1;
    }
};

class TWireClient {
public:
    static constexpr int TimeoutMs = 30000;
    QTcpSocket Socket;
    QList<TMessage> Callbacks;
    QHash<QString, quint32> Handles;  // module name -> handle

    bool Connect(quint16 port)
    {
        Socket.connectToHost(QHostAddress::LocalHost, port);
        return Socket.waitForConnected(TimeoutMs);
    }

    quint32 NextId() { return nextId_++; }

    void SendRaw(const QByteArray& bytes)
    {
        Socket.write(bytes);
        Socket.flush();
    }
    void Send(const TMessage& m) { SendRaw(FrameBytes(EncodeMessage(m))); }

    // Reads until the message with this id arrives (callbacks are answered meanwhile).
    // A dataset open collects meta, rows and eof into the result.
    bool WaitFor(quint32 id, TMessage& answer, TOpenResult* open = nullptr, int timeoutMs = TimeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (true) {
            reader_.Append(Socket.readAll());
            TMessage m;
            while (NextMessage(m)) {
                if (m.Kind == TMessageKind::Callback) {
                    Callbacks.append(m);
                    TMessage cbr;
                    cbr.Kind = TMessageKind::CallbackReply;
                    cbr.Id = m.Id;
                    Send(cbr);
                    continue;
                }
                if (m.Id != id)
                    continue;
                if (open && m.Kind == TMessageKind::Meta) {
                    open->Fields = m.Fields;
                    continue;
                }
                if (open && m.Kind == TMessageKind::Rows) {
                    open->Rows.append(m.Rows);
                    ++open->Packets;
                    continue;
                }
                answer = m;
                return true;
            }
            if (deadline.hasExpired() || Socket.state() != QAbstractSocket::ConnectedState)
                return false;
            Socket.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
            reader_.Append(Socket.readAll());
        }
    }

    // Processes incoming messages until the callback has come.
    bool WaitForCallback(const QString& method, int timeoutMs = TimeoutMs)
    {
        return WaitUntil([&] { return HasCallback(method); }, timeoutMs);
    }

    // Reads and answers what arrives until the condition holds or the time is up.
    template <typename TCondition>
    bool WaitUntil(TCondition condition, int timeoutMs = TimeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (!condition()) {
            if (deadline.hasExpired() || Socket.state() != QAbstractSocket::ConnectedState)
                return condition();
            TMessage unused;
            WaitFor(0xFFFFFFFFu, unused, nullptr,
                    static_cast<int>(qBound(qint64(1), deadline.remainingTime(), qint64(50))));
        }
        return true;
    }

    // The arguments of every call of the method so far, in order.
    QList<QVariantList> CallbackArgs(const QString& method) const
    {
        QList<QVariantList> calls;
        for (const TMessage& m : Callbacks)
            if (MethodName(m) == method)
                calls << m.Args;
        return calls;
    }

    bool HasCallback(const QString& method) const { return CallbackCount(method) > 0; }
    int CallbackCount(const QString& method) const
    {
        int n = 0;
        for (const TMessage& m : Callbacks)
            if (MethodName(m) == method)
                ++n;
        return n;
    }
    static QString MethodName(const TMessage& cb)
    {
        const TCallbackInterface* itf = CallbackInterfaceByIid(cb.Iid);
        const TCallbackMethod* method = itf ? itf->MethodByDispId(cb.DispId) : nullptr;
        return method ? method->Name : QString();
    }

    bool WaitForDisconnected(int timeoutMs = TimeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (Socket.state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired()) {
            if (Socket.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime()))))
                reader_.Append(Socket.readAll());
        }
        reader_.Append(Socket.readAll());
        TMessage m;
        while (NextMessage(m))
            if (m.Kind == TMessageKind::Callback)
                Callbacks.append(m);
        return Socket.state() == QAbstractSocket::UnconnectedState;
    }

    TMessage Attach(const QString& module, quint32 parent = 0)
    {
        TMessage m;
        m.Kind = TMessageKind::Attach;
        m.Id = NextId();
        m.Module = module;
        m.Parent = parent;
        if (parent == 0) {
            m.Guid = QLatin1String(module::ServerGuid);
            m.Version = TelvaneProtocolVersion;
        }
        Send(m);
        TMessage answer;
        if (!WaitFor(m.Id, answer))
            answer.Kind = TMessageKind::Error;
        return answer;
    }

    // Attaches the main module and the six children.
    bool AttachAll()
    {
        const TMessage main = Attach(QLatin1String(module::ProgramId));
        if (main.Kind != TMessageKind::Reply)
            return false;
        Handles.insert(kMain, main.Result.toUInt());
        for (const char* child : module::Children) {
            const TMessage reply = Attach(QLatin1String(child), main.Result.toUInt());
            if (reply.Kind != TMessageKind::Reply)
                return false;
            Handles.insert(QLatin1String(child), reply.Result.toUInt());
        }
        return true;
    }

    TMessage Call(const QString& module, int dispId, const QVariantList& args = {},
                  const QList<int>& byRef = {})
    {
        return CallHandle(Handles.value(module), dispId, args, byRef);
    }
    TMessage CallHandle(quint32 handle, int dispId, const QVariantList& args, const QList<int>& byRef = {})
    {
        TMessage m;
        m.Kind = TMessageKind::Call;
        m.Id = NextId();
        m.Handle = handle;
        m.DispId = dispId;
        m.Args = args;
        m.ByRef = byRef;
        Send(m);
        TMessage answer;
        if (!WaitFor(m.Id, answer)) {
            answer.Kind = TMessageKind::Error;
            answer.Code = hr::RPC_E_DISCONNECTED_;
        }
        return answer;
    }

    static QVariantList CallbackObjects()
    {
        return {QVariant::fromValue(TDispatchRef{1, QLatin1String(iid::ClientApplication)}),
                QVariant::fromValue(TDispatchRef{2, QLatin1String(iid::ClientReceiver)}),
                QVariant::fromValue(TDispatchRef{3, QLatin1String(iid::ClientCommands)}),
                QVariant::fromValue(TDispatchRef{4, QLatin1String(iid::ClientReport)})};
    }

    // The handshake: returns the reply, whose by-reference values are version and result.
    TMessage Handshake(int version = 320)
    {
        return Call(kMain, dispid::MainRDM::Handshake, CallbackObjects() + QVariantList{version, 0}, {4, 5});
    }

    // Connects, attaches and shakes hands; optionally logs in.
    bool Open(quint16 port, const QString& password = QString(), bool administrator = true)
    {
        if (!Connect(port) || !AttachAll())
            return false;
        const TMessage hs = Handshake();
        if (hs.Kind != TMessageKind::Reply || hs.ByRefValues.value(1).toInt() < 0)
            return false;
        if (password.isEmpty())
            return true;
        const TMessage login = Call(kMain, dispid::MainRDM::CheckPassword, {administrator, password});
        return login.Kind == TMessageKind::Reply && login.Result.toBool();
    }
    // Open, logged in as the administrator or the standard user of a new database.
    bool OpenAsAdministrator(quint16 port) { return Open(port, QStringLiteral("admin")); }
    bool OpenAsUser(quint16 port) { return Open(port, QStringLiteral("user"), false); }

    // Checks the data format and makes it the one in use (AdminRDM 302, 303).
    bool UseDataFormat(const QString& text)
    {
        return Call(kAdmin, dispid::AdminRDM::CheckDataFormat, {text}).Result.toBool() &&
               Call(kAdmin, dispid::AdminRDM::UseCheckedDataFormat).Kind == TMessageKind::Reply;
    }

    TOpenResult OpenDataSet(const QString& module, const QString& provider)
    {
        TMessage m;
        m.Kind = TMessageKind::Open;
        m.Id = NextId();
        m.Handle = Handles.value(module);
        m.Provider = provider;
        Send(m);
        TOpenResult result;
        TMessage end;
        if (!WaitFor(m.Id, end, &result)) {
            result.Code = hr::RPC_E_DISCONNECTED_;
            return result;
        }
        result.Ok = end.Kind == TMessageKind::Eof;
        result.Code = end.Code;
        result.Text = end.Text;
        result.Count = end.Kind == TMessageKind::Eof ? end.Count : -1;
        return result;
    }

    TMessage Apply(const QString& module, const QString& provider, const QList<TDeltaChange>& delta,
                   int maxErrors = 0)
    {
        TMessage m;
        m.Kind = TMessageKind::Apply;
        m.Id = NextId();
        m.Handle = Handles.value(module);
        m.Provider = provider;
        m.MaxErrors = maxErrors;
        m.Delta = delta;
        Send(m);
        TMessage answer;
        if (!WaitFor(m.Id, answer))
            answer.Kind = TMessageKind::Error;
        return answer;
    }

    // Runs report SQL (ReportRDM or LogsReportRDM 301), waits for the ready callback and
    // opens dspResult.
    TOpenResult RunReport(const QString& sql, const QString& module = kReport)
    {
        const bool report = module == kReport;
        const QString ready =
            QLatin1String(report ? callback::ReportReady.Method : callback::LogsReportReady.Method);
        const int run = report ? dispid::ReportRDM::RunStatement : dispid::LogsReportRDM::RunStatement;
        const QString resultProvider =
            QLatin1String(report ? provider::ReportRDM::dspResult : provider::LogsReportRDM::dspResult);
        const int before = CallbackCount(ready);
        TOpenResult result;
        const TMessage reply = Call(module, run, {sql});
        if (reply.Kind != TMessageKind::Reply) {
            result.Code = reply.Code;
            result.Text = reply.Text;
            return result;
        }
        const QDeadlineTimer deadline(TimeoutMs);
        while (CallbackCount(ready) == before && !deadline.hasExpired()) {
            TMessage unused;
            WaitFor(0xFFFFFFFFu, unused, nullptr, 50);
        }
        if (CallbackCount(ready) == before) {
            result.Text = QStringLiteral("no ready callback");
            return result;
        }
        return OpenDataSet(module, resultProvider);
    }

private:
    bool NextMessage(TMessage& m)
    {
        QByteArray payload;
        if (!reader_.Next(payload))
            return false;
        m = DecodeMessage(payload);
        return true;
    }

    TFrameReader reader_;
    quint32 nextId_ = 1;
};

inline TDeltaChange Insert(const QVariantList& values)
{
    return TDeltaChange{TChangeKind::Insert, {}, values};
}
inline TDeltaChange Modify(const QVariantList& old, const QVariantList& values)
{
    return TDeltaChange{TChangeKind::Modify, old, values};
}
inline TDeltaChange Delete(const QVariantList& old)
{
    return TDeltaChange{TChangeKind::Delete, old, {}};
}
