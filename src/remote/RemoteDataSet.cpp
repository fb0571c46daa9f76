#include "remote/RemoteDataSet.h"

#include "core/Errors.h"
#include "core/Variants.h"
#include "remote/Connections.h"
#include "remote/DataSetReader.h"

#include <QCoreApplication>

#include <algorithm>
#include <numeric>

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("TRemoteDataSet", text);
}

enum class TTypeGroup { Number, Date, Text };

TTypeGroup GroupOf(TFieldType type)
{
    switch (type) {
        case TFieldType::DateTime:
        case TFieldType::TimeStamp:
            return TTypeGroup::Date;
        case TFieldType::String:
        case TFieldType::WideString:
        case TFieldType::Memo:
        case TFieldType::WideMemo:
        case TFieldType::Blob:
            return TTypeGroup::Text;
        default:
            return TTypeGroup::Number;
    }
}

}  // namespace

// Sends field reads and writes to one record for as long as it lives.
class TRemoteDataSet::TContextScope {
public:
    TContextScope(TRemoteDataSet& dataSet, TContext context) : dataSet_(dataSet), saved_(dataSet.context_)
    {
        dataSet_.context_ = context;
    }
    ~TContextScope() { dataSet_.context_ = saved_; }
    TContextScope(const TContextScope&) = delete;
    TContextScope& operator=(const TContextScope&) = delete;

private:
    TRemoteDataSet& dataSet_;
    TContext saved_;
};

TRemoteDataSet::TRemoteDataSet(QObject* parent) : QObject(parent) {}

TRemoteDataSet::~TRemoteDataSet() = default;

QString TRemoteDataSet::Name() const
{
    return objectName().isEmpty() ? QStringLiteral("TRemoteDataSet") : objectName();
}

void TRemoteDataSet::Fail(const QString& message, int code) const
{
    throw EDatabaseError(message, code);
}

void TRemoteDataSet::CheckInactive(const char* operation) const
{
    if (Active())
        Fail(Tr("%1: Cannot perform this operation on an open dataset (%2).")
                 .arg(Name(), QLatin1String(operation)));
}

void TRemoteDataSet::CheckActive() const
{
    if (!Active())
        Fail(Tr("%1: Cannot perform this operation on a closed dataset.").arg(Name()));
}

void TRemoteDataSet::CheckEditing() const
{
    if (state_ != TDataSetState::Edit && state_ != TDataSetState::Insert)
        Fail(Tr("%1: Dataset not in edit or insert mode.").arg(Name()));
}

// ---- fields ------------------------------------------------------------------------------

TField* TRemoteDataSet::NewField(const QString& name, TFieldType type, int size, TFieldKind kind,
                                 bool persistent)
{
    for (const auto& f : fields_)
        if (f->name_.compare(name, Qt::CaseInsensitive) == 0)
            Fail(Tr("%1: Duplicate field name '%2'.").arg(Name(), name));
    fields_.push_back(std::unique_ptr<TField>(new TField(this, name, type, size, kind, persistent)));
    return fields_.back().get();
}

TField* TRemoteDataSet::AddField(const QString& name, TFieldType type, int size)
{
    CheckInactive("AddField");
    return NewField(name, type, size, TFieldKind::Data, true);
}

TField* TRemoteDataSet::AddCalculatedField(const QString& name, TFieldType type, int size)
{
    CheckInactive("AddCalculatedField");
    return NewField(name, type, size, TFieldKind::Calculated, true);
}

TField* TRemoteDataSet::AddLookupField(const QString& name, TFieldType type, int size,
                                       TRemoteDataSet* lookupDataSet, const QString& keyFields,
                                       const QString& lookupKeyFields, const QString& resultField)
{
    CheckInactive("AddLookupField");
    TField* field = NewField(name, type, size, TFieldKind::Lookup, true);
    field->lookupDataSet_ = lookupDataSet;
    field->keyFields_ = keyFields;
    field->lookupKeyFields_ = lookupKeyFields;
    field->lookupResultField_ = resultField;
    field->readOnly_ = true;
    return field;
}

void TRemoteDataSet::ClearFields()
{
    CheckInactive("ClearFields");
    fields_.clear();
    dataFields_.clear();
    calcColumns_ = 0;
}

QList<TField*> TRemoteDataSet::Fields() const
{
    QList<TField*> out;
    out.reserve(FieldCount());
    for (const auto& f : fields_)
        out.append(f.get());
    return out;
}

TField* TRemoteDataSet::FindField(const QString& name) const
{
    for (const auto& f : fields_)
        if (f->name_.compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

TField* TRemoteDataSet::FieldByName(const QString& name) const
{
    if (TField* f = FindField(name))
        return f;
    Fail(Tr("%1: Field '%2' not found.").arg(Name(), name));
}

QList<TField*> TRemoteDataSet::FieldList(const QString& names) const
{
    QList<TField*> out;
    for (const QString& name : names.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        out.append(FieldByName(name.trimmed()));
    return out;
}

void TRemoteDataSet::MoveField(TField* field, int index)
{
    const auto it =
        std::find_if(fields_.begin(), fields_.end(), [field](const auto& f) { return f.get() == field; });
    if (it == fields_.end())
        return;
    const int from = static_cast<int>(it - fields_.begin());
    const int to = std::clamp(index, 0, FieldCount() - 1);
    if (from == to)
        return;
    std::unique_ptr<TField> moved = std::move(*it);
    fields_.erase(it);
    fields_.insert(fields_.begin() + to, std::move(moved));
    FieldLayoutChanged();
}

void TRemoteDataSet::FieldPropertiesChanged(const TField& field)
{
    if (!Active())
        return;
    if (Quiet()) {
        resetPending_ = true;
        return;
    }
    Q_EMIT FieldChanged(field.Index());
}

void TRemoteDataSet::FieldLayoutChanged()
{
    if (!Active())
        return;
    NotifyReset();
}

// ---- opening and closing -------------------------------------------------------------------

TRemoteModule TRemoteDataSet::Module() const
{
    if (!remoteServer_ || providerName_.isEmpty())
        Fail(Tr("%1: Missing data provider or data packet.").arg(Name()));
    return remoteServer_->AppServer();
}

void TRemoteDataSet::SetActive(bool active)
{
    if (active)
        Open();
    else
        Close();
}

void TRemoteDataSet::PrepareStore()
{
    QList<TFieldType> types;
    for (TField* f : dataFields_) {
        f->storeColumn_ = static_cast<int>(types.size());
        types.append(f->type_);
    }
    calcColumns_ = 0;
    for (const auto& f : fields_)
        if (f->kind_ == TFieldKind::Calculated) {
            f->storeColumn_ = static_cast<int>(types.size());
            types.append(f->type_);
            ++calcColumns_;
        }
    store_.Reset(types);
    rows_.clear();
    calcValid_.clear();
}

// The provider's columns meet the declared fields of the same name; the others become
// dynamic fields.
QStringList TRemoteDataSet::BindTransferFields(const QList<TFieldDef>& defs)
{
    for (const auto& f : fields_)
        f->wireIndex_ = -1;
    dataFields_.clear();
    for (int i = 0; i < defs.size(); ++i) {
        const TFieldDef& def = defs[i];
        TField* field = nullptr;
        for (const auto& f : fields_)
            if (f->kind_ == TFieldKind::Data && f->persistent_ && f->wireIndex_ < 0 &&
                f->name_.compare(def.Name, Qt::CaseInsensitive) == 0)
                field = f.get();
        if (field) {
            if (GroupOf(field->type_) != GroupOf(def.DataType))
                Fail(
                    Tr("%1: Type mismatch for field '%2', expecting: %3 actual: %4.")
                        .arg(Name(), field->name_, FieldTypeName(field->type_), FieldTypeName(def.DataType)));
            field->type_ = def.DataType;
            field->size_ = def.Size;
        } else {
            field = NewField(def.Name, def.DataType, def.Size, TFieldKind::Data, false);
        }
        field->required_ = field->required_ || def.Required;
        field->readOnly_ = field->readOnly_ || def.ReadOnly;
        field->key_ = field->key_ || def.Key;
        field->wireIndex_ = i;
        dataFields_.push_back(field);
    }
    for (const auto& f : fields_)
        if (f->kind_ == TFieldKind::Data && f->wireIndex_ < 0)
            Fail(Tr("%1: Field '%2' not found.").arg(Name(), f->name_));
    PrepareStore();
    QStringList names;
    for (const TField* f : dataFields_)
        names.append(f->name_);
    return names;
}

void TRemoteDataSet::Open()
{
    if (Active())
        return;
    const TRemoteModule module = Module();
    if (!Quiet())
        Q_EMIT AboutToReset();
    local_ = false;
    TDataSetReader reader(store_, Name(),
                          [this](const QList<TFieldDef>& defs) { return BindTransferFields(defs); });
    try {
        module.OpenProvider(providerName_, params_, reader);
    } catch (...) {
        // Leave the dataset closed and as it was before the attempt.
        std::erase_if(fields_, [](const auto& f) { return !f->persistent_; });
        dataFields_.clear();
        store_.Reset({});
        rows_.clear();
        calcValid_.clear();
        if (Quiet())
            resetPending_ = true;
        else
            Q_EMIT Reset();
        throw;
    }
    // The reader filled slots 0, 1, 2, ... in the order the rows came.
    rows_.resize(static_cast<size_t>(reader.RowCount()));
    std::iota(rows_.begin(), rows_.end(), quint32{0});
    if (calcColumns_ > 0)
        calcValid_.assign(store_.SlotCount(), false);
    FinishOpen();
}

void TRemoteDataSet::CreateDataSet()
{
    CheckInactive("CreateDataSet");
    if (!Quiet())
        Q_EMIT AboutToReset();
    local_ = true;
    dataFields_.clear();
    for (const auto& f : fields_)
        if (f->kind_ == TFieldKind::Data)
            dataFields_.push_back(f.get());
    PrepareStore();
    FinishOpen();
}

void TRemoteDataSet::FinishOpen()
{
    store_.Squeeze();
    changeLog_.Clear();
    applyErrors_.clear();
    state_ = TDataSetState::Browse;
    current_ = rows_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = rows_.empty();
    scrolledSlot_ = -2;
    if (Quiet()) {
        resetPending_ = true;
    } else {
        Q_EMIT Reset();
    }
    if (AfterOpen)
        AfterOpen(*this);
    ScrollDone();
}

void TRemoteDataSet::Close()
{
    if (!Active())
        return;
    if (state_ == TDataSetState::Edit || state_ == TDataSetState::Insert)
        Cancel();
    if (!Quiet())
        Q_EMIT AboutToReset();
    std::erase_if(fields_, [](const auto& f) { return !f->persistent_; });
    for (const auto& f : fields_) {
        f->storeColumn_ = -1;
        f->wireIndex_ = -1;
    }
    dataFields_.clear();
    store_.Reset({});
    rows_.clear();
    calcValid_.clear();
    changeLog_.Clear();
    applyErrors_.clear();
    buffer_.clear();
    current_ = -1;
    bof_ = eof_ = true;
    local_ = false;
    state_ = TDataSetState::Inactive;
    if (Quiet())
        resetPending_ = true;
    else
        Q_EMIT Reset();
    if (AfterClose)
        AfterClose(*this);
}

// ---- rows ----------------------------------------------------------------------------------

quint32 TRemoteDataSet::NewSlot()
{
    const quint32 slot = store_.AddSlot();
    if (calcColumns_ > 0)
        calcValid_.push_back(false);
    return slot;
}

void TRemoteDataSet::InsertRowAt(int row, quint32 slot)
{
    if (!Quiet())
        Q_EMIT RowsAboutToBeInserted(row, row);
    rows_.insert(rows_.begin() + row, slot);
    if (Quiet())
        resetPending_ = true;
    else
        Q_EMIT RowsInserted(row, row);
}

void TRemoteDataSet::RemoveRowAt(int row)
{
    if (!Quiet())
        Q_EMIT RowsAboutToBeRemoved(row, row);
    rows_.erase(rows_.begin() + row);
    if (Quiet())
        resetPending_ = true;
    else
        Q_EMIT RowsRemoved(row, row);
}

int TRemoteDataSet::RowOfSlot(quint32 slot) const
{
    const auto it = std::find(rows_.begin(), rows_.end(), slot);
    return it == rows_.end() ? -1 : static_cast<int>(it - rows_.begin());
}

// ---- field values --------------------------------------------------------------------------

QVariant TRemoteDataSet::FieldValue(const TField& field)
{
    if (!Active())
        return QVariant();
    if (field.kind_ == TFieldKind::Lookup)
        return LookupValue(field);
    const int col = field.storeColumn_;
    if (col < 0)
        return QVariant();
    int row = current_;
    switch (context_.kind) {
        case TContext::Buffer:
            return buffer_.value(col);
        case TContext::Slot:
            return store_.Value(context_.slot, col);
        case TContext::Row:
            row = context_.row;
            break;
        case TContext::Cursor:
            break;
    }
    if (row < 0 || row >= RecordCount())
        return QVariant();
    if (row == current_ && (state_ == TDataSetState::Edit || state_ == TDataSetState::Insert))
        return buffer_.value(col);
    const quint32 slot = rows_[static_cast<size_t>(row)];
    if (field.kind_ == TFieldKind::Calculated)
        EnsureCalculated(slot);
    return store_.Value(slot, col);
}

void TRemoteDataSet::SetFieldValue(TField& field, const QVariant& value)
{
    CheckActive();
    const bool calculating = context_.kind == TContext::Buffer || context_.kind == TContext::Slot;
    if (field.kind_ == TFieldKind::Lookup || (field.kind_ == TFieldKind::Calculated) != calculating ||
        (!calculating && field.readOnly_))
        Fail(Tr("Field '%1' cannot be modified.").arg(field.DisplayName()));
    const QVariant converted = TField::Converted(field.type_, value, field.DisplayName());
    if (context_.kind == TContext::Slot) {
        store_.Set(context_.slot, field.storeColumn_, converted);
        return;
    }
    if (!calculating)
        CheckEditing();
    buffer_[field.storeColumn_] = converted;
    if (calculating)
        return;
    modified_ = true;
    RecalcBuffer();
    NotifyRowsChanged(current_, current_);
}

QVariant TRemoteDataSet::LookupValue(const TField& field)
{
    TRemoteDataSet* lookup = field.lookupDataSet_;
    if (!lookup || !lookup->Active())
        return QVariant();
    QVariantList keys;
    for (TField* key : FieldList(field.keyFields_)) {
        QVariant v = FieldValue(*key);
        if (VarIsNull(v))
            return QVariant();
        keys.append(std::move(v));
    }
    return lookup->Lookup(field.lookupKeyFields_, keys, field.lookupResultField_);
}

void TRemoteDataSet::EnsureCalculated(quint32 slot)
{
    if (calcColumns_ == 0 || calcValid_[slot])
        return;
    calcValid_[slot] = true;
    for (const auto& f : fields_)
        if (f->kind_ == TFieldKind::Calculated)
            store_.Set(slot, f->storeColumn_, QVariant());
    if (!OnCalcFields)
        return;
    TContextScope scope(*this, TContext{TContext::Slot, -1, slot});
    try {
        OnCalcFields(*this);
    } catch (...) {
        calcValid_[slot] = false;
        throw;
    }
}

void TRemoteDataSet::RecalcBuffer()
{
    if (calcColumns_ == 0)
        return;
    for (const auto& f : fields_)
        if (f->kind_ == TFieldKind::Calculated)
            buffer_[f->storeColumn_] = QVariant();
    if (!OnCalcFields)
        return;
    TContextScope scope(*this, TContext{TContext::Buffer, -1, 0});
    OnCalcFields(*this);
}

void TRemoteDataSet::RefreshCalcFields()
{
    std::fill(calcValid_.begin(), calcValid_.end(), false);
    if (Active())
        NotifyRowsChanged(0, RecordCount() - 1);
}

void TRemoteDataSet::LoadBuffer(quint32 slot)
{
    EnsureCalculated(slot);
    buffer_.clear();
    for (int col = 0; col < store_.ColumnCount(); ++col)
        buffer_.append(store_.Value(slot, col));
}

void TRemoteDataSet::WriteBuffer(quint32 slot)
{
    for (int col = 0; col < store_.ColumnCount(); ++col)
        store_.Set(slot, col, buffer_.value(col));
    if (calcColumns_ > 0)
        calcValid_[slot] = false;
}

QVariant TRemoteDataSet::ValueAt(int row, const TField& field)
{
    TContextScope scope(*this, TContext{TContext::Row, row, 0});
    return FieldValue(field);
}

bool TRemoteDataSet::StoredAt(int row, const TField& field, quint32& slot, int& column) const
{
    if (!Active() || field.kind_ != TFieldKind::Data || field.storeColumn_ < 0 || row < 0 || row >= RecordCount())
        return false;
    if (row == current_ && (state_ == TDataSetState::Edit || state_ == TDataSetState::Insert))
        return false;
    slot = rows_[static_cast<size_t>(row)];
    column = field.storeColumn_;
    return true;
}

QString TRemoteDataSet::DisplayTextAt(int row, const TField& field)
{
    TContextScope scope(*this, TContext{TContext::Row, row, 0});
    return field.DisplayText();
}

QString TRemoteDataSet::TextAt(int row, const TField& field)
{
    TContextScope scope(*this, TContext{TContext::Row, row, 0});
    return field.Text();
}

// ---- cursor --------------------------------------------------------------------------------

void TRemoteDataSet::MoveTo(int row)
{
    if (current_ != row) {
        current_ = row;
        NotifyCurrent();
    }
    ScrollDone();
}

void TRemoteDataSet::ScrollDone()
{
    const qint64 slot = current_ >= 0 ? static_cast<qint64>(rows_[static_cast<size_t>(current_)]) : -1;
    if (slot == scrolledSlot_)
        return;
    scrolledSlot_ = slot;
    if (AfterScroll)
        AfterScroll(*this);
}

void TRemoteDataSet::SetCurrentRow(int row)
{
    CheckActive();
    CheckBrowseMode();
    if (rows_.empty())
        return;
    bof_ = eof_ = false;
    MoveTo(std::clamp(row, 0, RecordCount() - 1));
}

void TRemoteDataSet::First()
{
    CheckActive();
    CheckBrowseMode();
    bof_ = true;
    eof_ = rows_.empty();
    if (!rows_.empty())
        MoveTo(0);
}

void TRemoteDataSet::Last()
{
    CheckActive();
    CheckBrowseMode();
    eof_ = true;
    bof_ = rows_.empty();
    if (!rows_.empty())
        MoveTo(RecordCount() - 1);
}

void TRemoteDataSet::Next()
{
    MoveBy(1);
}

void TRemoteDataSet::Prior()
{
    MoveBy(-1);
}

int TRemoteDataSet::MoveBy(int distance)
{
    CheckActive();
    CheckBrowseMode();
    if (rows_.empty()) {
        bof_ = eof_ = true;
        return 0;
    }
    const qint64 wanted = static_cast<qint64>(current_) + distance;
    const int target = static_cast<int>(std::clamp<qint64>(wanted, 0, RecordCount() - 1));
    const int moved = target - current_;
    bof_ = distance < 0 && wanted < 0;
    eof_ = distance > 0 && wanted > RecordCount() - 1;
    MoveTo(target);
    return moved;
}

int TRemoteDataSet::FindRow(const QString& fieldNames, const QVariantList& values, TLocateOptions options)
{
    const QList<TField*> fields = FieldList(fieldNames);
    if (fields.size() != values.size())
        Fail(Tr("%1: %2 values given for %3 fields.").arg(Name()).arg(values.size()).arg(fields.size()));
    QVariantList wanted;
    for (int i = 0; i < fields.size(); ++i) {
        try {
            wanted.append(TField::IsStringType(fields[i]->type_) && !VarIsNull(values[i])
                              ? QVariant(VarToStr(values[i]))
                              : TField::Converted(fields[i]->type_, values[i], fields[i]->name_));
        } catch (const EDatabaseError&) {
            return -1;  // a value the field cannot hold matches no row
        }
    }
    const Qt::CaseSensitivity cs = options.CaseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (int row = 0; row < RecordCount(); ++row) {
        TContextScope scope(*this, TContext{TContext::Row, row, 0});
        bool match = true;
        for (int i = 0; i < fields.size() && match; ++i) {
            const QVariant have = FieldValue(*fields[i]);
            if (TField::IsStringType(fields[i]->type_) && !VarIsNull(have) && !VarIsNull(wanted[i])) {
                const QString h = have.toString(), w = wanted[i].toString();
                match = options.PartialKey ? h.startsWith(w, cs) : h.compare(w, cs) == 0;
            } else {
                match = TField::SameValue(have, wanted[i]);
            }
        }
        if (match)
            return row;
    }
    return -1;
}

bool TRemoteDataSet::Locate(const QString& fieldNames, const QVariantList& values, TLocateOptions options)
{
    CheckActive();
    CheckBrowseMode();
    const int row = FindRow(fieldNames, values, options);
    if (row < 0)
        return false;
    bof_ = eof_ = false;
    MoveTo(row);
    return true;
}

QVariant TRemoteDataSet::Lookup(const QString& keyFields, const QVariantList& values,
                                const QString& resultFields)
{
    if (!Active())
        return QVariant();
    const int row = FindRow(keyFields, values, {});
    if (row < 0)
        return QVariant();
    const QList<TField*> results = FieldList(resultFields);
    TContextScope scope(*this, TContext{TContext::Row, row, 0});
    if (results.size() == 1)
        return FieldValue(*results[0]);
    QVariantList out;
    for (TField* f : results)
        out.append(FieldValue(*f));
    return out;
}

// ---- editing -------------------------------------------------------------------------------

void TRemoteDataSet::CheckBrowseMode()
{
    if (state_ != TDataSetState::Edit && state_ != TDataSetState::Insert)
        return;
    if (modified_)
        Post();
    else
        Cancel();
}

void TRemoteDataSet::Insert()
{
    CheckActive();
    CheckBrowseMode();
    InsertAt(current_ < 0 ? 0 : current_);
}

void TRemoteDataSet::Append()
{
    CheckActive();
    CheckBrowseMode();
    InsertAt(RecordCount());
}

void TRemoteDataSet::InsertAt(int row)
{
    restoreRow_ = current_;
    const quint32 slot = NewSlot();
    InsertRowAt(row, slot);
    current_ = row;
    buffer_.clear();
    for (int col = 0; col < store_.ColumnCount(); ++col)
        buffer_.append(QVariant());
    state_ = TDataSetState::Insert;
    bof_ = eof_ = false;
    try {
        RecalcBuffer();
        if (OnNewRecord)
            OnNewRecord(*this);
    } catch (...) {
        Cancel();
        throw;
    }
    // Defaults alone do not make the new row worth keeping.
    modified_ = false;
    NotifyCurrent();
    if (AfterInsert)
        AfterInsert(*this);
    ScrollDone();
}

void TRemoteDataSet::Edit()
{
    CheckActive();
    if (state_ == TDataSetState::Edit || state_ == TDataSetState::Insert)
        return;
    if (rows_.empty()) {
        Insert();
        return;
    }
    if (BeforeEdit)
        BeforeEdit(*this);
    LoadBuffer(rows_[static_cast<size_t>(current_)]);
    modified_ = false;
    state_ = TDataSetState::Edit;
    NotifyRowsChanged(current_, current_);
    if (AfterEdit)
        AfterEdit(*this);
}

void TRemoteDataSet::Post()
{
    CheckActive();
    CheckEditing();
    if (BeforePost)
        BeforePost(*this);
    for (const auto& f : fields_) {
        if (f->kind_ == TFieldKind::Data && f->required_ && !f->readOnly_ &&
            f->type_ != TFieldType::AutoInc && VarIsNull(buffer_.value(f->storeColumn_)))
            Fail(Tr("Field '%1' must have a value.").arg(f->DisplayName()));
    }
    const quint32 slot = rows_[static_cast<size_t>(current_)];
    if (state_ == TDataSetState::Insert) {
        WriteBuffer(slot);
        if (logChanges_)
            changeLog_.Inserted(slot, rows_);
    } else if (modified_) {
        if (!logChanges_ || changeLog_.KindOf(slot)) {
            WriteBuffer(slot);
        } else {
            // The row as fetched keeps its slot, for the delta and for undoing.
            const quint32 changed = NewSlot();
            WriteBuffer(changed);
            changeLog_.Modified(slot, changed, rows_);
            rows_[static_cast<size_t>(current_)] = changed;
            scrolledSlot_ = changed;
        }
    }
    modified_ = false;
    buffer_.clear();
    state_ = TDataSetState::Browse;
    NotifyRowsChanged(current_, current_);
    if (AfterPost)
        AfterPost(*this);
}

void TRemoteDataSet::Cancel()
{
    if (state_ == TDataSetState::Edit) {
        modified_ = false;
        buffer_.clear();
        state_ = TDataSetState::Browse;
        NotifyRowsChanged(current_, current_);
    } else if (state_ == TDataSetState::Insert) {
        modified_ = false;
        buffer_.clear();
        const int row = current_;
        state_ = TDataSetState::Browse;
        RemoveRowAt(row);
        current_ = rows_.empty() ? -1 : std::clamp(restoreRow_, 0, RecordCount() - 1);
        bof_ = eof_ = rows_.empty();
        NotifyCurrent();
        ScrollDone();
    } else {
        return;
    }
    if (AfterCancel)
        AfterCancel(*this);
}

void TRemoteDataSet::Delete()
{
    CheckActive();
    if (state_ == TDataSetState::Insert) {
        Cancel();
        return;
    }
    if (state_ == TDataSetState::Edit)
        Cancel();
    if (rows_.empty())
        Fail(Tr("%1: Cannot perform this operation on an empty dataset.").arg(Name()));
    if (BeforeDelete)
        BeforeDelete(*this);
    const quint32 slot = rows_[static_cast<size_t>(current_)];
    if (logChanges_)
        changeLog_.Deleted(slot, rows_);
    const int row = current_;
    RemoveRowAt(row);
    current_ = rows_.empty() ? -1 : std::min(row, RecordCount() - 1);
    bof_ = eof_ = rows_.empty();
    NotifyCurrent();
    if (AfterDelete)
        AfterDelete(*this);
    ScrollDone();
}

void TRemoteDataSet::AppendRecord(const QVariantList& values)
{
    Append();
    try {
        int k = 0;
        for (const auto& f : fields_) {
            if (f->kind_ != TFieldKind::Data)
                continue;
            if (k >= values.size())
                break;
            buffer_[f->storeColumn_] = TField::Converted(f->type_, values[k++], f->DisplayName());
        }
        modified_ = true;
        RecalcBuffer();
        Post();
    } catch (...) {
        Cancel();
        throw;
    }
}

// ---- change log ------------------------------------------------------------------------------

void TRemoteDataSet::SetLogChanges(bool log)
{
    logChanges_ = log;
    if (!log)
        changeLog_.Clear();
}

TUpdateStatus TRemoteDataSet::UpdateStatus() const
{
    if (state_ == TDataSetState::Insert)
        return TUpdateStatus::Inserted;
    if (current_ < 0)
        return TUpdateStatus::Unmodified;
    const std::optional<TChangeKind> kind = changeLog_.KindOf(rows_[static_cast<size_t>(current_)]);
    if (!kind)
        return TUpdateStatus::Unmodified;
    return *kind == TChangeKind::Insert ? TUpdateStatus::Inserted : TUpdateStatus::Modified;
}

void TRemoteDataSet::CancelUpdates()
{
    CheckActive();
    Cancel();
    if (changeLog_.IsEmpty())
        return;
    if (!Quiet())
        Q_EMIT AboutToReset();
    rows_ = changeLog_.TakeBaseline();
    applyErrors_.clear();
    current_ = rows_.empty() ? -1 : std::clamp(current_, 0, RecordCount() - 1);
    bof_ = eof_ = rows_.empty();
    if (Quiet())
        resetPending_ = true;
    else
        Q_EMIT Reset();
    ScrollDone();
}

void TRemoteDataSet::MergeChangeLog()
{
    CheckBrowseMode();
    changeLog_.Clear();
}

void TRemoteDataSet::RevertRecord()
{
    CheckActive();
    if (state_ == TDataSetState::Insert) {
        Cancel();
        return;
    }
    Cancel();
    if (current_ < 0)
        return;
    const std::optional<TChangeLog::TReverted> undone =
        changeLog_.Revert(rows_[static_cast<size_t>(current_)]);
    if (!undone)
        return;
    if (undone->Inserted) {
        const int row = current_;
        RemoveRowAt(row);
        current_ = rows_.empty() ? -1 : std::min(row, RecordCount() - 1);
        NotifyCurrent();
    } else {
        rows_[static_cast<size_t>(current_)] = undone->OldSlot;
        NotifyRowsChanged(current_, current_);
    }
    ScrollDone();
}

int TRemoteDataSet::ApplyUpdates(int maxErrors)
{
    CheckActive();
    CheckBrowseMode();
    if (local_)
        Fail(Tr("%1: Missing data provider or data packet.").arg(Name()));
    applyErrors_.clear();
    if (changeLog_.IsEmpty())
        return 0;
    const TRemoteModule module = Module();
    const int columns = static_cast<int>(dataFields_.size());
    const TChangeLog::TDelta delta = changeLog_.Delta(store_, columns);
    const TMessage applied = module.ApplyUpdates(providerName_, maxErrors, delta.Changes);
    applyErrors_ = applied.Errors;
    for (const quint32 slot : changeLog_.TakeApplied(delta, applied, maxErrors, store_, columns, rows_)) {
        if (calcColumns_ > 0)
            calcValid_[slot] = false;
        const int row = RowOfSlot(slot);
        if (row >= 0)
            NotifyRowsChanged(row, row);
    }
    return static_cast<int>(applied.Errors.size());
}

void TRemoteDataSet::ApplyUpdatesOrRaise(int maxErrors)
{
    if (ApplyUpdates(maxErrors) > 0)
        Fail(applyErrors_.first().Message, applyErrors_.first().Code);
}

// ---- display updates ---------------------------------------------------------------------------

void TRemoteDataSet::DisableControls()
{
    ++disableCount_;
}

void TRemoteDataSet::EnableControls()
{
    if (disableCount_ == 0 || --disableCount_ > 0)
        return;
    if (resetPending_) {
        resetPending_ = false;
        currentPending_ = false;
        Q_EMIT AboutToReset();
        Q_EMIT Reset();
    } else if (currentPending_) {
        currentPending_ = false;
        Q_EMIT CurrentRowChanged(current_);
    }
}

void TRemoteDataSet::NotifyReset()
{
    if (Quiet()) {
        resetPending_ = true;
        return;
    }
    Q_EMIT AboutToReset();
    Q_EMIT Reset();
}

void TRemoteDataSet::NotifyRowsChanged(int first, int last)
{
    if (first < 0 || last < first)
        return;
    if (Quiet())
        resetPending_ = true;
    else
        Q_EMIT RowsChanged(first, last);
}

void TRemoteDataSet::NotifyCurrent()
{
    if (Quiet())
        currentPending_ = true;
    else
        Q_EMIT CurrentRowChanged(current_);
}
