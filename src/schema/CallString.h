#pragma once
// A parsed data format: the layout of the call lines of one exchange model, written in
// the data format language (literals, tags such as "(PHONE:10]" and commands such as
// "{date_time:start}"). The client validates and canonicalises formats with it; the server
// reads every received line with it (MatchLine) and the simulator writes lines with it.

#include "schema/CallRecord.h"
#include "schema/CallStringCommands.h"
#include "schema/CallStringElements.h"
#include "schema/CallStringTags.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class TCallString {
public:
    using TElements = std::vector<std::unique_ptr<TCallStringElement>>;

    TCallString() = default;  // an empty format
    TCallString(TCallString&&) = default;
    TCallString& operator=(TCallString&&) = default;

    // Replaces the elements by those of text; false (and the format unchanged) when the
    // text is not a valid format. Never raises for bad text.
    bool Parse(const QString& text);
    // The canonical text, which parses again into the same elements.
    QString GetText() const;
    // One line from the record, the elements written from the last to the first so that
    // the commands and "ampm" prepare the record for the elements before them. The
    // caller's record is left as it was.
    QString Generate(const TCallRecord& record) const;

    const TElements& Elements() const { return FElements; }

    // The parser's steps, 1-based positions moved past what they read.
    // A tag from its name (first letter upper case: required), alignment and written
    // length (0 when none was written); none when the name or length is not accepted.
    static std::unique_ptr<TCallStringData> CreateTag(const QString& name, TCallStringAlignment alignment,
                                                      int length);
    // A command from its name; none when the name is not a command.
    static std::unique_ptr<TCallStringCommand> CreateCommand(const QString& name,
                                                             const QStringList& arguments);
    // Decimal digits; 0 when there are none. Large values stop growing past any width.
    static int ReadNumber(const QString& text, qsizetype& position);
    // The comma-separated arguments up to the next bracket character or the end.
    static void ReadArguments(const QString& text, qsizetype& position, QStringList& arguments);

private:
    // The element that starts after an opening bracket; none when it is not valid.
    static std::unique_ptr<TCallStringElement> ParseElement(const QString& text, qsizetype& position,
                                                            QChar opening);

    TElements FElements;
};
