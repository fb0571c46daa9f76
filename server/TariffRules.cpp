#include "TariffRules.h"

#include "Database.h"

#include <QRegularExpression>

#include <cmath>

double RoundMoney(double value)
{
    return std::round(value * 100.0) / 100.0;
}

bool TTariffRules::Parse(const QString& text, QString* error)
{
    static const QRegularExpression rateRe(
        QStringLiteral("^rate\\s+(\\*|\\d+)\\s+(\\d+(?:\\.\\d+)?)\\s+(\\d+(?:\\.\\d+)?)(?:\\s+(\\d+))?$"),
        QRegularExpression::CaseInsensitiveOption);
    QList<TTariffRate> parsed;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        const QRegularExpressionMatch m = rateRe.match(line);
        const int step = m.hasMatch() && !m.captured(4).isEmpty() ? m.captured(4).toInt() : 60;
        if (!m.hasMatch() || step <= 0) {
            if (error)
                *error = QStringLiteral("Line %1 is not a rate: \"%2\"").arg(i + 1).arg(line);
            return false;
        }
        TTariffRate rate;
        rate.Prefix = m.captured(1) == QLatin1String("*") ? QString() : m.captured(1);
        rate.Fee = m.captured(2).toDouble();
        rate.PerMinute = m.captured(3).toDouble();
        rate.StepSeconds = step;
        parsed.append(rate);
    }
    rates_.append(parsed);
    return true;
}

const TTariffRate* TTariffRules::Find(const QString& phone) const
{
    const TTariffRate* best = nullptr;
    for (const TTariffRate& r : rates_)
        if (phone.startsWith(r.Prefix) && (!best || r.Prefix.size() > best->Prefix.size()))
            best = &r;
    return best;
}

std::optional<TCharge> TTariffRules::Charge(const QString& phone, int durationSeconds,
                                            double vatPercent) const
{
    const TTariffRate* rate = Find(phone);
    if (!rate)
        return std::nullopt;
    TCharge charge;
    if (durationSeconds > 0) {
        const int billed = (durationSeconds + rate->StepSeconds - 1) / rate->StepSeconds * rate->StepSeconds;
        charge.Raw = RoundMoney(rate->Fee + billed / 60.0 * rate->PerMinute);
        charge.Vat = RoundMoney(charge.Raw * vatPercent / 100.0);
        charge.Total = RoundMoney(charge.Raw + charge.Vat);
    }
    return charge;
}

QStringList TariffRuleSetsInUse(TDatabase& db)
{
    QStringList names;
    TStatement stmt = db.Prepare(QStringLiteral("SELECT NAME, TEXT FROM TARIFF_RULES ORDER BY NAME"));
    while (stmt.Step()) {
        TTariffRules rules;
        if (rules.Parse(stmt.Text(1)) && !rules.IsEmpty())
            names << stmt.Text(0);
    }
    return names;
}

TTariffRules LoadTariffRules(TDatabase& db)
{
    TTariffRules rules;
    TStatement stmt = db.Prepare(QStringLiteral("SELECT TEXT FROM TARIFF_RULES ORDER BY NAME"));
    while (stmt.Step())
        rules.Parse(stmt.Text(0));
    return rules;
}
