#include "server/ControlPort.h"

#include "core/Errors.h"
#include "core/Variants.h"
#include "server/Database.h"
#include "server/EventLog.h"
#include "server/OptionGroups.h"
#include "server/Receiver.h"
#include "server/SerialDevice.h"
#include "server/Settings.h"

#include <QTcpSocket>

namespace {

// Open failures logged one by one each minute.
constexpr int kFailuresPerMinute = 3;

int Delay(const QVariantList& delays, int index)
{
    return qBound(0, int(VarToInt(delays.value(index))), 3600 * 1000);
}

}  // namespace

TControlPort::TControlPort(TDatabase& db, TReceiver& receiver, TClientNotifier& notifier)
    : QObject(nullptr),
      db_(db),
      receiver_(receiver),
      notifier_(notifier),
      failures_(
          kFailuresPerMinute,
          [this](const QString& text) { notifier_.LogEvent(category::Commands, TSeverity::Error, text); },
          QStringLiteral("control port failures"))
{
    delay_.setSingleShot(true);
    connect(&delay_, &QTimer::timeout, this, &TControlPort::NextStep);
    connect(&receiver_, &TReceiver::ExchangeAttachedChanged, this, [this](bool attached) {
        if (attached && usesReceiver_)
            Q_EMIT Ready();
    });
}

TControlPort::~TControlPort()
{
    Close();
}

void TControlPort::Reload()
{
    Close();
    stale_ = true;
}

void TControlPort::ReadSettings()
{
    TSettings settings(db_);
    protocol_ = qBound(0, settings.Int(setting::ControlProtocol, protocol::AvayaDefinity), 3);
    login_.clear();
    commandPrefix_.clear();
    const auto list = [this](const TOptionGroup& group, const char* name) { return OptionList(db_, group, name); };
    const char* portSetting = nullptr;
    switch (protocol_) {
        case protocol::AvayaDefinity: {
            portSetting = setting::DefinityPort;
            const QVariantList strings = list(optiongroup::Definity(), setting::DefinityStrings);
            const QVariantList delays = list(optiongroup::Definity(), setting::DefinityDelays);
            connectDelayMs_ = Delay(delays, 0);
            login_ = {{VarToStr(strings.value(0)), Delay(delays, 1)}, {VarToStr(strings.value(1)), Delay(delays, 1)}};
            commandDelayMs_ = Delay(delays, 2);
            break;
        }
        case protocol::SiemensHiPath: {
            address_ = settings.String(setting::HiPathAddress).trimmed();
            port_ = settings.Int(setting::HiPathPort, 0);
            const QVariantList strings = list(optiongroup::HiPath(), setting::HiPathStrings);
            const QVariantList delays = list(optiongroup::HiPath(), setting::HiPathDelays);
            connectDelayMs_ = Delay(delays, 0);
            login_ = {{VarToStr(strings.value(0)), Delay(delays, 1)}, {VarToStr(strings.value(1)), Delay(delays, 1)}};
            commandDelayMs_ = Delay(delays, 2);
            break;
        }
        case protocol::Modem: {
            portSetting = setting::ModemPort;
            const QVariantList strings = list(optiongroup::Modem(), setting::ModemStrings);
            const QVariantList delays = list(optiongroup::Modem(), setting::ModemDelays);
            connectDelayMs_ = Delay(delays, 0);
            login_ = {{VarToStr(strings.value(0)), Delay(delays, 3)}};
            commandPrefix_ = VarToStr(strings.value(1));
            commandDelayMs_ = Delay(delays, 2);
            break;
        }
        default: {
            portSetting = settings.Int(setting::DirectSharesReceiver, 1) != 0 ? nullptr : setting::DirectPort;
            const QVariantList delays = list(optiongroup::Direct(), setting::DirectDelays);
            connectDelayMs_ = Delay(delays, 0);
            commandDelayMs_ = Delay(delays, 1);
            break;
        }
    }
    serialSettings_ = portSetting ? settings.String(portSetting) : QString();
    usesReceiver_ = protocol_ == protocol::SiemensHiPath ? address_.isEmpty() : serialSettings_.isEmpty();
    stale_ = false;
}

void TControlPort::Close()
{
    delay_.stop();
    ready_ = false;
    steps_.clear();
    if (device_) {
        // Close may run inside one of the device's own signals.
        device_->disconnect(this);
        device_->close();
        device_->deleteLater();
        device_ = nullptr;
    }
}

void TControlPort::Fail(const QString& why)
{
    failures_.Add(QStringLiteral("The control port cannot be opened: %1").arg(why));
    Close();
}

void TControlPort::Open()
{
    if (protocol_ == protocol::SiemensHiPath) {
        auto* socket = new QTcpSocket(this);
        device_ = socket;
        connect(socket, &QTcpSocket::connected, this, &TControlPort::Opened);
        // An exchange that hangs up is connected to again with the next command.
        connect(socket, &QTcpSocket::disconnected, this, &TControlPort::Close);
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] {
            if (device_ == socket)
                Fail(QStringLiteral("%1:%2: %3").arg(address_).arg(port_).arg(socket->errorString()));
        });
        socket->connectToHost(address_, quint16(port_));
        return;
    }
    try {
        device_ = OpenSerialDevice(serialSettings_, this);
    } catch (const Exception& e) {
        Fail(e.Message());
        return;
    }
    Opened();
}

void TControlPort::Opened()
{
    steps_.clear();
    for (const TStep& step : std::as_const(login_))
        if (!step.Text.isEmpty())
            steps_ << step;
    delay_.start(connectDelayMs_);
}

// The next login line after its delay; once none is left, the port takes commands.
void TControlPort::NextStep()
{
    if (!device_)
        return;
    if (steps_.isEmpty()) {
        ready_ = true;
        Q_EMIT Ready();
        return;
    }
    const TStep step = steps_.takeFirst();
    Write(step.Text);
    delay_.start(step.DelayMs);
}

void TControlPort::Write(const QString& text)
{
    device_->write(text.toLatin1() + "\r\n");
}

bool TControlPort::WriteLine(const QString& text)
{
    if (stale_)
        ReadSettings();
    if (usesReceiver_)
        return receiver_.WriteLine(text);
    if (!device_) {
        Open();
        return false;
    }
    if (!ready_)
        return false;
    Write(commandPrefix_ + text);
    ready_ = false;
    delay_.start(commandDelayMs_);
    return true;
}
