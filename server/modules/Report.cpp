#include "server/modules/Report.h"

#include "server/ClientConnection.h"
#include "server/Database.h"
#include "server/ServerContext.h"
#include "server/SqlValues.h"
#include "server/StatementSlot.h"
#include "server/modules/Archives.h"
#include "server/TableProvider.h"

namespace {

namespace id = dispid::ReportRDM;

// The catalogue providers of the extension and PIN selection: what each serves of the
// table the connection chose with ChooseCatalogTable.
enum class TCatalog { EPGroup, ExtPin, SimpleExtPin };

struct TReportState : TModuleState {
    TStatementSlot Statement{callback::ReportReady};
    QString Tables[3];  // by TCatalog; empty until chosen

    QString& Table(TCatalog catalog) { return Tables[static_cast<int>(catalog)]; }
    void Closing() override { Statement.Cancel(); }
};

TReportState& State(TClientConnection& client)
{
    return client.State<TReportState>();
}

const TTableProvider& ReportTable()
{
    static const TTableProvider p = MakeTableProvider(
        provider::ReportRDM::dspReport, "REPORT",
        {NameField(true), ProviderField("SETUP", TFieldType::Memo, 0, true),
         ProviderField("GRID", TFieldType::Memo, 0, true), ProviderField("SPECIAL", TFieldType::Memo)},
        "NAME");
    return p;
}

TFieldDef CatalogField(const char* name, TFieldType type, int size = 0)
{
    TFieldDef f;
    f.Name = QLatin1String(name);
    f.DataType = type;
    f.Size = size;
    f.ReadOnly = true;
    return f;
}

TDataSetResultPtr OpenCatalog(TProviderContext& c, TCatalog catalog)
{
    const QString& table = State(c.Client).Table(catalog);
    if (table.isEmpty())
        throw Exception(QStringLiteral("%1 has no table: choose one with %2 %3 first.")
                            .arg(c.Request.Provider, ModuleName(TModule::Report))
                            .arg(id::ChooseCatalogTable));
    QString sql;
    QList<TFieldDef> fields;
    switch (catalog) {
        case TCatalog::EPGroup:
            sql = QStringLiteral("SELECT ID, NAME FROM %1 ORDER BY NAME, ID").arg(table);
            fields = {CatalogField("ID", TFieldType::Integer),
                      CatalogField("NAME", TFieldType::WideString, 100)};
            fields[0].Key = true;
            break;
        case TCatalog::ExtPin:
            // A code without a limit plan reads as plan 0, the "Unlimited" group of the client.
            sql = QStringLiteral(
                      "SELECT CODE, NAME, PBX_ID, GROUP_ID, coalesce(LIMIT_PLAN_ID, 0) FROM %1 "
                      "ORDER BY PBX_ID, CODE")
                      .arg(table);
            fields = {CatalogField("CODE", TFieldType::String, 10),
                      CatalogField("NAME", TFieldType::WideString, 100),
                      CatalogField("PBX_ID", TFieldType::Integer),
                      CatalogField("GROUP_ID", TFieldType::Integer),
                      CatalogField("LIMIT_PLAN_ID", TFieldType::Integer)};
            break;
        case TCatalog::SimpleExtPin:
            sql = QStringLiteral(
                      "SELECT t.CODE, t.NAME, g.NAME, x.NAME FROM %1 t "
                      "JOIN GROUPS g ON t.GROUP_ID = g.ID JOIN PBX x ON t.PBX_ID = x.ID "
                      "ORDER BY x.NAME, t.CODE")
                      .arg(table);
            fields = {CatalogField("CODE", TFieldType::String, 10),
                      CatalogField("NAME", TFieldType::WideString, 100),
                      CatalogField("GROUP_NAME", TFieldType::WideString, 100),
                      CatalogField("PBX_NAME", TFieldType::WideString, 100)};
            break;
    }
    TStatement stmt = c.Server.Database().Prepare(sql);
    TRowsPacker packer;
    while (stmt.Step()) {
        QVariantList row;
        for (int i = 0; i < fields.size(); ++i)
            row << ColumnValueAs(stmt, i, fields.at(i).DataType);
        packer.Add(std::move(row));
    }
    packer.Finish();
    auto result = std::make_shared<TDataSetResult>();
    result->Fields = fields;
    result->Packets = packer.Packets();
    result->RowCount = packer.RowCount();
    return result;
}

QVariant RunStatement(TCallContext& c)
{
    State(c.Client).Statement.Run(c.Client, c.Server, c.String(0));
    return QVariant();
}

QVariant ChooseCatalogTable(TCallContext& c)
{
    const QString provider = c.String(0);
    const QString table = c.String(1);
    TCatalog catalog;
    QStringList tables;
    if (provider == QLatin1String(provider::ReportRDM::dspEPGroup)) {
        catalog = TCatalog::EPGroup;
        tables = {QStringLiteral("PBX"), QStringLiteral("GROUPS"), QStringLiteral("LIMIT_PLAN")};
    } else if (provider == QLatin1String(provider::ReportRDM::dspExtPin) ||
               provider == QLatin1String(provider::ReportRDM::dspSimpleModeExtPin)) {
        catalog = provider == QLatin1String(provider::ReportRDM::dspExtPin) ? TCatalog::ExtPin
                                                                            : TCatalog::SimpleExtPin;
        tables = {QStringLiteral("EXTENSION"), QStringLiteral("PIN_CODE")};
    } else {
        throw EOleSysError(QStringLiteral("Unknown provider \"%1\".").arg(provider), hr::DISP_E_UNKNOWNNAME_);
    }
    const qsizetype at = tables.indexOf(table.toUpper());
    if (at < 0)
        throw Exception(QStringLiteral("%1 cannot serve the table \"%2\"; it serves %3.")
                            .arg(provider, table, tables.join(QStringLiteral(", "))));
    State(c.Client).Table(catalog) = tables.at(at);
    return QVariant();
}

TOpenHandler Catalog(TCatalog catalog)
{
    return [catalog](TProviderContext& c) { return OpenCatalog(c, catalog); };
}

}  // namespace

void RegisterReportModule(TCallTable& calls, TProviderTable& providers)
{
    const TModuleEntries report(TModule::Report, calls, providers);
    report.Call(id::RunStatement, level::User, 1, RunStatement);
    report.Call(id::ChooseCatalogTable, level::User, 2, ChooseCatalogTable);
    report.Call(id::ArchiveCalls, level::Administrator, 4, ArchiveReportCalls);

    AddTableProvider(report, level::User, ReportTable());
    report.Provider(provider::ReportRDM::dspResult, level::User, [](TProviderContext& c) {
        return State(c.Client).Statement.Open(c.Request.Id, c.Request.Provider);
    });
    report.Provider(provider::ReportRDM::dspEPGroup, level::User, Catalog(TCatalog::EPGroup));
    report.Provider(provider::ReportRDM::dspExtPin, level::User, Catalog(TCatalog::ExtPin));
    report.Provider(provider::ReportRDM::dspSimpleModeExtPin, level::User, Catalog(TCatalog::SimpleExtPin));
}
