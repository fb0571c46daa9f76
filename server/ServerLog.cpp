#include "server/ServerLog.h"

#include "core/DateTime.h"
#include "core/Errors.h"

#include <QTextStream>

#include <cstdio>

TServerLog::TServerLog(const QString& path, bool toStdout) : path_(path), file_(path), toStdout_(toStdout)
{
    if (!path.isEmpty() && !file_.open(QIODevice::Append | QIODevice::Text))
        throw Exception(
            QStringLiteral("Cannot open the server log \"%1\": %2").arg(path, file_.errorString()));
}

QString SeverityName(TSeverity severity)
{
    switch (severity) {
        case TSeverity::Information:
            return QStringLiteral("info");
        case TSeverity::Warning:
            return QStringLiteral("warning");
        case TSeverity::Error:
            return QStringLiteral("error");
        case TSeverity::Bug:
            return QStringLiteral("bug");
    }
    return QStringLiteral("?");
}

void TServerLog::Write(TSeverity severity, const QString& text)
{
    const QString line = QStringLiteral("%1 [%2] %3\n")
                             .arg(FormatDateTime(QStringLiteral("yyyy-mm-dd hh:nn:ss.zzz"), Now()),
                                  SeverityName(severity), ShortQuote(text, MaxServerLogText));
    const QByteArray utf8 = line.toUtf8();
    QMutexLocker lock(&mutex_);
    if (file_.isOpen()) {
        file_.write(utf8);
        file_.flush();
    }
    if (toStdout_) {
        std::fwrite(utf8.constData(), 1, static_cast<size_t>(utf8.size()), stdout);
        std::fflush(stdout);
    }
}
