#pragma once
// Errors are exceptions. Every exception of the product derives from Exception, which
// carries a message and the class name that the client's error log records. Errors of
// the automation layer (server calls, callbacks, the type library file) are EOleSysError
// with an HRESULT-style code.

#include <QString>

#include <cstdint>
#include <exception>

using HRESULT = std::int32_t;

namespace hr {
inline constexpr HRESULT Code(std::uint32_t value)
{
    return static_cast<HRESULT>(value);
}
inline constexpr HRESULT S_OK_ = 0;
inline constexpr HRESULT E_FAIL_ = Code(0x80004005);
inline constexpr HRESULT E_ACCESSDENIED_ = Code(0x80070005);
inline constexpr HRESULT E_INVALIDARG_ = Code(0x80070057);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND_ = Code(0x80020003);
inline constexpr HRESULT DISP_E_TYPEMISMATCH_ = Code(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME_ = Code(0x80020006);
inline constexpr HRESULT DISP_E_EXCEPTION_ = Code(0x80020009);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT_ = Code(0x8002000E);
inline constexpr HRESULT RPC_E_DISCONNECTED_ = Code(0x80010108);
inline constexpr HRESULT TYPE_E_CANTLOADLIBRARY_ = Code(0x80029C4A);
inline constexpr HRESULT TYPE_E_INVDATAREAD_ = Code(0x80028018);
inline constexpr HRESULT TYPE_E_UNSUPFORMAT_ = Code(0x80028019);
inline constexpr HRESULT TYPE_E_ELEMENTNOTFOUND_ = Code(0x8002802B);
// Low 16 bits of the remote-call failures that mean the server cannot be reached.
inline constexpr int RPC_S_SERVER_UNAVAILABLE_ = 1722;
inline constexpr int RPC_S_CALL_FAILED_ = 1726;
inline constexpr int RPC_S_CALL_FAILED_DNE_ = 1727;
}  // namespace hr

class Exception : public std::exception {
public:
    explicit Exception(QString message);
    ~Exception() override;

    const QString& Message() const { return message_; }
    void SetMessage(QString message);
    virtual QString ClassName() const;
    const char* what() const noexcept override;

private:
    QString message_;
    QByteArray utf8_;
};

// A failure of the automation layer: a server call, a callback, the type library.
class EOleSysError : public Exception {
public:
    EOleSysError(QString message, HRESULT errorCode);
    HRESULT ErrorCode() const { return errorCode_; }
    QString ClassName() const override;

private:
    HRESULT errorCode_;
};

// The socket to the server could not be opened (name not found, refused, time-out).
class ESocketError : public Exception {
public:
    using Exception::Exception;
    QString ClassName() const override;
};

// A file could not be read or written.
class EInOutError : public Exception {
public:
    using Exception::Exception;
    QString ClassName() const override;
};

// A dataset operation failed; the code is the provider's (9729 is a key violation).
class EDatabaseError : public Exception {
public:
    explicit EDatabaseError(QString message, int errorCode = 0);
    int ErrorCode() const { return errorCode_; }
    QString ClassName() const override;

private:
    int errorCode_;
};

// The message of a HRESULT code formatted as the logs show it, for example "0x80010108".
QString HResultText(HRESULT code);

// Outside text (a peer's bytes, a received line) quoted in a message or a log entry: at
// most maxChars characters of it, and when it was longer, "…" and its full length, so
// that a huge text can never make a huge message.
QString ShortQuote(const QString& text, qsizetype maxChars = 64);
