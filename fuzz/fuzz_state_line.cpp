// A page's state line or a condition value as a settings file or a saved report holds it:
// any text, read with any of the separators in use. Reading never fails: indexes stay in
// their range, reals are finite, and a line written again from its elements reads as the
// same elements.

#include "FuzzInput.h"

#include "reportconfig/StateLine.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QChar separators[] = {QLatin1Char('|'), QLatin1Char(','), QLatin1Char(';'), QLatin1Char(':')};
    TFuzzInput input(data, size);
    const QChar separator = separators[input.Byte() % 4];
    const int itemCount = input.Byte() % 8;
    const QString line = input.RestText();

    const TStateReader reader(separator, line);
    TStateWriter writer;
    for (int i = 0; i <= reader.Count(); ++i) {
        reader.Bool(i, false);
        reader.Integer(i, 0);
        const int index = reader.Index(i, itemCount, 0);
        FuzzCheck(itemCount == 0 ? index == -1 : index >= 0 && index < itemCount, "an index stays in its range");
        const double real = reader.Real(i, 0.5);
        FuzzCheck(std::isfinite(real), "a real is finite");
        const TStateReader sub = reader.Sub(i, separator == QLatin1Char(',') ? QLatin1Char(';') : QLatin1Char(','));
        sub.Real(0, 0);
        if (i < reader.Count())
            writer.AddText(reader.Text(i));
    }
    const TStateReader again(separator, writer.Join(separator));
    FuzzCheck(again.Items() == reader.Items() || (reader.Items() == QStringList{QString()} && again.Count() == 0),
              "a line written again reads as the same elements");
    return 0;
}
