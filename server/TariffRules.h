#pragma once
// The reference server's tariff rules: each TARIFF_RULES row holds rates by number
// prefix (docs/server.md describes the language). A call is charged by the rate with the
// longest prefix of its number: a connection fee plus a price per minute for the billed
// time (the duration rounded up to the rate's step); VAT is added with the installation's
// percentage.

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class TDatabase;

struct TTariffRate {
    QString Prefix;  // digits; empty matches every number
    double Fee = 0;
    double PerMinute = 0;
    int StepSeconds = 60;
};

struct TCharge {
    double Raw = 0;
    double Vat = 0;
    double Total = 0;
};

class TTariffRules {
public:
    // Adds the rates of one rule text; false (with the line's number in error) when a
    // line is not understood, in which case nothing of the text is added.
    bool Parse(const QString& text, QString* error = nullptr);
    const QList<TTariffRate>& Rates() const { return rates_; }
    bool IsEmpty() const { return rates_.isEmpty(); }

    const TTariffRate* Find(const QString& phone) const;
    // The charge of a call; none when no rate matches. Unanswered calls (duration 0) cost
    // nothing.
    std::optional<TCharge> Charge(const QString& phone, int durationSeconds, double vatPercent) const;

private:
    QList<TTariffRate> rates_;
};

double RoundMoney(double value);

// The rule sets in use: the names of the TARIFF_RULES rows whose text holds valid rates.
QStringList TariffRuleSetsInUse(TDatabase& db);
// The rates of all rule sets in use.
TTariffRules LoadTariffRules(TDatabase& db);
