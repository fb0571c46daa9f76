// The type library file the client loads at start (it may be damaged or from another
// build): any bytes either load or raise the library's EOleSysError, and a loaded library
// writes bytes that load as the same library.

#include "FuzzInput.h"

#include "core/Errors.h"
#include "remote/TypeLibrary.h"

namespace {

bool Same(const TTypeLibrary& a, const TTypeLibrary& b)
{
    if (a.Name != b.Name || a.Guid != b.Guid || a.MajorVersion != b.MajorVersion ||
        a.MinorVersion != b.MinorVersion || a.Interfaces.size() != b.Interfaces.size())
        return false;
    for (qsizetype i = 0; i < a.Interfaces.size(); ++i) {
        const TCallbackInterface& x = a.Interfaces[i];
        const TCallbackInterface& y = b.Interfaces[i];
        if (x.Name != y.Name || x.Iid != y.Iid || x.Methods.size() != y.Methods.size())
            return false;
        for (qsizetype m = 0; m < x.Methods.size(); ++m)
            if (x.Methods[m].Name != y.Methods[m].Name || x.Methods[m].DispId != y.Methods[m].DispId ||
                x.Methods[m].Args != y.Methods[m].Args)
                return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    TTypeLibrary library;
    try {
        library = TTypeLibrary::FromBytes(bytes, QStringLiteral("fuzz.tlb"));
    } catch (const EOleSysError&) {
        return 0;
    }
    const QByteArray written = library.ToBytes();
    TTypeLibrary again;
    try {
        again = TTypeLibrary::FromBytes(written, QStringLiteral("fuzz.tlb"));
    } catch (const EOleSysError&) {
        FuzzCheck(false, "a loaded library writes bytes that load");
    }
    FuzzCheck(Same(library, again), "the written library is the same library");
    FuzzCheck(again.ToBytes() == written, "writing is a fixed point");
    for (const TCallbackInterface& i : library.Interfaces)
        library.FindInterface(i.Iid);
    return 0;
}
