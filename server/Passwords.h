#pragma once
// The two passwords of an installation, stored as PBKDF2-SHA256 hashes with a random
// salt of their own; the clear text is never stored.

#include <QString>

class TDatabase;

enum class TAccount { User = 1, Administrator = 2 };

class TPasswords {
public:
    explicit TPasswords(TDatabase& db) : db_(db) {}

    bool Verify(TAccount account, const QString& password) const;
    void Set(TAccount account, const QString& password);

private:
    TDatabase& db_;
};
