#pragma once
// Random but plausible calls of an office exchange, the same for the same seed: the
// demo's extensions, a PIN code on a fifth of the calls, local, long-distance, mobile,
// international and free numbers that the demo's tariff rules charge, and durations from
// unanswered calls to long conversations (most last a minute or two).

#include "schema/CallRecord.h"
#include "schema/CallString.h"

#include <QString>
#include <QStringList>

#include <random>

class TCallGenerator {
public:
    explicit TCallGenerator(quint32 seed);

    // A call that was completed at the given time.
    TCallRecord NextCall(TDateTime end);
    // A line an exchange also sends that is no call (alarms, headers); formats with
    // required fields do not match it.
    QString NextGarbageLine();

    // The record cut to the widths of the format's fields, so that the generated line
    // keeps every field in its columns.
    static void FitToFormat(TCallRecord& record, const TCallString& format);

private:
    int Range(int low, int high);
    double Uniform();
    QString Digits(int count);
    QString PhoneNumber();
    int Duration();

    std::mt19937 engine_;
    QStringList extensions_;
    QStringList pinCodes_;
};
