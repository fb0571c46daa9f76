#pragma once
// The receiver's input buffer: an exchange's bytes wait here until they form lines. It
// holds at most its capacity; the caller offers no more than Room() (TExchangeLink leaves
// the rest in the network until there is room).

#include <QByteArray>
#include <QByteArrayView>

class TLineBuffer {
public:
    explicit TLineBuffer(qsizetype capacity) : capacity_(capacity) {}

    qsizetype Capacity() const { return capacity_; }
    // Takes effect for what is appended from now on.
    void SetCapacity(qsizetype capacity) { capacity_ = capacity; }
    // The bytes waiting.
    qsizetype Level() const { return data_.size() - start_; }
    bool IsEmpty() const { return Level() == 0; }
    bool IsFull() const { return Level() >= capacity_; }
    qsizetype Room() const { return qMax<qsizetype>(0, capacity_ - Level()); }
    // True when TakeLine has a line to give (a CR at the very end does not count: it waits
    // for its LF).
    bool HasLine() const;

    // Appends as much as fits; returns how many bytes were taken.
    qsizetype Append(QByteArrayView bytes);
    // The next complete line with its line break: CR LF, LF or CR. A CR at the very end
    // waits for the next byte, which may make it CR LF, unless the input has ended.
    bool TakeLine(QByteArray& line, bool inputEnded = false);
    // True when the bytes waiting end with a CR that TakeLine holds back.
    bool EndsWithCarriageReturn() const { return Level() > 0 && data_.back() == '\r'; }
    // Everything waiting, as one line (the input ended inside a line, or a line does not
    // fit the buffer).
    QByteArray TakeRest();

private:
    void Compact();

    QByteArray data_;
    qsizetype start_ = 0;  // the first byte waiting
    qsizetype scan_ = 0;   // no line break before this index
    qsizetype capacity_;
};
