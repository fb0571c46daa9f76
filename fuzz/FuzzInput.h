#pragma once
// What every fuzz target shares: a broken invariant aborts (libFuzzer and the corpus
// replay both report an abort), and the fuzzer's bytes are taken apart field by field.
// Reading past the end gives zeros and empty texts, so every input is usable.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

inline void FuzzCheck(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

class TFuzzInput {
public:
    TFuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t Left() const { return size_ - offset_; }
    std::uint8_t Byte()
    {
        return offset_ < size_ ? data_[offset_++] : 0;
    }
    std::uint32_t Uint32()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value = (value << 8) | Byte();
        return value;
    }
    double Double()
    {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits = (bits << 8) | Byte();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // Up to maxBytes bytes.
    QByteArray Bytes(std::size_t maxBytes)
    {
        const std::size_t count = maxBytes < Left() ? maxBytes : Left();
        QByteArray bytes(reinterpret_cast<const char*>(data_ + offset_), qsizetype(count));
        offset_ += count;
        return bytes;
    }
    QByteArray Rest() { return Bytes(Left()); }
    // A text of up to maxBytes bytes, read as UTF-8 (one byte first says its length).
    QString Text(std::size_t maxBytes = 255)
    {
        const std::size_t length = Byte();
        return QString::fromUtf8(Bytes(length < maxBytes ? length : maxBytes));
    }
    QString RestText() { return QString::fromUtf8(Rest()); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
};
