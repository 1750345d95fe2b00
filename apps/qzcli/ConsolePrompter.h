#pragma once

#include "link/Prompts.h"

#include <QString>

// Messages of the link go to standard error, in English like the rest of qzcli (the tuners show
// them in their own words); questions are answered with their default.
class ConsolePrompter : public kiro::Prompter {
public:
    kiro::PromptAnswer ask(const kiro::Prompt& prompt) override;

    // The link's own words for a message, in English where qzcli knows them.
    static QString inEnglish(const QString& text);

    int shown = 0;
};
