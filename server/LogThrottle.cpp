#include "server/LogThrottle.h"

TLogThrottle::TLogThrottle(int perMinute, std::function<void(const QString&)> write, QString what, int windowMs)
    : perMinute_(perMinute), write_(std::move(write)), what_(std::move(what)), windowMs_(windowMs)
{
    summary_.setSingleShot(true);
    connect(&summary_, &QTimer::timeout, this, &TLogThrottle::Flush);
}

void TLogThrottle::Add(const QString& text)
{
    if (!window_.isValid() || window_.hasExpired(windowMs_)) {
        Flush();
        window_.start();
        written_ = 0;
    }
    if (written_ < perMinute_) {
        ++written_;
        write_(text);
        return;
    }
    ++leftOut_;
    if (!summary_.isActive())
        summary_.start(static_cast<int>(qMax<qint64>(0, windowMs_ - window_.elapsed())));
}

void TLogThrottle::Flush()
{
    summary_.stop();
    if (leftOut_ == 0)
        return;
    const qint64 count = std::exchange(leftOut_, 0);
    write_(QStringLiteral("%1 more %2 in the last %3 s were not logged one by one.")
               .arg(count)
               .arg(what_)
               .arg(windowMs_ / 1000));
}
