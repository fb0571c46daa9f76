#include "server/OptionGroups.h"

#include "calls/SerialPortSettings.h"
#include "core/DateTime.h"
#include "core/Errors.h"
#include "core/Variants.h"
#include "server/Database.h"
#include "server/Settings.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <climits>
#include <cmath>

namespace {

constexpr int kSecondsPerYear = 365 * 86400;

QVariant Strings(int count)
{
    QVariantList list;
    for (int i = 0; i < count; ++i)
        list << QString();
    return list;
}

QVariant Ints(std::initializer_list<int> values)
{
    QVariantList list;
    for (int v : values)
        list << v;
    return list;
}

QString DefaultPort()
{
    return TSerialPortSettings().Save();
}

// Tomorrow at midnight: the next archive when none was planned.
double TomorrowMidnight()
{
    return std::floor(Now()) + 1;
}

QVariantList ReadList(const QString& stored, const TOptionValue& value, bool* ok)
{
    const QJsonDocument doc = QJsonDocument::fromJson(stored.toUtf8());
    const int count = int(qstrlen(value.Elements));
    *ok = doc.isArray() && doc.array().size() == count;
    if (!*ok)
        return value.Default.toList();
    QVariantList list;
    for (int i = 0; i < count; ++i) {
        const QJsonValue element = doc.array().at(i);
        if (value.Elements[i] == 'S')
            list << element.toString();
        else
            list << element.toInt();
    }
    return list;
}

QVariant Read(TSettings& settings, const TOptionValue& value)
{
    const QString stored = settings.String(value.Setting);
    switch (value.Kind) {
        case TOptionKind::Bool:
            return QVariant(settings.Int(value.Setting, value.Default.toBool() ? 1 : 0) != 0);
        case TOptionKind::Int:
            return settings.Int(value.Setting, value.Default.toInt());
        case TOptionKind::Int16:
            return VarFromInt16(qint16(qBound(-32768, settings.Int(value.Setting, value.Default.toInt()), 32767)));
        case TOptionKind::String:
        case TOptionKind::PortSettings:
            return settings.String(value.Setting, value.Default.toString());
        case TOptionKind::Days:
            return VarFromDateTime(settings.Double(value.Setting, value.Default.toDouble()));
        case TOptionKind::Moment:
            return VarFromDateTime(settings.Double(value.Setting, TomorrowMidnight()));
        case TOptionKind::VatTenths:
            return VarFromInt16(qint16(qBound(0.0, std::round(settings.Double(value.Setting, value.Default.toDouble()) * 10),
                                              32767.0)));
        case TOptionKind::List: {
            bool ok = false;
            return ReadList(stored, value, &ok);
        }
    }
    return QVariant();
}

[[noreturn]] void Refuse(const TOptionValue& value, const QString& why)
{
    throw Exception(QStringLiteral("The option %1 %2.").arg(QString::fromLatin1(value.Setting), why));
}

qint64 Integer(const TOptionValue& value, const QVariant& v)
{
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    if (!ok || VarIsNull(v))
        Refuse(value, QStringLiteral("must be a number"));
    return n;
}

// The text to store for one value; raises Exception when it is wrong.
QString Checked(const TOptionValue& value, const QVariant& v)
{
    switch (value.Kind) {
        case TOptionKind::Bool:
            return VarToInt(v) != 0 ? QStringLiteral("1") : QStringLiteral("0");
        case TOptionKind::Int:
        case TOptionKind::Int16: {
            const qint64 n = Integer(value, v);
            if (n < value.Min || n > value.Max)
                Refuse(value, QStringLiteral("must lie between %1 and %2, not %3").arg(value.Min).arg(value.Max).arg(n));
            return QString::number(n);
        }
        case TOptionKind::String:
            return VarToStr(v);
        case TOptionKind::PortSettings: {
            TSerialPortSettings port;
            port.Load(VarToStr(v));
            const QString problem = port.Problem();
            if (!problem.isEmpty())
                Refuse(value, QStringLiteral("is refused: %1").arg(problem));
            return VarToStr(v);
        }
        case TOptionKind::Days: {
            const double days = VarToFloat(v, -1);
            if (days < 0 || days > 366)
                Refuse(value, QStringLiteral("must be a span of 0 to 366 days"));
            return QString::number(days, 'g', 17);
        }
        case TOptionKind::Moment:
            return QString::number(VarToDateTime(v), 'g', 17);
        case TOptionKind::VatTenths: {
            const qint64 n = Integer(value, v);
            if (n < value.Min || n > value.Max)
                Refuse(value, QStringLiteral("must lie between %1 and %2 tenths of a percent").arg(value.Min).arg(value.Max));
            return QString::number(double(n) / 10, 'g', 17);
        }
        case TOptionKind::List: {
            const int count = int(qstrlen(value.Elements));
            if (!VarIsArray(v) || v.toList().size() != count)
                Refuse(value, QStringLiteral("must be a list of %1 values").arg(count));
            QJsonArray array;
            const QVariantList list = v.toList();
            for (int i = 0; i < count; ++i) {
                if (value.Elements[i] == 'S')
                    array.append(VarToStr(list[i]));
                else
                    array.append(qBound(qint64(INT_MIN), Integer(value, list[i]), qint64(INT_MAX)));
            }
            return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
        }
    }
    return QString();
}

}  // namespace

namespace optiongroup {

const TOptionGroup& Receiver()
{
    static const TOptionGroup group{
        {setting::ReceiverTcpIp, TOptionKind::Bool, true},
        {setting::ReceiverSerialPort, TOptionKind::PortSettings, DefaultPort()},
        {setting::ReceiverExchangeAddress, TOptionKind::String, QString()},
        {setting::ReceiverIsServer, TOptionKind::Bool, true},
        {setting::ReceiverPort, TOptionKind::Int, DefaultReceiverPort, 0, 65535},
        {setting::ReceiverConnections, TOptionKind::Int, DefaultReceiverConnections, 1, 32000},
        {setting::ReceiverPauseKb, TOptionKind::Int, DefaultReceiverPauseKb, 1, 1024},
        {setting::ReceiverResumeKb, TOptionKind::Int, DefaultReceiverResumeKb, 1, 1024},
        {setting::ReceiverPendingCalls, TOptionKind::Int, DefaultReceiverPendingCalls, 1, 32000},
        {setting::ReceiverPendingDelay, TOptionKind::Int, DefaultReceiverPendingDelay, 1, 32000},
        {setting::ReceiverRestartTimeout, TOptionKind::Int, DefaultReceiverRestartTimeout, 10, kSecondsPerYear},
    };
    return group;
}

const TOptionGroup& Archiving()
{
    static const TOptionGroup group{
        {setting::ArchiveAutomatic, TOptionKind::Bool, false},
        {setting::ArchivePeriodDays, TOptionKind::Days, 30.0},
        {setting::ArchiveKeepDays, TOptionKind::Days, 90.0},
        {setting::ArchiveNext, TOptionKind::Moment, QVariant()},
    };
    return group;
}

const TOptionGroup& Limits()
{
    static const TOptionGroup group{
        {setting::ControlProtocol, TOptionKind::Int16, protocol::AvayaDefinity, 0, 3},
        {setting::ExtensionCharging, TOptionKind::Int16, 1, 0, 2},
        {setting::PinCharging, TOptionKind::Int16, 1, 0, 1},
        {setting::ExtensionBlocking, TOptionKind::Bool, true},
        {setting::PinBlocking, TOptionKind::Bool, true},
        {setting::VatPercent, TOptionKind::VatTenths, DefaultVatPercent, 0, 30000},
    };
    return group;
}

const TOptionGroup& Definity()
{
    static const TOptionGroup group{
        {setting::DefinityPort, TOptionKind::PortSettings, DefaultPort()},
        {setting::DefinityStrings, TOptionKind::List,
         QVariantList{QString(), QString(), 0, 0}, 0, 0, "SSII"},
        {setting::DefinityDelays, TOptionKind::List, Ints({1000, 1000, 500}), 0, 0, "III"},
        {setting::DefinitySimulation, TOptionKind::Bool, false},
    };
    return group;
}

const TOptionGroup& HiPath()
{
    static const TOptionGroup group{
        {setting::HiPathAddress, TOptionKind::String, QString()},
        {setting::HiPathPort, TOptionKind::Int, 0, 0, 65535},
        {setting::HiPathStrings, TOptionKind::List, QVariantList{QString(), QString(), 0}, 0, 0, "SSI"},
        {setting::HiPathDelays, TOptionKind::List, Ints({1000, 1000, 500, 100}), 0, 0, "IIII"},
    };
    return group;
}

const TOptionGroup& Modem()
{
    static const TOptionGroup group{
        {setting::ModemPort, TOptionKind::PortSettings, DefaultPort()},
        {setting::ModemAnswers, TOptionKind::List, Strings(4), 0, 0, "SSSS"},
        {setting::ModemStrings, TOptionKind::List, Strings(4), 0, 0, "SSSS"},
        {setting::ModemDelays, TOptionKind::List, Ints({1000, 500, 1000, 1000}), 0, 0, "IIII"},
        {setting::ModemCommands, TOptionKind::List, Strings(4), 0, 0, "SSSS"},
    };
    return group;
}

const TOptionGroup& Direct()
{
    static const TOptionGroup group{
        {setting::DirectPort, TOptionKind::PortSettings, DefaultPort()},
        {setting::DirectDelays, TOptionKind::List, Ints({100, 100}), 0, 0, "II"},
        {setting::DirectCommands, TOptionKind::List, Strings(4), 0, 0, "SSSS"},
        {setting::DirectSharesReceiver, TOptionKind::Bool, true},
    };
    return group;
}

}  // namespace optiongroup

void GetOptionGroup(TDatabase& db, const TOptionGroup& group, QVariantList& args)
{
    TSettings settings(db);
    for (int i = 0; i < group.size() && i < args.size(); ++i)
        args[i] = Read(settings, group[i]);
}

void SetOptionGroup(TDatabase& db, const TOptionGroup& group, const QVariantList& args)
{
    QStringList texts;
    for (int i = 0; i < group.size(); ++i)
        texts << Checked(group[i], args.value(i));
    TTransaction tx(db);
    TSettings settings(db);
    for (int i = 0; i < group.size(); ++i)
        settings.SetString(group[i].Setting, texts[i]);
    tx.Commit();
}

QVariantList OptionList(TDatabase& db, const TOptionGroup& group, const char* setting)
{
    for (const TOptionValue& value : group)
        if (qstrcmp(value.Setting, setting) == 0) {
            bool ok = false;
            return ReadList(TSettings(db).String(setting), value, &ok);
        }
    return QVariantList();
}
