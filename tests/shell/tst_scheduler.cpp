#include "shell/base/BetterThread.h"
#include "core/Errors.h"
#include "shell/base/Scheduler.h"

#include <QTest>

#include <condition_variable>
#include <mutex>

namespace {

// A gate a thread body waits at until the test opens it.
class TGate {
public:
    void Open()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            open_ = true;
        }
        changed_.notify_all();
    }
    void Pass()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

// Waits for WakeUp after termination is requested; optionally first waits at a gate,
// ignoring every request meanwhile.
class TWaitingThread : public TBetterThread {
public:
    explicit TWaitingThread(TGate* gate = nullptr, std::atomic<bool>* finished = nullptr)
        : gate_(gate), finished_(finished)
    {
    }
    ~TWaitingThread() override { WaitUntilEnded(); }

    std::atomic<int> wakeUps{0};
    std::atomic<bool> bodyStarted{false};
    std::atomic<bool> bodyFinished{false};

protected:
    void ThreadBody() override
    {
        TBetterThread::ThreadBody();
        bodyStarted = true;
        if (gate_ != nullptr)
            gate_->Pass();
        std::unique_lock<std::mutex> lock(mutex_);
        woken_.wait(lock, [this] { return Terminated() && wakeUps > 0; });
        bodyFinished = true;
        if (finished_ != nullptr)
            *finished_ = true;
    }
    void WakeUp() override
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            ++wakeUps;
        }
        woken_.notify_all();
    }

private:
    TGate* gate_;
    std::atomic<bool>* finished_;
    std::mutex mutex_;
    std::condition_variable woken_;
};

class TThrowingThread : public TBetterThread {
public:
    ~TThrowingThread() override { WaitUntilEnded(); }

protected:
    void ThreadBody() override
    {
        TBetterThread::ThreadBody();
        throw Exception(QStringLiteral("body failed"));
    }
};

// Collects what the scheduled procedures did, from the scheduler thread.
class TRecorder {
public:
    TScheduledProc Record(const QString& label)
    {
        return [this, label](void*) {
            const std::lock_guard<std::mutex> lock(mutex_);
            runs_.append(label);
        };
    }
    QStringList Runs() const
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return runs_;
    }

private:
    mutable std::mutex mutex_;
    QStringList runs_;
};

constexpr double OneSecond = 1.0 / SecsPerDay;

}  // namespace

class TestScheduler : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void createdSuspended()
    {
        TWaitingThread thread;
        QCOMPARE(thread.State(), TBetterThread::tsCreated);
        QVERIFY(thread.Suspended());
        thread.Start();
        QVERIFY(!thread.Suspended());
        QTRY_COMPARE(thread.State(), TBetterThread::tsRunning);
    }

    void stopWithoutLimitWakesAndWaits()
    {
        TWaitingThread thread;
        thread.Start();
        QTRY_VERIFY(thread.bodyStarted);
        thread.StopAndWait(-1);
        QCOMPARE(thread.State(), TBetterThread::tsEnded);
        QVERIFY(thread.bodyFinished);
        QVERIFY(thread.wakeUps > 0);
        QVERIFY(thread.Terminated());
    }

    void stopNeverStartedThread()
    {
        TWaitingThread thread;
        thread.StopAndWait(-1);
        QCOMPARE(thread.State(), TBetterThread::tsEnded);
        QVERIFY(thread.bodyFinished);
    }

    // The gate keeps the body busy, so the state seen after each call is certain.
    void stopWithLimitsDoesNotWait_data()
    {
        QTest::addColumn<int>("limit");
        QTest::newRow("limit 0") << 0;
        QTest::newRow("short limit") << 20;
    }
    void stopWithLimitsDoesNotWait()
    {
        QFETCH(int, limit);
        TGate gate;
        TWaitingThread thread(&gate);
        thread.Start();
        QTRY_VERIFY(thread.bodyStarted);
        thread.StopAndWait(limit);
        QCOMPARE(thread.State(), TBetterThread::tsStopping);
        QVERIFY(thread.Terminated());
        // Already stopping: returns at once, even without a limit.
        thread.StopAndWait(-1);
        QCOMPARE(thread.State(), TBetterThread::tsStopping);
        QVERIFY(!thread.bodyFinished);
        gate.Open();
        QTRY_COMPARE(thread.State(), TBetterThread::tsEnded);
        QVERIFY(thread.bodyFinished);
    }

    void stopWithLimitZeroBeforeStart()
    {
        TGate gate;
        TWaitingThread thread(&gate);
        thread.StopAndWait(0);
        QVERIFY(!thread.Suspended());
        QTRY_VERIFY(thread.bodyStarted);
        QCOMPARE(thread.State(), TBetterThread::tsStopping);
        gate.Open();
        QTRY_COMPARE(thread.State(), TBetterThread::tsEnded);
    }

    // Destruction after a stop with limit 0 still waits for the body to end.
    void destructionWaitsForAStoppingThread()
    {
        TGate gate;
        std::atomic<bool> finished{false};
        auto thread = std::make_unique<TWaitingThread>(&gate, &finished);
        thread->Start();
        QTRY_VERIFY(thread->bodyStarted);
        thread->StopAndWait(0);
        std::thread opener([&gate] { gate.Open(); });
        thread.reset();
        QVERIFY(finished);
        opener.join();
    }

    void escapingErrorEndsTheThreadQuietly()
    {
        TThrowingThread thread;
        thread.Start();
        QTRY_COMPARE(thread.State(), TBetterThread::tsEnded);
        QVERIFY(thread.FatalException() != nullptr);
    }

    void delayZeroRunsOnce()
    {
        TSchedulerThread scheduler;
        scheduler.Start();
        std::atomic<int> runs{0};
        int datum = 7;
        std::atomic<void*> received{nullptr};
        scheduler.ScheduleIn(
            QStringLiteral("now"), 0,
            [&](void* d) {
                received = d;
                ++runs;
            },
            &datum);
        QTRY_COMPARE_WITH_TIMEOUT(runs.load(), 1, 5000);
        QCOMPARE(received.load(), static_cast<void*>(&datum));
        // A later event has run, so the first had its chance to run again.
        std::atomic<bool> marker{false};
        scheduler.ScheduleIn(
            QStringLiteral("marker"), 0, [&](void*) { marker = true; }, nullptr);
        QTRY_VERIFY(marker);
        QCOMPARE(runs.load(), 1);
        QTRY_COMPARE(scheduler.EventCount(), 0);
    }

    void sameNameTwiceRunsOnlyTheSecond()
    {
        TSchedulerThread scheduler;
        TRecorder recorder;
        const TScheduledEventPtr first = scheduler.ScheduleIn(
            QStringLiteral("logoff"), 0, recorder.Record(QStringLiteral("first")), nullptr);
        scheduler.ScheduleIn(QStringLiteral("logoff"), 0, recorder.Record(QStringLiteral("second")), nullptr);
        scheduler.ScheduleIn(QStringLiteral("Logoff"), 0, recorder.Record(QStringLiteral("other case")),
                             nullptr);
        QVERIFY(first->Done());
        scheduler.Start();
        QTRY_COMPARE(scheduler.EventCount(), 0);
        QStringList runs = recorder.Runs();
        runs.sort();
        QCOMPARE(runs, (QStringList{QStringLiteral("other case"), QStringLiteral("second")}));
    }

    // Three same-named events due before, at and after T, all in the past; the scheduler
    // starts only after the cancellation.
    void cancelModes_data()
    {
        QTest::addColumn<QString>("cancelName");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("runs");
        QTest::newRow("mode 1: at or after T") << "e" << 1 << QStringList{"before"};
        QTest::newRow("mode 2: before T") << "e" << 2 << QStringList{"after", "at"};
        QTest::newRow("mode 3: all") << "e" << 3 << QStringList{};
        QTest::newRow("names are case-sensitive") << "E" << 3 << QStringList{"after", "at", "before"};
    }
    void cancelModes()
    {
        QFETCH(QString, cancelName);
        QFETCH(int, mode);
        QFETCH(QStringList, runs);
        TSchedulerThread scheduler;
        TRecorder recorder;
        const TDateTime t = Now() - 10 * OneSecond;
        // Ascending due times, so that each Schedule's own cancellation spares the earlier ones.
        const QString name = QStringLiteral("e");
        scheduler.Schedule(name, TCancelMode::DueAtOrAfter, t - OneSecond,
                           recorder.Record(QStringLiteral("before")), nullptr);
        scheduler.Schedule(name, TCancelMode::DueAtOrAfter, t, recorder.Record(QStringLiteral("at")),
                           nullptr);
        scheduler.Schedule(name, TCancelMode::DueAtOrAfter, t + OneSecond,
                           recorder.Record(QStringLiteral("after")), nullptr);
        QCOMPARE(scheduler.EventCount(), 3);
        scheduler.Cancel(cancelName, static_cast<TCancelMode>(mode), t);
        scheduler.Start();
        QTRY_COMPARE(scheduler.EventCount(), 0);
        QStringList actual = recorder.Runs();
        actual.sort();
        QCOMPARE(actual, runs);
    }

    void futureEventWaits()
    {
        TSchedulerThread scheduler;
        scheduler.Start();
        TRecorder recorder;
        scheduler.Schedule(QStringLiteral("later"), TCancelMode::All, Now() + 3600 * OneSecond,
                           recorder.Record(QStringLiteral("later")), nullptr);
        std::atomic<bool> marker{false};
        scheduler.ScheduleIn(
            QStringLiteral("marker"), 0, [&](void*) { marker = true; }, nullptr);
        QTRY_VERIFY(marker);
        QTRY_COMPARE(scheduler.EventCount(), 1);
        QVERIFY(recorder.Runs().isEmpty());
    }

    void failingProcedure_data()
    {
        QTest::addColumn<bool>("withHandler");
        QTest::addColumn<bool>("foreignError");
        QTest::newRow("handled") << true << false;
        QTest::newRow("handled, not a std::exception") << true << true;
        QTest::newRow("no handler: dropped") << false << false;
    }
    void failingProcedure()
    {
        QFETCH(bool, withHandler);
        QFETCH(bool, foreignError);
        TSchedulerThread scheduler;
        std::mutex mutex;
        QStringList errors;
        int handlerDatum = 0;
        if (withHandler) {
            scheduler.SetErrorHandler(
                [&](void* datum, TScheduledEvent& event, const std::exception& error) {
                    const std::lock_guard<std::mutex> lock(mutex);
                    errors.append(event.Name() + QLatin1Char('|') + QString::fromUtf8(error.what()) +
                                  (datum == &handlerDatum ? QStringLiteral("|datum") : QString()));
                },
                &handlerDatum);
        }
        std::atomic<int> calls{0};
        const TScheduledEventPtr failing = scheduler.ScheduleIn(
            QStringLiteral("fails"), 0,
            [&](void*) {
                ++calls;
                if (foreignError)
                    throw 42;
                throw Exception(QStringLiteral("boom"));
            },
            nullptr);
        scheduler.Start();
        QTRY_VERIFY(failing->Done());
        // Still running: a later event fires, and the failing one was removed, once called.
        std::atomic<bool> marker{false};
        scheduler.ScheduleIn(
            QStringLiteral("marker"), 0, [&](void*) { marker = true; }, nullptr);
        QTRY_VERIFY(marker);
        QTRY_COMPARE(scheduler.EventCount(), 0);
        QCOMPARE(calls.load(), 1);
        QCOMPARE(scheduler.State(), TBetterThread::tsRunning);
        const std::lock_guard<std::mutex> lock(mutex);
        if (!withHandler) {
            QVERIFY(errors.isEmpty());
        } else {
            QCOMPARE(errors.size(), 1);
            QVERIFY2(
                errors[0].startsWith(QLatin1String("fails|")) && errors[0].endsWith(QLatin1String("|datum")),
                qPrintable(errors[0]));
            if (!foreignError)
                QCOMPARE(errors[0], QStringLiteral("fails|boom|datum"));
        }
    }

    // Procedures run without the lock held, so they may schedule and cancel themselves.
    void procedureSchedulesAnother()
    {
        TSchedulerThread scheduler;
        scheduler.Start();
        std::atomic<bool> chained{false};
        scheduler.ScheduleIn(
            QStringLiteral("first"), 0,
            [&](void*) {
                scheduler.Cancel(QStringLiteral("first"), TCancelMode::All, 0);
                scheduler.ScheduleIn(
                    QStringLiteral("second"), 0, [&](void*) { chained = true; }, nullptr);
            },
            nullptr);
        QTRY_VERIFY(chained);
    }

    void stopsPromptly()
    {
        auto scheduler = std::make_unique<TSchedulerThread>();
        scheduler->Start();
        QTRY_COMPARE(scheduler->State(), TBetterThread::tsRunning);
        scheduler->StopAndWait(-1);
        QCOMPARE(scheduler->State(), TBetterThread::tsEnded);
    }

    void instanceIsStartedOnFirstUse()
    {
        TSchedulerThread& scheduler = TSchedulerThread::Instance();
        QCOMPARE(&TSchedulerThread::Instance(), &scheduler);
        QVERIFY(!scheduler.Suspended());
        std::atomic<bool> ran{false};
        scheduler.ScheduleIn(
            QStringLiteral("instance"), 0, [&](void*) { ran = true; }, nullptr);
        QTRY_VERIFY(ran);
    }
};

QTEST_GUILESS_MAIN(TestScheduler)
#include "tst_scheduler.moc"
