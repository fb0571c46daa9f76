#pragma once
// The records of a dataset in typed columns: 32-bit and 64-bit integers and reals in plain
// arrays, texts and byte strings as spans into one UTF-8 pool per column, and one null bit
// per value. A record is a slot number; slots are only ever added, so a slot that the change
// log refers to keeps its values until the store is cleared.

#include "remote/Protocol.h"

#include <QList>
#include <QVariant>

#include <string>
#include <string_view>
#include <vector>

class TRecordStore {
public:
    void Reset(const QList<TFieldType>& columnTypes);
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    TFieldType ColumnType(int column) const { return columns_[column].Type; }
    quint32 SlotCount() const { return slots_; }

    // A new record with every value null.
    quint32 AddSlot();
    // Makes room for this many more records, so that loading them does not copy columns.
    void Reserve(qint64 more);
    // Gives back spare capacity once loading is done.
    void Squeeze();

    bool IsNull(quint32 slot, int column) const { return columns_[column].Nulls[slot]; }
    // Values of a slot whose value is not null, without a QVariant, for readers of many
    // rows: integer columns (Smallint, Integer, AutoInc, Boolean, Largeint) as integers,
    // text and byte columns as their stored bytes (UTF-8 for texts; valid until the store
    // changes).
    bool HoldsIntegers(int column) const
    {
        return columns_[column].Kind == TKind::Int32 || columns_[column].Kind == TKind::Int64;
    }
    bool HoldsBytes(int column) const
    {
        return columns_[column].Kind == TKind::Text || columns_[column].Kind == TKind::Bytes;
    }
    qint64 IntegerValue(quint32 slot, int column) const
    {
        const TColumn& c = columns_[column];
        return c.Kind == TKind::Int64 ? c.Longs[slot] : c.Ints[slot];
    }
    std::string_view BytesValue(quint32 slot, int column) const
    {
        const TColumn& c = columns_[column];
        return std::string_view(c.Pool.data() + c.Spans[slot].Offset, c.Spans[slot].Length);
    }
    QVariant Value(quint32 slot, int column) const;
    // Stores a value that already has the column's type (TField::Converted); null clears.
    void Set(quint32 slot, int column, const QVariant& value);
    // Values read off the wire, stored without a QVariant; false when the column holds
    // another kind of value, or an integer beyond the column's range (the caller then
    // converts, or refuses the value).
    bool SetInteger(quint32 slot, int column, qint64 value);
    bool SetReal(quint32 slot, int column, double value);
    bool SetBytes(quint32 slot, int column, const char* data, qsizetype size);  // UTF-8 for texts
    // Copies values of one record into another.
    void CopySlot(quint32 from, quint32 to);

    // Bytes held by the columns (capacity, not counting this object).
    qint64 MemoryUsage() const;

private:
    enum class TKind : quint8 { Int32, Int64, Real, Text, Bytes };
    struct TSpan {
        quint32 Offset = 0;
        quint32 Length = 0;
    };
    struct TColumn {
        TFieldType Type = TFieldType::Unknown;
        TKind Kind = TKind::Int32;
        std::vector<qint32> Ints;
        std::vector<qint64> Longs;
        std::vector<double> Reals;
        std::vector<TSpan> Spans;
        std::string Pool;
        std::vector<bool> Nulls;
    };
    static TKind KindOf(TFieldType type);
    static void StoreBytes(TColumn& column, quint32 slot, const char* data, qsizetype length);

    std::vector<TColumn> columns_;
    quint32 slots_ = 0;
};
