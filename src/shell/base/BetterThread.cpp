#include "shell/base/BetterThread.h"

#include <chrono>

TBetterThread::TBetterThread() = default;

// Descendants have waited already; a plain thread's body ends at once.
TBetterThread::~TBetterThread()
{
    Terminate();
    Join();
}

void TBetterThread::Start()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!thread_.joinable() && state_.load() != tsEnded)
        thread_ = std::thread([this] { Run(); });
}

bool TBetterThread::Suspended() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return !thread_.joinable() && state_.load() != tsEnded;
}

void TBetterThread::Run()
{
    try {
        ThreadBody();
    } catch (...) {
        const std::lock_guard<std::mutex> lock(mutex_);
        fatalException_ = std::current_exception();
    }
    ThreadEnded();
}

void TBetterThread::ThreadEnded()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        state_.store(tsEnded);
    }
    endedSignal_.notify_all();
}

void TBetterThread::ThreadBody()
{
    // A stop requested before the body began keeps the thread marked as stopping.
    TState expected = tsCreated;
    state_.compare_exchange_strong(expected, tsRunning);
}

void TBetterThread::WakeUp() {}

std::exception_ptr TBetterThread::FatalException() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return fatalException_;
}

bool TBetterThread::WaitBriefly()
{
    std::unique_lock<std::mutex> lock(mutex_);
    return endedSignal_.wait_for(lock, std::chrono::milliseconds(1),
                                 [this] { return state_.load() == tsEnded; });
}

void TBetterThread::StopAndWait(int limitMs)
{
    TState current = state_.load();
    do {
        if (current == tsStopping || current == tsEnded)
            return;
    } while (!state_.compare_exchange_weak(current, tsStopping));
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limitMs < 0 ? 0 : limitMs);
    // The request goes out at least once, so that even a limit of 0 leads to an end.
    for (;;) {
        Terminate();
        Start();
        WakeUp();
        if (limitMs >= 0 && Clock::now() >= deadline)
            return;
        if (WaitBriefly())
            return;
    }
}

void TBetterThread::WaitUntilEnded()
{
    StopAndWait(-1);
    while (State() != tsEnded) {
        Terminate();
        Start();
        WakeUp();
        WaitBriefly();
    }
    Join();
}

void TBetterThread::Join()
{
    std::thread running;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        running.swap(thread_);
        if (!running.joinable())
            state_.store(tsEnded);
    }
    if (running.joinable())
        running.join();
}
