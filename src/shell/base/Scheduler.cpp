#include "shell/base/Scheduler.h"

#include "core/Errors.h"

#include <chrono>
#include <utility>

TScheduledEvent::TScheduledEvent(QString name, TDateTime dueTime, TScheduledProc procedure, void* datum)
    : name_(std::move(name)), dueTime_(dueTime), procedure_(std::move(procedure)), datum_(datum)
{
}

TSchedulerThread::TSchedulerThread() = default;

TSchedulerThread::~TSchedulerThread()
{
    WaitUntilEnded();
}

TSchedulerThread& TSchedulerThread::Instance()
{
    static TSchedulerThread scheduler;
    scheduler.Start();
    return scheduler;
}

TScheduledEventPtr TSchedulerThread::Schedule(const QString& name, TCancelMode mode, TDateTime dueTime,
                                              TScheduledProc procedure, void* datum)
{
    auto event = std::make_shared<TScheduledEvent>(name, dueTime, std::move(procedure), datum);
    const std::lock_guard<std::mutex> lock(lock_);
    CancelLocked(name, mode, dueTime);
    events_.append(event);
    return event;
}

TScheduledEventPtr TSchedulerThread::ScheduleIn(const QString& name, qint64 delayMs, TScheduledProc procedure,
                                                void* datum)
{
    return Schedule(name, TCancelMode::All, Now() + static_cast<double>(delayMs) / MSecsPerDay,
                    std::move(procedure), datum);
}

void TSchedulerThread::Cancel(const QString& name, TCancelMode mode, TDateTime time)
{
    const std::lock_guard<std::mutex> lock(lock_);
    CancelLocked(name, mode, time);
}

void TSchedulerThread::CancelLocked(const QString& name, TCancelMode mode, TDateTime time)
{
    for (const TScheduledEventPtr& event : std::as_const(events_)) {
        if (event->Name() != name)
            continue;
        const bool selected = mode == TCancelMode::All ||
                              (mode == TCancelMode::DueAtOrAfter && event->DueTime() >= time) ||
                              (mode == TCancelMode::DueBefore && event->DueTime() < time);
        if (selected)
            event->MarkDone();
    }
}

void TSchedulerThread::SetErrorHandler(TSchedulerErrorProc handler, void* datum)
{
    const std::lock_guard<std::mutex> lock(lock_);
    errorHandler_ = std::move(handler);
    errorDatum_ = datum;
}

int TSchedulerThread::EventCount() const
{
    const std::lock_guard<std::mutex> lock(lock_);
    return static_cast<int>(events_.size());
}

void TSchedulerThread::RemoveDone()
{
    const std::lock_guard<std::mutex> lock(lock_);
    events_.removeIf([](const TScheduledEventPtr& event) { return event->Done(); });
}

void TSchedulerThread::Fire(TScheduledEvent& event)
{
    if (!event.TakeForFiring() || !event.Procedure())
        return;
    try {
        event.Procedure()(event.Datum());
    } catch (const std::exception& error) {
        ReportError(event, error);
    } catch (...) {
        ReportError(
            event,
            Exception(QStringLiteral("Unknown error in the scheduled event \"%1\".").arg(event.Name())));
    }
}

// Nothing a procedure or the handler throws may end the scheduler.
void TSchedulerThread::ReportError(TScheduledEvent& event, const std::exception& error)
{
    TSchedulerErrorProc handler;
    void* datum = nullptr;
    {
        const std::lock_guard<std::mutex> lock(lock_);
        handler = errorHandler_;
        datum = errorDatum_;
    }
    if (!handler)
        return;
    try {
        handler(datum, event, error);
    } catch (...) {
    }
}

// Walks the events present when the walk starts, so that additions from other threads
// (or from the procedures themselves) never disturb it.
void TSchedulerThread::FireDue()
{
    QList<TScheduledEventPtr> snapshot;
    {
        const std::lock_guard<std::mutex> lock(lock_);
        snapshot = events_;
    }
    const TDateTime now = Now();
    for (const TScheduledEventPtr& event : std::as_const(snapshot)) {
        if (event->DueTime() < now)
            Fire(*event);
    }
}

void TSchedulerThread::ThreadBody()
{
    TBetterThread::ThreadBody();
    while (!Terminated()) {
        RemoveDone();
        FireDue();
        RemoveDone();
        std::unique_lock<std::mutex> lock(lock_);
        wake_.wait_for(lock, std::chrono::milliseconds(SweepIntervalMs), [this] { return Terminated(); });
    }
}

void TSchedulerThread::WakeUp()
{
    // Taking the lock orders the notification after the body's check of the flag.
    {
        const std::lock_guard<std::mutex> lock(lock_);
    }
    wake_.notify_all();
}
