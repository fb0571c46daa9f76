#include "server/StatementSlot.h"

#include "server/ClientConnection.h"
#include "server/Database.h"
#include "server/EventLog.h"
#include "server/ReportSql.h"
#include "server/ServerContext.h"

#include <QPointer>
#include <QRunnable>
#include <QThreadPool>

namespace {

class TQueryJob : public QRunnable {
public:
    using TDone = std::function<void(TDataSetResultPtr)>;
    TQueryJob(QString path, QString sql, qint64 maxBytes, std::shared_ptr<std::atomic<bool>> cancel,
              TDone done)
        : path_(std::move(path)),
          sql_(std::move(sql)),
          maxBytes_(maxBytes),
          cancel_(std::move(cancel)),
          done_(std::move(done))
    {
    }
    void run() override
    {
        auto result = std::make_shared<TDataSetResult>();
        try {
            TReportConnection connection(path_);
            connection.SetCancelFlag(cancel_);
            TStatement stmt = connection.Prepare(sql_);
            *result = RunReportStatement(stmt, *cancel_, maxBytes_);
        } catch (const Exception& e) {
            result->Error = e.Message();
        } catch (const std::exception& e) {
            result->Error = QString::fromUtf8(e.what());
        }
        done_(result);
    }

private:
    QString path_, sql_;
    qint64 maxBytes_;
    std::shared_ptr<std::atomic<bool>> cancel_;
    TDone done_;
};

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
    server.CheckReportSql(sql);
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
    auto* job = new TQueryJob(server.Database().Path(), sql, server.Options().MaxResultBytes, cancel_,
                              [self, this, &server, generation](TDataSetResultPtr result) {
                                  QMetaObject::invokeMethod(
                                      self.data(),
                                      [self, this, &server, generation, result] {
                                          if (self)
                                              Done(*self, server, generation, result);
                                      },
                                      Qt::QueuedConnection);
                              });
    server.QueryPool().start(job);
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
