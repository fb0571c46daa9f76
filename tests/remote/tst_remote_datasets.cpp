// Remote datasets against the real server on a demo database: opening providers with
// declared and dynamic fields, editing and applying, key violations, lookups and calculated
// fields over real tables, the extension filter clause and streamed report results.

#include "remote/CallSession.h"
#include "remote/DataSetModel.h"
#include "remote/RemoteDataSet.h"
#include "support/ClientFixture.h"
#include "support/DataSetModelCheck.h"
#include "support/ModelTester.h"
#include "support/TestServer.h"

#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

struct TAdminData {
    TRemoteDataSet Groups, Pbx, Extension;
    int ActivePbxId = 0;

    explicit TAdminData(TClientFixture& client)
    {
        TSharedConnection* admin = &client.Child("AdminRDM");
        for (auto [ds, name, provider] :
             {std::tuple{&Groups, "cdsGroups", "dspGroups"}, std::tuple{&Pbx, "cdsPbx", "dspPBX"},
              std::tuple{&Extension, "cdsExtension", "dspExtension"}}) {
            ds->setObjectName(QLatin1String(name));
            ds->SetRemoteServer(admin);
            ds->SetProviderName(QLatin1String(provider));
        }
        Groups.AddField(QStringLiteral("ID"), TFieldType::AutoInc)->SetVisible(false);
        Groups.AddField(QStringLiteral("NAME"), TFieldType::WideString, 100)
            ->SetDisplayLabel(QStringLiteral("Group name"));
        Groups.AddField(QStringLiteral("ARCHIVE_ID"), TFieldType::Integer)->SetDisplayWidth(4);

        Pbx.AddField(QStringLiteral("ID"), TFieldType::AutoInc);
        Pbx.AddField(QStringLiteral("NAME"), TFieldType::WideString, 100);
        Pbx.AddField(QStringLiteral("ARCHIVE_ID"), TFieldType::Integer);
        Pbx.AddCalculatedField(QStringLiteral("ClcActive"), TFieldType::String, 3)
            ->SetDisplayLabel(QStringLiteral("Active"));
        Pbx.OnCalcFields = [this](TRemoteDataSet& ds) {
            ds.FieldByName(QStringLiteral("ClcActive"))
                ->SetAsString(ds.FieldByName(QStringLiteral("ID"))->AsInteger() == ActivePbxId
                                  ? QStringLiteral("***")
                                  : QString());
        };

        Extension.AddField(QStringLiteral("CODE"), TFieldType::String, 10)
            ->SetDisplayLabel(QStringLiteral("Number"));
        Extension.AddField(QStringLiteral("NAME"), TFieldType::WideString, 100);
        Extension.AddField(QStringLiteral("GROUP_ID"), TFieldType::Integer)->SetVisible(false);
        Extension.AddLookupField(QStringLiteral("lkpGroupName"), TFieldType::WideString, 100, &Groups,
                                 QStringLiteral("GROUP_ID"), QStringLiteral("ID"), QStringLiteral("NAME"));
        Extension.AddField(QStringLiteral("PBX_ID"), TFieldType::Integer)->SetVisible(false);
        Extension.AddLookupField(QStringLiteral("lkpPBX"), TFieldType::WideString, 100, &Pbx,
                                 QStringLiteral("PBX_ID"), QStringLiteral("ID"), QStringLiteral("NAME"));
        Extension.AddField(QStringLiteral("LIMIT_PLAN_ID"), TFieldType::Integer);
        Extension.AddField(QStringLiteral("MONEY_LEFT"), TFieldType::Float);
        Extension.AddField(QStringLiteral("NEXT_RESET"), TFieldType::TimeStamp);
        Extension.AddField(QStringLiteral("ARCHIVE_ID"), TFieldType::Integer);
        // New rows take the exchange and group the lists have selected.
        Extension.OnNewRecord = [this](TRemoteDataSet& ds) {
            ds.FieldByName(QStringLiteral("PBX_ID"))
                ->SetValue(Pbx.FieldByName(QStringLiteral("ID"))->Value());
            ds.FieldByName(QStringLiteral("GROUP_ID"))
                ->SetValue(Groups.FieldByName(QStringLiteral("ID"))->Value());
        };

        client.Main().Call(312, {false});
        Groups.Open();
        ActivePbxId = client.Module("AdminRDM").Call(313).toInt();
        Pbx.Open();
        Extension.Open();
        client.Main().Call(312, {true});
    }
};

int CountWhere(TRemoteDataSet& ds, const QString& field, const QVariant& value)
{
    int n = 0;
    TField* f = ds.FieldByName(field);
    for (int row = 0; row < ds.RecordCount(); ++row)
        if (ds.ValueAt(row, *f) == value)
            ++n;
    return n;
}

int DatabaseErrorCode(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EDatabaseError& e) {
        return e.ErrorCode();
    }
    return 0;
}

}  // namespace

class TestRemoteDataSets : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestServer> server_;
    std::unique_ptr<TClientFixture> client_;

private Q_SLOTS:
    void initTestCase()
    {
        RegisterProtocolTypes();
        server_ = std::make_unique<TTestServer>();
        QString error;
        QVERIFY2(server_->StartDemo(QDate(2026, 3, 31), &error), qPrintable(error));
        client_ = std::make_unique<TClientFixture>();
        QCOMPARE(client_->Connect(server_->Port()), 0);
        QVERIFY(client_->LogIn(true));
    }
    void cleanupTestCase()
    {
        client_.reset();
        server_.reset();
    }

    void providerColumnsMeetTheDeclarations()
    {
        TAdminData data(*client_);
        TField* id = data.Groups.FieldByName(QStringLiteral("ID"));
        QVERIFY(id->IsKey());
        QVERIFY(id->ReadOnly());
        QVERIFY(!id->Visible());
        QVERIFY(data.Groups.RecordCount() > 0);
        QCOMPARE(data.Groups.FieldByName(QStringLiteral("NAME"))->DisplayLabel(),
                 QStringLiteral("Group name"));
        QVERIFY(data.Extension.FieldByName(QStringLiteral("CODE"))->IsKey());
        QVERIFY(data.Extension.FieldByName(QStringLiteral("PBX_ID"))->IsKey());
        QVERIFY(data.Extension.FieldByName(QStringLiteral("NAME"))->Required());
        QCOMPARE(data.Extension.FieldCount(), 10);
        data.Groups.Close();
        data.Groups.Open();
        QCOMPARE(data.Groups.FieldByName(QStringLiteral("ARCHIVE_ID"))->DisplayWidth(), 4);

        // Without declarations every column is a dynamic field with the server's metadata.
        TRemoteDataSet plans;
        plans.SetRemoteServer(&client_->Child("AdminRDM"));
        plans.SetProviderName(QStringLiteral("dspLimitPlan"));
        plans.Open();
        QCOMPARE(plans.FieldByName(QStringLiteral("NAME"))->DataType(), TFieldType::WideString);
        QCOMPARE(plans.FieldByName(QStringLiteral("NAME"))->Size(), 100);
        QCOMPARE(plans.FieldByName(QStringLiteral("MONEY_LIMIT"))->DataType(), TFieldType::Currency);
        QCOMPARE(plans.FieldByName(QStringLiteral("ID"))->Value().metaType().id(), QMetaType::Int);
        plans.Close();
        QCOMPARE(plans.FieldCount(), 0);
    }

    void insertEditAndDeleteAreApplied()
    {
        TAdminData data(*client_);
        TRemoteDataSet& groups = data.Groups;
        const int before = groups.RecordCount();
        groups.Append();
        groups.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("Night shift"));
        groups.Post();
        QVERIFY(groups.FieldByName(QStringLiteral("ID"))->IsNull());
        QCOMPARE(groups.ApplyUpdates(0), 0);
        QCOMPARE(groups.ChangeCount(), 0);
        const int id = groups.FieldByName(QStringLiteral("ID"))->AsInteger();
        QVERIFY(id > 0);  // the key the server gave the row

        groups.Close();
        groups.Open();
        QCOMPARE(groups.RecordCount(), before + 1);
        QVERIFY(groups.Locate(QStringLiteral("ID"), {id}));
        QCOMPARE(groups.FieldByName(QStringLiteral("NAME"))->AsString(), QStringLiteral("Night shift"));
        groups.Edit();
        groups.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("Late shift"));
        groups.Post();
        groups.ApplyUpdatesOrRaise();

        TAdminData again(*client_);
        QVERIFY(again.Groups.Locate(QStringLiteral("ID"), {id}));
        QCOMPARE(again.Groups.FieldByName(QStringLiteral("NAME"))->AsString(), QStringLiteral("Late shift"));
        again.Groups.Delete();
        QCOMPARE(again.Groups.ApplyUpdates(0), 0);

        groups.Close();
        groups.Open();
        QCOMPARE(groups.RecordCount(), before);
        QVERIFY(!groups.Locate(QStringLiteral("ID"), {id}));
    }

    void valuesOfEveryColumnTypeSurviveApply()
    {
        TAdminData data(*client_);
        TRemoteDataSet& ext = data.Extension;
        ext.First();
        const QVariantList key{ext.FieldByName(QStringLiteral("PBX_ID"))->Value(),
                               ext.FieldByName(QStringLiteral("CODE"))->Value()};
        const TDateTime reset = EncodeDateTime(2026, 4, 1, 6, 30, 15, 250);
        ext.Edit();
        ext.FieldByName(QStringLiteral("MONEY_LEFT"))->SetAsFloat(12.5);
        ext.FieldByName(QStringLiteral("NEXT_RESET"))->SetAsDateTime(reset);
        ext.FieldByName(QStringLiteral("NAME"))
            ->SetAsString(QStringLiteral("\u0418\u0432\u0430\u043d \u041f\u0435\u0442\u0440\u043e\u0432"));
        ext.Post();
        QCOMPARE(ext.ApplyUpdates(0), 0);

        TAdminData again(*client_);
        QVERIFY(again.Extension.Locate(QStringLiteral("PBX_ID;CODE"), key));
        QCOMPARE(again.Extension.FieldByName(QStringLiteral("MONEY_LEFT"))->AsFloat(), 12.5);
        QCOMPARE(again.Extension.FieldByName(QStringLiteral("NEXT_RESET"))->AsDateTime(), reset);
        QCOMPARE(again.Extension.FieldByName(QStringLiteral("NAME"))->AsString(),
                 QStringLiteral("\u0418\u0432\u0430\u043d \u041f\u0435\u0442\u0440\u043e\u0432"));
    }

    void duplicateKeyIsRefusedWith9729()
    {
        TAdminData data(*client_);
        TRemoteDataSet& ext = data.Extension;
        const int before = ext.RecordCount();
        ext.First();
        const QString existing = ext.FieldByName(QStringLiteral("CODE"))->AsString();
        data.Pbx.Locate(QStringLiteral("ID"), {ext.FieldByName(QStringLiteral("PBX_ID"))->Value()});

        ext.Append();
        QCOMPARE(ext.FieldByName(QStringLiteral("PBX_ID"))->Value(),
                 data.Pbx.FieldByName(QStringLiteral("ID"))->Value());
        ext.FieldByName(QStringLiteral("CODE"))->SetAsString(existing);
        ext.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("Twin"));
        ext.Post();
        QCOMPARE(ext.ApplyUpdates(0), 1);
        QCOMPARE(ext.ApplyErrors().size(), 1);
        QCOMPARE(ext.ApplyErrors().first().Code, 9729);
        QCOMPARE(ext.ChangeCount(), 1);  // still pending
        QCOMPARE(DatabaseErrorCode([&] { ext.ApplyUpdatesOrRaise(0); }), 9729);
        // The row can be put right and saved.
        ext.Edit();
        ext.FieldByName(QStringLiteral("CODE"))->SetAsString(QStringLiteral("9901"));
        ext.Post();
        QCOMPARE(ext.ApplyUpdates(0), 0);

        TAdminData fresh(*client_);
        QCOMPARE(fresh.Extension.RecordCount(), before + 1);
        QCOMPARE(CountWhere(fresh.Extension, QStringLiteral("CODE"), existing) >= 1, true);
        QVERIFY(fresh.Extension.Locate(QStringLiteral("CODE"), {QStringLiteral("9901")}));
        fresh.Extension.Delete();
        QCOMPARE(fresh.Extension.ApplyUpdates(0), 0);
    }

    void maximumErrorCountDecidesWhatIsKept()
    {
        TAdminData data(*client_);
        TRemoteDataSet& ext = data.Extension;
        const int before = ext.RecordCount();
        ext.First();
        const QString existing = ext.FieldByName(QStringLiteral("CODE"))->AsString();
        data.Pbx.Locate(QStringLiteral("ID"), {ext.FieldByName(QStringLiteral("PBX_ID"))->Value()});
        const auto addRow = [&](const QString& code) {
            ext.Append();
            ext.FieldByName(QStringLiteral("CODE"))->SetAsString(code);
            ext.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("Batch ") + code);
            ext.Post();
        };
        addRow(QStringLiteral("9911"));
        addRow(existing);
        // All or nothing: the good row is not stored either.
        QCOMPARE(ext.ApplyUpdates(0), 1);
        QCOMPARE(ext.ChangeCount(), 2);
        {
            TAdminData fresh(*client_);
            QCOMPARE(fresh.Extension.RecordCount(), before);
        }
        // Keep what succeeds: the good row is stored, the duplicate stays pending.
        QCOMPARE(ext.ApplyUpdates(-1), 1);
        QCOMPARE(ext.ChangeCount(), 1);
        {
            TAdminData fresh(*client_);
            QCOMPARE(fresh.Extension.RecordCount(), before + 1);
        }
        ext.CancelUpdates();
        QCOMPARE(ext.RecordCount(), before + 1);
        QVERIFY(ext.Locate(QStringLiteral("CODE"), {QStringLiteral("9911")}));
        ext.Delete();
        QCOMPARE(ext.ApplyUpdates(0), 0);
    }

    void lookupAndCalculatedFieldsOverRealTables()
    {
        TAdminData data(*client_);
        QVERIFY(data.ActivePbxId > 0);
        TField* active = data.Pbx.FieldByName(QStringLiteral("ClcActive"));
        int marked = 0;
        for (int row = 0; row < data.Pbx.RecordCount(); ++row) {
            const bool isActive =
                data.Pbx.ValueAt(row, *data.Pbx.FieldByName(QStringLiteral("ID"))).toInt() ==
                data.ActivePbxId;
            QCOMPARE(data.Pbx.DisplayTextAt(row, *active), isActive ? QStringLiteral("***") : QString());
            marked += isActive;
        }
        QCOMPARE(marked, 1);

        TRemoteDataSet& ext = data.Extension;
        QVERIFY(ext.RecordCount() > 0);
        for (int row = 0; row < ext.RecordCount(); ++row) {
            const QVariant group = ext.ValueAt(row, *ext.FieldByName(QStringLiteral("GROUP_ID")));
            const QVariant pbx = ext.ValueAt(row, *ext.FieldByName(QStringLiteral("PBX_ID")));
            QCOMPARE(ext.DisplayTextAt(row, *ext.FieldByName(QStringLiteral("lkpGroupName"))),
                     data.Groups.Lookup(QStringLiteral("ID"), {group}, QStringLiteral("NAME")).toString());
            QCOMPARE(ext.DisplayTextAt(row, *ext.FieldByName(QStringLiteral("lkpPBX"))),
                     data.Pbx.Lookup(QStringLiteral("ID"), {pbx}, QStringLiteral("NAME")).toString());
            QVERIFY(!ext.DisplayTextAt(row, *ext.FieldByName(QStringLiteral("lkpGroupName"))).isEmpty());
        }

        // The grid shows the visible columns with the lookups.
        TDataSetModel model;
        TModelTester tester(&model);
        model.SetDataSet(&ext);
        QCOMPARE(model.rowCount(), ext.RecordCount());
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Number"));
        const int lookupColumn = model.ColumnOf(ext.FieldByName(QStringLiteral("lkpGroupName")));
        QVERIFY(lookupColumn > 0);
        QCOMPARE(model.data(model.index(0, lookupColumn)).toString(),
                 ext.DisplayTextAt(0, *ext.FieldByName(QStringLiteral("lkpGroupName"))));
    }

    // The grid's model keeps Qt's model rules, and shows the dataset, while rows are
    // fetched, edited, applied (the key the server gives a new row shows at once), undone,
    // fetched again, refused and closed.
    void gridModelFollowsTheServersRows()
    {
        TAdminData data(*client_);
        TRemoteDataSet& groups = data.Groups;
        TField* id = groups.FieldByName(QStringLiteral("ID"));
        TField* name = groups.FieldByName(QStringLiteral("NAME"));
        id->SetVisible(true);
        TDataSetModel model;
        TModelTester tester(&model);
        model.SetDataSet(&groups);
        QItemSelectionModel selection(&model);
        model.BindSelectionModel(&selection);
        const auto shown = [&] {
            const QString mismatch = DataSetModelMismatch(model, groups);
            return mismatch.isEmpty() && selection.currentIndex().row() == groups.CurrentRow();
        };
        QVERIFY(shown());
        const int before = groups.RecordCount();

        groups.Append();
        name->SetAsString(QStringLiteral("Model check"));
        groups.Post();
        QVERIFY(shown());
        const int added = groups.CurrentRow();
        QVERIFY(model.data(model.index(added, model.ColumnOf(id))).toString().isEmpty());
        QCOMPARE(groups.ApplyUpdates(0), 0);
        QVERIFY(id->AsInteger() > 0);
        QCOMPARE(model.data(model.index(added, model.ColumnOf(id))).toString(),
                 QString::number(id->AsInteger()));
        QVERIFY(shown());

        groups.Edit();
        name->SetAsString(QStringLiteral("Model check, renamed"));
        groups.Post();
        QCOMPARE(groups.ApplyUpdates(0), 0);
        QVERIFY(shown());
        groups.First();
        groups.Edit();
        name->SetAsString(QStringLiteral("Not kept"));
        groups.Post();
        groups.Last();
        groups.Delete();
        groups.CancelUpdates();
        QVERIFY(shown());

        // The group made above: the demo's groups have extensions that calls refer to,
        // which the server keeps.
        QVERIFY(groups.Locate(QStringLiteral("NAME"), {QStringLiteral("Model check, renamed")}));
        const int key = id->AsInteger();
        groups.Close();
        groups.Open();
        QVERIFY(groups.Locate(QStringLiteral("ID"), {key}));
        QVERIFY(shown());
        groups.Delete();
        QCOMPARE(groups.ApplyUpdates(0), 0);
        QCOMPARE(model.rowCount(), before);
        QVERIFY(shown());

        groups.Close();
        groups.SetProviderName(QStringLiteral("dspNothing"));
        QCOMPARE(HResultText(OleErrorOf([&] { groups.Open(); })), HResultText(hr::DISP_E_UNKNOWNNAME_));
        QVERIFY(shown());
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 0);
    }

    void filterClauseNarrowsTheExtensions()
    {
        TAdminData data(*client_);
        const int all = data.Extension.RecordCount();
        data.Pbx.Last();
        const int pbx = data.Pbx.FieldByName(QStringLiteral("ID"))->AsInteger();
        const int expected = CountWhere(data.Extension, QStringLiteral("PBX_ID"), pbx);
        QVERIFY(expected > 0 && expected < all);

        const TRemoteModule admin = client_->Module("AdminRDM");
        admin.Call(308, {QStringLiteral("qryExtension"), QStringLiteral("where PBX_ID = %1").arg(pbx)});
        data.Extension.Close();
        data.Extension.Open();
        QCOMPARE(data.Extension.RecordCount(), expected);
        QCOMPARE(CountWhere(data.Extension, QStringLiteral("PBX_ID"), pbx), expected);

        data.Groups.First();
        const int group = data.Groups.FieldByName(QStringLiteral("ID"))->AsInteger();
        admin.Call(308, {QStringLiteral("qryExtension"), QStringLiteral("where GROUP_ID = %1").arg(group)});
        data.Extension.Close();
        data.Extension.Open();
        QCOMPARE(CountWhere(data.Extension, QStringLiteral("GROUP_ID"), group), data.Extension.RecordCount());

        // Any other clause is refused and the filter stays.
        QCOMPARE(HResultText(OleErrorOf([&] {
                     admin.Call(308, {QStringLiteral("qryExtension"),
                                      QStringLiteral("where 1 = 1; drop table CALL")});
                 })),
                 HResultText(hr::DISP_E_EXCEPTION_));
        admin.Call(308, {QStringLiteral("qryExtension"), QString()});
        data.Extension.Close();
        data.Extension.Open();
        QCOMPARE(data.Extension.RecordCount(), all);
    }

    void reportResultsStreamInPackets()
    {
        const TRemoteModule report = client_->Module("ReportRDM");
        client_->Report.Calls.clear();
        report.Call(301,
                    {QStringLiteral("select c.ID, c.REC_DATETIME, c.DURATION, c.PHONE, c.CHARGE from CALL c "
                                    "order by c.ID")});
        QTRY_VERIFY_WITH_TIMEOUT(client_->Report.Saw(QStringLiteral("ReportReady")), 30000);
        TRemoteDataSet result;
        result.SetRemoteServer(&client_->Child("ReportRDM"));
        result.SetProviderName(QStringLiteral("dspResult"));
        const qint64 bytesBefore = client_->Socket.Session()->BytesReceived();
        client_->Main().Call(312, {false});
        result.Open();
        client_->Main().Call(312, {true});
        QVERIFY(result.RecordCount() > 10000);
        QVERIFY(client_->Socket.Session()->BytesReceived() - bytesBefore > 256 * 1024);  // several packets
        QCOMPARE(result.FieldByName(QStringLiteral("REC_DATETIME"))->DataType(), TFieldType::DateTime);
        QCOMPARE(result.FieldByName(QStringLiteral("CHARGE"))->DataType(), TFieldType::Currency);
        QVERIFY(VarIsDateTime(result.FieldByName(QStringLiteral("REC_DATETIME"))->Value()));
        // In the order the statement asked for, every row there.
        int previous = 0;
        bool ordered = true;
        for (result.First(); !result.Eof(); result.Next()) {
            const int id = result.FieldByName(QStringLiteral("ID"))->AsInteger();
            ordered = ordered && id > previous;
            previous = id;
        }
        QVERIFY(ordered);
    }

    void openingFailuresLeaveTheDataSetClosed()
    {
        TRemoteDataSet ds;
        ds.setObjectName(QStringLiteral("cdsX"));
        ds.SetRemoteServer(&client_->Child("AdminRDM"));
        ds.SetProviderName(QStringLiteral("dspNothing"));
        QCOMPARE(HResultText(OleErrorOf([&] { ds.Open(); })), HResultText(hr::DISP_E_UNKNOWNNAME_));
        QVERIFY(!ds.Active());
        QCOMPARE(ds.FieldCount(), 0);

        ds.SetProviderName(QStringLiteral("dspGroups"));
        ds.AddField(QStringLiteral("COLOUR"), TFieldType::String, 10);
        QString message;
        try {
            ds.Open();
        } catch (const EDatabaseError& e) {
            message = e.Message();
        }
        QCOMPARE(message, QStringLiteral("cdsX: Field 'COLOUR' not found."));
        QVERIFY(!ds.Active());
        QCOMPARE(ds.FieldCount(), 1);

        // A connection without the administrator's level may not read the table.
        TClientFixture locked;
        QCOMPARE(locked.Connect(server_->Port()), 0);
        TRemoteDataSet groups;
        groups.SetRemoteServer(&locked.Child("AdminRDM"));
        groups.SetProviderName(QStringLiteral("dspGroups"));
        QCOMPARE(HResultText(OleErrorOf([&] { groups.Open(); })), HResultText(hr::E_ACCESSDENIED_));
    }
};

QTEST_GUILESS_MAIN(TestRemoteDataSets)
#include "tst_remote_datasets.moc"
