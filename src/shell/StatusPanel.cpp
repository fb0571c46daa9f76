#include "shell/StatusPanel.h"

#include <QResizeEvent>

TStatusPanel::TStatusPanel(QWidget* parent) : QLabel(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setTextFormat(Qt::PlainText);
}

void TStatusPanel::SetText(const QString& text)
{
    text_ = text;
    Fit();
}

QSize TStatusPanel::minimumSizeHint() const
{
    // A long text is cut off rather than widening the window.
    return {frameWidth() * 2, QLabel::minimumSizeHint().height()};
}

void TStatusPanel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    Fit();
}

void TStatusPanel::Fit()
{
    const int room = contentsRect().width() - 2 * margin() - fontMetrics().averageCharWidth() / 2;
    const QString shown = fontMetrics().elidedText(text_, Qt::ElideRight, qMax(0, room));
    setText(shown);
    setToolTip(shown == text_ ? QString() : text_);
}
