#pragma once
// A TPrintProgress for windows: the running activity goes to the caller's status (the main
// window's AddStatus and ClearStatus), and a modal progress dialog with Cancel appears when
// the work lasts beyond a second. While it runs, Advance lets the window repaint and the
// user press Cancel.
//
//   TPrintProgressDialog progress(this, [&](const QString& text) { services.AddStatus(text); },
//                                 [&] { services.ClearStatus(); });
//   if (!WritePdf(report, fileName, &progress)) ...  // cancelled
//
// Never raises.

#include "printing/PrintProgress.h"

#include <QElapsedTimer>
#include <QPointer>

#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

class TPrintProgressDialog : public TPrintProgress {
public:
    using TAddStatus = std::function<void(const QString& text)>;
    using TClearStatus = std::function<void()>;

    // Status functions may be empty.
    explicit TPrintProgressDialog(QWidget* parent, TAddStatus addStatus = {}, TClearStatus clearStatus = {});
    ~TPrintProgressDialog() override;

    void Begin(const QString& activity, int total) override;
    bool Advance(int done) override;
    void End() override;

    // How long the work runs before the dialog shows (one second).
    void SetDelay(int ms) { delayMs_ = ms; }

private:
    QPointer<QWidget> parent_;
    TAddStatus addStatus_;
    TClearStatus clearStatus_;
    std::unique_ptr<QProgressDialog> dialog_;
    QElapsedTimer clock_;
    QString activity_;
    int total_ = 0;
    int delayMs_ = 1000;
    bool cancelled_ = false;
    bool running_ = false;
};
