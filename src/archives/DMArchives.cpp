#include "archives/DMArchives.h"

#include "calls/CallFieldInfo.h"
#include "calls/Globals.h"
#include "core/Variants.h"
#include "shell/base/ClientLogs.h"

#include <QFileInfo>

namespace {

namespace id = dispid::ArchivesRDM;
constexpr int kFilterFields = 19;  // cfCallId to cfText

}  // namespace

TArchivesDM::TArchivesDM(TRemoteConnection& scArchives) : connection_(scArchives)
{
    cdsArchives.setObjectName(QStringLiteral("cdsArchives"));
    cdsArchives.SetRemoteServer(&connection_);
    cdsArchives.SetProviderName(QLatin1String(provider::ArchivesRDM::dspArchive));
    const auto add = [this](const char* name, TFieldType type, int size, const QString& label, bool readOnly,
                            int width = 0) {
        TField* f = cdsArchives.AddField(QLatin1String(name), type, size);
        f->SetDisplayLabel(label);
        f->SetReadOnly(readOnly);
        if (width > 0)
            f->SetDisplayWidth(width);
        return f;
    };
    add("ID", TFieldType::AutoInc, 0, QStringLiteral("No."), true, 4)->SetKey(true);
    add("CHECKSUM", TFieldType::String, 25, QStringLiteral("Checksum"), true)->SetVisible(false);
    add("PULSES", TFieldType::Largeint, 0, QStringLiteral("Total pulses"), false);
    add("CREATED", TFieldType::TimeStamp, 0, QStringLiteral("Created on"), true, 18);
    add("COMMENT", TFieldType::WideString, 100, QStringLiteral("Comment"), false, 30);
    add("IMPORTED", TFieldType::TimeStamp, 0, QStringLiteral("Imported on"), true, 18);
    add("FILE_SIZE", TFieldType::Largeint, 0, QStringLiteral("File size"), true);
    add("FILTERS", TFieldType::Memo, 0, QStringLiteral("Filters"), true);
    add("CALL_COUNT", TFieldType::Largeint, 0, QStringLiteral("Call count"), true);
    add("DURATION", TFieldType::Largeint, 0, QStringLiteral("Total duration"), true)
        ->SetOnGetText([](TField& f, bool) { return f.IsNull() ? QString() : FormatDuration(double(f.AsLargeInt())); });
    add("RAW_CHARGE", TFieldType::Currency, 0, QStringLiteral("Total raw charge"), true);
    add("VAT", TFieldType::Currency, 0, QStringLiteral("Total VAT"), true);
    TField* filters = cdsArchives.AddCalculatedField(QStringLiteral("clcFILTERS"), TFieldType::String, 10000);
    filters->SetVisible(false);
    add("CHARGE", TFieldType::Currency, 0, QStringLiteral("Total Charge"), false);
    cdsArchives.OnCalcFields = [](TRemoteDataSet& ds) {
        ds.FieldByName(QStringLiteral("clcFILTERS"))
            ->SetAsString(FiltersSummary(ds.FieldByName(QStringLiteral("FILTERS"))->AsString()));
    };
}

std::pair<TDateTime, TDateTime> TArchivesDM::ArchivePeriod(const QDate& from, const QDate& to)
{
    double first = DateTimeFromQDate(from), last = DateTimeFromQDate(to);
    OrderPair(first, last);
    return {first, last + 1};  // the later day is included
}

QString TArchivesDM::FiltersSummary(const QString& filters)
{
    const TStringArray lines = SplitText(QLatin1Char('\n'), filters);
    QString text;
    for (int k = 1; k <= kFilterFields && k <= lines.size(); ++k) {
        const QString& value = lines.at(k - 1);
        if (value.isEmpty())
            continue;
        const QString line = FieldInfo(TCallFieldId(k)).BuildSummary(value);
        if (!line.isEmpty())
            text += line + QStringLiteral("\r\n");
    }
    return text;
}

void TArchivesDM::Open()
{
    cdsArchives.Open();
}

void TArchivesDM::Refresh()
{
    cdsArchives.Close();
    cdsArchives.Open();
}

qint64 TArchivesDM::CurrentId() const
{
    if (!cdsArchives.Active() || cdsArchives.IsEmpty() || cdsArchives.State() == TDataSetState::Insert)
        return 0;
    const TField* id = cdsArchives.FieldByName(QStringLiteral("ID"));
    return id->IsNull() ? 0 : id->AsLargeInt();
}

void TArchivesDM::Create(const QString& comment, const QDate& from, const QDate& to) const
{
    const auto [first, end] = ArchivePeriod(from, to);
    connection_.AppServer().Call(id::CreateArchive,
                                 {comment.trimmed(), VarFromDateTime(first), VarFromDateTime(end)});
}

QString TArchivesDM::Refused(const QString& error) const
{
    if (!error.isEmpty())
        ClientLogs().GetLog(QStringLiteral("archives")).Add(error, 3);
    return error;
}

QString TArchivesDM::Import(qint64 archive) const
{
    const TRemoteModule rdm = connection_.AppServer();
    QString error;
    rdm.Call(id::CheckImport, {int(archive), TByRef(error)});
    if (!error.isEmpty())
        return Refused(error);
    rdm.Call(id::Import, {int(archive)});
    return QString();
}

QString TArchivesDM::ImportExternal(const QString& path) const
{
    const QString name = QFileInfo(path).fileName();
    const QByteArray bytes = LoadFileBytes(path);
    const TRemoteModule rdm = connection_.AppServer();
    rdm.Call(id::UploadExternalFile, {name, QFileInfo::exists(path) ? QVariant(bytes) : QVariant()});
    QString error;
    int archive = 0;
    rdm.Call(id::CheckExternalImport, {name, TByRef(error), TByRef(archive)});
    if (!error.isEmpty())
        return Refused(error);
    rdm.Call(id::ImportExternal, {archive, name});
    return QString();
}

void TArchivesDM::Clear(qint64 archive) const
{
    connection_.AppServer().Call(id::ClearImported, {int(archive)});
}

void TArchivesDM::ApplyNow()
{
    try {
        cdsArchives.ApplyUpdatesOrRaise(0);
    } catch (...) {
        cdsArchives.CancelUpdates();
        throw;
    }
}
