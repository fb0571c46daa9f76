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
    // Adds the rates of one rule text; false (with the line's number in error) when the
    // text is not valid, in which case nothing of it is added.
    bool Parse(const QString& text, QString* error = nullptr);
    const QList<TTariffRate>& Rates() const { return rates_; }
    bool IsEmpty() const { return rates_.isEmpty(); }

    // The rate with the longest prefix of the number; among equal prefixes the one added
    // first.
    const TTariffRate* Find(const QString& phone) const;
    // The charge of a call; none when no rate matches. Unanswered calls (duration 0) cost
    // nothing.
    std::optional<TCharge> Charge(const QString& phone, int durationSeconds, double vatPercent) const;

private:
    QList<TTariffRate> rates_;
};

double RoundMoney(double value);

// The normal form of a rule text (AdminRDM 312): every rate written "rate PREFIX FEE
// PER_MINUTE STEP" with single blanks, the keyword in lower case, money with at least two
// decimals and the step always given; comments kept as written; lines ended by LF, no
// blanks at line ends and no empty lines at either end. Empty when the text is not valid
// (error says why) or holds nothing at all.
QString NormaliseTariffRules(const QString& text, QString* error = nullptr);
// A rate for the administrator to fill in (AdminRDM 306).
QString EmptyTariffRule();
// A commented example rule set (AdminRDM 307), already in normal form.
QString TariffRuleTemplate();

// The rule sets in use: the names of the TARIFF_RULES rows, by NAME, whose text is valid
// and holds at least one rate.
QStringList TariffRuleSetsInUse(TDatabase& db);
// The rates of all rule sets in use, in the same order.
TTariffRules LoadTariffRules(TDatabase& db);
