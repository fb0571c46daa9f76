#pragma once
// One plain-text log file. Every write opens, appends to and closes the file, so that a
// crash loses nothing. Trouble creating, opening or closing the file never reaches the
// caller: it is remembered and written into the file before the next entry that succeeds.

#include <QString>

class TLog {
public:
    explicit TLog(QString fileName, bool timeStamps = false);

    const QString& FileName() const { return fileName_; }
    bool TimeStamps() const { return timeStamps_; }
    void SetTimeStamps(bool enabled) { timeStamps_ = enabled; }
    const QString& TimeStampFormat() const { return timeStampFormat_; }
    // The last failure not yet written to the file, or empty.
    const QString& PendingError() const { return pendingError_; }

    // Appends the text, optionally ending the line. Returns whether the file could be
    // closed again after writing; false also when the entry was lost. A failure while
    // writing the text itself (a full disk) raises EInOutError.
    bool Write(const QString& text, bool lineEnd);

    static const char* const LineEnd;

private:
    bool CreateFile();
    void Remember(const char* operation, const QString& message);
    QString TimeStamp() const;

    QString fileName_;
    bool timeStamps_;
    QString timeStampFormat_;
    bool atLineStart_ = true;
    QString pendingError_;
};
