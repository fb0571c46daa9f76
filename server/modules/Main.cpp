#include "server/modules/Main.h"

#include "server/ClientConnection.h"
#include "server/Database.h"
#include "server/EventLog.h"
#include "server/PasswordGuard.h"
#include "server/Passwords.h"
#include "server/ServerContext.h"
#include "server/Settings.h"

#include <QPointer>

namespace {

TAccount AccountOf(bool administrator)
{
    return administrator ? TAccount::Administrator : TAccount::User;
}

TGuesser GuesserOf(const TClientConnection& client)
{
    return TGuesser{client.Number(), client.Peer(), client.PeerAddress()};
}

QVariant Handshake(TCallContext& c)
{
    QList<TDispatchRef> objects;
    for (int i = 0; i < 4; ++i) {
        objects << c.Dispatch(i);
        // Callbacks go by position, so an object of another interface would get calls it
        // does not have.
        const TCallbackInterface& expected = CallbackInterfaces().at(i);
        if (objects.last().Iid.compare(expected.Iid, Qt::CaseInsensitive) != 0)
            throw EOleSysError(QStringLiteral("Argument %1 must implement %2 %3, not %4.")
                                   .arg(i + 1)
                                   .arg(expected.Name, expected.Iid, objects.last().Iid),
                               hr::DISP_E_TYPEMISMATCH_);
    }
    const int clientVersion = c.Int(4);
    c.Int(5);  // the result variable must be an integer too
    TServerContext& server = c.Server;
    const int serverVersion = server.Options().ServerVersion;
    if (clientVersion != serverVersion) {
        c.Args[4] = serverVersion;
        c.Args[5] = -1;
        // A refused handshake leaves nothing of an earlier accepted one: no level, no
        // callbacks, no place among the clients.
        c.Client.Refuse();
        server.LogEvent(category::Client, TSeverity::Warning,
                        QStringLiteral("Client %1 (%2) refused: client version %3, server version %4.")
                            .arg(c.Client.Number())
                            .arg(c.Client.Peer())
                            .arg(clientVersion)
                            .arg(serverVersion));
        return QVariant();
    }
    c.Client.SetCallbackObjects(objects);
    if (!c.Client.Accepted()) {
        c.Client.Accept();
        const int max = server.Options().MaxClients;
        if (max > 0 && server.AcceptedClients() > max)
            c.Client.SendAwayAfterReply();
        else
            server.LogEvent(category::Client, TSeverity::Information,
                            QStringLiteral("Client %1 (%2) connected, version %3.")
                                .arg(c.Client.Number())
                                .arg(c.Client.Peer())
                                .arg(clientVersion));
    }
    c.Args[5] = 0;
    // The live displays start from the server's current state.
    c.Client.RunAfterReply([&server, &client = c.Client] {
        if (!client.SendingAway())
            server.SendLiveState(client);
    });
    return QVariant();
}

// The check runs off the server's thread (TPasswordGuard); the answer follows.
QVariant CheckPassword(TCallContext& c)
{
    const bool administrator = c.Bool(0);
    const QString password = c.String(1);
    QPointer<TClientConnection> client(&c.Client);
    c.Server.Passwords().Check(GuesserOf(c.Client), AccountOf(administrator), password,
                               [reply = c.Defer(), client, administrator](bool right) mutable {
                                   if (right && client)
                                       client->RaiseLevel(administrator ? level::Administrator : level::User);
                                   reply.Send(QVariant(right));
                               });
    return QVariant();
}

QVariant ChangePassword(TCallContext& c)
{
    const bool administrator = c.Bool(0);
    const QString current = c.String(1);
    const QString replacement = c.String(2);
    TServerContext& server = c.Server;
    const quint64 number = c.Client.Number();
    server.Passwords().Change(GuesserOf(c.Client), AccountOf(administrator), current, replacement,
                              [reply = c.Defer(), &server, number, administrator](bool changed) mutable {
                                  if (changed)
                                      server.LogEvent(category::Client, TSeverity::Information,
                                                      QStringLiteral("Client %1 changed the %2 password.")
                                                          .arg(number)
                                                          .arg(AccountName(AccountOf(administrator))));
                                  reply.Send(QVariant(changed));
                              });
    return QVariant();
}

QVariant SetLiveData(TCallContext& c)
{
    c.Client.SetLiveDataEnabled(c.Bool(0));
    return QVariant();
}

QVariant GetLanguage(TCallContext& c)
{
    return QVariant(TSettings(c.Server.Database()).Int(setting::Language, 1));
}

QVariant SetLanguage(TCallContext& c)
{
    const int language = c.Int(0);
    if (language != 0 && language != 1)
        throw Exception(
            QStringLiteral("The language must be 0 (Bulgarian) or 1 (English), not %1.").arg(language));
    TSettings(c.Server.Database()).SetInt(setting::Language, language);
    return QVariant();
}

}  // namespace

void RegisterMainModule(TCallTable& calls, TProviderTable& providers)
{
    namespace id = dispid::MainRDM;
    const TModuleEntries main(TModule::Main, calls, providers);
    main.Call(id::Handshake, level::Locked, 6, Handshake);
    main.Call(id::CheckPassword, level::Locked, 2, CheckPassword);
    main.Call(id::ChangePassword, level::Administrator, 3, ChangePassword);
    main.Call(id::SetLiveData, level::Locked, 1, SetLiveData);
    main.Call(id::GetLanguage, level::Locked, 0, GetLanguage);
    main.Call(id::SetLanguage, level::Administrator, 1, SetLanguage);
}
