#pragma once
// One panel of the main window's status bar: a sunken label that shows as much of its
// text as fits, cut off with an ellipsis, and the whole text as its tool tip whenever it
// does not fit. It never asks for more room than its neighbours leave it.
//
//   auto* panel = new TStatusPanel(statusBar());
//   panel->setFixedWidth(200);
//   panel->SetText(QStringLiteral("Receiver on port 9100: exchange connected from 10.0.0.7:50122"));

#include <QLabel>

class TStatusPanel : public QLabel {
    Q_OBJECT

public:
    explicit TStatusPanel(QWidget* parent = nullptr);

    void SetText(const QString& text);
    // The whole text, as given.
    const QString& Text() const { return text_; }
    // Whether the panel shows less than the whole text.
    bool Elided() const { return QLabel::text() != text_; }

    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Fit();

    QString text_;
};
