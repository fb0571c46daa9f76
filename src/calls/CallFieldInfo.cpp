#include "calls/CallFieldInfo.h"

#include "calls/Globals.h"
#include "core/Numbers.h"
#include "core/RegionalSettings.h"
#include "core/Variants.h"

#include <QCoreApplication>
#include <QMutex>
#include <QRegularExpression>

#include <array>
#include <cmath>
#include <memory>

namespace {

// The range of points in time that have a calendar date (years 1 to 9999).
bool IsCalendarPoint(double value)
{
    return value > -693594.0 && value < 2958466.0;
}

// A bound goes into the SQL text as it stands, so it must be a plain number literal. The
// blanks that TextDotToFloat allows around it are harmless there, and refusing them would
// leave a summary line for a limit the query does not apply.
bool IsSqlNumber(const QString& text)
{
    static const QRegularExpression number(QRegularExpression::anchoredPattern(
        QStringLiteral("[ \t]*[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?[ \t]*")));
    return number.match(text).hasMatch();
}

bool IsNumberVariant(const QVariant& value)
{
    switch (value.metaType().id()) {
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
            return true;
        default:
            return false;
    }
}

// A value of a time column as a point in time: date-time variants, Qt dates and reals.
bool ReadPointInTime(const QVariant& value, TDateTime& out)
{
    const int type = value.metaType().id();
    if (!VarIsDateTime(value) && !IsNumberVariant(value) && type != QMetaType::QDateTime &&
        type != QMetaType::QDate)
        return false;
    out = VarToDateTime(value);
    return IsCalendarPoint(out);
}

bool ReadInterval(const QString& value, TDateTime& from, TDateTime& to)
{
    const TStringArray parts = SplitText(QLatin1Char(','), value);
    if (parts.size() < 2)
        return false;
    const TDateTime today = Today();
    from = TextDotToFloat(parts[0], today);
    to = TextDotToFloat(parts[1], today + 1);
    if (!IsCalendarPoint(from) || !IsCalendarPoint(to))
        return false;
    OrderPair(from, to);
    return true;
}

// The items of a list value other than "-", and whether "-" was among them.
struct TListItems {
    TStringArray Values;
    bool Missing = false;
};

TListItems ReadList(const QString& value)
{
    TListItems items;
    for (const QString& item : SplitText(QLatin1Char(','), value)) {
        if (item == QLatin1String("-"))
            items.Missing = true;
        else
            items.Values << item;
    }
    return items;
}

// The four elements of a span value; false when there are fewer.
struct TSpanValue {
    int Mode = 0;
    QString Low;
    QString High;
    bool Missing = false;
};

bool ReadSpan(const QString& value, TSpanValue& span)
{
    const TStringArray parts = SplitText(QLatin1Char(','), value);
    if (parts.size() < 4)
        return false;
    span.Mode = StateToInt(parts[0], 0);
    span.Low = parts[1];
    span.High = parts[2];
    span.Missing = StateToBool(parts[3], false);
    return true;
}

double DurationPositionToSeconds(qint16 position)
{
    return RoundScaled(DurationScaleToDays(position), SecsPerDay);
}

qint16 SecondsToDurationPosition(double seconds)
{
    return DaysToDurationScale(seconds / SecsPerDay);
}

struct TReportFormats {
    QMutex Lock;
    QString DateTimeFormat;
    QString DurationFormat;
};

TReportFormats& ReportFormats()
{
    static TReportFormats formats;
    return formats;
}

constexpr std::array<const char*, JoinCount> kJoinClauses{
    "inner join PBX x on c.PBX_ID = x.ID\r\n",
    "left join ARCHIVE a on c.ARCHIVE_ID = a.ID\r\n",
    "left join EXTENSION e on c.PBX_ID = e.PBX_ID and c.EXT_CODE = e.CODE\r\n",
    "left join PIN_CODE p on c.PBX_ID = p.PBX_ID and c.PIN_CODE = p.CODE\r\n",
    "left join GROUPS eg on e.GROUP_ID = eg.ID\r\n",
    "left join GROUPS pg on p.GROUP_ID = pg.ID\r\n",
    "left join LIMIT_PLAN el on e.LIMIT_PLAN_ID = el.ID\r\n",
    "left join LIMIT_PLAN pl on p.LIMIT_PLAN_ID = pl.ID\r\n",
};

constexpr std::array<const char*, JoinCount> kJoinAliases{"x", "a", "e", "p", "eg", "pg", "el", "pl"};

using TCatalogue = std::array<std::unique_ptr<const TCallFieldInfo>, CallFieldCount>;

// Creates the descriptors in identifier order.
class TCatalogueBuilder {
public:
    template <class TInfo>
    void Add(const TCallFieldDef& def)
    {
        if (def.Id != next_)
            qFatal("TCallFieldInfo: field %d created out of order", int(def.Id));
        catalogue_[next_++] = std::make_unique<const TInfo>(def);
    }
    TCatalogue Take()
    {
        if (next_ != CallFieldCount)
            qFatal("TCallFieldInfo: %d of %d fields created", next_, CallFieldCount);
        return std::move(catalogue_);
    }

private:
    TCatalogue catalogue_;
    int next_ = 0;
};

TCatalogue CreateCatalogue()
{
    TCatalogueBuilder b;
    // clang-format off
    b.Add<TCallFieldInfo>({cfNone, "", nullptr, "", {}, 0});
    b.Add<TCallSpanFieldInfo>({cfCallId, "ID", QT_TRANSLATE_NOOP("TCallFieldInfo", "Call ID"), "c.ID", {}, 8});
    b.Add<TCallListFieldInfo>({cfArchiveId, "ARCHIVE_ID", QT_TRANSLATE_NOOP("TCallFieldInfo", "Archive ID"), "c.ARCHIVE_ID", {}, 4});
    b.Add<TCallTimeFieldInfo>({cfRecTime, "REC_DATETIME", QT_TRANSLATE_NOOP("TCallFieldInfo", "Received time"), "c.REC_DATETIME", {}, 20});
    b.Add<TCallTimeFieldInfo>({cfEndTime, "END_DATETIME", QT_TRANSLATE_NOOP("TCallFieldInfo", "End time"), "c.END_DATETIME", {}, 20});
    b.Add<TCallTimeFieldInfo>({cfStartTime, "START_DATETIME", QT_TRANSLATE_NOOP("TCallFieldInfo", "Start time"), "c.START_DATETIME", {}, 20});
    b.Add<TCallDurationFieldInfo>({cfDuration, "DURATION", QT_TRANSLATE_NOOP("TCallFieldInfo", "Duration"), "c.DURATION", {}, 8});
    b.Add<TCallListFieldInfo>({cfPbxId, "PBX_ID", QT_TRANSLATE_NOOP("TCallFieldInfo", "PBX number"), "c.PBX_ID", {}, 4});
    b.Add<TCallExtPinFieldInfo>({cfExtCode, "EXT_CODE", QT_TRANSLATE_NOOP("TCallFieldInfo", "Extension"), "c.EXT_CODE", {}, 8});
    b.Add<TCallExtPinFieldInfo>({cfPinCode, "PIN_CODE", QT_TRANSLATE_NOOP("TCallFieldInfo", "PIN code"), "c.PIN_CODE", {}, 8});
    b.Add<TCallListFieldInfo>({cfExtraCode, "EXTRA_CODE", QT_TRANSLATE_NOOP("TCallFieldInfo", "Extra code"), "c.EXTRA_CODE", {}, 8});
    b.Add<TCallPhoneFieldInfo>({cfPhone, "PHONE", QT_TRANSLATE_NOOP("TCallFieldInfo", "Phone"), "c.PHONE", {}, 16});
    b.Add<TCallListFieldInfo>({cfCircuit, "CIRCUIT", QT_TRANSLATE_NOOP("TCallFieldInfo", "Circuit"), "c.CIRCUIT", {}, 4});
    b.Add<TCallListFieldInfo>({cfTrunk, "TRUNK", QT_TRANSLATE_NOOP("TCallFieldInfo", "Trunk"), "c.TRUNK", {}, 4});
    b.Add<TCallListFieldInfo>({cfCallType, "CALL_TYPE", QT_TRANSLATE_NOOP("TCallFieldInfo", "Call type"), "c.CALL_TYPE", {}, 4});
    b.Add<TCallChargeFieldInfo>({cfRawCharge, "RAW_CHARGE", QT_TRANSLATE_NOOP("TCallFieldInfo", "Raw charge"), "c.RAW_CHARGE", {}, 8});
    b.Add<TCallChargeFieldInfo>({cfVat, "VAT", QT_TRANSLATE_NOOP("TCallFieldInfo", "VAT"), "c.VAT", {}, 8});
    b.Add<TCallChargeFieldInfo>({cfCharge, "CHARGE", QT_TRANSLATE_NOOP("TCallFieldInfo", "Charge"), "c.CHARGE", {}, 8});
    b.Add<TCallCountFieldInfo>({cfPulses, "PULSES", QT_TRANSLATE_NOOP("TCallFieldInfo", "Pulses"), "c.PULSES", {}, 4});
    b.Add<TCallListFieldInfo>({cfText, "TEXT", QT_TRANSLATE_NOOP("TCallFieldInfo", "Text"), "c.TEXT", {}, 64});
    b.Add<TCallListFieldInfo>({cfArchiveName, "ARCHIVE_NAME", QT_TRANSLATE_NOOP("TCallFieldInfo", "Archive name"), "a.COMMENT", {jnArchive}, 16});
    b.Add<TCallListFieldInfo>({cfPbxName, "PBX_NAME", QT_TRANSLATE_NOOP("TCallFieldInfo", "PBX name"), "x.NAME", {jnPbx}, 16});
    b.Add<TCallListFieldInfo>({cfExtName, "EXT_NAME", QT_TRANSLATE_NOOP("TCallFieldInfo", "Extension name"), "e.NAME", {jnExtension}, 16});
    b.Add<TCallListFieldInfo>({cfPinName, "PIN_NAME", QT_TRANSLATE_NOOP("TCallFieldInfo", "PIN name"), "p.NAME", {jnPinCode}, 16});
    b.Add<TCallListFieldInfo>({cfExtGroupId, "EXT_GROUP_ID", QT_TRANSLATE_NOOP("TCallFieldInfo", "Extension group"), "e.GROUP_ID", {jnExtension}, 4});
    b.Add<TCallListFieldInfo>({cfPinGroupId, "PIN_GROUP_ID", QT_TRANSLATE_NOOP("TCallFieldInfo", "PIN group"), "p.GROUP_ID", {jnPinCode}, 4});
    b.Add<TCallListFieldInfo>({cfExtGroupName, "EXT_GROUP", QT_TRANSLATE_NOOP("TCallFieldInfo", "Extension group"), "eg.NAME", {jnExtension, jnExtGroup}, 16});
    b.Add<TCallListFieldInfo>({cfPinGroupName, "PIN_GROUP", QT_TRANSLATE_NOOP("TCallFieldInfo", "PIN group"), "pg.NAME", {jnPinCode, jnPinGroup}, 16});
    b.Add<TCallListFieldInfo>({cfExtLimitId, "EXT_LIMIT_ID", QT_TRANSLATE_NOOP("TCallFieldInfo", "Extension limit"), "e.LIMIT_PLAN_ID", {jnExtension}, 4});
    b.Add<TCallListFieldInfo>({cfPinLimitId, "PIN_LIMIT_ID", QT_TRANSLATE_NOOP("TCallFieldInfo", "PIN limit"), "p.LIMIT_PLAN_ID", {jnPinCode}, 4});
    b.Add<TCallListFieldInfo>({cfExtLimitName, "EXT_LIMIT", QT_TRANSLATE_NOOP("TCallFieldInfo", "Extension limit"), "el.NAME", {jnExtension, jnExtLimit}, 16});
    b.Add<TCallListFieldInfo>({cfPinLimitName, "PIN_LIMIT", QT_TRANSLATE_NOOP("TCallFieldInfo", "PIN limit"), "pl.NAME", {jnPinCode, jnPinLimit}, 16});
    b.Add<TCallCountFieldInfo>({cfTotalCount, "TOTAL_COUNT", QT_TRANSLATE_NOOP("TCallFieldInfo", "Call count"), "count(c.ID)", {}, 8});
    b.Add<TCallDurationFieldInfo>({cfTotalDuration, "TOTAL_DURATION", QT_TRANSLATE_NOOP("TCallFieldInfo", "Total duration"), "sum(c.DURATION)", {}, 8});
    b.Add<TCallChargeFieldInfo>({cfTotalRawCharge, "TOTAL_RAW_CHARGE", QT_TRANSLATE_NOOP("TCallFieldInfo", "Total raw charge"), "sum(c.RAW_CHARGE)", {}, 8});
    b.Add<TCallChargeFieldInfo>({cfTotalVat, "TOTAL_VAT", QT_TRANSLATE_NOOP("TCallFieldInfo", "Total VAT"), "sum(c.VAT)", {}, 8});
    b.Add<TCallChargeFieldInfo>({cfTotalCharge, "TOTAL_CHARGE", QT_TRANSLATE_NOOP("TCallFieldInfo", "Total charge"), "sum(c.CHARGE)", {}, 8});
    b.Add<TCallCountFieldInfo>({cfTotalPulses, "TOTAL_PULSES", QT_TRANSLATE_NOOP("TCallFieldInfo", "Total pulses"), "sum(c.PULSES)", {}, 8});
    // clang-format on
    return b.Take();
}

const TCatalogue& Catalogue()
{
    static const TCatalogue catalogue = CreateCatalogue();
    return catalogue;
}

}  // namespace

bool TryCallFieldId(int number, TCallFieldId& id)
{
    if (number < 0 || number >= CallFieldCount)
        return false;
    id = static_cast<TCallFieldId>(number);
    return true;
}

QString JoinClause(TJoinId id)
{
    return id < JoinCount ? QString::fromLatin1(kJoinClauses[id]) : QString();
}

QString JoinAlias(TJoinId id)
{
    return id < JoinCount ? QString::fromLatin1(kJoinAliases[id]) : QString();
}

void SetReportFormats(const QString& dateTimeFormat, const QString& durationFormat)
{
    TReportFormats& formats = ReportFormats();
    const QMutexLocker locker(&formats.Lock);
    formats.DateTimeFormat = dateTimeFormat;
    formats.DurationFormat = durationFormat;
}

QString ReportDateTimeFormat()
{
    TReportFormats& formats = ReportFormats();
    const QMutexLocker locker(&formats.Lock);
    return formats.DateTimeFormat;
}

QString ReportDurationFormat()
{
    TReportFormats& formats = ReportFormats();
    const QMutexLocker locker(&formats.Lock);
    return formats.DurationFormat;
}

// TCallFieldInfo

TCallFieldInfo::TCallFieldInfo(const TCallFieldDef& def)
    : id_(def.Id),
      name_(QString::fromLatin1(def.Name)),
      caption_(def.Caption),
      sqlExpression_(QString::fromLatin1(def.SqlExpression)),
      joins_(def.Joins),
      displayWidth_(def.DisplayWidth)
{
}

TCallFieldInfo::~TCallFieldInfo() = default;

QString TCallFieldInfo::Caption() const
{
    return caption_ != nullptr && *caption_ != '\0' ? QCoreApplication::translate("TCallFieldInfo", caption_)
                                                    : QString();
}

QString TCallFieldInfo::BuildCondition(const QString&) const
{
    return QString();
}

QString TCallFieldInfo::BuildSummary(const QString& value) const
{
    if (value.isEmpty())
        return QString();
    return QStringLiteral("%1: %2").arg(Caption(), value);
}

QString TCallFieldInfo::FormatValue(const QVariant& value) const
{
    return VarToStr(value);
}

void TCallFieldInfo::AttachTextHandler()
{
    // The descriptors are never copied and outlive every column that uses the handler.
    getTextHandler_ = [this](const QVariant& value) { return FormatValue(value); };
}

QString TCallFieldInfo::MissingText(const QString& text)
{
    if (text.isEmpty())
        return QCoreApplication::translate("TCallFieldInfo", "missing");
    return text + QLatin1Char(' ') + QCoreApplication::translate("TCallFieldInfo", "or missing");
}

// TCallTimeFieldInfo

TCallTimeFieldInfo::TCallTimeFieldInfo(const TCallFieldDef& def) : TCallFieldInfo(def)
{
    AttachTextHandler();
}

QString TCallTimeFieldInfo::BuildCondition(const QString& value) const
{
    TDateTime from = 0, to = 0;
    if (!ReadInterval(value, from, to))
        return QString();
    return QStringLiteral("%1 between %2 and %3").arg(SqlExpression(), SqlDateTime(from), SqlDateTime(to));
}

QString TCallTimeFieldInfo::BuildSummary(const QString& value) const
{
    TDateTime from = 0, to = 0;
    if (!ReadInterval(value, from, to))
        return QString();
    return TCallFieldInfo::BuildSummary(QCoreApplication::translate("TCallFieldInfo", "from %1 to %2")
                                            .arg(DateTimeToDefaultText(from), DateTimeToDefaultText(to)));
}

QString TCallTimeFieldInfo::FormatValue(const QVariant& value) const
{
    TDateTime point = 0;
    if (!ReadPointInTime(value, point))
        return TCallFieldInfo::FormatValue(value);
    const QString pattern = ReportDateTimeFormat();
    return pattern.isEmpty() ? DateTimeToDefaultText(point) : FormatDateTime(pattern, point);
}

// TCallListFieldInfo

QString TCallListFieldInfo::BuildCondition(const QString& value) const
{
    const TListItems items = ReadList(value);
    const QString condition = ListCondition(SqlExpression(), items.Values);
    return items.Missing ? NullCondition(condition, SqlExpression()) : condition;
}

QString TCallListFieldInfo::BuildSummary(const QString& value) const
{
    const TListItems items = ReadList(value);
    const QString text = JoinTexts(QStringLiteral(", "), items.Values);
    return TCallFieldInfo::BuildSummary(items.Missing ? MissingText(text) : text);
}

// TCallPhoneFieldInfo

QString TCallPhoneFieldInfo::BuildCondition(const QString& value) const
{
    const TListItems items = ReadList(value);
    TStringArray prefixes;
    for (const QString& prefix : items.Values)
        prefixes << PrefixCondition(SqlExpression(), prefix);
    const QString condition = JoinTexts(QStringLiteral(" or "), prefixes);
    return items.Missing ? NullCondition(condition, SqlExpression()) : condition;
}

// TCallExtPinFieldInfo

QString TCallExtPinFieldInfo::BuildSummary(const QString& value) const
{
    const TStringArray parts = SplitText(QLatin1Char(';'), value);
    if (parts.size() < 2 || parts[0] == QLatin1String("+") || parts[0] == QLatin1String("-"))
        return QString();
    const QString groups = JoinTexts(QStringLiteral(", "), parts.mid(0, parts.size() - 1));
    return TCallFieldInfo::BuildSummary(StateToBool(parts.last(), false) ? MissingText(groups) : groups);
}

// TCallSpanFieldInfo

TCallSpanFieldInfo::TCallSpanFieldInfo(const TCallFieldDef& def, const TSpanConversions& conversions)
    : TCallFieldInfo(def), conversions_(conversions)
{
}

QString TCallSpanFieldInfo::BuildCondition(const QString& value) const
{
    TSpanValue span;
    if (!ReadSpan(value, span) || !IsSqlNumber(span.Low))
        return QString();
    QString condition;
    if (span.Mode == 1) {
        if (!IsSqlNumber(span.High))
            return QString();
        condition = QStringLiteral("%1 between %2 and %3").arg(SqlExpression(), span.Low, span.High);
    } else {
        const char* format = span.Mode == 2 ? "%1 <= %2" : "%1 >= %2";
        condition = QString::fromLatin1(format).arg(SqlExpression(), span.Low);
    }
    return span.Missing ? NullCondition(condition, SqlExpression()) : condition;
}

QString TCallSpanFieldInfo::BuildSummary(const QString& value) const
{
    TSpanValue span;
    if (!ReadSpan(value, span))
        return QString();
    const double low = TextDotToFloat(span.Low, -1);
    const double high = TextDotToFloat(span.High, -1);
    if (low < 0 || high < 0)
        return QString();
    QString text;
    if (span.Mode == 1)
        text = QCoreApplication::translate("TCallFieldInfo", "between %1 and %2")
                   .arg(ValueText(low), ValueText(high));
    else if (span.Mode == 2)
        text = QCoreApplication::translate("TCallFieldInfo", "at most %1").arg(ValueText(low));
    else if (low > 0)
        text = QCoreApplication::translate("TCallFieldInfo", "at least %1").arg(ValueText(low));
    return TCallFieldInfo::BuildSummary(span.Missing ? MissingText(text) : text);
}

QString TCallSpanFieldInfo::ValueText(double value) const
{
    if (conversions_.ValueToText != nullptr)
        return conversions_.ValueToText(value);
    return FloatToStrGeneral(value, TRegionalSettings::Current().DecimalSeparator);
}

// TCallDurationFieldInfo

TCallDurationFieldInfo::TCallDurationFieldInfo(const TCallFieldDef& def)
    : TCallSpanFieldInfo(
          def, {DurationPositionToSeconds, SecondsToDurationPosition, FormatDuration, ParseDuration})
{
    AttachTextHandler();
}

QString TCallDurationFieldInfo::FormatValue(const QVariant& value) const
{
    if (!IsNumberVariant(value))
        return TCallFieldInfo::FormatValue(value);
    const double seconds = VarToFloat(value);
    const QString pattern = ReportDurationFormat();
    if (pattern.isEmpty())
        return FormatDuration(seconds);
    const double whole = std::nearbyint(seconds);
    const qint64 clamped = whole >= 9.2e18    ? Q_INT64_C(9200000000000000000)
                           : whole <= -9.2e18 ? -Q_INT64_C(9200000000000000000)
                                              : static_cast<qint64>(whole);
    return FormatDurationPattern(clamped, pattern);
}

// TCallChargeFieldInfo

TCallChargeFieldInfo::TCallChargeFieldInfo(const TCallFieldDef& def)
    : TCallSpanFieldInfo(def, {MoneyScaleToValue, ValueToMoneyScale, FormatMoney, ParseMoney})
{
    AttachTextHandler();
}

QString TCallChargeFieldInfo::FormatValue(const QVariant& value) const
{
    if (!IsNumberVariant(value))
        return TCallFieldInfo::FormatValue(value);
    return FormatMoney(RoundScaled(VarToFloat(value), 100) / 100);
}

// TCallCountFieldInfo

TCallCountFieldInfo::TCallCountFieldInfo(const TCallFieldDef& def)
    : TCallSpanFieldInfo(def, {CountScaleToValue, ValueToCountScale, FormatCount, ParseCount})
{
}

// The catalogue

void CreateCallFieldInfos()
{
    (void)Catalogue();
}

const TCallFieldInfo& FieldInfo(TCallFieldId id)
{
    const TCatalogue& catalogue = Catalogue();
    return *catalogue[id < CallFieldCount ? id : cfNone];
}

const TCallSpanFieldInfo* SpanFieldInfo(TCallFieldId id)
{
    return dynamic_cast<const TCallSpanFieldInfo*>(&FieldInfo(id));
}

TCallFieldId FieldIdByName(const QString& name)
{
    TCallFieldId found = cfNone;
    for (int i = 0; i < CallFieldCount; ++i)
        if (Catalogue()[i]->Name() == name)
            found = static_cast<TCallFieldId>(i);
    return found;
}

QString SelectItem(const TCallFieldInfo& info)
{
    const QString& expression = info.SqlExpression();
    const qsizetype dot = expression.indexOf(QLatin1Char('.'));
    if (dot < 0 || expression.mid(dot + 1) == info.Name())
        return expression;
    return expression + QLatin1Char(' ') + info.Name();
}

QString GroupItem(const TCallFieldInfo& info)
{
    return info.SqlExpression();
}
