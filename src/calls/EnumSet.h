#pragma once
// A set of the values 0 .. Size-1 of a small enumeration, kept as bits. Iterates in
// value order; values outside the range are never members.

#include <QtGlobal>

#include <bit>
#include <initializer_list>
#include <iterator>

template <typename E, int Size>
class TEnumSet {
    static_assert(Size > 0 && Size <= 64, "TEnumSet holds at most 64 values");

public:
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = E;
        using difference_type = int;
        using pointer = const E*;
        using reference = E;

        constexpr Iterator() = default;
        constexpr explicit Iterator(quint64 rest) : rest_(rest) {}
        constexpr E operator*() const { return static_cast<E>(std::countr_zero(rest_)); }
        constexpr Iterator& operator++()
        {
            rest_ &= rest_ - 1;
            return *this;
        }
        constexpr Iterator operator++(int)
        {
            Iterator before = *this;
            ++*this;
            return before;
        }
        friend constexpr bool operator==(Iterator a, Iterator b) { return a.rest_ == b.rest_; }

    private:
        quint64 rest_ = 0;
    };

    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> values)
    {
        for (E value : values)
            Include(value);
    }

    static constexpr TEnumSet FromBits(quint64 bits)
    {
        TEnumSet set;
        set.bits_ = bits & AllBits();
        return set;
    }
    constexpr quint64 Bits() const { return bits_; }

    constexpr bool Contains(E value) const { return (bits_ & Bit(value)) != 0; }
    constexpr void Include(E value) { bits_ |= Bit(value); }
    constexpr void Exclude(E value) { bits_ &= ~Bit(value); }
    constexpr bool IsEmpty() const { return bits_ == 0; }
    constexpr int Count() const { return std::popcount(bits_); }

    constexpr TEnumSet& operator+=(const TEnumSet& other)
    {
        bits_ |= other.bits_;
        return *this;
    }
    constexpr TEnumSet& operator*=(const TEnumSet& other)
    {
        bits_ &= other.bits_;
        return *this;
    }
    constexpr TEnumSet& operator-=(const TEnumSet& other)
    {
        bits_ &= ~other.bits_;
        return *this;
    }
    friend constexpr TEnumSet operator+(TEnumSet a, const TEnumSet& b) { return a += b; }
    friend constexpr TEnumSet operator*(TEnumSet a, const TEnumSet& b) { return a *= b; }
    friend constexpr TEnumSet operator-(TEnumSet a, const TEnumSet& b) { return a -= b; }
    friend constexpr bool operator==(const TEnumSet& a, const TEnumSet& b) { return a.bits_ == b.bits_; }

    constexpr Iterator begin() const { return Iterator(bits_); }
    constexpr Iterator end() const { return Iterator(0); }

private:
    static constexpr quint64 AllBits() { return Size == 64 ? ~0ULL : (1ULL << Size) - 1; }
    static constexpr quint64 Bit(E value)
    {
        const auto index = static_cast<long long>(value);
        return index >= 0 && index < Size ? 1ULL << index : 0;
    }

    quint64 bits_ = 0;
};
