#include "remote/DataSetReader.h"

#include "core/Errors.h"
#include "core/Variants.h"
#include "remote/Field.h"
#include "remote/RecordStore.h"

#include <QCoreApplication>

namespace {

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

QVariant AsVariant(const TRowValueSink::TValue& v)
{
    using K = TRowValueSink::TKind;
    switch (v.Kind) {
        case K::Integer:
            return QVariant(static_cast<int>(v.Integer));
        case K::Int16:
            return VarFromInt16(static_cast<qint16>(v.Integer));
        case K::Int64:
            return QVariant(v.Integer);
        case K::Boolean:
            return QVariant(v.Integer != 0);
        case K::Real:
            return QVariant(v.Real);
        case K::DateTime:
            return VarFromDateTime(v.Real);
        case K::Text:
            return QVariant(QString::fromUtf8(v.Data, v.Size));
        case K::Bytes:
            return QVariant(QByteArray(v.Data, v.Size));
        case K::Other:
            return v.Other;
        case K::Null:
            break;
    }
    return QVariant();
}

[[noreturn]] void RowLengthBroken(qsizetype values, qsizetype columns)
{
    throw EProtocolError(
        QStringLiteral("Protocol error: a row of %1 values for %2 fields").arg(values).arg(columns));
}

}  // namespace

TDataSetReader::TDataSetReader(TRecordStore& store, QString owner, TBinder binder)
    : store_(store), owner_(std::move(owner)), binder_(std::move(binder))
{
}

void TDataSetReader::CheckMeta() const
{
    if (!haveMeta_)
        throw EProtocolError(QStringLiteral("Protocol error: rows arrived before the fields"));
}

void TDataSetReader::Meta(const QList<TFieldDef>& fields)
{
    names_ = binder_(fields);
    names_.resize(fields.size());
    rowCount_ = 0;
    haveMeta_ = true;
}

bool TDataSetReader::RowsPayload(const QByteArray& payload)
{
    DecodeRows(payload, *this);
    return true;
}

void TDataSetReader::Rows(const QList<QVariantList>& rows)
{
    CheckMeta();
    const qsizetype columns = names_.size();
    for (const QVariantList& row : rows) {
        if (row.size() != columns)
            RowLengthBroken(row.size(), columns);
        const quint32 slot = store_.AddSlot();
        for (int col = 0; col < columns; ++col)
            if (!VarIsNull(row[col]))
                StoreConverted(slot, col, row[col]);
        ++rowCount_;
    }
}

void TDataSetReader::End(qint64 count)
{
    if (!haveMeta_)
        throw EProtocolError(QStringLiteral("Protocol error: the transfer ended before the fields"));
    if (count != rowCount_)
        throw EDatabaseError(
            QCoreApplication::translate("TRemoteDataSet", "%1: the server announced %2 rows but sent %3.")
                .arg(owner_)
                .arg(count)
                .arg(rowCount_));
}

void TDataSetReader::BeginRow()
{
    CheckMeta();
    slot_ = store_.AddSlot();
    column_ = 0;
}

void TDataSetReader::Value(const TValue& v)
{
    const qsizetype columns = names_.size();
    if (column_ >= columns)
        throw EProtocolError(QStringLiteral("Protocol error: a row holds more than %1 values").arg(columns));
    const int col = column_++;
    const TFieldType type = store_.ColumnType(col);
    bool stored = false;
    switch (v.Kind) {
        case TKind::Null:
            return;
        case TKind::Integer:
        case TKind::Int16:
        case TKind::Int64:
        case TKind::Boolean:
            stored = store_.SetInteger(slot_, col, v.Integer);
            break;
        case TKind::Real:
            stored = store_.SetReal(slot_, col, v.Real);
            break;
        case TKind::DateTime:
            stored = TField::IsDateTimeType(type) && store_.SetReal(slot_, col, v.Real);
            break;
        case TKind::Text:
            stored = (TField::IsStringType(type) || type == TFieldType::Unknown) &&
                     store_.SetBytes(slot_, col, v.Data, v.Size);
            break;
        case TKind::Bytes:
            stored = type == TFieldType::Blob && store_.SetBytes(slot_, col, v.Data, v.Size);
            break;
        case TKind::Other:
            break;
    }
    if (!stored)
        StoreConverted(slot_, col, AsVariant(v));
}

void TDataSetReader::EndRow()
{
    if (column_ != names_.size())
        RowLengthBroken(column_, names_.size());
    ++rowCount_;
}

void TDataSetReader::StoreConverted(quint32 slot, int column, const QVariant& value)
{
    const TFieldType type = store_.ColumnType(column);
    store_.Set(slot, column,
               DirectlyStorable(type, value) ? value : TField::Converted(type, value, names_[column]));
}
