#include "calls/SerialPortSettings.h"

#include "calls/Globals.h"

#include <QCoreApplication>

namespace {

constexpr int kMinBaud = 110;
constexpr int kMaxBaud = 921600;

// An index of a list of count items; the default when it does not read or lies outside.
int ListIndex(const QString& text, int count, int defaultIndex)
{
    const int index = StateToInt(text, -1);
    return index >= 0 && index < count ? index : defaultIndex;
}

QString Flag(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

}  // namespace

const QStringList& TSerialPortSettings::DataBitsItems()
{
    static const QStringList items{QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"),
                                   QStringLiteral("8")};
    return items;
}

const QStringList& TSerialPortSettings::ParityItems()
{
    static const QStringList items{QStringLiteral("None"), QStringLiteral("Odd"), QStringLiteral("Even"),
                                   QStringLiteral("Mark"), QStringLiteral("Space")};
    return items;
}

const QStringList& TSerialPortSettings::StopBitsItems()
{
    static const QStringList items{QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")};
    return items;
}

const QStringList& TSerialPortSettings::HwFlowItems()
{
    static const QStringList items{QStringLiteral("None"), QStringLiteral("RTS on only"),
                                   QStringLiteral("RTS/CTS")};
    return items;
}

const QStringList& TSerialPortSettings::BaudRateItems()
{
    static const QStringList items = [] {
        QStringList rates;
        for (int rate : {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200,
                         128000, 230400, 256000, 460800, 921600})
            rates << QString::number(rate);
        return rates;
    }();
    return items;
}

QString TSerialPortSettings::DevicePrefix()
{
    return QStringLiteral("\\\\.\\");
}

QString TSerialPortSettings::ComPortPath(int number)
{
    return DevicePrefix() + QStringLiteral("COM%1").arg(number);
}

void TSerialPortSettings::Load(const QString& text)
{
    const TSerialPortSettings defaults;
    const QStringList fields = SplitText(QLatin1Char(','), text);
    const auto field = [&fields](int i) { return fields.value(i); };
    const int n = static_cast<int>(fields.size());
    if (n > 0)
        PortName = field(0);
    if (n > 1)
        BaudRate = field(1);
    if (n > 2)
        DataBits = ListIndex(field(2), int(DataBitsItems().size()), defaults.DataBits);
    if (n > 3)
        Parity = ListIndex(field(3), int(ParityItems().size()), defaults.Parity);
    if (n > 4)
        StopBits = ListIndex(field(4), int(StopBitsItems().size()), defaults.StopBits);
    if (n > 5)
        HwFlow = ListIndex(field(5), int(HwFlowItems().size()), defaults.HwFlow);
    if (n > 6)
        SoftwareFlow = StateToBool(field(6), defaults.SoftwareFlow);
    if (n > 7)
        DtrControl = StateToBool(field(7), defaults.DtrControl);
    if (n > 8)
        DeviceCheck = StateToBool(field(8), defaults.DeviceCheck);
}

QString TSerialPortSettings::Save() const
{
    return JoinTexts(QStringLiteral(","),
                     {PortName, BaudRate, QString::number(DataBits), QString::number(Parity),
                      QString::number(StopBits), QString::number(HwFlow), Flag(SoftwareFlow), Flag(DtrControl),
                      Flag(DeviceCheck)});
}

int TSerialPortSettings::Baud() const
{
    // Qt reads a number with blanks around it; a port takes no such rate.
    if (BaudRate != BaudRate.trimmed())
        return -1;
    return StateToInt(BaudRate, -1);
}

QString TSerialPortSettings::Problem() const
{
    if (PortName.trimmed().isEmpty())
        return QString::fromLatin1(QT_TRANSLATE_NOOP("TSerialPortFrame", "Please, enter a valid port name"));
    const int baud = Baud();
    if (baud < kMinBaud || baud > kMaxBaud)
        return QString::fromLatin1(QT_TRANSLATE_NOOP("TSerialPortFrame", "Please, enter a valid baud rate."));
    return QString();
}

QString TSerialPortSettings::SystemPortName() const
{
    QString name = PortName.trimmed();
    if (name.startsWith(QLatin1Char('/')))
        return name;
    if (name.startsWith(DevicePrefix()))
        name = name.mid(DevicePrefix().size());
    if (name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) {
        bool ok = false;
        const int number = name.mid(3).toInt(&ok);
        if (ok && number >= 1)
            return QStringLiteral("/dev/ttyS%1").arg(number - 1);
    }
    return name;
}
