#include "shell/DMClientMain.h"

#include "core/Errors.h"
#include "shell/AppException.h"
#include "shell/ClientApplication.h"
#include "shell/ClientCommands.h"
#include "shell/ClientReceiver.h"
#include "shell/ClientReport.h"
#include "shell/MainFormServices.h"
#include "shell/base/AppDirs.h"
#include "shell/base/ClientLogs.h"
#include "shell/base/IniFiles32.h"
#include "shell/base/ProcessLife.h"
#include "widgets/MessageBoxes.h"

namespace {

std::unique_ptr<TClientMainDM>& Installed()
{
    static std::unique_ptr<TClientMainDM> dm;
    return dm;
}

}  // namespace

TClientMainDM::TClientMainDM(TMainFormServices* form, QObject* parent)
    : QObject(parent),
      form_(form),
      typeLibrary_(TTypeLibrary::Load(AppDir() + QLatin1String(TypeLibraryFileName)))
{
    const struct {
        TSharedConnection* Connection;
        const char* Name;
    } children[] = {{&scArchives, module::ArchivesRDM}, {&scAdmin, module::AdminRDM},
                    {&scReceiver, module::ReceiverRDM}, {&scCommands, module::CommandsRDM},
                    {&scReport, module::ReportRDM},     {&scLogsReport, module::LogsReportRDM}};
    for (const auto& child : children) {
        child.Connection->SetParentConnection(&sktServer);
        child.Connection->SetChildName(QLatin1String(child.Name));
    }
    application_ = std::make_unique<TClientApplication>(typeLibrary_, form_, &sktServer);
    receiver_ = std::make_unique<TClientReceiver>(typeLibrary_, form_);
    commands_ = std::make_unique<TClientCommands>(typeLibrary_, form_);
    report_ = std::make_unique<TClientReport>(typeLibrary_);
    // Queued: the server's last frames are handled first, and a shutdown notice among
    // them makes the end expected.
    connect(&sktServer, &TSocketConnection::ConnectionLost, this, &TClientMainDM::CheckLostConnection,
            Qt::QueuedConnection);
}

QString TClientMainDM::VersionText()
{
    return QStringLiteral("%1.%2.%3")
        .arg(ClientVersion / 100)
        .arg(ClientVersion / 10 % 10)
        .arg(ClientVersion % 10);
}

TClientMainDM::~TClientMainDM()
{
    sktServer.Close();
}

void TClientMainDM::ConnectToServer()
{
    if (ServerHost().isEmpty())
        return;
    // A value that reads as a numeric address is used as one; anything else, dotted names
    // included, is looked up as a host name.
    sktServer.SetServer(ServerHost());
    const int port = SettingsFile().ReadInteger(QStringLiteral("Server"), QStringLiteral("port"),
                                                TSocketConnection::DefaultPort);
    if (port < 1 || port > 65535) {
        const QString message = tr("The port %1 is not valid.").arg(port);
        ClientLogs().Application().Add(message, 3);
        WarnAndClose(message);
        return;
    }
    sktServer.SetPort(static_cast<quint16>(port));
    if (!OpenSocket())
        return;

    MainRDM = sktServer.AppServer();
    ArchivesRDM = scArchives.AppServer();
    AdminRDM = scAdmin.AppServer();
    ReceiverRDM = scReceiver.AppServer();
    CommandsRDM = scCommands.AppServer();
    ReportRDM = scReport.AppServer();
    LogsReportRDM = scLogsReport.AppServer();

    int version = ClientVersion;
    int result = 0;
    MainRDM.Call(dispid::MainRDM::Handshake, {application_.get(), receiver_.get(), commands_.get(),
                                              report_.get(), TByRef(version), TByRef(result)});
    if (result < 0)
        Refused(version);
}

bool TClientMainDM::OpenSocket()
{
    try {
        sktServer.Open();
        return true;
    } catch (const ESocketError& e) {
        ClientLogs().Application().Add(e.Message(), 3);
        WarnAndClose(e.Message());
        return false;
    }
}

void TClientMainDM::Refused(int serverVersion)
{
    sktServer.Close();
    const QString message = serverVersion == ClientVersion
                                ? tr("Telvane Server rejected the connection.")
                                : tr("Telvane Client version %1 cannot connect to Telvane Server version %2.")
                                      .arg(ClientVersion)
                                      .arg(serverVersion);
    WarnAndClose(message);
}

void TClientMainDM::WarnAndClose(const QString& message)
{
    ShowWarning(message + QLatin1Char('\n') + ClosingNotice());
}

void TClientMainDM::CheckServerSetup()
{
    QString hints;
    if (AdminRDM.Call(dispid::AdminRDM::DataFormatInUse).toString().isEmpty())
        hints += tr("Select a data format.") + QLatin1Char('\n');
    if (AdminRDM.Call(dispid::AdminRDM::TariffRulesInUse).toString().isEmpty())
        hints += tr("Configure tariff rules.") + QLatin1Char('\n');
    if (!hints.isEmpty() && form_)
        form_->AddLiveLogMessage(hints);
}

void TClientMainDM::CheckLostConnection()
{
    // Closed on purpose (refused handshake, log-off), or the server said goodbye first.
    if (!sktServer.Session() || sktServer.Connected() || application_->EndAnnounced())
        return;
    Q_EMIT ConnectionLost();
}

TClientMainDM* ClientMainDM()
{
    return Installed().get();
}

TClientMainDM& CreateClientMainDM(TMainFormServices* form)
{
    Installed() = std::make_unique<TClientMainDM>(form);
    TClientMainDM& dm = *Installed();
    // Installed before connecting, so that callbacks during the handshake find it.
    dm.ConnectToServer();
    if (dm.Connected())
        dm.CheckServerSetup();
    return dm;
}

void ReleaseClientMainDM()
{
    Installed().reset();
}
