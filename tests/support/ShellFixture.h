#pragma once
// The client's shell in a test: a program directory of its own (type library, settings
// file, logs), the real server on its thread, message boxes answered by script, and the
// connection made as the start-up window makes it.

#include "shell/base/AppDirs.h"
#include "server/ClientConnection.h"
#include "shell/DMClientMain.h"
#include "shell/FormClientMain.h"
#include "shell/FormSplash.h"
#include "shell/base/IniFiles32.h"
#include "widgets/MessageBoxes.h"
#include "shell/base/ProcessLife.h"
#include "server/Server.h"
#include "server/CallTable.h"
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
        SetMessageBoxAnswerer(&Answerer);
    }
    ~TShellFixture()
    {
        ReleaseClientMainDM();
        ReleaseClientMainForm();
        Server.Stop();
        SetMessageBoxAnswerer(nullptr);
        ServerHost().clear();
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

    // What Connect does after the history: main window, connection module, locked mode.
    TClientMainForm* Connect(const QString& host = QStringLiteral("127.0.0.1"))
    {
        ServerHost() = host;
        TSplashForm::CreateMainWindowAndConnect();
        return ClientMainForm();
    }

    bool Connected() const { return ClientMainDM() && ClientMainDM()->Connected(); }

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

    QString LogText(const QString& name = QStringLiteral("application")) const
    {
        QFile file(Dir.path() + QStringLiteral("/logs/") + name + QStringLiteral(".log"));
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromUtf8(file.readAll());
    }
    // The entries of a log without their time stamps ("1: Starting...").
    QStringList LogEntries(const QString& name = QStringLiteral("application")) const
    {
        QStringList entries;
        for (const QString& line : LogText(name).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QString l = line.trimmed();
            // "yyyy-mm-dd hh:nn:ss " is 20 characters.
            entries.append(l.size() > 20 && l[4] == QLatin1Char('-') && l[13] == QLatin1Char(':') ? l.mid(20)
                                                                                                  : l);
        }
        return entries;
    }

    QTemporaryDir Dir;
    TTestServer Server;
    TScriptedAnswerer Answerer;
};
