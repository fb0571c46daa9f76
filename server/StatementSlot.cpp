#include "server/StatementSlot.h"

#include "server/ClientConnection.h"
#include "server/Database.h"
#include "server/EventLog.h"
#include "server/ReportSql.h"
#include "server/ServerContext.h"

#include "server/QueryScheduler.h"

#include <QPointer>

namespace {

// A statement's run on a worker thread: its own read-only connection, the connection's
// read scope, the time limit and a share of the result budget.
struct TQueryJob {
    QString Path;
    QString Sql;
    TReadScope Scope = TReadScope::Calls;
    qint64 TimeoutMs = 0;
    std::shared_ptr<std::atomic<bool>> Cancel;
    std::shared_ptr<TResultBudget::TLease> Lease;

    TDataSetResultPtr Run() const
    {
        auto result = std::make_shared<TDataSetResult>();
        try {
            TReportConnection connection(Path);
            connection.SetLimits(Cancel, TimeoutMs);
            TStatement stmt = connection.Prepare(Sql, Scope);
            *result = RunReportStatement(stmt, connection, Lease);
        } catch (const Exception& e) {
            result->Error = e.Message();
        } catch (const std::exception& e) {
            result->Error = QString::fromUtf8(e.what());
        }
        return result;
    }
};

TReadScope ScopeOf(const TClientConnection& client)
{
    return client.Level() >= level::Administrator ? TReadScope::AllButPasswords : TReadScope::Calls;
}

}  // namespace

TStatementSlot::TStatementSlot(std::optional<TCallbackName> ready) : ready_(ready) {}

TStatementSlot::~TStatementSlot()
{
    Cancel();
}

void TStatementSlot::Cancel()
{
    if (cancel_)
        cancel_->store(true);
}

void TStatementSlot::Run(TClientConnection& client, TServerContext& server, const QString& sql)
{
    const TReadScope scope = ScopeOf(client);
    server.CheckReportSql(sql, scope);
    Cancel();  // a newer statement replaces one still running
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    running_ = true;
    result_.reset();
    const quint64 generation = ++generation_;
    if (ready_ && statusId_ == 0) {
        statusId_ = server.NewStatusId();
        client.Notify(callback::StatusAdded, {QStringLiteral("Running the query..."), statusId_});
    }
    // The slot lives as long as its connection, which the job may outlive.
    QPointer<TClientConnection> self(&client);
    const TQueryJob job{server.Database().Path(), sql, scope, server.Options().StatementTimeoutMs, cancel_,
                        server.ResultBudget().NewLease()};
    server.Queries().Submit(client.Number(), [job, self, this, &server, generation] {
        TDataSetResultPtr result = job.Run();
        QMetaObject::invokeMethod(
            self.data(),
            [self, this, &server, generation, result] {
                if (self)
                    Done(*self, server, generation, result);
            },
            Qt::QueuedConnection);
    });
}

TDataSetResultPtr TStatementSlot::Open(quint32 requestId, const QString& provider)
{
    if (running_) {
        waitingOpens_.append(requestId);
        return nullptr;
    }
    if (!result_)
        throw Exception(QStringLiteral("%1 has no result: no statement was run.").arg(provider));
    return result_;
}

void TStatementSlot::Done(TClientConnection& client, TServerContext& server, quint64 generation,
                          TDataSetResultPtr result)
{
    if (generation != generation_ || client.Closing())
        return;
    running_ = false;
    result_ = result;
    if (!result->Error.isEmpty())
        server.LogEvent(
            category::Reports, TSeverity::Warning,
            QStringLiteral("Client %1: the statement failed: %2").arg(client.Number()).arg(result->Error));
    const QList<quint32> waiting = std::exchange(waitingOpens_, {});
    for (quint32 id : waiting)
        client.SendDataSet(id, result);
    if (statusId_ != 0) {
        client.Notify(callback::StatusCleared, {statusId_});
        statusId_ = 0;
    }
    if (ready_)
        client.Notify(*ready_, {}, false);
}
