#pragma once
// The two process-wide "ready" flags of the report callback object (TClientReport): the
// server's ReportReady and LogsReportReady set them; the report window and the logs report
// clear one before sending their statement and wait until it is set again. The flags are
// header-only, so that the callback object and the windows share them.

#include <atomic>
#include <functional>

inline std::atomic<bool> ReportReadyFlag{false};
inline std::atomic<bool> LogsReportReadyFlag{false};

// Handles the window's messages (through which the server's notice arrives), pausing
// briefly between checks, until the flag is set. Raises EOleSysError 0x80010108 when
// connected() turns false first: without a connection the notice can never come.
void WaitForReadyFlag(const std::atomic<bool>& flag, const std::function<bool()>& connected);
