#pragma once

#include "link/Prompts.h"

#include <QCoreApplication>
#include <cstdio>

// Messages of the link go to standard error; questions are answered with their default.
class ConsolePrompter : public kiro::Prompter {
public:
    kiro::PromptAnswer ask(const kiro::Prompt& prompt) override {
        const QString title =
            prompt.title.isEmpty() ? QCoreApplication::applicationName() : prompt.title;
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(prompt.text));
        ++shown;
        return prompt.buttons == kiro::Prompt::Buttons::YesNo ? kiro::PromptAnswer::No
                                                              : kiro::PromptAnswer::Ok;
    }

    int shown = 0;
};
