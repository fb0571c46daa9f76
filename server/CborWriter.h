#pragma once
// CBOR items written straight into one growing byte buffer, for the rows of large results:
// no device, no per-item allocation, the buffer's capacity kept between packets. Writes
// the shortest heads (as QCborStreamWriter does) and doubles as doubles. Never raises
// beyond std::bad_alloc.
//
//   TCborWriter w;
//   w.Reserve(256 * 1024);
//   w.ArrayHead(2);
//   w.Integer(-5);
//   w.Text("abc", 3);

#include <QByteArray>
#include <QtEndian>

#include <cstring>

class TCborWriter {
public:
    void Reserve(qsizetype bytes)
    {
        if (buffer_.size() < bytes)
            buffer_.resize(bytes);
    }
    qsizetype Size() const { return size_; }
    const char* Data() const { return buffer_.constData(); }
    // Forgets what was written; keeps the capacity.
    void Clear() { size_ = 0; }
    // What was written, as its own array.
    QByteArray Bytes() const { return QByteArray(buffer_.constData(), size_); }

    void Raw(const char* data, qsizetype size)
    {
        char* p = Room(size);
        std::memcpy(p, data, static_cast<size_t>(size));
        size_ += size;
    }
    void Byte(quint8 byte) { *Room(1) = static_cast<char>(byte), ++size_; }

    void Unsigned(quint64 value) { Head(0, value); }
    void Integer(qint64 value)
    {
        if (value >= 0)
            Head(0, static_cast<quint64>(value));
        else
            Head(1, ~static_cast<quint64>(value));
    }
    void Tag(quint64 tag) { Head(6, tag); }
    void ArrayHead(quint64 count) { Head(4, count); }
    void IndefiniteArray() { Byte(0x9f); }
    void Break() { Byte(0xff); }
    void Null() { Byte(0xf6); }
    void Boolean(bool value) { Byte(value ? 0xf5 : 0xf4); }
    void Double(double value)
    {
        char* p = Room(9);
        p[0] = static_cast<char>(0xfb);
        quint64 bits;
        std::memcpy(&bits, &value, sizeof bits);
        qToBigEndian(bits, p + 1);
        size_ += 9;
    }
    void Text(const char* data, qsizetype size)
    {
        Head(3, static_cast<quint64>(size));
        Raw(data, size);
    }
    void ByteString(const char* data, qsizetype size)
    {
        Head(2, static_cast<quint64>(size));
        Raw(data, size);
    }

private:
    char* Room(qsizetype bytes)
    {
        if (size_ + bytes > buffer_.size())
            buffer_.resize(qMax(size_ + bytes, buffer_.size() * 2 + 64));
        return buffer_.data() + size_;
    }
    void Head(quint8 major, quint64 value)
    {
        char* p = Room(9);
        const auto m = static_cast<char>(major << 5);
        if (value < 24) {
            p[0] = static_cast<char>(m | static_cast<char>(value));
            size_ += 1;
        } else if (value <= 0xff) {
            p[0] = static_cast<char>(m | 24);
            p[1] = static_cast<char>(value);
            size_ += 2;
        } else if (value <= 0xffff) {
            p[0] = static_cast<char>(m | 25);
            qToBigEndian(static_cast<quint16>(value), p + 1);
            size_ += 3;
        } else if (value <= 0xffffffffu) {
            p[0] = static_cast<char>(m | 26);
            qToBigEndian(static_cast<quint32>(value), p + 1);
            size_ += 5;
        } else {
            p[0] = static_cast<char>(m | 27);
            qToBigEndian(value, p + 1);
            size_ += 9;
        }
    }

    QByteArray buffer_;  // its size is the capacity; size_ bytes are written
    qsizetype size_ = 0;
};
