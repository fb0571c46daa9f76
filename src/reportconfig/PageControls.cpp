#include "reportconfig/PageControls.h"

#include "widgets/LabeledUpDownEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

namespace {

// Claims Enter before the shortcuts see it, so the key press reaches the edit.
class TEnterKeeper : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ShortcutOverride) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
            if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
                event->accept();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

QAction* AddPageAction(QWidget* page, const char* name, const QString& caption, const QString& hint,
                       bool checkable)
{
    auto* action = new QAction(caption, page);
    action->setObjectName(QLatin1String(name));
    action->setToolTip(hint);
    action->setStatusTip(hint);
    action->setCheckable(checkable);
    page->addAction(action);
    return action;
}

void BindOnOff(QCheckBox* box, QAction* action)
{
    box->setToolTip(action->toolTip());
    box->setStatusTip(action->statusTip());
    box->setChecked(action->isChecked());
    QObject::connect(box, &QCheckBox::toggled, action, &QAction::setChecked);
    QObject::connect(action, &QAction::toggled, box, &QCheckBox::setChecked);
    QObject::connect(action, &QAction::enabledChanged, box, &QCheckBox::setEnabled);
}

QToolButton* NewActionButton(QWidget* parent, const char* name, QAction* action)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return button;
}

void KeepEnterKey(QLineEdit* edit)
{
    edit->installEventFilter(new TEnterKeeper(edit));
}

void AttachSpanConversions(TLabeledUpDownEdit* edit, std::function<TSpanConversions()> conversions)
{
    edit->SetSetTextHandler([conversions](int position, const QString& text) {
        const TSpanConversions c = conversions();
        if (!c.PositionToValue)
            return text;
        return c.ValueToText(c.PositionToValue(static_cast<qint16>(position)));
    });
    edit->SetGetTextHandler([edit, conversions](const QString& text, int position) {
        const TSpanConversions c = conversions();
        if (!c.PositionToValue)
            return position;
        const double previous = c.PositionToValue(static_cast<qint16>(edit->LastPosition()));
        return static_cast<int>(c.ValueToPosition(c.TextToValue(text, previous)));
    });
}
