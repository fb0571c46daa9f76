#pragma once
// The elements of a parsed data format: literals, tags and commands. Elements never
// change after they are created; matching and generating change only the call record,
// so one parsed format may be matched from several threads at once.

#include "schema/CallRecord.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>

enum class TCallStringAlignment : quint8 { None = 0, Left = 1, Right = 2, Both = 3 };

// Widths and literal lengths are 16-bit.
inline constexpr int CallStringMaxLength = 65535;

class TCallStringElement {
public:
    explicit TCallStringElement(quint16 length) : Length(length) {}
    virtual ~TCallStringElement() = default;
    TCallStringElement(const TCallStringElement&) = delete;
    TCallStringElement& operator=(const TCallStringElement&) = delete;

    // The characters of a line that the element covers (0 for commands).
    const quint16 Length;

    virtual QString GetText() const = 0;
    // On success the element has consumed Length characters from the 1-based position and
    // moved it on; on failure the position is unchanged. This base form is the fit test only.
    virtual bool Match(QStringView line, qsizetype& position, TCallRecord& record) const;
    virtual QString Generate(TCallRecord& record) const = 0;

protected:
    bool Fits(QStringView line, qsizetype position) const
    {
        return position >= 1 && position + Length - 1 <= line.size();
    }
};

// Fixed characters; "\?" in the text matches any one character.
class TCallStringLiteral : public TCallStringElement {
public:
    // The literal written as text; none when it resolves to more than CallStringMaxLength
    // characters.
    static std::unique_ptr<TCallStringLiteral> Create(const QString& text);

    // As written, escapes included.
    const QString Text;
    // Escapes resolved; a character 0 stands for any one character.
    const QString Pattern;

    QString GetText() const override;
    bool Match(QStringView line, qsizetype& position, TCallRecord& record) const override;
    QString Generate(TCallRecord& record) const override;

private:
    TCallStringLiteral(const QString& text, const QString& pattern);
};

// One data field of the call at a fixed width.
class TCallStringData : public TCallStringElement {
public:
    TCallStringData(const QString& tagName, bool required, TCallStringAlignment alignment, quint16 width);

    // Written with an upper-case first letter: a refused value fails the match.
    const bool Required;
    // Lower case, as in the tag table ("durhour").
    const QString TagName;
    const TCallStringAlignment Alignment;

    QString GetText() const override;
    bool Match(QStringView line, qsizetype& position, TCallRecord& record) const override;
    // Converts the trimmed field text and stores it in the record; false when the value
    // is not acceptable (the record is then unchanged).
    virtual bool AcceptValue(QStringView value, TCallRecord& record) const = 0;

    // Pads a generated value with blanks to the width as the alignment asks; a longer
    // value stays whole.
    QString FillToLength(const QString& text) const;

protected:
    // The trimmed field text as a number; -1 when it is not a valid integer.
    static int Number(QStringView value);
};

// A rule applied to the record after matching or before generating.
class TCallStringCommand : public TCallStringElement {
public:
    TCallStringCommand(const QString& commandName, const QStringList& arguments);

    const QString CommandName;
    const QStringList Arguments;

    QString GetText() const override;
    bool Match(QStringView line, qsizetype& position, TCallRecord& record) const override;
    QString Generate(TCallRecord& record) const override;
    virtual bool ApplyAfterMatch(TCallRecord& record) const = 0;
    virtual bool ApplyBeforeGenerate(TCallRecord& record) const = 0;
};
