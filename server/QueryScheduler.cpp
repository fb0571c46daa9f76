#include "server/QueryScheduler.h"

#include <algorithm>

TQueryScheduler::TQueryScheduler(int threads, int share)
    : QObject(nullptr), threads_(qMax(1, threads)), share_(qMax(1, share))
{
    pool_.setMaxThreadCount(threads_);
    // Threads are kept while statements come; an idle server gives them back.
    pool_.setExpiryTimeout(60000);
}

TQueryScheduler::~TQueryScheduler()
{
    Stop();
}

void TQueryScheduler::Submit(quint64 owner, std::function<void()> work)
{
    if (stopped_)
        return;
    std::deque<std::function<void()>>& queue = waiting_[owner];
    if (queue.empty())
        turns_.push_back(owner);
    queue.push_back(std::move(work));
    StartNext();
}

int TQueryScheduler::Waiting() const
{
    int n = 0;
    for (const auto& [owner, queue] : waiting_)
        n += static_cast<int>(queue.size());
    return n;
}

void TQueryScheduler::StartNext()
{
    while (!stopped_ && running_ < threads_) {
        const auto next = std::find_if(turns_.begin(), turns_.end(),
                                       [this](quint64 owner) {
                                           const auto it = runningOf_.find(owner);
                                           return it == runningOf_.end() || it->second < share_;
                                       });
        if (next == turns_.end())
            return;
        const quint64 owner = *next;
        turns_.erase(next);
        std::deque<std::function<void()>>& queue = waiting_[owner];
        std::function<void()> work = std::move(queue.front());
        queue.pop_front();
        if (queue.empty())
            waiting_.erase(owner);
        else
            turns_.push_back(owner);  // its next statement waits for the others' turns
        ++running_;
        ++runningOf_[owner];
        pool_.start([this, owner, work = std::move(work)] {
            work();
            QMetaObject::invokeMethod(this, [this, owner] { Finished(owner); }, Qt::QueuedConnection);
        });
    }
}

void TQueryScheduler::Finished(quint64 owner)
{
    --running_;
    if (--runningOf_[owner] <= 0)
        runningOf_.erase(owner);
    StartNext();
}

void TQueryScheduler::Stop()
{
    stopped_ = true;
    waiting_.clear();
    turns_.clear();
    pool_.waitForDone();
}
