#include "server/modules/Admin.h"

#include "schema/CallString.h"
#include "server/ClientConnection.h"
#include "server/Database.h"
#include "server/EventLog.h"
#include "server/FilterClause.h"
#include "server/ServerContext.h"
#include "server/Settings.h"
#include "server/TableProvider.h"
#include "server/TariffRules.h"


namespace {

namespace id = dispid::AdminRDM;

struct TAdminState : TModuleState {
    // The data format checked last with CheckDataFormat, as it was sent; none when that
    // check failed.
    std::optional<QString> CheckedFormat;
    // The rows of dspExtension and dspPinCode (SetFilterClause); none: all rows.
    std::optional<TRowFilter> ExtensionFilter;
    std::optional<TRowFilter> PinCodeFilter;
};

TAdminState& State(TClientConnection& client)
{
    return client.State<TAdminState>();
}

// ---- providers -----------------------------------------------------------------------

// An integer column where 0 means "none", stored as null.
TProviderField LimitPlanIdField()
{
    TProviderField f = ProviderField("LIMIT_PLAN_ID", TFieldType::Integer);
    f.ZeroIsNull = true;
    return f;
}

QList<TProviderField> ExtPinFields(bool pinCode)
{
    QList<TProviderField> fields = {
        ProviderField("CODE", TFieldType::String, 10, true, false, true),
        NameField(),
        ProviderField("GROUP_ID", TFieldType::Integer, 0, true),
        ProviderField("PBX_ID", TFieldType::Integer, 0, true, false, true),
        LimitPlanIdField(),
        ProviderField("MONEY_LEFT", TFieldType::Float),
        ProviderField("NEXT_RESET", TFieldType::TimeStamp),
    };
    if (pinCode) {
        fields.append(ProviderField("COR", TFieldType::Smallint));
        fields.append(ProviderField("OLDCOR", TFieldType::Smallint));
    }
    fields.append(ArchiveIdField());
    return fields;
}

const TTableProvider& GroupsTable()
{
    static const TTableProvider p = MakeTableProvider(provider::AdminRDM::dspGroups, "GROUPS",
                                                      {IdField(), NameField(), ArchiveIdField()}, "ID");
    return p;
}

const TTableProvider& PbxTable()
{
    static const TTableProvider p = MakeTableProvider(provider::AdminRDM::dspPBX, "PBX",
                                                      {IdField(), NameField(), ArchiveIdField()}, "ID");
    return p;
}

const TTableProvider& LimitPlanTable()
{
    static const TTableProvider p = MakeTableProvider(
        provider::AdminRDM::dspLimitPlan, "LIMIT_PLAN",
        {IdField(), NameField(), ProviderField("MONEY_LIMIT", TFieldType::Currency, 0, true),
         ProviderField("RESET_INTERVAL", TFieldType::Integer), ArchiveIdField()},
        "ID");
    return p;
}

const TTableProvider& ExtensionTable()
{
    static const TTableProvider p =
        MakeTableProvider(provider::AdminRDM::dspExtension, "EXTENSION", ExtPinFields(false), "PBX_ID, CODE");
    return p;
}

const TTableProvider& PinCodeTable()
{
    static const TTableProvider p =
        MakeTableProvider(provider::AdminRDM::dspPinCode, "PIN_CODE", ExtPinFields(true), "PBX_ID, CODE");
    return p;
}

const TTableProvider& CallSchemaTable()
{
    static const TTableProvider p =
        MakeTableProvider(provider::AdminRDM::dspCallSchema, "CALL_SCHEMA",
                          {NameField(true), ProviderField("TEXT", TFieldType::String, 5000, true)}, "NAME");
    return p;
}

const TTableProvider& TariffRulesTable()
{
    static const TTableProvider p =
        MakeTableProvider(provider::AdminRDM::dspTariffRules, "TARIFF_RULES",
                          {NameField(true), ProviderField("TEXT", TFieldType::WideMemo)}, "NAME");
    return p;
}

// The rows the connection's filter clause lets through.
TOpenHandler OpenFiltered(const TTableProvider& table, std::optional<TRowFilter> TAdminState::*filter)
{
    return [&table, filter](TProviderContext& c) {
        return std::make_shared<const TDataSetResult>(
            table.Open(c.Server.Database(), State(c.Client).*filter));
    };
}

// ---- calls ---------------------------------------------------------------------------

QVariant DataFormatInUse(TCallContext& c)
{
    return QVariant(TSettings(c.Server.Database()).String(setting::SchemaInUse));
}

QVariant CheckDataFormat(TCallContext& c)
{
    const QString text = c.String(0);
    TCallString format;
    const bool valid = !text.isEmpty() && format.Parse(text);
    State(c.Client).CheckedFormat = valid ? std::optional<QString>(text) : std::nullopt;
    return QVariant(valid);
}

QVariant UseCheckedDataFormat(TCallContext& c)
{
    const std::optional<QString>& text = State(c.Client).CheckedFormat;
    if (!text)
        throw Exception(QStringLiteral("No valid data format has been checked (%1 %2) on this connection.")
                            .arg(ModuleName(TModule::Admin))
                            .arg(id::CheckDataFormat));
    // Kept as it was sent, so that the client finds its row by comparing the texts.
    TSettings(c.Server.Database()).SetString(setting::SchemaInUse, *text);
    c.Server.DataChanged();
    c.Server.Notice(
        category::Receiver, TSeverity::Information,
        QStringLiteral("Client %1 chose the data format in use: %2").arg(c.Client.Number()).arg(*text));
    return QVariant();
}

QVariant SetFilterClause(TCallContext& c)
{
    const QString query = c.String(0);
    const QString clause = c.String(1);
    std::optional<TRowFilter> TAdminState::*filter;
    if (query == QLatin1String(query::AdminRDM::qryExtension))
        filter = &TAdminState::ExtensionFilter;
    else if (query == QLatin1String(query::AdminRDM::qryPinCode))
        filter = &TAdminState::PinCodeFilter;
    else
        throw EOleSysError(QStringLiteral("Unknown query \"%1\".").arg(query), hr::DISP_E_UNKNOWNNAME_);
    if (!ParseFilterClause(clause, State(c.Client).*filter))
        throw Exception(QStringLiteral("The filter clause \"%1\" is refused: only \"where PBX_ID = n\", "
                                       "\"where GROUP_ID = n\" and \"where LIMIT_PLAN_ID = n\" are accepted.")
                            .arg(ShortQuote(clause)));
    return QVariant();
}

QVariant CheckTariffRules(TCallContext& c)
{
    QString error;
    const QString normal = NormaliseTariffRules(c.String(0), &error);
    if (normal.isEmpty())
        c.Client.Notify(callback::LogMessage,
                        {QStringLiteral("The tariff rules are not valid. %1").arg(error),
                         static_cast<int>(TSeverity::Warning)});
    return QVariant(normal);
}

QVariant PbxInUse(TCallContext& c)
{
    TDatabase& db = c.Server.Database();
    const int id = TSettings(db).Int(setting::PbxInUse, 0);
    // An exchange deleted since it was chosen is no longer in use.
    const bool exists = db.Scalar(QStringLiteral("SELECT count(*) FROM PBX WHERE ID = ?"), {id}).toInt() > 0;
    return QVariant(exists ? id : 0);
}

QVariant UsePbx(TCallContext& c)
{
    const int id = c.Int(0);
    TDatabase& db = c.Server.Database();
    const QVariant name = db.Scalar(QStringLiteral("SELECT NAME FROM PBX WHERE ID = ?"), {id});
    if (!name.isValid())
        throw Exception(QStringLiteral("There is no exchange with ID %1.").arg(id));
    TSettings(db).SetInt(setting::PbxInUse, id);
    c.Server.DataChanged();
    c.Server.Notice(category::Receiver, TSeverity::Information,
                    QStringLiteral("Client %1 chose the exchange in use: \"%2\" (ID %3)")
                        .arg(c.Client.Number())
                        .arg(name.toString())
                        .arg(id));
    return QVariant();
}

QVariant TariffRulesInUse(TCallContext& c)
{
    return QVariant(TariffRuleSetsInUse(c.Server.Database()).join(QStringLiteral(", ")));
}

}  // namespace

void RegisterAdminModule(TCallTable& calls, TProviderTable& providers)
{
    const TModuleEntries admin(TModule::Admin, calls, providers);
    admin.Call(id::DataFormatInUse, level::Locked, 0, DataFormatInUse);
    admin.Call(id::CheckDataFormat, level::Administrator, 1, CheckDataFormat);
    admin.Call(id::UseCheckedDataFormat, level::Administrator, 0, UseCheckedDataFormat);
    admin.Call(id::EmptyTariffRule, level::Administrator, 0,
               [](TCallContext&) { return QVariant(EmptyTariffRule()); });
    admin.Call(id::TariffRuleTemplate, level::Administrator, 0,
               [](TCallContext&) { return QVariant(TariffRuleTemplate()); });
    admin.Call(id::SetFilterClause, level::Administrator, 2, SetFilterClause);
    admin.Call(id::CheckTariffRules, level::Administrator, 1, CheckTariffRules);
    admin.Call(id::PbxInUse, level::Administrator, 0, PbxInUse);
    admin.Call(id::UsePbx, level::Administrator, 1, UsePbx);
    admin.Call(id::TariffRulesInUse, level::Locked, 0, TariffRulesInUse);

    const int administrator = level::Administrator;
    AddTableProvider(admin, administrator, GroupsTable());
    AddTableProvider(admin, administrator, PbxTable());
    AddTableProvider(admin, administrator, LimitPlanTable());
    AddTableProvider(admin, administrator, ExtensionTable(),
                     OpenFiltered(ExtensionTable(), &TAdminState::ExtensionFilter));
    AddTableProvider(admin, administrator, PinCodeTable(),
                     OpenFiltered(PinCodeTable(), &TAdminState::PinCodeFilter));
    AddTableProvider(admin, administrator, CallSchemaTable());
    AddTableProvider(admin, administrator, TariffRulesTable());
}
