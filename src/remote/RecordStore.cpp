#include "remote/RecordStore.h"

#include "core/Errors.h"
#include "core/Variants.h"

#include <QCoreApplication>

#include <limits>

TRecordStore::TKind TRecordStore::KindOf(TFieldType type)
{
    switch (type) {
        case TFieldType::Largeint:
            return TKind::Int64;
        case TFieldType::Float:
        case TFieldType::Currency:
        case TFieldType::DateTime:
        case TFieldType::TimeStamp:
            return TKind::Real;
        case TFieldType::String:
        case TFieldType::Memo:
        case TFieldType::WideString:
        case TFieldType::WideMemo:
            return TKind::Text;
        case TFieldType::Blob:
            return TKind::Bytes;
        case TFieldType::Smallint:
        case TFieldType::Integer:
        case TFieldType::Boolean:
        case TFieldType::AutoInc:
        case TFieldType::Unknown:
            break;
    }
    return TKind::Int32;
}

void TRecordStore::Reset(const QList<TFieldType>& columnTypes)
{
    columns_.clear();
    columns_.resize(static_cast<size_t>(columnTypes.size()));
    for (qsizetype i = 0; i < columnTypes.size(); ++i) {
        columns_[static_cast<size_t>(i)].Type = columnTypes[i];
        columns_[static_cast<size_t>(i)].Kind = KindOf(columnTypes[i]);
    }
    slots_ = 0;
}

quint32 TRecordStore::AddSlot()
{
    if (slots_ == std::numeric_limits<quint32>::max())
        throw EDatabaseError(QCoreApplication::translate("TRemoteDataSet", "Too many records."));
    for (TColumn& c : columns_) {
        switch (c.Kind) {
            case TKind::Int32:
                c.Ints.push_back(0);
                break;
            case TKind::Int64:
                c.Longs.push_back(0);
                break;
            case TKind::Real:
                c.Reals.push_back(0);
                break;
            case TKind::Text:
            case TKind::Bytes:
                c.Spans.push_back(TSpan{});
                break;
        }
        c.Nulls.push_back(true);
    }
    return slots_++;
}

void TRecordStore::Reserve(qint64 more)
{
    const auto total = static_cast<size_t>(qMin<qint64>(qint64(slots_) + qMax<qint64>(more, 0),
                                                        std::numeric_limits<quint32>::max()));
    for (TColumn& c : columns_) {
        switch (c.Kind) {
            case TKind::Int32:
                c.Ints.reserve(total);
                break;
            case TKind::Int64:
                c.Longs.reserve(total);
                break;
            case TKind::Real:
                c.Reals.reserve(total);
                break;
            case TKind::Text:
            case TKind::Bytes:
                c.Spans.reserve(total);
                break;
        }
        c.Nulls.reserve(total);
    }
}

void TRecordStore::Squeeze()
{
    for (TColumn& c : columns_) {
        c.Ints.shrink_to_fit();
        c.Longs.shrink_to_fit();
        c.Reals.shrink_to_fit();
        c.Spans.shrink_to_fit();
        c.Pool.shrink_to_fit();
        c.Nulls.shrink_to_fit();
    }
}

QVariant TRecordStore::Value(quint32 slot, int column) const
{
    const TColumn& c = columns_[static_cast<size_t>(column)];
    if (c.Nulls[slot])
        return QVariant();
    switch (c.Kind) {
        case TKind::Int32: {
            const qint32 i = c.Ints[slot];
            if (c.Type == TFieldType::Smallint)
                return VarFromInt16(static_cast<qint16>(i));
            if (c.Type == TFieldType::Boolean)
                return QVariant(i != 0);
            return QVariant(static_cast<int>(i));
        }
        case TKind::Int64:
            return QVariant(static_cast<qint64>(c.Longs[slot]));
        case TKind::Real:
            if (c.Type == TFieldType::DateTime || c.Type == TFieldType::TimeStamp)
                return VarFromDateTime(c.Reals[slot]);
            return QVariant(c.Reals[slot]);
        case TKind::Text: {
            const TSpan s = c.Spans[slot];
            return QVariant(QString::fromUtf8(c.Pool.data() + s.Offset, s.Length));
        }
        case TKind::Bytes: {
            const TSpan s = c.Spans[slot];
            return QVariant(QByteArray(c.Pool.data() + s.Offset, s.Length));
        }
    }
    return QVariant();
}

void TRecordStore::StoreBytes(TColumn& c, quint32 slot, const char* data, qsizetype length)
{
    // Always appended: records copied with CopySlot share their bytes.
    if (static_cast<quint64>(c.Pool.size()) + static_cast<quint64>(length) >
        std::numeric_limits<quint32>::max())
        throw EDatabaseError(QCoreApplication::translate("TRemoteDataSet", "Too much text in one column."));
    c.Spans[slot] = TSpan{static_cast<quint32>(c.Pool.size()), static_cast<quint32>(length)};
    c.Pool.append(data, static_cast<size_t>(length));
}

void TRecordStore::Set(quint32 slot, int column, const QVariant& value)
{
    TColumn& c = columns_[static_cast<size_t>(column)];
    if (VarIsNull(value)) {
        c.Nulls[slot] = true;
        return;
    }
    switch (c.Kind) {
        case TKind::Int32:
            c.Ints[slot] = c.Type == TFieldType::Boolean ? (value.toBool() ? 1 : 0) : value.toInt();
            break;
        case TKind::Int64:
            c.Longs[slot] = value.toLongLong();
            break;
        case TKind::Real:
            c.Reals[slot] = VarToFloat(value);
            break;
        case TKind::Text: {
            const QByteArray utf8 = value.toString().toUtf8();
            StoreBytes(c, slot, utf8.constData(), utf8.size());
            break;
        }
        case TKind::Bytes: {
            const QByteArray bytes = value.toByteArray();
            StoreBytes(c, slot, bytes.constData(), bytes.size());
            break;
        }
    }
    c.Nulls[slot] = false;
}

bool TRecordStore::SetInteger(quint32 slot, int column, qint64 value)
{
    TColumn& c = columns_[static_cast<size_t>(column)];
    switch (c.Kind) {
        case TKind::Int32: {
            const bool small = c.Type == TFieldType::Smallint;
            const qint64 low =
                small ? std::numeric_limits<qint16>::min() : std::numeric_limits<qint32>::min();
            const qint64 high =
                small ? std::numeric_limits<qint16>::max() : std::numeric_limits<qint32>::max();
            if (c.Type == TFieldType::Boolean)
                value = value != 0 ? 1 : 0;
            else if (value < low || value > high)
                return false;
            c.Ints[slot] = static_cast<qint32>(value);
            break;
        }
        case TKind::Int64:
            c.Longs[slot] = value;
            break;
        case TKind::Real:
            if (c.Type == TFieldType::DateTime || c.Type == TFieldType::TimeStamp)
                return false;
            c.Reals[slot] = static_cast<double>(value);
            break;
        default:
            return false;
    }
    c.Nulls[slot] = false;
    return true;
}

bool TRecordStore::SetReal(quint32 slot, int column, double value)
{
    TColumn& c = columns_[static_cast<size_t>(column)];
    if (c.Kind != TKind::Real)
        return false;
    c.Reals[slot] = value;
    c.Nulls[slot] = false;
    return true;
}

bool TRecordStore::SetBytes(quint32 slot, int column, const char* data, qsizetype size)
{
    TColumn& c = columns_[static_cast<size_t>(column)];
    if (c.Kind != TKind::Text && c.Kind != TKind::Bytes)
        return false;
    StoreBytes(c, slot, data, size);
    c.Nulls[slot] = false;
    return true;
}

void TRecordStore::CopySlot(quint32 from, quint32 to)
{
    for (int col = 0; col < ColumnCount(); ++col) {
        TColumn& c = columns_[static_cast<size_t>(col)];
        switch (c.Kind) {
            case TKind::Int32:
                c.Ints[to] = c.Ints[from];
                break;
            case TKind::Int64:
                c.Longs[to] = c.Longs[from];
                break;
            case TKind::Real:
                c.Reals[to] = c.Reals[from];
                break;
            case TKind::Text:
            case TKind::Bytes:
                c.Spans[to] = c.Spans[from];
                break;
        }
        c.Nulls[to] = c.Nulls[from];
    }
}

qint64 TRecordStore::MemoryUsage() const
{
    qint64 bytes = 0;
    for (const TColumn& c : columns_) {
        bytes +=
            static_cast<qint64>(c.Ints.capacity() * sizeof(qint32) + c.Longs.capacity() * sizeof(qint64) +
                                c.Reals.capacity() * sizeof(double) + c.Spans.capacity() * sizeof(TSpan) +
                                c.Pool.capacity() + c.Nulls.capacity() / 8);
    }
    return bytes;
}
