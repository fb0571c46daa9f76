#include "server/Schema.h"

#include "server/Database.h"
#include "server/Passwords.h"
#include "server/Settings.h"

namespace {

// Column order follows the datasets of the client, so that "select *" reads naturally.
const char* const kSchema = R"SQL(
CREATE TABLE SETTINGS (
  NAME  VARCHAR(100) NOT NULL PRIMARY KEY,
  VALUE TEXT
);
CREATE TABLE PASSWORDS (
  ACCOUNT    INTEGER NOT NULL PRIMARY KEY,
  ALGORITHM  VARCHAR(20) NOT NULL,
  ITERATIONS INTEGER NOT NULL,
  SALT       BLOB NOT NULL,
  HASH       BLOB NOT NULL
);
CREATE TABLE ARCHIVE (
  ID         INTEGER PRIMARY KEY AUTOINCREMENT,
  CHECKSUM   VARCHAR(25),
  PULSES     BIGINT,
  CREATED    TIMESTAMP,
  COMMENT    NVARCHAR(100),
  IMPORTED   TIMESTAMP,
  FILE_SIZE  BIGINT,
  FILTERS    TEXT,
  CALL_COUNT BIGINT,
  DURATION   BIGINT,
  RAW_CHARGE CURRENCY,
  VAT        CURRENCY,
  CHARGE     CURRENCY
);
CREATE TABLE GROUPS (
  ID         INTEGER PRIMARY KEY AUTOINCREMENT,
  NAME       NVARCHAR(100) NOT NULL,
  ARCHIVE_ID INTEGER
);
CREATE TABLE PBX (
  ID         INTEGER PRIMARY KEY AUTOINCREMENT,
  NAME       NVARCHAR(100) NOT NULL,
  ARCHIVE_ID INTEGER
);
CREATE TABLE LIMIT_PLAN (
  ID             INTEGER PRIMARY KEY AUTOINCREMENT,
  NAME           NVARCHAR(100) NOT NULL,
  MONEY_LIMIT    CURRENCY NOT NULL,
  RESET_INTERVAL INTEGER,
  ARCHIVE_ID     INTEGER
);
CREATE TABLE EXTENSION (
  CODE          VARCHAR(10) NOT NULL,
  NAME          NVARCHAR(100) NOT NULL,
  GROUP_ID      INTEGER NOT NULL REFERENCES GROUPS(ID) ON DELETE CASCADE,
  PBX_ID        INTEGER NOT NULL REFERENCES PBX(ID) ON DELETE CASCADE,
  LIMIT_PLAN_ID INTEGER REFERENCES LIMIT_PLAN(ID) ON DELETE SET NULL,
  MONEY_LEFT    DOUBLE,
  NEXT_RESET    TIMESTAMP,
  ARCHIVE_ID    INTEGER,
  PRIMARY KEY (PBX_ID, CODE)
);
CREATE INDEX EXTENSION_GROUP ON EXTENSION (GROUP_ID);
CREATE INDEX EXTENSION_LIMIT_PLAN ON EXTENSION (LIMIT_PLAN_ID);
CREATE TABLE PIN_CODE (
  CODE          VARCHAR(10) NOT NULL,
  NAME          NVARCHAR(100) NOT NULL,
  GROUP_ID      INTEGER NOT NULL REFERENCES GROUPS(ID) ON DELETE CASCADE,
  PBX_ID        INTEGER NOT NULL REFERENCES PBX(ID) ON DELETE CASCADE,
  LIMIT_PLAN_ID INTEGER REFERENCES LIMIT_PLAN(ID) ON DELETE SET NULL,
  MONEY_LEFT    DOUBLE,
  NEXT_RESET    TIMESTAMP,
  COR           SMALLINT,
  OLDCOR        SMALLINT,
  ARCHIVE_ID    INTEGER,
  PRIMARY KEY (PBX_ID, CODE)
);
CREATE INDEX PIN_CODE_GROUP ON PIN_CODE (GROUP_ID);
CREATE INDEX PIN_CODE_LIMIT_PLAN ON PIN_CODE (LIMIT_PLAN_ID);
CREATE TABLE CALL_SCHEMA (
  NAME NVARCHAR(100) NOT NULL PRIMARY KEY,
  TEXT VARCHAR(5000) NOT NULL
);
CREATE TABLE TARIFF_RULES (
  NAME NVARCHAR(100) NOT NULL PRIMARY KEY,
  TEXT NTEXT
);
CREATE TABLE CALL (
  ID             INTEGER PRIMARY KEY AUTOINCREMENT,
  ARCHIVE_ID     INTEGER,
  REC_DATETIME   DATETIME NOT NULL,
  END_DATETIME   DATETIME,
  START_DATETIME DATETIME,
  DURATION       INTEGER,
  PBX_ID         INTEGER NOT NULL REFERENCES PBX(ID) ON DELETE RESTRICT,
  EXT_CODE       VARCHAR(10),
  PIN_CODE       VARCHAR(10),
  EXTRA_CODE     VARCHAR(20),
  PHONE          VARCHAR(32),
  CIRCUIT        VARCHAR(10),
  TRUNK          VARCHAR(10),
  CALL_TYPE      VARCHAR(10),
  RAW_CHARGE     CURRENCY,
  VAT            CURRENCY,
  CHARGE         CURRENCY,
  PULSES         INTEGER,
  TEXT           VARCHAR(250)
);
CREATE INDEX CALL_EXTENSION ON CALL (PBX_ID, EXT_CODE);
CREATE INDEX CALL_PIN_CODE ON CALL (PBX_ID, PIN_CODE);
CREATE INDEX CALL_ARCHIVE ON CALL (ARCHIVE_ID);
CREATE TABLE LOG (
  DATE_TIME TIMESTAMP NOT NULL,
  EVENT_ID  BIGINT NOT NULL,
  CATEGORY  VARCHAR(100) NOT NULL,
  SEVERITY  SMALLINT NOT NULL,
  TEXT      NVARCHAR(100)
);
CREATE INDEX LOG_DATE_TIME ON LOG (DATE_TIME);
CREATE INDEX LOG_EVENT ON LOG (EVENT_ID);
CREATE TABLE REPORT (
  NAME    NVARCHAR(100) NOT NULL PRIMARY KEY,
  SETUP   TEXT NOT NULL,
  GRID    TEXT NOT NULL,
  SPECIAL TEXT
);
)SQL";

// Added in version 2. ID keeps the order in which the commands were queued.
const char* const kCommandQueue = R"SQL(
CREATE TABLE COMMAND_QUEUE (
  ID          INTEGER PRIMARY KEY AUTOINCREMENT,
  TEXT        VARCHAR(250) NOT NULL,
  RETRY_COUNT INTEGER NOT NULL DEFAULT 0
);
)SQL";

// The interval filter limits reports by the received, the end or the start time, and
// each needs its index, or a report over a short period reads every call. Files made
// before the end and start times had theirs get them when they are opened: creating an
// index that exists does nothing, so no schema version is needed for it.
const char* const kCallTimeIndexes = R"SQL(
CREATE INDEX IF NOT EXISTS CALL_REC_DATETIME ON CALL (REC_DATETIME);
CREATE INDEX IF NOT EXISTS CALL_END_DATETIME ON CALL (END_DATETIME);
CREATE INDEX IF NOT EXISTS CALL_START_DATETIME ON CALL (START_DATETIME);
)SQL";

// Whether an extension or PIN code is blocked on its exchange, and why, so that the
// state survives a restart (server/SpendingLimits.h). Files made before blocking was
// stored get the column when they are opened; a column that exists is left alone, so no
// schema version is needed for it.
void AddBlockedColumns(TDatabase& db)
{
    for (const char* table : {"EXTENSION", "PIN_CODE"}) {
        const bool present =
            db.Scalar(QStringLiteral("SELECT count(*) FROM pragma_table_info('%1') WHERE name = 'BLOCKED'")
                          .arg(QLatin1String(table)))
                .toInt() > 0;
        if (!present)
            db.Exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN BLOCKED SMALLINT NOT NULL DEFAULT 0")
                        .arg(QLatin1String(table)));
    }
}

}  // namespace

bool PrepareSchema(TDatabase& db)
{
    db.Exec(QStringLiteral("PRAGMA journal_mode = WAL"));
    const bool isNew =
        db.Scalar(
              QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'SETTINGS'"))
            .toInt() == 0;
    if (!isNew) {
        const int version = TSettings(db).Int(setting::SchemaVersion, 0);
        if (version > SchemaVersion)
            throw Exception(
                QStringLiteral("The database \"%1\" was written by a newer server (schema version %2)")
                    .arg(db.Path())
                    .arg(version));
        if (version < 2) {
            TTransaction tx(db);
            db.Exec(QString::fromLatin1(kCommandQueue));
            TSettings(db).SetInt(setting::SchemaVersion, SchemaVersion);
            tx.Commit();
        }
        TTransaction tx(db);
        db.Exec(QString::fromLatin1(kCallTimeIndexes));
        AddBlockedColumns(db);
        tx.Commit();
        return false;
    }
    TTransaction tx(db);
    db.Exec(QString::fromLatin1(kSchema));
    db.Exec(QString::fromLatin1(kCommandQueue));
    db.Exec(QString::fromLatin1(kCallTimeIndexes));
    AddBlockedColumns(db);
    TSettings settings(db);
    settings.SetInt(setting::SchemaVersion, SchemaVersion);
    settings.SetInt(setting::Language, 1);
    settings.SetString(setting::VatPercent, QStringLiteral("20"));
    TPasswords passwords(db);
    passwords.Set(TAccount::User, QStringLiteral("user"));
    passwords.Set(TAccount::Administrator, QStringLiteral("admin"));
    tx.Commit();
    return true;
}
