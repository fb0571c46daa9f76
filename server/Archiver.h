#pragma once
// The server's archive work: the jobs that create, import and clear archives run off the
// server's thread, one at a time, each on a database connection of its own, so that the
// clients and the receiver are served meanwhile; and automatic archiving, which makes an
// archive whenever its next moment has come.
//
//   server.Archiver().Submit(QStringLiteral("Creating archive..."), client,
//       [=](TArchiveStore& store) { return store.Create(comment, selection); },
//       [](const TArchiveResult& r) { return QStringLiteral("created %1").arg(r.Id); });
//
// The calling client sees the running activity while its job waits and runs, then a
// LogMessage with the outcome; every outcome is also a LOG event (category "archives").

#include "core/DateTime.h"
#include "server/ArchiveStore.h"

#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include <functional>

class TClientConnection;
class TServerContext;

// The automatic archiving option group, as the options dialog edits it.
struct TArchivingOptions {
    bool Automatic = false;
    double PeriodDays = 30;
    double KeepDays = 90;
    TDateTime Next = 0;

    // The calls the next archive takes: received from Start (included) to End (excluded).
    TDateTime End() const { return Next - KeepDays; }
    TDateTime Start() const { return End() - PeriodDays; }
};

class TArchiver : public QObject {
    Q_OBJECT

public:
    using TWork = std::function<TArchiveResult(TArchiveStore&)>;
    using TOutcome = std::function<QString(const TArchiveResult&)>;

    // Removes what interrupted creations left in the archive folder and starts the
    // schedule.
    explicit TArchiver(TServerContext& server);
    ~TArchiver() override;

    const QString& Directory() const { return directory_; }
    // A store over the server's own connection, for the quick checks made on its thread.
    TArchiveStore Store() const;

    // Queues the work; client (may be null) sees status while it waits and runs and then
    // the outcome's text, or the failure's (severity 3). after, when given, follows either
    // on the server's thread.
    void Submit(const QString& status, TClientConnection* client, TWork work, TOutcome outcome,
                std::function<void(bool failed)> after = {});
    // Waits until every queued job has ended (at shutdown).
    void WaitForJobs();

    TArchivingOptions Options() const;
    // Stores the group and plans the next automatic archive; raises Exception for a period
    // or keep span that is not positive and finite.
    void SetOptions(const TArchivingOptions& options);

private:
    void Plan();
    void RunDue();

    TServerContext& server_;
    QString directory_;
    QThreadPool pool_;
    QTimer timer_;
    bool automaticRunning_ = false;
};
