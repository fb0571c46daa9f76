// The report frame framework with small pages of its own: the state-line encoding, the
// filter frame's defaults and its descriptor calls, the tree-node marks, and the control
// panel that keeps every page's line in the settings file under positional keys.

#include "shell/base/ClientLogs.h"
#include "reportconfig/FrameReportFilter.h"
#include "shell/base/IniFiles32.h"
#include "core/RegionalSettings.h"
#include "reportconfig/ReportControlPanel.h"
#include "calls/ReportQuery.h"
#include "reportconfig/StateLine.h"
#include "reportconfig/TreeNodeMarks.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

namespace {

// A list page: On/Off and the items; state "on|items", condition value the items.
class TTestListFrame : public TReportFilterFrame {
public:
    TTestListFrame(QWidget* owner, TCallFieldId field, QTreeWidgetItem* node = nullptr, TJoinSet joins = {})
        : TReportFilterFrame(owner, field), node_(node), joins_(joins)
    {
        auto* layout = new QVBoxLayout(this);
        chkOnOff = new QCheckBox(QStringLiteral("On"), this);
        edtItems = new QLineEdit(this);
        layout->addWidget(chkOnOff);
        layout->addWidget(edtItems);
        connect(chkOnOff, &QCheckBox::toggled, this, [this](bool on) { MarkFilterNode(node_, on); });
        MarkFilterNode(node_, false);
    }

    QString SaveState() const override
    {
        return TStateWriter().AddBool(chkOnOff->isChecked()).AddText(edtItems->text()).Join(QLatin1Char('|'));
    }
    void LoadState(const QString& state) override
    {
        Loaded << state;
        const TStateReader r(QLatin1Char('|'), state);
        chkOnOff->setChecked(r.Bool(0, false));
        edtItems->setText(r.Text(1));
    }
    bool SelectsNothing() const override { return IsFilterOn() && edtItems->text().isEmpty(); }
    bool IsFilterOn() const override { return chkOnOff->isChecked(); }
    QString GetConditionValue() const override { return edtItems->text(); }
    TJoinSet GetRequiredJoins() const override { return joins_; }

    QCheckBox* chkOnOff;
    QLineEdit* edtItems;
    QStringList Loaded;

private:
    QTreeWidgetItem* node_;
    TJoinSet joins_;
};

// A range page: On/Off, a mode radio group, two bounds and "or missing"; state
// "on;mode;low;high;missing", condition value "mode,low,high,missing".
class TTestSpanFrame : public TReportFilterFrame {
public:
    explicit TTestSpanFrame(QWidget* owner) : TReportFilterFrame(owner, cfDuration)
    {
        auto* layout = new QVBoxLayout(this);
        chkOnOff = new QCheckBox(QStringLiteral("On"), this);
        layout->addWidget(chkOnOff);
        rgMode = new QButtonGroup(this);
        for (int i = 0; i < 3; ++i) {
            auto* button = new QRadioButton(QString::number(i), this);
            rgMode->addButton(button, i);
            layout->addWidget(button);
        }
        rgMode->button(0)->setChecked(true);
        for (QDoubleSpinBox** bound : {&edtLow, &edtHigh}) {
            *bound = new QDoubleSpinBox(this);
            (*bound)->setRange(0, 1e6);
            layout->addWidget(*bound);
        }
        chkMissing = new QCheckBox(QStringLiteral("or missing"), this);
        layout->addWidget(chkMissing);
    }

    QString SaveState() const override
    {
        return TStateWriter()
            .AddBool(chkOnOff->isChecked())
            .AddInt(rgMode->checkedId())
            .AddReal(edtLow->value())
            .AddReal(edtHigh->value())
            .AddBool(chkMissing->isChecked())
            .Join(QLatin1Char(';'));
    }
    void LoadState(const QString& state) override
    {
        const TStateReader r(QLatin1Char(';'), state);
        chkOnOff->setChecked(r.Bool(0, false));
        rgMode->button(r.Index(1, 3, 0))->setChecked(true);
        edtLow->setValue(r.Real(2, 0));
        edtHigh->setValue(r.Real(3, 0));
        chkMissing->setChecked(r.Bool(4, false));
    }
    bool IsFilterOn() const override { return chkOnOff->isChecked(); }
    QString GetConditionValue() const override
    {
        return TStateWriter()
            .AddInt(rgMode->checkedId())
            .AddReal(edtLow->value())
            .AddReal(edtHigh->value())
            .AddBool(chkMissing->isChecked())
            .Join(QLatin1Char(','));
    }

    QCheckBox* chkOnOff;
    QButtonGroup* rgMode;
    QDoubleSpinBox* edtLow;
    QDoubleSpinBox* edtHigh;
    QCheckBox* chkMissing;
};

// A page that is no filter: a title.
class TTestTitleFrame : public TReportBaseFrame {
public:
    explicit TTestTitleFrame(QWidget* owner) : TReportBaseFrame(owner), edtTitle(new QLineEdit(this)) {}
    QString SaveState() const override { return edtTitle->text(); }
    void LoadState(const QString& state) override { edtTitle->setText(state); }
    QLineEdit* edtTitle;
};

// The pages of a window: the empty panel, two list pages of one class, a label that is no
// page, a range page and a title page (indexes 0 to 5).
struct TPages {
    TReportControlPanel Panel;
    QLabel* Empty = new QLabel(QStringLiteral("Please, select a more specific item"), &Panel);
    TTestListFrame* Trunk = new TTestListFrame(&Panel, cfTrunk);
    TTestListFrame* CallType = new TTestListFrame(&Panel, cfCallType);
    QLabel* NoPage = new QLabel(&Panel);
    TTestSpanFrame* Duration = new TTestSpanFrame(&Panel);
    TTestTitleFrame* Title = new TTestTitleFrame(&Panel);
};

QString ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

class TestReportFrames : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString IniPath(const char* name) const { return dir_.filePath(QLatin1String(name)); }

private Q_SLOTS:
    void initTestCase()
    {
        CreateCallFieldInfos();
        TRegionalSettings rs;
        rs.DecimalSeparator = QLatin1Char(',');
        TRegionalSettings::SetCurrent(rs);
        InstallClientLogs(std::make_unique<TClientLogs>(dir_.path() + QStringLiteral("/logs/")));
    }
    void cleanupTestCase() { ReleaseClientLogs(); }

    // ---- encoding rules --------------------------------------------------------------------

    void stateToBool_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("defaultValue");
        QTest::addColumn<bool>("value");
        QTest::newRow("True") << "True" << false << true;
        QTest::newRow("any case") << "tRUE" << false << true;
        QTest::newRow("False") << "FALSE" << true << false;
        QTest::newRow("0") << "0" << true << false;
        QTest::newRow("-1") << "-1" << false << true;
        QTest::newRow("other integers") << "7" << false << true;
        QTest::newRow("empty: default") << "" << true << true;
        QTest::newRow("yes: default") << "yes" << false << false;
        QTest::newRow("1.0: default") << "1.0" << false << false;
        QTest::newRow("padded word: default") << " True" << false << false;
    }
    void stateToBool()
    {
        QFETCH(QString, text);
        QFETCH(bool, defaultValue);
        QFETCH(bool, value);
        QCOMPARE(StateToBool(text, defaultValue), value);
    }

    void stateToNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("integer");  // default 7
        QTest::addColumn<int>("index");    // of 3 items, default 1
        QTest::addColumn<double>("real");  // default 2.5
        QTest::newRow("decimal") << "2" << 2 << 2 << 2.0;
        QTest::newRow("negative") << "-3" << -3 << 0 << -3.0;
        QTest::newRow("above the last item") << "12" << 12 << 2 << 12.0;
        QTest::newRow("real with a dot") << "1.5" << 7 << 1 << 1.5;
        QTest::newRow("the locale's own separator is tolerated") << "1,5" << 7 << 1 << 1.5;
        QTest::newRow("two separators") << "1.5.2" << 7 << 1 << 2.5;
        QTest::newRow("empty") << "" << 7 << 1 << 2.5;
        QTest::newRow("word") << "abc" << 7 << 1 << 2.5;
        QTest::newRow("beyond 32 bits") << "99999999999" << 7 << 1 << 99999999999.0;
        QTest::newRow("beyond any real") << "1e999" << 7 << 1 << 2.5;
    }
    void stateToNumbers()
    {
        QFETCH(QString, text);
        QFETCH(int, integer);
        QFETCH(int, index);
        QFETCH(double, real);
        QCOMPARE(StateToInt(text, 7), integer);
        QCOMPARE(StateToIndex(text, 3, 1), index);
        QCOMPARE(StateToReal(text, 2.5), real);
    }

    void indexEdges()
    {
        QCOMPARE(StateToIndex(QStringLiteral("x"), 3, 9), 2);  // the default is clamped too
        QCOMPARE(StateToIndex(QStringLiteral("1"), 0, 0), -1);
    }

    void writerAndReader()
    {
        const QString line = TStateWriter()
                                 .AddBool(true)
                                 .AddInt(-3)
                                 .AddReal(2.5)
                                 .AddReal(1e-20)
                                 .AddText(QStringLiteral("a,b"))
                                 .AddBool(false)
                                 .Join(QLatin1Char('|'));
        QCOMPARE(line, QStringLiteral("True|-3|2.5|1E-20|a,b|False"));
        const TStateReader r(QLatin1Char('|'), line);
        QCOMPARE(r.Count(), 6);
        QVERIFY(r.Bool(0, false));
        QCOMPARE(r.Integer(1, 0), -3);
        QCOMPARE(r.Real(2, 0), 2.5);
        QCOMPARE(r.Real(3, 0), 1e-20);
        QCOMPARE(r.Sub(4, QLatin1Char(',')).Items(), (TStringArray{"a", "b"}));
        QVERIFY(!r.Bool(5, true));
        QCOMPARE(r.Text(6, QStringLiteral("none")), QStringLiteral("none"));
        QCOMPARE(TStateWriter().Join(QLatin1Char('|')), QString());
        QCOMPARE(TStateReader(QLatin1Char('|'), QString()).Count(), 0);
        QCOMPARE(TStateReader(QLatin1Char('|'), QStringLiteral("a||")).Items(), (TStringArray{"a", "", ""}));
    }

    // ---- frames ---------------------------------------------------------------------------

    void construction()
    {
        TPages pages;
        QCOMPARE(pages.Trunk->parentWidget(), &pages.Panel);
        QVERIFY(pages.Trunk->objectName().isEmpty());
        QCOMPARE(pages.Trunk->font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(pages.Trunk->font().pixelSize(), 13);
        QCOMPARE(pages.Trunk->edtItems->font().pixelSize(), 13);
        QCOMPARE(pages.Trunk->focusPolicy(), Qt::StrongFocus);
        QCOMPARE(pages.Trunk->FieldId(), cfTrunk);

        pages.Panel.resize(400, 300);
        pages.Panel.show();
        pages.Panel.ShowPage(pages.Duration);
        QCOMPARE(pages.Panel.CurrentPage(), pages.Duration);
        QCOMPARE(pages.Duration->geometry(), pages.Panel.rect());
        QVERIFY(pages.Duration->isVisible());
        QVERIFY(!pages.Trunk->isVisible() && !pages.Empty->isVisible());
        pages.Panel.resize(500, 320);
        QCOMPARE(pages.Duration->geometry(), QRect(0, 0, 500, 320));
        pages.Panel.ShowPage(pages.Empty);
        QVERIFY(pages.Empty->isVisible() && !pages.Duration->isVisible());
    }

    void filterDefaults()
    {
        TPages pages;
        QVERIFY(!pages.Duration->SelectsNothing());
        QVERIFY(pages.Duration->GetRequiredJoins().IsEmpty());
        pages.Trunk->chkOnOff->setChecked(true);
        QVERIFY(pages.Trunk->SelectsNothing());
    }

    // The descriptor of FieldId words the condition and the summary, only while on.
    void conditionsAndSummaries_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("summary");
        QTest::newRow("off, whatever the controls hold") << false << int(cfDuration) << ""
                                                         << "";
        QTest::newRow("on") << true << int(cfDuration)
                            << "c.DURATION between 60 and 300 or c.DURATION is null"
                            << "Duration: between 1m and 5m or missing";
        QTest::newRow("another field")
            << true << int(cfPulses) << "c.PULSES between 60 and 300 or c.PULSES is null"
            << "Pulses: between 60 and 300 or missing";
    }
    void conditionsAndSummaries()
    {
        QFETCH(bool, on);
        QFETCH(int, field);
        QFETCH(QString, condition);
        QFETCH(QString, summary);
        TPages pages;
        pages.Duration->LoadState(QStringLiteral("False;1;60;300;True"));
        pages.Duration->chkOnOff->setChecked(on);
        pages.Duration->SetFieldId(static_cast<TCallFieldId>(field));
        QCOMPARE(pages.Duration->GetConditionValue(), QStringLiteral("1,60,300,True"));
        QCOMPARE(pages.Duration->GetSQLCondition(), condition);
        QCOMPARE(pages.Duration->GetSummary(), summary);
    }

    // The query assembly takes the frames as they are.
    void collectConditionsOverFrames()
    {
        TReportControlPanel panel;
        auto* names = new TTestListFrame(&panel, cfExtName, nullptr, {jnExtension});
        auto* trunk = new TTestListFrame(&panel, cfTrunk);
        auto* pins = new TTestListFrame(&panel, cfPinName, nullptr, {jnPinCode});
        names->LoadState(QStringLiteral("True|Ann,-"));
        trunk->LoadState(QStringLiteral("False|1,2"));
        pins->LoadState(QStringLiteral("False|Bob"));
        const QList<TReportFilterFrame*> filters{names, trunk, pins};
        TJoinSet joins;
        QCOMPARE(CollectConditions(filters, joins),
                 (TStringArray{"e.NAME = 'Ann' or e.NAME is null", QString(), QString()}));
        QCOMPARE(joins, (TJoinSet{jnExtension, jnPinCode}));
    }

    void malformedLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("state");  // as SaveState writes it back
        QTest::newRow("empty") << ""
                               << "False;0;0;0;False";
        QTest::newRow("complete") << "True;1;60;300;True"
                                  << "True;1;60;300;True";
        QTest::newRow("any case, missing high") << "TRUE;2;1.5;;false"
                                                << "True;2;1.5;0;False";
        QTest::newRow("radio index above the group") << "1;7;abc;300"
                                                     << "True;2;0;300;False";
        QTest::newRow("radio index below the group") << "-1;-3;60"
                                                     << "True;0;60;0;False";
        QTest::newRow("unreadable elements") << "yes;x;1.5.2;2e;maybe"
                                             << "False;0;0;0;False";
        QTest::newRow("extra elements") << "True;1;60;300;True;more;still"
                                        << "True;1;60;300;True";
        QTest::newRow("only separators") << ";;;;"
                                         << "False;0;0;0;False";
        QTest::newRow("a bound out of the control's range") << "True;0;-5;2000000"
                                                            << "True;0;0;1000000;False";
    }
    void malformedLines()
    {
        QFETCH(QString, line);
        QFETCH(QString, state);
        TPages pages;
        pages.Duration->LoadState(QStringLiteral("True;2;7;8;True"));  // something to replace
        pages.Duration->LoadState(line);
        QCOMPARE(pages.Duration->SaveState(), state);
    }

    // A line saved by one page and given to another leaves that page valid.
    void lineOfAnotherPage()
    {
        TPages pages;
        pages.Trunk->LoadState(QStringLiteral("True|1,2,-"));
        pages.Duration->LoadState(pages.Trunk->SaveState());
        QCOMPARE(pages.Duration->SaveState(), QStringLiteral("False;0;0;0;False"));

        pages.Duration->LoadState(QStringLiteral("True;1;60;300;True"));
        pages.CallType->LoadState(pages.Duration->SaveState());
        QVERIFY(!pages.CallType->IsFilterOn());
        QCOMPARE(pages.CallType->GetSQLCondition(), QString());

        pages.Title->LoadState(pages.Trunk->SaveState());
        pages.Trunk->LoadState(QStringLiteral("A title|with a bar"));
        QCOMPARE(pages.Trunk->SaveState(), QStringLiteral("False|with a bar"));
    }

    // ---- tree-node marks ---------------------------------------------------------------------

    void nodeMarks()
    {
        QTreeWidget tree;
        auto* lists = new QTreeWidgetItem(&tree, {QStringLiteral("Selective")});
        auto* node = new QTreeWidgetItem(lists, {QStringLiteral("Trunk")});
        QList<QIcon> images;
        for (Qt::GlobalColor color : {Qt::white, Qt::green, Qt::gray, Qt::darkGreen}) {
            QPixmap pixmap(24, 24);
            pixmap.fill(color);
            images << QIcon(pixmap);
        }
        SetTreeImages(&tree, images);

        TReportControlPanel panel;
        auto* frame = new TTestListFrame(&panel, cfTrunk, node);
        QCOMPARE(NodeImageIndex(node), 0);
        QCOMPARE(NodeSelectedImageIndex(node), 2);
        QVERIFY(!node->icon(0).isNull());

        frame->LoadState(QStringLiteral("True|1"));
        QVERIFY(IsNodeMarkedOn(node));
        QCOMPARE(NodeSelectedImageIndex(node), 3);
        const QColor selected = node->icon(0).pixmap(24, 24, QIcon::Selected).toImage().pixelColor(5, 5);
        QCOMPARE(selected, QColor(Qt::darkGreen));

        frame->chkOnOff->click();  // the user
        QCOMPARE(NodeImageIndex(node), 0);
        QCOMPARE(NodeSelectedImageIndex(node), 2);

        // The window's group nodes follow their children with the same rule.
        MarkFilterNode(lists, true);
        QCOMPARE(NodeImageIndex(lists), 1);
        QCOMPARE(NodeSelectedImageIndex(lists), 3);
        MarkFilterNode(nullptr, true);
        QCOMPARE(NodeImageIndex(nullptr), -1);
    }

    // ---- the container ------------------------------------------------------------------------

    void keysArePositional()
    {
        TPages pages;
        QCOMPARE(TReportControlPanel::StateKey(17), QStringLiteral("control_panels_17"));
        // Neither a layout nor raising a page moves the indexes.
        new QVBoxLayout(&pages.Panel);
        pages.Trunk->raise();
        QCOMPARE(pages.Panel.Pages(), (QList<QWidget*>{pages.Empty, pages.Trunk, pages.CallType, pages.NoPage,
                                                       pages.Duration, pages.Title}));
        QCOMPARE(pages.Panel.PageIndex(pages.Duration), 4);
        QCOMPARE(pages.Panel.Frames().size(), 4);

        pages.Trunk->LoadState(QStringLiteral("True|1,2"));
        pages.Duration->LoadState(QStringLiteral("True;2;10.5;0;False"));
        pages.Title->LoadState(QStringLiteral("Monthly calls"));
        const QString path = IniPath("positional.ini");
        WriteFile(path, "[Server]\r\nhost=pbx\r\n[Report]\r\nactive_page=4\r\n");
        TIniFile32 settings(path);
        pages.Panel.SaveStates(settings);
        const QString text = ReadFile(path);
        for (const char* line :
             {"control_panels_1=True|1,2", "control_panels_2=False|", "control_panels_4=True;2;10.5;0;False",
              "control_panels_5=Monthly calls", "active_page=4", "host=pbx"})
            QVERIFY2(text.contains(QLatin1String(line)), line);
        QVERIFY(!text.contains(QLatin1String("control_panels_0")));
        QVERIFY(!text.contains(QLatin1String("control_panels_3")));
    }

    // A file written by the positional scheme loads into the same pages.
    void existingFileLoadsIntoTheSamePages()
    {
        const QString path = IniPath("existing.ini");
        WriteFile(
            path,
            "[Server]\r\ncontrol_panels_1=True|9\r\n"
            "[Report]\r\nactive_page=9\r\ncontrol_panels_0=ignored\r\ncontrol_panels_1=True|1,-\r\n"
            "control_panels_2=False|X\r\ncontrol_panels_3=ignored too\r\n"
            "control_panels_4=True;0;30;0;True\r\ncontrol_panels_5=Title\r\ncontrol_panels_6=nobody\r\n");
        TPages pages;
        pages.Panel.LoadStates(TIniFile32(path));
        QCOMPARE(pages.Trunk->Loaded, QStringList{"True|1,-"});
        QCOMPARE(pages.Trunk->GetSQLCondition(), QStringLiteral("c.TRUNK = '1' or c.TRUNK is null"));
        QCOMPARE(pages.CallType->Loaded, QStringList{"False|X"});
        QCOMPARE(pages.Duration->GetSQLCondition(), QStringLiteral("c.DURATION >= 30 or c.DURATION is null"));
        QCOMPARE(pages.Title->edtTitle->text(), QStringLiteral("Title"));
        QVERIFY(pages.Empty->text().startsWith(QLatin1String("Please")));
        QVERIFY(pages.NoPage->text().isEmpty());
    }

    void noReportSection()
    {
        const QString path = IniPath("server-only.ini");
        WriteFile(path, "[Server]\r\nhost=pbx\r\n");
        TPages pages;
        pages.Trunk->LoadState(QStringLiteral("True|1"));
        pages.Duration->LoadState(QStringLiteral("True;1;60;300;True"));
        pages.Title->LoadState(QStringLiteral("Old"));
        pages.Panel.LoadStates(TIniFile32(path));
        QCOMPARE(pages.Trunk->Loaded, (QStringList{"True|1", ""}));
        QCOMPARE(pages.CallType->Loaded, QStringList{""});
        QCOMPARE(pages.Trunk->SaveState(), QStringLiteral("False|"));
        QCOMPARE(pages.Duration->SaveState(), QStringLiteral("False;0;0;0;False"));
        QVERIFY(pages.Title->edtTitle->text().isEmpty());
        QCOMPARE(TIniFile32(IniPath("missing.ini"))
                     .ReadString(QStringLiteral("Report"), QStringLiteral("control_panels_1"), "x"),
                 QStringLiteral("x"));
    }

    // Two pages of one class keep separate states under separate keys.
    void sameClassSeparateKeys()
    {
        const QString path = IniPath("two-lists.ini");
        {
            TPages pages;
            pages.Trunk->LoadState(QStringLiteral("True|1,2"));
            pages.CallType->LoadState(QStringLiteral("True|A"));
            TIniFile32 settings(path);
            pages.Panel.SaveStates(settings);
        }
        TPages pages;
        pages.Panel.LoadStates(TIniFile32(path));
        QCOMPARE(pages.Trunk->GetSQLCondition(), QStringLiteral("c.TRUNK in ('1', '2')"));
        QCOMPARE(pages.CallType->GetSQLCondition(), QStringLiteral("c.CALL_TYPE = 'A'"));
    }

    // A page that breaks its contract cannot split the settings file's line.
    void lineBreakInAState()
    {
        const QString path = IniPath("break.ini");
        TPages pages;
        pages.Title->edtTitle->setText(QStringLiteral("two\r\nlines"));
        {
            TIniFile32 settings(path);
            pages.Panel.SaveStates(settings);
        }
        QCOMPARE(
            TIniFile32(path).ReadString(QStringLiteral("Report"), QStringLiteral("control_panels_5"), {}),
            QStringLiteral("two  lines"));
        QCOMPARE(
            TIniFile32(path).ReadString(QStringLiteral("Report"), QStringLiteral("control_panels_4"), {}),
            QStringLiteral("False;0;0;0;False"));
        QVERIFY(ReadFile(dir_.filePath(QStringLiteral("logs/reports.log")))
                    .contains(QLatin1String("4: TReportControlPanel: Line break in the state of page 5.")));
    }
};

QTEST_MAIN(TestReportFrames)
#include "tst_reportframes.moc"
