#pragma once
// The report callback object: the server's signals that a report or logs query is done.

#include "remote/CallbackObject.h"

class TClientReport : public TCallbackObject {
public:
    explicit TClientReport(const TTypeLibrary& library);

    void ReportReady();
    void LogsReportReady();
};
