#include "schema/CallStringCommands.h"

#include "schema/CallStringText.h"
#include "core/Variants.h"

namespace {

int FirstArgumentAsNumber(const QStringList& arguments)
{
    return arguments.isEmpty() ? 0 : callstring::ReadInteger(arguments.first(), 0);
}

// The last of the words "start" and "end" wins; other words mean nothing.
bool StartIsSent(const QStringList& arguments)
{
    bool start = false;
    for (const QString& word : arguments) {
        if (word == QLatin1String("start"))
            start = true;
        else if (word == QLatin1String("end"))
            start = false;
    }
    return start;
}

void ShiftByDuration(TCallRecord& record, int sign)
{
    if (!VarIsNull(record.Duration))
        record.DateTime = IncSeconds(record.DateTime, sign * record.Duration.toDouble());
}

}  // namespace

TCallStringSwapExtAndPhone::TCallStringSwapExtAndPhone(const QStringList& arguments)
    : TCallStringCommand(QStringLiteral("swap_extension_and_phone"), arguments)
{
}

bool TCallStringSwapExtAndPhone::ApplyAfterMatch(TCallRecord& record) const
{
    if (VarIsNull(record.CallType))
        return true;
    const QString callType = VarToStr(record.CallType);
    if (Arguments.contains(callType))
        record.SwapExtensionAndPhone();
    return true;
}

bool TCallStringSwapExtAndPhone::ApplyBeforeGenerate(TCallRecord& record) const
{
    // Swapping is its own inverse, so the generated line swaps back when it is read.
    return ApplyAfterMatch(record);
}

TCallStringMaxExtensionLength::TCallStringMaxExtensionLength(const QStringList& arguments)
    : TCallStringCommand(QStringLiteral("max_extension_length"), arguments),
      MaxLength(FirstArgumentAsNumber(arguments))
{
}

bool TCallStringMaxExtensionLength::ApplyAfterMatch(TCallRecord& record) const
{
    const qsizetype extension = VarToStr(record.Extension).size();
    if (extension > MaxLength && VarToStr(record.Phone).size() < extension)
        record.SwapExtensionAndPhone();
    return true;
}

bool TCallStringMaxExtensionLength::ApplyBeforeGenerate(TCallRecord& record) const
{
    Q_UNUSED(record);
    return true;
}

TCallStringDateTime::TCallStringDateTime(const QStringList& arguments)
    : TCallStringCommand(QStringLiteral("date_time"), arguments), SentAtStart(StartIsSent(arguments))
{
}

bool TCallStringDateTime::ApplyAfterMatch(TCallRecord& record) const
{
    if (SentAtStart)
        ShiftByDuration(record, +1);
    return true;
}

bool TCallStringDateTime::ApplyBeforeGenerate(TCallRecord& record) const
{
    if (SentAtStart)
        ShiftByDuration(record, -1);
    return true;
}
