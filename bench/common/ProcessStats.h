#pragma once
// Memory and processor time of the benchmark's own process (Linux /proc), shared by the
// benchmarks that print peak memory.

#include <QFile>

#include <ctime>

// A "key: N kB" line of a process's /proc status; -1 when it cannot be read.
inline long StatusKb(const QString& statusPath, const char* key)
{
    QFile status(statusPath);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Peak resident memory in kB since the last reset (VmHWM).
inline long PeakKb()
{
    return StatusKb(QStringLiteral("/proc/self/status"), "VmHWM");
}

// The same of another process, e.g. a server the benchmark started.
inline long PeakKbOf(qint64 pid)
{
    return StatusKb(QStringLiteral("/proc/%1/status").arg(pid), "VmHWM");
}

inline long CurrentKb()
{
    return StatusKb(QStringLiteral("/proc/self/status"), "VmRSS");
}

// Starts a new peak from the current memory (Linux: "5" to clear_refs).
inline void ResetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

// Processor time of this process, which other work on a shared machine does not inflate.
inline double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}
