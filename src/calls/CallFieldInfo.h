#pragma once
// The call fields every report, filter, total and printout speaks of: their identifiers,
// sets of them, the joins their expressions need and one shared read-only descriptor per
// field. A descriptor turns a filter page's condition value into SQL and a summary line,
// and a result value into its display text.

#include "calls/EnumSet.h"

#include <QString>
#include <QVariant>

#include <functional>

// The numbers are stored in report configurations and settings lines: never change them.
enum TCallFieldId : quint8 {
    cfNone = 0,
    cfCallId = 1,
    cfArchiveId = 2,
    cfRecTime = 3,
    cfEndTime = 4,
    cfStartTime = 5,
    cfDuration = 6,
    cfPbxId = 7,
    cfExtCode = 8,
    cfPinCode = 9,
    cfExtraCode = 10,
    cfPhone = 11,
    cfCircuit = 12,
    cfTrunk = 13,
    cfCallType = 14,
    cfRawCharge = 15,
    cfVat = 16,
    cfCharge = 17,
    cfPulses = 18,
    cfText = 19,
    cfArchiveName = 20,
    cfPbxName = 21,
    cfExtName = 22,
    cfPinName = 23,
    cfExtGroupId = 24,
    cfPinGroupId = 25,
    cfExtGroupName = 26,
    cfPinGroupName = 27,
    cfExtLimitId = 28,
    cfPinLimitId = 29,
    cfExtLimitName = 30,
    cfPinLimitName = 31,
    cfTotalCount = 32,
    cfTotalDuration = 33,
    cfTotalRawCharge = 34,
    cfTotalVat = 35,
    cfTotalCharge = 36,
    cfTotalPulses = 37,
};
inline constexpr int CallFieldCount = 38;

using TCallFieldSet = TEnumSet<TCallFieldId, CallFieldCount>;

// Aggregates over the calls of a group; selecting one makes a report grouped.
inline constexpr TCallFieldSet TotalFields{cfTotalCount, cfTotalDuration, cfTotalRawCharge,
                                           cfTotalVat,   cfTotalCharge,   cfTotalPulses};

// A stored field number read back; false (and id untouched) outside 0..37.
bool TryCallFieldId(int number, TCallFieldId& id);

// The joins of the call queries, in the order the query appends them (e and p come
// before the joins that use them).
enum TJoinId : quint8 {
    jnPbx = 0,        // x
    jnArchive = 1,    // a
    jnExtension = 2,  // e
    jnPinCode = 3,    // p
    jnExtGroup = 4,   // eg, needs e
    jnPinGroup = 5,   // pg, needs p
    jnExtLimit = 6,   // el, needs e
    jnPinLimit = 7,   // pl, needs p
};
inline constexpr int JoinCount = 8;

using TJoinSet = TEnumSet<TJoinId, JoinCount>;

// The clause as the query appends it, ending with "\r\n"; empty outside 0..7.
QString JoinClause(TJoinId id);
QString JoinAlias(TJoinId id);

// The report formatting overrides ("date_time_format", "duration_format" of the settings
// file), process-wide; start-up and the options dialog set them. Empty selects the
// default form.
void SetReportFormats(const QString& dateTimeFormat, const QString& durationFormat);
QString ReportDateTimeFormat();
QString ReportDurationFormat();

// One row of the catalogue; the caption is the untranslated source text.
struct TCallFieldDef {
    TCallFieldId Id = cfNone;
    const char* Name = "";
    const char* Caption = "";
    const char* SqlExpression = "";
    TJoinSet Joins;
    quint8 DisplayWidth = 0;
};

class TCallFieldInfo {
public:
    using TGetTextHandler = std::function<QString(const QVariant& value)>;

    explicit TCallFieldInfo(const TCallFieldDef& def);
    virtual ~TCallFieldInfo();
    TCallFieldInfo(const TCallFieldInfo&) = delete;
    TCallFieldInfo& operator=(const TCallFieldInfo&) = delete;

    // Condition value to an SQL condition without surrounding parentheses; empty when
    // there is none. Never raises: a damaged value gives the empty string.
    virtual QString BuildCondition(const QString& value) const;
    // Condition value to one summary line ("Caption: text"); empty when there is
    // nothing to describe. Never raises.
    virtual QString BuildSummary(const QString& value) const;
    // A result value to its display text; null gives the empty text.
    virtual QString FormatValue(const QVariant& value) const;

    TCallFieldId Id() const { return id_; }
    const QString& Name() const { return name_; }
    // Translated when read, so the catalogue may be created before the translators.
    QString Caption() const;
    const QString& SqlExpression() const { return sqlExpression_; }
    TJoinSet Joins() const { return joins_; }
    quint8 DisplayWidth() const { return displayWidth_; }
    // Set for the time, duration and charge fields: FormatValue of this descriptor.
    const TGetTextHandler& GetTextHandler() const { return getTextHandler_; }

protected:
    void AttachTextHandler();
    // "missing", or the text followed by " or missing".
    static QString MissingText(const QString& text);

private:
    TCallFieldId id_;
    QString name_;
    const char* caption_;
    QString sqlExpression_;
    TJoinSet joins_;
    quint8 displayWidth_;
    TGetTextHandler getTextHandler_;
};

// Points in time; the condition value is an interval "from,to" (RangeText).
class TCallTimeFieldInfo : public TCallFieldInfo {
public:
    explicit TCallTimeFieldInfo(const TCallFieldDef& def);
    QString BuildCondition(const QString& value) const override;
    QString BuildSummary(const QString& value) const override;
    QString FormatValue(const QVariant& value) const override;
};

// Values compared by equality against a list "a,b,-"; "-" stands for a missing value.
class TCallListFieldInfo : public TCallFieldInfo {
public:
    using TCallFieldInfo::TCallFieldInfo;
    QString BuildCondition(const QString& value) const override;
    QString BuildSummary(const QString& value) const override;
};

// Phone numbers: the list items are prefixes.
class TCallPhoneFieldInfo : public TCallListFieldInfo {
public:
    using TCallListFieldInfo::TCallListFieldInfo;
    QString BuildCondition(const QString& value) const override;
};

// Extension and PIN codes: their page writes its own SQL; the descriptor words the
// selection "group;group;...;missing".
class TCallExtPinFieldInfo : public TCallFieldInfo {
public:
    using TCallFieldInfo::TCallFieldInfo;
    QString BuildSummary(const QString& value) const override;
};

// The value scale of a range filter, stored per descriptor.
struct TSpanConversions {
    // An up/down position to a value in the field's unit.
    double (*PositionToValue)(qint16 position) = nullptr;
    // A value to the largest position whose value does not exceed it, capped at 32767.
    qint16 (*ValueToPosition)(double value) = nullptr;
    QString (*ValueToText)(double value) = nullptr;
    // Keeps the previous value when the text does not read.
    double (*TextToValue)(const QString& text, double previous) = nullptr;
};

// Numeric values compared against a range "mode,low,high,missing": mode 1 between,
// 2 at most low, anything else at least low.
class TCallSpanFieldInfo : public TCallFieldInfo {
public:
    explicit TCallSpanFieldInfo(const TCallFieldDef& def, const TSpanConversions& conversions = {});
    QString BuildCondition(const QString& value) const override;
    QString BuildSummary(const QString& value) const override;

    // Absent (all null) for cfCallId, which no range filter uses.
    const TSpanConversions& Conversions() const { return conversions_; }
    bool HasConversions() const { return conversions_.PositionToValue != nullptr; }

private:
    QString ValueText(double value) const;

    TSpanConversions conversions_;
};

// Durations in seconds.
class TCallDurationFieldInfo : public TCallSpanFieldInfo {
public:
    explicit TCallDurationFieldInfo(const TCallFieldDef& def);
    QString FormatValue(const QVariant& value) const override;
};

// Money amounts.
class TCallChargeFieldInfo : public TCallSpanFieldInfo {
public:
    explicit TCallChargeFieldInfo(const TCallFieldDef& def);
    QString FormatValue(const QVariant& value) const override;
};

// Counts.
class TCallCountFieldInfo : public TCallSpanFieldInfo {
public:
    explicit TCallCountFieldInfo(const TCallFieldDef& def);
};

// Creates the 38 descriptors (in identifier order) unless done; start-up calls it. The
// look-ups below create them on first use as well; creation is thread-safe.
void CreateCallFieldInfos();

// The descriptor of a field; a number outside the catalogue gets that of cfNone.
const TCallFieldInfo& FieldInfo(TCallFieldId id);
// The span descriptor of a field, or null when the field has none.
const TCallSpanFieldInfo* SpanFieldInfo(TCallFieldId id);
// The field whose Name is exactly the text (case matters); cfNone when none is.
TCallFieldId FieldIdByName(const QString& name);

// The field in a select list: the expression, then a blank and Name unless the part of
// the expression after its first "." is Name (c.ID, x.NAME PBX_NAME).
QString SelectItem(const TCallFieldInfo& info);
// The field in a group-by list: the expression.
QString GroupItem(const TCallFieldInfo& info);
