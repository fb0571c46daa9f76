#include "schema/CallString.h"

#include "schema/CallStringText.h"

#include <algorithm>

using namespace callstring;

namespace {

// Lengths larger than any width stop growing here, so that long digit runs cannot overflow.
constexpr int kNumberCap = CallStringMaxLength + 1;

// Widths accepted for a written length (0 when none was written); -1 when not accepted.
int WidthTwo(int length)
{
    return length == 0 || length == 2 ? 2 : -1;
}

int WidthYear(int length)
{
    return length == 4 ? 4 : WidthTwo(length);
}

int WidthAmPm(int length)
{
    return length == 0 || length == 1 ? 1 : length == 2 ? 2 : -1;
}

int WidthSec(int length)
{
    return length == 1 ? 1 : WidthTwo(length);
}

int WidthAsWritten(int length)
{
    return length >= 1 && length <= CallStringMaxLength ? length : -1;
}

template <class T>
std::unique_ptr<TCallStringData> MakeTag(bool required, TCallStringAlignment alignment, quint16 width)
{
    return std::make_unique<T>(required, alignment, width);
}

struct TTagRow {
    const char16_t* Name;
    int (*Width)(int length);
    std::unique_ptr<TCallStringData> (*Make)(bool required, TCallStringAlignment alignment, quint16 width);
};

const TTagRow kTags[] = {
    {u"year", WidthYear, MakeTag<TCallStringYear>},
    {u"month", WidthTwo, MakeTag<TCallStringMonth>},
    {u"day", WidthTwo, MakeTag<TCallStringDay>},
    {u"hour", WidthTwo, MakeTag<TCallStringHour>},
    {u"ampm", WidthAmPm, MakeTag<TCallStringAmPm>},
    {u"min", WidthTwo, MakeTag<TCallStringMin>},
    {u"sec", WidthSec, MakeTag<TCallStringSec>},
    {u"durhour", WidthAsWritten, MakeTag<TCallStringDurHour>},
    {u"durmin", WidthTwo, MakeTag<TCallStringDurMin>},
    {u"dursec", WidthAsWritten, MakeTag<TCallStringDurSec>},
    {u"phone", WidthAsWritten, MakeTag<TCallStringPhone>},
    {u"extension", WidthAsWritten, MakeTag<TCallStringExtension>},
    {u"pincode", WidthAsWritten, MakeTag<TCallStringPinCode>},
    {u"extra", WidthAsWritten, MakeTag<TCallStringExtraCode>},
    {u"circuit", WidthAsWritten, MakeTag<TCallStringCircuit>},
    {u"trunk", WidthAsWritten, MakeTag<TCallStringTrunk>},
    {u"pulses", WidthAsWritten, MakeTag<TCallStringPulses>},
    {u"type", WidthAsWritten, MakeTag<TCallStringCallType>},
};

// Items are separated by commas; outside double quotes blanks and control characters end
// an item too and are dropped around items; a quoted item holds anything, "" standing for
// one double quote; a comma at the very end adds an empty item.
void SplitArguments(QStringView text, QStringList& items)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < n && IsBlankOrControl(text[i]))
            ++i;
    };
    skipBlanks();
    while (i < n) {
        QString item;
        if (text[i] == QLatin1Char('"')) {
            for (++i; i < n; ++i) {
                if (text[i] == QLatin1Char('"')) {
                    if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i];
            }
        } else {
            const qsizetype start = i;
            while (i < n && !IsBlankOrControl(text[i]) && text[i] != QLatin1Char(','))
                ++i;
            item = text.mid(start, i - start).toString();
        }
        items.append(item);
        skipBlanks();
        if (i < n && text[i] == QLatin1Char(',')) {
            if (i + 1 == n)
                items.append(QString());
            ++i;
            skipBlanks();
        }
    }
}

}  // namespace

bool TCallString::Parse(const QString& text)
{
    TElements elements;
    const qsizetype n = text.size();
    qsizetype position = 1;
    while (position <= n) {
        const qsizetype start = position;
        while (position <= n && !IsBracket(text[position - 1]))
            ++position;
        if (position > start) {
            std::unique_ptr<TCallStringLiteral> literal =
                TCallStringLiteral::Create(text.mid(start - 1, position - start));
            if (!literal)
                return false;
            elements.push_back(std::move(literal));
        }
        if (position > n)
            break;
        const QChar opening = text[position - 1];
        if (opening == QLatin1Char(')') || opening == QLatin1Char(']') || opening == QLatin1Char('}'))
            return false;
        ++position;
        std::unique_ptr<TCallStringElement> element = ParseElement(text, position, opening);
        if (!element)
            return false;
        elements.push_back(std::move(element));
        ++position;  // the closing bracket
    }
    FElements = std::move(elements);
    return true;
}

std::unique_ptr<TCallStringElement> TCallString::ParseElement(const QString& text, qsizetype& position,
                                                              QChar opening)
{
    const qsizetype n = text.size();
    const qsizetype start = position;
    while (position <= n && !IsBracket(text[position - 1]) && text[position - 1] != QLatin1Char(':'))
        ++position;
    if (position > n)
        return nullptr;
    const QString name = Trim(QStringView(text).mid(start - 1, position - start)).toString();
    if (name.isEmpty())
        return nullptr;
    if (text[position - 1] == QLatin1Char(':'))
        ++position;

    if (opening == QLatin1Char('{')) {
        QStringList arguments;
        ReadArguments(text, position, arguments);
        if (position > n || text[position - 1] != QLatin1Char('}'))
            return nullptr;
        return CreateCommand(name, arguments);
    }

    const int length = ReadNumber(text, position);
    if (position > n)
        return nullptr;
    const QChar closing = text[position - 1];
    if (closing != QLatin1Char(')') && closing != QLatin1Char(']'))
        return nullptr;
    TCallStringAlignment alignment =
        opening == QLatin1Char('[') ? TCallStringAlignment::Left : TCallStringAlignment::None;
    if (closing == QLatin1Char(']'))
        alignment = alignment == TCallStringAlignment::Left ? TCallStringAlignment::Both
                                                            : TCallStringAlignment::Right;
    return CreateTag(name, alignment, length);
}

std::unique_ptr<TCallStringData> TCallString::CreateTag(const QString& name, TCallStringAlignment alignment,
                                                        int length)
{
    if (name.isEmpty())
        return nullptr;
    const bool required = name[0] == name[0].toUpper();
    const QString lower = name.toLower();
    for (const TTagRow& row : kTags) {
        if (lower != QStringView(row.Name))
            continue;
        const int width = row.Width(length);
        if (width >= 0)
            return row.Make(required, alignment, static_cast<quint16>(width));
    }
    return nullptr;
}

std::unique_ptr<TCallStringCommand> TCallString::CreateCommand(const QString& name,
                                                               const QStringList& arguments)
{
    const QString lower = name.toLower();
    if (lower == QLatin1String("swap_extension_and_phone") ||
        lower == QLatin1String("swap_extension_and_number"))
        return std::make_unique<TCallStringSwapExtAndPhone>(arguments);
    if (lower == QLatin1String("max_extension_length"))
        return std::make_unique<TCallStringMaxExtensionLength>(arguments);
    if (lower == QLatin1String("date_time"))
        return std::make_unique<TCallStringDateTime>(arguments);
    return nullptr;
}

int TCallString::ReadNumber(const QString& text, qsizetype& position)
{
    int value = 0;
    while (position >= 1 && position <= text.size()) {
        const char16_t c = text[position - 1].unicode();
        if (c < '0' || c > '9')
            break;
        value = std::min(value * 10 + (c - '0'), kNumberCap);
        ++position;
    }
    return value;
}

void TCallString::ReadArguments(const QString& text, qsizetype& position, QStringList& arguments)
{
    arguments.clear();
    if (position < 1)
        return;  // like ReadNumber: nothing to read before the text
    const qsizetype start = position;
    while (position <= text.size() && !IsBracket(text[position - 1]))
        ++position;
    SplitArguments(QStringView(text).mid(start - 1, position - start), arguments);
}

QString TCallString::GetText() const
{
    QString text;
    for (const std::unique_ptr<TCallStringElement>& element : FElements)
        text += element->GetText();
    return text;
}

QString TCallString::Generate(const TCallRecord& record) const
{
    TCallRecord work = record;
    std::vector<QString> parts(FElements.size());
    for (std::size_t i = FElements.size(); i-- > 0;)
        parts[i] = FElements[i]->Generate(work);
    QString line;
    for (const QString& part : parts)
        line += part;
    return line;
}
