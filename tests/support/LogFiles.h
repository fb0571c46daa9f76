#pragma once
// The client's log files as tests read them: one entry a line, without its time stamp
// ("Log created", "1: Starting...", "4: TReportDM: Null equality field."). Lines written
// without a time stamp (the context line after a logged error) stay as they are.

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

// The entries of a log file; none when it cannot be read.
inline QStringList LogFileEntries(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d "));
    QStringList entries;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        entries.append(line.trimmed().remove(stamp));
    return entries;
}
