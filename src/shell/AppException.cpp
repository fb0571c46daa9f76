#include "shell/AppException.h"

#include "shell/base/ClientLogs.h"
#include "core/Errors.h"
#include "remote/FatalErrors.h"
#include "widgets/MessageBoxes.h"
#include "shell/base/ProcessLife.h"

#include <QScopeGuard>

#include <cxxabi.h>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("HandleAppException", text);
}

QString ClassNameOf(const std::exception& error)
{
    if (const auto* e = dynamic_cast<const Exception*>(&error))
        return e->ClassName();
    int status = 0;
    const char* mangled = typeid(error).name();
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                     std::free);
    return QString::fromLatin1(status == 0 && demangled ? demangled.get() : mangled);
}

QString MessageOf(const std::exception& error)
{
    if (const auto* e = dynamic_cast<const Exception*>(&error))
        return e->Message();
    return QString::fromLocal8Bit(error.what());
}

}  // namespace

TTelvaneApplication::TTelvaneApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TTelvaneApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        HandleAppException(receiver, error);
    } catch (...) {
        HandleAppException(receiver, Exception(Tr("Unknown error.")));
    }
    return false;
}

QString ClosingNotice()
{
    return QCoreApplication::translate("TelvaneClient", "Telvane Client will now close.");
}

QString AppExceptionContext(QObject* sender, const std::exception& error)
{
    QStringList parts{ClassNameOf(error)};
    if (sender) {
        parts.append(QLatin1String(sender->metaObject()->className()));
        if (!sender->objectName().isEmpty())
            parts.append(sender->objectName());
    }
    // Eight hexadecimal digits: the low half of the address on a 64-bit system.
    const auto address = static_cast<quint32>(reinterpret_cast<quintptr>(&error));
    parts.append(QStringLiteral("%1").arg(address, 8, 16, QLatin1Char('0')).toUpper());
    return parts.join(QLatin1Char(' ')).trimmed();
}

TAppExceptionOutcome ReportAppException(QObject* sender, const std::exception& error)
{
    const QString known = ClassifyFatalError(error);
    QString message = MessageOf(error);
    try {
        TClientLog& log = ClientLogs().Application();
        if (known.isEmpty())
            log.Add(message, 4);
        else
            log.Add(message, 3, true);
        TLog& file = log.Log();
        file.SetTimeStamps(false);
        const auto restore = qScopeGuard([&file] { file.SetTimeStamps(true); });
        file.Write(AppExceptionContext(sender, error), true);
    } catch (...) {
        message +=
            QLatin1Char('\n') + QStringLiteral("(") + Tr("Failed logging this error.") + QStringLiteral(")");
    }

    if (!known.isEmpty()) {
        ShowError(known + QLatin1Char('\n') + ClosingNotice());
        return TAppExceptionOutcome::Fatal;
    }
    const QString text = message + QStringLiteral("\n\n") +
                         Tr("This may be a bug - please report exact steps to reproduce.") +
                         QStringLiteral("\n\n") + Tr("To close Telvane Client press Abort.");
    return AskAbortIgnore(text) == TMsgButton::Abort ? TAppExceptionOutcome::Abort
                                                     : TAppExceptionOutcome::Ignore;
}

void HandleAppException(QObject* sender, const std::exception& error)
{
    switch (ReportAppException(sender, error)) {
        case TAppExceptionOutcome::Fatal:
            EndClientProcess(1);
        case TAppExceptionOutcome::Abort:
            EndClientProcess(2);
        case TAppExceptionOutcome::Ignore:
            break;
    }
}

void EndClientProcess(int exitCode)
{
    EndProcessCore();
    std::fflush(nullptr);
    // The windows and the connection go with the process; running their destructors from
    // inside an event handler could fail in turn.
    std::_Exit(exitCode);
}
