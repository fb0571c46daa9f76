#include "server/DemoData.h"

#include "schema/ExchangeFormats.h"
#include "server/Database.h"
#include "server/EventLog.h"
#include "server/Settings.h"
#include "server/SqlValues.h"
#include "server/TariffRules.h"

#include <QList>

#include <algorithm>
#include <random>

namespace {

constexpr int kDays = 92;
constexpr double kVatPercent = 20;

// std::mt19937 is the same everywhere; the distributions of <random> are not, so the
// ranges are drawn here.
class TRandom {
public:
    explicit TRandom(unsigned seed) : engine_(seed) {}
    int Range(int low, int high)
    {
        return low + static_cast<int>(engine_() % static_cast<unsigned>(high - low + 1));
    }
    bool Chance(int percent) { return Range(1, 100) <= percent; }
    template <typename T>
    const T& Pick(const QList<T>& items)
    {
        return items.at(Range(0, static_cast<int>(items.size()) - 1));
    }

private:
    std::mt19937 engine_;
};

const QStringList kFirstNames = {
    QStringLiteral("Ivan"),    QStringLiteral("Maria"),     QStringLiteral("Georgi"),
    QStringLiteral("Elena"),   QStringLiteral("Dimitar"),   QStringLiteral("Petya"),
    QStringLiteral("Nikolay"), QStringLiteral("Desislava"), QStringLiteral("Stoyan"),
    QStringLiteral("Radka"),   QStringLiteral("Todor"),     QStringLiteral("Vesela"),
    QStringLiteral("Kalin"),   QStringLiteral("Milena"),    QStringLiteral("Boris"),
    QStringLiteral("Yana"),
};
const QStringList kLastNames = {
    QStringLiteral("Petrov"),    QStringLiteral("Ivanova"), QStringLiteral("Georgiev"),
    QStringLiteral("Dimitrova"), QStringLiteral("Nikolov"), QStringLiteral("Stoyanova"),
    QStringLiteral("Todorov"),   QStringLiteral("Koleva"),  QStringLiteral("Angelov"),
    QStringLiteral("Marinova"),  QStringLiteral("Hristov"), QStringLiteral("Pavlova"),
};

struct TCode {
    int Pbx;
    QString Code;
};

struct TRuleSet {
    const char* Name;
    const char* Text;
};

const TRuleSet kRuleSets[] = {
    {"Local", "# Calls within the city: every number without a longer prefix\nrate * 0.00 0.04 60\n"},
    {"National", "# Long-distance calls\nrate 0 0.05 0.09 60\n"},
    {"Mobile",
     "# Mobile networks, billed by the second\nrate 087 0.05 0.22 1\nrate 088 0.05 0.24 1\n"
     "rate 089 0.05 0.23 1\n"},
    {"International",
     "# Abroad, cheaper to the main partners\nrate 00 0.10 0.60 60\nrate 0049 0.10 0.45 60\n"
     "rate 0044 0.10 0.48 60\n"
     "rate 001 0.10 0.35 60\n"},
    {"Free", "# Emergency and free-phone numbers\nrate 112 0.00 0.00 1\nrate 0800 0.00 0.00 1\n"},
};

QString Insert(TDatabase& db, const QString& table, const QStringList& columns, const QVariantList& values)
{
    TStatement stmt =
        db.Prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                       .arg(table, columns.join(QStringLiteral(", ")),
                            QStringList(columns.size(), QStringLiteral("?")).join(QStringLiteral(", "))));
    for (int i = 0; i < values.size(); ++i)
        stmt.Bind(i + 1, values.at(i));
    stmt.Step();
    return QString::number(db.LastInsertRowId());
}

QString PhoneNumber(TRandom& rnd)
{
    const int kind = rnd.Range(1, 100);
    auto digits = [&](int count) {
        QString s;
        for (int i = 0; i < count; ++i)
            s += QLatin1Char(static_cast<char>('0' + rnd.Range(0, 9)));
        return s;
    };
    if (kind <= 45)
        return QString::number(rnd.Range(2, 9)) + digits(6);
    if (kind <= 65)
        return rnd.Pick(QStringList{QStringLiteral("032"), QStringLiteral("052"), QStringLiteral("056"),
                                    QStringLiteral("064"), QStringLiteral("082")}) +
               digits(6);
    if (kind <= 90)
        return rnd.Pick(QStringList{QStringLiteral("087"), QStringLiteral("088"), QStringLiteral("089")}) +
               digits(7);
    if (kind <= 97)
        return rnd.Pick(QStringList{QStringLiteral("0049"), QStringLiteral("0044"), QStringLiteral("001"),
                                    QStringLiteral("0030"), QStringLiteral("0039")}) +
               digits(8);
    return kind == 98 ? QStringLiteral("112") : QStringLiteral("0800") + digits(5);
}

int Duration(TRandom& rnd)
{
    const int kind = rnd.Range(1, 100);
    if (kind <= 14)
        return 0;  // not answered
    if (kind <= 60)
        return rnd.Range(5, 120);
    if (kind <= 90)
        return rnd.Range(60, 600);
    return rnd.Range(300, 3600);
}

void SeedReferenceData(TDatabase& db, TRandom& rnd, QList<TCode>& extensions, QList<TCode>& pinCodes,
                       TDemoSummary& summary)
{
    const QStringList exchanges = {QStringLiteral("Head office Sofia"), QStringLiteral("Branch Plovdiv"),
                                   QStringLiteral("Warehouse Varna")};
    for (const QString& name : exchanges)
        Insert(db, QStringLiteral("PBX"), {QStringLiteral("NAME")}, {name});
    const QStringList groups = {QStringLiteral("Management"), QStringLiteral("Sales"),
                                QStringLiteral("Support"),    QStringLiteral("Accounting"),
                                QStringLiteral("Logistics"),  QStringLiteral("Engineering")};
    for (const QString& name : groups)
        Insert(db, QStringLiteral("GROUPS"), {QStringLiteral("NAME")}, {name});
    struct TPlan {
        const char* Name;
        double Limit;
        int Interval;
    };
    const TPlan plans[] = {{"Standard monthly", 50, -1},
                           {"Sales monthly", 150, -1},
                           {"Daily allowance", 5, 86400},
                           {"Weekly allowance", 20, 604800}};
    for (const TPlan& p : plans)
        Insert(db, QStringLiteral("LIMIT_PLAN"),
               {QStringLiteral("NAME"), QStringLiteral("MONEY_LIMIT"), QStringLiteral("RESET_INTERVAL")},
               {QLatin1String(p.Name), p.Limit, p.Interval});
    summary.Exchanges = static_cast<int>(exchanges.size());
    summary.Groups = static_cast<int>(groups.size());

    auto person = [&] { return rnd.Pick(kFirstNames) + QLatin1Char(' ') + rnd.Pick(kLastNames); };
    auto limitPlan = [&](int group) -> QVariant {
        if (rnd.Chance(30))
            return QVariant();
        return group == 2 ? 2 : rnd.Range(1, 4);
    };
    // 28 extensions at the head office, 14 at the branch, 8 at the warehouse.
    const int perExchange[] = {28, 14, 8};
    for (int pbx = 1; pbx <= 3; ++pbx) {
        for (int i = 0; i < perExchange[pbx - 1]; ++i) {
            const QString code = QString::number(pbx * 100 + 1 + i);
            const int group = rnd.Range(1, static_cast<int>(groups.size()));
            Insert(db, QStringLiteral("EXTENSION"),
                   {QStringLiteral("CODE"), QStringLiteral("NAME"), QStringLiteral("GROUP_ID"),
                    QStringLiteral("PBX_ID"), QStringLiteral("LIMIT_PLAN_ID")},
                   {code, person(), group, pbx, limitPlan(group)});
            extensions.append({pbx, code});
        }
    }
    const int pinsPerExchange[] = {18, 8, 4};
    for (int pbx = 1; pbx <= 3; ++pbx) {
        QStringList used;
        while (used.size() < pinsPerExchange[pbx - 1]) {
            const QString code = QString::number(rnd.Range(1000, 9999));
            if (used.contains(code))
                continue;
            used << code;
            const int group = rnd.Range(1, static_cast<int>(groups.size()));
            const int cor = rnd.Range(1, 5);
            Insert(db, QStringLiteral("PIN_CODE"),
                   {QStringLiteral("CODE"), QStringLiteral("NAME"), QStringLiteral("GROUP_ID"),
                    QStringLiteral("PBX_ID"), QStringLiteral("LIMIT_PLAN_ID"), QStringLiteral("COR"),
                    QStringLiteral("OLDCOR")},
                   {code, person(), group, pbx, limitPlan(group), cor, cor});
            pinCodes.append({pbx, code});
        }
    }
    summary.Extensions = static_cast<int>(extensions.size());
    summary.PinCodes = static_cast<int>(pinCodes.size());

    Insert(db, QStringLiteral("CALL_SCHEMA"), {QStringLiteral("NAME"), QStringLiteral("TEXT")},
           {QStringLiteral("Head office SMDR"), DemoDataFormat()});
    // Formats of real exchanges, for an installation to start from.
    for (const TExchangeFormat& f : ExchangeFormats())
        Insert(db, QStringLiteral("CALL_SCHEMA"), {QStringLiteral("NAME"), QStringLiteral("TEXT")}, {f.Name, f.Text});
    for (const TRuleSet& r : kRuleSets)
        Insert(db, QStringLiteral("TARIFF_RULES"), {QStringLiteral("NAME"), QStringLiteral("TEXT")},
               {QLatin1String(r.Name), QLatin1String(r.Text)});
    TSettings settings(db);
    settings.SetString(setting::SchemaInUse, DemoDataFormat());
    settings.SetInt(setting::PbxInUse, 1);
    settings.SetString(setting::VatPercent, QString::number(kVatPercent));

    const QString none;
    const struct {
        const char* Name;
        const char* Setup;
    } reports[] = {
        {"All calls",
         "REC_DATETIME,PBX_NAME,EXT_CODE,EXT_NAME,PIN_CODE,PHONE,DURATION,CHARGE;REC_DATETIME,ID;"},
        {"Calls by extension", "EXT_CODE,EXT_NAME,TOTAL_COUNT,TOTAL_DURATION,TOTAL_CHARGE;EXT_CODE;"},
        {"Charges by group",
         "EXT_GROUP,TOTAL_COUNT,TOTAL_DURATION,TOTAL_RAW_CHARGE,TOTAL_VAT,TOTAL_CHARGE;EXT_GROUP;"},
    };
    for (const auto& r : reports)
        Insert(db, QStringLiteral("REPORT"),
               {QStringLiteral("NAME"), QStringLiteral("SETUP"), QStringLiteral("GRID"),
                QStringLiteral("SPECIAL")},
               {QLatin1String(r.Name), QLatin1String(r.Setup), none, none});
}

struct TCall {
    TDateTime Start;
    int Duration;
    TCode Line;
    QString Pin;
    QString Phone;
    int Trunk, Circuit;
};

void SeedCalls(TDatabase& db, TRandom& rnd, const QDate& lastDay, const QList<TCode>& extensions,
               const QList<TCode>& pinCodes, TDemoSummary& summary)
{
    TTariffRules rules;
    for (const TRuleSet& r : kRuleSets)
        rules.Parse(QLatin1String(r.Text));
    TStatement insert = db.Prepare(QStringLiteral(
        "INSERT INTO CALL (REC_DATETIME, END_DATETIME, START_DATETIME, DURATION, PBX_ID, EXT_CODE, PIN_CODE, "
        "PHONE, CIRCUIT, TRUNK, CALL_TYPE, RAW_CHARGE, VAT, CHARGE, PULSES) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (int d = kDays - 1; d >= 0; --d) {
        const QDate day = lastDay.addDays(-d);
        const bool weekend = day.dayOfWeek() >= 6;
        const int count = weekend ? rnd.Range(30, 80) : rnd.Range(300, 420);
        QList<TCall> calls;
        for (int i = 0; i < count; ++i) {
            TCall c;
            const int hour =
                weekend ? rnd.Range(9, 16) : (rnd.Chance(90) ? rnd.Range(8, 17) : rnd.Range(6, 21));
            c.Start =
                EncodeDateTime(day.year(), day.month(), day.day(), hour, rnd.Range(0, 59), rnd.Range(0, 59));
            c.Duration = Duration(rnd);
            c.Line = extensions.at(rnd.Range(0, static_cast<int>(extensions.size()) - 1));
            if (rnd.Chance(20)) {
                QList<const TCode*> own;
                for (const TCode& p : pinCodes)
                    if (p.Pbx == c.Line.Pbx)
                        own << &p;
                c.Pin = own.at(rnd.Range(0, static_cast<int>(own.size()) - 1))->Code;
            }
            c.Phone = PhoneNumber(rnd);
            c.Trunk = rnd.Range(1, 8);
            c.Circuit = rnd.Range(1, 30);
            calls.append(c);
        }
        std::stable_sort(calls.begin(), calls.end(),
                         [](const TCall& a, const TCall& b) { return a.Start < b.Start; });
        for (const TCall& c : calls) {
            const TDateTime end = IncSeconds(c.Start, c.Duration);
            const TDateTime received = IncSeconds(end, rnd.Range(0, 4));
            const std::optional<TCharge> charge = rules.Charge(c.Phone, c.Duration, kVatPercent);
            int i = 1;
            insert.BindText(i++, DateTimeToSqlText(received));
            insert.BindText(i++, DateTimeToSqlText(end));
            insert.BindText(i++, DateTimeToSqlText(c.Start));
            insert.BindInt(i++, c.Duration);
            insert.BindInt(i++, c.Line.Pbx);
            insert.BindText(i++, c.Line.Code);
            if (c.Pin.isEmpty())
                insert.BindNull(i++);
            else
                insert.BindText(i++, c.Pin);
            insert.BindText(i++, c.Phone);
            insert.BindText(i++, QString::number(c.Circuit));
            insert.BindText(i++, QString::number(c.Trunk));
            insert.BindText(i++, QStringLiteral("O"));
            insert.BindDouble(i++, charge ? charge->Raw : 0);
            insert.BindDouble(i++, charge ? charge->Vat : 0);
            insert.BindDouble(i++, charge ? charge->Total : 0);
            insert.BindInt(i++, (c.Duration + 59) / 60);
            insert.Step();
            insert.Reset();
            ++summary.Calls;
        }
    }
}

// What is left of each limit in the current period, and when the period ends.
void SeedLimits(TDatabase& db, const QDate& lastDay)
{
    for (const char* table : {"EXTENSION", "PIN_CODE"}) {
        const QString codeColumn = QLatin1String(table) == QLatin1String("EXTENSION")
                                       ? QStringLiteral("EXT_CODE")
                                       : QStringLiteral("PIN_CODE");
        TStatement rows =
            db.Prepare(QStringLiteral("SELECT t.rowid, t.PBX_ID, t.CODE, l.MONEY_LIMIT, l.RESET_INTERVAL "
                                      "FROM %1 t JOIN LIMIT_PLAN l ON t.LIMIT_PLAN_ID = l.ID")
                           .arg(QLatin1String(table)));
        TStatement update =
            db.Prepare(QStringLiteral("UPDATE %1 SET MONEY_LEFT = ?, NEXT_RESET = ? WHERE rowid = ?")
                           .arg(QLatin1String(table)));
        while (rows.Step()) {
            const int interval = static_cast<int>(rows.Int(4));
            QDate start = QDate(lastDay.year(), lastDay.month(), 1), next = start.addMonths(1);
            if (interval == 86400) {
                start = lastDay;
                next = lastDay.addDays(1);
            } else if (interval == 604800) {
                start = lastDay.addDays(1 - lastDay.dayOfWeek());
                next = start.addDays(7);
            }
            const double spent =
                db.Scalar(QStringLiteral("SELECT coalesce(sum(CHARGE), 0) FROM CALL WHERE PBX_ID = ? "
                                         "AND %1 = ? AND START_DATETIME >= ?")
                              .arg(codeColumn),
                          {rows.Int(1), rows.Text(2), DateTimeToSqlText(DateTimeFromQDate(start))})
                    .toDouble();
            update.BindDouble(1, RoundMoney(qMax(0.0, rows.Double(3) - spent)));
            update.BindText(2, DateTimeToSqlText(DateTimeFromQDate(next)));
            update.BindInt(3, rows.Int(0));
            update.Step();
            update.Reset();
        }
    }
}

void SeedEvents(TDatabase& db, TRandom& rnd, const QDate& lastDay, TDemoSummary& summary)
{
    TEventLog log(db);
    auto at = [](const QDate& day, int hour, int minute, int second) {
        return EncodeDateTime(day.year(), day.month(), day.day(), hour, minute, second);
    };
    for (int d = kDays - 1; d >= 0; --d) {
        const QDate day = lastDay.addDays(-d);
        int n = 0;
        if (day.dayOfWeek() == 1) {
            log.Add(category::Application, TSeverity::Information, QStringLiteral("Telvane Server started"),
                    at(day, 6, 58, 12));
            log.Add(category::Receiver, TSeverity::Information,
                    QStringLiteral("Receiver started: listening for call data on port 9100"),
                    at(day, 6, 58, 13));
            n += 2;
        }
        const int clients = rnd.Range(1, 4);
        for (int i = 0; i < clients; ++i) {
            const int hour = rnd.Range(8, 16);
            log.Add(category::Client, TSeverity::Information,
                    QStringLiteral("Client %1 (192.168.1.%2) connected, version 320.")
                        .arg(i + 1)
                        .arg(rnd.Range(20, 90)),
                    at(day, hour, rnd.Range(0, 29), rnd.Range(0, 59)));
            log.Add(category::Reports, TSeverity::Information,
                    QStringLiteral("Report run by client %1: %2 rows").arg(i + 1).arg(rnd.Range(10, 5000)),
                    at(day, hour, rnd.Range(30, 59), rnd.Range(0, 59)));
            n += 2;
        }
        if (rnd.Chance(25)) {
            log.Add(category::Invalid, TSeverity::Warning,
                    QStringLiteral("The line does not match the data format in use: \"%1/%2 ERR 0000 ????\"")
                        .arg(day.day(), 2, 10, QLatin1Char('0'))
                        .arg(day.month(), 2, 10, QLatin1Char('0')),
                    at(day, rnd.Range(8, 17), rnd.Range(0, 59), rnd.Range(0, 59)));
            ++n;
        }
        if (rnd.Chance(10)) {
            log.Add(
                category::Commands, TSeverity::Information,
                QStringLiteral("Command sent to the exchange: block extension %1").arg(rnd.Range(101, 128)),
                at(day, rnd.Range(8, 17), rnd.Range(0, 59), rnd.Range(0, 59)));
            ++n;
        }
        if (rnd.Chance(5)) {
            log.Add(category::Receiver, TSeverity::Error,
                    QStringLiteral(
                        "The connection to the exchange was lost; the receiver waits for it to come back. "
                        "Calls made meanwhile are sent by the exchange when the link returns, so none "
                        "are lost."),
                    at(day, rnd.Range(8, 17), rnd.Range(0, 59), rnd.Range(0, 59)));
            ++n;
        }
        if (day.day() == 1) {
            log.Add(category::Application, TSeverity::Information,
                    QStringLiteral("Monthly limits were reset."), at(day, 0, 0, 5));
            ++n;
        }
        summary.Events += n;
    }
}

}  // namespace

QString DemoDataFormat()
{
    return QStringLiteral(
        "(DAY:2)/(MONTH:2)/(YEAR:2) (HOUR:2):(MIN:2) (durhour:2):(durmin:2):(dursec:2) [EXTENSION:5) "
        "[pincode:6) [PHONE:20) (trunk:3] (circuit:3] (type:1){date_time:end}\\r\\n");
}

QString TDemoSummary::Text() const
{
    return QStringLiteral("%1 exchanges, %2 groups, %3 extensions, %4 PIN codes, %5 calls, %6 log events")
        .arg(Exchanges)
        .arg(Groups)
        .arg(Extensions)
        .arg(PinCodes)
        .arg(Calls)
        .arg(Events);
}

TDemoSummary SeedDemoData(TDatabase& db, const QDate& lastDay)
{
    TDemoSummary summary;
    TTransaction tx(db);
    TRandom rnd(20240229u);
    QList<TCode> extensions, pinCodes;
    SeedReferenceData(db, rnd, extensions, pinCodes, summary);
    SeedCalls(db, rnd, lastDay, extensions, pinCodes, summary);
    SeedLimits(db, lastDay);
    SeedEvents(db, rnd, lastDay, summary);
    tx.Commit();
    return summary;
}
