#pragma once
// The message boxes every window uses: modal, centred on the main window. Tests and
// scripts that drive the built client replace the person who answers them: a test
// installs a TMessageBoxAnswerer; the environment variable TELVANE_AUTOANSWER makes every
// box print "Kind: text" to standard error and take its answer from the variable's
// comma-separated list (OK, Cancel, Yes, No, Abort, Ignore), or its default button once
// the list is used up.

#include <QList>
#include <QString>

class QWidget;

enum class TMsgKind { Error, Warning, Question, Confirmation, Information };
enum class TMsgButton { OK, Cancel, Yes, No, Abort, Ignore };

QString MsgKindName(TMsgKind kind);
QString MsgButtonName(TMsgButton button);

class TMessageBoxAnswerer {
public:
    virtual ~TMessageBoxAnswerer() = default;
    virtual TMsgButton Answer(TMsgKind kind, const QString& text, const QList<TMsgButton>& buttons,
                              TMsgButton defaultButton) = 0;
};

// Installs an answerer in place of real boxes (nullptr restores real boxes). Not owned.
void SetMessageBoxAnswerer(TMessageBoxAnswerer* answerer);
// The window the boxes centre on (the main window); nullptr for the active window.
void SetMessageBoxParent(QWidget* parent);

// Error (OK), warning (OK), question (Yes/No, true on Yes), confirmation (information
// icon, OK/Cancel, true on OK), information (OK).
void ShowError(const QString& text);
void ShowWarning(const QString& text);
bool AskQuestion(const QString& text);
bool AskConfirmation(const QString& text);
void ShowInformation(const QString& text);
// An error box with the buttons Abort and Ignore (the unexpected-error box).
TMsgButton AskAbortIgnore(const QString& text);

// The general form behind all of the above.
TMsgButton ShowMessageBox(TMsgKind kind, const QString& text, const QList<TMsgButton>& buttons,
                          TMsgButton defaultButton);

// Answers boxes from a script: the answers are used in order; once they are used up, the
// box's default button. Every box asked is kept, so tests can check what was shown.
class TScriptedAnswerer : public TMessageBoxAnswerer {
public:
    struct TAsked {
        TMsgKind Kind;
        QString Text;
    };
    explicit TScriptedAnswerer(QList<TMsgButton> answers = {});
    TMsgButton Answer(TMsgKind kind, const QString& text, const QList<TMsgButton>& buttons,
                      TMsgButton defaultButton) override;
    void SetAnswers(QList<TMsgButton> answers);
    const QList<TAsked>& Asked() const { return asked_; }
    void Clear() { asked_.clear(); }

private:
    QList<TMsgButton> answers_;
    QList<TAsked> asked_;
};

// Reads TELVANE_AUTOANSWER: "OK,No" gives {OK, No}; unknown words are ignored. Returns
// false when the variable is not set.
bool ParseAutoAnswers(const QByteArray& value, QList<TMsgButton>& answers);
