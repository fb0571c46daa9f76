#include "calls/ReportResults.h"

#include "shell/base/ClientLogs.h"
#include "core/Errors.h"
#include "remote/RecordStore.h"
#include "remote/RemoteDataSet.h"
#include "core/Variants.h"

#include <QCoreApplication>
#include <QSaveFile>

#include <cmath>
#include <optional>
#include <string_view>
#include <vector>

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

namespace {

// A text as UTF-8 at the end of out.
void AppendUtf8(QByteArray& out, const QString& text)
{
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char* p = out.data() + start;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            out.resize(start);
            out += text.toUtf8();
            return;
        }
        *p++ = static_cast<char>(c.unicode());
    }
}

bool IsAscii(std::string_view bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// How the texts of one column reach the file, chosen once per export: plain integers and
// texts straight from the dataset's store, everything else (get-text handlers, other
// types, rows being edited) as the field's text.
class TColumnText {
public:
    explicit TColumnText(const TField& field) : field_(field)
    {
        if (field.OnGetText() || field.FieldKind() != TFieldKind::Data)
            return;
        switch (field.DataType()) {
            case TFieldType::Smallint:
            case TFieldType::Integer:
            case TFieldType::AutoInc:
            case TFieldType::Largeint:
                way_ = TWay::Integer;
                break;
            case TFieldType::String:
            case TFieldType::WideString:
            case TFieldType::Memo:
            case TFieldType::WideMemo:
                way_ = TWay::Text;
                break;
            default:
                break;
        }
    }

    void Append(TRemoteDataSet& dataSet, int row, QByteArray& out) const
    {
        quint32 slot = 0;
        int column = 0;
        if (way_ != TWay::FieldText && dataSet.StoredAt(row, field_, slot, column)) {
            const TRecordStore& store = dataSet.Store();
            if (store.IsNull(slot, column))
                return;
            if (way_ == TWay::Integer && store.HoldsIntegers(column)) {
                out += QByteArray::number(store.IntegerValue(slot, column));
                return;
            }
            if (way_ == TWay::Text && store.HoldsBytes(column)) {
                const std::string_view bytes = store.BytesValue(slot, column);
                if (IsAscii(bytes))
                    out.append(bytes.data(), static_cast<qsizetype>(bytes.size()));
                else  // mended as the field's text would mend it
                    out += QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())).toUtf8();
                return;
            }
        }
        AppendUtf8(out, dataSet.TextAt(row, field_));
    }

private:
    enum class TWay : quint8 { FieldText, Integer, Text };
    const TField& field_;
    TWay way_ = TWay::FieldText;
};

}  // namespace

bool ExportTabText(TRemoteDataSet& dataSet, const QString& fileName, const TStringArray& titleLines)
{
    // Written beside the target and put in its place only when complete, so that a failed
    // export never leaves half a file where an older one was.
    QSaveFile file(fileName);
    // Where the folder takes no new files but the file may be rewritten, write it directly.
    file.setDirectWriteFallback(true);
    constexpr qsizetype kFlushAbove = 1 << 20;
    QByteArray pending;
    pending.reserve(kFlushAbove + 64 * 1024);
    const auto flush = [&file, &pending](qsizetype above) {
        if (pending.size() <= above)
            return;
        if (file.write(pending) != pending.size())
            throw EInOutError(file.errorString());
        pending.resize(0);
    };
    const auto endLine = [&] {
        pending += "\r\n";
        flush(kFlushAbove);
    };
    try {
        if (!file.open(QIODevice::WriteOnly))
            throw EInOutError(file.errorString());
        for (const QString& title : titleLines) {
            AppendUtf8(pending, title);
            endLine();
        }
        std::vector<TColumnText> columns;
        for (TField* field : dataSet.Fields()) {
            if (!field->Visible())
                continue;
            if (!columns.empty())
                pending += '\t';
            AppendUtf8(pending, field->DisplayLabel());
            columns.emplace_back(*field);
        }
        if (!columns.empty()) {
            endLine();
            TControlsDisabled quiet(dataSet);
            for (int row = 0; row < dataSet.RecordCount(); ++row) {
                for (size_t c = 0; c < columns.size(); ++c) {
                    if (c > 0)
                        pending += '\t';
                    columns[c].Append(dataSet, row, pending);
                }
                endLine();
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
