// Local (in-memory) datasets: fields, cursor, editing, the change log, calculated and lookup
// fields, text handlers, display-update suspension and the grid model over them.

#include "core/Errors.h"
#include "core/RegionalSettings.h"
#include "remote/DataSetModel.h"
#include "remote/RemoteDataSet.h"
#include "support/DataSetModelCheck.h"
#include "support/ModelTester.h"

#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(TFieldType)

namespace {

// GROUPS as a local table: ID, NAME, ARCHIVE_ID.
std::unique_ptr<TRemoteDataSet> Groups(const QList<QPair<int, QString>>& rows)
{
    auto ds = std::make_unique<TRemoteDataSet>();
    ds->setObjectName(QStringLiteral("cdsGroups"));
    ds->AddField(QStringLiteral("ID"), TFieldType::Integer);
    ds->AddField(QStringLiteral("NAME"), TFieldType::WideString, 100)
        ->SetDisplayLabel(QStringLiteral("Group name"));
    ds->AddField(QStringLiteral("ARCHIVE_ID"), TFieldType::Integer);
    ds->CreateDataSet();
    for (const auto& [id, name] : rows)
        ds->AppendRecord({id, name});
    ds->MergeChangeLog();
    ds->First();
    return ds;
}

QStringList Names(TRemoteDataSet& ds)
{
    QStringList out;
    for (int row = 0; row < ds.RecordCount(); ++row)
        out << ds.ValueAt(row, *ds.FieldByName(QStringLiteral("NAME"))).toString();
    return out;
}

int ErrorCode(const std::function<void()>& action, QString* message = nullptr)
{
    try {
        action();
    } catch (const EDatabaseError& e) {
        if (message)
            *message = e.Message();
        return e.ErrorCode() == 0 ? -1 : e.ErrorCode();
    }
    return 0;
}

const QList<QPair<int, QString>> kThree = {
    {1, QStringLiteral("Sales")}, {2, QStringLiteral("Support")}, {3, QStringLiteral("Board")}};

// GROUPS in a grid: the model under Qt's model checks, and a view's selection bound to it.
struct TGrid {
    explicit TGrid(const QList<QPair<int, QString>>& rows) : Data(Groups(rows))
    {
        Model.SetDataSet(Data.get());
        Model.BindSelectionModel(&Selection);
    }
    std::unique_ptr<TRemoteDataSet> Data;
    TDataSetModel Model;
    TModelTester Tester{&Model};
    QItemSelectionModel Selection{&Model};
};

// Runs "; "-separated steps on a dataset: "insert R", "append", "edit R", "type TEXT" (into
// NAME), "post", "cancel", "delete R", "revert R", "undo" (all changes), "close", "create",
// "hide F", "show F", "move F I", "label F TEXT", "refresh" (calculated fields), "quiet" and
// "loud" (controls off and on again).
void RunSteps(TRemoteDataSet& ds, const QString& script)
{
    for (const QString& step : script.split(QStringLiteral("; "), Qt::SkipEmptyParts)) {
        const QStringList w = step.split(QLatin1Char(' '));
        const QString& verb = w[0];
        const auto row = [&] { ds.SetCurrentRow(w.value(1).toInt()); };
        if (verb == QLatin1String("insert")) {
            row();
            ds.Insert();
        } else if (verb == QLatin1String("append")) {
            ds.Append();
        } else if (verb == QLatin1String("edit")) {
            row();
            ds.Edit();
        } else if (verb == QLatin1String("type")) {
            ds.FieldByName(QStringLiteral("NAME"))->SetAsString(w.mid(1).join(QLatin1Char(' ')));
        } else if (verb == QLatin1String("post")) {
            ds.Post();
        } else if (verb == QLatin1String("cancel")) {
            ds.Cancel();
        } else if (verb == QLatin1String("delete")) {
            if (ds.State() == TDataSetState::Browse)
                row();
            ds.Delete();
        } else if (verb == QLatin1String("revert")) {
            row();
            ds.RevertRecord();
        } else if (verb == QLatin1String("undo")) {
            ds.CancelUpdates();
        } else if (verb == QLatin1String("close")) {
            ds.Close();
        } else if (verb == QLatin1String("create")) {
            ds.CreateDataSet();
        } else if (verb == QLatin1String("hide") || verb == QLatin1String("show")) {
            ds.FieldByName(w[1])->SetVisible(verb == QLatin1String("show"));
        } else if (verb == QLatin1String("move")) {
            ds.FieldByName(w[1])->SetIndex(w[2].toInt());
        } else if (verb == QLatin1String("label")) {
            ds.FieldByName(w[1])->SetDisplayLabel(w.mid(2).join(QLatin1Char(' ')));
        } else if (verb == QLatin1String("refresh")) {
            ds.RefreshCalcFields();
        } else if (verb == QLatin1String("quiet")) {
            ds.DisableControls();
        } else if (verb == QLatin1String("loud")) {
            ds.EnableControls();
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step '%1'").arg(step)));
        }
    }
}

}  // namespace

class TestDataSet : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        TRegionalSettings rs;
        rs.DecimalSeparator = QLatin1Char(',');
        rs.ShortDateFormat = QStringLiteral("dd.mm.yyyy");
        rs.LongTimeFormat = QStringLiteral("hh:nn:ss");
        TRegionalSettings::SetCurrent(rs);
    }

    void fieldsOfALocalTable()
    {
        auto ds = Groups(kThree);
        QCOMPARE(ds->FieldCount(), 3);
        QCOMPARE(ds->FieldByName(QStringLiteral("name"))->FieldName(), QStringLiteral("NAME"));
        QCOMPARE(ds->FieldByName(QStringLiteral("NAME"))->DisplayLabel(), QStringLiteral("Group name"));
        QCOMPARE(ds->FieldByName(QStringLiteral("ID"))->DisplayLabel(), QStringLiteral("ID"));
        QCOMPARE(ds->FieldByName(QStringLiteral("NAME"))->DisplayWidth(), 100);
        QCOMPARE(ds->FieldByName(QStringLiteral("ID"))->Alignment(), Qt::Alignment(Qt::AlignRight));
        QCOMPARE(ds->FieldByName(QStringLiteral("NAME"))->Alignment(), Qt::Alignment(Qt::AlignLeft));
        QVERIFY(!ds->FindField(QStringLiteral("CODE")));
        QString message;
        QCOMPARE(ErrorCode([&] { ds->FieldByName(QStringLiteral("CODE")); }, &message), -1);
        QCOMPARE(message, QStringLiteral("cdsGroups: Field 'CODE' not found."));
        QCOMPARE(ErrorCode([&] { ds->AddField(QStringLiteral("X"), TFieldType::Integer); }), -1);

        // Width 0 means the type's default; persistent properties survive closing.
        TField* name = ds->FieldByName(QStringLiteral("NAME"));
        name->SetDisplayWidth(50);
        ds->Close();
        QVERIFY(!ds->FieldByName(QStringLiteral("NAME"))->Value().isValid());
        ds->CreateDataSet();
        QCOMPARE(ds->RecordCount(), 0);
        QCOMPARE(ds->FieldByName(QStringLiteral("NAME"))->DisplayWidth(), 50);
        ds->FieldByName(QStringLiteral("NAME"))->SetDisplayWidth(0);
        QCOMPARE(ds->FieldByName(QStringLiteral("NAME"))->DisplayWidth(), 100);
    }

    void cursorWalksTheRows()
    {
        auto ds = Groups(kThree);
        TField* name = ds->FieldByName(QStringLiteral("NAME"));
        QStringList seen;
        for (ds->First(); !ds->Eof(); ds->Next())
            seen << name->AsString();
        QCOMPARE(seen,
                 (QStringList{QStringLiteral("Sales"), QStringLiteral("Support"), QStringLiteral("Board")}));
        QCOMPARE(ds->RecNo(), 3);
        ds->Prior();
        QCOMPARE(name->AsString(), QStringLiteral("Support"));
        QVERIFY(!ds->Bof());
        ds->Prior();
        ds->Prior();
        QVERIFY(ds->Bof());
        QCOMPARE(ds->RecNo(), 1);
        QCOMPARE(ds->MoveBy(5), 2);
        QVERIFY(ds->Eof());
        QCOMPARE(ds->MoveBy(-1), -1);
        QCOMPARE(ds->CurrentRow(), 1);
        ds->SetCurrentRow(99);
        QCOMPARE(ds->CurrentRow(), 2);

        auto empty = Groups({});
        QVERIFY(empty->Bof() && empty->Eof());
        QCOMPARE(empty->RecNo(), 0);
        QCOMPARE(empty->MoveBy(1), 0);
        QVERIFY(empty->FieldByName(QStringLiteral("ID"))->IsNull());
    }

    void afterScrollRunsWhenAnotherRowBecomesCurrent()
    {
        auto ds = Groups(kThree);
        QStringList seen;
        ds->AfterScroll = [&](TRemoteDataSet& d) {
            seen << d.FieldByName(QStringLiteral("NAME"))->AsString();
        };
        ds->First();  // already there
        ds->Next();
        ds->Next();
        ds->Next();  // at the end already
        ds->Locate(QStringLiteral("ID"), {1});
        ds->Delete();  // "Support" moves into place
        QCOMPARE(seen, (QStringList{QStringLiteral("Support"), QStringLiteral("Board"),
                                    QStringLiteral("Sales"), QStringLiteral("Support")}));
        // Detaching the handler stops the notifications (the logs window does so while printing).
        const auto saved = ds->AfterScroll;
        ds->AfterScroll = nullptr;
        ds->Last();
        ds->AfterScroll = saved;
        QCOMPARE(seen.size(), 4);
    }

    void editPostAndCancel()
    {
        auto ds = Groups(kThree);
        TField* name = ds->FieldByName(QStringLiteral("NAME"));
        QCOMPARE(ErrorCode([&] { name->SetAsString(QStringLiteral("x")); }), -1);  // browse state

        ds->Edit();
        QCOMPARE(ds->State(), TDataSetState::Edit);
        name->SetAsString(QStringLiteral("Marketing"));
        QVERIFY(ds->Modified());
        ds->Cancel();
        QCOMPARE(name->AsString(), QStringLiteral("Sales"));

        ds->Edit();
        name->SetAsString(QStringLiteral("Marketing"));
        // Other rows show their own values meanwhile; the edited row its pending one.
        QCOMPARE(ds->DisplayTextAt(1, *name), QStringLiteral("Support"));
        QCOMPARE(ds->DisplayTextAt(0, *name), QStringLiteral("Marketing"));
        ds->Post();
        QCOMPARE(ds->State(), TDataSetState::Browse);
        QCOMPARE(Names(*ds), (QStringList{QStringLiteral("Marketing"), QStringLiteral("Support"),
                                          QStringLiteral("Board")}));

        // Moving away posts a modified row.
        ds->Edit();
        name->SetAsString(QStringLiteral("Sales"));
        ds->Next();
        QCOMPARE(Names(*ds).first(), QStringLiteral("Sales"));
        QCOMPARE(ds->State(), TDataSetState::Browse);
        QCOMPARE(ErrorCode([&] { ds->Post(); }), -1);
    }

    void insertAppendAndDelete()
    {
        auto ds = Groups(kThree);
        TField* id = ds->FieldByName(QStringLiteral("ID"));
        TField* name = ds->FieldByName(QStringLiteral("NAME"));
        ds->SetCurrentRow(1);
        ds->Insert();
        QCOMPARE(ds->State(), TDataSetState::Insert);
        QCOMPARE(ds->CurrentRow(), 1);
        QVERIFY(name->IsNull());
        id->SetAsInteger(7);
        name->SetAsString(QStringLiteral("New"));
        ds->Post();
        QCOMPARE(Names(*ds), (QStringList{QStringLiteral("Sales"), QStringLiteral("New"),
                                          QStringLiteral("Support"), QStringLiteral("Board")}));

        ds->Append();
        QCOMPARE(ds->CurrentRow(), 4);
        ds->Cancel();  // back where the cursor was
        QCOMPARE(ds->RecordCount(), 4);
        QCOMPARE(ds->CurrentRow(), 1);

        // A fresh row that nobody touched is dropped when the cursor moves on.
        ds->OnNewRecord = [](TRemoteDataSet& d) {
            d.FieldByName(QStringLiteral("ARCHIVE_ID"))->SetAsInteger(0);
        };
        ds->Append();
        QCOMPARE(ds->FieldByName(QStringLiteral("ARCHIVE_ID"))->AsInteger(), 0);
        QVERIFY(!ds->FieldByName(QStringLiteral("ARCHIVE_ID"))->IsNull());
        ds->First();
        QCOMPARE(ds->RecordCount(), 4);

        ds->Last();
        ds->Delete();
        QCOMPARE(ds->CurrentRow(), 2);  // the last row went: the one before it is current
        ds->First();
        ds->Delete();
        QCOMPARE(name->AsString(), QStringLiteral("New"));
        QCOMPARE(ds->RecordCount(), 2);

        auto empty = Groups({});
        QCOMPARE(ErrorCode([&] { empty->Delete(); }), -1);
        empty->Edit();  // editing an empty table starts a new row
        QCOMPARE(empty->State(), TDataSetState::Insert);
    }

    void postChecksAndHooks()
    {
        auto ds = Groups(kThree);
        ds->FieldByName(QStringLiteral("NAME"))->SetRequired(true);
        ds->FieldByName(QStringLiteral("ID"))->SetReadOnly(true);
        ds->Append();
        QString message;
        QCOMPARE(ErrorCode([&] { ds->FieldByName(QStringLiteral("ID"))->SetAsInteger(9); }, &message), -1);
        QCOMPARE(message, QStringLiteral("Field 'ID' cannot be modified."));
        QCOMPARE(ErrorCode([&] { ds->Post(); }, &message), -1);
        QCOMPARE(message, QStringLiteral("Field 'Group name' must have a value."));
        QCOMPARE(ds->State(), TDataSetState::Insert);

        int beforePost = 0, afterPost = 0;
        ds->BeforePost = [&](TRemoteDataSet&) {
            if (++beforePost == 1)
                throw EDatabaseError(QStringLiteral("not yet"));
        };
        ds->AfterPost = [&](TRemoteDataSet&) { ++afterPost; };
        ds->FieldByName(QStringLiteral("NAME"))->SetAsString(QString());  // empty, not null
        QCOMPARE(ErrorCode([&] { ds->Post(); }), -1);
        QCOMPARE(ds->State(), TDataSetState::Insert);
        ds->Post();
        QCOMPARE(beforePost, 2);
        QCOMPARE(afterPost, 1);
        QCOMPARE(ds->RecordCount(), 4);
    }

    void valuesConvertToTheFieldType_data()
    {
        QTest::addColumn<TFieldType>("type");
        QTest::addColumn<QVariant>("input");
        QTest::addColumn<QVariant>("expected");  // invalid: the value is refused
        const QVariant refused;
        QTest::newRow("integer from text")
            << TFieldType::Integer << QVariant(QStringLiteral(" 42 ")) << QVariant(42);
        QTest::newRow("integer from bad text")
            << TFieldType::Integer << QVariant(QStringLiteral("4x")) << refused;
        QTest::newRow("integer out of range") << TFieldType::Integer << QVariant(qint64(1) << 40) << refused;
        QTest::newRow("empty text clears a number")
            << TFieldType::Integer << QVariant(QStringLiteral("")) << QVariant::fromValue(nullptr);
        QTest::newRow("smallint") << TFieldType::Smallint << QVariant(-5) << VarFromInt16(-5);
        QTest::newRow("smallint out of range") << TFieldType::Smallint << QVariant(40000) << refused;
        QTest::newRow("largeint") << TFieldType::Largeint << QVariant(QStringLiteral("1099511627776"))
                                  << QVariant(qint64(1) << 40);
        QTest::newRow("boolean text")
            << TFieldType::Boolean << QVariant(QStringLiteral("true")) << QVariant(true);
        QTest::newRow("boolean automation true") << TFieldType::Boolean << QVariant(-1) << QVariant(true);
        QTest::newRow("boolean bad text")
            << TFieldType::Boolean << QVariant(QStringLiteral("yes")) << refused;
        QTest::newRow("float regional text")
            << TFieldType::Float << QVariant(QStringLiteral("1,5")) << QVariant(1.5);
        QTest::newRow("float dotted text")
            << TFieldType::Float << QVariant(QStringLiteral("2.25")) << QVariant(2.25);
        QTest::newRow("float bad text") << TFieldType::Float << QVariant(QStringLiteral("1,5,5")) << refused;
        QTest::newRow("currency keeps four decimals")
            << TFieldType::Currency << QVariant(1.23456) << QVariant(1.2346);
        QTest::newRow("date-time ISO text")
            << TFieldType::DateTime << QVariant(QStringLiteral("2024-03-01 10:20:30"))
            << VarFromDateTime(EncodeDateTime(2024, 3, 1, 10, 20, 30));
        QTest::newRow("date regional text") << TFieldType::TimeStamp << QVariant(QStringLiteral("01.03.2024"))
                                            << VarFromDateTime(EncodeDateTime(2024, 3, 1));
        QTest::newRow("date-time regional text")
            << TFieldType::DateTime << QVariant(QStringLiteral("31.12.2023 23:59"))
            << VarFromDateTime(EncodeDateTime(2023, 12, 31, 23, 59));
        QTest::newRow("no such day") << TFieldType::DateTime << QVariant(QStringLiteral("31.02.2024"))
                                     << refused;
        QTest::newRow("date-time from a real")
            << TFieldType::DateTime << QVariant(45000.5) << VarFromDateTime(45000.5);
        QTest::newRow("string from a number")
            << TFieldType::WideString << QVariant(12) << QVariant(QStringLiteral("12"));
        QTest::newRow("empty string stays a string")
            << TFieldType::String << QVariant(QStringLiteral("")) << QVariant(QStringLiteral(""));
    }
    void valuesConvertToTheFieldType()
    {
        QFETCH(TFieldType, type);
        QFETCH(QVariant, input);
        QFETCH(QVariant, expected);
        TRemoteDataSet ds;
        TField* field = ds.AddField(QStringLiteral("F"), type, 10);
        ds.CreateDataSet();
        ds.Append();
        if (!expected.isValid()) {
            QCOMPARE(ErrorCode([&] { field->SetValue(input); }), -1);
            return;
        }
        field->SetValue(input);
        ds.Post();
        if (expected.isNull()) {
            QVERIFY(field->IsNull());
            return;
        }
        QCOMPARE(field->Value().metaType(), expected.metaType());
        QCOMPARE(field->Value(), expected);
    }

    void textsThroughHandlers()
    {
        // A limit plan's period: stored in seconds, shown and entered as text.
        const QList<QPair<QString, int>> intervals = {{QStringLiteral("1 minute test"), 60},
                                                      {QStringLiteral("1 day"), 86400},
                                                      {QStringLiteral("1 week"), 604800},
                                                      {QStringLiteral("1 month"), -1}};
        TRemoteDataSet ds;
        TField* period = ds.AddField(QStringLiteral("RESET_INTERVAL"), TFieldType::Integer);
        QList<bool> displayFlags;
        period->SetOnGetText([&](TField& f, bool display) {
            displayFlags << display;
            for (const auto& [text, value] : intervals)
                if (value == f.AsInteger())
                    return text;
            return QStringLiteral("1 month");
        });
        period->SetOnSetText([&](TField& f, const QString& text) {
            int value = -1;
            for (const auto& [t, v] : intervals)
                if (t.compare(text, Qt::CaseInsensitive) == 0)
                    value = v;
            f.SetAsInteger(value);
        });
        ds.CreateDataSet();
        ds.AppendRecord({3600});
        ds.AppendRecord({86400});
        QCOMPARE(ds.DisplayTextAt(0, *period), QStringLiteral("1 month"));
        QCOMPARE(ds.DisplayTextAt(1, *period), QStringLiteral("1 day"));
        ds.First();
        QCOMPARE(period->Text(), QStringLiteral("1 month"));
        QCOMPARE(displayFlags, (QList<bool>{true, true, false}));
        ds.Edit();
        period->SetText(QStringLiteral("1 WEEK"));
        QCOMPARE(period->AsInteger(), 604800);
        period->SetText(QStringLiteral("fortnight"));
        QCOMPARE(period->AsInteger(), -1);
        QCOMPARE(period->AsString(), QStringLiteral("-1"));  // the value itself, not the handler
    }

    void calculatedFields()
    {
        TRemoteDataSet ds;
        ds.AddField(QStringLiteral("ID"), TFieldType::Integer);
        ds.AddField(QStringLiteral("NAME"), TFieldType::WideString, 100);
        TField* active = ds.AddCalculatedField(QStringLiteral("ClcActive"), TFieldType::String, 3);
        int activeId = 2;
        int calls = 0;
        ds.OnCalcFields = [&](TRemoteDataSet& d) {
            ++calls;
            d.FieldByName(QStringLiteral("ClcActive"))
                ->SetAsString(d.FieldByName(QStringLiteral("ID"))->AsInteger() == activeId
                                  ? QStringLiteral("***")
                                  : QString());
        };
        ds.CreateDataSet();
        for (int id = 1; id <= 3; ++id)
            ds.AppendRecord({id, QStringLiteral("PBX %1").arg(id)});
        QCOMPARE(ds.DisplayTextAt(0, *active), QString());
        QCOMPARE(ds.DisplayTextAt(1, *active), QStringLiteral("***"));
        QCOMPARE(ds.DisplayTextAt(2, *active), QString());
        const int afterFirstRead = calls;
        QCOMPARE(ds.DisplayTextAt(1, *active), QStringLiteral("***"));
        QCOMPARE(calls, afterFirstRead);  // kept until the row changes

        // The mark follows the edited record at once and stays after posting.
        ds.First();
        ds.Edit();
        ds.FieldByName(QStringLiteral("ID"))->SetAsInteger(2);
        QCOMPARE(active->AsString(), QStringLiteral("***"));
        ds.Post();
        QCOMPARE(ds.DisplayTextAt(0, *active), QStringLiteral("***"));
        QCOMPARE(ErrorCode([&] {
                     ds.Edit();
                     active->SetAsString(QStringLiteral("x"));
                 }),
                 -1);
        ds.Cancel();

        // A new comparison value shows after a refresh.
        activeId = 3;
        QCOMPARE(ds.DisplayTextAt(2, *active), QString());
        ds.RefreshCalcFields();
        QCOMPARE(ds.DisplayTextAt(2, *active), QStringLiteral("***"));
    }

    void lookupFields()
    {
        auto groups = Groups(kThree);
        TRemoteDataSet pbx;
        pbx.AddField(QStringLiteral("ID"), TFieldType::Integer);
        pbx.AddField(QStringLiteral("NAME"), TFieldType::WideString, 100);
        pbx.CreateDataSet();
        pbx.AppendRecord({10, QStringLiteral("Main exchange")});

        TRemoteDataSet ext;
        ext.AddField(QStringLiteral("CODE"), TFieldType::String, 10);
        ext.AddField(QStringLiteral("GROUP_ID"), TFieldType::Integer);
        ext.AddField(QStringLiteral("PBX_ID"), TFieldType::Integer);
        TField* group =
            ext.AddLookupField(QStringLiteral("lkpGroupName"), TFieldType::WideString, 100, groups.get(),
                               QStringLiteral("GROUP_ID"), QStringLiteral("ID"), QStringLiteral("NAME"));
        TField* exchange =
            ext.AddLookupField(QStringLiteral("lkpPBX"), TFieldType::WideString, 100, &pbx,
                               QStringLiteral("PBX_ID"), QStringLiteral("ID"), QStringLiteral("NAME"));
        ext.CreateDataSet();
        ext.AppendRecord({QStringLiteral("201"), 2, 10});
        ext.AppendRecord({QStringLiteral("202"), 9, 10});       // no such group
        ext.AppendRecord({QStringLiteral("203"), QVariant()});  // no group at all
        QCOMPARE(ext.DisplayTextAt(0, *group), QStringLiteral("Support"));
        QCOMPARE(ext.DisplayTextAt(0, *exchange), QStringLiteral("Main exchange"));
        QVERIFY(ext.ValueAt(1, *group).isNull());
        QVERIFY(ext.ValueAt(2, *group).isNull());
        QVERIFY(ext.ValueAt(2, *exchange).isNull());
        QVERIFY(group->ReadOnly());

        // The lookup follows the key while it is edited, and the lookup table's changes.
        ext.First();
        ext.Edit();
        ext.FieldByName(QStringLiteral("GROUP_ID"))->SetAsInteger(3);
        QCOMPARE(group->AsString(), QStringLiteral("Board"));
        ext.Post();
        groups->Locate(QStringLiteral("ID"), {3});
        groups->Edit();
        groups->FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("Directors"));
        groups->Post();
        QCOMPARE(ext.DisplayTextAt(0, *group), QStringLiteral("Directors"));
        QCOMPARE(ErrorCode([&] {
                     ext.Edit();
                     group->SetAsString(QStringLiteral("x"));
                 }),
                 -1);
    }

    void locateAndLookup()
    {
        TRemoteDataSet ds;
        ds.AddField(QStringLiteral("PBX_ID"), TFieldType::Integer);
        ds.AddField(QStringLiteral("CODE"), TFieldType::String, 10);
        ds.AddField(QStringLiteral("NAME"), TFieldType::WideString, 100);
        ds.CreateDataSet();
        ds.AppendRecord({1, QStringLiteral("100"), QStringLiteral("Reception")});
        ds.AppendRecord({2, QStringLiteral("100"), QStringLiteral("Warehouse")});
        ds.AppendRecord({2, QStringLiteral("101"), QStringLiteral("workshop")});
        ds.First();
        // The same number on two exchanges: the pair finds the row.
        QVERIFY(ds.Locate(QStringLiteral("PBX_ID;CODE"), {2, QStringLiteral("100")}));
        QCOMPARE(ds.CurrentRow(), 1);
        QVERIFY(ds.Locate(QStringLiteral("PBX_ID;CODE"), {QStringLiteral("2"), 101}));  // values convert
        QCOMPARE(ds.CurrentRow(), 2);
        QVERIFY(!ds.Locate(QStringLiteral("NAME"), {QStringLiteral("WORK")}));
        QCOMPARE(ds.CurrentRow(), 2);  // unchanged when nothing matches
        TLocateOptions loose;
        loose.CaseInsensitive = true;
        loose.PartialKey = true;
        QVERIFY(ds.Locate(QStringLiteral("NAME"), {QStringLiteral("WARE")}, loose));
        QCOMPARE(ds.CurrentRow(), 1);
        QVERIFY(!ds.Locate(QStringLiteral("PBX_ID"), {QStringLiteral("x")}));
        QCOMPARE(ds.Lookup(QStringLiteral("PBX_ID;CODE"), {1, QStringLiteral("100")}, QStringLiteral("NAME")),
                 QVariant(QStringLiteral("Reception")));
        QCOMPARE(ds.Lookup(QStringLiteral("CODE"), {QStringLiteral("101")}, QStringLiteral("PBX_ID;NAME")),
                 QVariant(QVariantList{2, QStringLiteral("workshop")}));
        QVERIFY(ds.Lookup(QStringLiteral("CODE"), {QStringLiteral("999")}, QStringLiteral("NAME")).isNull());
        QCOMPARE(ds.CurrentRow(), 1);  // Lookup does not move
    }

    void changeLog()
    {
        auto ds = Groups(kThree);
        TField* name = ds->FieldByName(QStringLiteral("NAME"));
        QCOMPARE(ds->ChangeCount(), 0);
        ds->Edit();
        name->SetAsString(QStringLiteral("A"));
        ds->Post();
        ds->Edit();
        name->SetAsString(QStringLiteral("B"));  // the same row again: still one change
        ds->Post();
        QCOMPARE(ds->ChangeCount(), 1);
        QCOMPARE(ds->UpdateStatus(), TUpdateStatus::Modified);

        ds->Last();
        ds->Insert();
        name->SetAsString(QStringLiteral("C"));
        ds->Post();
        QCOMPARE(ds->UpdateStatus(), TUpdateStatus::Inserted);
        QCOMPARE(ds->ChangeCount(), 2);
        ds->Delete();  // an inserted row that goes again leaves nothing behind
        QCOMPARE(ds->ChangeCount(), 1);

        ds->First();
        ds->Delete();  // the modified row: now one deletion
        QCOMPARE(ds->ChangeCount(), 1);
        ds->Append();
        name->SetAsString(QStringLiteral("D"));
        ds->Post();
        QCOMPARE(Names(*ds),
                 (QStringList{QStringLiteral("Support"), QStringLiteral("Board"), QStringLiteral("D")}));

        ds->CancelUpdates();
        QCOMPARE(ds->ChangeCount(), 0);
        QCOMPARE(Names(*ds),
                 (QStringList{QStringLiteral("Sales"), QStringLiteral("Support"), QStringLiteral("Board")}));

        // Reverting one row keeps the others' changes.
        ds->First();
        ds->Edit();
        name->SetAsString(QStringLiteral("E"));
        ds->Post();
        ds->Next();
        ds->Edit();
        name->SetAsString(QStringLiteral("F"));
        ds->Post();
        ds->RevertRecord();
        QCOMPARE(ds->ChangeCount(), 1);
        QCOMPARE(Names(*ds),
                 (QStringList{QStringLiteral("E"), QStringLiteral("Support"), QStringLiteral("Board")}));

        QCOMPARE(ErrorCode([&] { ds->ApplyUpdates(0); }), -1);  // a local table has no provider
        ds->SetLogChanges(false);
        QCOMPARE(ds->ChangeCount(), 0);
        QCOMPARE(Names(*ds).first(), QStringLiteral("E"));
    }

    void fieldOrderAndVisibility()
    {
        auto ds = Groups(kThree);
        TField* archive = ds->FieldByName(QStringLiteral("ARCHIVE_ID"));
        archive->SetIndex(0);
        QCOMPARE(ds->Field(0), archive);
        QCOMPARE(ds->FieldByName(QStringLiteral("ID"))->Index(), 1);
        archive->SetIndex(99);
        QCOMPARE(archive->Index(), 2);
    }
};

class TestDataSetModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void columnsAreTheVisibleFields()
    {
        auto ds = Groups(kThree);
        TDataSetModel model;
        TModelTester tester(&model);
        model.SetDataSet(ds.get());
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.columnCount(), 3);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        ds->FieldByName(QStringLiteral("ID"))->SetVisible(false);
        QCOMPARE(resets.size(), 1);
        QCOMPARE(model.columnCount(), 2);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Group name"));
        QCOMPARE(model.headerData(0, Qt::Horizontal, TDataSetModel::DisplayWidthRole).toInt(), 100);
        QCOMPARE(model.FieldAt(1), ds->FieldByName(QStringLiteral("ARCHIVE_ID")));
        QCOMPARE(model.ColumnOf(ds->FieldByName(QStringLiteral("ID"))), -1);
        QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("Support"));
        QCOMPARE(model.data(model.index(1, 1), Qt::TextAlignmentRole).value<Qt::Alignment>(),
                 Qt::AlignRight | Qt::AlignVCenter);

        ds->FieldByName(QStringLiteral("ARCHIVE_ID"))->SetIndex(0);
        QCOMPARE(model.FieldAt(0), ds->FieldByName(QStringLiteral("ARCHIVE_ID")));

        QSignalSpy headers(&model, &QAbstractItemModel::headerDataChanged);
        ds->FieldByName(QStringLiteral("NAME"))->SetOnGetText([](TField& f, bool) {
            return f.AsString().toUpper();
        });
        QCOMPARE(headers.size(), 1);
        QCOMPARE(model.data(model.index(2, 1)).toString(), QStringLiteral("BOARD"));

        ds->Close();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 0);
    }

    void followsEdits()
    {
        auto ds = Groups(kThree);
        TDataSetModel model;
        TModelTester tester(&model);
        model.SetDataSet(ds.get());
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        ds->Append();
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(model.rowCount(), 4);
        ds->FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("Typing"));
        QVERIFY(!changed.isEmpty());
        QCOMPARE(changed.last().at(0).value<QModelIndex>().row(), 3);
        QCOMPARE(model.data(model.index(3, 1)).toString(), QStringLiteral("Typing"));
        ds->Cancel();
        QCOMPARE(removed.size(), 1);
        QCOMPARE(model.rowCount(), 3);
    }

    void quietWhileControlsAreDisabled()
    {
        auto ds = Groups(kThree);
        TDataSetModel model;
        TModelTester tester(&model);
        model.SetDataSet(ds.get());
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy current(&model, &TDataSetModel::CurrentRowChanged);
        ds->DisableControls();
        ds->DisableControls();
        for (int i = 0; i < 5; ++i)
            ds->AppendRecord({10 + i, QStringLiteral("Row %1").arg(i)});
        ds->First();
        ds->Edit();
        ds->FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("Changed"));
        ds->Post();
        ds->EnableControls();
        QCOMPARE(model.rowCount(), 3);  // still what the views were told
        QVERIFY(model.data(model.index(0, 1)).isValid());
        QVERIFY(resets.isEmpty() && inserted.isEmpty() && changed.isEmpty() && current.isEmpty());
        ds->EnableControls();
        QCOMPARE(resets.size(), 1);
        QCOMPARE(model.rowCount(), 8);
        QCOMPARE(model.data(model.index(0, 1)).toString(), QStringLiteral("Changed"));
        ds->EnableControls();  // unbalanced: ignored
        QCOMPARE(resets.size(), 1);

        // Only the cursor moved: no reset, one current-row notice.
        current.clear();
        ds->DisableControls();
        ds->Last();
        ds->First();
        ds->Next();
        ds->EnableControls();
        QCOMPARE(resets.size(), 1);
        QCOMPARE(current.size(), 1);
        QCOMPARE(current.first().at(0).toInt(), 1);
    }

    void currentRowFollowsBothWays()
    {
        auto ds = Groups(kThree);
        TDataSetModel model;
        TModelTester tester(&model);
        model.SetDataSet(ds.get());
        QItemSelectionModel selection(&model);
        model.BindSelectionModel(&selection);
        QCOMPARE(selection.currentIndex().row(), 0);
        ds->Last();
        QCOMPARE(selection.currentIndex().row(), 2);
        QVERIFY(selection.isRowSelected(2, QModelIndex()));
        selection.setCurrentIndex(model.index(1, 1), QItemSelectionModel::ClearAndSelect);
        QCOMPARE(ds->CurrentRow(), 1);
        QCOMPARE(selection.currentIndex().column(), 1);
        ds->Close();
        ds->CreateDataSet();
        ds->AppendRecord({1, QStringLiteral("Only")});
        QCOMPARE(selection.currentIndex().row(), 0);
    }

    // A view's selection moves by itself when the current row is removed under it; the
    // cursor must not follow it there, only to the row the dataset puts in place.
    void rowsRemovedUnderTheSelectionMoveTheCursorOnce_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("scrolled");
        QTest::addColumn<int>("current");
        const QString fresh;  // the new row, NAME still empty
        QTest::newRow("a middle row deleted") << 1 << "delete 1" << QStringList{QStringLiteral("Board")} << 1;
        QTest::newRow("the last row deleted")
            << 2 << "delete 2" << QStringList{QStringLiteral("Support")} << 1;
        QTest::newRow("a new row cancelled")
            << 2 << "insert 2; cancel" << QStringList{fresh, QStringLiteral("Board")} << 2;
        QTest::newRow("a new row reverted")
            << 2 << "insert 2; type X; post; revert 2" << QStringList{fresh, QStringLiteral("Board")} << 2;
    }
    void rowsRemovedUnderTheSelectionMoveTheCursorOnce()
    {
        QFETCH(int, start);
        QFETCH(QString, steps);
        QFETCH(QStringList, scrolled);
        QFETCH(int, current);
        TGrid grid(kThree);
        grid.Data->SetCurrentRow(start);
        QStringList seen;
        grid.Data->AfterScroll = [&](TRemoteDataSet& d) {
            seen << d.FieldByName(QStringLiteral("NAME"))->AsString();
        };
        RunSteps(*grid.Data, steps);
        QCOMPARE(seen, scrolled);
        QCOMPARE(grid.Data->CurrentRow(), current);
        QCOMPARE(grid.Selection.currentIndex().row(), current);
    }

    // A model whose dataset goes shows nothing rather than rows that are no more.
    void datasetDestroyedUnderTheModel()
    {
        TGrid grid(kThree);
        QSignalSpy resets(&grid.Model, &QAbstractItemModel::modelReset);
        grid.Data.reset();
        QCOMPARE(resets.size(), 1);
        QCOMPARE(grid.Model.rowCount(), 0);
        QCOMPARE(grid.Model.columnCount(), 0);
        QVERIFY(!grid.Model.DataSet());
        QVERIFY(!grid.Selection.currentIndex().isValid());
    }

    // Qt's model checks watch every step; afterwards the model shows what the dataset holds
    // and the selection stands on the dataset's current row.
    void modelKeepsItsRulesThroughEdits_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::newRow("inserts posted") << "insert 1; type New; post; append; type Last; post";
        QTest::newRow("inserts cancelled") << "insert 0; cancel; append; type Gone; cancel";
        QTest::newRow("edits posted and cancelled")
            << "edit 1; type Changed; post; edit 2; type Dropped; cancel";
        QTest::newRow("deleted to empty and filled again")
            << "delete 0; delete 0; delete 0; append; type Only; post";
        QTest::newRow("a row deleted while edited") << "edit 0; type X; delete 0";
        QTest::newRow("a new row deleted before it is posted") << "insert 1; type X; delete 1";
        QTest::newRow("every change undone") << "edit 0; type X; post; delete 1; append; type Y; post; undo";
        QTest::newRow("rows reverted one by one")
            << "edit 0; type X; post; append; type Y; post; revert 3; revert 0";
        QTest::newRow("closed while a row is new") << "append; type X; close";
        QTest::newRow("closed and made again") << "close; create; append; type A; post";
        QTest::newRow("columns hidden, moved and relabelled")
            << "hide ID; move ARCHIVE_ID 0; label NAME Title; show ID";
        QTest::newRow("edits while controls are off")
            << "quiet; append; type A; post; delete 0; edit 0; type B; post; loud";
        QTest::newRow("a column hidden while controls are off") << "quiet; hide NAME; loud";
        QTest::newRow("nested quiet spells")
            << "quiet; quiet; delete 0; loud; append; type X; post; loud; delete 2";
        QTest::newRow("calculated fields refreshed") << "refresh; close; refresh";
    }
    void modelKeepsItsRulesThroughEdits()
    {
        QFETCH(QString, steps);
        TGrid grid(kThree);
        RunSteps(*grid.Data, steps);
        const QString mismatch = DataSetModelMismatch(grid.Model, *grid.Data);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        QCOMPARE(grid.Selection.currentIndex().row(),
                 grid.Data->RecordCount() > 0 ? grid.Data->CurrentRow() : -1);
    }
};

int main(int argc, char** argv)
{
    RegisterVariantTypes();
    int status = 0;
    {
        TestDataSet t;
        status |= QTest::qExec(&t, argc, argv);
    }
    {
        TestDataSetModel t;
        status |= QTest::qExec(&t, argc, argv);
    }
    return status;
}

#include "tst_dataset.moc"
