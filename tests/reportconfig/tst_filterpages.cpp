// The filter pages that need no server, offscreen: the interval (state lines, the "Calc"
// spans, the span edit), the list pages (adding, deleting, state lines, conditions) and
// the quantity pages (limits, totals on grouped reports only, the charge field, the count
// page), each through its controls and its state line.

#include "calls/ReportQuery.h"
#include "core/RegionalSettings.h"
#include "reportconfig/FrameCharge.h"
#include "reportconfig/FrameCount.h"
#include "reportconfig/FrameDateTime.h"
#include "reportconfig/FrameList.h"
#include "reportconfig/FrameQuantity.h"
#include "reportconfig/ReportControlPanel.h"
#include "reportconfig/TreeNodeMarks.h"
#include "support/FindChild.h"
#include "support/LogCapture.h"
#include "widgets/LabeledUpDownEdit.h"
#include "widgets/RadioGroup.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimeEdit>
#include <QTreeWidget>

#include <memory>

namespace {

TDateTime At(int month, int day, int hour = 0, int minute = 0)
{
    return EncodeDateTime(2024, month, day, hour, minute);
}

QString Line(TDateTime from, TDateTime to, int field, int calc)
{
    return QStringLiteral("%1,%2,%3,%4").arg(FloatToTextDot(from), FloatToTextDot(to)).arg(field).arg(calc);
}

// Types into a labelled numeric edit and leaves it, as the user does.
void TypeInto(TLabeledUpDownEdit* edit, const QString& text)
{
    auto* editor = FindChild<QLineEdit>(edit, "qt_spinbox_lineedit");
    editor->setText(text);
    QMetaObject::invokeMethod(FindChild<QAbstractSpinBox>(edit, "edtPosition"), "editingFinished");
}

void SetMoment(QDateEdit* date, QTimeEdit* time, TDateTime value)
{
    date->setDate(DateTimeToQDate(value));
    time->setTime(DateTimeToQTime(value));
}

// A list page with its own tree node.
struct TListPage {
    explicit TListPage(TCallFieldId field)
        : Node(new QTreeWidgetItem(&Tree, {QStringLiteral("Trunk")})),
          Page(new TFrameListChoice(&Panel, Node, field))
    {
    }
    QListWidget* List() const { return FindChild<QListWidget>(Page, "CheckListBox"); }
    QLineEdit* Edit() const { return FindChild<QLineEdit>(Page, "EditBox"); }
    QAction* Action(const char* name) const { return FindChild<QAction>(Page, name); }

    QTreeWidget Tree;
    TReportControlPanel Panel;
    QTreeWidgetItem* Node;
    TFrameListChoice* Page;
};

struct TQuantityPages {
    TReportControlPanel Panel;
    TFrameCountLimit* Count = new TFrameCountLimit(&Panel, nullptr);
    TFrameQuantityDoubleLimit* Duration =
        new TFrameQuantityDoubleLimit(&Panel, nullptr, cfTotalDuration, cfDuration);
    TFrameChargeLimit* Charge = new TFrameChargeLimit(&Panel, nullptr);
};

}  // namespace

class TestFilterPages : public QObject {
    Q_OBJECT

    std::unique_ptr<TLogCapture> logs_;

private Q_SLOTS:
    void initTestCase()
    {
        CreateCallFieldInfos();
        TRegionalSettings rs;
        rs.DecimalSeparator = QLatin1Char(',');
        rs.CurrencyString = QStringLiteral("EUR");
        rs.CurrencyFormat = 3;
        TRegionalSettings::SetCurrent(rs);
        logs_ = std::make_unique<TLogCapture>();
    }
    void cleanupTestCase() { logs_.reset(); }

    // ---- interval ----------------------------------------------------------------------

    void intervalStateLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("restored");  // as SaveState writes it back
        QTest::addColumn<int>("field");
        const TDateTime today = Today();
        QTest::newRow("empty: today on the received time, span computed")
            << "" << Line(today, today + 1, 0, 1) << int(cfRecTime);
        QTest::newRow("three elements: the default") << Line(At(3, 1), At(3, 2), 2, 2).section(',', 0, 2)
                                                     << Line(today, today + 1, 0, 1) << int(cfRecTime);
        QTest::newRow("longer than a day keeps the last day")
            << Line(At(3, 1, 8), At(3, 5, 18), 0, 1) << Line(At(3, 4, 18), At(3, 5, 18), 0, 1)
            << int(cfRecTime);
        QTest::newRow("two hours unchanged, on the end time, From computed")
            << Line(At(3, 1, 8), At(3, 1, 10), 1, 0) << Line(At(3, 1, 8), At(3, 1, 10), 1, 0)
            << int(cfEndTime);
        QTest::newRow("From after To: exchanged, then shortened")
            << Line(At(3, 9, 6), At(3, 1), 2, 2) << Line(At(3, 8, 6), At(3, 9, 6), 2, 2) << int(cfStartTime);
        QTest::newRow("indexes out of range are clamped")
            << Line(At(3, 1), At(3, 2), 7, -4) << Line(At(3, 1), At(3, 2), 2, 0) << int(cfStartTime);
        QTest::newRow("unreadable indexes: received time, span computed")
            << Line(At(3, 1), At(3, 2), 0, 0).section(',', 0, 1) + QStringLiteral(",x,y")
            << Line(At(3, 1), At(3, 2), 0, 1) << int(cfRecTime);
        QTest::newRow("unreadable From: today")
            << QStringLiteral("abc,%1,1,1").arg(FloatToTextDot(today + 0.5)) << Line(today, today + 0.5, 1, 1)
            << int(cfEndTime);
        QTest::newRow("a moment no picker shows: tomorrow")
            << QStringLiteral("%1,1e9,0,1").arg(FloatToTextDot(today + 0.75))
            << Line(today + 0.75, today + 1, 0, 1) << int(cfRecTime);
    }
    void intervalStateLines()
    {
        QFETCH(QString, line);
        QFETCH(QString, restored);
        QFETCH(int, field);
        TReportControlPanel panel;
        auto* page = new TFrameDateTimeSelect(&panel);
        page->LoadState(Line(At(1, 1), At(1, 2), 1, 2));  // something else before
        page->LoadState(line);
        QCOMPARE(page->SaveState(), restored);
        QCOMPARE(int(page->FieldId()), field);
        QVERIFY(page->IsFilterOn());
        QVERIFY(!page->SelectsNothing());
        // What Calc computes is disabled.
        const int calc = restored.section(',', 3).toInt();
        QCOMPARE(FindChild<QDateEdit>(page, "dtpFromDate")->isEnabled(), calc != 0);
        QCOMPARE(FindChild<TLabeledUpDownEdit>(page, "ludedtInterval")->isEnabled(), calc != 1);
        QCOMPARE(FindChild<QTimeEdit>(page, "dtpToTime")->isEnabled(), calc != 2);
        // The line restores itself.
        auto* again = new TFrameDateTimeSelect(&panel);
        again->LoadState(restored);
        QCOMPARE(again->SaveState(), restored);
    }

    // The condition follows the chosen time field; the summary words the same period.
    void intervalConditions_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("summary");
        QTest::newRow("received") << 0 << "c.REC_DATETIME between '2024-03-04 18:00:00' and '2024-03-05'"
                                  << "Received time: from 04.03.2024 18:00:00 to 05.03.2024";
        QTest::newRow("end") << 1 << "c.END_DATETIME between '2024-03-04 18:00:00' and '2024-03-05'"
                             << "End time: from 04.03.2024 18:00:00 to 05.03.2024";
        QTest::newRow("start") << 2 << "c.START_DATETIME between '2024-03-04 18:00:00' and '2024-03-05'"
                               << "Start time: from 04.03.2024 18:00:00 to 05.03.2024";
    }
    void intervalConditions()
    {
        QFETCH(int, field);
        QFETCH(QString, condition);
        QFETCH(QString, summary);
        TReportControlPanel panel;
        auto* page = new TFrameDateTimeSelect(&panel);
        page->LoadState(Line(At(3, 5), At(3, 4, 18), field, 1));
        QCOMPARE(page->GetSQLCondition(), condition);
        QCOMPARE(page->GetSummary(), summary);
        QCOMPARE(page->FilterFieldText(), FieldInfo(page->FieldId()).Caption());
    }

    // From + Span = To: the value chosen under "Calc" follows a change of the others.
    void intervalCalc_data()
    {
        QTest::addColumn<int>("calc");
        QTest::addColumn<QString>("change");  // "from", "to" or "span"
        QTest::addColumn<double>("value");    // the new moment, or the span position
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("text");
        QTest::newRow("span computed from a later To")
            << 1 << "to" << At(3, 5, 21, 30) << At(3, 5, 20) << At(3, 5, 21, 30) << 48 << "1h,30m";
        QTest::newRow("span computed from a later From")
            << 1 << "from" << At(3, 5, 20, 54) << At(3, 5, 20, 54) << At(3, 5, 21) << 29 << "6m";
        QTest::newRow("To computed across midnight")
            << 2 << "span" << 58.0 << At(3, 5, 20) << At(3, 6, 3) << 58 << "7h";
        QTest::newRow("To computed from a new From")
            << 2 << "from" << At(3, 10, 9) << At(3, 10, 9) << At(3, 10, 10) << 47 << "1h";
        QTest::newRow("From computed back over midnight")
            << 0 << "to" << At(3, 7, 0, 30) << At(3, 6, 23, 30) << At(3, 7, 0, 30) << 47 << "1h";
        QTest::newRow("the longest span the edit shows")
            << 1 << "to" << At(3, 5, 20) + 2000 << At(3, 5, 20) << At(3, 5, 20) + 2000 << 32691 << "1360d";
    }
    void intervalCalc()
    {
        QFETCH(int, calc);
        QFETCH(QString, change);
        QFETCH(double, value);
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(int, position);
        QFETCH(QString, text);
        TReportControlPanel panel;
        auto* page = new TFrameDateTimeSelect(&panel);
        // From 5 March 20:00, span 1 hour, To 21:00.
        page->LoadState(Line(At(3, 5, 20), At(3, 5, 21), 0, calc));
        auto* span = FindChild<TLabeledUpDownEdit>(page, "ludedtInterval");
        QCOMPARE(span->Position(), 47);
        if (change == QLatin1String("span"))
            span->SetPosition(int(value));
        else if (change == QLatin1String("to"))
            SetMoment(FindChild<QDateEdit>(page, "dtpToDate"), FindChild<QTimeEdit>(page, "dtpToTime"),
                      value);
        else
            SetMoment(FindChild<QDateEdit>(page, "dtpFromDate"), FindChild<QTimeEdit>(page, "dtpFromTime"),
                      value);
        QCOMPARE(page->From(), from);
        QCOMPARE(page->To(), to);
        QCOMPARE(span->Position(), position);
        QCOMPARE(span->Text(), text);
    }

    // The span edit reads durations; a text that is none keeps the span.
    void intervalTypedSpan_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("position");
        QTest::addColumn<double>("to");
        QTest::newRow("a duration") << "2h 30m" << 50 << At(3, 5, 14, 30);
        QTest::newRow("not a duration") << "soon" << 47 << At(3, 5, 13);
        QTest::newRow("a bare number is no duration") << "60" << 47 << At(3, 5, 13);
    }
    void intervalTypedSpan()
    {
        QFETCH(QString, typed);
        QFETCH(int, position);
        QFETCH(double, to);
        TReportControlPanel panel;
        auto* page = new TFrameDateTimeSelect(&panel);
        page->LoadState(Line(At(3, 5, 12), At(3, 5, 13), 0, 2));
        auto* span = FindChild<TLabeledUpDownEdit>(page, "ludedtInterval");
        TypeInto(span, typed);
        QCOMPARE(span->Position(), position);
        QCOMPARE(page->To(), to);
    }

    // Simple mode sets a period: the span follows, the field stays.
    void intervalSetPeriod()
    {
        TReportControlPanel panel;
        auto* page = new TFrameDateTimeSelect(&panel);
        page->LoadState(Line(At(3, 5, 12), At(3, 5, 13), 2, 0));
        page->SetPeriod(At(3, 3), At(3, 5));
        QCOMPARE(page->SaveState(), Line(At(3, 3), At(3, 5), 2, 1));
        QCOMPARE(FindChild<TLabeledUpDownEdit>(page, "ludedtInterval")->Text(), QStringLiteral("2d"));
    }

    // ---- list pages ----------------------------------------------------------------------

    void listAdding_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("current");  // -1: no current line
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
        QTest::newRow("values and the missing value, blanks trimmed") << "True,False" << -1 << "0035, 0044 ,-"
                                                                      << "True,True,+0035,+0044";
        QTest::newRow("a value there in another case is only ticked") << "True,False,-abc,+x" << -1 << "ABC"
                                                                      << "True,False,+abc,+x";
        QTest::newRow("empty pieces are skipped") << "True,False" << -1 << " , ,7,"
                                                  << "True,False,+7";
        QTest::newRow("new values go before the current line, in the order typed")
            << "True,False,+x,-y" << 1 << "a,b,X"
            << "True,False,+x,+a,+b,-y";
        QTest::newRow("without a current line they are appended") << "True,False,+x,-y" << -1 << "b,a"
                                                                  << "True,False,+x,-y,+b,+a";
    }
    void listAdding()
    {
        QFETCH(QString, before);
        QFETCH(int, current);
        QFETCH(QString, typed);
        QFETCH(QString, after);
        TListPage p(cfTrunk);
        p.Page->LoadState(before);
        p.List()->setCurrentRow(current);
        QTest::keyClicks(p.Edit(), typed);
        QVERIFY(p.Action("aAdd")->isEnabled());
        p.Action("aAdd")->trigger();
        QCOMPARE(p.Page->SaveState(), after);
        QCOMPARE(p.Edit()->text(), typed);
    }

    // Deleting the last line puts its value into the edit; adding it again restores it.
    void listDeletingTheLastLine()
    {
        TListPage p(cfTrunk);
        p.Page->LoadState(QStringLiteral("True,False,+a,-b,+c"));
        p.List()->setCurrentRow(2);
        p.List()->setFocus();
        QTest::keyClick(p.List(), Qt::Key_Delete);
        QCOMPARE(p.Page->SaveState(), QStringLiteral("True,False,+a,-b"));
        QCOMPARE(p.Edit()->text(), QStringLiteral("c"));
        QCOMPARE(p.List()->currentRow(), 1);
        p.Action("aAdd")->trigger();
        QCOMPARE(p.Page->GetConditionValue(), QStringLiteral("a,c"));
        p.List()->setCurrentRow(0);
        p.Action("aDelete")->trigger();
        QCOMPARE(p.List()->currentRow(), 0);
        QCOMPARE(p.List()->currentItem()->text(), QStringLiteral("c"));
    }

    void listStateLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("restored");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<bool>("selectsNothing");
        QTest::newRow("on, one ticked, one not") << "True,False,+0035,-0044"
                                                 << "True,False,+0035,-0044"
                                                 << "c.TRUNK = '0035'" << false;
        QTest::newRow("empty: off") << ""
                                    << "False,False"
                                    << "" << false;
        QTest::newRow("one element: off") << "True"
                                          << "False,False"
                                          << "" << false;
        QTest::newRow("short elements skipped, no trimming or duplicate check")
            << "1,0,+,- a,b,+ a,+ a"
            << "True,False,- a,+ a,+ a"
            << "c.TRUNK in (' a', ' a')" << false;
        QTest::newRow("a value may start with a sign") << "true,yes,++1"
                                                       << "True,False,++1"
                                                       << "c.TRUNK = '+1'" << false;
        QTest::newRow("on with nothing ticked selects nothing") << "True,False,-1,-2"
                                                                << "True,False,-1,-2"
                                                                << "" << true;
        QTest::newRow("the missing value alone selects something") << "True,True,-1"
                                                                   << "True,True,-1"
                                                                   << "c.TRUNK is null" << false;
        QTest::newRow("off never selects nothing") << "False,False,-1"
                                                   << "False,False,-1"
                                                   << "" << false;
    }
    void listStateLines()
    {
        QFETCH(QString, line);
        QFETCH(QString, restored);
        QFETCH(QString, condition);
        QFETCH(bool, selectsNothing);
        TListPage p(cfTrunk);
        p.Page->LoadState(QStringLiteral("True,True,+old"));
        p.Page->LoadState(line);
        QCOMPARE(p.Page->SaveState(), restored);
        QCOMPARE(p.Page->GetSQLCondition(), condition);
        QCOMPARE(p.Page->SelectsNothing(), selectsNothing);
        const bool on = p.Page->IsFilterOn();
        QCOMPARE(IsNodeMarkedOn(p.Node), on);
        QCOMPARE(NodeSelectedImageIndex(p.Node), on ? 3 : 2);
        QCOMPARE(p.Edit()->isEnabled(), on);
        QCOMPARE(p.Action("aCheckAll")->isEnabled(), on);
        QVERIFY(!p.Action("aAdd")->isEnabled());  // the edit is empty
    }

    void listConditions_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("summary");
        QTest::newRow("phone prefixes") << int(cfPhone) << "True,True,+359,-0,+0"
                                        << "(c.PHONE like '359%') or (c.PHONE like '0%') or c.PHONE is null"
                                        << "Phone: 359, 0 or missing";
        QTest::newRow("a typed wildcard matches itself") << int(cfPhone) << "True,False,+08_"
                                                         << "(c.PHONE like '08\\_%' escape '\\')"
                                                         << "Phone: 08_";
        QTest::newRow("call types") << int(cfCallType) << "True,False,+O,+I"
                                    << "c.CALL_TYPE in ('O', 'I')"
                                    << "Call type: O, I";
        QTest::newRow("a quote stays inside the literal") << int(cfExtraCode) << "True,False,+a'b"
                                                          << "c.EXTRA_CODE = 'a''b'"
                                                          << "Extra code: a'b";
        QTest::newRow("off: neither") << int(cfCircuit) << "False,True,+1"
                                      << ""
                                      << "";
    }
    void listConditions()
    {
        QFETCH(int, field);
        QFETCH(QString, line);
        QFETCH(QString, condition);
        QFETCH(QString, summary);
        TListPage p(static_cast<TCallFieldId>(field));
        QCOMPARE(FindChild<QLabel>(p.Page, "lblEditBox")->text(),
                 QLatin1Char(' ') + FieldInfo(p.Page->FieldId()).Caption() + QLatin1Char(' '));
        p.Page->LoadState(line);
        QCOMPARE(p.Page->GetSQLCondition(), condition);
        QCOMPARE(p.Page->GetSummary(), summary);
        QVERIFY(p.Page->GetRequiredJoins().IsEmpty());
    }

    void listChecks()
    {
        TListPage p(cfTrunk);
        p.Page->LoadState(QStringLiteral("True,False,+1,-2,+3"));
        p.Action("aInvertCheck")->trigger();
        QCOMPARE(p.Page->GetConditionValue(), QStringLiteral("2"));
        p.Action("aCheckAll")->trigger();
        QCOMPARE(p.Page->GetConditionValue(), QStringLiteral("1,2,3"));
        p.Action("aCheckNone")->trigger();
        QVERIFY(p.Page->SelectsNothing());
        // Switching off by the action marks the node.
        p.Action("aOnOff")->trigger();
        QVERIFY(!p.Page->IsFilterOn());
        QCOMPARE(NodeImageIndex(p.Node), 0);
        QVERIFY(!p.Action("aInvertCheck")->isEnabled());
    }

    // ---- quantity pages --------------------------------------------------------------------

    void quantityLimits_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("restored");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("summary");
        QTest::newRow("between in order") << int(cfDuration) << "1,60,300,True"
                                          << "1,60,300,True"
                                          << "c.DURATION between 60 and 300 or c.DURATION is null"
                                          << "Duration: between 1m and 5m or missing";
        QTest::newRow("between with the bounds exchanged gives the same")
            << int(cfDuration) << "1,300,60,True"
            << "1,60,300,True"
            << "c.DURATION between 60 and 300 or c.DURATION is null"
            << "Duration: between 1m and 5m or missing";
        QTest::newRow("at most uses the first value only") << int(cfDuration) << "2,300,60,False"
                                                           << "2,300,60,False"
                                                           << "c.DURATION <= 300"
                                                           << "Duration: at most 5m";
        QTest::newRow("a value between positions reads as the one below") << int(cfDuration) << "0,61,0,False"
                                                                          << "0,60,0,False"
                                                                          << "c.DURATION >= 60"
                                                                          << "Duration: at least 1m";
        QTest::newRow("money") << int(cfTotalCharge) << "0,10.05,0,false"
                               << "0,10,0,False"
                               << "sum(c.CHARGE) >= 10"
                               << "Total charge: at least 10 EUR";
        QTest::newRow("counts") << int(cfTotalCount) << "2,105,0,False"
                                << "2,105,0,False"
                                << "count(c.ID) <= 105"
                                << "Call count: at most 105";
        QTest::newRow("comparison out of range is clamped") << int(cfPulses) << "9,7,0,False"
                                                            << "2,7,0,False"
                                                            << "c.PULSES <= 7"
                                                            << "Pulses: at most 7";
        QTest::newRow("short line: at least 0") << int(cfPulses) << "1,5,6"
                                                << "0,0,0,False"
                                                << "c.PULSES >= 0"
                                                << "";
        QTest::newRow("unreadable values: 0") << int(cfPulses) << "1,x,,maybe"
                                              << "1,0,0,False"
                                              << "c.PULSES between 0 and 0"
                                              << "Pulses: between 0 and 0";
        QTest::newRow("beyond the edit's range") << int(cfDuration) << "0,1e12,-5,False"
                                                 << "0,115160400,0,False"
                                                 << "c.DURATION >= 115160400"
                                                 << "Duration: at least 1332d,21h";
    }
    void quantityLimits()
    {
        QFETCH(int, field);
        QFETCH(QString, line);
        QFETCH(QString, restored);
        QFETCH(QString, condition);
        QFETCH(QString, summary);
        TReportControlPanel panel;
        auto* limit = new TFrameQuantityLimit(&panel, static_cast<TCallFieldId>(field));
        QCOMPARE(FindChild<QGroupBox>(limit, "GroupBox")->title(),
                 QLatin1Char(' ') + FieldInfo(limit->FieldId()).Caption() + QLatin1Char(' '));
        limit->LoadState(line);
        QCOMPARE(limit->SaveState(), restored);
        QCOMPARE(limit->GetConditionValue(), restored);
        QCOMPARE(limit->GetSQLCondition(), condition);
        QCOMPARE(limit->GetSummary(), summary);
        QCOMPARE(FindChild<TLabeledUpDownEdit>(limit, "ludedtLimit2")->isVisibleTo(limit),
                 restored.startsWith(QLatin1Char('1')));
        limit->EnableLimit(false);
        QVERIFY(!limit->IsFilterOn());
        QCOMPARE(limit->GetSQLCondition(), QString());
    }

    // The edits read and show values on the field's scale.
    void quantityTypedValues_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a duration") << int(cfDuration) << "7m" << 30 << "7m";
        QTest::newRow("not a duration keeps the value") << int(cfDuration) << "60" << 20 << "1m";
        QTest::newRow("an amount") << int(cfCharge) << "10,05" << 280 << "10 EUR";
        QTest::newRow("an amount with its symbol") << int(cfCharge) << "1000 EUR" << 1440 << "1000 EUR";
        QTest::newRow("a count") << int(cfPulses) << "101 calls" << 100 << "100";
    }
    void quantityTypedValues()
    {
        QFETCH(int, field);
        QFETCH(QString, typed);
        QFETCH(int, position);
        QFETCH(QString, shown);
        TReportControlPanel panel;
        auto* limit = new TFrameQuantityLimit(&panel, static_cast<TCallFieldId>(field));
        auto* edit = FindChild<TLabeledUpDownEdit>(limit, "ludedtLimit1");
        edit->SetPosition(20);
        TypeInto(edit, typed);
        QCOMPARE(edit->Position(), position);
        QCOMPARE(edit->Text(), shown);
    }

    // The detail limit follows the page; the total limit also needs a grouped report, and
    // keeps its values while it is off.
    void quantityTotalsFollowGrouping_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<bool>("grouped");
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("having");
        QTest::newRow("on, ungrouped: details only") << true << false << "c.DURATION >= 60"
                                                     << "";
        QTest::newRow("on, grouped: both") << true << true << "c.DURATION >= 60"
                                           << "sum(c.DURATION) between 300 and 3600";
        QTest::newRow("off, grouped: neither") << false << true << ""
                                               << "";
    }
    void quantityTotalsFollowGrouping()
    {
        QFETCH(bool, on);
        QFETCH(bool, grouped);
        QFETCH(QString, where);
        QFETCH(QString, having);
        TQuantityPages p;
        p.Duration->LoadState(QStringLiteral("%1;False;0,60,0,False;1,3600,300,False")
                                  .arg(on ? QStringLiteral("True") : QStringLiteral("False")));
        QVERIFY(!p.Duration->Totals()->IsFilterOn());
        p.Duration->SetTotalsAllowed(grouped);
        QCOMPARE(p.Duration->Details()->GetSQLCondition(), where);
        QCOMPARE(p.Duration->Totals()->GetSQLCondition(), having);
        QCOMPARE(p.Duration->SaveState(),
                 QStringLiteral("%1;%2;0,60,0,False;1,300,3600,False")
                     .arg(on ? QStringLiteral("True") : QStringLiteral("False"),
                          grouped ? QStringLiteral("True") : QStringLiteral("False")));
        // Back to ungrouped: the totals go off and keep their values.
        p.Duration->SetTotalsAllowed(false);
        QVERIFY(!p.Duration->Totals()->IsFilterOn());
        QCOMPARE(p.Duration->Totals()->GetConditionValue(), QStringLiteral("1,300,3600,False"));
    }

    void quantityPageStateLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("restored");
        QTest::newRow("empty: off, both at least 0") << ""
                                                     << "False;False;0,0,0,False;0,0,0,False";
        QTest::newRow("short: the same") << "True;True;1,60,300,True"
                                         << "False;False;0,0,0,False;0,0,0,False";
        QTest::newRow("complete") << "True;True;1,60,300,True;2,600,0,False"
                                  << "True;True;1,60,300,True;2,600,0,False";
        QTest::newRow("unreadable flags: off, ungrouped") << "on;grouped;0,5,0,False;0,6,0,False"
                                                          << "False;False;0,5,0,False;0,6,0,False";
        QTest::newRow("a list line") << "True,False,+1,-2"
                                     << "False;False;0,0,0,False;0,0,0,False";
    }
    void quantityPageStateLines()
    {
        QFETCH(QString, line);
        QFETCH(QString, restored);
        TQuantityPages p;
        p.Duration->LoadState(QStringLiteral("True;True;1,1,2,True;1,3,4,True"));
        p.Duration->LoadState(line);
        QCOMPARE(p.Duration->SaveState(), restored);
        QCOMPARE(p.Duration->Details()->IsFilterOn(), p.Duration->IsOn());
        QCOMPARE(p.Duration->Totals()->IsFilterOn(), p.Duration->IsOn() && p.Duration->TotalsAllowed());
    }

    // The charge page restores the positions first, then switches both limits to the field.
    void chargeField_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("details");
        QTest::addColumn<int>("totals");
        QTest::addColumn<QString>("restored");
        QTest::newRow("VAT") << "True;True;0,10.5,0,False;0,100,0,True;1" << int(cfVat) << int(cfTotalVat)
                             << "True;True;0,10.5,0,False;0,100,0,True;1";
        QTest::newRow("charge") << "True;False;0,1,0,False;0,2,0,False;2" << int(cfCharge)
                                << int(cfTotalCharge) << "True;False;0,1,0,False;0,2,0,False;2";
        QTest::newRow("index above the group: charge")
            << "True;False;0,1,0,False;0,2,0,False;5" << int(cfCharge) << int(cfTotalCharge)
            << "True;False;0,1,0,False;0,2,0,False;2";
        QTest::newRow("a duration page's line: raw charge")
            << "True;False;0,1,0,False;0,2,0,False" << int(cfRawCharge) << int(cfTotalRawCharge)
            << "True;False;0,1,0,False;0,2,0,False;0";
        QTest::newRow("empty: raw charge, off")
            << "" << int(cfRawCharge) << int(cfTotalRawCharge) << "False;False;0,0,0,False;0,0,0,False;0";
    }
    void chargeField()
    {
        QFETCH(QString, line);
        QFETCH(int, details);
        QFETCH(int, totals);
        QFETCH(QString, restored);
        TQuantityPages p;
        p.Charge->LoadState(QStringLiteral("True;True;0,3,0,False;0,4,0,False;1"));
        p.Charge->LoadState(line);
        QCOMPARE(int(p.Charge->Details()->FieldId()), details);
        QCOMPARE(int(p.Charge->Totals()->FieldId()), totals);
        QCOMPARE(p.Charge->SaveState(), restored);
        QCOMPARE(p.Charge->ChargeFieldText(), FieldInfo(p.Charge->Details()->FieldId()).Caption());
        QCOMPARE(FindChild<TRadioGroup>(p.Charge, "rgChargeField")->isEnabled(), p.Charge->IsOn());
    }

    // Choosing another charge field keeps the positions and words the limits anew.
    void chargeFieldClick()
    {
        TQuantityPages p;
        p.Charge->LoadState(QStringLiteral("True;True;0,10.5,0,False;0,100,0,False;0"));
        FindChild<TRadioGroup>(p.Charge, "rgChargeField")->Button(2)->click();
        QCOMPARE(p.Charge->Details()->GetSQLCondition(), QStringLiteral("c.CHARGE >= 10.5"));
        QCOMPARE(p.Charge->Totals()->GetSQLCondition(), QStringLiteral("sum(c.CHARGE) >= 100"));
        QCOMPARE(p.Charge->Details()->GetSummary(), QStringLiteral("Charge: at least 10,5 EUR"));
    }

    // The count page limits groups only, and only in a grouped report.
    void countPage()
    {
        TQuantityPages p;
        auto* onOff = FindChild<QCheckBox>(p.Count, "chkOnOff");
        QVERIFY(!onOff->isEnabled());
        QVERIFY(FindChild<QCheckBox>(p.Count->Totals(), "chkMissingValue")->isHidden());
        QVERIFY(p.Count->Details()->isHidden());
        p.Count->SetTotalsAllowed(true);
        QVERIFY(onOff->isEnabled());
        onOff->click();
        QVERIFY(p.Count->IsOn());
        QVERIFY(!p.Count->Details()->IsFilterOn());
        QVERIFY(p.Count->Totals()->IsFilterOn());
        // A restored "missing" is dropped: every group has a count.
        p.Count->LoadState(QStringLiteral("True;True;0,3,0,True;0,5,0,True"));
        QCOMPARE(p.Count->Totals()->GetSQLCondition(), QStringLiteral("count(c.ID) >= 5"));
        QVERIFY(!p.Count->Details()->IsFilterOn());
        p.Count->SetTotalsAllowed(false);
        QVERIFY(!onOff->isEnabled());
        QCOMPARE(p.Count->Totals()->GetSQLCondition(), QString());
        QCOMPARE(p.Count->SaveState(), QStringLiteral("True;False;0,3,0,True;0,5,0,False"));
    }

    // Switching a page on by its action marks its node and enables the limits.
    void quantityNodeMarks()
    {
        QTreeWidget tree;
        auto* node = new QTreeWidgetItem(&tree, {QStringLiteral("Pulses")});
        TReportControlPanel panel;
        auto* page = new TFrameQuantityDoubleLimit(&panel, node, cfTotalPulses, cfPulses);
        QCOMPARE(NodeImageIndex(node), 0);
        FindChild<QAction>(page, "aOnOff")->trigger();
        QVERIFY(page->IsOn());
        QCOMPARE(NodeImageIndex(node), 1);
        QCOMPARE(NodeSelectedImageIndex(node), 3);
        QVERIFY(page->Details()->IsFilterOn());
        // A disabled host does not switch the limit off.
        panel.setEnabled(false);
        QVERIFY(page->Details()->IsFilterOn());
        QCOMPARE(page->Details()->GetSQLCondition(), QStringLiteral("c.PULSES >= 0"));
        page->LoadState(QString());
        QCOMPARE(NodeImageIndex(node), 0);
    }
};

QTEST_MAIN(TestFilterPages)
#include "tst_filterpages.moc"
