#pragma once

#include "ProbePrompter.h"

class QWidget;

namespace regprobe {

// Production prompts: a modal message box with an OK button.
class MessageBoxPrompter : public ProbePrompter {
public:
    void show(const ProbeMessage& message) override;
    void setParentWidget(QWidget* parent) { parent_ = parent; }

private:
    QWidget* parent_ = nullptr;
};

} // namespace regprobe
