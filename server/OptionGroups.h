#pragma once
// The option groups of the options dialog, each fetched with one "get" call (every value by
// reference) and sent back with one "set" call: which SETTINGS name holds each value, its
// kind on the wire, its default and its range. One table serves the calls, so a group's
// get and set cannot disagree.
//
//   GetOptionGroup(db, optiongroup::Receiver(), c.Args);
//   SetOptionGroup(db, optiongroup::Receiver(), c.Args);  // raises Exception, stores nothing

#include <QList>
#include <QVariant>

class TDatabase;

enum class TOptionKind {
    Bool,          // 16-bit boolean on the wire, 0 or 1 stored
    Int,           // 32-bit integer within [Min, Max]
    Int16,         // 16-bit integer within [Min, Max]
    String,        // any text
    PortSettings,  // a TSerialPortSettings text that names a port and a valid baud rate
    Days,          // a span in days, sent as a date-time value
    Moment,        // a date and time
    VatTenths,     // VAT in tenths of a percent on the wire, stored in percent
    List,          // an array whose elements are strings (S) or 32-bit integers (I)
};

struct TOptionValue {
    const char* Setting;
    TOptionKind Kind;
    QVariant Default;
    int Min = 0;
    int Max = 0;
    const char* Elements = "";  // List: one letter per element, S or I
};

using TOptionGroup = QList<TOptionValue>;

namespace optiongroup {
const TOptionGroup& Receiver();  // ReceiverRDM 302/303
const TOptionGroup& Archiving();  // ArchivesRDM 305/306
const TOptionGroup& Limits();    // CommandsRDM 307/308
const TOptionGroup& Definity();  // CommandsRDM 303/304
const TOptionGroup& HiPath();    // CommandsRDM 305/306
const TOptionGroup& Modem();     // CommandsRDM 301/302
const TOptionGroup& Direct();    // CommandsRDM 315/316
}  // namespace optiongroup

// Sets args[i] to the stored value i of the group (its default when none is stored).
// Never raises for a value stored in another form: that gives the default.
void GetOptionGroup(TDatabase& db, const TOptionGroup& group, QVariantList& args);
// Checks every value first; stores them all in one transaction only when all are right.
// Raises Exception naming the first wrong value.
void SetOptionGroup(TDatabase& db, const TOptionGroup& group, const QVariantList& args);

// A stored list setting (JSON array) as its elements; the default's when it does not read.
QVariantList OptionList(TDatabase& db, const TOptionGroup& group, const char* setting);
