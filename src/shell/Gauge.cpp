#include "shell/Gauge.h"

#include <QPainter>

#include <algorithm>

TGauge::TGauge(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TGauge::SetMaxValue(int max)
{
    max_ = std::max(0, max);
    progress_ = std::clamp(progress_, 0, max_);
    update();
}

void TGauge::SetProgress(int progress)
{
    progress_ = std::clamp(progress, 0, max_);
    update();
}

void TGauge::SetForeColor(const QColor& color)
{
    color_ = color;
    update();
}

void TGauge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // A light trough, so that the empty bar still shows where it is.
    painter.fillRect(rect(), palette().color(QPalette::Midlight).darker(110));
    if (max_ <= 0 || progress_ <= 0)
        return;
    const int filled = static_cast<int>(static_cast<qint64>(width()) * progress_ / max_);
    painter.fillRect(QRect(0, 0, filled, height()), color_);
}
