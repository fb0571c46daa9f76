#pragma once
// A serial port opened with a TSerialPortSettings text, for the receiver and the control
// ports.

#include <QSerialPort>

// Opens the port (read and write) with the settings text, as a child of parent. Raises
// Exception saying why when the settings are not valid or the port does not open.
QSerialPort* OpenSerialDevice(const QString& settingsText, QObject* parent);
