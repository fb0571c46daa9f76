#include "printing/ProgressDialog.h"

#include <QCoreApplication>
#include <QProgressDialog>

TPrintProgressDialog::TPrintProgressDialog(QWidget* parent, TAddStatus addStatus, TClearStatus clearStatus)
    : parent_(parent), addStatus_(std::move(addStatus)), clearStatus_(std::move(clearStatus))
{
}

TPrintProgressDialog::~TPrintProgressDialog()
{
    if (running_)
        End();
}

void TPrintProgressDialog::Begin(const QString& activity, int total)
{
    if (running_)
        End();
    activity_ = activity;
    total_ = total;
    cancelled_ = false;
    running_ = true;
    clock_.start();
    if (addStatus_)
        addStatus_(activity);
}

bool TPrintProgressDialog::Advance(int done)
{
    if (!running_)
        return true;
    if (!dialog_ && clock_.elapsed() >= delayMs_) {
        dialog_ = std::make_unique<QProgressDialog>(
            activity_, QCoreApplication::translate("TPrintProgress", "Cancel"), 0, total_, parent_);
        dialog_->setObjectName(QStringLiteral("dlgPrintProgress"));
        dialog_->setWindowTitle(activity_);
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoReset(false);
        dialog_->setAutoClose(false);
        dialog_->show();
    }
    if (dialog_) {
        // A modal progress dialog lets events through as its value changes: the window
        // repaints and Cancel can be pressed.
        dialog_->setValue(total_ > 0 ? std::min(done, total_) : 0);
        QCoreApplication::processEvents();
        cancelled_ = cancelled_ || dialog_->wasCanceled();
    }
    return !cancelled_;
}

void TPrintProgressDialog::End()
{
    if (!running_)
        return;
    running_ = false;
    dialog_.reset();
    if (clearStatus_)
        clearStatus_();
}
