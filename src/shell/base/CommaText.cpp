#include "shell/base/CommaText.h"

namespace {

bool IsBlank(QChar c)
{
    return c.unicode() <= ' ';
}

bool NeedsQuotes(const QString& item, bool quoteEmpty)
{
    if (item.isEmpty())
        return quoteEmpty;
    for (const QChar c : item)
        if (IsBlank(c) || c == QLatin1Char(',') || c == QLatin1Char('"'))
            return true;
    return false;
}

}  // namespace

QStringList SplitCommaText(const QString& text)
{
    QStringList items;
    const qsizetype n = text.size();
    qsizetype i = 0;
    const auto skipBlanks = [&] {
        while (i < n && IsBlank(text[i]))
            ++i;
    };
    skipBlanks();
    while (i < n) {
        QString item;
        if (text[i] == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (text[i] == QLatin1Char('"')) {
                    if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        } else {
            while (i < n && text[i] != QLatin1Char(',') && !IsBlank(text[i]))
                item += text[i++];
        }
        items.append(item);
        skipBlanks();
        if (i < n && text[i] == QLatin1Char(',')) {
            ++i;
            skipBlanks();
            // A trailing comma stands for one more, empty item.
            if (i == n)
                items.append(QString());
        }
    }
    return items;
}

QString JoinCommaText(const QStringList& items, bool quoteEmpty)
{
    QStringList parts;
    parts.reserve(items.size());
    for (const QString& item : items) {
        if (NeedsQuotes(item, quoteEmpty)) {
            QString quoted = item;
            quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
            parts.append(QLatin1Char('"') + quoted + QLatin1Char('"'));
        } else {
            parts.append(item);
        }
    }
    return parts.join(QLatin1Char(','));
}
