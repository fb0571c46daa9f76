#include "server/Archiver.h"

#include "calls/Globals.h"
#include "server/ClientConnection.h"
#include "server/Database.h"
#include "server/EventLog.h"
#include "server/ServerContext.h"
#include "server/Settings.h"
#include "server/SqlValues.h"

#include <cmath>

namespace {

// The timer is armed at most this far ahead, so that a changed clock is noticed.
constexpr qint64 kLongestWaitMs = 3600 * 1000;

QString MomentText(TDateTime value)
{
    return FormatDateTime(QStringLiteral("yyyy-mm-dd hh:nn:ss"), value);
}

}  // namespace

TArchiver::TArchiver(TServerContext& server)
    : server_(server), directory_(TArchiveStore::DirectoryFor(server.Options().DatabasePath))
{
    pool_.setMaxThreadCount(1);  // one archive job at a time: each sees what the last left
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &TArchiver::RunDue);
    const QStringList removed = Store().RemoveLeftovers();
    if (!removed.isEmpty())
        server_.LogEvent(category::Archives, TSeverity::Warning,
                         QStringLiteral("Removed what an interrupted archive creation left (its calls are still in "
                                        "the database): %1")
                             .arg(removed.join(QStringLiteral(", "))));
    Plan();
}

TArchiver::~TArchiver()
{
    WaitForJobs();
}

TArchiveStore TArchiver::Store() const
{
    return TArchiveStore(server_.Database(), directory_);
}

void TArchiver::WaitForJobs()
{
    pool_.waitForDone();
}

void TArchiver::Submit(const QString& status, TClientConnection* client, TWork work, TOutcome outcome,
                       std::function<void(bool failed)> after)
{
    const QPointer<TClientConnection> caller(client);
    int statusId = 0;
    if (caller) {
        statusId = server_.NewStatusId();
        caller->Notify(callback::StatusAdded, {status, statusId});
    }
    const QString path = server_.Database().Path();
    const QString directory = directory_;
    pool_.start([this, caller, statusId, path, directory, work = std::move(work), outcome = std::move(outcome),
                 after = std::move(after)] {
        TArchiveResult result;
        QString error;
        try {
            TDatabase db(path, TDatabase::TMode::ReadWrite);
            TArchiveStore::TuneConnection(db);
            TArchiveStore store(db, directory);
            result = work(store);
        } catch (const Exception& e) {
            error = e.Message();
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
        }
        QMetaObject::invokeMethod(
            this,
            [this, caller, statusId, result, error, outcome, after] {
                const bool failed = !error.isEmpty();
                const QString text = failed ? error : outcome(result);
                const TSeverity severity = failed ? TSeverity::Error : TSeverity::Information;
                server_.LogEvent(category::Archives, severity, text);
                if (caller && !caller->Closing()) {
                    caller->Notify(callback::StatusCleared, {statusId});
                    caller->Notify(callback::LogMessage, {text, static_cast<int>(severity)});
                }
                if (after)
                    after(failed);
            },
            Qt::QueuedConnection);
    });
}

TArchivingOptions TArchiver::Options() const
{
    const TSettings settings(server_.Database());
    TArchivingOptions o;
    o.Automatic = settings.Int(setting::ArchiveAutomatic, 0) != 0;
    o.PeriodDays = settings.Double(setting::ArchivePeriodDays, o.PeriodDays);
    o.KeepDays = settings.Double(setting::ArchiveKeepDays, o.KeepDays);
    TDateTime next = 0;
    o.Next = SqlTextToDateTime(settings.String(setting::ArchiveNext), next) ? next : Today() + 1;
    return o;
}

void TArchiver::SetOptions(const TArchivingOptions& o)
{
    if (!std::isfinite(o.PeriodDays) || o.PeriodDays <= 0)
        throw Exception(QStringLiteral("The archive period must be longer than nothing."));
    if (!std::isfinite(o.KeepDays) || o.KeepDays < 0)
        throw Exception(QStringLiteral("The span of calls to keep cannot be negative."));
    if (!IsValidDateTime(o.Next))
        throw Exception(QStringLiteral("The next archive time is not a valid point in time."));
    TSettings settings(server_.Database());
    TTransaction tx(server_.Database());
    settings.SetInt(setting::ArchiveAutomatic, o.Automatic ? 1 : 0);
    settings.SetString(setting::ArchivePeriodDays, FloatToTextDot(o.PeriodDays));
    settings.SetString(setting::ArchiveKeepDays, FloatToTextDot(o.KeepDays));
    settings.SetString(setting::ArchiveNext, DateTimeToSqlText(o.Next));
    tx.Commit();
    Plan();
}

void TArchiver::Plan()
{
    timer_.stop();
    const TArchivingOptions o = Options();
    if (!o.Automatic || automaticRunning_)
        return;
    const double waitMs = std::max(0.0, (o.Next - Now()) * MSecsPerDay);
    timer_.start(int(std::min<double>(waitMs, kLongestWaitMs)));
}

void TArchiver::RunDue()
{
    TArchivingOptions o = Options();
    if (!o.Automatic || automaticRunning_)
        return;
    const TDateTime now = Now();
    if (o.Next > now) {
        Plan();
        return;
    }
    // Every period whose moment has passed (the server may have been stopped for a while)
    // goes into one archive, and the next moment is the first one still to come.
    const double due = std::floor((now - o.Next) / o.PeriodDays) + 1;
    const TDateTime first = o.Start();
    const TDateTime end = o.End() + (due - 1) * o.PeriodDays;
    const TDateTime next = o.Next + due * o.PeriodDays;
    const QString comment =
        QStringLiteral("Automatic archive %1 - %2").arg(MomentText(first), MomentText(end));
    automaticRunning_ = true;
    const TCallSelection selection = PeriodSelection(first, end);
    Submit(
        QString(), nullptr,
        [comment, selection](TArchiveStore& store) {
            try {
                return store.Create(comment, selection);
            } catch (const ENoCallsToArchive&) {
                return TArchiveResult{0, 0, comment};
            }
        },
        [comment](const TArchiveResult& r) {
            return r.Id == 0 ? QStringLiteral("Automatic archiving: no calls to archive for \"%1\".").arg(comment)
                             : QStringLiteral("Automatic archiving: archive No. %1 \"%2\" holds %3 calls.")
                                   .arg(r.Id)
                                   .arg(comment)
                                   .arg(r.Calls);
        },
        [this, next](bool failed) {
            automaticRunning_ = false;
            if (failed) {
                // The calls are still there; try again later rather than fill the log.
                timer_.start(int(kLongestWaitMs));
                return;
            }
            TArchivingOptions later = Options();
            later.Next = next;
            SetOptions(later);
        });
}
