#pragma once
// The connection module: the socket to the server's main module, the six child
// connections sharing it, the seven module handles every server call goes through, and
// the four callback objects the handshake hands to the server. The callbacks show what
// the server pushes on the main window it is given; windows get the module handles or the
// module itself from whoever creates them.
//
//   const QString format = connection.AdminRDM.Call(301).toString();
//   cdsSomething->SetRemoteServer(&connection.scReport);   // a dataset over ReportRDM

#include "remote/Connections.h"
#include "remote/RemoteModule.h"
#include "remote/TypeLibrary.h"

#include <QObject>

#include <memory>

class TClientApplication;
class TClientCommands;
class TClientReceiver;
class TClientReport;
class TMainFormServices;

class TClientMainDM : public QObject {
    Q_OBJECT

public:
    static constexpr int ClientVersion = 320;
    // The version as people read it: "3.2.0".
    static QString VersionText();

    // Loads the type library beside the program and creates the callback objects, which
    // show what the server pushes on the main window (null: nowhere). A type library that
    // cannot be used raises EOleSysError.
    explicit TClientMainDM(TMainFormServices* form, QObject* parent = nullptr);
    ~TClientMainDM() override;

    bool Connected() const { return sktServer.Connected(); }

    // Connects when ServerHost() is set: the socket, the module handles in order and the
    // handshake. A server that cannot be reached or refuses leaves the module not
    // connected (the user was told).
    void ConnectToServer();
    // Adds the set-up hints ("Select a data format.", "Configure tariff rules.") to the live log.
    void CheckServerSetup();

    const TTypeLibrary& TypeLibrary() const { return typeLibrary_; }
    TClientApplication& ClientApplication() const { return *application_; }
    TClientReceiver& ClientReceiver() const { return *receiver_; }
    TClientCommands& ClientCommands() const { return *commands_; }
    TClientReport& ClientReport() const { return *report_; }

    TSocketConnection sktServer;
    TSharedConnection scArchives;
    TSharedConnection scAdmin;
    TSharedConnection scReceiver;
    TSharedConnection scCommands;
    TSharedConnection scReport;
    TSharedConnection scLogsReport;

    TRemoteModule MainRDM;
    TRemoteModule ArchivesRDM;
    TRemoteModule AdminRDM;
    TRemoteModule ReceiverRDM;
    TRemoteModule CommandsRDM;
    TRemoteModule ReportRDM;
    TRemoteModule LogsReportRDM;

Q_SIGNALS:
    // The connection ended without the server's notice (the server was killed, its machine
    // lost power, the network failed): seen from the main loop while no call waits, after
    // whatever the server sent before the end was handled. The program treats it as it
    // treats a call that finds the connection lost.
    void ConnectionLost();

private:
    void CheckLostConnection();

    // Opens the socket; false (after the warning) when it cannot be opened.
    bool OpenSocket();
    void Refused(int serverVersion);
    static void WarnAndClose(const QString& message);

    TMainFormServices* form_;
    TTypeLibrary typeLibrary_;
    std::unique_ptr<TClientApplication> application_;
    std::unique_ptr<TClientReceiver> receiver_;
    std::unique_ptr<TClientCommands> commands_;
    std::unique_ptr<TClientReport> report_;
};

// The process-wide connection module: absent until the user connects. Creating it connects
// to ServerHost() and checks the server's set-up.
TClientMainDM* ClientMainDM();
TClientMainDM& CreateClientMainDM(TMainFormServices* form);
void ReleaseClientMainDM();
