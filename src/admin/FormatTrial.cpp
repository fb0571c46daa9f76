#include "admin/FormatTrial.h"

#include "admin/AdminPages.h"
#include "core/DateTime.h"
#include "schema/CallLineMatcher.h"
#include "schema/CallString.h"

#include <QCoreApplication>

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("TFormatTrial", text);
}

}  // namespace

TFormatTrial TryFormat(const QString& format, const QString& sampleLine)
{
    TFormatTrial trial;
    const QString canonical = TSchemasPage::CanonicalFormat(format);
    if (canonical.isEmpty()) {
        trial.Outcome = TFormatTrial::TOutcome::InvalidFormat;
        trial.Message = Tr("Invalid data format.");
        return trial;
    }
    if (sampleLine.isEmpty()) {
        trial.Message = Tr("Type a line of the exchange to try the format on it.");
        return trial;
    }
    TCallString schema;
    schema.Parse(canonical);
    TCallRecord record;
    if (!MatchLine(schema, sampleLine, record)) {
        trial.Outcome = TFormatTrial::TOutcome::NoMatch;
        trial.Message = Tr("The line does not match the format.");
        return trial;
    }
    trial.Outcome = TFormatTrial::TOutcome::Matched;
    trial.Message = Tr("The line matches the format.");
    trial.Fields.append({Tr("End of call"), FormatDateTime(QStringLiteral("dd.mm.yyyy hh:nn:ss"), record.DateTime)});
    const struct {
        const char* Label;
        QVariant TCallRecord::*Field;
    } fields[] = {{QT_TRANSLATE_NOOP("TFormatTrial", "Duration (s)"), &TCallRecord::Duration},
                  {QT_TRANSLATE_NOOP("TFormatTrial", "Extension"), &TCallRecord::Extension},
                  {QT_TRANSLATE_NOOP("TFormatTrial", "PIN code"), &TCallRecord::PinCode},
                  {QT_TRANSLATE_NOOP("TFormatTrial", "Phone number"), &TCallRecord::Phone},
                  {QT_TRANSLATE_NOOP("TFormatTrial", "Extra code"), &TCallRecord::ExtraCode},
                  {QT_TRANSLATE_NOOP("TFormatTrial", "Trunk"), &TCallRecord::Trunk},
                  {QT_TRANSLATE_NOOP("TFormatTrial", "Circuit"), &TCallRecord::Circuit},
                  {QT_TRANSLATE_NOOP("TFormatTrial", "Call type"), &TCallRecord::CallType},
                  {QT_TRANSLATE_NOOP("TFormatTrial", "Pulses"), &TCallRecord::Pulses}};
    for (const auto& f : fields) {
        const QVariant& value = record.*(f.Field);
        if (value.isValid() && !value.isNull())
            trial.Fields.append({Tr(f.Label), value.toString()});
    }
    return trial;
}
