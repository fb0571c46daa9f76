#include "remote/FatalErrors.h"

#include "core/Errors.h"

#include <QCoreApplication>

#include <algorithm>
#include <initializer_list>

namespace {

struct TFatalRule {
    bool (*Matches)(HRESULT code);
    const char* Text;
};

bool IsOneOf(HRESULT code, std::initializer_list<HRESULT> codes)
{
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// In table order; a later match overrides an earlier one.
const TFatalRule kRules[] = {
    {[](HRESULT c) {
         return IsOneOf(c, {hr::TYPE_E_CANTLOADLIBRARY_, hr::TYPE_E_INVDATAREAD_, hr::TYPE_E_UNSUPFORMAT_});
     },
     QT_TRANSLATE_NOOP("FatalErrors", "The file \"TelvaneServer.tlb\" is missing or corrupt.")},
    {[](HRESULT c) {
         return IsOneOf(c, {hr::TYPE_E_ELEMENTNOTFOUND_, hr::DISP_E_UNKNOWNNAME_});
     },
     QT_TRANSLATE_NOOP("FatalErrors", "The file \"TelvaneServer.tlb\" may be out of date.")},
    {[](HRESULT c) {
         const int low = static_cast<int>(static_cast<quint32>(c) & 0xFFFFu);
         return c == hr::RPC_E_DISCONNECTED_ || low == hr::RPC_S_SERVER_UNAVAILABLE_ ||
                low == hr::RPC_S_CALL_FAILED_ || low == hr::RPC_S_CALL_FAILED_DNE_;
     },
     QT_TRANSLATE_NOOP("FatalErrors", "Connection to Telvane Server was lost.")},
};

}  // namespace

QString ClassifyFatalError(const std::exception& error)
{
    const auto* ole = dynamic_cast<const EOleSysError*>(&error);
    if (!ole)
        return QString();
    const char* text = nullptr;
    for (const TFatalRule& rule : kRules)
        if (rule.Matches(ole->ErrorCode()))
            text = rule.Text;
    return text ? QCoreApplication::translate("FatalErrors", text) : QString();
}
