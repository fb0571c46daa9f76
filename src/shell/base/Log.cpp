#include "shell/base/Log.h"

#include "core/DateTime.h"
#include "core/Errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <utility>

const char* const TLog::LineEnd = "\r\n";

namespace {

// Unbuffered, so that every piece reaches the file before the next step.
void WritePiece(QFile& file, const QString& text)
{
    const QByteArray data = text.toUtf8();
    if (file.write(data) != data.size()) {
        throw EInOutError(QCoreApplication::translate("TLog", "Cannot write the log file %1: %2")
                              .arg(QDir::toNativeSeparators(file.fileName()), file.errorString()));
    }
}

// Closing reports failure through the error state only.
bool CloseFile(QFile& file)
{
    file.unsetError();
    file.close();
    return file.error() == QFileDevice::NoError;
}

}  // namespace

TLog::TLog(QString fileName, bool timeStamps)
    : fileName_(std::move(fileName)),
      timeStamps_(timeStamps),
      timeStampFormat_(QStringLiteral("yyyy-mm-dd hh:nn:ss"))
{
}

QString TLog::TimeStamp() const
{
    return FormatDateTime(timeStampFormat_, Now());
}

void TLog::Remember(const char* operation, const QString& message)
{
    pendingError_ = QLatin1String(operation) + QLatin1Char(' ') + fileName_ + QLatin1Char(' ') + message;
}

bool TLog::CreateFile()
{
    QDir().mkpath(QFileInfo(fileName_).absolutePath());
    QFile file(fileName_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        Remember("Error creating file", file.errorString());
        return false;
    }
    WritePiece(file, TimeStamp() + QStringLiteral(" Log created") + QLatin1String(LineEnd));
    if (!CloseFile(file)) {
        Remember("Error closing file", file.errorString());
        return false;
    }
    return true;
}

bool TLog::Write(const QString& text, bool lineEnd)
{
    if (!QFileInfo::exists(fileName_) && !CreateFile())
        return false;
    QFile file(fileName_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        Remember("Error opening file", file.errorString());
        return false;
    }
    if (!pendingError_.isEmpty()) {
        WritePiece(file, QStringLiteral("***") + pendingError_ + QStringLiteral("***"));
        pendingError_.clear();
    }
    QString entry;
    if (atLineStart_ && timeStamps_)
        entry = TimeStamp() + QLatin1Char(' ');
    entry += text;
    if (lineEnd)
        entry += QLatin1String(LineEnd);
    WritePiece(file, entry);
    atLineStart_ = lineEnd;
    if (!CloseFile(file)) {
        Remember("Error closing file", file.errorString());
        return false;
    }
    return true;
}
