#pragma once
// Password checks (MainRDM 307, 308) as a guesser meets them: the slow hash runs on a
// thread of its own, never on the server's thread, and after wrong guesses of an account
// from one address every further check of it from there waits, the wait doubling with each
// wrong guess (GuessDelayMs up to MaxGuessDelayMs), so parallel connections from one
// address guess no faster than one. A right password ends the waiting for that account;
// so do GuessQuietMs without a wrong guess. The logs get the first wrong guess of a burst
// and, when the burst ends, one entry with how many followed, instead of a row per guess.
//
//   guard.Check({client.Number(), client.Peer(), client.PeerAddress()}, TAccount::User, text,
//               [reply](bool right) mutable { reply.Send(right); });

#include "server/Passwords.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class TClientNotifier;
class TDatabase;
struct TServerOptions;

// Who asks: the connection's number and peer for the logs, and the address the waiting
// belongs to.
struct TGuesser {
    quint64 Client = 0;
    QString Peer;
    QHostAddress Address;
};

class TPasswordGuard : public QObject {
    Q_OBJECT

public:
    TPasswordGuard(TDatabase& db, TClientNotifier& notifier, const TServerOptions& options);
    ~TPasswordGuard() override;

    // Checks the account's password; done runs later on the server's thread with the
    // outcome. Never raises.
    void Check(const TGuesser& who, TAccount account, const QString& password, std::function<void(bool)> done);
    // Stores replacement as the account's password when current is right (a wrong current
    // password counts as a wrong guess); done gets whether it was stored.
    void Change(const TGuesser& who, TAccount account, const QString& current, const QString& replacement,
                std::function<void(bool)> done);
    // How long the next check of the account from the address waits now, in milliseconds.
    qint64 WaitMs(const QHostAddress& address, TAccount account) const;
    // Logs the bursts still open and waits for the checks running; later ones never run.
    void Shutdown();

private:
    struct TRequest {
        TGuesser Who;
        TAccount Account = TAccount::User;
        QString Password;
        std::optional<QString> Replacement;
        std::function<void(bool)> Done;
    };
    // The checks of one account from one address.
    struct TTrail {
        std::deque<TRequest> Queue;
        bool Busy = false;
        int Wrong = 0;           // wrong guesses since the last right one (or quiet time)
        qint64 ReadyAt = 0;      // when the next check may start (clock_ ms)
        qint64 LastWrongAt = 0;  // when the last wrong guess was answered
        qint64 FirstWrongAt = 0;
        QString FirstPeer;
    };
    using TKey = std::pair<QString, int>;

    void Enqueue(TRequest request);
    void StartNext(const TKey& key);
    void Run(const TKey& key);
    void Finish(const TKey& key, bool right, std::optional<TPasswordRecord> replacement);
    void EndBurst(TTrail& trail, const TKey& key);
    void Sweep();
    qint64 DelayAfter(int wrongGuesses) const;

    TDatabase& db_;
    TClientNotifier& notifier_;
    const TServerOptions& options_;
    std::map<TKey, TTrail> trails_;
    QThreadPool pool_;
    QElapsedTimer clock_;
    QTimer sweep_;
    bool stopped_ = false;
};
