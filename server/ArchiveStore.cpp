#include "server/ArchiveStore.h"

#include "calls/Globals.h"
#include "server/ArchiveFile.h"
#include "server/Database.h"
#include "server/SqlValues.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QUuid>

#include <sqlite3.h>

#include <csignal>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

constexpr int kFilterLines = 19;
const QString kCallTable = QStringLiteral("CALL");
const QString kPbxTable = QStringLiteral("PBX");
const QString kEntryTable = QStringLiteral("ARCHIVE");
// The entry's columns a file carries (ID, CHECKSUM, FILE_SIZE and IMPORTED belong to the
// database that lists it).
const QStringList kEntryColumns = {QStringLiteral("CREATED"),    QStringLiteral("COMMENT"),
                                   QStringLiteral("FILTERS"),    QStringLiteral("CALL_COUNT"),
                                   QStringLiteral("DURATION"),   QStringLiteral("PULSES"),
                                   QStringLiteral("RAW_CHARGE"), QStringLiteral("VAT"),
                                   QStringLiteral("CHARGE")};

// Tests kill the server between the steps of a creation to show that none of them can
// lose a call: TELVANE_ARCHIVE_KILL_AT names the step after which the process dies.
void KillPoint(const char* step)
{
    static const QByteArray at = qgetenv("TELVANE_ARCHIVE_KILL_AT");
    if (!at.isEmpty() && at == step) {
        std::fflush(nullptr);
        std::raise(SIGKILL);
    }
}

QString NowText()
{
    return DateTimeToSqlText(::Now());
}

// The columns of a table, in order.
QStringList TableColumns(TDatabase& db, const QString& table)
{
    TStatement s = db.Prepare(QStringLiteral("PRAGMA table_info(%1)").arg(table));
    QStringList columns;
    while (s.Step())
        columns << s.Text(1);
    return columns;
}

QString Describe(qint64 id, const QString& comment)
{
    return QStringLiteral("No. %1 \"%2\"").arg(id).arg(comment);
}

// The sums an entry shows, gathered while the calls are written.
struct TTotals {
    qint64 Count = 0, Duration = 0, Pulses = 0;
    double RawCharge = 0, Vat = 0, Charge = 0;

    void Add(const TStatement& s, const int columns[6])
    {
        ++Count;
        Duration += s.Int(columns[0]);
        Pulses += s.Int(columns[1]);
        RawCharge += s.Double(columns[2]);
        Vat += s.Double(columns[3]);
        Charge += s.Double(columns[4]);
    }
};

// Binds the rows of one table of a file to an insert into the same table here, by column
// name.
class TRowInserter {
public:
    TRowInserter(TDatabase& db, const QString& table, const QStringList& fileColumns, const QString& fileName,
                 const QStringList& extraColumns)
    {
        const QStringList known = TableColumns(db, table);
        for (const QString& c : fileColumns)
            if (!known.contains(c))
                throw EArchiveError(QStringLiteral("The archive file \"%1\" holds the column %2.%3, which this "
                                                   "server does not have.")
                                        .arg(fileName, table, c));
        QStringList columns = fileColumns + extraColumns;
        QStringList marks;
        for (int i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        insert_.emplace(db.Prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                       .arg(table, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))));
        fileColumns_ = int(fileColumns.size());
    }

    // Inserts the row with the extra values after the file's; false on a conflict of the
    // key when conflicts are to be reported.
    bool Insert(const QVariantList& row, const QVariantList& extra, bool reportConflict)
    {
        TStatement& s = *insert_;
        s.Reset();
        for (int i = 0; i < fileColumns_; ++i)
            s.Bind(i + 1, row.at(i));
        for (int i = 0; i < extra.size(); ++i)
            s.Bind(fileColumns_ + i + 1, extra.at(i));
        try {
            s.Step();
        } catch (const ESqliteError& e) {
            s.Reset();
            if (reportConflict && (e.ExtendedCode() == SQLITE_CONSTRAINT_PRIMARYKEY))
                return false;
            throw;
        }
        return true;
    }

private:
    std::optional<TStatement> insert_;
    int fileColumns_ = 0;
};

// Puts an archive's rows back: exchanges it needs that are missing here, its calls (under
// their own IDs where those are free), marked with the archive's ID.
class TImportSink : public TArchiveRowSink {
public:
    TImportSink(TDatabase& db, qint64 id, QString fileName) : db_(db), id_(id), fileName_(std::move(fileName)) {}

    bool BeginTable(const QString& name, const QStringList& columns) override
    {
        table_ = name;
        inserter_.reset();
        withId_.reset();
        if (name == kPbxTable) {
            inserter_.emplace(db_, kPbxTable, columns, fileName_, QStringList{QStringLiteral("ARCHIVE_ID")});
            pbxId_ = int(columns.indexOf(QStringLiteral("ID")));
            exists_.emplace(db_.Prepare(QStringLiteral("SELECT 1 FROM PBX WHERE ID = ?")));
        } else if (name == kCallTable) {
            const int idColumn = int(columns.indexOf(QStringLiteral("ID")));
            QStringList without = columns;
            if (idColumn >= 0)
                without.removeAt(idColumn);
            withId_.emplace(db_, kCallTable, columns, fileName_, QStringList{QStringLiteral("ARCHIVE_ID")});
            inserter_.emplace(db_, kCallTable, without, fileName_, QStringList{QStringLiteral("ARCHIVE_ID")});
            callId_ = idColumn;
        }
        return name == kPbxTable || name == kCallTable;  // the entry is the database's own
    }

    void Row(const QVariantList& values) override
    {
        const QVariantList archive{id_};
        if (table_ == kPbxTable) {
            exists_->Reset();
            exists_->Bind(1, values.value(pbxId_));
            if (pbxId_ >= 0 && exists_->Step())
                return;  // the exchange is known here: its calls join it
            inserter_->Insert(values, archive, false);
        } else if (table_ == kCallTable) {
            ++calls_;
            if (callId_ >= 0 && withId_->Insert(values, archive, true))
                return;
            QVariantList rest = values;
            if (callId_ >= 0)
                rest.removeAt(callId_);
            inserter_->Insert(rest, archive, false);
        }
    }

    qint64 Calls() const { return calls_; }

private:
    TDatabase& db_;
    qint64 id_;
    QString fileName_;
    QString table_;
    std::optional<TRowInserter> inserter_, withId_;
    std::optional<TStatement> exists_;
    int pbxId_ = -1, callId_ = -1;
    qint64 calls_ = 0;
};

// Keeps the entry of a file and counts its calls.
class TEntrySink : public TArchiveRowSink {
public:
    bool BeginTable(const QString& name, const QStringList& columns) override
    {
        table_ = name;
        if (name == kEntryTable)
            columns_ = columns;
        return name == kEntryTable;  // the calls are only checked
    }
    void Row(const QVariantList& values) override
    {
        if (table_ == kEntryTable)
            entry_ = values;
    }

    QVariant Value(const QString& column) const { return entry_.value(int(columns_.indexOf(column))); }
    bool HasEntry() const { return !entry_.isEmpty(); }

private:
    QString table_;
    QStringList columns_;
    QVariantList entry_;
};

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

// Moves a complete file to its final name and makes the rename durable.
void Publish(const QString& from, const QString& to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        throw EArchiveError(QStringLiteral("The archive file \"%1\" cannot be renamed to \"%2\".").arg(from, to));
    if (!SyncDirectory(QFileInfo(to).absolutePath()))
        throw EArchiveError(QStringLiteral("The archive folder \"%1\" cannot be flushed to disk.")
                                .arg(QFileInfo(to).absolutePath()));
}

// Adds an ARCHIVE entry: CHECKSUM, PULSES, CREATED, COMMENT, FILE_SIZE, FILTERS,
// CALL_COUNT, DURATION, RAW_CHARGE, VAT, CHARGE; returns its ID.
qint64 AddEntry(TDatabase& db, const QVariantList& values)
{
    TStatement add = db.Prepare(
        QStringLiteral("INSERT INTO ARCHIVE (CHECKSUM, PULSES, CREATED, COMMENT, FILE_SIZE, FILTERS, CALL_COUNT, "
                       "DURATION, RAW_CHARGE, VAT, CHARGE) VALUES (?,?,?,?,?,?,?,?,?,?,?)"));
    for (int i = 0; i < values.size(); ++i)
        add.Bind(i + 1, values.at(i));
    add.Step();
    return db.LastInsertRowId();
}

// Removes a file unless it was kept.
struct TFileGuard {
    QString Path;
    ~TFileGuard()
    {
        if (!Path.isEmpty())
            QFile::remove(Path);
    }
};

}  // namespace

TCallSelection PeriodSelection(TDateTime first, TDateTime end)
{
    TCallSelection s;
    s.IdQuery = QStringLiteral(
        "SELECT ID FROM CALL WHERE ARCHIVE_ID IS NULL AND REC_DATETIME >= ? AND REC_DATETIME < ?");
    s.Params = {DateTimeToSqlText(first), DateTimeToSqlText(end)};
    QStringList lines(kFilterLines);
    lines[2] = FloatToTextDot(first) + QLatin1Char(',') + FloatToTextDot(end);  // call field 3: received time
    s.Filters = lines.join(QLatin1Char('\n'));
    return s;
}

TCallSelection ConditionSelection(const QStringList& values, const QString& joins, const QStringList& conditions)
{
    TCallSelection s;
    QStringList where;
    for (const QString& c : conditions)
        if (!c.trimmed().isEmpty())
            where << QStringLiteral("(%1)").arg(c);
    s.ClientSql = QStringLiteral("SELECT c.ID FROM CALL c %1%2")
                      .arg(joins, where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND ")));
    // Whatever the conditions make of the client's select, only calls in no archive are
    // taken; a condition that comments out the rest leaves no statement to run.
    s.IdQuery = QStringLiteral("SELECT k.ID FROM CALL k WHERE k.ARCHIVE_ID IS NULL AND k.ID IN (%1\n)").arg(s.ClientSql);
    QStringList lines = values.mid(0, kFilterLines);
    while (lines.size() < kFilterLines)
        lines << QString();
    s.Filters = lines.join(QLatin1Char('\n'));
    return s;
}

TArchiveStore::TArchiveStore(TDatabase& db, QString directory) : db_(db), directory_(std::move(directory)) {}

void TArchiveStore::TuneConnection(TDatabase& db)
{
    db.Exec(QStringLiteral("PRAGMA cache_size = -65536; PRAGMA temp_store = MEMORY"));
}

QString TArchiveStore::DirectoryFor(const QString& databasePath)
{
    const QFileInfo info(databasePath);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".archives");
}

QString TArchiveStore::FilePath(qint64 id) const
{
    return directory_ + QStringLiteral("/archive-%1.tvz").arg(id);
}

TArchiveResult TArchiveStore::Create(const QString& comment, const TCallSelection& selection)
{
    if (!QDir().mkpath(directory_))
        throw EArchiveError(QStringLiteral("The archive folder \"%1\" cannot be made.").arg(directory_));
    db_.Exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS ARCHIVE_CALLS (ID INTEGER PRIMARY KEY);"
                            "DELETE FROM temp.ARCHIVE_CALLS"));
    TFileGuard temporary{directory_ + QStringLiteral("/%1.tmp").arg(QUuid::createUuid().toString(QUuid::Id128))};
    TTotals totals;
    TArchiveFileInfo info;
    const QString created = NowText();
    {
        // One snapshot for choosing and writing the calls; the database stays open for
        // writers meanwhile. Later calls are not chosen, and nothing else deletes calls
        // that no archive holds, so the chosen ones are still there when they are deleted.
        db_.Exec(QStringLiteral("BEGIN"));
        // The chosen IDs (in the temporary table) must outlive the snapshot: commit it.
        auto end = qScopeGuard([this] { db_.Exec(QStringLiteral("ROLLBACK")); });
        TStatement choose = db_.Prepare(QStringLiteral("INSERT INTO temp.ARCHIVE_CALLS (ID) ") + selection.IdQuery);
        for (int i = 0; i < selection.Params.size(); ++i)
            choose.Bind(i + 1, selection.Params.at(i));
        choose.Step();
        if (db_.Changes() == 0)
            throw ENoCallsToArchive(QStringLiteral("There are no calls to archive for \"%1\".").arg(comment));

        TArchiveWriter out(temporary.Path);
        const QStringList pbxColumns = TableColumns(db_, kPbxTable).filter(QRegularExpression(QStringLiteral("^(?!ARCHIVE_ID$)")));
        out.BeginTable(kPbxTable, pbxColumns);
        TStatement pbx = db_.Prepare(QStringLiteral("SELECT %1 FROM PBX WHERE ID IN (SELECT DISTINCT c.PBX_ID FROM "
                                                    "CALL c JOIN temp.ARCHIVE_CALLS t ON t.ID = c.ID)")
                                         .arg(pbxColumns.join(QLatin1Char(','))));
        while (pbx.Step())
            out.AddRow(pbx);

        const QStringList callColumns =
            TableColumns(db_, kCallTable).filter(QRegularExpression(QStringLiteral("^(?!ARCHIVE_ID$)")));
        out.BeginTable(kCallTable, callColumns);
        const int sums[] = {int(callColumns.indexOf(QStringLiteral("DURATION"))),
                            int(callColumns.indexOf(QStringLiteral("PULSES"))),
                            int(callColumns.indexOf(QStringLiteral("RAW_CHARGE"))),
                            int(callColumns.indexOf(QStringLiteral("VAT"))),
                            int(callColumns.indexOf(QStringLiteral("CHARGE"))), 0};
        TStatement calls = db_.Prepare(
            QStringLiteral("SELECT %1 FROM CALL c JOIN temp.ARCHIVE_CALLS t ON t.ID = c.ID ORDER BY c.ID")
                .arg(QStringList(callColumns).replaceInStrings(QRegularExpression(QStringLiteral("^")),
                                                               QStringLiteral("c."))
                         .join(QLatin1Char(','))));
        while (calls.Step()) {
            out.AddRow(calls);
            totals.Add(calls, sums);
        }

        out.BeginTable(kEntryTable, kEntryColumns);
        out.AddRow(QVariantList{created, comment, selection.Filters, totals.Count, totals.Duration,
                                totals.Pulses, RoundCurrency(totals.RawCharge), RoundCurrency(totals.Vat),
                                RoundCurrency(totals.Charge)});
        info = out.Finish();
        end.dismiss();
        db_.Exec(QStringLiteral("COMMIT"));
    }
    KillPoint("file-written");

    TTransaction tx(db_);
    const QVariantList entry{info.Checksum,   totals.Pulses,   created,
                             comment,         info.Size,       selection.Filters,
                             totals.Count,    totals.Duration, RoundCurrency(totals.RawCharge),
                             RoundCurrency(totals.Vat), RoundCurrency(totals.Charge)};
    TArchiveResult result{AddEntry(db_, entry), totals.Count, comment};
    const QString final = FilePath(result.Id);
    Publish(temporary.Path, final);
    temporary.Path.clear();
    TFileGuard published{final};  // until the transaction has committed
    KillPoint("file-renamed");
    db_.Exec(QStringLiteral("DELETE FROM CALL WHERE ID IN (SELECT ID FROM temp.ARCHIVE_CALLS)"));
    KillPoint("calls-deleted");
    tx.Commit();
    published.Path.clear();
    KillPoint("committed");
    db_.Exec(QStringLiteral("DELETE FROM temp.ARCHIVE_CALLS"));
    return result;
}

QString TArchiveStore::ImportError(qint64 id)
{
    TStatement s = db_.Prepare(QStringLiteral("SELECT COMMENT, IMPORTED, CHECKSUM FROM ARCHIVE WHERE ID = ?"));
    s.BindInt(1, id);
    if (!s.Step())
        return QStringLiteral("There is no archive No. %1.").arg(id);
    const QString name = Describe(id, s.Text(0));
    if (!s.IsNull(1))
        return QStringLiteral("The archive %1 has been imported already.").arg(name);
    const QString path = FilePath(id);
    if (!QFileInfo::exists(path))
        return QStringLiteral("The file of the archive %1 is missing: \"%2\".").arg(name, path);
    try {
        const TArchiveFileInfo info = VerifyArchive(ReadFile(path), QFileInfo(path).fileName());
        if (info.Checksum != s.Text(2))
            return QStringLiteral("The file \"%1\" is not the file of the archive %2: its checksum differs.")
                .arg(path, name);
    } catch (const Exception& e) {
        return e.Message();
    }
    return QString();
}

TArchiveResult TArchiveStore::Import(qint64 id)
{
    TTransaction tx(db_);
    const QString error = ImportError(id);  // inside the transaction: no second import slips in
    if (!error.isEmpty())
        throw Exception(error);
    const QString path = FilePath(id);
    TImportSink sink(db_, id, QFileInfo(path).fileName());
    ReadArchive(ReadFile(path), QFileInfo(path).fileName(), sink);
    TStatement mark = db_.Prepare(QStringLiteral("UPDATE ARCHIVE SET IMPORTED = ? WHERE ID = ?"));
    mark.Bind(1, NowText());
    mark.BindInt(2, id);
    mark.Step();
    const QString comment = db_.Scalar(QStringLiteral("SELECT COMMENT FROM ARCHIVE WHERE ID = ?"), {id}).toString();
    tx.Commit();
    return {id, sink.Calls(), comment};
}

TArchiveResult TArchiveStore::Clear(qint64 id)
{
    TTransaction tx(db_);
    TStatement s = db_.Prepare(QStringLiteral("SELECT COMMENT, IMPORTED FROM ARCHIVE WHERE ID = ?"));
    s.BindInt(1, id);
    if (!s.Step())
        throw Exception(QStringLiteral("There is no archive No. %1.").arg(id));
    const QString comment = s.Text(0);
    if (s.IsNull(1))
        throw Exception(QStringLiteral("The archive %1 has not been imported: there is nothing to clear.")
                            .arg(Describe(id, comment)));
    TStatement del = db_.Prepare(QStringLiteral("DELETE FROM CALL WHERE ARCHIVE_ID = ?"));
    del.BindInt(1, id);
    del.Step();
    const qint64 calls = db_.Changes();
    TStatement pbx = db_.Prepare(QStringLiteral(
        "DELETE FROM PBX WHERE ARCHIVE_ID = ? AND NOT EXISTS (SELECT 1 FROM CALL c WHERE c.PBX_ID = PBX.ID)"));
    pbx.BindInt(1, id);
    pbx.Step();
    TStatement mark = db_.Prepare(QStringLiteral("UPDATE ARCHIVE SET IMPORTED = NULL WHERE ID = ?"));
    mark.BindInt(1, id);
    mark.Step();
    tx.Commit();
    return {id, calls, comment};
}

qint64 TArchiveStore::AddExternal(const QString& fileName, const QByteArray& bytes)
{
    TEntrySink entry;
    const TArchiveFileInfo info = ReadArchive(bytes, fileName, entry);
    if (!entry.HasEntry())
        throw EArchiveError(QStringLiteral("The archive file \"%1\" is damaged: it has no entry.").arg(fileName));
    if (!QDir().mkpath(directory_))
        throw EArchiveError(QStringLiteral("The archive folder \"%1\" cannot be made.").arg(directory_));
    TTransaction tx(db_);
    TStatement same = db_.Prepare(QStringLiteral("SELECT ID, COMMENT, IMPORTED FROM ARCHIVE WHERE CHECKSUM = ?"));
    same.Bind(1, info.Checksum);
    if (same.Step())
        throw Exception(same.IsNull(2)
                            ? QStringLiteral("The archive \"%1\" is listed already as %2: import it from the list.")
                                  .arg(fileName, Describe(same.Int(0), same.Text(1)))
                            : QStringLiteral("The archive \"%1\" has been imported already as %2.")
                                  .arg(fileName, Describe(same.Int(0), same.Text(1))));
    const QVariantList values{info.Checksum,
                              entry.Value(QStringLiteral("PULSES")),
                              entry.Value(QStringLiteral("CREATED")),
                              entry.Value(QStringLiteral("COMMENT")).toString().left(100),
                              info.Size,
                              entry.Value(QStringLiteral("FILTERS")),
                              entry.Value(QStringLiteral("CALL_COUNT")),
                              entry.Value(QStringLiteral("DURATION")),
                              entry.Value(QStringLiteral("RAW_CHARGE")),
                              entry.Value(QStringLiteral("VAT")),
                              entry.Value(QStringLiteral("CHARGE"))};
    const qint64 id = AddEntry(db_, values);
    TFileGuard temporary{directory_ + QStringLiteral("/%1.tmp").arg(QUuid::createUuid().toString(QUuid::Id128))};
    {
        QFile f(temporary.Path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.flush() ||
            ::fsync(f.handle()) != 0)
            throw EArchiveError(
                QStringLiteral("The archive file \"%1\" cannot be written: %2").arg(f.fileName(), f.errorString()));
    }
    Publish(temporary.Path, FilePath(id));
    temporary.Path.clear();
    TFileGuard published{FilePath(id)};
    tx.Commit();
    published.Path.clear();
    return id;
}

QStringList TArchiveStore::RemoveLeftovers()
{
    QStringList removed;
    QDir dir(directory_);
    if (!dir.exists())
        return removed;
    static const QRegularExpression archiveName(QStringLiteral("^archive-(\\d+)\\.tvz$"));
    for (const QString& name : dir.entryList(QDir::Files)) {
        bool leftover = name.endsWith(QLatin1String(".tmp"));
        const QRegularExpressionMatch m = archiveName.match(name);
        if (m.hasMatch())
            leftover = db_.Scalar(QStringLiteral("SELECT count(*) FROM ARCHIVE WHERE ID = ?"),
                                  {m.captured(1).toLongLong()})
                           .toLongLong() == 0;
        if (leftover && dir.remove(name))
            removed << name;
    }
    return removed;
}
