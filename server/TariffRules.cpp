#include "server/TariffRules.h"

#include "server/Database.h"

#include <QHash>
#include <QRegularExpression>

#include <cmath>

namespace {

constexpr int kDefaultStep = 60;
constexpr int kMaxStep = 86400;
constexpr int kMaxPrefix = 32;  // CALL.PHONE holds 32 characters

struct TToken {
    bool Comment = false;
    QString Text;
};

// A line of a rule text. A comment in braces may span physical lines; the line it starts
// in goes on after it.
struct TRuleLine {
    int Number = 0;  // of the physical line it starts in
    QList<TToken> Tokens;

    QStringList Words() const
    {
        QStringList words;
        for (const TToken& t : Tokens)
            if (!t.Comment)
                words << t.Text;
        return words;
    }
    QString Text() const
    {
        QStringList parts;
        for (const TToken& t : Tokens)
            parts << t.Text;
        return parts.join(QLatin1Char(' '));
    }
};

void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

bool IsWordEnd(QChar ch)
{
    return ch.isSpace() || ch == QLatin1Char('{') || ch == QLatin1Char('}') || ch == QLatin1Char('#') ||
           ch == QLatin1Char(';');
}

bool SplitRuleText(const QString& text, QList<TRuleLine>& lines, QString* error)
{
    QString src = text;
    src.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    src.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    int physical = 1;
    lines = {TRuleLine{physical, {}}};
    qsizetype i = 0;
    while (i < src.size()) {
        const QChar ch = src.at(i);
        if (ch == QLatin1Char('\n')) {
            lines.append(TRuleLine{++physical, {}});
            ++i;
        } else if (ch.isSpace()) {
            ++i;
        } else if (ch == QLatin1Char('{')) {
            const qsizetype end = src.indexOf(QLatin1Char('}'), i + 1);
            if (end < 0) {
                SetError(error,
                         QStringLiteral("Line %1: the comment in braces is not closed.").arg(physical));
                return false;
            }
            const QString comment = src.mid(i, end - i + 1);
            lines.last().Tokens.append({true, comment});
            physical += static_cast<int>(comment.count(QLatin1Char('\n')));
            i = end + 1;
        } else if (ch == QLatin1Char('}')) {
            SetError(error, QStringLiteral("Line %1: \"}\" without \"{\".").arg(physical));
            return false;
        } else if (ch == QLatin1Char('#') || ch == QLatin1Char(';')) {
            qsizetype end = src.indexOf(QLatin1Char('\n'), i);
            if (end < 0)
                end = src.size();
            lines.last().Tokens.append({true, src.mid(i, end - i).trimmed()});
            i = end;
        } else {
            qsizetype end = i;
            while (end < src.size() && !IsWordEnd(src.at(end)))
                ++end;
            lines.last().Tokens.append({false, src.mid(i, end - i)});
            i = end;
        }
    }
    return true;
}

// Money: digits with an optional fraction after "."; written with at least two decimals
// and without zeros that say nothing.
bool ReadMoney(const QString& word, QString& normal, double& value)
{
    static const QRegularExpression re(QStringLiteral("^(\\d+)(?:\\.(\\d+))?$"));
    const QRegularExpressionMatch m = re.match(word);
    if (!m.hasMatch())
        return false;
    QString whole = m.captured(1);
    while (whole.size() > 1 && whole.startsWith(QLatin1Char('0')))
        whole.remove(0, 1);
    QString fraction = m.captured(2);
    while (fraction.size() > 2 && fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    if (whole.size() > 9 || fraction.size() > 6)
        return false;
    fraction = fraction.leftJustified(2, QLatin1Char('0'));
    normal = whole + QLatin1Char('.') + fraction;
    value = normal.toDouble();
    return true;
}

bool ReadStep(const QString& word, int& step)
{
    static const QRegularExpression re(QStringLiteral("^\\d{1,9}$"));
    if (!re.match(word).hasMatch())
        return false;
    step = word.toInt();
    return step >= 1 && step <= kMaxStep;
}

// A line with words is a rate: "rate PREFIX FEE PER_MINUTE [STEP]". Fills the rate and
// the words in normal form.
bool ReadRate(const TRuleLine& line, TTariffRate& rate, QStringList& normal, QString* error)
{
    static const QRegularExpression prefixRe(QStringLiteral("^(\\*|\\d{1,%1})$").arg(kMaxPrefix));
    const QStringList words = line.Words();
    QString fee, perMinute;
    int step = kDefaultStep;
    const bool ok = (words.size() == 4 || words.size() == 5) &&
                    words.at(0).compare(QLatin1String("rate"), Qt::CaseInsensitive) == 0 &&
                    prefixRe.match(words.at(1)).hasMatch() && ReadMoney(words.at(2), fee, rate.Fee) &&
                    ReadMoney(words.at(3), perMinute, rate.PerMinute) &&
                    (words.size() == 4 || ReadStep(words.at(4), step));
    if (!ok) {
        SetError(error, QStringLiteral("Line %1 is not a rate: \"%2\"").arg(line.Number).arg(line.Text()));
        return false;
    }
    rate.Prefix = words.at(1) == QLatin1String("*") ? QString() : words.at(1);
    rate.StepSeconds = step;
    normal = {QStringLiteral("rate"), words.at(1), fee, perMinute, QString::number(step)};
    return true;
}

// The line with its words replaced by their normal form; the step goes after the last word
// when it was left out.
QString NormalLine(const TRuleLine& line, const QStringList& normal)
{
    const int words = static_cast<int>(line.Words().size());
    QStringList parts;
    int word = 0;
    for (const TToken& t : line.Tokens) {
        if (t.Comment) {
            parts << t.Text;
            continue;
        }
        parts << normal.at(word++);
        if (word == words && words < normal.size())
            parts << normal.last();
    }
    return parts.join(QLatin1Char(' '));
}

// Reads a rule text: its rates, its normal form, or why it is not valid.
bool ReadRuleText(const QString& text, QList<TTariffRate>* rates, QString* normalText, QString* error)
{
    QList<TRuleLine> lines;
    if (!SplitRuleText(text, lines, error))
        return false;
    QHash<QString, int> prefixes;
    QStringList out;
    for (const TRuleLine& line : lines) {
        if (line.Words().isEmpty()) {
            out << line.Text();
            continue;
        }
        TTariffRate rate;
        QStringList normal;
        if (!ReadRate(line, rate, normal, error))
            return false;
        const auto seen = prefixes.constFind(rate.Prefix);
        if (seen != prefixes.constEnd()) {
            SetError(error, QStringLiteral("Line %1: the prefix %2 has a rate already in line %3.")
                                .arg(line.Number)
                                .arg(normal.at(1))
                                .arg(seen.value()));
            return false;
        }
        prefixes.insert(rate.Prefix, line.Number);
        if (rates)
            rates->append(rate);
        out << NormalLine(line, normal);
    }
    if (normalText) {
        QStringList physical = out.join(QLatin1Char('\n')).split(QLatin1Char('\n'));
        for (QString& l : physical) {
            while (!l.isEmpty() && l.back().isSpace())
                l.chop(1);
        }
        while (!physical.isEmpty() && physical.first().isEmpty())
            physical.removeFirst();
        while (!physical.isEmpty() && physical.last().isEmpty())
            physical.removeLast();
        *normalText = physical.isEmpty() ? QString() : physical.join(QLatin1Char('\n')) + QLatin1Char('\n');
    }
    return true;
}

}  // namespace

double RoundMoney(double value)
{
    return std::round(value * 100.0) / 100.0;
}

bool TTariffRules::Parse(const QString& text, QString* error)
{
    QList<TTariffRate> parsed;
    if (!ReadRuleText(text, &parsed, nullptr, error))
        return false;
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

QString NormaliseTariffRules(const QString& text, QString* error)
{
    QString normal;
    if (!ReadRuleText(text, nullptr, &normal, error))
        return QString();
    if (normal.isEmpty())
        SetError(error, QStringLiteral("The tariff rules are empty."));
    return normal;
}

QString EmptyTariffRule()
{
    return QStringLiteral("rate * 0.00 0.00 60\n");
}

QString TariffRuleTemplate()
{
    return QStringLiteral(
        "{ One rate per line: rate PREFIX FEE PER_MINUTE STEP\n"
        "  PREFIX  the first digits of the dialled number, * for every number\n"
        "  FEE  the connection fee of an answered call\n"
        "  PER_MINUTE  the price of one minute\n"
        "  STEP  the billing step in seconds (60 when left out)\n"
        "  The rate with the longest matching prefix charges the call. }\n"
        "# Local calls: every number without a longer prefix\n"
        "rate * 0.00 0.04 60\n"
        "# Long-distance calls\n"
        "rate 0 0.05 0.09 60\n"
        "# Mobile networks, billed by the second\n"
        "rate 087 0.05 0.22 1\n"
        "rate 088 0.05 0.24 1\n"
        "rate 089 0.05 0.23 1\n"
        "# International calls, cheaper to the neighbours\n"
        "rate 00 0.10 0.60 60\n"
        "rate 0030 0.10 0.40 60\n"
        "rate 0040 0.10 0.40 60\n"
        "# Free-phone and emergency numbers\n"
        "rate 0800 0.00 0.00 1\n"
        "rate 112 0.00 0.00 1\n");
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
