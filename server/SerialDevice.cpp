#include "server/SerialDevice.h"

#include "calls/SerialPortSettings.h"
#include "core/Errors.h"

namespace {

// The serial port's settings from their text; raises Exception when they cannot be used.
void Configure(QSerialPort& port, const QString& text)
{
    TSerialPortSettings settings;
    settings.Load(text);
    const QString problem = settings.Problem();
    if (!problem.isEmpty())
        throw Exception(problem);
    static const QSerialPort::DataBits dataBits[] = {QSerialPort::Data5, QSerialPort::Data6, QSerialPort::Data7,
                                                     QSerialPort::Data8};
    static const QSerialPort::Parity parity[] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                                 QSerialPort::EvenParity, QSerialPort::MarkParity,
                                                 QSerialPort::SpaceParity};
    static const QSerialPort::StopBits stopBits[] = {QSerialPort::OneStop, QSerialPort::OneAndHalfStop,
                                                     QSerialPort::TwoStop};
    port.setPortName(settings.SystemPortName());
    port.setBaudRate(settings.Baud());
    port.setDataBits(dataBits[settings.DataBits]);
    port.setParity(parity[settings.Parity]);
    port.setStopBits(stopBits[settings.StopBits]);
    // RTS on only is RTS held high without handshaking; XON/XOFF wins when both are chosen.
    port.setFlowControl(settings.SoftwareFlow  ? QSerialPort::SoftwareControl
                        : settings.HwFlow == 2 ? QSerialPort::HardwareControl
                                               : QSerialPort::NoFlowControl);
}

}  // namespace

// Opens a serial port with the settings text; raises Exception saying why it cannot.
QSerialPort* OpenSerialDevice(const QString& settingsText, QObject* parent)
{
    auto* port = new QSerialPort(parent);
    try {
        Configure(*port, settingsText);
        if (!port->open(QIODevice::ReadWrite))
            throw Exception(QStringLiteral("%1: %2").arg(port->portName(), port->errorString()));
        TSerialPortSettings settings;
        settings.Load(settingsText);
        // Settings a device refuses only show once it is open.
        Configure(*port, settingsText);
        port->setDataTerminalReady(settings.DtrControl);
        if (settings.HwFlow == 1)
            port->setRequestToSend(true);
    } catch (...) {
        delete port;
        throw;
    }
    return port;
}
