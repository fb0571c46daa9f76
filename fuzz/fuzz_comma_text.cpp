// Comma text from the settings file (the server history): any line splits into items, and
// the items joined again split into the same items.

#include "FuzzInput.h"

#include "shell/base/CommaText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList items = SplitCommaText(text);
    const QString joined = JoinCommaText(items);
    const QStringList again = SplitCommaText(joined);
    if (again != items) {
        std::fprintf(stderr, "%lld items, %lld after joining: %s\n", qlonglong(items.size()), qlonglong(again.size()),
                     qPrintable(joined));
        FuzzCheck(false, "joined items split into the same items");
    }
    FuzzCheck(JoinCommaText(again) == joined, "joining is a fixed point");
    return 0;
}
