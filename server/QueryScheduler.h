#pragma once
// Where client statements run: worker threads shared fairly by the connections. A
// connection runs at most `share` statements at once and the rest of its statements wait;
// when a thread is free, the next connection in turn (round robin over the connections
// with waiting statements) starts its oldest one. One connection's backlog therefore never
// keeps another connection's statement waiting behind all of it, and with threads to spare
// every connection gets one at once. Submit and the bookkeeping run on the server's thread;
// the work runs on a worker.
//
//   scheduler.Submit(client.Number(), [job] { job->Run(); });

#include <QObject>
#include <QThreadPool>

#include <deque>
#include <functional>
#include <map>

class TQueryScheduler : public QObject {
    Q_OBJECT

public:
    TQueryScheduler(int threads, int share);
    ~TQueryScheduler() override;

    // Runs work on a worker thread in the owner's turn.
    void Submit(quint64 owner, std::function<void()> work);
    // Waits for the running work; waiting work is dropped.
    void Stop();

    int Running() const { return running_; }
    int Waiting() const;

private:
    void StartNext();
    void Finished(quint64 owner);

    QThreadPool pool_;
    int threads_;
    int share_;
    int running_ = 0;
    bool stopped_ = false;
    std::map<quint64, int> runningOf_;
    std::map<quint64, std::deque<std::function<void()>>> waiting_;
    std::deque<quint64> turns_;  // owners with waiting work, next in turn first
};
