#pragma once
// The logs report window's data module: the query over the server's LOG table that a
// choice of interval, categories, severities and words makes, its run on LogsReportRDM
// (cdsResult), the rows of one event (cdsTemp) joined into its full text, and the
// tab-separated export. No widgets. Server errors raise EOleSysError.
//
//   TLogsReportDM dm(connection.scLogsReport, connection.MainRDM);
//   TLogSearch search{from, to, {QStringLiteral("Receiver")}, {3}, QStringLiteral("port")};
//   dm.Search(TLogsReportDM::BuildQuery(search));
//   dm.Load();
//   memo->setPlainText(dm.EventText(eventId));

#include "core/DateTime.h"
#include "remote/RemoteDataSet.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// What the user chose to search for.
struct TLogSearch {
    TDateTime From = 0;
    TDateTime To = 0;
    QStringList Categories;  // the checked items' texts, in list order
    QList<int> Severities;   // the severities whose buttons are down, in order
    QString Words;           // separated by blanks
};

class TLogsReportDM {
public:
    TLogsReportDM(TRemoteConnection& scLogsReport, TRemoteModule mainRDM);

    TRemoteDataSet cdsResult;
    TRemoteDataSet cdsTemp;

    // The category items as offered, in order.
    static const QStringList& Categories();
    // "Information" ... "Bug", another number in decimal, nothing for null.
    static QString SeverityText(const QVariant& severity);
    // The whole query; from and to are exchanged when to is the earlier.
    static QString BuildQuery(const TLogSearch& search);
    // The text condition: every non-empty word must occur in TEXT as typed; quotes, "%"
    // and "_" in a word stand for themselves. Empty without words.
    static QString WordsCondition(const QString& words);
    // The rows of one event, as LogsReportRDM 302 gets them.
    static QString EventQuery(qint64 eventId);
    // An event's texts joined: a row written within 100 ms of the row before it continues
    // that line after a blank, a later one starts a new line (CR LF). Times compare in
    // whole milliseconds.
    static QString JoinEventRows(const QList<QPair<TDateTime, QString>>& rows);
    // "Received time: from ... to ..." for the interval, as the printout's title has it.
    static QString IntervalSummary(TDateTime from, TDateTime to);

    // Runs the query on the server (cdsResult closed meanwhile) and returns when the
    // server says it is done, handling the window's messages while it works.
    void Search(const QString& sql);
    // Opens the result of the last search, with live data held back while the rows come.
    void Load();
    // The full text of an event, read from the server.
    QString EventText(qint64 eventId);
    // Writes cdsResult tab-separated with the title line; false (logged) on failure.
    bool Export(const QString& fileName, const QString& title);

private:
    TRemoteConnection& connection_;
    TRemoteModule main_;
};
