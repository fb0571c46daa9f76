#pragma once
// A worker thread with an explicit life-cycle state and a stop that waits, with or
// without a time limit. It is created suspended: nothing runs until Start.

#include <QtGlobal>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

class TBetterThread {
public:
    enum TState : quint8 { tsCreated = 0, tsRunning = 1, tsStopping = 2, tsEnded = 3 };

    TBetterThread();
    TBetterThread(const TBetterThread&) = delete;
    TBetterThread& operator=(const TBetterThread&) = delete;
    // Waits for the body to end. Descendants call WaitUntilEnded in their destructor, so
    // that their WakeUp still works and their members outlive the body.
    virtual ~TBetterThread();

    // Starts a suspended thread; does nothing once started.
    void Start();
    bool Suspended() const;

    TState State() const { return state_.load(); }
    // The flag the body polls; set by StopAndWait.
    bool Terminated() const { return terminated_.load(); }
    void Terminate() { terminated_.store(true); }

    // Marks the thread stopping and waits at most limitMs (negative: no limit) until its
    // body has ended, requesting termination and calling WakeUp meanwhile. Returns at
    // once when the thread is already stopping or ended.
    void StopAndWait(int limitMs);

    // An exception that escaped the body, if any.
    std::exception_ptr FatalException() const;

protected:
    // Runs on the worker thread after the body; the base marks the thread ended.
    virtual void ThreadEnded();
    // The thread's work; descendants call the base first, which marks the thread running.
    virtual void ThreadBody();
    // Called repeatedly while the thread is being stopped, so that a body blocked in a
    // wait can return.
    virtual void WakeUp();

    // StopAndWait without limit that also waits for a thread already stopping.
    void WaitUntilEnded();

private:
    void Run();
    void Join();
    // Waits up to one millisecond for the end; true once ended.
    bool WaitBriefly();

    std::atomic<TState> state_{tsCreated};
    std::atomic<bool> terminated_{false};
    mutable std::mutex mutex_;
    std::condition_variable endedSignal_;
    std::thread thread_;
    std::exception_ptr fatalException_;
};
