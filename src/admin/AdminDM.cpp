#include "admin/AdminDM.h"

#include "remote/ServerInterface.h"

namespace {

namespace id = dispid::AdminRDM;

constexpr int kHiddenFromMenu = -1;
const QString kMarked = QStringLiteral("***");

TField* Declare(TRemoteDataSet& dataSet, const char* name, TFieldType type, int size, const QString& label,
                int displayWidth = 0)
{
    TField* f = dataSet.AddField(QLatin1String(name), type, size);
    if (!label.isEmpty())
        f->SetDisplayLabel(label);
    if (displayWidth > 0)
        f->SetDisplayWidth(displayWidth);
    return f;
}

TField* Hidden(TField* f)
{
    f->SetVisible(false);
    return f;
}

TField* Required(TField* f)
{
    f->SetRequired(true);
    return f;
}

// The auto-increment ID of the ID tables: the key, filled by the server.
void DeclareId(TRemoteDataSet& dataSet)
{
    TField* f = Hidden(Declare(dataSet, "ID", TFieldType::AutoInc, 0, {}));
    f->SetKey(true);
    f->SetReadOnly(true);
    f->SetTag(kHiddenFromMenu);
}

void DeclareArchiveId(TRemoteDataSet& dataSet)
{
    Declare(dataSet, "ARCHIVE_ID", TFieldType::Integer, 0, TAdminDM::tr("Archive"), 4);
}

void DeclareActiveMark(TRemoteDataSet& dataSet, std::function<bool(TRemoteDataSet&)> active)
{
    TField* mark = dataSet.AddCalculatedField(QStringLiteral("ClcActive"), TFieldType::String, 3);
    mark->SetDisplayLabel(TAdminDM::tr("Active"));
    dataSet.OnCalcFields = [mark, active = std::move(active)](TRemoteDataSet& ds) {
        mark->SetValue(active(ds) ? QVariant(kMarked) : QVariant());
    };
}

TField* DeclareLookup(TRemoteDataSet& dataSet, const char* name, const QString& label, TRemoteDataSet* source,
                      const char* keyField)
{
    TField* f = dataSet.AddLookupField(QLatin1String(name), TFieldType::WideString, 100, source,
                                       QLatin1String(keyField), QStringLiteral("ID"), QStringLiteral("NAME"));
    f->SetDisplayLabel(label);
    f->SetDisplayWidth(20);
    return f;
}

void Name(TRemoteDataSet& dataSet, const char* objectName, const char* provider)
{
    dataSet.setObjectName(QLatin1String(objectName));
    dataSet.SetProviderName(QLatin1String(provider));
}

}  // namespace

TAdminDM::TAdminDM(TRemoteConnection& adminConnection, TRemoteModule mainRDM, TRemoteModule commandsRDM,
                   QObject* parent)
    : QObject(parent), admin_(adminConnection), mainRDM_(mainRDM), commandsRDM_(commandsRDM)
{
    resetIntervals_ = {{tr("1 minute test"), 60},
                       {tr("5 minute test"), 300},
                       {tr("1 day"), 86400},
                       {tr("1 week"), 604800},
                       {tr("1 month"), -1}};
    DeclareFields();
    SetLiveData(false);
    try {
        for (TRemoteDataSet* ds : {&cdsGroups, &cdsPbx, &cdsLimitPlan, &cdsExtension, &cdsPinCode, &cdsCallSchema,
                                   &cdsTariffRules})
            OpenDataSet(*ds);
    } catch (...) {
        SetLiveData(true);
        throw;
    }
    SetLiveData(true);
}

TAdminDM::~TAdminDM()
{
    // The code lists look up in the first three: they close first.
    for (TRemoteDataSet* ds : {&cdsTariffRules, &cdsCallSchema, &cdsPinCode, &cdsExtension, &cdsLimitPlan, &cdsPbx,
                               &cdsGroups})
        ds->Close();
}

void TAdminDM::DeclareFields()
{
    for (TRemoteDataSet* ds : {&cdsGroups, &cdsPbx, &cdsLimitPlan, &cdsExtension, &cdsPinCode, &cdsCallSchema,
                               &cdsTariffRules})
        ds->SetRemoteServer(&admin_);

    Name(cdsGroups, "cdsGroups", provider::AdminRDM::dspGroups);
    DeclareId(cdsGroups);
    Required(Declare(cdsGroups, "NAME", TFieldType::WideString, 100, tr("Group name"), 50));
    DeclareArchiveId(cdsGroups);

    Name(cdsPbx, "cdsPbx", provider::AdminRDM::dspPBX);
    DeclareId(cdsPbx);
    Required(Declare(cdsPbx, "NAME", TFieldType::WideString, 100, tr("PBX name"), 50));
    DeclareArchiveId(cdsPbx);
    DeclareActiveMark(cdsPbx, [this](TRemoteDataSet& ds) {
        const TField* id = ds.FieldByName(QStringLiteral("ID"));
        return !id->IsNull() && id->AsInteger() == activePbxId_;
    });

    Name(cdsLimitPlan, "cdsLimitPlan", provider::AdminRDM::dspLimitPlan);
    DeclareId(cdsLimitPlan);
    Required(Declare(cdsLimitPlan, "NAME", TFieldType::WideString, 100, tr("Name"), 50));
    Hidden(Required(Declare(cdsLimitPlan, "MONEY_LIMIT", TFieldType::Currency, 0, tr("Money limit"))));
    TField* interval = Hidden(Declare(cdsLimitPlan, "RESET_INTERVAL", TFieldType::Integer, 0, tr("Period in days")));
    interval->SetOnGetText([this](TField& f, bool) { return ResetIntervalText(f.Value()); });
    interval->SetOnSetText([this](TField& f, const QString& text) { f.SetValue(ResetIntervalValue(text)); });
    DeclareArchiveId(cdsLimitPlan);

    Name(cdsExtension, "cdsExtension", provider::AdminRDM::dspExtension);
    DeclareExtPin(cdsExtension, false);
    Name(cdsPinCode, "cdsPinCode", provider::AdminRDM::dspPinCode);
    DeclareExtPin(cdsPinCode, true);

    Name(cdsCallSchema, "cdsCallSchema", provider::AdminRDM::dspCallSchema);
    Required(Declare(cdsCallSchema, "NAME", TFieldType::WideString, 100, tr("Format name"), 50))->SetKey(true);
    Hidden(Required(Declare(cdsCallSchema, "TEXT", TFieldType::String, 5000, tr("Format"), 50)));
    DeclareActiveMark(cdsCallSchema, [this](TRemoteDataSet& ds) {
        return ds.FieldByName(QStringLiteral("TEXT"))->AsString() == activeSchemaText_;
    });

    Name(cdsTariffRules, "cdsTariffRules", provider::AdminRDM::dspTariffRules);
    Required(Declare(cdsTariffRules, "NAME", TFieldType::WideString, 100, tr("Traiff name"), 50))->SetKey(true);
    // The rules are read in the tab's memo; a grid cell would show only their first words.
    Hidden(Declare(cdsTariffRules, "TEXT", TFieldType::WideMemo, 0, {}));
}

void TAdminDM::DeclareExtPin(TRemoteDataSet& ds, bool pinCode)
{
    TField* code = Required(Declare(ds, "CODE", TFieldType::String, 10, pinCode ? tr("PIN code") : tr("Number")));
    code->SetKey(true);
    Required(Declare(ds, "NAME", TFieldType::WideString, 100, pinCode ? tr("PIN owner") : tr("Name"), 24));
    Hidden(Required(Declare(ds, "GROUP_ID", TFieldType::Integer, 0, {})))->SetTag(kHiddenFromMenu);
    DeclareLookup(ds, "lkpGroupName", tr("Group"), &cdsGroups, "GROUP_ID");
    TField* pbx = Hidden(Required(Declare(ds, "PBX_ID", TFieldType::Integer, 0, {})));
    pbx->SetKey(true);
    pbx->SetTag(kHiddenFromMenu);
    DeclareLookup(ds, "lkpPBX", tr("PBX"), &cdsPbx, "PBX_ID");
    Hidden(Declare(ds, "LIMIT_PLAN_ID", TFieldType::Integer, 0, {}))->SetTag(kHiddenFromMenu);
    DeclareLookup(ds, "lkpLimitPlan", tr("Limit Plan"), &cdsLimitPlan, "LIMIT_PLAN_ID");
    Declare(ds, "MONEY_LEFT", TFieldType::Float, 0, tr("Money left"))->SetAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Declare(ds, "NEXT_RESET", TFieldType::TimeStamp, 0, tr("Next reset"), 20);
    if (pinCode) {
        Declare(ds, "COR", TFieldType::Smallint, 0, tr("COR/List"));
        Declare(ds, "OLDCOR", TFieldType::Smallint, 0, tr("Old COR/List"));
    }
    DeclareArchiveId(ds);
    ds.OnNewRecord = [this](TRemoteDataSet& d) { SetNewCodeDefaults(d); };
}

// Whatever exchange and group the window's lists have selected; 0 from an empty list,
// which is a value, so the required check passes and the server names the missing row.
void TAdminDM::SetNewCodeDefaults(TRemoteDataSet& ds)
{
    auto currentId = [](TRemoteDataSet& source) {
        return source.Active() && !source.IsEmpty() ? source.FieldByName(QStringLiteral("ID"))->AsInteger() : 0;
    };
    ds.FieldByName(QStringLiteral("PBX_ID"))->SetAsInteger(currentId(cdsPbx));
    ds.FieldByName(QStringLiteral("GROUP_ID"))->SetAsInteger(currentId(cdsGroups));
}

TRemoteModule TAdminDM::Admin() const
{
    return admin_.AppServer();
}

void TAdminDM::OpenDataSet(TRemoteDataSet& ds)
{
    if (&ds == &cdsCallSchema)
        activeSchemaText_ = Admin().Call(id::DataFormatInUse).toString();
    else if (&ds == &cdsPbx)
        activePbxId_ = Admin().Call(id::PbxInUse).toInt();
    ds.Open();
}

QString TAdminDM::ResetIntervalText(const QVariant& value) const
{
    bool isNumber = false;
    const int seconds = value.isValid() ? value.toInt(&isNumber) : 0;
    for (const TResetInterval& r : resetIntervals_)
        if (isNumber && r.Value == seconds)
            return r.Text;
    return resetIntervals_.last().Text;
}

int TAdminDM::ResetIntervalValue(const QString& text) const
{
    for (const TResetInterval& r : resetIntervals_)
        if (r.Text.compare(text.trimmed(), Qt::CaseInsensitive) == 0)
            return r.Value;
    return -1;
}

void TAdminDM::SetLiveData(bool enabled) const
{
    mainRDM_.Call(dispid::MainRDM::SetLiveData, {enabled});
}

void TAdminDM::Reload(TRemoteDataSet& ds)
{
    const bool byCode = &ds == &cdsExtension || &ds == &cdsPinCode;
    const bool byName = &ds == &cdsCallSchema || &ds == &cdsTariffRules;
    const QString keys = byCode ? QStringLiteral("PBX_ID;CODE") : byName ? QStringLiteral("NAME") : QStringLiteral("ID");
    QVariantList kept;
    if (ds.Active() && !ds.IsEmpty())
        for (const QString& key : keys.split(QLatin1Char(';')))
            kept << ds.FieldByName(key)->Value();
    ds.DisableControls();
    try {
        ds.Close();
        OpenDataSet(ds);
        if (!kept.isEmpty())
            ds.Locate(keys, kept);
    } catch (...) {
        ds.EnableControls();
        throw;
    }
    ds.EnableControls();
}

QString TAdminDM::FilterClause(TFilterBy by, int id)
{
    switch (by) {
        case TFilterBy::Pbx:
            return QStringLiteral("where PBX_ID = %1").arg(id);
        case TFilterBy::Group:
            return QStringLiteral("where GROUP_ID = %1").arg(id);
        case TFilterBy::LimitPlan:
            return QStringLiteral("where LIMIT_PLAN_ID = %1").arg(id);
        case TFilterBy::All:
            break;
    }
    return QString();
}

void TAdminDM::SetFilter(TCodeList list, TFilterBy by, int id)
{
    const bool pins = list == TCodeList::PinCodes;
    Admin().Call(id::SetFilterClause,
                 {QString::fromLatin1(pins ? query::AdminRDM::qryPinCode : query::AdminRDM::qryExtension),
                  FilterClause(by, id)});
    Reload(pins ? cdsPinCode : cdsExtension);
}

namespace {

QVariantList CodeOf(const TRemoteDataSet& ds)
{
    return {ds.FieldByName(QStringLiteral("PBX_ID"))->AsInteger(), ds.FieldByName(QStringLiteral("CODE"))->AsString()};
}

}  // namespace

void TAdminDM::BlockExtension() const
{
    const QVariantList code = CodeOf(cdsExtension);
    Admin().Call(id::BlockExtension, {code.at(0), code.at(1)});
}

void TAdminDM::UnblockExtension() const
{
    const QVariantList code = CodeOf(cdsExtension);
    Admin().Call(id::UnblockExtension, {code.at(0), code.at(1)});
}

void TAdminDM::BlockPinCode(bool eraseList) const
{
    const QVariantList code = CodeOf(cdsPinCode);
    Admin().Call(id::BlockPinCode, {code.at(0), code.at(1), eraseList});
}

void TAdminDM::UnblockPinCode() const
{
    const QVariantList code = CodeOf(cdsPinCode);
    Admin().Call(id::UnblockPinCode, {code.at(0), code.at(1)});
}

bool TAdminDM::PinBlockingErasesLists() const
{
    constexpr int kSiemensHiPath = 1;
    return commandsRDM_.Call(dispid::CommandsRDM::ControlProtocol).toInt() == kSiemensHiPath;
}

void TAdminDM::ExtPinSaved() const
{
    Admin().Call(id::ExtPinSaved);
}

void TAdminDM::UseSelectedPbx()
{
    Admin().Call(id::UsePbx, {cdsPbx.FieldByName(QStringLiteral("ID"))->AsInteger()});
    Reload(cdsPbx);
}

bool TAdminDM::UseSelectedSchema()
{
    const QString text = cdsCallSchema.FieldByName(QStringLiteral("TEXT"))->AsString();
    if (!Admin().Call(id::CheckDataFormat, {text}).toBool())
        return false;
    Admin().Call(id::UseCheckedDataFormat);
    Reload(cdsCallSchema);
    return true;
}

QString TAdminDM::EmptyTariffRule() const
{
    return Admin().Call(id::EmptyTariffRule).toString();
}

QString TAdminDM::TariffRuleTemplate() const
{
    return Admin().Call(id::TariffRuleTemplate).toString();
}

QString TAdminDM::CheckTariffRules(const QString& rules) const
{
    return Admin().Call(id::CheckTariffRules, {rules}).toString();
}
