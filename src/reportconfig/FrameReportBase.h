#pragma once
// The base of every page of the call report window: a panel of controls that turns its
// whole state into one line of text and back. The window keeps the lines in the settings
// file (TReportControlPanel) and never looks inside a page.

#include <QFrame>
#include <QString>

class TReportBaseFrame : public QFrame {
    Q_OBJECT

public:
    // owner is the panel that hosts the page; it becomes the page's parent.
    explicit TReportBaseFrame(QWidget* owner);

    // The page's state line; it never holds a line break.
    virtual QString SaveState() const = 0;
    // Restores the page from a state line. The empty line and any malformed line give the
    // page's default state (or the values that still read).
    virtual void LoadState(const QString& state) = 0;
};
