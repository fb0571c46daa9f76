#pragma once
// The two passwords of an installation, stored as PBKDF2-SHA256 hashes with a random
// salt of their own; the clear text is never stored. Deriving a hash is slow on purpose:
// the server does it off its thread (TPasswordGuard), with the record read before and
// stored after on the server's thread.

#include <QByteArray>
#include <QString>

#include <optional>

class TDatabase;

enum class TAccount { User = 1, Administrator = 2 };

// "standard user" or "administrator", as messages name the accounts.
QString AccountName(TAccount account);

// One account's stored password.
struct TPasswordRecord {
    QString Algorithm;
    int Iterations = 0;
    QByteArray Salt;
    QByteArray Hash;
};

class TPasswords {
public:
    explicit TPasswords(TDatabase& db) : db_(db) {}

    std::optional<TPasswordRecord> Record(TAccount account) const;
    void Store(TAccount account, const TPasswordRecord& record);

    bool Verify(TAccount account, const QString& password) const { return Matches(Record(account), password); }
    void Set(TAccount account, const QString& password) { Store(account, MakeRecord(password)); }

    // The slow halves, safe on any thread: whether the password is the stored one (false
    // when there is none or its algorithm is unknown), and a new record with a new salt.
    static bool Matches(const std::optional<TPasswordRecord>& record, const QString& password);
    static TPasswordRecord MakeRecord(const QString& password);

private:
    TDatabase& db_;
};
