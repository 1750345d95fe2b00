#pragma once

#include "link/Prompts.h"

namespace kiro {

// The prompts of the running program: a modal message box over the active window. An empty title
// shows the program's name, as an untitled message box always did.
class MessageBoxPrompter : public Prompter {
public:
    PromptAnswer ask(const Prompt& prompt) override;
};

} // namespace kiro
