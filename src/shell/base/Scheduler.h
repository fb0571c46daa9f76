#pragma once
// A process-wide timer thread that runs named one-shot events when they fall due, at most
// about 100 ms late and each exactly once. Procedures run on the scheduler thread, never
// with the event list locked, so they may schedule and cancel events themselves.

#include "shell/base/BetterThread.h"
#include "core/DateTime.h"

#include <QList>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

using TScheduledProc = std::function<void(void* datum)>;

class TScheduledEvent {
public:
    TScheduledEvent(QString name, TDateTime dueTime, TScheduledProc procedure, void* datum);

    const QString& Name() const { return name_; }
    TDateTime DueTime() const { return dueTime_; }
    const TScheduledProc& Procedure() const { return procedure_; }
    void* Datum() const { return datum_; }
    // Fired or cancelled; removed from the scheduler at its next sweep.
    bool Done() const { return done_.load(); }
    void MarkDone() { done_.store(true); }
    // Marks the event done and tells whether it was not done before.
    bool TakeForFiring() { return !done_.exchange(true); }

private:
    QString name_;
    TDateTime dueTime_;
    TScheduledProc procedure_;
    void* datum_;
    std::atomic<bool> done_{false};
};

using TScheduledEventPtr = std::shared_ptr<TScheduledEvent>;

// Which of the same-named events a cancellation marks done, relative to its time.
enum class TCancelMode { DueAtOrAfter = 1, DueBefore = 2, All = 3 };

// Receives a scheduled procedure's error: the handler's datum, the event and the error.
using TSchedulerErrorProc =
    std::function<void(void* datum, TScheduledEvent& event, const std::exception& error)>;

class TSchedulerThread : public TBetterThread {
public:
    // Created suspended; Instance() starts the process-wide one on first use.
    TSchedulerThread();
    ~TSchedulerThread() override;

    static TSchedulerThread& Instance();

    // Cancels the same-named events that the mode selects for the due time, then appends
    // the new event.
    TScheduledEventPtr Schedule(const QString& name, TCancelMode mode, TDateTime dueTime,
                                TScheduledProc procedure, void* datum);
    // Schedule with TCancelMode::All, due delayMs milliseconds from now.
    TScheduledEventPtr ScheduleIn(const QString& name, qint64 delayMs, TScheduledProc procedure, void* datum);
    // Marks the events of exactly this name (letter case counts) done.
    void Cancel(const QString& name, TCancelMode mode, TDateTime time);

    // Without a handler, errors of scheduled procedures are dropped.
    void SetErrorHandler(TSchedulerErrorProc handler, void* datum);

    // The events not yet removed, done ones included.
    int EventCount() const;

    static constexpr int SweepIntervalMs = 100;

protected:
    void ThreadBody() override;
    void WakeUp() override;

private:
    void CancelLocked(const QString& name, TCancelMode mode, TDateTime time);
    void RemoveDone();
    void FireDue();
    void Fire(TScheduledEvent& event);
    void ReportError(TScheduledEvent& event, const std::exception& error);

    mutable std::mutex lock_;
    std::condition_variable wake_;
    QList<TScheduledEventPtr> events_;
    TSchedulerErrorProc errorHandler_;
    void* errorDatum_ = nullptr;
};
