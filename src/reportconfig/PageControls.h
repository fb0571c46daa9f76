#pragma once
// The small pieces the filter pages build their controls from: named actions with their
// hints, the On/Off box bound to its action, buttons that show an action, and the text
// handlers that let a labelled numeric edit show and read values on a field's scale.
//
//   aOnOff = AddPageAction(this, "aOnOff", tr("On/Off"), tr("Enable/Disable the filter."));
//   BindOnOff(chkOnOff, aOnOff);          // toggling either toggles the other
//   AttachSpanConversions(ludedtLimit1, [this] { return Conversions(); });

#include "calls/CallFieldInfo.h"

#include <QString>

#include <functional>

class QAction;
class QCheckBox;
class QLineEdit;
class QToolButton;
class QWidget;
class TLabeledUpDownEdit;

// An action of the page, named for tests, with its caption and hint (tool tip and status
// tip). Checkable when asked.
QAction* AddPageAction(QWidget* page, const char* name, const QString& caption, const QString& hint,
                       bool checkable = false);

// Binds an On/Off box to its checkable action: either follows the other, and the box
// shows the action's hint. The page reacts to the box's toggled signal.
void BindOnOff(QCheckBox* box, QAction* action);

// A button that shows and triggers the action (caption, hint, enabled state).
QToolButton* NewActionButton(QWidget* parent, const char* name, QAction* action);

// Enter in the edit stays the edit's (its returnPressed: adding a value, ending a name)
// instead of running the window's Enter shortcut (Refresh).
void KeepEnterKey(QLineEdit* edit);

// The edit shows the value of its position with ValueToText and reads typed text with
// TextToValue, starting from the value of the position last set, then moves to
// ValueToPosition of the result. The conversions are asked for each time, so a page that
// changes its field changes the scale.
void AttachSpanConversions(TLabeledUpDownEdit* edit, std::function<TSpanConversions()> conversions);
