#pragma once
// The client's shell in a test: a program directory of its own (type library, settings
// file, logs), the real server on its thread, message boxes answered by script, and the
// connection made as the start-up window makes it, with the windows bound to the main
// window's actions as the program binds them.

#include "shell/base/AppDirs.h"
#include "server/ClientConnection.h"
#include "shell/AccessLevel.h"
#include "shell/ChildWindows.h"
#include "shell/DMClientMain.h"
#include "shell/FormClientMain.h"
#include "shell/FormSplash.h"
#include "shell/base/IniFiles32.h"
#include "widgets/MessageBoxes.h"
#include "shell/base/ProcessLife.h"
#include "server/Server.h"
#include "server/CallTable.h"
#include "support/ClientFixture.h"
#include "support/InstalledAnswerer.h"
#include "support/LogFiles.h"
#include "support/TestServer.h"
#include "remote/TypeLibrary.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

class TShellFixture {
public:
    TShellFixture()
    {
        TTypeLibrary::Current().Write(Dir.path() + QStringLiteral("/TelvaneServer.tlb"));
        StartProcessCore(Dir.path() + QStringLiteral("/telvane-client"));
    }
    ~TShellFixture()
    {
        ReleaseClientMainDM();
        ReleaseClientMainForm();
        Server.Stop();
        EndProcessCore();
    }
    TShellFixture(const TShellFixture&) = delete;
    TShellFixture& operator=(const TShellFixture&) = delete;

    // Starts the server and points the settings file at it.
    bool StartServer(bool demo = false)
    {
        QString error;
        const bool started = demo ? Server.StartDemo(QDate(), &error) : Server.Start(&error);
        if (!started)
            qWarning("server: %s", qPrintable(error));
        SettingsFile().WriteInteger(QStringLiteral("Server"), QStringLiteral("port"), Server.Port());
        return started;
    }

    // What Connect does after the history: main window, connection module, locked mode;
    // then the windows bound as the program binds them.
    TClientMainForm* Connect(const QString& host = QStringLiteral("127.0.0.1"))
    {
        ServerHost() = host;
        TSplashForm::CreateMainWindowAndConnect();
        BindChildWindows(*ClientMainForm(), *ClientMainDM());
        return ClientMainForm();
    }

    bool Connected() const { return ClientMainDM() && ClientMainDM()->Connected(); }

    // Where a window test starts: the server started, the client connected, the server's
    // administrator password given and the administrator's layout applied. Null when a
    // step fails.
    TClientMainForm* ConnectAsAdministrator()
    {
        if (!StartServer())
            return nullptr;
        TClientMainForm* form = Connect();
        if (!Connected() || !LogIn(ClientMainDM()->MainRDM, true))
            return nullptr;
        TAccess::SetLevel(TAccess::Admin);
        return form;
    }

    // A test-only server call that runs the function for the calling connection.
    void InstallCall(TModule module, int dispId, std::function<void(TClientConnection&, QVariantList&)> fn,
                     int level = level::Locked)
    {
        Server.RunOnServer([=](TServer& s) {
            s.Calls().Add({module, dispId, level, AnyArgCount, [fn](TCallContext& c) {
                               fn(c.Client, c.Args);
                               return QVariant();
                           }});
        });
    }

    // The test call that sends one callback to the caller before it answers.
    static constexpr int NotifyDispId = 9950;
    void InstallNotifyCall()
    {
        InstallCall(TModule::Main, NotifyDispId, [](TClientConnection& client, QVariantList& args) {
            const auto target = static_cast<TCallbackTarget>(args.value(0).toInt());
            client.Notify(target, args.value(1).toString(), args.mid(2), false);
        });
    }
    void Notify(TCallbackTarget target, const QString& method, const QVariantList& args = {})
    {
        QList<TCallArg> callArgs{static_cast<int>(target), method};
        for (const QVariant& a : args)
            callArgs.append(a);
        ClientMainDM()->MainRDM.Call(NotifyDispId, callArgs);
    }

    // The entries of a log without their time stamps ("1: Starting...").
    QStringList LogEntries(const QString& name = QStringLiteral("application")) const
    {
        return LogFileEntries(Dir.path() + QStringLiteral("/logs/") + name + QStringLiteral(".log"));
    }

    QTemporaryDir Dir;
    TTestServer Server;
    TInstalledAnswerer Answerer;
};
