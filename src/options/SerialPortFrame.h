#pragma once
// The settings of one serial port (" Serial port: "), as the options dialog shows them four
// times: port name and baud rate (editable lists), data bits, parity, stop bits and
// hardware flow (fixed lists), and the software flow, DTR control and device check boxes.
// The text both ways is TSerialPortSettings's.
//
//   frame->LoadSettings(values[1].toString());
//   if (!frame->ValidateSettings(tr("for receiver."))) return;  // the error box was shown
//   values[1] = frame->SaveSettings();

#include "calls/SerialPortSettings.h"

#include <QGroupBox>

class QCheckBox;
class QComboBox;

class TSerialPortFrame : public QGroupBox {
    Q_OBJECT

public:
    explicit TSerialPortFrame(QWidget* parent = nullptr);

    // Fills the controls from the text; fields it lacks leave their controls as they are.
    void LoadSettings(const QString& text);
    QString SaveSettings() const;
    // Checks the port name and baud rate; on a fault shows an error box with the fault, a
    // blank and the suffix, and returns false.
    bool ValidateSettings(const QString& suffix) const;

private:
    TSerialPortSettings Shown() const;
    void Show(const TSerialPortSettings& settings);

    QComboBox* cbPortName;
    QComboBox* cbBaudRate;
    QComboBox* cbDataBits;
    QComboBox* cbParity;
    QComboBox* cbStopBits;
    QComboBox* cbHwFlow;
    QCheckBox* chkSoftwareFlow;
    QCheckBox* chkDtrControl;
    QCheckBox* chkDeviceCheck;
};
