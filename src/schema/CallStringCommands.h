#pragma once
// The commands of the data format language: rules applied to the call record after a line
// was matched and before a line is generated. They read what the tags before them stored.

#include "schema/CallStringElements.h"

// Exchanges the extension and the phone number when the call type is one of the
// arguments (an exchange that reports incoming calls the other way round).
class TCallStringSwapExtAndPhone : public TCallStringCommand {
public:
    explicit TCallStringSwapExtAndPhone(const QStringList& arguments);
    bool ApplyAfterMatch(TCallRecord& record) const override;
    bool ApplyBeforeGenerate(TCallRecord& record) const override;
};

// Exchanges the extension and the phone number when the extension is longer than
// MaxLength and longer than the phone number.
class TCallStringMaxExtensionLength : public TCallStringCommand {
public:
    explicit TCallStringMaxExtensionLength(const QStringList& arguments);
    bool ApplyAfterMatch(TCallRecord& record) const override;
    bool ApplyBeforeGenerate(TCallRecord& record) const override;

    // The first argument as a decimal integer; 0 when missing or not a number.
    const int MaxLength;
};

// Whether the line carries the time of call initiation ("start") or of completion ("end",
// the default); the record always keeps the completion time.
class TCallStringDateTime : public TCallStringCommand {
public:
    explicit TCallStringDateTime(const QStringList& arguments);
    bool ApplyAfterMatch(TCallRecord& record) const override;
    bool ApplyBeforeGenerate(TCallRecord& record) const override;

    const bool SentAtStart;
};
