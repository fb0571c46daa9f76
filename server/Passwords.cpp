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

bool TPasswords::Verify(TAccount account, const QString& password) const
{
    TStatement stmt = db_.Prepare(
        QStringLiteral("SELECT ALGORITHM, ITERATIONS, SALT, HASH FROM PASSWORDS WHERE ACCOUNT = ?"));
    stmt.BindInt(1, static_cast<int>(account));
    if (!stmt.Step() || stmt.Text(0) != kAlgorithm)
        return false;
    const int iterations = static_cast<int>(stmt.Int(1));
    if (iterations <= 0)
        return false;
    return SameBytes(Derive(password, stmt.Blob(2), iterations), stmt.Blob(3));
}

void TPasswords::Set(TAccount account, const QString& password)
{
    QByteArray salt(kSaltBytes, Qt::Uninitialized);
    QRandomGenerator::system()->generate(salt.begin(), salt.end());
    TStatement stmt = db_.Prepare(QStringLiteral(
        "INSERT INTO PASSWORDS (ACCOUNT, ALGORITHM, ITERATIONS, SALT, HASH) VALUES (?, ?, ?, ?, ?) "
        "ON CONFLICT (ACCOUNT) DO UPDATE SET ALGORITHM = excluded.ALGORITHM, ITERATIONS = "
        "excluded.ITERATIONS, "
        "SALT = excluded.SALT, HASH = excluded.HASH"));
    stmt.BindInt(1, static_cast<int>(account));
    stmt.BindText(2, kAlgorithm);
    stmt.BindInt(3, kIterations);
    stmt.BindBlob(4, salt);
    stmt.BindBlob(5, Derive(password, salt, kIterations));
    stmt.Step();
}
