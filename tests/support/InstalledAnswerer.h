#pragma once
// Answers the client's message boxes by script while it lives, so that no test ever blocks
// on a dialog; what was asked stays readable (Asked()).
//
//   TInstalledAnswerer answerer({TMsgButton::Yes});
//   window->actClear->trigger();
//   QCOMPARE(answerer.Asked().first().Text, QStringLiteral("Delete ALL pending commands?"));

#include "widgets/MessageBoxes.h"

class TInstalledAnswerer : public TScriptedAnswerer {
public:
    explicit TInstalledAnswerer(QList<TMsgButton> answers = {}) : TScriptedAnswerer(std::move(answers))
    {
        SetMessageBoxAnswerer(this);
    }
    ~TInstalledAnswerer() override { SetMessageBoxAnswerer(nullptr); }
    TInstalledAnswerer(const TInstalledAnswerer&) = delete;
    TInstalledAnswerer& operator=(const TInstalledAnswerer&) = delete;
};
