// An exchange's bytes through the receiver's input buffer as TExchangeLink drives it:
// pieces of any size offered up to the room left, lines taken as they complete, the whole
// buffer taken as one line when it is full without a line break, the rest taken when the
// input ends. Every byte comes out exactly once and in order; a taken line holds one line
// break, at its end; HasLine promises only what TakeLine gives.

#include "FuzzInput.h"

#include "server/LineBuffer.h"

namespace {

void CheckLine(const QByteArray& line)
{
    FuzzCheck(!line.isEmpty(), "a taken line is not empty");
    qsizetype end = line.size();
    if (line.endsWith("\r\n"))
        end -= 2;
    else if (line.endsWith('\n') || line.endsWith('\r'))
        end -= 1;
    else
        FuzzCheck(false, "a taken line ends with its line break");
    FuzzCheck(!line.first(end).contains('\n') && !line.first(end).contains('\r'), "one line break per line");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TFuzzInput input(data, size);
    TLineBuffer buffer(1 + input.Byte());
    const int piece = 1 + input.Byte() % 64;
    const QByteArray stream = input.Rest();

    QByteArray out;
    QByteArray line;
    qsizetype at = 0;
    while (at < stream.size()) {
        at += buffer.Append(QByteArrayView(stream).sliced(at, qMin<qsizetype>(piece, stream.size() - at)));
        FuzzCheck(buffer.Level() <= buffer.Capacity(), "the buffer holds no more than its capacity");
        for (;;) {
            const bool promised = buffer.HasLine();
            if (!buffer.TakeLine(line)) {
                FuzzCheck(!promised, "HasLine promises a line");
                break;
            }
            CheckLine(line);
            out += line;
        }
        if (buffer.IsFull())
            out += buffer.TakeRest();
    }
    while (buffer.TakeLine(line, true)) {
        CheckLine(line);
        out += line;
    }
    out += buffer.TakeRest();
    FuzzCheck(buffer.IsEmpty(), "nothing waits after the rest is taken");
    FuzzCheck(out == stream, "every byte comes out once and in order");
    return 0;
}
