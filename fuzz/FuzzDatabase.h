#pragma once
// A small installation for the targets that need the server's database, made once per
// process in a temporary folder: the schema, one exchange in use, the demo data format,
// two tariff rule sets, VAT, and a few calls stored through the receiver's own reader.

#include "FuzzInput.h"

#include "server/CallReader.h"
#include "server/Database.h"
#include "server/DemoData.h"
#include "server/Schema.h"
#include "server/Settings.h"

#include <QTemporaryDir>

inline const QString& FuzzDatabasePath()
{
    static QTemporaryDir folder;
    static const QString path = [] {
        FuzzCheck(folder.isValid(), "a temporary folder");
        const QString file = folder.filePath(QStringLiteral("fuzz.db"));
        TDatabase db(file, TDatabase::TMode::ReadWrite);
        PrepareSchema(db);
        db.Exec(QStringLiteral(
            "INSERT INTO PBX (NAME) VALUES ('Head office');"
            "INSERT INTO TARIFF_RULES (NAME, TEXT) VALUES ('Local', 'rate * 0.00 0.04 60'),"
            " ('Mobile', '# by the second\nrate 087 0.05 0.22 1\nrate 0049 0.10 0.45 60');"));
        TSettings settings(db);
        settings.SetString(setting::SchemaInUse, DemoDataFormat());
        settings.SetInt(setting::PbxInUse, 1);
        settings.SetString(setting::VatPercent, QStringLiteral("19"));
        TCallReader reader(db);
        reader.Reload();
        const char* lines[] = {
            "14/02/26 09:15 00:02:05 101          5551234              001 007 I\r\n",
            "14/02/26 09:20 00:00:00 102   4711   0049301234567        002 003 O\r\n",
            "15/02/26 23:59 01:00:00 203          0871234567           003 001 O\r\n",
        };
        for (const char* line : lines)
            FuzzCheck(reader.Read(QString::fromLatin1(line), EncodeDateTime(2026, 2, 15, 10, 0)).Outcome ==
                          TCallReader::TOutcome::Stored,
                      "the seed calls are stored");
        return file;
    }();
    return path;
}
