#pragma once

#include <QString>

namespace kiro {

// Every message box and Yes/No question of the programs goes through this one service, so that
// tests can answer and record them.
struct Prompt {
    enum class Icon { None, Information, Warning, Critical, Question };
    enum class Buttons { Ok, YesNo };

    QString text;
    QString title; // empty: the program's own name, as an untitled message box shows it
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
};

enum class PromptAnswer { Ok, Yes, No };

class Prompter {
public:
    virtual ~Prompter() = default;
    virtual PromptAnswer ask(const Prompt& prompt) = 0;

    void tell(const QString& text, const QString& title = {},
              Prompt::Icon icon = Prompt::Icon::None) {
        ask(Prompt{text, title, icon, Prompt::Buttons::Ok});
    }
};

} // namespace kiro
