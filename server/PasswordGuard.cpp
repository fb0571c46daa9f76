#include "server/PasswordGuard.h"

#include "server/ClientNotifier.h"
#include "server/Database.h"
#include "server/EventLog.h"
#include "server/ServerOptions.h"

namespace {

// Derivations at once: a few guessers from many addresses must not take every core.
constexpr int kHashThreads = 2;

// IPv4 peers of an IPv6 socket count as the IPv4 address they are.
QString AddressKey(const QHostAddress& address)
{
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    return mapped ? QHostAddress(v4).toString() : address.toString();
}

}  // namespace

TPasswordGuard::TPasswordGuard(TDatabase& db, TClientNotifier& notifier, const TServerOptions& options)
    : QObject(nullptr), db_(db), notifier_(notifier), options_(options)
{
    pool_.setMaxThreadCount(kHashThreads);
    clock_.start();
    sweep_.setInterval(qBound(20, options.GuessQuietMs / 4, 1000));
    connect(&sweep_, &QTimer::timeout, this, &TPasswordGuard::Sweep);
}

TPasswordGuard::~TPasswordGuard()
{
    stopped_ = true;
    pool_.waitForDone();
}

void TPasswordGuard::Check(const TGuesser& who, TAccount account, const QString& password,
                           std::function<void(bool)> done)
{
    Enqueue(TRequest{who, account, password, std::nullopt, std::move(done)});
}

void TPasswordGuard::Change(const TGuesser& who, TAccount account, const QString& current,
                            const QString& replacement, std::function<void(bool)> done)
{
    Enqueue(TRequest{who, account, current, replacement, std::move(done)});
}

qint64 TPasswordGuard::WaitMs(const QHostAddress& address, TAccount account) const
{
    const auto it = trails_.find({AddressKey(address), static_cast<int>(account)});
    return it == trails_.end() ? 0 : qMax<qint64>(0, it->second.ReadyAt - clock_.elapsed());
}

qint64 TPasswordGuard::DelayAfter(int wrongGuesses) const
{
    if (wrongGuesses <= 0)
        return 0;
    qint64 delay = options_.GuessDelayMs;
    for (int i = 1; i < wrongGuesses && delay < options_.MaxGuessDelayMs; ++i)
        delay *= 2;
    return qMin<qint64>(delay, options_.MaxGuessDelayMs);
}

void TPasswordGuard::Enqueue(TRequest request)
{
    if (stopped_)
        return;
    const TKey key{AddressKey(request.Who.Address), static_cast<int>(request.Account)};
    trails_[key].Queue.push_back(std::move(request));
    StartNext(key);
}

void TPasswordGuard::StartNext(const TKey& key)
{
    TTrail& trail = trails_[key];
    if (trail.Busy || trail.Queue.empty())
        return;
    trail.Busy = true;
    const qint64 wait = qMax<qint64>(0, trail.ReadyAt - clock_.elapsed());
    QTimer::singleShot(static_cast<int>(wait), this, [this, key] { Run(key); });
}

void TPasswordGuard::Run(const TKey& key)
{
    if (stopped_)
        return;
    const TRequest& request = trails_.at(key).Queue.front();
    std::optional<TPasswordRecord> record;
    try {
        record = TPasswords(db_).Record(request.Account);
    } catch (const Exception& e) {
        notifier_.LogEvent(category::Client, TSeverity::Error,
                           QStringLiteral("The passwords cannot be read: %1").arg(e.Message()));
    }
    pool_.start([this, key, record, password = request.Password, replacement = request.Replacement] {
        const bool right = TPasswords::Matches(record, password);
        std::optional<TPasswordRecord> stored;
        if (right && replacement)
            stored = TPasswords::MakeRecord(*replacement);
        QMetaObject::invokeMethod(
            this, [this, key, right, stored] { Finish(key, right, stored); }, Qt::QueuedConnection);
    });
}

void TPasswordGuard::Finish(const TKey& key, bool right, std::optional<TPasswordRecord> replacement)
{
    if (stopped_)
        return;
    TTrail& trail = trails_.at(key);
    TRequest request = std::move(trail.Queue.front());
    trail.Queue.pop_front();
    trail.Busy = false;
    const qint64 now = clock_.elapsed();
    bool outcome = right;
    if (right) {
        if (replacement) {
            try {
                TPasswords(db_).Store(request.Account, *replacement);
            } catch (const Exception& e) {
                notifier_.LogEvent(category::Client, TSeverity::Error,
                                   QStringLiteral("The new %1 password cannot be stored: %2")
                                       .arg(AccountName(request.Account), e.Message()));
                outcome = false;
            }
        }
        EndBurst(trail, key);
        trail.ReadyAt = now;
    } else {
        if (trail.Wrong == 0) {
            trail.FirstWrongAt = now;
            trail.FirstPeer = request.Who.Peer;
            notifier_.LogEvent(category::Client, TSeverity::Warning,
                               QStringLiteral("Client %1 (%2): wrong %3 password.")
                                   .arg(request.Who.Client)
                                   .arg(request.Who.Peer, AccountName(request.Account)));
        }
        ++trail.Wrong;
        trail.LastWrongAt = now;
        trail.ReadyAt = now + DelayAfter(trail.Wrong);
        if (!sweep_.isActive())
            sweep_.start();
    }
    StartNext(key);
    if (!trail.Busy && trail.Queue.empty() && trail.Wrong == 0)
        trails_.erase(key);
    request.Done(outcome);
}

// One entry for the wrong guesses after the first, which had its own.
void TPasswordGuard::EndBurst(TTrail& trail, const TKey& key)
{
    if (trail.Wrong > 1)
        notifier_.LogEvent(category::Client, TSeverity::Warning,
                           QStringLiteral("%1 wrong %2 passwords from %3 within %4 s (the first from %5); "
                                          "each further check from there waited up to %6 ms.")
                               .arg(trail.Wrong)
                               .arg(AccountName(static_cast<TAccount>(key.second)), key.first)
                               .arg((trail.LastWrongAt - trail.FirstWrongAt + 999) / 1000)
                               .arg(trail.FirstPeer)
                               .arg(DelayAfter(trail.Wrong)));
    trail.Wrong = 0;
}

void TPasswordGuard::Sweep()
{
    const qint64 now = clock_.elapsed();
    for (auto it = trails_.begin(); it != trails_.end();) {
        TTrail& trail = it->second;
        if (trail.Wrong > 0 && now - trail.LastWrongAt >= options_.GuessQuietMs)
            EndBurst(trail, it->first);
        if (!trail.Busy && trail.Queue.empty() && trail.Wrong == 0)
            it = trails_.erase(it);
        else
            ++it;
    }
    if (trails_.empty())
        sweep_.stop();
}

void TPasswordGuard::Shutdown()
{
    if (stopped_)
        return;
    stopped_ = true;
    sweep_.stop();
    for (auto& [key, trail] : trails_)
        EndBurst(trail, key);
    pool_.waitForDone();
    trails_.clear();
}
