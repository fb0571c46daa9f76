// A byte stream cut into frames as it arrives on a socket, in pieces of any size, under a
// frame limit the first bytes choose. Every frame taken has the length its prefix said,
// nothing is taken twice or lost: the frames' bytes plus what waits are what arrived. Too
// large or empty frames raise EProtocolError and end the stream, as the connection would.

#include "FuzzInput.h"

#include "remote/Protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TFuzzInput input(data, size);
    const quint32 limit = 1 + input.Uint32() % (1u << 20);
    const int piece = 1 + input.Byte();
    const QByteArray stream = input.Rest();

    TFrameReader reader(limit);
    qsizetype taken = 0;  // bytes of whole frames, prefixes included
    for (qsizetype at = 0; at < stream.size(); at += piece) {
        reader.Append(stream.mid(at, piece));
        QByteArray payload;
        try {
            while (reader.Next(payload)) {
                FuzzCheck(!payload.isEmpty(), "no empty frame is taken");
                FuzzCheck(quint32(payload.size()) <= limit, "no frame beyond the limit is taken");
                FuzzCheck(stream.mid(taken + 4, payload.size()) == payload, "a frame is the bytes after its prefix");
                taken += 4 + payload.size();
            }
        } catch (const EProtocolError&) {
            return 0;
        }
        const qsizetype arrived = qMin(stream.size(), at + piece);
        FuzzCheck(taken + reader.Buffered() == arrived, "what arrived is taken or waits");
        const qint64 pending = reader.PendingFrameLength();
        FuzzCheck(pending == -1 || (reader.Buffered() >= 4 && pending > 0 && pending <= limit),
                  "a pending frame has a length within the limit");
    }
    return 0;
}
