#include "widgets/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <cstdio>

namespace {

TMessageBoxAnswerer* g_answerer = nullptr;
QPointer<QWidget> g_parent;

// The answerer that TELVANE_AUTOANSWER installs: like the scripted one, but it also writes
// every box to standard error so that a script can see what the client said.
class TEnvironmentAnswerer : public TScriptedAnswerer {
public:
    using TScriptedAnswerer::TScriptedAnswerer;
    TMsgButton Answer(TMsgKind kind, const QString& text, const QList<TMsgButton>& buttons,
                      TMsgButton defaultButton) override
    {
        const QByteArray line = (MsgKindName(kind) + QStringLiteral(": ") + text + QLatin1Char('\n')).toUtf8();
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
        std::fflush(stderr);
        return TScriptedAnswerer::Answer(kind, text, buttons, defaultButton);
    }
};

TMessageBoxAnswerer* EnvironmentAnswerer()
{
    static TEnvironmentAnswerer* answerer = [] () -> TEnvironmentAnswerer* {
        QList<TMsgButton> answers;
        if (!ParseAutoAnswers(qgetenv("TELVANE_AUTOANSWER"), answers))
            return nullptr;
        return new TEnvironmentAnswerer(answers);
    }();
    return answerer;
}

QMessageBox::StandardButton ToStandard(TMsgButton b)
{
    switch (b) {
    case TMsgButton::OK: return QMessageBox::Ok;
    case TMsgButton::Cancel: return QMessageBox::Cancel;
    case TMsgButton::Yes: return QMessageBox::Yes;
    case TMsgButton::No: return QMessageBox::No;
    case TMsgButton::Abort: return QMessageBox::Abort;
    case TMsgButton::Ignore: return QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

TMsgButton FromStandard(int b, TMsgButton fallback)
{
    switch (b) {
    case QMessageBox::Ok: return TMsgButton::OK;
    case QMessageBox::Cancel: return TMsgButton::Cancel;
    case QMessageBox::Yes: return TMsgButton::Yes;
    case QMessageBox::No: return TMsgButton::No;
    case QMessageBox::Abort: return TMsgButton::Abort;
    case QMessageBox::Ignore: return TMsgButton::Ignore;
    default: return fallback;
    }
}

}  // namespace

QString MsgKindName(TMsgKind kind)
{
    switch (kind) {
    case TMsgKind::Error: return QStringLiteral("Error");
    case TMsgKind::Warning: return QStringLiteral("Warning");
    case TMsgKind::Question: return QStringLiteral("Question");
    case TMsgKind::Confirmation: return QStringLiteral("Confirmation");
    case TMsgKind::Information: return QStringLiteral("Information");
    }
    return QString();
}

QString MsgButtonName(TMsgButton button)
{
    switch (button) {
    case TMsgButton::OK: return QStringLiteral("OK");
    case TMsgButton::Cancel: return QStringLiteral("Cancel");
    case TMsgButton::Yes: return QStringLiteral("Yes");
    case TMsgButton::No: return QStringLiteral("No");
    case TMsgButton::Abort: return QStringLiteral("Abort");
    case TMsgButton::Ignore: return QStringLiteral("Ignore");
    }
    return QString();
}

bool ParseAutoAnswers(const QByteArray& value, QList<TMsgButton>& answers)
{
    answers.clear();
    if (value.isNull())
        return false;
    static const TMsgButton all[] = {TMsgButton::OK,  TMsgButton::Cancel, TMsgButton::Yes,
                                     TMsgButton::No,  TMsgButton::Abort,  TMsgButton::Ignore};
    for (const QByteArray& word : value.split(',')) {
        const QString w = QString::fromLatin1(word.trimmed());
        for (TMsgButton b : all)
            if (w.compare(MsgButtonName(b), Qt::CaseInsensitive) == 0)
                answers.append(b);
    }
    return true;
}

void SetMessageBoxAnswerer(TMessageBoxAnswerer* answerer)
{
    g_answerer = answerer;
}

void SetMessageBoxParent(QWidget* parent)
{
    g_parent = parent;
}

TMsgButton ShowMessageBox(TMsgKind kind, const QString& text, const QList<TMsgButton>& buttons,
                          TMsgButton defaultButton)
{
    if (TMessageBoxAnswerer* answerer = g_answerer ? g_answerer : EnvironmentAnswerer())
        return answerer->Answer(kind, text, buttons, defaultButton);

    QMessageBox::Icon icon = QMessageBox::Information;
    switch (kind) {
    case TMsgKind::Error: icon = QMessageBox::Critical; break;
    case TMsgKind::Warning: icon = QMessageBox::Warning; break;
    case TMsgKind::Question: icon = QMessageBox::Question; break;
    case TMsgKind::Confirmation:
    case TMsgKind::Information: icon = QMessageBox::Information; break;
    }
    QMessageBox::StandardButtons standard;
    for (TMsgButton b : buttons)
        standard |= ToStandard(b);
    QWidget* parent = g_parent ? g_parent.data() : QApplication::activeWindow();
    QMessageBox box(icon, QApplication::applicationDisplayName(), text, standard, parent);
    box.setDefaultButton(ToStandard(defaultButton));
    box.setWindowModality(Qt::ApplicationModal);
    return FromStandard(box.exec(), defaultButton);
}

void ShowError(const QString& text)
{
    ShowMessageBox(TMsgKind::Error, text, {TMsgButton::OK}, TMsgButton::OK);
}

void ShowWarning(const QString& text)
{
    ShowMessageBox(TMsgKind::Warning, text, {TMsgButton::OK}, TMsgButton::OK);
}

bool AskQuestion(const QString& text)
{
    return ShowMessageBox(TMsgKind::Question, text, {TMsgButton::Yes, TMsgButton::No}, TMsgButton::Yes) ==
           TMsgButton::Yes;
}

bool AskConfirmation(const QString& text)
{
    return ShowMessageBox(TMsgKind::Confirmation, text, {TMsgButton::OK, TMsgButton::Cancel}, TMsgButton::OK) ==
           TMsgButton::OK;
}

void ShowInformation(const QString& text)
{
    ShowMessageBox(TMsgKind::Information, text, {TMsgButton::OK}, TMsgButton::OK);
}

TMsgButton AskAbortIgnore(const QString& text)
{
    return ShowMessageBox(TMsgKind::Error, text, {TMsgButton::Abort, TMsgButton::Ignore}, TMsgButton::Abort);
}

TScriptedAnswerer::TScriptedAnswerer(QList<TMsgButton> answers) : answers_(std::move(answers)) {}

void TScriptedAnswerer::SetAnswers(QList<TMsgButton> answers)
{
    answers_ = std::move(answers);
}

TMsgButton TScriptedAnswerer::Answer(TMsgKind kind, const QString& text, const QList<TMsgButton>& buttons,
                                     TMsgButton defaultButton)
{
    asked_.append({kind, text});
    if (answers_.isEmpty())
        return defaultButton;
    const TMsgButton next = answers_.takeFirst();
    // An answer the box does not offer is taken as its default, as a person pressing
    // Enter would.
    return buttons.contains(next) ? next : defaultButton;
}
