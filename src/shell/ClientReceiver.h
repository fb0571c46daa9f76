#pragma once
// The receiver callback object: the raw data the exchange sends, dropped bytes, the
// input buffer's size and level (shown by the gauge under the raw input) and the
// receiver's state. Without a main window the calls change nothing that is shown.

#include "remote/CallbackObject.h"

#include <QColor>
#include <QString>

class TMainFormServices;

class TClientReceiver : public TCallbackObject {
public:
    explicit TClientReceiver(const TTypeLibrary& library, TMainFormServices* form = nullptr);

    void RawInput(const QString& text);
    void BytesDropped(int count);
    void BufferLevel(int level);
    void BufferSize(int size);
    void ReceiverState(const QString& text, bool running);

    int InputBufferSize() const { return bufferSize_; }

    // The gauge's colour for a level: green (80, 176, 80) when empty to orange
    // (255, 128, 80) when full, pure red above the size. size must not be 0.
    static QColor BufferColor(int level, int size);
    // What BytesDropped adds to the raw input.
    static QString DroppedText(int count);

private:
    TMainFormServices* form_;
    int bufferSize_ = 0;
};
