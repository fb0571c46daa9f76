#pragma once
// The live trial of the data format editor: which call fields a sample line yields under
// the format being typed, so that the user sees at once whether the format reads the
// exchange's lines. The format is taken as it would be stored (line breaks removed).
//
//   const TFormatTrial trial = TryFormat(mmoSchemaText->toPlainText(), edtSchemaSample->text());
//   lblSchemaTrial->setText(trial.Message);      // or list trial.Fields
//
// Never raises.

#include <QList>
#include <QPair>
#include <QString>

struct TFormatTrial {
    enum class TOutcome { NoLine, InvalidFormat, NoMatch, Matched };
    TOutcome Outcome = TOutcome::NoLine;
    QString Message;
    // Label and value of each field the line gave, in the order of the call record.
    QList<QPair<QString, QString>> Fields;
};

TFormatTrial TryFormat(const QString& format, const QString& sampleLine);
