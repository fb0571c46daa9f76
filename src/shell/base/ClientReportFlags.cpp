#include "shell/base/ClientReportFlags.h"

#include "core/Errors.h"

#include <QCoreApplication>
#include <QThread>

namespace {

constexpr int kReadyPollMs = 10;

}  // namespace

void WaitForReadyFlag(const std::atomic<bool>& flag, const std::function<bool()>& connected)
{
    while (!flag) {
        if (!connected())
            throw EOleSysError(QCoreApplication::translate("TReportDM",
                                                           "The object invoked has disconnected from its clients."),
                               hr::RPC_E_DISCONNECTED_);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (!flag)
            QThread::msleep(kReadyPollMs);
    }
}
