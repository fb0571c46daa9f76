#pragma once
// The labelled numeric edit: a caption label (left of, right of or above the edit, at a
// spacing), an edit box and a pair of up/down buttons over a signed 16-bit position that
// lies between a minimum and a maximum and steps by an increment.
//
// The text is the master. Whenever the position is read (Position(), and before every
// step) the edit's text is read as a decimal integer, or taken as the last set position
// when it does not read; the get-text handler, if any, is then given the text and that
// value and returns the position it reads from the text. A step adds the increment to the
// position so read. Whenever the position is set, its decimal text is offered to the
// set-text handler, if any, which returns the text to show instead. Without handlers the
// position is shown and read in decimal.
//
// Contracts:
// - Every position set, stepped or read is clamped to [Minimum(), Maximum()], and the range
//   itself to [-32768, 32767]; a maximum below the minimum is raised to the minimum. Out of
//   range values are clamped silently, never refused.
// - Up/Down keys, the buttons (auto-repeating) and the mouse wheel step by one increment;
//   PageUp/PageDown by ten.
// - Typing does not change the position until it is read: Enter and leaving the edit read
//   the text and show the position it gives in the handler's form.
// - PositionChanged is emitted once per change of the position, whatever made it (a step,
//   SetPosition, SetRange, Enter or leaving the edit after typing), never when it stays.
//   TextEdited is emitted for every edit the user types.
// - Handlers run on the calling thread and must not read or set this control's position;
//   the get-text handler is also asked while the buttons are painted, so it must be cheap
//   and free of side effects. Never raises.
// - Disabling or hiding the control disables or hides label, edit and buttons together;
//   focusing it focuses the edit; the edit's accessible name is the caption.
// - A new control has the range 0 to 100, increment 1, position 0 and its label on the
//   left at 3 pixels; an empty caption takes no room.
//
// Pages name it `ludedt` plus a role; its label and edit are named "lblCaption" and
// "edtPosition" for tests:
//
//     auto* vat = new TLabeledUpDownEdit(tr("VAT:"), TLabeledUpDownEdit::TLabelPosition::Left, this);
//     vat->setObjectName(QStringLiteral("ludedtVAT"));
//     vat->SetRange(0, 30000);  // tenths of a percent
//     vat->SetSetTextHandler([](int tenths, const QString&) {
//         return QString::number(tenths / 10.0) + QLatin1Char('%');
//     });
//     vat->SetGetTextHandler([](const QString& text, int tenths) {
//         bool ok = false;
//         const double percent = text.section(QLatin1Char('%'), 0, 0).toDouble(&ok);
//         return ok ? qRound(percent * 10) : tenths;
//     });
//     connect(vat, &TLabeledUpDownEdit::PositionChanged, this, &TFrameX::ludedtVATChange);

#include <QString>
#include <QWidget>

#include <functional>

class QLabel;
class QBoxLayout;
class TUpDownSpinBox;

class TLabeledUpDownEdit : public QWidget {
    Q_OBJECT

public:
    enum class TLabelPosition { Left, Right, Above };
    // Gets the edit's text and its decimal reading (the last position when it does not
    // read); returns the position the text stands for (clamped to the range afterwards).
    using TGetTextHandler = std::function<int(const QString& text, int position)>;
    // Gets the new position and its decimal text; returns the text to show.
    using TSetTextHandler = std::function<QString(int position, const QString& text)>;

    static constexpr int LowestPosition = -32768;
    static constexpr int HighestPosition = 32767;

    explicit TLabeledUpDownEdit(QWidget* parent = nullptr);
    TLabeledUpDownEdit(const QString& caption, TLabelPosition labelPosition, QWidget* parent = nullptr);
    ~TLabeledUpDownEdit() override;

    QString Caption() const;
    void SetCaption(const QString& caption);
    TLabelPosition LabelPosition() const { return labelPosition_; }
    void SetLabelPosition(TLabelPosition labelPosition);
    int LabelSpacing() const { return labelSpacing_; }
    void SetLabelSpacing(int pixels);

    int Minimum() const { return minimum_; }
    int Maximum() const { return maximum_; }
    void SetRange(int minimum, int maximum);
    int Increment() const { return increment_; }
    // At least 1; smaller values are taken as 1.
    void SetIncrement(int increment);

    // The position the text stands for now (see the header comment).
    int Position() const;
    // Clamps, shows the position's text (also when it does not change) and emits
    // PositionChanged when it changed.
    void SetPosition(int position);
    // The position last set or stepped, whatever has been typed since; what a get-text
    // handler starts from when its own reading of the text keeps the value (a handler may
    // read it, unlike Position()).
    int LastPosition() const { return position_; }
    // The text shown in the edit, as typed or as last set.
    QString Text() const;

    // Each handler replaces the previous one; an empty function removes it. Setting the
    // set-text handler shows the current position in its form at once.
    void SetGetTextHandler(TGetTextHandler handler);
    void SetSetTextHandler(TSetTextHandler handler);

Q_SIGNALS:
    void PositionChanged(int position);
    void TextEdited(const QString& text);

private:
    friend class TUpDownSpinBox;

    void Step(int steps);
    int Clamp(qint64 position) const;
    QString DisplayText(int position) const;
    void ReadTypedText();
    void ArrangeLabel();

    QLabel* label_;
    TUpDownSpinBox* edit_;
    QBoxLayout* layout_;
    TLabelPosition labelPosition_ = TLabelPosition::Left;
    int labelSpacing_ = 3;
    int minimum_ = 0;
    int maximum_ = 100;
    int increment_ = 1;
    int position_ = 0;
    TGetTextHandler getText_;
    TSetTextHandler setText_;
};
