#include "schema/CallStringElements.h"

#include "schema/CallStringText.h"

using namespace callstring;

namespace {

// "\?" is any one character, "\n", "\r" and "\t" their control characters, a backslash
// before anything else that character; a backslash at the very end is dropped.
QString ResolveEscapes(const QString& text)
{
    QString pattern;
    pattern.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        if (c == QLatin1Char('\\')) {
            if (++i == text.size())
                break;
            switch (text[i].unicode()) {
                case '?':
                    c = QChar(0);
                    break;
                case 'n':
                    c = QLatin1Char('\n');
                    break;
                case 'r':
                    c = QLatin1Char('\r');
                    break;
                case 't':
                    c = QLatin1Char('\t');
                    break;
                default:
                    c = text[i];
            }
        }
        pattern += c;
    }
    return pattern;
}

QString OpeningBracket(TCallStringAlignment alignment)
{
    const bool left = alignment == TCallStringAlignment::Left || alignment == TCallStringAlignment::Both;
    return left ? QStringLiteral("[") : QStringLiteral("(");
}

QString ClosingBracket(TCallStringAlignment alignment)
{
    const bool right = alignment == TCallStringAlignment::Right || alignment == TCallStringAlignment::Both;
    return right ? QStringLiteral("]") : QStringLiteral(")");
}

QStringView TrimByAlignment(QStringView text, TCallStringAlignment alignment)
{
    switch (alignment) {
        case TCallStringAlignment::None:
            return Trim(text);
        case TCallStringAlignment::Left:
            return TrimEnd(text);
        case TCallStringAlignment::Right:
            return TrimStart(text);
        case TCallStringAlignment::Both:
            break;
    }
    return text;
}

}  // namespace

bool TCallStringElement::Match(QStringView line, qsizetype& position, TCallRecord& record) const
{
    Q_UNUSED(record);
    return Fits(line, position);
}

std::unique_ptr<TCallStringLiteral> TCallStringLiteral::Create(const QString& text)
{
    const QString pattern = ResolveEscapes(text);
    if (pattern.size() > CallStringMaxLength)
        return nullptr;
    return std::unique_ptr<TCallStringLiteral>(new TCallStringLiteral(text, pattern));
}

TCallStringLiteral::TCallStringLiteral(const QString& text, const QString& pattern)
    : TCallStringElement(static_cast<quint16>(pattern.size())), Text(text), Pattern(pattern)
{
}

QString TCallStringLiteral::GetText() const
{
    return Text;
}

bool TCallStringLiteral::Match(QStringView line, qsizetype& position, TCallRecord& record) const
{
    if (!TCallStringElement::Match(line, position, record))
        return false;
    const QStringView part = line.mid(position - 1, Length);
    for (qsizetype i = 0; i < Length; ++i) {
        if (Pattern[i] != QChar(0) && Pattern[i] != part[i])
            return false;
    }
    position += Length;
    return true;
}

QString TCallStringLiteral::Generate(TCallRecord& record) const
{
    Q_UNUSED(record);
    QString text = Pattern;
    text.replace(QChar(0), QLatin1Char(' '));
    return text;
}

TCallStringData::TCallStringData(const QString& tagName, bool required, TCallStringAlignment alignment,
                                 quint16 width)
    : TCallStringElement(width), Required(required), TagName(tagName), Alignment(alignment)
{
}

QString TCallStringData::GetText() const
{
    return OpeningBracket(Alignment) + (Required ? TagName.toUpper() : TagName) + QLatin1Char(':') +
           QString::number(Length) + ClosingBracket(Alignment);
}

bool TCallStringData::Match(QStringView line, qsizetype& position, TCallRecord& record) const
{
    if (!TCallStringElement::Match(line, position, record))
        return false;
    const QStringView value = TrimByAlignment(line.mid(position - 1, Length), Alignment);
    if (!AcceptValue(value, record) && Required)
        return false;
    position += Length;
    return true;
}

QString TCallStringData::FillToLength(const QString& text) const
{
    const qsizetype missing = Length - text.size();
    if (missing <= 0)
        return text;
    qsizetype front = missing;
    qsizetype back = 0;
    if (Alignment == TCallStringAlignment::Left) {
        front = 0;
        back = missing;
    } else if (Alignment != TCallStringAlignment::Right) {
        // One blank on each side while two are missing; a last odd one goes in front.
        front = (missing + 1) / 2;
        back = missing / 2;
    }
    return QString(front, QLatin1Char(' ')) + text + QString(back, QLatin1Char(' '));
}

int TCallStringData::Number(QStringView value)
{
    return ReadInteger(value, -1);
}

TCallStringCommand::TCallStringCommand(const QString& commandName, const QStringList& arguments)
    : TCallStringElement(0), CommandName(commandName), Arguments(arguments)
{
}

QString TCallStringCommand::GetText() const
{
    QString text = QLatin1Char('{') + CommandName + QLatin1Char(':');
    if (Arguments.size() == 1 && Arguments.first().isEmpty()) {
        text += QLatin1String("\"\"");
    } else {
        for (qsizetype i = 0; i < Arguments.size(); ++i) {
            if (i > 0)
                text += QLatin1Char(',');
            text += QuoteArgument(Arguments[i]);
        }
    }
    return text + QLatin1Char('}');
}

bool TCallStringCommand::Match(QStringView line, qsizetype& position, TCallRecord& record) const
{
    return TCallStringElement::Match(line, position, record) && ApplyAfterMatch(record);
}

QString TCallStringCommand::Generate(TCallRecord& record) const
{
    ApplyBeforeGenerate(record);
    return QString();
}
