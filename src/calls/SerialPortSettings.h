#pragma once
// The settings of one serial port as client and server pass them: one text of nine fields
// joined with "," (port name, baud rate, the data bits, parity, stop bits and hardware
// flow as indexes of their lists, then software flow, DTR control and device check as
// "True"/"False"). The options dialog edits it (TSerialPortFrame); the server opens its
// receiver and control ports with it. Never raises.
//
//   TSerialPortSettings s;              // \\.\COM1,9600,3,0,0,2,False,True,False
//   s.Load(QStringLiteral("/dev/ttyS1,4800"));
//   if (s.Problem().isEmpty()) Open(s.DevicePath(), s.Baud());

#include <QString>
#include <QStringList>

struct TSerialPortSettings {
    // The lists whose indexes the text carries, as the dialog shows them.
    static const QStringList& DataBitsItems();  // "5" ... "8"
    static const QStringList& ParityItems();    // None, Odd, Even, Mark, Space
    static const QStringList& StopBitsItems();  // "1", "1.5", "2"
    static const QStringList& HwFlowItems();    // None, RTS on only, RTS/CTS
    static const QStringList& BaudRateItems();  // "110" ... "921600"
    // The prefix of a device path: two backslashes, a full stop and a backslash.
    static QString DevicePrefix();
    // The device path of COM1 ... COM16.
    static QString ComPortPath(int number);

    QString PortName = ComPortPath(1);
    QString BaudRate = QStringLiteral("9600");
    int DataBits = 3;
    int Parity = 0;
    int StopBits = 0;
    int HwFlow = 2;
    bool SoftwareFlow = false;
    bool DtrControl = true;
    bool DeviceCheck = false;

    // Reads the fields the text has, in order; fields missing at its end keep their
    // values. An index that does not read or lies outside its list, and a flag that does
    // not read, take the field's default.
    void Load(const QString& text);
    QString Save() const;
    // The first fault that keeps the port from opening: "Please, enter a valid port name"
    // or "Please, enter a valid baud rate."; empty when there is none.
    QString Problem() const;
    // The baud rate as a number, -1 when it does not read.
    int Baud() const;
    // The name of the device on this system: a device path of COMn is /dev/ttyS(n-1), the
    // prefix is dropped from any other name, and a name starting with "/" stays as it is.
    QString SystemPortName() const;
};
