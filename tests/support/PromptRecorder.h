#pragma once

#include "link/Prompts.h"

#include <QList>
#include <QStringList>
#include <functional>

namespace kiro::test {

// Stands in for the message boxes: keeps every prompt shown, answers OK (or the queued answers of
// Yes/No questions), and can run a callback while a prompt "is on screen".
class PromptRecorder : public Prompter {
public:
    PromptAnswer ask(const Prompt& prompt) override {
        prompts.append(prompt);
        if (whileShown)
            whileShown(prompt);
        if (prompt.buttons == Prompt::Buttons::YesNo)
            return answers.isEmpty() ? PromptAnswer::Yes : answers.takeFirst();
        return PromptAnswer::Ok;
    }

    QStringList texts() const {
        QStringList list;
        for (const auto& prompt : prompts)
            list << prompt.text;
        return list;
    }
    QStringList titles() const {
        QStringList list;
        for (const auto& prompt : prompts)
            list << prompt.title;
        return list;
    }
    void clear() { prompts.clear(); }

    QList<Prompt> prompts;
    QList<PromptAnswer> answers;
    std::function<void(const Prompt&)> whileShown;
};

} // namespace kiro::test
