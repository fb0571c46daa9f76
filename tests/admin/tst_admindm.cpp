// The administration's data module and page controllers against the real server: the
// tables as the client sees them (text handlers, lookups, "***" marks, defaults of new
// rows), the list filters, block and unblock through the command queue, and the record
// rules of the pages (required columns, canonical data formats, duplicates, tariff rules,
// deletions the server refuses).

#include "admin/AdminDM.h"
#include "admin/AdminPages.h"
#include "admin/FormatTrial.h"
#include "core/Errors.h"
#include "server/SqlValues.h"
#include "shell/DMQueue.h"
#include "support/ConnectedClient.h"
#include "support/InstalledAnswerer.h"
#include "support/LogCapture.h"
#include "support/ReceiverHelpers.h"

#include <QTest>

#include <memory>

namespace {

std::function<void(TServerOptions&)> Demo()
{
    return [](TServerOptions& o) {
        o.Demo = true;
        o.DemoDate = QDate(2024, 3, 31);
        o.CommandRetryMs = 3600000;
    };
}

std::unique_ptr<TAdminDM> MakeDM(TConnectedClient& c)
{
    return std::make_unique<TAdminDM>(c.Client.Child(module::AdminRDM), c.Client.Main(),
                                      c.Client.Module(module::CommandsRDM));
}

QString Text(TRemoteDataSet& ds, const char* field)
{
    return ds.FieldByName(QLatin1String(field))->DisplayText();
}

// A page over the dataset without controls, as the window builds it.
TAdminPageSetup Setup(TRemoteDataSet& ds)
{
    TAdminPageSetup s;
    s.DataSet = &ds;
    s.DeleteQuestion = QStringLiteral("Delete \"%1\"?");
    return s;
}

}  // namespace

class TestAdminDM : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void resetIntervalTexts_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("1 minute test") << QVariant(60) << "1 minute test";
        QTest::newRow("5 minute test") << QVariant(300) << "5 minute test";
        QTest::newRow("1 day") << QVariant(86400) << "1 day";
        QTest::newRow("1 week") << QVariant(604800) << "1 week";
        QTest::newRow("1 month") << QVariant(-1) << "1 month";
        QTest::newRow("an hour is in no entry") << QVariant(3600) << "1 month";
        QTest::newRow("null, which the server counts as a month") << QVariant() << "1 month";
    }

    // The limit plan's period shows as its entry's text in the grid and in the combo box.
    void resetIntervalTexts()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        TConnectedClient c;
        QVERIFY2(c.Ready(), qPrintable(c.Error()));
        auto dm = MakeDM(c);
        TRemoteDataSet& plans = dm->cdsLimitPlan;
        plans.Append();
        plans.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("Plan"));
        plans.FieldByName(QStringLiteral("MONEY_LIMIT"))->SetAsFloat(10);
        plans.FieldByName(QStringLiteral("RESET_INTERVAL"))->SetValue(value);
        plans.Post();
        plans.ApplyUpdatesOrRaise();
        dm->Reload(plans);
        QCOMPARE(Text(plans, "RESET_INTERVAL"), text);
        QCOMPARE(plans.FieldByName(QStringLiteral("RESET_INTERVAL"))->Text(), text);
    }

    void enteredIntervalTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("as listed") << "1 day" << 86400;
        QTest::newRow("other case") << "1 WEEK" << 604800;
        QTest::newRow("minutes") << "5 Minute Test" << 300;
        QTest::newRow("not in the list") << "fortnight" << -1;
        QTest::newRow("empty") << "" << -1;
    }

    void enteredIntervalTexts()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        TConnectedClient c;
        QVERIFY2(c.Ready(), qPrintable(c.Error()));
        auto dm = MakeDM(c);
        dm->cdsLimitPlan.Append();
        TField* interval = dm->cdsLimitPlan.FieldByName(QStringLiteral("RESET_INTERVAL"));
        interval->SetText(text);
        QCOMPARE(interval->AsInteger(), value);
    }

    // The lookups name the rows their IDs refer to; the "***" marks follow what the server
    // uses, also on two formats of the same text.
    void lookupsAndMarks()
    {
        TConnectedClient c(Demo());
        QVERIFY2(c.Ready(), qPrintable(c.Error()));
        auto dm = MakeDM(c);
        TRemoteDataSet& ext = dm->cdsExtension;
        QVERIFY(ext.RecordCount() > 0);
        for (ext.First(); !ext.Eof(); ext.Next()) {
            const QVariant group = ext.FieldByName(QStringLiteral("GROUP_ID"))->Value();
            QCOMPARE(Text(ext, "lkpGroupName"),
                     dm->cdsGroups.Lookup(QStringLiteral("ID"), {group}, QStringLiteral("NAME")).toString());
            const QVariant pbx = ext.FieldByName(QStringLiteral("PBX_ID"))->Value();
            QCOMPARE(Text(ext, "lkpPBX"), dm->cdsPbx.Lookup(QStringLiteral("ID"), {pbx}, QStringLiteral("NAME")).toString());
            const QVariant plan = ext.FieldByName(QStringLiteral("LIMIT_PLAN_ID"))->Value();
            QCOMPARE(Text(ext, "lkpLimitPlan"),
                     plan.isValid() ? dm->cdsLimitPlan.Lookup(QStringLiteral("ID"), {plan}, QStringLiteral("NAME")).toString()
                                    : QString());
        }

        QCOMPARE(dm->ActivePbxId(), 1);
        for (dm->cdsPbx.First(); !dm->cdsPbx.Eof(); dm->cdsPbx.Next())
            QCOMPARE(Text(dm->cdsPbx, "ClcActive"),
                     dm->cdsPbx.FieldByName(QStringLiteral("ID"))->AsInteger() == 1 ? QStringLiteral("***") : QString());

        // A second format with the text in use, and one with another text.
        TRemoteDataSet& formats = dm->cdsCallSchema;
        formats.AppendRecord({QStringLiteral("Copy"), dm->ActiveSchemaText()});
        formats.AppendRecord({QStringLiteral("Other"), QStringLiteral("(EXTENSION:3)")});
        formats.ApplyUpdatesOrRaise();
        dm->Reload(formats);
        QStringList marked;
        for (formats.First(); !formats.Eof(); formats.Next())
            if (Text(formats, "ClcActive") == QLatin1String("***"))
                marked << Text(formats, "NAME");
        marked.sort();
        QCOMPARE(marked, (QStringList{QStringLiteral("Copy"), QStringLiteral("Head office SMDR")}));

        // The mark moves with the exchange in use once the list is read again.
        QVERIFY(dm->cdsPbx.Locate(QStringLiteral("ID"), {2}));
        dm->UseSelectedPbx();
        QCOMPARE(dm->ActivePbxId(), 2);
        QCOMPARE(dm->cdsPbx.FieldByName(QStringLiteral("ID"))->AsInteger(), 2);
        QCOMPARE(Text(dm->cdsPbx, "ClcActive"), QStringLiteral("***"));
    }

    // A new code takes the exchange and group the lists have selected; an empty group list
    // gives 0, which passes the required check and is refused by the server.
    void newCodeDefaults()
    {
        TConnectedClient c;
        QVERIFY2(c.Ready(), qPrintable(c.Error()));
        auto dm = MakeDM(c);
        dm->cdsPbx.AppendRecord({QVariant(), QStringLiteral("First")});
        dm->cdsPbx.AppendRecord({QVariant(), QStringLiteral("Second")});
        dm->cdsPbx.ApplyUpdatesOrRaise();
        QVERIFY(dm->cdsPbx.Locate(QStringLiteral("NAME"), {QStringLiteral("Second")}));
        const int second = dm->cdsPbx.FieldByName(QStringLiteral("ID"))->AsInteger();

        TInstalledAnswerer answers;
        TLogCapture logs;
        TExtPinPage page(Setup(dm->cdsExtension), *dm);
        page.NewRow();
        QCOMPARE(dm->cdsExtension.FieldByName(QStringLiteral("PBX_ID"))->AsInteger(), second);
        QCOMPARE(dm->cdsExtension.FieldByName(QStringLiteral("GROUP_ID"))->Value(), QVariant(0));
        dm->cdsExtension.FieldByName(QStringLiteral("CODE"))->SetAsString(QStringLiteral("101"));
        dm->cdsExtension.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("Reception"));
        QVERIFY(!page.SaveRow());  // no group 0 on the server
        QVERIFY(answers.Asked().isEmpty());
        QCOMPARE(logs.LiveLog.size(), 1);
        QVERIFY2(logs.LiveLog.first().startsWith(QLatin1String("Failed saving record. A referenced row does not exist.")),
                 qPrintable(logs.LiveLog.first()));
        QVERIFY(page.IsEditing());
        QCOMPARE(dm->cdsExtension.FieldByName(QStringLiteral("NAME"))->AsString(), QStringLiteral("Reception"));
        QCOMPARE(ServerScalar(c.Server, QStringLiteral("SELECT count(*) FROM EXTENSION")).toInt(), 0);
    }

    void filters_data()
    {
        QTest::addColumn<int>("by");
        QTest::addColumn<QString>("where");
        QTest::newRow("all") << int(TAdminDM::TFilterBy::All) << "1 = 1";
        QTest::newRow("by exchange") << int(TAdminDM::TFilterBy::Pbx) << "PBX_ID = 2";
        QTest::newRow("by group") << int(TAdminDM::TFilterBy::Group) << "GROUP_ID = 2";
        QTest::newRow("by limit plan") << int(TAdminDM::TFilterBy::LimitPlan) << "LIMIT_PLAN_ID = 2";
    }

    // The reopened lists hold the rows the clause selects, and keep the current code when
    // it is still there.
    void filters()
    {
        QFETCH(int, by);
        QFETCH(QString, where);
        TConnectedClient c(Demo());
        QVERIFY2(c.Ready(), qPrintable(c.Error()));
        auto dm = MakeDM(c);
        for (const auto& [list, table] : {std::pair{TAdminDM::TCodeList::Extensions, "EXTENSION"},
                                          std::pair{TAdminDM::TCodeList::PinCodes, "PIN_CODE"}}) {
            TRemoteDataSet& ds = list == TAdminDM::TCodeList::Extensions ? dm->cdsExtension : dm->cdsPinCode;
            const QString expected = ServerScalar(c.Server, QStringLiteral("SELECT min(CODE) FROM %1 WHERE %2")
                                                                .arg(QLatin1String(table), where))
                                         .toString();
            QVERIFY(ds.Locate(QStringLiteral("CODE"), {expected}));
            dm->SetFilter(list, static_cast<TAdminDM::TFilterBy>(by), 2);
            QCOMPARE(ds.RecordCount(),
                     ServerScalar(c.Server, QStringLiteral("SELECT count(*) FROM %1 WHERE %2").arg(QLatin1String(table), where))
                         .toInt());
            QCOMPARE(ds.FieldByName(QStringLiteral("CODE"))->AsString(), expected);
        }
        QCOMPARE(TAdminDM::FilterClause(static_cast<TAdminDM::TFilterBy>(by), 2),
                 by == int(TAdminDM::TFilterBy::All) ? QString() : QStringLiteral("where ") + where);
    }

    // Client text never reaches SQL: anything but the four forms is refused and the list
    // stays as it was.
    void injectedClauseRefused_data()
    {
        QTest::addColumn<QString>("clause");
        QTest::newRow("always true") << "where 1 = 1";
        QTest::newRow("statement after") << "where PBX_ID = 1; DELETE FROM EXTENSION";
        QTest::newRow("or") << "where PBX_ID = 1 or 1 = 1";
        QTest::newRow("subquery") << "where PBX_ID = (SELECT 1)";
        QTest::newRow("other column") << "where CODE = 101";
        QTest::newRow("not a number") << "where GROUP_ID = x";
    }

    void injectedClauseRefused()
    {
        QFETCH(QString, clause);
        TConnectedClient c(Demo());
        QVERIFY2(c.Ready(), qPrintable(c.Error()));
        auto dm = MakeDM(c);
        dm->SetFilter(TAdminDM::TCodeList::Extensions, TAdminDM::TFilterBy::Pbx, 3);
        const int before = dm->cdsExtension.RecordCount();
        QString message;
        QCOMPARE(OleErrorOf(
                     [&] {
                         c.Client.Module(module::AdminRDM)
                             .Call(dispid::AdminRDM::SetFilterClause, {QStringLiteral("qryExtension"), clause});
                     },
                     &message),
                 hr::DISP_E_EXCEPTION_);
        QVERIFY2(message.contains(QLatin1String("refused")), qPrintable(message));
        dm->Reload(dm->cdsExtension);
        QCOMPARE(dm->cdsExtension.RecordCount(), before);
        QCOMPARE(ServerScalar(c.Server, QStringLiteral("SELECT count(*) FROM EXTENSION")).toInt(), 50);
    }

    // Block and unblock reach the command queue (as the queue window reads it) and the
    // stored state; a PIN code's list is erased only when asked.
    void blockAndUnblock()
    {
        TConnectedClient c(Demo());
        QVERIFY2(c.Ready(), qPrintable(c.Error()));
        auto dm = MakeDM(c);
        TQueueDM queue(c.Client.Module(module::CommandsRDM));
        QVERIFY(dm->cdsExtension.Locate(QStringLiteral("PBX_ID;CODE"), {2, QStringLiteral("205")}));
        dm->BlockExtension();
        QVERIFY(dm->cdsPinCode.Locate(QStringLiteral("PBX_ID"), {1}));
        const QString pin = dm->cdsPinCode.FieldByName(QStringLiteral("CODE"))->AsString();
        dm->BlockPinCode(true);
        auto blocked = [&](const char* table, int pbx, const QString& code) {
            return ServerScalar(c.Server,
                                QStringLiteral("SELECT BLOCKED FROM %1 WHERE PBX_ID = ? AND CODE = ?").arg(QLatin1String(table)),
                                {pbx, code})
                .toInt();
        };
        QCOMPARE(blocked("EXTENSION", 2, QStringLiteral("205")), 1);
        QCOMPARE(blocked("PIN_CODE", 1, pin), 1);
        dm->UnblockExtension();
        QCOMPARE(blocked("EXTENSION", 2, QStringLiteral("205")), 0);
        dm->UnblockPinCode();
        QCOMPARE(blocked("PIN_CODE", 1, pin), 0);
        QStringList texts;
        for (const TQueueDM::TCommand& command : queue.Commands())
            texts << command.Text;
        QCOMPARE(texts, (QStringList{QStringLiteral("BLOCK EXTENSION 205 PBX 2"),
                                     QStringLiteral("BLOCK PIN %1 PBX 1 ERASE LIST").arg(pin),
                                     QStringLiteral("UNBLOCK EXTENSION 205 PBX 2"),
                                     QStringLiteral("UNBLOCK PIN %1 PBX 1").arg(pin)}));
        QVERIFY(!dm->PinBlockingErasesLists());  // the demo's protocol: Avaya Definity
    }

    void requiredColumns_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("warning");
        QTest::newRow("both empty") << "" << "" << "Please, fill in Number and Name.";
        QTest::newRow("name blank") << "101" << " \t " << "Please, fill in Name.";
        QTest::newRow("number of control characters") << "\x01\x02" << "Anna" << "Please, fill in Number.";
        QTest::newRow("both there") << "101" << "Anna" << "";
    }

    void requiredColumns()
    {
        QFETCH(QString, code);
        QFETCH(QString, name);
        QFETCH(QString, warning);
        TConnectedClient c(Demo());
        QVERIFY2(c.Ready(), qPrintable(c.Error()));
        auto dm = MakeDM(c);
        dm->SetFilter(TAdminDM::TCodeList::Extensions, TAdminDM::TFilterBy::Pbx, 3);
        TInstalledAnswerer answers;
        TExtPinPage page(Setup(dm->cdsExtension), *dm);
        page.NewRow();
        dm->cdsExtension.FieldByName(QStringLiteral("CODE"))->SetAsString(code);
        dm->cdsExtension.FieldByName(QStringLiteral("NAME"))->SetAsString(name);
        dm->cdsExtension.FieldByName(QStringLiteral("PBX_ID"))->SetAsInteger(3);
        dm->cdsExtension.FieldByName(QStringLiteral("GROUP_ID"))->SetAsInteger(1);
        const bool saved = page.SaveRow();
        QCOMPARE(saved, warning.isEmpty());
        QCOMPARE(page.IsEditing(), !saved);
        if (!saved) {
            QCOMPARE(answers.Asked().size(), 1);
            QCOMPARE(answers.Asked().first().Kind, TMsgKind::Warning);
            QCOMPARE(answers.Asked().first().Text, warning);
        }
        QCOMPARE(ServerScalar(c.Server, QStringLiteral("SELECT count(*) FROM EXTENSION WHERE PBX_ID = 3 AND NAME = ?"),
                              {name})
                     .toInt(),
                 saved ? 1 : 0);
    }

    // A duplicate number is a warning; the row stays for correction and then saves; the
    // saved code with a plan starts its period on the server.
    void duplicateThenCorrected()
    {
        TConnectedClient c(Demo());
        QVERIFY2(c.Ready(), qPrintable(c.Error()));
        auto dm = MakeDM(c);
        TInstalledAnswerer answers;
        TExtPinPage page(Setup(dm->cdsExtension), *dm);
        page.NewRow();
        TRemoteDataSet& ds = dm->cdsExtension;
        ds.FieldByName(QStringLiteral("CODE"))->SetAsString(QStringLiteral("101"));
        ds.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("Newcomer"));
        ds.FieldByName(QStringLiteral("PBX_ID"))->SetAsInteger(1);
        ds.FieldByName(QStringLiteral("GROUP_ID"))->SetAsInteger(1);
        ds.FieldByName(QStringLiteral("LIMIT_PLAN_ID"))->SetAsInteger(3);
        QVERIFY(!page.SaveRow());
        QCOMPARE(answers.Asked().size(), 1);
        QCOMPARE(answers.Asked().first().Text, QStringLiteral("Such a record already exists."));
        QVERIFY(page.IsEditing());
        QCOMPARE(ds.FieldByName(QStringLiteral("NAME"))->AsString(), QStringLiteral("Newcomer"));
        ds.FieldByName(QStringLiteral("CODE"))->SetAsString(QStringLiteral("199"));
        QVERIFY(page.SaveRow());
        QVERIFY(!page.IsEditing());
        const QStringList row = ServerRow(
            c.Server, QStringLiteral("SELECT NAME, MONEY_LEFT, NEXT_RESET > ? FROM EXTENSION WHERE PBX_ID = 1 AND CODE = '199'"),
            {DateTimeToSqlText(Now())});
        QCOMPARE(row, (QStringList{QStringLiteral("Newcomer"), QStringLiteral("5.0"), QStringLiteral("1")}));
    }

    void dataFormats_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");  // empty: refused
        QTest::newRow("three lines") << "(EXTENSION:3) \r\n(PHONE:10)\r\n {date_time:start}"
                                     << "(EXTENSION:3) (PHONE:10) {date_time:start}";
        QTest::newRow("lone line feed in a literal") << "(EXTENSION:3) -\n- (PHONE:10)" << "(EXTENSION:3) -- (PHONE:10)";
        QTest::newRow("lone carriage return") << "(EXTENSION:3)\r(PHONE:10)" << "(EXTENSION:3)(PHONE:10)";
        QTest::newRow("unsized field") << "(phone)" << "";
        QTest::newRow("only line breaks") << "\r\n\r\n" << "";
    }

    // A stored format is one canonical line; an invalid one is refused and stays in edit.
    void dataFormats()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        TConnectedClient c;
        QVERIFY2(c.Ready(), qPrintable(c.Error()));
        auto dm = MakeDM(c);
        TInstalledAnswerer answers;
        TSchemasPage page(Setup(dm->cdsCallSchema));
        page.NewRow();
        dm->cdsCallSchema.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("Trial"));
        dm->cdsCallSchema.FieldByName(QStringLiteral("TEXT"))->SetAsString(typed);
        QCOMPARE(page.SaveRow(), !stored.isEmpty());
        const QVariant onServer = ServerScalar(c.Server, QStringLiteral("SELECT TEXT FROM CALL_SCHEMA"));
        if (stored.isEmpty()) {
            QCOMPARE(answers.Asked().size(), 1);
            QCOMPARE(answers.Asked().first().Kind, TMsgKind::Error);
            QCOMPARE(answers.Asked().first().Text, QStringLiteral("Invalid data format."));
            QVERIFY(page.IsEditing());
            QVERIFY(!onServer.isValid());
        } else {
            QCOMPARE(onServer.toString(), stored);
        }
    }

    // Tariff rules are the server's to check: refused rules are a warning and leave the
    // row in edit with the server's (empty) answer.
    void tariffRules()
    {
        TConnectedClient c;
        QVERIFY2(c.Ready(), qPrintable(c.Error()));
        auto dm = MakeDM(c);
        TInstalledAnswerer answers;
        TTariffsPage page(Setup(dm->cdsTariffRules), *dm);
        page.NewRow();
        TField* text = dm->cdsTariffRules.FieldByName(QStringLiteral("TEXT"));
        dm->cdsTariffRules.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("Rules"));
        text->SetAsString(QStringLiteral("this is no rule"));
        QVERIFY(!page.SaveRow());
        QCOMPARE(answers.Asked().first().Text, QStringLiteral("Configure tariff rules."));
        QVERIFY(page.IsEditing());
        QCOMPARE(text->AsString(), QString());
        text->SetAsString(dm->TariffRuleTemplate());
        QVERIFY(page.SaveRow());
        QCOMPARE(ServerScalar(c.Server, QStringLiteral("SELECT count(*) FROM TARIFF_RULES")).toInt(), 1);
    }

    // Deleting: nothing is asked of an empty table; a code that calls refer to is refused
    // by the server and comes back; a code without calls goes.
    void deleting()
    {
        TConnectedClient c(Demo());
        QVERIFY2(c.Ready(), qPrintable(c.Error()));
        auto dm = MakeDM(c);
        TInstalledAnswerer answers({TMsgButton::Yes, TMsgButton::Yes});
        TAdminPage empty(Setup(dm->cdsTariffRules));
        dm->cdsTariffRules.DisableControls();
        while (!dm->cdsTariffRules.IsEmpty())
            dm->cdsTariffRules.Delete();
        dm->cdsTariffRules.EnableControls();
        QVERIFY(!empty.DeleteRow());
        QVERIFY(answers.Asked().isEmpty());
        dm->cdsTariffRules.CancelUpdates();

        const QString used = ServerScalar(c.Server, QStringLiteral("SELECT min(EXT_CODE) FROM CALL WHERE PBX_ID = 1"))
                                 .toString();
        QVERIFY(dm->cdsExtension.Locate(QStringLiteral("PBX_ID;CODE"), {1, used}));
        TExtPinPage page(Setup(dm->cdsExtension), *dm);
        TLogCapture logs;
        QVERIFY(!page.DeleteRow());
        QCOMPARE(logs.LiveLog.size(), 1);
        QVERIFY2(logs.LiveLog.first().startsWith(QStringLiteral("Failed deleting record. The extension \"%1\" cannot be "
                                                                "deleted: calls refer to it.")
                                                     .arg(used)),
                 qPrintable(logs.LiveLog.first()));
        QCOMPARE(answers.Asked().first().Text,
                 QStringLiteral("Delete \"%1\"?").arg(dm->cdsExtension.FieldByName(QStringLiteral("NAME"))->AsString()));
        QVERIFY(dm->cdsExtension.Locate(QStringLiteral("PBX_ID;CODE"), {1, used}));
        QCOMPARE(dm->cdsExtension.ChangeCount(), 0);
        QCOMPARE(ServerScalar(c.Server, QStringLiteral("SELECT count(*) FROM EXTENSION WHERE PBX_ID = 1 AND CODE = ?"),
                              {used})
                     .toInt(),
                 1);
    }

    void referencedRows_data()
    {
        QTest::addColumn<QString>("table");  // the dataset's name
        QTest::addColumn<bool>("withCalls");
        QTest::addColumn<QString>("change");  // delete, or the column given a new value
        QTest::addColumn<int>("code");        // 0: applied
        QTest::newRow("extension with calls deleted") << "cdsExtension" << true << "delete" << 9734;
        QTest::newRow("extension with calls renumbered") << "cdsExtension" << true << "CODE" << 9734;
        QTest::newRow("extension with calls moved") << "cdsExtension" << true << "PBX_ID" << 9734;
        QTest::newRow("extension with calls renamed") << "cdsExtension" << true << "NAME" << 0;
        QTest::newRow("extension without calls deleted") << "cdsExtension" << false << "delete" << 0;
        QTest::newRow("PIN code with calls deleted") << "cdsPinCode" << true << "delete" << 9734;
        QTest::newRow("PIN code without calls renumbered") << "cdsPinCode" << false << "CODE" << 0;
        QTest::newRow("group with used codes deleted") << "cdsGroups" << true << "delete" << 9734;
        QTest::newRow("exchange with calls deleted") << "cdsPbx" << true << "delete" << 9734;
    }

    // Rows that calls refer to keep what the calls name them by: the server refuses the
    // change and keeps the row; nothing else is refused.
    void referencedRows()
    {
        QFETCH(QString, table);
        QFETCH(bool, withCalls);
        QFETCH(QString, change);
        QFETCH(int, code);
        TConnectedClient c(Demo());
        QVERIFY2(c.Ready(), qPrintable(c.Error()));
        auto dm = MakeDM(c);
        TRemoteDataSet* ds = nullptr;
        for (TRemoteDataSet* candidate : {&dm->cdsGroups, &dm->cdsPbx, &dm->cdsExtension, &dm->cdsPinCode})
            if (candidate->objectName() == table)
                ds = candidate;
        QVERIFY(ds);
        const bool pin = table == QLatin1String("cdsPinCode");
        if (table == QLatin1String("cdsGroups") || table == QLatin1String("cdsPbx")) {
            QVERIFY(ds->Locate(QStringLiteral("ID"), {1}));
        } else {
            const QString tableName = pin ? QStringLiteral("PIN_CODE") : QStringLiteral("EXTENSION");
            QStringList found;
            if (withCalls) {
                found = ServerRow(c.Server,
                                  QStringLiteral("SELECT t.PBX_ID, t.CODE FROM %1 t WHERE EXISTS (SELECT 1 FROM CALL c "
                                                 "WHERE c.PBX_ID = t.PBX_ID AND c.%2 = t.CODE) ORDER BY t.PBX_ID, t.CODE")
                                      .arg(tableName, pin ? QStringLiteral("PIN_CODE") : QStringLiteral("EXT_CODE")));
            } else {
                // A code of its own, which no call names.
                ServerScalar(c.Server, QStringLiteral("INSERT INTO %1 (CODE, NAME, GROUP_ID, PBX_ID) VALUES "
                                                      "('9990', 'New', 1, 1)")
                                           .arg(tableName));
                dm->Reload(*ds);
                found = QStringList{QStringLiteral("1"), QStringLiteral("9990")};
            }
            QVERIFY2(!found.isEmpty(), "the demo has no such code");
            QVERIFY(ds->Locate(QStringLiteral("PBX_ID;CODE"), {found.at(0).toInt(), found.at(1)}));
        }
        const int rows = ds->RecordCount();
        if (change == QLatin1String("delete")) {
            ds->Delete();
        } else {
            ds->Edit();
            TField* f = ds->FieldByName(change);
            if (change == QLatin1String("PBX_ID"))
                f->SetAsInteger(2);
            else
                f->SetAsString(QStringLiteral("9998"));
            ds->Post();
        }
        QCOMPARE(ds->ApplyUpdates(0), code ? 1 : 0);
        if (code) {
            QCOMPARE(ds->ApplyErrors().first().Code, code);
            QVERIFY2(ds->ApplyErrors().first().Message.contains(QLatin1String("refer")),
                     qPrintable(ds->ApplyErrors().first().Message));
            ds->CancelUpdates();
            dm->Reload(*ds);
            QCOMPARE(ds->RecordCount(), rows);
        }
    }

    void formatTrial_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QStringList>("fields");
        const QString format = QStringLiteral("(DAY:2).(MONTH:2).(YEAR:2) (HOUR:2):(MIN:2) (EXTENSION:4] (PHONE:12]");
        QTest::newRow("matched") << format << "24.12.25 10:30 1010 0888123456" << int(TFormatTrial::TOutcome::Matched)
                                 << QStringList{"End of call=24.12.2025 10:30:00", "Extension=1010", "Phone number=0888123456  "};
        QTest::newRow("unpadded end") << format << "24.12.25 10:30 1010 0888" << int(TFormatTrial::TOutcome::Matched)
                                      << QStringList{"End of call=24.12.2025 10:30:00", "Extension=1010", "Phone number=0888        "};
        QTest::newRow("no match") << format << "*** ALARM ***" << int(TFormatTrial::TOutcome::NoMatch) << QStringList{};
        QTest::newRow("format typed over lines") << "(EXTENSION:3)\r\n (PHONE:5]" << "101 12345"
                                                 << int(TFormatTrial::TOutcome::Matched)
                                                 << QStringList{"Extension=101", "Phone number=12345"};
        QTest::newRow("invalid format") << "(phone)" << "101" << int(TFormatTrial::TOutcome::InvalidFormat) << QStringList{};
        QTest::newRow("no line yet") << format << "" << int(TFormatTrial::TOutcome::NoLine) << QStringList{};
    }

    // The editor's trial shows the fields a line yields, as the server would read them.
    void formatTrial()
    {
        QFETCH(QString, format);
        QFETCH(QString, line);
        QFETCH(int, outcome);
        QFETCH(QStringList, fields);
        const TFormatTrial trial = TryFormat(format, line);
        QCOMPARE(int(trial.Outcome), outcome);
        QStringList got;
        for (const auto& [label, value] : trial.Fields)
            if (label != QLatin1String("End of call") || fields.join(QString()).contains(QLatin1String("End of call")))
                got << label + QLatin1Char('=') + value;
        QCOMPARE(got, fields);
    }
};

QTEST_MAIN(TestAdminDM)
#include "tst_admindm.moc"
