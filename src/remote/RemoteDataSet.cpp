#include "remote/RemoteDataSet.h"

#include "remote/Connections.h"
#include "core/Errors.h"
#include "core/Variants.h"

#include <QCoreApplication>
#include <QSet>

#include <algorithm>

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

bool IsIntegerVariant(int id)
{
    return id == QMetaType::Int || id == QMetaType::Short || id == QMetaType::LongLong ||
           id == QMetaType::Bool;
}

// Whether a value received from the provider can go into the column as it is.
bool DirectlyStorable(TFieldType type, const QVariant& v)
{
    const int id = v.metaType().id();
    switch (type) {
        case TFieldType::Smallint:
        case TFieldType::Integer:
        case TFieldType::AutoInc:
        case TFieldType::Largeint:
        case TFieldType::Boolean:
            return IsIntegerVariant(id);
        case TFieldType::Float:
        case TFieldType::Currency:
            return id == QMetaType::Double || IsIntegerVariant(id);
        case TFieldType::DateTime:
        case TFieldType::TimeStamp:
            return VarIsDateTime(v) || id == QMetaType::Double;
        case TFieldType::String:
        case TFieldType::WideString:
        case TFieldType::Memo:
        case TFieldType::WideMemo:
            return id == QMetaType::QString;
        case TFieldType::Blob:
            return id == QMetaType::QByteArray;
        case TFieldType::Unknown:
            break;
    }
    return false;
}

bool SameValue(const QVariant& a, const QVariant& b)
{
    const bool an = VarIsNull(a), bn = VarIsNull(b);
    if (an || bn)
        return an == bn;
    return a == b;
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

// Receives a provider's packets into the dataset.
class TRemoteDataSet::TOpenSink : public TPacketSink, public TRowValueSink {
public:
    explicit TOpenSink(TRemoteDataSet& dataSet) : dataSet_(dataSet) {}

    TRowValueSink* RowValues() override { return this; }

    void BeginRow() override
    {
        if (!haveMeta_)
            throw EProtocolError(QStringLiteral("Protocol error: rows arrived before the fields"));
        slot_ = dataSet_.NewSlot();
        column_ = 0;
    }

    void Value(const TValue& v) override
    {
        const int columns = static_cast<int>(dataSet_.dataFields_.size());
        if (column_ >= columns)
            throw EProtocolError(
                QStringLiteral("Protocol error: a row holds more than %1 values").arg(columns));
        TRecordStore& store = dataSet_.store_;
        const int col = column_++;
        bool stored = false;
        switch (v.Kind) {
            case TKind::Null:
                return;
            case TKind::Integer:
            case TKind::Int16:
            case TKind::Int64:
            case TKind::Boolean:
                stored = store.SetInteger(slot_, col, v.Integer);
                break;
            case TKind::Real:
                stored = store.SetReal(slot_, col, v.Real);
                break;
            case TKind::DateTime:
                stored =
                    GroupOf(store.ColumnType(col)) == TTypeGroup::Date && store.SetReal(slot_, col, v.Real);
                break;
            case TKind::Text:
                stored = TField::IsStringType(store.ColumnType(col)) ||
                                 store.ColumnType(col) == TFieldType::Unknown
                             ? store.SetBytes(slot_, col, v.Data, v.Size)
                             : false;
                break;
            case TKind::Bytes:
                stored =
                    store.ColumnType(col) == TFieldType::Blob && store.SetBytes(slot_, col, v.Data, v.Size);
                break;
            case TKind::Other:
                break;
        }
        if (!stored)
            dataSet_.StoreWireValue(slot_, col, AsVariant(v));
    }

    void EndRow() override
    {
        const int columns = static_cast<int>(dataSet_.dataFields_.size());
        if (column_ != columns)
            throw EProtocolError(
                QStringLiteral("Protocol error: a row of %1 values for %2 fields").arg(column_).arg(columns));
        dataSet_.rows_.push_back(slot_);
    }

    void Meta(const QList<TFieldDef>& defs) override
    {
        TRemoteDataSet& ds = dataSet_;
        for (const auto& f : ds.fields_)
            f->wireIndex_ = -1;
        ds.dataFields_.clear();
        for (int i = 0; i < defs.size(); ++i) {
            const TFieldDef& def = defs[i];
            TField* field = nullptr;
            for (const auto& f : ds.fields_)
                if (f->kind_ == TFieldKind::Data && f->persistent_ && f->wireIndex_ < 0 &&
                    f->name_.compare(def.Name, Qt::CaseInsensitive) == 0)
                    field = f.get();
            if (field) {
                if (GroupOf(field->type_) != GroupOf(def.DataType))
                    ds.Fail(Tr("%1: Type mismatch for field '%2', expecting: %3 actual: %4.")
                                .arg(ds.Name(), field->name_, FieldTypeName(field->type_),
                                     FieldTypeName(def.DataType)));
                field->type_ = def.DataType;
                field->size_ = def.Size;
            } else {
                field = ds.NewField(def.Name, def.DataType, def.Size, TFieldKind::Data, false);
            }
            field->required_ = field->required_ || def.Required;
            field->readOnly_ = field->readOnly_ || def.ReadOnly;
            field->key_ = field->key_ || def.Key;
            field->wireIndex_ = i;
            ds.dataFields_.push_back(field);
        }
        for (const auto& f : ds.fields_)
            if (f->kind_ == TFieldKind::Data && f->wireIndex_ < 0)
                ds.Fail(Tr("%1: Field '%2' not found.").arg(ds.Name(), f->name_));
        ds.PrepareStore();
        haveMeta_ = true;
    }

    void Rows(const QList<QVariantList>& rows) override
    {
        if (!haveMeta_)
            throw EProtocolError(QStringLiteral("Protocol error: rows arrived before the fields"));
        dataSet_.AppendWireRows(rows);
    }

    void End(qint64 count) override
    {
        if (!haveMeta_)
            throw EProtocolError(QStringLiteral("Protocol error: the transfer ended before the fields"));
        if (count != dataSet_.RecordCount())
            dataSet_.Fail(Tr("%1: the server announced %2 rows but sent %3.")
                              .arg(dataSet_.Name())
                              .arg(count)
                              .arg(dataSet_.RecordCount()));
    }

private:
    static QVariant AsVariant(const TValue& v)
    {
        switch (v.Kind) {
            case TKind::Integer:
                return QVariant(static_cast<int>(v.Integer));
            case TKind::Int16:
                return VarFromInt16(static_cast<qint16>(v.Integer));
            case TKind::Int64:
                return QVariant(v.Integer);
            case TKind::Boolean:
                return QVariant(v.Integer != 0);
            case TKind::Real:
                return QVariant(v.Real);
            case TKind::DateTime:
                return VarFromDateTime(v.Real);
            case TKind::Text:
                return QVariant(QString::fromUtf8(v.Data, v.Size));
            case TKind::Bytes:
                return QVariant(QByteArray(v.Data, v.Size));
            case TKind::Other:
                return v.Other;
            case TKind::Null:
                break;
        }
        return QVariant();
    }

    TRemoteDataSet& dataSet_;
    bool haveMeta_ = false;
    quint32 slot_ = 0;
    int column_ = 0;
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

void TRemoteDataSet::SetState(TDataSetState state)
{
    if (state_ == state)
        return;
    state_ = state;
    Q_EMIT StateChanged(state);
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

void TRemoteDataSet::Open()
{
    if (Active())
        return;
    const TRemoteModule module = Module();
    if (!Quiet())
        Q_EMIT AboutToReset();
    local_ = false;
    TOpenSink sink(*this);
    try {
        module.OpenProvider(providerName_, params_, sink);
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
    DropLog();
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
    Q_EMIT StateChanged(state_);
    if (AfterOpen)
        AfterOpen(*this);
    ScrollDone();
}

void TRemoteDataSet::AppendWireRows(const QList<QVariantList>& rows)
{
    const int columns = static_cast<int>(dataFields_.size());
    for (const QVariantList& row : rows) {
        if (row.size() != columns)
            throw EProtocolError(QStringLiteral("Protocol error: a row of %1 values for %2 fields")
                                     .arg(row.size())
                                     .arg(columns));
        const quint32 slot = NewSlot();
        for (int col = 0; col < columns; ++col)
            if (!VarIsNull(row[col]))
                StoreWireValue(slot, col, row[col]);
        rows_.push_back(slot);
    }
}

void TRemoteDataSet::StoreWireValue(quint32 slot, int column, const QVariant& value)
{
    const TField* field = dataFields_[static_cast<size_t>(column)];
    store_.Set(
        slot, column,
        DirectlyStorable(field->type_, value) ? value : TField::Converted(field->type_, value, field->name_));
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
    DropLog();
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
    Q_EMIT StateChanged(state_);
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
                match = SameValue(have, wanted[i]);
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
    SetState(TDataSetState::Insert);
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
    SetState(TDataSetState::Edit);
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
        if (logChanges_) {
            if (liveChanges_ == 0) {
                baseline_ = rows_;
                baseline_.erase(baseline_.begin() + current_);
            }
            AddLogEntry(TChangeKind::Insert, -1, slot);
        }
    } else if (modified_) {
        if (!logChanges_ || EntryOf(slot)) {
            WriteBuffer(slot);
        } else {
            BeginChange();
            const quint32 changed = NewSlot();
            WriteBuffer(changed);
            rows_[static_cast<size_t>(current_)] = changed;
            scrolledSlot_ = changed;
            AddLogEntry(TChangeKind::Modify, slot, changed);
        }
    }
    modified_ = false;
    buffer_.clear();
    SetState(TDataSetState::Browse);
    NotifyRowsChanged(current_, current_);
    if (AfterPost)
        AfterPost(*this);
}

void TRemoteDataSet::Cancel()
{
    if (state_ == TDataSetState::Edit) {
        modified_ = false;
        buffer_.clear();
        SetState(TDataSetState::Browse);
        NotifyRowsChanged(current_, current_);
    } else if (state_ == TDataSetState::Insert) {
        modified_ = false;
        buffer_.clear();
        const int row = current_;
        SetState(TDataSetState::Browse);
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
    if (logChanges_) {
        if (TLogEntry* entry = EntryOf(slot)) {
            logOfSlot_.remove(slot);
            if (entry->Kind == TChangeKind::Insert) {
                EndEntry(*entry);
            } else {
                entry->Kind = TChangeKind::Delete;
                entry->NewSlot = -1;
            }
        } else {
            BeginChange();
            AddLogEntry(TChangeKind::Delete, slot, -1);
        }
    }
    const int row = current_;
    RemoveRowAt(row);
    if (liveChanges_ == 0)
        DropLog();
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
        DropLog();
}

int TRemoteDataSet::ChangeCount() const
{
    return liveChanges_;
}

void TRemoteDataSet::BeginChange()
{
    if (liveChanges_ == 0)
        baseline_ = rows_;
}

void TRemoteDataSet::AddLogEntry(TChangeKind kind, qint64 oldSlot, qint64 newSlot)
{
    log_.push_back(TLogEntry{kind, oldSlot, newSlot, true});
    if (newSlot >= 0)
        logOfSlot_.insert(static_cast<quint32>(newSlot), static_cast<int>(log_.size() - 1));
    ++liveChanges_;
}

TRemoteDataSet::TLogEntry* TRemoteDataSet::EntryOf(quint32 slot)
{
    const auto it = logOfSlot_.constFind(slot);
    return it == logOfSlot_.cend() ? nullptr : &log_[static_cast<size_t>(*it)];
}

void TRemoteDataSet::EndEntry(TLogEntry& entry)
{
    if (!entry.Live)
        return;
    if (entry.NewSlot >= 0)
        logOfSlot_.remove(static_cast<quint32>(entry.NewSlot));
    entry.Live = false;
    --liveChanges_;
}

void TRemoteDataSet::DropLog()
{
    log_.clear();
    logOfSlot_.clear();
    baseline_.clear();
    liveChanges_ = 0;
}

void TRemoteDataSet::CompactLog()
{
    std::erase_if(log_, [](const TLogEntry& e) { return !e.Live; });
    logOfSlot_.clear();
    for (size_t i = 0; i < log_.size(); ++i)
        if (log_[i].NewSlot >= 0)
            logOfSlot_.insert(static_cast<quint32>(log_[i].NewSlot), static_cast<int>(i));
}

TUpdateStatus TRemoteDataSet::UpdateStatus() const
{
    if (state_ == TDataSetState::Insert)
        return TUpdateStatus::Inserted;
    if (current_ < 0)
        return TUpdateStatus::Unmodified;
    const auto it = logOfSlot_.constFind(rows_[static_cast<size_t>(current_)]);
    if (it == logOfSlot_.cend())
        return TUpdateStatus::Unmodified;
    return log_[static_cast<size_t>(*it)].Kind == TChangeKind::Insert ? TUpdateStatus::Inserted
                                                                      : TUpdateStatus::Modified;
}

void TRemoteDataSet::CancelUpdates()
{
    CheckActive();
    Cancel();
    if (liveChanges_ == 0)
        return;
    if (!Quiet())
        Q_EMIT AboutToReset();
    rows_ = baseline_;
    DropLog();
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
    DropLog();
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
    const quint32 slot = rows_[static_cast<size_t>(current_)];
    TLogEntry* entry = EntryOf(slot);
    if (!entry)
        return;
    const TLogEntry undone = *entry;
    EndEntry(*entry);
    if (undone.Kind == TChangeKind::Insert) {
        const int row = current_;
        RemoveRowAt(row);
        current_ = rows_.empty() ? -1 : std::min(row, RecordCount() - 1);
        NotifyCurrent();
    } else {
        rows_[static_cast<size_t>(current_)] = static_cast<quint32>(undone.OldSlot);
        NotifyRowsChanged(current_, current_);
    }
    if (liveChanges_ == 0)
        DropLog();
    ScrollDone();
}

QVariantList TRemoteDataSet::WireValues(qint64 slot) const
{
    QVariantList values;
    const int columns = static_cast<int>(dataFields_.size());
    values.reserve(columns);
    for (int col = 0; col < columns; ++col)
        values.append(store_.Value(static_cast<quint32>(slot), col));
    return values;
}

QList<TDeltaChange> TRemoteDataSet::BuildDelta(std::vector<int>& entryOfChange) const
{
    QList<TDeltaChange> delta;
    for (size_t i = 0; i < log_.size(); ++i) {
        const TLogEntry& e = log_[i];
        if (!e.Live)
            continue;
        TDeltaChange change;
        change.Kind = e.Kind;
        if (e.Kind != TChangeKind::Insert)
            change.Old = WireValues(e.OldSlot);
        if (e.Kind != TChangeKind::Delete) {
            const QVariantList now = WireValues(e.NewSlot);
            for (int col = 0; col < now.size(); ++col) {
                const QVariant& v = now[col];
                if (e.Kind == TChangeKind::Insert)
                    // A field without a value is left to the table's default.
                    change.New.append(VarIsNull(v) ? QVariant() : v);
                else if (SameValue(v, change.Old[col]))
                    change.New.append(QVariant());  // unchanged
                else
                    change.New.append(VarIsNull(v) ? QVariant::fromValue(nullptr) : v);
            }
        }
        delta.append(std::move(change));
        entryOfChange.push_back(static_cast<int>(i));
    }
    return delta;
}

int TRemoteDataSet::ApplyUpdates(int maxErrors)
{
    CheckActive();
    CheckBrowseMode();
    if (local_)
        Fail(Tr("%1: Missing data provider or data packet.").arg(Name()));
    applyErrors_.clear();
    if (liveChanges_ == 0)
        return 0;
    const TRemoteModule module = Module();
    std::vector<int> entryOfChange;
    const QList<TDeltaChange> delta = BuildDelta(entryOfChange);
    const TMessage applied = module.ApplyUpdates(providerName_, maxErrors, delta);
    applyErrors_ = applied.Errors;
    const bool rolledBack = maxErrors >= 0 && applied.Errors.size() > maxErrors;
    if (!rolledBack)
        TakeApplied(applied, entryOfChange);
    return static_cast<int>(applied.Errors.size());
}

void TRemoteDataSet::ApplyUpdatesOrRaise(int maxErrors)
{
    if (ApplyUpdates(maxErrors) > 0)
        Fail(applyErrors_.first().Message, applyErrors_.first().Code);
}

void TRemoteDataSet::TakeApplied(const TMessage& applied, const std::vector<int>& entryOfChange)
{
    QSet<int> failed;
    for (const TApplyError& e : applied.Errors)
        failed.insert(e.Index);
    QHash<int, const QVariantList*> stored;
    for (const TAppliedRow& row : applied.AppliedRows)
        stored.insert(row.Index, &row.Values);

    QHash<quint32, quint32> replaced;  // fetched slot -> slot that now stands for it
    for (size_t i = 0; i < entryOfChange.size(); ++i) {
        if (failed.contains(static_cast<int>(i)))
            continue;
        TLogEntry& entry = log_[static_cast<size_t>(entryOfChange[i])];
        if (entry.Kind != TChangeKind::Delete) {
            const quint32 slot = static_cast<quint32>(entry.NewSlot);
            if (const QVariantList* values = stored.value(static_cast<int>(i))) {
                for (int col = 0; col < values->size() && col < static_cast<int>(dataFields_.size()); ++col) {
                    const TField* f = dataFields_[static_cast<size_t>(col)];
                    try {
                        store_.Set(slot, col, TField::Converted(f->type_, values->at(col), f->name_));
                    } catch (const EDatabaseError&) {
                        store_.Set(slot, col, values->at(col));
                    }
                }
                if (calcColumns_ > 0)
                    calcValid_[slot] = false;
                const int row = RowOfSlot(slot);
                if (row >= 0)
                    NotifyRowsChanged(row, row);
            }
            if (entry.Kind == TChangeKind::Modify)
                replaced.insert(static_cast<quint32>(entry.OldSlot), slot);
        }
        EndEntry(entry);
    }
    if (liveChanges_ == 0) {
        DropLog();
    } else {
        RebuildBaseline(replaced);
        CompactLog();
    }
}

// After a partial apply: the rows as they would be without the changes still pending.
void TRemoteDataSet::RebuildBaseline(const QHash<quint32, quint32>& replaced)
{
    std::vector<quint32> base = rows_;
    for (const TLogEntry& e : log_) {
        if (!e.Live)
            continue;
        if (e.Kind == TChangeKind::Insert) {
            std::erase(base, static_cast<quint32>(e.NewSlot));
        } else if (e.Kind == TChangeKind::Modify) {
            std::replace(base.begin(), base.end(), static_cast<quint32>(e.NewSlot),
                         static_cast<quint32>(e.OldSlot));
        }
    }
    // A pending deletion goes back after the nearest row that preceded it before.
    for (const TLogEntry& e : log_) {
        if (!e.Live || e.Kind != TChangeKind::Delete)
            continue;
        const quint32 deleted = static_cast<quint32>(e.OldSlot);
        const auto at = std::find(baseline_.begin(), baseline_.end(), deleted);
        auto insertAt = base.begin();
        for (auto it = at; it != baseline_.begin();) {
            --it;
            const quint32 before = replaced.value(*it, *it);
            const auto found = std::find(base.begin(), base.end(), before);
            if (found != base.end()) {
                insertAt = found + 1;
                break;
            }
        }
        base.insert(insertAt, deleted);
    }
    baseline_ = std::move(base);
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
