#pragma once
// The calls the benchmarks work on: a new database file with one exchange and the given
// number of calls, every 7 seconds from 1 January 2026 (UTC), with a spread of codes,
// numbers and charges.

#include "server/Database.h"
#include "server/Schema.h"

inline void FillCalls(const QString& path, qint64 rows)
{
    TDatabase db(path, TDatabase::TMode::ReadWrite);
    PrepareSchema(db);
    TTransaction tx(db);
    db.Exec(QStringLiteral("INSERT INTO PBX (ID, NAME) VALUES (1, 'Main exchange')"));
    db.Exec(QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                "INSERT INTO CALL (REC_DATETIME, END_DATETIME, START_DATETIME, DURATION, PBX_ID, EXT_CODE, "
                "PIN_CODE, "
                "EXTRA_CODE, PHONE, CIRCUIT, TRUNK, CALL_TYPE, RAW_CHARGE, VAT, CHARGE, PULSES, TEXT) "
                "SELECT datetime(1767225600 + i * 7, 'unixepoch'), datetime(1767225600 + i * 7 - 1, "
                "'unixepoch'), "
                "datetime(1767225600 + i * 7 - 1 - (i * 37) % 600, 'unixepoch'), (i * 37) % 600, 1, "
                "CAST(100 + i % 50 AS TEXT), CASE WHEN i % 3 = 0 THEN printf('%04d', i % 30) END, "
                "CASE WHEN i % 10 = 0 THEN '99' END, '0' || (20000000 + (i * 7919) % 80000000), "
                "CAST(i % 8 AS TEXT), 'T' || (i % 4), CASE i % 3 WHEN 0 THEN 'IN' WHEN 1 THEN 'OUT' ELSE "
                "'INT' END, "
                "round(((i * 37) % 600) * 0.0015, 4), round(((i * 37) % 600) * 0.0003, 4), "
                "round(((i * 37) % 600) * 0.0018, 4), (i * 37) % 600 / 60, "
                "printf('%02d/%02d %05d 0%08d', i % 28 + 1, i % 12 + 1, i % 100000, (i * 7919) % 80000000) "
                "FROM n")
                .arg(rows));
    tx.Commit();
}

