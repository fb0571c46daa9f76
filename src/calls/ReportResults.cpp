#include "calls/ReportResults.h"

#include "shell/base/ClientLogs.h"
#include "core/Errors.h"
#include "remote/RemoteDataSet.h"
#include "core/Variants.h"

#include <QCoreApplication>
#include <QSaveFile>

#include <cmath>
#include <optional>

namespace {

// Suspends a dataset's display updates for as long as it lives.
class TControlsDisabled {
public:
    explicit TControlsDisabled(TRemoteDataSet& dataSet) : dataSet_(dataSet) { dataSet_.DisableControls(); }
    ~TControlsDisabled() { dataSet_.EnableControls(); }
    TControlsDisabled(const TControlsDisabled&) = delete;
    TControlsDisabled& operator=(const TControlsDisabled&) = delete;

private:
    TRemoteDataSet& dataSet_;
};

// ---- special report --------------------------------------------------------------------------

// Drops special's columns and makes it an empty local table with the columns of result.
void RebuildLike(TRemoteDataSet& special, const TRemoteDataSet& result)
{
    special.Close();
    special.ClearFields();
    for (const TField* source : result.Fields()) {
        const TFieldType type = source->DataType();
        TField* copy =
            special.AddField(source->FieldName(), type, TField::IsStringType(type) ? source->Size() : 0);
        copy->AssignDisplayProperties(*source);
    }
    special.CreateDataSet();
}

TField* ColumnOf(const TRemoteDataSet& result, TCallFieldId id)
{
    return id == cfNone ? nullptr : result.FindField(FieldInfo(id).Name());
}

// Reads one row of the result without moving its cursor.
class TResultRows {
public:
    explicit TResultRows(TRemoteDataSet& result) : result_(result), fields_(result.Fields()) {}

    int Count() const { return result_.RecordCount(); }
    QString Text(int row, const TField& field) const
    {
        return TField::ValueText(field.DataType(), result_.ValueAt(row, field));
    }
    // Milliseconds since the epoch, so that equal instants compare equal after the overlap
    // is subtracted; nothing for a missing value.
    std::optional<qint64> Millis(int row, const TField& field) const
    {
        const QVariant v = result_.ValueAt(row, field);
        if (VarIsNull(v))
            return std::nullopt;
        return std::llround(VarToDateTime(v) * MSecsPerDay);
    }
    QVariantList Values(int row) const
    {
        QVariantList values;
        values.reserve(fields_.size());
        for (const TField* f : fields_)
            values.append(result_.ValueAt(row, *f));
        return values;
    }

private:
    TRemoteDataSet& result_;
    QList<TField*> fields_;
};

void AppendSeparator(TRemoteDataSet& special)
{
    special.Append();
    special.Post();
}

}  // namespace

void DressResultColumns(TRemoteDataSet& result)
{
    for (TField* field : result.Fields()) {
        const TCallFieldInfo& info = FieldInfo(FieldIdByName(field->FieldName()));
        const TCallFieldInfo::TGetTextHandler& handler = info.GetTextHandler();
        if (handler)
            field->SetOnGetText([&handler](TField& sender, bool) { return handler(sender.Value()); });
        else
            field->SetOnGetText({});
        field->SetDisplayWidth(info.DisplayWidth());
        field->SetDisplayLabel(info.Caption());
    }
}

void BuildSpecialReport(TRemoteDataSet& result, TRemoteDataSet& special, const TOverlapOptions& options)
{
    TControlsDisabled quiet(special);
    special.SetLogChanges(false);
    RebuildLike(special, result);

    const TField* equality = ColumnOf(result, options.EqualityField);
    if (!equality) {
        ClientLogs().Reports().Add(
            QCoreApplication::translate("TReportDM", "TReportDM: Null equality field."), 4);
        return;
    }
    const TField* inequality = ColumnOf(result, options.InequalityField);
    const TField& end = *result.FieldByName(FieldInfo(cfEndTime).Name());
    const TField& start = *result.FieldByName(FieldInfo(cfStartTime).Name());
    const qint64 overlapMillis = qint64(options.MinimumOverlap) * 1000;

    const TResultRows rows(result);
    for (int r = 0; r < rows.Count(); ++r) {
        const QString v = rows.Text(r, *equality);
        if (v.isEmpty() && !options.IncludeNull)
            continue;
        // A call without an end overlaps nothing.
        const std::optional<qint64> ended = rows.Millis(r, end);
        if (!ended)
            continue;
        const qint64 latestStart = *ended - overlapMillis;
        const QString w = inequality ? rows.Text(r, *inequality) : QString();
        bool found = false;
        for (int s = r + 1; s < rows.Count(); ++s) {
            if (rows.Text(s, *equality) != v)
                break;
            // Calls without a start sort first and cannot be shown to overlap.
            const std::optional<qint64> started = rows.Millis(s, start);
            if (!started)
                continue;
            if (*started > latestStart)
                break;
            if (inequality && rows.Text(s, *inequality) == w)
                continue;
            if (!found) {
                special.AppendRecord(rows.Values(r));
                found = true;
            }
            special.AppendRecord(rows.Values(s));
        }
        if (found)
            AppendSeparator(special);
    }
    special.First();
}

bool ExportTabText(TRemoteDataSet& dataSet, const QString& fileName, const TStringArray& titleLines)
{
    static const QString lineEnd = QStringLiteral("\r\n");
    // Written beside the target and put in its place only when complete, so that a failed
    // export never leaves half a file where an older one was.
    QSaveFile file(fileName);
    // Where the folder takes no new files but the file may be rewritten, write it directly.
    file.setDirectWriteFallback(true);
    QByteArray pending;
    const auto flush = [&file, &pending](qsizetype above) {
        if (pending.size() <= above)
            return;
        if (file.write(pending) != pending.size())
            throw EInOutError(file.errorString());
        pending.clear();
    };
    const auto writeLine = [&](const QString& line) {
        pending += line.toUtf8();
        pending += lineEnd.toLatin1();
        flush(1 << 20);
    };
    try {
        if (!file.open(QIODevice::WriteOnly))
            throw EInOutError(file.errorString());
        for (const QString& title : titleLines)
            writeLine(title);
        QList<TField*> columns;
        for (TField* field : dataSet.Fields())
            if (field->Visible())
                columns.append(field);
        if (!columns.isEmpty()) {
            TStringArray texts;
            for (const TField* field : columns)
                texts.append(field->DisplayLabel());
            writeLine(JoinTexts(QStringLiteral("\t"), texts));
            TControlsDisabled quiet(dataSet);
            for (int row = 0; row < dataSet.RecordCount(); ++row) {
                texts.clear();
                for (const TField* field : columns)
                    texts.append(dataSet.TextAt(row, *field));
                writeLine(JoinTexts(QStringLiteral("\t"), texts));
            }
        }
        flush(0);
        if (!file.commit())
            throw EInOutError(file.errorString());
        return true;
    } catch (const std::exception&) {
        file.cancelWriting();
        ClientLogs().Reports().Add(
            QCoreApplication::translate("TReportDM", "Export of TAB separated file failed."), 3, true);
        return false;
    }
}
