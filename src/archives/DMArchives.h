#pragma once
// The archives window's data module: the ARCHIVE entries (cdsArchives on ArchivesRDM's
// connection) and the archive calls, without widgets. Archive work runs on the server as a
// job: the calls return at once, the server shows its running activity in the status bar
// and reports the outcome in the live log; the list shows the result after a refresh.
// Server errors raise EOleSysError (the process-wide handler shows them); the errors the
// server returns as texts are written to the client log "archives" (level 3) and returned.
//
//   TArchivesDM dm(connection.scArchives);
//   dm.Open();
//   const QString why = dm.Import(dm.CurrentId());   // empty: the server is importing it

#include "core/DateTime.h"
#include "remote/RemoteDataSet.h"

#include <QDate>
#include <QString>

#include <utility>

class TArchivesDM {
public:
    explicit TArchivesDM(TRemoteConnection& scArchives);

    TRemoteDataSet cdsArchives;

    // The first and the end moment of an archive of whole days: both picked days and every
    // day between them, whichever of the two comes first.
    static std::pair<TDateTime, TDateTime> ArchivePeriod(const QDate& from, const QDate& to);
    // The readable lines of an entry's FILTERS: for call fields 1 to 19 with a value, the
    // field's summary line, each followed by CR LF.
    static QString FiltersSummary(const QString& filters);

    void Open();
    // Closes and reopens the list.
    void Refresh();
    // The current row's ID; 0 when there is none (an empty list, a row being appended).
    qint64 CurrentId() const;

    // Asks the server to archive the calls of the period under the comment (trimmed).
    void Create(const QString& comment, const QDate& from, const QDate& to) const;
    // Asks the server to import the archive; returns its reason when it cannot.
    QString Import(qint64 id) const;
    // Sends the file (read whole) and asks the server to import it; returns the server's
    // reason when it cannot. Raises EInOutError when the file cannot be read.
    QString ImportExternal(const QString& path) const;
    // Asks the server to delete the calls an import brought back.
    void Clear(qint64 id) const;
    // Writes the pending edit or deletion to the server at once; raises EDatabaseError with
    // the server's reason (the change is then undone in the list).
    void ApplyNow();

private:
    QString Refused(const QString& error) const;

    TRemoteConnection& connection_;
};
