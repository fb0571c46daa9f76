#include "shell/base/ExecExtern.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QUrl>

#include <cerrno>

namespace {

[[noreturn]] void Fail(const QString& file, const QString& message)
{
    throw EOSError(QCoreApplication::translate("ExecExtern", "Cannot open \"%1\": %2")
                       .arg(QDir::toNativeSeparators(file), message));
}

void OpenWithDefaultHandler(const QString& file, const QUrl& url)
{
    if (qGuiApp == nullptr)
        Fail(file, QCoreApplication::translate("ExecExtern", "there is no desktop session to open it."));
    if (!QDesktopServices::openUrl(url))
        Fail(file, QCoreApplication::translate("ExecExtern", "no program is set up to open it."));
}

void StartDetached(const QFileInfo& program, const QString& parameters, const QString& directory)
{
    QProcess process;
    process.setProgram(program.absoluteFilePath());
    process.setArguments(QProcess::splitCommand(parameters));
    process.setWorkingDirectory(directory);
    if (!process.startDetached())
        Fail(program.filePath(), process.errorString());
}

// A web or mail address rather than a file; one-letter schemes are drive letters.
bool IsAddress(const QUrl& url)
{
    return url.isValid() && url.scheme().size() > 1 && !url.isLocalFile();
}

}  // namespace

QString EOSError::ClassName() const
{
    return QStringLiteral("EOSError");
}

void RunProgram(const QString& file, const QString& parameters, const QString& directory, int showMode)
{
    Q_UNUSED(showMode)
    const QFileInfo info(file);
    if (file.isEmpty() || !info.exists()) {
        const QUrl url(file, QUrl::StrictMode);
        if (!file.isEmpty() && IsAddress(url)) {
            OpenWithDefaultHandler(file, url);
            return;
        }
        Fail(file, qt_error_string(ENOENT));
    }
    if (info.isFile() && info.isExecutable())
        StartDetached(info, parameters, directory);
    else
        OpenWithDefaultHandler(file, QUrl::fromLocalFile(info.absoluteFilePath()));
}

void RunFile(const QString& file, const QString& parameters, int showMode)
{
    RunProgram(file, parameters, QString(), showMode);
}
