#pragma once
// The two process-wide "ready" flags of the report callback object (TClientReport): the
// server's ReportReady and LogsReportReady set them; the report window and the logs report
// clear one before sending their statement and wait until it is set again. Header-only, so
// that the callback object and the windows share them without another library.

#include <atomic>

inline std::atomic<bool> ReportReadyFlag{false};
inline std::atomic<bool> LogsReportReadyFlag{false};
