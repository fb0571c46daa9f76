#include "calls/CallFieldInfo.h"
#include "calls/Globals.h"
#include "core/RegionalSettings.h"
#include "core/Variants.h"

#include <QCoreApplication>
#include <QHash>
#include <QTest>
#include <QTranslator>

#include <typeinfo>

namespace {

QString ClassOf(const TCallFieldInfo& info)
{
    const std::type_info& type = typeid(info);
    if (type == typeid(TCallTimeFieldInfo))
        return QStringLiteral("time");
    if (type == typeid(TCallListFieldInfo))
        return QStringLiteral("list");
    if (type == typeid(TCallPhoneFieldInfo))
        return QStringLiteral("phone");
    if (type == typeid(TCallExtPinFieldInfo))
        return QStringLiteral("extpin");
    if (type == typeid(TCallSpanFieldInfo))
        return QStringLiteral("span");
    if (type == typeid(TCallDurationFieldInfo))
        return QStringLiteral("duration");
    if (type == typeid(TCallChargeFieldInfo))
        return QStringLiteral("charge");
    if (type == typeid(TCallCountFieldInfo))
        return QStringLiteral("count");
    if (type == typeid(TCallFieldInfo))
        return QStringLiteral("base");
    return QStringLiteral("?");
}

QList<int> JoinIds(TJoinSet joins)
{
    QList<int> ids;
    for (TJoinId id : joins)
        ids << id;
    return ids;
}

// Stands in for a compiled Bulgarian set: a few texts of the two contexts.
class TBulgarianTexts : public QTranslator {
public:
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        const QString key = QString::fromLatin1(context) + QLatin1Char('|') + QString::fromUtf8(source);
        static const QHash<QString, QString> texts{
            {"TCallFieldInfo|Duration", "Продължителност"},
            {"TCallFieldInfo|or missing", "или липсва"},
            {"TCallFieldInfo|between %1 and %2", "между %1 и %2"},
            {"Globals|m", "мин"},
        };
        return texts.value(key);
    }
};

}  // namespace

class TestCallFieldInfo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { CreateCallFieldInfos(); }

    void init()
    {
        TRegionalSettings rs;
        rs.DecimalSeparator = QLatin1Char('.');
        rs.CurrencyString = QStringLiteral("$");
        rs.CurrencyFormat = 0;
        rs.ShortDateFormat = QStringLiteral("dd.mm.yyyy");
        rs.LongTimeFormat = QStringLiteral("hh:nn:ss");
        TRegionalSettings::SetCurrent(rs);
        SetReportFormats(QString(), QString());
    }

    void catalogue_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("selectItem");
        QTest::addColumn<QString>("groupItem");
        QTest::addColumn<QList<int>>("joins");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("handler");
        using J = QList<int>;
        auto row = [](int id, const char* name, const char* caption, const char* select, const char* group,
                      J joins, const char* kind, int width, bool handler) {
            QTest::addRow("%d %s", id, name)
                << id << QString::fromUtf8(name) << QString::fromUtf8(caption) << QString::fromUtf8(select)
                << QString::fromUtf8(group) << joins << QString::fromUtf8(kind) << width << handler;
        };
        row(0, "", "", "", "", {}, "base", 0, false);
        row(1, "ID", "Call ID", "c.ID", "c.ID", {}, "span", 8, false);
        row(2, "ARCHIVE_ID", "Archive ID", "c.ARCHIVE_ID", "c.ARCHIVE_ID", {}, "list", 4, false);
        row(3, "REC_DATETIME", "Received time", "c.REC_DATETIME", "c.REC_DATETIME", {}, "time", 20, true);
        row(4, "END_DATETIME", "End time", "c.END_DATETIME", "c.END_DATETIME", {}, "time", 20, true);
        row(5, "START_DATETIME", "Start time", "c.START_DATETIME", "c.START_DATETIME", {}, "time", 20, true);
        row(6, "DURATION", "Duration", "c.DURATION", "c.DURATION", {}, "duration", 8, true);
        row(7, "PBX_ID", "PBX number", "c.PBX_ID", "c.PBX_ID", {}, "list", 4, false);
        row(8, "EXT_CODE", "Extension", "c.EXT_CODE", "c.EXT_CODE", {}, "extpin", 8, false);
        row(9, "PIN_CODE", "PIN code", "c.PIN_CODE", "c.PIN_CODE", {}, "extpin", 8, false);
        row(10, "EXTRA_CODE", "Extra code", "c.EXTRA_CODE", "c.EXTRA_CODE", {}, "list", 8, false);
        row(11, "PHONE", "Phone", "c.PHONE", "c.PHONE", {}, "phone", 16, false);
        row(12, "CIRCUIT", "Circuit", "c.CIRCUIT", "c.CIRCUIT", {}, "list", 4, false);
        row(13, "TRUNK", "Trunk", "c.TRUNK", "c.TRUNK", {}, "list", 4, false);
        row(14, "CALL_TYPE", "Call type", "c.CALL_TYPE", "c.CALL_TYPE", {}, "list", 4, false);
        row(15, "RAW_CHARGE", "Raw charge", "c.RAW_CHARGE", "c.RAW_CHARGE", {}, "charge", 8, true);
        row(16, "VAT", "VAT", "c.VAT", "c.VAT", {}, "charge", 8, true);
        row(17, "CHARGE", "Charge", "c.CHARGE", "c.CHARGE", {}, "charge", 8, true);
        row(18, "PULSES", "Pulses", "c.PULSES", "c.PULSES", {}, "count", 4, false);
        row(19, "TEXT", "Text", "c.TEXT", "c.TEXT", {}, "list", 64, false);
        row(20, "ARCHIVE_NAME", "Archive name", "a.COMMENT ARCHIVE_NAME", "a.COMMENT", {1}, "list", 16,
            false);
        row(21, "PBX_NAME", "PBX name", "x.NAME PBX_NAME", "x.NAME", {0}, "list", 16, false);
        row(22, "EXT_NAME", "Extension name", "e.NAME EXT_NAME", "e.NAME", {2}, "list", 16, false);
        row(23, "PIN_NAME", "PIN name", "p.NAME PIN_NAME", "p.NAME", {3}, "list", 16, false);
        row(24, "EXT_GROUP_ID", "Extension group", "e.GROUP_ID EXT_GROUP_ID", "e.GROUP_ID", {2}, "list", 4,
            false);
        row(25, "PIN_GROUP_ID", "PIN group", "p.GROUP_ID PIN_GROUP_ID", "p.GROUP_ID", {3}, "list", 4, false);
        row(26, "EXT_GROUP", "Extension group", "eg.NAME EXT_GROUP", "eg.NAME", {2, 4}, "list", 16, false);
        row(27, "PIN_GROUP", "PIN group", "pg.NAME PIN_GROUP", "pg.NAME", {3, 5}, "list", 16, false);
        row(28, "EXT_LIMIT_ID", "Extension limit", "e.LIMIT_PLAN_ID EXT_LIMIT_ID", "e.LIMIT_PLAN_ID", {2},
            "list", 4, false);
        row(29, "PIN_LIMIT_ID", "PIN limit", "p.LIMIT_PLAN_ID PIN_LIMIT_ID", "p.LIMIT_PLAN_ID", {3}, "list",
            4, false);
        row(30, "EXT_LIMIT", "Extension limit", "el.NAME EXT_LIMIT", "el.NAME", {2, 6}, "list", 16, false);
        row(31, "PIN_LIMIT", "PIN limit", "pl.NAME PIN_LIMIT", "pl.NAME", {3, 7}, "list", 16, false);
        row(32, "TOTAL_COUNT", "Call count", "count(c.ID) TOTAL_COUNT", "count(c.ID)", {}, "count", 8, false);
        row(33, "TOTAL_DURATION", "Total duration", "sum(c.DURATION) TOTAL_DURATION", "sum(c.DURATION)", {},
            "duration", 8, true);
        row(34, "TOTAL_RAW_CHARGE", "Total raw charge", "sum(c.RAW_CHARGE) TOTAL_RAW_CHARGE",
            "sum(c.RAW_CHARGE)", {}, "charge", 8, true);
        row(35, "TOTAL_VAT", "Total VAT", "sum(c.VAT) TOTAL_VAT", "sum(c.VAT)", {}, "charge", 8, true);
        row(36, "TOTAL_CHARGE", "Total charge", "sum(c.CHARGE) TOTAL_CHARGE", "sum(c.CHARGE)", {}, "charge",
            8, true);
        row(37, "TOTAL_PULSES", "Total pulses", "sum(c.PULSES) TOTAL_PULSES", "sum(c.PULSES)", {}, "count", 8,
            false);
    }
    void catalogue()
    {
        QFETCH(int, id);
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, selectItem);
        QFETCH(QString, groupItem);
        QFETCH(QList<int>, joins);
        QFETCH(QString, kind);
        QFETCH(int, width);
        QFETCH(bool, handler);
        const TCallFieldInfo& info = FieldInfo(static_cast<TCallFieldId>(id));
        QCOMPARE(int(info.Id()), id);
        QCOMPARE(info.Name(), name);
        QCOMPARE(info.Caption(), caption);
        QCOMPARE(SelectItem(info), selectItem);
        QCOMPARE(GroupItem(info), groupItem);
        QCOMPARE(info.SqlExpression(), groupItem);
        QCOMPARE(JoinIds(info.Joins()), joins);
        QCOMPARE(ClassOf(info), kind);
        QCOMPARE(int(info.DisplayWidth()), width);
        QCOMPARE(bool(info.GetTextHandler()), handler);
        if (!name.isEmpty())
            QCOMPARE(int(FieldIdByName(name)), id);
        const TCallSpanFieldInfo* span = SpanFieldInfo(static_cast<TCallFieldId>(id));
        QCOMPARE(span != nullptr,
                 kind == "span" || kind == "duration" || kind == "charge" || kind == "count");
        if (span != nullptr) {
            const TSpanConversions& c = span->Conversions();
            const bool all = c.PositionToValue && c.ValueToPosition && c.ValueToText && c.TextToValue;
            const bool none = !c.PositionToValue && !c.ValueToPosition && !c.ValueToText && !c.TextToValue;
            QVERIFY(id == cfCallId ? none : all);
            QCOMPARE(span->HasConversions(), all);
        }
    }

    void fieldIdByName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("id");
        QTest::newRow("exact") << "VAT" << int(cfVat);
        QTest::newRow("case matters") << "vat" << int(cfNone);
        QTest::newRow("empty") << "" << int(cfNone);
        QTest::newRow("blank around") << " VAT" << int(cfNone);
        QTest::newRow("server's own column") << "ROW_NUMBER" << int(cfNone);
        QTest::newRow("expression is no name") << "c.VAT" << int(cfNone);
    }
    void fieldIdByName()
    {
        QFETCH(QString, name);
        QFETCH(int, id);
        const TCallFieldId found = FieldIdByName(name);
        QCOMPARE(int(found), id);
        if (found == cfNone) {
            QCOMPARE(FieldInfo(found).Caption(), QString());
            QCOMPARE(int(FieldInfo(found).DisplayWidth()), 0);
        }
    }

    void numbersOutsideTheCatalogue()
    {
        QCOMPARE(int(FieldInfo(static_cast<TCallFieldId>(200)).Id()), int(cfNone));
        TCallFieldId id = cfVat;
        QVERIFY(!TryCallFieldId(38, id));
        QVERIFY(!TryCallFieldId(-1, id));
        QCOMPARE(int(id), int(cfVat));
        QVERIFY(TryCallFieldId(37, id));
        QCOMPARE(int(id), int(cfTotalPulses));
    }

    void joinClauses_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QString>("clause");
        QTest::newRow("0") << 0 << "x"
                           << "inner join PBX x on c.PBX_ID = x.ID\r\n";
        QTest::newRow("1") << 1 << "a"
                           << "left join ARCHIVE a on c.ARCHIVE_ID = a.ID\r\n";
        QTest::newRow("2") << 2 << "e"
                           << "left join EXTENSION e on c.PBX_ID = e.PBX_ID and c.EXT_CODE = e.CODE\r\n";
        QTest::newRow("3") << 3 << "p"
                           << "left join PIN_CODE p on c.PBX_ID = p.PBX_ID and c.PIN_CODE = p.CODE\r\n";
        QTest::newRow("4") << 4 << "eg"
                           << "left join GROUPS eg on e.GROUP_ID = eg.ID\r\n";
        QTest::newRow("5") << 5 << "pg"
                           << "left join GROUPS pg on p.GROUP_ID = pg.ID\r\n";
        QTest::newRow("6") << 6 << "el"
                           << "left join LIMIT_PLAN el on e.LIMIT_PLAN_ID = el.ID\r\n";
        QTest::newRow("7") << 7 << "pl"
                           << "left join LIMIT_PLAN pl on p.LIMIT_PLAN_ID = pl.ID\r\n";
        QTest::newRow("outside") << 8 << ""
                                 << "";
    }
    void joinClauses()
    {
        QFETCH(int, id);
        QFETCH(QString, alias);
        QFETCH(QString, clause);
        QCOMPARE(JoinClause(static_cast<TJoinId>(id)), clause);
        QCOMPARE(JoinAlias(static_cast<TJoinId>(id)), alias);
    }

    void fieldSets()
    {
        QList<int> totals;
        for (TCallFieldId id : TotalFields)
            totals << id;
        QCOMPARE(totals, (QList<int>{32, 33, 34, 35, 36, 37}));

        TCallFieldSet set{cfVat, cfCallId, cfTotalPulses};
        QList<int> order;
        for (TCallFieldId id : set)
            order << id;
        QCOMPARE(order, (QList<int>{1, 16, 37}));
        QVERIFY(set.Contains(cfVat));
        QVERIFY(!set.Contains(cfCharge));
        QCOMPARE(set * TotalFields, TCallFieldSet{cfTotalPulses});
        QCOMPARE(set - TotalFields, (TCallFieldSet{cfCallId, cfVat}));
        QCOMPARE((set + TotalFields).Count(), 8);
        QVERIFY(!(set == TotalFields));
        set.Include(cfNone);
        set.Exclude(cfVat);
        set.Include(static_cast<TCallFieldId>(60));  // no such field: ignored
        QCOMPARE(set, (TCallFieldSet{cfNone, cfCallId, cfTotalPulses}));
        QVERIFY(TCallFieldSet().IsEmpty());
    }

    void joinsOfSelectedFieldsComeInOrder()
    {
        TJoinSet joins;
        for (TCallFieldId id : TCallFieldSet{cfExtLimitName, cfPinName, cfExtName})
            joins += FieldInfo(id).Joins();
        QString text;
        for (TJoinId id : joins)
            text += JoinClause(id);
        QCOMPARE(text,
                 QStringLiteral("left join EXTENSION e on c.PBX_ID = e.PBX_ID and c.EXT_CODE = e.CODE\r\n"
                                "left join PIN_CODE p on c.PBX_ID = p.PBX_ID and c.PIN_CODE = p.CODE\r\n"
                                "left join LIMIT_PLAN el on e.LIMIT_PLAN_ID = el.ID\r\n"));
    }

    void conditions_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("summary");
        const QString month =
            RangeText(EncodeDateTime(2006, 12, 1), EncodeDateTime(2006, 12, 31, 23, 59, 59));
        QTest::newRow("interval") << int(cfRecTime) << month
                                  << "c.REC_DATETIME between '2006-12-01' and '2006-12-31 23:59:59'"
                                  << "Received time: from 01.12.2006 to 31.12.2006 23:59:59";
        QTest::newRow("interval swapped") << int(cfEndTime) << "39083,39082.5"
                                          << "c.END_DATETIME between '2006-12-31 12:00:00' and '2007-01-01'"
                                          << "End time: from 31.12.2006 12:00:00 to 01.01.2007";
        QTest::newRow("interval one element") << int(cfStartTime) << "39083"
                                              << ""
                                              << "";
        QTest::newRow("interval empty") << int(cfStartTime) << ""
                                        << ""
                                        << "";
        QTest::newRow("interval beyond the calendar") << int(cfStartTime) << "1E300,39083"
                                                      << ""
                                                      << "";

        QTest::newRow("list two") << int(cfTrunk) << "1,2"
                                  << "c.TRUNK in ('1', '2')"
                                  << "Trunk: 1, 2";
        QTest::newRow("list value and missing") << int(cfTrunk) << "1,-"
                                                << "c.TRUNK = '1' or c.TRUNK is null"
                                                << "Trunk: 1 or missing";
        QTest::newRow("list missing only") << int(cfTrunk) << "-"
                                           << "c.TRUNK is null"
                                           << "Trunk: missing";
        QTest::newRow("list missing twice") << int(cfCircuit) << "-,-"
                                            << "c.CIRCUIT is null"
                                            << "Circuit: missing";
        QTest::newRow("list two and missing") << int(cfTrunk) << "1,2,-"
                                              << "c.TRUNK in ('1', '2') or c.TRUNK is null"
                                              << "Trunk: 1, 2 or missing";
        QTest::newRow("list empty") << int(cfCallType) << ""
                                    << ""
                                    << "";
        QTest::newRow("list quote") << int(cfText) << "O'Brien"
                                    << "c.TEXT = 'O''Brien'"
                                    << "Text: O'Brien";
        QTest::newRow("list injection stays quoted") << int(cfExtraCode) << "x' or '1'='1"
                                                     << "c.EXTRA_CODE = 'x'' or ''1''=''1'"
                                                     << "Extra code: x' or '1'='1";
        QTest::newRow("list on a joined name") << int(cfExtGroupName) << "Sales"
                                               << "eg.NAME = 'Sales'"
                                               << "Extension group: Sales";

        QTest::newRow("prefixes") << int(cfPhone) << "359,0"
                                  << "(c.PHONE like '359%') or (c.PHONE like '0%')"
                                  << "Phone: 359, 0";
        QTest::newRow("prefix missing only") << int(cfPhone) << "-"
                                             << "c.PHONE is null"
                                             << "Phone: missing";
        QTest::newRow("prefix and missing") << int(cfPhone) << "0,-"
                                            << "(c.PHONE like '0%') or c.PHONE is null"
                                            << "Phone: 0 or missing";
        QTest::newRow("prefix none") << int(cfPhone) << ""
                                     << ""
                                     << "";
        QTest::newRow("prefix quotes doubled") << int(cfPhone) << "1' or '1'='1"
                                               << "(c.PHONE like '1'' or ''1''=''1%')"
                                               << "Phone: 1' or '1'='1";
        QTest::newRow("prefix percent stands for itself") << int(cfPhone) << "12%"
                                                          << "(c.PHONE like '12\\%%' escape '\\')"
                                                          << "Phone: 12%";
        QTest::newRow("prefix underscore and escape character")
            << int(cfPhone) << "0_\\,35"
            << "(c.PHONE like '0\\_\\\\%' escape '\\') or (c.PHONE like '35%')"
            << "Phone: 0_\\, 35";
        QTest::newRow("prefix quote beside a wildcard") << int(cfPhone) << "'_"
                                                        << "(c.PHONE like '''\\_%' escape '\\')"
                                                        << "Phone: '_";

        QTest::newRow("span between and missing") << int(cfDuration) << "1,60,300,True"
                                                  << "c.DURATION between 60 and 300 or c.DURATION is null"
                                                  << "Duration: between 1m and 5m or missing";
        QTest::newRow("span at most negative") << int(cfPulses) << "2,-1,0,False"
                                               << "c.PULSES <= -1"
                                               << "";
        QTest::newRow("span at most") << int(cfDuration) << "2,300,0,false"
                                      << "c.DURATION <= 300"
                                      << "Duration: at most 5m";
        QTest::newRow("span total at least") << int(cfTotalCharge) << "0,10.5,0,True"
                                             << "sum(c.CHARGE) >= 10.5 or sum(c.CHARGE) is null"
                                             << "Total charge: at least $10.5 or missing";
        QTest::newRow("span missing only") << int(cfPulses) << "0,0,0,True"
                                           << "c.PULSES >= 0 or c.PULSES is null"
                                           << "Pulses: missing";
        QTest::newRow("span nothing to say") << int(cfPulses) << "0,0,0,False"
                                             << "c.PULSES >= 0"
                                             << "";
        QTest::newRow("span other mode") << int(cfTotalCount) << "7,5,0,False"
                                         << "count(c.ID) >= 5"
                                         << "Call count: at least 5";
        QTest::newRow("span unreadable mode") << int(cfTotalCount) << "x,5,0,1"
                                              << "count(c.ID) >= 5 or count(c.ID) is null"
                                              << "Call count: at least 5 or missing";
        QTest::newRow("span exponent bound") << int(cfVat) << "0,1.5E20,0,False"
                                             << "c.VAT >= 1.5E20"
                                             << "VAT: at least $1.5E20";
        QTest::newRow("span bound not a number") << int(cfDuration) << "0,1 or 1=1,0,False"
                                                 << ""
                                                 << "";
        QTest::newRow("span bound with text") << int(cfDuration) << "0,60;drop table CALL,0,False"
                                              << ""
                                              << "";
        QTest::newRow("span bound with blanks around") << int(cfDuration) << "0, 60\t,0,False"
                                                       << "c.DURATION >=  60\t"
                                                       << "Duration: at least 1m";
        QTest::newRow("span bound written in a locale") << int(cfVat) << "0,1 5,0,False"
                                                        << ""
                                                        << "";
        QTest::newRow("span bound infinite") << int(cfCharge) << "0,INF,0,False"
                                             << ""
                                             << "";
        QTest::newRow("span high not a number") << int(cfCharge) << "1,5,abc,False"
                                                << ""
                                                << "";
        QTest::newRow("span high unused when at least") << int(cfCharge) << "0,5,abc,False"
                                                        << "c.CHARGE >= 5"
                                                        << "";
        QTest::newRow("span three elements") << int(cfDuration) << "1,60,300"
                                             << ""
                                             << "";
        // The flag reads as in the pages' state lines: a padded word is no boolean.
        QTest::newRow("span padded flag") << int(cfDuration) << "1,60,300, True"
                                          << "c.DURATION between 60 and 300"
                                          << "Duration: between 1m and 5m";
        QTest::newRow("span flag as an integer") << int(cfDuration) << "1,60,300,-1"
                                                 << "c.DURATION between 60 and 300 or c.DURATION is null"
                                                 << "Duration: between 1m and 5m or missing";
        QTest::newRow("span on call id") << int(cfCallId) << "0,5,0,False"
                                         << "c.ID >= 5"
                                         << "Call ID: at least 5";

        QTest::newRow("selection") << int(cfExtCode) << "Main:101,102;Branch:3001;True"
                                   << ""
                                   << "Extension: Main:101,102, Branch:3001 or missing";
        QTest::newRow("selection without missing") << int(cfExtCode) << "Main:101;False"
                                                   << ""
                                                   << "Extension: Main:101";
        QTest::newRow("selection all") << int(cfExtCode) << "+;True"
                                       << ""
                                       << "";
        QTest::newRow("selection none") << int(cfPinCode) << "-;False"
                                        << ""
                                        << "";
        QTest::newRow("selection single element") << int(cfPinCode) << "Main:101"
                                                  << ""
                                                  << "";
        QTest::newRow("selection unreadable flag") << int(cfPinCode) << "A:1;yes"
                                                   << ""
                                                   << "PIN code: A:1";
        QTest::newRow("selection padded flag") << int(cfExtCode) << "Main:101; TRUE"
                                               << ""
                                               << "Extension: Main:101";
        QTest::newRow("selection flag in any case") << int(cfExtCode) << "Main:101;tRuE"
                                                    << ""
                                                    << "Extension: Main:101 or missing";
        QTest::newRow("base field") << int(cfNone) << "1,2"
                                    << ""
                                    << ": 1,2";
    }
    void conditions()
    {
        QFETCH(int, id);
        QFETCH(QString, value);
        QFETCH(QString, condition);
        QFETCH(QString, summary);
        const TCallFieldInfo& info = FieldInfo(static_cast<TCallFieldId>(id));
        QCOMPARE(info.BuildCondition(value), condition);
        QCOMPARE(info.BuildSummary(value), summary);
    }

    void intervalDefaultsToToday()
    {
        const TCallFieldInfo& info = FieldInfo(cfRecTime);
        const QString value = QStringLiteral("abc,def");
        for (int attempt = 0; attempt < 2; ++attempt) {  // a second try if midnight passed meanwhile
            const TDateTime today = Today();
            const QString condition = info.BuildCondition(value);
            const QString summary = info.BuildSummary(value);
            if (today != Today())
                continue;
            QCOMPARE(condition, QStringLiteral("c.REC_DATETIME between %1 and %2")
                                    .arg(SqlDateTime(today), SqlDateTime(today + 1)));
            QCOMPARE(summary, QStringLiteral("Received time: from %1 to %2")
                                  .arg(DateTimeToDefaultText(today), DateTimeToDefaultText(today + 1)));
            return;
        }
        QFAIL("the day changed twice");
    }

    void summariesUnderAnotherLocale()
    {
        TRegionalSettings rs = TRegionalSettings::Current();
        rs.DecimalSeparator = QLatin1Char(',');
        rs.CurrencyString = QStringLiteral("лв");
        rs.CurrencyFormat = 3;
        rs.ShortDateFormat = QStringLiteral("yyyy-mm-dd");
        TRegionalSettings::SetCurrent(rs);
        QCOMPARE(FieldInfo(cfCharge).BuildCondition(QStringLiteral("1,0.5,2.25,False")),
                 QStringLiteral("c.CHARGE between 0.5 and 2.25"));
        QCOMPARE(FieldInfo(cfCharge).BuildSummary(QStringLiteral("1,0.5,2.25,False")),
                 QStringLiteral("Charge: between 0,5 лв and 2,25 лв"));
        QCOMPARE(FieldInfo(cfRecTime).BuildSummary(QStringLiteral("39052,39052.5")),
                 QStringLiteral("Received time: from 2006-12-01 to 2006-12-01 12:00:00"));
    }

    void formatValue_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("dateTimeFormat");
        QTest::addColumn<QString>("durationFormat");
        QTest::addColumn<QString>("expected");
        const QString none;
        QTest::newRow("null time") << int(cfRecTime) << QVariant() << none << none << "";
        QTest::newRow("null time with pattern") << int(cfRecTime) << QVariant() << "yyyy" << none << "";
        QTest::newRow("null duration") << int(cfDuration) << QVariant() << none << "h:nn:ss"
                                       << "";
        QTest::newRow("null charge") << int(cfCharge) << QVariant() << none << none << "";
        QTest::newRow("null list") << int(cfTrunk) << QVariant() << none << none << "";
        QTest::newRow("null count") << int(cfPulses) << QVariant() << none << none << "";

        QTest::newRow("time default")
            << int(cfRecTime) << VarFromDateTime(39052.5) << none << none << "01.12.2006 12:00:00";
        QTest::newRow("time midnight")
            << int(cfEndTime) << VarFromDateTime(39052) << none << none << "01.12.2006";
        QTest::newRow("time as real")
            << int(cfStartTime) << QVariant(39052.5) << none << none << "01.12.2006 12:00:00";
        QTest::newRow("time pattern")
            << int(cfRecTime) << VarFromDateTime(EncodeDateTime(2006, 12, 1, 13, 5, 9, 250))
            << "yyyy-mm-dd hh:nn:ss.zzz" << none << "2006-12-01 13:05:09.250";
        QTest::newRow("time pattern, real value")
            << int(cfRecTime) << QVariant(39052.5) << "dd/mm hh:nn" << none << "01/12 12:00";

        QTest::newRow("duration default") << int(cfDuration) << QVariant(3725) << none << none << "1h,2m,5s";
        QTest::newRow("duration pattern") << int(cfDuration) << QVariant(3725) << none << "h:nn:ss"
                                          << "1:02:05";
        QTest::newRow("duration pattern rounds")
            << int(cfTotalDuration) << QVariant(3725.6) << none << "h:nn:ss"
            << "1:02:06";
        QTest::newRow("total duration 64-bit")
            << int(cfTotalDuration) << QVariant(qint64(93784)) << none << "d'd' hh:nn"
            << "1d 02:03";

        QTest::newRow("charge 12.345 up") << int(cfCharge) << QVariant(12.345) << none << none << "$12.35";
        QTest::newRow("charge exact half to even down")
            << int(cfVat) << QVariant(0.125) << none << none << "$0.12";
        QTest::newRow("charge exact half to even up")
            << int(cfVat) << QVariant(0.375) << none << none << "$0.38";
        QTest::newRow("charge 2.675 is below half")
            << int(cfRawCharge) << QVariant(2.675) << none << none << "$2.67";
        QTest::newRow("charge negative")
            << int(cfTotalCharge) << QVariant(-12.345) << none << none << "$-12.35";
        QTest::newRow("charge whole") << int(cfTotalVat) << QVariant(qint64(7)) << none << none << "$7";

        QTest::newRow("list string") << int(cfPhone) << QVariant(QStringLiteral("0888")) << none << none
                                     << "0888";
        QTest::newRow("count integer") << int(cfPulses) << QVariant(5) << none << none << "5";
        QTest::newRow("count real") << int(cfTotalPulses) << QVariant(1.5) << none << none << "1.5";
    }
    void formatValue()
    {
        QFETCH(int, id);
        QFETCH(QVariant, value);
        QFETCH(QString, dateTimeFormat);
        QFETCH(QString, durationFormat);
        QFETCH(QString, expected);
        SetReportFormats(dateTimeFormat, durationFormat);
        const TCallFieldInfo& info = FieldInfo(static_cast<TCallFieldId>(id));
        QCOMPARE(info.FormatValue(value), expected);
        if (info.GetTextHandler())
            QCOMPARE(info.GetTextHandler()(value), expected);
    }

    void baseValueTextsUseTheLocale()
    {
        TRegionalSettings rs = TRegionalSettings::Current();
        rs.DecimalSeparator = QLatin1Char(',');
        TRegionalSettings::SetCurrent(rs);
        QCOMPARE(FieldInfo(cfTotalPulses).FormatValue(QVariant(1.5)), QStringLiteral("1,5"));
        QCOMPARE(FieldInfo(cfCharge).FormatValue(QVariant(12.345)), QStringLiteral("$12,35"));
    }

    void handlerFollowsTheFormats()
    {
        const auto& handler = FieldInfo(cfDuration).GetTextHandler();
        QCOMPARE(handler(QVariant(3725)), QStringLiteral("1h,2m,5s"));
        SetReportFormats(QString(), QStringLiteral("hh:nn"));
        QCOMPARE(ReportDurationFormat(), QStringLiteral("hh:nn"));
        QCOMPARE(handler(QVariant(3725)), QStringLiteral("01:02"));
        SetReportFormats(QString(), QString());
        QCOMPARE(handler(QVariant(3725)), QStringLiteral("1h,2m,5s"));
    }

    void spanConversions_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("position");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("duration 20") << int(cfDuration) << 20 << 60.0 << "1m";
        QTest::newRow("duration 30") << int(cfTotalDuration) << 30 << 420.0 << "7m";
        QTest::newRow("duration 58") << int(cfDuration) << 58 << 25200.0 << "7h";
        QTest::newRow("money 280") << int(cfCharge) << 280 << 10.0 << "$10";
        QTest::newRow("money 1440") << int(cfTotalRawCharge) << 1440 << 1000.0 << "$1000";
        QTest::newRow("money 7") << int(cfVat) << 7 << 0.07 << "$0.07";
        QTest::newRow("count 101") << int(cfPulses) << 101 << 105.0 << "105";
        QTest::newRow("count 2341") << int(cfTotalCount) << 2341 << 1010000.0 << "1010000";
    }
    void spanConversions()
    {
        QFETCH(int, id);
        QFETCH(int, position);
        QFETCH(double, value);
        QFETCH(QString, text);
        const TCallSpanFieldInfo* span = SpanFieldInfo(static_cast<TCallFieldId>(id));
        QVERIFY(span != nullptr);
        const TSpanConversions& c = span->Conversions();
        QCOMPARE(c.PositionToValue(static_cast<qint16>(position)), value);
        QCOMPARE(int(c.ValueToPosition(value)), position);
        QCOMPARE(c.ValueToText(value), text);
        QCOMPARE(c.TextToValue(text, 12345), value);
        QCOMPARE(c.TextToValue(QStringLiteral("?"), 123), 123.0);
    }

    void textsFollowTheInstalledLanguage()
    {
        TBulgarianTexts bulgarian;
        QVERIFY(QCoreApplication::installTranslator(&bulgarian));
        const TCallFieldInfo& duration = FieldInfo(cfDuration);
        const QString caption = duration.Caption();
        const QString summary = duration.BuildSummary(QStringLiteral("1,60,300,True"));
        const QString parsed = FloatToTextDot(ParseDuration(QStringLiteral("2мин"), 0));
        QCoreApplication::removeTranslator(&bulgarian);
        QCOMPARE(caption, QStringLiteral("Продължителност"));
        QCOMPARE(summary, QStringLiteral("Продължителност: между 1мин и 5мин или липсва"));
        QCOMPARE(parsed, QStringLiteral("120"));
        QCOMPARE(duration.Caption(), QStringLiteral("Duration"));
    }

    void durationPositionsAreWholeSeconds()
    {
        const TSpanConversions& c = SpanFieldInfo(cfDuration)->Conversions();
        for (int p = 0; p <= 32040; ++p) {
            const double seconds = c.PositionToValue(static_cast<qint16>(p));
            QCOMPARE(seconds, std::round(seconds));
            QCOMPARE(int(c.ValueToPosition(seconds)), p);
        }
    }
};

QTEST_GUILESS_MAIN(TestCallFieldInfo)
#include "tst_callfieldinfo.moc"
