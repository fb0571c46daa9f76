#include "server/modules/Archives.h"

#include "calls/CallFieldInfo.h"
#include "core/Variants.h"
#include "server/Archiver.h"
#include "server/ClientConnection.h"
#include "server/Database.h"
#include "server/ReportSql.h"
#include "server/ServerContext.h"
#include "server/TableProvider.h"

namespace {

namespace id = dispid::ArchivesRDM;

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

// The file a client sent for an external import (309), until it is taken in (307).
struct TUploadState : TModuleState {
    QString FileName;
    QByteArray Bytes;
    bool Exists = false;
    bool Sent = false;
};

TDateTime DateTimeArg(const TCallContext& c, int index)
{
    const QVariant& v = c.Args.at(index);
    if (!VarIsDateTime(v) && !v.canConvert<double>())
        throw EOleSysError(QStringLiteral("Argument %1 is not a point in time.").arg(index + 1), hr::DISP_E_TYPEMISMATCH_);
    const TDateTime value = VarIsDateTime(v) ? VarToDateTime(v) : v.toDouble();
    if (!IsValidDateTime(value))
        throw Exception(QStringLiteral("Argument %1 is not a valid point in time.").arg(index + 1));
    return value;
}

double DoubleArg(const TCallContext& c, int index)
{
    bool ok = false;
    const double value = c.Args.at(index).toDouble(&ok);
    if (!ok)
        throw EOleSysError(QStringLiteral("Argument %1 is not a number.").arg(index + 1), hr::DISP_E_TYPEMISMATCH_);
    return value;
}

QString CheckedComment(const TCallContext& c, int index)
{
    const QString comment = c.String(index).trimmed();
    if (comment.isEmpty())
        throw Exception(QStringLiteral("An archive needs a comment."));
    if (comment.size() > 100)
        throw Exception(QStringLiteral("The comment of an archive has at most 100 characters."));
    return comment;
}

QString Created(const TArchiveResult& r)
{
    return QStringLiteral("Archive No. %1 \"%2\" created: %3 calls moved out of the database.")
        .arg(r.Id)
        .arg(r.Comment)
        .arg(r.Calls);
}

QString Imported(const TArchiveResult& r)
{
    return QStringLiteral("Archive No. %1 \"%2\" imported: %3 calls.").arg(r.Id).arg(r.Comment).arg(r.Calls);
}

void SubmitImport(TCallContext& c, qint64 archive)
{
    c.Server.Archiver().Submit(
        QStringLiteral("Importing archive..."), &c.Client,
        [archive](TArchiveStore& store) { return store.Import(archive); }, Imported);
}

QVariant CheckImport(TCallContext& c)
{
    c.Args[1] = c.Server.Archiver().Store().ImportError(c.Int(0));
    return QVariant();
}

QVariant Import(TCallContext& c)
{
    SubmitImport(c, c.Int(0));
    return QVariant();
}

QVariant ClearImported(TCallContext& c)
{
    const qint64 archive = c.Int(0);
    c.Server.Archiver().Submit(
        QStringLiteral("Clearing archive data..."), &c.Client,
        [archive](TArchiveStore& store) { return store.Clear(archive); },
        [](const TArchiveResult& r) {
            return QStringLiteral("Archive No. %1 \"%2\" cleared: %3 imported calls deleted.")
                .arg(r.Id)
                .arg(r.Comment)
                .arg(r.Calls);
        });
    return QVariant();
}

QVariant CreateArchive(TCallContext& c)
{
    const QString comment = CheckedComment(c, 0);
    TDateTime first = DateTimeArg(c, 1), end = DateTimeArg(c, 2);
    if (end < first)
        std::swap(first, end);
    const TCallSelection selection = PeriodSelection(first, end);
    c.Server.Archiver().Submit(
        QStringLiteral("Creating archive..."), &c.Client,
        [comment, selection](TArchiveStore& store) { return store.Create(comment, selection); }, Created);
    return QVariant();
}

QVariant SetArchivingOptions(TCallContext& c)
{
    TArchivingOptions o;
    o.Automatic = c.Bool(0);
    o.PeriodDays = DoubleArg(c, 1);
    o.KeepDays = DoubleArg(c, 2);
    o.Next = DateTimeArg(c, 3);
    c.Server.Archiver().SetOptions(o);
    return QVariant();
}

QVariant GetArchivingOptions(TCallContext& c)
{
    const TArchivingOptions o = c.Server.Archiver().Options();
    c.Args[0] = o.Automatic;
    c.Args[1] = o.PeriodDays;
    c.Args[2] = o.KeepDays;
    c.Args[3] = VarFromDateTime(o.Next);
    return QVariant();
}

QVariant UploadExternalFile(TCallContext& c)
{
    TUploadState& upload = c.Client.State<TUploadState>();
    upload.FileName = c.String(0);
    const QVariant& contents = c.Args.at(1);
    upload.Exists = !VarIsNull(contents);
    if (upload.Exists && contents.typeId() != QMetaType::QByteArray)
        throw EOleSysError(QStringLiteral("Argument 2 is not an array of bytes."), hr::DISP_E_TYPEMISMATCH_);
    upload.Bytes = contents.toByteArray();
    upload.Sent = true;
    return QVariant();
}

QVariant CheckExternalImport(TCallContext& c)
{
    TUploadState& upload = c.Client.State<TUploadState>();
    const QString fileName = c.String(0);
    c.Args[2] = 0;
    if (!upload.Sent || upload.FileName != fileName)
        c.Args[1] = QStringLiteral("The file \"%1\" has not been sent to the server.").arg(fileName);
    else if (!upload.Exists)
        c.Args[1] = QStringLiteral("The file \"%1\" does not exist.").arg(fileName);
    else {
        try {
            c.Args[2] = c.Server.Archiver().Store().AddExternal(fileName, upload.Bytes);
            c.Args[1] = QString();
        } catch (const Exception& e) {
            c.Args[1] = e.Message();
        }
    }
    upload = TUploadState();  // the bytes are in the archive folder or refused
    return QVariant();
}

QVariant ImportExternal(TCallContext& c)
{
    SubmitImport(c, c.Int(0));
    return QVariant();
}

}  // namespace

void RegisterArchivesModule(TCallTable& calls, TProviderTable& providers)
{
    const TModuleEntries archives(TModule::Archives, calls, providers);
    AddTableProvider(archives, level::Administrator, ArchiveTable());
    archives.Call(id::Import, level::Administrator, 1, Import);
    archives.Call(id::CheckImport, level::Administrator, 2, CheckImport);
    archives.Call(id::ClearImported, level::Administrator, 1, ClearImported);
    archives.Call(id::CreateArchive, level::Administrator, 3, CreateArchive);
    archives.Call(id::SetArchivingOptions, level::Administrator, 4, SetArchivingOptions);
    archives.Call(id::GetArchivingOptions, level::Administrator, 4, GetArchivingOptions);
    archives.Call(id::CheckExternalImport, level::Administrator, 3, CheckExternalImport);
    archives.Call(id::ImportExternal, level::Administrator, 2, ImportExternal);
    archives.Call(id::UploadExternalFile, level::Administrator, 2, UploadExternalFile);
}

QVariant ArchiveReportCalls(TCallContext& c)
{
    const QString comment = CheckedComment(c, 0);
    const QVariantList values = c.Args.at(1).toList();
    const QVariantList joins = c.Args.at(2).toList();
    QStringList filterValues;
    for (const QVariant& v : values)
        filterValues << VarToStr(v);
    QString joinText;
    for (int j = 0; j < JoinCount && j < joins.size(); ++j)
        if (joins.at(j).toBool())
            joinText += JoinClause(TJoinId(j));
    const TCallSelection selection = ConditionSelection(filterValues, joinText, c.String(3).split(QLatin1Char('|')));
    // The conditions are the client's SQL: the select they make must be one read-only
    // statement of the calls, as a report's must.
    c.Server.CheckReportSql(selection.ClientSql, TReadScope::Calls);
    c.Server.Archiver().Submit(
        QStringLiteral("Creating archive..."), &c.Client,
        [comment, selection](TArchiveStore& store) { return store.Create(comment, selection); }, Created);
    return QVariant();
}
