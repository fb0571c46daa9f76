#include "server/LineBuffer.h"

qsizetype TLineBuffer::Append(QByteArrayView bytes)
{
    const qsizetype taken = qBound<qsizetype>(0, capacity_ - Level(), bytes.size());
    if (taken > 0)
        data_.append(bytes.first(taken));
    return taken;
}

bool TLineBuffer::HasLine() const
{
    const char* bytes = data_.constData();
    const qsizetype last = data_.size() - 1;
    for (qsizetype i = qMax(start_, scan_); i <= last; ++i)
        if (bytes[i] == '\n' || (bytes[i] == '\r' && i < last))
            return true;
    return false;
}

bool TLineBuffer::TakeLine(QByteArray& line, bool inputEnded)
{
    const char* bytes = data_.constData();
    const qsizetype size = data_.size();
    for (qsizetype i = qMax(start_, scan_); i < size; ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        qsizetype end = i + 1;
        if (bytes[i] == '\r') {
            if (end == size && !inputEnded) {
                scan_ = i;  // CR LF may be split between two reads
                return false;
            }
            if (end < size && bytes[end] == '\n')
                ++end;
        }
        line = data_.mid(start_, end - start_);
        start_ = scan_ = end;
        Compact();
        return true;
    }
    scan_ = size;
    return false;
}

QByteArray TLineBuffer::TakeRest()
{
    QByteArray rest = data_.mid(start_);
    data_.resize(0);  // keeps the allocation
    start_ = scan_ = 0;
    return rest;
}

void TLineBuffer::Compact()
{
    // Moving the rest to the front only when most of the array is spent keeps taking
    // lines linear in the bytes received.
    if (start_ == data_.size()) {
        data_.resize(0);  // keeps the allocation
        start_ = scan_ = 0;
    } else if (start_ > 4096 && start_ > data_.size() / 2) {
        data_.remove(0, start_);
        scan_ -= start_;
        start_ = 0;
    }
}
