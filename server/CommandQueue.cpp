#include "server/CommandQueue.h"

#include "core/Variants.h"
#include "server/Database.h"
#include "server/EventLog.h"
#include "server/Receiver.h"
#include "server/Settings.h"

namespace {

void Run(TDatabase& db, const QString& sql, const QVariantList& params = {})
{
    TStatement stmt = db.Prepare(sql);
    for (int i = 0; i < params.size(); ++i)
        stmt.Bind(i + 1, params.at(i));
    stmt.Step();
}

}  // namespace

TCommandQueue::TCommandQueue(TDatabase& db, TClientNotifier& notifier, TReceiver& output, int retryNoticeMs)
    : QObject(nullptr), db_(db), notifier_(notifier), output_(db, output, notifier)
{
    connect(&retryTimer_, &QTimer::timeout, this, &TCommandQueue::OnRetryTimer);
    retryNoticeTimer_.setSingleShot(true);
    retryNoticeTimer_.setInterval(retryNoticeMs);
    connect(&retryNoticeTimer_, &QTimer::timeout, this, &TCommandQueue::OnRetryNoticeTimer);
    connect(&output_, &TControlPort::Ready, this, &TCommandQueue::SendWaiting);
}

void TCommandQueue::Load()
{
    TSettings settings(db_);
    enabled_ = settings.Int(setting::QueueEnabled, 1) != 0;
    retryTimer_.setInterval(qMax(10, settings.Int(setting::CommandRetryMs, DefaultCommandRetryMs)));
    commands_.clear();
    TStatement stmt =
        db_.Prepare(QStringLiteral("SELECT ID, TEXT, RETRY_COUNT FROM COMMAND_QUEUE ORDER BY ID"));
    while (stmt.Step())
        commands_.append({stmt.Int(0), stmt.Text(1), static_cast<int>(stmt.Int(2))});
    lastId_ = commands_.isEmpty() ? 0 : commands_.last().Id;
    SendWaiting();
    UpdateTimer();
}

int TCommandQueue::ControlProtocol() const
{
    const int value = TSettings(db_).Int(setting::ControlProtocol, protocol::AvayaDefinity);
    return value >= protocol::AvayaDefinity && value <= protocol::DirectCommands ? value
                                                                                 : protocol::AvayaDefinity;
}

void TCommandQueue::ControlSettingsChanged()
{
    output_.Reload();
    SendWaiting();
}

void TCommandQueue::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    TSettings(db_).SetInt(setting::QueueEnabled, enabled ? 1 : 0);
    notifier_.Notice(category::Commands, TSeverity::Information,
                     enabled ? QStringLiteral("The command queue is enabled.")
                             : QStringLiteral("The command queue is disabled."));
    notifier_.Broadcast(callback::QueueState, {enabled_});
    SendWaiting();
    UpdateTimer();
}

QString TCommandQueue::CheckCommand(const QString& text)
{
    if (text.trimmed().isEmpty())
        return QStringLiteral("The command is empty.");
    if (text.size() > MaxCommandLength)
        return QStringLiteral("The command is longer than %1 characters.").arg(MaxCommandLength);
    for (const QChar ch : text) {
        // A line break would make the exchange read two commands.
        if (ch.unicode() < 32 || ch.unicode() == 127)
            return QStringLiteral("The command holds the control character %1.").arg(ch.unicode());
        if (ch.unicode() > 255)
            return QStringLiteral(
                       "The command holds \"%1\", which the exchange's single-byte link cannot carry.")
                .arg(ch);
    }
    return QString();
}

void TCommandQueue::Add(const QString& text, const QString& who)
{
    Stage(db_, text);
    TakeStaged(who);
}

void TCommandQueue::Stage(TDatabase& db, const QString& text)
{
    const QString refused = CheckCommand(text);
    if (!refused.isEmpty())
        throw Exception(refused);
    TStatement insert =
        db.Prepare(QStringLiteral("INSERT INTO COMMAND_QUEUE (TEXT, RETRY_COUNT) VALUES (?, 0)"));
    insert.BindText(1, text);
    insert.Step();
}

void TCommandQueue::TakeStaged(const QString& who)
{
    TStatement staged =
        db_.Prepare(QStringLiteral("SELECT ID, TEXT FROM COMMAND_QUEUE WHERE ID > ? ORDER BY ID"));
    staged.BindInt(1, lastId_);
    QList<TCommand> taken;
    while (staged.Step())
        taken.append({staged.Int(0), staged.Text(1), 0});
    if (taken.isEmpty())
        return;
    for (const TCommand& command : std::as_const(taken)) {
        commands_.append(command);
        lastId_ = command.Id;
        notifier_.LogEvent(category::Commands, TSeverity::Information,
                           QStringLiteral("%1 queued the command \"%2\".").arg(who, command.Text));
        notifier_.Broadcast(callback::CommandAdded, {command.Text, VarFromInt16(0)});
    }
    SendWaiting();
    UpdateTimer();
}

void TCommandQueue::Remove(int row, const QString& who)
{
    if (row < 0 || row >= commands_.size())
        throw Exception(QStringLiteral("There is no command in row %1; the queue holds %2.")
                            .arg(row)
                            .arg(commands_.size()));
    const TCommand command = commands_.takeAt(row);
    Run(db_, QStringLiteral("DELETE FROM COMMAND_QUEUE WHERE ID = ?"), {command.Id});
    notifier_.LogEvent(category::Commands, TSeverity::Information,
                       QStringLiteral("%1 deleted the command \"%2\".").arg(who, command.Text));
    notifier_.Broadcast(callback::CommandRemoved, {row});
    UpdateTimer();
}

void TCommandQueue::Clear(const QString& who)
{
    Run(db_, QStringLiteral("DELETE FROM COMMAND_QUEUE"));
    const qsizetype count = commands_.size();
    commands_.clear();
    notifier_.LogEvent(category::Commands, TSeverity::Information,
                       QStringLiteral("%1 deleted all %2 waiting commands.").arg(who).arg(count));
    notifier_.Broadcast(callback::QueueCleared, {});
    UpdateTimer();
}

void TCommandQueue::SendWaiting()
{
    while (enabled_ && !commands_.isEmpty() && output_.WriteLine(commands_.first().Text)) {
        const TCommand command = commands_.takeFirst();
        Run(db_, QStringLiteral("DELETE FROM COMMAND_QUEUE WHERE ID = ?"), {command.Id});
        notifier_.Notice(category::Commands, TSeverity::Information,
                         QStringLiteral("Command sent to the exchange: %1").arg(command.Text));
        notifier_.Broadcast(callback::CommandRemoved, {0});
    }
    UpdateTimer();
}

void TCommandQueue::SendStateTo(TClientCallbacks& client) const
{
    client.Notify(callback::QueueState, {enabled_});
}

void TCommandQueue::OnRetryTimer()
{
    SendWaiting();
    if (!enabled_ || commands_.isEmpty())
        return;
    // Only the first command was tried; the others wait behind it.
    TCommand& first = commands_.first();
    if (first.RetryCount >= MaxRetryCount)
        return;
    ++first.RetryCount;
    Run(db_, QStringLiteral("UPDATE COMMAND_QUEUE SET RETRY_COUNT = ? WHERE ID = ?"),
        {first.RetryCount, first.Id});
    NoteRetry();
}

void TCommandQueue::NoteRetry()
{
    // Retries may come every few milliseconds; the clients need not see each one.
    if (retryNoticeTimer_.isActive()) {
        retryNoticePending_ = true;
        return;
    }
    SendRetryCount();
    retryNoticeTimer_.start();
}

void TCommandQueue::OnRetryNoticeTimer()
{
    if (!retryNoticePending_)
        return;
    retryNoticePending_ = false;
    SendRetryCount();
    retryNoticeTimer_.start();
}

void TCommandQueue::SendRetryCount()
{
    // Only the first command is retried. Notices go out in order with the removals, so row
    // 0 is the client's first row too; a queue emptied meanwhile has nothing to report.
    if (!commands_.isEmpty())
        notifier_.Broadcast(callback::RetryCountChanged,
                            {0, VarFromInt16(static_cast<qint16>(commands_.first().RetryCount))});
}

void TCommandQueue::UpdateTimer()
{
    const bool waiting = enabled_ && !commands_.isEmpty();
    if (waiting && !retryTimer_.isActive())
        retryTimer_.start();
    else if (!waiting)
        retryTimer_.stop();
}
