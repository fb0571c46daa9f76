#include "options/DMOptions.h"

#include "calls/CallFieldInfo.h"
#include "remote/ServerInterface.h"
#include "shell/base/IniFiles32.h"

namespace {

struct TGroupCalls {
    int Set;
    int Get;
    int Count;
};

const QString kReport = QStringLiteral("Report");

TGroupCalls CallsOf(TOptionsDM::TGroup group)
{
    namespace c = dispid::CommandsRDM;
    switch (group) {
        case TOptionsDM::TGroup::Receiver:
            return {dispid::ReceiverRDM::SetReceiverOptions, dispid::ReceiverRDM::GetReceiverOptions, 11};
        case TOptionsDM::TGroup::Archiving:
            return {dispid::ArchivesRDM::SetArchivingOptions, dispid::ArchivesRDM::GetArchivingOptions, 4};
        case TOptionsDM::TGroup::Limits:
            return {c::SetLimitsOptions, c::GetLimitsOptions, 6};
        case TOptionsDM::TGroup::Definity:
            return {c::SetDefinityOptions, c::GetDefinityOptions, 4};
        case TOptionsDM::TGroup::HiPath:
            return {c::SetHiPathOptions, c::GetHiPathOptions, 4};
        case TOptionsDM::TGroup::Modem:
            return {c::SetModemOptions, c::GetModemOptions, 5};
        case TOptionsDM::TGroup::Direct:
            return {c::SetDirectOptions, c::GetDirectOptions, 4};
    }
    return {};
}

}  // namespace

TOptionsDM::TOptionsDM(TRemoteModule mainRDM, TRemoteModule receiverRDM, TRemoteModule archivesRDM,
                       TRemoteModule commandsRDM)
    : main_(mainRDM), receiver_(receiverRDM), archives_(archivesRDM), commands_(commandsRDM)
{
}

const TRemoteModule& TOptionsDM::ModuleOf(TGroup group) const
{
    return group == TGroup::Receiver ? receiver_ : group == TGroup::Archiving ? archives_ : commands_;
}

QVariantList TOptionsDM::Fetch(TGroup group) const
{
    const TGroupCalls calls = CallsOf(group);
    const TRemoteModule& module = ModuleOf(group);
    QVariantList values(calls.Count);
    QList<TCallArg> args;
    for (QVariant& value : values)
        args << TByRef(value);
    module.Call(calls.Get, args);
    return values;
}

void TOptionsDM::Send(TGroup group, const QVariantList& values) const
{
    const TGroupCalls calls = CallsOf(group);
    const TRemoteModule& module = ModuleOf(group);
    QList<TCallArg> args;
    for (const QVariant& value : values)
        args << value;
    module.Call(calls.Set, args);
}

int TOptionsDM::ServerLanguage() const
{
    return main_.Call(dispid::MainRDM::GetLanguage).toInt() != 0 ? 1 : 0;
}

void TOptionsDM::SetServerLanguage(int language) const
{
    main_.Call(dispid::MainRDM::SetLanguage, {language});
}

TOptionsDM::TReportSettings TOptionsDM::LoadReportSettings()
{
    const TIniFile32& file = SettingsFile();
    TReportSettings s;
    s.DateTimeFormat = file.ReadString(kReport, QStringLiteral("date_time_format"), QString());
    s.DurationFormat = file.ReadString(kReport, QStringLiteral("duration_format"), QString());
    s.AutoRefresh = file.ReadInteger(kReport, QStringLiteral("auto_refresh"), 3);
    SetReportFormats(s.DateTimeFormat, s.DurationFormat);
    return s;
}

void TOptionsDM::SaveReportSettings(const TReportSettings& s)
{
    SetReportFormats(s.DateTimeFormat, s.DurationFormat);
    TIniFile32& file = SettingsFile();
    file.WriteString(kReport, QStringLiteral("date_time_format"), s.DateTimeFormat);
    file.WriteString(kReport, QStringLiteral("duration_format"), s.DurationFormat);
    file.WriteInteger(kReport, QStringLiteral("auto_refresh"), s.AutoRefresh);
}
