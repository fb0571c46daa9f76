#pragma once
// A realistic demo installation: three exchanges, groups, about fifty extensions and
// thirty PIN codes, limit plans, a data format, tariff rules, some thirty thousand calls
// over the three months that end on a given day (charged by those rules), saved report
// configurations and log events. Fixed seeds: the same day gives the same data.

#include <QDate>
#include <QString>

class TDatabase;

// The data format in use of the demo installation.
QString DemoDataFormat();

struct TDemoSummary {
    int Exchanges = 0, Groups = 0, Extensions = 0, PinCodes = 0, Calls = 0, Events = 0;
    QString Text() const;
};

// Seeds an empty database (created by PrepareSchema) in one transaction.
TDemoSummary SeedDemoData(TDatabase& db, const QDate& lastDay);
