#pragma once
// A thin horizontal bar without text whose range, position and bar colour its owner sets
// (the input-buffer gauge under the raw input).

#include <QColor>
#include <QWidget>

class TGauge : public QWidget {
    Q_OBJECT

public:
    explicit TGauge(QWidget* parent = nullptr);

    int MaxValue() const { return max_; }
    void SetMaxValue(int max);
    int Progress() const { return progress_; }
    // Kept within 0 and the maximum.
    void SetProgress(int progress);
    QColor ForeColor() const { return color_; }
    void SetForeColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int max_ = 100;
    int progress_ = 0;
    QColor color_{0, 0, 128};
};
