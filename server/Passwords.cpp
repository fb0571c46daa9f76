#include "server/Passwords.h"

#include "server/Database.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRandomGenerator>

namespace {

constexpr int kIterations = 20000;
constexpr int kSaltBytes = 16;
constexpr int kHashBytes = 32;
const QString kAlgorithm = QStringLiteral("pbkdf2-sha256");

QByteArray Derive(const QString& password, const QByteArray& salt, int iterations)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt, iterations,
                                              kHashBytes);
}

// Compares without stopping at the first difference, so timing tells nothing.
bool SameBytes(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

}  // namespace

QString AccountName(TAccount account)
{
    return account == TAccount::Administrator ? QStringLiteral("administrator") : QStringLiteral("standard user");
}

std::optional<TPasswordRecord> TPasswords::Record(TAccount account) const
{
    TStatement stmt = db_.Prepare(
        QStringLiteral("SELECT ALGORITHM, ITERATIONS, SALT, HASH FROM PASSWORDS WHERE ACCOUNT = ?"));
    stmt.BindInt(1, static_cast<int>(account));
    if (!stmt.Step())
        return std::nullopt;
    return TPasswordRecord{stmt.Text(0), static_cast<int>(qBound(qint64(0), stmt.Int(1), qint64(INT_MAX))), stmt.Blob(2),
                           stmt.Blob(3)};
}

void TPasswords::Store(TAccount account, const TPasswordRecord& record)
{
    TStatement stmt = db_.Prepare(QStringLiteral(
        "INSERT INTO PASSWORDS (ACCOUNT, ALGORITHM, ITERATIONS, SALT, HASH) VALUES (?, ?, ?, ?, ?) "
        "ON CONFLICT (ACCOUNT) DO UPDATE SET ALGORITHM = excluded.ALGORITHM, ITERATIONS = "
        "excluded.ITERATIONS, "
        "SALT = excluded.SALT, HASH = excluded.HASH"));
    stmt.BindInt(1, static_cast<int>(account));
    stmt.BindText(2, record.Algorithm);
    stmt.BindInt(3, record.Iterations);
    stmt.BindBlob(4, record.Salt);
    stmt.BindBlob(5, record.Hash);
    stmt.Step();
}

bool TPasswords::Matches(const std::optional<TPasswordRecord>& record, const QString& password)
{
    if (!record || record->Algorithm != kAlgorithm || record->Iterations <= 0)
        return false;
    return SameBytes(Derive(password, record->Salt, record->Iterations), record->Hash);
}

TPasswordRecord TPasswords::MakeRecord(const QString& password)
{
    QByteArray salt(kSaltBytes, Qt::Uninitialized);
    QRandomGenerator::system()->generate(salt.begin(), salt.end());
    return TPasswordRecord{kAlgorithm, kIterations, salt, Derive(password, salt, kIterations)};
}
