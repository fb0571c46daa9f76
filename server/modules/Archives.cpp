#include "server/modules/Archives.h"

#include "core/Variants.h"
#include "server/Database.h"
#include "server/OptionGroups.h"
#include "server/ServerContext.h"
#include "server/TableProvider.h"

namespace {

const TTableProvider& ArchiveTable()
{
    static const TTableProvider p = [] {
        const auto readOnly = [](const char* name, TFieldType type, int size = 0) {
            return ProviderField(name, type, size, false, true);
        };
        TTableProvider a = MakeTableProvider(
            provider::ArchivesRDM::dspArchive, "ARCHIVE",
            {IdField(), readOnly("CHECKSUM", TFieldType::String, 25),
             ProviderField("PULSES", TFieldType::Largeint), readOnly("CREATED", TFieldType::TimeStamp),
             ProviderField("COMMENT", TFieldType::WideString, 100),
             readOnly("IMPORTED", TFieldType::TimeStamp), readOnly("FILE_SIZE", TFieldType::Largeint),
             readOnly("FILTERS", TFieldType::Memo), readOnly("CALL_COUNT", TFieldType::Largeint),
             readOnly("DURATION", TFieldType::Largeint), readOnly("RAW_CHARGE", TFieldType::Currency),
             readOnly("VAT", TFieldType::Currency), ProviderField("CHARGE", TFieldType::Currency)},
            "ID");
        // Archives are made by the server from calls; an entry is only dropped once its
        // calls are back in the database, so no archive is lost with its entry.
        a.CanInsert = false;
        a.DeleteRefusal = [](TDatabase& db, const QVariantList& old) {
            const QVariant imported =
                db.Scalar(QStringLiteral("SELECT IMPORTED FROM ARCHIVE WHERE ID = ?"), {old.value(0)});
            return VarIsNull(imported)
                       ? QStringLiteral("Only the entry of an imported archive can be deleted.")
                       : QString();
        };
        return a;
    }();
    return p;
}

// The archive scheduler reads these settings when it plans the next archive.
QVariant GetArchivingOptions(TCallContext& c)
{
    GetOptionGroup(c.Server.Database(), optiongroup::Archiving(), c.Args);
    return QVariant();
}

QVariant SetArchivingOptions(TCallContext& c)
{
    SetOptionGroup(c.Server.Database(), optiongroup::Archiving(), c.Args);
    return QVariant();
}

}  // namespace

void RegisterArchivesModule(TCallTable& calls, TProviderTable& providers)
{
    const TModuleEntries archives(TModule::Archives, calls, providers);
    AddTableProvider(archives, level::Administrator, ArchiveTable());
    archives.Call(dispid::ArchivesRDM::SetArchivingOptions, level::Administrator, 4, SetArchivingOptions);
    archives.Call(dispid::ArchivesRDM::GetArchivingOptions, level::Administrator, 4, GetArchivingOptions);
}
