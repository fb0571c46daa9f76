// A tariff rule text as an administrator saves it, then a call charged by it. A text is
// valid for Parse exactly when it has a normal form or holds nothing; the normal form is
// its own normal form and reads as the same rates. A charge is finite and never negative
// for rates that are not, and a call without duration costs nothing.

#include "FuzzInput.h"

#include "server/TariffRules.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TFuzzInput input(data, size);
    const QString phone = input.Text(40);
    const int duration = int(input.Uint32() % 200000);
    const QString text = input.RestText();

    TTariffRules rules;
    QString error;
    const bool valid = rules.Parse(text, &error);
    FuzzCheck(valid || !error.isEmpty(), "a refused text says why");
    FuzzCheck(valid || rules.IsEmpty(), "a refused text adds no rate");
    const QString normal = NormaliseTariffRules(text);
    FuzzCheck(normal.isEmpty() || valid, "only a valid text has a normal form");
    if (!normal.isEmpty()) {
        FuzzCheck(NormaliseTariffRules(normal) == normal, "the normal form is its own");
        TTariffRules again;
        FuzzCheck(again.Parse(normal), "the normal form is valid");
        FuzzCheck(again.Rates().size() == rules.Rates().size(), "the normal form keeps every rate");
        for (qsizetype i = 0; i < rules.Rates().size(); ++i) {
            const TTariffRate& a = rules.Rates()[i];
            const TTariffRate& b = again.Rates()[i];
            FuzzCheck(a.Prefix == b.Prefix && a.StepSeconds == b.StepSeconds, "the normal form keeps prefix and step");
            FuzzCheck(RoundMoney(a.Fee) == RoundMoney(b.Fee) && RoundMoney(a.PerMinute) == RoundMoney(b.PerMinute),
                      "the normal form keeps the amounts");
        }
    }
    bool negative = false;
    for (const TTariffRate& rate : rules.Rates())
        negative = negative || rate.Fee < 0 || rate.PerMinute < 0;
    for (const int seconds : {0, duration}) {
        const std::optional<TCharge> charge = rules.Charge(phone, seconds, 19);
        FuzzCheck(charge.has_value() == (rules.Find(phone) != nullptr), "a call is charged when a rate matches");
        if (!charge)
            continue;
        FuzzCheck(std::isfinite(charge->Raw) && std::isfinite(charge->Vat) && std::isfinite(charge->Total),
                  "a charge is finite");
        FuzzCheck(negative || charge->Total >= 0, "a charge is not negative");
        FuzzCheck(seconds > 0 || charge->Total == 0, "a call without duration costs nothing");
    }
    return 0;
}
