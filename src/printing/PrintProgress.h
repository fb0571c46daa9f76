#pragma once
// How long work of the engine (laying out every page, writing a PDF or a comma-separated
// file, printing) tells its caller how far it is, and how the caller stops it. The engine
// knows nothing of the main window: the caller supplies the progress, typically a
// TPrintProgressDialog mapped to the main window's running-activity status.
//
// Contract of the engine's side: Begin once, Advance often (at least once per page) with a
// growing count, End once, also on failure and on cancelling. When Advance returns false
// the engine stops at once; a file being written is then not created (or left as it was).

#include <QString>

class TPrintProgress {
public:
    virtual ~TPrintProgress() = default;
    // A long piece of work starts: its text ("Writing PDF...") and the total count of its
    // steps (rows), 0 when unknown.
    virtual void Begin(const QString& activity, int total) = 0;
    // done steps of the total are behind; false asks the engine to stop.
    virtual bool Advance(int done) = 0;
    virtual void End() = 0;
};

// Begin and End around a scope, for an optional progress (null: nothing is reported and
// nothing is cancelled).
class TProgressScope {
public:
    TProgressScope(TPrintProgress* progress, const QString& activity, int total) : progress_(progress)
    {
        if (progress_)
            progress_->Begin(activity, total);
    }
    ~TProgressScope()
    {
        if (progress_)
            progress_->End();
    }
    TProgressScope(const TProgressScope&) = delete;
    TProgressScope& operator=(const TProgressScope&) = delete;
    // False when the caller asked to stop.
    bool Advance(int done) { return !progress_ || progress_->Advance(done); }

private:
    TPrintProgress* progress_;
};
