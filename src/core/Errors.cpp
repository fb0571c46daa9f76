#include "core/Errors.h"

#include <utility>

Exception::Exception(QString message) : message_(std::move(message)), utf8_(message_.toUtf8()) {}

Exception::~Exception() = default;

void Exception::SetMessage(QString message)
{
    message_ = std::move(message);
    utf8_ = message_.toUtf8();
}

QString Exception::ClassName() const
{
    return QStringLiteral("Exception");
}

const char* Exception::what() const noexcept
{
    return utf8_.constData();
}

EOleSysError::EOleSysError(QString message, HRESULT errorCode)
    : Exception(std::move(message)), errorCode_(errorCode)
{
}

QString EOleSysError::ClassName() const
{
    return QStringLiteral("EOleSysError");
}

QString ESocketError::ClassName() const
{
    return QStringLiteral("ESocketError");
}

QString EInOutError::ClassName() const
{
    return QStringLiteral("EInOutError");
}

EDatabaseError::EDatabaseError(QString message, int errorCode)
    : Exception(std::move(message)), errorCode_(errorCode)
{
}

QString EDatabaseError::ClassName() const
{
    return QStringLiteral("EDatabaseError");
}

QString HResultText(HRESULT code)
{
    return QStringLiteral("0x") +
           QStringLiteral("%1").arg(static_cast<std::uint32_t>(code), 8, 16, QLatin1Char('0')).toUpper();
}

QString ShortQuote(const QString& text, qsizetype maxChars)
{
    if (text.size() <= maxChars)
        return text;
    // Never cut a surrogate pair in two.
    qsizetype cut = maxChars;
    if (cut > 0 && text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut) + QStringLiteral("… (%1 characters)").arg(text.size());
}
