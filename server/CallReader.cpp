#include "server/CallReader.h"

#include "schema/CallLineMatcher.h"
#include "schema/CallStringText.h"
#include "server/Settings.h"
#include "server/SqlValues.h"

#include <algorithm>

namespace {

constexpr qsizetype kTextSize = 250;  // CALL.TEXT

// The CALL columns the record's texts go to, in the order of the statement, and their sizes.
struct TTextColumn {
    const char* Label;
    QVariant TCallRecord::*Field;
    qsizetype Size;
};
const TTextColumn kTextColumns[] = {
    {"extension", &TCallRecord::Extension, 10},  {"PIN code", &TCallRecord::PinCode, 10},
    {"extra code", &TCallRecord::ExtraCode, 20}, {"phone number", &TCallRecord::Phone, 32},
    {"circuit", &TCallRecord::Circuit, 10},      {"trunk", &TCallRecord::Trunk, 10},
    {"call type", &TCallRecord::CallType, 10},
};

void BindText(TStatement& stmt, int index, const QVariant& value)
{
    if (VarIsNull(value))
        stmt.BindNull(index);
    else
        stmt.BindText(index, VarToStr(value));
}

void BindMoney(TStatement& stmt, int index, const std::optional<TCharge>& charge, double TCharge::*part)
{
    if (charge)
        stmt.BindDouble(index, (*charge).*part);
    else
        stmt.BindNull(index);
}

}  // namespace

QStringView LineContent(QStringView line)
{
    while (!line.isEmpty() && (line.back() == QLatin1Char('\r') || line.back() == QLatin1Char('\n')))
        line.chop(1);
    return line;
}

TCallReader::TCallReader(TDatabase& db)
    : db_(db),
      insert_(db.Prepare(QStringLiteral(
          "INSERT INTO CALL (REC_DATETIME, END_DATETIME, START_DATETIME, DURATION, PBX_ID, EXT_CODE, "
          "PIN_CODE, EXTRA_CODE, PHONE, CIRCUIT, TRUNK, CALL_TYPE, RAW_CHARGE, VAT, CHARGE, PULSES, TEXT) "
          "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")))
{
    Reload();
}

void TCallReader::Reload()
{
    TSettings settings(db_);
    const QString text = settings.String(setting::SchemaInUse);
    const bool formatOk = !text.isEmpty() && format_.Parse(text);
    const int id = settings.Int(setting::PbxInUse, 0);
    const bool pbxOk =
        id > 0 && db_.Scalar(QStringLiteral("SELECT count(*) FROM PBX WHERE ID = ?"), {id}).toInt() > 0;
    pbxId_ = pbxOk ? id : 0;
    rules_ = LoadTariffRules(db_);
    vatPercent_ = settings.Double(setting::VatPercent, DefaultVatPercent);
    if (!formatOk)
        notConfigured_ = text.isEmpty() ? QStringLiteral("no data format is in use")
                                        : QStringLiteral("the data format in use is not valid");
    else if (!pbxOk)
        notConfigured_ = QStringLiteral("no exchange is in use");
    else
        notConfigured_.clear();
}

TCallReader::TResult TCallReader::Read(QStringView line, TDateTime received)
{
    const QStringView content = LineContent(line);
    if (std::all_of(content.begin(), content.end(), callstring::IsBlankOrControl))
        return {TOutcome::Blank, {}};
    const auto quoted = [content] { return QStringLiteral("\"%1\"").arg(content.left(kTextSize * 4)); };
    if (!notConfigured_.isEmpty())
        return {TOutcome::NotConfigured,
                QStringLiteral("Received but not stored (%1): %2").arg(notConfigured_, quoted())};
    TCallRecord record;
    if (!MatchLine(format_, line, record, received))
        return {TOutcome::Invalid,
                QStringLiteral("The line does not match the data format in use: %1").arg(quoted())};
    for (const TTextColumn& column : kTextColumns) {
        const QVariant& value = record.*column.Field;
        if (!VarIsNull(value) && VarToStr(value).size() > column.Size)
            return {TOutcome::Invalid, QStringLiteral("The line's %1 is longer than %2 characters: %3")
                                           .arg(QLatin1String(column.Label))
                                           .arg(column.Size)
                                           .arg(quoted())};
    }
    const int duration = VarIsNull(record.Duration) ? 0 : record.Duration.toInt();
    const std::optional<TCharge> charge = rules_.Charge(VarToStr(record.Phone), duration, vatPercent_);
    int i = 1;
    insert_.BindText(i++, DateTimeToSqlText(received));
    insert_.BindText(i++, DateTimeToSqlText(record.DateTime));
    insert_.BindText(i++, DateTimeToSqlText(IncSeconds(record.DateTime, -duration)));
    if (VarIsNull(record.Duration))
        insert_.BindNull(i++);
    else
        insert_.BindInt(i++, duration);
    insert_.BindInt(i++, pbxId_);
    for (const TTextColumn& column : kTextColumns)
        BindText(insert_, i++, record.*column.Field);
    BindMoney(insert_, i++, charge, &TCharge::Raw);
    BindMoney(insert_, i++, charge, &TCharge::Vat);
    BindMoney(insert_, i++, charge, &TCharge::Total);
    if (VarIsNull(record.Pulses))
        insert_.BindNull(i++);
    else
        insert_.BindInt(i++, record.Pulses.toInt());
    insert_.BindText(i++, content.left(kTextSize).toString());
    try {
        insert_.Step();
        insert_.Reset();
    } catch (const Exception& e) {
        insert_.Reset();
        return {TOutcome::Failed,
                QStringLiteral("The call could not be stored (%1): %2").arg(e.Message(), quoted())};
    }
    if (observer_)
        observer_->CallStored({pbxId_, VarToStr(record.Extension), VarToStr(record.PinCode),
                               charge ? charge->Total : 0.0, received});
    return {TOutcome::Stored, {}};
}
