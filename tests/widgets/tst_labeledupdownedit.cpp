#include "widgets/LabeledUpDownEdit.h"

#include <QAbstractSpinBox>
#include <QLabel>
#include <QMap>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStyleOptionSpinBox>
#include <QTest>
#include <QWheelEvent>

using TLabelPosition = TLabeledUpDownEdit::TLabelPosition;

namespace {

enum class TInput { Up, Down, PageUp, PageDown, WheelUp, WheelDownTwice, ButtonUp, ButtonDown, Enter };

QAbstractSpinBox* SpinOf(TLabeledUpDownEdit& edit)
{
    return edit.findChild<QAbstractSpinBox*>(QStringLiteral("edtPosition"));
}

QPoint ButtonCentre(QAbstractSpinBox* spin, QStyle::SubControl button)
{
    QStyleOptionSpinBox option;
    option.initFrom(spin);
    option.subControls = QStyle::SC_All;
    option.frame = spin->hasFrame();
    option.buttonSymbols = spin->buttonSymbols();
    return spin->style()->subControlRect(QStyle::CC_SpinBox, &option, button, spin).center();
}

void Apply(TLabeledUpDownEdit& edit, TInput input)
{
    static const QMap<TInput, Qt::Key> keys{{TInput::Up, Qt::Key_Up},
                                            {TInput::Down, Qt::Key_Down},
                                            {TInput::PageUp, Qt::Key_PageUp},
                                            {TInput::PageDown, Qt::Key_PageDown},
                                            {TInput::Enter, Qt::Key_Return}};
    QAbstractSpinBox* spin = SpinOf(edit);
    if (keys.contains(input)) {
        QTest::keyClick(spin, keys.value(input));
    } else if (input == TInput::ButtonUp || input == TInput::ButtonDown) {
        const auto button = input == TInput::ButtonUp ? QStyle::SC_SpinBoxUp : QStyle::SC_SpinBoxDown;
        QTest::mouseClick(spin, Qt::LeftButton, Qt::NoModifier, ButtonCentre(spin, button));
    } else {
        const QPointF at = spin->rect().center();
        QWheelEvent wheel(at, spin->mapToGlobal(at), QPoint(),
                          QPoint(0, input == TInput::WheelUp ? 120 : -240), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(spin, &wheel);
    }
}

// Replaces whatever the edit shows by a typed text, as a person would.
void Type(TLabeledUpDownEdit& edit, const QString& text)
{
    QAbstractSpinBox* spin = SpinOf(edit);
    spin->selectAll();
    QTest::keyClick(spin, Qt::Key_Delete);
    QTest::keyClicks(spin, text);
}

// Seconds shown as "1m,5s"; reads "Xm,Ys", "Xm" or "Ys" and keeps the value it is given
// for anything else.
QString SecondsText(int seconds, const QString&)
{
    const int magnitude = std::abs(seconds);
    const QString sign = seconds < 0 ? QStringLiteral("-") : QString();
    if (magnitude < 60)
        return sign + QStringLiteral("%1s").arg(magnitude);
    return sign + QStringLiteral("%1m,%2s").arg(magnitude / 60).arg(magnitude % 60);
}

int SecondsFromText(const QString& text, int position)
{
    static const QRegularExpression form(QStringLiteral("^\\s*(?:(\\d+)m)?,?(?:(\\d+)s)?\\s*$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch() || (match.captured(1).isEmpty() && match.captured(2).isEmpty()))
        return position;
    return match.captured(1).toInt() * 60 + match.captured(2).toInt();
}

}  // namespace

Q_DECLARE_METATYPE(TInput)
Q_DECLARE_METATYPE(TLabelPosition)

class TestLabeledUpDownEdit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Starting from a set position, optionally typing a text, then one input: the position
    // that results, the text shown, and one signal exactly when the position moved.
    void stepping_data()
    {
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("increment");
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("typed");  // null: nothing typed
        QTest::addColumn<TInput>("input");
        QTest::addColumn<int>("expected");

        const QString none;
        QTest::newRow("up key") << 0 << 100 << 1 << 10 << none << TInput::Up << 11;
        QTest::newRow("page up is ten increments") << 0 << 100 << 2 << 10 << none << TInput::PageUp << 30;
        QTest::newRow("page down stops at the minimum")
            << 0 << 100 << 2 << 10 << none << TInput::PageDown << 0;
        QTest::newRow("wheel down two notches") << 0 << 100 << 5 << 10 << none << TInput::WheelDownTwice << 0;
        QTest::newRow("up button") << 0 << 100 << 3 << 10 << none << TInput::ButtonUp << 13;
        QTest::newRow("down button") << 0 << 100 << 3 << 10 << none << TInput::ButtonDown << 7;
        QTest::newRow("up at the maximum stays") << 0 << 100 << 1 << 100 << none << TInput::Up << 100;
        QTest::newRow("down at the minimum stays") << -5 << 5 << 1 << -5 << none << TInput::Down << -5;
        QTest::newRow("increment overshooting the maximum")
            << 0 << 100 << 7 << 98 << none << TInput::Up << 100;
        QTest::newRow("16-bit top") << -32768 << 32767 << 1000 << 32000 << none << TInput::PageUp << 32767;
        QTest::newRow("16-bit bottom") << -32768 << 32767 << 1000 << -32000 << none << TInput::Down << -32768;

        // The text is the master: what is typed is read before the step.
        QTest::newRow("typed number is stepped") << 0 << 100 << 1 << 10 << "20" << TInput::Up << 21;
        QTest::newRow("typed with blanks and sign") << -10 << 10 << 1 << 0 << " -5 " << TInput::Up << -4;
        QTest::newRow("typed with a plus sign") << -10 << 10 << 1 << 0 << "+5" << TInput::Down << 4;
        QTest::newRow("typed below the last position at the maximum")
            << 0 << 100 << 1 << 100 << "40" << TInput::Up << 41;
        QTest::newRow("typed above the maximum is clamped first")
            << 0 << 100 << 1 << 50 << "500" << TInput::Down << 99;
        QTest::newRow("typed beyond 16 bits")
            << -32768 << 32767 << 1 << 0 << "40000" << TInput::Down << 32766;
        QTest::newRow("typed beyond 64 bits keeps the last")
            << -32768 << 32767 << 1 << 7 << "99999999999999999999" << TInput::Up << 8;
        QTest::newRow("unreadable keeps the last") << 0 << 100 << 1 << 10 << "abc" << TInput::Up << 11;
        QTest::newRow("empty keeps the last") << 0 << 100 << 1 << 10 << "" << TInput::Down << 9;
        QTest::newRow("fraction does not read") << 0 << 100 << 1 << 10 << "7.5" << TInput::Up << 11;
        QTest::newRow("group separator does not read") << 0 << 2000 << 1 << 10 << "1,000" << TInput::Up << 11;
        QTest::newRow("hex does not read") << 0 << 100 << 1 << 10 << "0x10" << TInput::Up << 11;
        QTest::newRow("trailing letters do not read") << 0 << 100 << 1 << 10 << "12px" << TInput::Up << 11;
        QTest::newRow("typed then the button") << 0 << 100 << 5 << 10 << "60" << TInput::ButtonDown << 55;
        QTest::newRow("typed then the wheel") << 0 << 100 << 5 << 10 << "60" << TInput::WheelUp << 65;
        QTest::newRow("enter reads the text") << 0 << 100 << 5 << 10 << "60" << TInput::Enter << 60;
        QTest::newRow("enter on unreadable text") << 0 << 100 << 5 << 10 << "x" << TInput::Enter << 10;
    }
    void stepping()
    {
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, increment);
        QFETCH(int, start);
        QFETCH(QString, typed);
        QFETCH(TInput, input);
        QFETCH(int, expected);

        TLabeledUpDownEdit edit(QStringLiteral("Value:"), TLabelPosition::Left);
        edit.SetRange(minimum, maximum);
        edit.SetIncrement(increment);
        edit.SetPosition(start);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        QSignalSpy changed(&edit, &TLabeledUpDownEdit::PositionChanged);
        QSignalSpy edited(&edit, &TLabeledUpDownEdit::TextEdited);
        if (!typed.isNull()) {
            Type(edit, typed);
            QVERIFY(!edited.isEmpty());
            QCOMPARE(edited.last().at(0).toString(), typed);
            edit.Position();
            QCOMPARE(edit.Text(), typed);  // reading leaves the typed text alone
        }
        QVERIFY(changed.isEmpty());  // typing and reading move nothing

        Apply(edit, input);
        QCOMPARE(edit.Position(), expected);
        QCOMPARE(edit.Text(), QString::number(expected));
        QCOMPARE(changed.size(), expected == start ? 0 : 1);
        if (expected != start)
            QCOMPARE(changed.at(0).at(0).toInt(), expected);
    }

    // A duration-like mapping: the position is seconds, shown as "1m,5s".
    void handlers_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("typed");  // null: nothing typed
        QTest::addColumn<TInput>("input");
        QTest::addColumn<int>("handlerGot");  // the value the get-text handler was given
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("shown");

        const QString none;
        QTest::newRow("own text read back") << 65 << none << TInput::Enter << 65 << 65 << "1m,5s";
        QTest::newRow("stepped from the shown text") << 65 << none << TInput::Up << 65 << 66 << "1m,6s";
        QTest::newRow("handler's text typed") << 65 << "2m,0s" << TInput::Up << 65 << 121 << "2m,1s";
        QTest::newRow("short form typed") << 65 << "3m" << TInput::Down << 65 << 179 << "2m,59s";
        QTest::newRow("decimal typed reaches the handler")
            << 65 << "90" << TInput::Up << 90 << 91 << "1m,31s";
        QTest::newRow("unreadable keeps the last") << 65 << "soon" << TInput::Up << 65 << 66 << "1m,6s";
        QTest::newRow("enter shows the handler's form") << 5 << "2m" << TInput::Enter << 5 << 120 << "2m,0s";
        QTest::newRow("handler result clamped") << 5 << "900m" << TInput::Enter << 5 << 3600 << "60m,0s";
        QTest::newRow("negative") << -30 << none << TInput::Down << -30 << -31 << "-31s";
    }
    void handlers()
    {
        QFETCH(int, start);
        QFETCH(QString, typed);
        QFETCH(TInput, input);
        QFETCH(int, handlerGot);
        QFETCH(int, expected);
        QFETCH(QString, shown);

        TLabeledUpDownEdit edit(QStringLiteral("Span:"), TLabelPosition::Left);
        edit.SetRange(-3600, 3600);
        QList<QPair<int, QString>> offered;
        edit.SetSetTextHandler([&offered](int position, const QString& text) {
            offered.append({position, text});
            return SecondsText(position, text);
        });
        int got = std::numeric_limits<int>::min();
        edit.SetGetTextHandler([&got](const QString& text, int position) {
            got = position;
            return SecondsFromText(text, position);
        });
        edit.SetPosition(start);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        if (!typed.isNull())
            Type(edit, typed);
        offered.clear();
        Apply(edit, input);
        QCOMPARE(got, handlerGot);
        QCOMPARE(edit.Text(), shown);
        QCOMPARE(edit.Position(), expected);
        if (expected != start)  // the new position's decimal text was offered
            QVERIFY(offered.contains(QPair<int, QString>(expected, QString::number(expected))));
    }

    void rangeClamps_data()
    {
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("expectedMinimum");
        QTest::addColumn<int>("expectedMaximum");
        QTest::addColumn<int>("expectedPosition");
        QTest::newRow("inside") << 0 << 100 << 40 << 0 << 100 << 40;
        QTest::newRow("below the minimum") << 10 << 100 << 3 << 10 << 100 << 10;
        QTest::newRow("above the maximum") << 0 << 100 << 101 << 0 << 100 << 100;
        QTest::newRow("negative range") << -32400 << 32400 << -40000 << -32400 << 32400 << -32400;
        QTest::newRow("range beyond 16 bits") << -40000 << 40000 << 100000 << -32768 << 32767 << 32767;
        QTest::newRow("range beyond 16 bits, low") << -40000 << 40000 << -100000 << -32768 << 32767 << -32768;
        QTest::newRow("maximum below minimum") << 10 << 5 << 7 << 10 << 10 << 10;
    }
    void rangeClamps()
    {
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, position);
        QFETCH(int, expectedMinimum);
        QFETCH(int, expectedMaximum);
        QFETCH(int, expectedPosition);
        TLabeledUpDownEdit edit;
        edit.SetRange(minimum, maximum);
        QSignalSpy changed(&edit, &TLabeledUpDownEdit::PositionChanged);
        edit.SetPosition(position);
        QCOMPARE(edit.Minimum(), expectedMinimum);
        QCOMPARE(edit.Maximum(), expectedMaximum);
        QCOMPARE(edit.Position(), expectedPosition);
        QCOMPARE(edit.Text(), QString::number(expectedPosition));
        const int before = changed.size();
        edit.SetPosition(position);  // the same again moves nothing
        QCOMPARE(changed.size(), before);
    }

    void narrowingTheRangeMovesThePositionOnce()
    {
        TLabeledUpDownEdit edit;
        edit.SetPosition(50);
        QSignalSpy changed(&edit, &TLabeledUpDownEdit::PositionChanged);
        edit.SetRange(60, 80);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.at(0).at(0).toInt(), 60);
        edit.SetRange(0, 100);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(edit.Position(), 60);
    }

    // Deleting a control that has the focus and a typed text reads nothing any more: its
    // handlers may already be gone with the page that installed them.
    void deletedWhileTypingIntoItReadsNothing()
    {
        QWidget page;
        int calls = 0;
        auto* edit = new TLabeledUpDownEdit(&page);
        edit->SetSetTextHandler([&calls](int, const QString& text) { return ++calls, text; });
        edit->SetGetTextHandler([&calls](const QString&, int position) { return ++calls, position; });
        page.show();
        QVERIFY(QTest::qWaitForWindowActive(&page));
        edit->setFocus();
        QTRY_VERIFY(SpinOf(*edit)->hasFocus());
        Type(*edit, QStringLiteral("12"));
        calls = 0;
        delete edit;
        QCOMPARE(calls, 0);
    }

    void buttonsRepeatWhileHeld()
    {
        TLabeledUpDownEdit edit;
        edit.SetRange(0, 1000);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        QAbstractSpinBox* spin = SpinOf(edit);
        const QPoint up = ButtonCentre(spin, QStyle::SC_SpinBoxUp);
        QTest::mousePress(spin, Qt::LeftButton, Qt::NoModifier, up);
        QTRY_VERIFY_WITH_TIMEOUT(edit.Position() >= 3, 5000);
        QTest::mouseRelease(spin, Qt::LeftButton, Qt::NoModifier, up);
    }

    void labelPlacement_data()
    {
        QTest::addColumn<TLabelPosition>("first");
        QTest::addColumn<TLabelPosition>("placement");
        QTest::addColumn<int>("spacing");
        QTest::newRow("left") << TLabelPosition::Left << TLabelPosition::Left << 3;
        QTest::newRow("right") << TLabelPosition::Left << TLabelPosition::Right << 8;
        QTest::newRow("above") << TLabelPosition::Left << TLabelPosition::Above << 2;
        QTest::newRow("above, then left") << TLabelPosition::Above << TLabelPosition::Left << 6;
        QTest::newRow("right, then above") << TLabelPosition::Right << TLabelPosition::Above << 0;
    }
    void labelPlacement()
    {
        QFETCH(TLabelPosition, first);
        QFETCH(TLabelPosition, placement);
        QFETCH(int, spacing);
        QWidget page;
        TLabeledUpDownEdit edit(QStringLiteral("Maximum delay before writing:"), first, &page);
        page.resize(400, 100);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        edit.SetLabelSpacing(spacing);
        edit.SetLabelPosition(placement);
        edit.resize(edit.sizeHint());
        QApplication::processEvents();

        const QRect label = edit.findChild<QLabel*>(QStringLiteral("lblCaption"))->geometry();
        const QRect box = SpinOf(edit)->geometry();
        QVERIFY(!label.intersects(box));
        QVERIFY(edit.rect().contains(label));
        QVERIFY(edit.rect().contains(box));
        QVERIFY(box.width() >= edit.fontMetrics().horizontalAdvance(QStringLiteral("00000")));
        switch (placement) {
            case TLabelPosition::Left:
                QCOMPARE(box.left() - label.right() - 1, spacing);
                QVERIFY(qAbs(label.center().y() - box.center().y()) <= 1);
                break;
            case TLabelPosition::Right:
                QCOMPARE(label.left() - box.right() - 1, spacing);
                QVERIFY(qAbs(label.center().y() - box.center().y()) <= 1);
                break;
            case TLabelPosition::Above:
                QCOMPARE(box.top() - label.bottom() - 1, spacing);
                QCOMPARE(label.left(), box.left());
                break;
        }
    }

    void actsAsOneControl()
    {
        QWidget page;
        auto* edit = new TLabeledUpDownEdit(QStringLiteral("&Port:"), TLabelPosition::Above, &page);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        auto* label = edit->findChild<QLabel*>(QStringLiteral("lblCaption"));
        QAbstractSpinBox* spin = SpinOf(*edit);
        QCOMPARE(spin->accessibleName(), QStringLiteral("Port:"));
        QCOMPARE(label->buddy(), spin);

        edit->setEnabled(false);
        QVERIFY(!label->isEnabled());
        QVERIFY(!spin->isEnabled());
        edit->setEnabled(true);
        edit->hide();
        QVERIFY(!label->isVisible());
        QVERIFY(!spin->isVisible());
        edit->show();
        QVERIFY(label->isVisible());

        edit->SetCaption(QString());  // no caption, no room taken
        edit->adjustSize();
        QVERIFY(!label->isVisible());
        QCOMPARE(spin->geometry().top(), 0);
    }
};

QTEST_MAIN(TestLabeledUpDownEdit)
#include "tst_labeledupdownedit.moc"
