#pragma once
// The archives of one database: creating an archive file from calls and deleting the
// calls, importing a file back, clearing imported calls, taking in a file of another
// server. Works on the connection it is given, which must be its own (the server runs
// this off its thread, one archive job at a time); every change is one transaction.
//
// Creating never loses a call: the calls are read and written to a temporary file, which is
// flushed to disk; then, in one transaction, the entry is added, the file renamed to its
// final name and flushed, and the calls deleted. A process that dies at any point leaves
// the calls in the database (a file without an entry is removed by RemoveLeftovers at the
// next start) or the complete archive with its entry.
//
//   TArchiveStore store(db, TArchiveStore::DirectoryFor(databasePath));
//   const TArchiveResult r = store.Create("March", PeriodSelection(first, end));
//   const QString why = store.ImportError(r.Id);   // empty: it can be imported
//   store.Import(r.Id);

#include "core/DateTime.h"
#include "core/Errors.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantList>

class TDatabase;

// Which calls an archive takes: a select of their IDs (one column) and its parameters,
// and the FILTERS text of the entry (line k: the condition value on call field k).
// Calls brought back by an import stay out of new archives (they belong to theirs).
struct TCallSelection {
    QString IdQuery;
    QString ClientSql;  // a select made of the client's conditions, to be checked as a report's
    QVariantList Params;
    QString Filters;
};

// The calls received from first (included) to end (excluded).
TCallSelection PeriodSelection(TDateTime first, TDateTime end);
// The calls a report's detail filters select: the values of the filters by call field (1 to
// 19), the join clauses the conditions need, the non-empty conditions.
TCallSelection ConditionSelection(const QStringList& values, const QString& joins, const QStringList& conditions);

// Raised by Create when the selection holds no call: no archive is made.
class ENoCallsToArchive : public Exception {
public:
    using Exception::Exception;
};

struct TArchiveResult {
    qint64 Id = 0;
    qint64 Calls = 0;
    QString Comment;
};

class TArchiveStore {
public:
    TArchiveStore(TDatabase& db, QString directory);

    // Sets up a connection for archive jobs: a page cache large enough for the indexes a
    // creation or import of many calls updates, and the chosen IDs kept in memory.
    static void TuneConnection(TDatabase& db);
    // Where the archives of a database live: beside it, "<name>.archives".
    static QString DirectoryFor(const QString& databasePath);
    QString FilePath(qint64 id) const;

    // Archives the selected calls under the comment. Raises Exception (nothing changed)
    // when no call is selected or the file cannot be written.
    TArchiveResult Create(const QString& comment, const TCallSelection& selection);
    // Why the archive cannot be imported (no entry, imported already, file missing or not
    // the entry's); empty when it can.
    QString ImportError(qint64 id);
    // Brings the archive's calls back, marked with its ID. Raises Exception with the
    // reason (as ImportError, or the file's fault); nothing is changed then.
    TArchiveResult Import(qint64 id);
    // Deletes the calls an import brought back and the exchanges only they needed; the
    // archive can be imported again. Raises Exception when it is not imported.
    TArchiveResult Clear(qint64 id);
    // Takes in the file of an archive this database does not list: checks it, lists it
    // (not imported) and keeps a copy under its new ID, which it returns. Raises
    // Exception (nothing listed) for a file that is no sound archive or that is listed
    // already.
    qint64 AddExternal(const QString& fileName, const QByteArray& bytes);
    // Removes files that no entry holds (left by a creation that did not complete) and
    // temporary files; returns their names.
    QStringList RemoveLeftovers();

private:
    TDatabase& db_;
    QString directory_;
};
