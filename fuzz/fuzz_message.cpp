// A frame's payload as either side receives it: the server decodes what clients send and
// the client what the server sends, with the same decoder. Anything that decodes must
// encode to a payload that decodes again to the same encoding (nothing the decoder accepts
// is lost or invented on the way back out), and a refusal is always EProtocolError.

#include "FuzzInput.h"

#include "remote/Protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool registered = (RegisterProtocolTypes(), true);
    (void)registered;
    const QByteArray payload(reinterpret_cast<const char*>(data), qsizetype(size));
    TMessage message;
    try {
        message = DecodeMessage(payload);
    } catch (const EProtocolError&) {
        return 0;
    }
    const QByteArray encoded = EncodeMessage(message);
    TMessage again;
    try {
        again = DecodeMessage(encoded);
    } catch (const EProtocolError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.Message()));
        FuzzCheck(false, "an encoded message decodes");
    }
    FuzzCheck(again.Kind == message.Kind && again.Id == message.Id, "kind and number survive");
    FuzzCheck(EncodeMessage(again) == encoded, "encoding a decoded message is a fixed point");
    return 0;
}
