#include "options/SerialPortFrame.h"

#include "widgets/MessageBoxes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>

namespace {

QComboBox* List(QWidget* parent, const char* name, const QStringList& items, bool editable)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(editable);
    box->addItems(items);
    return box;
}


}  // namespace

TSerialPortFrame::TSerialPortFrame(QWidget* parent) : QGroupBox(tr(" Serial port: "), parent)
{
    setObjectName(QStringLiteral("TSerialPortFrame"));
    QStringList ports;
    for (int i = 1; i <= 16; ++i)
        ports << TSerialPortSettings::ComPortPath(i);
    cbPortName = List(this, "cbPortName", ports, true);
    cbBaudRate = List(this, "cbBaudRate", TSerialPortSettings::BaudRateItems(), true);
    cbDataBits = List(this, "cbDataBits", TSerialPortSettings::DataBitsItems(), false);
    // The list texts are translated; their indexes are what the settings carry.
    cbParity = List(this, "cbParity",
                    {tr("None"), tr("Odd"), tr("Even"), tr("Mark"), tr("Space")}, false);
    cbStopBits = List(this, "cbStopBits", TSerialPortSettings::StopBitsItems(), false);
    cbHwFlow = List(this, "cbHwFlow", {tr("None"), tr("RTS on only"), tr("RTS/CTS")}, false);
    chkSoftwareFlow = new QCheckBox(tr("Software flow (XON/XOFF)"), this);
    chkSoftwareFlow->setObjectName(QStringLiteral("chkSoftwareFlow"));
    chkDtrControl = new QCheckBox(tr("Enable DTR control"), this);
    chkDtrControl->setObjectName(QStringLiteral("chkDtrControl"));
    chkDeviceCheck = new QCheckBox(tr("Device check"), this);
    chkDeviceCheck->setObjectName(QStringLiteral("chkDeviceCheck"));
    auto* form = new QFormLayout(this);
    form->addRow(tr("Port name:"), cbPortName);
    form->addRow(tr("Baud rate:"), cbBaudRate);
    form->addRow(tr("Data bits:"), cbDataBits);
    form->addRow(tr("Parity:"), cbParity);
    form->addRow(tr("Stop bits:"), cbStopBits);
    form->addRow(tr("Hardware flow:"), cbHwFlow);
    form->addRow(chkSoftwareFlow);
    form->addRow(chkDtrControl);
    form->addRow(chkDeviceCheck);
    Show(TSerialPortSettings());
}

TSerialPortSettings TSerialPortFrame::Shown() const
{
    TSerialPortSettings s;
    s.PortName = cbPortName->currentText();
    s.BaudRate = cbBaudRate->currentText();
    s.DataBits = cbDataBits->currentIndex();
    s.Parity = cbParity->currentIndex();
    s.StopBits = cbStopBits->currentIndex();
    s.HwFlow = cbHwFlow->currentIndex();
    s.SoftwareFlow = chkSoftwareFlow->isChecked();
    s.DtrControl = chkDtrControl->isChecked();
    s.DeviceCheck = chkDeviceCheck->isChecked();
    return s;
}

void TSerialPortFrame::Show(const TSerialPortSettings& s)
{
    cbPortName->setCurrentText(s.PortName);
    cbBaudRate->setCurrentText(s.BaudRate);
    cbDataBits->setCurrentIndex(s.DataBits);
    cbParity->setCurrentIndex(s.Parity);
    cbStopBits->setCurrentIndex(s.StopBits);
    cbHwFlow->setCurrentIndex(s.HwFlow);
    chkSoftwareFlow->setChecked(s.SoftwareFlow);
    chkDtrControl->setChecked(s.DtrControl);
    chkDeviceCheck->setChecked(s.DeviceCheck);
}

void TSerialPortFrame::LoadSettings(const QString& text)
{
    TSerialPortSettings s = Shown();
    s.Load(text);
    Show(s);
}

QString TSerialPortFrame::SaveSettings() const
{
    return Shown().Save();
}

bool TSerialPortFrame::ValidateSettings(const QString& suffix) const
{
    const QString problem = Shown().Problem();
    if (problem.isEmpty())
        return true;
    ShowError(tr(problem.toUtf8().constData()) + QLatin1Char(' ') + suffix);
    return false;
}
