#include "shell/base/IniFiles32.h"

#include "core/Errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <utility>

namespace {

// Blanks here are every character up to the space, as in the file's single-byte origins.
QString TrimBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) <= QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) <= QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

// Splits on CR LF, CR or LF; a final line break does not start another line.
QStringList SplitLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

bool IsSingleByte(const QString& line)
{
    return std::all_of(line.cbegin(), line.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
}

bool IsHeaderLine(const QString& line)
{
    const QString trimmed = TrimBlanks(line);
    return trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'));
}

// Whether the line is a key line of that key. A line without "=" has no key and never
// matches, not even an empty key; " = v" is a line of the empty key.
bool HasKey(const QString& line, const QString& key)
{
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    return equals >= 0 && TrimBlanks(line.left(equals)) == key;
}

QString ValueOf(const QString& line)
{
    return TrimBlanks(line.mid(line.indexOf(QLatin1Char('=')) + 1));
}

int DigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

bool ParseDigits(const QString& digits, int base, quint64 limit, quint64& value)
{
    if (digits.isEmpty())
        return false;
    value = 0;
    for (const QChar c : digits) {
        const int digit = DigitValue(c);
        if (digit < 0 || digit >= base)
            return false;
        value = value * base + digit;
        if (value > limit)
            return false;
    }
    return true;
}

// Hexadecimal texts are 32-bit patterns (so "$FFFFFFFF" is -1); decimal texts must fit.
bool ParseInteger(const QString& text, int& result)
{
    quint64 value = 0;
    if (text.size() >= 3 && (text.startsWith(QLatin1String("0x")) || text.startsWith(QLatin1String("0X")))) {
        if (!ParseDigits(text.mid(2), 16, 0xFFFFFFFFu, value))
            return false;
        result = static_cast<int>(static_cast<quint32>(value));
        return true;
    }
    const bool negative = text.startsWith(QLatin1Char('-'));
    const QString unsignedText = negative || text.startsWith(QLatin1Char('+')) ? text.mid(1) : text;
    if (unsignedText.startsWith(QLatin1Char('$'))) {
        if (!ParseDigits(unsignedText.mid(1), 16, 0xFFFFFFFFu, value))
            return false;
        const auto pattern = static_cast<quint32>(value);
        result = static_cast<int>(negative ? 0u - pattern : pattern);
        return true;
    }
    if (!ParseDigits(unsignedText, 10, negative ? 2147483648u : 2147483647u, value))
        return false;
    result = static_cast<int>(negative ? -static_cast<qint64>(value) : static_cast<qint64>(value));
    return true;
}

std::unique_ptr<TIniFile32>& Installed()
{
    static std::unique_ptr<TIniFile32> settings;
    return settings;
}

}  // namespace

TIniFile32::TIniFile32(QString fileName) : fileName_(std::move(fileName))
{
    QFile file(fileName_);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError()) {
        singleByte_ = true;
        text = QString::fromLatin1(bytes);
    } else if (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);
    }
    lines_ = SplitLines(text);
}

qsizetype TIniFile32::FindSection(const QString& section) const
{
    const QString header = QLatin1Char('[') + section + QLatin1Char(']');
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        if (lines_.at(i).compare(header, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

qsizetype TIniFile32::SectionEnd(qsizetype header) const
{
    qsizetype i = header + 1;
    while (i < lines_.size() && !IsHeaderLine(lines_.at(i)))
        ++i;
    return i;
}

qsizetype TIniFile32::FindKey(qsizetype header, const QString& key) const
{
    const qsizetype end = SectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (HasKey(lines_.at(i), key))
            return i;
    }
    return -1;
}

QString TIniFile32::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const qsizetype header = FindSection(section);
    if (header < 0)
        return defaultValue;
    const qsizetype line = FindKey(header, key);
    if (line < 0)
        return defaultValue;
    const QString value = ValueOf(lines_.at(line));
    return value.isEmpty() ? defaultValue : value;
}

int TIniFile32::ReadInteger(const QString& section, const QString& key, int defaultValue) const
{
    int value = 0;
    return ParseInteger(ReadString(section, key, QString()), value) ? value : defaultValue;
}

void TIniFile32::WriteString(const QString& section, const QString& key, const QString& value)
{
    const QString keyLine = key + QLatin1Char('=') + value;
    const qsizetype header = FindSection(section);
    if (header < 0) {
        lines_.append(QString());
        lines_.append(QLatin1Char('[') + section + QLatin1Char(']'));
        if (!key.isEmpty())
            lines_.append(keyLine);
    } else if (!key.isEmpty()) {
        const qsizetype line = FindKey(header, key);
        if (line >= 0)
            lines_[line] = keyLine;
        else
            lines_.insert(SectionEnd(header), keyLine);
    }
    Save();
}

void TIniFile32::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

void TIniFile32::WriteBool(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

// Written through a temporary file that replaces the old one, so that a failure never
// leaves a half-written settings file behind.
void TIniFile32::Save()
{
    const bool singleByte = singleByte_ && std::all_of(lines_.cbegin(), lines_.cend(), IsSingleByte);
    QByteArray data;
    for (const QString& line : lines_) {
        data += singleByte ? line.toLatin1() : line.toUtf8();
        data += "\r\n";
    }
    QSaveFile file(fileName_);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        throw EInOutError(QCoreApplication::translate("TIniFile32", "Cannot write the settings file %1: %2")
                              .arg(QDir::toNativeSeparators(fileName_), file.errorString()));
    }
    singleByte_ = singleByte;
}

void InstallSettingsFile(std::unique_ptr<TIniFile32> settings)
{
    Installed() = std::move(settings);
}

void ReleaseSettingsFile()
{
    Installed().reset();
}

bool HasSettingsFile()
{
    return Installed() != nullptr;
}

TIniFile32& SettingsFile()
{
    if (!Installed())
        throw Exception(QStringLiteral("TIniFile32: The settings file is not open."));
    return *Installed();
}
