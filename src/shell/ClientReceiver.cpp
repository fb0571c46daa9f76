#include "shell/ClientReceiver.h"

#include "shell/Gauge.h"
#include "shell/MainFormServices.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace {

// Rounds to the nearest integer, halves to the even neighbour.
int RoundHalfEven(double value)
{
    const double lower = std::floor(value);
    const double diff = value - lower;
    if (diff > 0.5)
        return static_cast<int>(lower) + 1;
    if (diff < 0.5)
        return static_cast<int>(lower);
    const int l = static_cast<int>(lower);
    return l % 2 == 0 ? l : l + 1;
}

int Blend(int start, int end, int level, int size)
{
    const double offset = static_cast<double>(end - start) * level / size;
    return std::clamp(start + RoundHalfEven(offset), 0, 255);
}

}  // namespace

TClientReceiver::TClientReceiver(const TTypeLibrary& library, TMainFormServices* form)
    : TCallbackObject(library, QLatin1String(iid::ClientReceiver)), form_(form)
{
    Bind(QLatin1String(callback::RawInput.Method), &TClientReceiver::RawInput);
    Bind(QLatin1String(callback::BytesDropped.Method), &TClientReceiver::BytesDropped);
    Bind(QLatin1String(callback::BufferLevel.Method), &TClientReceiver::BufferLevel);
    Bind(QLatin1String(callback::BufferSize.Method), &TClientReceiver::BufferSize);
    Bind(QLatin1String(callback::ReceiverState.Method), &TClientReceiver::ReceiverState);
}

void TClientReceiver::RawInput(const QString& text)
{
    if (form_)
        form_->AddRawInput(text);
}

QString TClientReceiver::DroppedText(int count)
{
    if (count > 64)
        return QLatin1Char('\n') +
               QCoreApplication::translate("TClientReceiver", "Dropped %1 bytes.").arg(count) +
               QLatin1Char('\n');
    return QString(std::max(count, 0), QLatin1Char('.'));
}

void TClientReceiver::BytesDropped(int count)
{
    if (form_)
        form_->AddRawInput(DroppedText(count));
}

void TClientReceiver::BufferSize(int size)
{
    bufferSize_ = size;
    if (form_)
        form_->InputBufferGauge().SetMaxValue(size);
}

QColor TClientReceiver::BufferColor(int level, int size)
{
    if (level > size)
        return QColor(255, 0, 0);
    return QColor(Blend(80, 255, level, size), Blend(176, 128, level, size), Blend(80, 80, level, size));
}

void TClientReceiver::BufferLevel(int level)
{
    if (bufferSize_ == 0 || !form_)
        return;
    TGauge& gauge = form_->InputBufferGauge();
    gauge.SetForeColor(BufferColor(level, bufferSize_));
    gauge.SetProgress(level);
}

void TClientReceiver::ReceiverState(const QString& text, bool running)
{
    if (form_) {
        form_->SetStatusPanelText(0, text);
        form_->SetReceiverRunning(running);
    }
}
