#include "remote/DataSetReader.h"

#include "core/Errors.h"
#include "core/Variants.h"
#include "remote/Field.h"
#include "remote/RecordStore.h"

#include <QCoreApplication>

namespace {

// A decoded value as the packet's bytes give it, so that both ways in store by one rule.
// Texts and byte strings point into `bytes`.
TRowValueSink::TValue ValueOf(const QVariant& v, QByteArray& bytes)
{
    using K = TRowValueSink::TKind;
    TRowValueSink::TValue out;
    if (VarIsNull(v))
        return out;
    switch (v.metaType().id()) {
        case QMetaType::Int:
            out.Kind = K::Integer;
            out.Integer = v.toInt();
            return out;
        case QMetaType::Short:
            out.Kind = K::Int16;
            out.Integer = v.toInt();
            return out;
        case QMetaType::LongLong:
            out.Kind = K::Int64;
            out.Integer = v.toLongLong();
            return out;
        case QMetaType::Bool:
            out.Kind = K::Boolean;
            out.Integer = v.toBool() ? 1 : 0;
            return out;
        case QMetaType::Double:
            out.Kind = K::Real;
            out.Real = v.toDouble();
            return out;
        case QMetaType::QString:
        case QMetaType::QByteArray:
            out.Kind = v.metaType().id() == QMetaType::QString ? K::Text : K::Bytes;
            bytes = out.Kind == K::Text ? v.toString().toUtf8() : v.toByteArray();
            out.Data = bytes.constData();
            out.Size = bytes.size();
            return out;
        default:
            break;
    }
    if (VarIsDateTime(v)) {
        out.Kind = K::DateTime;
        out.Real = VarToDateTime(v);
    } else {
        out.Kind = K::Other;
        out.Other = v;
    }
    return out;
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

void TDataSetReader::RowsExpected(qint64 count)
{
    // A hint from the server: a damaged one must not take the client's memory.
    constexpr qint64 kMostReserved = 10'000'000;
    store_.Reserve(qMin(count, kMostReserved));
}

bool TDataSetReader::RowsPayload(const QByteArray& payload)
{
    DecodeRows(payload, *this);
    return true;
}

void TDataSetReader::Rows(const QList<QVariantList>& rows)
{
    CheckMeta();
    QByteArray bytes;
    for (const QVariantList& row : rows) {
        if (row.size() != names_.size())
            RowLengthBroken(row.size(), names_.size());
        BeginRow();
        for (const QVariant& value : row)
            Value(ValueOf(value, bytes));
        EndRow();
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
    if (stored)
        return;
    // Another kind of value than the column holds (or one beyond its range): converted as
    // typed text is, or refused.
    store_.Set(slot_, col, TField::Converted(type, AsVariant(v), names_[col]));
}

void TDataSetReader::EndRow()
{
    if (column_ != names_.size())
        RowLengthBroken(column_, names_.size());
    ++rowCount_;
}
