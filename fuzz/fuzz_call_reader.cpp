// A received line, as the receiver reads it (single-byte text, up to and with its first
// line break), through the data format, exchange and tariff rules in use into a CALL row.
// Whatever arrives, the outcome is one of the reader's: a stored line is exactly one new row
// whose TEXT begins the line without its break and whose charge is a finite amount; a
// refused line says why. Every line is rolled back so the database stays small.

#include "FuzzDatabase.h"

#include <QRegularExpression>

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TDatabase db(FuzzDatabasePath(), TDatabase::TMode::ReadWrite);
    static TCallReader reader(db);
    static const bool loaded = (reader.Reload(), true);
    FuzzCheck(loaded && reader.NotConfiguredReason().isEmpty(), "the installation is configured");
    QString line = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype lineBreak = line.indexOf(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    if (lineBreak >= 0)
        line.truncate(lineBreak + (line.mid(lineBreak, 2) == QLatin1String("\r\n") ? 2 : 1));
    TTransaction transaction(db);
    const qint64 before = db.Scalar(QStringLiteral("SELECT COUNT(*) FROM CALL")).toLongLong();
    const TCallReader::TResult result = reader.Read(line, EncodeDateTime(2026, 2, 15, 10, 0));
    const qint64 after = db.Scalar(QStringLiteral("SELECT COUNT(*) FROM CALL")).toLongLong();
    switch (result.Outcome) {
        case TCallReader::TOutcome::Stored: {
            FuzzCheck(after == before + 1, "a stored line is one new row");
            const QString text =
                db.Scalar(QStringLiteral("SELECT TEXT FROM CALL WHERE ID = ?"), {db.LastInsertRowId()}).toString();
            FuzzCheck(!text.isEmpty() && LineContent(line).startsWith(text), "the row keeps the line without its break");
            const QVariant charge =
                db.Scalar(QStringLiteral("SELECT CHARGE FROM CALL WHERE ID = ?"), {db.LastInsertRowId()});
            FuzzCheck(charge.isNull() || std::isfinite(charge.toDouble()), "a charge is a finite amount");
            break;
        }
        case TCallReader::TOutcome::Blank:
            FuzzCheck(after == before, "a blank line stores nothing");
            break;
        case TCallReader::TOutcome::Invalid:
        case TCallReader::TOutcome::NotConfigured:
        case TCallReader::TOutcome::Failed:
            FuzzCheck(after == before, "a refused line stores nothing");
            FuzzCheck(!result.Message.isEmpty(), "a refused line says why");
            break;
    }
    return 0;
}
